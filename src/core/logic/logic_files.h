#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::logic {

// Numbered rules: how many a model has and how long each may be. Taken from
// the model at the moment of use, never stored.
int LogicCapacity(int controllerModel);
int LogicTextLimit(int controllerModel);

// No reader ever takes more than kLogicFileMax bytes from a rule file.
using store::kDeviceLogicRecordSize;
using store::kLogicFileMax;

// One per-device rule as it lies in log%d.dat: the text, NUL-padded to 128
// bytes (a text of 128 bytes has no NUL).
using DeviceLogicRecord = std::array<std::uint8_t, kDeviceLogicRecordSize>;
DeviceLogicRecord MakeDeviceLogicRecord(std::string_view text);

// The text of rule `number` up to its first NUL; empty when the file is
// missing, empty or unreadable.
std::string ReadLogicRule(const store::ProjectDir& dir, int number);
// Leaves logic%d.dat exactly as long as `text` (an empty text: a 0-byte file).
[[nodiscard]] base::Result<> WriteLogicRule(const store::ProjectDir& dir, int number,
                                            std::string_view text);
// Deletes the rule files 0 .. capacity - 1; absent files are no error.
// Returns how many were deleted.
int DeleteLogicRules(const store::ProjectDir& dir, int capacity);

// The rule of one device; empty when the file is missing or ends before it.
std::string ReadDeviceLogic(const store::ProjectDir& dir, int loop, int address);
// Writes the one record in place (other records are untouched; a missing
// file is created, with NULs up to the record).
[[nodiscard]] base::Result<> WriteDeviceLogic(const store::ProjectDir& dir, int loop, int address,
                                              std::string_view text);

}  // namespace velsend::logic

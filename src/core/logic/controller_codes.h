#pragma once

#include <cstdint>
#include <span>

namespace velsend::logic {

// The codes the controllers read in place of rule characters.

// Per-device log records (first family): every character the table does not
// list, NUL padding included, becomes 0xFF.
std::uint8_t LogRecordCode(std::uint8_t character);
// Numbered rules of ControllerModel 2: unlisted bytes pass unchanged, so the
// 0xFF slot filler stays 0xFF.
std::uint8_t Model2LogicCode(std::uint8_t character);

void ConvertLogRecord(std::span<std::uint8_t> bytes);
void ConvertModel2Logic(std::span<std::uint8_t> bytes);

}  // namespace velsend::logic

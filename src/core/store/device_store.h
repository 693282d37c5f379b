#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <vector>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::store {

// One bus device address: 7 bytes in devc%d.dat.
struct DeviceRecord {
    std::uint8_t StatusByte = 0;    // bit 7 installed, bits 6-5 class, bits 3-0 type low bits
    std::uint8_t ParamByte = 0;     // by class: threshold, or start mode/fault display + delay
    std::uint8_t TypeHighByte = 0;  // bit 0: type bit 4
    std::uint8_t Zone = 0;
    std::uint8_t Floor = 0;
    std::uint8_t Room = 0;
    std::uint8_t NamePhrase = 0;

    bool Installed() const { return (StatusByte & 0x80) != 0; }
    void SetInstalled(bool on) {
        StatusByte = static_cast<std::uint8_t>(on ? (StatusByte | 0x80) : (StatusByte & 0x7F));
    }
    int ProductClass() const { return (StatusByte >> 5) & 0x03; }
    void SetProductClass(int productClass) {
        StatusByte = static_cast<std::uint8_t>((StatusByte & 0x9F) | ((productClass & 0x03) << 5));
    }
    int DeviceType() const { return ((TypeHighByte & 0x01) << 4) | (StatusByte & 0x0F); }
    // Splits the code over the status byte and the high byte; bit 4 of the
    // status byte is always written as 0.
    void SetDeviceType(int type) {
        StatusByte = static_cast<std::uint8_t>((StatusByte & 0xE0) | (type & 0x0F));
        TypeHighByte = static_cast<std::uint8_t>((type >> 4) & 0x01);
    }

    // Module class: bit 7 of the parameter (0 automatic, 1 manual); borrowed
    // address: the fault display (0 yes, 1 no).
    bool ParamFlag() const { return (ParamByte & 0x80) != 0; }
    int Delay() const { return ParamByte & 0x7F; }

    friend bool operator==(const DeviceRecord&, const DeviceRecord&) = default;
};

inline constexpr int kAlarmClass = 0;
inline constexpr int kZoneDisplayClass = 1;
inline constexpr int kModuleClass = 2;
inline constexpr int kBorrowedClass = 3;

using DeviceFile = std::array<DeviceRecord, kAddressCount>;
using ChineseName = std::array<std::uint8_t, kNameSize>;  // GBK, zero-padded, maybe no terminator
using ChineseNameFile = std::array<ChineseName, kAddressCount>;

// Missing or short files read as zeros; a file that is there but cannot be
// read is an error naming it (TryReadFixed). Whatever reads to change and
// write back uses these.
[[nodiscard]] base::Result<DeviceFile> LoadDeviceFile(const ProjectDir& dir, int loop);
[[nodiscard]] base::Result<ChineseNameFile> LoadChineseNameFile(const ProjectDir& dir, int loop);
// As the Load functions, an unreadable file reading as zeros: for views
// behind CheckProjectFolder.
DeviceFile ReadDeviceFile(const ProjectDir& dir, int loop);
// Creates or replaces the loop's file whole.
[[nodiscard]] base::Result<> WriteDeviceFile(const ProjectDir& dir, int loop,
                                             const DeviceFile& records);

ChineseNameFile ReadChineseNameFile(const ProjectDir& dir, int loop);
// Writes all 4096 bytes and keeps whatever a longer file holds beyond them
// (created if absent).
[[nodiscard]] base::Result<> WriteChineseNameFile(const ProjectDir& dir, int loop,
                                                  const ChineseNameFile& names);

// Both files of a loop, or neither: a device dialog or a loop copy never
// leaves a loop whose names belong to other devices. The error names the
// file that could not be written ("无法写入文件“ch5.dat”。").
[[nodiscard]] base::Result<> WriteLoopFiles(const ProjectDir& dir, int loop,
                                            const DeviceFile& records,
                                            const ChineseNameFile& names);

// The files' bytes as they lie on disk.
std::vector<std::uint8_t> DeviceFileBytes(const DeviceFile& records);
std::vector<std::uint8_t> ChineseNameFileBytes(const ChineseNameFile& names);

// The text of a name: up to its first zero, at most 16 bytes (GBK).
std::string NameText(const ChineseName& name);
// What an editor stores for typed text: ASCII upper-cased, cut to 16 bytes
// at a whole character, zero-padded.
ChineseName MakeName(std::string_view gbk);

// Type names by class. Alarm codes 0..20, module/borrowed 0..31, the first
// family's module dialog 0..15. Empty for a code without a name.
std::string_view AlarmTypeName(int code);
std::string_view ModuleTypeName(int code);
std::string_view OldModuleTypeName(int code);
inline constexpr int kAlarmTypeCount = 21;
inline constexpr int kModuleTypeCount = 32;
inline constexpr int kOldModuleTypeCount = 16;

std::string_view ClassName(int productClass);  // "报警", "区显", "模块", "借用"

// The short coloured label the device grids show, and its type-filter slot.
struct GridLabel {
    std::string text;  // "T3", "M27", "J3", "Q" or empty
    std::uint8_t red = 0, green = 0, blue = 0;
    int filterSlot = 85;
};
// Filter slots: alarm types 0..20, module types from 21, borrowed types from
// 53, zone displays and empty addresses 85. Alarm records with a type above
// 20 get a slot of their own: at 0 + type they would land on module slots.
inline constexpr int kModuleSlotBase = 21;
inline constexpr int kBorrowedSlotBase = 53;
inline constexpr int kPlainSlot = 85;
inline constexpr int kUntypedAlarmSlot = 86;
inline constexpr int kFilterSlotCount = 87;
GridLabel GridLabelOf(const DeviceRecord& record);

}  // namespace velsend::store

#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/controller_model.h"
#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::exchange {

// Where each section lies in an SD-card data file of one family. The import
// reads the same layout back.
struct SdLayout {
    base::SdFamily family;
    std::size_t fileSize;
    std::string_view namePattern;  // with %03d for the controller identifier
    std::string_view namePrefix;   // what an imported file's name must start with
    std::string_view familyText;   // for messages
    int maxStartLoop;
    int loops;  // loop blocks in the device section
    std::size_t phraseOffset;
    std::size_t logicOffset;
    int logicRecords;
    std::size_t logicRecordSize;
    std::size_t logicReadMax;  // bytes of a rule file packed into its record
    std::size_t nameOffset;    // 0: the family carries no Chinese names
};

inline constexpr std::size_t kLoopBlockSize = 2048;  // 256 addresses of 8 bytes
inline constexpr std::size_t kPackRecordSize = 8;
inline constexpr std::size_t kNameBlockSize = 4096;
inline constexpr int kMaxControllerId = 999;

// Throws std::invalid_argument for SdFamily::None.
const SdLayout& LayoutOf(base::SdFamily family);

// "MXKA007.dat" / "KBX007.dat".
std::string PackFileName(base::SdFamily family, int controllerId);

// "%" followed by a digit or a letter becomes the full-width character
// (0xA3 and the letter or digit moved up), as the controller shows it.
// Works within each 16-byte phrase or name slot, so a "%" that ends one slot
// never changes the first byte of the next one.
void PercentEscapeCode(std::span<std::uint8_t> block);

// A rule's bytes as the MX300KA card stores them: digits to 0x00-0x09,
// a-l to 0x0A-0x15, m-z to capitals, everything else as it is.
std::uint8_t PackLogicByte(std::uint8_t byte);

// The whole file, built from the project's files. `startLoop` must leave
// room for the family's loops (0..maxStartLoop).
std::vector<std::uint8_t> BuildPack(const store::ProjectDir& dir, base::SdFamily family,
                                    int startLoop);

inline constexpr std::string_view kPackDoneText = "数据打包成功!";
inline constexpr std::string_view kPackFailedText = "数据打包失败!";
inline constexpr std::string_view kSdCaption = "提示";

struct PackOutcome {
    std::filesystem::path file;
    std::string message;  // kPackDoneText
};

// Builds the pack and writes it into the project folder. Fails with
// kPackFailedText when the file cannot be written, or with the range message
// for an identifier or start loop outside the family's bounds.
base::Result<PackOutcome> PackSdCard(const store::ProjectDir& dir, base::SdFamily family,
                                     int controllerId, int startLoop);

}  // namespace velsend::exchange

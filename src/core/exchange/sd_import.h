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

// Which parts of a card file to take over ("设备", "部位", "逻辑", "词库").
struct SdSections {
    bool devices = true;
    bool names = true;  // the MX300KA family only
    bool logic = true;
    bool phrases = true;
};

struct SdImportReport {
    int deviceFiles = 0;
    int nameFiles = 0;
    int logicFiles = 0;
    int logicDeleted = 0;
    bool phrases = false;
    std::size_t missingBytes = 0;  // how much shorter the file was than its family's size
    std::string message;           // "导入成功!", with a line about a short file
};

inline constexpr std::string_view kSdImportDoneText = "导入成功!";
inline constexpr std::string_view kFileOpenFailedText = "文件打开失败!";

// The open-file dialog of each family.
std::string_view ImportDialogTitle(base::SdFamily family);   // "导入KA,KAII数据..."
std::string_view ImportDialogFilter(base::SdFamily family);  // "数据文件|MXKA???.DAT|"

// Whether a file name (without folder) belongs to the family: its upper-cased
// start must be the family's prefix.
bool HasFamilyPrefix(base::SdFamily family, std::string_view fileName);

// Takes the ticked sections of a card file over into the project, loops from
// `startLoop`. A file that ends before the ticked sections do, one of the
// other family's size, or a selection with nothing in it (names from a KBX
// card) is refused with the sizes before anything is touched, as is a name
// of another family ("文件打开失败!"). The project files are written as one
// transaction: one that cannot be written leaves every file as it was.
base::Result<SdImportReport> ImportSdCard(const store::ProjectDir& dir, base::SdFamily family,
                                          const std::filesystem::path& file, int startLoop,
                                          const SdSections& sections);

// What an import will do, decided from the card's bytes alone: the files to
// write (in order) and the rule files to delete.
struct SdImportPlan {
    enum class Kind { Devices, Names, Logic, Phrases };
    struct Item {
        Kind kind;
        int number;  // loop or logic number of the project file
        std::vector<std::uint8_t> bytes;
        bool remove = false;  // an empty rule slot: the file is deleted
    };
    std::vector<Item> items;
    std::size_t missingBytes = 0;
};
base::Result<SdImportPlan> PlanSdImport(base::SdFamily family, std::span<const std::uint8_t> bytes,
                                        int startLoop, const SdSections& sections);

// The same from bytes already read (no name check).
base::Result<SdImportReport> ImportSdBytes(const store::ProjectDir& dir, base::SdFamily family,
                                           std::span<const std::uint8_t> bytes, int startLoop,
                                           const SdSections& sections);

// A card rule record back to text: MX300KA records decoded (0x00-0x09 to
// digits, 0x0A-0x15 to a-l), both cut at the first 0xFF.
std::string DecodeLogicRecord(base::SdFamily family, std::span<const std::uint8_t> record);

}  // namespace velsend::exchange

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/store/device_store.h"

namespace velsend::exchange {

// Which of the two spreadsheet imports runs. The export and the KBX import
// share one set of type names; the KA import knows two of them by older names.
enum class ExcelFamily { KA, KBX };

// The rules of one import, taken from the family's traits.
struct ExcelImportRules {
    ExcelFamily family;
    int logicCapacity;   // logic numbers 0 .. capacity - 1 are accepted
    int logicTextLimit;  // bytes of one rule
    bool kaTypeNames;    // "可燃气探测器" and "漏电模块" instead of the export names
};
ExcelImportRules RulesFor(ExcelFamily family);

// A type name of column B and what it stands for.
struct ExcelTypeName {
    int productClass;  // store::kAlarmClass, kZoneDisplayClass or kModuleClass
    int type;
    std::string_view name;  // UTF-8
};

// `ExcelTypeNames`: the names in code order (alarm 0..20, the zone display,
// module 0..31), as the export writes them or as the KA import knows them.
const std::array<ExcelTypeName, 54>& ExcelTypeNames(bool kaTypeNames = false);

// The export's name for a record (GBK), or nullopt when its bits have none.
std::optional<std::string> ExportTypeName(const store::DeviceRecord& record);

// The class and type a cell text names for an import (blanks removed, ASCII
// upper-cased, full-width letters too), or nullopt for an unknown name. `gbk` is the cell text.
std::optional<ExcelTypeName> LookupTypeName(std::string_view gbk, bool kaTypeNames);

// `ExcelTextFold`: a cell text as it is stored in a 16-byte name or phrase.
// Unless `englishWorkbook`, half-width digits and capital letters become
// their full-width GBK forms. The walk goes character by character, so the
// trail byte of a two-byte character is never taken for an ASCII character,
// and a character that does not fit whole is left out.
std::array<std::uint8_t, 16> ExcelTextFold(std::string_view gbk, bool englishWorkbook);

// What the import does to a text cell before folding: letters (ASCII and
// full-width) upper-cased and every "%" removed, walking by character.
std::string PrepareCellText(std::string_view gbk);

// True when the file name (without folder) begins with "@".
bool IsEnglishWorkbook(std::string_view fileName);

// Trims blanks on both sides (sheet names).
std::string_view TrimBlanks(std::string_view text);

}  // namespace velsend::exchange

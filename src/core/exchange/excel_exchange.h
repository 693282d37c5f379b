#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/result.h"
#include "core/exchange/excel_types.h"
#include "core/exchange/workbook.h"
#include "core/store/project_files.h"

namespace velsend::exchange {

// Called once per progress step of the spreadsheet commands (from the
// thread that runs them).
using StepFn = std::function<void()>;

// The export's steps: one per phrase number, logic number and loop.
inline constexpr int kExportSteps = 256 + 1000 + 256;
// Rows a sheet has at most (the header row included).
inline constexpr int kLastSheetRow = 65536;

struct ExportSummary {
    int phrases = 0;
    int logicRules = 0;
    int devices = 0;
    int devicesLeftOut = 0;  // installed devices beyond the sheet's last row
    // Where the workbook went: a name ending in ".xls" gets ".xlsx", the
    // format the content has, and the text says so.
    std::filesystem::path file;
    bool renamed = false;
    std::string Text() const;  // UTF-8, for the message and the CLI
};

// The project as the exchange workbook: the standard template's three sheets
// with the phrases, logic rules 0..999 and installed devices of loops 0..255.
Workbook BuildExportWorkbook(const store::ProjectDir& dir, ExportSummary& summary,
                             const StepFn& step = {});
// Builds and writes it (.xlsx) at `path` (".xls" becomes ".xlsx"). A failed
// write leaves the file as it was.
base::Result<ExportSummary> ExportExcel(const store::ProjectDir& dir,
                                        const std::filesystem::path& path, const StepFn& step = {});

// One row or sheet the import did not use, or a cell it changed, and why (UTF-8).
struct ImportNote {
    std::string sheet;
    int row = 0;  // 0: the whole sheet
    std::string reason;
    int column = 0;  // 0: the whole row
};

struct ImportSummary {
    int phrases = 0;
    int logicRules = 0;
    int devices = 0;
    int sheetsRead = 0;
    std::vector<ImportNote> skipped;
    // Cells imported with a change the user must know of: characters GBK
    // cannot hold stored as "?", control characters in a rule, names and
    // phrases folded (half-width letters and digits made full-width, "%" removed).
    std::vector<ImportNote> changed;
    // Sheets read with no data row (UTF-8 names).
    std::vector<std::string> emptySheets;
    // The message and CLI text: counts, then the skipped rows and the
    // changed cells by sheet (the first `maxLines` of each list; the CLI
    // passes a large number).
    std::string Text(std::size_t maxLines = 20) const;
};

// Applies the workbook to the project. Nothing is written until the whole
// workbook has been read and checked, so a bad workbook changes nothing;
// the files are then written in sets of whole files (a loop's device and
// name files in one set), each set all or nothing.
base::Result<ImportSummary> ImportWorkbook(const store::ProjectDir& dir, const Workbook& workbook,
                                           ExcelFamily family, bool englishWorkbook,
                                           const StepFn& step = {});
// Reads `path` (.xls, .xlsx or .ods) and imports it; `EnglishWorkbook` comes
// from its file name. A workbook with no cell at all is a failure.
base::Result<ImportSummary> ImportExcel(const store::ProjectDir& dir,
                                        const std::filesystem::path& path, ExcelFamily family,
                                        const StepFn& step = {});

inline constexpr std::string_view kExportDoneText = "导出完毕！";
inline constexpr std::string_view kImportDoneText = "导入完毕！";
inline constexpr std::string_view kNothingReadText =
    "Excel表格文件中没有可读取的内容，未导入任何数据！";

}  // namespace velsend::exchange

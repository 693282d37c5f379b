#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace velsend::exchange {

// The spreadsheet layer: a workbook read whole into memory from .xls
// (libfreexl, with libgsf for the formula results it skips), .xlsx or .ods
// (the program's own sheet reader over zlib and libxml2), and written as
// .xlsx (libxlsxwriter). The exchange routines only ever ask for a sheet's name and
// a cell as empty, number or text, so that is all a workbook keeps.

enum class CellKind {
    Empty,
    Number,  // a finite number
    Text,    // GBK
    Other,   // anything else: a boolean, an error, NaN or an infinity, a formula without a result
};

struct Cell {
    CellKind kind = CellKind::Empty;
    double number = 0;
    std::string text;  // GBK
    // The file's text held characters GBK cannot; each became "?".
    bool lossy = false;

    static Cell Number(double value);
    // `gbk` is taken as it is.
    static Cell Text(std::string gbk);
    // A UTF-8 text; characters GBK cannot hold become "?" (and mark it lossy).
    static Cell Utf8(std::string_view utf8);

    bool IsText(std::string_view gbk) const { return kind == CellKind::Text && text == gbk; }
    // A number truncated toward zero, saturated at the ends of the range.
    std::optional<std::int64_t> Integer() const;
};

class Sheet {
  public:
    explicit Sheet(std::string name = {}) : name_(std::move(name)) {}

    // UTF-8, as the file has it (untrimmed).
    const std::string& Name() const { return name_; }
    // Rows and columns count from 1, as in the spreadsheet program.
    const Cell& Get(int row, int column) const;
    void Put(int row, int column, Cell cell);
    // The highest row that holds anything.
    int RowCount() const { return static_cast<int>(rows_.size()); }
    int ColumnCount(int row) const;

    // The file has cells below the last row kept (ReadLimits::maxRows).
    bool rowsCut = false;

    // Layout used only when writing.
    std::map<int, double> columnWidths;  // column -> width in characters

  private:
    std::string name_;
    std::vector<std::vector<Cell>> rows_;
};

struct Workbook {
    std::vector<Sheet> sheets;
};

enum class WorkbookFormat { Xls, Xlsx, Ods };

// What a reader accepts before it parses anything: a file bigger than this,
// a zip that would unpack to more, or more sheets is refused whole; rows and
// columns beyond the limits are not kept. While parsing, more cells or text
// than allowed, or a parse running past the time limit, refuses the file.
struct ReadLimits {
    std::size_t maxFileBytes = std::size_t{64} << 20;
    std::size_t maxUnpackedBytes = std::size_t{256} << 20;
    std::size_t maxZipEntries = 4096;
    int maxSheets = 256;
    int maxRows = 65536;
    int maxColumns = 32;
    std::size_t maxCells = std::size_t{1} << 20;
    std::size_t maxTextBytes = std::size_t{64} << 20;
    unsigned maxSeconds = 20;
};

// The format the bytes themselves declare (an OLE2 container is .xls, a zip
// with xl/workbook.xml is .xlsx, one with content.xml is .ods); nullopt for
// anything else.
std::optional<WorkbookFormat> DetectFormat(std::string_view bytes);

// Reads the whole workbook. Fails with the user's text for a file that
// cannot be read, is not a workbook, is too big or is password-protected.
base::Result<Workbook> ReadWorkbook(const std::filesystem::path& path,
                                    const ReadLimits& limits = {});
base::Result<Workbook> ReadWorkbookBytes(std::string_view bytes, const ReadLimits& limits = {});

// Writes the workbook as .xlsx through the file-writing module: a failure
// leaves an existing file at `path` as it was.
base::Result<> WriteXlsx(const Workbook& workbook, const std::filesystem::path& path);

// User texts of the layer.
inline constexpr std::string_view kPasswordProtectedText =
    "此Excel表格文件设有密码保护，无法读取。请在Excel中取消密码并另存后再导入。";
inline constexpr std::string_view kNotWorkbookText = "无法读取Excel表格文件！";
inline constexpr std::string_view kTooBigText = "Excel表格文件太大，无法读取！";
inline constexpr std::string_view kTooSlowText = "Excel表格文件读取超时，无法读取！";

}  // namespace velsend::exchange

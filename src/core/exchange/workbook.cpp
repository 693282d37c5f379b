#include "core/exchange/workbook.h"

#include <xlsxwriter.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>

#include "base/file_write.h"
#include "base/gbk.h"
#include "core/exchange/workbook_readers.h"

namespace velsend::exchange {
namespace {

const Cell kEmptyCell{};

}  // namespace

// --- zip checks, before any parser sees the bytes -------------------------
namespace detail {
namespace {

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

// The central directory, or an error when it is missing, broken, uses
// ZIP64 or promises more than the limits allow.
base::Result<std::vector<ZipEntry>> ZipDirectory(std::string_view bytes, const ReadLimits& limits) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    if (size < 22) return NotWorkbook("zip: too short");
    // The end record sits in the last 22 + 65535 bytes.
    std::size_t end = std::string_view::npos;
    const std::size_t lowest = size > 22 + 65535 ? size - 22 - 65535 : 0;
    for (std::size_t i = size - 22 + 1; i-- > lowest;) {
        if (Le32(data + i) == 0x06054b50) {
            end = i;
            break;
        }
    }
    if (end == std::string_view::npos) return NotWorkbook("zip: no end of central directory");
    const std::size_t count = Le16(data + end + 10);
    const std::size_t dirSize = Le32(data + end + 12);
    const std::size_t dirOffset = Le32(data + end + 16);
    if (count == 0xFFFF || dirOffset == 0xFFFFFFFF) return NotWorkbook("zip: ZIP64 is not read");
    if (count > limits.maxZipEntries) return TooBig("zip: too many entries");
    if (dirOffset > size || dirSize > size - dirOffset)
        return NotWorkbook("zip: central directory outside the file");

    std::vector<ZipEntry> entries;
    std::size_t pos = dirOffset;
    std::size_t total = 0;
    for (std::size_t n = 0; n < count; ++n) {
        if (pos + 46 > size || Le32(data + pos) != 0x02014b50)
            return NotWorkbook("zip: broken central directory");
        ZipEntry e;
        e.method = Le16(data + pos + 10);
        e.packed = Le32(data + pos + 20);
        e.unpacked = Le32(data + pos + 24);
        const std::size_t nameLen = Le16(data + pos + 28);
        const std::size_t extraLen = Le16(data + pos + 30);
        const std::size_t commentLen = Le16(data + pos + 32);
        e.localOffset = Le32(data + pos + 42);
        if (pos + 46 + nameLen > size) return NotWorkbook("zip: broken central directory");
        e.name.assign(reinterpret_cast<const char*>(data + pos + 46), nameLen);
        if (e.unpacked == 0xFFFFFFFF || e.packed == 0xFFFFFFFF)
            return NotWorkbook("zip: ZIP64 is not read");
        // The parser sizes its buffers from the local header: it must say
        // what the directory says, or the bound above means nothing.
        if (e.localOffset > size || size - e.localOffset < 30 ||
            Le32(data + e.localOffset) != 0x04034b50)
            return NotWorkbook("zip: missing local header");
        const unsigned char* local = data + e.localOffset;
        const bool descriptor = (Le16(local + 6) & 0x08) != 0;  // sizes follow the data
        const bool sizesMatch = Le32(local + 18) == e.packed && Le32(local + 22) == e.unpacked;
        const bool sizesLater = descriptor && Le32(local + 18) == 0 && Le32(local + 22) == 0;
        if (!sizesMatch && !sizesLater)
            return NotWorkbook("zip: local header disagrees with the directory");
        total += e.unpacked;
        if (total > limits.maxUnpackedBytes)
            return TooBig("zip: unpacks to more than " +
                          std::to_string(limits.maxUnpackedBytes >> 20) + " MB");
        entries.push_back(std::move(e));
        pos += 46 + nameLen + extraLen + commentLen;
    }
    return entries;
}

const ZipEntry* FindEntry(const std::vector<ZipEntry>& entries, std::string_view name) {
    for (const ZipEntry& e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

// The unpacked bytes of a small entry, or nullopt.
std::optional<std::string> Unpack(std::string_view bytes, const ZipEntry& e, std::size_t maxBytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    if (e.unpacked > maxBytes || e.localOffset + std::size_t{30} > size) return std::nullopt;
    const unsigned char* local = data + e.localOffset;
    if (Le32(local) != 0x04034b50) return std::nullopt;
    const std::size_t start = e.localOffset + std::size_t{30} + Le16(local + 26) + Le16(local + 28);
    if (start > size || e.packed > size - start) return std::nullopt;
    if (e.method == 0)
        return std::string(bytes.substr(start, std::min<std::size_t>(e.packed, e.unpacked)));
    if (e.method != 8) return std::nullopt;
    // Deflate expands at most about 1032 to 1: a directory promising more
    // lies, and the buffer is not allocated for it.
    if (e.unpacked / 1032 > e.packed + 1) return std::nullopt;
    std::string out(e.unpacked, '\0');
    z_stream z{};
    if (::inflateInit2(&z, -MAX_WBITS) != Z_OK) return std::nullopt;
    z.next_in = const_cast<Bytef*>(data + start);
    z.avail_in = e.packed;
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = ::inflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    ::inflateEnd(&z);
    if (rc != Z_STREAM_END && rc != Z_BUF_ERROR && rc != Z_OK) return std::nullopt;
    return out;
}

}  // namespace detail

namespace {

using detail::FindEntry;
using detail::Unpack;
using detail::ZipDirectory;
using detail::ZipEntry;

bool Contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

// An encrypted OOXML file is an OLE2 container holding these streams.
bool IsEncryptedOoxml(std::string_view bytes) {
    static const std::string kName = [] {
        std::string s;
        for (char c : std::string_view("EncryptionInfo")) {
            s.push_back(c);
            s.push_back('\0');
        }
        return s;
    }();
    return Contains(bytes, kName);
}

}  // namespace

namespace detail {

Cell TextFromUtf8(std::string_view utf8) {
    return Cell::Utf8(utf8);
}

Cell NumberFromFile(double value) {
    if (!std::isfinite(value)) return OtherCell();
    return Cell::Number(value);
}

base::Error TooBig(std::string reason) {
    return base::Error{std::string(kTooBigText), std::move(reason)};
}

base::Error Budget::Error() const {
    return TooBig(cells_ > limits_.maxCells
                      ? "more than " + std::to_string(limits_.maxCells) + " cells"
                      : "more than " + std::to_string(limits_.maxTextBytes >> 20) + " MB of text");
}

base::Error NotWorkbook(std::string reason) {
    return base::Error{std::string(kNotWorkbookText), std::move(reason)};
}

base::Error PasswordProtected() {
    return base::Error{std::string(kPasswordProtectedText), "password-protected workbook"};
}

}  // namespace detail

Cell Cell::Number(double value) {
    return Cell{CellKind::Number, value, {}, false};
}

Cell Cell::Text(std::string gbk) {
    return Cell{CellKind::Text, 0, std::move(gbk), false};
}

Cell Cell::Utf8(std::string_view utf8) {
    int missing = 0;
    Cell cell = Text(base::Utf8ToGbkLossy(utf8, &missing));
    cell.lossy = missing > 0;
    return cell;
}

std::optional<std::int64_t> Cell::Integer() const {
    if (kind != CellKind::Number || !std::isfinite(number)) return std::nullopt;
    const double t = std::trunc(number);
    constexpr double kEdge = 9.0e18;
    if (t >= kEdge) return std::numeric_limits<std::int64_t>::max();
    if (t <= -kEdge) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(t);
}

const Cell& Sheet::Get(int row, int column) const {
    if (row < 1 || column < 1 || row > RowCount()) return kEmptyCell;
    const auto& cells = rows_[static_cast<std::size_t>(row - 1)];
    if (column > static_cast<int>(cells.size())) return kEmptyCell;
    return cells[static_cast<std::size_t>(column - 1)];
}

void Sheet::Put(int row, int column, Cell cell) {
    if (row < 1 || column < 1) return;
    if (row > RowCount()) rows_.resize(static_cast<std::size_t>(row));
    auto& cells = rows_[static_cast<std::size_t>(row - 1)];
    if (column > static_cast<int>(cells.size())) cells.resize(static_cast<std::size_t>(column));
    cells[static_cast<std::size_t>(column - 1)] = std::move(cell);
}

int Sheet::ColumnCount(int row) const {
    if (row < 1 || row > RowCount()) return 0;
    return static_cast<int>(rows_[static_cast<std::size_t>(row - 1)].size());
}

std::optional<WorkbookFormat> DetectFormat(std::string_view bytes) {
    static constexpr std::string_view kOle("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    if (bytes.substr(0, 8) == kOle) return WorkbookFormat::Xls;
    if (bytes.substr(0, 4) != std::string_view("PK\x03\x04", 4)) return std::nullopt;
    ReadLimits generous;
    generous.maxUnpackedBytes = std::numeric_limits<std::size_t>::max();
    generous.maxZipEntries = std::numeric_limits<std::size_t>::max();
    auto entries = ZipDirectory(bytes, generous);
    if (!entries) return std::nullopt;
    if (FindEntry(*entries, "xl/workbook.xml")) return WorkbookFormat::Xlsx;
    if (FindEntry(*entries, "content.xml")) return WorkbookFormat::Ods;
    return std::nullopt;
}

base::Result<Workbook> ReadWorkbookBytes(std::string_view bytes, const ReadLimits& limits) {
    if (bytes.size() > limits.maxFileBytes)
        return base::Error{std::string(kTooBigText),
                           "file larger than " + std::to_string(limits.maxFileBytes >> 20) + " MB"};
    static constexpr std::string_view kOle("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    if (bytes.substr(0, 8) == kOle) {
        if (IsEncryptedOoxml(bytes)) return detail::PasswordProtected();
        return detail::ReadXlsBytes(bytes, limits);
    }
    if (bytes.substr(0, 4) != std::string_view("PK\x03\x04", 4))
        return detail::NotWorkbook("neither an .xls, .xlsx nor .ods file");
    auto entries = ZipDirectory(bytes, limits);
    if (!entries) return entries.error();
    if (FindEntry(*entries, "EncryptedPackage")) return detail::PasswordProtected();
    if (FindEntry(*entries, "xl/workbook.xml"))
        return detail::ReadZipWorkbook(bytes, WorkbookFormat::Xlsx, limits);
    if (FindEntry(*entries, "content.xml")) {
        if (const ZipEntry* manifest = FindEntry(*entries, "META-INF/manifest.xml")) {
            const auto text = Unpack(bytes, *manifest, std::size_t{4} << 20);
            if (text && Contains(*text, "encryption-data")) return detail::PasswordProtected();
        }
        return detail::ReadZipWorkbook(bytes, WorkbookFormat::Ods, limits);
    }
    return detail::NotWorkbook("a zip file that is neither .xlsx nor .ods");
}

base::Result<Workbook> ReadWorkbook(const std::filesystem::path& path, const ReadLimits& limits) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return base::Error{std::string(kNotWorkbookText), path.string() + ": " + ec.message(),
                           ec.value()};
    if (size > limits.maxFileBytes)
        return base::Error{std::string(kTooBigText),
                           "file larger than " + std::to_string(limits.maxFileBytes >> 20) + " MB"};
    std::ifstream in(path, std::ios::binary);
    if (!in) return base::SystemError(std::string(kNotWorkbookText));
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(in.gcount()) != bytes.size())
        return base::Error{std::string(kNotWorkbookText), path.string() + ": short read"};
    return ReadWorkbookBytes(bytes, limits);
}

// --- writing ----------------------------------------------------------------

namespace {

struct XlsxCloser {
    void operator()(lxw_workbook* wb) const {
        if (wb) workbook_close(wb);
    }
};

base::Error WriteError(const std::filesystem::path& path, lxw_error error) {
    return base::Error{base::WriteFailedText(path), lxw_strerror(error)};
}

// Cells a reader gets back: numbers and texts that are not empty.
std::size_t FilledCells(const Sheet& sheet) {
    std::size_t n = 0;
    for (int r = 1; r <= sheet.RowCount(); ++r)
        for (int c = 1; c <= sheet.ColumnCount(r); ++c) {
            const Cell& cell = sheet.Get(r, c);
            n += cell.kind == CellKind::Number ||
                 (cell.kind == CellKind::Text && !cell.text.empty());
        }
    return n;
}

// libxlsxwriter puts each part in a temporary file before zipping it and
// does not check those writes: with the temporary folder full or a file-size
// limit, a part comes out empty or cut short and workbook_close still says
// it went well. So the finished file is read back, directory and sheets,
// and must hold every sheet with every cell written.
base::Result<> CheckWritten(const Workbook& workbook, const std::filesystem::path& written,
                            const std::filesystem::path& target) {
    const auto broken = [&](std::string reason) {
        return base::Error{base::WriteFailedText(target),
                           "the written workbook is incomplete: " + reason};
    };
    std::error_code ec;
    const auto size = std::filesystem::file_size(written, ec);
    std::ifstream in(written, std::ios::binary);
    std::string bytes(ec ? 0 : static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (ec || !in || static_cast<std::size_t>(in.gcount()) != bytes.size())
        return broken("cannot read it back");
    ReadLimits whole;
    whole.maxFileBytes = whole.maxUnpackedBytes = whole.maxZipEntries = whole.maxCells =
        whole.maxTextBytes = std::numeric_limits<std::size_t>::max();
    whole.maxSheets = whole.maxRows = whole.maxColumns = std::numeric_limits<int>::max();
    const auto read = detail::ReadZipInProcess(bytes, WorkbookFormat::Xlsx, whole);
    if (!read) return broken(read.error().reason);
    if (read->sheets.size() != workbook.sheets.size())
        return broken(std::to_string(read->sheets.size()) + " of " +
                      std::to_string(workbook.sheets.size()) + " sheets");
    for (std::size_t i = 0; i < workbook.sheets.size(); ++i) {
        const std::size_t want = FilledCells(workbook.sheets[i]);
        const std::size_t got = FilledCells(read->sheets[i]);
        if (got != want)
            return broken("sheet " + workbook.sheets[i].Name() + " holds " + std::to_string(got) +
                          " of " + std::to_string(want) + " cells");
    }
    return {};
}

}  // namespace

base::Result<> WriteXlsx(const Workbook& workbook, const std::filesystem::path& path) {
    base::PendingFile file(path);
    if (auto r = file.Open(); !r) return r;
    const std::string temp = file.TempPath().string();
    lxw_workbook* wb = workbook_new(temp.c_str());
    if (!wb)
        return base::Error{base::WriteFailedText(path), "libxlsxwriter: cannot start the workbook"};
    std::unique_ptr<lxw_workbook, XlsxCloser> guard(wb);

    lxw_format* wrap = workbook_add_format(wb);
    lxw_format* bold = workbook_add_format(wb);
    if (!wrap || !bold)
        return base::Error{base::WriteFailedText(path), "libxlsxwriter: out of memory"};
    format_set_text_wrap(wrap);
    format_set_align(wrap, LXW_ALIGN_VERTICAL_TOP);
    format_set_bold(bold);

    for (const Sheet& sheet : workbook.sheets) {
        lxw_worksheet* ws = workbook_add_worksheet(wb, sheet.Name().c_str());
        if (!ws)
            return base::Error{base::WriteFailedText(path),
                               "libxlsxwriter: bad sheet name " + sheet.Name()};
        for (const auto& [column, width] : sheet.columnWidths) {
            const auto c = static_cast<lxw_col_t>(column - 1);
            if (lxw_error e = worksheet_set_column(ws, c, c, width, nullptr); e != LXW_NO_ERROR)
                return WriteError(path, e);
        }
        for (int r = 1; r <= sheet.RowCount(); ++r) {
            for (int c = 1; c <= sheet.ColumnCount(r); ++c) {
                const Cell& cell = sheet.Get(r, c);
                const auto row = static_cast<lxw_row_t>(r - 1);
                const auto col = static_cast<lxw_col_t>(c - 1);
                lxw_error e = LXW_NO_ERROR;
                if (cell.kind == CellKind::Number) {
                    e = worksheet_write_number(ws, row, col, cell.number, nullptr);
                } else if (cell.kind == CellKind::Text) {
                    const std::string utf8 = base::GbkToUtf8(cell.text);
                    lxw_format* format = r == 1                                 ? bold
                                         : utf8.find('\n') != std::string::npos ? wrap
                                                                                : nullptr;
                    e = worksheet_write_string(ws, row, col, utf8.c_str(), format);
                }
                if (e != LXW_NO_ERROR) return WriteError(path, e);
            }
        }
    }
    const lxw_error closed = workbook_close(guard.release());
    if (closed != LXW_NO_ERROR) return WriteError(path, closed);
    if (auto checked = CheckWritten(workbook, file.TempPath(), path); !checked) return checked;
    return file.Commit();
}

}  // namespace velsend::exchange

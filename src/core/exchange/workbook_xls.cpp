// The .xls reader: libfreexl reads the cells it knows; the Workbook stream
// is walked once more (libgsf opens the compound file) for what libfreexl
// leaves out or changes: the cached results of formulas, and numbers as the
// numbers they are (libfreexl turns date-formatted ones into date texts).
#include <freexl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/platform/isolated_run.h"
#include "core/exchange/workbook_readers.h"

namespace velsend::exchange::detail {
namespace {

struct FreexlCloser {
    void operator()(const void* handle) const {
        if (handle) freexl_close(handle);
    }
};

base::Error FreexlError(const char* what, int rc) {
    return NotWorkbook(std::string("libfreexl: ") + what + " failed (" + std::to_string(rc) + ")");
}

// --- the Workbook stream's own records ----------------------------------------

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(U16(p)) | static_cast<std::uint32_t>(U16(p + 2)) << 16;
}
double F64(const std::uint8_t* p) {
    double v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

double RkValue(std::uint32_t rk) {
    double v;
    if (rk & 2) {
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return rk & 1 ? v / 100 : v;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A record and the CONTINUE records after it, read as one string of
// characters: each CONTINUE starts with its own width flag.
struct Piece {
    const std::uint8_t* data;
    std::size_t size;
};

// `count` characters from `pieces`, starting at `offset` of the first, whose
// width flag is `flags`; nullopt when the records end first.
std::optional<std::string> BiffChars(const std::vector<Piece>& pieces, std::size_t offset,
                                     std::size_t count, std::uint8_t flags) {
    std::string out;
    std::size_t piece = 0;
    std::uint16_t high = 0;  // a pending high surrogate
    while (count > 0) {
        if (offset >= pieces[piece].size) {
            if (++piece == pieces.size() || pieces[piece].size == 0) return std::nullopt;
            flags = pieces[piece].data[0];
            offset = 1;
            continue;
        }
        const std::size_t width = flags & 1 ? 2 : 1;
        if (offset + width > pieces[piece].size) return std::nullopt;
        const std::uint8_t* p = pieces[piece].data + offset;
        std::uint32_t c = width == 2 ? U16(p) : p[0];
        offset += width;
        --count;
        if (c >= 0xD800 && c < 0xDC00) {
            high = static_cast<std::uint16_t>(c);
            continue;
        }
        if (c >= 0xDC00 && c < 0xE000) {
            if (!high) continue;
            c = 0x10000 + ((high - 0xD800u) << 10) + (c - 0xDC00);
        }
        high = 0;
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace

Workbook ReadBiffRecords(std::string_view stream, const ReadLimits& limits, Budget& budget) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(stream.data());
    const std::size_t size = stream.size();
    Workbook raw;
    std::vector<std::uint32_t> offsets;  // of each sheet's BOF
    int sheet = -1, depth = 0;
    int pendingRow = -1, pendingColumn = -1;  // a formula whose text follows
    auto put = [&](int row, int column, Cell cell) {
        // The places are bounded by the limits and the records by the
        // stream's size; only the text needs counting.
        if (sheet < 0 || row >= limits.maxRows || column >= limits.maxColumns) return;
        if (!budget.Text(cell.text.size())) return;
        raw.sheets[static_cast<std::size_t>(sheet)].Put(row + 1, column + 1, std::move(cell));
    };
    std::size_t pos = 0;
    while (pos + 4 <= size && !budget.Over()) {
        const std::uint16_t type = U16(s + pos);
        const std::size_t len = U16(s + pos + 2);
        const std::uint8_t* d = s + pos + 4;
        if (pos + 4 + len > size) break;
        const std::size_t here = pos;
        pos += 4 + len;
        if (type == 0x0809) {  // BOF: a sheet starts where its BOUNDSHEET says
            if (depth++ == 0) {
                sheet = -1;
                for (std::size_t i = 0; i < offsets.size(); ++i)
                    if (offsets[i] == here) sheet = static_cast<int>(i);
            } else {
                sheet = -1;  // a chart inside a sheet
            }
        } else if (type == 0x000A) {  // EOF
            depth = std::max(0, depth - 1);
            sheet = -1;
        } else if (type == 0x0085 && len >= 8 && depth == 1 && sheet < 0) {  // BOUNDSHEET
            const std::size_t count = d[6];
            std::vector<Piece> pieces{{d + 8, len - 8}};
            auto name = BiffChars(pieces, 0, count, d[7]);
            if (!name || raw.sheets.size() >= static_cast<std::size_t>(limits.maxSheets)) continue;
            offsets.push_back(U32(d));
            raw.sheets.emplace_back(std::move(*name));
        } else if (type == 0x0006 && len >= 20) {  // FORMULA: its cached result
            pendingRow = -1;
            const int row = U16(d), column = U16(d + 2);
            if (U16(d + 12) != 0xFFFF) {
                put(row, column, NumberFromFile(F64(d + 6)));
            } else if (d[6] == 0) {
                pendingRow = row;  // the text follows in a STRING record
                pendingColumn = column;
            } else if (d[6] == 3) {
                put(row, column, Cell::Text({}));
            } else {
                put(row, column, OtherCell());  // a boolean or an error
            }
        } else if (type == 0x0207 && pendingRow >= 0 && len >= 3) {  // STRING
            std::vector<Piece> pieces{{d + 3, len - 3}};
            for (std::size_t p = pos; p + 4 <= size && U16(s + p) == 0x003C;) {
                const std::size_t clen = U16(s + p + 2);
                if (p + 4 + clen > size) break;
                pieces.push_back({s + p + 4, clen});
                p += 4 + clen;
            }
            auto text = BiffChars(pieces, 0, U16(d), d[2]);
            put(pendingRow, pendingColumn, text ? TextFromUtf8(*text) : OtherCell());
            pendingRow = -1;
        } else if (type == 0x0203 && len >= 14) {  // NUMBER
            put(U16(d), U16(d + 2), NumberFromFile(F64(d + 6)));
        } else if (type == 0x027E && len >= 10) {  // RK
            put(U16(d), U16(d + 2), NumberFromFile(RkValue(U32(d + 6))));
        } else if (type == 0x00BD && len >= 6) {  // MULRK: columns first.. of (xf, rk) pairs
            const int row = U16(d), first = U16(d + 2);
            for (std::size_t i = 0; 4 + i * 6 + 6 <= len - 2; ++i)
                put(row, first + static_cast<int>(i),
                    NumberFromFile(RkValue(U32(d + 4 + i * 6 + 2))));
        }
    }
    return raw;
}

namespace {

// The Workbook stream of the compound file, or nothing (libfreexl then
// reads what it can alone).
std::vector<std::uint8_t> WorkbookStream(std::string_view bytes, const ReadLimits& limits) {
    std::vector<std::uint8_t> out;
    GError* error = nullptr;
    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                           static_cast<gsf_off_t>(bytes.size()), FALSE);
    if (!input) return out;
    GsfInfile* ole = gsf_infile_msole_new(input, &error);
    if (error) g_error_free(error);
    if (ole) {
        if (GsfInput* stream = gsf_infile_child_by_name(ole, "Workbook")) {
            const gsf_off_t size = gsf_input_size(stream);
            if (size > 0 && static_cast<std::uint64_t>(size) <= limits.maxFileBytes) {
                out.resize(static_cast<std::size_t>(size));
                if (!gsf_input_read(stream, static_cast<std::size_t>(size), out.data()))
                    out.clear();
            }
            g_object_unref(stream);
        }
        g_object_unref(ole);
    }
    g_object_unref(input);
    return out;
}

}  // namespace

base::Result<Workbook> ReadXlsInProcess(std::string_view bytes, const std::filesystem::path& path,
                                        const ReadLimits& limits) {
    const void* raw = nullptr;
    const int opened = freexl_open(path.c_str(), &raw);
    std::unique_ptr<const void, FreexlCloser> handle(raw);
    if (opened != FREEXL_OK) {
        return FreexlError("open", opened);
    }
    unsigned int info = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED)
        return PasswordProtected();
    unsigned int sheetCount = 0;
    if (int rc = freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &sheetCount); rc != FREEXL_OK)
        return FreexlError("sheet count", rc);
    if (sheetCount > static_cast<unsigned>(limits.maxSheets))
        return base::Error{std::string(kTooBigText), std::to_string(sheetCount) + " sheets"};

    Budget budget(limits);
    const std::vector<std::uint8_t> stream = WorkbookStream(bytes, limits);
    const Workbook records = ReadBiffRecords(
        std::string_view(reinterpret_cast<const char*>(stream.data()), stream.size()), limits,
        budget);
    if (budget.Over()) return budget.Error();
    Workbook workbook;
    for (unsigned short s = 0; s < sheetCount; ++s) {
        const char* name = nullptr;
        if (int rc = freexl_get_worksheet_name(raw, s, &name); rc != FREEXL_OK)
            return FreexlError("sheet name", rc);
        Sheet sheet(name ? std::string(name) : std::string());
        if (int rc = freexl_select_active_worksheet(raw, s); rc != FREEXL_OK)
            return FreexlError("select sheet", rc);
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (int rc = freexl_worksheet_dimensions(raw, &rows, &columns); rc != FREEXL_OK)
            return FreexlError("sheet size", rc);
        const unsigned int lastRow =
            std::min<unsigned int>(rows, static_cast<unsigned>(limits.maxRows));
        const unsigned short lastColumn =
            std::min<unsigned short>(columns, static_cast<unsigned short>(limits.maxColumns));
        for (unsigned int r = 0; r < lastRow; ++r) {
            for (unsigned short c = 0; c < lastColumn; ++c) {
                FreeXL_CellValue value{};
                if (int rc = freexl_get_cell_value(raw, r, c, &value); rc != FREEXL_OK)
                    return FreexlError("cell", rc);
                if (value.type == FREEXL_CELL_NULL) continue;
                if (!budget.Cell(0)) return budget.Error();
                Cell cell;
                switch (value.type) {
                    case FREEXL_CELL_NULL:
                        continue;
                    case FREEXL_CELL_INT:
                        cell = NumberFromFile(static_cast<double>(value.value.int_value));
                        break;
                    case FREEXL_CELL_DOUBLE:
                        cell = NumberFromFile(value.value.double_value);
                        break;
                    case FREEXL_CELL_TEXT:
                    case FREEXL_CELL_SST_TEXT:
                        cell = TextFromUtf8(value.value.text_value ? value.value.text_value : "");
                        break;
                    default:  // dates and times: their numbers come from the stream below
                        cell = OtherCell();
                        break;
                }
                sheet.Put(static_cast<int>(r) + 1, c + 1, std::move(cell));
            }
        }
        // Formula results and numbers as the stream holds them, matched to
        // the sheet by name (names are unique in a workbook).
        for (const Sheet& from : records.sheets) {
            if (from.Name() != sheet.Name()) continue;
            for (int row = 1; row <= from.RowCount(); ++row)
                for (int column = 1; column <= from.ColumnCount(row); ++column)
                    if (from.Get(row, column).kind != CellKind::Empty)
                        sheet.Put(row, column, from.Get(row, column));
            break;
        }
        workbook.sheets.push_back(std::move(sheet));
    }
    return workbook;
}

base::Result<Workbook> ReadXlsBytes(std::string_view bytes, const ReadLimits& limits) {
    // libfreexl reads files only: the bytes go to a file in memory, which
    // vanishes with the process, whatever ends it.
    const platform::ScratchFile file(bytes);
    if (file.Error() != 0) return base::SystemError(std::string(kNotWorkbookText), file.Error());
    return ReadIsolated([&] { return ReadXlsInProcess(bytes, file.Path(), limits); }, limits);
}

}  // namespace velsend::exchange::detail

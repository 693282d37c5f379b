// The .xls reader over libfreexl.
#include <fcntl.h>
#include <freexl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <memory>
#include <string>

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

}  // namespace

namespace {

base::Result<Workbook> ReadXlsInProcess(const std::filesystem::path& path, const ReadLimits& limits) {
    const void* raw = nullptr;
    const int opened = freexl_open(path.c_str(), &raw);
    std::unique_ptr<const void, FreexlCloser> handle(raw);
    if (opened != FREEXL_OK) {
        return FreexlError("open", opened);
    }
    unsigned int info = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        return PasswordProtected();
    unsigned int sheetCount = 0;
    if (int rc = freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &sheetCount); rc != FREEXL_OK)
        return FreexlError("sheet count", rc);
    if (sheetCount > static_cast<unsigned>(limits.maxSheets))
        return base::Error{std::string(kTooBigText), std::to_string(sheetCount) + " sheets"};

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
        const unsigned int lastRow = std::min<unsigned int>(rows, static_cast<unsigned>(limits.maxRows));
        const unsigned short lastColumn =
            std::min<unsigned short>(columns, static_cast<unsigned short>(limits.maxColumns));
        for (unsigned int r = 0; r < lastRow; ++r) {
            for (unsigned short c = 0; c < lastColumn; ++c) {
                FreeXL_CellValue value{};
                if (int rc = freexl_get_cell_value(raw, r, c, &value); rc != FREEXL_OK)
                    return FreexlError("cell", rc);
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
                    default:  // dates and times: the spreadsheet program hands them over as numbers
                        cell = Cell{CellKind::Other, 0, {}};
                        break;
                }
                sheet.Put(static_cast<int>(r) + 1, c + 1, std::move(cell));
            }
        }
        workbook.sheets.push_back(std::move(sheet));
    }
    return workbook;
}

}  // namespace

base::Result<Workbook> ReadXlsFile(const std::filesystem::path& path, const ReadLimits& limits) {
    return ReadIsolated([&] { return ReadXlsInProcess(path, limits); }, limits);
}

}  // namespace velsend::exchange::detail

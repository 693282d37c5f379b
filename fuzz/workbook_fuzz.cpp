// The workbook readers (.xls through libfreexl and libgsf, .xlsx and .ods
// through the own sheet reader), each in its child process, over arbitrary
// bytes, and the import over whatever they read: a workbook is either
// refused with a text or read within the bounds, and the import writes only
// whole project files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "core/exchange/excel_exchange.h"
#include "core/exchange/workbook.h"

namespace fs = std::filesystem;
using namespace velsend;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path dir = [] {
        char pattern[] = "/tmp/velsend-fuzz-XXXXXX";
        return fs::path(::mkdtemp(pattern));
    }();
    exchange::ReadLimits limits;
    limits.maxFileBytes = std::size_t{4} << 20;
    limits.maxUnpackedBytes = std::size_t{32} << 20;
    auto workbook = exchange::ReadWorkbookBytes(
        std::string_view(reinterpret_cast<const char*>(data), size), limits);
    if (!workbook) {
        if (workbook.error().userText.empty()) std::abort();
        return 0;
    }
    for (const auto& sheet : workbook->sheets)
        if (sheet.RowCount() > limits.maxRows) std::abort();
    auto imported = exchange::ImportWorkbook(store::ProjectDir(dir), *workbook,
                                             exchange::ExcelFamily::KA, size % 2 == 0);
    if (imported && imported->devices < 0) std::abort();
    return 0;
}

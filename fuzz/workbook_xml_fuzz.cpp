// The program's own workbook readers in this process (the program runs them
// in a child, where a fault would go unseen). The first byte chooses what
// the rest is: 0 a whole zip; 1 a worksheet, 2 shared strings, 3 a workbook
// part list, 4 an .ods content.xml, each packed by the harness into an
// otherwise fixed workbook, so the mutations reach the XML rather than
// breaking the deflate stream; 5 the records of an .xls Workbook stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/exchange/workbook_readers.h"

using namespace velsend::exchange;

namespace {

void Put16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8 & 0xFF));
}
void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A zip of stored (uncompressed) entries.
std::string StoredZip(const std::vector<std::pair<std::string, std::string_view>>& files) {
    std::string zip, directory;
    for (const auto& [name, data] : files) {
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const auto size = static_cast<std::uint32_t>(data.size());
        Put32(zip, 0x04034b50);
        Put16(zip, 20), Put16(zip, 0), Put16(zip, 0), Put16(zip, 0), Put16(zip, 0);
        Put32(zip, 0), Put32(zip, size), Put32(zip, size);
        Put16(zip, static_cast<unsigned>(name.size())), Put16(zip, 0);
        zip += name;
        zip += data;
        Put32(directory, 0x02014b50);
        Put16(directory, 20), Put16(directory, 20), Put16(directory, 0), Put16(directory, 0);
        Put16(directory, 0), Put16(directory, 0);
        Put32(directory, 0), Put32(directory, size), Put32(directory, size);
        Put16(directory, static_cast<unsigned>(name.size()));
        for (int i = 0; i < 4; ++i) Put16(directory, 0);
        Put32(directory, 0), Put32(directory, offset);
        directory += name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    Put32(zip, 0x06054b50);
    Put16(zip, 0), Put16(zip, 0);
    Put16(zip, static_cast<unsigned>(files.size())),
        Put16(zip, static_cast<unsigned>(files.size()));
    Put32(zip, static_cast<std::uint32_t>(directory.size())), Put32(zip, directoryOffset);
    Put16(zip, 0);
    return zip;
}

constexpr std::string_view kNs =
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
const std::string kWorkbook = "<workbook " + std::string(kNs) +
                              "><sheets><sheet name=\"a\" sheetId=\"1\" r:id=\"rId1\"/>"
                              "<sheet name=\"b\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>";
const std::string kRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"x/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
    "<Relationship Id=\"rId3\" Type=\"x/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/></Relationships>";
const std::string kSheet =
    "<worksheet " + std::string(kNs) +
    "><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\"><f>1</f><v>2</v>"
    "</c></row></sheetData></worksheet>";
const std::string kStrings = "<sst " + std::string(kNs) + "><si><t>x</t></si><si><t/></si></sst>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    ReadLimits limits;
    limits.maxFileBytes = std::size_t{4} << 20;
    limits.maxUnpackedBytes = std::size_t{32} << 20;
    limits.maxCells = 100000;
    limits.maxTextBytes = std::size_t{4} << 20;
    std::string zip;
    WorkbookFormat format = WorkbookFormat::Xlsx;
    if (data[0] % 6 == 5) {
        detail::Budget budget(limits);
        const Workbook records = detail::ReadBiffRecords(rest, limits, budget);
        for (const Sheet& sheet : records.sheets)
            if (sheet.RowCount() > limits.maxRows) std::abort();
        return 0;
    }
    switch (data[0] % 6) {
        case 0:
            zip = std::string(rest);
            format = data[0] & 0x80 ? WorkbookFormat::Ods : WorkbookFormat::Xlsx;
            break;
        case 1:
            zip = StoredZip({{"xl/workbook.xml", kWorkbook},
                             {"xl/_rels/workbook.xml.rels", kRels},
                             {"xl/sharedStrings.xml", kStrings},
                             {"xl/worksheets/sheet1.xml", rest},
                             {"xl/worksheets/sheet2.xml", kSheet}});
            break;
        case 2:
            zip = StoredZip({{"xl/workbook.xml", kWorkbook},
                             {"xl/_rels/workbook.xml.rels", kRels},
                             {"xl/sharedStrings.xml", rest},
                             {"xl/worksheets/sheet1.xml", kSheet},
                             {"xl/worksheets/sheet2.xml", kSheet}});
            break;
        case 3:
            zip = StoredZip({{"xl/workbook.xml", rest},
                             {"xl/_rels/workbook.xml.rels", kRels},
                             {"xl/sharedStrings.xml", kStrings},
                             {"xl/worksheets/sheet1.xml", kSheet},
                             {"xl/worksheets/sheet2.xml", kSheet}});
            break;
        default:
            zip = StoredZip({{"content.xml", rest}});
            format = WorkbookFormat::Ods;
            break;
    }
    auto workbook = detail::ReadZipInProcess(zip, format, limits);
    if (!workbook) {
        if (workbook.error().userText.empty()) std::abort();
        return 0;
    }
    std::size_t cells = 0;
    for (const Sheet& sheet : workbook->sheets) {
        if (sheet.RowCount() > limits.maxRows) std::abort();
        for (int r = 1; r <= sheet.RowCount(); ++r) {
            if (sheet.ColumnCount(r) > limits.maxColumns) std::abort();
            cells += static_cast<std::size_t>(sheet.ColumnCount(r));
        }
    }
    // Rows are stored dense, so empty places count too; the bound is loose.
    if (cells >
        static_cast<std::size_t>(limits.maxRows) * static_cast<std::size_t>(limits.maxColumns))
        std::abort();
    return 0;
}

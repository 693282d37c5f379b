// The spreadsheet import on workbooks written by another program (see
// fixtures/make_fixtures.py), the text fold, and workbooks that must be
// refused without touching the project.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <filesystem>
#include <map>
#include <string>

#include "base/gbk.h"
#include "cli_run.h"
#include "core/exchange/excel_exchange.h"
#include "core/exchange/workbook.h"
#include "core/logic/logic_files.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using namespace velsend;
using exchange::ExcelFamily;

namespace {

const fs::path kFixtures = VELSEND_SHEET_FIXTURES;

std::string Gbk(std::string_view utf8) {
    return base::Utf8ToGbk(utf8).value();
}

std::string NameAt(const store::ProjectDir& dir, int loop, int address) {
    return store::NameText(
        store::ReadChineseNameFile(dir, loop)[static_cast<std::size_t>(address)]);
}

store::DeviceRecord RecordAt(const store::ProjectDir& dir, int loop, int address) {
    return store::ReadDeviceFile(dir, loop)[static_cast<std::size_t>(address)];
}

bool Skipped(const exchange::ImportSummary& s, int row, std::string_view reasonPart) {
    for (const auto& note : s.skipped)
        if (note.row == row && note.reason.find(reasonPart) != std::string::npos) return true;
    return false;
}

class FixtureImport : public ::testing::TestWithParam<std::string> {
  protected:
    fs::path Fixture() const { return kFixtures / ("cases." + GetParam()); }
    test::TempDir tmp;
    store::ProjectDir dir{tmp.path()};
};

TEST_P(FixtureImport, KaImportWritesTheRowsTheWorkbookLists) {
    // Records that the workbook does not list must survive the import.
    store::DeviceFile before{};
    before[8] = {0x8B, 0x33, 0, 9, 9, 9, 9};  // replaced whole, threshold included
    before[15] = {0x81, 0, 0, 1, 2, 3, 4};    // empty type cell: kept
    before[200] = {0x82, 0, 0, 5, 5, 5, 5};   // not listed: kept
    ASSERT_TRUE(store::WriteDeviceFile(dir, 24, before));
    store::ChineseNameFile names{};
    names[8] = store::MakeName("OLD");
    names[15] = store::MakeName("KEEP");
    ASSERT_TRUE(store::WriteChineseNameFile(dir, 24, names));
    phrases::PhraseImage image{};
    phrases::SetPhrase(image, 5, "GONE");
    phrases::SetPhrase(image, 9, "STAYS");
    ASSERT_TRUE(phrases::WritePhraseLibrary(dir, image));

    int steps = 0;
    auto result = exchange::ImportExcel(dir, Fixture(), ExcelFamily::KA, [&] { ++steps; });
    ASSERT_TRUE(result.ok()) << result.error().Full();
    const exchange::ImportSummary& s = *result;
    EXPECT_EQ(s.devices, 8);
    EXPECT_EQ(s.phrases, 4);
    EXPECT_EQ(s.logicRules, 3);
    // One step per sheet and per row read, the first empty A cell included:
    // 4 sheets, 5 + 1 phrase rows, 3 + 1 logic rows, 12 + 1 device rows.
    EXPECT_EQ(steps, 4 + 6 + 4 + 13);

    // 24008 "感烟探测器": record 8 of loop 24, name cleared.
    EXPECT_EQ(RecordAt(dir, 24, 8), (store::DeviceRecord{0x80, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(NameAt(dir, 24, 8), "");
    EXPECT_EQ(RecordAt(dir, 24, 200), before[200]);
    EXPECT_EQ(RecordAt(dir, 24, 15), before[15]);
    EXPECT_EQ(NameAt(dir, 24, 15), "KEEP");
    EXPECT_TRUE(Skipped(s, 9, "类型为空"));

    // "防火阀M" is module type 26, "防火阀" alarm type 10.
    const auto m = RecordAt(dir, 24, 9);
    EXPECT_EQ(m.StatusByte, 0xCA);
    EXPECT_EQ(m.TypeHighByte, 1);
    EXPECT_EQ(m.ParamByte, 0x80);  // empty H: manual
    EXPECT_EQ((std::array{m.Zone, m.Floor, m.Room, m.NamePhrase}),
              (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(RecordAt(dir, 24, 10), (store::DeviceRecord{0x8A, 0, 0, 0, 0, 0, 0}));
    // "%a門廳1": the two-byte characters 門 (E9 54) and 廳 (8F 64) stay whole.
    EXPECT_EQ(NameAt(dir, 24, 9), Gbk("Ａ門廳１"));

    // Blanks before, inside and after a name are ignored; a further character is not.
    EXPECT_EQ(RecordAt(dir, 24, 11).StatusByte, 0x80);
    EXPECT_FALSE(RecordAt(dir, 24, 12).Installed());
    EXPECT_TRUE(Skipped(s, 6, "感烟探测器X"));

    // Delay 200: the whole parameter 0; delay 20 on a manual row: 0x94.
    EXPECT_EQ(RecordAt(dir, 24, 13).ParamByte, 0);
    EXPECT_EQ(RecordAt(dir, 24, 14).ParamByte, 0x94);

    EXPECT_TRUE(Skipped(s, 10, "256001"));
    // The KA import knows alarm type 3 as "可燃气探测器" only.
    EXPECT_FALSE(RecordAt(dir, 24, 16).Installed());
    EXPECT_TRUE(Skipped(s, 11, "可燃气体探测器"));

    // "自动" with "是": a borrowed address showing faults; out-of-range
    // numbers become 0 and 7.9 is cut to 7.
    EXPECT_EQ(RecordAt(dir, 24, 17), (store::DeviceRecord{0xE1, 0, 0, 0, 0, 255, 7}));
    // A number as the description is written in decimal, then folded.
    EXPECT_EQ(NameAt(dir, 24, 18), Gbk("１２３"));
    // Reading stopped at the empty A cell of row 14.
    EXPECT_FALSE(RecordAt(dir, 24, 19).Installed());

    const auto words = phrases::ReadPhraseLibrary(dir);
    EXPECT_EQ(phrases::PhraseText(words, 5), "");  // empty B clears
    EXPECT_EQ(phrases::PhraseText(words, 9), "STAYS");
    EXPECT_EQ(phrases::PhraseText(words, 6), Gbk("Ａ座"));
    EXPECT_EQ(phrases::PhraseText(words, 7), Gbk("１２３４５６７８"));  // 20 digits: 8 fit
    EXPECT_EQ(phrases::PhraseText(words, 8), Gbk("１层"));
    EXPECT_TRUE(Skipped(s, 4, "300"));

    EXPECT_EQ(logic::ReadLogicRule(dir, 10).size(), 120u);
    EXPECT_EQ(logic::ReadLogicRule(dir, 300), "T1=M2");
    ASSERT_TRUE(fs::exists(dir.PathOf(store::ProjectFile::Logic, 11)));
    EXPECT_EQ(fs::file_size(dir.PathOf(store::ProjectFile::Logic, 11)), 0u);

    // The sheet with another A1 is named in the report as ignored.
    bool ignored = false;
    for (const auto& note : s.skipped) ignored |= note.sheet == "其他" && note.row == 0;
    EXPECT_TRUE(ignored);
    EXPECT_NE(s.Text().find("[设备A] 第6行"), std::string::npos);
}

TEST_P(FixtureImport, KbxImportCutsRulesTo80AndSkipsNumbersAbove255) {
    auto result = exchange::ImportExcel(dir, Fixture(), ExcelFamily::KBX);
    ASSERT_TRUE(result.ok()) << result.error().Full();
    EXPECT_EQ(logic::ReadLogicRule(dir, 10).size(), 80u);
    EXPECT_FALSE(fs::exists(dir.PathOf(store::ProjectFile::Logic, 300)));
    EXPECT_TRUE(Skipped(*result, 3, "300"));
    // The KBX import knows the export's name of alarm type 3.
    EXPECT_EQ(RecordAt(dir, 24, 16).StatusByte, 0x83);
}

TEST_P(FixtureImport, AtSignWorkbookKeepsHalfWidthText) {
    const fs::path english = tmp / ("@cases." + GetParam());
    fs::copy_file(Fixture(), english);
    auto result = exchange::ImportExcel(dir, english, ExcelFamily::KA);
    ASSERT_TRUE(result.ok()) << result.error().Full();
    EXPECT_EQ(phrases::PhraseText(phrases::ReadPhraseLibrary(dir), 6), Gbk("A座"));
    EXPECT_EQ(NameAt(dir, 24, 9), Gbk("A門廳1"));
    EXPECT_EQ(NameAt(dir, 24, 18), "123");
}

INSTANTIATE_TEST_SUITE_P(Formats, FixtureImport, ::testing::Values("xls", "xlsx", "ods"));

// Every file of a project folder, by name.
std::map<std::string, std::vector<std::uint8_t>> ProjectFiles(const fs::path& dir) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(dir))
        files[entry.path().filename().string()] = test::ReadBytes(entry);
    return files;
}

// The same rows written by other programs and libraries (fixtures/writers/
// make_writers.py) give the project the LibreOffice .xls gives, and the
// same report.
class WriterImport : public ::testing::TestWithParam<std::string> {};

TEST_P(WriterImport, GivesTheProjectOfTheOfficeSuitesFile) {
    test::TempDir tmp;
    for (auto family : {ExcelFamily::KA, ExcelFamily::KBX}) {
        const fs::path office = tmp / "office", other = tmp / "other";
        fs::remove_all(office);
        fs::remove_all(other);
        fs::create_directory(office);
        fs::create_directory(other);
        auto expected =
            exchange::ImportExcel(store::ProjectDir(office), kFixtures / "cases.xls", family);
        auto got = exchange::ImportExcel(store::ProjectDir(other),
                                         kFixtures / "writers" / GetParam(), family);
        ASSERT_TRUE(expected.ok() && got.ok()) << (got ? "" : got.error().Full());
        EXPECT_EQ(got->Text(), expected->Text());
        EXPECT_EQ(ProjectFiles(other), ProjectFiles(office));
        EXPECT_FALSE(ProjectFiles(other).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterImport,
                         ::testing::Values("cases.openpyxl.xlsx", "cases.xlsxwriter.xlsx",
                                           "cases.xlwt.xls", "cases.odfpy.ods",
                                           "cases.libxlsxwriter.xlsx"));

bool Changed(const exchange::ImportSummary& s, int row, int column, std::string_view reasonPart) {
    for (const auto& note : s.changed)
        if (note.row == row && note.column == column &&
            note.reason.find(reasonPart) != std::string::npos)
            return true;
    return false;
}

// What writers put in .xlsx beyond plain values: formula results (cached,
// never evaluated), inline and formula strings, rich text, empty shared
// strings, booleans and errors, date-formatted numbers, absolute part paths.
TEST(WorkbookReader, ReadsWhatWritersWriteAsValue2HandsItOver) {
    auto wb = exchange::ReadWorkbook(kFixtures / "writers" / "features.xlsx");
    ASSERT_TRUE(wb.ok()) << wb.error().Full();
    ASSERT_EQ(wb->sheets.size(), 2u);
    EXPECT_EQ(wb->sheets[0].Name(), "设备");  // workbook order, not part order
    const exchange::Sheet& d = wb->sheets[0];
    EXPECT_TRUE(d.Get(1, 1).IsText(Gbk("地址码")));
    EXPECT_TRUE(d.Get(1, 2).IsText(Gbk("类型")));
    for (int r = 3; r <= 8; ++r) EXPECT_EQ(d.Get(r, 1).Integer(), 1000 + r - 1) << r;
    EXPECT_TRUE(d.Get(3, 2).IsText(Gbk("感烟探测器")));
    EXPECT_TRUE(d.Get(3, 3).IsText(""));  // the empty shared string is empty, not the one before
    EXPECT_TRUE(d.Get(4, 3).IsText(Gbk("门厅 1")));
    EXPECT_TRUE(d.Get(5, 3).IsText(Gbk("门厅?")));
    EXPECT_TRUE(d.Get(5, 3).lossy);
    EXPECT_EQ(d.Get(7, 3).kind, exchange::CellKind::Other);  // boolean
    EXPECT_EQ(d.Get(8, 3).kind, exchange::CellKind::Other);  // error
    EXPECT_EQ(d.Get(9, 1).kind, exchange::CellKind::Other);  // a formula never calculated
    EXPECT_EQ(d.Get(4, 4).Integer(), 4);                     // a date-formatted number

    test::TempDir tmp;
    const store::ProjectDir dir(tmp.path());
    auto result =
        exchange::ImportExcel(dir, kFixtures / "writers" / "features.xlsx", ExcelFamily::KA);
    ASSERT_TRUE(result.ok()) << result.error().Full();
    EXPECT_EQ(result->devices,
              8);  // rows 2-8 and 10: the uncalculated row 9 is skipped, not the end
    EXPECT_TRUE(Skipped(*result, 9, "A列不是数字"));
    // Row r is address r - 1 of loop 1.
    EXPECT_EQ(NameAt(dir, 1, 1), Gbk("手动按钮"));
    EXPECT_EQ(NameAt(dir, 1, 2), "");
    EXPECT_EQ(NameAt(dir, 1, 3), Gbk("门厅 １"));
    EXPECT_EQ(NameAt(dir, 1, 4), Gbk("门厅?"));  // the emoji is a "?", the rest stays
    EXPECT_EQ(NameAt(dir, 1, 5), Gbk("Ａ座"));   // full-width small letters fold too
    EXPECT_TRUE(RecordAt(dir, 1, 9).Installed());
    EXPECT_EQ(RecordAt(dir, 1, 3).Zone, 4);
    EXPECT_EQ(logic::ReadLogicRule(dir, 1), "T00001=M00030?");
    EXPECT_EQ(logic::ReadLogicRule(dir, 2), "T1=M2");
    EXPECT_TRUE(Changed(*result, 5, 3, "?"));
    EXPECT_TRUE(Changed(*result, 2, 2, "?"));
    EXPECT_NE(result->Text().find("[设备] 第5行C列"), std::string::npos) << result->Text();

    // .xls: formula results from the records libfreexl skips, a boolean
    // result, and a date-formatted number as its number.
    const store::ProjectDir xls(tmp.path() / "xls");
    fs::create_directory(xls.Root());
    auto fromXls =
        exchange::ImportExcel(xls, kFixtures / "writers" / "features.xls", ExcelFamily::KA);
    ASSERT_TRUE(fromXls.ok()) << fromXls.error().Full();
    EXPECT_EQ(fromXls->devices, 4);
    for (int a = 1; a <= 4; ++a)
        EXPECT_EQ(RecordAt(xls, 1, a),
                  (store::DeviceRecord{0x80, 0, 0, static_cast<std::uint8_t>(a + 1), 0, 0, 0}))
            << a;
    EXPECT_EQ(NameAt(xls, 1, 2), "");
    EXPECT_EQ(NameAt(xls, 1, 3), Gbk("门厅?"));
    EXPECT_TRUE(Changed(*fromXls, 4, 3, "?"));
}

// Repeats in .ods cost nothing beyond the columns and rows kept; paragraphs
// join with a line break; a date is its serial number.
TEST(WorkbookReader, OdsRepeatsNeverTurnIntoWork) {
    auto wb = exchange::ReadWorkbook(kFixtures / "writers" / "features.ods");
    ASSERT_TRUE(wb.ok()) << wb.error().Full();
    const exchange::Sheet& d = wb->sheets.at(0);
    EXPECT_EQ(d.RowCount(), 11);
    EXPECT_EQ(d.ColumnCount(2), exchange::ReadLimits{}.maxColumns);
    EXPECT_TRUE(d.Get(2, 3).IsText(Gbk("一\n二  三")));
    EXPECT_EQ(d.Get(3, 4).Integer(), 2);  // 1900-01-02, as Excel counts
    EXPECT_TRUE(d.Get(11, 32).IsText("x"));
}

TEST(WorkbookImport, OwnExportOfUndecodableBytesErasesNothing) {
    test::TempDir tmp;
    const store::ProjectDir source(tmp.path() / "a"), copy(tmp.path() / "b");
    fs::create_directory(source.Root());
    fs::create_directory(copy.Root());
    store::DeviceFile d{};
    d[1] = {0x80, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(store::WriteDeviceFile(source, 0, d));
    store::ChineseNameFile names{};
    names[1] = store::MakeName("A\xFF" + Gbk("门"));  // FF is no GBK byte
    ASSERT_TRUE(store::WriteChineseNameFile(source, 0, names));
    ASSERT_TRUE(logic::WriteLogicRule(source, 3, "T1=\xFFM2").ok());
    const fs::path file = tmp / "out.xlsx";
    ASSERT_TRUE(exchange::ExportExcel(source, file).ok());
    auto result = exchange::ImportExcel(copy, file, ExcelFamily::KA);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(NameAt(copy, 0, 1), Gbk("Ａ?门"));
    EXPECT_EQ(logic::ReadLogicRule(copy, 3), "T1=?M2");
    // The two "?" and the "A" the name's folding made full-width.
    EXPECT_EQ(result->changed.size(), 3u) << result->Text();
    EXPECT_NE(result->Text().find("第2行C列：半角字母和数字已改为全角"), std::string::npos)
        << result->Text();
}

TEST(ExcelTextFold, WalksByCharacterAndNeverStoresHalfACharacter) {
    // 門 is E9 54 and 廳 8F 64: their trail bytes look like "T" and "d".
    const auto folded = exchange::ExcelTextFold(Gbk("門廳T"), false);
    EXPECT_EQ(base::FieldText(folded), Gbk("門廳Ｔ"));
    EXPECT_EQ(exchange::PrepareCellText(Gbk("%門d%")), Gbk("門D"));
    // Fifteen bytes of ASCII then a two-byte character: it does not fit.
    const auto cut = exchange::ExcelTextFold("abcdefghijklmno" + Gbk("座"), true);
    EXPECT_EQ(base::FieldText(cut), "abcdefghijklmno");
    EXPECT_EQ(cut[15], 0);
    // Seven full-width digits fill 14 bytes; the eighth fits, the ninth not.
    EXPECT_EQ(base::FieldText(exchange::ExcelTextFold("123456789", false)),
              Gbk("１２３４５６７８"));
}

TEST(WorkbookCells, NumbersTruncateTowardZeroAndNonFiniteIsNoNumber) {
    EXPECT_EQ(exchange::Cell::Number(24008.9).Integer(), 24008);
    EXPECT_EQ(exchange::Cell::Number(-0.7).Integer(), 0);
    EXPECT_EQ(exchange::Cell::Number(-1.5).Integer(), -1);
    EXPECT_EQ(exchange::Cell::Number(1e300).Integer(), std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(exchange::Cell::Number(std::nan("")).Integer());
    EXPECT_FALSE(exchange::Cell::Text("1").Integer());
}

TEST(WorkbookImport, RowsAfterTheSheetsLastRowAreNotRead) {
    test::TempDir tmp;
    const store::ProjectDir dir(tmp.path());
    exchange::Workbook wb;
    exchange::Sheet sheet(" 词库");
    for (int r = 2; r <= 65537; ++r) sheet.Put(r, 1, exchange::Cell::Number(r % 256));
    sheet.Put(65537, 2, exchange::Cell::Text("X"));
    wb.sheets.push_back(sheet);
    // A sheet the import reads by its name that has no row is said to be empty.
    wb.sheets.emplace_back("逻辑规则");
    wb.sheets.back().Put(1, 1, exchange::Cell::Utf8("条目"));
    auto result = exchange::ImportWorkbook(dir, wb, ExcelFamily::KA, false);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result->phrases, 65535);
    EXPECT_TRUE(Skipped(*result, 65537, "最后一行")) << result->Text();
    EXPECT_FALSE(Skipped(*result, 0, "没有导入任何行")) << result->Text();
    EXPECT_NE(result->Text().find("\n空的工作表（没有数据行）：[逻辑规则]"), std::string::npos)
        << result->Text();
    EXPECT_EQ(phrases::PhraseText(phrases::ReadPhraseLibrary(dir), 65537 % 256), "");
}

// Bytes that are no workbook, or one that cannot be read, change nothing.
TEST(WorkbookImport, BadWorkbooksAreRefusedAndLeaveTheProjectAlone) {
    test::TempDir tmp;
    const store::ProjectDir dir(tmp.path() / "project");
    fs::create_directory(dir.Root());
    phrases::PhraseImage image{};
    phrases::SetPhrase(image, 0, "KEEP");
    ASSERT_TRUE(phrases::WritePhraseLibrary(dir, image));
    const auto before = test::ReadBytes(dir.PathOf(store::ProjectFile::Phrases));

    const auto original = test::ReadBytes(kFixtures / "cases.xlsx");
    std::vector<std::vector<std::uint8_t>> bad;
    bad.push_back({'n', 'o', 't'});
    bad.emplace_back(original.begin(), original.begin() + static_cast<long>(original.size() / 2));
    // An OLE2 container with the streams of an encrypted OOXML package.
    std::vector<std::uint8_t> encrypted = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    encrypted.resize(512);
    for (char c : std::string("EncryptionInfo")) {
        encrypted.push_back(static_cast<std::uint8_t>(c));
        encrypted.push_back(0);
    }
    bad.push_back(encrypted);
    // A zip whose directory promises more than the bound.
    auto bomb = original;
    for (std::size_t i = 0; i + 46 < bomb.size(); ++i) {
        if (bomb[i] == 'P' && bomb[i + 1] == 'K' && bomb[i + 2] == 1 && bomb[i + 3] == 2) {
            bomb[i + 24] = 0xFF;
            bomb[i + 25] = 0xFF;
            bomb[i + 26] = 0xFF;
            bomb[i + 27] = 0x7F;
        }
    }
    bad.push_back(bomb);

    int n = 0;
    for (const auto& bytes : bad) {
        const fs::path file = tmp / ("bad" + std::to_string(n++) + ".xlsx");
        test::WriteBytes(file, bytes);
        auto result = exchange::ImportExcel(dir, file, ExcelFamily::KA);
        ASSERT_FALSE(result.ok()) << file;
        EXPECT_FALSE(result.error().userText.empty());
        EXPECT_EQ(test::ReadBytes(dir.PathOf(store::ProjectFile::Phrases)), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Root()), fs::directory_iterator()), 1);
    }
    // A workbook.xml that is no XML, and a workbook without a single cell.
    exchange::Workbook empty;
    empty.sheets.emplace_back("词库");
    ASSERT_TRUE(exchange::WriteXlsx(empty, tmp / "empty.xlsx").ok());
    for (const fs::path& file : {kFixtures / "writers" / "garbage.xlsx", tmp / "empty.xlsx"}) {
        auto cli = test::Cli(
            {"--dir", dir.Root().string(), "excel-import", file.string(), "--family", "ka"});
        EXPECT_EQ(cli.status, 1) << file << cli.out;
        EXPECT_NE(cli.err.find("Excel表格文件"), std::string::npos) << cli.err;
        EXPECT_EQ(test::ReadBytes(dir.PathOf(store::ProjectFile::Phrases)), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Root()), fs::directory_iterator()), 1);
    }
    auto encryptedResult = exchange::ReadWorkbookBytes(
        std::string_view(reinterpret_cast<const char*>(encrypted.data()), encrypted.size()));
    ASSERT_FALSE(encryptedResult.ok());
    EXPECT_EQ(encryptedResult.error().userText, exchange::kPasswordProtectedText);
    exchange::ReadLimits small;
    small.maxFileBytes = 1000;
    EXPECT_EQ(exchange::ReadWorkbook(kFixtures / "cases.ods", small).error().userText,
              exchange::kTooBigText);
}

TEST(ExcelCli, ImportPrintsWhatItSkippedAndChecksTheFamily) {
    test::TempDir tmp;
    const std::string file = (kFixtures / "cases.xls").string();
    auto run = test::Cli({"--dir", tmp.path().string(), "excel-import", file, "--family", "kbx"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("[设备A] 第10行：地址码 256001"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("导入完毕！"), std::string::npos);
    EXPECT_EQ(test::Cli({"--dir", tmp.path().string(), "excel-import", file}).status, 2);
    EXPECT_EQ(
        test::Cli({"--dir", tmp.path().string(), "excel-import", file, "--family", "kc"}).status,
        2);
    auto missing = test::Cli({"--dir", tmp.path().string(), "excel-import",
                              (tmp / "none.xlsx").string(), "--family", "ka"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("无法读取Excel表格文件！"), std::string::npos);
}

}  // namespace

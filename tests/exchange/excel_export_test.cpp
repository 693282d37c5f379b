// The export read back through the workbook layer, the round trip through
// the import, and the templates.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/gbk.h"
#include "cli_run.h"
#include "core/exchange/excel_exchange.h"
#include "core/exchange/templates.h"
#include "core/exchange/workbook.h"
#include "core/logic/logic_files.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "file_size_limit.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using namespace velsend;
using exchange::Cell;
using exchange::CellKind;

namespace {

std::string Gbk(std::string_view utf8) {
    return base::Utf8ToGbk(utf8).value();
}

const exchange::Sheet* SheetNamed(const exchange::Workbook& wb, std::string_view name) {
    for (const auto& s : wb.sheets)
        if (s.Name() == name) return &s;
    return nullptr;
}

// The row whose A cell is `code`, or 0.
int RowOf(const exchange::Sheet& s, int code) {
    for (int r = 2; r <= s.RowCount(); ++r)
        if (s.Get(r, 1).Integer() == code) return r;
    return 0;
}

TEST(ExcelExport, WritesTheLayoutsRulesForEachKindOfDevice) {
    test::TempDir tmp;
    const store::ProjectDir dir(tmp.path());
    store::DeviceFile loop200{};
    loop200[15] = {0xC3, 0x80, 0, 1, 2, 3, 4};  // module 3, manual, no delay
    loop200[16] = {0xC3, 0x05, 0, 0, 0, 0, 0};  // module 3, automatic, delay 5
    loop200[17] = {0xE3, 0x00, 0, 0, 0, 0, 0};  // borrowed address of type 3
    loop200[18] = {0x83, 0x22, 0, 0, 0, 0, 0};  // alarm type 3
    loop200[19] = {0xCF, 0x80, 0, 0, 0, 0, 0};  // module type 15
    loop200[20] = {0xA3, 0x00, 0, 0, 0, 0, 0};  // zone display with type bits
    loop200[21] = {0x4A, 0x00, 0, 0, 0, 0, 0};  // not installed
    loop200[22] = {0xCA, 0x80, 1, 0, 0, 0, 0};  // module type 26
    ASSERT_TRUE(store::WriteDeviceFile(dir, 200, loop200));
    store::ChineseNameFile names{};
    names[15] = store::MakeName(Gbk("a座  "));
    ASSERT_TRUE(store::WriteChineseNameFile(dir, 200, names));
    phrases::PhraseImage image{};
    phrases::SetPhrase(image, 7, "   ");
    phrases::SetPhrase(image, 8, "hall");
    ASSERT_TRUE(phrases::WritePhraseLibrary(dir, image));
    ASSERT_TRUE(logic::WriteLogicRule(dir, 999, "t1=m2").ok());

    const fs::path out = tmp / "out.xlsx";
    int steps = 0;
    auto result = exchange::ExportExcel(dir, out, [&] { ++steps; });
    ASSERT_TRUE(result.ok()) << result.error().Full();
    EXPECT_EQ(steps, exchange::kExportSteps);
    auto wb = exchange::ReadWorkbook(out);
    ASSERT_TRUE(wb.ok()) << wb.error().Full();
    ASSERT_EQ(wb->sheets.size(), 3u);

    const auto& devices = *SheetNamed(*wb, "总线设备");
    EXPECT_EQ(devices.Get(1, 10).text, Gbk("借用"));
    const int r = RowOf(devices, 200015);
    ASSERT_EQ(r, 2);
    EXPECT_EQ(devices.Get(r, 2).text, Gbk("气体灭火"));
    EXPECT_EQ(devices.Get(r, 3).text, Gbk("A座"));
    EXPECT_EQ(devices.Get(r, 4).Integer(), 1);
    EXPECT_EQ(devices.Get(r, 7).Integer(), 4);
    EXPECT_EQ(devices.Get(r, 8).kind, CellKind::Empty);  // manual
    EXPECT_EQ(devices.Get(r, 9).kind, CellKind::Empty);  // delay 0
    EXPECT_TRUE(devices.Get(r + 1, 8).IsText(Gbk("自动")));
    EXPECT_EQ(devices.Get(r + 1, 9).Integer(), 5);
    EXPECT_TRUE(devices.Get(r + 2, 10).IsText(Gbk("是")));
    EXPECT_TRUE(devices.Get(r + 2, 2).IsText(Gbk("气体灭火")));
    EXPECT_TRUE(devices.Get(r + 3, 2).IsText(Gbk("可燃气体探测器")));
    EXPECT_EQ(devices.Get(r + 3, 8).kind, CellKind::Empty);  // alarm: no H
    EXPECT_TRUE(devices.Get(r + 4, 2).IsText(Gbk("漏电")));
    EXPECT_EQ(devices.Get(r + 5, 1).Integer(), 200020);
    EXPECT_EQ(devices.Get(r + 5, 2).kind, CellKind::Empty);
    EXPECT_EQ(devices.Get(r + 6, 1).Integer(), 200022);  // 21 is not installed
    EXPECT_TRUE(devices.Get(r + 6, 2).IsText(Gbk("防火阀M")));

    const auto& words = *SheetNamed(*wb, "词库");
    EXPECT_EQ(words.Get(2, 1).Integer(), 8);  // phrase 7 is blanks only
    EXPECT_TRUE(words.Get(2, 2).IsText("HALL"));
    const auto& rules = *SheetNamed(*wb, "逻辑规则");
    EXPECT_EQ(rules.Get(2, 1).Integer(), 999);
    EXPECT_TRUE(rules.Get(2, 2).IsText("t1=m2"));  // as stored
    EXPECT_EQ(rules.Get(3, 1).kind, CellKind::Empty);
}

TEST(ExcelExport, EmptyProjectGivesTheTemplateSheetsOnly) {
    test::TempDir tmp;
    // A name promising .xls gets the extension of what it holds, and says so.
    auto result = exchange::ExportExcel(store::ProjectDir(tmp.path() / "none"), tmp / "e.XLS");
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(fs::exists(tmp / "e.XLS"));
    EXPECT_NE(result->Text().find("“e.xlsx”"), std::string::npos) << result->Text();
    auto wb = exchange::ReadWorkbook(tmp / "e.xlsx");
    ASSERT_TRUE(wb.ok());
    for (const auto& s : wb->sheets) EXPECT_EQ(s.Get(2, 1).kind, CellKind::Empty) << s.Name();
    EXPECT_TRUE(wb->sheets[0].Get(1, 1).IsText(Gbk("地址码")));
}

// Every field the layout carries survives export and import; the KA import
// lists the two names it does not know.
TEST(ExcelRoundTrip, ExportThenImportKeepsTheProject) {
    test::TempDir tmp;
    const store::ProjectDir source(tmp.path() / "a");
    fs::create_directory(source.Root());
    for (int loop : {0, 7, 255}) {
        store::DeviceFile d{};
        store::ChineseNameFile n{};
        for (int a = 0; a < 256; a += 3) {
            const int kind = (a / 3) % 4;
            const int type = a % 21;
            store::DeviceRecord& r = d[static_cast<std::size_t>(a)];
            if (kind == 0)
                r = {static_cast<std::uint8_t>(0x80 | (type & 0x0F)), 0,
                     static_cast<std::uint8_t>(type >> 4)};
            if (kind == 1)
                r = {static_cast<std::uint8_t>(0xC0 | (a & 0x0F)),
                     static_cast<std::uint8_t>(a & 0xFF), static_cast<std::uint8_t>((a >> 4) & 1)};
            if (kind == 2)
                r = {static_cast<std::uint8_t>(0xE0 | (a & 0x0F)),
                     static_cast<std::uint8_t>(a & 0x7F), 0};
            if (kind == 3) r = {0xA0, 0, 0};
            r.Zone = static_cast<std::uint8_t>(a);
            r.Floor = static_cast<std::uint8_t>(loop);
            r.Room = static_cast<std::uint8_t>(255 - a);
            r.NamePhrase = static_cast<std::uint8_t>(a / 2);
            n[static_cast<std::size_t>(a)] =
                store::MakeName(Gbk(a % 2 ? "Ａ座１层门厅" : "配电室"));
        }
        ASSERT_TRUE(store::WriteDeviceFile(source, loop, d));
        ASSERT_TRUE(store::WriteChineseNameFile(source, loop, n));
    }
    phrases::PhraseImage image{};
    for (int i = 0; i < 256; i += 5) phrases::SetPhrase(image, i, Gbk(i % 2 ? "大厅" : "Ａ座"));
    ASSERT_TRUE(phrases::WritePhraseLibrary(source, image));
    for (int i : {0, 17, 255})
        ASSERT_TRUE(logic::WriteLogicRule(source, i, "T" + std::to_string(i) + "=M2").ok());

    const fs::path out = tmp / "all.xlsx";
    ASSERT_TRUE(exchange::ExportExcel(source, out).ok());

    const store::ProjectDir kbx(tmp.path() / "kbx");
    fs::create_directory(kbx.Root());
    auto imported = exchange::ImportExcel(kbx, out, exchange::ExcelFamily::KBX);
    ASSERT_TRUE(imported.ok()) << imported.error().Full();
    EXPECT_TRUE(imported->skipped.empty()) << imported->Text();
    for (int loop : {0, 7, 255}) {
        EXPECT_EQ(store::ReadDeviceFile(kbx, loop), store::ReadDeviceFile(source, loop)) << loop;
        EXPECT_EQ(store::ReadChineseNameFile(kbx, loop), store::ReadChineseNameFile(source, loop))
            << loop;
    }
    EXPECT_EQ(phrases::ReadPhraseLibrary(kbx), image);
    for (int i : {0, 17, 255})
        EXPECT_EQ(logic::ReadLogicRule(kbx, i), logic::ReadLogicRule(source, i));

    const store::ProjectDir ka(tmp.path() / "ka");
    fs::create_directory(ka.Root());
    auto kaImport = exchange::ImportExcel(ka, out, exchange::ExcelFamily::KA);
    ASSERT_TRUE(kaImport.ok());
    ASSERT_FALSE(kaImport->skipped.empty());
    for (const auto& note : kaImport->skipped) {
        const bool known = note.reason.find("可燃气体探测器") != std::string::npos ||
                           note.reason.find("“漏电”") != std::string::npos;
        EXPECT_TRUE(known) << note.reason;
    }
    EXPECT_EQ(kaImport->devices + static_cast<int>(kaImport->skipped.size()), imported->devices);
}

TEST(ExcelTemplates, CarryTheLayoutNotesAndNameLists) {
    test::TempDir tmp;
    const fs::path file =
        tmp / std::string(exchange::TemplateFileName(exchange::TemplateKind::Standard));
    EXPECT_EQ(file.filename().string(), "VelSend标准模板.xlsx");
    ASSERT_TRUE(exchange::WriteTemplate(exchange::TemplateKind::Standard, file).ok());
    ASSERT_TRUE(exchange::WriteTemplate(exchange::TemplateKind::Standard, file).ok());  // replaces
    auto wb = exchange::ReadWorkbook(file);
    ASSERT_TRUE(wb.ok());
    ASSERT_EQ(wb->sheets.size(), 3u);
    EXPECT_EQ(wb->sheets[0].Name(), "总线设备");
    EXPECT_EQ(wb->sheets[1].Name(), "逻辑规则");
    EXPECT_EQ(wb->sheets[2].Name(), "词库");
    const auto& d = wb->sheets[0];
    EXPECT_TRUE(d.Get(1, 3).IsText(Gbk("描述(KA,KAII)")));
    EXPECT_TRUE(d.Get(4, 12).IsText(Gbk("说明")));
    EXPECT_TRUE(d.Get(10, 13).IsText(Gbk("可识别的报警类型")));
    EXPECT_TRUE(d.Get(11, 16).IsText(Gbk("可燃气探测器")));  // alarm 3, the KA name
    EXPECT_TRUE(d.Get(13, 13).IsText(Gbk("C相电流")));       // alarm 20 alone on the third row
    EXPECT_TRUE(d.Get(16, 18).IsText(Gbk("漏电模块")));      // module 15
    EXPECT_TRUE(d.Get(17, 19).IsText(Gbk("防火阀M")));       // module 26
    EXPECT_TRUE(d.Get(18, 14).IsText(Gbk("备用31")));
    EXPECT_TRUE(d.Get(20, 13).IsText(Gbk("楼层显示器")));
    EXPECT_NE(d.Get(27, 12).text.find('\n'), std::string::npos);  // two lines in one cell
    EXPECT_TRUE(wb->sheets[1].Get(8, 5).IsText(
        Gbk("KA，KAII支持字符数120，KBX支持字符数80。长度大于支持字符数时，自动截断。")));

    // The example imports: its sample rows are the layout's own cases. Its
    // content is .xlsx, so a name promising .xls gets that extension.
    const fs::path example = tmp / "ex.xlsx";
    auto cli = test::Cli({"template", "example", (tmp / "ex.XLS").string()});
    ASSERT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, "生成完毕！\n模板为.xlsx格式，已保存为“ex.xlsx”。\n");
    EXPECT_FALSE(fs::exists(tmp / "ex.XLS"));
    const store::ProjectDir dir(tmp.path());
    auto imported = exchange::ImportExcel(dir, example, exchange::ExcelFamily::KA);
    ASSERT_TRUE(imported.ok());
    EXPECT_EQ(imported->skipped.size(), 3u);  // the three rows left without a type
    EXPECT_EQ(store::NameText(store::ReadChineseNameFile(dir, 0)[1]),
              Gbk("Ａ座负一层变配电室").substr(0, 16));
    EXPECT_EQ(logic::ReadLogicRule(dir, 1).substr(0, 14), "T14001=M13002=");
    EXPECT_EQ(fs::file_size(dir.PathOf(store::ProjectFile::Logic, 3)),
              0u);  // a number without text
}

// A workbook cut short by a file-size limit (the library's temporary sheet
// files hit it first) is an error, and the file it was to replace stays.
TEST(ExcelExport, AFileSizeLimitKeepsThePreviousWorkbook) {
    test::TempDir tmp;
    const store::ProjectDir dir(tmp.path());
    for (int loop = 0; loop < 32; ++loop) {
        store::DeviceFile devices{};
        for (auto& d : devices) d = {0x81, 0, 0, 1, 2, 3, 4};
        ASSERT_TRUE(store::WriteDeviceFile(dir, loop, devices));
    }
    fs::create_directory(tmp / "out");
    const fs::path file = tmp / "out" / "x.xlsx";
    std::ofstream(file) << "previous";
    test::CliRun cli{};
    {
        test::FileSizeLimit limit(64 * 1024);
        cli = test::Cli({"--dir", tmp.path().string(), "excel-export", file.string()});
    }
    EXPECT_EQ(cli.status, 1) << cli.out;
    EXPECT_EQ(cli.out.find("导出完毕"), std::string::npos) << cli.out;
    EXPECT_EQ(test::ReadBytes(file),
              (std::vector<std::uint8_t>{'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "out"), fs::directory_iterator()), 1);
}

}  // namespace

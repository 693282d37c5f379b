#include <gtest/gtest.h>

#include "core/exchange/text_print.h"
#include "exchange_test_util.h"
#include "temp_dir.h"

namespace velsend::exchange {
namespace {

using test::Bytes;
using test::Gbk;
using test::ReadBytes;
using test::WriteBytes;

class TextPrintTest : public ::testing::Test {
  protected:
    TextPrintTest() {
        std::vector<std::uint8_t> word(4096, 0);
        const std::string phrase = Gbk("会议室");  // 6 bytes, then 10 zeros
        std::copy(phrase.begin(), phrase.end(), word.begin() + 9 * 16);
        WriteBytes(dir / "word.dat", word);
    }
    std::string Print(int model) {
        const auto result = WriteTextPrintFiles(store::ProjectDir(dir.path()), model);
        EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().Full());
        return result.ok() ? result->message : std::string();
    }
    std::string Text(const std::string& name) {
        const auto bytes = ReadBytes(dir / name);
        return {bytes.begin(), bytes.end()};
    }
    test::TempDir dir;
};

TEST_F(TextPrintTest, SmokeDetectorBlockOfTheSecondModel) {
    std::vector<std::uint8_t> devc(1792, 0);
    test::PutRecord(devc, 5, {0x80, 0, 0, 1, 2, 3, 9});
    WriteBytes(dir / "devc17.dat", devc);
    std::vector<std::uint8_t> ch(4096, 0);
    const std::string second = Gbk("一楼东");
    std::copy(second.begin(), second.end(), ch.begin() + 5 * 16);
    WriteBytes(dir / "ch17.dat", ch);

    EXPECT_EQ(Print(2), "设备信息文本文件生成完毕！");
    const std::string want = Gbk("17-005:\t安装信息:安装\t产品类型:报警类\t设备类型:感烟\t\r\n") +
                             Gbk("\t安装部位:区域:01\t楼层:02\t\t房间:03\t\r\n") +
                             Gbk("\t\t 名称:会议室") + std::string(10, '\0') +
                             Gbk("\t名称二:一楼东") + std::string(10, '\0') + "\r\n\r\n";
    EXPECT_EQ(Text("devctext17.txt"), want);
}

TEST_F(TextPrintTest, LabelsClassesAndTheFirstFamilysLogicLine) {
    std::vector<std::uint8_t> devc(1792, 0);
    test::PutRecord(devc, 0, {0xA0, 0, 0, 3, 12, 100, 0});  // zone display
    test::PutRecord(devc, 10, {0xEF, 0, 0, 0, 0, 0, 0});    // borrowed, type 15
    test::PutRecord(devc, 11, {0xC8, 0, 1, 0, 0, 0, 0});    // module, type 24
    test::PutRecord(devc, 12, {0x40, 0, 0, 0, 0, 0, 0});    // not installed
    WriteBytes(dir / "devc100.dat", devc);
    WriteBytes(dir / "devc9.dat", devc);
    std::vector<std::uint8_t> log(32768, 0);
    log[10 * 128] = 'M';
    log[10 * 128 + 127] = 'X';
    WriteBytes(dir / "log9.dat", log);

    Print(1);
    const std::string text100 = Text("devctext100.txt");
    EXPECT_EQ(text100.find(Gbk("a0-000:\t安装信息:安装\t产品类型:楼层显示器\t\r\n") +
                           Gbk("\t安装部位:区域:03\t楼层:12\t\t房间:100\t\r\n")),
              0u);
    EXPECT_NE(
        text100.find(Gbk("a0-010:\t安装信息:安装\t产品类型:多线盘借用地址\t设备类型:漏电\t\r\n")),
        std::string::npos);
    EXPECT_NE(text100.find(
                  Gbk("a0-011:\t安装信息:安装\t产品类型:联动控制模块\t设备类型:末端放气 \t\r\n")),
              std::string::npos);
    EXPECT_EQ(text100.find("a0-012"), std::string::npos);
    EXPECT_EQ(text100.find(Gbk("名称二")), std::string::npos);  // model 1 has no second names

    const std::string text9 = Text("devctext9.txt");
    const std::string logicLine = Gbk("\t逻辑信息:") + "M" + std::string(126, '\0') + "X\r\n";
    const std::size_t at = text9.find(Gbk("09-010:\t"));
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(text9.find(logicLine, at), std::string::npos);
    EXPECT_EQ(text9.find(Gbk("\t逻辑信息:")), text9.find(logicLine));  // zone display: none
    EXPECT_FALSE(std::filesystem::exists(dir / "logtext.txt"));
}

TEST_F(TextPrintTest, LogicTextHasAThousandLinesAndOnlyLoopsWithDevicesGetFiles) {
    WriteBytes(dir / "devc3.dat", std::vector<std::uint8_t>(1792, 0));  // nothing installed
    WriteBytes(dir / "devctext4.txt", Bytes("old"));
    const auto before = test::FileNames(dir.path());
    Print(3);
    const std::string logic = Text("logtext.txt");
    std::string want;
    for (int n = 0; n < 1000; ++n) {
        char label[16];
        std::snprintf(label, sizeof label, "%03d:  \r\n", n);
        want += Gbk("逻辑") + label;
    }
    EXPECT_EQ(logic, want);
    EXPECT_EQ(Text("devctext3.txt"), "");
    EXPECT_EQ(Text("devctext4.txt"), "old");  // no devc4.dat: left alone
    auto after = test::FileNames(dir.path());
    after.erase("logtext.txt");
    after.erase("devctext3.txt");
    EXPECT_EQ(after, before);  // nothing else appears in the folder
}

TEST_F(TextPrintTest, RulesArePaddedToTheirFieldAndTheKcFamilyHasNoLogic) {
    WriteBytes(dir / "logic7.dat", Bytes("T01001=M01002"));
    std::vector<std::uint8_t> devc(1792, 0);
    test::PutRecord(devc, 1, {0x80, 0, 0, 0, 0, 0, 9});
    WriteBytes(dir / "devc0.dat", devc);
    WriteBytes(dir / "ch0.dat", Bytes("SECOND"));
    Print(2);
    const std::string line7 = Gbk("逻辑007:  ") + "T01001=M01002" + std::string(115, '\0') + "\r\n";
    EXPECT_NE(Text("logtext.txt").find(Gbk("逻辑006:  \r\n") + line7 + Gbk("逻辑008:  \r\n")),
              std::string::npos);

    std::filesystem::remove(dir / "logtext.txt");
    Print(5);
    EXPECT_FALSE(std::filesystem::exists(dir / "logtext.txt"));
    EXPECT_EQ(Text("devctext0.txt").find(Gbk("名称二")), std::string::npos);
    EXPECT_NE(Text("devctext0.txt").find(Gbk("\t\t 名称:会议室")), std::string::npos);
}

TEST_F(TextPrintTest, AFileThatCannotBeWrittenIsNamedAndTheRunGoesOn) {
    WriteBytes(dir / "devc0.dat", std::vector<std::uint8_t>(1792, 0));
    WriteBytes(dir / "devc1.dat", std::vector<std::uint8_t>(1792, 0));
    std::filesystem::create_directory(dir / "devctext0.txt");
    const auto result = WriteTextPrintFiles(store::ProjectDir(dir.path()), 2);
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().userText.find("devctext0.txt"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "devctext1.txt"));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "logtext.txt"));
}

}  // namespace
}  // namespace velsend::exchange

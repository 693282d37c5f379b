#include <gtest/gtest.h>

#include "cli_run.h"
#include "core/exchange/velnet_import.h"
#include "exchange_test_util.h"
#include "temp_dir.h"

namespace velsend::exchange {
namespace {

using test::ReadBytes;
using test::WriteBytes;

class VelnetTest : public ::testing::Test {
  protected:
    // The three sources of a loop; entry n of each holds recognisable bytes.
    void Sources(const std::string& suffix, bool logic = true) {
        std::vector<std::uint8_t> devc(768), plac(2048, 0xEE), logc(16384);
        for (std::size_t n = 0; n < 256; ++n) {
            devc[n * 3] = 0x80, devc[n * 3 + 1] = static_cast<std::uint8_t>(n), devc[n * 3 + 2] = 1;
            for (std::size_t i = 0; i < 4; ++i) plac[n * 8 + i] = static_cast<std::uint8_t>(i + 1);
            logc[n * 64] = 'M', logc[n * 64 + 63] = 'X';
        }
        WriteBytes(source / ("devc" + suffix + ".dat"), devc);
        WriteBytes(source / ("plac" + suffix + ".dat"), plac);
        if (logic) WriteBytes(source / ("logc" + suffix + ".dat"), logc);
    }
    base::Result<VelnetReport> Import(std::uint32_t first, std::uint32_t last) {
        return ImportVelnet(store::ProjectDir(dir.path()), source.path(), first, last);
    }
    test::TempDir dir;
    test::TempDir source;
};

TEST_F(VelnetTest, LetteredLoopsReadTheirSourcesAndConvertEveryAddress) {
    EXPECT_EQ(VelnetFileName(VelnetSource::Devices, 5), "devc05.dat");
    EXPECT_EQ(VelnetFileName(VelnetSource::Locations, 17), "plac17.dat");
    EXPECT_EQ(VelnetFileName(VelnetSource::Logic, 255), "logcp5.dat");
    Sources("c0");
    const auto result = Import(120, 120);
    ASSERT_TRUE(result.ok()) << result.error().Full();
    EXPECT_EQ(result->message, "数据文件转换成功！ ");
    const auto devc = ReadBytes(dir / "devc120.dat");
    ASSERT_EQ(devc.size(), 1792u);
    EXPECT_EQ(std::vector<std::uint8_t>(devc.begin() + 7 * 200, devc.begin() + 7 * 201),
              (std::vector<std::uint8_t>{0x80, 200, 1, 1, 2, 3, 4}));
    const auto log = ReadBytes(dir / "log120.dat");
    ASSERT_EQ(log.size(), 32768u);
    EXPECT_EQ(log[128 * 7], 'M');
    EXPECT_EQ(log[128 * 7 + 63], 'X');
    EXPECT_EQ(std::count(log.begin() + 128 * 7 + 64, log.begin() + 128 * 8, 0), 64);
}

TEST_F(VelnetTest, ALoopCountsOnlyWithAllThreeSources) {
    Sources("05");
    Sources("06", false);  // the last loop lacks its logic source
    WriteBytes(dir / "devc6.dat", std::vector<std::uint8_t>(1792, 0x66));
    const auto result = Import(5, 6);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().userText, VelnetFailedText(source.path()));
    EXPECT_NE(result.error().userText.find(source.path().string()), std::string::npos);
    EXPECT_NE(result.error().reason.find("logc06.dat"), std::string::npos);
    // A failed conversion changes nothing, the loops before the gap included.
    EXPECT_FALSE(std::filesystem::exists(dir / "log5.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "devc5.dat"));
    EXPECT_EQ(ReadBytes(dir / "devc6.dat"), std::vector<std::uint8_t>(1792, 0x66));
    EXPECT_FALSE(std::filesystem::exists(dir / "log6.dat"));
}

TEST_F(VelnetTest, AShortSourceReadsAsZerosAndIsNamed) {
    Sources("04");
    WriteBytes(source / "plac04.dat", std::vector<std::uint8_t>(100, 1));
    const auto result = Import(4, 4);
    ASSERT_TRUE(result.ok()) << result.error().Full();
    EXPECT_EQ(result->message,
              "数据文件转换成功！ \nplac04.dat 只有 100 字节（应为 2048 字节），其余按 0 读入");
    const auto devc = ReadBytes(dir / "devc4.dat");
    ASSERT_EQ(devc.size(), 1792u);
    EXPECT_EQ(std::vector<std::uint8_t>(devc.begin() + 7 * 200, devc.begin() + 7 * 201),
              (std::vector<std::uint8_t>{0x80, 200, 1, 0, 0, 0, 0}));
}

TEST_F(VelnetTest, RangesDecideSuccess) {
    EXPECT_TRUE(Import(3, 2).ok());  // nothing expected, nothing done
    EXPECT_FALSE(Import(5, 2).ok());
    Sources("p5");
    EXPECT_TRUE(Import(255, 255).ok());
    EXPECT_FALSE(Import(255, 256).ok());  // 256 is never counted
    EXPECT_FALSE(Import(300, 300).ok());
    EXPECT_FALSE(Import(0, 0xFFFFFFFFu).ok());  // stops at the first missing source
}

TEST_F(VelnetTest, LongerTargetsKeepTheirTailAndCapitalSourceNamesAreFound) {
    Sources("07");
    for (const char* stem : {"devc", "plac", "logc"})
        std::filesystem::rename(
            source / (std::string(stem) + "07.dat"),
            source / test::Gbk(std::string(stem) == "devc" ? "DEVC07.DAT"
                                                           : std::string(stem) + "07.DAT"));
    WriteBytes(dir / "devc7.dat", std::vector<std::uint8_t>(2000, 0x77));
    ASSERT_TRUE(Import(7, 7).ok());
    const auto devc = ReadBytes(dir / "devc7.dat");
    ASSERT_EQ(devc.size(), 2000u);
    EXPECT_EQ(devc[0], 0x80);
    EXPECT_EQ(devc[1799], 0x77);
}

TEST_F(VelnetTest, CliRunsTheSameConversion) {
    Sources("08");
    auto run = test::Cli({"--dir", dir.path().string(), "velnet-import", "--from", "8", "--to", "8",
                          "--source", source.path().string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "数据文件转换成功！ \n");
    run = test::Cli({"--dir", dir.path().string(), "velnet-import", "--from", "8", "--to", "9",
                     "--source", source.path().string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("devc09.dat"), std::string::npos);
}

TEST(ExchangeCli, PackImportAndPrintThroughTheCommandLine) {
    test::TempDir from, to;
    WriteBytes(from / "devc3.dat", std::vector<std::uint8_t>(1792, 0x80));
    auto run = test::Cli({"--dir", from.path().string(), "--model", "3", "sd-pack", "--id", "42",
                          "--start-loop", "3"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "数据打包成功! KBX042.dat\n");
    run = test::Cli({"--dir", to.path().string(), "sd-import", (from / "KBX042.dat").string(),
                     "--family", "kbx", "--start-loop", "9", "--only", "devices"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(to / "devc9.dat"), std::vector<std::uint8_t>(1792, 0x80));
    EXPECT_FALSE(std::filesystem::exists(to / "word.dat"));
    run = test::Cli({"--dir", to.path().string(), "sd-import", (from / "KBX042.dat").string(),
                     "--family", "ka", "--start-loop", "0"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("文件打开失败!"), std::string::npos);
    run = test::Cli({"--dir", from.path().string(), "sd-pack", "--id", "1", "--start-loop", "241"});
    EXPECT_EQ(run.status, 2);
    run = test::Cli({"--dir", to.path().string(), "--model", "2", "print"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(to / "devctext9.txt"));
    EXPECT_TRUE(std::filesystem::exists(to / "logtext.txt"));
}

}  // namespace
}  // namespace velsend::exchange

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "cli_run.h"
#include "core/logic/logic_files.h"
#include "temp_dir.h"

namespace velsend::cli {
namespace {

using test::Cli;
using test::CliRun;

class LogicCliTest : public ::testing::Test {
  protected:
    CliRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--dir", dir.path().string()});
        return Cli(args);
    }
    std::string File(int n) const {
        const auto bytes = test::ReadBytes(dir / ("logic" + std::to_string(n) + ".dat"));
        return {bytes.begin(), bytes.end()};
    }
    test::TempDir dir;
};

TEST_F(LogicCliTest, SetThenShowListsTheNonEmptyRules) {
    EXPECT_EQ(Run({"logic", "set", "999", "T13001=M13002"}).status, kExitOk);
    EXPECT_EQ(Run({"logic", "set", "3", "R15001=M15002"}).status, kExitOk);
    EXPECT_EQ(Run({"logic", "set", "4", ""}).status, kExitOk);
    EXPECT_EQ(File(999), "T13001=M13002");
    EXPECT_TRUE(std::filesystem::exists(dir / "logic4.dat"));
    EXPECT_EQ(File(4), "");

    const CliRun shown = Run({"show", "logic"});
    EXPECT_EQ(shown.status, kExitOk);
    EXPECT_EQ(shown.out, "3\tR15001=M15002\n999\tT13001=M13002\n");
    // The KBX models have 256 rules: 999 is not one of them.
    EXPECT_EQ(Run({"--model", "3", "show", "logic"}).out, "3\tR15001=M15002\n");
}

TEST_F(LogicCliTest, RefusalsKeepTheFileAndExitOne) {
    ASSERT_EQ(Run({"logic", "set", "5", "T1"}).status, kExitOk);

    // The second line names the first refused character and where it stands.
    CliRun r = Run({"logic", "set", "5", "Tn1001=M13002"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.err, "输入有非法字符！\n第 2 个字符“n”不能用在逻辑中。\n");
    r = Run({"logic", "set", "5", "T1 M2"});
    EXPECT_EQ(r.err, "输入有非法字符！\n第 3 个字符“ ”（空格）不能用在逻辑中。\n");
    r = Run({"logic", "set", "5", "T测试\x07"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.err, "输入有非法字符！\n第 2 个字符“测”不能用在逻辑中。\n");
    r = Run({"logic", "set", "5", "T1\x07"});
    EXPECT_EQ(r.err, "输入有非法字符！\n第 3 个字符（控制字符 0x07）不能用在逻辑中。\n");
    r = Run({"logic", "set", "5", "T1€"});  // one GBK byte
    EXPECT_EQ(r.err, "输入有非法字符！\n第 3 个字符“€”不能用在逻辑中。\n");
    r = Run({"logic", "set", "5", "T1😀"});  // no GBK code at all
    EXPECT_EQ(r.err, "输入有非法字符！\n第 3 个字符“😀”不能用在逻辑中。\n");
    r = Run({"--model", "4", "logic", "set", "5", std::string(81, '1')});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.err, "请输入不多于 80 个的字符。\n");
    // A wrong rule number is a usage error that names the argument.
    r = Run({"--model", "4", "logic", "set", "256", "T1"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.err, "velsend-cli: logic set N: '256': 请输入一个在 0 和 255 之间的整数。\n");
    r = Run({"logic", "set", "-1", "T1"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("logic set N: '-1'"), std::string::npos) << r.err;
    // A leading blank is refused here as by every other number argument.
    r = Run({"logic", "set", " 5", "T2"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("logic set N: ' 5'"), std::string::npos) << r.err;
    EXPECT_EQ(File(5), "T1");
    EXPECT_FALSE(std::filesystem::exists(dir / "logic256.dat"));
    EXPECT_EQ(Run({"--model", "4", "logic", "set", "5", std::string(80, '1')}).status, kExitOk);
}

// A rule already stored with a character the controller cannot take is
// refused like a typed one, and its file stays as it was.
TEST_F(LogicCliTest, AStoredIllegalRuleIsRefusedAgain) {
    test::WriteBytes(dir / "logic9.dat", {'T', '1', ' ', 'n'});
    const CliRun r = Run({"logic", "set", "9", "T1 n"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("输入有非法字符！\n", 0), 0u) << r.err;
    EXPECT_EQ(File(9), "T1 n");
}

TEST_F(LogicCliTest, UsageErrors) {
    EXPECT_EQ(Run({"show"}).status, kExitUsage);
    const CliRun unknown = Run({"show", "dragons"});
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_NE(unknown.err.find("dragons"), std::string::npos);
    EXPECT_EQ(Run({"logic", "get", "1", "T1"}).status, kExitUsage);
    EXPECT_EQ(Run({"logic", "set", "1"}).status, kExitUsage);
}

}  // namespace
}  // namespace velsend::cli

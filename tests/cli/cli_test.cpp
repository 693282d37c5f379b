#include "cli/cli.h"

#include <gtest/gtest.h>

#include <sstream>

#include "sim_process.h"
#include "temp_dir.h"

namespace velsend::cli {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    std::istringstream in;
    const int status = Main(args, {out, err, in, false});
    return {status, out.str(), err.str()};
}

TEST(CliParse, GlobalOptionsAndUsageErrors) {
    const ParseResult r =
        ParseCommandLine({"--dir", "/tmp/p", "--model", "4", "--port", "/dev/pts/9", "--baud",
                          "19200", "--yes", "select-model"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.dir, "/tmp/p");
    EXPECT_EQ(r.options.model, 4);
    EXPECT_EQ(r.options.port.value_or(""), "/dev/pts/9");
    EXPECT_EQ(r.options.baud, 19200);
    EXPECT_TRUE(r.options.yes);
    EXPECT_EQ(r.options.command, "select-model");

    EXPECT_EQ(Cli({"--model", "7", "select-model"}).status, kExitUsage);
    EXPECT_EQ(Cli({"--baud", "9600", "init"}).status, kExitUsage);
    EXPECT_EQ(Cli({"--dir"}).status, kExitUsage);
    EXPECT_EQ(Cli({}).status, kExitUsage);
    EXPECT_EQ(Cli({"frobnicate"}).status, kExitUsage);
    EXPECT_EQ(Cli({"init", "extra"}).status, kExitUsage);

    const CliRun help = Cli({"--help"});
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_NE(help.out.find("select-model"), std::string::npos);
    EXPECT_NE(help.out.find("--yes"), std::string::npos);
}

TEST(CliInit, DeletesTheProjectFiles) {
    test::TempDir dir;
    test::WriteBytes(dir / "devc0.dat", {1});
    test::WriteBytes(dir / "word.dat", {1});
    const CliRun r = Cli({"--dir", dir.path().string(), "init"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "已删除 2 个文件\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "devc0.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "word.dat"));
}

TEST(CliSelectModel, HandshakeAgainstTheSimulator) {
    test::TempDir dir;
    test::SimProcess sim({}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());
    const CliRun r = Cli({"--port", sim.path(), "--model", "6", "select-model"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "VelSend v10.1 (更新与2013.4.9) - MX300KC(AT29C020)\n");
    EXPECT_EQ(sim.WaitReceived(2), (std::vector<int>{0x10, 0x04}));
}

TEST(CliSelectModel, SilentBurnerNeedsYes) {
    test::TempDir dir;
    test::SimProcess sim({"--silent"}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());
    CliRun r = Cli({"--port", sim.path(), "--model", "3", "select-model"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("烧写器没有上电"), std::string::npos);
    EXPECT_TRUE(r.out.empty());

    r = Cli({"--port", sim.path(), "--model", "3", "--yes", "select-model"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "VelSend v10.1 (更新与2013.4.9) - MX300KBX(W29C020)\n");
}

}  // namespace
}  // namespace velsend::cli

#include "cli/cli.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_run.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace velsend::cli {
namespace {

using test::Cli;
using test::CliRun;

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

TEST(CliPorts, ListsEachPortWithItsIdentity) {
    test::TempDir dev, sys;
    std::ofstream(dev / "ttyUSB0") << "";
    std::filesystem::create_directories(dev / "serial/by-id");
    std::filesystem::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-FTDI_X-if00-port0");
    ::setenv("VELSEND_DEV_DIR", dev.path().c_str(), 1);
    ::setenv("VELSEND_SYS_TTY_DIR", sys.path().c_str(), 1);
    CliRun r = Cli({"ports"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "COM1\t" + (dev / "ttyUSB0").string() + "\tusb-FTDI_X-if00-port0\t-\n");
    std::filesystem::remove(dev / "ttyUSB0");
    EXPECT_EQ(Cli({"ports"}).out, "没有找到串口。\n");
    ::unsetenv("VELSEND_DEV_DIR");
    ::unsetenv("VELSEND_SYS_TTY_DIR");
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

TEST(CliTransfer, RuleOptionsParseAndRejectBadRanges) {
    const ParseResult r =
        ParseCommandLine({"--loops", "2-5", "--addresses", "20-40", "--phrases", "7-8", "--logic",
                          "0-1023", "--pace", "0", "--dir", "/p", "send", "devices"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.loops, std::make_pair(2, 5));
    EXPECT_EQ(r.options.addresses, std::make_pair(20, 40));
    EXPECT_EQ(r.options.phrases, std::make_pair(7, 8));
    EXPECT_EQ(r.options.logic, std::make_pair(0, 1023));
    EXPECT_EQ(r.options.pace, 0);
    EXPECT_EQ(r.options.dir, "/p");
    EXPECT_EQ(r.options.args, std::vector<std::string>{"devices"});

    EXPECT_EQ(Cli({"--loops", "0-256", "erase"}).status, kExitUsage);
    EXPECT_EQ(Cli({"--logic", "0-1024", "erase"}).status, kExitUsage);
    EXPECT_EQ(Cli({"--pace", "51", "erase"}).status, kExitUsage);
    EXPECT_EQ(Cli({"--addresses", "7", "erase"}).status, kExitUsage);
    EXPECT_EQ(Cli({"send", "everything"}).status, kExitUsage);
}

TEST(CliTransfer, SendUsesTheRulesAndPrintsTheResult) {
    test::TempDir dir;
    test::SimProcess sim({"--model", "1"}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());
    CliRun r = Cli({"--dir", dir.path().string(), "--port", sim.path(), "--model", "1", "--pace",
                    "0", "--loops", "2-2", "--addresses", "20-40", "send", "devices"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "传送设备信息成功！\n");
    EXPECT_NE(r.err.find("正在传送设备信息......"), std::string::npos);
    const std::vector<int> got = sim.WaitReceived(4 + 2 * 114);
    ASSERT_EQ(got.size(), 4u + 2 * 114);
    EXPECT_EQ(std::vector<int>(got.begin(), got.begin() + 4), (std::vector<int>{0x70, 2, 20, 40}));

    test::SimProcess noChip({"--no-chip"}, dir / "sim2.log");
    r = Cli({"--dir", dir.path().string(), "--port", noChip.path(), "--no-backup", "erase"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.out, "数据芯片没有插好！\n");
}

TEST(CliTransfer, BackupAndRestoreRoundTrip) {
    test::TempDir dir;
    test::SimProcess sim({"--model", "3"}, dir / "sim.log");
    std::vector<std::uint8_t> image(262144);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i / 3);
    test::WriteBytes(dir / "in.bin", image);
    const std::string port = sim.path();
    CliRun r = Cli({"--port", port, "--model", "3", "restore", (dir / "in.bin").string()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    r = Cli({"--port", port, "--model", "3", "backup", (dir / "out.bin").string()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "100%\n");
    EXPECT_EQ(test::ReadBytes(dir / "out.bin"), image);

    // Model 2's chip is twice as large: the file is refused unless forced,
    // and then padded with 0xFF.
    r = Cli({"--port", port, "--model", "2", "restore", (dir / "in.bin").string()});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("524288"), std::string::npos);
    EXPECT_NE(r.err.find("262144"), std::string::npos);
    EXPECT_NE(r.err.find("--force"), std::string::npos);
    test::SimProcess sim2({"--model", "2"}, dir / "sim2.log");
    r = Cli(
        {"--port", sim2.path(), "--model", "2", "restore", (dir / "in.bin").string(), "--force"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    r = Cli({"--port", sim2.path(), "--model", "2", "backup", (dir / "out2.bin").string()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    std::vector<std::uint8_t> padded = image;
    padded.resize(524288, 0xFF);
    EXPECT_EQ(test::ReadBytes(dir / "out2.bin"), padded);
    // Any other size stays refused, forced or not.
    test::WriteBytes(dir / "odd.bin", std::vector<std::uint8_t>(1000, 1));
    r = Cli(
        {"--port", sim2.path(), "--model", "2", "restore", (dir / "odd.bin").string(), "--force"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("不能还原"), std::string::npos) << r.err;
}

// An init that can delete nothing says why and does not exit 0.
TEST(CliInit, ReadOnlyFolderFailsWithTheReason) {
    test::TempDir dir;
    const std::string root = dir.path().string();
    test::WriteBytes(dir / "devc0.dat", {1});
    // A read-only mount for root (who may write anywhere else), a folder
    // without write permission for anyone else.
    const bool mounted =
        ::geteuid() == 0 && ::mount(root.c_str(), root.c_str(), nullptr, MS_BIND, nullptr) == 0;
    if (mounted) {
        ASSERT_EQ(
            ::mount(nullptr, root.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
    } else {
        if (::geteuid() == 0) GTEST_SKIP() << "root without mount: no read-only folder to try";
        ASSERT_EQ(::chmod(root.c_str(), 0555), 0);
    }
    const CliRun r = Cli({"--dir", root, "init"});
    const bool stillThere = std::filesystem::exists(dir / "devc0.dat");
    if (mounted) ::umount(root.c_str());
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find(std::strerror(mounted ? EROFS : EACCES)), std::string::npos) << r.err;
    EXPECT_TRUE(stillThere);
}

}  // namespace
}  // namespace velsend::cli

namespace velsend::cli {
namespace {

// The data commands on the demo project, as a support engineer would use them.
TEST(CliProjectData, DemoShowPhrasesAndLoopCopy) {
    test::TempDir dir;
    const std::string root = dir.path().string();
    ASSERT_EQ(test::Cli({"--dir", root, "demo"}).status, kExitOk);

    CliRun r = test::Cli({"--dir", root, "show", "devices", "0"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_NE(r.out.find("devc0.dat：16 个设备开通"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("25 排烟风机"), std::string::npos);
    EXPECT_NE(r.out.find("65 办公室"), std::string::npos);
    EXPECT_NE(r.out.find("1层排烟风机"), std::string::npos);
    r = test::Cli({"--dir", root, "--model", "5", "show", "nodes"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(test::Cli({"--dir", root, "show", "devices", "256"}).status, kExitUsage);
    EXPECT_EQ(test::Cli({"--dir", root, "show", "devices"}).status, kExitUsage);

    r = test::Cli({"--dir", root, "copy-loop", "0", "9"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(test::ReadBytes(dir / "devc9.dat"), test::ReadBytes(dir / "devc0.dat"));
    EXPECT_EQ(test::ReadBytes(dir / "ch9.dat"), test::ReadBytes(dir / "ch0.dat"));
    EXPECT_EQ(test::Cli({"--dir", root, "copy-loop", "0", "300"}).status, kExitUsage);

    r = test::Cli({"--dir", root, "phrases", "clear"});
    EXPECT_EQ(r.out, "初始化空词组成功！\n");
    EXPECT_EQ(test::ReadBytes(dir / "word.dat"), std::vector<std::uint8_t>(4096, 0));
    EXPECT_EQ(test::Cli({"--dir", root, "phrases", "all"}).status, kExitUsage);
}

}  // namespace
}  // namespace velsend::cli

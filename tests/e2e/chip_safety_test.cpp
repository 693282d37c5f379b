// The backup before an erase or a restore and the read-back after a restore,
// end to end through velsend-cli against the simulator.

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "cli_run.h"
#include "core/burner/chip_safety.h"
#include "nothing_sent.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace velsend::burner {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kImage = 262144;  // model 3
constexpr int kBlocks = 1024;

Bytes RandomImage(unsigned seed) {
    std::mt19937 random(seed);
    Bytes image(kImage);
    for (auto& b : image) b = static_cast<std::uint8_t>(random());
    return image;
}

class ChipSafetyTest : public ::testing::Test {
  protected:
    test::CliRun Run(const test::SimProcess& sim, std::vector<std::string> args) {
        args.insert(args.begin(),
                    {"--dir", dir.path().string(), "--model", "3", "--port", sim.path()});
        return test::Cli(args);
    }
    std::vector<std::filesystem::path> Backups() const {
        std::vector<std::filesystem::path> files;
        for (const ChipBackupEntry& e : ListChipBackups(dir.path())) files.push_back(e.file);
        return files;
    }
    // The simulator's log as one line per byte, both ways, in order: "rx 20".
    std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        std::ifstream in(dir / "sim.log");
        std::string date, time, way, hex;
        while (in >> date >> time >> way >> hex) lines.push_back(way + " " + hex);
        return lines;
    }
    test::TempDir dir;
};

TEST_F(ChipSafetyTest, EraseLeavesAWholeBackupBeforeTheFirstEraseByte) {
    const Bytes old = RandomImage(1);
    test::WriteBytes(dir / "chip", old);
    {
        test::SimProcess sim({"--model", "3", "--chip", (dir / "chip").string()}, dir / "sim.log");
        const test::CliRun erase = Run(sim, {"erase"});
        EXPECT_EQ(erase.status, 0) << erase.err;
        EXPECT_NE(erase.out.find("芯片内容已备份到 "), std::string::npos) << erase.out;
        EXPECT_NE(erase.out.find("擦除芯片成功！"), std::string::npos) << erase.out;
    }
    // Every block of the backup went back to the program before 0x20 came in:
    // the erase command is the first byte after the backup's block numbers.
    const std::vector<std::string> log = Log();
    auto erase = log.begin();
    for (int rx = 0; erase != log.end(); ++erase)
        if ((*erase)[0] == 'r' && rx++ == 1 + 2 * kBlocks) break;
    ASSERT_NE(erase, log.end());
    EXPECT_EQ(*erase, "rx 20");
    EXPECT_EQ(log.front(), "rx 30");
    EXPECT_EQ(std::count_if(log.begin(), erase, [](const std::string& l) { return l[0] == 't'; }),
              1 + kBlocks * 257);
    EXPECT_EQ(*(erase - 1), "tx 99");

    const std::vector<ChipBackupEntry> listed = ListChipBackups(dir.path());
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(test::ReadBytes(listed[0].file), old);
    EXPECT_TRUE(listed[0].complete);
    EXPECT_EQ(listed[0].model, "MX300KBX(W29C020)");
    EXPECT_EQ(test::ReadBytes(dir / "chip"), Bytes(kImage, 0xFF));  // the erase did happen

    // A burner that stays silent during the backup gets no erase byte.
    test::SimProcess silent({"--silent"}, dir / "silent.log");
    const test::CliRun refused = Run(silent, {"erase"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(
        refused.err.find("备份芯片内容失败，没有擦除芯片。\n烧写器没有上电 或 通讯线没有连接电脑"),
        std::string::npos)
        << refused.err;
    EXPECT_EQ(test::ReceivedBeforeMarker(silent), std::vector<int>{0x30});
    EXPECT_EQ(Backups().size(), 1u);
}

// A backup that fails, at its command or midway, leaves the chip untouched:
// after the backup's own bytes the burner gets nothing.
TEST_F(ChipSafetyTest, NoWritingCommandFollowsAFailedBackup) {
    test::WriteBytes(dir / "image.bin", RandomImage(4));
    const std::vector<std::vector<std::string>> commands{
        {"erase"},
        {"restore", (dir / "image.bin").string()},
        {"--pace", "0", "--loops", "0-0", "--backup-first", "send", "devices"}};
    int run = 0;
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front() == "--pace" ? "send" : command.front());
        const std::string n = std::to_string(++run);
        test::SimProcess silent({"--silent"}, dir / ("silent" + n + ".log"));
        EXPECT_NE(Run(silent, command).status, 0);
        EXPECT_EQ(test::ReceivedBeforeMarker(silent), std::vector<int>{0x30});

        test::SimProcess shortBlock({"--model", "3", "--no-commit", "3"},
                                    dir / ("short" + n + ".log"));
        const test::CliRun failed = Run(shortBlock, command);
        EXPECT_NE(failed.status, 0);
        EXPECT_NE(failed.err.find("备份芯片内容失败，"), std::string::npos) << failed.err;
        EXPECT_EQ(test::ReceivedBeforeMarker(shortBlock),
                  (std::vector<int>{0x30, 0, 0, 0, 1, 0, 2}));
    }
    EXPECT_TRUE(Backups().empty());
}

// A burner without a chip answers the backup's command with 0xBE too: the
// user reads that the chip is missing, not that the burner is off.
TEST_F(ChipSafetyTest, EraseOverAMissingChipSaysSoWithOrWithoutTheBackup) {
    test::SimProcess sim({"--model", "3", "--no-chip"}, dir / "sim.log");
    const test::CliRun plain = Run(sim, {"--no-backup", "erase"});
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.out, "数据芯片没有插好！\n");
    const test::CliRun guarded = Run(sim, {"erase"});
    EXPECT_EQ(guarded.status, 1);
    EXPECT_NE(guarded.err.find("\n数据芯片没有插好！\n"), std::string::npos) << guarded.err;
    EXPECT_EQ(guarded.err.find("烧写器没有上电"), std::string::npos) << guarded.err;
    EXPECT_TRUE(Backups().empty());
}

// A logic range wholly past the controller's last block sends nothing and says it failed.
TEST_F(ChipSafetyTest, ALogicRangeWithNothingToSendFails) {
    test::SimProcess sim({"--model", "4"}, dir / "sim.log");
    const test::CliRun r = Run(sim, {"--model", "4", "--logic", "1020-1023", "send", "logic"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "传送逻辑信息失败！\n逻辑 1020 至 1023 超出控制器的块号范围，没有传送。\n");
}

TEST_F(ChipSafetyTest, RestoreIsReadBackAndVerifyTellsSameDifferentOrError) {
    const Bytes image = RandomImage(2);
    test::WriteBytes(dir / "image.bin", image);
    {
        test::SimProcess faulty({"--model", "3", "--corrupt-block", "7"}, dir / "sim.log");
        const test::CliRun restore = Run(faulty, {"restore", (dir / "image.bin").string()});
        EXPECT_EQ(restore.status, 1);
        EXPECT_NE(restore.err.find("校验失败！芯片与映像不同：第一处在块号 7（0x0007），映像偏移 "
                                   "0x000735；共有 1 块不同"),
                  std::string::npos)
            << restore.err;
        EXPECT_EQ(Backups().size(), 1u);  // the chip as it was, before the restore
        const test::CliRun differs = Run(faulty, {"verify", (dir / "image.bin").string()});
        EXPECT_EQ(differs.status, 1) << differs.err;
    }
    test::SimProcess sim({"--model", "3"}, dir / "sim2.log");
    const test::CliRun restore = Run(sim, {"restore", (dir / "image.bin").string()});
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_NE(restore.out.find("100%\n校验通过\n"), std::string::npos) << restore.out;
    EXPECT_EQ(Run(sim, {"verify", (dir / "image.bin").string()}).status, 0);

    // Error: a file of the other chip's size (nothing sent), a silent burner.
    test::WriteBytes(dir / "big.bin", Bytes(2 * kImage, 0));
    EXPECT_EQ(Run(sim, {"verify", (dir / "big.bin").string()}).status, 2);
    test::SimProcess silent({"--silent"}, dir / "silent.log");
    const test::CliRun unread = Run(silent, {"verify", (dir / "image.bin").string()});
    EXPECT_EQ(unread.status, 2);
    EXPECT_NE(unread.err.find("烧写器没有上电"), std::string::npos) << unread.err;

    const test::CliRun listed = Run(sim, {"chip-backups"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("MX300KBX(W29C020)  262144  是"), std::string::npos) << listed.out;
}

TEST_F(ChipSafetyTest, SwitchedOffStepsLeaveTheProtocolBytesAsTheyWere) {
    const Bytes image = RandomImage(3);
    test::WriteBytes(dir / "image.bin", image);
    test::SimProcess sim({"--model", "3"}, dir / "sim.log");
    ASSERT_EQ(Run(sim, {"--no-backup", "erase"}).status, 0);
    ASSERT_EQ(
        Run(sim, {"--no-backup", "--no-verify", "restore", (dir / "image.bin").string()}).status,
        0);
    ASSERT_EQ(
        Run(sim, {"--no-backup", "--no-verify", "backup", (dir / "copy.bin").string()}).status, 0);
    std::vector<int> expected{0x20, 0x40};
    for (int block = 0; block < kBlocks; ++block) {
        expected.insert(expected.end(), {block / 256, block % 256});
        expected.insert(expected.end(), image.begin() + block * 256,
                        image.begin() + block * 256 + 256);
        expected.push_back(0x99);
    }
    expected.push_back(0x30);
    for (int block = 0; block < kBlocks; ++block)
        expected.insert(expected.end(), {block / 256, block % 256});
    EXPECT_EQ(sim.WaitReceived(expected.size()), expected);
    EXPECT_TRUE(Backups().empty());

    // A transfer reads the chip first only when asked to.
    test::SimProcess send({"--model", "3"}, dir / "send.log");
    ASSERT_EQ(Run(send, {"--pace", "0", "--loops", "0-0", "send", "devices"}).status, 0);
    ASSERT_EQ(
        Run(send, {"--pace", "0", "--loops", "0-0", "--backup-first", "send", "devices"}).status,
        0);
    const std::vector<int> got = send.Received();
    const std::size_t plain = 4 + 8 * (2 + 224);
    ASSERT_EQ(got.size(), plain + 1 + 2 * kBlocks + plain);
    EXPECT_EQ(got[0], 0x70);
    EXPECT_EQ(got[plain], 0x30);
    EXPECT_EQ(got[plain + 1 + 2 * kBlocks], 0x70);
    EXPECT_EQ(Backups().size(), 1u);
}

}  // namespace
}  // namespace velsend::burner

#include "core/burner/backup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

#include "core/burner/chip_safety.h"
#include "nothing_sent.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "transfer_recorder.h"

namespace velsend::burner {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes RandomImage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes image(size);
    for (auto& b : image) b = static_cast<std::uint8_t>(random());
    return image;
}

class BackupTest : public ::testing::Test {
  protected:
    ChipCopyJob Job(const test::SimProcess& sim, int model, const std::string& file) {
        ChipCopyJob job;
        job.model = model;
        job.address = {1, sim.path()};
        job.file = dir / file;
        return job;
    }
    std::size_t FilesInDir() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()));
    }
    test::TempDir dir;
    ChipCopyPort port;
    test::TransferRecorder recorder;
};

TEST_F(BackupTest, RestoreThenBackupGivesTheImageBack) {
    for (int model : {2, 3}) {
        const std::size_t size = model == 2 ? 524288 : 262144;
        const Bytes image = RandomImage(size, static_cast<unsigned>(model));
        test::WriteBytes(dir / "image.bin", image);
        test::SimProcess sim({"--model", std::to_string(model), "--chip",
                              (dir / ("chip" + std::to_string(model))).string()},
                             dir / "sim.log");

        recorder = {};
        ChipCopyResult result = RestoreChip(port, Job(sim, model, "image.bin"), recorder);
        EXPECT_EQ(result.outcome, ChipCopyOutcome::Done) << result.message;
        EXPECT_EQ(result.blocks, static_cast<int>(size / 256));
        EXPECT_EQ(recorder.statuses.front(), "正在还原工程数据，请稍后。。。");
        EXPECT_EQ(recorder.statuses[1], "0%");
        EXPECT_EQ(recorder.statuses.back(), "100%");
        EXPECT_FALSE(port.IsOpen());

        recorder = {};
        result = BackupChip(port, Job(sim, model, "copy.bin"), recorder);
        EXPECT_EQ(result.outcome, ChipCopyOutcome::Done) << result.message;
        EXPECT_EQ(recorder.ranges.back(), static_cast<int>(size / 256));
        EXPECT_EQ(recorder.statuses.back(), "100%");
        EXPECT_EQ(test::ReadBytes(dir / "copy.bin"), image) << model;
    }
    // Block numbers high byte first: the backup of model 3 asked for 0x03 0xFF last.
    test::SimProcess sim({"--model", "3"}, dir / "sim2.log");
    BackupChip(port, Job(sim, 3, "blank.bin"), recorder);
    const std::vector<int> got = sim.WaitReceived(1 + 2 * 1024);
    ASSERT_EQ(got.size(), 1u + 2 * 1024);
    EXPECT_EQ(got[0], 0x30);
    EXPECT_EQ(std::vector<int>(got.begin() + 1, got.begin() + 5), (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(std::vector<int>(got.end() - 2, got.end()), (std::vector<int>{0x03, 0xFF}));
    EXPECT_EQ(test::ReadBytes(dir / "blank.bin"), Bytes(262144, 0xFF));
}

TEST_F(BackupTest, InterruptedBackupLeavesTheOldFileAlone) {
    const Bytes old = RandomImage(262144, 9);
    test::WriteBytes(dir / "plaza.bin", old);
    const std::map<std::string, std::string> says{{"--no-commit", "只收到 256 字节"},
                                                  {"--bad-trailer", "结束字节是 0x98，不是 0x99"},
                                                  {"--drop-after", "烧写器没有回答"}};
    for (const auto& [fault, why] : says) {
        const std::string n = fault == "--drop-after" ? "1000" : "500";
        test::SimProcess sim({"--model", "3", fault, n}, dir / "sim.log");
        const ChipCopyResult result = BackupChip(port, Job(sim, 3, "plaza.bin"), recorder);
        EXPECT_EQ(result.outcome, ChipCopyOutcome::BlockError) << fault;
        // "error" stays the first line; the second names the block and what came.
        EXPECT_EQ(result.message.substr(0, 6), "error\n");
        EXPECT_NE(result.message.find("第 500 块"), std::string::npos) << result.message;
        EXPECT_NE(result.message.find(why), std::string::npos) << result.message;
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(test::ReadBytes(dir / "plaza.bin"), old) << fault;
        // No half image lies around under another name either.
        EXPECT_EQ(FilesInDir(), 2u) << fault;  // the old backup and the log
    }
}

// A verify reads the chip as a backup does: a block it could not read whole
// is a failed read, never a chip that matches.
TEST_F(BackupTest, VerifyFailsOnAShortBlockOrABadTrailer) {
    const Bytes blank(262144, 0xFF);
    for (const char* fault : {"--no-commit", "--bad-trailer"}) {
        test::SimProcess sim({"--model", "3", fault, "7"}, dir / "sim.log");
        const VerifyResult result =
            VerifyChipImage(port, Job(sim, 3, "unused.bin"), blank, recorder);
        EXPECT_EQ(result.outcome, VerifyOutcome::Failed) << fault;
        EXPECT_NE(result.message.find("第 7 块"), std::string::npos) << result.message;
        EXPECT_FALSE(port.IsOpen());
    }
}

TEST_F(BackupTest, WrongSizedRestoreFileIsRefusedBeforeAnythingIsSent) {
    test::SimProcess sim({"--model", "2"}, dir / "sim.log");
    test::WriteBytes(dir / "small.bin", Bytes(262144, 0x11));
    const ChipCopyResult result = RestoreChip(port, Job(sim, 2, "small.bin"), recorder);
    EXPECT_EQ(result.outcome, ChipCopyOutcome::WrongSize);
    EXPECT_NE(result.message.find("262144"), std::string::npos);
    EXPECT_NE(result.message.find("524288"), std::string::npos);
    EXPECT_TRUE(result.handIcon);

    const ChipCopyResult missing = RestoreChip(port, Job(sim, 2, "none.bin"), recorder);
    EXPECT_EQ(missing.message, "文件" + (dir / "none.bin").string() +
                                   "打开失败!\n文件或文件夹不存在（" + std::strerror(ENOENT) +
                                   "）");
    EXPECT_TRUE(test::ReceivedBeforeMarker(sim).empty());
}

TEST_F(BackupTest, BurnerThatDoesNotTakeTheCommand) {
    test::SimProcess sim({"--silent"}, dir / "sim.log");
    const ChipCopyResult result = BackupChip(port, Job(sim, 3, "x.bin"), recorder);
    EXPECT_EQ(result.outcome, ChipCopyOutcome::NoBurner);
    EXPECT_EQ(result.message, "烧写器没有上电 或 通讯线没有连接电脑");
    EXPECT_FALSE(std::filesystem::exists(dir / "x.bin"));

    // A restore answered with garbage fails the same way.
    test::SimProcess garbage({"--garbage"}, dir / "sim2.log");
    test::WriteBytes(dir / "y.bin", Bytes(262144, 0));
    EXPECT_EQ(RestoreChip(port, Job(garbage, 3, "y.bin"), recorder).outcome,
              ChipCopyOutcome::NoBurner);
}

}  // namespace
}  // namespace velsend::burner

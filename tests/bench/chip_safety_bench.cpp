// What the backup before an erase and the read-back after a restore cost,
// against the simulator pacing its line at 115200 bit/s: each adds one full
// read of the chip and nothing more. Also the time one backup of the largest
// chip (512 KB) takes, the figure the GUI quotes before it asks.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "core/burner/chip_safety.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "transfer_recorder.h"

namespace velsend::burner {
namespace {

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class ChipSafetyBench : public ::testing::Test {
  protected:
    ChipCopyJob Job(const test::SimProcess& sim, int model) {
        ChipCopyJob job;
        job.model = model;
        job.address = {1, sim.path()};
        job.file = dir / "image.bin";
        return job;
    }
    TransferJob Erase(const test::SimProcess& sim, int model) {
        TransferJob job;
        job.kind = TransferKind::EraseChip;
        job.model = model;
        job.address = {1, sim.path()};
        job.project = store::ProjectDir(dir.path());
        return job;
    }
    test::TempDir dir;
    test::TransferRecorder recorder;
    ChipCopyPort port;
};

TEST_F(ChipSafetyBench, BackupOfTheLargestChipAt115200) {
    test::SimProcess sim({"--model", "2", "--baud", "115200"}, dir / "sim.log");
    ChipCopyResult result;
    ChipCopyJob job = Job(sim, 2);
    const double measured = Seconds([&] { result = BackupChip(port, job, recorder); });
    ASSERT_EQ(result.outcome, ChipCopyOutcome::Done) << result.message;
    std::printf("backup of 512 KB at 115200 bit/s: %.1f s measured, %.1f s on the line (%s)\n",
                measured, ChipReadSeconds(2, 115200), ChipReadTimeText(2, 115200).c_str());
    EXPECT_LE(measured, 1.10 * ChipReadSeconds(2, 115200));
}

TEST_F(ChipSafetyBench, BackupThenEraseAddsOneFullRead) {
    test::SimProcess sim({"--model", "3", "--baud", "115200"}, dir / "sim.log");
    BurnerPort burnerPort;
    TransferEngine engine(burnerPort, recorder);
    GuardedTransfer bare, guarded;
    const double erase =
        Seconds([&] { bare = TransferWithBackup(engine, Erase(sim, 3), false, recorder); });
    ChipCopyResult read;
    const double backup = Seconds([&] { read = BackupChip(port, Job(sim, 3), recorder); });
    const double both =
        Seconds([&] { guarded = TransferWithBackup(engine, Erase(sim, 3), true, recorder); });
    ASSERT_TRUE(bare.transfer && bare.transfer->Succeeded());
    ASSERT_EQ(read.outcome, ChipCopyOutcome::Done);
    ASSERT_TRUE(guarded.transfer && guarded.transfer->Succeeded());
    // The simulator erases at once, so the ratio to the bare erase alone says
    // nothing; what the backup adds is measured against one full read.
    std::printf(
        "256 KB chip at 115200 bit/s\n"
        "  erase %.2f s, backup %.2f s, backup then erase %.2f s\n"
        "  backup-then-erase / (backup + erase) %.3f\n"
        "  added time / one full read          %.3f\n",
        erase, backup, both, both / (backup + erase), (both - erase) / backup);
    EXPECT_LE((both - erase) / backup, 1.10);
}

TEST_F(ChipSafetyBench, RestoreThenVerifyAddsOneFullRead) {
    test::SimProcess sim({"--model", "3", "--baud", "115200"}, dir / "sim.log");
    test::WriteBytes(dir / "image.bin", std::vector<std::uint8_t>(ChipImageSize(3), 0x5A));
    GuardedRestore bare, verified;
    RestoreSteps plain{false, false, dir.path()};
    RestoreSteps verify{false, true, dir.path()};
    const double restore =
        Seconds([&] { bare = RestoreWithSteps(port, Job(sim, 3), plain, recorder); });
    const double both =
        Seconds([&] { verified = RestoreWithSteps(port, Job(sim, 3), verify, recorder); });
    ASSERT_TRUE(bare.Succeeded());
    ASSERT_TRUE(verified.Succeeded()) << verified.FailureText();
    const double read = ChipReadSeconds(3, 115200);
    std::printf(
        "256 KB chip at 115200 bit/s\n"
        "  restore %.2f s, restore then verify %.2f s\n"
        "  restore-then-verify / restore        %.3f\n"
        "  added time / one full read (%.1f s)  %.3f\n",
        restore, both, both / restore, read, (both - restore) / read);
    EXPECT_LE(both / restore, 2.10);
}

}  // namespace
}  // namespace velsend::burner

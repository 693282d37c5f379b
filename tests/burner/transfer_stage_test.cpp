// The line under a transfer's bar: which loop or rules, the share of the
// whole run and the time left.
#include <gtest/gtest.h>

#include "core/burner/transfer_stage.h"

namespace velsend::burner {
namespace {

TEST(TransferStage, LineCountsLoopsAndRulesOverTheWholeRun) {
    StageTracker tracker;
    tracker.Start(100.0);
    EXPECT_EQ(tracker.Line(0, 160, 100.0), "");  // nothing before the first stage

    // Third of eight loops, half its bar: (2 + 0.5) / 8 of the run.
    tracker.Enter({TransferStage::Unit::Loop, 2, 8, 0, 0});
    EXPECT_DOUBLE_EQ(tracker.Share(80, 160), 2.5 / 8);
    EXPECT_EQ(tracker.Line(80, 160, 125.0), "回路 3 / 8　总进度 31%　剩余约 55 秒");
    EXPECT_EQ(tracker.Line(80, 160, 300.0), "回路 3 / 8　总进度 31%　剩余约 7 分 20 秒");
    // Too early to tell: under a second, or under 2 % done.
    EXPECT_EQ(tracker.SecondsLeft(80, 160, 100.5), std::nullopt);
    tracker.Enter({TransferStage::Unit::Loop, 0, 80, 0, 0});
    EXPECT_EQ(tracker.Line(100, 160, 130.0), "回路 1 / 80　总进度 0%　剩余时间估算中");
    // A position past the range never takes the share past the stage.
    EXPECT_DOUBLE_EQ(tracker.Share(500, 160), 1.0 / 80);

    // Logic blocks: the rules in the block; the bar's block position does not count.
    tracker.Enter({TransferStage::Unit::Rules, 249, 250, 996, 999});
    EXPECT_EQ(tracker.Line(249, 256, 200.0), "逻辑 996–999（250 / 250）　总进度 99%　剩余约 0 秒");
    tracker.Enter({TransferStage::Unit::Rules, 3, 1000, 3, 3});
    EXPECT_EQ(tracker.Line(0, 256, 101.0), "逻辑 3（4 / 1000）　总进度 0%　剩余时间估算中");

    // The end: a whole run shows all done, any run stops estimating.
    tracker.Enter({TransferStage::Unit::Rules, 3, 4, 0, 3});
    tracker.Finish(true);
    EXPECT_EQ(tracker.Line(3, 256, 102.0), "逻辑 0–3（4 / 4）　总进度 100%");
    tracker.Start(0.0);
    tracker.Enter({TransferStage::Unit::Loop, 2, 8, 0, 0});
    tracker.Finish(false);
    EXPECT_EQ(tracker.Line(80, 160, 0.5), "回路 3 / 8　总进度 31%");

    // A new run starts afresh.
    tracker.Start(0.0);
    EXPECT_FALSE(tracker.HasStage());
}

}  // namespace
}  // namespace velsend::burner

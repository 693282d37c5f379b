// The progress window must keep answering during a fast transfer: this
// measures the longest stretch the GUI thread spends without getting back to
// its event loop while a 4-loop device transfer runs at pace 0 against the
// simulated burner.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "gui/burner/transfer_progress_dlg.h"
#include "gui/kit/progress_bridge.h"
#include "gui/kit/run_state.h"
#include "scripted_messages.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "widgets.h"

namespace velsend {
namespace {

TEST(TransferDialogBench, GuiThreadNeverGoesFiftyMillisecondsWithoutItsEventLoop) {
    test::TempDir dir;
    test::SimProcess sim({}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());
    gui::kit::RunState state;
    state.Project = store::ProjectDir(dir.path());
    state.Ports = burner::PortList::FromSpec(sim.path());
    state.Rules.FirstLoop = 0;
    state.Rules.LastLoop = 3;
    state.Rules.PaceDelay = 0;
    test::ScriptedMessages messages;

    double longestMs = 0;
    double runMs = 0;
    int turns = 0;
    int deliveries = 0;
    const int runs = 20;
    for (int run = 0; run < runs; ++run) {
        gui::burner::TransferProgressDlg dialog(burner::TransferKind::SendDevices, state, messages);
        dialog.show();
        QApplication::processEvents();

        // A zero-interval timer fires once per turn of the event loop: the
        // longest gap between two firings is the longest stretch without it.
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longest = 0;
        QTimer turn;
        turn.setInterval(0);
        QObject::connect(&turn, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
            ++turns;
        });
        clock.start();
        turn.start();
        test::Child<QPushButton>(&dialog, "start")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 60000));
        runMs += static_cast<double>(clock.nsecsElapsed()) / 1e6;
        turn.stop();
        ASSERT_TRUE(dialog.LastResult().Succeeded()) << dialog.LastResult().status;
        longestMs = std::max(longestMs, static_cast<double>(longest) / 1e6);
        deliveries += dialog.Bridge().Deliveries();
    }

    std::printf("%-44s %8.1f ms\n", "longest stretch without the event loop", longestMs);
    std::printf("%-44s %8.1f ms\n", "mean transfer time (4 loops, pace 0)", runMs / runs);
    std::printf("%-44s %8d\n", "progress updates applied per transfer", deliveries / runs);
    std::printf("%-44s %8d\n", "event loop turns per transfer", turns / runs);
    EXPECT_LT(longestMs, 50.0);
}

}  // namespace
}  // namespace velsend

// Saving a device with Enter and repainting the whole device grid must feel
// instant: both are timed on the detail dialog over the demo project, the
// save as the GUI makes it on an opened folder (the project lock taken, the
// loop's two files committed through the journal with their history step).

#include <gtest/gtest.h>

#include <QPixmap>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "base/file_write.h"
#include "base/project_lock.h"
#include "core/demo/demo_project.h"
#include "core/history/history.h"
#include "gui/devices/device_detail_dlg.h"
#include "gui/kit/number_edit.h"
#include "gui/loops/loop_grid_view.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "widgets.h"

namespace velsend {
namespace {

template <typename F>
double MedianMs(int runs, F&& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

TEST(DeviceDialogBench, EnterAndGridRepaintStayUnderTwoMilliseconds) {
    test::TempDir dir;
    gui::kit::RunState state;
    state.Project = store::ProjectDir(dir.path());
    const auto written = demo::WriteDemoProject(state.Project);
    ASSERT_TRUE(written) << written.error().Full();
    base::ProjectLock::GuardWritesTo(dir.path());
    history::Install(dir.path());
    test::ScriptedMessages messages;
    gui::devices::DeviceDetailDlg dialog(state, messages);
    dialog.show();
    QApplication::processEvents();

    // Enter in the zone edit: save, next address, form kept, grid updated.
    // Zone 9 is new at every address: each Enter is a step of the history.
    QLineEdit* zone = test::Child<QLineEdit>(&dialog, "zone");
    zone->setFocus();
    zone->selectAll();
    QTest::keyClicks(zone, QStringLiteral("9"));
    const double enter = MedianMs(256, [&] {
        QTest::keyClick(zone, Qt::Key_Return);
        QApplication::processEvents();
    });

    EXPECT_FALSE(std::filesystem::exists(dir.path() / base::ProjectLock::kFileName));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / base::kJournalName));

    QPixmap target(dialog.size());
    gui::loops::LoopGridView* grid = test::Child<gui::loops::LoopGridView>(&dialog);
    const double repaint = MedianMs(200, [&] { grid->render(&target); });

    const auto recorded = history::Load(dir.path());
    ASSERT_TRUE(recorded);
    std::printf("%-26s %8.3f ms (lock, journal and history step; %zu steps kept)\n",
                "save and move on (Enter)", enter, recorded->steps.size());
    history::Uninstall();
    std::printf("%-26s %8.3f ms\n", "full grid repaint", repaint);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_LT(enter, 2.0);
    EXPECT_LT(repaint, 2.0);
}

}  // namespace
}  // namespace velsend

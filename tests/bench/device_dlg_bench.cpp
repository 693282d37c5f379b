// Saving a device with Enter and repainting the whole device grid must feel
// instant: both are timed on the detail dialog over the demo project, the
// save as the GUI makes it on an opened folder (the project lock taken, the
// loop's two files committed through the journal).

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
#include "gui/loops/loop_grid_view.h"
#include "gui/devices/device_detail_dlg.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "gui/kit/number_edit.h"

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
    test::ScriptedMessages messages;
    gui::devices::DeviceDetailDlg dialog(state, messages);
    dialog.show();
    QApplication::processEvents();

    // Enter in the zone edit: save, next address, form kept, grid updated.
    dialog.ZoneEdit()->setFocus();
    const double enter = MedianMs(256, [&] {
        QTest::keyClick(dialog.ZoneEdit(), Qt::Key_Return);
        QApplication::processEvents();
    });

    EXPECT_FALSE(std::filesystem::exists(dir.path() / base::ProjectLock::kFileName));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / base::kJournalName));

    QPixmap target(dialog.size());
    const double repaint = MedianMs(200, [&] { dialog.Grid()->render(&target); });

    std::printf("%-26s %8.3f ms (lock and journal)\n", "save and move on (Enter)", enter);
    std::printf("%-26s %8.3f ms\n", "full grid repaint", repaint);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_LT(enter, 2.0);
    EXPECT_LT(repaint, 2.0);
}

}  // namespace
}  // namespace velsend

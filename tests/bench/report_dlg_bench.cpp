// "打印报告…" on the largest project: the window must keep answering while
// the pages are built. Measures the longest stretch the GUI thread spends
// without its event loop during the build, and the time the preview then
// takes to open; "取消" ends the build without a preview.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "full_project.h"
#include "gui/kit/run_state.h"
#include "gui/report/report_commands.h"
#include "gui/report/report_preview_dlg.h"
#include "scripted_messages.h"
#include "temp_dir.h"

namespace velsend {
namespace {

TEST(ReportPreviewBench, FullProjectPagesAreBuiltWithoutStallingTheWindow) {
    test::TempDir dir;
    gui::kit::RunState state;
    state.Project = store::ProjectDir(dir.path());
    ASSERT_NO_FATAL_FAILURE(test::WriteFullProject(state.Project));
    test::ScriptedMessages messages;

    // A zero-interval timer fires once per turn of the event loop.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestAt = 0;
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (now - last > longest) {
            longest = now - last;
            longestAt = now;
        }
        last = now;
    });
    clock.start();
    turn.start();
    std::optional<gui::report::BuiltReport> built =
        gui::report::BuildReportInBackground(state, messages, nullptr);
    turn.stop();
    const double buildMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    ASSERT_TRUE(built.has_value());

    QElapsedTimer open;
    open.start();
    gui::report::ReportPreviewDlg preview(std::move(built->report), std::move(built->pdf),
                                          messages);
    const double openMs = static_cast<double>(open.nsecsElapsed()) / 1e6;
    EXPECT_GT(preview.PageCount(), 1000);

    std::printf("%-48s %8.1f ms\n", "longest stretch without the event loop",
                static_cast<double>(longest) / 1e6);
    std::printf("%-48s %8.1f s\n", "  ... ending at", static_cast<double>(longestAt) / 1e9);
    std::printf("%-48s %8.1f s\n", "pages built off the GUI thread", buildMs / 1000);
    std::printf("%-48s %8d\n", "sheets", preview.PageCount());
    std::printf("%-48s %8.1f ms\n", "preview opened on the built PDF", openMs);
    EXPECT_LT(static_cast<double>(longest) / 1e6, 50.0);

    // "取消" as soon as the progress dialog shows: no preview, no message.
    QTimer cancel;
    cancel.setInterval(10);
    QObject::connect(&cancel, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(w);
                progress && progress->isVisible())
                if (auto* button = progress->findChild<QPushButton*>()) button->click();
    });
    cancel.start();
    EXPECT_EQ(gui::report::MakeReportPreview(state, messages, nullptr), nullptr);
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace velsend

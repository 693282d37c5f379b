#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "base/platform/files.h"
#include "base/project_lock.h"
#include "core/demo/demo_project.h"
#include "core/exchange/excel_exchange.h"
#include "core/exchange/sd_pack.h"
#include "core/exchange/text_print.h"
#include "gui/burner/transfer_progress_dlg.h"
#include "gui/kit/run_state.h"
#include "gui/report/report_commands.h"
#include "gui/report/report_preview_dlg.h"
#include "nothing_sent.h"
#include "scripted_messages.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "widgets.h"

namespace velsend {
namespace {

namespace fs = std::filesystem;

bool SaysBusy(const std::string& text) {
    return text.find("正被另一个程序使用") != std::string::npos;
}

// While another program commits (it holds the project lock), what the GUI
// sends, exports, packs, prints or reports must wait for it and, when it
// does not finish, read nothing at all: a read beside a commit could mix
// the project before it with the project after it.
TEST(GuiReaders, WaitForAWriterAtWorkAndReadNothingBesideIt) {
    test::TempDir dir;
    gui::kit::RunState state;
    state.Project = store::ProjectDir(dir.path());
    state.Rules.PaceDelay = 0;
    ASSERT_TRUE(demo::WriteDemoProject(state.Project));
    test::SimProcess sim({}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());
    state.Ports = burner::PortList::FromSpec(sim.path());
    test::ScriptedMessages messages;
    const fs::path out = dir / "out";
    fs::create_directories(out);

    ::setenv("VELSEND_LOCK_WAIT_MS", "50", 1);
    auto writer = std::make_unique<platform::LockFile>();
    ASSERT_EQ(writer->Open(fs::canonical(dir.path()) / std::string(base::ProjectLock::kFileName)),
              0);
    ASSERT_EQ(writer->TryLock(), 0);

    {
        gui::burner::TransferProgressDlg dialog(burner::TransferKind::SendDevices, state, messages);
        dialog.show();
        QTest::mouseClick(test::Child<QPushButton>(&dialog, "start"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
        const QString status = test::Child<QLabel>(&dialog, "status")->text();
        EXPECT_TRUE(status.startsWith(QStringLiteral("传送设备信息失败！")))
            << status.toStdString();
        EXPECT_TRUE(SaysBusy(status.toStdString())) << status.toStdString();
    }
    EXPECT_TRUE(test::ReceivedBeforeMarker(sim).empty());

    EXPECT_FALSE(gui::report::MakeReportPreview(state, messages, nullptr));
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(SaysBusy(messages.shown.back().text.toStdString()));

    auto exported = exchange::ExportExcel(state.Project, out / "x.xlsx");
    ASSERT_FALSE(exported);
    EXPECT_TRUE(SaysBusy(exported.error().userText));
    auto packed = exchange::PackSdCard(state.Project, base::SdFamily::KA, 1, 0);
    ASSERT_FALSE(packed);
    EXPECT_TRUE(SaysBusy(packed.error().userText));
    auto printed = exchange::WriteTextPrintFiles(state.Project, 2);
    ASSERT_FALSE(printed);
    EXPECT_TRUE(SaysBusy(printed.error().userText));
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_FALSE(fs::exists(state.Project.PathOf(exchange::PackFileName(base::SdFamily::KA, 1))));
    EXPECT_FALSE(fs::exists(state.Project.PathOf(store::ProjectFile::DeviceText, 0)));

    // The writer done, the same reads go through.
    writer.reset();
    EXPECT_TRUE(exchange::ExportExcel(state.Project, out / "x.xlsx"));
    EXPECT_TRUE(exchange::PackSdCard(state.Project, base::SdFamily::KA, 1, 0));
    EXPECT_TRUE(exchange::WriteTextPrintFiles(state.Project, 2));
    EXPECT_TRUE(gui::report::MakeReportPreview(state, messages, nullptr));
    ::unsetenv("VELSEND_LOCK_WAIT_MS");
}

}  // namespace
}  // namespace velsend

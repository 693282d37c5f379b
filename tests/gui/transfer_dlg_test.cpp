#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "base/command_ids.h"
#include "app/gui/main_frame.h"
#include "base/run_state.h"
#include "burner/backup_dlg.h"
#include "burner/show_dlg.h"
#include "scripted_messages.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace velsend::burner {
namespace {

class TransferDlgTest : public ::testing::Test {
  protected:
    TransferDlgTest() {
        state.Project = store::ProjectDir(dir.path());
        state.Rules.PaceDelay = 0;
    }
    void Attach(const test::SimProcess& sim) {
        ASSERT_FALSE(sim.path().empty());
        state.Ports = PortList::FromSpec(sim.path());
    }
    test::TempDir dir;
    base::RunState state;
    test::ScriptedMessages messages;
};

TEST_F(TransferDlgTest, DeviceTransferRunsOffTheGuiThreadAndEnablesFinish) {
    test::SimProcess sim({}, dir / "sim.log");
    Attach(sim);
    state.TransferKind = kSendDevices;
    CShowDlg dialog(state, messages);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("进度显示"));
    EXPECT_EQ(dialog.Status()->text(), QStringLiteral("传送设备信息"));
    EXPECT_FALSE(dialog.FinishButton()->isEnabled());
    dialog.show();

    // The GUI thread keeps turning while the transfer runs.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    state.Rules.PaceDelay = 1;  // long enough to be seen running
    QTest::mouseClick(dialog.StartButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.Running());
    EXPECT_FALSE(dialog.StartButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), 10000);
    EXPECT_GT(ticks, 5);

    EXPECT_EQ(dialog.Status()->text(), QStringLiteral("传送设备信息成功！"));
    EXPECT_EQ(dialog.Progress()->maximum(), 160);
    EXPECT_EQ(dialog.Progress()->value(), 160);
    EXPECT_TRUE(dialog.FinishButton()->isEnabled());
    EXPECT_EQ(dialog.focusWidget(), dialog.FinishButton());
    EXPECT_TRUE(dialog.StartButton()->isEnabled());
    EXPECT_FALSE(state.BurnerPort.IsOpen());
    EXPECT_EQ(sim.WaitReceived(4 * (4 + 8 * 226)).size(), 4u * (4 + 8 * 226));

    QTest::mouseClick(dialog.FinishButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(TransferDlgTest, CancelStopsARunningTransferAndClosesThePort) {
    test::SimProcess sim({}, dir / "sim.log");
    Attach(sim);
    state.TransferKind = kSendDevices;
    state.Rules.PaceDelay = 50;  // 3 s rest after each loop
    CShowDlg dialog(state, messages);
    dialog.show();
    QTest::mouseClick(dialog.StartButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Progress()->value() == 160, 5000);
    const auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 5000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.LastResult().outcome, TransferOutcome::Cancelled);
    EXPECT_FALSE(state.BurnerPort.IsOpen());
}

TEST_F(TransferDlgTest, MissingPortIsReportedAndTheTransferFails) {
    state.Ports = PortList::FromSpec("/dev/velsend-no-such-port");
    state.TransferKind = kSendNodes;
    CShowDlg dialog(state, messages);
    dialog.show();
    QTest::mouseClick(dialog.StartButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), 5000);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("没有发现 COM1 串口")));
    EXPECT_EQ(messages.shown[0].caption, ui::MessageService::AppTitle());
    EXPECT_EQ(messages.shown[0].icon, ui::MessageIcon::Warning);
    EXPECT_EQ(dialog.Status()->text(), QStringLiteral("传送节点信息失败！"));
    EXPECT_FALSE(dialog.FinishButton()->isEnabled());
}

TEST_F(TransferDlgTest, MenuCommandsOpenTheirDialogs) {
    app::gui::CMainFrame frame(state, messages);
    QString seen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CShowDlg*>(QApplication::activeModalWidget());
        if (dialog) seen = dialog->Status()->text();
        if (dialog) dialog->CancelButton()->click();
    });
    frame.ExecuteCommand(base::ID_SEND_NAMES);
    EXPECT_EQ(seen, QStringLiteral("传送中文名称信息"));
    EXPECT_EQ(state.TransferKind, 5);

    bool backupShown = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CBackupDlg*>(QApplication::activeModalWidget());
        backupShown = dialog != nullptr;
        if (dialog) dialog->close();
    });
    frame.ExecuteCommand(base::ID_BACKUP);
    EXPECT_TRUE(backupShown);
}

TEST_F(TransferDlgTest, BackupWritesTheImageAndWrongRestoreIsRefused) {
    test::SimProcess sim({"--model", "3"}, dir / "sim.log");
    Attach(sim);
    state.ControllerModel = 3;
    CBackupDlg dialog(state, messages);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("数据备份"));
    dialog.show();

    messages.files = {QString::fromStdString((dir / "plaza").string())};
    QTest::mouseClick(dialog.BackupButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), 10000);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(dialog.Status()->text(), QStringLiteral("100%"));
    EXPECT_EQ(dialog.Progress()->value(), 1024);
    EXPECT_EQ(test::ReadBytes(dir / "plaza.bin"), std::vector<std::uint8_t>(262144, 0xFF));

    const std::size_t before = sim.Received().size();
    test::WriteBytes(dir / "short.bin", std::vector<std::uint8_t>(1000, 1));
    messages.files = {QString::fromStdString((dir / "short.bin").string())};
    QTest::mouseClick(dialog.RestoreButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), 5000);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("1000")));
    EXPECT_EQ(messages.shown[0].icon, ui::MessageIcon::Critical);
    EXPECT_EQ(sim.Received().size(), before);

    // Cancelling the file dialog does nothing.
    QTest::mouseClick(dialog.RestoreButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.Running());
    EXPECT_EQ(messages.shown.size(), 1u);
}

}  // namespace
}  // namespace velsend::burner

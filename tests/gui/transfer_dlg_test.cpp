#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <csignal>
#include <thread>

#include "app/main_frame.h"
#include "app/termination.h"
#include "base/command_ids.h"
#include "core/store/node_records.h"
#include "gui/burner/chip_copy_dlg.h"
#include "gui/burner/transfer_progress_dlg.h"
#include "gui/burner/transfer_rules_dlg.h"
#include "gui/kit/background_run.h"
#include "gui/kit/progress_bridge.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/run_state.h"
#include "nothing_sent.h"
#include "scripted_messages.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "widgets.h"

namespace velsend::burner {

using namespace velsend::gui::burner;
using test::Child;
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
    gui::kit::RunState state;
    test::ScriptedMessages messages;
};

TEST_F(TransferDlgTest, DeviceTransferRunsOffTheGuiThreadAndEnablesFinish) {
    test::SimProcess sim({}, dir / "sim.log");
    Attach(sim);
    TransferProgressDlg dialog(TransferKind::SendDevices, state, messages);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("进度显示"));
    EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(), QStringLiteral("传送设备信息"));
    EXPECT_FALSE(Child<QPushButton>(&dialog, "finish")->isEnabled());
    dialog.show();

    // Progress reaches the bar while the worker still runs (how long the GUI
    // thread goes without its event loop is measured by the benchmark).
    bool seenMidway = false;
    QObject::connect(Child<QProgressBar>(&dialog, "progress"), &QProgressBar::valueChanged,
                     [&](int value) {
                         if (dialog.Running() && value > 0) seenMidway = true;
                     });
    // The line under the bar names each of the four loops in turn.
    QStringList loopsSeen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QString loop =
            Child<QLabel>(&dialog, "stageLine")->text().section(QChar(0x3000), 0, 0);
        if (!loop.isEmpty() && (loopsSeen.isEmpty() || loopsSeen.back() != loop)) {
            loopsSeen << loop;
            if (qEnvironmentVariableIsSet("VELSEND_SHOTS") && loopsSeen.size() == 3)
                dialog.grab().save(qEnvironmentVariable("VELSEND_SHOTS") +
                                   QStringLiteral("/transfer-loop.png"));
        }
    });
    watch.start(1);
    state.Rules.PaceDelay = 1;
    QTest::mouseClick(Child<QPushButton>(&dialog, "start"), Qt::LeftButton);
    EXPECT_TRUE(dialog.Running());
    EXPECT_FALSE(Child<QPushButton>(&dialog, "start")->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
    EXPECT_TRUE(seenMidway);
    watch.stop();
    EXPECT_FALSE(loopsSeen.isEmpty());
    EXPECT_EQ(loopsSeen.back(), QStringLiteral("回路 4 / 4"));
    for (const QString& loop : loopsSeen)
        EXPECT_TRUE(QStringList({QStringLiteral("回路 1 / 4"), QStringLiteral("回路 2 / 4"),
                                 QStringLiteral("回路 3 / 4"), QStringLiteral("回路 4 / 4")})
                        .contains(loop))
            << loop.toStdString();
    EXPECT_TRUE(std::is_sorted(loopsSeen.begin(), loopsSeen.end()))
        << loopsSeen.join(u',').toStdString();
    EXPECT_TRUE(Child<QLabel>(&dialog, "stageLine")->text().contains(QStringLiteral("总进度 100%")))
        << Child<QLabel>(&dialog, "stageLine")->text().toStdString();

    EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(), QStringLiteral("传送设备信息成功！"));
    EXPECT_EQ(Child<QProgressBar>(&dialog, "progress")->maximum(), 160);
    EXPECT_EQ(Child<QProgressBar>(&dialog, "progress")->value(), 160);
    EXPECT_TRUE(Child<QPushButton>(&dialog, "finish")->isEnabled());
    EXPECT_EQ(dialog.focusWidget(), Child<QPushButton>(&dialog, "finish"));
    EXPECT_TRUE(Child<QPushButton>(&dialog, "start")->isEnabled());
    EXPECT_FALSE(state.BurnerPort.IsOpen());
    EXPECT_EQ(sim.WaitReceived(4 * (4 + 8 * 226)).size(), 4u * (4 + 8 * 226));

    QTest::mouseClick(Child<QPushButton>(&dialog, "finish"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(TransferDlgTest, LogicLineEndsAtTheRunsEndState) {
    state.Rules.FirstLogic = 0;
    state.Rules.LastLogic = 3;
    {
        test::SimProcess sim({}, dir / "sim.log");
        Attach(sim);
        TransferProgressDlg dialog(TransferKind::SendLogic, state, messages);
        dialog.show();
        Child<QPushButton>(&dialog, "start")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
        EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(), QStringLiteral("传送逻辑信息成功！"));
        EXPECT_EQ(Child<QLabel>(&dialog, "stageLine")->text(),
                  QStringLiteral("逻辑 0–3（4 / 4）　总进度 100%"));
    }
    // A failed run keeps where it got to, without a time left to come.
    test::SimProcess silent({"--silent"}, dir / "silent.log");
    Attach(silent);
    TransferProgressDlg dialog(TransferKind::SendLogic, state, messages);
    dialog.show();
    Child<QPushButton>(&dialog, "start")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
    EXPECT_TRUE(
        Child<QLabel>(&dialog, "status")->text().startsWith(QStringLiteral("传送逻辑信息失败！")));
    EXPECT_EQ(Child<QLabel>(&dialog, "stageLine")->text(),
              QStringLiteral("逻辑 0–3（1 / 4）　总进度 0%"));
}

TEST_F(TransferDlgTest, CancelStopsARunningTransferAndClosesThePort) {
    test::SimProcess sim({}, dir / "sim.log");
    Attach(sim);
    state.Rules.PaceDelay = 50;  // 3 s rest after each loop
    TransferProgressDlg dialog(TransferKind::SendDevices, state, messages);
    dialog.show();
    QTest::mouseClick(Child<QPushButton>(&dialog, "start"), Qt::LeftButton);
    // The first loop is through; the rest after it lasts seconds.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Child<QProgressBar>(&dialog, "progress")->value() == 160; }, 30000));
    QTest::mouseClick(Child<QPushButton>(&dialog, "cancel"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 30000));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.LastResult().outcome, TransferOutcome::Cancelled);
    EXPECT_FALSE(state.BurnerPort.IsOpen());
    // The user learns that the chip may now hold only part of the data.
    EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(), gui::kit::Q(kTransferStopped));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0].text,
        gui::kit::Q(TransferStoppedText(TransferKind::SendDevices, dialog.LastResult().blocksStored,
                                        dialog.LastResult().blocksExpected)));
    EXPECT_EQ(messages.shown[0].icon, gui::kit::MessageIcon::Warning);
    // Only the first loop went out.
    EXPECT_LT(sim.Received().size(), 2u * (4 + 8 * 226));
}

TEST_F(TransferDlgTest, AStopSignalEndsATransferBetweenBlocksAndThenTheProgram) {
    test::SimProcess sim({}, dir / "sim.log");
    Attach(sim);
    state.Rules.PaceDelay = 50;  // 3 s rest after each loop
    app::TerminationWatch watch;
    bool allClosed = false;
    QObject::connect(&watch, &app::TerminationWatch::AllClosed, [&] { allClosed = true; });
    TransferProgressDlg dialog(TransferKind::SendDevices, state, messages);
    dialog.setWindowModality(Qt::ApplicationModal);  // as exec() shows it
    dialog.show();
    QTest::mouseClick(Child<QPushButton>(&dialog, "start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Child<QProgressBar>(&dialog, "progress")->value() == 160; }, 30000));

    ASSERT_EQ(::raise(SIGTERM), 0);  // what a logout or `kill` sends
    ASSERT_TRUE(QTest::qWaitFor([&] { return allClosed; }, 30000));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.LastResult().outcome, TransferOutcome::Cancelled);
    EXPECT_FALSE(state.BurnerPort.IsOpen());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0].text,
        gui::kit::Q(TransferStoppedText(TransferKind::SendDevices, dialog.LastResult().blocksStored,
                                        dialog.LastResult().blocksExpected)));
    EXPECT_LT(sim.Received().size(), 2u * (4 + 8 * 226));
}

TEST_F(TransferDlgTest, ClosingWhileThePortMessageIsDueDoesNotHang) {
    state.Ports = PortList::FromSpec("/dev/velsend-no-such-port");
    {
        TransferProgressDlg dialog(TransferKind::SendDevices, state, messages);
        dialog.show();
        Child<QPushButton>(&dialog, "start")->click();
        // Destroyed before the GUI thread ever gets to the worker's request.
    }
    {
        ChipCopyDlg dialog(state, messages);
        messages.files = {QString::fromStdString((dir / "plaza.bin").string())};
        Child<QPushButton>(&dialog, "backup")->click();
    }
    // The requests died with their dialogs.
    QApplication::processEvents();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(state.BurnerPort.IsOpen());
}

TEST_F(TransferDlgTest, NodeTransferHandsTheRecordBackWhenDone) {
    test::SimProcess sim({}, dir / "sim.log");
    Attach(sim);
    store::TenByteNodeRecord ten;
    ten.LocalAddress = 7;
    ASSERT_TRUE(store::SaveNodeRecord(state.Project, ten));
    store::NineByteNodeRecord nine;
    nine.LocalAddress = 9;
    ASSERT_TRUE(store::SaveNodeRecord(state.Project, nine));
    TransferProgressDlg dialog(TransferKind::SendNodes, state, messages);
    dialog.show();
    QTest::mouseClick(Child<QPushButton>(&dialog, "start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
    EXPECT_TRUE(dialog.LastResult().Succeeded()) << dialog.LastResult().status;
    const bool tenByte =
        base::Traits(state.ControllerModel).nodeRecord == base::NodeRecordKind::TenByte;
    EXPECT_EQ(tenByte ? state.Node10.LocalAddress : state.Node9.LocalAddress, tenByte ? 7 : 9);
}

TEST_F(TransferDlgTest, BridgeDeliversABurstAsOneUpdateWithTheLatestValues) {
    QWidget dialog;
    QProgressBar bar(&dialog);
    QLabel status(&dialog);
    gui::kit::BackgroundRun run;
    gui::kit::ProgressBridge bridge(&dialog, messages, run, &bar, &status);
    std::thread worker([&] {
        bridge.SetRange(1200);
        for (int position = 0; position <= 1000; ++position) bridge.SetPosition(position);
        bridge.SetStatus("a");
        bridge.SetStatus("b");
    });
    worker.join();
    EXPECT_EQ(bridge.Deliveries(), 0);  // nothing reaches the bar before the event loop turns
    ASSERT_TRUE(QTest::qWaitFor([&] { return bridge.Deliveries() > 0; }, 10000));
    QApplication::processEvents();
    EXPECT_EQ(bridge.Deliveries(), 1);
    EXPECT_EQ(bar.maximum(), 1200);
    EXPECT_EQ(bar.value(), 1000);
    EXPECT_EQ(status.text(), QStringLiteral("b"));

    // The next position after a delivery posts again.
    bridge.SetPosition(1100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.value() == 1100; }, 10000));
    EXPECT_EQ(bridge.Deliveries(), 2);
}

TEST_F(TransferDlgTest, MissingPortIsReportedAndTheTransferFails) {
    state.Ports = PortList::FromSpec("/dev/velsend-no-such-port");
    TransferProgressDlg dialog(TransferKind::SendNodes, state, messages);
    dialog.show();
    QTest::mouseClick(Child<QPushButton>(&dialog, "start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("没有发现 COM1 串口")));
    EXPECT_EQ(messages.shown[0].caption, gui::kit::MessageService::AppTitle());
    EXPECT_EQ(messages.shown[0].icon, gui::kit::MessageIcon::Warning);
    EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(), QStringLiteral("传送节点信息失败！"));
    EXPECT_FALSE(Child<QPushButton>(&dialog, "finish")->isEnabled());
}

TEST_F(TransferDlgTest, MenuCommandsOpenTheirDialogs) {
    app::MainFrame frame(state, messages);
    QString seen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TransferProgressDlg*>(QApplication::activeModalWidget());
        if (dialog) seen = Child<QLabel>(dialog, "status")->text();
        if (dialog) Child<QPushButton>(dialog, "cancel")->click();
    });
    frame.ExecuteCommand(base::ID_SEND_NAMES);
    EXPECT_EQ(seen, QStringLiteral("传送中文名称信息"));

    bool backupShown = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<ChipCopyDlg*>(QApplication::activeModalWidget());
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
    ChipCopyDlg dialog(state, messages);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("数据备份"));
    dialog.show();

    messages.files = {QString::fromStdString((dir / "plaza").string())};
    QTest::mouseClick(Child<QPushButton>(&dialog, "backup"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(), QStringLiteral("100%"));
    EXPECT_EQ(Child<QProgressBar>(&dialog, "progress")->value(), 1024);
    EXPECT_EQ(test::ReadBytes(dir / "plaza.bin"), std::vector<std::uint8_t>(262144, 0xFF));

    const std::size_t before = sim.Received().size();
    test::WriteBytes(dir / "short.bin", std::vector<std::uint8_t>(1000, 1));
    messages.files = {QString::fromStdString((dir / "short.bin").string())};
    QTest::mouseClick(Child<QPushButton>(&dialog, "restore"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("1000")));
    EXPECT_EQ(messages.shown[0].icon, gui::kit::MessageIcon::Critical);
    EXPECT_EQ(sim.Received().size(), before);
    // The dialog itself says so; the backup's 100% is gone.
    EXPECT_TRUE(Child<QLabel>(&dialog, "status")->text().contains(QStringLiteral("不能还原")))
        << Child<QLabel>(&dialog, "status")->text().toStdString();
    EXPECT_EQ(Child<QProgressBar>(&dialog, "progress")->value(), 0);

    // A whole image goes back (no backup first) and the dialog says it is
    // done and verified.
    messages.files = {QString::fromStdString((dir / "plaza.bin").string())};
    messages.answers = {false};
    QTest::mouseClick(Child<QPushButton>(&dialog, "restore"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 60000));
    EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(),
              QStringLiteral("还原完成：1024 块已写入芯片。校验通过"));
    EXPECT_EQ(Child<QProgressBar>(&dialog, "progress")->value(),
              Child<QProgressBar>(&dialog, "progress")->maximum());
    ASSERT_EQ(messages.shown.size(), 3u);  // the refusal, the backup question, 校验通过

    // Cancelling the file dialog does nothing.
    QTest::mouseClick(Child<QPushButton>(&dialog, "restore"), Qt::LeftButton);
    EXPECT_FALSE(dialog.Running());
    EXPECT_EQ(messages.shown.size(), 3u);
}

TEST_F(TransferDlgTest, RestoreShowsItsPhasesOnOneBarAndStopsOnlyWhenConfirmed) {
    state.ControllerModel = 3;
    test::WriteBytes(dir / "image.bin", std::vector<std::uint8_t>(262144, 0x5A));
    const QString image = QString::fromStdString((dir / "image.bin").string());
    {
        // Backup, write and verify, each named in turn; the bar never runs back.
        test::SimProcess sim({"--model", "3"}, dir / "sim.log");
        Attach(sim);
        ChipCopyDlg dialog(state, messages);
        dialog.show();
        QStringList phases;
        int lastValue = 0;
        bool backwards = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            const QString phase = dialog.findChild<QLabel*>(QStringLiteral("stageLine"))
                                      ->text()
                                      .section(QChar(0x3000), 0, 0);
            if (!phase.isEmpty() && (phases.isEmpty() || phases.back() != phase)) phases << phase;
            backwards = backwards || Child<QProgressBar>(&dialog, "progress")->value() < lastValue;
            lastValue = Child<QProgressBar>(&dialog, "progress")->value();
        });
        watch.start(1);
        messages.files = {image};
        messages.answers = {true};  // back up first
        Child<QPushButton>(&dialog, "restore")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 60000));
        watch.stop();
        EXPECT_EQ(phases,
                  QStringList({QStringLiteral("备份芯片 1/3"), QStringLiteral("写入芯片 2/3"),
                               QStringLiteral("校验 3/3")}));
        EXPECT_FALSE(backwards);
        EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("stageLine"))->text(),
                  QStringLiteral("校验 3/3　总进度 100%"));
    }
    // At line speed: the time left shows; 取消 and closing ask, and only Yes stops.
    test::SimProcess slow({"--model", "3", "--baud", "115200"}, dir / "slow.log");
    Attach(slow);
    ChipCopyDlg dialog(state, messages);
    dialog.show();
    messages.shown.clear();
    messages.files = {image};
    messages.answers = {false, false, false, true};
    Child<QPushButton>(&dialog, "restore")->click();
    auto* line = dialog.findChild<QLabel*>(QStringLiteral("stageLine"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return line->text().contains(QStringLiteral("剩余约")); }, 30000));
    EXPECT_TRUE(line->text().startsWith(QStringLiteral("写入芯片 1/2")))
        << line->text().toStdString();
    if (qEnvironmentVariableIsSet("VELSEND_SHOTS"))
        dialog.grab().save(qEnvironmentVariable("VELSEND_SHOTS") +
                           QStringLiteral("/restore-phase.png"));
    Child<QPushButton>(&dialog, "cancel")->click();
    dialog.reject();
    EXPECT_TRUE(dialog.Running());
    EXPECT_TRUE(dialog.isVisible());
    dialog.reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 30000));
    EXPECT_FALSE(dialog.Running());
    ASSERT_EQ(messages.shown.size(), 5u);  // the backup question, three stop questions, stopped
    EXPECT_TRUE(messages.shown[1].text.startsWith(QStringLiteral("停止还原？")));
    EXPECT_TRUE(messages.shown[4].text.startsWith(QStringLiteral("还原在中途停止")))
        << messages.shown[4].text.toStdString();
    EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(), gui::kit::Q(kRestoreStopped));
}

TEST_F(TransferDlgTest, EraseAndRestoreKeepABackupAndRestoreIsVerified) {
    state.ControllerModel = 3;
    std::vector<std::uint8_t> old(262144), image(262144);
    for (std::size_t i = 0; i < old.size(); ++i) {
        old[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
        image[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    test::WriteBytes(dir / "chip", old);
    test::WriteBytes(dir / "image.bin", image);
    const QString imageFile = QString::fromStdString((dir / "image.bin").string());
    {
        test::SimProcess faulty(
            {"--model", "3", "--chip", (dir / "chip").string(), "--corrupt-block", "7"},
            dir / "sim.log");
        Attach(faulty);
        // The erase asks first, with the time the backup takes; Yes backs up, then erases.
        TransferProgressDlg erase(TransferKind::EraseChip, state, messages);
        erase.show();
        messages.answers = {true};
        Child<QPushButton>(&erase, "start")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !erase.Running(); }, 30000));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_TRUE(messages.shown[0].question);
        EXPECT_TRUE(messages.shown[0].text.startsWith(
            QStringLiteral("擦除前先备份芯片内容？\n备份需要约 23 秒")))
            << messages.shown[0].text.toStdString();
        EXPECT_EQ(Child<QLabel>(&erase, "status")->text(), QStringLiteral("擦除芯片成功！"));
        ASSERT_TRUE(erase.LastBackup() && erase.LastBackup()->Done());
        EXPECT_EQ(test::ReadBytes(erase.LastBackup()->file), old);

        // The dialog lists it; a restore over the faulty burner fails its read-back.
        ChipCopyDlg dialog(state, messages);
        dialog.show();
        ASSERT_EQ(Child<QTreeWidget>(&dialog, "backups")->topLevelItemCount(), 1);
        EXPECT_EQ(Child<QTreeWidget>(&dialog, "backups")->topLevelItem(0)->text(3),
                  QStringLiteral("是"));
        EXPECT_TRUE(Child<QCheckBox>(&dialog, "verifyAfter")->isChecked());
        messages.shown.clear();
        messages.files = {imageFile};
        messages.answers = {true};
        Child<QPushButton>(&dialog, "restore")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
        ASSERT_EQ(messages.shown.size(), 2u);  // the backup question, the verify failure
        EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("还原前先备份芯片内容？")));
        EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("第一处在块号 7（0x0007）")))
            << messages.shown[1].text.toStdString();
        EXPECT_EQ(messages.shown[1].icon, gui::kit::MessageIcon::Critical);
        EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(), QStringLiteral("校验失败！"));
        EXPECT_EQ(Child<QTreeWidget>(&dialog, "backups")->topLevelItemCount(), 2);

        // "校验" compares without writing.
        messages.files = {imageFile};
        Child<QPushButton>(&dialog, "verify")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
        ASSERT_TRUE(dialog.LastVerify());
        EXPECT_EQ(dialog.LastVerify()->outcome, VerifyOutcome::Different);
        EXPECT_EQ(dialog.LastVerify()->firstBlock, 7);
    }
    // A sound burner: restoring the listed backup of the old chip verifies.
    test::SimProcess sim({"--model", "3"}, dir / "sim2.log");
    Attach(sim);
    ChipCopyDlg dialog(state, messages);
    dialog.show();
    Child<QTreeWidget>(&dialog, "backups")
        ->setCurrentItem(Child<QTreeWidget>(&dialog, "backups")->topLevelItem(1));  // the oldest
    messages.shown.clear();
    messages.answers = {false};
    Child<QPushButton>(&dialog, "restoreListed")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
    EXPECT_EQ(Child<QLabel>(&dialog, "status")->text(),
              QStringLiteral("还原完成：1024 块已写入芯片。校验通过"));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("校验通过"));
    EXPECT_EQ(Child<QTreeWidget>(&dialog, "backups")->topLevelItemCount(),
              2);  // No: no backup this time

    // A silent burner: the backup fails, the erase is never sent.
    test::SimProcess silent({"--silent"}, dir / "silent.log");
    Attach(silent);
    TransferProgressDlg erase(TransferKind::EraseChip, state, messages);
    messages.shown.clear();
    messages.answers = {true};
    Child<QPushButton>(&erase, "start")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !erase.Running(); }, 30000));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(messages.shown[1].text.startsWith(
        QStringLiteral("备份芯片内容失败，没有擦除芯片。\n烧写器没有上电")));
    EXPECT_EQ(test::ReceivedBeforeMarker(silent), std::vector<int>{0x30});

    // Closing the dialog during the backup stops it; the erase never starts.
    test::SimProcess slow({"--model", "3", "--baud", "115200"}, dir / "slow.log");
    Attach(slow);
    const std::size_t kept = ListChipBackups(dir.path()).size();
    {
        TransferProgressDlg stopped(TransferKind::EraseChip, state, messages);
        stopped.show();
        messages.answers = {true};
        Child<QPushButton>(&stopped, "start")->click();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return Child<QProgressBar>(&stopped, "progress")->value() >= 4; }, 30000));
        stopped.reject();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !stopped.Running(); }, 30000));
        EXPECT_FALSE(stopped.isVisible());
    }
    // 0x30 and the block numbers asked so far, nothing after them.
    const std::vector<int> sent = test::ReceivedBeforeMarker(slow);
    std::vector<int> backupOnly{0x30};
    for (int block = 0; backupOnly.size() < sent.size(); ++block)
        backupOnly.insert(backupOnly.end(), {block / 256, block % 256});
    EXPECT_EQ(sent, backupOnly);
    EXPECT_LT(sent.size(), 1u + 2 * 1024);
    EXPECT_EQ(ListChipBackups(dir.path()).size(), kept);

    // The rules' backup before every transfer: off until chosen, its time shown.
    TransferRulesDlg rules(state.Rules, state.Ports, state.ControllerModel, messages);
    EXPECT_FALSE(test::Child<QCheckBox>(&rules, "backupFirst")->isChecked());
    EXPECT_TRUE(
        test::Child<QCheckBox>(&rules, "backupFirst")->text().contains(QStringLiteral("约 23 秒")));
    test::Child<QCheckBox>(&rules, "backupFirst")->click();
    EXPECT_TRUE(state.Rules.BackupFirst);
}

}  // namespace
}  // namespace velsend::burner

// The device detail dialog, the loop statistics, the grid view and the loop
// copy, driven the way an engineer drives them.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>

#include "base/gbk.h"
#include "base/project_lock.h"
#include "core/history/history.h"
#include "device_records.h"
#include "gui/devices/device_detail_dlg.h"
#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/number_edit.h"
#include "gui/logic/logic_rules_dlg.h"
#include "gui/loops/loop_copy_dlg.h"
#include "gui/loops/loop_grid_dlg.h"
#include "gui/loops/loop_grid_view.h"
#include "gui/loops/loop_stats_dlg.h"
#include "gui/phrases/phrase_editor_dlg.h"
#include "modal.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "typing.h"
#include "widgets.h"

namespace velsend {
namespace {

using loops::FilterColumn;
using test::ReadBytes;
using test::Retype;

using test::RecordAt;

// A click at the window's client coordinates, delivered to whatever lies there.
void ClickAt(QWidget* window, QPoint at) {
    QWidget* target = window->childAt(at);
    ASSERT_NE(target, nullptr);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, at));
}

// Lets pending layouts settle first, as they would have before a user clicks,
// and clicks near the left edge: a radio or check box only answers over its
// mark and text, not over the rest of its cell.
using test::Child;
using test::Click;
using test::Wheel;

std::string Rect(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
}

class DeviceDialogTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    gui::kit::RunState state;
    test::ScriptedMessages messages;
    void SetUp() override { state.Project = store::ProjectDir(dir.path()); }
};

TEST_F(DeviceDialogTest, ARunOfDevicesIsTypedOnceAndSavedWithEnter) {
    gui::devices::DeviceDetailDlg dialog(state, messages);
    dialog.show();
    EXPECT_EQ(dialog.size(), gui::devices::DeviceDetailDlg::kWithGrid);
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "class", 0)->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "type", 0)->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "state", 1)->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "type", 20)->isVisible());
    EXPECT_FALSE(Child<QRadioButton>(&dialog, "type", 21)->isVisible());
    EXPECT_FALSE(Child<QLineEdit>(&dialog, "delay")->isVisible());

    Retype(Child<QLineEdit>(&dialog, "loop"), QStringLiteral("2"));
    Retype(Child<QLineEdit>(&dialog, "address"), QStringLiteral("10"));
    Click(Child<QRadioButton>(&dialog, "class", 2));
    EXPECT_EQ(Child<QGroupBox>(&dialog, "types")->title(), QStringLiteral("受控设备"));
    EXPECT_EQ(Child<QRadioButton>(&dialog, "type", 27)->text(), QStringLiteral("消防广播A"));
    EXPECT_TRUE(Child<QLineEdit>(&dialog, "delay")->isVisible());
    Click(Child<QRadioButton>(&dialog, "state", 0));
    Click(Child<QRadioButton>(&dialog, "type", 25));
    Click(Child<QRadioButton>(&dialog, "choice", 1));
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "choice", 1)->isChecked());
    Retype(Child<QLineEdit>(&dialog, "delay"), QStringLiteral("12"));
    Retype(Child<QLineEdit>(&dialog, "zone"), QStringLiteral("3"));
    Retype(Child<QLineEdit>(&dialog, "name"), QStringLiteral("fan风机"));
    // Enter with the focus in the zone edit, three times.
    Child<QLineEdit>(&dialog, "zone")->setFocus();
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_Return);
        EXPECT_EQ(Child<QLineEdit>(&dialog, "zone")->selectedText(), QStringLiteral("3"));
    }
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("13"));
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "type", 25)->isChecked());
    EXPECT_TRUE(messages.shown.empty());

    const auto devc = ReadBytes(dir / "devc2.dat");
    ASSERT_EQ(devc.size(), 1792u);
    for (int a : {10, 11, 12})
        EXPECT_EQ(RecordAt(devc, a), (std::vector<std::uint8_t>{0xC9, 0x8C, 1, 3, 0, 0, 0})) << a;
    EXPECT_EQ(RecordAt(devc, 13), std::vector<std::uint8_t>(7, 0));
    const auto ch = ReadBytes(dir / "ch2.dat");
    ASSERT_EQ(ch.size(), 4096u);
    EXPECT_EQ(std::string(ch.begin() + 16 * 12, ch.begin() + 16 * 12 + 7),
              base::Utf8ToGbk("FAN风机").value());
    EXPECT_EQ(Child<gui::loops::LoopGridView>(&dialog)->LabelText(12), QStringLiteral("M25"));

    // Switching to "借用" starts over at type 0, keeping the delay.
    Click(Child<QRadioButton>(&dialog, "class", 3));
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "type", 0)->isChecked());
    EXPECT_EQ(Child<QGroupBox>(&dialog, "choices")->title(), QStringLiteral("故障显示"));
    QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_F12);
    EXPECT_EQ(RecordAt(ReadBytes(dir / "devc2.dat"), 13),
              (std::vector<std::uint8_t>{0xE0, 0x8C, 0, 3, 0, 0, 0}));
    // F12 shows what is stored at the next address.
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("14"));
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "class", 0)->isChecked());
    EXPECT_EQ(Child<QLineEdit>(&dialog, "zone")->text(), QStringLiteral("0"));

    // PgUp/PgDn move without saving; the wheel steps the focused number.
    QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_PageUp);
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("13"));
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "class", 3)->isChecked());
    EXPECT_EQ(dialog.focusWidget(), Child<QLineEdit>(&dialog, "address"));
    QTest::keyClick(Child<QLineEdit>(&dialog, "address"), Qt::Key_PageDown);
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("14"));
    Retype(Child<QLineEdit>(&dialog, "address"), QStringLiteral("255"));
    Wheel(Child<QLineEdit>(&dialog, "address"), -120);
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("0"));
    EXPECT_EQ(dialog.Session().Address(), 0);
    Click(Child<QRadioButton>(&dialog, "class", 2));
    Retype(Child<QLineEdit>(&dialog, "delay"), QStringLiteral("127"));
    Wheel(Child<QGroupBox>(&dialog, "types"),
          -120);  // the focused edit steps, wherever the mouse is
    EXPECT_EQ(Child<QLineEdit>(&dialog, "delay")->text(), QStringLiteral("0"));

    // Out of range: the message, and the value is not taken over.
    Retype(Child<QLineEdit>(&dialog, "zone"), QStringLiteral("300"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("请输入一个在 0 和 255 之间的整数。"));
    // The address is answered the same way; the dialog stays on its device.
    Retype(Child<QLineEdit>(&dialog, "zone"), QStringLiteral("3"));
    Retype(Child<QLineEdit>(&dialog, "address"), QStringLiteral("300"));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("请输入一个在 0 和 255 之间的整数。"));
    EXPECT_EQ(dialog.focusWidget(), Child<QLineEdit>(&dialog, "address"));
    const int address = dialog.Session().Address();
    QTest::keyClick(Child<QLineEdit>(&dialog, "address"),
                    Qt::Key_Return);  // Enter answers the same
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[2].text, messages.shown[1].text);
    EXPECT_EQ(dialog.Session().Address(), address);
}

TEST_F(DeviceDialogTest, CtrlZUndoesTheLastSaveAndShowsItsAddress) {
    history::Install(dir.path());
    gui::devices::DeviceDetailDlg dialog(state, messages);
    dialog.show();
    Retype(Child<QLineEdit>(&dialog, "address"), QStringLiteral("7"));
    Retype(Child<QLineEdit>(&dialog, "zone"), QStringLiteral("4"));
    Child<QLineEdit>(&dialog, "zone")->setFocus();
    QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_Return);
    const auto first = ReadBytes(dir / "devc0.dat");
    QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_Return);
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("9"));

    // Even with the focus in an edit, which has an undo of its own.
    QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ReadBytes(dir / "devc0.dat"), first);
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("8"));
    EXPECT_EQ(Child<QLineEdit>(&dialog, "zone")->text(), QStringLiteral("0"));
    QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(std::filesystem::exists(dir / "devc0.dat"));
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("7"));
    EXPECT_TRUE(messages.shown.empty());
    history::Uninstall();
}

// Models 3 and 4 hide the name field: Enter carries only what the form
// shows, and says what it is about to replace before it does.
TEST_F(DeviceDialogTest, EnterKeepsHiddenNamesAndWarnsBeforeReplacing) {
    for (int model : {3, 4}) {
        state.ControllerModel = model;
        store::ChineseNameFile names{};
        for (int a = 0; a < 4; ++a)
            names[static_cast<std::size_t>(a)] = store::MakeName("N" + std::to_string(a));
        ASSERT_TRUE(store::WriteChineseNameFile(state.Project, 0, names));
        store::DeviceFile devices{};
        devices[1] = {0x81, 0, 0, 1, 0, 0, 0};  // installed alarm device, zone 1
        ASSERT_TRUE(store::WriteDeviceFile(state.Project, 0, devices));

        gui::devices::DeviceDetailDlg dialog(state, messages);
        dialog.show();
        auto* notice = Child<QLabel>(&dialog, "replaceNotice");
        ASSERT_NE(notice, nullptr);
        EXPECT_TRUE(notice->text().isEmpty()) << model;
        Retype(Child<QLineEdit>(&dialog, "zone"), QStringLiteral("5"));
        Child<QLineEdit>(&dialog, "zone")->setFocus();
        QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_Return);
        const QString text = notice->text();
        EXPECT_TRUE(text.startsWith(QStringLiteral("地址 1 已有设备："))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("区域 1"))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral("，Enter 将覆盖"))) << text.toStdString();
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_Return);
        EXPECT_TRUE(notice->text().isEmpty()) << model;
        const store::ChineseNameFile kept = store::ReadChineseNameFile(state.Project, 0);
        for (int a = 0; a < 4; ++a)
            EXPECT_EQ(store::NameText(kept[static_cast<std::size_t>(a)]).substr(0, 2),
                      "N" + std::to_string(a))
                << model << " " << a;
        EXPECT_EQ(RecordAt(dir / "devc0.dat", 2)[3], 5) << model;
        EXPECT_TRUE(messages.shown.empty());
    }
}

TEST_F(DeviceDialogTest, GridClicksFiltersAndTheGridBox) {
    store::DeviceFile devices{};
    devices[1] = {0x80, 0, 0, 0, 0, 0, 0};  // T0
    devices[2] = {0x83, 0, 0, 0, 0, 0, 0};  // T3
    devices[3] = {0xA0, 0, 0, 0, 0, 0, 0};  // Q
    devices[255] = {0xC7, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(store::WriteDeviceFile(state.Project, 0, devices));
    gui::devices::DeviceDetailDlg dialog(state, messages);
    dialog.show();
    gui::loops::LoopGridView* grid = Child<gui::loops::LoopGridView>(&dialog);
    gui::loops::TypeFilterBoxes* filters = Child<gui::loops::TypeFilterBoxes>(&dialog);

    ClickAt(&dialog, {857, 477});
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("255"));
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "type", 7)->isChecked());
    EXPECT_EQ(dialog.focusWidget(), Child<QLineEdit>(&dialog, "address"));
    ClickAt(&dialog, {423, 45});
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("0"));

    Click(filters->ColumnBox(FilterColumn::Alarm));
    EXPECT_EQ(grid->ShownText(1), QString());
    EXPECT_EQ(grid->ShownText(2), QString());
    EXPECT_EQ(grid->ShownText(3), QStringLiteral("Q"));
    EXPECT_EQ(grid->ShownText(255), QStringLiteral("M7"));
    EXPECT_FALSE(filters->TypeBox(FilterColumn::Alarm, 3)->isChecked());
    Click(filters->TypeBox(FilterColumn::Alarm, 3));
    EXPECT_TRUE(filters->ColumnBox(FilterColumn::Alarm)->isChecked());
    EXPECT_EQ(grid->ShownText(2), QStringLiteral("T3"));
    EXPECT_EQ(grid->ShownText(1), QString());
    Click(filters->TypeBox(FilterColumn::Alarm, 3));
    EXPECT_FALSE(filters->ColumnBox(FilterColumn::Alarm)->isChecked());

    // Saving an address switched off takes its label away at once.
    Retype(Child<QLineEdit>(&dialog, "address"), QStringLiteral("255"));
    Click(Child<QRadioButton>(&dialog, "state", 1));
    Click(Child<QPushButton>(&dialog, "setNext"));
    EXPECT_EQ(grid->LabelText(255), QString());

    Click(Child<QCheckBox>(&dialog, "showGrid"));
    EXPECT_EQ(dialog.size(), gui::devices::DeviceDetailDlg::kFormOnly);
    Click(Child<QCheckBox>(&dialog, "showGrid"));
    EXPECT_EQ(dialog.size(), gui::devices::DeviceDetailDlg::kWithGrid);
}

TEST_F(DeviceDialogTest, TheCompanionWindowsComeAndGoWithTheDialog) {
    state.ControllerModel = 3;
    QPointer<QDialog> logicAlive;
    QPointer<QDialog> phrasesAlive;
    {
        gui::devices::DeviceDetailDlg dialog(state, messages);
        dialog.show();
        EXPECT_FALSE(Child<QLineEdit>(&dialog, "name")->isVisible());
        QDialog* logic = Child<gui::logic::LogicRulesDlg>(&dialog);
        QDialog* phrases = Child<gui::phrases::PhraseEditorDlg>(&dialog);
        logicAlive = logic;
        phrasesAlive = phrases;
        EXPECT_FALSE(logic->isVisible());
        QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_F5);
        QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_F7);
        EXPECT_TRUE(logic->isVisible());
        EXPECT_TRUE(phrases->isVisible());
        // Beside the form, on screen, kept above the dialog as tool windows.
        const QWidget* formPanel = dialog.findChild<QWidget*>(QStringLiteral("detailForm"));
        ASSERT_NE(formPanel, nullptr);
        const QRect form(formPanel->mapToGlobal(QPoint(0, 0)), formPanel->size());
        const QRect screen = dialog.screen()->availableGeometry();
        for (QDialog* window : {logic, phrases}) {
            EXPECT_TRUE(window->windowFlags().testFlag(Qt::Tool))
                << window->windowTitle().toStdString();
            EXPECT_TRUE(screen.contains(window->frameGeometry())) << Rect(window->frameGeometry());
            EXPECT_FALSE(window->frameGeometry().intersects(form))
                << window->windowTitle().toStdString();
        }
        // Side by side, not on top of each other.
        EXPECT_FALSE(logic->frameGeometry().intersects(phrases->frameGeometry()))
            << Rect(logic->frameGeometry()) << Rect(phrases->frameGeometry());
        phrases->reject();  // closing only hides it
        EXPECT_FALSE(phrases->isVisible());
        QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_F7);
        EXPECT_TRUE(phrases->isVisible());

        // F1: the statistics of the dialog's loop.
        Retype(Child<QLineEdit>(&dialog, "loop"), QStringLiteral("7"));
        const QPoint logicAt = logic->pos() - dialog.pos();
        const QPoint phrasesAt = phrases->pos() - dialog.pos();
        int shownLoop = -1;
        const auto closeStats = test::WhenModal([&](QDialog* stats) {
            shownLoop = static_cast<gui::loops::LoopStatsDlg*>(stats)->Loop();
            // The dialog may have moved over to make room; no window shown
            // covers the form or another one.
            QList<QRect> shown{QRect(formPanel->mapToGlobal(QPoint(0, 0)), formPanel->size())};
            for (const QWidget* window :
                 {static_cast<QWidget*>(stats), static_cast<QWidget*>(logic),
                  static_cast<QWidget*>(phrases)}) {
                if (window->isVisible()) shown << window->frameGeometry();
            }
            for (qsizetype i = 0; i < shown.size(); ++i) {
                EXPECT_TRUE(screen.contains(shown[i])) << Rect(shown[i]);
                for (qsizetype j = i + 1; j < shown.size(); ++j)
                    EXPECT_FALSE(shown[i].intersects(shown[j])) << Rect(shown[i]) << Rect(shown[j]);
            }
            EXPECT_TRUE(screen.contains(dialog.frameGeometry())) << Rect(dialog.frameGeometry());
            stats->reject();
        });
        QTest::keyClick(Child<QLineEdit>(&dialog, "zone"), Qt::Key_F1);
        EXPECT_EQ(shownLoop, 7);
        // Those that stepped aside come back where they were beside the dialog.
        EXPECT_TRUE(logic->isVisible());
        EXPECT_TRUE(phrases->isVisible());
        EXPECT_TRUE(logic->pos() - dialog.pos() == logicAt) << Rect(logic->frameGeometry());
        EXPECT_TRUE(phrases->pos() - dialog.pos() == phrasesAt) << Rect(phrases->frameGeometry());
    }
    EXPECT_TRUE(logicAlive.isNull());
    EXPECT_TRUE(phrasesAlive.isNull());
}

TEST_F(DeviceDialogTest, StatisticsStepThroughTheLoopsWithTheGridView) {
    store::DeviceFile devices{};
    devices[0] = devices[1] = devices[2] = {0x80, 0, 0, 0, 0, 0, 0};
    devices[3] = {0xCB, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(store::WriteDeviceFile(state.Project, 255, devices));
    devices[4] = {0x80, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(store::WriteDeviceFile(state.Project, 0, devices));
    gui::loops::LoopStatsDlg stats(state, messages);
    stats.show();
    EXPECT_EQ(Child<QLineEdit>(&stats, "total")->text(), QStringLiteral("5"));

    Click(Child<QPushButton>(&stats, "previous"));
    EXPECT_EQ(Child<QLineEdit>(&stats, "loop")->text(), QStringLiteral("255"));
    EXPECT_EQ(Child<QLineEdit>(&stats, "total")->text(), QStringLiteral("4"));
    EXPECT_EQ(Child<QLineEdit>(&stats, "class", 0)->text(), QStringLiteral("3"));
    EXPECT_EQ(Child<QLineEdit>(&stats, "class", 2)->text(), QStringLiteral("1"));
    EXPECT_EQ(Child<QLineEdit>(&stats, "counter", 0)->text(), QStringLiteral("3"));
    EXPECT_EQ(Child<QLineEdit>(&stats, "counter", 48)->text(), QStringLiteral("1"));
    QTest::keyClick(Child<QLineEdit>(&stats, "loop"), Qt::Key_Return);  // "下一回路"
    EXPECT_EQ(stats.Loop(), 0);

    Retype(Child<QLineEdit>(&stats, "loop"), QStringLiteral("300"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("请输入一个在 0 和 255 之间的整数。"));
    EXPECT_EQ(Child<QLineEdit>(&stats, "loop")->text(), QStringLiteral("255"));
    EXPECT_EQ(Child<QLineEdit>(&stats, "total")->text(), QStringLiteral("4"));

    // The grid view, linked: its filter survives "+", the statistics follow.
    gui::loops::LoopGridDlg grid(state.Project, stats.Loop(), &stats);
    grid.show();
    EXPECT_EQ(grid.windowTitle(), QStringLiteral("网格查看 - 255回路"));
    EXPECT_EQ(Child<gui::loops::LoopGridView>(&grid)->ShownText(3), QStringLiteral("M27"));
    Click(Child<gui::loops::TypeFilterBoxes>(&grid)->TypeBox(FilterColumn::Alarm, 0));
    EXPECT_EQ(Child<gui::loops::LoopGridView>(&grid)->ShownText(0), QString());
    Click(Child<QPushButton>(&grid, "plus"));
    EXPECT_EQ(grid.Loop(), 0);
    EXPECT_EQ(stats.Loop(), 0);
    EXPECT_EQ(Child<QLineEdit>(&grid, "loop")->text(), QStringLiteral("0"));
    EXPECT_EQ(Child<gui::loops::LoopGridView>(&grid)->LabelText(4), QStringLiteral("T0"));
    EXPECT_EQ(Child<gui::loops::LoopGridView>(&grid)->ShownText(4), QString());
    Retype(Child<QLineEdit>(&grid, "loop"), QStringLiteral("999"));
    EXPECT_EQ(Child<QLineEdit>(&grid, "loop")->text(), QStringLiteral("255"));
    EXPECT_EQ(stats.Loop(), 255);
    EXPECT_EQ(Child<QLineEdit>(&stats, "total")->text(), QStringLiteral("4"));
}

TEST_F(DeviceDialogTest, FirstFamilyQueryWalksTheLoops) {
    state.QueryLoop = 255;
    gui::loops::LoopQueryResultDlg summary(state);
    EXPECT_EQ(Child<QLineEdit>(&summary, "field", 0)->text(), QStringLiteral("255"));
    summary.accept();
    EXPECT_EQ(state.QueryLoop, 0);
    gui::loops::LoopQueryDlg query(state, messages);
    EXPECT_EQ(Child<QLineEdit>(&query, "loop")->text(), QStringLiteral("0"));
    Retype(Child<QLineEdit>(&query, "loop"), QStringLiteral("300"));
    query.accept();
    EXPECT_FALSE(query.isHidden() && query.result() == QDialog::Accepted);
    EXPECT_EQ(messages.shown.size(), 2u);  // while typing and on "确认"
}

// While the CLI holds the project, a dialog's save waits briefly, then says
// who holds it and changes nothing; once it lets go the save goes through.
TEST_F(DeviceDialogTest, ASaveWhileAnotherProgramHoldsTheProjectSaysWhoAndWaits) {
    store::DeviceFile devices{};
    devices[9] = {0xCB, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(store::WriteDeviceFile(state.Project, 3, devices));
    base::ProjectLock::GuardWritesTo(dir.path());
    ::setenv("VELSEND_LOCK_WAIT_MS", "50", 1);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd =
            ::open((dir.path() / base::ProjectLock::kFileName).c_str(), O_RDWR | O_CREAT, 0644);
        ::flock(fd, LOCK_EX);
        const std::string text = std::to_string(::getpid()) + "\tvelsend-cli\n";
        (void)!::write(fd, text.data(), text.size());
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    gui::loops::LoopCopyDlg dialog(state.Project, messages);
    dialog.show();
    Retype(Child<QLineEdit>(&dialog, "source"), QStringLiteral("3"));
    Retype(Child<QLineEdit>(&dialog, "target"), QStringLiteral("4"));
    Click(Child<QPushButton>(&dialog, "copy"));
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::unsetenv("VELSEND_LOCK_WAIT_MS");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(
        QStringLiteral("工程文件夹正被另一个程序使用：velsend-cli（进程 %1）").arg(holder)))
        << messages.shown[0].text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir / "devc4.dat"));
    Retype(Child<QLineEdit>(&dialog, "target"), QStringLiteral("4"));
    Click(Child<QPushButton>(&dialog, "copy"));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("3到4复制完毕"));
    EXPECT_EQ(store::ReadDeviceFile(state.Project, 4), devices);
}

TEST_F(DeviceDialogTest, LoopCopyStampsOneLoopOntoARun) {
    store::DeviceFile devices{};
    devices[9] = {0xCB, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(store::WriteDeviceFile(state.Project, 3, devices));
    ASSERT_TRUE(store::WriteDeviceFile(state.Project, 0, devices));
    gui::loops::LoopCopyDlg dialog(state.Project, messages);
    dialog.show();

    Retype(Child<QLineEdit>(&dialog, "source"), QStringLiteral("3"));
    Retype(Child<QLineEdit>(&dialog, "target"), QStringLiteral("3"));
    Click(Child<QPushButton>(&dialog, "copy"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("3到3复制完毕"));
    EXPECT_EQ(messages.shown[0].caption, QString());
    EXPECT_EQ(Child<QLineEdit>(&dialog, "target")->text(), QStringLiteral("4"));
    EXPECT_EQ(store::ReadDeviceFile(state.Project, 3), devices);

    Retype(Child<QLineEdit>(&dialog, "source"), QStringLiteral("0"));
    Retype(Child<QLineEdit>(&dialog, "target"), QStringLiteral("5"));
    Click(Child<QPushButton>(&dialog, "copy"));
    Click(Child<QPushButton>(&dialog, "copy"));
    EXPECT_EQ(store::ReadDeviceFile(state.Project, 5), devices);
    EXPECT_EQ(store::ReadDeviceFile(state.Project, 6), devices);
    EXPECT_EQ(Child<QLineEdit>(&dialog, "target")->text(), QStringLiteral("7"));

    Retype(Child<QLineEdit>(&dialog, "target"), QStringLiteral("300"));
    EXPECT_EQ(Child<QLineEdit>(&dialog, "target")->text(), QStringLiteral("255"));
    Click(Child<QPushButton>(&dialog, "copy"));
    EXPECT_EQ(Child<QLineEdit>(&dialog, "target")->text(), QStringLiteral("0"));
    Child<QLineEdit>(&dialog, "target")->setFocus();
    Wheel(Child<QLineEdit>(&dialog, "target"), 120);
    EXPECT_EQ(Child<QLineEdit>(&dialog, "target")->text(), QStringLiteral("255"));
}

}  // namespace
}  // namespace velsend

// The first family's device editing as an engineer drives it: the class
// commands of its menu, the type chooser, the three class dialogs and quick set.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/main_frame.h"
#include "base/command_ids.h"
#include "core/logic/logic_files.h"
#include "device_records.h"
#include "gui/devices/class_device_dlg.h"
#include "gui/devices/device_type_dlg.h"
#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/number_edit.h"
#include "modal.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "typing.h"
#include "widgets.h"

namespace velsend::devices {

using namespace velsend::gui::devices;
namespace {

using test::ReadBytes;
using test::Retype;
using Bytes = std::vector<std::uint8_t>;

using test::RecordAt;

using test::Child;
using test::Click;

class ClassDialogTest : public ::testing::Test {
  protected:
    ClassDialogTest() {
        state.Project = store::ProjectDir(dir.path());
        state.ControllerModel = 1;
    }
    test::TempDir dir;
    gui::kit::RunState state;
    test::ScriptedMessages messages;
};

TEST_F(ClassDialogTest, TheChooserMovesOnOnlyAfterAConfirmedEdit) {
    state.BusDeviceClass = store::kAlarmClass;
    state.CurrentLoop = 3;
    state.CurrentAddress = 255;
    DeviceTypeDlg chooser(state, messages);
    chooser.show();
    EXPECT_TRUE(Child<QRadioButton>(&chooser, "class", 0)->isChecked());

    QString opened;
    const auto modal1 = test::WhenModal([&](QDialog* d) {
        opened = d->windowTitle();
        d->reject();
    });
    Click(Child<QPushButton>(&chooser, "ok"));
    EXPECT_EQ(opened, QStringLiteral("报警类总线设备"));
    EXPECT_EQ(Child<QLineEdit>(&chooser, "loop")->text(), QStringLiteral("3"));
    EXPECT_EQ(Child<QLineEdit>(&chooser, "address")->text(), QStringLiteral("255"));
    EXPECT_FALSE(std::filesystem::exists(dir / "devc3.dat"));

    const auto modal2 = test::WhenModal([](QDialog* d) { Child<QPushButton>(d, "ok")->click(); });
    Click(Child<QPushButton>(&chooser, "ok"));
    EXPECT_EQ(Child<QLineEdit>(&chooser, "loop")->text(), QStringLiteral("4"));
    EXPECT_EQ(Child<QLineEdit>(&chooser, "address")->text(), QStringLiteral("0"));
    EXPECT_EQ(std::pair(state.CurrentLoop, state.CurrentAddress), std::pair(4, 0));
    EXPECT_EQ(ReadBytes(dir / "devc3.dat").size(), 1792u);
    EXPECT_TRUE(chooser.isVisible());

    // Typing and picking go straight into the shared values.
    Retype(Child<QLineEdit>(&chooser, "loop"), QStringLiteral("7"));
    Retype(Child<QLineEdit>(&chooser, "address"), QStringLiteral("12"));
    Click(Child<QRadioButton>(&chooser, "class", 3));
    EXPECT_EQ(state.CurrentLoop, 7);
    EXPECT_EQ(state.CurrentAddress, 12);
    EXPECT_EQ(state.BusDeviceClass, 3);
    const auto modal3 = test::WhenModal([&](QDialog* d) {
        opened = d->windowTitle();
        d->reject();
    });
    Click(Child<QPushButton>(&chooser, "ok"));
    EXPECT_EQ(opened, QStringLiteral("控制类总线设备"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ClassDialogTest, TheAlarmDialogSavesTheTypeAndKeepsTheThreshold) {
    store::DeviceFile devices{};
    devices[5] = {0x01, 0x37, 0, 0, 0, 0, 0};
    ASSERT_TRUE(store::WriteDeviceFile(state.Project, 0, devices));
    state.CurrentAddress = 5;
    AlarmDeviceDlg dialog(state, messages);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("报警类总线设备"));
    EXPECT_FALSE(Child<QLineEdit>(&dialog, "name")->isVisible());  // the first family has no names
    EXPECT_EQ(Child<QLineEdit>(&dialog, "threshold")->text(), QStringLiteral("55"));
    EXPECT_FALSE(Child<QLineEdit>(&dialog, "threshold")->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "type", 1)->isChecked());
    EXPECT_EQ(Child<QRadioButton>(&dialog, "type", 15)->text(), QStringLiteral("其它设备"));

    // The address is the chooser's: typing here puts it back.
    Retype(Child<QLineEdit>(&dialog, "address"), QStringLiteral("9"));
    EXPECT_EQ(Child<QLineEdit>(&dialog, "address")->text(), QStringLiteral("5"));
    Retype(Child<QLineEdit>(&dialog, "zone"), QStringLiteral("300"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("请输入一个在 0 和 255 之间的整数。"));
    Retype(Child<QLineEdit>(&dialog, "zone"), QStringLiteral("3"));
    Click(Child<QRadioButton>(&dialog, "type", 18));
    Click(Child<QRadioButton>(&dialog, "state", 0));
    Click(Child<QPushButton>(&dialog, "ok"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(RecordAt(dir / "devc0.dat", 5), (Bytes{0x82, 0x37, 1, 3, 0, 0, 0}));
    EXPECT_EQ(ReadBytes(dir / "ch0.dat").size(), 4096u);
}

TEST_F(ClassDialogTest, TheModuleDialogSavesTheDeviceEvenWhenItRefusesTheRule) {
    state.BusDeviceClass = store::kModuleClass;
    state.CurrentLoop = 6;
    state.CurrentAddress = 3;
    ModuleDeviceDlg dialog(state, messages);
    dialog.show();
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "state", 0)->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "mode", 1)->isChecked());
    EXPECT_EQ(Child<QRadioButton>(&dialog, "type", 15)->text(), QStringLiteral("其它设备"));
    EXPECT_EQ(Child<QRadioButton>(&dialog, "type", 16), nullptr);

    Click(Child<QRadioButton>(&dialog, "type", 15));
    Retype(Child<QLineEdit>(&dialog, "logic"), QStringLiteral("M13002s"));
    Click(Child<QPushButton>(&dialog, "ok"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("输入有非法字符！\n第 7 个字符“s”不能用在逻辑中。"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Child<QLineEdit>(&dialog, "logic")->text(), QStringLiteral("M13002s"));
    EXPECT_EQ(RecordAt(dir / "devc6.dat", 3), (Bytes{0xCF, 0x80, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(std::filesystem::exists(dir / "log6.dat"));

    Retype(Child<QLineEdit>(&dialog, "delay"), QStringLiteral("128"));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("请输入一个在 0 和 127 之间的整数。"));
    Retype(Child<QLineEdit>(&dialog, "delay"), QStringLiteral("10"));
    Click(Child<QRadioButton>(&dialog, "mode", 0));
    Retype(Child<QLineEdit>(&dialog, "logic"), QStringLiteral("M13002M13003"));
    Click(Child<QPushButton>(&dialog, "ok"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(RecordAt(dir / "devc6.dat", 3), (Bytes{0xCF, 0x0A, 0, 0, 0, 0, 0}));
    EXPECT_EQ(logic::ReadDeviceLogic(state.Project, 6, 3), "M13002M13003");
    EXPECT_FALSE(std::filesystem::exists(dir / "ch6.dat"));
}

TEST_F(ClassDialogTest, QuickSetRefusesABackwardRangeThenSetsTheLoop) {
    store::DeviceFile devices{};
    devices[15] = {0x1F, 0x11, 1, 2, 3, 4, 5};
    devices[30] = {0x83, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(store::WriteDeviceFile(state.Project, 1, devices));
    const Bytes before = ReadBytes(dir / "devc1.dat");
    state.QuickSetClass = 2;
    QuickSetDlg dialog(state, messages);
    dialog.show();
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "class", 2)->isChecked());
    EXPECT_EQ(Child<QLineEdit>(&dialog, "loop")->text(), QStringLiteral("0"));

    Click(Child<QRadioButton>(&dialog, "class", 0));
    EXPECT_EQ(state.QuickSetClass, 0);
    Click(Child<QRadioButton>(&dialog, "class", 2));
    Retype(Child<QLineEdit>(&dialog, "loop"), QStringLiteral("1"));
    EXPECT_EQ(state.QuickSetLoop, 1);
    Retype(Child<QLineEdit>(&dialog, "first"), QStringLiteral("20"));
    Retype(Child<QLineEdit>(&dialog, "last"), QStringLiteral("10"));
    Click(Child<QCheckBox>(&dialog, "offOutside"));
    Click(Child<QPushButton>(&dialog, "ok"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("输入错误!终止地址应不小于起始地址!"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(ReadBytes(dir / "devc1.dat"), before);

    Retype(Child<QLineEdit>(&dialog, "first"), QStringLiteral("10"));
    Retype(Child<QLineEdit>(&dialog, "last"), QStringLiteral("20"));
    Click(Child<QPushButton>(&dialog, "ok"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(RecordAt(dir / "devc1.dat", 15), (Bytes{0xCF, 0x11, 1, 2, 3, 4, 5}));
    EXPECT_EQ(RecordAt(dir / "devc1.dat", 30)[0], 0x03);
    EXPECT_EQ(RecordAt(dir / "devc1.dat", 10)[0], 0xC0);
    EXPECT_FALSE(std::filesystem::exists(dir / "ch1.dat"));

    // The next quick set starts on the loop and class used last.
    QuickSetDlg again(state, messages);
    EXPECT_EQ(Child<QLineEdit>(&again, "loop")->text(), QStringLiteral("1"));
    EXPECT_TRUE(Child<QRadioButton>(&again, "class", 2)->isChecked());
}

TEST_F(ClassDialogTest, TheFirstFamilysDeviceCommandsOpenTheirDialogs) {
    app::MainFrame frame(state, messages);
    ASSERT_EQ(frame.ShownMenuBar(), 128);
    const std::pair<int, int> classes[] = {{base::ID_ALARM_CLASS, 0},
                                           {base::ID_ZONE_DISPLAY_CLASS, 1},
                                           {base::ID_MODULE_CLASS, 2},
                                           {base::ID_BORROWED_CLASS, 3}};
    for (const auto& [id, busDeviceClass] : classes) {
        QString title;
        bool radioChecked = false;
        const auto modal4 = test::WhenModal([&, cls = busDeviceClass](QDialog* d) {
            title = d->windowTitle();
            if (auto* chooser = qobject_cast<DeviceTypeDlg*>(d))
                radioChecked = Child<QRadioButton>(chooser, "class", cls)->isChecked();
            d->reject();
        });
        frame.CommandAction(128, id)->trigger();
        EXPECT_EQ(title, QStringLiteral("设备类型")) << id;
        EXPECT_TRUE(radioChecked) << id;
        EXPECT_EQ(state.BusDeviceClass, busDeviceClass);
    }
    QString title;
    const auto modal5 = test::WhenModal([&](QDialog* d) {
        title = d->windowTitle();
        d->reject();
    });
    frame.CommandAction(128, base::ID_QUICK_SET)->trigger();
    EXPECT_EQ(title, QStringLiteral("快速设置"));
}

}  // namespace
}  // namespace velsend::devices

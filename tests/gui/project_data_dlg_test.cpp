// The small project-data dialogs driven the way a user drives them.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "gui/burner/transfer_rules_dlg.h"
#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"
#include "gui/store/node_set_dlg.h"
#include "gui/store/project_info_dlg.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "typing.h"
#include "widgets.h"

#include <unistd.h>
#include <fstream>

namespace velsend {
namespace {

using test::ReadBytes;
using test::WriteBytes;

using test::Retype;

QStringList Texts(const test::ScriptedMessages& messages) {
    QStringList texts;
    for (const auto& shown : messages.shown) texts << shown.text;
    return texts;
}

class NodeDialogTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    store::ProjectDir project{dir.path()};
    test::ScriptedMessages messages;
    store::NineByteNodeRecord nine;
    store::TenByteNodeRecord ten;
};

TEST_F(NodeDialogTest, RangesAreCheckedWhileTyping) {
    gui::store::NineByteNodeSetDlg dialog(nine, project, messages);
    dialog.show();
    auto edits = dialog.findChildren<gui::kit::NumberEdit*>();
    gui::kit::NumberEdit* local = edits[0];
    gui::kit::NumberEdit* count = edits[1];

    Retype(count, QStringLiteral("64"));
    EXPECT_TRUE(messages.shown.empty());

    Retype(local, QStringLiteral("64"));
    EXPECT_EQ(Texts(messages), QStringList{QStringLiteral("请输入一个在 0 和 63 之间的整数。")});

    messages.shown.clear();
    local->selectAll();
    QTest::keyClick(local, Qt::Key_Backspace);
    EXPECT_EQ(Texts(messages), QStringList{QStringLiteral("请输入一个在 0 和 255 之间的整数。")});

    // Confirming with a bad field stores nothing and keeps the dialog.
    messages.shown.clear();
    test::Child<QPushButton>(&dialog, "ok")->click();
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "node1.dat"));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(NodeDialogTest, NineByteRecordKeepsItsReservedBytes) {
    WriteBytes(dir / "node1.dat", {1, 2, 3, 4, 5, 0x11, 0x22, 0x33, 0});
    {
        gui::store::NineByteNodeSetDlg dialog(nine, project, messages);
        dialog.show();
        auto edits = dialog.findChildren<gui::kit::NumberEdit*>();
        EXPECT_EQ(edits[0]->text(), QStringLiteral("1"));
        Retype(edits[0], QStringLiteral("63"));
        Retype(edits[1], QStringLiteral("64"));
        QTest::mouseClick(dialog.WorkModeButton(1), Qt::LeftButton);
        test::Child<QPushButton>(&dialog, "ok")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(ReadBytes(dir / "node1.dat"),
              (std::vector<std::uint8_t>{63, 2, 3, 4, 64, 0x11, 0x22, 0x33, 1}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(NodeDialogTest, TenByteWorkModeIsSixteenBitsAndSurvivesInitialisation) {
    {
        gui::store::TenByteNodeSetDlg dialog(ten, project, messages);
        dialog.show();
        EXPECT_TRUE(dialog.WorkModeButton(0)->isChecked());
        QTest::mouseClick(dialog.WorkModeButton(2), Qt::LeftButton);
        auto edits = dialog.findChildren<gui::kit::NumberEdit*>();
        Retype(edits[0], QStringLiteral("9"));
        test::Child<QPushButton>(&dialog, "ok")->click();
    }
    const auto bytes = ReadBytes(dir / "node2.dat");
    ASSERT_EQ(bytes.size(), 10u);
    EXPECT_EQ(bytes[8], 2);
    EXPECT_EQ(bytes[9], 0);

    // Without the file the dialog shows what was last confirmed in this run.
    std::filesystem::remove(dir / "node2.dat");
    gui::store::TenByteNodeSetDlg again(ten, project, messages);
    EXPECT_TRUE(again.WorkModeButton(2)->isChecked());
    EXPECT_EQ(ten.LocalAddress, 9);

    // Cancel writes nothing.
    test::Child<QPushButton>(&again, "cancel")->click();
    EXPECT_FALSE(std::filesystem::exists(dir / "node2.dat"));
}

// The record in memory is what a node transfer sends: a save that failed
// and was cancelled leaves it as it was.
TEST_F(NodeDialogTest, AFailedSaveLeavesTheRecordInMemoryAsItWas) {
    std::filesystem::create_directory(dir / "node1.dat");
    gui::store::NineByteNodeSetDlg dialog(nine, project, messages);
    dialog.show();
    Retype(dialog.findChildren<gui::kit::NumberEdit*>()[0], QStringLiteral("7"));
    test::Child<QPushButton>(&dialog, "ok")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(
        messages.shown[0].text.startsWith(QStringLiteral("无法写入节点文件，设置没有保存。")));
    test::Child<QPushButton>(&dialog, "cancel")->click();
    EXPECT_EQ(nine.LocalAddress, 0);
}

class ProjectInfoDialogTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    store::ProjectDir project{dir.path()};
    test::ScriptedMessages messages;
};

TEST_F(ProjectInfoDialogTest, NameDialogRewritesTheNameOnly) {
    ASSERT_TRUE(store::WriteProjectInfo(project, {"OLD", "ADDR", "MGR", "TEL", "STAFF", "HOT"}));
    gui::store::ProjectNameDlg dialog(project, messages);
    dialog.show();
    EXPECT_EQ(dialog.NameEdit()->text(), QStringLiteral("OLD"));
    Retype(dialog.NameEdit(), QStringLiteral("示范大厦"));
    test::Child<QPushButton>(&dialog, "ok")->click();
    const store::ProjectInfo info = store::ReadProjectInfo(project);
    EXPECT_EQ(info[0], "\xCA\xBE\xB7\xB6\xB4\xF3\xCF\xC3");
    EXPECT_EQ(info[1], "ADDR");
    EXPECT_EQ(info[5], "HOT");
}

TEST_F(ProjectInfoDialogTest, AWriteTheSystemRefusesSaysWhyInChinese) {
    gui::store::ProjectNameDlg dialog(project, messages);
    dialog.show();
    Retype(dialog.NameEdit(), QStringLiteral("示范大厦"));
    // A folder the user may not write; root writes anywhere, so the click
    // runs as nobody.
    std::filesystem::permissions(
        dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    test::Child<QPushButton>(&dialog, "ok")->click();
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.endsWith(QStringLiteral("\n没有权限（Permission denied）")))
        << messages.shown[0].text.toStdString();
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ProjectInfoDialogTest, ShortFileAndDetailsDialog) {
    WriteBytes(dir / "info.dat", {'A', 'B', 'C'});
    gui::store::ProjectNameDlg name(project, messages);
    EXPECT_EQ(name.NameEdit()->text(), QStringLiteral("ABC") + QString(47, QLatin1Char(' ')));

    gui::store::ProjectInfoDlg details(project, messages);
    details.show();
    // One "确认": the one in the button row.
    int confirms = 0;
    for (const QPushButton* button : details.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("确认")) ++confirms;
    }
    EXPECT_EQ(confirms, 1);
    EXPECT_EQ(details.FieldEdit(0)->text(), QStringLiteral("ABC"));
    EXPECT_TRUE(details.FieldEdit(3)->text().isEmpty());
    // 26 Chinese characters take 52 bytes: the field keeps 25 whole ones.
    Retype(details.FieldEdit(1), QString(26, QChar(0x4E2D)));
    Retype(details.FieldEdit(5), QStringLiteral("400-000-0000"));
    test::Child<QPushButton>(&details, "ok")->click();
    const auto bytes = ReadBytes(dir / "info.dat");
    ASSERT_EQ(bytes.size(), 300u);
    EXPECT_EQ(bytes[98], 0xD6);
    EXPECT_EQ(bytes[99], 0xD0);
    EXPECT_EQ(store::ReadProjectInfo(project)[1].size(), 50u);
    EXPECT_EQ(store::ReadProjectInfo(project)[5], "400-000-0000");
}

// Bytes that are not GBK (a user-defined code, a character cut at the end of
// a full field) go back unchanged when the user does not touch them, keep
// their bytes while the user edits beside them, and go when replaced.
TEST_F(ProjectInfoDialogTest, UntouchedBytesThatAreNotGbkSurviveOk) {
    std::vector<std::uint8_t> file(300, 0);
    const std::string name =
        "AB\xAA\xA1"
        "C";                                                    // user-defined code AA A1
    const std::string address = std::string(49, 'X') + "\xB0";  // 50 bytes, cut mid-character
    std::copy(name.begin(), name.end(), file.begin());
    std::copy(address.begin(), address.end(), file.begin() + 50);
    file[100] = 'M';
    WriteBytes(dir / "info.dat", file);

    {
        gui::store::ProjectInfoDlg details(project, messages);
        details.show();
        EXPECT_EQ(details.FieldEdit(0)->text(), QStringLiteral("AB\uFFFDC"));
        test::Child<QPushButton>(&details, "ok")->click();
        EXPECT_EQ(details.result(), QDialog::Accepted);
        EXPECT_EQ(ReadBytes(dir / "info.dat"), file);
    }
    {
        gui::store::ProjectNameDlg nameDialog(project, messages);
        nameDialog.show();
        test::Child<QPushButton>(&nameDialog, "ok")->click();
        EXPECT_EQ(ReadBytes(dir / "info.dat"), file);
    }
    {
        gui::store::ProjectInfoDlg details(project, messages);
        details.show();
        gui::kit::GbkLineEdit* nameEdit = details.FieldEdit(0);
        nameEdit->setFocus();
        nameEdit->end(false);
        test::TypeText(nameEdit, QStringLiteral("D"));
        // The cut character replaced by a whole one.
        gui::kit::GbkLineEdit* addressEdit = details.FieldEdit(1);
        addressEdit->setFocus();
        addressEdit->end(false);
        QTest::keyClick(addressEdit, Qt::Key_Backspace);
        test::TypeText(addressEdit, QStringLiteral("Y"));
        test::Child<QPushButton>(&details, "ok")->click();
        const store::ProjectInfo info = store::ReadProjectInfo(project);
        EXPECT_EQ(info[0], name + "D");
        EXPECT_EQ(info[1], std::string(49, 'X') + "Y");
        EXPECT_EQ(info[2], "M");
    }
    EXPECT_TRUE(messages.shown.empty());
}

class TransferRulesDialogTest : public ::testing::Test {
  protected:
    burner::TransferRules rules;
    burner::PortList ports = burner::PortList::FromSpec("/dev/ttyUSB0:/dev/pts/4");
    test::ScriptedMessages messages;
};

TEST_F(TransferRulesDialogTest, DelayAboveFiftyIsRefused) {
    gui::burner::TransferRulesDlg dialog(rules, ports, 2, messages);
    dialog.show();
    Retype(test::Child<QLineEdit>(&dialog, "delay"), QStringLiteral("51"));
    EXPECT_EQ(Texts(messages).last(), QStringLiteral("请输入一个在 0 和 50 之间的整数。"));
    EXPECT_EQ(rules.PaceDelay, 5);
    Retype(test::Child<QLineEdit>(&dialog, "delay"), QStringLiteral("0"));
    EXPECT_EQ(rules.PaceDelay, 0);
}

TEST_F(TransferRulesDialogTest, EveryValidChangeTakesEffectAtOnce) {
    {
        gui::burner::TransferRulesDlg dialog(rules, ports, 2, messages);
        dialog.show();
        EXPECT_EQ(test::Child<QComboBox>(&dialog, "port")->itemText(0),
                  QStringLiteral("COM1  /dev/ttyUSB0"));
        EXPECT_EQ(test::Child<QComboBox>(&dialog, "port")->count(), 2)
            << "only the ports that exist";
        Retype(test::Child<QLineEdit>(&dialog, "lastLoop"), QStringLiteral("10"));
        Retype(test::Child<QLineEdit>(&dialog, "lastLogic"), QStringLiteral("999"));
        test::Child<QComboBox>(&dialog, "speed")->setCurrentIndex(1);
        Q_EMIT test::Child<QComboBox>(&dialog, "speed")->activated(1);
        test::Child<QComboBox>(&dialog, "port")->setCurrentIndex(1);
        Q_EMIT test::Child<QComboBox>(&dialog, "port")->activated(1);
        Retype(test::Child<QLineEdit>(&dialog, "lastLogic"), QStringLiteral("1024"));
        dialog.reject();
    }
    EXPECT_EQ(rules.LastLoop, 10);
    // Typed digit by digit: 1, 10 and 102 each took effect, 1024 was refused.
    EXPECT_EQ(rules.LastLogic, 102u);
    EXPECT_EQ(rules.BaudIndex, 1);
    EXPECT_EQ(rules.BaudRate, 19200u);
    EXPECT_EQ(rules.PortIndex, 1);
    EXPECT_EQ(rules.PortIdentity, "/dev/pts/4");
    EXPECT_EQ(Texts(messages).last(), QStringLiteral("请输入一个在 0 和 1023 之间的整数。"));

    gui::burner::TransferRulesDlg reopened(rules, ports, 2, messages);
    EXPECT_EQ(test::Child<QComboBox>(&reopened, "speed")->currentText(), QStringLiteral("19200"));
    EXPECT_EQ(test::Child<QLineEdit>(&reopened, "lastLoop")->text(), QStringLiteral("10"));
}

TEST_F(TransferRulesDialogTest, RefreshListsWhatIsPluggedInAndSaysWhenTheChosenPortIsGone) {
    test::TempDir dev, sys;
    std::ofstream(dev / "ttyUSB0") << "";
    burner::PortList scanned = burner::PortList::Scan(dev.path().string(), sys.path().string());
    gui::burner::TransferRulesDlg dialog(rules, scanned, 2, messages);
    test::Child<QComboBox>(&dialog, "port")->setCurrentIndex(0);
    Q_EMIT test::Child<QComboBox>(&dialog, "port")->activated(0);
    EXPECT_EQ(rules.PortIdentity, (dev / "ttyUSB0").string());

    std::ofstream(dev / "ttyACM0") << "";
    test::Child<QPushButton>(&dialog, "refresh")->click();
    EXPECT_EQ(test::Child<QComboBox>(&dialog, "port")->count(), 2);
    EXPECT_EQ(test::Child<QComboBox>(&dialog, "port")->currentText(),
              gui::kit::Q(scanned.Label(0)));

    // Unplugged, and another adapter took its number: the list says so.
    std::filesystem::remove(dev / "ttyUSB0");
    test::Child<QPushButton>(&dialog, "refresh")->click();
    EXPECT_EQ(test::Child<QComboBox>(&dialog, "port")->currentText(),
              QStringLiteral("COM1  %1（未连接）").arg(gui::kit::Q((dev / "ttyUSB0").string())));
    EXPECT_EQ(test::Child<QComboBox>(&dialog, "port")->itemText(1), gui::kit::Q(scanned.Label(0)));
    EXPECT_NE(scanned.AddressFor(rules.PortIndex, rules.PortIdentity).missing, "");

    // A number with no device behind it is not shown as another port either.
    rules.PortIdentity.clear();
    rules.PortIndex = 5;
    gui::burner::TransferRulesDlg numbered(rules, scanned, 2, messages);
    EXPECT_EQ(test::Child<QComboBox>(&numbered, "port")->currentText(),
              QStringLiteral("COM6（未连接）"));
}

TEST_F(TransferRulesDialogTest, FirstFamilyHasNoLogicRange) {
    gui::burner::TransferRulesDlg first(rules, ports, 1, messages);
    EXPECT_FALSE(test::Child<QLineEdit>(&first, "firstLogic")->isEnabled());
    EXPECT_FALSE(test::Child<QLineEdit>(&first, "lastLogic")->isEnabled());
    gui::burner::TransferRulesDlg kbx(rules, ports, 3, messages);
    EXPECT_TRUE(test::Child<QLineEdit>(&kbx, "lastLogic")->isEnabled());
}

}  // namespace
}  // namespace velsend

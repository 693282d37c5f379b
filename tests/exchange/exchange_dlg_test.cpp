#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include "app/main_frame.h"
#include "base/command_ids.h"
#include "exchange_test_util.h"
#include "gui/exchange/sd_dlg.h"
#include "gui/exchange/velnet_dlg.h"
#include "modal.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "typing.h"
#include "widgets.h"

namespace velsend::exchange {

using namespace velsend::gui::exchange;
namespace {

using test::ReadBytes;
using test::Wheel;
using test::WriteBytes;

using test::Child;

class ExchangeDlgTest : public ::testing::Test {
  protected:
    ExchangeDlgTest() { state.Project = store::ProjectDir(dir.path()); }
    test::TempDir dir;
    test::ScriptedMessages messages;
    gui::kit::RunState state;
};

TEST_F(ExchangeDlgTest, PackDialogCorrectsItsNumbersAndStepsWithTheWheel) {
    SdPackDlg dialog(240);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("生成数据(滚轮可修改)"));
    auto* id = Child<QLineEdit>(&dialog, "edit1143");
    auto* start = Child<QLineEdit>(&dialog, "edit1144");
    auto* ok = Child<QPushButton>(&dialog, "ok");
    EXPECT_EQ(id->text(), QStringLiteral("0"));
    EXPECT_EQ(start->text(), QStringLiteral("0"));
    start->selectAll();
    QTest::keyClicks(start, QStringLiteral("300"));
    EXPECT_EQ(start->text(), QStringLiteral("240"));
    id->setFocus();
    id->selectAll();
    QTest::keyClick(id, Qt::Key_Delete);
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(id, QStringLiteral("7"));
    EXPECT_TRUE(ok->isEnabled());
    Wheel(&dialog, -120);  // towards the user
    Wheel(start, -120);    // anywhere in the dialog: the focused edit steps
    EXPECT_EQ(dialog.ControllerId(), 9);
    EXPECT_EQ(dialog.StartLoop(), 240);
    start->setFocus();
    Wheel(&dialog, -120);
    EXPECT_EQ(dialog.StartLoop(), 240);  // stays at the maximum
}

TEST_F(ExchangeDlgTest, ImportDialogFollowsTheFamily) {
    SdImportDlg kbx(base::SdFamily::KBX);
    kbx.show();
    auto* names = Child<QCheckBox>(&kbx, "check1348");
    auto* devices = Child<QCheckBox>(&kbx, "check1347");
    auto* start = Child<QLineEdit>(&kbx, "edit1346");
    EXPECT_FALSE(names->isEnabled());
    EXPECT_FALSE(names->isChecked());
    EXPECT_TRUE(devices->isChecked());
    start->selectAll();
    QTest::keyClicks(start, QStringLiteral("300"));
    EXPECT_EQ(start->text(), QStringLiteral("254"));
    QTest::mouseClick(devices, Qt::LeftButton);
    EXPECT_FALSE(start->isEnabled());
    const SdSections sections = kbx.Sections();
    EXPECT_FALSE(sections.devices);
    EXPECT_TRUE(sections.logic && sections.phrases);

    SdImportDlg ka(base::SdFamily::KA);
    ka.show();
    EXPECT_TRUE(Child<QCheckBox>(&ka, "check1348")->isChecked());
    Wheel(&ka, -120);  // no focus needed here
    EXPECT_EQ(ka.StartLoop(), 1);
}

TEST_F(ExchangeDlgTest, PackAndImportCommandsRunFromTheMenu) {
    WriteBytes(dir / "devc2.dat", std::vector<std::uint8_t>(1792, 0x80));
    app::MainFrame frame(state, messages);
    const auto modal1 = test::WhenModal([](QDialog* d) {
        ASSERT_NE(qobject_cast<SdPackDlg*>(d), nullptr);
        auto* id = Child<QLineEdit>(d, "edit1143");
        id->selectAll();
        QTest::keyClicks(id, QStringLiteral("7"));
        d->accept();
    });
    frame.ExecuteCommand(base::ID_SD_PACK);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("数据打包成功!\n文件：") +
                                          QString::fromStdString((dir / "MXKA007.dat").string()));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(state.SdControllerId, 7);
    ASSERT_EQ(ReadBytes(dir / "MXKA007.dat").size(), 327680u);

    // The import of the other family refuses the name before touching anything.
    messages.files << QString::fromStdString((dir / "MXKA007.dat").string());
    const auto modal2 = test::WhenModal([](QDialog* d) { d->accept(); });
    frame.ExecuteCommand(base::ID_SD_IMPORT_KBX);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("文件打开失败!"));

    messages.files << QString::fromStdString((dir / "MXKA007.dat").string());
    const auto modal3 = test::WhenModal([](QDialog* d) {
        auto* start = Child<QLineEdit>(d, "edit1346");
        start->selectAll();
        QTest::keyClicks(start, QStringLiteral("100"));
        d->accept();
    });
    frame.ExecuteCommand(base::ID_SD_IMPORT_KA);
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[2].text, QStringLiteral("导入成功!"));
    EXPECT_EQ(ReadBytes(dir / "devc102.dat"), std::vector<std::uint8_t>(1792, 0x80));

    // Models without SD cards do nothing.
    state.ControllerModel = 5;
    frame.ExecuteCommand(base::ID_SD_PACK);
    EXPECT_EQ(messages.shown.size(), 3u);
}

TEST_F(ExchangeDlgTest, TextPrintCommandShowsItsCaption) {
    WriteBytes(dir / "devc0.dat", std::vector<std::uint8_t>(1792, 0));
    app::MainFrame frame(state, messages);
    frame.ExecuteCommand(base::ID_TEXT_PRINT);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("设备信息文本文件生成完毕！\n文件夹：") +
                                          QString::fromStdString(dir.path().string()));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("生成文本打印文件"));
    EXPECT_TRUE(std::filesystem::exists(dir / "devctext0.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir / "logtext.txt"));
}

TEST_F(ExchangeDlgTest, VelnetRangeIsKeptAndTheConversionReportsTheFolderUsed) {
    test::TempDir source;
    WriteBytes(source / "devc04.dat", std::vector<std::uint8_t>(768, 0x80));
    WriteBytes(source / "plac04.dat", std::vector<std::uint8_t>(2048, 1));
    WriteBytes(source / "logc04.dat", std::vector<std::uint8_t>(16384, 'M'));
    state.VelnetFolder = source.path();
    {
        VelnetImportDlg dialog(state, messages);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("导入VELNET数据"));
        EXPECT_NE(Child<QLabel>(&dialog, "question")
                      ->text()
                      .indexOf(QString::fromStdString(source.path().string())),
                  -1);
        auto* first = Child<QLineEdit>(&dialog, "firstLoop");
        first->selectAll();
        QTest::keyClick(first, Qt::Key_Delete);
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown.back().text, QStringLiteral("请输入一个正整数。"));
        QTest::keyClicks(first, QStringLiteral("4"));
        auto* last = Child<QLineEdit>(&dialog, "lastLoop");
        last->selectAll();
        QTest::keyClicks(last, QStringLiteral("4"));
        dialog.reject();  // Cancel keeps what was typed
    }
    EXPECT_EQ(state.VelnetFirstLoop, 4u);
    EXPECT_EQ(state.VelnetLastLoop, 4u);
    messages.shown.clear();

    app::MainFrame frame(state, messages);
    const auto modal4 = test::WhenModal([](QDialog* d) { Child<QPushButton>(d, "ok")->click(); });
    frame.ExecuteCommand(base::ID_VELNET_IMPORT);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("数据文件转换成功！ "));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("导入VELNET数据成功"));
    EXPECT_EQ(ReadBytes(dir / "log4.dat").size(), 32768u);

    VelnetImportRunDlg failing(state.Project, dir / "nowhere", 0, 0, messages);
    failing.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.shown.size() == 2; }, 5000));
    EXPECT_EQ(messages.shown[1].caption, QStringLiteral("导入VELNET数据失败"));
    EXPECT_NE(messages.shown[1].text.indexOf(QString::fromStdString((dir / "nowhere").string())),
              -1);
    EXPECT_FALSE(failing.isVisible());
}

}  // namespace
}  // namespace velsend::exchange

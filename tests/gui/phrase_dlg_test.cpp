#include <gtest/gtest.h>

#include <filesystem>

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>

#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/number_edit.h"
#include "gui/phrases/phrase_editor_dlg.h"
#include "gui/phrases/phrase_init_dlg.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "typing.h"
#include "widgets.h"

namespace velsend::phrases {

using namespace velsend::gui::phrases;
namespace {

using test::ReadBytes;

class PhraseEditorTest : public ::testing::Test {
  protected:
    void Type(QLineEdit* edit, const QString& text) { test::Retype(edit, text); }
    void Wheel(QWidget* target, int angle) {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, angle), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    test::TempDir dir;
    store::ProjectDir project{dir.path()};
    test::ScriptedMessages messages;
};

TEST_F(PhraseEditorTest, OpensOnAnEmptyLibrary) {
    PhraseEditorDlg dialog(project, messages);
    EXPECT_EQ(ReadBytes(dir / "word.dat").size(), 0u);
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 256);
    EXPECT_TRUE(dialog.List()->topLevelItem(255)->text(2).isEmpty());
    EXPECT_EQ(dialog.List()->currentItem(), dialog.List()->topLevelItem(0));
    EXPECT_EQ(dialog.NumberEdit()->text(), QStringLiteral("0"));
}

TEST_F(PhraseEditorTest, EnterSavesUpperCasedAndMovesOn) {
    PhraseEditorDlg dialog(project, messages);
    dialog.show();
    Type(dialog.TextEdit(), QStringLiteral("abc"));
    QTest::keyClick(dialog.TextEdit(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.CurrentNumber(), 1);
    EXPECT_EQ(dialog.List()->topLevelItem(0)->text(2), QStringLiteral("ABC"));
    auto bytes = ReadBytes(dir / "word.dat");
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ(bytes,
              (std::vector<std::uint8_t>{'A', 'B', 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // A 16-byte text: 8 Chinese characters; the 9th cannot be typed.
    Type(dialog.TextEdit(), QString(9, QChar(0x4E2D)));
    EXPECT_EQ(dialog.TextEdit()->text(), QString(8, QChar(0x4E2D)));
    dialog.SaveButton()->click();
    bytes = ReadBytes(dir / "word.dat");
    ASSERT_EQ(bytes.size(), 32u);
    EXPECT_EQ(bytes[16], 0xD6);
    EXPECT_EQ(bytes[31], 0xD0);
}

TEST_F(PhraseEditorTest, NumberEditCorrectsWithoutRewriting) {
    PhraseEditorDlg dialog(project, messages);
    dialog.show();
    Type(dialog.NumberEdit(), QStringLiteral("300"));
    EXPECT_EQ(dialog.NumberEdit()->text(), QStringLiteral("300"));
    EXPECT_EQ(dialog.CurrentNumber(), 255);
    EXPECT_EQ(dialog.List()->currentItem(), dialog.List()->topLevelItem(255));

    // Saving the last phrase wraps to the first.
    Type(dialog.TextEdit(), QStringLiteral("end"));
    dialog.SaveButton()->click();
    EXPECT_EQ(dialog.CurrentNumber(), 0);
    EXPECT_EQ(dialog.NumberEdit()->text(), QStringLiteral("0"));
    const auto bytes = ReadBytes(dir / "word.dat");
    ASSERT_EQ(bytes.size(), 4096u);
    EXPECT_EQ(bytes[255 * 16], 'E');
}

TEST_F(PhraseEditorTest, UnsavedTextIsDroppedAndTheWheelSteps) {
    PhraseEditorDlg dialog(project, messages);
    dialog.show();
    Type(dialog.TextEdit(), QStringLiteral("lost"));
    dialog.List()->setCurrentItem(dialog.List()->topLevelItem(5));
    EXPECT_EQ(dialog.CurrentNumber(), 5);
    EXPECT_EQ(dialog.NumberEdit()->text(), QStringLiteral("5"));
    dialog.List()->setCurrentItem(dialog.List()->topLevelItem(0));
    EXPECT_TRUE(dialog.TextEdit()->text().isEmpty());

    Wheel(dialog.List()->viewport(), -120);  // towards the user
    EXPECT_EQ(dialog.CurrentNumber(), 1);
    Wheel(dialog.TextEdit(), 120);
    Wheel(dialog.TextEdit(), 120);
    EXPECT_EQ(dialog.CurrentNumber(), 0);  // stops at the first
}

TEST_F(PhraseEditorTest, ResetsAskFirst) {
    PhraseEditorDlg dialog(project, messages);
    dialog.show();
    messages.answers = {false};
    dialog.CommonButton()->click();
    EXPECT_EQ(ReadBytes(dir / "word.dat").size(), 0u);
    EXPECT_EQ(messages.shown.back().text, QStringLiteral("清空确认,将丢失现有数据?"));

    messages.answers = {true};
    dialog.CommonButton()->click();
    EXPECT_EQ(dialog.List()->topLevelItem(130)->text(2), QStringLiteral("交易大厅 "));
    EXPECT_EQ(ReadBytes(dir / "word.dat").size(), 4096u);

    messages.answers = {true};
    dialog.ClearButton()->click();
    EXPECT_EQ(messages.shown.back().text, QStringLiteral("清空确认?"));
    EXPECT_TRUE(dialog.List()->topLevelItem(130)->text(2).isEmpty());
    EXPECT_EQ(ReadBytes(dir / "word.dat"), std::vector<std::uint8_t>(4096, 0));
}

TEST_F(PhraseEditorTest, AFailedSaveIsReportedAndTheEditorStays) {
    std::filesystem::create_directory(dir / "word.dat");  // no file can replace it
    PhraseEditorDlg dialog(project, messages);
    dialog.show();
    Type(dialog.TextEdit(), QStringLiteral("hall"));
    QTest::keyClick(dialog.TextEdit(), Qt::Key_Return);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(
        QStringLiteral("无法写入词库文件 word.dat，词组没有保存。\n")));
    EXPECT_GT(messages.shown[0].text.size(), 26);  // the system's reason follows
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.CurrentNumber(), 0);
    EXPECT_EQ(dialog.TextEdit()->text(), QStringLiteral("hall"));
    EXPECT_TRUE(dialog.List()->topLevelItem(0)->text(2).isEmpty());

    messages.answers = {true};
    dialog.CommonButton()->click();
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_TRUE(messages.shown[2].text.startsWith(
        QStringLiteral("无法写入词库文件 word.dat，词库没有改变。\n")));
    EXPECT_TRUE(dialog.List()->topLevelItem(1)->text(2).isEmpty());
}

TEST_F(PhraseEditorTest, AnUntouchedPhraseCutMidCharacterIsSavedAsItWas) {
    std::vector<std::uint8_t> words(4096, 0);
    const std::string cut = std::string(15, 'Q') + "\xB0";  // 16 bytes, the last half a character
    std::copy(cut.begin(), cut.end(), words.begin() + 3 * 16);
    test::WriteBytes(dir / "word.dat", words);
    PhraseEditorDlg dialog(project, messages);
    dialog.show();
    dialog.List()->setCurrentItem(dialog.List()->topLevelItem(3));
    EXPECT_EQ(dialog.TextEdit()->text(), QString(15, QLatin1Char('Q')) + QChar(0xFFFD));
    QTest::keyClick(dialog.TextEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog.CurrentNumber(), 4);
    EXPECT_EQ(ReadBytes(dir / "word.dat"), words);
}

TEST(InitWordDlg, ConfirmsThenResetsAndReports) {
    test::TempDir dir;
    test::ScriptedMessages messages;
    const store::ProjectDir project(dir.path());

    PhraseInitDlg cancelled(project, kInitCommon, messages);
    EXPECT_EQ(cancelled.Text(), QStringLiteral("初始化为常用词组！确认否？"));
    EXPECT_EQ(cancelled.windowTitle(), QStringLiteral("确认？"));
    test::Child<QPushButton>(&cancelled, "cancel")->click();
    EXPECT_FALSE(std::filesystem::exists(dir / "word.dat"));

    PhraseInitDlg common(project, kInitCommon, messages);
    test::Child<QPushButton>(&common, "ok")->click();
    EXPECT_EQ(ReadBytes(dir / "word.dat")[16], 0xB6);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("初始化常用词组成功！"));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("造词菜单"));

    PhraseInitDlg empty(project, kInitEmpty, messages);
    EXPECT_EQ(empty.Text(), QStringLiteral("将0~255号词组全部清空！确认否？"));
    test::Child<QPushButton>(&empty, "ok")->click();
    EXPECT_EQ(ReadBytes(dir / "word.dat"), std::vector<std::uint8_t>(4096, 0));
    EXPECT_EQ(messages.shown.back().text, QStringLiteral("初始化空词组成功！"));
}

}  // namespace
}  // namespace velsend::phrases

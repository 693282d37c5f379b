#include "gui/logic/logic_rules_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>
#include <memory>

#include "app/main_frame.h"
#include "base/command_ids.h"
#include "gui/kit/gbk_text_edit.h"
#include "gui/kit/number_edit.h"
#include "scripted_messages.h"
#include "temp_dir.h"

namespace velsend::logic {

using namespace velsend::gui::logic;
namespace {

class LogicSetDlgTest : public ::testing::Test {
  protected:
    LogicSetDlgTest() { state.Project = store::ProjectDir(dir.path()); }

    LogicRulesDlg& Open(int model) {
        state.ControllerModel = model;
        dialog = std::make_unique<LogicRulesDlg>(state, messages);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return *dialog;
    }
    void WriteRule(int n, const std::string& text) {
        test::WriteBytes(dir / ("logic" + std::to_string(n) + ".dat"), {text.begin(), text.end()});
    }
    std::string Rule(int n) const {
        const auto bytes = test::ReadBytes(dir / ("logic" + std::to_string(n) + ".dat"));
        return {bytes.begin(), bytes.end()};
    }
    bool RuleExists(int n) const {
        return std::filesystem::exists(dir / ("logic" + std::to_string(n) + ".dat"));
    }
    // What the user sees: number field, selected row, rule text.
    QString Number() const { return dialog->NumberField()->text(); }
    int SelectedRow() const {
        const QList<QTreeWidgetItem*> selected = dialog->List()->selectedItems();
        if (selected.size() != 1) return -1;
        return dialog->List()->indexOfTopLevelItem(selected.front());
    }
    QString RuleText() const { return dialog->RuleField()->toPlainText(); }
    QString RowText(int row) const { return dialog->List()->topLevelItem(row)->text(2); }

    void TypeNumber(const QString& digits) {
        dialog->NumberField()->setFocus();
        dialog->NumberField()->selectAll();
        QTest::keyClicks(dialog->NumberField(), digits);
    }
    void TypeRule(const QString& text) {
        dialog->RuleField()->setFocus();
        dialog->RuleField()->selectAll();
        QTest::keyClicks(dialog->RuleField(), text);
    }
    void ClickRow(int row) {
        QTreeWidget* list = dialog->List();
        list->scrollToItem(list->topLevelItem(row));
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        // On the number: the rule column runs far past the visible part.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, rect.center().y()));
    }
    static void Wheel(QWidget* target, int dy) {
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, dy), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    QStringList ShownTexts() const {
        QStringList texts;
        for (const auto& s : messages.shown) texts << s.text;
        return texts;
    }

    test::TempDir dir;
    gui::kit::RunState state;
    test::ScriptedMessages messages;
    std::unique_ptr<LogicRulesDlg> dialog;
};

TEST_F(LogicSetDlgTest, ListsEveryRuleOfTheModel) {
    WriteRule(0, "T13001=M13002");
    WriteRule(3, "R15001=M15002");
    WriteRule(999, "T14001=M13002");
    LogicRulesDlg& d = Open(2);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("逻辑设置"));
    QTreeWidget* list = d.List();
    ASSERT_EQ(list->topLevelItemCount(), 1000);
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_TRUE(list->isColumnHidden(0));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("编号"));
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("逻辑"));
    EXPECT_EQ(list->topLevelItem(3)->text(1), QStringLiteral("3"));
    EXPECT_EQ(RowText(3), QStringLiteral("R15001=M15002"));
    EXPECT_EQ(RowText(999), QStringLiteral("T14001=M13002"));
    EXPECT_EQ(RowText(1), QString());
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(Number(), QStringLiteral("0"));
    EXPECT_EQ(RuleText(), QStringLiteral("T13001=M13002"));
    EXPECT_TRUE(d.SaveButton()->isDefault());
    EXPECT_EQ(d.SaveButton()->text(), QStringLiteral("保存,转到下一条[Enter]"));
    EXPECT_EQ(d.ClearButton()->text(), QStringLiteral("清空"));

    Open(3);
    EXPECT_EQ(dialog->List()->topLevelItemCount(), 256);
    EXPECT_EQ(RowText(3), QStringLiteral("R15001=M15002"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LogicSetDlgTest, EnterSavesAdvancesAndWrapsWithoutClosing) {
    Open(2);
    TypeNumber(QStringLiteral("999"));
    EXPECT_EQ(SelectedRow(), 999);
    TypeRule(QStringLiteral("T13001=M13002"));
    QTest::keyClick(dialog->RuleField(), Qt::Key_Return);
    EXPECT_EQ(Rule(999), "T13001=M13002");
    EXPECT_EQ(RowText(999), QStringLiteral("T13001=M13002"));
    EXPECT_EQ(Number(), QStringLiteral("0"));
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(RuleText(), QString());
    EXPECT_TRUE(dialog->RuleField()->hasFocus() || !QApplication::focusWidget());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    // Enter in the number field saves as well, here an empty rule: a 0-byte file.
    WriteRule(0, "T1");
    TypeNumber(QStringLiteral("0"));
    EXPECT_EQ(RuleText(), QStringLiteral("T1"));
    TypeRule(QString());
    QTest::keyClick(dialog->RuleField(), Qt::Key_Backspace);
    dialog->NumberField()->setFocus();
    QTest::keyClick(dialog->NumberField(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(RuleExists(0));
    EXPECT_EQ(Rule(0), "");
    EXPECT_EQ(Number(), QStringLiteral("1"));
    EXPECT_TRUE(dialog->isVisible());

    for (int model : {3, 4}) {
        Open(model);
        TypeNumber(QStringLiteral("255"));
        TypeRule(QStringLiteral("x"));
        QTest::keyClick(dialog->RuleField(), Qt::Key_Return);
        EXPECT_EQ(Rule(255), "x") << model;
        EXPECT_EQ(Number(), QStringLiteral("0")) << model;
        EXPECT_EQ(SelectedRow(), 0) << model;
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LogicSetDlgTest, RefusedTextStaysAndNothingIsWritten) {
    WriteRule(5, "T1");
    Open(2);
    TypeNumber(QStringLiteral("5"));
    for (const QString& bad : {QStringLiteral("Tn1001=M13002"), QStringLiteral("T13001 =M13002"),
                               QStringLiteral("T1测试")}) {
        messages.shown.clear();
        // Chinese arrives through the input method, as it does from a user.
        const qsizetype ascii = bad.indexOf(QStringLiteral("测"));
        TypeRule(bad.left(ascii));
        if (ascii >= 0) {
            QInputMethodEvent commit;
            commit.setCommitString(bad.mid(ascii));
            QApplication::sendEvent(dialog->RuleField(), &commit);
        }
        QTest::keyClick(dialog->RuleField(), Qt::Key_Return);
        ASSERT_EQ(messages.shown.size(), 1u) << bad.toStdString();
        EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("输入有非法字符！\n第 ")))
            << messages.shown[0].text.toStdString();
        EXPECT_EQ(messages.shown[0].caption, gui::kit::MessageService::AppTitle());
        EXPECT_EQ(RuleText(), bad);
        EXPECT_EQ(Number(), QStringLiteral("5"));
        EXPECT_EQ(Rule(5), "T1");
    }

    // A rule longer than the model takes (written for another model) is not
    // saved back as it is.
    WriteRule(7, std::string(100, '1'));
    Open(3);
    TypeNumber(QStringLiteral("7"));
    messages.shown.clear();
    QTest::keyClick(dialog->RuleField(), Qt::Key_Return);
    EXPECT_EQ(ShownTexts(), QStringList{QStringLiteral("请输入不多于 80 个的字符。")});
    EXPECT_EQ(Rule(7), std::string(100, '1'));

    // A file that cannot be written is said so, and the editor stays on it.
    state.Project = store::ProjectDir(dir / "gone");
    Open(2);
    messages.shown.clear();
    TypeRule(QStringLiteral("T1"));
    QTest::keyClick(dialog->RuleField(), Qt::Key_Return);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("logic0.dat")));
    EXPECT_EQ(Number(), QStringLiteral("0"));
    EXPECT_EQ(RuleText(), QStringLiteral("T1"));
}

TEST_F(LogicSetDlgTest, TypedNumbersAreClampedToTheLastRule) {
    Open(2);
    TypeNumber(QStringLiteral("1500"));
    EXPECT_EQ(Number(), QStringLiteral("999"));
    EXPECT_EQ(dialog->NumberField()->selectedText(), QStringLiteral("999"));
    EXPECT_EQ(SelectedRow(), 999);
    EXPECT_EQ(dialog->LogicNumber(), 999);

    Open(4);
    TypeNumber(QStringLiteral("1500"));
    EXPECT_EQ(Number(), QStringLiteral("255"));
    EXPECT_EQ(dialog->NumberField()->selectedText(), QStringLiteral("255"));
    EXPECT_EQ(SelectedRow(), 255);
    EXPECT_TRUE(messages.shown.empty());

    // An emptied field is no number: the standard message, then rule 0.
    WriteRule(0, "M1");
    dialog->NumberField()->selectAll();
    QTest::keyClick(dialog->NumberField(), Qt::Key_Backspace);
    EXPECT_EQ(ShownTexts(), QStringList{QStringLiteral("请输入一个正整数。")});
    EXPECT_EQ(Number(), QStringLiteral("0"));
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(RuleText(), QStringLiteral("M1"));
}

TEST_F(LogicSetDlgTest, WheelStepsAndWrapsFromAnywhere) {
    WriteRule(0, "T0");
    WriteRule(255, "T255");
    Open(3);
    TypeNumber(QStringLiteral("255"));
    EXPECT_EQ(RuleText(), QStringLiteral("T255"));

    // Towards the user, over the list: next rule, wrapping to 0.
    Wheel(dialog->List()->viewport(), -120);
    EXPECT_EQ(Number(), QStringLiteral("0"));
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(RuleText(), QStringLiteral("T0"));
    EXPECT_EQ(dialog->NumberField()->selectedText(), QStringLiteral("0"));

    // Away from the user, over the rule edit: back to 255.
    Wheel(dialog->RuleField()->viewport(), 120);
    EXPECT_EQ(Number(), QStringLiteral("255"));
    EXPECT_EQ(SelectedRow(), 255);
    EXPECT_EQ(RuleText(), QStringLiteral("T255"));
    Wheel(dialog->SaveButton(), 120);
    EXPECT_EQ(Number(), QStringLiteral("254"));

    Open(2);
    Wheel(dialog->NumberField(), 120);
    EXPECT_EQ(Number(), QStringLiteral("999"));
    Wheel(dialog.get(), -120);
    EXPECT_EQ(Number(), QStringLiteral("0"));
}

TEST_F(LogicSetDlgTest, SelectingAnotherRowDropsTheUnsavedText) {
    WriteRule(5, "T1");
    WriteRule(6, "M2");
    Open(2);
    ClickRow(5);
    EXPECT_EQ(Number(), QStringLiteral("5"));
    EXPECT_EQ(RuleText(), QStringLiteral("T1"));
    TypeRule(QStringLiteral("R99"));
    ClickRow(6);
    EXPECT_EQ(Number(), QStringLiteral("6"));
    EXPECT_EQ(RuleText(), QStringLiteral("M2"));
    EXPECT_EQ(Rule(5), "T1");
    EXPECT_EQ(RowText(5), QStringLiteral("T1"));
    ClickRow(5);
    EXPECT_EQ(RuleText(), QStringLiteral("T1"));
    // Arrow keys in the list move the same way.
    dialog->List()->setFocus();
    QTest::keyClick(dialog->List(), Qt::Key_Down);
    EXPECT_EQ(Number(), QStringLiteral("6"));
}

TEST_F(LogicSetDlgTest, ClearEmptiesEveryRuleAfterConfirmation) {
    for (int n : {0, 7, 255, 999, 1000}) WriteRule(n, "T1");
    Open(2);
    TypeNumber(QStringLiteral("7"));

    messages.answers = {false};
    QTest::mouseClick(dialog->ClearButton(), Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("清空确认,将丢失现有数据?"));
    EXPECT_TRUE(messages.shown[0].question);
    EXPECT_TRUE(RuleExists(7));
    EXPECT_EQ(Number(), QStringLiteral("7"));

    messages.answers = {true};
    QTest::mouseClick(dialog->ClearButton(), Qt::LeftButton);
    for (int n : {0, 7, 255, 999}) EXPECT_FALSE(RuleExists(n)) << n;
    EXPECT_TRUE(RuleExists(1000));
    ASSERT_EQ(dialog->List()->topLevelItemCount(), 1000);
    for (int row = 0; row < 1000; ++row) {
        EXPECT_EQ(dialog->List()->topLevelItem(row)->text(1), QString::number(row));
        EXPECT_EQ(RowText(row), QString()) << row;
    }
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(Number(), QStringLiteral("0"));
    EXPECT_EQ(RuleText(), QString());

    // The KBX models clear their 256 rules only.
    WriteRule(255, "T1");
    WriteRule(256, "T1");
    Open(3);
    messages.answers = {true};
    QTest::mouseClick(dialog->ClearButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->List()->topLevelItemCount(), 256);
    EXPECT_FALSE(RuleExists(255));
    EXPECT_TRUE(RuleExists(256));
}

TEST_F(LogicSetDlgTest, RuleTextStopsAtTheModelsLimit) {
    Open(2);
    TypeRule(QString(121, QLatin1Char('1')));
    EXPECT_EQ(RuleText(), QString(120, QLatin1Char('1')));
    QTest::keyClick(dialog->RuleField(), Qt::Key_Return);
    EXPECT_EQ(Rule(0), std::string(120, '1'));

    Open(3);
    TypeRule(QString(81, QLatin1Char('2')));
    EXPECT_EQ(RuleText(), QString(80, QLatin1Char('2')));
    // Pasting is cut to fit too.
    QTest::keyClick(dialog->RuleField(), Qt::Key_Backspace);
    QTest::keyClick(dialog->RuleField(), Qt::Key_Backspace);
    QApplication::clipboard()->setText(QStringLiteral("M13002"));
    dialog->RuleField()->paste();
    EXPECT_EQ(RuleText(), QString(78, QLatin1Char('2')) + QStringLiteral("M1"));
    // And so is what an input method commits (a Chinese character takes two).
    QTest::keyClick(dialog->RuleField(), Qt::Key_Backspace);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("测"));
    QApplication::sendEvent(dialog->RuleField(), &commit);
    EXPECT_EQ(RuleText(), QString(78, QLatin1Char('2')) + QStringLiteral("M"));
}

TEST_F(LogicSetDlgTest, ModelessInstanceHidesOnEscapeAndActivatesItsOwner) {
    QDialog owner;
    owner.show();
    LogicRulesDlg logic(state, messages, &owner, &owner);
    EXPECT_FALSE(logic.isVisible());
    logic.ShowModeless();
    EXPECT_TRUE(logic.isVisible());
    QApplication::setActiveWindow(&logic);

    QTest::keyClick(logic.RuleField(), Qt::Key_Return);
    EXPECT_TRUE(logic.isVisible());
    QTest::keyClick(logic.RuleField(), Qt::Key_Escape);
    EXPECT_FALSE(logic.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&owner));

    // Shown again, it still knows the rules.
    logic.ShowModeless();
    EXPECT_TRUE(logic.isVisible());
    EXPECT_EQ(logic.NumberField()->text(), QStringLiteral("1"));
}

TEST_F(LogicSetDlgTest, MenuCommandRunsTheDialogModally) {
    state.ControllerModel = 3;
    app::MainFrame frame(state, messages);
    int rows = -1;
    QTimer::singleShot(0, [&rows] {
        auto* shown = qobject_cast<LogicRulesDlg*>(QApplication::activeModalWidget());
        if (!shown) return;
        rows = shown->List()->topLevelItemCount();
        shown->reject();
    });
    frame.ExecuteCommand(base::ID_LOGIC_SETTINGS);
    EXPECT_EQ(rows, 256);
}

}  // namespace
}  // namespace velsend::logic

#include "app/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTranslator>
#include <map>

#include "app/velsend_app.h"
#include "base/command_ids.h"
#include "core/burner/transfer_engine.h"
#include "core/demo/demo_project.h"
#include "core/history/history.h"
#include "core/loops/loop_copy.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"
#include "modal.h"
#include "scripted_messages.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace velsend::app {

using namespace velsend::base;
namespace {

const QString kFirstCaption =
    QStringLiteral("VelSend v10.1 (更新与2013.4.9) - MX300KA(新)、MX300KAⅡ(新、老)");

// The menu bars as the user sees them: "+popup" opens a popup, "-" is a separator,
// "text #id" a command.
const std::map<int, QString> kExpectedBars{
    {128,
     QStringLiteral(
         "+控制器选择|MX300KA(老) #1056|MX300KA(新)、MX300KAⅡ(新、老) #1057|-|MX300KBX(W29C020) "
         "#32824|"
         "MX300KBX(AT29C020) #32828|-|MX300KC(W29C020) #32829|MX300KC(AT29C020) #32830|"
         "节点设置 #32771|快速设置 #32772|"
         "+总线设备|报警类 #32811|区显类 #32814|模块类 #32812|借用类 #32813|"
         "回路查询 #32774|"
         "+造词菜单|编辑修改查看 #32809|全部初始化为空 #32806|初始化为常用词组 #32807|"
         "+数据传送|传送规则 #32801|-|传送节点信息 #32797|传送设备信息 #32787|传送逻辑信息 #32788|"
         "传送词库信息 #32789|-|擦除芯片 #32810|"
         "初始化 #32775|导入VELNET数据 #32822|生成文本打印文件 #1122|"
         "+工程信息|工程名称 #32817|详细信息 #32818|")},
    {136, QStringLiteral(
              "+控制器选择|MX300KA(老) #1056|MX300KA(新)、MX300KAⅡ(新、老) "
              "#1057|-|MX300KBX(W29C020) #32824|"
              "MX300KBX(AT29C020) #32828|-|MX300KC(W29C020) #32829|MX300KC(AT29C020) #32830|"
              "初始化 #32775|"
              "+总线设备|详细设置 #32832|回路查询 #32774|-|回路复制 #32834|"
              "逻辑设置 #32783|词库编辑 #32809|"
              "+Excel模板|生成一个示例模板 #32851|生成一个空的标准模板 #32847|-|"
              "从Excel模板导入KA,KAII数据 #32841|将现有数据导出到Excel模板 #32843|"
              "SD卡数据生成 #32831|"
              "+SD卡数据导入|导入KA,KAII的SDCard数据 #32836|-|导入VELNET数据 #32822|"
              "文本文件生成 #1122|"
              "+工程信息|工程名称 #32817|详细信息 #32818|"
              "+数据传送|节点信息设置 #32771|-|传送规则 #32801|-|传送节点信息 #32797|传送设备信息 "
              "#32787|"
              "传送逻辑信息 #32788|传送词库信息 #32789|-|传送中文名称 #32821|-|擦除芯片 #32810|"
              "数据备份 #32827|")},
    {175,
     QStringLiteral("+控制器选择|MX300KA(老) #1056|MX300KA(新)、MX300KAⅡ(新、老) "
                    "#1057|-|MX300KBX(W29C020) #32824|"
                    "MX300KBX(AT29C020) #32828|-|MX300KC(W29C020) #32829|MX300KC(AT29C020) #32830|"
                    "初始化 #32775|"
                    "+总线设置|详细设置 #32832|回路查询 #32774|-|回路复制 #32834|"
                    "逻辑设置 #32783|词库编辑 #32809|"
                    "+Excel模板|生成一个示例模板 #32851|生成一个空的标准模板 #32847|-|"
                    "从Excel模板导入KBX数据 #32839|将现有数据导出到Excel模板 #32843|"
                    "SD卡数据生成 #32831|"
                    "+SD卡数据导入|导入KBX的SDCard数据 #32837|-|导入VELNET数据 #32822|"
                    "文本文件生成 #1122|"
                    "+工程信息|工程名称 #32817|详细信息 #32818|"
                    "+数据传送|节点信息设置 #32771|-|传送规则 #32801|-|传送节点信息 "
                    "#32797|传送设备信息 #32787|"
                    "传送逻辑信息 #32788|传送词库信息 #32789|-|擦除芯片 #32810|"
                    "数据备份 #32827|")},
    {178,
     QStringLiteral("+控制器选择|MX300KA(老) #1056|MX300KA(新)、MX300KAⅡ(新、老) "
                    "#1057|-|MX300KBX(W29C020) #32824|"
                    "MX300KBX(AT29C020) #32828|-|MX300KC(W29C020) #32829|MX300KC(AT29C020) #32830|"
                    "词库编辑 #32809|"
                    "+数据传送|传送规则 #32801|-|传送词库信息 #32789|"
                    "文本文件生成 #1122|"
                    "+工程信息|工程名称 #32817|详细信息 #32818|")},
};

// The "文件" menu heads every bar; it lists no recent folder before one was opened.
const QString kFileMenu = QStringLiteral(
    "+文件|打开工程文件夹… #0|新建工程文件夹… #0|-|打印报告… #0|导出PDF… #0|-|-|记录串口通信… "
    "#0|芯片备份与还原… #0|-|退出 #0|");

// Second on every bar, over the open project's history (none yet).
const QString kEditMenu = QStringLiteral("+编辑|撤销 #0|重做 #0|-|修改历史… #0|");

// Last on every bar.
const QString kHelpMenu = QStringLiteral("+帮助|使用说明 #0|关于 #0|");

const std::map<int, QString> kPrompts{
    {1056, QStringLiteral("选择MX300KA(老)")},
    {1057, QStringLiteral("选择MX300KA(新)、MX300KAⅡ(新、老)")},
    {32824, QStringLiteral("选择MX300KBX(W29C020)")},
    {32828, QStringLiteral("选择MX300KBX(AT29C020)")},
    {32829, QStringLiteral("选择MX300KC(W29C020)")},
    {32830, QStringLiteral("选择MX300KC(AT29C020)")},
    {32771, QStringLiteral("设置本机地址、驱动板地址、联动盘地址等信息")},
    {32772, QStringLiteral("快速设置（打开多个设备及设置设备类型）")},
    {32811, QStringLiteral("设置报警类设备")},
    {32814, QStringLiteral("设置区显")},
    {32812, QStringLiteral("设置模块类设备")},
    {32813, QStringLiteral("设置借用类设备")},
    {32832, QStringLiteral("设置总线设备")},
    {32774, QStringLiteral("查询回路设备情况")},
    {32834, QStringLiteral("回路复制")},
    {32783, QStringLiteral("设置联动设备的启动逻辑")},
    {32809, QStringLiteral("编辑修改查看词库")},
    {32806, QStringLiteral("全部初始化为空")},
    {32807, QStringLiteral("初始化为常用词组")},
    {32801, QStringLiteral("设置数据传送的规则")},
    {32797, QStringLiteral("开始传送节点信息（本机地址、驱动板地、联动盘地址等）")},
    {32787, QStringLiteral("开始传送总线设备的安装信息")},
    {32788, QStringLiteral("开始传送联动设备的逻辑信息")},
    {32789, QStringLiteral("开始传送词库信息")},
    {32810, QStringLiteral("清空芯片的设置信息")},
    {32821, QStringLiteral("开始传送中文名称信息")},
    {32827, QStringLiteral("数据备份")},
    {32775, QStringLiteral("删除所有数据文件（词库文件除外）")},
    {32822, QStringLiteral("把VELNET数据转换成VELSEND格式")},
    {1122, QStringLiteral("生成设备信息文本文件")},
    {32817, QStringLiteral("编辑查看工程名称")},
    {32818, QStringLiteral("编辑查看工程详细信息")},
    {32831, QStringLiteral("将数据打包使用SD卡进行烧录")},
    {32836, QStringLiteral("导入制作好的或者控制器导出的SDCard数据")},
    {32837, QStringLiteral("导入制作好的或者控制器导出的SDCard数据")},
    {32851, QStringLiteral("生成一个示例模板")},
    {32847, QStringLiteral("生成一个空的标准模板")},
    {32841, QStringLiteral("从Excel模板导入数据")},
    {32839, QStringLiteral("从Excel模板导入数据")},
    {32843, QStringLiteral("将现有数据导出到Excel模板")},
};

QString Describe(QAction* action) {
    return action->text() + QStringLiteral(" #") + QString::number(action->data().toInt()) +
           QLatin1Char('|');
}

// What the shown bar offers, in the notation of kExpectedBars.
QString ShownBar(MainFrame& frame) {
    QString listing;
    for (QAction* top : frame.menuBar()->actions()) {
        if (QMenu* menu = top->menu()) {
            listing += QLatin1Char('+') + menu->title() + QLatin1Char('|');
            for (QAction* item : menu->actions())
                listing += item->isSeparator() ? QStringLiteral("-|") : Describe(item);
        } else {
            listing += Describe(top);
        }
    }
    return listing;
}

QStringList CheckedModels(MainFrame& frame, int bar) {
    QStringList checked;
    for (int id : {ID_MODEL_1, ID_MODEL_2, ID_MODEL_3, ID_MODEL_4, ID_MODEL_5, ID_MODEL_6}) {
        if (frame.CommandAction(bar, id)->isChecked()) checked << QString::number(id);
    }
    return checked;
}

class MainFrameTest : public ::testing::Test {
  protected:
    MainFrameTest() {
        // No device behind COM1: every handshake fails fast and asks.
        state.Ports = burner::PortList::FromSpec("");
        state.Project = store::ProjectDir(dir.path());
    }
    // Selects a model through its menu item, answering the silent-burner question.
    void Select(int id, bool yes) {
        messages.answers = {yes};
        frame.CommandAction(frame.ShownMenuBar(), id)->trigger();
    }
    test::TempDir dir;
    gui::kit::RunState state;
    test::ScriptedMessages messages;
    MainFrame frame{state, messages};
};

TEST_F(MainFrameTest, StartsOnModelTwo) {
    EXPECT_EQ(frame.ShownMenuBar(), 136);
    EXPECT_EQ(frame.windowTitle(), kFirstCaption);
    for (int bar : {128, 136, 175, 178})
        EXPECT_EQ(CheckedModels(frame, bar), QStringList{QStringLiteral("1057")}) << bar;
    EXPECT_EQ(frame.IdleText(), QStringLiteral("就绪"));
    const auto* bar = frame.findChild<QProgressBar*>(QStringLiteral("progress1001"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->geometry(), QRect(16, 325, 530, 10));
    EXPECT_EQ(bar->maximum(), 1512);
}

TEST_F(MainFrameTest, EachMenuBarListsItsItemsInOrder) {
    EXPECT_EQ(ShownBar(frame), kFileMenu + kEditMenu + kExpectedBars.at(136) + kHelpMenu);
    const std::pair<int, int> selections[] = {{ID_MODEL_1, 128}, {ID_MODEL_3, 175},
                                              {ID_MODEL_4, 175}, {ID_MODEL_5, 178},
                                              {ID_MODEL_6, 178}, {ID_MODEL_2, 136}};
    for (const auto& [id, bar] : selections) {
        Select(id, true);
        EXPECT_EQ(frame.ShownMenuBar(), bar);
        EXPECT_EQ(ShownBar(frame), kFileMenu + kEditMenu + kExpectedBars.at(bar) + kHelpMenu)
            << bar;
    }
}

TEST_F(MainFrameTest, EditMenuUndoesRedoesAndRestoresFromTheHistory) {
    ASSERT_TRUE(frame.OpenFolder(QString::fromStdString(dir.path().string())));
    ASSERT_TRUE(demo::WriteDemoProject(state.Project));
    const auto demo = test::ReadBytes(dir / "devc0.dat");
    ASSERT_TRUE(loops::CopyLoop(state.Project, 0, 5));
    const auto copied = test::ReadBytes(dir / "devc5.dat");
    QMenu* edit = frame.EditMenu();
    QAction* undo = edit->findChild<QAction*>(QStringLiteral("undo"));
    QAction* redo = edit->findChild<QAction*>(QStringLiteral("redo"));
    ASSERT_TRUE(undo && redo);
    QMetaObject::invokeMethod(edit, "aboutToShow");
    EXPECT_EQ(undo->text(), QStringLiteral("撤销 回路复制 0→5"));
    EXPECT_EQ(undo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    EXPECT_EQ(redo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));

    undo->trigger();
    EXPECT_FALSE(std::filesystem::exists(dir / "devc5.dat"));
    EXPECT_EQ(redo->text(), QStringLiteral("重做 回路复制 0→5"));
    EXPECT_EQ(undo->text(), QStringLiteral("撤销 演示工程"));
    redo->trigger();
    EXPECT_EQ(test::ReadBytes(dir / "devc5.dat"), copied);

    // "修改历史…": newest first, the selected step's difference, the size;
    // "恢复到此步之前" on the demo empties the folder again.
    test::ModalAction act(
        [](QDialog* dialog) {
            auto* list = dialog->findChild<QTableWidget*>(QStringLiteral("historyList"));
            ASSERT_NE(list, nullptr);
            ASSERT_EQ(list->rowCount(), 2);
            EXPECT_EQ(list->item(0, 2)->text(), QStringLiteral("回路复制 0→5"));
            EXPECT_EQ(list->item(1, 2)->text(), QStringLiteral("演示工程"));
            EXPECT_TRUE(dialog->findChild<QPlainTextEdit*>(QStringLiteral("historyDifference"))
                            ->toPlainText()
                            .startsWith(QStringLiteral("回路 5 地址 1：")));
            EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("historySize"))
                            ->text()
                            .startsWith(QStringLiteral("共 2 步，占用 ")));
            list->selectRow(1);
            dialog->findChild<QPushButton*>(QStringLiteral("restoreBefore"))->click();
            EXPECT_EQ(list->item(1, 2)->text(), QStringLiteral("演示工程（已撤销）"));
            dialog->accept();
        },
        5000);
    edit->findChild<QAction*>(QStringLiteral("historyList"))->trigger();
    EXPECT_TRUE(act.Acted());
    EXPECT_FALSE(std::filesystem::exists(dir / "devc0.dat"));
    EXPECT_TRUE(messages.shown.empty());
    redo->trigger();
    EXPECT_EQ(test::ReadBytes(dir / "devc0.dat"), demo);
    history::Uninstall();
}

TEST_F(MainFrameTest, EveryItemShowsItsPromptInTheStatusBar) {
    frame.show();
    for (int bar : {128, 136, 175, 178}) {
        for (const auto& [id, prompt] : kPrompts) {
            QAction* action = frame.CommandAction(bar, id);
            if (!action) continue;
            EXPECT_EQ(action->statusTip(), prompt) << id;
            action->showStatusText(&frame);
            EXPECT_EQ(frame.statusBar()->currentMessage(), prompt) << id;
        }
    }
    // Items straight on the bar show theirs when the pointer rests on them.
    QAction* init = frame.CommandAction(136, base::ID_INITIALISE);
    frame.statusBar()->clearMessage();
    const QPoint over = frame.menuBar()->actionGeometry(init).center();
    QMouseEvent move(QEvent::MouseMove, over, frame.menuBar()->mapToGlobal(over), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(frame.menuBar(), &move);
    EXPECT_EQ(frame.statusBar()->currentMessage(), kPrompts.at(base::ID_INITIALISE));
    // Leaving the menu brings the idle text back.
    frame.statusBar()->clearMessage();
    EXPECT_TRUE(frame.statusBar()->currentMessage().isEmpty());
}

TEST_F(MainFrameTest, SelectingModelFiveShowsTheShortMenu) {
    Select(ID_MODEL_5, true);
    EXPECT_EQ(state.ControllerModel, 5);
    EXPECT_EQ(frame.ShownMenuBar(), 178);
    EXPECT_EQ(frame.windowTitle(),
              QStringLiteral("VelSend v10.1 (更新与2013.4.9) - MX300KC(W29C020)"));
    EXPECT_EQ(frame.CommandAction(178, base::ID_NODE_SETTINGS), nullptr);
    EXPECT_EQ(frame.CommandAction(178, base::ID_LOOP_QUERY), nullptr);
    EXPECT_FALSE(ShownBar(frame).contains(QStringLiteral("#32771")));
    EXPECT_FALSE(ShownBar(frame).contains(QStringLiteral("#32774")));
    EXPECT_EQ(CheckedModels(frame, 178), QStringList{QStringLiteral("32829")});
    // The missing port was reported before the question.
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("没有发现 COM1 串口")));
    EXPECT_EQ(messages.shown[0].caption, gui::kit::MessageService::AppTitle());
}

TEST_F(MainFrameTest, SilentBurnerNoKeepsEverythingYesSwitches) {
    test::SimProcess sim({"--silent"}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());
    state.Ports = burner::PortList::FromSpec(sim.path());

    Select(ID_MODEL_1, false);
    EXPECT_EQ(state.ControllerModel, 2);
    EXPECT_EQ(frame.ShownMenuBar(), 136);
    EXPECT_EQ(frame.windowTitle(), kFirstCaption);
    EXPECT_EQ(CheckedModels(frame, 136), QStringList{QStringLiteral("1057")});
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].question);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("烧写器没有上电 或 通讯线没有连接电脑，仍然执行此操作吗?"));
    EXPECT_EQ(messages.shown[0].icon, gui::kit::MessageIcon::Warning);

    Select(ID_MODEL_1, true);
    EXPECT_EQ(frame.ShownMenuBar(), 128);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("VelSend v10.1 (更新与2013.4.9) - MX300KA(老)"));
    EXPECT_EQ(CheckedModels(frame, 128), QStringList{QStringLiteral("1056")});
    EXPECT_EQ(sim.WaitReceived(2), (std::vector<int>{0x10, 0x10}));
}

TEST_F(MainFrameTest, EveryCommandHasOneHandlerAndSetsItsSharedValue) {
    for (const auto& [id, prompt] : kPrompts) EXPECT_TRUE(frame.HasHandler(id)) << id;
    // The transfer commands open their dialog; close each as it comes up.
    // The closer notes the texts each one showed: a transfer dialog shows its
    // kind's first line.
    QStringList shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&shown] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            for (const QLabel* label : modal->findChildren<QLabel*>()) shown << label->text();
            modal->close();
        }
    });
    closer.start(10);
    frame.ExecuteCommand(base::ID_SEND_DEVICES);
    EXPECT_TRUE(
        shown.contains(gui::kit::Q(burner::TextsOf(burner::TransferKind::SendDevices).initial)));
    shown.clear();
    frame.ExecuteCommand(base::ID_ERASE_CHIP);
    EXPECT_TRUE(
        shown.contains(gui::kit::Q(burner::TextsOf(burner::TransferKind::EraseChip).initial)));
    frame.ExecuteCommand(base::ID_MODULE_CLASS);
    EXPECT_EQ(state.BusDeviceClass, store::kModuleClass);
    frame.ExecuteCommand(base::ID_DEVICE_DETAIL);
    EXPECT_EQ(state.BusDeviceClass, store::kAlarmClass);
    // The closer dismisses this one too; a second dismisser still waiting
    // afterwards would close the next test's dialog.
    frame.ExecuteCommand(base::ID_PHRASES_COMMON);
    EXPECT_EQ(state.PhraseInitMode, phrases::kInitCommon);
}

// A project file that is there but cannot be read stops a dialog that would
// show it as empty (and save the emptiness back); the message names it.
TEST_F(MainFrameTest, AnUnreadableProjectFileKeepsTheReadingDialogsShut) {
    std::filesystem::create_directory(dir / "ch5.dat");
    bool opened = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&opened] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = true;
            modal->close();
        }
    });
    closer.start(10);
    state.BusDeviceClass = 3;
    frame.ExecuteCommand(base::ID_DEVICE_DETAIL);
    EXPECT_FALSE(opened);
    EXPECT_EQ(state.BusDeviceClass, 3);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("ch5.dat")))
        << messages.shown[0].text.toStdString();
}

TEST(QtTranslations, StandardButtonsSpeakChinese) {
    QTranslator* translator = InstallQtChineseTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is not installed";
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    // The file dialog's type column too.
    const auto dialog =
        gui::kit::MakeFileDialog(nullptr, QString(), QDir::tempPath(), QString(),
                                 QFileDialog::AcceptOpen, QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->iconProvider()->type(QFileInfo(QDir::tempPath())), QStringLiteral("文件夹"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

TEST_F(MainFrameTest, GuideOpensInsideTheProgramAndAboutNamesTheLinkedLibraries) {
    // "帮助" is the last menu of every bar.
    QMenu* help = frame.menuBar()->actions().constLast()->menu();
    ASSERT_NE(help, nullptr);
    help->actions().value(0)->trigger();
    auto* guide = frame.findChild<QDialog*>(QStringLiteral("guideWindow"));
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->isVisible());
    const QString text = guide->findChild<QTextBrowser*>()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("F1 打开回路统计"))) << text.left(200).toStdString();
    guide->close();

    help->actions().value(1)->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    const QString about = messages.shown[0].text;
    for (const char* library :
         {"Qt ", "libfreexl ", "libgsf ", "libxml2 ", "zlib ", "libxlsxwriter "})
        EXPECT_TRUE(about.contains(QLatin1String(library))) << library;
    EXPECT_FALSE(about.contains(QStringLiteral("liborcus")));
}

}  // namespace
}  // namespace velsend::app

#include "app/project_folders.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTreeView>

#include "app/main_frame.h"
#include "core/burner/serial_trace.h"
#include "gui/kit/message_service.h"
#include "modal.h"
#include "scripted_messages.h"
#include "temp_dir.h"

namespace velsend::app {
namespace {

QString Q(const std::filesystem::path& path) {
    return QFile::decodeName(path.c_str());
}

class ProjectFoldersTest : public ::testing::Test {
  protected:
    ProjectFoldersTest() {
        for (const char* name : {"a", "b"}) std::filesystem::create_directory(dir / name);
        state.Project = store::ProjectDir(dir.path());
    }
    QString Folder(const char* name) const { return Q(dir / name); }
    QString SettingsFile() const { return Q(dir / "settings.ini"); }
    // The recent folders as the 文件 menu lists them.
    static QStringList RecentItems(const MainFrame& frame) {
        QStringList items;
        for (QAction* action : frame.FileMenu()->actions())
            if (action->objectName().startsWith(QStringLiteral("recentFolder")))
                items << action->text();
        return items;
    }
    QAction* Item(const MainFrame& frame, const QString& name) const {
        return frame.FileMenu()->findChild<QAction*>(name);
    }

    test::TempDir dir;
    gui::kit::RunState state;
    test::ScriptedMessages messages;
};

TEST_F(ProjectFoldersTest, OpeningAFolderMakesItTheProjectAndShowsIt) {
    // The second folder holds node settings: they are read, the old ones dropped.
    state.Node9.LocalAddress = 99;
    std::filesystem::path node = dir / "b" / "node1.dat";
    test::WriteBytes(node, {7, 8, 9, 10, 11, 0, 0, 0, 1});
    ProjectFolders folders;
    MainFrame frame(state, messages, folders);
    const QString caption = frame.windowTitle();

    ASSERT_TRUE(frame.OpenFolder(Folder("b")));
    EXPECT_EQ(state.Project.Root(), dir / "b");
    EXPECT_EQ(state.Node9.LocalAddress, 7);
    EXPECT_EQ(state.Node9.DriverBoardAddress, 8);
    EXPECT_EQ(frame.windowTitle(), caption + QStringLiteral(" - ") + Folder("b"));
    EXPECT_EQ(frame.findChild<QLabel*>(QStringLiteral("projectFolder"))->text(), Folder("b"));

    ASSERT_TRUE(frame.OpenFolder(Folder("a")));
    EXPECT_EQ(state.Node9.LocalAddress, 0);
    EXPECT_EQ(RecentItems(frame), (QStringList{QStringLiteral("&1 ") + Folder("a"),
                                               QStringLiteral("&2 ") + Folder("b")}));

    // What is no folder is refused and changes nothing.
    EXPECT_FALSE(frame.OpenFolder(Folder("missing")));
    EXPECT_FALSE(frame.OpenFolder(Q(node)));
    EXPECT_EQ(state.Project.Root(), dir / "a");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(messages.shown[0].text.contains(Folder("missing")));
    EXPECT_EQ(folders.Recent().size(), 2);
}

TEST_F(ProjectFoldersTest, TheRecentListSurvivesARestartAndReopensTheLast) {
    {
        ProjectFolders folders(SettingsFile());
        MainFrame frame(state, messages, folders);
        ASSERT_TRUE(frame.OpenFolder(Folder("a")));
        ASSERT_TRUE(frame.OpenFolder(Folder("b")));
    }
    ProjectFolders restarted(SettingsFile());
    EXPECT_EQ(restarted.Recent(), (QStringList{Folder("b"), Folder("a")}));
    // No folder given: the last one; a folder given wins.
    EXPECT_EQ(restarted.StartFolder(QString()), Folder("b"));
    EXPECT_EQ(restarted.StartFolder(Folder("a")), Folder("a"));
    // Started inside a project folder: that one, not the last one.
    std::filesystem::create_directory(dir / "c");
    test::WriteBytes(dir / "c" / "devc0.dat", std::vector<std::uint8_t>(1792, 0));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Folder("c")));
    const QString inside = restarted.StartFolder(QString());
    ASSERT_TRUE(QDir::setCurrent(before));
    EXPECT_EQ(QFileInfo(inside).canonicalFilePath(), QFileInfo(Folder("c")).canonicalFilePath());

    MainFrame frame(state, messages, restarted);
    ASSERT_EQ(RecentItems(frame).size(), 2);
    Item(frame, QStringLiteral("recentFolder2"))->trigger();
    EXPECT_EQ(state.Project.Root(), dir / "a");
    EXPECT_EQ(RecentItems(frame).front(), QStringLiteral("&1 ") + Folder("a"));

    // A last folder that is gone is not reopened.
    std::filesystem::remove(dir / "a");
    EXPECT_TRUE(ProjectFolders(SettingsFile()).StartFolder(QString()).isEmpty());
}

TEST_F(ProjectFoldersTest, KeepsTheEightNewestWithoutRepeats) {
    ProjectFolders folders;
    for (int i = 0; i < 10; ++i) folders.NoteOpened(Q(dir / std::to_string(i)));
    folders.NoteOpened(Q(dir / "5"));
    const QStringList recent = folders.Recent();
    ASSERT_EQ(recent.size(), ProjectFolders::kRecentCount);
    EXPECT_EQ(recent.front(), Q(dir / "5"));
    EXPECT_EQ(recent.count(Q(dir / "5")), 1);
    EXPECT_EQ(recent.back(), Q(dir / "2"));  // 0 and 1 fell off
}

TEST_F(ProjectFoldersTest, FileDialogsStartWhereTheirKindOfFileWasLast) {
    const QString excel = QStringLiteral("Excel 文件 (*.xlsx)");
    const QString image = QStringLiteral("Binary files (*.bin)");
    ProjectFolders folders(SettingsFile());
    // Nothing known yet: the dialog's own proposal.
    EXPECT_EQ(gui::kit::DialogStart(&folders, QStringLiteral("plaza.bin"), image),
              QStringLiteral("plaza.bin"));
    folders.NoteOpened(Folder("a"));
    EXPECT_EQ(gui::kit::DialogStart(&folders, QStringLiteral("plaza.bin"), image),
              Folder("a") + QStringLiteral("/plaza.bin"));
    folders.Remember(excel, Folder("b"));
    EXPECT_EQ(gui::kit::DialogStart(&folders, QString(), excel), Folder("b"));
    EXPECT_EQ(gui::kit::DialogStart(&folders, QString(), image), Folder("a"));
    EXPECT_EQ(gui::kit::DialogStart(&folders, Q(dir / "x.xlsx"), excel), Q(dir / "x.xlsx"));
    EXPECT_EQ(ProjectFolders(SettingsFile()).FolderFor(excel), Folder("b"));
    // A remembered folder that is gone falls back to the project.
    std::filesystem::remove(dir / "b");
    EXPECT_EQ(gui::kit::DialogStart(&folders, QString(), excel), Folder("a"));
    // The import's filter lists more suffixes than the export's: one kind still.
    EXPECT_EQ(gui::kit::FileKind(QStringLiteral("Excel表格文件 (*.xls *.xlsx *.ods)")),
              gui::kit::FileKind(QStringLiteral("Excel表格文件 (*.xlsx)")));
    EXPECT_NE(gui::kit::FileKind(QStringLiteral("二进制文件(*.bin)")),
              gui::kit::FileKind(QStringLiteral("Excel表格文件 (*.xlsx)")));
}

TEST_F(ProjectFoldersTest, FileMenuOpensCreatesAndTraces) {
    ProjectFolders folders;
    MainFrame frame(state, messages, folders);
    messages.files = {Folder("a")};
    Item(frame, QStringLiteral("openFolder"))->trigger();
    EXPECT_EQ(state.Project.Root(), dir / "a");

    messages.files = {Q(dir / "new" / "project")};
    Item(frame, QStringLiteral("newFolder"))->trigger();
    EXPECT_TRUE(std::filesystem::is_directory(dir / "new" / "project"));
    EXPECT_EQ(state.Project.Root(), dir / "new" / "project");

    // Cancelled: nothing opens, and the trace stays off.
    Item(frame, QStringLiteral("openFolder"))->trigger();
    EXPECT_EQ(state.Project.Root(), dir / "new" / "project");
    QAction* trace = frame.TraceAction();
    trace->trigger();
    EXPECT_FALSE(trace->isChecked());
    EXPECT_FALSE(burner::SerialTrace::Process().Enabled());

    messages.files = {Q(dir / "trace.log")};
    trace->trigger();
    EXPECT_TRUE(trace->isChecked());
    EXPECT_EQ(burner::SerialTrace::Process().File(), dir / "trace.log");
    trace->trigger();
    EXPECT_FALSE(trace->isChecked());
    EXPECT_FALSE(burner::SerialTrace::Process().Enabled());
}

TEST(FileDialog, OpensInTheDetailViewWideEnoughForEveryColumn) {
    test::TempDir dir;
    test::WriteBytes(dir / "devc0.dat", std::vector<std::uint8_t>(1792, 0));
    const auto dialog = gui::kit::MakeFileDialog(
        nullptr, QStringLiteral("打开"), QString::fromStdString(dir.path().string()), QString(),
        QFileDialog::AcceptOpen, QFileDialog::ExistingFile);
    dialog->show();
    auto* view = dialog->findChild<QTreeView*>();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) > 0; }));
    QApplication::processEvents();
    EXPECT_EQ(dialog->viewMode(), QFileDialog::Detail);
    EXPECT_TRUE(dialog->screen()->availableGeometry().contains(dialog->frameGeometry()));
    EXPECT_GE(dialog->width(), 800);
    // Size, type and date are shown whole, not cut to "9 Dec ...:22".
    const QModelIndex row = view->model()->index(0, 0, view->rootIndex());
    for (int column = 1; column < view->header()->count(); ++column) {
        const QString text = row.siblingAtColumn(column).data().toString();
        EXPECT_GT(view->header()->sectionSize(column), view->fontMetrics().horizontalAdvance(text))
            << text.toStdString();
    }
}

// The workbook written is the file the save dialog asks about: "项目.xls"
// stands for "项目.xlsx", and replacing that one is asked first.
TEST(FileDialog, ASaveNameIsTheFileWrittenAndReplacingItIsAsked) {
    test::TempDir dir;
    test::WriteBytes(dir / "项目.xlsx", std::vector<std::uint8_t>(10, 1));
    gui::kit::WidgetMessageService service;
    QString asked;
    std::unique_ptr<test::ModalAction> replace;
    const auto name = test::WhenModal([&](QDialog* dialog) {
        replace = test::WhenModal([&](QDialog* box) {
            asked = static_cast<QMessageBox*>(box)->text();
            // Its caption, the file dialog's, is shown whole beside the title-bar buttons.
            EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()) + 100)
                << box->width();
            static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
        });
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("项目.xls"));
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    const QString caption =
        QStringLiteral("导出项目数据到 Excel 表格文件，可以用 Excel 或 WPS 打开修改");
    const QString chosen = service.SaveFileName(nullptr, caption, Q(dir.path()),
                                                QStringLiteral("Excel表格文件 (*.xlsx)"));
    EXPECT_TRUE(asked.contains(QStringLiteral("项目.xlsx"))) << asked.toStdString();
    EXPECT_EQ(chosen, Q(dir / "项目.xlsx"));
}

}  // namespace
}  // namespace velsend::app

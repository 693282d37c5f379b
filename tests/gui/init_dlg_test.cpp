#include "gui/store/project_init_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/main_frame.h"
#include "base/command_ids.h"
#include "modal.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "widgets.h"

namespace velsend::store {

using namespace velsend::gui::store;
namespace {

class InitDlgTest : public ::testing::Test {
  protected:
    InitDlgTest() {
        for (const char* name : {"devc0.dat", "logic3.dat", "word.dat", "info.dat"})
            test::WriteBytes(dir / name, {1});
    }
    bool Exists(const char* name) const { return std::filesystem::exists(dir / name); }
    test::TempDir dir;
    test::ScriptedMessages messages;
};

TEST_F(InitDlgTest, ConfirmDeletesTheProjectAndCloses) {
    ProjectInitDlg dialog(ProjectDir(dir.path()), messages);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("初始化"));
    EXPECT_NE(
        dialog.findChild<QLabel*>()->text().indexOf(QStringLiteral("所有数据将丢失,请做好备份!")),
        -1);
    dialog.show();
    QTest::mouseClick(test::Child<QPushButton>(&dialog, "confirm"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(Exists("devc0.dat"));
    EXPECT_FALSE(Exists("word.dat"));
    EXPECT_FALSE(Exists("info.dat"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(InitDlgTest, CancelAndEnterLeaveEverything) {
    ProjectInitDlg dialog(ProjectDir(dir.path()), messages);
    dialog.show();
    // Enter lands on the safe button.
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(Exists("devc0.dat"));
    EXPECT_TRUE(Exists("word.dat"));
}

TEST_F(InitDlgTest, MenuCommandRunsTheDialog) {
    gui::kit::RunState state;
    state.Project = ProjectDir(dir.path());
    app::MainFrame frame(state, messages);
    const auto confirm = test::WhenModal([](QDialog* dialog) {
        auto* init = qobject_cast<ProjectInitDlg*>(dialog);
        ASSERT_NE(init, nullptr);
        test::Child<QPushButton>(init, "confirm")->click();
    });
    frame.ExecuteCommand(base::ID_INITIALISE);
    EXPECT_TRUE(confirm->Acted());
    EXPECT_FALSE(Exists("devc0.dat"));
    EXPECT_FALSE(Exists("logic3.dat"));
}

}  // namespace
}  // namespace velsend::store

// The view's five spreadsheet commands through the main window's command
// map: each asks for its file, works off the GUI thread and says what it did.
#include <gtest/gtest.h>

#include <QMenuBar>
#include <QProgressBar>
#include <QTest>

#include "app/main_frame.h"
#include "base/command_ids.h"
#include "core/demo/demo_project.h"
#include "core/exchange/workbook.h"
#include "core/store/device_store.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/run_state.h"
#include "scripted_messages.h"
#include "temp_dir.h"

using namespace velsend;

namespace {

class VelViewTest : public ::testing::Test {
  protected:
    VelViewTest() {
        state.Ports = burner::PortList::FromSpec("");
        state.Project = store::ProjectDir(dir.path());
    }
    // Runs a command and waits for its closing message.
    QString Run(int id, const QString& file) {
        const std::size_t before = messages.shown.size();
        messages.files = {file};
        frame.ExecuteCommand(id);
        EXPECT_TRUE(QTest::qWaitFor([&] { return messages.shown.size() > before; }, 20000));
        if (messages.shown.size() <= before) return {};
        EXPECT_TRUE(messages.shown.back().caption.isEmpty());
        return messages.shown.back().text;
    }
    test::TempDir dir;
    gui::kit::RunState state;
    test::ScriptedMessages messages;
    app::MainFrame frame{state, messages};
};

TEST_F(VelViewTest, ExportImportAndTemplatesAllDoTheirWork) {
    const base::Result<> demo = demo::WriteDemoProject(state.Project);
    ASSERT_TRUE(demo.ok()) << demo.error().Full();
    const QString out = QString::fromStdString((dir / "导出").string());  // no extension typed
    auto* bar = frame.findChild<QProgressBar*>(QStringLiteral("progress1001"));
    ASSERT_NE(bar, nullptr);
    int highest = 0;
    QObject::connect(bar, &QProgressBar::valueChanged, bar,
                     [&](int v) { highest = std::max(highest, v); });
    const QString exported = Run(base::ID_EXCEL_EXPORT, out);
    EXPECT_TRUE(exported.startsWith(QStringLiteral("导出完毕！\n文件：") +
                                    gui::kit::ShownPath(out) + QStringLiteral(".xlsx\n")))
        << exported.toStdString();
    EXPECT_EQ(bar->maximum(), 1512);
    EXPECT_EQ(highest, 1512);    // every step was shown
    EXPECT_EQ(bar->value(), 0);  // and the bar is empty again once the result is read
    EXPECT_TRUE(frame.menuBar()->isEnabled());
    ASSERT_TRUE(exchange::ReadWorkbook(dir / "导出.xlsx").ok());

    const auto devices = store::ReadDeviceFile(state.Project, 0);
    std::filesystem::remove(state.Project.PathOf(store::ProjectFile::Devices, 0));
    const QString imported = Run(base::ID_EXCEL_IMPORT_KBX, out + QStringLiteral(".xlsx"));
    EXPECT_TRUE(imported.startsWith(QStringLiteral("导入完毕！"))) << imported.toStdString();
    EXPECT_EQ(bar->maximum(), 1);
    EXPECT_EQ(store::ReadDeviceFile(state.Project, 0), devices);

    const QString bad = QString::fromStdString((dir / "bad.xlsx").string());
    test::WriteBytes(dir / "bad.xlsx", {1, 2, 3});
    EXPECT_TRUE(
        Run(base::ID_EXCEL_IMPORT_KA, bad).startsWith(QStringLiteral("无法读取Excel表格文件！")));

    for (int id : {base::ID_STANDARD_TEMPLATE, base::ID_EXAMPLE_TEMPLATE}) {
        const auto file = dir / ("t" + std::to_string(id) + ".xlsx");
        EXPECT_EQ(Run(id, QString::fromStdString(file.string())),
                  QStringLiteral("生成完毕！\n文件：") + QString::fromStdString(file.string()));
        EXPECT_TRUE(exchange::ReadWorkbook(file).ok());
    }

    // Cancelling a file dialog does nothing.
    const std::size_t shown = messages.shown.size();
    messages.files.clear();
    frame.ExecuteCommand(base::ID_EXCEL_EXPORT);
    frame.ExecuteCommand(base::ID_EXCEL_IMPORT_KA);
    EXPECT_EQ(messages.shown.size(), shown);
}

}  // namespace

// The GUI's report commands: the preview shows the report built off the
// window's thread and fits the screen, the PDF
// export asks for a name through the message service, adds the ending and
// says where it wrote; a cancelled dialog writes nothing.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <memory>

#include "core/demo/demo_project.h"
#include "gui/kit/run_state.h"
#include "gui/report/report_commands.h"
#include "gui/report/report_preview_dlg.h"
#include "scripted_messages.h"
#include "temp_dir.h"

using namespace velsend;

namespace {

TEST(ReportDlg, PreviewPaintsOneSheetPerLoopAndPdfExportWritesTheChosenFile) {
    test::TempDir temp;
    gui::kit::RunState state;
    state.Project = store::ProjectDir(temp.path());
    ASSERT_TRUE(demo::WriteDemoProject(state.Project));

    test::ScriptedMessages messages;
    const auto preview = gui::report::MakeReportPreview(state, messages, nullptr);
    ASSERT_NE(preview, nullptr);
    preview->show();
    // Title, three loops, rules, phrases: at least a sheet each.
    EXPECT_GE(preview->PageCount(), 6);
    const int previewSheets = preview->PageCount();
    // It fits the screen it opens on.
    const QRect screen = preview->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(preview->frameGeometry()))
        << screen.width() << "x" << screen.height();
    if (qEnvironmentVariableIsSet("VELSEND_SHOTS"))
        preview->grab().save(qEnvironmentVariable("VELSEND_SHOTS") +
                             QStringLiteral("/report_preview.png"));
    preview->close();

    EXPECT_TRUE(gui::report::ExportReportPdf(state, messages, nullptr).isEmpty());  // cancelled
    EXPECT_TRUE(messages.shown.empty());

    const QString chosen = QString::fromStdString((temp / "交付报告").string());
    messages.files << chosen;
    EXPECT_EQ(gui::report::ExportReportPdf(state, messages, nullptr),
              chosen + QStringLiteral(".pdf"));
    QFile pdf(chosen + QStringLiteral(".pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    // The preview shows the sheets the PDF holds.
    EXPECT_EQ(bytes.count("/Type /Page") - bytes.count("/Type /Pages"), previewSheets);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(chosen + QStringLiteral(".pdf")));
}

}  // namespace

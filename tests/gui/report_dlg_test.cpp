// The GUI's report commands: the print preview paints the report, the PDF
// export asks for a name through the message service, adds the ending and
// says where it wrote; a cancelled dialog writes nothing.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTest>
#include <memory>

#include "core/demo/demo_project.h"
#include "gui/kit/run_state.h"
#include "gui/report/report_commands.h"
#include "scripted_messages.h"
#include "temp_dir.h"

using namespace velsend;

namespace {

TEST(ReportDlg, PreviewPaintsOneSheetPerLoopAndPdfExportWritesTheChosenFile) {
    test::TempDir temp;
    base::RunState state;
    state.Project = store::ProjectDir(temp.path());
    ASSERT_TRUE(app::WriteDemoProject(state.Project));

    std::unique_ptr<QPrintPreviewDialog> preview(report::MakeReportPreview(state, nullptr));
    int painted = 0;
    QObject::connect(preview.get(), &QPrintPreviewDialog::paintRequested, preview.get(),
                     [&](QPrinter*) { ++painted; });
    preview->resize(800, 900);
    preview->show();
    auto* widget = preview->findChild<QPrintPreviewWidget*>();
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return painted > 0; }));
    // Title, three loops, rules, phrases: at least a sheet each.
    EXPECT_GE(widget->pageCount(), 6);
    const int previewSheets = widget->pageCount();
    if (qEnvironmentVariableIsSet("VELSEND_SHOTS"))
        for (int page = 1; page <= widget->pageCount(); ++page) {
            widget->setCurrentPage(page);
            preview->grab().save(qEnvironmentVariable("VELSEND_SHOTS") +
                                 QStringLiteral("/report_preview%1.png").arg(page));
        }
    preview->close();

    test::ScriptedMessages messages;
    EXPECT_TRUE(report::ExportReportPdf(state, messages, nullptr).isEmpty());  // cancelled
    EXPECT_TRUE(messages.shown.empty());

    const QString chosen = QString::fromStdString((temp / "交付报告").string());
    messages.files << chosen;
    EXPECT_EQ(report::ExportReportPdf(state, messages, nullptr), chosen + QStringLiteral(".pdf"));
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

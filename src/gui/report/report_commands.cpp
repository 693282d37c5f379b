#include "gui/report/report_commands.h"

#include <QApplication>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <memory>

#include "gui/kit/run_state.h"
#include "gui/report/report_painter.h"
#include "gui/report/report_pdf.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::report {
namespace {

Report WholeProject(const base::RunState& state) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Report report = BuildReport(state.Project, state.ControllerModel, 0, store::kLoopCount - 1);
    QApplication::restoreOverrideCursor();
    return report;
}

}  // namespace

QPrintPreviewDialog* MakeReportPreview(const base::RunState& state, QWidget* parent) {
    auto report = std::make_shared<Report>(WholeProject(state));
    auto* dialog = new QPrintPreviewDialog(parent);
    dialog->setObjectName(QStringLiteral("reportPreview"));
    dialog->setWindowTitle(QStringLiteral("打印报告"));
    dialog->printer()->setPageSize(QPageSize(QPageSize::A4));
    dialog->printer()->setPageMargins(QMarginsF(12, 15, 12, 12), QPageLayout::Millimeter);
    dialog->printer()->setDocName(ui::Q(report->projectName) + QStringLiteral(" 调试报告"));
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, dialog,
                     [report](QPrinter* printer) { PaintReport(*printer, *report); });
    return dialog;
}

void RunReportPreview(const base::RunState& state, ui::MessageService&, QWidget* parent) {
    std::unique_ptr<QPrintPreviewDialog> dialog(MakeReportPreview(state, parent));
    dialog->resize(900, 1000);
    dialog->exec();
}

QString ExportReportPdf(const base::RunState& state, ui::MessageService& messages,
                        QWidget* parent) {
    QString path = messages.SaveFileName(parent, QStringLiteral("导出PDF"),
                                         QString::fromStdString(state.Project.Root().string()),
                                         QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty()) return {};
    if (QFileInfo(path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".pdf");
    const Report report = WholeProject(state);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const base::Result<> written = WritePdfReport(path.toStdString(), report);
    QApplication::restoreOverrideCursor();
    if (!written) {
        messages.Message(parent, ui::WithReason(ui::Q(written.error().userText), written.error()),
                         ui::MessageService::AppTitle(), ui::MessageIcon::Critical);
        return {};
    }
    messages.Message(parent, QStringLiteral("报告已导出到 %1").arg(path),
                     ui::MessageService::AppTitle(), ui::MessageIcon::Information);
    return path;
}

}  // namespace velsend::report

#include "gui/report/report_commands.h"

#include <QFileInfo>

#include "base/file_write.h"
#include "base/project_lock.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/run_state.h"
#include "gui/kit/work_progress.h"
#include "gui/report/report_preview_dlg.h"
#include "pdf/report_pdf.h"

namespace velsend::gui::report {

using namespace velsend::report;

std::optional<BuiltReport> BuildReportInBackground(const kit::RunState& state,
                                                   kit::MessageService& messages, QWidget* parent) {
    BuiltReport built;
    const velsend::store::ProjectDir dir = state.Project;
    const int model = state.ControllerModel;
    std::optional<base::Error> busy;
    const bool finished = kit::RunWithProgress(
        parent, QStringLiteral("调试报告"), QStringLiteral("正在生成调试报告…"),
        [&](kit::WorkProgress& progress) {
            {
                // One whole state of the project: another program's commit
                // waits until the report has read it.
                auto reading =
                    base::ProjectLock::AcquireShared(dir.Root(), base::ProjectLock::DefaultWait());
                if (!reading) {
                    busy = reading.error();
                    return;
                }
                built.report = BuildReport(dir, model, 0, velsend::store::kLoopCount - 1);
            }
            if (progress.Stopped()) return;
            built.pdf = QByteArray::fromStdString(pdf::PdfReportBytes(
                built.report,
                [&](int done, int total) {
                    progress.total = total;
                    progress.done = done;
                },
                progress.stop));
        });
    if (!finished) return std::nullopt;
    if (busy) {
        messages.Message(parent, kit::Q(busy->userText), kit::MessageService::AppTitle(),
                         kit::MessageIcon::Warning);
        return std::nullopt;
    }
    if (built.pdf.isEmpty()) {
        messages.Message(parent, QStringLiteral("无法生成PDF报告。"),
                         kit::MessageService::AppTitle(), kit::MessageIcon::Critical);
        return std::nullopt;
    }
    // Moved, not copied: a full project's report is 65 536 rows of texts.
    return std::optional<BuiltReport>(std::move(built));
}

std::unique_ptr<ReportPreviewDlg> MakeReportPreview(const kit::RunState& state,
                                                    kit::MessageService& messages,
                                                    QWidget* parent) {
    std::optional<BuiltReport> built = BuildReportInBackground(state, messages, parent);
    if (!built) return nullptr;
    return std::make_unique<ReportPreviewDlg>(std::move(built->report), std::move(built->pdf),
                                              messages, parent);
}

void RunReportPreview(const kit::RunState& state, kit::MessageService& messages, QWidget* parent) {
    if (const auto dialog = MakeReportPreview(state, messages, parent)) dialog->exec();
}

QString ExportReportPdf(const kit::RunState& state, kit::MessageService& messages,
                        QWidget* parent) {
    QString path =
        messages.SaveFileName(parent, QStringLiteral("导出PDF"), kit::QPath(state.Project.Root()),
                              QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty()) return {};
    if (QFileInfo(path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".pdf");
    const std::optional<BuiltReport> built = BuildReportInBackground(state, messages, parent);
    if (!built) return {};
    const base::Result<> written = base::WriteWholeFile(
        kit::StdPath(path), std::span(reinterpret_cast<const std::uint8_t*>(built->pdf.constData()),
                                      static_cast<std::size_t>(built->pdf.size())));
    if (!written) {
        messages.Message(parent, kit::WithReason(kit::Q(written.error().userText), written.error()),
                         kit::MessageService::AppTitle(), kit::MessageIcon::Critical);
        return {};
    }
    messages.Message(parent, QStringLiteral("报告已导出到 %1").arg(path),
                     kit::MessageService::AppTitle(), kit::MessageIcon::Information);
    return path;
}

}  // namespace velsend::gui::report

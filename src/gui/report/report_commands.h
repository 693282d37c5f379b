#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

#include "core/report/project_report.h"

class QWidget;

namespace velsend::gui::kit {
struct RunState;
}
namespace velsend::gui::kit {
class MessageService;
}

namespace velsend::gui::report {

using namespace velsend::report;

class ReportPreviewDlg;

// The GUI's two report commands ("打印报告…", "导出PDF…"), over the whole
// project of the run (all 256 loops) and the current model. The pages are
// built on a worker thread behind a progress dialog with "取消".

struct BuiltReport {
    Report report;
    QByteArray pdf;
};
// The report and its PDF; nullopt when the user cancelled (or, after saying
// so, when the pages could not be painted).
std::optional<BuiltReport> BuildReportInBackground(const kit::RunState& state,
                                                   kit::MessageService& messages, QWidget* parent);

// The preview of the built report, not yet shown; null when cancelled.
std::unique_ptr<ReportPreviewDlg> MakeReportPreview(const kit::RunState& state,
                                                    kit::MessageService& messages, QWidget* parent);
// Builds the pages, then opens the preview modally; "打印…" prints from there.
void RunReportPreview(const kit::RunState& state, kit::MessageService& messages, QWidget* parent);

// Asks for a file name ("导出PDF"), writes the PDF and says how it went.
// Returns the file written, or an empty string (cancelled or failed).
QString ExportReportPdf(const kit::RunState& state, kit::MessageService& messages, QWidget* parent);

}  // namespace velsend::gui::report

#pragma once

#include <QString>

class QPrintPreviewDialog;
class QWidget;

namespace velsend::base {
struct RunState;
}
namespace velsend::ui {
class MessageService;
}

namespace velsend::report {

// The GUI's two report commands ("打印报告…", "导出PDF…"), over the whole
// project of the run (all 256 loops) and the current model.

// The print preview of the report, not yet shown: it paints the report each
// time the preview or the printer asks. The caller owns it.
QPrintPreviewDialog* MakeReportPreview(const base::RunState& state, QWidget* parent);
// Opens the preview modally and prints what the user chooses there.
void RunReportPreview(const base::RunState& state, ui::MessageService& messages,
                      QWidget* parent);

// Asks for a file name ("导出PDF"), writes the PDF and says how it went.
// Returns the file written, or an empty string (cancelled or failed).
QString ExportReportPdf(const base::RunState& state, ui::MessageService& messages,
                        QWidget* parent);

}  // namespace velsend::report

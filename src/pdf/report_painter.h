#pragma once

#include "core/report/project_report.h"
#include "pdf/report_pdf.h"

class QPagedPaintDevice;

namespace velsend::pdf {

// Paints the report onto a paged device (a PDF writer, a printer, the print
// preview): each report page starts on a new sheet and runs over as many sheets
// as it needs; every sheet gets a footer with the project and the sheet
// number. Returns false when the device could not be painted on, or when
// `stop` was set (checked between report pages).
bool PaintReport(QPagedPaintDevice& device, const report::Report& report,
                 const PageProgress& progress = {}, const std::atomic<bool>* stop = nullptr);

}  // namespace velsend::pdf

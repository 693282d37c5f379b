#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>

#include "base/result.h"
#include "core/report/project_report.h"

namespace velsend::pdf {

// Called after each report page (title, a loop, rules, phrases) is laid out
// and painted: (pages done, pages in all).
using PageProgress = std::function<void(int, int)>;

// Paints the report's pages (report::ReportPages) into a PDF (A4), the CJK font embedded,
// so the Chinese text is real, selectable text. Needs Qt's GUI module; when
// the program has no Qt application yet (the CLI), one is started on the
// offscreen platform. Written through the temporary-file writer: a failed
// run leaves an existing file as it was.
[[nodiscard]] base::Result<> WritePdfReport(const std::filesystem::path& target,
                                            const report::Report& report,
                                            const PageProgress& progress = {});
// The PDF's bytes; empty when `stop` was set or painting failed. Safe on a
// worker thread.
std::string PdfReportBytes(const report::Report& report, const PageProgress& progress = {},
                           const std::atomic<bool>* stop = nullptr);

}  // namespace velsend::pdf

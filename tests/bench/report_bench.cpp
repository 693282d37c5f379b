// The commissioning report of a full project: 256 loops of 256 installed
// devices with names, 1 000 logic rules, 256 phrases. Prints the seconds for
// the HTML and the PDF (the target for the PDF is 5 s) and the PDF's size.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "base/gbk.h"
#include "core/logic/logic_files.h"
#include "core/phrases/phrase_library.h"
#include "core/report/project_report.h"
#include "core/store/device_store.h"
#include "full_project.h"
#include "pdf/report_pdf.h"
#include "temp_dir.h"

using namespace velsend;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(ReportBench, FullProject) {
    test::TempDir temp;
    const store::ProjectDir dir(temp.path());
    ASSERT_NO_FATAL_FAILURE(test::WriteFullProject(dir));

    auto start = std::chrono::steady_clock::now();
    const report::Report html = report::BuildReport(dir, 2, 0, 255);
    ASSERT_TRUE(report::WriteHtmlReport(temp.path() / "full.html", html));
    const double htmlSeconds = Since(start);

    start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    int pages = 0;
    const report::Report model = report::BuildReport(dir, 2, 0, 255);
    ASSERT_TRUE(
        pdf::WritePdfReport(temp.path() / "full.pdf", model, [&](int done, int) { pages = done; }));
    const double pdfSeconds = Since(start);
    // On a shared machine the wall clock also counts the other jobs; the
    // processor time is this run's own.
    const double pdfCpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    EXPECT_EQ(model.installedTotal, 65536);
    EXPECT_EQ(pages, 259);  // title, 256 loops, rules, phrases
    std::printf(
        "report of 256 loops x 256 devices: HTML %.2f s, PDF %.2f s (target 5 s), "
        "processor %.2f s, PDF %.1f MB\n",
        htmlSeconds, pdfSeconds, pdfCpu,
        static_cast<double>(std::filesystem::file_size(temp.path() / "full.pdf")) / 1e6);
}

}  // namespace

// The commissioning report of a full project: 256 loops of 256 installed
// devices with names, 1 000 logic rules, 256 phrases. Prints the seconds for
// the HTML and the PDF (the target for the PDF is 5 s) and the PDF's size.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>

#include "logic/logic_files.h"
#include "phrases/phrase_library.h"
#include "report/project_report.h"
#include "report/report_pdf.h"
#include "store/device_store.h"
#include "store/gbk.h"
#include "temp_dir.h"

using namespace velsend;

namespace {

void WriteFullProject(const store::ProjectDir& dir) {
    const std::string name = store::Utf8ToGbk("Ａ座负一层配电").value();
    for (int loop = 0; loop < 256; ++loop) {
        store::DeviceFile devices{};
        store::ChineseNameFile names{};
        for (int a = 0; a < 256; ++a) {
            const bool module = a % 2 == 1;
            devices[static_cast<std::size_t>(a)] = {
                static_cast<std::uint8_t>((module ? 0xC0 : 0x80) | (a & 0x0F)),
                static_cast<std::uint8_t>(module ? 0x85 : 0), 0,
                static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(loop), 3, 4};
            names[static_cast<std::size_t>(a)] = store::MakeName(name);
        }
        ASSERT_TRUE(store::WriteDeviceFile(dir, loop, devices));
        ASSERT_TRUE(store::WriteChineseNameFile(dir, loop, names));
    }
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(logic::WriteLogicRule(dir, i, "T" + std::to_string(i % 100 + 1000) + "=M2002"));
    phrases::PhraseImage image{};
    for (int i = 0; i < 256; ++i)
        phrases::SetPhrase(image, i, store::Utf8ToGbk("大厅" + std::to_string(i)).value());
    ASSERT_TRUE(phrases::WritePhraseLibrary(dir, image));
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(ReportBench, FullProject) {
    test::TempDir temp;
    const store::ProjectDir dir(temp.path());
    WriteFullProject(dir);

    auto start = std::chrono::steady_clock::now();
    const report::Report html = report::BuildReport(dir, 2, 0, 255);
    ASSERT_TRUE(report::WriteHtmlReport(temp.path() / "full.html", html));
    const double htmlSeconds = Since(start);

    start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    int pages = 0;
    const report::Report model = report::BuildReport(dir, 2, 0, 255);
    ASSERT_TRUE(report::WritePdfReport(temp.path() / "full.pdf", model,
                                       [&](int done, int) { pages = done; }));
    const double pdfSeconds = Since(start);
    // On a shared machine the wall clock also counts the other jobs; the
    // processor time is this run's own.
    const double pdfCpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    EXPECT_EQ(model.installedTotal, 65536);
    EXPECT_EQ(pages, 259);  // title, 256 loops, rules, phrases
    std::printf("report of 256 loops x 256 devices: HTML %.2f s, PDF %.2f s (target 5 s), "
                "processor %.2f s, PDF %.1f MB\n",
                htmlSeconds, pdfSeconds, pdfCpu,
                static_cast<double>(std::filesystem::file_size(temp.path() / "full.pdf")) / 1e6);
}

}  // namespace

// The commissioning report: what the HTML holds for the demo project, how
// project text is escaped, the loop range, the first family's per-device
// rules, the CLI's usage errors, and the PDF's text (when poppler-utils is
// there to read it).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/gbk.h"
#include "cli_run.h"
#include "core/demo/demo_project.h"
#include "core/logic/logic_files.h"
#include "core/report/project_report.h"
#include "core/store/device_store.h"
#include "core/store/project_info.h"
#include "temp_dir.h"

using namespace velsend;

namespace {

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string Gbk(const std::string& utf8) {
    return base::Utf8ToGbk(utf8).value();
}

class ReportTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(demo::WriteDemoProject(dir)); }
    test::TempDir temp;
    store::ProjectDir dir{temp.path()};
};

TEST_F(ReportTest, DemoHtmlHasAPagePerLoopAndTheDecodedRows) {
    std::vector<int> seen;
    const report::Report r =
        report::BuildReport(dir, 2, 0, 255, [&](int, int, int loop) { seen.push_back(loop); });
    EXPECT_EQ(seen.size(), 256u);
    const std::string html = report::RenderHtml(r);
    // Title, loops 0..2, rules, phrases; every page but the first breaks.
    EXPECT_EQ(Count(html, "<section class=\"page\">"), 6u);
    EXPECT_NE(html.find("page-break-before: always"), std::string::npos);
    EXPECT_NE(html.find("<h2>回路 0</h2>"), std::string::npos);
    EXPECT_NE(html.find("<h2>回路 2</h2>"), std::string::npos);
    EXPECT_EQ(html.find("<h2>回路 3</h2>"), std::string::npos);
    // The smoke fan: module, type 25, automatic start, delay 10, its phrase and name.
    EXPECT_NE(html.find("<tr><td>30</td><td>模块</td><td>25</td><td>排烟风机</td><td>1</td>"
                        "<td>1</td><td>0</td><td>52 中厅</td><td>1层排烟风机</td><td>自动</td>"
                        "<td>10</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<td>示范大厦消防工程</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>0 单机工作方式</td>"), std::string::npos);
    // Counts by type and the totals agree with the rows.
    EXPECT_NE(html.find("<td>报警</td><td>0 感烟探测器</td><td>5</td>"), std::string::npos);
    EXPECT_EQ(r.installedTotal, 40);
    EXPECT_EQ(Count(html, "<tr><td>30</td><td>模块</td>"), 3u);
    EXPECT_GT(r.ruleCapacity, 0);  // numbered rules for this model
    EXPECT_EQ(r.rules.size(), 4u);
    EXPECT_NE(html.find("<td>逻辑 0</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>200</td><td>A座</td>"), std::string::npos);
}

TEST_F(ReportTest, ProjectTextIsEscapedAndControlBytesStayVisible) {
    store::ProjectInfo info = store::ReadProjectInfo(dir);
    info[0] = Gbk("<b>大楼 & \"东\"</b>");
    info[1] = std::string("A\x1b[2J");
    ASSERT_TRUE(store::WriteProjectInfo(dir, info));
    store::ChineseNameFile names = store::ReadChineseNameFile(dir, 0);
    names[1] = store::MakeName(Gbk("<script>"));
    ASSERT_TRUE(store::WriteChineseNameFile(dir, 0, names));
    const std::string html = report::RenderHtml(report::BuildReport(dir, 2, 0, 255));
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("<SCRIPT>"), std::string::npos);  // names are stored upper-cased
    EXPECT_NE(html.find("&lt;b&gt;大楼 &amp; &quot;东&quot;&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(html.find("&lt;SCRIPT&gt;"), std::string::npos);
    EXPECT_NE(html.find("A\\x1B[2J"), std::string::npos);
    EXPECT_EQ(html.find('\x1b'), std::string::npos);
}

TEST_F(ReportTest, LoopRangeAndTheFirstFamilysPerDeviceRules) {
    ASSERT_TRUE(logic::WriteDeviceLogic(dir, 1, 30, Gbk("联动 1层排烟")));
    ASSERT_TRUE(logic::WriteDeviceLogic(dir, 0, 30, Gbk("不在范围内")));
    int calls = 0;
    const report::Report r = report::BuildReport(dir, 1, 1, 1, [&](int, int, int) { ++calls; });
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(r.loops.size(), 1u);
    EXPECT_EQ(r.loops[0].loop, 1);
    EXPECT_EQ(r.ruleCapacity, 0);
    ASSERT_EQ(r.rules.size(), 1u);
    EXPECT_EQ(r.rules[0].where, "回路 1 地址 30");
    EXPECT_EQ(r.rules[0].text, "联动 1层排烟");
    EXPECT_EQ(r.nodeFile, "node1.dat");
}

TEST_F(ReportTest, CliUsageErrorsNameTheArgument) {
    const std::string d = temp.path().string();
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--dir", d, "report"});
        return test::Cli(args);
    };
    auto bad = run({(temp / "r.txt").string()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("FILE"), std::string::npos) << bad.err;
    bad = run({(temp / "r.html").string(), "--loops", "3-256"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--loops"), std::string::npos) << bad.err;
    bad = run({(temp / "r.html").string(), "--loops", "5-2"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--loops"), std::string::npos) << bad.err;
    bad = run({(temp / "r.html").string(), "--pages", "1-2"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_FALSE(std::filesystem::exists(temp / "r.html"));

    const auto ok = run({(temp / "r.html").string(), "--loops", "1-2"});
    ASSERT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.err.find("读取回路 2（2/2）"), std::string::npos) << ok.err;
    const std::string html = ReadText(temp / "r.html");
    EXPECT_EQ(html.find("<h2>回路 0</h2>"), std::string::npos);
    EXPECT_NE(html.find("<h2>回路 1</h2>"), std::string::npos);
}

#ifdef VELSEND_REPORT_PDF
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer;
        while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
            out.append(buffer.data(), n);
        ::pclose(pipe);
    }
    return out;
}

TEST_F(ReportTest, PdfHoldsTheTypeNamesAndChineseNamesAsTextWithTheFontEmbedded) {
    const auto ok = test::Cli({"--dir", temp.path().string(), "report", (temp / "r.pdf").string()});
    ASSERT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ReadText(temp / "r.pdf").substr(0, 5), "%PDF-");
    if (std::system(
            "command -v pdftotext >/dev/null 2>&1 && command -v pdffonts >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdftotext/pdffonts (poppler-utils) not installed: PDF text not checked";
    const std::string text = Output("pdftotext -layout '" + (temp / "r.pdf").string() + "' -");
    for (const char* expected : {"示范大厦消防工程", "感烟探测器", "排烟风机", "1层排烟风机",
                                 "2层办公室1", "消火栓按钮", "回路 2", "词库", "联动逻辑"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    const std::string fonts = Output("pdffonts '" + (temp / "r.pdf").string() + "'");
    EXPECT_NE(fonts.find("WenQuanYi"), std::string::npos) << fonts;
    // Every font line (after the two heading lines) says "yes" under "emb".
    std::istringstream lines(fonts);
    std::string line;
    int fontLines = 0;
    for (int n = 0; std::getline(lines, line); ++n) {
        if (n < 2 || line.empty()) continue;
        std::istringstream fields(line);
        std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
        ASSERT_GE(f.size(), 5u) << line;
        EXPECT_EQ(f[f.size() - 5], "yes") << line;
        ++fontLines;
    }
    EXPECT_GE(fontLines, 1);
}
#endif

}  // namespace

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "base/platform/system.h"
#include "cli/commands.h"
#include "core/report/project_report.h"
#ifdef VELSEND_REPORT_PDF
#include "pdf/report_pdf.h"
#endif

namespace velsend::cli {

// "report FILE [--loops A-B]": the file's ending picks HTML or PDF. The loops
// default to all of them, not to the transfer's 0-3.
int ReportCommand(Context& c) {
    const auto& args = c.options.args;
    std::pair<int, int> loops = c.options.loops.value_or(std::pair(0, 255));
    if (args.size() == 3 && args[1] == "--loops") {
        if (!ParseRange(args[2], 255, loops))
            return UsageError(c.streams.err, "--loops",
                              "takes A-B with both in 0..255 (got '" + args[2] + "')");
    } else if (args.size() != 1) {
        return UsageError(c.streams.err, "report", "FILE.html|FILE.pdf [--loops A-B]");
    }
    if (loops.first > loops.second)
        return UsageError(c.streams.err, "--loops",
                          "A must not be above B (got " + std::to_string(loops.first) + "-" +
                              std::to_string(loops.second) + ")");
    const std::filesystem::path target = platform::PathFromUtf8(args[0]);
    std::string ending = target.extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    const bool pdf = ending == ".pdf";
    if (!pdf && ending != ".html" && ending != ".htm")
        return UsageError(c.streams.err, "FILE",
                          "must end in .html or .pdf (got '" + target.string() + "')");
#ifndef VELSEND_REPORT_PDF
    if (pdf)
        return UsageError(c.streams.err, "FILE", "this build has no PDF output (built without Qt)");
#endif
    auto& err = c.streams.err;
    const char* const end = c.streams.errTerminal ? "\r" : "\n";
    const report::Report model = report::BuildReport(
        c.state.Project, c.state.ControllerModel, loops.first, loops.second,
        [&](int done, int total, int loop) {
            err << "读取回路 " << loop << "（" << done << "/" << total << "）" << end << std::flush;
        });
    if (c.streams.errTerminal) err << "\n";
    base::Result<> written = base::Ok();
    if (pdf) {
#ifdef VELSEND_REPORT_PDF
        // Title page, one page per loop with devices, the rules, the phrases.
        std::vector<std::string> names{"首页"};
        for (const report::LoopSection& s : model.loops)
            names.push_back("回路 " + std::to_string(s.loop));
        names.push_back("联动逻辑");
        names.push_back("词库");
        written = pdf::WritePdfReport(target, model, [&](int done, int total) {
            err << "排版 " << names[static_cast<std::size_t>(done - 1)] << "（" << done << "/"
                << total << "）" << end << std::flush;
        });
        if (c.streams.errTerminal) err << "\n";
#endif
    } else {
        written = report::WriteHtmlReport(target, model);
    }
    if (!written) {
        err << written.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << "报告已写入 " << target.string() << "：" << model.loops.size() << " 个回路，"
                  << model.installedTotal << " 个开通设备\n";
    return kExitOk;
}

}  // namespace velsend::cli

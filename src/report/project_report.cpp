#include "report/project_report.h"

#include <cstdio>
#include <map>
#include <tuple>

#include "base/controller_model.h"
#include "base/file_write.h"
#include "logic/logic_files.h"
#include "phrases/phrase_library.h"
#include "store/device_store.h"
#include "store/device_text.h"
#include "store/gbk.h"
#include "store/project_info.h"

namespace velsend::report {
namespace {

std::string Utf8(const std::string& gbk) { return store::GbkToUtf8(gbk); }

std::string PhraseCell(const phrases::PhraseImage& image, int number) {
    const std::string text(store::TrimTrailingSpaces(phrases::PhraseText(image, number)));
    return std::to_string(number) + (text.empty() ? "" : " " + Utf8(text));
}

LoopSection ReadLoop(const store::ProjectDir& dir, int model, int loop,
                     const phrases::PhraseImage& image) {
    LoopSection section;
    section.loop = loop;
    const store::DeviceFile devices = store::ReadDeviceFile(dir, loop);
    bool any = false;
    for (const store::DeviceRecord& r : devices) any = any || r.Installed();
    if (!any) return section;  // no need to read the names of an empty loop
    const store::ChineseNameFile names = store::ReadChineseNameFile(dir, loop);
    std::map<std::tuple<int, int>, TypeCount> counts;
    for (int a = 0; a < store::kAddressCount; ++a) {
        const store::DeviceRecord& r = devices[static_cast<std::size_t>(a)];
        if (!r.Installed()) continue;
        const store::ParameterParts parameter = store::ParameterOf(r);
        DeviceRow row{a,
                      std::string(store::ClassName(r.ProductClass())),
                      r.DeviceType(),
                      std::string(store::TypeNameOf(r, model)),
                      r.Zone,
                      r.Floor,
                      r.Room,
                      PhraseCell(image, r.NamePhrase),
                      Utf8(store::NameText(names[static_cast<std::size_t>(a)])),
                      parameter.mode,
                      parameter.delay};
        TypeCount& count = counts[{r.ProductClass(), r.DeviceType()}];
        if (count.count++ == 0) {
            count.className = row.className;
            count.typeText = store::TypeText(r, model);
        }
        section.devices.push_back(std::move(row));
    }
    for (auto& [key, count] : counts) section.counts.push_back(std::move(count));
    return section;
}

void ReadRules(const store::ProjectDir& dir, int model, Report& report) {
    if (base::Traits(model).perDeviceLogic) {
        // The first family keeps one rule per device, in the loop's log file.
        for (const LoopSection& section : report.loops) {
            const auto bytes = store::ReadFixed(dir.PathOf(store::ProjectFile::DeviceLogic,
                                                           section.loop),
                                                store::kDeviceLogicFileSize);
            for (const DeviceRow& row : section.devices) {
                const auto* record = bytes.data() + static_cast<std::size_t>(row.address) *
                                                        store::kDeviceLogicRecordSize;
                const std::string text = store::FieldText(
                    std::span<const std::uint8_t>(record, store::kDeviceLogicRecordSize));
                if (!text.empty())
                    report.rules.push_back({"回路 " + std::to_string(section.loop) + " 地址 " +
                                                std::to_string(row.address),
                                            Utf8(text)});
            }
        }
        return;
    }
    report.ruleCapacity = logic::LogicCapacity(model);
    for (int n = 0; n < report.ruleCapacity; ++n) {
        const std::string text = logic::ReadLogicRule(dir, n);
        if (!text.empty()) report.rules.push_back({"逻辑 " + std::to_string(n), Utf8(text)});
    }
}

void AppendTable(std::string& out, const std::vector<std::string>& headers,
                 const std::vector<std::vector<std::string>>& rows, const char* cls) {
    out += "<table class=\"";
    out += cls;
    out += "\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">\n<thead><tr>";
    for (const std::string& h : headers) out += "<th>" + EscapeHtml(h) + "</th>";
    out += "</tr></thead>\n<tbody>\n";
    for (const auto& row : rows) {
        out += "<tr>";
        for (const std::string& cell : row) out += "<td>" + EscapeHtml(cell) + "</td>";
        out += "</tr>\n";
    }
    out += "</tbody></table>\n";
}

std::string PageTitle(const Report& report, const std::string& title) {
    return "<div class=\"running\">" + EscapeHtml(report.projectName) + " · 调试报告</div>\n<h2>" +
           EscapeHtml(title) + "</h2>\n";
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
                    out += hex;
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

Report BuildReport(const store::ProjectDir& dir, int model, int firstLoop, int lastLoop,
                   const Progress& progress) {
    Report report;
    report.modelCaption = std::string(base::ModelInfo(model).menuText);
    const store::ProjectInfo info = store::ReadProjectInfo(dir);
    for (int f = 0; f < store::kInfoFieldCount; ++f)
        report.info.emplace_back(std::string(store::InfoFieldLabel(f)),
                                 Utf8(info[static_cast<std::size_t>(f)]));
    report.projectName = Utf8(info[0]);
    const store::NodeSettings nodes = store::ReadNodeSettings(dir, model);
    report.nodeFile = nodes.file;
    report.nodePresent = nodes.present;
    report.nodeRows = nodes.rows;
    report.firstLoop = firstLoop;
    report.lastLoop = lastLoop;
    const phrases::PhraseImage image = phrases::ReadPhraseLibrary(dir);
    const int total = lastLoop - firstLoop + 1;
    for (int loop = firstLoop; loop <= lastLoop; ++loop) {
        LoopSection section = ReadLoop(dir, model, loop, image);
        if (!section.devices.empty()) {
            report.installedTotal += static_cast<int>(section.devices.size());
            report.loops.push_back(std::move(section));
        }
        if (progress) progress(loop - firstLoop + 1, total, loop);
    }
    ReadRules(dir, model, report);
    for (int n = 0; n < phrases::kPhraseCount; ++n) {
        const std::string text = phrases::PhraseText(image, n);
        if (!text.empty()) report.phrases.emplace_back(n, Utf8(text));
    }
    return report;
}

std::string ReportStyleSheet() {
    return R"(body { font-family: "WenQuanYi Micro Hei", "Noto Sans CJK SC", sans-serif; font-size: 10pt; color: #000; }
h1 { font-size: 18pt; margin: 0 0 8pt 0; }
h2 { font-size: 13pt; margin: 4pt 0 6pt 0; }
h3 { font-size: 11pt; margin: 10pt 0 4pt 0; }
.running { font-size: 8pt; color: #555; border-bottom: 1px solid #999; margin-bottom: 4pt; }
table { border-collapse: collapse; border-color: #666; margin-bottom: 6pt; }
th { background-color: #e4e4e4; font-weight: bold; text-align: left; }
td, th { border: 1px solid #666; padding: 2pt 4pt; vertical-align: top; }
table.devices td, table.devices th { font-size: 9pt; }
.note { color: #555; font-size: 9pt; }
)";
}

std::vector<std::string> HtmlPages(const Report& r) {
    std::vector<std::string> pages;
    // Title page: the project, the node settings, the loops at a glance.
    {
        std::string p = "<h1>" + EscapeHtml(r.projectName.empty() ? "（未命名工程）" : r.projectName) +
                        " 调试报告</h1>\n<p class=\"note\">控制器型号：" +
                        EscapeHtml(r.modelCaption) + "</p>\n<h3>工程信息</h3>\n";
        std::vector<std::vector<std::string>> rows;
        for (const auto& [label, text] : r.info) rows.push_back({label, text});
        AppendTable(p, {"项目", "内容"}, rows, "info");
        p += "<h3>节点设置</h3>\n";
        if (r.nodeFile.empty()) {
            p += "<p class=\"note\">此型号没有节点设置。</p>\n";
        } else {
            if (!r.nodePresent)
                p += "<p class=\"note\">" + EscapeHtml(r.nodeFile) + " 不存在，显示初始值。</p>\n";
            rows.clear();
            for (const auto& [label, value] : r.nodeRows) rows.push_back({label, value});
            AppendTable(p, {"项目", "值"}, rows, "nodes");
        }
        p += "<h3>回路一览（回路 " + std::to_string(r.firstLoop) + "–" +
             std::to_string(r.lastLoop) + "）</h3>\n";
        rows.clear();
        for (const LoopSection& s : r.loops)
            rows.push_back({std::to_string(s.loop), std::to_string(s.devices.size())});
        if (rows.empty())
            p += "<p class=\"note\">没有开通的设备。</p>\n";
        else
            AppendTable(p, {"回路", "开通设备数"}, rows, "summary");
        p += "<p>开通设备合计：" + std::to_string(r.installedTotal) + "</p>\n";
        pages.push_back(std::move(p));
    }
    for (const LoopSection& s : r.loops) {
        std::string p = PageTitle(r, "回路 " + std::to_string(s.loop)) + "<p>开通设备 " +
                        std::to_string(s.devices.size()) + " 个</p>\n";
        std::vector<std::vector<std::string>> rows;
        rows.reserve(s.devices.size());
        for (const DeviceRow& d : s.devices)
            rows.push_back({std::to_string(d.address), d.className, std::to_string(d.typeCode),
                            d.typeName, std::to_string(d.zone), std::to_string(d.floor),
                            std::to_string(d.room), d.phrase, d.name, d.mode, d.delay});
        AppendTable(p,
                    {"地址", "类别", "类型", "类型名称", "区域", "楼层", "房间", "词组", "名称",
                     "启动方式/参数", "延时"},
                    rows, "devices");
        p += "<h3>按类型统计</h3>\n";
        rows.clear();
        for (const TypeCount& c : s.counts)
            rows.push_back({c.className, c.typeText, std::to_string(c.count)});
        AppendTable(p, {"类别", "类型", "数量"}, rows, "counts");
        pages.push_back(std::move(p));
    }
    {
        std::string p = PageTitle(r, "联动逻辑");
        p += "<p class=\"note\">" +
             (r.ruleCapacity > 0 ? "编号逻辑，本型号容量 " + std::to_string(r.ruleCapacity) + " 条；"
                                 : std::string("每个设备一条逻辑；")) +
             "已设置 " + std::to_string(r.rules.size()) + " 条。</p>\n";
        std::vector<std::vector<std::string>> rows;
        for (const Rule& rule : r.rules) rows.push_back({rule.where, rule.text});
        if (!rows.empty()) AppendTable(p, {"位置", "逻辑"}, rows, "rules");
        pages.push_back(std::move(p));
    }
    {
        std::string p = PageTitle(r, "词库") + "<p class=\"note\">已设置 " +
                        std::to_string(r.phrases.size()) + " 个词组。</p>\n";
        std::vector<std::vector<std::string>> rows;
        for (const auto& [n, text] : r.phrases) rows.push_back({std::to_string(n), text});
        if (!rows.empty()) AppendTable(p, {"编号", "内容"}, rows, "phrases");
        pages.push_back(std::move(p));
    }
    return pages;
}

std::string RenderHtml(const Report& report) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
        EscapeHtml(report.projectName) + " 调试报告</title>\n<style>\n" + ReportStyleSheet() +
        R"(@page { size: A4; margin: 15mm 12mm; }
section.page { page-break-before: always; break-before: page; }
section.page:first-of-type { page-break-before: auto; break-before: auto; }
thead { display: table-header-group; }
tr { page-break-inside: avoid; break-inside: avoid; }
@media screen { section.page { border-bottom: 2px dashed #bbb; padding-bottom: 12pt; margin-bottom: 12pt; } }
</style>
</head>
<body>
)";
    for (const std::string& page : HtmlPages(report))
        html += "<section class=\"page\">\n" + page + "</section>\n";
    html += "</body>\n</html>\n";
    return html;
}

base::Result<> WriteHtmlReport(const std::filesystem::path& target, const Report& report) {
    const std::string html = RenderHtml(report);
    return base::WriteWholeFile(
        target, std::span(reinterpret_cast<const std::uint8_t*>(html.data()), html.size()));
}

}  // namespace velsend::report

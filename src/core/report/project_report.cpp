#include "core/report/project_report.h"

#include <cstdio>
#include <map>
#include <tuple>

#include "base/controller_model.h"
#include "base/file_write.h"
#include "base/gbk.h"
#include "core/logic/logic_files.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "core/store/device_text.h"
#include "core/store/project_info.h"

namespace velsend::report {
namespace {

std::string Utf8(const std::string& gbk) {
    return base::GbkToUtf8(gbk);
}

std::string PhraseCell(const phrases::PhraseImage& image, int number) {
    const std::string text(base::TrimTrailingSpaces(phrases::PhraseText(image, number)));
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
            const auto bytes =
                store::ReadFixed(dir.PathOf(store::ProjectFile::DeviceLogic, section.loop),
                                 store::kDeviceLogicFileSize);
            for (const DeviceRow& row : section.devices) {
                const auto* record = bytes.data() + static_cast<std::size_t>(row.address) *
                                                        store::kDeviceLogicRecordSize;
                const std::string text = base::FieldText(
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

Block Heading(Block::Kind kind, std::string text) {
    Block b;
    b.kind = kind;
    b.text = std::move(text);
    return b;
}

Block TableBlock(std::vector<std::string> headers, std::vector<std::vector<std::string>> rows,
                 std::string cls, std::vector<int> widths) {
    Block b;
    b.kind = Block::Kind::Table;
    b.headers = std::move(headers);
    b.rows = std::move(rows);
    b.tableClass = std::move(cls);
    b.widths = std::move(widths);
    return b;
}

void AppendBlock(std::string& out, const Block& b) {
    switch (b.kind) {
        case Block::Kind::Title:
            out += "<h1>" + EscapeHtml(b.text) + "</h1>\n";
            return;
        case Block::Kind::Heading:
            out += "<h2>" + EscapeHtml(b.text) + "</h2>\n";
            return;
        case Block::Kind::Subheading:
            out += "<h3>" + EscapeHtml(b.text) + "</h3>\n";
            return;
        case Block::Kind::Note:
            out += "<p class=\"note\">" + EscapeHtml(b.text) + "</p>\n";
            return;
        case Block::Kind::Text:
            out += "<p>" + EscapeHtml(b.text) + "</p>\n";
            return;
        case Block::Kind::Table:
            break;
    }
    out += "<table class=\"" + b.tableClass + "\">\n<thead><tr>";
    for (const std::string& h : b.headers) out += "<th>" + EscapeHtml(h) + "</th>";
    out += "</tr></thead>\n<tbody>\n";
    for (const auto& row : b.rows) {
        out += "<tr>";
        for (const std::string& cell : row) out += "<td>" + EscapeHtml(cell) + "</td>";
        out += "</tr>\n";
    }
    out += "</tbody></table>\n";
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
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
table { border-collapse: collapse; width: 100%; margin-bottom: 6pt; }
th { background-color: #e4e4e4; font-weight: bold; text-align: left; }
td, th { border: 1px solid #666; padding: 2pt 4pt; vertical-align: top; }
table.devices td, table.devices th { font-size: 9pt; }
.note { color: #555; font-size: 9pt; }
)";
}

std::vector<Page> ReportPages(const Report& r) {
    using K = Block::Kind;
    std::vector<Page> pages;
    const std::vector<int> twoColumns{1, 3};
    // Title page: the project, the node settings, the loops at a glance.
    {
        Page p;
        p.running = false;
        p.blocks.push_back(Heading(
            K::Title, (r.projectName.empty() ? "（未命名工程）" : r.projectName) + " 调试报告"));
        p.blocks.push_back(Heading(K::Note, "控制器型号：" + r.modelCaption));
        p.blocks.push_back(Heading(K::Subheading, "工程信息"));
        std::vector<std::vector<std::string>> rows;
        for (const auto& [label, text] : r.info) rows.push_back({label, text});
        p.blocks.push_back(TableBlock({"项目", "内容"}, rows, "info", twoColumns));
        p.blocks.push_back(Heading(K::Subheading, "节点设置"));
        if (r.nodeFile.empty()) {
            p.blocks.push_back(Heading(K::Note, "此型号没有节点设置。"));
        } else {
            if (!r.nodePresent)
                p.blocks.push_back(Heading(K::Note, r.nodeFile + " 不存在，显示初始值。"));
            rows.clear();
            for (const auto& [label, value] : r.nodeRows) rows.push_back({label, value});
            p.blocks.push_back(TableBlock({"项目", "值"}, rows, "nodes", twoColumns));
        }
        p.blocks.push_back(Heading(K::Subheading, "回路一览（回路 " + std::to_string(r.firstLoop) +
                                                      "–" + std::to_string(r.lastLoop) + "）"));
        rows.clear();
        for (const LoopSection& s : r.loops)
            rows.push_back({std::to_string(s.loop), std::to_string(s.devices.size())});
        if (rows.empty())
            p.blocks.push_back(Heading(K::Note, "没有开通的设备。"));
        else
            p.blocks.push_back(TableBlock({"回路", "开通设备数"}, rows, "summary", twoColumns));
        p.blocks.push_back(Heading(K::Text, "开通设备合计：" + std::to_string(r.installedTotal)));
        pages.push_back(std::move(p));
    }
    for (const LoopSection& s : r.loops) {
        Page p;
        p.blocks.push_back(Heading(K::Heading, "回路 " + std::to_string(s.loop)));
        p.blocks.push_back(
            Heading(K::Text, "开通设备 " + std::to_string(s.devices.size()) + " 个"));
        std::vector<std::vector<std::string>> rows;
        rows.reserve(s.devices.size());
        for (const DeviceRow& d : s.devices)
            rows.push_back({std::to_string(d.address), d.className, std::to_string(d.typeCode),
                            d.typeName, std::to_string(d.zone), std::to_string(d.floor),
                            std::to_string(d.room), d.phrase, d.name, d.mode, d.delay});
        p.blocks.push_back(TableBlock({"地址", "类别", "类型", "类型名称", "区域", "楼层", "房间",
                                       "词组", "名称", "启动方式/参数", "延时"},
                                      std::move(rows), "devices",
                                      {4, 4, 4, 11, 4, 4, 4, 11, 12, 10, 4}));
        p.blocks.push_back(Heading(K::Subheading, "按类型统计"));
        rows.clear();
        for (const TypeCount& c : s.counts)
            rows.push_back({c.className, c.typeText, std::to_string(c.count)});
        p.blocks.push_back(TableBlock({"类别", "类型", "数量"}, rows, "counts", {1, 3, 1}));
        pages.push_back(std::move(p));
    }
    {
        Page p;
        p.blocks.push_back(Heading(K::Heading, "联动逻辑"));
        p.blocks.push_back(Heading(
            K::Note,
            (r.ruleCapacity > 0 ? "编号逻辑，本型号容量 " + std::to_string(r.ruleCapacity) + " 条；"
                                : std::string("每个设备一条逻辑；")) +
                "已设置 " + std::to_string(r.rules.size()) + " 条。"));
        std::vector<std::vector<std::string>> rows;
        for (const Rule& rule : r.rules) rows.push_back({rule.where, rule.text});
        if (!rows.empty()) p.blocks.push_back(TableBlock({"位置", "逻辑"}, rows, "rules", {1, 4}));
        pages.push_back(std::move(p));
    }
    {
        Page p;
        p.blocks.push_back(Heading(K::Heading, "词库"));
        p.blocks.push_back(
            Heading(K::Note, "已设置 " + std::to_string(r.phrases.size()) + " 个词组。"));
        std::vector<std::vector<std::string>> rows;
        for (const auto& [n, text] : r.phrases) rows.push_back({std::to_string(n), text});
        if (!rows.empty())
            p.blocks.push_back(TableBlock({"编号", "内容"}, rows, "phrases", {1, 5}));
        pages.push_back(std::move(p));
    }
    return pages;
}

std::vector<std::string> HtmlPages(const Report& r) {
    std::vector<std::string> out;
    for (const Page& page : ReportPages(r)) {
        std::string html;
        if (page.running)
            html += "<div class=\"running\">" + EscapeHtml(r.projectName) + " · 调试报告</div>\n";
        for (const Block& b : page.blocks) AppendBlock(html, b);
        out.push_back(std::move(html));
    }
    return out;
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

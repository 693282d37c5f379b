#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::report {

// The commissioning report: the whole project, decoded, as the building's
// owner reads it. Every text is UTF-8 (project texts converted from GBK) and
// not yet escaped; the renderers escape.

struct DeviceRow {
    int address = 0;
    std::string className;  // "报警", "模块", ...
    int typeCode = 0;
    std::string typeName;
    int zone = 0, floor = 0, room = 0;
    std::string phrase;  // "12 大厅" (number and text)
    std::string name;    // the Chinese name
    std::string mode;    // start mode, fault display or threshold
    std::string delay;   // empty where the class has none
};

struct TypeCount {
    std::string className;
    std::string typeText;  // "3 感烟探测器"
    int count = 0;
};

struct LoopSection {
    int loop = 0;
    std::vector<DeviceRow> devices;  // installed devices only, by address
    std::vector<TypeCount> counts;   // by class, then type code
};

struct Rule {
    std::string where;  // "逻辑 12" or "回路 3 地址 17"
    std::string text;
};

struct Report {
    std::string modelCaption;
    std::string projectName;
    std::vector<std::pair<std::string, std::string>> info;  // label, text
    std::string nodeFile;                                   // empty: the model has no node settings
    bool nodePresent = false;
    std::vector<std::pair<std::string, std::string>> nodeRows;
    int firstLoop = 0, lastLoop = 0;
    std::vector<LoopSection> loops;  // only loops with installed devices
    int ruleCapacity = 0;            // numbered rules the model holds; 0 when per device
    std::vector<Rule> rules;
    std::vector<std::pair<int, std::string>> phrases;  // the non-empty ones
    int installedTotal = 0;
};

// Called after each loop is read: (loops done, loops in the range, loop).
using Progress = std::function<void(int, int, int)>;

// Reads the project; never fails (missing files read as empty).
Report BuildReport(const store::ProjectDir& dir, int controllerModel, int firstLoop, int lastLoop,
                   const Progress& progress = {});

// Text for HTML: & < > " ' as entities; control characters shown as \xNN so
// a stray byte in a file stays visible instead of vanishing.
std::string EscapeHtml(std::string_view utf8);

// The HTML file's style sheet (screen and print).
std::string ReportStyleSheet();

// The report's content in pages, the one layout both outputs take: headings,
// notes and tables of plain (unescaped) text.
struct Block {
    enum class Kind { Title, Heading, Subheading, Note, Text, Table } kind = Kind::Text;
    std::string text;
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows;
    std::string tableClass;
    std::vector<int> widths;  // relative column widths
};
struct Page {
    bool running = true;  // a running head with the project's name
    std::vector<Block> blocks;
};
std::vector<Page> ReportPages(const Report& report);

// The pages as HTML body fragments: the title page (project, node settings,
// totals), one page per loop, the linkage rules, the phrase library.
std::vector<std::string> HtmlPages(const Report& report);

// A whole self-contained HTML document (UTF-8, styles inline, a page break
// before every page but the first when printed).
std::string RenderHtml(const Report& report);

// Writes the HTML file whole.
[[nodiscard]] base::Result<> WriteHtmlReport(const std::filesystem::path& target,
                                             const Report& report);

}  // namespace velsend::report

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/store/project_files.h"

namespace velsend::report {

// One difference between two projects, decoded for a reader.
struct ProjectDifference {
    std::string kind;  // device, name, logic, device-logic, phrase, node, info
    int loop = -1;     // -1 where the kind has no loop
    int number = -1;   // address, rule, phrase or field number; -1 where none
    std::string text;  // the line printed: "回路 3 地址 17：感烟探测器 区域 2→3"
};

// Every difference between the project files of `a` and `b` in a fixed order:
// devices and names loop by loop, logic, phrases, nodes, project info.
// Missing files read as they do everywhere else (zeros), so a project with
// no devc5.dat equals one whose devc5.dat is all zeros. Reads only.
std::vector<ProjectDifference> CompareProjects(const store::ProjectDir& a,
                                               const store::ProjectDir& b, int controllerModel);

// Project text as a terminal may show it: control characters escaped
// ("\\x1B"), so that a file cannot drive the terminal.
std::string EscapeControls(std::string_view text);

}  // namespace velsend::report

#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/store/project_files.h"

namespace velsend::cli {

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

// `velsend-cli diff DIR_A DIR_B [--json]`: 0 equal, 1 different, 2 error.
int DiffCommand(const std::vector<std::string>& args, int controllerModel, std::ostream& out,
                std::ostream& err);

}  // namespace velsend::cli

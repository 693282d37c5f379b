#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/report/project_difference.h"

namespace velsend::cli {

using report::CompareProjects;
using report::ProjectDifference;

// `velsend-cli diff DIR_A DIR_B [--json]`: 0 equal, 1 different, 2 error.
int DiffCommand(const std::vector<std::string>& args, int controllerModel, std::ostream& out,
                std::ostream& err);

}  // namespace velsend::cli

#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "core/report/project_difference.h"

namespace velsend::cli {

using report::CompareProjects;
using report::ProjectDifference;

// `text` as a JSON string: quoted, with quotes, backslashes and control
// characters escaped.
std::string Json(std::string_view text);

// `velsend-cli diff DIR_A DIR_B [--json]`: 0 equal, 1 different, 2 error.
int DiffCommand(const std::vector<std::string>& args, int controllerModel, std::ostream& out,
                std::ostream& err);

}  // namespace velsend::cli

#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/store/project_files.h"

namespace velsend::cli {

// Prints the stored project data as UTF-8 tables: "devices LOOP", "names LOOP",
// "phrases", "nodes", "info". Returns the exit status; usage errors go to `err`.
int ShowProjectData(const store::ProjectDir& dir, int controllerModel,
                    const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velsend::cli

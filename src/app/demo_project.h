#pragma once

#include <string>

#include "store/project_files.h"

namespace velsend::app {

// Writes the sample project of a small building into `dir` (created when
// missing), replacing the files it writes. False with `error` set on failure.
bool WriteDemoProject(const store::ProjectDir& dir, std::string& error);

}  // namespace velsend::app

#pragma once

#include <string>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::demo {

// Writes the sample project of a small building into `dir` (created when
// missing), replacing the files it writes. Stops at the first file that
// cannot be written and names it.
[[nodiscard]] base::Result<> WriteDemoProject(const store::ProjectDir& dir);

}  // namespace velsend::demo

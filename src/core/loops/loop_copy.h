#pragma once

#include <string>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::loops {

// Replaces the target loop's device and name files by the source's; a missing
// source file copies as zeros. The name file is written over without being
// cut, as every writer of it does. Logic files are not copied. Both files are
// replaced or neither: the error names the target file that could not be
// written. The value is the message to show, "%d到%d复制完毕".
[[nodiscard]] base::Result<std::string> CopyLoop(const store::ProjectDir& dir, int source,
                                                 int target);

// The target after a copy: the next loop, 255 wrapping to 0.
int NextTarget(int target);

}  // namespace velsend::loops

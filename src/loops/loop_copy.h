#pragma once

#include <string>

#include "store/project_files.h"

namespace velsend::loops {

struct CopyResult {
    bool devicesWritten = false;
    bool namesWritten = false;
    std::string message;  // "%d到%d复制完毕"
    // Empty when both files were written; otherwise which one was not.
    std::string error;
};

// Replaces the target loop's device and name files by the source's; a missing
// source file copies as zeros. The name file is written over without being
// cut, as every writer of it does. Logic files are not copied. A target file
// that cannot be written is named in `error`: the copy did not happen.
CopyResult CopyLoop(const store::ProjectDir& dir, int source, int target);

// The target after a copy: the next loop, 255 wrapping to 0.
int NextTarget(int target);

}  // namespace velsend::loops

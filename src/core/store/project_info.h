#pragma once

#include <array>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::store {

// info.dat: six GBK text fields of 50 bytes (kInfoFieldCount, kInfoFieldSize):
// name, address, manager, contact telephone, commissioning staff, service hotline.
using ProjectInfo = std::array<std::string, kInfoFieldCount>;  // GBK texts

// The labels of the fields, in file order.
std::string_view InfoFieldLabel(int field);

// The name as the name dialog shows it: the first 50 bytes over a field of
// blanks (a short file leaves blanks), up to the first zero. Empty without a file.
std::string ReadProjectName(const ProjectDir& dir);
// Rewrites bytes 0..49 only; the file keeps its length and its other fields.
[[nodiscard]] base::Result<> WriteProjectName(const ProjectDir& dir, std::string_view gbk);

// All six fields, each up to its first zero; parts a short file lacks read empty.
ProjectInfo ReadProjectInfo(const ProjectDir& dir);
// Creates or replaces info.dat with the six fields, 300 bytes.
[[nodiscard]] base::Result<> WriteProjectInfo(const ProjectDir& dir, const ProjectInfo& info);
// A dialog's save: only the fields the user changed from `shown` (what the
// dialog read) go into info.dat as it is on the disk now, under the project
// lock, so another program's changes of the other fields stay. A field that
// changed on the disk too is not written: the error shows both, and `shown`
// becomes the disk's, so saving again keeps the user's.
[[nodiscard]] base::Result<> SaveProjectInfo(const ProjectDir& dir, ProjectInfo& shown,
                                             const ProjectInfo& edited);

}  // namespace velsend::store

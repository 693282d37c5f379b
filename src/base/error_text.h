#pragma once

#include <string>

namespace velsend::base {

// The system's reason for errno value `error` as the user reads it: the
// common ones in Chinese with the system's own words after them, which
// support searches for ("没有权限（Permission denied）"); any other as the
// system says it. Windows errors arrive here already mapped to errno.
std::string SystemReason(int error);

}  // namespace velsend::base

#pragma once

#include <string>

namespace velsend::exchange {

// The spreadsheet libraries this build runs with, each with its version as
// the library itself reports it and what it is used for; for the About box.
std::string WorkbookLibraries();

}  // namespace velsend::exchange

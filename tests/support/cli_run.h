#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace velsend::test {

// One in-process run of velsend-cli with its standard output and error.
struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    std::istringstream in;
    const int status = cli::Main(args, {out, err, in, false});
    return {status, out.str(), err.str()};
}

}  // namespace velsend::test

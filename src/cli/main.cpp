#include <iostream>
#include <string>
#include <vector>

#include "base/platform/system.h"
#include "cli/cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return velsend::cli::Main(args,
                              {std::cout, std::cerr, std::cin, velsend::platform::StdinIsTerminal(),
                               velsend::platform::StderrIsTerminal()});
}

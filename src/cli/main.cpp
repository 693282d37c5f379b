#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/terminal.h"

int main(int argc, char** argv) {
    velsend::cli::InstallProcessSignals();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return velsend::cli::Main(args,
                              {std::cout, std::cerr, std::cin, ::isatty(0) != 0, ::isatty(2) != 0});
}

#include <iostream>
#include <string>
#include <vector>

#include "base/platform/system.h"
#include "cli/cli.h"
#include "cli/terminal.h"

int main(int argc, char** argv) {
    velsend::platform::PrepareStandardStreams();
    velsend::cli::InstallProcessSignals();
    const std::vector<std::string> args = velsend::platform::Utf8Arguments(argc, argv);
    return velsend::cli::Main(args,
                              {std::cout, std::cerr, std::cin, velsend::platform::StdinIsTerminal(),
                               velsend::platform::StderrIsTerminal()});
}

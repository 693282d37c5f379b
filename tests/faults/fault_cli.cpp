// velsend-cli with the fault tests' seam: VELSEND_TEST_KILL_AFTER_RENAMES=N
// ends the process after N renames of a commit, as a power loss would, so a
// test can see what the next command makes of the folder. Built with the
// tests only; the shipped velsend-cli carries no such hook.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "base/file_write.h"
#include "base/platform/stop_requests.h"
#include "base/platform/system.h"
#include "cli/cli.h"
#include "cli/terminal.h"

namespace {

int gKillAfter = -1;

void KillAfterRenames(int renamed) {
    if (renamed == gKillAfter) velsend::platform::KillProcessNow();
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* value = std::getenv("VELSEND_TEST_KILL_AFTER_RENAMES")) {
        gKillAfter = std::atoi(value);
        velsend::base::SetCommitRenameHook(KillAfterRenames);
    }
    velsend::platform::PrepareStandardStreams();
    velsend::cli::InstallProcessSignals();
    const std::vector<std::string> args = velsend::platform::Utf8Arguments(argc, argv);
    return velsend::cli::Main(args,
                              {std::cout, std::cerr, std::cin, velsend::platform::StdinIsTerminal(),
                               velsend::platform::StderrIsTerminal()});
}

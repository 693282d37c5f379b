// velsend-cli with the fault tests' seam: VELSEND_TEST_KILL_AFTER_RENAMES=N
// ends the process after N renames of a commit, as a power loss would, so a
// test can see what the next command makes of the folder. Built with the
// tests only; the shipped velsend-cli carries no such hook.

#include <cstdlib>

#include "base/file_write.h"
#include "base/platform/stop_requests.h"
#include "base/platform/system.h"
#include "cli/cli.h"

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
    return velsend::cli::ProcessMain(argc, argv);
}

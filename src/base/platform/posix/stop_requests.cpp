#include "base/platform/stop_requests.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace velsend::platform {
namespace {

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
std::array<struct sigaction, 3> gPrevious{};
StopRequestHandler::Callback gCallback = nullptr;
// A signal handler may only write to a descriptor: the pipe wakes an event
// loop, which does the real work.
int gWakePipe[2] = {-1, -1};

extern "C" void OnStopSignal(int signal) {
    const int saved = errno;
    if (gCallback != nullptr) gCallback(signal);
    const char byte = 1;
    if (gWakePipe[1] >= 0) (void)!::write(gWakePipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

StopRequestHandler::StopRequestHandler(Callback onStop, bool interruptWaits) {
    gCallback = onStop;
    if (gWakePipe[0] < 0 && ::pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gWakePipe[0] = gWakePipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = interruptWaits ? 0 : SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &gPrevious[i]);
}

StopRequestHandler::~StopRequestHandler() {
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    gCallback = nullptr;
}

int StopRequestHandler::WakeDescriptor() const {
    return gWakePipe[0];
}

void StopRequestHandler::DrainWake() const {
    char buffer[16];
    while (gWakePipe[0] >= 0 && ::read(gWakePipe[0], buffer, sizeof buffer) > 0) {
    }
}

std::string StopRequestHandler::Name(int request) {
    switch (request) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(request);
    }
}

void InstallStopAction(StopRequestHandler::Callback onStop) {
    struct sigaction stop {};
    stop.sa_handler = onStop;
    sigemptyset(&stop.sa_mask);
    for (int s : kSignals) ::sigaction(s, &stop, nullptr);
}

void IgnoreFileSizeLimit() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

HeldStopRequests::HeldStopRequests() {
    static_assert(sizeof(sigset_t) <= sizeof previous_);
    sigset_t set, previous;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    ::pthread_sigmask(SIG_BLOCK, &set, &previous);
    std::memcpy(previous_, &previous, sizeof previous);
}

HeldStopRequests::~HeldStopRequests() {
    sigset_t previous;
    std::memcpy(&previous, previous_, sizeof previous);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void RepeatStopRequest(int request) {
    ::raise(request);
}

void EndProcessNow(int code) {
    ::_exit(code);
}

void KillProcessNow() {
    ::raise(SIGKILL);
    ::_exit(137);
}

}  // namespace velsend::platform

#include "cli/terminal.h"

#include <csignal>

#include "base/file_write.h"

namespace velsend::cli {
namespace {

std::atomic<bool> gStopRequested{false};
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    gStopSignal = signal;
    gStopRequested.store(true);
}

}  // namespace

void InstallProcessSignals() {
    base::InstallWriteSignalHandling();
}

StopSignals::StopSignals() {
    gStopRequested.store(false);
    gStopSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previous_[i]);
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
}

const std::atomic<bool>* StopSignals::flag() const {
    return &gStopRequested;
}

std::string StopSignals::Name() {
    switch (gStopSignal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(gStopSignal);
    }
}

}  // namespace velsend::cli

#include "cli/terminal.h"

#include "base/file_write.h"

namespace velsend::cli {
namespace {

std::atomic<bool> gStopRequested{false};
std::atomic<int> gStopRequest{0};

void OnStopRequest(int request) {
    gStopRequest.store(request);
    gStopRequested.store(true);
}

// The flags are cleared before the handler goes in.
platform::StopRequestHandler::Callback Cleared() {
    gStopRequested.store(false);
    gStopRequest.store(0);
    return OnStopRequest;
}

}  // namespace

void InstallProcessSignals() {
    base::InstallWriteSignalHandling();
}

StopSignals::StopSignals() : handler_(Cleared(), true) {}

StopSignals::~StopSignals() = default;

const std::atomic<bool>* StopSignals::flag() const {
    return &gStopRequested;
}

std::string StopSignals::Name() {
    return platform::StopRequestHandler::Name(gStopRequest.load());
}

}  // namespace velsend::cli

#include "base/platform/stop_requests.h"

#include <windows.h>

#include <atomic>

namespace velsend::platform {
namespace {

// A living StopRequestHandler's callback, else the process's stop action.
std::atomic<StopRequestHandler::Callback> gCallback{nullptr};
std::atomic<StopRequestHandler::Callback> gAction{nullptr};

BOOL WINAPI OnControl(DWORD event) {
    StopRequestHandler::Callback handle = gCallback.load();
    if (handle == nullptr) handle = gAction.load();
    if (handle == nullptr) return FALSE;
    handle(static_cast<int>(event));
    // Closing the console, logoff and shutdown end the process when this
    // returns: give the stopped run a moment to close the port and say so,
    // or the commit that put the action off a moment to end and repeat it.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::Sleep(3000);
    return TRUE;
}

// One handler for the process, installed on first need and never removed.
void InstallHandler() {
    static const bool installed = ::SetConsoleCtrlHandler(OnControl, TRUE) != 0;
    (void)installed;
}

}  // namespace

StopRequestHandler::StopRequestHandler(Callback onStop, bool) {
    gCallback = onStop;
    InstallHandler();
}

StopRequestHandler::~StopRequestHandler() {
    gCallback = nullptr;
}

int StopRequestHandler::WakeDescriptor() const {
    return -1;
}

void StopRequestHandler::DrainWake() const {}

std::string StopRequestHandler::Name(int request) {
    switch (request) {
        case CTRL_C_EVENT:
            return "Ctrl+C";
        case CTRL_BREAK_EVENT:
            return "Ctrl+Break";
        case CTRL_CLOSE_EVENT:
            return "closing the console";
        case CTRL_LOGOFF_EVENT:
            return "logoff";
        case CTRL_SHUTDOWN_EVENT:
            return "shutdown";
        default:
            return "console event " + std::to_string(request);
    }
}

void InstallStopAction(StopRequestHandler::Callback onStop) {
    gAction = onStop;
    InstallHandler();
}

void IgnoreFileSizeLimit() {}

// Console events arrive on a thread of their own: there is nothing to mask.
HeldStopRequests::HeldStopRequests() : previous_{} {}
HeldStopRequests::~HeldStopRequests() = default;

void RepeatStopRequest(int request) {
    if (const StopRequestHandler::Callback action = gAction.load(); action != nullptr)
        action(request);
}

void EndProcessNow(int code) {
    // Not ExitProcess: another thread may hold the C runtime's locks.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
    for (;;) ::Sleep(INFINITE);
}

void KillProcessNow() {
    EndProcessNow(137);
}

}  // namespace velsend::platform

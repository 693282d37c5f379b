#include "base/platform/stop_requests.h"

#include <windows.h>

namespace velsend::platform {
namespace {

StopRequestHandler::Callback gCallback = nullptr;
StopRequestHandler::Callback gAction = nullptr;

BOOL WINAPI OnControlAction(DWORD event) {
    if (gAction == nullptr) return FALSE;
    gAction(static_cast<int>(event));
    // The action came back: it was put off (a commit is under way) and the
    // committing thread repeats it when done. Closing the console, logoff
    // and shutdown end the process when this returns: wait for that.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::Sleep(4000);
    return TRUE;
}

BOOL WINAPI OnControl(DWORD event) {
    if (gCallback == nullptr) return FALSE;
    gCallback(static_cast<int>(event));
    // Closing the console, logoff and shutdown end the process when this
    // returns: give the stopped run a moment to close the port and say so.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::Sleep(3000);
    return TRUE;
}

}  // namespace

StopRequestHandler::StopRequestHandler(Callback onStop, bool) {
    gCallback = onStop;
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

StopRequestHandler::~StopRequestHandler() {
    ::SetConsoleCtrlHandler(OnControl, FALSE);
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
    ::SetConsoleCtrlHandler(OnControlAction, TRUE);
}

void IgnoreFileSizeLimit() {}

// Console events arrive on a thread of their own: there is nothing to mask.
HeldStopRequests::HeldStopRequests() : previous_{} {}
HeldStopRequests::~HeldStopRequests() = default;

void RepeatStopRequest(int request) {
    if (gAction != nullptr) gAction(request);
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

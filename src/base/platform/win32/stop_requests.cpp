#include "base/platform/stop_requests.h"

#include <windows.h>

namespace velsend::platform {
namespace {

StopRequestHandler::Callback gCallback = nullptr;

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

}  // namespace velsend::platform

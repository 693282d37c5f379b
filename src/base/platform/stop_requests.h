#pragma once

// The user's or the system's request that the process stop: SIGINT, SIGTERM
// and SIGHUP on POSIX; Ctrl+C, Ctrl+Break, closing the console window,
// logoff and shutdown on Windows.

#include <string>

namespace velsend::platform {

// While one lives, a stop request calls `onStop` with the request's number
// instead of ending the process, and wakes WakeDescriptor(). `onStop` runs in
// a signal handler or on the console's control thread: it may only store to
// lock-free atomics. The handling before it comes back when it is destroyed.
class StopRequestHandler {
  public:
    using Callback = void (*)(int request);
    // `interruptWaits`: a request also ends a blocking wait of this process
    // (a question read from the terminal) instead of letting it go on.
    StopRequestHandler(Callback onStop, bool interruptWaits);
    ~StopRequestHandler();
    StopRequestHandler(const StopRequestHandler&) = delete;
    StopRequestHandler& operator=(const StopRequestHandler&) = delete;

    // A descriptor that turns readable after each request, for an event loop
    // to watch (read it empty without blocking); -1 where the system has
    // none (Windows: a GUI learns of logoff from its window messages).
    int WakeDescriptor() const;
    // Reads the wake descriptor empty.
    void DrainWake() const;

    // The request's name as the user knows it ("SIGTERM", "Ctrl+C").
    static std::string Name(int request);
};

}  // namespace velsend::platform

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

// The process's own answer to a stop request while no StopRequestHandler
// lives: `onStop` runs as above and normally ends the process with
// EndProcessNow.
void InstallStopAction(StopRequestHandler::Callback onStop);

// A file-size limit makes a write fail ("File too large") instead of killing
// the process (SIGXFSZ ignored; Windows has no such limit).
void IgnoreFileSizeLimit();

// While one lives, stop requests are not handled on this thread (POSIX masks
// the signals here; on Windows they arrive on the console's own thread
// anyway), so that the thread is never cut short in a handler.
class HeldStopRequests {
  public:
    HeldStopRequests();
    ~HeldStopRequests();
    HeldStopRequests(const HeldStopRequests&) = delete;
    HeldStopRequests& operator=(const HeldStopRequests&) = delete;

  private:
    unsigned char previous_[128];  // the thread's previous signal mask
};

// Hands a stop request that was put off to the process's handling again.
void RepeatStopRequest(int request);

// Ends the process at once with `code`, running nothing on the way out; safe
// in a signal handler.
[[noreturn]] void EndProcessNow(int code);
// Ends the process as a power loss or SIGKILL would: for tests of what such
// an end leaves behind.
[[noreturn]] void KillProcessNow();

}  // namespace velsend::platform

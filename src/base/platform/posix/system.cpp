#include "base/platform/system.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace velsend::platform {

std::string ErrorText(int error) {
    return std::strerror(error);
}

int LastError() {
    return errno;
}

std::int64_t ProcessId() {
    return ::getpid();
}

bool ProcessAlive(std::int64_t pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::string ProcessName(std::int64_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

bool LocalTime(std::time_t t, std::tm& out) {
    return ::localtime_r(&t, &out) != nullptr;
}

void TightenTimerSlack() {
    // The default 50 us timer slack would stretch 1 ms sleeps by several percent.
    thread_local const bool tightened = ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
    (void)tightened;
}

void PrepareStandardStreams() {}

bool StdinIsTerminal() {
    return ::isatty(0) != 0;
}

bool StderrIsTerminal() {
    return ::isatty(2) != 0;
}

bool CanWrite(const std::filesystem::path& path, int& error) {
    if (::access(path.c_str(), W_OK) == 0) return true;
    error = errno;
    return false;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(utf8);
}

std::string PathToUtf8(const std::filesystem::path& path) {
    return path.string();
}

}  // namespace velsend::platform

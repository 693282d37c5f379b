#include "base/platform/system.h"

#include "base/error_text.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/platform/win32/errors.h"

namespace velsend::platform {

std::string ErrorText(int error) {
    return base::SystemReason(error);
}

int LastError() {
    return LastErrno();
}

std::int64_t ProcessId() {
    return static_cast<std::int64_t>(::GetCurrentProcessId());
}

bool ProcessAlive(std::int64_t pid) {
    if (pid <= 0) return false;
    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                   static_cast<DWORD>(pid));
    // A process we may not look at is still a process.
    if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

std::string ProcessName(std::int64_t pid) {
    HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return {};
    wchar_t name[MAX_PATH];
    DWORD size = MAX_PATH;
    const bool ok = ::QueryFullProcessImageNameW(process, 0, name, &size) != 0;
    ::CloseHandle(process);
    if (!ok) return {};
    return PathToUtf8(std::filesystem::path(std::wstring(name, size)).filename());
}

bool LocalTime(std::time_t t, std::tm& out) {
    return ::localtime_s(&out, &t) == 0;
}

void TightenTimerSlack() {
    // Windows' timer runs at 15.6 ms unless asked; the pacing sleeps a millisecond.
    thread_local const bool tightened = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)tightened;
}

void PrepareStandardStreams() {
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
}

bool StdinIsTerminal() {
    return ::_isatty(0) != 0;
}

bool StderrIsTerminal() {
    return ::_isatty(2) != 0;
}

bool CanWrite(const std::filesystem::path& path, int& error) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = LastErrno();
        return false;
    }
    // The read-only attribute on a folder does not stop new files in it.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = EACCES;
        return false;
    }
    return true;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(PathToUtf8(std::filesystem::path(wide[i])));
    ::LocalFree(wide);
    return args;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return std::filesystem::path(wide);
}

std::string PathToUtf8(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

}  // namespace velsend::platform

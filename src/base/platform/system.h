#pragma once

// The few things the core asks of the operating system beyond the C++
// library: error texts, processes, where files go, how paths are spelled.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velsend::platform {

// The system's text for an error number from this layer (errno on POSIX,
// the same numbers mapped from Win32 errors on Windows).
std::string ErrorText(int error);
// The last system error as such a number.
int LastError();

std::int64_t ProcessId();
// False only when `pid` surely runs no more.
bool ProcessAlive(std::int64_t pid);
// The program name of a running process, empty when it cannot be learned.
std::string ProcessName(std::int64_t pid);

// `t` as local calendar time; false when it cannot be converted.
bool LocalTime(std::time_t t, std::tm& out);

// Sleeps of a millisecond must not be stretched by the scheduler's slack;
// asked once per thread that paces a transfer.
void TightenTimerSlack();

// Standard output and error carry the program's UTF-8 bytes as they are:
// on Windows no "\r" before each "\n", and a console shows UTF-8.
void PrepareStandardStreams();

// Whether standard input / standard error is an interactive terminal.
bool StdinIsTerminal();
bool StderrIsTerminal();

// Whether this process may write the file `path`, or create files in the
// folder `path`; `error` gets the reason when not.
bool CanWrite(const std::filesystem::path& path, int& error);

// The program's arguments (without its name) as UTF-8: Windows hands main()
// the ANSI code page's version, which cannot hold a Chinese folder name.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// A path from UTF-8 text and back: the program's strings are UTF-8; Windows
// needs the wide form at the system's edge.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace velsend::platform

#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/report/project_difference.h"

namespace velsend::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// Stopped by SIGINT, SIGTERM or SIGHUP between blocks.
inline constexpr int kExitInterrupted = 130;

struct CliOptions {
    std::filesystem::path dir = ".";
    int model = 2;
    std::optional<std::string> port;
    int baud = 115200;
    bool yes = false;
    // Transfer rules; unset ones keep their defaults.
    std::optional<std::pair<int, int>> loops, addresses, phrases, logic;
    std::optional<int> pace;
    // Every byte on the burner's line is appended here.
    std::optional<std::filesystem::path> trace;
    // The steps around the chip's destructive writes.
    bool noBackup = false;     // erase and restore without the backup first
    bool noVerify = false;     // restore without reading the chip back
    bool backupFirst = false;  // a backup before send as well
    bool help = false;
    std::string command;
    std::vector<std::string> args;
};

struct ParseResult {
    bool ok = false;
    std::string error;
    CliOptions options;
};

// The one number parser of the command line: plain decimal digits only (no
// sign, no blank, no "0x"), within min..max. False leaves `out` alone.
bool ParseNumber(std::string_view text, int min, int max, int& out);

// Text from project files for the terminal: control characters escaped, so
// a file cannot move the cursor, clear the screen or retitle the window.
using report::EscapeControls;

ParseResult ParseCommandLine(const std::vector<std::string>& args);

struct CliStreams {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    bool interactive = false;  // standard input is a terminal: questions may be asked
    bool errTerminal = false;  // standard error is a terminal: progress as a bar
};

// Runs one command and returns the process exit status.
int RunCommand(const CliOptions& options, CliStreams streams);

// Whole program: parse, print help or usage errors, run.
int Main(const std::vector<std::string>& args, CliStreams streams);

// The process's main(): standard streams and stop signals set up, then Main
// on the UTF-8 arguments and the process's own streams.
int ProcessMain(int argc, char** argv);

}  // namespace velsend::cli

#pragma once

// The command groups behind the command table in cli.cpp. Each command gets
// the parsed options, the streams, the run's values and the prompt, and
// returns the process exit status.

#include <cstddef>
#include <initializer_list>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "cli/cli.h"
#include "cli/terminal.h"
#include "core/session/run_settings.h"

namespace velsend::cli {

struct Context {
    const CliOptions& options;
    CliStreams streams;
    session::RunSettings& state;
    TerminalPrompt& prompt;
};

// "A-B" with both ends in 0..max.
bool ParseRange(std::string_view text, int max, std::pair<int, int>& out);
// A usage error: names the argument, shows what was given, exits 2.
int UsageError(std::ostream& err, std::string_view where, std::string_view what);
// "--name value" pairs after a command; false (with a message) for anything else.
bool ParsePairs(Context& c, std::size_t from, std::initializer_list<std::string_view> names,
                std::map<std::string, std::string>& out);
// A whole number in min..max for option `name`, with the range message.
bool ParseBounded(Context& c, const std::map<std::string, std::string>& pairs,
                  const std::string& name, int min, int max, int& out);

// Project data: project_commands.cpp
int SelectModelCommand(Context& c);
int InitCommand(Context& c);
int DemoCommand(Context& c);
int PhrasesCommand(Context& c);
int ShowCommand(Context& c);
int LogicCommand(Context& c);
int CopyLoopCommand(Context& c);
int QuickSetCommand(Context& c);
int DiffProjectsCommand(Context& c);
// The burner: transfer_commands.cpp
int SendCommand(Context& c);
int EraseCommand(Context& c);
int PortsCommand(Context& c);
int BackupCommand(Context& c);
int RestoreCommand(Context& c);
int VerifyCommand(Context& c);
int ChipBackupsCommand(Context& c);
// Exchange files: exchange_commands.cpp
// What the spreadsheet commands say in a build without the spreadsheet libraries.
inline constexpr std::string_view kNoSheetsText =
    "this build has no spreadsheet support (built without the workbook libraries)";
int ExcelExportCommand(Context& c);
int ExcelImportCommand(Context& c);
int TemplateCommand(Context& c);
int SdPackCommand(Context& c);
int SdImportCommand(Context& c);
int PrintCommand(Context& c);
int VelnetImportCommand(Context& c);
// The commissioning report: report_command.cpp
int ReportCommand(Context& c);

}  // namespace velsend::cli

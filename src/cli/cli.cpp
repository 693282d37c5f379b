#include "cli/cli.h"

#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <tuple>
#include <vector>

#include "base/platform/system.h"
#include "base/project_lock.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "core/burner/serial_trace.h"
#include "core/session/project_access.h"
#include "core/store/project_files.h"

namespace velsend::cli {
namespace {

constexpr std::string_view kHelp =
    R"(usage: velsend-cli [options] COMMAND [ARGS]

Works on one project folder without the GUI: the same files, texts and burner
protocol as the program's dialogs.

options:
  --dir DIR        project folder (default: the current directory)
  --model N        controller model 1..6 (default 2):
                     1 MX300KA(老)   2 MX300KA(新)、MX300KAⅡ(新、老)
                     3 MX300KBX(W29C020)   4 MX300KBX(AT29C020)
                     5 MX300KC(W29C020)    6 MX300KC(AT29C020)
  --port DEV       serial device of the burner (default: the first port found,
                   or the first path of VELSEND_PORTS)
  --baud RATE      115200 (default) or 19200
  --yes            answer Yes when the burner does not answer and the program
                   asks whether to go on (otherwise No, or ask on a terminal)
  --loops A-B      loops to send (default 0-3)
  --addresses A-B  device addresses to send (default 0-255)
  --phrases A-B    phrases to send (default 0-255)
  --logic A-B      logic numbers to send (default 0-0, at most 1023)
  --pace MS        pacing delay in milliseconds, 0..50 (default 5)
  --no-backup      erase and restore without first reading the whole chip
                   into the project's chip-backups/ folder
  --no-verify      restore without reading the chip back and comparing it
  --backup-first   send: read the whole chip into chip-backups/ first
  --trace FILE     append every byte sent to and received from the burner to
                   FILE, one line each ("2026-03-01 09:30:12.123456 tx 10");
                   written when the connection closes
  -h, --help       this text

commands:
  select-model     select --model: the burner handshake (0x10, then the model's code)
  init             delete the project files, as "初始化" → "确认" does
  demo             write the demo project into --dir
  phrases clear    empty the phrase library (word.dat: 4096 zero bytes)
  phrases common   fill the phrase library with the common phrases
  show devices LOOP | names LOOP | phrases | nodes | info
                   print the stored data as a table (nodes: node2.dat for
                   --model 2, node1.dat for 1, 3, 4)
  show logic       list the numbered logic rules that are not empty: number, tab, text
  logic set N TEXT store TEXT as logic rule N, checked as "逻辑设置" checks it
                   (an empty TEXT empties the rule)
  send KIND        send nodes|devices|logic|phrases|names to the burner
  erase            erase the data chip, after a backup of it into
                   chip-backups/ (unless --no-backup)
  ports            list the serial ports found: COMn, device, /dev/serial/by-id
                   name, USB vendor:product, maker, product and serial
                   ("-" where a port has none)
  backup FILE      copy the chip into FILE (the whole image)
  restore FILE [--force]
                   write FILE (a whole image of --model's chip) to the chip,
                   after a backup into chip-backups/ (unless --no-backup),
                   then read it back and compare (unless --no-verify); an
                   image of another model's chip size needs --force (its
                   first blocks, or 0xFF past its end, as the model's chip holds)
  verify FILE      compare the chip with FILE without writing anything
                   (exit 0 the same, 1 different, 2 error)
  chip-backups     list the backups in chip-backups/, newest first: date,
                   model, size and whether the image is complete
  copy-loop S T    replace loop T's devices and names by loop S's, as
                   "回路数据复制" does
  quick-set --loop L --from A --to B --class alarm|zone|module|borrowed
            [--off-outside]
                   make addresses A..B of loop L installed devices of the
                   class, keeping their types; with --off-outside switch off
                   every other address of the loop, as "快速设置" does
  excel-export FILE
                   write phrases, logic rules and devices into the workbook
                   FILE (.xlsx)
  excel-import FILE --family ka|kbx
                   read a workbook (.xls, .xlsx or .ods) into the project as
                   the KA or the KBX import does; lists what it skipped
  template standard|example FILE
                   write the empty standard template or the example (.xlsx)
  report FILE.html|FILE.pdf [--loops A-B]
                   write the commissioning report of the project: info, node
                   settings, per loop the installed devices and counts by
                   type, the logic rules, the phrases (loops default 0-255;
                   progress on standard error)
  diff DIR_A DIR_B [--json]
                   print every difference between two projects, decoded, one
                   line each (exit 0 equal, 1 different); reads only
  sd-pack --id N --start-loop L
                   pack the project into the SD-card file of --model's family
                   (MXKA%03d.dat for 2: 16 loops from L, L 0..240; KBX%03d.dat
                   for 3 and 4: 2 loops, L 0..254), N the controller's id 0..999
  sd-import FILE --family ka|kbx --start-loop L [--only devices,names,logic,phrases]
                   import an SD-card file over the loops from L (all sections
                   unless --only; names exist in ka files only)
  history [--json]  the project's changes, newest first: number, time, program,
                   what ("*": undone, can be redone); the size on standard error
  history show N   what step N changed, decoded as diff prints it
  history clear    forget the whole history
  undo [--force]   put back the files of the newest change; refused (exit 1,
                   naming them) when a file was changed since, unless --force
  redo [--force]   make the newest undone change again
  print            write the text print files devctext%d.txt and logtext.txt
  velnet-import --from F --to T [--source DIR]
                   convert VELNET loops F..T from DIR (default ~/DATNET) into
                   devc%d.dat and log%d.dat

Transfers show their progress on standard error and print the result text on
standard output; only the success text exits with 0.

--dir must name an existing folder (files missing in it read as empty).

A project file that is there but cannot be read is an error naming it (only a
missing file reads as empty). Commands that change several files change all
of them or none; commands that write hold the folder's lock (.velsend-lock),
and a second writer waits up to 3 s (VELSEND_LOCK_WAIT_MS) and then names
the program that holds it.

exit status: 0 done, 1 failed or refused, 2 usage error, 130 stopped by
SIGINT, SIGTERM or SIGHUP (a transfer between blocks, the port closed
properly; any other command with its temporary files removed).
)";

// What --help adds when this build leaves features out.
constexpr std::string_view kMissingFeatures =
#if !defined(VELSEND_SHEETS) || !defined(VELSEND_REPORT_PDF)
    "\nleft out of this build:\n"
#endif
#ifndef VELSEND_SHEETS
    "  excel-export, excel-import, template (no spreadsheet libraries)\n"
#endif
#ifndef VELSEND_REPORT_PDF
    "  report FILE.pdf (no Qt; report FILE.html works)\n"
#endif
    "";

struct CommandRow {
    std::string_view name;
    std::size_t minArgs;
    std::size_t maxArgs;
    std::function<int(Context&)> run;
};

const std::vector<CommandRow>& Commands() {
    static const std::vector<CommandRow> rows{
        {"select-model", 0, 0, SelectModelCommand},
        {"init", 0, 0, InitCommand},
        {"demo", 0, 0, DemoCommand},
        {"phrases", 1, 1, PhrasesCommand},
        {"show", 1, 2, ShowCommand},
        {"logic", 3, 3, LogicCommand},
        {"send", 1, 1, SendCommand},
        {"erase", 0, 0, EraseCommand},
        {"ports", 0, 0, PortsCommand},
        {"backup", 1, 1, BackupCommand},
        {"restore", 1, 2, RestoreCommand},
        {"verify", 1, 1, VerifyCommand},
        {"chip-backups", 0, 0, ChipBackupsCommand},
        {"copy-loop", 2, 2, CopyLoopCommand},
        {"quick-set", 0, 9, QuickSetCommand},
        {"excel-export", 1, 1, ExcelExportCommand},
        {"excel-import", 1, 3, ExcelImportCommand},
        {"template", 2, 2, TemplateCommand},
        {"diff", 2, 3, DiffProjectsCommand},
        {"sd-pack", 4, 4, SdPackCommand},
        {"sd-import", 5, 7, SdImportCommand},
        {"print", 0, 0, PrintCommand},
        {"velnet-import", 4, 6, VelnetImportCommand},
        {"report", 1, 3, ReportCommand},
        {"history", 0, 2, HistoryCommand},
        {"undo", 0, 1, UndoCommand},
        {"redo", 0, 1, RedoCommand},
    };
    return rows;
}

}  // namespace

int RunCommand(const CliOptions& options, CliStreams streams) {
    for (const CommandRow& row : Commands()) {
        if (row.name != options.command) continue;
        if (options.args.size() < row.minArgs || options.args.size() > row.maxArgs) {
            streams.err << "velsend-cli: " << row.name
                        << ": wrong number of arguments (see --help)\n";
            return kExitUsage;
        }
        // A mistyped --dir must not read as an empty project (and send zeros).
        // demo makes its folder; every other command needs one that exists.
        if (row.name != "demo") {
            std::error_code ec;
            const std::filesystem::file_status st = std::filesystem::status(options.dir, ec);
            if (!std::filesystem::is_directory(st)) {
                return UsageError(
                    streams.err, "--dir",
                    "'" + options.dir.string() +
                        (std::filesystem::exists(st) ? "' 不是一个文件夹" : "' 不存在"));
            }
        }
        // Writes into the project folder hold its lock; changes are steps of its history.
        session::HoldProject(options.dir);
        std::optional<base::ProjectLock> lock;
        const unsigned access = session::CommandAccess(row.name);
        if (access & session::kWrites) {
            auto taken = base::ProjectLock::Acquire(options.dir, base::ProjectLock::DefaultWait());
            if (!taken) {
                streams.err << taken.error().userText << "\n";
                return kExitFailed;
            }
            lock.emplace(std::move(*taken));
        }
        if (access & session::kReads) {
            if (base::Result<> readable = session::OpenToRead(store::ProjectDir(options.dir));
                !readable) {
                streams.err << readable.error().Full() << "\n";
                return kExitFailed;
            }
            // Read as one whole state: a commit of another program waits
            // until this command has read all.
            if (!lock) {
                auto shared =
                    base::ProjectLock::AcquireShared(options.dir, base::ProjectLock::DefaultWait());
                if (!shared) {
                    streams.err << shared.error().userText << "\n";
                    return kExitFailed;
                }
                lock.emplace(std::move(*shared));
            }
        }
        session::RunSettings state;
        state.ControllerModel = options.model;
        state.Project = store::ProjectDir(options.dir);
        state.Ports = burner::PortList::FromEnvironment();
        if (options.port) state.Ports.SetPath(state.Rules.PortIndex, *options.port);
        state.Rules.SetBaudIndex(options.baud == 115200 ? 0 : 1);
        burner::TransferRules& rules = state.Rules;
        auto byte = [](int v) { return static_cast<std::uint8_t>(v); };
        if (options.loops)
            std::tie(rules.FirstLoop, rules.LastLoop) =
                std::pair(byte(options.loops->first), byte(options.loops->second));
        if (options.addresses)
            std::tie(rules.FirstAddress, rules.LastAddress) =
                std::pair(byte(options.addresses->first), byte(options.addresses->second));
        if (options.phrases)
            std::tie(rules.FirstPhrase, rules.LastPhrase) =
                std::pair(byte(options.phrases->first), byte(options.phrases->second));
        if (options.logic) {
            rules.FirstLogic = static_cast<std::uint32_t>(options.logic->first);
            rules.LastLogic = static_cast<std::uint32_t>(options.logic->second);
        }
        if (options.pace) rules.PaceDelay = byte(*options.pace);
        burner::SerialTrace& trace = burner::SerialTrace::Process();
        if (options.trace) {
            if (base::Result<> started = trace.Start(*options.trace); !started) {
                streams.err << "velsend-cli: --trace: " << started.error().Full() << "\n";
                return kExitFailed;
            }
        }
        TerminalPrompt prompt(options, streams);
        Context context{options, streams, state, prompt};
        const int status = row.run(context);
        if (options.trace) {
            if (base::Result<> stopped = trace.Stop(); !stopped)
                streams.err << "velsend-cli: --trace: " << stopped.error().Full() << "\n";
        }
        return status;
    }
    streams.err << "velsend-cli: unknown command " << options.command << " (see --help)\n";
    return kExitUsage;
}

int Main(const std::vector<std::string>& args, CliStreams streams) {
    const ParseResult parsed = ParseCommandLine(args);
    if (parsed.ok && parsed.options.help) {
        streams.out << kHelp << kMissingFeatures;
        return kExitOk;
    }
    if (!parsed.ok) {
        streams.err << "velsend-cli: " << parsed.error << "\n\n" << kHelp;
        return kExitUsage;
    }
    return RunCommand(parsed.options, streams);
}

int ProcessMain(int argc, char** argv) {
    platform::PrepareStandardStreams();
    InstallProcessSignals();
    return Main(platform::Utf8Arguments(argc, argv),
                {std::cout, std::cerr, std::cin, platform::StdinIsTerminal(),
                 platform::StderrIsTerminal()});
}

}  // namespace velsend::cli

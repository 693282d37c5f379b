#include "cli/cli.h"

#include <signal.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <map>
#include <string_view>
#include <tuple>

#include "base/controller_model.h"
#include "core/store/demo_project.h"
#include "base/field_check.h"
#include "core/burner/model_selection.h"
#include "gui/kit/run_state.h"
#include "core/burner/backup.h"
#include "core/burner/transfer_engine.h"
#include "cli/diff.h"
#include "cli/show.h"
#include "core/devices/class_forms.h"
#include "core/exchange/excel_exchange.h"
#include "core/exchange/templates.h"
#include "core/exchange/sd_import.h"
#include "core/exchange/sd_pack.h"
#include "core/exchange/text_print.h"
#include "core/exchange/velnet_import.h"
#include "core/logic/logic_files.h"
#include "core/logic/rule_editing.h"
#include "core/loops/loop_copy.h"
#include "core/phrases/phrase_library.h"
#include "core/report/project_report.h"
#ifdef VELSEND_REPORT_PDF
#include "gui/report/report_pdf.h"
#endif
#include "base/gbk.h"
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
  erase            erase the data chip
  backup FILE      copy the chip into FILE (the whole image)
  restore FILE     write FILE (a whole image of --model's chip) to the chip
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
  print            write the text print files devctext%d.txt and logtext.txt
  velnet-import --from F --to T [--source DIR]
                   convert VELNET loops F..T from DIR (default ~/DATNET) into
                   devc%d.dat and log%d.dat

Transfers show their progress on standard error and print the result text on
standard output; only the success text exits with 0.

--dir must name an existing folder (files missing in it read as empty).

exit status: 0 done, 1 failed or refused, 2 usage error, 130 stopped by
SIGINT, SIGTERM or SIGHUP (between blocks; the port is closed properly).
)";

}  // namespace

bool ParseNumber(std::string_view text, int min, int max, int& out) {
    if (text.empty() || text.size() > 9) return false;
    for (const char ch : text)
        if (ch < '0' || ch > '9') return false;
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < min || value > max) return false;
    out = value;
    return true;
}

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        char hex[8];
        if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else if (byte == '\\') {
            out += "\\\\";
        } else if (byte == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // The C1 controls (U+0080..U+009F) steer terminals as well.
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned char>(text[++i]));
            out += hex;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

namespace {

// "A-B" with both ends in 0..max.
bool ParseRange(std::string_view text, int max, std::pair<int, int>& out) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return false;
    int a = 0, b = 0;
    if (!ParseNumber(text.substr(0, dash), 0, max, a) ||
        !ParseNumber(text.substr(dash + 1), 0, max, b))
        return false;
    out = {a, b};
    return true;
}

// A usage error: names the argument, shows what was given, exits 2.
int UsageError(std::ostream& err, std::string_view where, std::string_view what) {
    err << "velsend-cli: " << where << ": " << what << "\n";
    return kExitUsage;
}

// Signals that stop a transfer or backup between blocks, as the GUI's cancel
// does, so the port is closed properly and no temporary file is left.
std::atomic<bool> gStopRequested{false};
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    gStopSignal = signal;
    gStopRequested.store(true);
}

class StopSignals {
  public:
    StopSignals() {
        gStopRequested.store(false);
        gStopSignal = 0;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            ::sigaction(kSignals[i], &action, &previous_[i]);
    }
    ~StopSignals() {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    const std::atomic<bool>* flag() const { return &gStopRequested; }
    static std::string Name() {
        switch (gStopSignal) {
            case SIGINT:
                return "SIGINT";
            case SIGTERM:
                return "SIGTERM";
            case SIGHUP:
                return "SIGHUP";
            default:
                return "signal " + std::to_string(gStopSignal);
        }
    }

  private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
};

// Messages go to standard error; questions are answered by --yes, by the user
// on a terminal, or with No.
class TerminalPrompt : public base::UserPrompt {
  public:
    TerminalPrompt(const CliOptions& options, CliStreams streams)
        : yes_(options.yes), streams_(streams) {}

    void Inform(const std::string& text, const std::string&) override {
        streams_.err << text << "\n";
    }
    bool AskYesNo(const std::string& text, const std::string&) override {
        streams_.err << text;
        if (yes_) {
            streams_.err << " 是 (--yes)\n";
            return true;
        }
        if (!streams_.interactive) {
            streams_.err << " 否 (没有 --yes)\n";
            return false;
        }
        streams_.err << " [y/N] " << std::flush;
        std::string answer;
        std::getline(streams_.in, answer);
        return answer == "y" || answer == "Y" || answer == "yes" || answer == "是";
    }

  private:
    bool yes_;
    CliStreams streams_;
};

struct Context {
    const CliOptions& options;
    CliStreams streams;
    base::RunState& state;
    TerminalPrompt& prompt;
};

int SelectModelCommand(Context& c) {
    const app::SelectionOutcome outcome = app::SelectModel(c.state, c.options.model, c.prompt);
    if (outcome == app::SelectionOutcome::Refused) return kExitFailed;
    c.streams.out << base::MainCaption(c.state.ControllerModel) << "\n";
    return kExitOk;
}

int InitCommand(Context& c) {
    const store::InitialisationResult result = store::InitialiseProject(c.state.Project);
    c.streams.out << "已删除 " << result.deleted << " 个文件";
    if (result.skipped > 0) c.streams.out << "，" << result.skipped << " 个文件不可写，已保留";
    c.streams.out << "\n";
    if (!result.outcome) {
        c.streams.err << result.outcome.error().Full() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int DemoCommand(Context& c) {
    if (auto written = app::WriteDemoProject(c.state.Project); !written) {
        c.streams.err << written.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << "演示工程已写入 " << c.state.Project.Root().string() << "\n";
    return kExitOk;
}

int PhrasesCommand(Context& c) {
    const std::string& what = c.options.args[0];
    if (what != "clear" && what != "common") {
        c.streams.err << "velsend-cli: phrases clear | phrases common\n";
        return kExitUsage;
    }
    const int mode = what == "common" ? phrases::kInitCommon : phrases::kInitEmpty;
    if (auto written = phrases::InitialisePhrases(c.state.Project, mode); !written) {
        c.streams.err << "无法写入词库文件 word.dat，词库没有改变。\n"
                      << written.error().reason << "\n";
        return kExitFailed;
    }
    c.streams.out << (mode == phrases::kInitCommon ? "初始化常用词组成功！" : "初始化空词组成功！")
                  << "\n";
    return kExitOk;
}

int ShowLogic(Context& c) {
    const int capacity = logic::LogicCapacity(c.state.ControllerModel);
    for (int n = 0; n < capacity; ++n) {
        const std::string text = logic::ReadLogicRule(c.state.Project, n);
        if (!text.empty()) c.streams.out << n << "\t" << EscapeControls(store::GbkToUtf8(text)) << "\n";
    }
    return kExitOk;
}

// "show WHAT": the logic rules here, every other kind of project data in show.cpp.
int ShowCommand(Context& c) {
    if (c.options.args[0] == "logic") {
        if (c.options.args.size() != 1) {
            c.streams.err << "velsend-cli: show logic takes no argument\n";
            return kExitUsage;
        }
        return ShowLogic(c);
    }
    return ShowProjectData(c.state.Project, c.state.ControllerModel, c.options.args, c.streams.out,
                           c.streams.err);
}

int LogicCommand(Context& c) {
    const std::vector<std::string>& args = c.options.args;
    if (args[0] != "set") {
        c.streams.err << "velsend-cli: logic: unknown action " << args[0] << " (see --help)\n";
        return kExitUsage;
    }
    const int capacity = logic::LogicCapacity(c.state.ControllerModel);
    int number = 0;
    // Unlike the dialog, a script gets no silent correction to the last rule.
    if (!ParseNumber(args[1], 0, capacity - 1, number)) {
        return UsageError(c.streams.err, "logic set N",
                          "'" + args[1] + "': " + base::RangeMessage(0, capacity - 1));
    }
    const std::optional<std::string> text = store::Utf8ToGbk(args[2]);
    const base::Result<int> saved =
        text ? logic::SaveLogicRule(c.state.Project, c.state.ControllerModel, number, *text)
             : base::Result<int>(base::Error{std::string(logic::kIllegalCharacterMessage), {}});
    if (!saved) {
        c.streams.err << saved.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << "已保存 " << store::FileName(store::ProjectFile::Logic, number) << "\n";
    return kExitOk;
}

// Progress on standard error: a bar on a terminal, otherwise a line for each
// new status text and at most two position lines a second (the bar of a
// transfer runs from 0 to full once per block).
class ProgressPrinter : public burner::TransferObserver {
  public:
    explicit ProgressPrinter(CliStreams streams) : streams_(streams) {}
    ~ProgressPrinter() override { EndBar(); }

    void SetRange(int upper) override {
        upper_ = upper > 0 ? upper : 1;
        position_ = 0;
    }
    void SetPosition(int position) override {
        position_ = std::clamp(position, 0, upper_);
        Show();
    }
    void SetStatus(const std::string& text) override {
        status_ = text;
        if (!streams_.errTerminal) {
            // Backup and restore count percents in the status text.
            const bool percent = !text.empty() && text.back() == '%';
            if (percent && !Due() && text != "100%") return;
            streams_.err << text << "\n";
            return;
        }
        Show();
    }
    void PortNotOpened(const burner::OpenResult& result) override {
        EndBar();
        streams_.err << result.message << "\n";
    }
    void EndBar() {
        if (barShown_) streams_.err << "\n" << std::flush;
        barShown_ = false;
    }

  private:
    bool Due() {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastLine_ < std::chrono::milliseconds(500)) return false;
        lastLine_ = now;
        return true;
    }
    void Show() {
        const int percent = position_ * 100 / upper_;
        if (!streams_.errTerminal) {
            if (!Due()) return;
            streams_.err << position_ << "/" << upper_ << "\n";
            return;
        }
        constexpr int kWidth = 30;
        const int filled = position_ * kWidth / upper_;
        streams_.err << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                     << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] ";
        char pct[8];
        std::snprintf(pct, sizeof pct, "%3d%%", percent);
        streams_.err << pct << " " << status_ << "\033[K" << std::flush;
        barShown_ = true;
    }

    CliStreams streams_;
    int upper_ = 1;
    int position_ = 0;
    std::chrono::steady_clock::time_point lastLine_{};
    std::string status_;
    bool barShown_ = false;
};

// What an interrupted run leaves on the chip, said plainly.
std::string InterruptedText(int kind, int stored, int expected) {
    std::string text = "已被 " + StopSignals::Name() + " 中断，端口已关闭。";
    if (kind == burner::kEraseChip) return text + "芯片可能只擦除了一部分，请重新擦除。";
    return text + "芯片上的数据可能只写入了一部分（已确认 " + std::to_string(stored) + "/" +
           std::to_string(expected) + " 块），请重新传送。";
}

int TransferCommand(Context& c, int kind) {
    c.state.TransferKind = kind;
    ProgressPrinter progress(c.streams);
    StopSignals signals;
    burner::TransferEngine engine(c.state.BurnerPort, progress, {}, signals.flag());
    burner::TransferJob job;
    job.kind = kind;
    job.model = c.state.ControllerModel;
    job.rules = c.state.Rules;
    job.address = c.state.BurnerAddress();
    job.project = c.state.Project;
    job.node9 = &c.state.Node9;
    job.node10 = &c.state.Node10;
    const burner::TransferResult result = engine.Run(job);
    progress.EndBar();
    if (result.outcome == burner::TransferOutcome::Cancelled) {
        c.streams.err << InterruptedText(kind, result.blocksStored, result.blocksExpected) << "\n";
        return kExitInterrupted;
    }
    c.streams.out << result.status << "\n";
    return result.Succeeded() ? kExitOk : kExitFailed;
}

int SendCommand(Context& c) {
    static const std::pair<std::string_view, int> kinds[] = {
        {"nodes", burner::kSendNodes}, {"devices", burner::kSendDevices},
        {"logic", burner::kSendLogic}, {"phrases", burner::kSendPhrases},
        {"names", burner::kSendNames},
    };
    for (const auto& [name, kind] : kinds) {
        if (c.options.args[0] == name) return TransferCommand(c, kind);
    }
    c.streams.err << "velsend-cli: send takes nodes, devices, logic, phrases or names\n";
    return kExitUsage;
}

int EraseCommand(Context& c) {
    return TransferCommand(c, burner::kEraseChip);
}

int ChipCopyCommand(Context& c, bool backup) {
    const std::optional<burner::ChipCopyJob> job = burner::PrepareChipCopy(
        c.state, backup ? burner::ChipCopyKind::Backup : burner::ChipCopyKind::Restore,
        c.options.args[0], c.prompt);
    if (!job) return kExitFailed;
    ProgressPrinter progress(c.streams);
    StopSignals signals;
    burner::ChipCopyPort port;
    const burner::ChipCopyResult result = burner::RunChipCopy(port, *job, progress, signals.flag());
    progress.EndBar();
    if (result.outcome == burner::ChipCopyOutcome::Cancelled) {
        c.streams.err << "已被 " << StopSignals::Name() << " 中断，端口已关闭。"
                      << (backup ? "没有写入备份文件 " + job->file.string() + "，芯片没有改变。"
                                 : "芯片上的数据可能只还原了一部分（已确认 " +
                                       std::to_string(result.blocks) + "/" +
                                       std::to_string(burner::ChipBlockCount(job->model)) +
                                       " 块），请重新还原。")
                      << "\n";
        return kExitInterrupted;
    }
    if (!result.message.empty()) c.streams.err << result.message << "\n";
    if (result.outcome != burner::ChipCopyOutcome::Done) return kExitFailed;
    c.streams.out << result.status << "\n";
    return kExitOk;
}

int BackupCommand(Context& c) {
    return ChipCopyCommand(c, true);
}
int RestoreCommand(Context& c) {
    return ChipCopyCommand(c, false);
}

int CopyLoopCommand(Context& c) {
    int loops[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const std::string& arg = c.options.args[static_cast<std::size_t>(i)];
        if (!ParseNumber(arg, 0, 255, loops[i])) {
            return UsageError(c.streams.err, i == 0 ? "copy-loop S" : "copy-loop T",
                              "'" + arg + "': " + base::RangeMessage(0, 255));
        }
    }
    const base::Result<std::string> copied = loops::CopyLoop(c.state.Project, loops[0], loops[1]);
    if (!copied) {
        c.streams.err << copied.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << *copied << "\n";
    return kExitOk;
}

int QuickSetCommand(Context& c) {
    const std::vector<std::string>& args = c.options.args;
    std::optional<int> loop, first, last, productClass;
    devices::QuickSetRequest request;
    auto usage = [&c](const std::string& text) {
        c.streams.err << "velsend-cli: quick-set: " << text << "\n";
        return kExitUsage;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--off-outside") {
            request.offOutside = true;
            continue;
        }
        std::optional<int>* byteTarget = a == "--loop"   ? &loop
                                         : a == "--from" ? &first
                                         : a == "--to"   ? &last
                                                         : nullptr;
        if (!byteTarget && a != "--class") return usage("unknown argument " + a);
        if (i + 1 >= args.size()) return usage(a + " needs a value");
        const std::string& v = args[++i];
        if (byteTarget) {
            int value = 0;
            if (!ParseNumber(v, 0, 255, value)) return usage(a + ": " + std::string(base::kByteMessage));
            *byteTarget = value;
            continue;
        }
        constexpr std::string_view kClasses[] = {"alarm", "zone", "module", "borrowed"};
        const auto* found = std::find(std::begin(kClasses), std::end(kClasses), v);
        if (found == std::end(kClasses)) return usage("--class takes alarm|zone|module|borrowed");
        productClass = static_cast<int>(found - std::begin(kClasses));
    }
    if (!loop) return usage("--loop is missing");
    if (!first) return usage("--from is missing");
    if (!last) return usage("--to is missing");
    if (!productClass) return usage("--class is missing");
    request.first = *first;
    request.last = *last;
    request.productClass = *productClass;
    const base::Result<> done = devices::RunQuickSet(c.state.Project, *loop, request);
    if (!done) {
        c.streams.err << done.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << store::FileName(store::ProjectFile::Devices, *loop) << ": " << *first
                  << ".." << *last << " " << store::ClassName(*productClass)
                  << (request.offOutside ? "，区间外已关闭" : "") << "\n";
    return kExitOk;
}

int ExcelExportCommand(Context& c) {
    auto result = exchange::ExportExcel(c.state.Project, c.options.args[0]);
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << result->Text() << "\n" << exchange::kExportDoneText << "\n";
    return kExitOk;
}

int ExcelImportCommand(Context& c) {
    const auto& args = c.options.args;
    if (args.size() != 3 || args[1] != "--family" || (args[2] != "ka" && args[2] != "kbx")) {
        c.streams.err << "velsend-cli: excel-import FILE --family ka|kbx\n";
        return kExitUsage;
    }
    const auto family = args[2] == "ka" ? exchange::ExcelFamily::KA : exchange::ExcelFamily::KBX;
    auto result = exchange::ImportExcel(c.state.Project, args[0], family);
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << result->Text(static_cast<std::size_t>(-1)) << "\n" << exchange::kImportDoneText << "\n";
    return kExitOk;
}

int TemplateCommand(Context& c) {
    const std::string& kind = c.options.args[0];
    if (kind != "standard" && kind != "example") {
        c.streams.err << "velsend-cli: template standard|example FILE\n";
        return kExitUsage;
    }
    auto result = exchange::WriteTemplate(
        kind == "standard" ? exchange::TemplateKind::Standard : exchange::TemplateKind::Example,
        c.options.args[1]);
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << exchange::kTemplateDoneText << "\n";
    return kExitOk;
}

// "--name value" pairs after a command; false (with a message) for anything else.
bool ParsePairs(Context& c, std::size_t from, std::initializer_list<std::string_view> names,
                std::map<std::string, std::string>& out) {
    const std::vector<std::string>& args = c.options.args;
    for (std::size_t i = from; i < args.size(); i += 2) {
        const bool known = std::find(names.begin(), names.end(), args[i]) != names.end();
        if (!known || i + 1 >= args.size()) {
            c.streams.err << "velsend-cli: " << c.options.command << ": unexpected " << args[i]
                          << " (see --help)\n";
            return false;
        }
        out[args[i]] = args[i + 1];
    }
    return true;
}

// A whole number in min..max for option `name`, with the range message.
bool ParseBounded(Context& c, const std::map<std::string, std::string>& pairs,
                  const std::string& name, int min, int max, int& out) {
    const auto it = pairs.find(name);
    if (it == pairs.end()) {
        c.streams.err << "velsend-cli: " << c.options.command << ": " << name << " is required\n";
        return false;
    }
    if (!ParseNumber(it->second, min, max, out)) {
        c.streams.err << "velsend-cli: " << c.options.command << ": " << name << ": "
                      << base::RangeMessage(min, max) << "\n";
        return false;
    }
    return true;
}

int SdPackCommand(Context& c) {
    const base::SdFamily family = base::Traits(c.state.ControllerModel).sdFamily;
    if (family == base::SdFamily::None) {
        c.streams.err << "velsend-cli: sd-pack: --model " << c.state.ControllerModel
                      << " has no SD-card data (use 2, 3 or 4)\n";
        return kExitUsage;
    }
    std::map<std::string, std::string> pairs;
    int id = 0, start = 0;
    if (!ParsePairs(c, 0, {"--id", "--start-loop"}, pairs) ||
        !ParseBounded(c, pairs, "--id", 0, exchange::kMaxControllerId, id) ||
        !ParseBounded(c, pairs, "--start-loop", 0, exchange::LayoutOf(family).maxStartLoop, start))
        return kExitUsage;
    const auto result = exchange::PackSdCard(c.state.Project, family, id, start);
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << result->message << " " << result->file.filename().string() << "\n";
    return kExitOk;
}

int SdImportCommand(Context& c) {
    std::map<std::string, std::string> pairs;
    if (!ParsePairs(c, 1, {"--family", "--start-loop", "--only"}, pairs)) return kExitUsage;
    const std::string family = pairs.count("--family") ? pairs["--family"] : "";
    if (family != "ka" && family != "kbx") {
        c.streams.err << "velsend-cli: sd-import: --family takes ka or kbx\n";
        return kExitUsage;
    }
    const base::SdFamily sd = family == "ka" ? base::SdFamily::KA : base::SdFamily::KBX;
    int start = 0;
    if (!ParseBounded(c, pairs, "--start-loop", 0, exchange::LayoutOf(sd).maxStartLoop, start))
        return kExitUsage;
    exchange::SdSections sections;
    if (pairs.count("--only")) {
        sections = {false, false, false, false};
        std::string_view list = pairs["--only"];
        while (!list.empty()) {
            const std::size_t comma = list.find(',');
            const std::string_view item = list.substr(0, comma);
            if (item == "devices") sections.devices = true;
            else if (item == "names") sections.names = true;
            else if (item == "logic") sections.logic = true;
            else if (item == "phrases") sections.phrases = true;
            else {
                c.streams.err << "velsend-cli: sd-import: --only takes devices,names,logic,phrases\n";
                return kExitUsage;
            }
            list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        }
    }
    const auto result =
        exchange::ImportSdCard(c.state.Project, sd, c.options.args[0], start, sections);
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << result->message << "\n";
    return kExitOk;
}

int PrintCommand(Context& c) {
    const auto result = exchange::WriteTextPrintFiles(c.state.Project, c.state.ControllerModel);
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << result->message << "\n";
    return kExitOk;
}

int VelnetImportCommand(Context& c) {
    std::map<std::string, std::string> pairs;
    if (!ParsePairs(c, 0, {"--from", "--to", "--source"}, pairs)) return kExitUsage;
    std::uint32_t range[2] = {0, 0};
    const char* names[2] = {"--from", "--to"};
    for (int i = 0; i < 2; ++i) {
        const auto it = pairs.find(names[i]);
        const std::optional<std::string> error =
            it == pairs.end() ? std::optional<std::string>(std::string(names[i]) + " is required")
                              : base::CheckUnsigned(it->second, range[i]);
        if (error) {
            c.streams.err << "velsend-cli: velnet-import: " << names[i] << ": " << *error << "\n";
            return kExitUsage;
        }
    }
    const std::filesystem::path source =
        pairs.count("--source") ? std::filesystem::path(pairs["--source"])
                                : exchange::DefaultVelnetFolder();
    const auto result = exchange::ImportVelnet(c.state.Project, source, range[0], range[1]);
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << result->message << "\n";
    return kExitOk;
}

int DiffProjectsCommand(Context& c) {
    return DiffCommand(c.options.args, c.state.ControllerModel, c.streams.out, c.streams.err);
}

// "report FILE [--loops A-B]": the file's ending picks HTML or PDF. The loops
// default to all of them, not to the transfer's 0-3.
int ReportCommand(Context& c) {
    const auto& args = c.options.args;
    std::pair<int, int> loops = c.options.loops.value_or(std::pair(0, 255));
    if (args.size() == 3 && args[1] == "--loops") {
        if (!ParseRange(args[2], 255, loops))
            return UsageError(c.streams.err, "--loops",
                              "takes A-B with both in 0..255 (got '" + args[2] + "')");
    } else if (args.size() != 1) {
        return UsageError(c.streams.err, "report", "FILE.html|FILE.pdf [--loops A-B]");
    }
    if (loops.first > loops.second)
        return UsageError(c.streams.err, "--loops",
                          "A must not be above B (got " + std::to_string(loops.first) + "-" +
                              std::to_string(loops.second) + ")");
    const std::filesystem::path target = args[0];
    std::string ending = target.extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    const bool pdf = ending == ".pdf";
    if (!pdf && ending != ".html" && ending != ".htm")
        return UsageError(c.streams.err, "FILE",
                          "must end in .html or .pdf (got '" + target.string() + "')");
#ifndef VELSEND_REPORT_PDF
    if (pdf)
        return UsageError(c.streams.err, "FILE", "this build has no PDF output (built without Qt)");
#endif
    auto& err = c.streams.err;
    const char* const end = c.streams.errTerminal ? "\r" : "\n";
    const report::Report model = report::BuildReport(
        c.state.Project, c.state.ControllerModel, loops.first, loops.second,
        [&](int done, int total, int loop) {
            err << "读取回路 " << loop << "（" << done << "/" << total << "）" << end << std::flush;
        });
    if (c.streams.errTerminal) err << "\n";
    base::Result<> written = base::Ok();
    if (pdf) {
#ifdef VELSEND_REPORT_PDF
        // Title page, one page per loop with devices, the rules, the phrases.
        std::vector<std::string> names{"首页"};
        for (const report::LoopSection& s : model.loops) names.push_back("回路 " + std::to_string(s.loop));
        names.push_back("联动逻辑");
        names.push_back("词库");
        written = report::WritePdfReport(target, model, [&](int done, int total) {
            err << "排版 " << names[static_cast<std::size_t>(done - 1)] << "（" << done << "/"
                << total << "）" << end << std::flush;
        });
        if (c.streams.errTerminal) err << "\n";
#endif
    } else {
        written = report::WriteHtmlReport(target, model);
    }
    if (!written) {
        err << written.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << "报告已写入 " << target.string() << "：" << model.loops.size() << " 个回路，"
                  << model.installedTotal << " 个开通设备\n";
    return kExitOk;
}

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
        {"backup", 1, 1, BackupCommand},
        {"restore", 1, 1, RestoreCommand},
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
    };
    return rows;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult r;
    auto value = [&](std::size_t& i, std::string_view name) -> const std::string* {
        if (i + 1 >= args.size()) {
            r.error = std::string(name) + " needs a value";
            return nullptr;
        }
        return &args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!r.options.command.empty()) {
            r.options.args.push_back(a);
        } else if (a == "-h" || a == "--help") {
            r.options.help = true;
        } else if (a == "--yes") {
            r.options.yes = true;
        } else if (a == "--dir") {
            const std::string* v = value(i, a);
            if (!v) return r;
            r.options.dir = *v;
        } else if (a == "--trace") {
            const std::string* v = value(i, a);
            if (!v) return r;
            r.options.trace = *v;
        } else if (a == "--port") {
            const std::string* v = value(i, a);
            if (!v) return r;
            r.options.port = *v;
        } else if (a == "--model") {
            const std::string* v = value(i, a);
            if (!v) return r;
            if (!ParseNumber(*v, 1, 6, r.options.model) || !base::IsValidModel(r.options.model)) {
                r.error = "--model takes 1..6 (got '" + *v + "')";
                return r;
            }
        } else if (a == "--baud") {
            const std::string* v = value(i, a);
            if (!v) return r;
            if (!ParseNumber(*v, 0, 999999, r.options.baud) ||
                (r.options.baud != 115200 && r.options.baud != 19200)) {
                r.error = "--baud takes 115200 or 19200 (got '" + *v + "')";
                return r;
            }
        } else if (a == "--loops" || a == "--addresses" || a == "--phrases" || a == "--logic") {
            const std::string* v = value(i, a);
            if (!v) return r;
            const int max = a == "--logic" ? 1023 : 255;
            std::pair<int, int> range;
            if (!ParseRange(*v, max, range)) {
                r.error = a + " takes A-B with both in 0.." + std::to_string(max) + " (got '" +
                          *v + "')";
                return r;
            }
            auto& target = a == "--loops"       ? r.options.loops
                           : a == "--addresses" ? r.options.addresses
                           : a == "--phrases"   ? r.options.phrases
                                                : r.options.logic;
            target = range;
        } else if (a == "--pace") {
            const std::string* v = value(i, a);
            if (!v) return r;
            int pace = 0;
            if (!ParseNumber(*v, 0, 50, pace)) {
                r.error = "--pace takes 0..50 (got '" + *v + "')";
                return r;
            }
            r.options.pace = pace;
        } else if (!a.empty() && a[0] == '-') {
            r.error = "unknown option " + a;
            return r;
        } else {
            r.options.command = a;
        }
    }
    if (r.options.command.empty() && !r.options.help) {
        r.error = "no command given";
        return r;
    }
    r.ok = true;
    return r;
}

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
                return UsageError(streams.err, "--dir",
                                  "'" + options.dir.string() +
                                      (std::filesystem::exists(st) ? "' 不是一个文件夹"
                                                                   : "' 不存在"));
            }
        }
        base::RunState state;
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
        streams.out << kHelp;
        return kExitOk;
    }
    if (!parsed.ok) {
        streams.err << "velsend-cli: " << parsed.error << "\n\n" << kHelp;
        return kExitUsage;
    }
    return RunCommand(parsed.options, streams);
}

}  // namespace velsend::cli

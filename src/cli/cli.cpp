#include "cli/cli.h"

#include <charconv>
#include <functional>
#include <iostream>
#include <string_view>

#include "app/controller_model.h"
#include "app/demo_project.h"
#include "app/field_check.h"
#include "app/model_selection.h"
#include "app/run_state.h"
#include "cli/show.h"
#include "phrases/phrase_library.h"
#include "logic/logic_files.h"
#include "logic/rule_editing.h"
#include "store/gbk.h"
#include "store/project_files.h"

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

exit status: 0 done, 1 failed or refused, 2 usage error.
)";

bool ParseInt(std::string_view text, int& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && end == text.data() + text.size();
}

// Messages go to standard error; questions are answered by --yes, by the user
// on a terminal, or with No.
class TerminalPrompt : public app::UserPrompt {
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
    app::RunState& state;
    TerminalPrompt& prompt;
};

int SelectModelCommand(Context& c) {
    const app::SelectionOutcome outcome = app::SelectModel(c.state, c.options.model, c.prompt);
    if (outcome == app::SelectionOutcome::Refused) return kExitFailed;
    c.streams.out << app::MainCaption(c.state.ControllerModel) << "\n";
    return kExitOk;
}

int InitCommand(Context& c) {
    const store::InitialisationResult result = store::InitialiseProject(c.state.Project);
    c.streams.out << "已删除 " << result.deleted << " 个文件";
    if (result.skipped > 0) c.streams.out << "，" << result.skipped << " 个文件不可写，已保留";
    c.streams.out << "\n";
    if (!result.ok) {
        c.streams.err << result.message << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int DemoCommand(Context& c) {
    std::string error;
    if (!app::WriteDemoProject(c.state.Project, error)) {
        c.streams.err << error << "\n";
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
    if (!phrases::InitialisePhrases(c.state.Project, mode)) {
        c.streams.err << "无法写入词库文件 word.dat，词库没有改变。\n";
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
        if (!text.empty()) c.streams.out << n << "\t" << store::GbkToUtf8(text) << "\n";
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
    std::uint32_t number = 0;
    std::optional<std::string> error = app::CheckUnsigned(args[1], number);
    // Unlike the dialog, a script gets no silent correction to the last rule.
    if (!error) error = app::CheckRange(number, 0, capacity - 1);
    if (error) {
        c.streams.err << *error << "\n";
        return kExitFailed;
    }
    const std::optional<std::string> text = store::Utf8ToGbk(args[2]);
    const logic::SaveOutcome outcome =
        text ? logic::SaveLogicRule(c.state.Project, c.state.ControllerModel,
                                    static_cast<int>(number), *text)
             : logic::SaveOutcome{false, std::string(logic::kIllegalCharacterMessage), 0};
    if (!outcome.saved) {
        c.streams.err << outcome.message << "\n";
        return kExitFailed;
    }
    c.streams.out << "已保存 "
                  << store::FileName(store::ProjectFile::Logic, static_cast<int>(number)) << "\n";
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
        } else if (a == "--port") {
            const std::string* v = value(i, a);
            if (!v) return r;
            r.options.port = *v;
        } else if (a == "--model") {
            const std::string* v = value(i, a);
            if (!v) return r;
            if (!ParseInt(*v, r.options.model) || !app::IsValidModel(r.options.model)) {
                r.error = "--model takes 1..6";
                return r;
            }
        } else if (a == "--baud") {
            const std::string* v = value(i, a);
            if (!v) return r;
            if (!ParseInt(*v, r.options.baud) ||
                (r.options.baud != 115200 && r.options.baud != 19200)) {
                r.error = "--baud takes 115200 or 19200";
                return r;
            }
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
        app::RunState state;
        state.ControllerModel = options.model;
        state.Project = store::ProjectDir(options.dir);
        state.Ports = burner::PortList::FromEnvironment();
        if (options.port) state.Ports.SetPath(state.Rules.PortIndex, *options.port);
        state.Rules.SetBaudIndex(options.baud == 115200 ? 0 : 1);
        TerminalPrompt prompt(options, streams);
        Context context{options, streams, state, prompt};
        return row.run(context);
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

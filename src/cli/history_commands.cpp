#include <ostream>

#include "cli/commands.h"
#include "cli/diff.h"
#include "core/history/history.h"

namespace velsend::cli {
namespace {

int ShowStep(Context& c, const history::History& h, const std::string& arg) {
    int number = 0;
    if (!ParseNumber(arg, 1, 1 << 30, number))
        return UsageError(c.streams.err, "history show N", "'" + arg + "'");
    const history::Step* step = h.Find(number);
    if (step == nullptr) {
        c.streams.err << "修改历史中没有第 " << number << " 步。\n";
        return kExitFailed;
    }
    const auto lines =
        history::StepDifference(c.state.Project.Root(), *step, c.state.ControllerModel);
    if (!lines) {
        c.streams.err << lines.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << step->number << "\t" << history::FormatTime(step->time) << "\t"
                  << step->program << "\t" << EscapeControls(step->what) << "\n";
    for (const ProjectDifference& d : *lines) c.streams.out << d.text << "\n";
    return kExitOk;
}

}  // namespace

int HistoryCommand(Context& c) {
    const std::vector<std::string>& args = c.options.args;
    const std::filesystem::path& folder = c.state.Project.Root();
    if (!args.empty() && args[0] == "clear") {
        if (args.size() != 1)
            return UsageError(c.streams.err, "history clear", "takes no argument");
        if (auto cleared = history::Clear(folder); !cleared) {
            c.streams.err << cleared.error().Full() << "\n";
            return kExitFailed;
        }
        c.streams.out << "修改历史已清除\n";
        return kExitOk;
    }
    auto h = history::Load(folder);
    if (!h) {
        c.streams.err << h.error().Full() << "\n";
        return kExitFailed;
    }
    if (!args.empty() && args[0] == "show") {
        if (args.size() != 2) return UsageError(c.streams.err, "history show N", "needs N");
        return ShowStep(c, *h, args[1]);
    }
    const bool json = args.size() == 1 && args[0] == "--json";
    if (!args.empty() && !json) return UsageError(c.streams.err, "history", "'" + args[0] + "'");
    // Newest first; "*" marks the steps an undo took back (redo brings them again).
    if (json) c.streams.out << "[";
    bool firstOut = true;
    for (auto it = h->steps.rbegin(); it != h->steps.rend(); ++it) {
        const bool undone = it->number > h->applied;
        if (json) {
            c.streams.out << (firstOut ? "" : ",\n ") << "{\"number\":" << it->number
                          << ",\"time\":" << Json(history::FormatTime(it->time))
                          << ",\"program\":" << Json(it->program) << ",\"what\":" << Json(it->what)
                          << ",\"files\":" << it->files.size()
                          << ",\"undone\":" << (undone ? "true" : "false") << "}";
        } else {
            c.streams.out << it->number << (undone ? "*" : "") << "\t"
                          << history::FormatTime(it->time) << "\t" << EscapeControls(it->program)
                          << "\t" << EscapeControls(it->what) << "\n";
        }
        firstOut = false;
    }
    if (json)
        c.streams.out << "]\n";
    else
        c.streams.err << "共 " << h->steps.size() << " 步，" << history::FormatBytes(h->bytes)
                      << "\n";
    return kExitOk;
}

int UndoRedo(Context& c, bool redo) {
    bool force = false;
    for (const std::string& a : c.options.args) {
        if (a != "--force") return UsageError(c.streams.err, redo ? "redo" : "undo", "'" + a + "'");
        force = true;
    }
    const std::filesystem::path& folder = c.state.Project.Root();
    const auto done = redo ? history::Redo(folder, force) : history::Undo(folder, force);
    if (!done) {
        c.streams.err << done.error().Full() << "\n";
        if (done.error().code == history::kChangedSince)
            c.streams.err << "用 --force 仍然" << (redo ? "重做" : "撤销") << "。\n";
        return kExitFailed;
    }
    c.streams.out << (redo ? "已重做：" : "已撤销：") << EscapeControls(done->what) << "\n";
    return kExitOk;
}

int UndoCommand(Context& c) {
    return UndoRedo(c, false);
}
int RedoCommand(Context& c) {
    return UndoRedo(c, true);
}

}  // namespace velsend::cli

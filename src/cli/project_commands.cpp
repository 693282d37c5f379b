
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <optional>

#include "base/controller_model.h"
#include "base/field_check.h"
#include "base/gbk.h"
#include "base/platform/system.h"
#include "cli/commands.h"
#include "cli/diff.h"
#include "cli/show.h"
#include "core/burner/model_selection.h"
#include "core/demo/demo_project.h"
#include "core/devices/class_forms.h"
#include "core/logic/alphabet.h"
#include "core/logic/logic_files.h"
#include "core/logic/rule_editing.h"
#include "core/loops/loop_copy.h"
#include "core/phrases/phrase_library.h"
#include "core/store/project_files.h"

namespace velsend::cli {

int SelectModelCommand(Context& c) {
    const burner::SelectionOutcome outcome =
        session::SelectRunModel(c.state, c.options.model, c.prompt);
    if (outcome == burner::SelectionOutcome::Refused) return kExitFailed;
    c.streams.out << base::MainCaption(c.state.ControllerModel) << "\n";
    return kExitOk;
}

int InitCommand(Context& c) {
    // A folder nothing can be deleted from (a read-only mount) is a failure,
    // not "已删除 0 个文件".
    if (int error = 0; !platform::CanWrite(c.state.Project.Root(), error)) {
        c.streams.err << "无法初始化工程：文件夹 " << c.state.Project.Root().string() << " 不可写（"
                      << platform::ErrorText(error) << "）\n";
        return kExitFailed;
    }
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
    if (auto written = demo::WriteDemoProject(c.state.Project); !written) {
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
        if (!text.empty())
            c.streams.out << n << "\t" << EscapeControls(base::GbkToUtf8(text)) << "\n";
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
    const std::optional<std::string> text = base::Utf8ToGbk(args[2]);
    const base::Result<int> saved =
        text ? logic::SaveLogicRule(c.state.Project, c.state.ControllerModel, number, *text)
             : base::Result<int>(base::Error{std::string(logic::kIllegalCharacterMessage),
                                             logic::RefusedCharacterNoteUtf8(args[2])});
    if (!saved) {
        c.streams.err << saved.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << "已保存 " << store::FileName(store::ProjectFile::Logic, number) << "\n";
    return kExitOk;
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
            if (!ParseNumber(v, 0, 255, value))
                return usage(a + ": " + std::string(base::kByteMessage));
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
    if (*last < *first) return usage(std::string(devices::kQuickSetRangeMessage));
    request.first = *first;
    request.last = *last;
    request.productClass = *productClass;
    const base::Result<> done = devices::RunQuickSet(c.state.Project, *loop, request);
    if (!done) {
        c.streams.err << done.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << store::FileName(store::ProjectFile::Devices, *loop) << ": " << *first << ".."
                  << *last << " " << store::ClassName(*productClass)
                  << (request.offOutside ? "，区间外已关闭" : "") << "\n";
    return kExitOk;
}

int DiffProjectsCommand(Context& c) {
    return DiffCommand(c.options.args, c.state.ControllerModel, c.streams.out, c.streams.err);
}

}  // namespace velsend::cli

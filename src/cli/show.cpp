#include "cli/show.h"
#include "base/controller_model.h"

#include <ostream>

#include "base/gbk.h"
#include "cli/cli.h"
#include "cli/table.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "core/store/device_text.h"
#include "core/store/project_info.h"

namespace velsend::cli {
namespace {

constexpr int kUsage = 2;

bool ParseLoop(const std::string& text, int& loop) {
    return ParseNumber(text, 0, 255, loop);
}

// Project text for the terminal: GBK to UTF-8, control characters escaped.
std::string Shown(const std::string& gbk) {
    return EscapeControls(base::GbkToUtf8(gbk));
}

std::string PhraseCell(const phrases::PhraseImage& image, int number) {
    const std::string text =
        Shown(std::string(base::TrimTrailingSpaces(phrases::PhraseText(image, number))));
    return std::to_string(number) + (text.empty() ? "" : " " + text);
}

int ShowDevices(const store::ProjectDir& dir, int loop, int model, std::ostream& out) {
    const store::DeviceFile devices = store::ReadDeviceFile(dir, loop);
    const store::ChineseNameFile names = store::ReadChineseNameFile(dir, loop);
    const phrases::PhraseImage image = phrases::ReadPhraseLibrary(dir);
    Table table({"地址", "状态", "类别", "类型", "区域", "楼层", "房间", "名称", "参数", "描述"});
    int installed = 0;
    for (int a = 0; a < store::kAddressCount; ++a) {
        const store::DeviceRecord& r = devices[static_cast<std::size_t>(a)];
        if (r == store::DeviceRecord{}) continue;
        installed += r.Installed() ? 1 : 0;
        table.AddRow({std::to_string(a), r.Installed() ? "开" : "关",
                      std::string(store::ClassName(r.ProductClass())), store::TypeText(r, model),
                      std::to_string(r.Zone), std::to_string(r.Floor), std::to_string(r.Room),
                      PhraseCell(image, r.NamePhrase), store::ParameterText(r),
                      Shown(store::NameText(names[static_cast<std::size_t>(a)]))});
    }
    out << store::FileName(store::ProjectFile::Devices, loop) << "：" << installed
        << " 个设备开通，" << table.RowCount() << " 个地址有记录\n";
    if (table.RowCount() > 0) table.Print(out);
    return 0;
}

int ShowNames(const store::ProjectDir& dir, int loop, std::ostream& out) {
    const store::ChineseNameFile names = store::ReadChineseNameFile(dir, loop);
    Table table({"地址", "描述"});
    for (int a = 0; a < store::kAddressCount; ++a) {
        const std::string text = store::NameText(names[static_cast<std::size_t>(a)]);
        if (!text.empty()) table.AddRow({std::to_string(a), Shown(text)});
    }
    out << store::FileName(store::ProjectFile::ChineseNames, loop) << "：" << table.RowCount()
        << " 个描述\n";
    if (table.RowCount() > 0) table.Print(out);
    return 0;
}

int ShowPhrases(const store::ProjectDir& dir, std::ostream& out) {
    const phrases::PhraseImage image = phrases::ReadPhraseLibrary(dir);
    Table table({"编号", "内容"});
    for (int n = 0; n < phrases::kPhraseCount; ++n) {
        const std::string text = phrases::PhraseText(image, n);
        // Quoted, so that a trailing blank stays visible.
        if (!text.empty()) table.AddRow({std::to_string(n), "\"" + Shown(text) + "\""});
    }
    out << "word.dat：" << table.RowCount() << " 个词组\n";
    if (table.RowCount() > 0) table.Print(out);
    return 0;
}

int ShowNodes(const store::ProjectDir& dir, int model, std::ostream& out, std::ostream& err) {
    const store::NodeSettings settings = store::ReadNodeSettings(dir, model);
    if (settings.file.empty()) {
        err << "MX300KC 没有节点设置\n";
        return 1;
    }
    Table table({"项目", "值"});
    for (const auto& [label, value] : settings.rows) table.AddRow({label, value});
    out << settings.file << (settings.present ? "\n" : "（文件不存在，显示初始值）\n");
    table.Print(out);
    return 0;
}

int ShowInfo(const store::ProjectDir& dir, std::ostream& out) {
    const store::ProjectInfo info = store::ReadProjectInfo(dir);
    Table table({"项目", "内容"});
    for (int f = 0; f < store::kInfoFieldCount; ++f)
        table.AddRow(
            {std::string(store::InfoFieldLabel(f)), Shown(info[static_cast<std::size_t>(f)])});
    table.Print(out);
    return 0;
}

}  // namespace

int ShowProjectData(const store::ProjectDir& dir, int controllerModel,
                    const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string what = args.empty() ? std::string() : args[0];
    int loop = 0;
    const bool perLoop = what == "devices" || what == "names";
    if (perLoop) {
        if (args.size() != 2 || !ParseLoop(args[1], loop)) {
            err << "velsend-cli: show " << what << " LOOP (0..255)\n";
            return kUsage;
        }
        return what == "devices" ? ShowDevices(dir, loop, controllerModel, out)
                                 : ShowNames(dir, loop, out);
    }
    if (args.size() == 1 && what == "phrases") return ShowPhrases(dir, out);
    if (args.size() == 1 && what == "nodes") return ShowNodes(dir, controllerModel, out, err);
    if (args.size() == 1 && what == "info") return ShowInfo(dir, out);
    err << "velsend-cli: show: unknown item " << what
        << " (show devices LOOP | names LOOP | phrases | nodes | info | logic)\n";
    return kUsage;
}

}  // namespace velsend::cli

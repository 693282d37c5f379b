#include <filesystem>
#include <optional>

#include "base/controller_model.h"
#include "base/field_check.h"
#include "base/platform/system.h"
#include "cli/commands.h"
#include "core/exchange/sd_import.h"
#include "core/exchange/sd_pack.h"
#include "core/exchange/text_print.h"
#include "core/exchange/velnet_import.h"
#ifdef VELSEND_SHEETS
#include "core/exchange/excel_exchange.h"
#include "core/exchange/templates.h"
#endif

namespace velsend::cli {

#ifdef VELSEND_SHEETS
int ExcelExportCommand(Context& c) {
    auto result = exchange::ExportExcel(c.state.Project, platform::PathFromUtf8(c.options.args[0]));
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
    auto result = exchange::ImportExcel(c.state.Project, platform::PathFromUtf8(args[0]), family);
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << result->Text(static_cast<std::size_t>(-1)) << "\n"
                  << exchange::kImportDoneText << "\n";
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
        platform::PathFromUtf8(c.options.args[1]));
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << exchange::kTemplateDoneText << "\n";
    if (*result != platform::PathFromUtf8(c.options.args[1]))
        c.streams.out << "模板为.xlsx格式，已保存为“" << platform::PathToUtf8(result->filename())
                      << "”。\n";
    return kExitOk;
}
#else
namespace {
int NoSheets(Context& c) {
    c.streams.err << "velsend-cli: " << c.options.command << ": " << kNoSheetsText << "\n";
    return kExitFailed;
}
}  // namespace
int ExcelExportCommand(Context& c) {
    return NoSheets(c);
}
int ExcelImportCommand(Context& c) {
    return NoSheets(c);
}
int TemplateCommand(Context& c) {
    return NoSheets(c);
}
#endif

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
            if (item == "devices")
                sections.devices = true;
            else if (item == "names")
                sections.names = true;
            else if (item == "logic")
                sections.logic = true;
            else if (item == "phrases")
                sections.phrases = true;
            else {
                c.streams.err
                    << "velsend-cli: sd-import: --only takes devices,names,logic,phrases\n";
                return kExitUsage;
            }
            list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        }
    }
    const auto result = exchange::ImportSdCard(
        c.state.Project, sd, platform::PathFromUtf8(c.options.args[0]), start, sections);
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
    const std::filesystem::path source = pairs.count("--source")
                                             ? platform::PathFromUtf8(pairs["--source"])
                                             : exchange::DefaultVelnetFolder();
    const auto result = exchange::ImportVelnet(c.state.Project, source, range[0], range[1]);
    if (!result) {
        c.streams.err << result.error().Full() << "\n";
        return kExitFailed;
    }
    c.streams.out << result->message << "\n";
    return kExitOk;
}

}  // namespace velsend::cli

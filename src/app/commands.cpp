#include "app/commands.h"

#include <QFile>

#include <QDialog>
#include <stdexcept>
#include <string>

#include "app/sheet_commands.h"
#include "base/command_ids.h"
#include "base/controller_model.h"
#include "core/exchange/excel_types.h"
#include "core/exchange/sd_import.h"
#include "core/exchange/sd_pack.h"
#include "core/exchange/templates.h"
#include "core/exchange/text_print.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "gui/burner/chip_copy_dlg.h"
#include "gui/burner/transfer_progress_dlg.h"
#include "gui/burner/transfer_rules_dlg.h"
#include "gui/devices/device_detail_dlg.h"
#include "gui/devices/device_type_dlg.h"
#include "gui/exchange/sd_dlg.h"
#include "gui/exchange/velnet_dlg.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/run_state.h"
#include "gui/logic/logic_rules_dlg.h"
#include "gui/loops/loop_copy_dlg.h"
#include "gui/loops/loop_stats_dlg.h"
#include "gui/phrases/phrase_editor_dlg.h"
#include "gui/phrases/phrase_init_dlg.h"
#include "gui/store/node_set_dlg.h"
#include "gui/store/project_info_dlg.h"
#include "gui/store/project_init_dlg.h"

namespace velsend::app::gui {

using namespace velsend::base;

void CommandRegistry::Add(int id, std::function<void()> handler) {
    if (!handlers_.emplace(id, std::move(handler)).second)
        throw std::logic_error("menu command " + std::to_string(id) + " registered twice");
}

void CommandRegistry::Execute(int id) const {
    const auto it = handlers_.find(id);
    if (it != handlers_.end()) it->second();
}

namespace {

using ui::Q;

// Opens dialog D with the arguments and waits for it.
template <typename D, typename... Args>
void Show(Args&&... args) {
    D dialog(std::forward<Args>(args)...);
    dialog.exec();
}

void SelectModelCommand(const CommandContext& c, int code) {
    SelectModel(c.state, code, c.messages);
    // Also after a refusal: the click has toggled the item's check mark.
    c.showModel();
}

void NodeSettings(const CommandContext& c) {
    switch (Traits(c.state.ControllerModel).nodeRecord) {
        case NodeRecordKind::NineByte:
            Show<store::NineByteNodeSetDlg>(c.state.Node9, c.state.Project, c.messages, c.window);
            break;
        case NodeRecordKind::TenByte:
            Show<store::TenByteNodeSetDlg>(c.state.Node10, c.state.Project, c.messages, c.window);
            break;
        case NodeRecordKind::None:
            break;  // the MX300KC family has no node settings
    }
}

void BusDeviceClass(const CommandContext& c, int busDeviceClass) {
    c.state.BusDeviceClass = busDeviceClass;
    Show<devices::DeviceTypeDlg>(c.state, c.messages, c.window);
}

void DeviceDetail(const CommandContext& c) {
    c.state.BusDeviceClass = store::kAlarmClass;
    Show<devices::DeviceDetailDlg>(c.state, c.messages, c.window);
}

void LoopQuery(const CommandContext& c) {
    switch (Traits(c.state.ControllerModel).loopQuery) {
        case LoopQueryStyle::SingleLoop:
            loops::RunLoopQuery(c.state, c.messages, c.window);
            break;
        case LoopQueryStyle::Statistics:
            Show<loops::LoopStatsDlg>(c.state, c.messages, 0, c.window);
            break;
        case LoopQueryStyle::None:
            break;  // the MX300KC family has no loop query
    }
}

void PhraseInit(const CommandContext& c, int mode) {
    c.state.PhraseInitMode = mode;
    Show<phrases::PhraseInitDlg>(c.state.Project, c.state.PhraseInitMode, c.messages, c.window);
}

void TransferRules(const CommandContext& c) {
    c.state.Ports.Rescan();  // an adapter plugged in since the last look is listed
    Show<burner::TransferRulesDlg>(c.state.Rules, c.state.Ports, c.state.ControllerModel,
                                   c.messages, c.window);
}

void Transfer(const CommandContext& c, burner::TransferKind kind) {
    c.state.TransferKind = kind;
    Show<burner::TransferProgressDlg>(kind, c.state, c.messages, c.window);
}

void VelnetImport(const CommandContext& c) {
    exchange::VelnetImportDlg range(c.state, c.messages, c.window);
    if (range.exec() != QDialog::Accepted) return;
    Show<exchange::VelnetImportRunDlg>(c.state.Project, range.Folder(), c.state.VelnetFirstLoop,
                                       c.state.VelnetLastLoop, c.messages, c.window);
}

void TextPrint(const CommandContext& c) {
    const auto result = exchange::WriteTextPrintFiles(c.state.Project, c.state.ControllerModel);
    // The second line says where the files went, as a failure says why.
    c.messages.Message(c.window,
                       result ? Q(result->message) + QStringLiteral("\n文件夹：") +
                                    ui::ShownPath(QFile::decodeName(c.state.Project.Root().c_str()))
                              : Q(result.error().Full()),
                       Q(exchange::kPrintCaption),
                       result ? ui::MessageIcon::None : ui::MessageIcon::Warning);
}

void SdPack(const CommandContext& c) {
    const SdFamily family = Traits(c.state.ControllerModel).sdFamily;
    if (family == SdFamily::None) return;  // the families without SD cards
    exchange::SdPackDlg dialog(exchange::LayoutOf(family).maxStartLoop, c.window);
    if (dialog.exec() != QDialog::Accepted) return;
    c.state.SdControllerId = dialog.ControllerId();
    c.state.SdStartLoop = dialog.StartLoop();
    const auto result = exchange::PackSdCard(c.state.Project, family, c.state.SdControllerId,
                                             c.state.SdStartLoop);
    c.messages.Message(c.window,
                       result ? Q(result->message) + QStringLiteral("\n文件：") +
                                    ui::ShownPath(QFile::decodeName(result->file.c_str()))
                              : Q(result.error().Full()),
                       Q(exchange::kSdCaption), ui::MessageIcon::None);
}

// Each command reads its own family's cards, whatever model is selected.
void SdImport(const CommandContext& c, SdFamily family) {
    // "数据文件|MXKA???.DAT|" as a Qt filter; names are matched in either case.
    const QString filter = Q(exchange::ImportDialogFilter(family)).section(QLatin1Char('|'), 0, 0);
    const QString pattern = Q(exchange::ImportDialogFilter(family)).section(QLatin1Char('|'), 1, 1);
    const QString file = c.messages.OpenFileName(
        c.window, Q(exchange::ImportDialogTitle(family)),
        QString::fromStdString(c.state.Project.Root().string()),
        filter + QStringLiteral(" (") + pattern + QLatin1Char(' ') + pattern.toLower() +
            QStringLiteral(")"));
    if (file.isEmpty()) return;
    exchange::SdImportDlg dialog(family, c.window);
    if (dialog.exec() != QDialog::Accepted) return;
    const auto result = exchange::ImportSdCard(c.state.Project, family, file.toStdString(),
                                               dialog.StartLoop(), dialog.Sections());
    c.messages.Message(c.window, Q(result ? result->message : result.error().Full()),
                       Q(exchange::kSdCaption), ui::MessageIcon::None);
}

}  // namespace

void RegisterCommands(CommandRegistry& registry, const CommandContext& context) {
    // Each handler keeps its own copy of the context (it only holds references).
    auto add = [&](int id, void (*handler)(const CommandContext&)) {
        registry.Add(id, [context, handler] { handler(context); });
    };
    auto addWith = [&](int id, auto handler) {
        registry.Add(id, [context, handler] { handler(context); });
    };
    for (int code = kFirstModel; code <= kLastModel; ++code) {
        addWith(ModelInfo(code).selectCommand,
                [code](const CommandContext& c) { SelectModelCommand(c, code); });
    }
    add(ID_NODE_SETTINGS, NodeSettings);
    add(ID_QUICK_SET, [](const CommandContext& c) {
        Show<devices::QuickSetDlg>(c.state, c.messages, c.window);
    });
    const std::pair<int, int> classes[] = {{ID_ALARM_CLASS, store::kAlarmClass},
                                           {ID_ZONE_DISPLAY_CLASS, store::kZoneDisplayClass},
                                           {ID_MODULE_CLASS, store::kModuleClass},
                                           {ID_BORROWED_CLASS, store::kBorrowedClass}};
    for (const auto& [id, busClass] : classes) {
        // Named captures: clang 14 cannot capture a structured binding.
        addWith(id, [b = busClass](const CommandContext& c) { BusDeviceClass(c, b); });
    }
    add(ID_DEVICE_DETAIL, DeviceDetail);
    add(ID_LOOP_QUERY, LoopQuery);
    add(ID_LOOP_COPY, [](const CommandContext& c) {
        Show<loops::LoopCopyDlg>(c.state.Project, c.messages, c.window);
    });
    add(ID_LOGIC_SETTINGS, [](const CommandContext& c) {
        Show<logic::LogicRulesDlg>(c.state, c.messages, c.window);
    });
    add(ID_PHRASE_EDITOR, [](const CommandContext& c) {
        Show<phrases::PhraseEditorDlg>(c.state.Project, c.messages, c.window);
    });
    add(ID_PHRASES_CLEAR, [](const CommandContext& c) { PhraseInit(c, phrases::kInitEmpty); });
    add(ID_PHRASES_COMMON, [](const CommandContext& c) { PhraseInit(c, phrases::kInitCommon); });
    add(ID_TRANSFER_RULES, TransferRules);
    const std::pair<int, burner::TransferKind> transfers[] = {
        {ID_SEND_NODES, burner::TransferKind::SendNodes},
        {ID_SEND_DEVICES, burner::TransferKind::SendDevices},
        {ID_SEND_LOGIC, burner::TransferKind::SendLogic},
        {ID_SEND_PHRASES, burner::TransferKind::SendPhrases},
        {ID_ERASE_CHIP, burner::TransferKind::EraseChip},
        {ID_SEND_NAMES, burner::TransferKind::SendNames}};
    for (const auto& [id, kind] : transfers) {
        addWith(id, [k = kind](const CommandContext& c) { Transfer(c, k); });
    }
    add(ID_BACKUP, [](const CommandContext& c) {
        Show<burner::ChipCopyDlg>(c.state, c.messages, c.window);
    });
    add(ID_INITIALISE, [](const CommandContext& c) {
        Show<store::ProjectInitDlg>(c.state.Project, c.messages, c.window);
    });
    add(ID_VELNET_IMPORT, VelnetImport);
    add(ID_TEXT_PRINT, TextPrint);
    add(ID_PROJECT_NAME, [](const CommandContext& c) {
        Show<store::ProjectNameDlg>(c.state.Project, c.messages, c.window);
    });
    add(ID_PROJECT_DETAILS, [](const CommandContext& c) {
        Show<store::ProjectInfoDlg>(c.state.Project, c.messages, c.window);
    });
    add(ID_SD_PACK, SdPack);
    add(ID_SD_IMPORT_KA, [](const CommandContext& c) { SdImport(c, SdFamily::KA); });
    add(ID_SD_IMPORT_KBX, [](const CommandContext& c) { SdImport(c, SdFamily::KBX); });
    add(ID_STANDARD_TEMPLATE, [](const CommandContext& c) {
        c.sheets.WriteTemplate(exchange::TemplateKind::Standard);
    });
    add(ID_EXAMPLE_TEMPLATE, [](const CommandContext& c) {
        c.sheets.WriteTemplate(exchange::TemplateKind::Example);
    });
    add(ID_EXCEL_IMPORT_KA,
        [](const CommandContext& c) { c.sheets.Import(exchange::ExcelFamily::KA); });
    add(ID_EXCEL_IMPORT_KBX,
        [](const CommandContext& c) { c.sheets.Import(exchange::ExcelFamily::KBX); });
    add(ID_EXCEL_EXPORT, [](const CommandContext& c) { c.sheets.Export(); });
    registry.MarkReadsProject(
        {ID_NODE_SETTINGS, ID_QUICK_SET, ID_ALARM_CLASS, ID_ZONE_DISPLAY_CLASS, ID_MODULE_CLASS,
         ID_BORROWED_CLASS, ID_DEVICE_DETAIL, ID_LOOP_QUERY, ID_LOOP_COPY, ID_LOGIC_SETTINGS,
         ID_PHRASE_EDITOR, ID_SEND_NODES, ID_SEND_DEVICES, ID_SEND_LOGIC, ID_SEND_PHRASES,
         ID_SEND_NAMES, ID_VELNET_IMPORT, ID_TEXT_PRINT, ID_PROJECT_NAME, ID_PROJECT_DETAILS,
         ID_SD_PACK, ID_SD_IMPORT_KA, ID_SD_IMPORT_KBX, ID_EXCEL_IMPORT_KA, ID_EXCEL_IMPORT_KBX,
         ID_EXCEL_EXPORT});
}

}  // namespace velsend::app::gui

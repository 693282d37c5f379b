#include "app/commands.h"

#include <QDialog>
#include <stdexcept>
#include <string>

#include "base/command_ids.h"
#include "base/controller_model.h"
#include "core/exchange/excel_types.h"
#include "core/exchange/templates.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "gui/burner/chip_copy_dlg.h"
#include "gui/burner/transfer_progress_dlg.h"
#include "gui/burner/transfer_rules_dlg.h"
#include "gui/devices/device_detail_dlg.h"
#include "gui/devices/device_type_dlg.h"
#include "gui/exchange/exchange_commands.h"
#include "gui/exchange/sheet_commands.h"
#include "gui/kit/message_service.h"
#include "gui/kit/run_state.h"
#include "gui/logic/logic_rules_dlg.h"
#include "gui/loops/loop_copy_dlg.h"
#include "gui/loops/loop_stats_dlg.h"
#include "gui/phrases/phrase_editor_dlg.h"
#include "gui/phrases/phrase_init_dlg.h"
#include "gui/store/node_set_dlg.h"
#include "gui/store/project_info_dlg.h"
#include "gui/store/project_init_dlg.h"

namespace velsend::app {

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

// Opens dialog D with the arguments and waits for it.
template <typename D, typename... Args>
void Show(Args&&... args) {
    D dialog(std::forward<Args>(args)...);
    dialog.exec();
}

void SelectModelCommand(const CommandContext& c, int code) {
    session::SelectRunModel(c.state, code, c.messages);
    // Also after a refusal: the click has toggled the item's check mark.
    c.showModel();
}

void NodeSettings(const CommandContext& c) {
    switch (Traits(c.state.ControllerModel).nodeRecord) {
        case NodeRecordKind::NineByte:
            Show<gui::store::NineByteNodeSetDlg>(c.state.Node9, c.state.Project, c.messages,
                                                 c.window);
            break;
        case NodeRecordKind::TenByte:
            Show<gui::store::TenByteNodeSetDlg>(c.state.Node10, c.state.Project, c.messages,
                                                c.window);
            break;
        case NodeRecordKind::None:
            break;  // the MX300KC family has no node settings
    }
}

void BusDeviceClass(const CommandContext& c, int busDeviceClass) {
    c.state.BusDeviceClass = busDeviceClass;
    Show<gui::devices::DeviceTypeDlg>(c.state, c.messages, c.window);
}

void DeviceDetail(const CommandContext& c) {
    c.state.BusDeviceClass = store::kAlarmClass;
    Show<gui::devices::DeviceDetailDlg>(c.state, c.messages, c.window);
}

void LoopQuery(const CommandContext& c) {
    switch (Traits(c.state.ControllerModel).loopQuery) {
        case LoopQueryStyle::SingleLoop:
            gui::loops::RunLoopQuery(c.state, c.messages, c.window);
            break;
        case LoopQueryStyle::Statistics:
            Show<gui::loops::LoopStatsDlg>(c.state, c.messages, 0, c.window);
            break;
        case LoopQueryStyle::None:
            break;  // the MX300KC family has no loop query
    }
}

void PhraseInit(const CommandContext& c, int mode) {
    c.state.PhraseInitMode = mode;
    Show<gui::phrases::PhraseInitDlg>(c.state.Project, c.state.PhraseInitMode, c.messages,
                                      c.window);
}

void TransferRules(const CommandContext& c) {
    c.state.Ports.Rescan();  // an adapter plugged in since the last look is listed
    Show<gui::burner::TransferRulesDlg>(c.state.Rules, c.state.Ports, c.state.ControllerModel,
                                        c.messages, c.window);
}

void Transfer(const CommandContext& c, burner::TransferKind kind) {
    Show<gui::burner::TransferProgressDlg>(kind, c.state, c.messages, c.window);
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
        Show<gui::devices::QuickSetDlg>(c.state, c.messages, c.window);
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
        Show<gui::loops::LoopCopyDlg>(c.state.Project, c.messages, c.window);
    });
    add(ID_LOGIC_SETTINGS, [](const CommandContext& c) {
        Show<gui::logic::LogicRulesDlg>(c.state, c.messages, c.window);
    });
    add(ID_PHRASE_EDITOR, [](const CommandContext& c) {
        Show<gui::phrases::PhraseEditorDlg>(c.state.Project, c.messages, c.window);
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
        Show<gui::burner::ChipCopyDlg>(c.state, c.messages, c.window);
    });
    add(ID_INITIALISE, [](const CommandContext& c) {
        Show<gui::store::ProjectInitDlg>(c.state.Project, c.messages, c.window);
    });
    add(ID_VELNET_IMPORT, [](const CommandContext& c) {
        gui::exchange::RunVelnetImport(c.state, c.messages, c.window);
    });
    add(ID_TEXT_PRINT, [](const CommandContext& c) {
        gui::exchange::RunTextPrint(c.state, c.messages, c.window);
    });
    add(ID_PROJECT_NAME, [](const CommandContext& c) {
        Show<gui::store::ProjectNameDlg>(c.state.Project, c.messages, c.window);
    });
    add(ID_PROJECT_DETAILS, [](const CommandContext& c) {
        Show<gui::store::ProjectInfoDlg>(c.state.Project, c.messages, c.window);
    });
    add(ID_SD_PACK,
        [](const CommandContext& c) { gui::exchange::RunSdPack(c.state, c.messages, c.window); });
    add(ID_SD_IMPORT_KA, [](const CommandContext& c) {
        gui::exchange::RunSdImport(c.state, c.messages, c.window, SdFamily::KA);
    });
    add(ID_SD_IMPORT_KBX, [](const CommandContext& c) {
        gui::exchange::RunSdImport(c.state, c.messages, c.window, SdFamily::KBX);
    });
    add(ID_STANDARD_TEMPLATE,
        [](const CommandContext& c) { c.sheets.WriteTemplate(exchange::TemplateKind::Standard); });
    add(ID_EXAMPLE_TEMPLATE,
        [](const CommandContext& c) { c.sheets.WriteTemplate(exchange::TemplateKind::Example); });
    add(ID_EXCEL_IMPORT_KA,
        [](const CommandContext& c) { c.sheets.Import(exchange::ExcelFamily::KA); });
    add(ID_EXCEL_IMPORT_KBX,
        [](const CommandContext& c) { c.sheets.Import(exchange::ExcelFamily::KBX); });
    add(ID_EXCEL_EXPORT, [](const CommandContext& c) { c.sheets.Export(); });
}

}  // namespace velsend::app

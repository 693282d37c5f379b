#include "app/gui/main_frame.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "base/command_ids.h"
#include "base/controller_model.h"
#include "app/gui/vel_view.h"
#include "app/lock_keys.h"
#include "app/menus.h"
#include "app/model_selection.h"
#include "burner/backup_dlg.h"
#include "burner/set_dlg.h"
#include "burner/show_dlg.h"
#include "devices/device_set_dlg.h"
#include "devices/device_type_dlg.h"
#include "exchange/sd_dlg.h"
#include "exchange/sd_import.h"
#include "exchange/sd_pack.h"
#include "exchange/text_print.h"
#include "exchange/velnet_dlg.h"
#include "logic/logic_set_dlg.h"
#include "loops/copy_loop_dlg.h"
#include "loops/loop_stat_dlg.h"
#include "phrases/init_word_dlg.h"
#include "phrases/phrase_editor_dlg.h"
#include "store/init_dlg.h"
#include "store/node_set_dlg.h"
#include "store/project_info_dlg.h"
#include "ui/message_service.h"
#include "ui/qt_text.h"

namespace velsend::app::gui {

using namespace velsend::base;
namespace {

using ui::Q;

constexpr int kInitialWidth = 1000;
constexpr int kInitialHeight = 440;

QLabel* IndicatorPane(const QString& sample, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(sample) + 12);
    return label;
}

}  // namespace

CMainFrame::CMainFrame(RunState& state, ui::MessageService& messages, QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      messages_(messages),
      view_(new CVelView(this)),
      menuBar_(new QMenuBar(this)),
      idle_(new QLabel(QStringLiteral("就绪"), this)),
      caps_(IndicatorPane(QStringLiteral("CAP"), this)),
      num_(IndicatorPane(QStringLiteral("NUM"), this)),
      scroll_(IndicatorPane(QStringLiteral("SCRL"), this)),
      lockTimer_(new QTimer(this)) {
    setCentralWidget(view_);
    view_->Attach(state_, messages_);
    setMenuBar(menuBar_);

    // The message pane shows a highlighted item's prompt; the idle text is a
    // normal widget, which the status bar hides while a prompt is up.
    statusBar()->addWidget(idle_, 1);
    statusBar()->addPermanentWidget(caps_);
    statusBar()->addPermanentWidget(num_);
    statusBar()->addPermanentWidget(scroll_);
    UpdateLockIndicators();
    connect(lockTimer_, &QTimer::timeout, this, &CMainFrame::UpdateLockIndicators);
    lockTimer_->start(300);

    BuildMenuBars();
    RegisterHandlers();
    ShowModel();
    messages_.SetPromptParent(this);

    resize(kInitialWidth, kInitialHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

CMainFrame::~CMainFrame() {
    messages_.SetPromptParent(nullptr);
    // The bar only borrows the popups and actions; let it drop them first.
    menuBar_->clear();
}

void CMainFrame::BuildMenuBars() {
    for (const MenuBarLayout& layout : MenuBars()) {
        BuiltBar bar;
        bar.id = layout.id;
        auto makeCommand = [&](const MenuEntry& entry) {
            auto* action = new QAction(Q(entry.text), this);
            action->setStatusTip(Q(CommandPrompt(entry.id)));
            action->setData(entry.id);
            for (int code = kFirstModel; code <= kLastModel; ++code) {
                if (ModelInfo(code).selectCommand == entry.id) action->setCheckable(true);
            }
            const int id = entry.id;
            connect(action, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
            bar.commands[id] = action;
            return action;
        };
        for (const MenuEntry& entry : layout.entries) {
            if (entry.kind == MenuEntry::Kind::Popup) {
                auto* menu = new QMenu(Q(entry.text), this);
                for (const MenuEntry& item : entry.items) {
                    if (item.kind == MenuEntry::Kind::Separator)
                        menu->addSeparator();
                    else
                        menu->addAction(makeCommand(item));
                }
                bar.topLevel.push_back(menu->menuAction());
            } else {
                bar.topLevel.push_back(makeCommand(entry));
            }
        }
        bars_.push_back(std::move(bar));
    }
}

void CMainFrame::ShowMenuBar(int id) {
    for (const BuiltBar& bar : bars_) {
        if (bar.id != id) continue;
        menuBar_->clear();
        menuBar_->addActions(bar.topLevel);
        shownBar_ = id;
        return;
    }
}

void CMainFrame::ShowModel() {
    const ControllerModelInfo& model = ModelInfo(state_.ControllerModel);
    ShowMenuBar(model.menuBar);
    for (const BuiltBar& bar : bars_) {
        for (int code = kFirstModel; code <= kLastModel; ++code) {
            const auto it = bar.commands.find(ModelInfo(code).selectCommand);
            if (it != bar.commands.end()) it->second->setChecked(code == state_.ControllerModel);
        }
    }
    setWindowTitle(Q(MainCaption(state_.ControllerModel)));
}

QAction* CMainFrame::CommandAction(int menuBar, int id) const {
    for (const BuiltBar& bar : bars_) {
        if (bar.id != menuBar) continue;
        const auto it = bar.commands.find(id);
        return it == bar.commands.end() ? nullptr : it->second;
    }
    return nullptr;
}

QList<QAction*> CMainFrame::TopLevelActions(int menuBar) const {
    for (const BuiltBar& bar : bars_)
        if (bar.id == menuBar) return bar.topLevel;
    return {};
}

QString CMainFrame::IdleText() const {
    return idle_->text();
}

void CMainFrame::UpdateLockIndicators() {
    const LockKeyState keys = ReadLockKeys();
    caps_->setText(keys.caps ? QStringLiteral("CAP") : QString());
    num_->setText(keys.num ? QStringLiteral("NUM") : QString());
    scroll_->setText(keys.scroll ? QStringLiteral("SCRL") : QString());
}

void CMainFrame::ExecuteCommand(int id) {
    const auto it = handlers_.find(id);
    if (it != handlers_.end()) it->second();
}

void CMainFrame::RegisterHandlers() {
    for (int code = kFirstModel; code <= kLastModel; ++code) {
        handlers_[ModelInfo(code).selectCommand] = [this, code] { OnSelectModel(code); };
    }
    handlers_[ID_NODE_SETTINGS] = [this] { OnNodeSettings(); };
    handlers_[ID_QUICK_SET] = [this] { OnQuickSet(); };
    handlers_[ID_ALARM_CLASS] = [this] { OnBusDeviceClass(0); };
    handlers_[ID_ZONE_DISPLAY_CLASS] = [this] { OnBusDeviceClass(1); };
    handlers_[ID_MODULE_CLASS] = [this] { OnBusDeviceClass(2); };
    handlers_[ID_BORROWED_CLASS] = [this] { OnBusDeviceClass(3); };
    handlers_[ID_DEVICE_DETAIL] = [this] { OnDeviceDetail(); };
    handlers_[ID_LOOP_QUERY] = [this] { OnLoopQuery(); };
    handlers_[ID_LOOP_COPY] = [this] { OnLoopCopy(); };
    handlers_[ID_LOGIC_SETTINGS] = [this] { OnLogicSettings(); };
    handlers_[ID_PHRASE_EDITOR] = [this] { OnPhraseEditor(); };
    handlers_[ID_PHRASES_CLEAR] = [this] { OnPhraseInit(0); };
    handlers_[ID_PHRASES_COMMON] = [this] { OnPhraseInit(1); };
    handlers_[ID_TRANSFER_RULES] = [this] { OnTransferRules(); };
    handlers_[ID_SEND_NODES] = [this] { OnTransfer(0); };
    handlers_[ID_SEND_DEVICES] = [this] { OnTransfer(1); };
    handlers_[ID_SEND_LOGIC] = [this] { OnTransfer(2); };
    handlers_[ID_SEND_PHRASES] = [this] { OnTransfer(3); };
    handlers_[ID_ERASE_CHIP] = [this] { OnTransfer(4); };
    handlers_[ID_SEND_NAMES] = [this] { OnTransfer(5); };
    handlers_[ID_BACKUP] = [this] { OnBackup(); };
    handlers_[ID_INITIALISE] = [this] { OnInitialise(); };
    handlers_[ID_VELNET_IMPORT] = [this] { OnVelnetImport(); };
    handlers_[ID_TEXT_PRINT] = [this] { OnTextPrint(); };
    handlers_[ID_PROJECT_NAME] = [this] { OnProjectName(); };
    handlers_[ID_PROJECT_DETAILS] = [this] { OnProjectDetails(); };
    handlers_[ID_SD_PACK] = [this] { OnSdPack(); };
    handlers_[ID_SD_IMPORT_KA] = [this] { OnSdImport(SdFamily::KA); };
    handlers_[ID_SD_IMPORT_KBX] = [this] { OnSdImport(SdFamily::KBX); };
    for (int id : CommandIds()) {
        if (CVelView::HandlesCommand(id)) handlers_[id] = [this, id] { view_->OnCommand(id); };
    }
}

void CMainFrame::OnSelectModel(int code) {
    SelectModel(state_, code, messages_);
    // Also after a refusal: the click has toggled the item's check mark.
    ShowModel();
}

void CMainFrame::OnInitialise() {
    store::CInitDlg dialog(state_.Project, messages_, this);
    dialog.exec();
}

void CMainFrame::OnBusDeviceClass(int busDeviceClass) {
    state_.BusDeviceClass = busDeviceClass;
    devices::CDeviceTypeDlg dialog(state_, messages_, this);
    dialog.exec();
}
void CMainFrame::OnDeviceDetail() {
    state_.BusDeviceClass = 0;
    devices::CMDeviceSetDlgX dialog(state_, messages_, this);
    dialog.exec();
}
void CMainFrame::OnQuickSet() {
    devices::CFastSetDlg dialog(state_, messages_, this);
    dialog.exec();
}
void CMainFrame::OnPhraseInit(int mode) {
    state_.PhraseInitMode = mode;
    phrases::CInitWordDlg dialog(state_.Project, state_.PhraseInitMode, messages_, this);
    dialog.exec();
}

void CMainFrame::OnNodeSettings() {
    switch (Traits(state_.ControllerModel).nodeRecord) {
        case NodeRecordKind::NineByte: {
            store::CNodeSetDlg dialog(state_.Node9, state_.Project, messages_, this);
            dialog.exec();
            break;
        }
        case NodeRecordKind::TenByte: {
            store::CNodeSetDlg2 dialog(state_.Node10, state_.Project, messages_, this);
            dialog.exec();
            break;
        }
        case NodeRecordKind::None:
            break;  // the MX300KC family has no node settings
    }
}

void CMainFrame::OnPhraseEditor() {
    phrases::COtherTypedlg1 dialog(state_.Project, messages_, this);
    dialog.exec();
}

void CMainFrame::OnTransferRules() {
    state_.Ports.Rescan();  // an adapter plugged in since the last look is listed
    burner::CSetDlg dialog(state_.Rules, state_.Ports, state_.ControllerModel, messages_, this);
    dialog.exec();
}

void CMainFrame::OnProjectName() {
    store::CProjNameDlg dialog(state_.Project, messages_, this);
    dialog.exec();
}

void CMainFrame::OnProjectDetails() {
    store::CProjInfoDlg dialog(state_.Project, messages_, this);
    dialog.exec();
}
void CMainFrame::OnTransfer(int kind) {
    state_.TransferKind = kind;
    burner::CShowDlg dialog(state_, messages_, this);
    dialog.exec();
}

// The dialogs behind these commands arrive with their subsystems.
void CMainFrame::OnLoopQuery() {
    switch (Traits(state_.ControllerModel).loopQuery) {
        case LoopQueryStyle::SingleLoop:
            loops::RunLoopQuery(state_, messages_, this);
            break;
        case LoopQueryStyle::Statistics: {
            loops::CLoopStatDlgX dialog(state_, messages_, 0, this);
            dialog.exec();
            break;
        }
        case LoopQueryStyle::None:
            break;  // the MX300KC family has no loop query
    }
}
void CMainFrame::OnLoopCopy() {
    loops::CCopyLoopDlg dialog(state_.Project, messages_, this);
    dialog.exec();
}
void CMainFrame::OnLogicSettings() {
    logic::CLogicSetDlg dialog(state_, messages_, this);
    dialog.exec();
}
void CMainFrame::OnBackup() {
    burner::CBackupDlg dialog(state_, messages_, this);
    dialog.exec();
}
void CMainFrame::OnVelnetImport() {
    exchange::CVelnetDlg range(state_, messages_, this);
    if (range.exec() != QDialog::Accepted) return;
    exchange::CChangeDlg change(state_.Project, range.Folder(), state_.VelnetFirstLoop,
                                state_.VelnetLastLoop, messages_, this);
    change.exec();
}

void CMainFrame::OnTextPrint() {
    const auto result = exchange::WriteTextPrintFiles(state_.Project, state_.ControllerModel);
    messages_.Message(this, Q(result ? result->message : result.error().Full()),
                      Q(exchange::kPrintCaption),
                      result ? ui::MessageIcon::None : ui::MessageIcon::Warning);
}

void CMainFrame::OnSdPack() {
    const SdFamily family = Traits(state_.ControllerModel).sdFamily;
    if (family == SdFamily::None) return;  // the families without SD cards
    exchange::CIDDlg dialog(exchange::LayoutOf(family).maxStartLoop, this);
    if (dialog.exec() != QDialog::Accepted) return;
    state_.SdControllerId = dialog.ControllerId();
    state_.SdStartLoop = dialog.StartLoop();
    const auto result =
        exchange::PackSdCard(state_.Project, family, state_.SdControllerId, state_.SdStartLoop);
    messages_.Message(this, Q(result ? result->message : result.error().Full()),
                      Q(exchange::kSdCaption), ui::MessageIcon::None);
}

// Each command reads its own family's cards, whatever model is selected.
void CMainFrame::OnSdImport(SdFamily family) {
    // "数据文件|MXKA???.DAT|" as a Qt filter; names are matched in either case.
    const QString filter = Q(exchange::ImportDialogFilter(family)).section(QLatin1Char('|'), 0, 0);
    const QString pattern = Q(exchange::ImportDialogFilter(family)).section(QLatin1Char('|'), 1, 1);
    const QString file = messages_.OpenFileName(
        this, Q(exchange::ImportDialogTitle(family)),
        QString::fromStdString(state_.Project.Root().string()),
        filter + QStringLiteral(" (") + pattern + QLatin1Char(' ') + pattern.toLower() +
            QStringLiteral(")"));
    if (file.isEmpty()) return;
    exchange::CIddlg1 dialog(family, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const auto result = exchange::ImportSdCard(state_.Project, family, file.toStdString(),
                                               dialog.StartLoop(), dialog.Sections());
    messages_.Message(this, Q(result ? result->message : result.error().Full()),
                      Q(exchange::kSdCaption), ui::MessageIcon::None);
}

}  // namespace velsend::app::gui

#include "app/main_frame.h"

#include "base/project_lock.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "base/command_ids.h"
#include "base/controller_model.h"
#include "app/project_folders.h"
#include "app/main_view.h"
#include "app/lock_keys.h"
#include "app/menus.h"
#include "core/burner/model_selection.h"
#include "gui/burner/chip_copy_dlg.h"
#include "core/burner/serial_trace.h"
#include "gui/burner/transfer_rules_dlg.h"
#include "gui/burner/transfer_progress_dlg.h"
#include "gui/devices/device_detail_dlg.h"
#include "gui/devices/device_type_dlg.h"
#include "gui/exchange/sd_dlg.h"
#include "core/exchange/sd_import.h"
#include "core/exchange/sd_pack.h"
#include "core/exchange/text_print.h"
#include "gui/exchange/velnet_dlg.h"
#include "gui/logic/logic_rules_dlg.h"
#include "gui/loops/loop_copy_dlg.h"
#include "gui/loops/loop_stats_dlg.h"
#include "gui/phrases/phrase_init_dlg.h"
#include "gui/phrases/phrase_editor_dlg.h"
#include "gui/store/project_init_dlg.h"
#include "gui/store/node_set_dlg.h"
#include "gui/store/project_info_dlg.h"
#include "gui/report/report_commands.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::app::gui {

using namespace velsend::base;
namespace {

using ui::Q;

QString QPath(const std::filesystem::path& path) {
    return QFile::decodeName(path.c_str());
}
std::filesystem::path StdPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

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

MainFrame::MainFrame(RunState& state, ui::MessageService& messages, QWidget* parent)
    : MainFrame(state, messages, std::make_unique<ProjectFolders>(), nullptr, parent) {}

MainFrame::MainFrame(RunState& state, ui::MessageService& messages, ProjectFolders& folders,
                       QWidget* parent)
    : MainFrame(state, messages, nullptr, &folders, parent) {}

MainFrame::MainFrame(RunState& state, ui::MessageService& messages,
                       std::unique_ptr<ProjectFolders> own, ProjectFolders* folders,
                       QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      messages_(messages),
      view_(new MainView(this)),
      menuBar_(new QMenuBar(this)),
      idle_(new QLabel(QStringLiteral("就绪"), this)),
      caps_(IndicatorPane(QStringLiteral("CAP"), this)),
      num_(IndicatorPane(QStringLiteral("NUM"), this)),
      scroll_(IndicatorPane(QStringLiteral("SCRL"), this)),
      lockTimer_(new QTimer(this)),
      ownFolders_(std::move(own)),
      folders_(folders ? *folders : *ownFolders_) {
    setCentralWidget(view_);
    view_->Attach(state_, messages_);
    setMenuBar(menuBar_);

    // The message pane shows a highlighted item's prompt; the idle text is a
    // normal widget, which the status bar hides while a prompt is up.
    statusBar()->addWidget(idle_, 1);
    folderPane_ = new QLabel(this);
    folderPane_->setObjectName(QStringLiteral("projectFolder"));
    folderPane_->setFrameShape(QFrame::Panel);
    folderPane_->setFrameShadow(QFrame::Sunken);
    statusBar()->addPermanentWidget(folderPane_);
    statusBar()->addPermanentWidget(caps_);
    statusBar()->addPermanentWidget(num_);
    statusBar()->addPermanentWidget(scroll_);
    UpdateLockIndicators();
    connect(lockTimer_, &QTimer::timeout, this, &MainFrame::UpdateLockIndicators);
    lockTimer_->start(300);

    BuildFileMenu();
    BuildMenuBars();
    RegisterHandlers();
    ShowModel();
    ShowFolder();
    messages_.SetPromptParent(this);

    resize(kInitialWidth, kInitialHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

MainFrame::~MainFrame() {
    messages_.SetPromptParent(nullptr);
    // The bar only borrows the popups and actions; let it drop them first.
    menuBar_->clear();
}

void MainFrame::BuildMenuBars() {
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

void MainFrame::ShowMenuBar(int id) {
    for (const BuiltBar& bar : bars_) {
        if (bar.id != id) continue;
        menuBar_->clear();
        menuBar_->addAction(fileMenu_->menuAction());
        menuBar_->addActions(bar.topLevel);
        shownBar_ = id;
        return;
    }
}

void MainFrame::ShowModel() {
    const ControllerModelInfo& model = ModelInfo(state_.ControllerModel);
    ShowMenuBar(model.menuBar);
    for (const BuiltBar& bar : bars_) {
        for (int code = kFirstModel; code <= kLastModel; ++code) {
            const auto it = bar.commands.find(ModelInfo(code).selectCommand);
            if (it != bar.commands.end()) it->second->setChecked(code == state_.ControllerModel);
        }
    }
    ShowFolder();
}

void MainFrame::ShowFolder() {
    const QString folder = QDir::toNativeSeparators(
        QDir::cleanPath(QFileInfo(QPath(state_.Project.Root())).absoluteFilePath()));
    const QString caption = Q(MainCaption(state_.ControllerModel));
    // The caption names the folder only once one was opened, so the program
    // started on its working folder shows the caption it always had.
    setWindowTitle(folderOpened_ ? caption + QStringLiteral(" - ") + folder : caption);
    folderPane_->setText(folder);
    folderPane_->setToolTip(QStringLiteral("工程文件夹：") + folder);
}

void MainFrame::BuildFileMenu() {
    fileMenu_ = new QMenu(QStringLiteral("文件"), this);
    fileMenu_->setObjectName(QStringLiteral("fileMenu"));
    QAction* open = fileMenu_->addAction(QStringLiteral("打开工程文件夹…"));
    open->setObjectName(QStringLiteral("openFolder"));
    open->setStatusTip(QStringLiteral("打开另一个工程文件夹"));
    connect(open, &QAction::triggered, this, [this] { OnOpenFolder(); });
    QAction* create = fileMenu_->addAction(QStringLiteral("新建工程文件夹…"));
    create->setObjectName(QStringLiteral("newFolder"));
    create->setStatusTip(QStringLiteral("新建一个工程文件夹并打开它"));
    connect(create, &QAction::triggered, this, [this] { OnNewFolder(); });
    fileMenu_->addSeparator();
    QAction* print = fileMenu_->addAction(QStringLiteral("打印报告…"));
    print->setObjectName(QStringLiteral("printReport"));
    print->setStatusTip(QStringLiteral("预览并打印整个工程的调试报告"));
    connect(print, &QAction::triggered, this,
            [this] { report::RunReportPreview(state_, messages_, this); });
    QAction* pdf = fileMenu_->addAction(QStringLiteral("导出PDF…"));
    pdf->setObjectName(QStringLiteral("exportPdf"));
    pdf->setStatusTip(QStringLiteral("把整个工程的调试报告存为PDF文件"));
    connect(pdf, &QAction::triggered, this,
            [this] { (void)report::ExportReportPdf(state_, messages_, this); });
    fileMenu_->addSeparator();
    recentEnd_ = fileMenu_->addSeparator();
    traceAction_ = fileMenu_->addAction(QStringLiteral("记录串口通信…"));
    traceAction_->setObjectName(QStringLiteral("serialTrace"));
    traceAction_->setCheckable(true);
    traceAction_->setStatusTip(QStringLiteral("把与烧写器往来的每个字节记录到文件"));
    connect(traceAction_, &QAction::triggered, this, [this](bool on) { OnTrace(on); });
    fileMenu_->addSeparator();
    QAction* quit = fileMenu_->addAction(QStringLiteral("退出"));
    quit->setObjectName(QStringLiteral("exit"));
    quit->setStatusTip(QStringLiteral("退出程序"));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    FillRecentFolders();
}

void MainFrame::FillRecentFolders() {
    for (QAction* action : recentActions_) {
        fileMenu_->removeAction(action);
        action->deleteLater();
    }
    recentActions_.clear();
    const QStringList recent = folders_.Recent();
    for (int i = 0; i < recent.size(); ++i) {
        const QString folder = recent[i];
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
                                       QDir::toNativeSeparators(folder)),
                                   fileMenu_);
        action->setObjectName(QStringLiteral("recentFolder%1").arg(i + 1));
        action->setStatusTip(QStringLiteral("打开工程文件夹 ") + folder);
        connect(action, &QAction::triggered, this, [this, folder] { OpenFolder(folder); });
        fileMenu_->insertAction(recentEnd_, action);
        recentActions_.push_back(action);
    }
    recentEnd_->setVisible(!recent.isEmpty());
}

bool MainFrame::OpenFolder(const QString& folder) {
    const store::ProjectDir dir(StdPath(QFileInfo(folder).absoluteFilePath()));
    if (base::Result<> checked = store::CheckProjectFolder(dir); !checked) {
        messages_.Message(this,
                          QStringLiteral("无法打开工程文件夹“%1”。\n").arg(folder) +
                              QString::fromStdString(checked.error().Full()),
                          ui::MessageService::AppTitle(), ui::MessageIcon::Warning);
        return false;
    }
    // Companion windows show the old project's data: they go first.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget != this && widget->isVisible() && !widget->isModal() &&
            widget->parentWidget() == this)
            widget->close();
    }
    // A commit another program left unfinished is completed before anything
    // is read; from now on the GUI's writes hold the folder's lock.
    if (base::Result<> recovered = base::OpenProjectFolder(dir.Root()); !recovered) {
        messages_.Message(this,
                          QStringLiteral("无法打开工程文件夹“%1”。\n").arg(folder) +
                              QString::fromStdString(recovered.error().Full()),
                          ui::MessageService::AppTitle(), ui::MessageIcon::Warning);
        return false;
    }
    base::ProjectLock::GuardWritesTo(dir.Root());
    state_.Project = dir;
    state_.Node9 = {};
    state_.Node10 = {};
    (void)store::LoadNodeRecord(state_.Project, state_.Node9);
    (void)store::LoadNodeRecord(state_.Project, state_.Node10);
    state_.QueryLoop = 0;
    state_.CurrentLoop = 0;
    state_.CurrentAddress = 0;
    state_.QuickSetLoop = 0;
    state_.QuickSetClass = 0;
    folders_.NoteOpened(QFileInfo(folder).absoluteFilePath());
    folderOpened_ = true;
    FillRecentFolders();
    ShowFolder();
    return true;
}

void MainFrame::OnOpenFolder() {
    const QString folder =
        messages_.ExistingFolder(this, QStringLiteral("打开工程文件夹"), folders_.Current());
    if (!folder.isEmpty()) OpenFolder(folder);
}

void MainFrame::OnNewFolder() {
    QString start = folders_.Current();
    if (!start.isEmpty()) start = QFileInfo(start).absolutePath();
    const QString folder =
        messages_.SaveFileName(this, QStringLiteral("新建工程文件夹"), start, QString());
    if (folder.isEmpty()) return;
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        messages_.Message(this, QStringLiteral("“%1”已经是一个文件，不能作为工程文件夹。").arg(folder),
                          ui::MessageService::AppTitle(), ui::MessageIcon::Warning);
        return;
    }
    if (!QDir().mkpath(folder)) {
        messages_.Message(this, QStringLiteral("无法创建文件夹“%1”。").arg(folder),
                          ui::MessageService::AppTitle(), ui::MessageIcon::Warning);
        return;
    }
    OpenFolder(folder);
}

bool MainFrame::StartTrace(const QString& file) {
    const base::Result<> started = burner::SerialTrace::Process().Start(StdPath(file));
    if (!started) {
        messages_.Message(this, QString::fromStdString(started.error().Full()),
                          ui::MessageService::AppTitle(), ui::MessageIcon::Warning);
    }
    traceAction_->setChecked(burner::SerialTrace::Process().Enabled());
    return started.ok();
}

void MainFrame::OnTrace(bool on) {
    if (!on) {
        if (base::Result<> stopped = burner::SerialTrace::Process().Stop(); !stopped) {
            messages_.Message(this, QString::fromStdString(stopped.error().Full()),
                              ui::MessageService::AppTitle(), ui::MessageIcon::Warning);
        }
        return;
    }
    const QString file = messages_.SaveFileName(this, QStringLiteral("记录串口通信"),
                                                QStringLiteral("velsend-trace.log"),
                                                QStringLiteral("串口通信记录 (*.log *.txt)"));
    if (file.isEmpty()) {
        traceAction_->setChecked(false);
        return;
    }
    StartTrace(file);
}

QAction* MainFrame::CommandAction(int menuBar, int id) const {
    for (const BuiltBar& bar : bars_) {
        if (bar.id != menuBar) continue;
        const auto it = bar.commands.find(id);
        return it == bar.commands.end() ? nullptr : it->second;
    }
    return nullptr;
}

QList<QAction*> MainFrame::TopLevelActions(int menuBar) const {
    for (const BuiltBar& bar : bars_)
        if (bar.id == menuBar) return bar.topLevel;
    return {};
}

QString MainFrame::IdleText() const {
    return idle_->text();
}

void MainFrame::UpdateLockIndicators() {
    const LockKeyState keys = ReadLockKeys();
    caps_->setText(keys.caps ? QStringLiteral("CAP") : QString());
    num_->setText(keys.num ? QStringLiteral("NUM") : QString());
    scroll_->setText(keys.scroll ? QStringLiteral("SCRL") : QString());
}

namespace {

// The commands whose dialogs read the project: with a project file that is
// there but unreadable they would show (and then save) an empty form.
bool ReadsProject(int id) {
    switch (id) {
        case ID_NODE_SETTINGS: case ID_QUICK_SET: case ID_ALARM_CLASS:
        case ID_ZONE_DISPLAY_CLASS: case ID_MODULE_CLASS: case ID_BORROWED_CLASS:
        case ID_DEVICE_DETAIL: case ID_LOOP_QUERY: case ID_LOOP_COPY: case ID_LOGIC_SETTINGS:
        case ID_PHRASE_EDITOR: case ID_SEND_NODES: case ID_SEND_DEVICES: case ID_SEND_LOGIC:
        case ID_SEND_PHRASES: case ID_SEND_NAMES: case ID_VELNET_IMPORT: case ID_TEXT_PRINT:
        case ID_PROJECT_NAME: case ID_PROJECT_DETAILS: case ID_SD_PACK: case ID_SD_IMPORT_KA:
        case ID_SD_IMPORT_KBX: case ID_EXCEL_IMPORT_KA: case ID_EXCEL_IMPORT_KBX:
        case ID_EXCEL_EXPORT:
            return true;
        default:
            return false;
    }
}

}  // namespace

void MainFrame::ExecuteCommand(int id) {
    const auto it = handlers_.find(id);
    if (it == handlers_.end()) return;
    if (ReadsProject(id)) {
        base::Result<> readable = store::CheckProjectFolder(state_.Project);
        if (readable) readable = base::OpenProjectFolder(state_.Project.Root());
        if (!readable) {
            messages_.Message(this, QString::fromStdString(readable.error().Full()),
                              ui::MessageService::AppTitle(), ui::MessageIcon::Warning);
            return;
        }
    }
    it->second();
    // A trace that could not be written while the command ran.
    if (auto warning = burner::SerialTrace::Process().TakeWarning())
        statusBar()->showMessage(QString::fromStdString(warning->userText + " " + warning->reason));
}

void MainFrame::RegisterHandlers() {
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
    handlers_[ID_SEND_NODES] = [this] { OnTransfer(burner::TransferKind::SendNodes); };
    handlers_[ID_SEND_DEVICES] = [this] { OnTransfer(burner::TransferKind::SendDevices); };
    handlers_[ID_SEND_LOGIC] = [this] { OnTransfer(burner::TransferKind::SendLogic); };
    handlers_[ID_SEND_PHRASES] = [this] { OnTransfer(burner::TransferKind::SendPhrases); };
    handlers_[ID_ERASE_CHIP] = [this] { OnTransfer(burner::TransferKind::EraseChip); };
    handlers_[ID_SEND_NAMES] = [this] { OnTransfer(burner::TransferKind::SendNames); };
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
        if (MainView::HandlesCommand(id)) handlers_[id] = [this, id] { view_->OnCommand(id); };
    }
}

void MainFrame::OnSelectModel(int code) {
    SelectModel(state_, code, messages_);
    // Also after a refusal: the click has toggled the item's check mark.
    ShowModel();
}

void MainFrame::OnInitialise() {
    store::ProjectInitDlg dialog(state_.Project, messages_, this);
    dialog.exec();
}

void MainFrame::OnBusDeviceClass(int busDeviceClass) {
    state_.BusDeviceClass = busDeviceClass;
    devices::DeviceTypeDlg dialog(state_, messages_, this);
    dialog.exec();
}
void MainFrame::OnDeviceDetail() {
    state_.BusDeviceClass = 0;
    devices::DeviceDetailDlg dialog(state_, messages_, this);
    dialog.exec();
}
void MainFrame::OnQuickSet() {
    devices::QuickSetDlg dialog(state_, messages_, this);
    dialog.exec();
}
void MainFrame::OnPhraseInit(int mode) {
    state_.PhraseInitMode = mode;
    phrases::PhraseInitDlg dialog(state_.Project, state_.PhraseInitMode, messages_, this);
    dialog.exec();
}

void MainFrame::OnNodeSettings() {
    switch (Traits(state_.ControllerModel).nodeRecord) {
        case NodeRecordKind::NineByte: {
            store::NineByteNodeSetDlg dialog(state_.Node9, state_.Project, messages_, this);
            dialog.exec();
            break;
        }
        case NodeRecordKind::TenByte: {
            store::TenByteNodeSetDlg dialog(state_.Node10, state_.Project, messages_, this);
            dialog.exec();
            break;
        }
        case NodeRecordKind::None:
            break;  // the MX300KC family has no node settings
    }
}

void MainFrame::OnPhraseEditor() {
    phrases::PhraseEditorDlg dialog(state_.Project, messages_, this);
    dialog.exec();
}

void MainFrame::OnTransferRules() {
    state_.Ports.Rescan();  // an adapter plugged in since the last look is listed
    burner::TransferRulesDlg dialog(state_.Rules, state_.Ports, state_.ControllerModel, messages_, this);
    dialog.exec();
}

void MainFrame::OnProjectName() {
    store::ProjectNameDlg dialog(state_.Project, messages_, this);
    dialog.exec();
}

void MainFrame::OnProjectDetails() {
    store::ProjectInfoDlg dialog(state_.Project, messages_, this);
    dialog.exec();
}
void MainFrame::OnTransfer(burner::TransferKind kind) {
    state_.TransferKind = kind;
    burner::TransferProgressDlg dialog(kind, state_, messages_, this);
    dialog.exec();
}

// The dialogs behind these commands arrive with their subsystems.
void MainFrame::OnLoopQuery() {
    switch (Traits(state_.ControllerModel).loopQuery) {
        case LoopQueryStyle::SingleLoop:
            loops::RunLoopQuery(state_, messages_, this);
            break;
        case LoopQueryStyle::Statistics: {
            loops::LoopStatsDlg dialog(state_, messages_, 0, this);
            dialog.exec();
            break;
        }
        case LoopQueryStyle::None:
            break;  // the MX300KC family has no loop query
    }
}
void MainFrame::OnLoopCopy() {
    loops::LoopCopyDlg dialog(state_.Project, messages_, this);
    dialog.exec();
}
void MainFrame::OnLogicSettings() {
    logic::LogicRulesDlg dialog(state_, messages_, this);
    dialog.exec();
}
void MainFrame::OnBackup() {
    burner::ChipCopyDlg dialog(state_, messages_, this);
    dialog.exec();
}
void MainFrame::OnVelnetImport() {
    exchange::VelnetImportDlg range(state_, messages_, this);
    if (range.exec() != QDialog::Accepted) return;
    exchange::VelnetImportRunDlg change(state_.Project, range.Folder(), state_.VelnetFirstLoop,
                                state_.VelnetLastLoop, messages_, this);
    change.exec();
}

void MainFrame::OnTextPrint() {
    const auto result = exchange::WriteTextPrintFiles(state_.Project, state_.ControllerModel);
    messages_.Message(this, Q(result ? result->message : result.error().Full()),
                      Q(exchange::kPrintCaption),
                      result ? ui::MessageIcon::None : ui::MessageIcon::Warning);
}

void MainFrame::OnSdPack() {
    const SdFamily family = Traits(state_.ControllerModel).sdFamily;
    if (family == SdFamily::None) return;  // the families without SD cards
    exchange::SdPackDlg dialog(exchange::LayoutOf(family).maxStartLoop, this);
    if (dialog.exec() != QDialog::Accepted) return;
    state_.SdControllerId = dialog.ControllerId();
    state_.SdStartLoop = dialog.StartLoop();
    const auto result =
        exchange::PackSdCard(state_.Project, family, state_.SdControllerId, state_.SdStartLoop);
    messages_.Message(this, Q(result ? result->message : result.error().Full()),
                      Q(exchange::kSdCaption), ui::MessageIcon::None);
}

// Each command reads its own family's cards, whatever model is selected.
void MainFrame::OnSdImport(SdFamily family) {
    // "数据文件|MXKA???.DAT|" as a Qt filter; names are matched in either case.
    const QString filter = Q(exchange::ImportDialogFilter(family)).section(QLatin1Char('|'), 0, 0);
    const QString pattern = Q(exchange::ImportDialogFilter(family)).section(QLatin1Char('|'), 1, 1);
    const QString file = messages_.OpenFileName(
        this, Q(exchange::ImportDialogTitle(family)),
        QString::fromStdString(state_.Project.Root().string()),
        filter + QStringLiteral(" (") + pattern + QLatin1Char(' ') + pattern.toLower() +
            QStringLiteral(")"));
    if (file.isEmpty()) return;
    exchange::SdImportDlg dialog(family, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const auto result = exchange::ImportSdCard(state_.Project, family, file.toStdString(),
                                               dialog.StartLoop(), dialog.Sections());
    messages_.Message(this, Q(result ? result->message : result.error().Full()),
                      Q(exchange::kSdCaption), ui::MessageIcon::None);
}

}  // namespace velsend::app::gui

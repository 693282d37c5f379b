#include "app/main_frame.h"

#include "base/platform/environment.h"
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

#include "app/edit_menu.h"
#include "app/file_menu.h"
#include "app/help_menu.h"
#include "app/lock_keys.h"
#include "app/main_view.h"
#include "app/menus.h"
#include "app/project_folders.h"
#include "base/controller_model.h"
#include "core/burner/serial_trace.h"
#include "core/session/project_access.h"
#include "core/store/project_files.h"
#include "gui/exchange/sheet_commands.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::app {

using namespace velsend::base;
namespace {

using gui::kit::Q;

using gui::kit::QPath;
using gui::kit::StdPath;

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

MainFrame::MainFrame(gui::kit::RunState& state, gui::kit::MessageService& messages, QWidget* parent)
    : MainFrame(state, messages, std::make_unique<ProjectFolders>(), nullptr, parent) {}

MainFrame::MainFrame(gui::kit::RunState& state, gui::kit::MessageService& messages,
                     ProjectFolders& folders, QWidget* parent)
    : MainFrame(state, messages, nullptr, &folders, parent) {}

MainFrame::MainFrame(gui::kit::RunState& state, gui::kit::MessageService& messages,
                     std::unique_ptr<ProjectFolders> own, ProjectFolders* folders, QWidget* parent)
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

    fileMenu_ = new app::FileMenu(*this, state_, messages_, folders_);
    editMenu_ = new app::EditMenu(*this, state_, messages_);
    sheets_ = std::make_unique<gui::exchange::SheetCommands>(state_, messages_, *view_,
                                                             *view_->ProgressBar());
    helpMenu_ = BuildHelpMenu(this, messages_);
    BuildMenuBars();
    RegisterCommands(commands_, {state_, messages_, this, *sheets_, [this] { ShowModel(); }});
    ShowModel();
    ShowFolder();
    messages_.SetPromptParent(this);

    resize(kInitialWidth, kInitialHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

MainFrame::~MainFrame() {
    // A running import or export ends first: it drives the view's bar.
    sheets_.reset();
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
        menuBar_->addAction(fileMenu_->Menu()->menuAction());
        menuBar_->addAction(editMenu_->Menu()->menuAction());
        menuBar_->addActions(bar.topLevel);
        menuBar_->addAction(helpMenu_->menuAction());
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

bool MainFrame::OpenFolder(const QString& folder) {
    const store::ProjectDir dir(StdPath(QFileInfo(folder).absoluteFilePath()));
    if (base::Result<> checked = store::CheckProjectFolder(dir); !checked) {
        messages_.Message(this,
                          QStringLiteral("无法打开工程文件夹“%1”。\n").arg(folder) +
                              gui::kit::Q(checked.error().Full()),
                          gui::kit::MessageService::AppTitle(), gui::kit::MessageIcon::Warning);
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
                              gui::kit::Q(recovered.error().Full()),
                          gui::kit::MessageService::AppTitle(), gui::kit::MessageIcon::Warning);
        return false;
    }
    session::HoldProject(dir.Root());
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
    editMenu_->Refresh();
    folders_.NoteOpened(QFileInfo(folder).absoluteFilePath());
    folderOpened_ = true;
    fileMenu_->FillRecentFolders();
    ShowFolder();
    return true;
}

QAction* MainFrame::CommandAction(int menuBar, int id) const {
    for (const BuiltBar& bar : bars_) {
        if (bar.id != menuBar) continue;
        const auto it = bar.commands.find(id);
        return it == bar.commands.end() ? nullptr : it->second;
    }
    return nullptr;
}

QString MainFrame::IdleText() const {
    return idle_->text();
}

void MainFrame::UpdateLockIndicators() {
    const LockKeyState keys = ReadLockKeys(platform::KeyboardLedsFolder());
    caps_->setText(keys.caps ? QStringLiteral("CAP") : QString());
    num_->setText(keys.num ? QStringLiteral("NUM") : QString());
    scroll_->setText(keys.scroll ? QStringLiteral("SCRL") : QString());
}

void MainFrame::ExecuteCommand(int id) {
    if (session::MenuCommandReadsProject(id)) {
        if (base::Result<> readable = session::OpenToRead(state_.Project); !readable) {
            messages_.Message(this, gui::kit::Q(readable.error().Full()),
                              gui::kit::MessageService::AppTitle(), gui::kit::MessageIcon::Warning);
            return;
        }
    }
    commands_.Execute(id);
    // A trace that could not be written while the command ran.
    if (auto warning = burner::SerialTrace::Process().TakeWarning())
        statusBar()->showMessage(gui::kit::Q(warning->userText + " " + warning->reason));
}

QMenu* MainFrame::EditMenu() const {
    return editMenu_->Menu();
}
QMenu* MainFrame::FileMenu() const {
    return fileMenu_->Menu();
}
QAction* MainFrame::TraceAction() const {
    return fileMenu_->TraceAction();
}
bool MainFrame::StartTrace(const QString& file) {
    return fileMenu_->StartTrace(file);
}

}  // namespace velsend::app

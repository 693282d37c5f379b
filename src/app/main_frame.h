#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "gui/kit/run_state.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QTimer;

namespace velsend::ui {
class MessageService;
}

namespace velsend::app::gui {

class MainView;
class ProjectFolders;

// The one main window: four menu bars of which one is shown, the status bar
// with the menu prompts and the lock lights, and the notes view. Every menu
// command arrives in ExecuteCommand and goes to exactly one handler.
class MainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // Remembers nothing between runs.
    MainFrame(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
    // Keeps the recent project folders in `folders`.
    MainFrame(base::RunState& state, ui::MessageService& messages, ProjectFolders& folders,
               QWidget* parent = nullptr);
    ~MainFrame() override;

    void ExecuteCommand(int id);
    bool HasHandler(int id) const { return handlers_.count(id) != 0; }

    int ShownMenuBar() const { return shownBar_; }
    // The action of a command in one menu bar (nullptr when that bar lacks it).
    QAction* CommandAction(int menuBar, int id) const;
    // The top-level entries of a menu bar, in order (popups as their menu action).
    QList<QAction*> TopLevelActions(int menuBar) const;
    MainView* View() const { return view_; }
    QString IdleText() const;

    // Makes `folder` the project: closes the companion windows, forgets what
    // was read from the previous one, rereads and shows the folder in the
    // caption and the status bar. False, with a message, when it is no folder.
    bool OpenFolder(const QString& folder);
    // The "文件" menu, first in every menu bar.
    QMenu* FileMenu() const { return fileMenu_; }
    QMenu* HelpMenu() const { return helpMenu_; }
    // The menu item that turns the serial trace on and off.
    QAction* TraceAction() const { return traceAction_; }
    // Turns the serial trace on into `file` (as --trace does); false, with a
    // message, when the file cannot be written.
    bool StartTrace(const QString& file);

  private:
    MainFrame(base::RunState& state, ui::MessageService& messages,
               std::unique_ptr<ProjectFolders> own, ProjectFolders* folders, QWidget* parent);

    struct BuiltBar {
        int id = 0;
        QList<QAction*> topLevel;
        std::map<int, QAction*> commands;
    };

    void BuildMenuBars();
    void ShowMenuBar(int id);
    void ShowModel();  // menu bar, check marks and caption of the current model
    void UpdateLockIndicators();
    void RegisterHandlers();
    void BuildFileMenu();
    void FillRecentFolders();
    void ShowFolder();
    void OnOpenFolder();
    void OnNewFolder();
    void OnTrace(bool on);

    void OnSelectModel(int code);
    void OnNodeSettings();
    void OnQuickSet();
    void OnBusDeviceClass(int busDeviceClass);
    void OnDeviceDetail();
    void OnLoopQuery();
    void OnLoopCopy();
    void OnLogicSettings();
    void OnPhraseEditor();
    void OnPhraseInit(int mode);
    void OnTransferRules();
    void OnTransfer(burner::TransferKind kind);
    void OnBackup();
    void OnInitialise();
    void OnVelnetImport();
    void OnTextPrint();
    void OnProjectName();
    void OnProjectDetails();
    void OnSdPack();
    void OnSdImport(base::SdFamily family);

    base::RunState& state_;
    ui::MessageService& messages_;
    MainView* view_;
    QMenuBar* menuBar_;
    std::vector<BuiltBar> bars_;
    int shownBar_ = 0;
    QLabel* idle_;
    QLabel* caps_;
    QLabel* num_;
    QLabel* scroll_;
    QTimer* lockTimer_;
    std::map<int, std::function<void()>> handlers_;
    std::unique_ptr<ProjectFolders> ownFolders_;
    ProjectFolders& folders_;
    QMenu* fileMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;  // "帮助", last on every bar
    QAction* recentEnd_ = nullptr;  // the separator after the recent folders
    QList<QAction*> recentActions_;
    QAction* traceAction_ = nullptr;
    QLabel* folderPane_ = nullptr;
    bool folderOpened_ = false;  // a folder was opened: the caption names it
};

}  // namespace velsend::app::gui

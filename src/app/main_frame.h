#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <vector>

#include "app/commands.h"
#include "gui/kit/run_state.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QTimer;

namespace velsend::gui::kit {
class MessageService;
}

namespace velsend::app {

class EditMenu;
class FileMenu;
class MainView;
class ProjectFolders;

// The one main window: four menu bars of which one is shown, the status bar
// with the menu prompts and the lock lights, and the notes view. Every menu
// command arrives in ExecuteCommand and goes to its one handler in the
// command registry (commands.cpp).
class MainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // Remembers nothing between runs.
    MainFrame(gui::kit::RunState& state, gui::kit::MessageService& messages,
              QWidget* parent = nullptr);
    // Keeps the recent project folders in `folders`.
    MainFrame(gui::kit::RunState& state, gui::kit::MessageService& messages,
              ProjectFolders& folders, QWidget* parent = nullptr);
    ~MainFrame() override;

    void ExecuteCommand(int id);
    bool HasHandler(int id) const { return commands_.Has(id); }

    int ShownMenuBar() const { return shownBar_; }
    // The action of a command in one menu bar (nullptr when that bar lacks it).
    QAction* CommandAction(int menuBar, int id) const;
    QString IdleText() const;

    // Makes `folder` the project: closes the companion windows, forgets what
    // was read from the previous one, rereads and shows the folder in the
    // caption and the status bar. False, with a message, when it is no folder.
    bool OpenFolder(const QString& folder);
    // The "文件" menu, first in every menu bar.
    QMenu* FileMenu() const;
    // "编辑", after "文件" in every menu bar: undo, redo, the history.
    QMenu* EditMenu() const;
    // The menu item that turns the serial trace on and off.
    QAction* TraceAction() const;
    // Turns the serial trace on into `file` (as --trace does); false, with a
    // message, when the file cannot be written.
    bool StartTrace(const QString& file);

  private:
    MainFrame(gui::kit::RunState& state, gui::kit::MessageService& messages,
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
    void ShowFolder();

    gui::kit::RunState& state_;
    gui::kit::MessageService& messages_;
    MainView* view_;
    QMenuBar* menuBar_;
    std::vector<BuiltBar> bars_;
    int shownBar_ = 0;
    QLabel* idle_;
    QLabel* caps_;
    QLabel* num_;
    QLabel* scroll_;
    QTimer* lockTimer_;
    std::unique_ptr<ProjectFolders> ownFolders_;
    ProjectFolders& folders_;
    app::FileMenu* fileMenu_ = nullptr;
    app::EditMenu* editMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;  // "帮助", last on every bar
    std::unique_ptr<gui::exchange::SheetCommands> sheets_;
    CommandRegistry commands_;
    QLabel* folderPane_ = nullptr;
    bool folderOpened_ = false;  // a folder was opened: the caption names it
};

}  // namespace velsend::app

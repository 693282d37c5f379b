#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <vector>

#include "base/run_state.h"

class QAction;
class QLabel;
class QMenuBar;
class QTimer;

namespace velsend::ui {
class MessageService;
}

namespace velsend::app::gui {

class CVelView;

// The one main window: four menu bars of which one is shown, the status bar
// with the menu prompts and the lock lights, and the notes view. Every menu
// command arrives in ExecuteCommand and goes to exactly one handler.
class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    CMainFrame(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
    ~CMainFrame() override;

    void ExecuteCommand(int id);
    bool HasHandler(int id) const { return handlers_.count(id) != 0; }

    int ShownMenuBar() const { return shownBar_; }
    // The action of a command in one menu bar (nullptr when that bar lacks it).
    QAction* CommandAction(int menuBar, int id) const;
    // The top-level entries of a menu bar, in order (popups as their menu action).
    QList<QAction*> TopLevelActions(int menuBar) const;
    CVelView* View() const { return view_; }
    QString IdleText() const;

  private:
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
    void OnTransfer(int kind);
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
    CVelView* view_;
    QMenuBar* menuBar_;
    std::vector<BuiltBar> bars_;
    int shownBar_ = 0;
    QLabel* idle_;
    QLabel* caps_;
    QLabel* num_;
    QLabel* scroll_;
    QTimer* lockTimer_;
    std::map<int, std::function<void()>> handlers_;
};

}  // namespace velsend::app::gui

#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMenu;
class QString;

namespace velsend::gui::kit {
struct RunState;
}
namespace velsend::gui::kit {
class MessageService;
}

namespace velsend::app {

class MainFrame;
class ProjectFolders;

// The "文件" menu, first in every menu bar: open and new project folder, the
// report's print and PDF, the recent folders, the serial trace and exit.
class FileMenu : public QObject {
    Q_OBJECT
  public:
    FileMenu(MainFrame& frame, gui::kit::RunState& state, gui::kit::MessageService& messages,
             ProjectFolders& folders);

    QMenu* Menu() const { return menu_; }
    // The menu item that turns the serial trace on and off.
    QAction* TraceAction() const { return traceAction_; }
    // Turns the serial trace on into `file`; false, with a message, when the
    // file cannot be written.
    bool StartTrace(const QString& file);
    // Lists the recent folders again (after one was opened).
    void FillRecentFolders();

  private:
    void OnOpenFolder();
    void OnNewFolder();
    void OnTrace(bool on);

    MainFrame& frame_;
    gui::kit::RunState& state_;
    gui::kit::MessageService& messages_;
    ProjectFolders& folders_;
    QMenu* menu_;
    QAction* recentEnd_ = nullptr;  // the separator after the recent folders
    QList<QAction*> recentActions_;
    QAction* traceAction_ = nullptr;
};

}  // namespace velsend::app

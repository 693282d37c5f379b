#pragma once

#include <QObject>

class QAction;
class QMenu;

namespace velsend::gui::kit {
struct RunState;
class MessageService;
}  // namespace velsend::gui::kit

namespace velsend::app {

class MainFrame;

// "编辑", after "文件" in every menu bar: "撤销 <what>" (Ctrl+Z), "重做 <what>"
// (Ctrl+Y) and "修改历史…", over the open project's history.
class EditMenu : public QObject {
    Q_OBJECT
  public:
    EditMenu(MainFrame& frame, gui::kit::RunState& state, gui::kit::MessageService& messages);

    QMenu* Menu() const { return menu_; }
    // The items' texts from the history as it is now.
    void Refresh();

  private:
    void OnUndo(bool redo);

    MainFrame& frame_;
    gui::kit::RunState& state_;
    gui::kit::MessageService& messages_;
    QMenu* menu_;
    QAction* undo_;
    QAction* redo_;
};

}  // namespace velsend::app

#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <set>

class QWidget;

namespace velsend::base {
struct RunState;
}
namespace velsend::ui {
class MessageService;
}

namespace velsend::app::gui {

class SheetCommands;

// What a menu command works on: the run's state, the message boxes, the main
// window its dialogs sit on and the runner of the spreadsheet commands.
struct CommandContext {
    base::RunState& state;
    ui::MessageService& messages;
    QWidget* window;
    SheetCommands& sheets;
    // Shows the current model in the menus and the caption.
    std::function<void()> showModel;
};

// Each menu command id with the one handler it runs.
class CommandRegistry {
  public:
    // Throws std::logic_error for an id that already has a handler.
    void Add(int id, std::function<void()> handler);
    bool Has(int id) const { return handlers_.count(id) != 0; }
    // Marks commands whose dialogs read the project: with a project file that
    // is there but unreadable they would show (and then save) an empty form.
    void MarkReadsProject(std::initializer_list<int> ids) { reading_.insert(ids); }
    bool ReadsProject(int id) const { return reading_.count(id) != 0; }
    // Runs the id's handler; an id without one does nothing.
    void Execute(int id) const;

  private:
    std::map<int, std::function<void()>> handlers_;
    std::set<int> reading_;
};

// The one place every menu command id is tied to its handler.
void RegisterCommands(CommandRegistry& registry, const CommandContext& context);

}  // namespace velsend::app::gui

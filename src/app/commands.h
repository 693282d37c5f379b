#pragma once

#include <functional>
#include <map>

class QWidget;

namespace velsend::gui::exchange {
class SheetCommands;
}
namespace velsend::gui::kit {
class MessageService;
struct RunState;
}  // namespace velsend::gui::kit

namespace velsend::app {

// What a menu command works on: the run's state, the message boxes, the main
// window its dialogs sit on and the runner of the spreadsheet commands.
struct CommandContext {
    gui::kit::RunState& state;
    gui::kit::MessageService& messages;
    QWidget* window;
    gui::exchange::SheetCommands& sheets;
    // Shows the current model in the menus and the caption.
    std::function<void()> showModel;
};

// Each menu command id with the one handler it runs.
class CommandRegistry {
  public:
    // Throws std::logic_error for an id that already has a handler.
    void Add(int id, std::function<void()> handler);
    bool Has(int id) const { return handlers_.count(id) != 0; }
    // Runs the id's handler; an id without one does nothing.
    void Execute(int id) const;

  private:
    std::map<int, std::function<void()>> handlers_;
};

// The one place every menu command id is tied to its handler.
void RegisterCommands(CommandRegistry& registry, const CommandContext& context);

}  // namespace velsend::app

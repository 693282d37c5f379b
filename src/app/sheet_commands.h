#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <string>

#include "gui/kit/background_run.h"

namespace velsend::base {
struct RunState;
}
namespace velsend::exchange {
enum class ExcelFamily;
enum class TemplateKind;
}  // namespace velsend::exchange
namespace velsend::ui {
class MessageService;
}

namespace velsend::app::gui {

class MainView;

// The spreadsheet commands: the templates, the import and the export. Each asks
// for its file, runs off the GUI thread with the view's bar following it, and
// says what it did. Neither import nor export can stop half-way (they write
// project files), so closing the window waits for a running one.
class SheetCommands : public QObject {
    Q_OBJECT
  public:
    SheetCommands(base::RunState& state, ui::MessageService& messages, MainView& view,
                  QObject* parent = nullptr);
    ~SheetCommands() override;

    // True while an import or export runs.
    bool Busy() const { return run_.Running(); }

    void WriteTemplate(exchange::TemplateKind kind);
    void Import(exchange::ExcelFamily family);
    void Export();

  private:
    using Job = std::function<std::string(const std::function<void()>& step)>;
    // Runs `job`; the bar follows its steps (`alternate`: position = steps
    // mod 2), and its text is shown once it ends.
    void Run(Job job, bool alternate);
    void ShowSteps();

    base::RunState& state_;
    ui::MessageService& messages_;
    MainView& view_;
    bool alternate_ = false;
    std::atomic<int> steps_{0};
    std::atomic<bool> stepShown_{true};  // false while a bar update is on its way
    std::string text_;                    // written by the job, read once it ended
    ui::BackgroundRun run_;               // last: it waits for the job first
};

}  // namespace velsend::app::gui

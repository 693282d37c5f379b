#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <string>

#include "gui/kit/background_run.h"

class QProgressBar;
class QWidget;

namespace velsend::exchange {
enum class ExcelFamily;
enum class TemplateKind;
}  // namespace velsend::exchange
namespace velsend::gui::kit {
class MessageService;
struct RunState;
}  // namespace velsend::gui::kit

namespace velsend::gui::exchange {

// The spreadsheet commands: the templates, the import and the export. Each asks
// for its file, runs off the GUI thread with the view's bar following it, and
// says what it did, on `view`, whose `bar` follows the work. Neither import nor export can stop
// half-way (they write project files), so closing the window waits for a running one.
class SheetCommands : public QObject {
    Q_OBJECT
  public:
    SheetCommands(kit::RunState& state, kit::MessageService& messages, QWidget& view,
                  QProgressBar& bar, QObject* parent = nullptr);
    ~SheetCommands() override;

    // True while an import or export runs.
    bool Busy() const { return run_.Running(); }

    void WriteTemplate(velsend::exchange::TemplateKind kind);
    void Import(velsend::exchange::ExcelFamily family);
    void Export();

  private:
    using Job = std::function<std::string(const std::function<void()>& step)>;
    // Runs `job`; the bar follows its steps (`alternate`: position = steps
    // mod 2), and its text is shown once it ends.
    void Run(Job job, bool alternate);
    void ShowSteps();

    kit::RunState& state_;
    kit::MessageService& messages_;
    QWidget& view_;
    QProgressBar& bar_;
    bool alternate_ = false;
    std::atomic<int> steps_{0};
    std::atomic<bool> stepShown_{true};  // false while a bar update is on its way
    std::string text_;                   // written by the job, read once it ended
    kit::BackgroundRun run_;             // last: it waits for the job first
};

}  // namespace velsend::gui::exchange

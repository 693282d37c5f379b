#pragma once

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class QProgressBar;
class QThread;
class QTimer;

namespace velsend::base {
struct RunState;
}
namespace velsend::ui {
class MessageService;
}

namespace velsend::app::gui {

// The main window's client area: the notes for the user and the progress bar
// that the spreadsheet commands drive. It also receives those commands.
class MainView : public QWidget {
    Q_OBJECT
  public:
    explicit MainView(QWidget* parent = nullptr);
    // Waits for a running import or export: it writes project files.
    ~MainView() override;

    QProgressBar* ProgressBar() const { return progress_; }
    // The project and the message boxes the spreadsheet commands use.
    void Attach(base::RunState& state, ui::MessageService& messages);
    // True while a spreadsheet import or export runs.
    bool Busy() const { return worker_ != nullptr; }

    // The commands routed to the view.
    static bool HandlesCommand(int id);
    void OnCommand(int id);

    void OnWriteStandardTemplate();
    void OnWriteExampleTemplate();
    void OnExcelImportKa();
    void OnExcelImportKbx();
    void OnExcelExport();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // Runs `job` off the GUI thread; the bar follows the step counter
    // (`alternate`: position = steps mod 2) until the job ends, then `done`
    // shows its text.
    void RunInBackground(std::function<std::string(const std::function<void()>&)> job, bool alternate);
    void WriteTemplate(bool example);
    void Import(bool ka);

    QProgressBar* progress_;
    base::RunState* state_ = nullptr;
    ui::MessageService* messages_ = nullptr;
    QThread* worker_ = nullptr;
    QTimer* poll_;
    std::shared_ptr<std::atomic<int>> steps_;
    bool alternate_ = false;
};

}  // namespace velsend::app::gui

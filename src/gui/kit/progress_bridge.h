#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <atomic>
#include <mutex>
#include <optional>

#include "core/burner/transfer_engine.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace velsend::gui::kit {
class BackgroundRun;
class MessageService;
}  // namespace velsend::gui::kit

namespace velsend::gui::kit {

// Carries a worker thread's progress to the dialog. The engine reports every
// position; the bridge keeps only the latest range, position and status and
// has at most one update queued to the dialog's thread, so a fast transfer
// cannot flood the window with repaints. A port that cannot be opened is
// reported in a message box on the dialog's thread while the worker waits;
// the wait ends early when the run is cancelled.
class ProgressBridge : public QObject, public velsend::burner::TransferObserver {
    Q_OBJECT
  public:
    ProgressBridge(QWidget* dialog, kit::MessageService& messages, kit::BackgroundRun& run,
                   QProgressBar* bar, QLabel* status);

    void SetRange(int upper) override;
    void SetPosition(int position) override;
    void SetStatus(const std::string& text) override;
    void SetStage(const velsend::burner::TransferStage& stage) override;
    void PortNotOpened(const velsend::burner::OpenResult& result) override;
    void Warn(const std::string& text) override;

    // From now on the line under the bar shows the stage, the overall share
    // and the time left (hidden until a transfer reports a stage). Called
    // on the dialog's thread before each run.
    void StartStages(QLabel* line);

    // Applies what is still waiting; the dialog calls it once the worker ended.
    void Flush();
    // Updates that reached the dialog (each one repaints the bar at most once).
    int Deliveries() const { return deliveries_; }

  private:
    void Post();
    void ShowPortFailure(const velsend::burner::OpenResult& result);

    QWidget* dialog_;
    kit::MessageService& messages_;
    kit::BackgroundRun& run_;
    QProgressBar* bar_;
    QLabel* status_;

    std::atomic<int> position_{-1};  // -1: nothing new
    std::atomic<bool> queued_{false};
    std::mutex mutex_;  // guards the two below
    std::optional<int> range_;
    std::optional<QString> text_;
    std::optional<velsend::burner::TransferStage> stage_;
    velsend::burner::StageTracker tracker_;  // dialog's thread only, as are the two below
    QLabel* stageLine_ = nullptr;
    QElapsedTimer clock_;
    int deliveries_ = 0;  // dialog's thread only
};

}  // namespace velsend::gui::kit

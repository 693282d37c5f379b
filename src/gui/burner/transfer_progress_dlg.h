#pragma once

#include <QDialog>

#include <optional>

#include "core/burner/chip_safety.h"
#include "core/burner/transfer_engine.h"
#include "core/store/node_records.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace velsend::gui::kit {
class BackgroundRun;
class MessageService;
class ProgressBridge;
struct RunState;
}  // namespace velsend::gui::kit

namespace velsend::gui::burner {

using namespace velsend::burner;

// Status line and message after a transfer the user stopped midway.
inline constexpr std::string_view kTransferStopped = "传送已停止，数据芯片中可能只有部分数据！";

// "进度显示": runs the transfer of `kind`. The transfer
// runs on a worker thread so that the window keeps painting; the dialog
// stays modal, and "取消" stops it between blocks, then says that the chip
// may hold a partial write.
class TransferProgressDlg : public QDialog {
    Q_OBJECT
  public:
    TransferProgressDlg(TransferKind kind, kit::RunState& state, kit::MessageService& messages,
                        QWidget* parent = nullptr);
    ~TransferProgressDlg() override;

    bool Running() const;
    const kit::ProgressBridge& Bridge() const { return *bridge_; }
    const TransferResult& LastResult() const { return result_; }
    const std::optional<SafetyBackup>& LastBackup() const { return backup_; }

    void accept() override;
    void reject() override;

  Q_SIGNALS:
    void TransferFinished();

  private:
    void OnStart();
    void OnWorkerDone();

    TransferKind kind_;
    kit::RunState& state_;
    kit::MessageService& messages_;
    QPushButton* start_;
    QPushButton* finish_;
    QPushButton* cancel_;
    QProgressBar* progress_;
    QLabel* status_;
    QLabel* stage_;  // "回路 3 / 8", the overall share and the time left
    kit::BackgroundRun* run_;
    kit::ProgressBridge* bridge_;
    int pendingClose_ = -1;  // the result to close with once the worker ends
    TransferResult result_;
    std::optional<SafetyBackup> backup_;  // the backup before the transfer, when one ran
    // The worker's own copies of the node records; they go back to the
    // run-time state once the worker has ended.
    velsend::store::NineByteNodeRecord node9_;
    velsend::store::TenByteNodeRecord node10_;
};

}  // namespace velsend::gui::burner

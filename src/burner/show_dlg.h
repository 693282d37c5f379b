#pragma once

#include <QDialog>
#include <atomic>

#include "burner/transfer_engine.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QThread;

namespace velsend::base {
struct RunState;
}
namespace velsend::ui {
class MessageService;
}

namespace velsend::burner {

// "进度显示": runs the transfer of the current TransferKind. The transfer
// runs on a worker thread so that the window keeps painting; the dialog
// stays modal, and "取消" stops it between blocks.
class CShowDlg : public QDialog {
    Q_OBJECT
  public:
    CShowDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
    ~CShowDlg() override;

    QPushButton* StartButton() const { return start_; }
    QPushButton* FinishButton() const { return finish_; }
    QPushButton* CancelButton() const { return cancel_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* Status() const { return status_; }
    bool Running() const { return worker_ != nullptr; }
    const TransferResult& LastResult() const { return result_; }

    void accept() override;
    void reject() override;

  Q_SIGNALS:
    void TransferFinished();

  private:
    void OnStart();
    void OnWorkerDone();

    base::RunState& state_;
    ui::MessageService& messages_;
    QPushButton* start_;
    QPushButton* finish_;
    QPushButton* cancel_;
    QProgressBar* progress_;
    QLabel* status_;
    QThread* worker_ = nullptr;
    std::atomic<bool> stop_{false};
    int pendingClose_ = -1;  // the result to close with once the worker ends
    TransferResult result_;
};

}  // namespace velsend::burner

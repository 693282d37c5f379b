#pragma once

#include <QDialog>
#include <atomic>

#include "burner/backup.h"

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

// "数据备份": copies the chip into a file or a file back onto the chip. The
// copy runs on a worker thread; the dialog stays modal and closing it stops
// the copy between blocks.
class CBackupDlg : public QDialog {
    Q_OBJECT
  public:
    CBackupDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
    ~CBackupDlg() override;

    QPushButton* BackupButton() const { return backup_; }
    QPushButton* RestoreButton() const { return restore_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* Status() const { return status_; }
    bool Running() const { return worker_ != nullptr; }
    const ChipCopyResult& LastResult() const { return result_; }

    void reject() override;

  Q_SIGNALS:
    void CopyFinished();

  private:
    void Run(bool backup);
    void OnWorkerDone();

    base::RunState& state_;
    ui::MessageService& messages_;
    QPushButton* backup_;
    QPushButton* restore_;
    QProgressBar* progress_;
    QLabel* status_;
    QThread* worker_ = nullptr;
    std::atomic<bool> stop_{false};
    bool closePending_ = false;
    CComm2 port_;
    ChipCopyResult result_;
};

}  // namespace velsend::burner

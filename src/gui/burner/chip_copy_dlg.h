#pragma once

#include <QDialog>

#include "core/burner/backup.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace velsend::base {
struct RunState;
}
namespace velsend::ui {
class BackgroundRun;
class MessageService;
}  // namespace velsend::ui

namespace velsend::burner {

class ProgressBridge;

// Status line and message after a restore the user stopped midway.
inline constexpr std::string_view kRestoreStopped = "还原已停止，数据芯片中可能只有部分数据！";
inline constexpr std::string_view kRestoreStoppedMessage =
    "还原在中途停止，数据芯片中可能只写入了一部分数据。\n请重新还原，以免控制器使用不完整的数据。";

// "数据备份": copies the chip into a file or a file back onto the chip. The
// copy runs on a worker thread; the dialog stays modal and closing it stops
// the copy between blocks; a stopped restore says that the chip may hold a
// partial write.
class ChipCopyDlg : public QDialog {
    Q_OBJECT
  public:
    ChipCopyDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
    ~ChipCopyDlg() override;

    QPushButton* BackupButton() const { return backup_; }
    QPushButton* RestoreButton() const { return restore_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* Status() const { return status_; }
    bool Running() const;
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
    ui::BackgroundRun* run_;
    ProgressBridge* bridge_;
    bool closePending_ = false;
    bool restoring_ = false;
    ChipCopyPort port_;
    ChipCopyResult result_;
};

}  // namespace velsend::burner

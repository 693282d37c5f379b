#pragma once

#include <QDialog>
#include <optional>

#include "core/burner/backup.h"
#include "core/burner/chip_safety.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace velsend::gui::kit {
class BackgroundRun;
class MessageService;
class ProgressBridge;
struct RunState;
}  // namespace velsend::gui::kit

namespace velsend::gui::burner {

using namespace velsend::burner;

// Status line and message after a restore the user stopped midway.
inline constexpr std::string_view kRestoreStopped = "还原已停止，数据芯片中可能只有部分数据！";

// "数据备份": copies the chip into a file or a file back onto the chip. A
// restore first offers a backup of the chip into the project's chip-backups/
// and reads the chip back afterwards ("还原后校验"), one bar over the phases
// with the phase and the time left under it; "校验" compares the chip with a
// file; the latest backups are listed, each can be restored. The work runs on
// a worker thread; the dialog stays modal; "取消" and closing the window ask,
// then stop the work between blocks; a stopped restore says that the chip
// may hold a partial write.
class ChipCopyDlg : public QDialog {
    Q_OBJECT
  public:
    // Backups the list shows.
    static constexpr int kListedBackups = 5;

    ChipCopyDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr);
    ~ChipCopyDlg() override;

    bool Running() const;
    const ChipCopyResult& LastResult() const { return result_; }
    // The last restore's steps and the last verify (button or after a restore).
    const std::optional<VerifyResult>& LastVerify() const { return verifyResult_; }

    void reject() override;

  Q_SIGNALS:
    void CopyFinished();

  private:
    enum class Work { Backup, Restore, Verify };
    void Run(Work work, QString file = {});
    void OnWorkerDone();
    // Asks whether to stop the running work; true when it is being stopped.
    bool AskStop();
    void FillBackupList();

    kit::RunState& state_;
    kit::MessageService& messages_;
    QPushButton* backup_;
    QPushButton* restore_;
    QPushButton* verify_;
    QCheckBox* verifyAfter_;
    QTreeWidget* list_;
    QPushButton* restoreListed_;
    QProgressBar* progress_;
    QLabel* status_;
    QLabel* stage_;  // "写入芯片 2/3", the overall share and the time left
    QPushButton* cancel_;
    kit::BackgroundRun* run_;
    kit::ProgressBridge* bridge_;
    bool closePending_ = false;
    Work work_ = Work::Backup;
    int model_ = 0;  // the model of the chip being copied
    ChipCopyPort port_;
    ChipCopyResult result_;
    std::optional<GuardedRestore> restoreSteps_;
    std::optional<VerifyResult> verifyResult_;
};

}  // namespace velsend::gui::burner

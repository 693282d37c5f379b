#include "gui/burner/transfer_progress_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/controller_model.h"
#include "gui/kit/background_run.h"
#include "gui/kit/message_service.h"
#include "gui/kit/progress_bridge.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/run_state.h"

namespace velsend::gui::burner {

using namespace velsend::burner;

TransferProgressDlg::TransferProgressDlg(TransferKind kind, kit::RunState& state,
                                         kit::MessageService& messages, QWidget* parent)
    : QDialog(parent),
      kind_(kind),
      state_(state),
      messages_(messages),
      start_(new QPushButton(QStringLiteral("开始"), this)),
      finish_(new QPushButton(QStringLiteral("完成"), this)),
      cancel_(new QPushButton(QStringLiteral("取消"), this)),
      progress_(new QProgressBar(this)),
      status_(new QLabel(kit::Q(TextsOf(kind).initial), this)),
      stage_(new QLabel(this)),
      run_(new kit::BackgroundRun(this)),
      bridge_(new kit::ProgressBridge(this, messages, *run_, progress_, status_)) {
    setWindowTitle(QStringLiteral("进度显示"));
    finish_->setEnabled(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    // One width whatever the texts say, so that "取消" stays where it is: room
    // for the longest stage line.
    const int width = fontMetrics().horizontalAdvance(QStringLiteral(
                          "逻辑 1000–1023（1024 / 1024）　总进度 100%　剩余约 10 分 00 秒")) +
                      8;
    status_->setFixedWidth(width);
    status_->setWordWrap(true);
    stage_->setFixedWidth(width);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(finish_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    start_->setObjectName(QStringLiteral("start"));
    finish_->setObjectName(QStringLiteral("finish"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    progress_->setObjectName(QStringLiteral("progress"));
    status_->setObjectName(QStringLiteral("status"));
    stage_->setObjectName(QStringLiteral("stageLine"));
    stage_->hide();
    layout->addWidget(stage_);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    start_->setDefault(true);
    connect(start_, &QPushButton::clicked, this, &TransferProgressDlg::OnStart);
    connect(finish_, &QPushButton::clicked, this, &TransferProgressDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &TransferProgressDlg::reject);
    connect(run_, &kit::BackgroundRun::Finished, this, &TransferProgressDlg::OnWorkerDone);
}

TransferProgressDlg::~TransferProgressDlg() {
    // Stops and joins the worker while the bridge and the records it uses live.
    delete run_;
}

bool TransferProgressDlg::Running() const {
    return run_->Running();
}

void TransferProgressDlg::OnStart() {
    if (run_->Running()) return;
    // The port list follows what is plugged in now.
    state_.Ports.Rescan();
    node9_ = state_.Node9;
    node10_ = state_.Node10;
    const TransferJob job = session::MakeTransferJob(state_, kind_, &node9_, &node10_);
    // An erase asks once whether to keep the chip's content first; the rules
    // may ask for a backup before every transfer.
    const bool backupFirst =
        kind_ == TransferKind::EraseChip
            ? messages_.Question(
                  this, kit::Q(BackupQuestion(kEraseBackupQuestion, job.model, job.rules.BaudRate)),
                  kit::MessageService::AppTitle(), kit::MessageIcon::Question)
            : state_.Rules.BackupFirst;

    start_->setEnabled(false);
    bridge_->StartStages(stage_);
    backup_.reset();
    run_->Start([this, job, backupFirst] {
        TransferEngine engine(state_.BurnerPort, *bridge_, {}, run_->StopFlag());
        GuardedTransfer done =
            TransferWithBackup(engine, job, backupFirst, *bridge_, run_->StopFlag());
        backup_ = std::move(done.backup);
        result_ = done.transfer ? *done.transfer : TransferResult{};
        if (!done.transfer) result_.status = std::string(TextsOf(job.kind).failure);
    });
}

void TransferProgressDlg::OnWorkerDone() {
    bridge_->Flush();
    state_.Node9 = node9_;
    state_.Node10 = node10_;
    // The result decides what stays on screen.
    status_->setText(kit::Q(result_.status));
    start_->setEnabled(true);
    if (backup_ && !backup_->Done()) {
        // Nothing was sent: say why the backup failed, or that it was stopped.
        result_.outcome = TransferOutcome::Failure;
        if (backup_->copy.outcome == ChipCopyOutcome::Cancelled) {
            status_->setText(kit::Q(BackupStoppedText(NotDoneText(kind_))));
        } else {
            messages_.Message(this, kit::Q(BackupFailedText(NotDoneText(kind_), backup_->copy)),
                              kit::MessageService::AppTitle(), kit::MessageIcon::Critical);
        }
    }
    bridge_->Finish(result_.Succeeded());
    if (result_.Succeeded()) {
        finish_->setEnabled(true);
        finish_->setFocus();
    }
    if (result_.outcome == TransferOutcome::Cancelled) {
        status_->setText(kit::Q(kTransferStopped));
        messages_.Message(
            this, kit::Q(TransferStoppedText(kind_, result_.blocksStored, result_.blocksExpected)),
            kit::MessageService::AppTitle(), kit::MessageIcon::Warning);
    }
    Q_EMIT TransferFinished();
    if (pendingClose_ == QDialog::Accepted) accept();
    if (pendingClose_ == QDialog::Rejected) reject();
}

void TransferProgressDlg::accept() {
    if (run_->Running()) {
        pendingClose_ = QDialog::Accepted;
        run_->Cancel();
        return;
    }
    QDialog::accept();
}

void TransferProgressDlg::reject() {
    if (run_->Running()) {
        // Stops between blocks; the dialog closes when the worker has let go of the port.
        pendingClose_ = QDialog::Rejected;
        run_->Cancel();
        status_->setText(QStringLiteral("正在停止......"));
        return;
    }
    state_.BurnerPort.Close();
    QDialog::reject();
}

}  // namespace velsend::gui::burner

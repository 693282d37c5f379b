#include "burner/show_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "base/controller_model.h"
#include "base/run_state.h"
#include "burner/progress_bridge_dlg.h"
#include "ui/message_service.h"
#include "ui/qt_text.h"

namespace velsend::burner {

CShowDlg::CShowDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      start_(new QPushButton(QStringLiteral("开始"), this)),
      finish_(new QPushButton(QStringLiteral("完成"), this)),
      cancel_(new QPushButton(QStringLiteral("取消"), this)),
      progress_(new QProgressBar(this)),
      status_(new QLabel(ui::Q(TextsOf(state.TransferKind).initial), this)) {
    setWindowTitle(QStringLiteral("进度显示"));
    finish_->setEnabled(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    status_->setMinimumWidth(260);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(finish_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    start_->setDefault(true);
    connect(start_, &QPushButton::clicked, this, &CShowDlg::OnStart);
    connect(finish_, &QPushButton::clicked, this, &CShowDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CShowDlg::reject);
}

CShowDlg::~CShowDlg() {
    if (worker_) {
        stop_ = true;
        worker_->wait();
    }
}

void CShowDlg::OnStart() {
    if (worker_) return;
    TransferJob job;
    job.kind = state_.TransferKind;
    job.model = state_.ControllerModel;
    job.rules = state_.Rules;
    job.address = state_.BurnerAddress();
    job.project = state_.Project;
    job.node9 = &state_.Node9;
    job.node10 = &state_.Node10;

    auto* bridge = new ProgressBridge(this, messages_, progress_, status_);

    stop_ = false;
    start_->setEnabled(false);
    worker_ = QThread::create([this, bridge, job] {
        TransferEngine engine(state_.BurnerPort, *bridge, {}, &stop_);
        result_ = engine.Run(job);
    });
    connect(worker_, &QThread::finished, this, [this, bridge] {
        bridge->deleteLater();
        OnWorkerDone();
    });
    worker_->start();
}

void CShowDlg::OnWorkerDone() {
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    // The queued progress of the run is delivered before this point; the
    // result decides what stays on screen.
    status_->setText(ui::Q(result_.status));
    start_->setEnabled(true);
    if (result_.Succeeded()) {
        finish_->setEnabled(true);
        finish_->setFocus();
    }
    Q_EMIT TransferFinished();
    if (pendingClose_ == QDialog::Accepted) accept();
    if (pendingClose_ == QDialog::Rejected) reject();
}

void CShowDlg::accept() {
    if (worker_) {
        pendingClose_ = QDialog::Accepted;
        stop_ = true;
        return;
    }
    QDialog::accept();
}

void CShowDlg::reject() {
    if (worker_) {
        // Stops between blocks; the dialog closes when the worker has let go of the port.
        pendingClose_ = QDialog::Rejected;
        stop_ = true;
        status_->setText(QStringLiteral("正在停止......"));
        return;
    }
    state_.BurnerPort.Close();
    QDialog::reject();
}

}  // namespace velsend::burner

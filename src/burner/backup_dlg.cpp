#include "burner/backup_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include "base/run_state.h"
#include "burner/progress_bridge_dlg.h"
#include "ui/message_service.h"
#include "ui/qt_text.h"

namespace velsend::burner {
namespace {

const QString kFilter = QStringLiteral("二进制文件(*.bin)");
const QString kInitialName = QStringLiteral("工程名称.bin");

}  // namespace

CBackupDlg::CBackupDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      backup_(new QPushButton(QStringLiteral("备份工程数据\n[ 芯片－－>PC ]"), this)),
      restore_(new QPushButton(QStringLiteral("还原工程数据\n[ PC－－>芯片 ]"), this)),
      progress_(new QProgressBar(this)),
      status_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("数据备份"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    backup_->setMinimumHeight(48);
    restore_->setMinimumHeight(48);
    status_->setMinimumWidth(360);

    auto* layout = new QGridLayout(this);
    layout->addWidget(backup_, 0, 0);
    layout->addWidget(restore_, 0, 1);
    layout->addWidget(progress_, 1, 0, 1, 2);
    layout->addWidget(status_, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(backup_, &QPushButton::clicked, this, [this] { Run(true); });
    connect(restore_, &QPushButton::clicked, this, [this] { Run(false); });
}

CBackupDlg::~CBackupDlg() {
    if (worker_) {
        stop_ = true;
        worker_->wait();
    }
}

void CBackupDlg::Run(bool backup) {
    if (worker_) return;
    const QString file = backup ? messages_.SaveFileName(this, QString(), kInitialName, kFilter)
                                : messages_.OpenFileName(this, QString(), kInitialName, kFilter);
    if (file.isEmpty()) return;
    messages_.SetPromptParent(this);
    const std::optional<ChipCopyJob> prepared =
        PrepareChipCopy(state_, backup ? ChipCopyKind::Backup : ChipCopyKind::Restore,
                        file.toStdString(), messages_);
    if (!prepared) return;
    const ChipCopyJob job = *prepared;

    auto* bridge = new ProgressBridge(this, messages_, progress_, status_);

    stop_ = false;
    backup_->setEnabled(false);
    restore_->setEnabled(false);
    worker_ = QThread::create([this, bridge, job] {
        result_ = RunChipCopy(port_, job, *bridge, &stop_);
    });
    connect(worker_, &QThread::finished, this, [this, bridge] {
        bridge->deleteLater();
        OnWorkerDone();
    });
    worker_->start();
}

void CBackupDlg::OnWorkerDone() {
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    backup_->setEnabled(true);
    restore_->setEnabled(true);
    if (!result_.message.empty()) {
        messages_.Message(this, ui::Q(result_.message), ui::MessageService::AppTitle(),
                          result_.handIcon ? ui::MessageIcon::Critical : ui::MessageIcon::None);
    }
    Q_EMIT CopyFinished();
    if (closePending_) reject();
}

void CBackupDlg::reject() {
    if (worker_) {
        closePending_ = true;
        stop_ = true;
        return;
    }
    port_.Close();
    QDialog::reject();
}

}  // namespace velsend::burner

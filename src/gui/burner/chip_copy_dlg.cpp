#include "gui/burner/chip_copy_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "gui/kit/run_state.h"
#include "gui/kit/progress_bridge.h"
#include "gui/kit/background_run.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::burner {
namespace {

const QString kFilter = QStringLiteral("二进制文件(*.bin)");
const QString kInitialName = QStringLiteral("工程名称.bin");

}  // namespace

ChipCopyDlg::ChipCopyDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      backup_(new QPushButton(QStringLiteral("备份工程数据\n[ 芯片－－>PC ]"), this)),
      restore_(new QPushButton(QStringLiteral("还原工程数据\n[ PC－－>芯片 ]"), this)),
      progress_(new QProgressBar(this)),
      status_(new QLabel(this)),
      run_(new ui::BackgroundRun(this)),
      bridge_(new ProgressBridge(this, messages, *run_, progress_, status_)) {
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
    connect(run_, &ui::BackgroundRun::Finished, this, &ChipCopyDlg::OnWorkerDone);
}

ChipCopyDlg::~ChipCopyDlg() {
    // Stops and joins the worker while the bridge and the port it uses live.
    delete run_;
}

bool ChipCopyDlg::Running() const {
    return run_->Running();
}

void ChipCopyDlg::Run(bool backup) {
    if (run_->Running()) return;
    const QString file = backup ? messages_.SaveFileName(this, QString(), kInitialName, kFilter)
                                : messages_.OpenFileName(this, QString(), kInitialName, kFilter);
    if (file.isEmpty()) return;
    messages_.SetPromptParent(this);
    state_.Ports.Rescan();
    const std::optional<ChipCopyJob> prepared =
        PrepareChipCopy(state_, backup ? ChipCopyKind::Backup : ChipCopyKind::Restore,
                        file.toStdString(), messages_);
    if (!prepared) return;
    const ChipCopyJob job = *prepared;

    backup_->setEnabled(false);
    restore_->setEnabled(false);
    restoring_ = !backup;
    // Nothing of the last run stays on screen to be taken for this one.
    progress_->setValue(0);
    status_->clear();
    run_->Start([this, job] {
        result_ = RunChipCopy(port_, job, *bridge_, run_->StopFlag());
    });
}

void ChipCopyDlg::OnWorkerDone() {
    bridge_->Flush();
    backup_->setEnabled(true);
    restore_->setEnabled(true);
    if (!result_.message.empty()) {
        messages_.Message(this, ui::Q(result_.message), ui::MessageService::AppTitle(),
                          result_.handIcon ? ui::MessageIcon::Critical : ui::MessageIcon::None);
    }
    // A restore says how it ended where the user looks, not only in a box.
    if (restoring_ && result_.outcome == ChipCopyOutcome::Done)
        status_->setText(QStringLiteral("还原完成：%1 块已写入芯片。").arg(result_.blocks));
    else if (restoring_ && !result_.message.empty())
        status_->setText(ui::Q(result_.message).section(QLatin1Char('\n'), 0, 0));
    if (restoring_ && result_.outcome == ChipCopyOutcome::Cancelled) {
        status_->setText(ui::Q(kRestoreStopped));
        messages_.Message(this, ui::Q(kRestoreStoppedMessage), ui::MessageService::AppTitle(),
                          ui::MessageIcon::Warning);
    }
    Q_EMIT CopyFinished();
    if (closePending_) reject();
}

void ChipCopyDlg::reject() {
    if (run_->Running()) {
        closePending_ = true;
        run_->Cancel();
        return;
    }
    port_.Close();
    QDialog::reject();
}

}  // namespace velsend::burner

#include "gui/burner/chip_copy_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <utility>

#include "gui/kit/background_run.h"
#include "gui/kit/message_service.h"
#include "gui/kit/progress_bridge.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/run_state.h"

namespace velsend::gui::burner {

using namespace velsend::burner;
namespace {

const QString kFilter = QStringLiteral("二进制文件(*.bin)");
const QString kInitialName = QStringLiteral("工程名称.bin");

}  // namespace

ChipCopyDlg::ChipCopyDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      backup_(new QPushButton(QStringLiteral("备份工程数据\n[ 芯片－－>PC ]"), this)),
      restore_(new QPushButton(QStringLiteral("还原工程数据\n[ PC－－>芯片 ]"), this)),
      verify_(new QPushButton(QStringLiteral("校验"), this)),
      verifyAfter_(new QCheckBox(QStringLiteral("还原后校验（读回芯片并与文件比较）"), this)),
      list_(new QTreeWidget(this)),
      restoreListed_(new QPushButton(QStringLiteral("还原所选备份"), this)),
      progress_(new QProgressBar(this)),
      status_(new QLabel(this)),
      stage_(new QLabel(this)),
      cancel_(new QPushButton(QStringLiteral("取消"), this)),
      run_(new kit::BackgroundRun(this)),
      bridge_(new kit::ProgressBridge(this, messages, *run_, progress_, status_)) {
    setWindowTitle(QStringLiteral("数据备份"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    backup_->setMinimumHeight(48);
    restore_->setMinimumHeight(48);
    status_->setMinimumWidth(360);
    status_->setWordWrap(true);
    verifyAfter_->setChecked(true);
    verify_->setToolTip(QStringLiteral("读出芯片并与所选文件比较，不写入芯片"));

    list_->setColumnCount(4);
    list_->setHeaderLabels({QStringLiteral("日期"), QStringLiteral("型号"), QStringLiteral("字节"),
                            QStringLiteral("完整")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list_->setMinimumWidth(440);
    // Room for the listed backups and the header, without a scroll bar.
    const int row = list_->fontMetrics().height() + 8;
    list_->setFixedHeight(row * (kListedBackups + 1) + 2 * list_->frameWidth() + 4);

    auto* layout = new QGridLayout(this);
    layout->addWidget(backup_, 0, 0);
    layout->addWidget(restore_, 0, 1);
    layout->addWidget(verifyAfter_, 1, 0);
    layout->addWidget(verify_, 1, 1);
    layout->addWidget(
        new QLabel(
            QStringLiteral("最近的芯片备份（工程文件夹的 %1）").arg(kit::Q(kChipBackupFolder)),
            this),
        2, 0, 1, 2);
    layout->addWidget(list_, 3, 0, 1, 2);
    layout->addWidget(restoreListed_, 4, 1);
    layout->addWidget(progress_, 5, 0, 1, 2);
    layout->addWidget(status_, 6, 0, 1, 2);
    const std::pair<QWidget*, const char*> named[] = {
        {backup_, "backup"},     {restore_, "restore"},
        {verify_, "verify"},     {verifyAfter_, "verifyAfter"},
        {list_, "backups"},      {restoreListed_, "restoreListed"},
        {progress_, "progress"}, {status_, "status"},
        {stage_, "stageLine"},   {cancel_, "cancel"}};
    for (const auto& [widget, name] : named) widget->setObjectName(QString::fromLatin1(name));
    stage_->hide();
    layout->addWidget(stage_, 7, 0, 1, 2);
    cancel_->setEnabled(false);
    layout->addWidget(cancel_, 8, 1, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(backup_, &QPushButton::clicked, this, [this] { Run(Work::Backup); });
    connect(restore_, &QPushButton::clicked, this, [this] { Run(Work::Restore); });
    connect(verify_, &QPushButton::clicked, this, [this] { Run(Work::Verify); });
    connect(restoreListed_, &QPushButton::clicked, this, [this] {
        if (QTreeWidgetItem* item = list_->currentItem())
            Run(Work::Restore, item->data(0, Qt::UserRole).toString());
    });
    connect(list_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { restoreListed_->setEnabled(item && !Running()); });
    connect(cancel_, &QPushButton::clicked, this, [this] { AskStop(); });
    connect(run_, &kit::BackgroundRun::Finished, this, &ChipCopyDlg::OnWorkerDone);
    FillBackupList();
}

ChipCopyDlg::~ChipCopyDlg() {
    // Stops and joins the worker while the bridge and the port it uses live.
    delete run_;
}

bool ChipCopyDlg::Running() const {
    return run_->Running();
}

void ChipCopyDlg::FillBackupList() {
    list_->clear();
    const std::vector<ChipBackupEntry> entries = ListChipBackups(state_.Project.Root());
    for (std::size_t i = 0; i < entries.size() && i < kListedBackups; ++i) {
        const ChipBackupEntry& e = entries[i];
        auto* item = new QTreeWidgetItem(
            list_,
            {kit::Q(e.when), e.model.empty() ? QStringLiteral("?") : kit::Q(e.model),
             QString::number(e.size), e.complete ? QStringLiteral("是") : QStringLiteral("否")});
        item->setData(0, Qt::UserRole, kit::QPath(e.file));
        item->setToolTip(0, kit::QPath(e.file.filename()));
    }
    for (int column = 0; column < list_->columnCount(); ++column)
        list_->resizeColumnToContents(column);
    restoreListed_->setEnabled(list_->currentItem() != nullptr);
}

void ChipCopyDlg::Run(Work work, QString file) {
    if (run_->Running()) return;
    if (file.isEmpty()) {
        file = work == Work::Backup
                   ? messages_.SaveFileName(this, QString(), kInitialName, kFilter)
                   : messages_.OpenFileName(this, QString(), kInitialName, kFilter);
    }
    if (file.isEmpty()) return;
    messages_.SetPromptParent(this);
    state_.Ports.Rescan();
    const std::optional<ChipCopyJob> prepared = session::PrepareRunChipCopy(
        state_, work == Work::Backup ? ChipCopyKind::Backup : ChipCopyKind::Restore,
        kit::StdPath(file), messages_);
    if (!prepared) return;
    const ChipCopyJob job = *prepared;
    // Nothing of the last run stays on screen to be taken for this one.
    progress_->setValue(0);
    status_->clear();
    if (work != Work::Backup) {
        // A file that is no image of this chip is refused before any question.
        ChipCopyResult refused;
        if (!LoadChipImage(job, refused)) {
            status_->setText(kit::Q(refused.message).section(QLatin1Char('\n'), 0, 0));
            messages_.Message(this, kit::Q(refused.message), kit::MessageService::AppTitle(),
                              kit::MessageIcon::Critical);
            return;
        }
    }
    RestoreSteps steps;
    if (work == Work::Restore) {
        // Asked once per restore, with the time the backup adds.
        steps.backupFirst = messages_.Question(
            this, kit::Q(BackupQuestion(kRestoreBackupQuestion, job.model, job.baud)),
            kit::MessageService::AppTitle(), kit::MessageIcon::Question);
        steps.verifyAfter = verifyAfter_->isChecked();
        steps.projectRoot = state_.Project.Root();
    }

    for (QWidget* w : {static_cast<QWidget*>(backup_), static_cast<QWidget*>(restore_),
                       static_cast<QWidget*>(verify_), static_cast<QWidget*>(restoreListed_)})
        w->setEnabled(false);
    cancel_->setEnabled(true);
    bridge_->StartStages(stage_);
    work_ = work;
    model_ = job.model;
    result_ = {};
    restoreSteps_.reset();
    verifyResult_.reset();
    run_->Start([this, job, steps] {
        switch (work_) {
            case Work::Backup:
                result_ = BackupChip(port_, job, *bridge_, run_->StopFlag());
                break;
            case Work::Restore:
                restoreSteps_ = RestoreWithSteps(port_, job, steps, *bridge_, run_->StopFlag());
                if (restoreSteps_->restore)
                    result_ = *restoreSteps_->restore;
                else if (restoreSteps_->backup)
                    result_ = restoreSteps_->backup->copy;
                verifyResult_ = restoreSteps_->verify;
                break;
            case Work::Verify:
                verifyResult_ = VerifyChip(port_, job, *bridge_, run_->StopFlag());
                result_ = verifyResult_->read;
                break;
        }
    });
}

void ChipCopyDlg::OnWorkerDone() {
    bridge_->Flush();
    cancel_->setEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(backup_), static_cast<QWidget*>(restore_),
                       static_cast<QWidget*>(verify_)})
        w->setEnabled(true);
    const QString title = kit::MessageService::AppTitle();
    auto show = [&](const std::string& text, kit::MessageIcon icon) {
        if (!text.empty()) messages_.Message(this, kit::Q(text), title, icon);
    };
    if (result_.outcome == ChipCopyOutcome::Cancelled && work_ != Work::Restore)
        status_->setText(work_ == Work::Backup ? QStringLiteral("备份已停止。")
                                               : QStringLiteral("校验已停止。"));
    if (work_ == Work::Backup) {
        show(result_.message,
             result_.handIcon ? kit::MessageIcon::Critical : kit::MessageIcon::None);
    } else if (work_ == Work::Verify) {
        if (verifyResult_->outcome != VerifyOutcome::Cancelled) {
            status_->setText(kit::Q(verifyResult_->Same() ? kVerifyPassed : "校验失败！"));
            show(verifyResult_->message, verifyResult_->Same() ? kit::MessageIcon::Information
                                                               : kit::MessageIcon::Critical);
        }
    } else {
        const GuardedRestore& done = *restoreSteps_;
        if (done.restore && done.restore->outcome == ChipCopyOutcome::Cancelled) {
            status_->setText(kit::Q(kRestoreStopped));
            show(RestoreStoppedText(result_.blocks, ChipBlockCount(model_)),
                 kit::MessageIcon::Warning);
        } else if (done.Succeeded()) {
            // A restore says how it ended where the user looks, not only in a box.
            status_->setText(QStringLiteral("还原完成：%1 块已写入芯片。").arg(result_.blocks));
            if (done.verify) {
                status_->setText(status_->text() + kit::Q(kVerifyPassed));
                show(std::string(kVerifyPassed), kit::MessageIcon::Information);
            }
        } else if (!done.Cancelled()) {
            status_->setText(done.verify
                                 ? QStringLiteral("校验失败！")
                                 : kit::Q(done.FailureText()).section(QLatin1Char('\n'), 0, 0));
            const bool plainBlockError = done.restore && !done.verify && !result_.handIcon;
            show(done.FailureText(),
                 plainBlockError ? kit::MessageIcon::None : kit::MessageIcon::Critical);
        }
    }
    bridge_->Finish(result_.outcome == ChipCopyOutcome::Done &&
                    (!verifyResult_ || verifyResult_->Same()));
    FillBackupList();
    Q_EMIT CopyFinished();
    if (closePending_) reject();
}

bool ChipCopyDlg::AskStop() {
    if (!run_->Running()) return false;
    if (!run_->StopRequested()) {
        const QString question = work_ == Work::Restore ? QStringLiteral(
                                                              "停止还原？\n已写入的部分不能撤回，"
                                                              "芯片中可能只有部分数据。")
                                 : work_ == Work::Backup
                                     ? QStringLiteral("停止备份？\n不完整的备份不会保存。")
                                     : QStringLiteral("停止校验？");
        if (!messages_.Question(this, question, kit::MessageService::AppTitle(),
                                kit::MessageIcon::Question))
            return false;
        // The work may have ended while the question was open.
        if (!run_->Running()) return false;
        run_->Cancel();
        status_->setText(QStringLiteral("正在停止......"));
    }
    return true;
}

void ChipCopyDlg::reject() {
    if (run_->Running()) {
        // Closing asks as "取消" does; the window goes once the work has stopped.
        if (AskStop()) closePending_ = true;
        return;
    }
    port_.Close();
    QDialog::reject();
}

}  // namespace velsend::gui::burner

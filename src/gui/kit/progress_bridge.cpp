#include "gui/kit/progress_bridge.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <algorithm>

#include "gui/kit/background_run.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::kit {

using velsend::burner::OpenResult;
using velsend::burner::TransferStage;

ProgressBridge::ProgressBridge(QWidget* dialog, kit::MessageService& messages,
                               kit::BackgroundRun& run, QProgressBar* bar, QLabel* status)
    : QObject(dialog),
      dialog_(dialog),
      messages_(messages),
      run_(run),
      bar_(bar),
      status_(status) {}

void ProgressBridge::SetRange(int upper) {
    {
        std::lock_guard lock(mutex_);
        range_ = upper;
    }
    Post();
}

void ProgressBridge::SetPosition(int position) {
    position_.store(std::max(position, 0));
    Post();
}

void ProgressBridge::SetStatus(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        text_ = kit::Q(text);
    }
    Post();
}

void ProgressBridge::SetStage(const TransferStage& stage) {
    {
        std::lock_guard lock(mutex_);
        stage_ = stage;
    }
    Post();
}

void ProgressBridge::StartStages(QLabel* line) {
    stageLine_ = line;
    clock_.start();
    tracker_.Start(0);
    line->clear();
    line->hide();
}

// One update in flight: the flag is cleared before the values are read, so a
// value stored after the read always finds the flag clear and posts again.
void ProgressBridge::Post() {
    if (queued_.exchange(true)) return;
    QMetaObject::invokeMethod(this, &ProgressBridge::Flush, Qt::QueuedConnection);
}

void ProgressBridge::Flush() {
    queued_.store(false);
    std::optional<int> range;
    std::optional<QString> text;
    std::optional<TransferStage> stage;
    {
        std::lock_guard lock(mutex_);
        range.swap(range_);
        text.swap(text_);
        stage.swap(stage_);
    }
    const int position = position_.exchange(-1);
    if (!range && !text && !stage && position < 0) return;
    ++deliveries_;
    // The range comes first: a new phase sets its range before its positions.
    if (range) bar_->setRange(0, *range);
    if (position >= 0) bar_->setValue(std::min(position, bar_->maximum()));
    if (text) status_->setText(*text);
    if (stage) tracker_.Enter(*stage);
    // A stage just entered has not moved the bar yet: it starts at 0.
    ShowLine(stage && position < 0 ? 0 : bar_->value());
}

void ProgressBridge::Finish(bool whole) {
    Flush();
    tracker_.Finish(whole);
    ShowLine(bar_->value());
}

void ProgressBridge::ShowLine(int position) {
    if (!stageLine_ || !tracker_.HasStage()) return;
    const double now = static_cast<double>(clock_.elapsed()) / 1000.0;
    stageLine_->setText(kit::Q(tracker_.Line(position, bar_->maximum(), now)));
    stageLine_->show();
}

void ProgressBridge::PortNotOpened(const OpenResult& result) {
    run_.RunOnOwnerThread([this, result] { ShowPortFailure(result); });
}

void ProgressBridge::Warn(const std::string& text) {
    run_.RunOnOwnerThread([this, text] {
        messages_.Message(dialog_, kit::Q(text), kit::MessageService::AppTitle(),
                          kit::MessageIcon::Warning);
    });
}

// The transfer port's message comes with the warning icon under the program's
// title; the backup port's has a caption of its own and no icon.
void ProgressBridge::ShowPortFailure(const OpenResult& result) {
    Flush();  // the status of the run so far stays under the message
    if (result.caption) {
        messages_.Message(dialog_, kit::Q(result.message), kit::Q(*result.caption),
                          kit::MessageIcon::None);
    } else {
        messages_.Message(dialog_, kit::Q(result.message), kit::MessageService::AppTitle(),
                          kit::MessageIcon::Warning);
    }
}

}  // namespace velsend::gui::kit

#include "burner/progress_bridge_dlg.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QThread>
#include <algorithm>

#include "ui/message_service.h"
#include "ui/qt_text.h"

namespace velsend::burner {

ProgressBridge::ProgressBridge(QWidget* dialog, ui::MessageService& messages, QProgressBar* bar,
                               QLabel* status)
    : QObject(dialog), dialog_(dialog), messages_(messages) {
    connect(
        this, &ProgressBridge::RangeChanged, bar, [bar](int upper) { bar->setRange(0, upper); },
        Qt::QueuedConnection);
    connect(
        this, &ProgressBridge::PositionChanged, bar,
        [bar](int position) { bar->setValue(std::min(position, bar->maximum())); },
        Qt::QueuedConnection);
    connect(this, &ProgressBridge::StatusChanged, status, &QLabel::setText, Qt::QueuedConnection);
}

void ProgressBridge::SetRange(int upper) {
    Q_EMIT RangeChanged(upper);
}
void ProgressBridge::SetPosition(int position) {
    Q_EMIT PositionChanged(position);
}
void ProgressBridge::SetStatus(const std::string& text) {
    Q_EMIT StatusChanged(ui::Q(text));
}

void ProgressBridge::PortNotOpened(const OpenResult& result) {
    if (QThread::currentThread() == dialog_->thread()) {
        ShowPortFailure(result);
        return;
    }
    QMetaObject::invokeMethod(
        dialog_, [this, result] { ShowPortFailure(result); }, Qt::BlockingQueuedConnection);
}

// The transfer port's message comes with the warning icon under the program's
// title; the backup port's has a caption of its own and no icon.
void ProgressBridge::ShowPortFailure(const OpenResult& result) {
    if (result.caption) {
        messages_.Message(dialog_, ui::Q(result.message), ui::Q(*result.caption),
                          ui::MessageIcon::None);
    } else {
        messages_.Message(dialog_, ui::Q(result.message), ui::MessageService::AppTitle(),
                          ui::MessageIcon::Warning);
    }
}

}  // namespace velsend::burner

#include "burner/progress_bridge_dlg.h"

#include <QMetaObject>
#include <QThread>

#include "ui/qt_text.h"

namespace velsend::burner {

ProgressBridge::ProgressBridge(QObject* guiSide,
                               std::function<void(const OpenResult&)> onPortFailure)
    : QObject(guiSide), guiSide_(guiSide), onPortFailure_(std::move(onPortFailure)) {}

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
    if (QThread::currentThread() == guiSide_->thread()) {
        onPortFailure_(result);
        return;
    }
    QMetaObject::invokeMethod(
        guiSide_, [this, result] { onPortFailure_(result); }, Qt::BlockingQueuedConnection);
}

}  // namespace velsend::burner

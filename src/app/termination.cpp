#include "app/termination.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include "base/platform/stop_requests.h"

namespace velsend::app {

TerminationWatch::TerminationWatch(QObject* parent)
    : QObject(parent),
      requests_(std::make_unique<platform::StopRequestHandler>([](int) {}, false)) {
    // The request wakes the event loop, which does the real work.
    if (const int wake = requests_->WakeDescriptor(); wake >= 0) {
        notifier_ = new QSocketNotifier(wake, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            requests_->DrainWake();
            RequestStop();
        });
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { RequestStop(); });
    }
}

TerminationWatch::~TerminationWatch() = default;

void TerminationWatch::RequestStop() {
    if (stopping_) return;
    stopping_ = true;
    CloseNext();
}

void TerminationWatch::CloseNext() {
    // A transfer dialog asked to close stays up until its worker has stopped
    // and may show one more box (the partial-write warning): keep rejecting
    // whatever modal dialog is on top until none is left.
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        dialog->reject();
        QTimer::singleShot(50, this, &TerminationWatch::CloseNext);
        return;
    }
    Q_EMIT AllClosed();
}

}  // namespace velsend::app

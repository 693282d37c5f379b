#include "app/termination.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>

namespace velsend::app::gui {
namespace {

// A signal handler may only write to a descriptor: the pipe wakes the event
// loop, which does the real work.
int gWakePipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    const int saved = errno;
    (void)!::write(gWakePipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

TerminationWatch::TerminationWatch(QObject* parent) : QObject(parent) {
    if (gWakePipe[0] < 0 && ::pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(gWakePipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(gWakePipe[0], buffer, sizeof buffer) > 0) {
        }
        RequestStop();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(sig, &action, nullptr);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { RequestStop(); });
    }
}

TerminationWatch::~TerminationWatch() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int sig : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(sig, &action, nullptr);
}

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

}  // namespace velsend::app::gui

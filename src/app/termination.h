#pragma once

#include <QObject>
#include <memory>

#include "base/platform/stop_requests.h"

class QSocketNotifier;

namespace velsend::app {

// Ends the program cleanly when the desktop logs out or the process is told
// to stop (SIGTERM, SIGHUP, SIGINT): every modal dialog is rejected, which
// stops a running transfer, erase, backup or restore between blocks (the
// dialogs close only once their worker has let go of the port and said what
// the chip may hold), and AllClosed() follows when none is left.
class TerminationWatch : public QObject {
    Q_OBJECT
  public:
    explicit TerminationWatch(QObject* parent = nullptr);
    ~TerminationWatch() override;

    // Starts closing the dialogs (what a signal or a logout does).
    void RequestStop();

  Q_SIGNALS:
    void AllClosed();

  private:
    void CloseNext();

    std::unique_ptr<platform::StopRequestHandler> requests_;
    QSocketNotifier* notifier_ = nullptr;
    bool stopping_ = false;
};

}  // namespace velsend::app

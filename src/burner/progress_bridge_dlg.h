#pragma once

#include <QObject>
#include <QString>

#include "burner/transfer_engine.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace velsend::ui {
class MessageService;
}

namespace velsend::burner {

// Carries a worker thread's progress to the dialog: every call becomes a
// queued signal that drives the dialog's progress bar and status text. A port
// that cannot be opened is reported in a message box on the dialog's thread
// while the worker waits, as the message box would hold up the exchange.
class ProgressBridge : public QObject, public TransferObserver {
    Q_OBJECT
  public:
    ProgressBridge(QWidget* dialog, ui::MessageService& messages, QProgressBar* bar,
                   QLabel* status);

    void SetRange(int upper) override;
    void SetPosition(int position) override;
    void SetStatus(const std::string& text) override;
    void PortNotOpened(const OpenResult& result) override;

  Q_SIGNALS:
    void RangeChanged(int upper);
    void PositionChanged(int position);
    void StatusChanged(const QString& text);

  private:
    void ShowPortFailure(const OpenResult& result);

    QWidget* dialog_;
    ui::MessageService& messages_;
};

}  // namespace velsend::burner

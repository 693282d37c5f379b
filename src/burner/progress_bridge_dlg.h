#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "burner/transfer_engine.h"

namespace velsend::burner {

// Carries a worker thread's progress to the dialog: every call becomes a
// signal that is delivered on the dialog's thread. A port that cannot be
// opened is reported with `onPortFailure` on the dialog's thread while the
// worker waits, as the message box would hold up the exchange.
class ProgressBridge : public QObject, public TransferObserver {
    Q_OBJECT
  public:
    ProgressBridge(QObject* guiSide, std::function<void(const OpenResult&)> onPortFailure);

    void SetRange(int upper) override;
    void SetPosition(int position) override;
    void SetStatus(const std::string& text) override;
    void PortNotOpened(const OpenResult& result) override;

  Q_SIGNALS:
    void RangeChanged(int upper);
    void PositionChanged(int position);
    void StatusChanged(const QString& text);

  private:
    QObject* guiSide_;
    std::function<void(const OpenResult&)> onPortFailure_;
};

}  // namespace velsend::burner

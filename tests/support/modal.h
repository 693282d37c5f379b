#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace velsend::test {

// Runs `act` on the next modal dialog once it is up (a dialog's exec() blocks
// the test otherwise). Lives as long as the returned object: nothing is left
// behind to act on a later test's dialog. It never lets a test hang: when no
// dialog comes within `timeoutMs`, or the dialog is still open that long after
// `act`, the test fails and any dialog still up is rejected.
class ModalAction {
  public:
    ModalAction(std::function<void(QDialog*)> act, int timeoutMs) {
        state_ = std::make_shared<State>();
        state_->timer.setInterval(10);
        state_->clock.start();
        QObject::connect(
            &state_->timer, &QTimer::timeout,
            [s = state_.get(), act = std::move(act), timeoutMs] { Tick(*s, act, timeoutMs); });
        state_->timer.start();
    }
    ~ModalAction() {
        state_->timer.stop();
        if (state_->phase == Phase::Waiting)
            ADD_FAILURE() << "the expected modal dialog never came up";
    }
    ModalAction(const ModalAction&) = delete;
    ModalAction& operator=(const ModalAction&) = delete;

    bool Acted() const { return state_->phase != Phase::Waiting; }

  private:
    enum class Phase { Waiting, Acted, Done };
    struct State {
        QTimer timer;
        QElapsedTimer clock;
        Phase phase = Phase::Waiting;
        QPointer<QDialog> dialog;
    };

    static void Tick(State& s, const std::function<void(QDialog*)>& act, int timeoutMs) {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        switch (s.phase) {
            case Phase::Waiting:
                if (modal) {
                    s.phase = Phase::Acted;
                    s.dialog = modal;
                    s.clock.restart();
                    act(modal);
                } else if (s.clock.elapsed() > timeoutMs) {
                    ADD_FAILURE() << "no modal dialog came up within " << timeoutMs << " ms";
                    s.phase = Phase::Done;
                }
                return;
            case Phase::Acted:
                if (!s.dialog || modal != s.dialog) {
                    s.timer.stop();
                } else if (s.clock.elapsed() > timeoutMs) {
                    ADD_FAILURE() << "the modal dialog stayed open after the scripted action";
                    modal->reject();
                    s.timer.stop();
                }
                return;
            case Phase::Done:
                // Too late to act: close whatever comes so that exec() returns.
                if (modal) modal->reject();
                return;
        }
    }

    std::shared_ptr<State> state_;
};

[[nodiscard]] inline std::unique_ptr<ModalAction> WhenModal(std::function<void(QDialog*)> act,
                                                            int timeoutMs = 10000) {
    return std::make_unique<ModalAction>(std::move(act), timeoutMs);
}

// Closes the next modal dialog as Esc would.
[[nodiscard]] inline std::unique_ptr<ModalAction> DismissNextModal() {
    return WhenModal([](QDialog* dialog) { dialog->reject(); });
}

}  // namespace velsend::test

#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace velsend::test {

// Runs `act` on the next modal dialog once it is up (a dialog's exec() blocks
// the test otherwise). Gives up after about two seconds.
inline void WhenModal(std::function<void(QDialog*)> act, int triesLeft = 200) {
    QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            act(dialog);
        } else if (triesLeft > 0) {
            WhenModal(std::move(act), triesLeft - 1);
        }
    });
}

// Closes the next modal dialog as Esc would.
inline void DismissNextModal() {
    WhenModal([](QDialog* dialog) { dialog->reject(); });
}

}  // namespace velsend::test

#pragma once

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

namespace velsend::test {

// Types `text` into the focused widget: ASCII as key presses, anything else
// the way an input method commits it.
inline void TypeText(QWidget* widget, const QString& text) {
    widget->setFocus();
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClicks(widget, QString(c));
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(widget, &commit);
        }
    }
}

// Replaces the edit's text by typing over it, as a user would (emptying it
// first would already raise the empty-field message where fields are checked
// on every change).
inline void Retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    TypeText(edit, text);
}

// Clicks near the left edge, half-way down: radios and check boxes answer
// over their mark and text only. Layouts settle first.
inline void Click(QWidget* widget) {
    QApplication::processEvents();
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(8, widget->height() / 2));
}

// Turns the mouse wheel over the widget by `dy` (120 is one notch).
inline void Wheel(QWidget* target, int dy) {
    QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, dy),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

}  // namespace velsend::test

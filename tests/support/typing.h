#pragma once

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

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

}  // namespace velsend::test

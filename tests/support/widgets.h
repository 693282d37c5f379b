#pragma once

#include <QLatin1String>
#include <QObject>
#include <QString>

namespace velsend::test {

// A dialog's widget by its object name, the way a test reaches it without
// the dialog exposing it; nullptr when there is none.
template <class T>
T* Child(const QObject* dialog, const char* name) {
    return dialog->findChild<T*>(QLatin1String(name));
}
// The dialog's only widget of type T (a grid, a companion window).
template <class T>
T* Child(const QObject* dialog) {
    return dialog->findChild<T*>();
}
// One of a numbered set: Child<QRadioButton>(d, "type", 15) is "type15".
template <class T>
T* Child(const QObject* dialog, const char* name, int number) {
    return dialog->findChild<T*>(QLatin1String(name) + QString::number(number));
}

}  // namespace velsend::test

#include "gui/kit/gbk_text_edit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

#include "base/gbk.h"
#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::kit {
namespace {

QString OneCharacter(char32_t codePoint) {
    return QString::fromUcs4(&codePoint, 1);
}

// Bytes `text` takes in GBK, counting a character GBK cannot hold (only in
// text the program set) as two, so that the room left is never overstated.
int LenientBytes(const QString& text) {
    const int bytes = GbkLength(text);
    if (bytes >= 0) return bytes;
    int total = 0;
    for (const char32_t codePoint : text.toUcs4()) {
        const int one = GbkLength(OneCharacter(codePoint));
        total += one >= 0 ? one : 2;
    }
    return total;
}

}  // namespace

GbkTextEdit::GbkTextEdit(QWidget* parent, int maxBytes)
    : QPlainTextEdit(parent), maxBytes_(maxBytes) {
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] { keeper_.Edited(toPlainText()); });
}

std::optional<std::string> GbkTextEdit::GbkText() const {
    return keeper_.Bytes(toPlainText());
}

void GbkTextEdit::SetGbkText(const std::string& gbk) {
    setPlainText(keeper_.Set(gbk));
}

int GbkTextEdit::Room() const {
    const QString all = toPlainText();
    const QTextCursor cursor = textCursor();
    const QString selected =
        all.mid(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
    return maxBytes_ - (LenientBytes(all) - LenientBytes(selected));
}

QString GbkTextEdit::Fitting(const QString& text) const {
    int room = Room();
    QString fitting;
    for (const char32_t codePoint : text.toUcs4()) {
        const QString one = OneCharacter(codePoint);
        const int bytes = GbkLength(one);
        if (bytes < 0 || bytes > room) break;
        room -= bytes;
        fitting += one;
    }
    return fitting;
}

void GbkTextEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && typed.at(0).isPrint();
    if (printable && Fitting(typed) != typed) {
        event->accept();
        QApplication::beep();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void GbkTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    const QString fitting = Fitting(commit);
    if (fitting == commit) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QApplication::beep();
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(fitting, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
}

void GbkTextEdit::insertFromMimeData(const QMimeData* source) {
    if (!source->hasText()) return;
    const QString text = source->text();
    const QString fitting = Fitting(text);
    if (fitting != text) QApplication::beep();
    if (!fitting.isEmpty()) textCursor().insertText(fitting);
}

}  // namespace velsend::gui::kit

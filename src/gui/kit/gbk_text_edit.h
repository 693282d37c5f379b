#pragma once

#include <QPlainTextEdit>
#include <optional>
#include <string>

#include "gui/kit/gbk_line_edit.h"

namespace velsend::gui::kit {

// The multi-line counterpart of GbkLineEdit: the user cannot type or paste
// beyond `maxBytes` bytes of GBK, nor a character GBK cannot hold. Enter is
// left to the dialog (its default button), Tab moves on, as in a dialog's
// edit box. Text set by the program is taken whole, even when longer.
class GbkTextEdit : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit GbkTextEdit(QWidget* parent = nullptr, int maxBytes = 120);

    int MaxBytes() const { return maxBytes_; }
    void SetMaxBytes(int maxBytes) { maxBytes_ = maxBytes; }
    // The text in GBK bytes: the bytes SetGbkText gave, as long as the user
    // has not changed them, even when they are not valid GBK (shown as
    // U+FFFD). nullopt when it holds a character GBK cannot encode (possible
    // only in text set with setPlainText()).
    std::optional<std::string> GbkText() const;
    void SetGbkText(const std::string& gbk);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    // Bytes still free when the selection is replaced.
    int Room() const;
    // The longest prefix of `text` that fits in the room left.
    QString Fitting(const QString& text) const;

    int maxBytes_;
    GbkKeeper keeper_;
};

}  // namespace velsend::gui::kit

#pragma once

#include <QLineEdit>
#include <optional>
#include <string>
#include <vector>

namespace velsend::gui::kit {

// What an edit needs to give a file's bytes back unchanged. Bytes that are
// not valid GBK (half a character at a field's end, a user-defined code such
// as AA A1) are shown as U+FFFD; each U+FFFD keeps the bytes it stands for
// while the user edits around it, and goes away when the user deletes or
// replaces it. Text the user never touched goes back byte for byte.
class GbkKeeper {
  public:
    // The text to show for `gbk`.
    QString Set(const std::string& gbk);
    // After an edit of the shown text: keeps the runs of the U+FFFDs that
    // are still there.
    void Edited(const QString& now);
    // The bytes for `now`, nullopt when it holds a character GBK cannot encode
    // or a U+FFFD that stands for nothing (one the user typed or pasted).
    std::optional<std::string> Bytes(const QString& now) const;
    // The runs that stay when `before` becomes `after` in one edit.
    std::vector<std::string> RunsAfter(const QString& after) const;

  private:
    std::string original_;
    QString shown_;
    QString current_;
    std::vector<std::string> runs_;
};

// A text edit whose limit counts bytes in the project files' encoding (GBK):
// a Chinese character takes two of them. Characters GBK cannot hold are not
// accepted at all.
class GbkLineEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit GbkLineEdit(QWidget* parent = nullptr, int maxBytes = 16);

    int MaxBytes() const { return maxBytes_; }
    // The text in GBK bytes: the bytes SetGbkText gave while the user has not
    // changed them. nullopt only for text set with setText() that holds a
    // character GBK cannot encode.
    std::optional<std::string> GbkText() const;
    void SetGbkText(const std::string& gbk);

  private:
    int maxBytes_;
    GbkKeeper keeper_;
};

// Bytes `text` takes in GBK; -1 when it holds a character GBK cannot encode.
int GbkLength(const QString& text);

}  // namespace velsend::gui::kit

#pragma once

#include <QLineEdit>
#include <string>

namespace velsend::ui {

// A text edit whose limit counts bytes in the project files' encoding (GBK):
// a Chinese character takes two of them. Characters GBK cannot hold are not
// accepted at all.
class GbkLineEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit GbkLineEdit(QWidget* parent = nullptr, int maxBytes = 16);

    int MaxBytes() const { return maxBytes_; }
    // The text in GBK bytes.
    std::string GbkText() const;
    void SetGbkText(const std::string& gbk);

  private:
    int maxBytes_;
};

// Bytes `text` takes in GBK; -1 when it holds a character GBK cannot encode.
int GbkLength(const QString& text);

}  // namespace velsend::ui

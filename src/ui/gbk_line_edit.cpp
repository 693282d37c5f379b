#include "ui/gbk_line_edit.h"

#include <QValidator>

#include "store/gbk.h"

namespace velsend::ui {
namespace {

class GbkLimit : public QValidator {
  public:
    GbkLimit(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
    State validate(QString& input, int&) const override {
        const int bytes = GbkLength(input);
        return bytes >= 0 && bytes <= maxBytes_ ? Acceptable : Invalid;
    }

  private:
    int maxBytes_;
};

}  // namespace

int GbkLength(const QString& text) {
    const auto gbk = store::Utf8ToGbk(text.toStdString());
    return gbk ? static_cast<int>(gbk->size()) : -1;
}

GbkLineEdit::GbkLineEdit(QWidget* parent, int maxBytes) : QLineEdit(parent), maxBytes_(maxBytes) {
    setValidator(new GbkLimit(maxBytes, this));
}

std::string GbkLineEdit::GbkText() const {
    return store::Utf8ToGbk(text().toStdString()).value_or(std::string());
}

void GbkLineEdit::SetGbkText(const std::string& gbk) {
    setText(QString::fromStdString(store::GbkToUtf8(gbk)));
}

}  // namespace velsend::ui

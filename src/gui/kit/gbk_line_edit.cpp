#include "gui/kit/gbk_line_edit.h"

#include <QValidator>
#include <algorithm>

#include "base/gbk.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::kit {
namespace {

constexpr QChar kReplacementChar(0xFFFD);

class GbkLimit : public QValidator {
  public:
    GbkLimit(int maxBytes, const GbkKeeper& keeper, QObject* parent)
        : QValidator(parent), maxBytes_(maxBytes), keeper_(keeper) {}
    State validate(QString& input, int&) const override {
        const auto bytes = base::Utf8ToGbk(U8(input), keeper_.RunsAfter(input));
        return bytes && static_cast<int>(bytes->size()) <= maxBytes_ ? Acceptable : Invalid;
    }

  private:
    int maxBytes_;
    const GbkKeeper& keeper_;
};

}  // namespace

QString GbkKeeper::Set(const std::string& gbk) {
    original_ = gbk;
    shown_ = Q(base::GbkToUtf8(gbk, runs_));
    current_ = shown_;
    return shown_;
}

std::vector<std::string> GbkKeeper::RunsAfter(const QString& after) const {
    const QString& before = current_;
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const auto head = static_cast<std::size_t>(before.left(prefix).count(kReplacementChar));
    const auto tail = static_cast<std::size_t>(before.right(suffix).count(kReplacementChar));
    std::vector<std::string> kept(runs_.begin(), runs_.begin() + static_cast<std::ptrdiff_t>(head));
    kept.insert(kept.end(), runs_.end() - static_cast<std::ptrdiff_t>(tail), runs_.end());
    return kept;
}

void GbkKeeper::Edited(const QString& now) {
    if (now == current_) return;
    runs_ = RunsAfter(now);
    current_ = now;
}

std::optional<std::string> GbkKeeper::Bytes(const QString& now) const {
    if (now == shown_) return original_;
    return base::Utf8ToGbk(U8(now), runs_);
}

int GbkLength(const QString& text) {
    const auto gbk = base::Utf8ToGbk(U8(text));
    return gbk ? static_cast<int>(gbk->size()) : -1;
}

GbkLineEdit::GbkLineEdit(QWidget* parent, int maxBytes) : QLineEdit(parent), maxBytes_(maxBytes) {
    setValidator(new GbkLimit(maxBytes, keeper_, this));
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString& now) { keeper_.Edited(now); });
}

std::optional<std::string> GbkLineEdit::GbkText() const {
    return keeper_.Bytes(text());
}

void GbkLineEdit::SetGbkText(const std::string& gbk) {
    setText(keeper_.Set(gbk));
}

}  // namespace velsend::gui::kit

#include "gui/kit/number_edit.h"

#include <QRegularExpressionValidator>
#include <QWheelEvent>
#include <climits>

#include "base/field_check.h"

namespace velsend::gui::kit {

NumberEdit::NumberEdit(QWidget* parent, int maxDigits) : QLineEdit(parent) {
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(maxDigits)), this));
    connect(this, &QLineEdit::textEdited, this, &NumberEdit::OnTextEdited);
}

std::optional<long long> NumberEdit::Number() const {
    bool ok = false;
    const long long value = text().toLongLong(&ok);
    return ok ? std::optional<long long>(value) : std::nullopt;
}

long long NumberEdit::CorrectedValue() const {
    const std::string digits = text().toStdString();
    return base::CorrectedNumber(digits, correctMax_.value_or(LLONG_MAX)).value_or(0);
}

void NumberEdit::SetNumber(long long value, bool selectAllText) {
    setText(QString::number(value));
    if (selectAllText) selectAll();
}

void NumberEdit::EnableCorrection(long long max, bool rewrite) {
    correctMax_ = max;
    rewrite_ = rewrite;
}

void NumberEdit::EnableWheel(int min, int max, bool wrap) {
    wheel_ = true;
    wheelMin_ = min;
    wheelMax_ = max;
    wheelWrap_ = wrap;
}

void NumberEdit::OnTextEdited() {
    const long long value = CorrectedValue();
    if (correctMax_ && !text().isEmpty() && text() != QString::number(value)) {
        // Corrected: either show the corrected value or leave the typed text
        // selected, so the next keystroke replaces it.
        if (rewrite_)
            SetNumber(value, true);
        else
            selectAll();
    }
    Q_EMIT ValueEdited(value);
}

void NumberEdit::wheelEvent(QWheelEvent* event) {
    const int step = WheelStep(event);
    if (!wheel_ || step == 0) {
        QLineEdit::wheelEvent(event);
        return;
    }
    event->accept();
    const int value = static_cast<int>(CorrectedValue());
    const int next = wheelWrap_ ? base::WrapStep(value, step, wheelMin_, wheelMax_)
                                : base::ClampStep(value, step, wheelMin_, wheelMax_);
    SetNumber(next, true);
    Q_EMIT textEdited(text());
}

int WheelStep(const QWheelEvent* event) {
    const int dy = event->angleDelta().y();
    return dy < 0 ? 1 : (dy > 0 ? -1 : 0);
}

}  // namespace velsend::gui::kit

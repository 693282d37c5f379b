#include "gui/kit/number_edit.h"

#include <QRegularExpressionValidator>
#include <QWheelEvent>
#include <climits>

#include "base/field_check.h"
#include "gui/kit/qt_text.h"

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
    const std::string digits = U8(text());
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

int WheelStep(const QWheelEvent* event) {
    const int dy = event->angleDelta().y();
    return dy < 0 ? 1 : (dy > 0 ? -1 : 0);
}

}  // namespace velsend::gui::kit

#pragma once

#include <QLineEdit>
#include <optional>

namespace velsend::gui::kit {

// A numeric edit that takes digits only. Optionally it corrects itself while
// the user types (empty reads 0, above the maximum reads the maximum).
class NumberEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit NumberEdit(QWidget* parent = nullptr, int maxDigits = 3);

    // nullopt while the text is not a number (empty).
    std::optional<long long> Number() const;
    // The value as corrected (see EnableCorrection); 0 for empty text.
    long long CorrectedValue() const;
    void SetNumber(long long value, bool selectAll = false);

    // Empty text reads 0 and values above `max` read `max`. With `rewrite`
    // the edit then shows the corrected value, selected; without it the text
    // stays as typed and only the value is corrected.
    void EnableCorrection(long long max, bool rewrite);

  Q_SIGNALS:
    // The (corrected) value after the user typed.
    void ValueEdited(long long value);

  private:
    void OnTextEdited();

    std::optional<long long> correctMax_;
    bool rewrite_ = false;
};

// +1 for a wheel turned towards the user, -1 away, 0 for no vertical turn.
int WheelStep(const QWheelEvent* event);

}  // namespace velsend::gui::kit

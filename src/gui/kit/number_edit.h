#pragma once

#include <QLineEdit>
#include <optional>

namespace velsend::gui::kit {

// A numeric edit that takes digits only. Optionally it corrects itself while
// the user types (empty reads 0, above the maximum reads the maximum) and
// steps with the mouse wheel.
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
    // The wheel steps the value by one between `min` and `max`, wrapping at
    // the ends when `wrap` (otherwise stopping there); the text is selected.
    void EnableWheel(int min, int max, bool wrap);

  Q_SIGNALS:
    // The (corrected) value after the user typed or stepped.
    void ValueEdited(long long value);

  protected:
    void wheelEvent(QWheelEvent* event) override;

  private:
    void OnTextEdited();

    std::optional<long long> correctMax_;
    bool rewrite_ = false;
    bool wheel_ = false;
    bool wheelWrap_ = true;
    int wheelMin_ = 0;
    int wheelMax_ = 255;
};

// +1 for a wheel turned towards the user, -1 away, 0 for no vertical turn.
int WheelStep(const QWheelEvent* event);

}  // namespace velsend::gui::kit

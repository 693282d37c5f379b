#pragma once

#include <QDialog>

#include "core/loops/loop_grid.h"

class QPushButton;

namespace velsend::gui::kit {
class NumberEdit;
}

namespace velsend::gui::loops {

using namespace velsend::loops;

class LoopGridView;
class LoopStatsDlg;
class TypeFilterBoxes;

// "网格查看 - %d回路": one loop's devices as a 16 × 16 map with type filters
// that stay as they are from loop to loop. Opened from the statistics
// dialog, whose loop follows this one.
class LoopGridDlg : public QDialog {
    Q_OBJECT
  public:
    LoopGridDlg(const velsend::store::ProjectDir& dir, int loop, LoopStatsDlg* linked,
                QWidget* parent = nullptr);

    int Loop() const { return loop_; }
    LoopGridView* Grid() const { return grid_; }
    TypeFilterBoxes* Filters() const { return filters_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Step(int step);
    void ShowLoop(int loop);

    velsend::store::ProjectDir dir_;
    int loop_ = 0;
    LoopStatsDlg* linked_;
    TypeFilter filter_;
    LoopGridView* grid_;
    TypeFilterBoxes* filters_;
    QPushButton* plus_;
    kit::NumberEdit* edit_;
    QPushButton* minus_;
};

}  // namespace velsend::gui::loops

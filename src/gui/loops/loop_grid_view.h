#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <array>

#include "core/loops/loop_grid.h"

class QCheckBox;

namespace velsend::gui::loops {

using namespace velsend::loops;

// The painted 16 × 16 map of a loop. It draws in its window's client
// coordinates (the geometry is given in them) and covers just the grid and
// its headings, so the window's other controls keep their clicks.
class LoopGridView : public QWidget {
    Q_OBJECT
  public:
    LoopGridView(const velsend::loops::GridGeometry& geometry,
                 const velsend::loops::TypeFilter& filter, QWidget* window);

    void SetLabels(const velsend::loops::GridLabels& labels);
    void SetLabel(int address, const velsend::store::GridLabel& label);
    // The white cell; -1 for none.
    void SetCurrent(int address);

    QString LabelText(int address) const { return cells_[static_cast<std::size_t>(address)].text; }
    // What a repaint would draw at the address (empty when filtered out).
    QString ShownText(int address) const;

  Q_SIGNALS:
    void AddressClicked(int address);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    struct Cell {
        QString text;
        QColor color;
        int slot = velsend::store::kPlainSlot;
    };
    velsend::loops::GridGeometry geometry_;
    const velsend::loops::TypeFilter& filter_;
    std::array<Cell, velsend::store::kAddressCount> cells_;
    int current_ = -1;
};

// The three filter columns "T", "M", "J": a heading, a column box, then one
// box per type. The boxes of the borrowed column carry the row numbers.
class TypeFilterBoxes : public QObject {
    Q_OBJECT
  public:
    // Places the boxes on `window` from `origin`, one row every `rowHeight`.
    TypeFilterBoxes(velsend::loops::TypeFilter& filter, QWidget* window, QPoint origin,
                    int rowHeight);

    QCheckBox* TypeBox(velsend::loops::FilterColumn column, int row) const;
    QCheckBox* ColumnBox(velsend::loops::FilterColumn column) const;
    // Every box as the filter says.
    void Refresh();

  Q_SIGNALS:
    void Changed();

  private:
    velsend::loops::TypeFilter& filter_;
    std::array<std::array<QCheckBox*, 32>, velsend::loops::kFilterColumnCount> types_{};
    std::array<QCheckBox*, velsend::loops::kFilterColumnCount> columns_{};
};

}  // namespace velsend::gui::loops

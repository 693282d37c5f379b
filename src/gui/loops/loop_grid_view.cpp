#include "gui/loops/loop_grid_view.h"

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "gui/kit/qt_text.h"

namespace velsend::gui::loops {

using namespace velsend::loops;

LoopGridView::LoopGridView(const velsend::loops::GridGeometry& geometry,
                           const velsend::loops::TypeFilter& filter, QWidget* window)
    : QWidget(window), geometry_(geometry), filter_(filter) {
    setGeometry(geometry.headingLeft, geometry.headingTop,
                geometry.Right() - geometry.headingLeft + 1,
                geometry.Bottom() - geometry.headingTop + 1);
    // Arial with a 15-pixel cell height: about 13 pixels to the em, so that
    // "M14" stays inside its 28-pixel cell.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setWeight(QFont::Normal);
    setFont(font);
    for (Cell& cell : cells_) cell.color = Qt::black;
}

void LoopGridView::SetLabels(const velsend::loops::GridLabels& labels) {
    for (int i = 0; i < velsend::store::kAddressCount; ++i)
        SetLabel(i, labels[static_cast<std::size_t>(i)]);
}

void LoopGridView::SetLabel(int address, const velsend::store::GridLabel& label) {
    Cell& cell = cells_[static_cast<std::size_t>(address)];
    cell.text = QString::fromLatin1(label.text.data(), static_cast<qsizetype>(label.text.size()));
    cell.color = QColor(label.red, label.green, label.blue);
    cell.slot = label.filterSlot;
    update();
}

void LoopGridView::SetCurrent(int address) {
    current_ = address;
    update();
}

QString LoopGridView::ShownText(int address) const {
    const Cell& cell = cells_[static_cast<std::size_t>(address)];
    return filter_.Shows(cell.slot) ? cell.text : QString();
}

void LoopGridView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.translate(-pos());  // draw in the window's coordinates
    const velsend::loops::GridGeometry& g = geometry_;
    p.setPen(Qt::black);
    for (int k = 0; k <= 16; ++k) {
        p.drawLine(g.left + g.cell * k, g.top, g.left + g.cell * k, g.Bottom());
        p.drawLine(g.left, g.top + g.cell * k, g.Right(), g.top + g.cell * k);
    }
    for (int k = 0; k < 16; ++k) {
        p.drawText(QRect(g.left + g.cell * k, g.headingTop, g.cell, g.top - g.headingTop),
                   Qt::AlignCenter, QString::number(k));
        p.drawText(QRect(g.headingLeft, g.top + g.cell * k, g.left - g.headingLeft, g.cell),
                   Qt::AlignCenter, QString::number(16 * k));
    }
    if (current_ >= 0) {
        const int r = current_ / 16;
        const int c = current_ % 16;
        p.fillRect(QRect(g.left + 1 + g.cell * c, g.top + 1 + g.cell * r, g.cell - 1, g.cell - 1),
                   Qt::white);
    }
    for (int i = 0; i < velsend::store::kAddressCount; ++i) {
        const Cell& cell = cells_[static_cast<std::size_t>(i)];
        if (cell.text.isEmpty() || !filter_.Shows(cell.slot)) continue;
        p.setPen(cell.color);
        p.drawText(QRect(g.left + g.cell * (i % 16), g.top + g.cell * (i / 16), g.cell, g.cell),
                   Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, cell.text);
    }
}

void LoopGridView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint() + pos();
    const auto address = velsend::loops::AddressAt(geometry_, at.x(), at.y());
    if (event->button() != Qt::LeftButton || !address) {
        event->ignore();
        return;
    }
    Q_EMIT AddressClicked(*address);
}

TypeFilterBoxes::TypeFilterBoxes(velsend::loops::TypeFilter& filter, QWidget* window, QPoint origin,
                                 int rowHeight)
    : QObject(window), filter_(filter) {
    static constexpr const char* kHeadings[] = {"T", "M", "J"};
    static constexpr int kWidths[] = {22, 22, 52};
    int x = origin.x();
    for (int col = 0; col < velsend::loops::kFilterColumnCount; ++col) {
        const auto column = static_cast<FilterColumn>(col);
        auto* heading = new QLabel(QString::fromLatin1(kHeadings[col]), window);
        heading->setGeometry(x + 2, origin.y(), kWidths[col], rowHeight);
        auto* box = new QCheckBox(
            column == FilterColumn::Borrowed ? QStringLiteral(" all") : QString(), window);
        box->setGeometry(x, origin.y() + rowHeight, kWidths[col], rowHeight);
        columns_[col] = box;
        connect(box, &QCheckBox::clicked, this, [this, column](bool on) {
            filter_.SetColumn(column, on);
            Refresh();
            Q_EMIT Changed();
        });
        for (int row = 0; row < velsend::loops::ColumnSize(column); ++row) {
            auto* typeBox = new QCheckBox(
                column == FilterColumn::Borrowed ? QStringLiteral(" %1").arg(row) : QString(),
                window);
            typeBox->setGeometry(x, origin.y() + rowHeight * (row + 2), kWidths[col], rowHeight);
            types_[col][static_cast<std::size_t>(row)] = typeBox;
            connect(typeBox, &QCheckBox::clicked, this, [this, column, row](bool on) {
                filter_.SetType(column, row, on);
                Refresh();
                Q_EMIT Changed();
            });
        }
        x += kWidths[col] + 2;
    }
    Refresh();
}

QCheckBox* TypeFilterBoxes::TypeBox(FilterColumn column, int row) const {
    return types_[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
}

QCheckBox* TypeFilterBoxes::ColumnBox(FilterColumn column) const {
    return columns_[static_cast<std::size_t>(column)];
}

void TypeFilterBoxes::Refresh() {
    for (int col = 0; col < velsend::loops::kFilterColumnCount; ++col) {
        const auto column = static_cast<FilterColumn>(col);
        columns_[col]->setChecked(filter_.ColumnChecked(column));
        for (int row = 0; row < velsend::loops::ColumnSize(column); ++row)
            types_[col][static_cast<std::size_t>(row)]->setChecked(
                filter_.TypeChecked(column, row));
    }
}

}  // namespace velsend::gui::loops

#include "gui/loops/loop_grid_dlg.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWheelEvent>

#include "base/field_check.h"
#include "gui/kit/number_edit.h"
#include "gui/loops/loop_grid_view.h"
#include "gui/loops/loop_stats_dlg.h"

namespace velsend::gui::loops {

using namespace velsend::loops;

LoopGridDlg::LoopGridDlg(const velsend::store::ProjectDir& dir, int loop, LoopStatsDlg* linked,
                         QWidget* parent)
    : QDialog(parent),
      dir_(dir),
      linked_(linked),
      grid_(new LoopGridView(kGridView, filter_, this)),
      filters_(new TypeFilterBoxes(filter_, this, QPoint(556, 4), 16)),
      plus_(new QPushButton(QStringLiteral("+"), this)),
      edit_(new kit::NumberEdit(this)),
      minus_(new QPushButton(QStringLiteral("-"), this)) {
    edit_->setObjectName(QStringLiteral("loop"));
    plus_->setObjectName(QStringLiteral("plus"));
    minus_->setObjectName(QStringLiteral("minus"));
    const int y = kGridView.Bottom() + 12;
    plus_->setGeometry(kGridView.left, y, 40, 26);
    edit_->setGeometry(kGridView.left + 46, y, 50, 26);
    minus_->setGeometry(kGridView.left + 102, y, 40, 26);
    // Enter closes the view; neither button may take it.
    plus_->setAutoDefault(false);
    minus_->setAutoDefault(false);
    edit_->EnableCorrection(255, true);
    setFixedSize(660, y + 38);

    connect(filters_, &TypeFilterBoxes::Changed, grid_, qOverload<>(&QWidget::update));
    connect(plus_, &QPushButton::clicked, this, [this] { Step(1); });
    connect(minus_, &QPushButton::clicked, this, [this] { Step(-1); });
    connect(edit_, &kit::NumberEdit::ValueEdited, this, [this](long long value) {
        ShowLoop(static_cast<int>(value));
        if (linked_) linked_->SetLoop(loop_);
    });

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
    edit_->SetNumber(loop & 0xFF);
    ShowLoop(loop);
}

void LoopGridDlg::Step(int step) {
    if (linked_) linked_->StepLoop(step);
    ShowLoop(base::WrapStep(loop_, step, 0, 255));
    edit_->SetNumber(loop_);
}

void LoopGridDlg::ShowLoop(int loop) {
    loop_ = loop & 0xFF;
    setWindowTitle(QStringLiteral("网格查看 - %1回路").arg(loop_));
    grid_->SetLabels(ReadGridLabels(dir_, loop_));
}

bool LoopGridDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
    } else if (event->type() == QEvent::Wheel) {
        const int step = kit::WheelStep(static_cast<QWheelEvent*>(event));
        if (step != 0) {
            Step(step);
            edit_->setFocus();
            edit_->selectAll();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace velsend::gui::loops

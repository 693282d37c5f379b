#include "gui/loops/loop_stats_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "base/field_check.h"
#include "gui/kit/dialog_buttons.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"
#include "gui/loops/loop_grid_dlg.h"

namespace velsend::gui::loops {

using namespace velsend::loops;
namespace {

QLineEdit* CountField(QWidget* parent, int width = 34) {
    auto* field = new QLineEdit(QStringLiteral("0"), parent);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setFixedWidth(width);
    field->setAlignment(Qt::AlignRight);
    return field;
}

void ShowMessage(kit::MessageService& messages, QWidget* parent, const std::string& text) {
    messages.Message(parent, kit::Q(text), kit::MessageService::AppTitle(),
                     kit::MessageIcon::Warning);
}

}  // namespace

LoopStatsDlg::LoopStatsDlg(kit::RunState& state, kit::MessageService& messages, int loop,
                           QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      loop_(loop & 0xFF),
      loopEdit_(new kit::NumberEdit(this)),
      total_(CountField(this)),
      grid_(new QPushButton(QStringLiteral("网格查看[F1]"), this)),
      previous_(new QPushButton(QStringLiteral("上一回路"), this)),
      next_(new QPushButton(QStringLiteral("下一回路"), this)) {
    setWindowTitle(QStringLiteral("回路设备查询结果"));
    auto* layout = new QVBoxLayout(this);

    BuildTopRow(layout);
    BuildClassGroups(layout);
    BuildButtonRow(layout);

    connect(loopEdit_, &QLineEdit::textEdited, this, &LoopStatsDlg::OnLoopEdited);
    connect(next_, &QPushButton::clicked, this, [this] { StepLoop(1); });
    connect(previous_, &QPushButton::clicked, this, [this] { StepLoop(-1); });
    connect(grid_, &QPushButton::clicked, this, &LoopStatsDlg::OpenGrid);

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
    SetLoop(loop_);
    setFixedSize(sizeHint());
}

void LoopStatsDlg::BuildTopRow(QVBoxLayout* layout) {
    auto* top = new QHBoxLayout;
    loopEdit_->setFixedWidth(48);
    loopEdit_->setObjectName(QStringLiteral("loop"));
    total_->setObjectName(QStringLiteral("total"));
    grid_->setObjectName(QStringLiteral("showGrid"));
    previous_->setObjectName(QStringLiteral("previous"));
    next_->setObjectName(QStringLiteral("next"));
    top->addWidget(new QLabel(QStringLiteral("回路"), this));
    top->addWidget(loopEdit_);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("总数"), this));
    top->addWidget(total_);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("区显"), this));
    classes_[velsend::store::kZoneDisplayClass] = CountField(this);
    classes_[velsend::store::kZoneDisplayClass]->setObjectName(
        QStringLiteral("class%1").arg(velsend::store::kZoneDisplayClass));
    top->addWidget(classes_[velsend::store::kZoneDisplayClass]);
    top->addStretch(1);
    layout->addLayout(top);
}

// One box per class: its total, then its type counters in rows.
void LoopStatsDlg::BuildClassGroups(QVBoxLayout* layout) {
    struct Group {
        int productClass;
        const char* title;
        int first;
        int count;
        int perRow;
    };
    const Group groups[] = {{velsend::store::kAlarmClass, "报警类    总数", 0, 21, 7},
                            {velsend::store::kModuleClass, "模块类    总数", 21, 32, 8},
                            {velsend::store::kBorrowedClass, "借用类    总数", 53, 32, 8}};
    for (const Group& g : groups) {
        auto* box = new QGroupBox(this);
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(6, 4, 6, 4);
        grid->setVerticalSpacing(3);
        auto* head = new QHBoxLayout;
        head->addWidget(new QLabel(kit::Q(g.title), box));
        classes_[static_cast<std::size_t>(g.productClass)] = CountField(box);
        classes_[static_cast<std::size_t>(g.productClass)]->setObjectName(
            QStringLiteral("class%1").arg(g.productClass));
        head->addWidget(classes_[static_cast<std::size_t>(g.productClass)]);
        head->addStretch(1);
        grid->addLayout(head, 0, 0, 1, 2 * g.perRow);
        for (int i = 0; i < g.count; ++i) {
            const int counter = g.first + i;
            auto* label = new QLabel(kit::Q(CounterLabel(counter)), box);
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            counters_[static_cast<std::size_t>(counter)] = CountField(box, 30);
            counters_[static_cast<std::size_t>(counter)]->setObjectName(
                QStringLiteral("counter%1").arg(counter));
            grid->addWidget(label, 1 + i / g.perRow, 2 * (i % g.perRow));
            grid->addWidget(counters_[static_cast<std::size_t>(counter)], 1 + i / g.perRow,
                            2 * (i % g.perRow) + 1);
        }
        layout->addWidget(box);
    }
}

void LoopStatsDlg::BuildButtonRow(QVBoxLayout* layout) {
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(grid_);
    buttons->addStretch(1);
    buttons->addWidget(previous_);
    buttons->addWidget(next_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    next_->setDefault(true);
    for (QPushButton* b : {grid_, previous_, cancel}) b->setAutoDefault(false);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void LoopStatsDlg::OnLoopEdited() {
    const std::string text = kit::U8(loopEdit_->text());
    int value = 0;
    if (auto error = base::CheckByte(text, value)) ShowMessage(messages_, this, *error);
    const int corrected = static_cast<int>(base::CorrectedNumber(text, 255).value_or(0));
    if (loopEdit_->text() != QString::number(corrected)) loopEdit_->SetNumber(corrected, true);
    loop_ = corrected;
    Count();
}

void LoopStatsDlg::StepLoop(int step) {
    SetLoop(base::WrapStep(loop_, step, 0, 255));
}

void LoopStatsDlg::SetLoop(int loop) {
    loop_ = loop & 0xFF;
    loopEdit_->SetNumber(loop_);
    Count();
}

void LoopStatsDlg::Count() {
    counts_ = CountLoop(state_.Project, loop_);
    total_->setText(QString::number(counts_.total));
    for (std::size_t c = 0; c < classes_.size(); ++c)
        classes_[c]->setText(QString::number(counts_.byClass[c]));
    for (std::size_t i = 0; i < counters_.size(); ++i)
        counters_[i]->setText(QString::number(counts_.byType[i]));
}

void LoopStatsDlg::OpenGrid() {
    LoopGridDlg dialog(state_.Project, loop_, this, this);
    dialog.exec();
}

bool LoopStatsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        OpenGrid();
        return true;
    }
    if (event->type() == QEvent::Wheel) {
        const int step = kit::WheelStep(static_cast<QWheelEvent*>(event));
        if (step != 0) {
            StepLoop(step);
            loopEdit_->setFocus();
            loopEdit_->selectAll();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

LoopQueryDlg::LoopQueryDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent)
    : QDialog(parent), state_(state), messages_(messages), edit_(new kit::NumberEdit(this)) {
    setWindowTitle(QStringLiteral("回路查询"));
    edit_->setObjectName(QStringLiteral("loop"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("回路"), this));
    row->addWidget(edit_);
    layout->addLayout(row);
    layout->addLayout(kit::MakeOkCancel(this).row);
    connect(edit_, &QLineEdit::textEdited, this, &LoopQueryDlg::OnEdited);
    edit_->SetNumber(state_.QueryLoop, true);
}

void LoopQueryDlg::OnEdited() {
    int value = 0;
    if (auto error = base::CheckByte(kit::U8(edit_->text()), value)) {
        ShowMessage(messages_, this, *error);
        return;
    }
    state_.QueryLoop = value;
}

void LoopQueryDlg::accept() {
    int value = 0;
    if (auto error = base::CheckByte(kit::U8(edit_->text()), value)) {
        ShowMessage(messages_, this, *error);
        edit_->setFocus();
        edit_->selectAll();
        return;
    }
    state_.QueryLoop = value;
    QDialog::accept();
}

LoopQueryResultDlg::LoopQueryResultDlg(kit::RunState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
    setWindowTitle(QStringLiteral("回路设备查询结果"));
    const LoopCounts counts = CountLoop(state_.Project, state_.QueryLoop);
    const char* labels[] = {"回路", "总数", "报警类", "区显", "模块类", "借用类"};
    const int values[] = {state_.QueryLoop,
                          counts.total,
                          counts.byClass[velsend::store::kAlarmClass],
                          counts.byClass[velsend::store::kZoneDisplayClass],
                          counts.byClass[velsend::store::kModuleClass],
                          counts.byClass[velsend::store::kBorrowedClass]};
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int i = 0; i < 6; ++i) {
        grid->addWidget(new QLabel(kit::Q(labels[i]), this), i, 0);
        fields_[static_cast<std::size_t>(i)] = CountField(this, 60);
        fields_[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("field%1").arg(i));
        fields_[static_cast<std::size_t>(i)]->setText(QString::number(values[i]));
        grid->addWidget(fields_[static_cast<std::size_t>(i)], i, 1);
    }
    layout->addLayout(grid);
    layout->addLayout(kit::MakeOkCancel(this).row);
}

void LoopQueryResultDlg::accept() {
    state_.QueryLoop = (state_.QueryLoop + 1) & 0xFF;
    QDialog::accept();
}

void RunLoopQuery(kit::RunState& state, kit::MessageService& messages, QWidget* parent) {
    for (;;) {
        LoopQueryDlg query(state, messages, parent);
        if (query.exec() != QDialog::Accepted) return;
        LoopQueryResultDlg summary(state, parent);
        if (summary.exec() != QDialog::Accepted) return;
    }
}

}  // namespace velsend::gui::loops

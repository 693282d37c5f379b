#include "gui/logic/logic_rules_dlg.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "base/field_check.h"
#include "base/gbk.h"
#include "core/logic/alphabet.h"
#include "core/logic/logic_files.h"
#include "core/logic/rule_editing.h"
#include "gui/kit/gbk_text_edit.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::logic {

using namespace velsend::logic;
namespace {

enum Column { kHidden = 0, kNumber = 1, kText = 2 };

QString RuleForList(const std::string& gbk) {
    return kit::Q(base::GbkToUtf8(gbk));
}

}  // namespace

LogicRulesDlg::LogicRulesDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent,
                             QWidget* ownerDialog)
    : kit::CompanionDialog(parent),
      state_(state),
      messages_(messages),
      number_(new kit::NumberEdit(this, 10)),
      save_(new QPushButton(QStringLiteral("保存,转到下一条[Enter]"), this)),
      clear_(new QPushButton(QStringLiteral("清空"), this)),
      rule_(new kit::GbkTextEdit(this, LogicTextLimit(state.ControllerModel))),
      list_(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("逻辑设置"));
    SetOwner(ownerDialog);

    number_->setFixedWidth(number_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    save_->setDefault(true);
    // Enter always saves, even with the focus on "清空".
    save_->setAutoDefault(false);
    clear_->setAutoDefault(false);

    // Three lines show a whole rule of the longest kind.
    rule_->setFixedHeight(rule_->fontMetrics().lineSpacing() * 3 + 12);
    rule_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    rule_->setWordWrapMode(QTextOption::WrapAnywhere);

    list_->setColumnCount(3);
    list_->setHeaderLabels({QString(), QStringLiteral("编号"), QStringLiteral("逻辑")});
    list_->headerItem()->setTextAlignment(kNumber, Qt::AlignCenter);
    list_->setColumnHidden(kHidden, true);
    list_->setColumnWidth(kNumber, 50);
    list_->setColumnWidth(kText, 1500);
    list_->header()->setSectionsClickable(false);
    list_->header()->setStretchLastSection(false);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setMinimumHeight(340);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("编号"), this));
    top->addWidget(number_);
    top->addSpacing(6);
    top->addWidget(save_);
    top->addWidget(clear_);
    top->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(rule_);
    layout->addWidget(list_, 1);
    resize(360, 480);

    connect(number_, &QLineEdit::textEdited, this, &LogicRulesDlg::OnNumberChange);
    connect(rule_, &QPlainTextEdit::textChanged, this, &LogicRulesDlg::ReadBack);
    connect(list_, &QTreeWidget::currentItemChanged, this, &LogicRulesDlg::OnCurrentRowChanged);
    connect(save_, &QPushButton::clicked, this, &LogicRulesDlg::OnSave);
    connect(clear_, &QPushButton::clicked, this, &LogicRulesDlg::OnClear);

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);

    FillList();
    SelectFirstRow();
}

int LogicRulesDlg::Capacity() const {
    return LogicCapacity(state_.ControllerModel);
}

void LogicRulesDlg::FillList() {
    const QSignalBlocker quiet(list_);
    list_->clear();
    QList<QTreeWidgetItem*> rows;
    const int capacity = Capacity();
    rows.reserve(capacity);
    for (int n = 0; n < capacity; ++n) {
        auto* row = new QTreeWidgetItem(
            {QString(), QString::number(n), RuleForList(ReadLogicRule(state_.Project, n))});
        row->setTextAlignment(kNumber, Qt::AlignCenter);
        rows.append(row);
    }
    list_->addTopLevelItems(rows);
}

void LogicRulesDlg::SelectFirstRow() {
    // Not under the guard: selecting the row loads its rule.
    if (QTreeWidgetItem* first = list_->topLevelItem(0)) {
        list_->setCurrentItem(nullptr);
        list_->setCurrentItem(first);
    }
}

bool LogicRulesDlg::ReadBack() {
    std::uint32_t typed = 0;
    std::optional<std::string> error = base::CheckUnsigned(kit::U8(number_->text()), typed);
    QWidget* bad = number_;
    if (!error) {
        const std::optional<std::string> gbk = rule_->GbkText();
        const std::size_t bytes = gbk ? gbk->size() : kit::U8(rule_->toPlainText()).size();
        error = base::CheckMaxBytes(bytes, LogicTextLimit(state_.ControllerModel));
        bad = rule_;
    }
    if (!error) return true;
    messages_.Message(this, kit::Q(*error), kit::MessageService::AppTitle(),
                      kit::MessageIcon::Warning);
    bad->setFocus();
    // The rule keeps its caret: with the text selected, the next key would
    // replace all of it.
    if (bad == number_) number_->selectAll();
    return false;
}

void LogicRulesDlg::OnCurrentRowChanged(QTreeWidgetItem* current) {
    if (selecting_ || !current) return;
    GoTo(list_->indexOfTopLevelItem(current));
}

void LogicRulesDlg::GoTo(int number) {
    {
        const QSignalBlocker quiet(number_);
        number_->SetNumber(number);
    }
    OnNumberChange();
}

void LogicRulesDlg::OnNumberChange() {
    ReadBack();
    // A field that did not read back counts as 0, as an empty one does.
    const LogicNumberEntry entry = EnterLogicNumber(number_->Number().value_or(0), Capacity());
    logicNumber_ = static_cast<std::uint32_t>(entry.number);
    const QString shown = QString::number(entry.number);
    if (entry.corrected) {
        const QSignalBlocker quiet(number_);
        number_->SetNumber(entry.number, true);
    }

    if (QTreeWidgetItem* row = list_->topLevelItem(entry.number)) {
        selecting_ = true;
        list_->setCurrentItem(row);
        selecting_ = false;
        list_->scrollToItem(row);
    }

    // Whatever was typed for the previous rule and not saved is dropped.
    {
        const QSignalBlocker quiet(rule_);
        rule_->SetMaxBytes(LogicTextLimit(state_.ControllerModel));
        shownRule_ = ReadLogicRule(state_.Project, entry.number);
        rule_->SetGbkText(shownRule_);
    }
    if (number_->text() != shown) {
        const QSignalBlocker quiet(number_);
        number_->setText(shown);
    }
}

void LogicRulesDlg::OnSave() {
    const std::optional<std::string> text = rule_->GbkText();
    const base::Result<int> next =
        text ? SaveLogicRule(state_.Project, state_.ControllerModel, LogicNumber(), *text,
                             shownRule_)
             : base::Result<int>(
                   base::Error{std::string(kIllegalCharacterMessage),
                               RefusedCharacterNoteUtf8(kit::U8(rule_->toPlainText()))});
    if (!next) {
        // The text stays as typed, for the user to correct (or, after another
        // program's change is shown, to save again).
        messages_.Message(this, kit::Q(next.error().Full()), kit::MessageService::AppTitle(),
                          kit::MessageIcon::Warning);
        return;
    }
    if (QTreeWidgetItem* row = list_->topLevelItem(LogicNumber()))
        row->setText(kText, RuleForList(*text));
    GoTo(*next);
    rule_->setFocus();
}

void LogicRulesDlg::OnClear() {
    if (!messages_.Confirm(this, kit::Q(kClearQuestion), kit::MessageService::AppTitle(),
                           kit::MessageIcon::Warning))
        return;
    DeleteLogicRules(state_.Project, Capacity());
    FillList();
    SelectFirstRow();
}

bool LogicRulesDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) return QDialog::eventFilter(watched, event);
    const int step = kit::WheelStep(static_cast<QWheelEvent*>(event));
    const int capacity = Capacity();
    const long long typed = std::min<long long>(number_->Number().value_or(0), capacity - 1);
    GoTo(StepLogicNumber(static_cast<int>(typed), step, capacity));
    number_->selectAll();
    number_->setFocus();
    return true;
}

}  // namespace velsend::gui::logic

#include "gui/history/history_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::history {

std::optional<Step> UndoWithQuestion(const velsend::store::ProjectDir& dir, bool redo,
                                     kit::MessageService& messages, QWidget* parent) {
    auto done = redo ? velsend::history::Redo(dir.Root()) : velsend::history::Undo(dir.Root());
    if (!done && done.error().code == velsend::history::kChangedSince &&
        messages.Confirm(parent,
                         kit::Q(done.error().userText) + (redo ? QStringLiteral("\n仍然重做吗？")
                                                               : QStringLiteral("\n仍然撤销吗？")),
                         kit::MessageService::AppTitle(), kit::MessageIcon::Warning))
        done = redo ? velsend::history::Redo(dir.Root(), true)
                    : velsend::history::Undo(dir.Root(), true);
    if (done) return *done;
    if (done.error().code != velsend::history::kChangedSince)
        messages.Message(parent, kit::Q(done.error().Full()), kit::MessageService::AppTitle(),
                         kit::MessageIcon::Warning);
    return std::nullopt;
}

HistoryDlg::HistoryDlg(const velsend::store::ProjectDir& dir, int controllerModel,
                       kit::MessageService& messages, QWidget* parent)
    : QDialog(parent),
      dir_(dir),
      model_(controllerModel),
      messages_(messages),
      list_(new QTableWidget(0, 3, this)),
      difference_(new QPlainTextEdit(this)),
      size_(new QLabel(this)),
      restore_(new QPushButton(QStringLiteral("恢复到此步之前"), this)) {
    setWindowTitle(QStringLiteral("修改历史"));
    list_->setObjectName(QStringLiteral("historyList"));
    list_->setHorizontalHeaderLabels(
        {QStringLiteral("时间"), QStringLiteral("程序"), QStringLiteral("修改")});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    difference_->setObjectName(QStringLiteral("historyDifference"));
    difference_->setReadOnly(true);
    size_->setObjectName(QStringLiteral("historySize"));
    restore_->setObjectName(QStringLiteral("restoreBefore"));
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("close"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(size_, 1);
    buttons->addWidget(restore_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 3);
    layout->addWidget(new QLabel(QStringLiteral("这一步的修改："), this));
    layout->addWidget(difference_, 2);
    layout->addLayout(buttons);
    resize(720, 520);

    connect(list_, &QTableWidget::itemSelectionChanged, this, [this] { ShowSelected(); });
    connect(restore_, &QPushButton::clicked, this, [this] { OnRestore(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    Fill();
}

void HistoryDlg::Fill() {
    auto loaded = velsend::history::Load(dir_.Root());
    if (!loaded) {
        messages_.Message(this, kit::Q(loaded.error().Full()), kit::MessageService::AppTitle(),
                          kit::MessageIcon::Warning);
        loaded = History{};
    }
    history_ = std::move(*loaded);
    list_->setRowCount(static_cast<int>(history_.steps.size()));
    int row = 0;
    // Newest first; undone steps (redo brings them back) greyed.
    for (auto it = history_.steps.rbegin(); it != history_.steps.rend(); ++it, ++row) {
        const bool undone = it->number > history_.applied;
        const QString what = kit::Q(it->what) + (undone ? QStringLiteral("（已撤销）") : QString());
        const QString cells[] = {kit::Q(velsend::history::FormatTime(it->time)),
                                 kit::Q(it->program), what};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setData(Qt::UserRole, it->number);
            if (undone) item->setForeground(Qt::gray);
            list_->setItem(row, column, item);
        }
    }
    list_->resizeColumnsToContents();
    size_->setText(QStringLiteral("共 %1 步，占用 %2")
                       .arg(history_.steps.size())
                       .arg(kit::Q(velsend::history::FormatBytes(history_.bytes))));
    // The step an undo would take back is selected first.
    int first = 0;
    for (int r = 0; r < list_->rowCount(); ++r)
        if (list_->item(r, 0)->data(Qt::UserRole).toInt() <= history_.applied) {
            first = r;
            break;
        }
    if (list_->rowCount() > 0) list_->selectRow(first);
    ShowSelected();
}

void HistoryDlg::ShowSelected() {
    const auto rows = list_->selectionModel()->selectedRows();
    const Step* step = nullptr;
    if (!rows.isEmpty()) {
        const int number = list_->item(rows.front().row(), 0)->data(Qt::UserRole).toInt();
        step = history_.Find(number);
    }
    restore_->setEnabled(step != nullptr && step->number <= history_.applied);
    if (step == nullptr) {
        difference_->clear();
        return;
    }
    const auto lines = velsend::history::StepDifference(dir_.Root(), *step, model_);
    if (!lines) {
        difference_->setPlainText(kit::Q(lines.error().Full()));
        return;
    }
    QStringList text;
    for (const velsend::report::ProjectDifference& d : *lines) text << kit::Q(d.text);
    if (text.isEmpty()) text << QStringLiteral("（没有可显示的数据差别）");
    difference_->setPlainText(text.join(QLatin1Char('\n')));
}

void HistoryDlg::OnRestore() {
    const auto rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    const int number = list_->item(rows.front().row(), 0)->data(Qt::UserRole).toInt();
    // Newest first, down to and with the selected step; a refusal stops there.
    while (history_.applied >= number) {
        if (!UndoWithQuestion(dir_, false, messages_, this)) break;
        auto loaded = velsend::history::Load(dir_.Root());
        if (!loaded) break;
        history_ = std::move(*loaded);
    }
    Fill();
}

}  // namespace velsend::gui::history

#include "gui/phrases/phrase_editor_dlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include "base/field_check.h"
#include "base/gbk.h"
#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::phrases {

using namespace velsend::phrases;
namespace {

QString DisplayText(const PhraseImage& image, int number, bool keepTrailingSpaces) {
    std::string text = PhraseText(image, number);
    if (!keepTrailingSpaces) text = std::string(base::TrimTrailingSpaces(text));
    return kit::Q(base::GbkToUtf8(text));
}

// The bytes the text edit starts from: the phrase without trailing spaces.
std::string EditText(const PhraseImage& image, int number) {
    return std::string(base::TrimTrailingSpaces(PhraseText(image, number)));
}

constexpr auto kUnsavedPhrase = "无法写入词库文件 word.dat，词组没有保存。";
constexpr auto kUnchangedLibrary = "无法写入词库文件 word.dat，词库没有改变。";

}  // namespace

PhraseEditorDlg::PhraseEditorDlg(const velsend::store::ProjectDir& dir,
                                 kit::MessageService& messages, QWidget* parent)
    : kit::CompanionDialog(parent),
      dir_(dir),
      messages_(messages),
      numberEdit_(new kit::NumberEdit(this)),
      textEdit_(new kit::GbkLineEdit(this, static_cast<int>(kPhraseSize))),
      save_(new QPushButton(QStringLiteral("保存,转到下一条[Enter]"), this)),
      clear_(new QPushButton(QStringLiteral("清空"), this)),
      common_(new QPushButton(QStringLiteral("初始化为常用"), this)),
      list_(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("词库编辑"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("编号"), this), 0, 0);
    grid->addWidget(numberEdit_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("内容"), this), 1, 0);
    grid->addWidget(textEdit_, 1, 1);
    grid->addWidget(save_, 2, 0, 1, 2);
    auto* resets = new QHBoxLayout;
    resets->addWidget(clear_);
    resets->addWidget(common_);
    grid->addLayout(resets, 3, 0, 1, 2);
    grid->addWidget(list_, 4, 0, 1, 2);

    numberEdit_->EnableCorrection(255, false);
    save_->setDefault(true);
    save_->setAutoDefault(true);
    clear_->setAutoDefault(false);
    common_->setAutoDefault(false);

    list_->setColumnCount(3);
    list_->setHeaderLabels({QString(), QStringLiteral("编号"), QStringLiteral("词组内容")});
    list_->setRootIsDecorated(false);
    // A Chinese font is taller than the Latin one: every row as high as one
    // with Chinese text, filled or empty.
    list_->setUniformRowHeights(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setColumnHidden(0, true);
    list_->setColumnWidth(1, 100);
    list_->setColumnWidth(2, 250);
    list_->setMinimumSize(380, 360);
    list_->header()->setDefaultAlignment(Qt::AlignCenter);

    // A folder that cannot take the file still shows the phrases; saving
    // will say why it cannot write.
    (void)EnsurePhraseFile(dir_);
    image_ = ReadPhraseLibrary(dir_);
    const int rowHeight = list_->fontMetrics().boundingRect(QStringLiteral("词组0")).height() + 6;
    for (int n = 0; n < kPhraseCount; ++n) {
        auto* item = new QTreeWidgetItem(list_);
        item->setSizeHint(1, QSize(0, rowHeight));
        item->setText(1, QString::number(n));
        item->setTextAlignment(1, Qt::AlignCenter);
    }
    FillList(false);

    connect(numberEdit_, &kit::NumberEdit::ValueEdited, this, &PhraseEditorDlg::OnNumberEdited);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &PhraseEditorDlg::OnRowSelected);
    connect(save_, &QPushButton::clicked, this, &PhraseEditorDlg::OnSave);
    connect(clear_, &QPushButton::clicked, this, &PhraseEditorDlg::OnClear);
    connect(common_, &QPushButton::clicked, this, &PhraseEditorDlg::OnCommon);

    // The wheel steps the phrase number wherever the pointer is in the dialog.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
    installEventFilter(this);

    SetNumberText(0);
    ShowNumber(0);
    list_->setFocus();
}

void PhraseEditorDlg::SetNumberText(int number) {
    const QSignalBlocker quiet(numberEdit_);
    numberEdit_->SetNumber(number);
}

// Selects the row, loads the phrase into the text edit.
void PhraseEditorDlg::ShowNumber(int number) {
    number_ = number;
    if (QTreeWidgetItem* item = list_->topLevelItem(number)) {
        const QSignalBlocker quiet(list_);
        list_->setCurrentItem(item);
        list_->scrollToItem(item);
    }
    textEdit_->SetGbkText(EditText(image_, number));
}

void PhraseEditorDlg::OnNumberEdited(long long value) {
    ShowNumber(static_cast<int>(value));
}

void PhraseEditorDlg::OnRowSelected() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) return;
    const int row = list_->indexOfTopLevelItem(selected.front());
    SetNumberText(row);
    ShowNumber(row);
}

void PhraseEditorDlg::Report(const char* text, const base::Error& error) {
    messages_.Message(this, kit::WithReason(kit::Q(text), error), kit::MessageService::AppTitle(),
                      kit::MessageIcon::Critical);
}

void PhraseEditorDlg::OnSave() {
    const std::optional<std::string> typed = textEdit_->GbkText();
    if (!typed) {
        messages_.Message(this, QStringLiteral("文字中有无法保存的字符，请改正。"),
                          kit::MessageService::AppTitle(), kit::MessageIcon::Warning);
        return;
    }
    PhraseImage edited = image_;
    // An untouched phrase is not written.
    if (*typed != EditText(image_, number_)) SetPhrase(edited, number_, *typed);
    if (auto written = SavePhraseEdit(dir_, image_, number_, edited); !written) {
        // The phrase stays on screen as typed, for another try.
        if (written.error().code == base::kEditClash)  // another program changed it: both are shown
            messages_.Message(this, QString::fromStdString(written.error().userText),
                              kit::MessageService::AppTitle(), kit::MessageIcon::Warning);
        else
            Report(kUnsavedPhrase, written.error());
        textEdit_->setFocus();
        return;
    }
    const QString stored = DisplayText(image_, number_, true);
    textEdit_->SetGbkText(PhraseText(image_, number_));
    list_->topLevelItem(number_)->setText(2, stored);
    const int next = base::WrapStep(number_, 1, 0, kPhraseCount - 1);
    SetNumberText(next);
    ShowNumber(next);
    textEdit_->setFocus();
}

void PhraseEditorDlg::OnClear() {
    if (!messages_.Confirm(this, QStringLiteral("清空确认?"), kit::MessageService::AppTitle(),
                           kit::MessageIcon::None))
        return;
    if (auto written = WritePhraseLibrary(dir_, PhraseImage{}); !written)
        return Report(kUnchangedLibrary, written.error());
    image_ = {};
    FillList(false);
    SetNumberText(0);
    ShowNumber(0);
}

void PhraseEditorDlg::OnCommon() {
    if (!messages_.Confirm(this, QStringLiteral("清空确认,将丢失现有数据?"),
                           kit::MessageService::AppTitle(), kit::MessageIcon::None))
        return;
    const PhraseImage common = CommonPhrases();
    if (auto written = WritePhraseLibrary(dir_, common); !written)
        return Report(kUnchangedLibrary, written.error());
    image_ = common;
    FillList(true);
    SetNumberText(0);
    ShowNumber(0);
}

void PhraseEditorDlg::FillList(bool keepTrailingSpaces) {
    for (int n = 0; n < kPhraseCount; ++n)
        list_->topLevelItem(n)->setText(2, DisplayText(image_, n, keepTrailingSpaces));
}

bool PhraseEditorDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        const int step = kit::WheelStep(static_cast<QWheelEvent*>(event));
        if (step != 0) {
            const int next = base::ClampStep(number_, step, 0, kPhraseCount - 1);
            SetNumberText(next);
            ShowNumber(next);
            numberEdit_->setFocus();
            numberEdit_->selectAll();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace velsend::gui::phrases

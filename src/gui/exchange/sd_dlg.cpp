#include "gui/exchange/sd_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "base/field_check.h"
#include "core/exchange/sd_pack.h"
#include "gui/kit/number_edit.h"

namespace velsend::gui::exchange {

using namespace velsend::exchange;
namespace {

kit::NumberEdit* MakeEdit(QWidget* parent, const char* name, int max) {
    auto* edit = new kit::NumberEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->EnableCorrection(max, true);
    edit->SetNumber(0);
    edit->setFixedWidth(60);
    return edit;
}

QHBoxLayout* OkCancelRow(QDialog* dialog, QPushButton*& ok) {
    ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("cancel"));
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

// The wheel over the dialog steps `edit` (when it has the focus, if
// `needFocus`): +1 towards the user, -1 away, kept within 0..max.
bool StepOnWheel(QWidget* dialog, kit::NumberEdit* edit, int max, QEvent* event,
                 bool needFocus = true) {
    if (event->type() != QEvent::Wheel || !edit->isEnabled() ||
        (needFocus && dialog->focusWidget() != edit))
        return false;
    const int step = kit::WheelStep(static_cast<QWheelEvent*>(event));
    if (step == 0) return false;
    edit->SetNumber(base::ClampStep(static_cast<int>(edit->CorrectedValue()), step, 0, max), true);
    edit->setFocus();
    Q_EMIT edit->textEdited(edit->text());
    return true;
}

void FilterAllWheels(QObject* dialog) {
    dialog->installEventFilter(dialog);
    for (QWidget* child : dialog->findChildren<QWidget*>()) child->installEventFilter(dialog);
}

}  // namespace

SdPackDlg::SdPackDlg(int maxStartLoop, QWidget* parent)
    : QDialog(parent),
      maxStartLoop_(maxStartLoop),
      id_(MakeEdit(this, "edit1143", kMaxControllerId)),
      start_(MakeEdit(this, "edit1144", maxStartLoop)) {
    setWindowTitle(QStringLiteral("生成数据(滚轮可修改)"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("控制器的识别码(0-999)"), this), 0, 0);
    grid->addWidget(id_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("应与烧写的控制器设置为一致"), this), 1, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("数据的起始回路"), this), 2, 0);
    grid->addWidget(start_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("KA,KAII:0-240,数据包含16条回路"), this), 3, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("KBX:0-254,数据包含2条回路"), this), 4, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("数据包含总线设备信息,逻辑内容和词库"), this), 5, 0,
                    1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(OkCancelRow(this, ok_));
    for (kit::NumberEdit* edit : {id_, start_})
        connect(edit, &QLineEdit::textChanged, this, &SdPackDlg::UpdateOk);
    FilterAllWheels(this);
    setFixedSize(sizeHint());
}

int SdPackDlg::ControllerId() const {
    return static_cast<int>(id_->CorrectedValue());
}
int SdPackDlg::StartLoop() const {
    return static_cast<int>(start_->CorrectedValue());
}

// OK needs both numbers: an empty edit would pack as 0 without the user
// having chosen it.
void SdPackDlg::UpdateOk() {
    ok_->setEnabled(!id_->text().isEmpty() && !start_->text().isEmpty());
}

bool SdPackDlg::eventFilter(QObject* watched, QEvent* event) {
    if (StepOnWheel(this, id_, kMaxControllerId, event) ||
        StepOnWheel(this, start_, maxStartLoop_, event))
        return true;
    return QDialog::eventFilter(watched, event);
}

SdImportDlg::SdImportDlg(base::SdFamily family, QWidget* parent)
    : QDialog(parent),
      maxStartLoop_(LayoutOf(family).maxStartLoop),
      start_(MakeEdit(this, "edit1346", maxStartLoop_)),
      devices_(new QCheckBox(QStringLiteral("设备"), this)),
      names_(new QCheckBox(QStringLiteral("部位"), this)),
      logic_(new QCheckBox(QStringLiteral("逻辑"), this)),
      phrases_(new QCheckBox(QStringLiteral("词库"), this)) {
    setWindowTitle(QStringLiteral("导入数据(滚轮可修改)"));
    devices_->setObjectName(QStringLiteral("check1347"));
    names_->setObjectName(QStringLiteral("check1348"));
    logic_->setObjectName(QStringLiteral("check1349"));
    phrases_->setObjectName(QStringLiteral("check1350"));
    devices_->setChecked(true);
    logic_->setChecked(true);
    phrases_->setChecked(true);
    // Only the MX300KA card carries the Chinese names.
    const bool hasNames = LayoutOf(family).nameOffset != 0;
    names_->setChecked(hasNames);
    names_->setEnabled(hasNames);

    auto* startRow = new QHBoxLayout;
    startRow->addWidget(new QLabel(QStringLiteral("导入覆盖的起始回路:"), this));
    startRow->addWidget(start_);
    startRow->addStretch(1);
    auto* boxes = new QHBoxLayout;
    for (QCheckBox* box : {devices_, names_, logic_, phrases_}) boxes->addWidget(box);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(startRow);
    layout->addLayout(boxes);
    layout->addWidget(new QLabel(QStringLiteral("KA,KAII:0-240,数据包含16条回路"), this));
    layout->addWidget(new QLabel(QStringLiteral("KBX:0-254,数据包含2条回路"), this));
    layout->addLayout(OkCancelRow(this, ok_));
    connect(devices_, &QCheckBox::clicked, this, &SdImportDlg::UpdateControls);
    connect(names_, &QCheckBox::clicked, this, &SdImportDlg::UpdateControls);
    connect(start_, &QLineEdit::textChanged, this, &SdImportDlg::UpdateControls);
    FilterAllWheels(this);
    setFixedSize(sizeHint());
}

int SdImportDlg::StartLoop() const {
    return static_cast<int>(start_->CorrectedValue());
}

SdSections SdImportDlg::Sections() const {
    return {devices_->isChecked(), names_->isChecked(), logic_->isChecked(), phrases_->isChecked()};
}

// The start loop only matters to the per-loop sections.
void SdImportDlg::UpdateControls() {
    start_->setEnabled(devices_->isChecked() || names_->isChecked());
    ok_->setEnabled(!start_->text().isEmpty());
}

bool SdImportDlg::eventFilter(QObject* watched, QEvent* event) {
    if (StepOnWheel(this, start_, maxStartLoop_, event, false)) return true;
    return QDialog::eventFilter(watched, event);
}

}  // namespace velsend::gui::exchange

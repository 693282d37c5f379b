#include "gui/devices/device_type_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/file_write.h"

#include "core/devices/class_forms.h"
#include "gui/devices/class_device_dlg.h"
#include "gui/kit/dialog_buttons.h"
#include "gui/kit/form.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::devices {

using namespace velsend::devices;
namespace {

kit::NumberEdit* NumberIn(QWidget* parent, const char* name) {
    auto* edit = new kit::NumberEdit(parent);
    edit->setFixedWidth(48);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// "报警", "区显", "模块", "借用" in a group titled "设备类型".
QGroupBox* ClassGroup(QButtonGroup*& classes, QWidget* parent) {
    auto* box = new QGroupBox(QStringLiteral("设备类型"), parent);
    auto* row = new QHBoxLayout(box);
    classes = new QButtonGroup(parent);
    for (int c = 0; c < 4; ++c) {
        auto* radio = new QRadioButton(kit::Q(velsend::store::ClassName(c)), box);
        radio->setObjectName(QStringLiteral("class%1").arg(c));
        classes->addButton(radio, c);
        row->addWidget(radio);
    }
    return box;
}

void CheckClass(QButtonGroup* classes, int productClass) {
    if (QAbstractButton* radio = classes->button(productClass)) radio->setChecked(true);
}

}  // namespace

DeviceTypeDlg::DeviceTypeDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent)
    : QDialog(parent), state_(state), messages_(messages) {
    setWindowTitle(QStringLiteral("设备类型"));
    loop_ = NumberIn(this, "loop");
    address_ = NumberIn(this, "address");
    auto* numbers = new QHBoxLayout;
    numbers->addWidget(new QLabel(QStringLiteral("回路"), this));
    numbers->addWidget(loop_);
    numbers->addSpacing(12);
    numbers->addWidget(new QLabel(QStringLiteral("地址"), this));
    numbers->addWidget(address_);
    numbers->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(numbers);
    layout->addWidget(ClassGroup(classes_, this));
    const kit::DialogButtons buttons = kit::MakeOkCancel(this);
    layout->addLayout(buttons.row);

    form_ = std::make_unique<kit::Form>(this, messages_);
    form_->AddByte(loop_, &state_.CurrentLoop);
    form_->AddByte(address_, &state_.CurrentAddress);
    // Each change is stored in the shared values at once.
    for (QLineEdit* edit : {static_cast<QLineEdit*>(loop_), static_cast<QLineEdit*>(address_)})
        connect(edit, &QLineEdit::textEdited, this, [this] { (void)form_->Save(); });
    connect(classes_, &QButtonGroup::idClicked, this,
            [this](int id) { state_.BusDeviceClass = id; });
    ShowValues();
    setFixedSize(sizeHint());
}

DeviceTypeDlg::~DeviceTypeDlg() = default;

void DeviceTypeDlg::ShowValues() {
    form_->Load();
    CheckClass(classes_, state_.BusDeviceClass);
}

void DeviceTypeDlg::accept() {
    if (!form_->Save()) return;
    if (state_.BusDeviceClass < velsend::store::kAlarmClass ||
        state_.BusDeviceClass > velsend::store::kBorrowedClass)
        return;  // no class picked yet
    const std::unique_ptr<ClassDeviceDlg> dialog = MakeClassDeviceDlg(state_, messages_, this);
    if (dialog->exec() == QDialog::Accepted) {
        AdvanceDevice(state_.CurrentLoop, state_.CurrentAddress);
        ShowValues();
    }
    // The chooser stays open for the next device.
}

QuickSetDlg::QuickSetDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      held_(velsend::store::ReadDeviceFile(state.Project, state.QuickSetLoop)),
      loopValue_(state.QuickSetLoop) {
    setWindowTitle(QStringLiteral("快速设置"));
    loop_ = NumberIn(this, "loop");
    first_ = NumberIn(this, "first");
    last_ = NumberIn(this, "last");
    auto* numbers = new QHBoxLayout;
    numbers->addWidget(new QLabel(QStringLiteral("回路"), this));
    numbers->addWidget(loop_);
    numbers->addSpacing(12);
    numbers->addWidget(new QLabel(QStringLiteral("起始"), this));
    numbers->addWidget(first_);
    numbers->addSpacing(12);
    numbers->addWidget(new QLabel(QStringLiteral("终止"), this));
    numbers->addWidget(last_);
    numbers->addStretch(1);
    offOutside_ = new QCheckBox(QStringLiteral("选中则关闭区间外所有设备"), this);
    offOutside_->setObjectName(QStringLiteral("offOutside"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(numbers);
    layout->addWidget(ClassGroup(classes_, this));
    layout->addWidget(offOutside_);
    const kit::DialogButtons buttons = kit::MakeOkCancel(this);
    layout->addLayout(buttons.row);

    form_ = std::make_unique<kit::Form>(this, messages_);
    form_->AddByte(loop_, &loopValue_);
    form_->AddByte(first_, &firstValue_);
    form_->AddByte(last_, &lastValue_);
    connect(loop_, &QLineEdit::textEdited, this, &QuickSetDlg::OnLoopEdited);
    for (QLineEdit* edit : {static_cast<QLineEdit*>(first_), static_cast<QLineEdit*>(last_)})
        connect(edit, &QLineEdit::textEdited, this, [this] { (void)form_->Save(); });
    connect(classes_, &QButtonGroup::idClicked, this,
            [this](int id) { state_.QuickSetClass = id; });
    form_->Load();
    CheckClass(classes_, state_.QuickSetClass);
    setFixedSize(sizeHint());
}

QuickSetDlg::~QuickSetDlg() = default;

void QuickSetDlg::OnLoopEdited() {
    if (!form_->Save()) return;
    state_.QuickSetLoop = loopValue_;
    held_ = velsend::store::ReadDeviceFile(state_.Project, loopValue_);
}

void QuickSetDlg::accept() {
    if (!form_->Save()) return;
    QuickSetRequest request;
    request.first = firstValue_;
    request.last = lastValue_;
    request.productClass = state_.QuickSetClass;
    request.offOutside = offOutside_->isChecked();
    velsend::store::DeviceFile devices = held_;
    const base::ChangeText what(QuickSetChangeText(loopValue_, request));
    base::Result<> done = ApplyQuickSet(devices, request);
    if (done) done = velsend::store::WriteDeviceFile(state_.Project, loopValue_, devices);
    if (!done) {
        messages_.Message(this, kit::Q(done.error().Full()), kit::MessageService::AppTitle(),
                          kit::MessageIcon::Warning);
        return;
    }
    held_ = devices;
    QDialog::accept();
}

}  // namespace velsend::gui::devices

#include "gui/devices/class_device_dlg.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/controller_model.h"
#include "base/gbk.h"
#include "core/logic/logic_files.h"
#include "gui/kit/dialog_buttons.h"
#include "gui/kit/form.h"
#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::devices {

using namespace velsend::devices;
namespace {

constexpr int kNumberWidth = 44;

kit::NumberEdit* NumberIn(QWidget* parent, const char* name) {
    auto* edit = new kit::NumberEdit(parent);
    edit->setFixedWidth(kNumberWidth);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QRadioButton* AddRadio(QButtonGroup* group, int id, const QString& text, QWidget* parent) {
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(group->objectName() + QString::number(id));  // "state0", "type15"
    group->addButton(radio, id);
    return radio;
}

QGroupBox* Group(const QString& title, QWidget* parent) {
    return new QGroupBox(title, parent);
}

// The alarm dialog labels code 15 "其它设备", as the module dialog does.
QString AlarmRadioLabel(int code) {
    return code == 15 ? QStringLiteral("其它设备") : kit::Q(velsend::store::AlarmTypeName(code));
}

}  // namespace

ClassDeviceDlg::ClassDeviceDlg(ClassDialog kind, kit::RunState& state,
                               kit::MessageService& messages, QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      session_(state.Project, kind, state.CurrentLoop, state.CurrentAddress),
      loopValue_(session_.Loop()),
      addressValue_(session_.Address()),
      logicText_(kit::Q(session_.Form().logic)),
      logicShown_(logicText_) {
    Build();
    ShowForm();
    setFixedSize(sizeHint());
    zone_->setFocus();  // loop and address are fixed here
}

ClassDeviceDlg::~ClassDeviceDlg() = default;

AlarmDeviceDlg::AlarmDeviceDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent)
    : ClassDeviceDlg(ClassDialog::Alarm, state, messages, parent) {
    setWindowTitle(QStringLiteral("报警类总线设备"));
}

ModuleDeviceDlg::ModuleDeviceDlg(kit::RunState& state, kit::MessageService& messages,
                                 QWidget* parent)
    : ClassDeviceDlg(ClassDialog::Module, state, messages, parent) {
    setWindowTitle(QStringLiteral("控制类总线设备"));
}

ZoneDisplayDeviceDlg::ZoneDisplayDeviceDlg(kit::RunState& state, kit::MessageService& messages,
                                           QWidget* parent)
    : ClassDeviceDlg(ClassDialog::ZoneDisplay, state, messages, parent) {
    setWindowTitle(QStringLiteral("楼层显示器"));
}

std::unique_ptr<ClassDeviceDlg> MakeClassDeviceDlg(kit::RunState& state,
                                                   kit::MessageService& messages, QWidget* parent) {
    switch (ClassDialogFor(state.BusDeviceClass)) {
        case ClassDialog::Alarm:
            return std::make_unique<AlarmDeviceDlg>(state, messages, parent);
        case ClassDialog::ZoneDisplay:
            return std::make_unique<ZoneDisplayDeviceDlg>(state, messages, parent);
        case ClassDialog::Module:
            break;
    }
    return std::make_unique<ModuleDeviceDlg>(state, messages, parent);
}

void ClassDeviceDlg::Build() {
    const ClassDialog kind = session_.Kind();
    const bool module = kind == ClassDialog::Module;
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(BuildTopRow(kind));
    layout->addWidget(BuildPlaceBox(module));
    BuildTypeBox(layout, kind);

    const kit::DialogButtons buttons = kit::MakeOkCancel(this);
    layout->addLayout(buttons.row);

    BindForm();
    ConnectEdits();
}

// Number, state (and start mode) side by side.
QHBoxLayout* ClassDeviceDlg::BuildTopRow(ClassDialog kind) {
    const bool module = kind == ClassDialog::Module;
    auto* top = new QHBoxLayout;
    auto* numbers = Group(QStringLiteral("设备编号"), this);
    auto* numbersGrid = new QGridLayout(numbers);
    loop_ = NumberIn(numbers, "loop");
    address_ = NumberIn(numbers, "address");
    numbersGrid->addWidget(new QLabel(QStringLiteral("回路"), numbers), 0, 0);
    numbersGrid->addWidget(new QLabel(QStringLiteral("地址"), numbers), 0, 1);
    numbersGrid->addWidget(loop_, 1, 0);
    numbersGrid->addWidget(address_, 1, 1);
    if (kind == ClassDialog::Alarm) {
        threshold_ = NumberIn(numbers, "threshold");
        threshold_->setEnabled(false);
        numbersGrid->addWidget(new QLabel(QStringLiteral("域值"), numbers), 0, 2);
        numbersGrid->addWidget(threshold_, 1, 2);
    } else if (module) {
        delay_ = NumberIn(numbers, "delay");
        numbersGrid->addWidget(new QLabel(QStringLiteral("延时"), numbers), 0, 2);
        numbersGrid->addWidget(delay_, 1, 2);
    }
    top->addWidget(numbers);

    auto* stateBox = Group(QStringLiteral("设备状态"), this);
    auto* stateColumn = new QVBoxLayout(stateBox);
    states_ = new QButtonGroup(this);
    states_->setObjectName(QStringLiteral("state"));
    stateColumn->addWidget(AddRadio(states_, 0, QStringLiteral("开"), stateBox));
    stateColumn->addWidget(AddRadio(states_, 1, QStringLiteral("关"), stateBox));
    top->addWidget(stateBox);
    if (module) {
        auto* modeBox = Group(QStringLiteral("启动方式"), this);
        auto* modeColumn = new QVBoxLayout(modeBox);
        modes_ = new QButtonGroup(this);
        modes_->setObjectName(QStringLiteral("mode"));
        modeColumn->addWidget(AddRadio(modes_, 0, QStringLiteral("自动"), modeBox));
        modeColumn->addWidget(AddRadio(modes_, 1, QStringLiteral("手动"), modeBox));
        top->addWidget(modeBox);
    }
    top->addStretch(1);
    return top;
}

// Where the device is (and, for a module, what it starts on).
QWidget* ClassDeviceDlg::BuildPlaceBox(bool module) {
    auto* place = Group(
        module ? QStringLiteral("设备安装具体部位及其逻辑") : QStringLiteral("设备安装具体部位"),
        this);
    auto* placeGrid = new QGridLayout(place);
    zone_ = NumberIn(place, "zone");
    floor_ = NumberIn(place, "floor");
    room_ = NumberIn(place, "room");
    phrase_ = NumberIn(place, "phrase");
    phraseText_ = new QLineEdit(place);
    phraseText_->setObjectName(QStringLiteral("phraseText"));
    phraseText_->setReadOnly(true);
    phraseText_->setFocusPolicy(Qt::NoFocus);
    phraseText_->setMinimumWidth(140);
    auto* places = new QHBoxLayout;
    places->addWidget(new QLabel(QStringLiteral("区域"), place));
    places->addWidget(zone_);
    places->addSpacing(8);
    places->addWidget(new QLabel(QStringLiteral("楼层"), place));
    places->addWidget(floor_);
    places->addSpacing(8);
    places->addWidget(new QLabel(QStringLiteral("房间"), place));
    places->addWidget(room_);
    places->addStretch(1);
    placeGrid->addLayout(places, 0, 0, 1, 4);
    placeGrid->addWidget(new QLabel(QStringLiteral("名称"), place), 1, 0);
    placeGrid->addWidget(phrase_, 1, 1);
    placeGrid->addWidget(phraseText_, 1, 2);
    if (!module) {
        name_ = new kit::GbkLineEdit(place, static_cast<int>(velsend::store::kNameSize));
        name_->setObjectName(QStringLiteral("name"));
        placeGrid->addWidget(name_, 1, 3);
        // The first family's controllers show no Chinese names; the stored
        // one is still written back.
        if (!base::Traits(state_.ControllerModel).chineseNames) name_->hide();
    } else {
        logic_ = new QLineEdit(place);
        logic_->setObjectName(QStringLiteral("logic"));
        logic_->setMaxLength(static_cast<int>(velsend::logic::kDeviceLogicRecordSize));
        logic_->setMinimumWidth(320);
        placeGrid->addWidget(new QLabel(QStringLiteral("逻辑"), place), 2, 0);
        placeGrid->addWidget(logic_, 2, 1, 1, 3);
    }
    placeGrid->setColumnStretch(2, 1);
    return place;
}

void ClassDeviceDlg::BuildTypeBox(QVBoxLayout* layout, ClassDialog kind) {
    const bool module = kind == ClassDialog::Module;
    if (kind != ClassDialog::ZoneDisplay) {
        auto* typeBox =
            Group(module ? QStringLiteral("被控设备") : QStringLiteral("设备类型"), this);
        typeBox->setObjectName(QStringLiteral("types"));
        auto* typeGrid = new QGridLayout(typeBox);
        typeGrid->setVerticalSpacing(2);
        types_ = new QButtonGroup(this);
        types_->setObjectName(QStringLiteral("type"));
        const int count =
            module ? velsend::store::kOldModuleTypeCount : velsend::store::kAlarmTypeCount;
        const int rows = module ? 4 : 7;
        for (int t = 0; t < count; ++t) {
            const QString label =
                module ? kit::Q(velsend::store::OldModuleTypeName(t)) : AlarmRadioLabel(t);
            typeGrid->addWidget(AddRadio(types_, t, label, typeBox), t % rows, t / rows);
        }
        // A stored type without a radio is shown as its number and written
        // back as it is unless another is picked.
        if (const int stored = session_.Form().device.type; stored >= count) {
            typeGrid->addWidget(
                AddRadio(types_, stored, QStringLiteral("类型%1").arg(stored), typeBox),
                count % rows, count / rows);
        }
        layout->addWidget(typeBox);
    }
}

// Every change is checked at once; values are taken over only when valid.
void ClassDeviceDlg::BindForm() {
    form_ = std::make_unique<kit::Form>(this, messages_);
    DeviceForm& f = session_.EditForm().device;
    form_->AddByte(loop_, &loopValue_);
    form_->AddByte(address_, &addressValue_);
    if (delay_) form_->AddByte(delay_, &f.delay, 0, kMaxDelay);
    form_->AddByte(zone_, &f.zone);
    form_->AddByte(floor_, &f.floor);
    form_->AddByte(room_, &f.room);
    form_->AddByte(phrase_, &f.phrase);
    if (logic_)
        form_->AddText(logic_, &logicText_,
                       static_cast<int>(velsend::logic::kDeviceLogicRecordSize));
}

void ClassDeviceDlg::ConnectEdits() {
    // Loop and address are chosen in the type chooser: typing here puts
    // them straight back.
    connect(loop_, &QLineEdit::textEdited, this,
            [this] { loop_->SetNumber(session_.Loop(), true); });
    connect(address_, &QLineEdit::textEdited, this,
            [this] { address_->SetNumber(session_.Address(), true); });
    for (QLineEdit* edit : {zone_, floor_, room_})
        connect(edit, &QLineEdit::textEdited, this, [this] { (void)form_->Save(); });
    if (delay_) connect(delay_, &QLineEdit::textEdited, this, [this] { (void)form_->Save(); });
    connect(phrase_, &QLineEdit::textEdited, this, &ClassDeviceDlg::OnPhraseEdited);
    if (name_) {
        connect(name_, &QLineEdit::textEdited, this, [this] {
            if (const auto gbk = name_->GbkText()) session_.TypeName(*gbk);
        });
    }
    if (logic_) {
        connect(logic_, &QLineEdit::textEdited, this, [this] {
            if (form_->Save()) session_.EditForm().logic = kit::U8(logicText_);
        });
    }
    connect(states_, &QButtonGroup::idClicked, this,
            [this](int id) { session_.EditForm().device.state = id; });
    if (types_) {
        connect(types_, &QButtonGroup::idClicked, this,
                [this](int id) { session_.EditForm().device.type = id; });
    }
    if (modes_) {
        connect(modes_, &QButtonGroup::idClicked, this,
                [this](int id) { session_.EditForm().device.choice = id; });
    }
}

QRadioButton* ClassDeviceDlg::StateRadio(int state) const {
    return qobject_cast<QRadioButton*>(states_->button(state));
}
QRadioButton* ClassDeviceDlg::TypeRadio(int type) const {
    return types_ ? qobject_cast<QRadioButton*>(types_->button(type)) : nullptr;
}
QRadioButton* ClassDeviceDlg::StartModeRadio(int mode) const {
    return modes_ ? qobject_cast<QRadioButton*>(modes_->button(mode)) : nullptr;
}

void ClassDeviceDlg::ShowForm() {
    form_->Load();
    const ClassForm& form = session_.Form();
    if (threshold_) threshold_->SetNumber(form.threshold);
    phraseText_->setText(kit::Q(base::GbkToUtf8(form.device.phraseText)));
    if (name_) name_->SetGbkText(form.device.name);
    StateRadio(form.device.state)->setChecked(true);
    if (QRadioButton* type = TypeRadio(form.device.type)) type->setChecked(true);
    if (QRadioButton* mode = StartModeRadio(form.device.choice)) mode->setChecked(true);
}

void ClassDeviceDlg::OnPhraseEdited() {
    if (!form_->Save()) return;
    session_.RefreshPhrase();
    phraseText_->setText(kit::Q(base::GbkToUtf8(session_.Form().device.phraseText)));
}

void ClassDeviceDlg::accept() {
    if (!form_->Save()) return;
    // The edit shows bytes that are not UTF-8 as replacement characters: an
    // untouched rule keeps its own bytes.
    if (logic_ && logicText_ != logicShown_) session_.EditForm().logic = kit::U8(logicText_);
    const base::Result<> saved = session_.Save(state_.BusDeviceClass);
    if (!saved) {
        messages_.Message(this, kit::Q(saved.error().Full()), kit::MessageService::AppTitle(),
                          kit::MessageIcon::Warning);
        if (logic_) logic_->setFocus();  // the rule is what can be refused
        return;
    }
    QDialog::accept();
}

}  // namespace velsend::gui::devices

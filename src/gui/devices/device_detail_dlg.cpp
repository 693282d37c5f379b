#include "gui/devices/device_detail_dlg.h"

#include "base/controller_model.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "base/gbk.h"
#include "gui/history/history_dlg.h"
#include "gui/kit/form.h"
#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/screen_fit.h"
#include "gui/logic/logic_rules_dlg.h"
#include "gui/loops/loop_grid_view.h"
#include "gui/loops/loop_stats_dlg.h"
#include "gui/phrases/phrase_editor_dlg.h"

namespace velsend::gui::devices {

using namespace velsend::devices;
namespace {

constexpr int kFormWidth = 380;

QRadioButton* AddRadio(QButtonGroup* group, int id, const QString& text, QWidget* parent) {
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(group->objectName() + QString::number(id));  // "class0", "type12"
    group->addButton(radio, id);
    return radio;
}

void CentreOn(QWidget* window) {
    const QWidget* parent = window->parentWidget();
    const QRect area =
        parent ? parent->window()->frameGeometry() : window->screen()->availableGeometry();
    window->move(area.center() - window->rect().center());
}

}  // namespace

DeviceDetailDlg::DeviceDetailDlg(kit::RunState& state, kit::MessageService& messages,
                                 QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      session_(state.Project, base::Traits(state.ControllerModel).chineseNames) {
    setWindowTitle(QStringLiteral("总线设备"));
    QWidget* panel = BuildForm();
    panel->setObjectName(QStringLiteral("detailForm"));
    panel->setGeometry(0, 0, kFormWidth, kWithGrid.height());
    grid_ = new gui::loops::LoopGridView(velsend::loops::kDetailGrid, filter_, this);
    filters_ = new gui::loops::TypeFilterBoxes(filter_, this, QPoint(868, 4), 16);
    connect(filters_, &gui::loops::TypeFilterBoxes::Changed, grid_, qOverload<>(&QWidget::update));
    connect(grid_, &gui::loops::LoopGridView::AddressClicked, this,
            &DeviceDetailDlg::OnGridClicked);

    form_ = std::make_unique<kit::Form>(this, messages_);
    DeviceForm& f = session_.EditForm();
    form_->AddByte(loop_, &loopValue_);
    form_->AddByte(address_, &addressValue_);
    form_->AddByte(zone_, &f.zone);
    form_->AddByte(floor_, &f.floor);
    form_->AddByte(room_, &f.room);
    form_->AddByte(phrase_, &f.phrase);
    form_->AddByte(delay_, &f.delay, 0, kMaxDelay);
    connect(loop_, &QLineEdit::textEdited, this, [this] { OnLoopOrAddressEdited(true); });
    connect(address_, &QLineEdit::textEdited, this, [this] { OnLoopOrAddressEdited(false); });
    for (QLineEdit* edit : {zone_, floor_, room_, delay_})
        connect(edit, &QLineEdit::textEdited, this, [this] { ReadBack(); });
    connect(phrase_, &QLineEdit::textEdited, this, &DeviceDetailDlg::OnPhraseEdited);
    connect(name_, &QLineEdit::textEdited, this, [this] {
        // The validator lets through only text that has bytes.
        if (auto gbk = name_->GbkText()) session_.EditForm().name = *gbk;
        ShowNotice();
    });
    connect(classes_, &QButtonGroup::idClicked, this, &DeviceDetailDlg::OnClassPicked);
    connect(states_, &QButtonGroup::idClicked, this, [this](int id) {
        session_.EditForm().state = id;
        ShowNotice();
    });
    connect(types_, &QButtonGroup::idClicked, this, [this](int id) {
        session_.EditForm().type = id;
        ShowNotice();
    });
    connect(choices_, &QButtonGroup::idClicked, this, [this](int id) {
        session_.EditForm().choice = id;
        ShowNotice();
    });
    connect(setNext_, &QPushButton::clicked, this, &DeviceDetailDlg::OnSetNext);
    connect(readNext_, &QPushButton::clicked, this, &DeviceDetailDlg::OnReadNext);
    connect(stats_, &QPushButton::clicked, this, &DeviceDetailDlg::OpenStatistics);
    connect(gridBox_, &QCheckBox::toggled, this, &DeviceDetailDlg::OnGridBox);

    // Keys and the wheel are taken before the focused control sees them.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);

    if (!base::Traits(state_.ControllerModel).chineseNames) name_->hide();
    RebuildGrid();
    ShowForm();
    gridBox_->setChecked(true);
    setFixedSize(kWithGrid);

    // The two windows beside this one: hidden until F5/F7, gone with it.
    logic_ = new gui::logic::LogicRulesDlg(state_, messages_, this, this);
    phraseWindow_ = new gui::phrases::PhraseEditorDlg(state_.Project, messages_, this);
    phraseWindow_->SetOwner(this, panel);
    logic_->SetOwner(this, panel);
    connect(logicButton_, &QPushButton::clicked, logic_, &gui::logic::LogicRulesDlg::ShowModeless);
    connect(phrasesButton_, &QPushButton::clicked, phraseWindow_,
            &gui::phrases::PhraseEditorDlg::ShowModeless);
    address_->setFocus();
}

DeviceDetailDlg::~DeviceDetailDlg() = default;

QWidget* DeviceDetailDlg::BuildForm() {
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(8, 6, 4, 4);
    layout->setSpacing(3);

    BuildNumbersBox(panel, layout);
    BuildClassAndStateRow(panel, layout);
    BuildPlaceBox(panel, layout);
    BuildParamsRow(panel, layout);
    BuildTypeBox(panel, layout);
    BuildButtonRows(panel, layout);

    notice_ = new QLabel(panel);
    notice_->setObjectName(QStringLiteral("replaceNotice"));
    notice_->setWordWrap(true);
    layout->addWidget(notice_);

    auto* pages = new QHBoxLayout;
    pages->addWidget(new QLabel(QStringLiteral("PgUp:查看上一个"), panel));
    pages->addWidget(new QLabel(QStringLiteral("PgDn:查看下一个"), panel));
    layout->addLayout(pages);
    auto* hint =
        new QLabel(QStringLiteral("ps:白色方框为正在编辑设备,点击网格可直接转到相应设备"), panel);
    hint->setWordWrap(true);
    QPalette blue = hint->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    hint->setPalette(blue);
    layout->addWidget(hint);
    layout->addStretch(1);
    return panel;
}

void DeviceDetailDlg::BuildNumbersBox(QWidget* panel, QVBoxLayout* layout) {
    auto* numbers = new QGroupBox(QStringLiteral("设备编号"), panel);
    auto* numbersRow = new QHBoxLayout(numbers);
    numbersRow->setContentsMargins(6, 2, 6, 2);
    loop_ = new kit::NumberEdit(numbers);
    address_ = new kit::NumberEdit(numbers);
    gridBox_ = new QCheckBox(QStringLiteral("网格"), numbers);
    loop_->setObjectName(QStringLiteral("loop"));
    address_->setObjectName(QStringLiteral("address"));
    gridBox_->setObjectName(QStringLiteral("showGrid"));
    numbersRow->addWidget(new QLabel(QStringLiteral("回路"), numbers));
    numbersRow->addWidget(loop_);
    numbersRow->addWidget(new QLabel(QStringLiteral("地址"), numbers));
    numbersRow->addWidget(address_);
    numbersRow->addWidget(gridBox_);
    layout->addWidget(numbers);
}

void DeviceDetailDlg::BuildClassAndStateRow(QWidget* panel, QVBoxLayout* layout) {
    auto* classAndState = new QHBoxLayout;
    auto* classGroup = new QGroupBox(QStringLiteral("设备类型"), panel);
    auto* classRow = new QHBoxLayout(classGroup);
    classRow->setContentsMargins(6, 2, 6, 2);
    classes_ = new QButtonGroup(this);
    classes_->setObjectName(QStringLiteral("class"));
    for (int c = 0; c < 4; ++c)
        classRow->addWidget(
            AddRadio(classes_, c, kit::Q(velsend::store::ClassName(c)), classGroup));
    auto* stateGroup = new QGroupBox(QStringLiteral("设备状态"), panel);
    auto* stateRow = new QHBoxLayout(stateGroup);
    stateRow->setContentsMargins(6, 2, 6, 2);
    states_ = new QButtonGroup(this);
    states_->setObjectName(QStringLiteral("state"));
    stateRow->addWidget(AddRadio(states_, 0, QStringLiteral("开"), stateGroup));
    stateRow->addWidget(AddRadio(states_, 1, QStringLiteral("关"), stateGroup));
    classAndState->addWidget(classGroup, 1);
    classAndState->addWidget(stateGroup);
    layout->addLayout(classAndState);
}

void DeviceDetailDlg::BuildPlaceBox(QWidget* panel, QVBoxLayout* layout) {
    auto* place = new QGroupBox(QStringLiteral("设备安装具体部位"), panel);
    auto* placeGrid = new QGridLayout(place);
    placeGrid->setContentsMargins(6, 2, 6, 2);
    placeGrid->setVerticalSpacing(2);
    zone_ = new kit::NumberEdit(place);
    floor_ = new kit::NumberEdit(place);
    room_ = new kit::NumberEdit(place);
    phrase_ = new kit::NumberEdit(place);
    phraseText_ = new QLineEdit(place);
    phraseText_->setReadOnly(true);
    phraseText_->setFocusPolicy(Qt::NoFocus);
    name_ = new kit::GbkLineEdit(place, static_cast<int>(velsend::store::kNameSize));
    zone_->setObjectName(QStringLiteral("zone"));
    floor_->setObjectName(QStringLiteral("floor"));
    room_->setObjectName(QStringLiteral("room"));
    phrase_->setObjectName(QStringLiteral("phrase"));
    phraseText_->setObjectName(QStringLiteral("phraseText"));
    name_->setObjectName(QStringLiteral("name"));
    placeGrid->addWidget(new QLabel(QStringLiteral("区域"), place), 0, 0);
    placeGrid->addWidget(zone_, 0, 1);
    placeGrid->addWidget(new QLabel(QStringLiteral("楼层"), place), 0, 2);
    placeGrid->addWidget(floor_, 0, 3);
    placeGrid->addWidget(new QLabel(QStringLiteral("房间"), place), 0, 4);
    placeGrid->addWidget(room_, 0, 5);
    placeGrid->addWidget(new QLabel(QStringLiteral("名称"), place), 1, 0);
    placeGrid->addWidget(phrase_, 1, 1);
    placeGrid->addWidget(phraseText_, 1, 2, 1, 4);
    placeGrid->addWidget(name_, 2, 0, 1, 6);
    layout->addWidget(place);
}

void DeviceDetailDlg::BuildParamsRow(QWidget* panel, QVBoxLayout* layout) {
    auto* params = new QHBoxLayout;
    delayLabel_ = new QLabel(QStringLiteral("延时x5"), panel);
    delay_ = new kit::NumberEdit(panel);
    delay_->setFixedWidth(48);
    delay_->setObjectName(QStringLiteral("delay"));
    choiceGroup_ = new QGroupBox(QStringLiteral("启动方式"), panel);
    choiceGroup_->setObjectName(QStringLiteral("choices"));
    auto* choiceRow = new QHBoxLayout(choiceGroup_);
    choiceRow->setContentsMargins(6, 2, 6, 2);
    choices_ = new QButtonGroup(this);
    choices_->setObjectName(QStringLiteral("choice"));
    choiceRow->addWidget(AddRadio(choices_, 0, QStringLiteral("自动"), choiceGroup_));
    choiceRow->addWidget(AddRadio(choices_, 1, QStringLiteral("手动"), choiceGroup_));
    params->addWidget(delayLabel_);
    params->addWidget(delay_);
    params->addWidget(choiceGroup_, 1);
    layout->addLayout(params);
}

void DeviceDetailDlg::BuildTypeBox(QWidget* panel, QVBoxLayout* layout) {
    typeGroup_ = new QGroupBox(QStringLiteral("设备类型"), panel);
    typeGroup_->setObjectName(QStringLiteral("types"));
    auto* typeGrid = new QGridLayout(typeGroup_);
    typeGrid->setContentsMargins(6, 2, 2, 2);
    typeGrid->setVerticalSpacing(0);
    typeGrid->setHorizontalSpacing(2);
    types_ = new QButtonGroup(this);
    types_->setObjectName(QStringLiteral("type"));
    for (int t = 0; t < velsend::store::kModuleTypeCount; ++t) {
        QRadioButton* radio = AddRadio(types_, t, kit::Q(TypeRadioLabel(true, t)), typeGroup_);
        typeGrid->addWidget(radio, t % 11, t / 11);
    }
    layout->addWidget(typeGroup_);
}

void DeviceDetailDlg::BuildButtonRows(QWidget* panel, QVBoxLayout* layout) {
    setNext_ = new QPushButton(QStringLiteral("保存并且设置下一个[Enter]"), panel);
    readNext_ = new QPushButton(QStringLiteral("保存并且读取下一个[F12]"), panel);
    stats_ = new QPushButton(QStringLiteral("统计[F1]"), panel);
    logicButton_ = new QPushButton(QStringLiteral("逻辑[F5]"), panel);
    phrasesButton_ = new QPushButton(QStringLiteral("词库[F7]"), panel);
    setNext_->setObjectName(QStringLiteral("setNext"));
    readNext_->setObjectName(QStringLiteral("readNext"));
    setNext_->setDefault(true);
    // Enter always saves and moves on, whatever button has the focus.
    for (QPushButton* b : {setNext_, readNext_, stats_, logicButton_, phrasesButton_})
        b->setAutoDefault(false);
    auto* saves = new QHBoxLayout;
    saves->addWidget(setNext_);
    saves->addWidget(readNext_);
    layout->addLayout(saves);
    auto* tools = new QHBoxLayout;
    tools->addWidget(stats_);
    tools->addWidget(logicButton_);
    tools->addWidget(phrasesButton_);
    layout->addLayout(tools);
}

QRadioButton* DeviceDetailDlg::ClassRadio(int productClass) const {
    return qobject_cast<QRadioButton*>(classes_->button(productClass));
}
QRadioButton* DeviceDetailDlg::StateRadio(int state) const {
    return qobject_cast<QRadioButton*>(states_->button(state));
}
QRadioButton* DeviceDetailDlg::TypeRadio(int index) const {
    return qobject_cast<QRadioButton*>(types_->button(index));
}
QRadioButton* DeviceDetailDlg::ChoiceRadio(int choice) const {
    return qobject_cast<QRadioButton*>(choices_->button(choice));
}

void DeviceDetailDlg::ApplyClassLayout() {
    const DeviceForm& f = session_.Form();
    state_.BusDeviceClass = f.productClass;
    ClassRadio(f.productClass)->setChecked(true);
    const ClassLayout layout = LayoutOf(f.productClass);
    delayLabel_->setVisible(layout.showParams);
    delay_->setVisible(layout.showParams);
    choiceGroup_->setVisible(layout.showParams);
    if (layout.showParams) {
        choiceGroup_->setTitle(kit::Q(layout.choiceTitle));
        ChoiceRadio(0)->setText(kit::Q(layout.choiceFirst));
        ChoiceRadio(1)->setText(kit::Q(layout.choiceSecond));
    }
    if (layout.changeTypes) {
        typeGroup_->setTitle(kit::Q(layout.typeTitle));
        highTypesShown_ = layout.showHighTypes;
        for (int t = 0; t < velsend::store::kModuleTypeCount; ++t) {
            QRadioButton* radio = TypeRadio(t);
            radio->setText(kit::Q(TypeRadioLabel(layout.alarmLabels, t)));
            radio->setVisible(t < velsend::store::kAlarmTypeCount || highTypesShown_);
        }
    }
    for (QAbstractButton* radio : types_->buttons()) radio->setEnabled(layout.typesEnabled);
}

void DeviceDetailDlg::ShowType() {
    types_->setExclusive(false);
    for (QAbstractButton* radio : types_->buttons()) radio->setChecked(false);
    types_->setExclusive(true);
    const int type = session_.Form().type;
    if (type < 0 || type >= velsend::store::kModuleTypeCount) return;
    // A code the class has no radio for is shown as its number, and kept.
    QRadioButton* radio = TypeRadio(type);
    if (radio->isHidden()) {
        radio->setText(QStringLiteral("类型%1").arg(type));
        radio->show();
    }
    radio->setChecked(true);
}

void DeviceDetailDlg::ShowForm() {
    loopValue_ = session_.Loop();
    addressValue_ = session_.Address();
    form_->Load();
    const DeviceForm& f = session_.Form();
    StateRadio(f.state)->setChecked(true);
    ChoiceRadio(f.choice)->setChecked(true);
    phraseText_->setText(kit::Q(base::GbkToUtf8(f.phraseText)));
    name_->SetGbkText(f.name);
    ApplyClassLayout();
    ShowType();
    grid_->SetCurrent(session_.Address());
    ShowNotice();
}

bool DeviceDetailDlg::ReadBack() {
    const bool read = form_->Save();
    ShowNotice();
    return read;
}

void DeviceDetailDlg::ShowNotice() {
    notice_->setText(kit::Q(session_.ReplaceNotice()));
}

void DeviceDetailDlg::OnLoopOrAddressEdited(bool loopChanged) {
    kit::NumberEdit* edit = loopChanged ? loop_ : address_;
    if (!ReadBack() || edit->text().isEmpty()) return;
    if (loopChanged) {
        session_.GoToLoop(loopValue_);
        RebuildGrid();
    } else {
        session_.GoToAddress(addressValue_);
    }
    ShowForm();
}

void DeviceDetailDlg::OnPhraseEdited() {
    if (!ReadBack()) return;
    DeviceForm& f = session_.EditForm();
    f.phraseText = PhraseTextOf(state_.Project, f.phrase);
    phraseText_->setText(kit::Q(base::GbkToUtf8(f.phraseText)));
}

void DeviceDetailDlg::OnClassPicked(int productClass) {
    PickClass(session_.EditForm(), productClass);
    ApplyClassLayout();
    ShowType();
    ShowNotice();
}

bool DeviceDetailDlg::ReportSave(const base::Result<>& result) {
    if (result) return true;
    messages_.Message(this, kit::Q(result.error().Full()), kit::MessageService::AppTitle(),
                      kit::MessageIcon::Warning);
    return false;
}

void DeviceDetailDlg::OnSetNext() {
    if (!ReadBack()) return;
    const int saved = session_.Address();
    const base::Result<> result = session_.SaveAndSetNext();
    grid_->SetLabel(saved, velsend::store::GridLabelOf(
                               session_.Held().devices[static_cast<std::size_t>(saved)]));
    if (!ReportSave(result)) return;
    // Only the address changes: the next device gets the same settings.
    addressValue_ = session_.Address();
    address_->SetNumber(addressValue_);
    grid_->SetCurrent(addressValue_);
    ShowNotice();
    SelectFocusedEdit();
}

void DeviceDetailDlg::OnReadNext() {
    if (!ReadBack()) return;
    const int saved = session_.Address();
    const base::Result<> result = session_.SaveAndReadNext();
    grid_->SetLabel(saved, velsend::store::GridLabelOf(
                               session_.Held().devices[static_cast<std::size_t>(saved)]));
    if (!ReportSave(result)) return;
    ShowForm();
    SelectFocusedEdit();
}

void DeviceDetailDlg::SelectFocusedEdit() {
    QWidget* focused = focusWidget();
    for (QLineEdit* edit : {static_cast<QLineEdit*>(loop_), static_cast<QLineEdit*>(address_),
                            static_cast<QLineEdit*>(zone_), static_cast<QLineEdit*>(floor_),
                            static_cast<QLineEdit*>(room_), static_cast<QLineEdit*>(phrase_),
                            static_cast<QLineEdit*>(delay_), static_cast<QLineEdit*>(name_)}) {
        if (edit == focused) edit->selectAll();
    }
}

void DeviceDetailDlg::OnGridClicked(int address) {
    address_->SetNumber(address);
    OnLoopOrAddressEdited(false);
    address_->setFocus();
    address_->selectAll();
}

void DeviceDetailDlg::OnGridBox(bool on) {
    setFixedSize(on ? kWithGrid : kFormOnly);
    // The row headings begin left of the narrow window's edge.
    grid_->setVisible(on);
    CentreOn(this);
}

void DeviceDetailDlg::OpenStatistics() {
    gui::loops::LoopStatsDlg dialog(state_, messages_, session_.Loop(), this);
    dialog.adjustSize();
    QWidget* form = findChild<QWidget*>(QStringLiteral("detailForm"));
    // The statistics are modal, so F5 and F7 cannot be used meanwhile: on a
    // screen with no room for all three beside the form they step aside
    // until the statistics close, rather than lie under them.
    QList<QPointer<QWidget>> aside;
    if (!kit::PlaceBeside(&dialog, this, form)) {
        for (QWidget* companion :
             {static_cast<QWidget*>(logic_), static_cast<QWidget*>(phraseWindow_)}) {
            if (!companion->isVisible()) continue;
            companion->hide();
            aside << companion;
        }
        (void)kit::PlaceBeside(&dialog, this, form);
    }
    dialog.exec();
    for (const QPointer<QWidget>& companion : aside) {
        if (companion) companion->show();
    }
}

void DeviceDetailDlg::RebuildGrid() {
    grid_->SetLabels(velsend::loops::BuildGridLabels(session_.Held().devices));
}

bool DeviceDetailDlg::HandleKey(int key) {
    switch (key) {
        case Qt::Key_F1:
            OpenStatistics();
            return true;
        case Qt::Key_F5:
            logic_->ShowModeless();
            return true;
        case Qt::Key_F7:
            phraseWindow_->ShowModeless();
            return true;
        case Qt::Key_F12:
            OnReadNext();
            return true;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            session_.Page(key == Qt::Key_PageUp ? -1 : 1);
            ShowForm();
            address_->setFocus();
            address_->selectAll();
            return true;
        default:
            return false;
    }
}

bool DeviceDetailDlg::HandleWheel(int step) {
    QWidget* focused = focusWidget();
    auto* edit = qobject_cast<kit::NumberEdit*>(focused);
    if (!edit || !isAncestorOf(edit)) return false;
    if (step == 0) return true;
    const int value = static_cast<int>(edit->CorrectedValue());
    edit->SetNumber(edit == delay_ ? StepDelay(value, step) : StepByte(value, step), true);
    if (edit == loop_ || edit == address_) {
        OnLoopOrAddressEdited(edit == loop_);
    } else if (edit == phrase_) {
        OnPhraseEdited();
    } else {
        ReadBack();
    }
    edit->setFocus();
    edit->selectAll();
    return true;
}

void DeviceDetailDlg::OnUndo() {
    const auto done = history::UndoWithQuestion(state_.Project, false, messages_, this);
    if (!done) return;
    // The address whose save was undone is shown again, as it is now.
    if (const auto at = velsend::devices::SavedAddressOf(done->what)) {
        session_.GoToLoop(at->first);
        session_.GoToAddress(at->second);
    } else {
        session_.Load();
    }
    RebuildGrid();
    ShowForm();
    address_->setFocus();
    address_->selectAll();
}

bool DeviceDetailDlg::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl+Z undoes the last save, before an edit takes it as its own undo.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo)) {
        OnUndo();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        if (HandleKey(static_cast<QKeyEvent*>(event)->key())) return true;
    } else if (event->type() == QEvent::Wheel) {
        if (HandleWheel(kit::WheelStep(static_cast<QWheelEvent*>(event)))) return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace velsend::gui::devices

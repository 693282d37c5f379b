#include "gui/burner/transfer_rules_dlg.h"
#include "base/controller_model.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "core/burner/chip_safety.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::burner {

using namespace velsend::burner;
namespace {

constexpr std::uint32_t kLogicMax = 1023;
constexpr int kDelayMax = 50;

QGroupBox* RangeGroup(const QString& title, QWidget* first, QWidget* last, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QFormLayout(group);
    // Four digits at most: the fields keep that width beside the wide port list.
    layout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    for (QWidget* field : {first, last})
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
    layout->addRow(QStringLiteral("起始"), first);
    layout->addRow(QStringLiteral("终止"), last);
    return group;
}

}  // namespace

TransferRulesDlg::TransferRulesDlg(TransferRules& rules, velsend::burner::PortList& ports,
                                   int controllerModel, kit::MessageService& messages,
                                   QWidget* parent)
    : QDialog(parent),
      rules_(rules),
      ports_(ports),
      form_(this, messages),
      port_(new QComboBox(this)),
      refresh_(new QPushButton(QStringLiteral("刷新"), this)),
      speed_(new QComboBox(this)),
      firstLogic_(new kit::NumberEdit(this, 10)),
      lastLogic_(new kit::NumberEdit(this, 10)),
      firstLoop_(new kit::NumberEdit(this)),
      lastLoop_(new kit::NumberEdit(this)),
      firstAddress_(new kit::NumberEdit(this)),
      lastAddress_(new kit::NumberEdit(this)),
      firstPhrase_(new kit::NumberEdit(this)),
      lastPhrase_(new kit::NumberEdit(this)),
      delay_(new kit::NumberEdit(this)),
      backupFirst_(new QCheckBox(this)),
      model_(controllerModel) {
    setWindowTitle(QStringLiteral("数据传送规则设置"));
    const std::pair<QWidget*, const char*> named[] = {{firstLogic_, "firstLogic"},
                                                      {lastLogic_, "lastLogic"},
                                                      {firstLoop_, "firstLoop"},
                                                      {lastLoop_, "lastLoop"},
                                                      {firstAddress_, "firstAddress"},
                                                      {lastAddress_, "lastAddress"},
                                                      {firstPhrase_, "firstPhrase"},
                                                      {lastPhrase_, "lastPhrase"},
                                                      {delay_, "delay"},
                                                      {port_, "port"},
                                                      {refresh_, "refresh"},
                                                      {speed_, "speed"},
                                                      {backupFirst_, "backupFirst"}};
    for (const auto& [widget, name] : named) widget->setObjectName(QString::fromLatin1(name));

    // By-id names are long: the closed list keeps the dialog's size, the open
    // one and the tool tip show the whole identity.
    port_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    port_->setMinimumContentsLength(44);
    FillPorts();
    speed_->addItems({QStringLiteral("115200"), QStringLiteral("19200")});

    BuildLayout();
    LoadRules();

    // The first family keeps its logic per device: no numbered range to send.
    const bool numberedLogic = !base::Traits(controllerModel).perDeviceLogic;
    firstLogic_->setEnabled(numberedLogic);
    lastLogic_->setEnabled(numberedLogic);

    ConnectSignals();
}

void TransferRulesDlg::BuildLayout() {
    auto* serial = new QGroupBox(QStringLiteral("串口设置"), this);
    auto* serialLayout = new QVBoxLayout(serial);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(port_, 1);
    portRow->addWidget(refresh_);
    serialLayout->addLayout(portRow);
    serialLayout->addWidget(speed_);

    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(new QLabel(QStringLiteral("延时"), this));
    delayRow->addWidget(delay_);
    delayRow->addWidget(new QLabel(QStringLiteral("毫秒"), this));

    auto* ok = new QPushButton(QStringLiteral("确认"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(serial, 0, 0);
    grid->addWidget(RangeGroup(QStringLiteral("逻辑"), firstLogic_, lastLogic_, this), 0, 1);
    grid->addWidget(RangeGroup(QStringLiteral("回路"), firstLoop_, lastLoop_, this), 1, 0);
    grid->addWidget(RangeGroup(QStringLiteral("地址"), firstAddress_, lastAddress_, this), 1, 1);
    grid->addWidget(RangeGroup(QStringLiteral("词库"), firstPhrase_, lastPhrase_, this), 2, 0);
    auto* buttons = new QVBoxLayout;
    buttons->addLayout(delayRow);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(backupFirst_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TransferRulesDlg::LoadRules() {
    copy_ = {rules_.FirstLogic,  rules_.LastLogic,    rules_.FirstLoop,
             rules_.LastLoop,    rules_.FirstAddress, rules_.LastAddress,
             rules_.FirstPhrase, rules_.LastPhrase,   rules_.PaceDelay};
    form_.AddUnsigned(firstLogic_, &copy_.firstLogic, 0, kLogicMax);
    form_.AddUnsigned(lastLogic_, &copy_.lastLogic, 0, kLogicMax);
    form_.AddByte(firstLoop_, &copy_.firstLoop);
    form_.AddByte(lastLoop_, &copy_.lastLoop);
    form_.AddByte(firstAddress_, &copy_.firstAddress);
    form_.AddByte(lastAddress_, &copy_.lastAddress);
    form_.AddByte(firstPhrase_, &copy_.firstPhrase);
    form_.AddByte(lastPhrase_, &copy_.lastPhrase);
    form_.AddByte(delay_, &copy_.delay, 0, kDelayMax);
    form_.Load();
    speed_->setCurrentIndex(rules_.BaudIndex == 0 ? 0 : 1);
    backupFirst_->setChecked(rules_.BackupFirst);
    ShowBackupTime();
}

void TransferRulesDlg::ConnectSignals() {
    form_.SaveOnEveryChange([this](QLineEdit* changed, bool valid) {
        if (valid) Commit(changed);
    });
    connect(refresh_, &QPushButton::clicked, this, [this] {
        ports_.Rescan();
        FillPorts();
    });
    connect(port_, &QComboBox::activated, this, [this] {
        port_->setToolTip(port_->currentText());
        if (form_.Save()) Commit(port_);
    });
    connect(speed_, &QComboBox::activated, this, [this] {
        if (form_.Save()) Commit(speed_);
        ShowBackupTime();
    });
    connect(backupFirst_, &QCheckBox::toggled, this, [this] { Commit(backupFirst_); });
}

void TransferRulesDlg::ShowBackupTime() {
    // The time it adds is said before the user opts in.
    backupFirst_->setText(QStringLiteral("每次传送前先备份芯片内容到工程文件夹的 %1（每次%2）")
                              .arg(kit::Q(kChipBackupFolder),
                                   kit::Q(ChipReadTimeText(model_, TransferRules::BaudRateFor(
                                                                       speed_->currentIndex())))));
}

void TransferRulesDlg::FillPorts() {
    port_->clear();
    const std::string& identity = rules_.PortIdentity;
    const int remembered = !identity.empty()                       ? ports_.Find(identity)
                           : ports_.Path(rules_.PortIndex).empty() ? -1
                                                                   : rules_.PortIndex;
    for (int i = 0; i < velsend::burner::PortList::kCount; ++i) {
        if (!ports_.Path(i).empty()) port_->addItem(kit::Q(ports_.Label(i)), i);
    }
    if (remembered < 0 && (!identity.empty() || port_->count() > 0)) {
        // Said plainly, instead of showing whatever has its number now.
        const QString com = QStringLiteral("COM%1").arg(rules_.PortIndex + 1);
        port_->insertItem(0,
                          (identity.empty() ? com : com + QStringLiteral("  ") + kit::Q(identity)) +
                              QStringLiteral("（未连接）"),
                          -1);
    }
    if (port_->count() == 0) port_->addItem(QStringLiteral("没有找到串口"), -1);
    const int shown = port_->findData(remembered);
    port_->setCurrentIndex(shown >= 0 ? shown : 0);
    port_->view()->setMinimumWidth(port_->view()->sizeHintForColumn(0) + 24);
    port_->setToolTip(port_->currentText());
}

void TransferRulesDlg::Commit(QObject* changed) {
    if (changed == port_) {
        const int index = port_->currentData().toInt();
        if (index >= 0) {
            rules_.PortIndex = index;
            rules_.PortIdentity = ports_.Identity(index).key;
        }
    }
    if (changed == speed_) rules_.SetBaudIndex(speed_->currentIndex());
    if (changed == firstLogic_) rules_.FirstLogic = copy_.firstLogic;
    if (changed == lastLogic_) rules_.LastLogic = copy_.lastLogic;
    if (changed == firstLoop_) rules_.FirstLoop = static_cast<std::uint8_t>(copy_.firstLoop);
    if (changed == lastLoop_) rules_.LastLoop = static_cast<std::uint8_t>(copy_.lastLoop);
    if (changed == firstAddress_)
        rules_.FirstAddress = static_cast<std::uint8_t>(copy_.firstAddress);
    if (changed == lastAddress_) rules_.LastAddress = static_cast<std::uint8_t>(copy_.lastAddress);
    if (changed == firstPhrase_) rules_.FirstPhrase = static_cast<std::uint8_t>(copy_.firstPhrase);
    if (changed == lastPhrase_) rules_.LastPhrase = static_cast<std::uint8_t>(copy_.lastPhrase);
    if (changed == delay_) rules_.PaceDelay = static_cast<std::uint8_t>(copy_.delay);
    if (changed == backupFirst_) rules_.BackupFirst = backupFirst_->isChecked();
}

void TransferRulesDlg::accept() {
    if (form_.Save()) QDialog::accept();
}

}  // namespace velsend::gui::burner

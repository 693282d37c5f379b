#include "gui/store/node_set_dlg.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/kit/dialog_buttons.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::store {

using namespace velsend::store;
namespace {

constexpr int kAddressMax = 63;
constexpr int kNetworkCountMax = 64;

}  // namespace

NodeSetDlgBase::NodeSetDlgBase(const ProjectDir& dir, kit::MessageService& messages,
                               bool driverRange, QWidget* parent)
    : QDialog(parent),
      dir_(dir),
      messages_(messages),
      form_(this, messages),
      local_(new kit::NumberEdit(this)),
      networkCount_(new kit::NumberEdit(this)),
      driverFirst_(new kit::NumberEdit(this)),
      driverLast_(driverRange ? new kit::NumberEdit(this) : nullptr),
      linkageFirst_(new kit::NumberEdit(this)),
      linkageLast_(new kit::NumberEdit(this)) {
    setWindowTitle(QStringLiteral("节点设置"));
    local_->setObjectName(QStringLiteral("local"));
    networkCount_->setObjectName(QStringLiteral("networkCount"));
    driverFirst_->setObjectName(QStringLiteral("driverFirst"));
    if (driverLast_) driverLast_->setObjectName(QStringLiteral("driverLast"));
    linkageFirst_->setObjectName(QStringLiteral("linkageFirst"));
    linkageLast_->setObjectName(QStringLiteral("linkageLast"));

    auto* host = new QGroupBox(QStringLiteral("主机"), this);
    auto* hostFields = new QFormLayout;
    hostFields->addRow(QStringLiteral("本机地址"), local_);
    hostFields->addRow(QStringLiteral("联网机数"), networkCount_);
    auto* modes = new QGroupBox(QStringLiteral("工作方式"), host);
    auto* modeLayout = new QVBoxLayout(modes);
    auto* modeGroup = new QButtonGroup(this);
    for (int m = 0; m < kWorkModeCount; ++m) {
        auto* button = new QRadioButton(kit::Q(WorkModeLabel(m)), modes);
        modeGroup->addButton(button, m);
        modeLayout->addWidget(button);
        workModes_[static_cast<std::size_t>(m)] = button;
    }
    // A click sets the work mode at once.
    connect(modeGroup, &QButtonGroup::idClicked, this, [this](int mode) { workMode_ = mode; });
    auto* hostLayout = new QVBoxLayout(host);
    hostLayout->addLayout(hostFields);
    hostLayout->addWidget(modes);

    auto* driver = new QGroupBox(
        driverRange ? QStringLiteral("驱动板地址") : QStringLiteral("驱动板(回路)地址"), this);
    auto* driverLayout = new QFormLayout(driver);
    if (driverRange) {
        driverLayout->addRow(QStringLiteral("首址"), driverFirst_);
        driverLayout->addRow(QStringLiteral("末址"), driverLast_);
    } else {
        driverLayout->addRow(QStringLiteral("地址"), driverFirst_);
    }
    auto* linkage = new QGroupBox(QStringLiteral("联动盘地址"), this);
    auto* linkageLayout = new QFormLayout(linkage);
    linkageLayout->addRow(QStringLiteral("首址"), linkageFirst_);
    linkageLayout->addRow(QStringLiteral("末址"), linkageLast_);

    const kit::DialogButtons buttons = kit::MakeOkCancel(this);
    auto* right = new QVBoxLayout;
    right->addWidget(driver);
    right->addWidget(linkage);
    right->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addWidget(host);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons.row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The fields are checked in this order; the first bad one stops the check.
    if (driverRange) {
        form_.AddByte(driverFirst_, &fields_.driverFirst, 0, kAddressMax);
        form_.AddByte(driverLast_, &fields_.driverLast, 0, kAddressMax);
    }
    form_.AddByte(local_, &fields_.local, 0, kAddressMax);
    form_.AddByte(networkCount_, &fields_.networkCount, 0, kNetworkCountMax);
    if (!driverRange) form_.AddByte(driverFirst_, &fields_.driverFirst, 0, kAddressMax);
    form_.AddByte(linkageFirst_, &fields_.linkageFirst, 0, kAddressMax);
    form_.AddByte(linkageLast_, &fields_.linkageLast, 0, kAddressMax);
    form_.SaveOnEveryChange();
}

void NodeSetDlgBase::SelectWorkMode(int mode) {
    workMode_ = mode;
    if (mode >= 0 && mode < kWorkModeCount)
        workModes_[static_cast<std::size_t>(mode)]->setChecked(true);
}

void NodeSetDlgBase::accept() {
    if (!form_.Save()) return;
    if (auto stored = Store(); !stored) {
        if (stored.error().code == base::kEditClash) {
            // Another program changed the record: both are shown.
            messages_.Message(this, QString::fromStdString(stored.error().userText),
                              kit::MessageService::AppTitle(), kit::MessageIcon::Warning);
            return;
        }
        messages_.Message(
            this,
            kit::WithReason(QStringLiteral("无法写入节点文件，设置没有保存。"), stored.error()),
            kit::MessageService::AppTitle(), kit::MessageIcon::Critical);
        return;
    }
    QDialog::accept();
}

void NodeSetDlgBase::ShowFields(const NodeFields& fields) {
    fields_ = fields;
    form_.Load();
    SelectWorkMode(fields.workMode);
}

NodeFields NodeSetDlgBase::EditedFields() const {
    NodeFields edited = fields_;
    edited.workMode = workMode_;
    return edited;
}

}  // namespace velsend::gui::store

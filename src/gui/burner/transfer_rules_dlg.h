#pragma once

#include <QDialog>

#include "core/burner/port_list.h"
#include "core/burner/transfer_rules.h"
#include "gui/kit/form.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace velsend::ui {
class MessageService;
class NumberEdit;
}  // namespace velsend::ui

namespace velsend::burner {

// "数据传送规则设置". Every valid change takes effect at once, so leaving with
// "取消" keeps what was changed. The port list shows the serial devices that
// exist, each with its identity; the choice is remembered by that identity.
class TransferRulesDlg : public QDialog {
    Q_OBJECT
  public:
    TransferRulesDlg(TransferRules& rules, burner::PortList& ports, int controllerModel,
            ui::MessageService& messages, QWidget* parent = nullptr);

    QComboBox* PortList() const { return port_; }
    QPushButton* RefreshButton() const { return refresh_; }
    QComboBox* SpeedList() const { return speed_; }
    ui::NumberEdit* FirstLogicEdit() const { return firstLogic_; }
    ui::NumberEdit* LastLogicEdit() const { return lastLogic_; }
    ui::NumberEdit* FirstLoopEdit() const { return firstLoop_; }
    ui::NumberEdit* LastLoopEdit() const { return lastLoop_; }
    ui::NumberEdit* FirstAddressEdit() const { return firstAddress_; }
    ui::NumberEdit* LastAddressEdit() const { return lastAddress_; }
    ui::NumberEdit* FirstPhraseEdit() const { return firstPhrase_; }
    ui::NumberEdit* LastPhraseEdit() const { return lastPhrase_; }
    ui::NumberEdit* DelayEdit() const { return delay_; }
    QCheckBox* BackupFirstBox() const { return backupFirst_; }

    void accept() override;

  private:
    void ShowBackupTime();
    // Takes the one field that belongs to `changed` over into the rules.
    void Commit(QObject* changed);
    // Lists the ports found by the last scan; selects the remembered one.
    void FillPorts();

    // The dialog's own copy of the fields, as the form checks them.
    struct Copy {
        std::uint32_t firstLogic = 0, lastLogic = 0;
        int firstLoop = 0, lastLoop = 0, firstAddress = 0, lastAddress = 0;
        int firstPhrase = 0, lastPhrase = 0, delay = 0;
    };

    TransferRules& rules_;
    burner::PortList& ports_;
    Copy copy_;
    ui::Form form_;
    QComboBox* port_;
    QPushButton* refresh_;
    QComboBox* speed_;
    ui::NumberEdit* firstLogic_;
    ui::NumberEdit* lastLogic_;
    ui::NumberEdit* firstLoop_;
    ui::NumberEdit* lastLoop_;
    ui::NumberEdit* firstAddress_;
    ui::NumberEdit* lastAddress_;
    ui::NumberEdit* firstPhrase_;
    ui::NumberEdit* lastPhrase_;
    ui::NumberEdit* delay_;
    QCheckBox* backupFirst_;
    int model_;
};

}  // namespace velsend::burner

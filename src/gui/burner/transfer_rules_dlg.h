#pragma once

#include <QDialog>

#include "core/burner/port_list.h"
#include "core/burner/transfer_rules.h"
#include "gui/kit/form.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace velsend::gui::kit {
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::burner {

using namespace velsend::burner;

// "数据传送规则设置". Every valid change takes effect at once, so leaving with
// "取消" keeps what was changed. The port list shows the serial devices that
// exist, each with its identity; the choice is remembered by that identity.
class TransferRulesDlg : public QDialog {
    Q_OBJECT
  public:
    TransferRulesDlg(TransferRules& rules, velsend::burner::PortList& ports, int controllerModel,
                     kit::MessageService& messages, QWidget* parent = nullptr);

    void accept() override;

  private:
    void BuildLayout();
    void LoadRules();
    void ConnectSignals();
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
    velsend::burner::PortList& ports_;
    Copy copy_;
    kit::Form form_;
    QComboBox* port_;
    QPushButton* refresh_;
    QComboBox* speed_;
    kit::NumberEdit* firstLogic_;
    kit::NumberEdit* lastLogic_;
    kit::NumberEdit* firstLoop_;
    kit::NumberEdit* lastLoop_;
    kit::NumberEdit* firstAddress_;
    kit::NumberEdit* lastAddress_;
    kit::NumberEdit* firstPhrase_;
    kit::NumberEdit* lastPhrase_;
    kit::NumberEdit* delay_;
    QCheckBox* backupFirst_;
    int model_;
};

}  // namespace velsend::gui::burner

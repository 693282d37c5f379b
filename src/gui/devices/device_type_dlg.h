#pragma once

#include <QDialog>
#include <memory>

#include "core/store/device_store.h"
#include "gui/kit/run_state.h"

class QButtonGroup;
class QCheckBox;

namespace velsend::gui::kit {
class Form;
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::devices {

// "设备类型": picks loop, address and class, and opens the class dialog for
// them on "确认"; after a confirmed edit it stands on the next address, so a
// loop is filled device after device. Only "取消" closes it.
class DeviceTypeDlg : public QDialog {
    Q_OBJECT
  public:
    DeviceTypeDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr);
    ~DeviceTypeDlg() override;

    void accept() override;

  private:
    void ShowValues();

    kit::RunState& state_;
    kit::MessageService& messages_;
    std::unique_ptr<kit::Form> form_;
    kit::NumberEdit* loop_;
    kit::NumberEdit* address_;
    QButtonGroup* classes_;
};

// "快速设置": a range of one loop's addresses becomes installed devices of one
// class in one step, optionally switching off every other address.
class QuickSetDlg : public QDialog {
    Q_OBJECT
  public:
    QuickSetDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr);
    ~QuickSetDlg() override;

    void accept() override;

  private:
    void OnLoopEdited();

    kit::RunState& state_;
    kit::MessageService& messages_;
    velsend::store::DeviceFile held_{};
    int loopValue_ = 0;
    int firstValue_ = 0;
    int lastValue_ = 0;
    std::unique_ptr<kit::Form> form_;
    kit::NumberEdit* loop_;
    kit::NumberEdit* first_;
    kit::NumberEdit* last_;
    QButtonGroup* classes_;
    QCheckBox* offOutside_;
};

}  // namespace velsend::gui::devices

#pragma once

#include <QDialog>
#include <memory>

#include "gui/kit/run_state.h"
#include "core/store/device_store.h"

class QButtonGroup;
class QCheckBox;
class QPushButton;
class QRadioButton;

namespace velsend::ui {
class Form;
class MessageService;
class NumberEdit;
}  // namespace velsend::ui

namespace velsend::devices {

// "设备类型": picks loop, address and class, and opens the class dialog for
// them on "确认"; after a confirmed edit it stands on the next address, so a
// loop is filled device after device. Only "取消" closes it.
class DeviceTypeDlg : public QDialog {
    Q_OBJECT
  public:
    DeviceTypeDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
    ~DeviceTypeDlg() override;

    ui::NumberEdit* LoopEdit() const { return loop_; }
    ui::NumberEdit* AddressEdit() const { return address_; }
    QRadioButton* ClassRadio(int productClass) const;
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

  private:
    void ShowValues();

    base::RunState& state_;
    ui::MessageService& messages_;
    std::unique_ptr<ui::Form> form_;
    ui::NumberEdit* loop_;
    ui::NumberEdit* address_;
    QButtonGroup* classes_;
    QPushButton* ok_;
};

// "快速设置": a range of one loop's addresses becomes installed devices of one
// class in one step, optionally switching off every other address.
class QuickSetDlg : public QDialog {
    Q_OBJECT
  public:
    QuickSetDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
    ~QuickSetDlg() override;

    ui::NumberEdit* LoopEdit() const { return loop_; }
    QRadioButton* ClassRadio(int productClass) const;
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

  private:
    void OnLoopEdited();

    base::RunState& state_;
    ui::MessageService& messages_;
    store::DeviceFile held_{};
    int loopValue_ = 0;
    int firstValue_ = 0;
    int lastValue_ = 0;
    std::unique_ptr<ui::Form> form_;
    ui::NumberEdit* loop_;
    ui::NumberEdit* first_;
    ui::NumberEdit* last_;
    QButtonGroup* classes_;
    QCheckBox* offOutside_;
    QPushButton* ok_;
};

}  // namespace velsend::devices

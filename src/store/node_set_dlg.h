#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "store/node_records.h"
#include "ui/form.h"

class QPushButton;
class QRadioButton;

namespace velsend::ui {
class MessageService;
class NumberEdit;
}  // namespace velsend::ui

namespace velsend::store {

// The two "节点设置" dialogs share their look and behaviour; they differ in the
// driver board fields (one address or a range) and in the record they keep.
class NodeSetDlgBase : public QDialog {
    Q_OBJECT
  public:
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QRadioButton* WorkModeButton(int mode) const {
        return workModes_[static_cast<std::size_t>(mode)];
    }
    int WorkMode() const { return workMode_; }

    void accept() override;

  protected:
    NodeSetDlgBase(const ProjectDir& dir, ui::MessageService& messages, bool driverRange,
                   QWidget* parent);
    // Called with the form's checks passed: copy the fields into the record and write it.
    virtual bool Store() = 0;

    ProjectDir dir_;
    ui::MessageService& messages_;
    ui::Form form_;
    ui::NumberEdit* local_;
    ui::NumberEdit* networkCount_;
    ui::NumberEdit* driverFirst_;
    ui::NumberEdit* driverLast_;  // null in the nine-byte dialog
    ui::NumberEdit* linkageFirst_;
    ui::NumberEdit* linkageLast_;
    int workMode_ = 0;
    // The dialog's copies of the fields.
    int localValue_ = 0, networkValue_ = 0, driverFirstValue_ = 0, driverLastValue_ = 0;
    int linkageFirstValue_ = 0, linkageLastValue_ = 0;

    void SelectWorkMode(int mode);

  private:
    std::array<QRadioButton*, 3> workModes_{};
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// node1.dat, models 1, 3 and 4.
class CNodeSetDlg : public NodeSetDlgBase {
    Q_OBJECT
  public:
    CNodeSetDlg(NineByteNodeRecord& record, const ProjectDir& dir, ui::MessageService& messages,
                QWidget* parent = nullptr);

  private:
    bool Store() override;
    NineByteNodeRecord& record_;
};

// node2.dat, model 2.
class CNodeSetDlg2 : public NodeSetDlgBase {
    Q_OBJECT
  public:
    CNodeSetDlg2(TenByteNodeRecord& record, const ProjectDir& dir, ui::MessageService& messages,
                 QWidget* parent = nullptr);

  private:
    bool Store() override;
    TenByteNodeRecord& record_;
};

}  // namespace velsend::store

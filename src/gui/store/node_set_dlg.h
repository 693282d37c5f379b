#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <type_traits>

#include "core/store/node_records.h"
#include "gui/kit/form.h"

class QRadioButton;

namespace velsend::gui::kit {
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::store {

using namespace velsend::store;

// The two "节点设置" dialogs share their look and behaviour; they differ in the
// driver board fields (one address or a range) and in the record they keep.
class NodeSetDlgBase : public QDialog {
    Q_OBJECT
  public:
    QRadioButton* WorkModeButton(int mode) const {
        return workModes_[static_cast<std::size_t>(mode)];
    }
    int WorkMode() const { return workMode_; }

    void accept() override;

  protected:
    NodeSetDlgBase(const ProjectDir& dir, kit::MessageService& messages, bool driverRange,
                   QWidget* parent);
    // Called with the form's checks passed: take the fields over and write the
    // record. An error without a reason is a clash with another program's change.
    [[nodiscard]] virtual base::Result<> Store() = 0;
    void ShowFields(const NodeFields& fields);
    NodeFields EditedFields() const;

    ProjectDir dir_;
    kit::MessageService& messages_;
    kit::Form form_;
    kit::NumberEdit* local_;
    kit::NumberEdit* networkCount_;
    kit::NumberEdit* driverFirst_;
    kit::NumberEdit* driverLast_;  // null in the nine-byte dialog
    kit::NumberEdit* linkageFirst_;
    kit::NumberEdit* linkageLast_;
    int workMode_ = 0;
    NodeFields fields_;  // the dialog's copy, as the form checks it

    void SelectWorkMode(int mode);

  private:
    std::array<QRadioButton*, velsend::store::kWorkModeCount> workModes_{};
};

// One dialog per record kind; the ten-byte record gives the driver boards a range.
template <typename Record>
class NodeSetDlgFor : public NodeSetDlgBase {
  public:
    NodeSetDlgFor(Record& record, const ProjectDir& dir, kit::MessageService& messages,
                  QWidget* parent = nullptr)
        : NodeSetDlgBase(dir, messages, std::is_same_v<Record, TenByteNodeRecord>, parent),
          record_(record) {
        (void)LoadNodeRecord(dir_, record_);  // no file: the record in memory shows
        shown_ = record_;
        ShowFields(FieldsOf(record_));
    }

  private:
    base::Result<> Store() override {
        // The record in memory goes out with the next node transfer: it
        // takes the fields only once they are in the file.
        if (base::Result<> saved = SaveNodeEdit(dir_, shown_, EditedFields()); !saved) return saved;
        record_ = shown_;
        return base::Ok();
    }
    Record& record_;
    Record shown_;  // the record as the dialog read it
};

using NineByteNodeSetDlg = NodeSetDlgFor<NineByteNodeRecord>;  // node1.dat, models 1, 3 and 4
using TenByteNodeSetDlg = NodeSetDlgFor<TenByteNodeRecord>;    // node2.dat, model 2

}  // namespace velsend::gui::store

#pragma once

#include <cstdint>
#include "gui/kit/companion_dialog.h"

#include "gui/kit/run_state.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace velsend::ui {
class GbkTextEdit;
class MessageService;
class NumberEdit;
}  // namespace velsend::ui

namespace velsend::logic {

// "逻辑设置": the numbered rules of the current model in a list, one rule at a
// time in the edit, saved rule after rule with Enter. Modal from the main
// menu; the bus device detail dialog keeps one hidden instance of its own
// (with itself as `ownerDialog`) and shows it beside itself.
class LogicRulesDlg : public ui::CompanionDialog {
    Q_OBJECT
  public:
    LogicRulesDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr,
                 QWidget* ownerDialog = nullptr);

    ui::NumberEdit* NumberField() const { return number_; }
    ui::GbkTextEdit* RuleField() const { return rule_; }
    QTreeWidget* List() const { return list_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* ClearButton() const { return clear_; }
    int LogicNumber() const { return static_cast<int>(logicNumber_); }

    // Enter saves instead (the default button); only Esc and the close box
    // end the dialog.
    void accept() override {}

  protected:
    // The wheel steps through the rules wherever the mouse or focus is.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int Capacity() const;
    void FillList();
    void SelectFirstRow();
    // Checks the fields as the user left them; false (after the message)
    // at the first bad one.
    bool ReadBack();
    void OnCurrentRowChanged(QTreeWidgetItem* current);
    void OnNumberChange();
    void GoTo(int number);
    void OnSave();
    void OnClear();

    base::RunState& state_;
    ui::MessageService& messages_;
    ui::NumberEdit* number_;
    QPushButton* save_;
    QPushButton* clear_;
    ui::GbkTextEdit* rule_;
    QTreeWidget* list_;
    std::uint32_t logicNumber_ = 0;
    bool selecting_ = false;  // the dialog moves the list's selection itself
};

}  // namespace velsend::logic

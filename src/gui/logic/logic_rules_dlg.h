#pragma once

#include <cstdint>
#include <string>
#include "gui/kit/companion_dialog.h"

#include "gui/kit/run_state.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace velsend::gui::kit {
class GbkTextEdit;
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::logic {

// "逻辑设置": the numbered rules of the current model in a list, one rule at a
// time in the edit, saved rule after rule with Enter. Modal from the main
// menu; the bus device detail dialog keeps one hidden instance of its own
// (with itself as `ownerDialog`) and shows it beside itself.
class LogicRulesDlg : public kit::CompanionDialog {
    Q_OBJECT
  public:
    LogicRulesDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr,
                  QWidget* ownerDialog = nullptr);

    kit::NumberEdit* NumberField() const { return number_; }
    kit::GbkTextEdit* RuleField() const { return rule_; }
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

    kit::RunState& state_;
    kit::MessageService& messages_;
    kit::NumberEdit* number_;
    QPushButton* save_;
    QPushButton* clear_;
    kit::GbkTextEdit* rule_;
    QTreeWidget* list_;
    std::uint32_t logicNumber_ = 0;
    std::string shownRule_;   // the rule as read for the editor, to tell another writer's change
    bool selecting_ = false;  // the dialog moves the list's selection itself
};

}  // namespace velsend::gui::logic

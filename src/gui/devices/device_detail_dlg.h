#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "gui/kit/run_state.h"
#include "core/devices/device_form.h"
#include "core/loops/loop_grid.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velsend::logic {
class LogicRulesDlg;
}
namespace velsend::phrases {
class PhraseEditorDlg;
}
namespace velsend::ui {
class Form;
class GbkLineEdit;
class MessageService;
class NumberEdit;
}  // namespace velsend::ui

namespace velsend::loops {
class LoopGridView;
class TypeFilterBoxes;
}  // namespace velsend::loops

namespace velsend::devices {

// "总线设备": walks the addresses of any loop and saves them one after the
// other from the keyboard, with the loop's grid beside the form. The logic
// and phrase windows stay beside it while it is open.
class DeviceDetailDlg : public QDialog {
    Q_OBJECT
  public:
    DeviceDetailDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
    ~DeviceDetailDlg() override;

    static constexpr QSize kWithGrid{1005, 576};
    static constexpr QSize kFormOnly{390, 576};

    const DeviceSession& Session() const { return session_; }
    ui::NumberEdit* LoopEdit() const { return loop_; }
    ui::NumberEdit* AddressEdit() const { return address_; }
    ui::NumberEdit* ZoneEdit() const { return zone_; }
    ui::NumberEdit* FloorEdit() const { return floor_; }
    ui::NumberEdit* RoomEdit() const { return room_; }
    ui::NumberEdit* PhraseEdit() const { return phrase_; }
    ui::NumberEdit* DelayEdit() const { return delay_; }
    QLineEdit* PhraseTextEdit() const { return phraseText_; }
    ui::GbkLineEdit* NameEdit() const { return name_; }
    QCheckBox* GridBox() const { return gridBox_; }
    QRadioButton* ClassRadio(int productClass) const;
    QRadioButton* StateRadio(int state) const;
    QRadioButton* TypeRadio(int index) const;
    QRadioButton* ChoiceRadio(int choice) const;
    loops::LoopGridView* Grid() const { return grid_; }
    loops::TypeFilterBoxes* Filters() const { return filters_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* BuildForm();
    void ApplyClassLayout();
    // Puts the session's form into the controls.
    void ShowForm();
    void ShowType();
    // The form's edits into the session; false after the message.
    bool ReadBack();
    void OnLoopOrAddressEdited(bool loopChanged);
    void OnPhraseEdited();
    void OnClassPicked(int productClass);
    void OnSetNext();
    void OnReadNext();
    bool ReportSave(const base::Result<>& result);
    // The status line: what Enter would replace here, if anything.
    void ShowNotice();
    void AfterMove();
    void SelectFocusedEdit();
    void OnGridClicked(int address);
    void OnGridBox(bool on);
    void OpenStatistics();
    void RebuildGrid();
    bool HandleKey(int key);
    bool HandleWheel(int step);

    base::RunState& state_;
    ui::MessageService& messages_;
    DeviceSession session_;
    int loopValue_ = 0;
    int addressValue_ = 0;
    loops::TypeFilter filter_;

    ui::NumberEdit* loop_;
    ui::NumberEdit* address_;
    QCheckBox* gridBox_;
    QButtonGroup* classes_;
    QButtonGroup* states_;
    QButtonGroup* types_;
    QButtonGroup* choices_;
    ui::NumberEdit* zone_;
    ui::NumberEdit* floor_;
    ui::NumberEdit* room_;
    ui::NumberEdit* phrase_;
    QLineEdit* phraseText_;
    ui::GbkLineEdit* name_;
    QLabel* delayLabel_;
    ui::NumberEdit* delay_;
    QGroupBox* choiceGroup_;
    QGroupBox* typeGroup_;
    QLabel* notice_;
    QPushButton* setNext_;
    QPushButton* readNext_;
    QPushButton* stats_;
    QPushButton* logicButton_;
    QPushButton* phrasesButton_;
    std::unique_ptr<ui::Form> form_;
    loops::LoopGridView* grid_;
    loops::TypeFilterBoxes* filters_;
    bool highTypesShown_ = false;
    logic::LogicRulesDlg* logic_ = nullptr;
    phrases::PhraseEditorDlg* phraseWindow_ = nullptr;
};

}  // namespace velsend::devices

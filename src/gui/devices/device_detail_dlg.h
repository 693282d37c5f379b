#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "core/devices/device_form.h"
#include "core/loops/loop_grid.h"
#include "gui/kit/run_state.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace velsend::gui::logic {
class LogicRulesDlg;
}
namespace velsend::gui::phrases {
class PhraseEditorDlg;
}
namespace velsend::gui::kit {
class Form;
class GbkLineEdit;
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::loops {
class LoopGridView;
class TypeFilterBoxes;
}  // namespace velsend::gui::loops

namespace velsend::gui::devices {

using namespace velsend::devices;

// "总线设备": walks the addresses of any loop and saves them one after the
// other from the keyboard, with the loop's grid beside the form. The logic
// and phrase windows stay beside it while it is open.
class DeviceDetailDlg : public QDialog {
    Q_OBJECT
  public:
    DeviceDetailDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr);
    ~DeviceDetailDlg() override;

    static constexpr QSize kWithGrid{1005, 576};
    static constexpr QSize kFormOnly{390, 576};

    const DeviceSession& Session() const { return session_; }
    QRadioButton* ClassRadio(int productClass) const;
    QRadioButton* StateRadio(int state) const;
    QRadioButton* TypeRadio(int index) const;
    QRadioButton* ChoiceRadio(int choice) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* BuildForm();
    void BuildNumbersBox(QWidget* panel, QVBoxLayout* layout);
    void BuildClassAndStateRow(QWidget* panel, QVBoxLayout* layout);
    void BuildPlaceBox(QWidget* panel, QVBoxLayout* layout);
    void BuildParamsRow(QWidget* panel, QVBoxLayout* layout);
    void BuildTypeBox(QWidget* panel, QVBoxLayout* layout);
    void BuildButtonRows(QWidget* panel, QVBoxLayout* layout);
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
    // Ctrl+Z: undoes the newest change and shows its address again.
    void OnUndo();
    bool ReportSave(const base::Result<>& result);
    // The status line: what Enter would replace here, if anything.
    void ShowNotice();
    void SelectFocusedEdit();
    void OnGridClicked(int address);
    void OnGridBox(bool on);
    void OpenStatistics();
    void RebuildGrid();
    bool HandleKey(int key);
    bool HandleWheel(int step);

    kit::RunState& state_;
    kit::MessageService& messages_;
    DeviceSession session_;
    int loopValue_ = 0;
    int addressValue_ = 0;
    velsend::loops::TypeFilter filter_;

    kit::NumberEdit* loop_;
    kit::NumberEdit* address_;
    QCheckBox* gridBox_;
    QButtonGroup* classes_;
    QButtonGroup* states_;
    QButtonGroup* types_;
    QButtonGroup* choices_;
    kit::NumberEdit* zone_;
    kit::NumberEdit* floor_;
    kit::NumberEdit* room_;
    kit::NumberEdit* phrase_;
    QLineEdit* phraseText_;
    kit::GbkLineEdit* name_;
    QLabel* delayLabel_;
    kit::NumberEdit* delay_;
    QGroupBox* choiceGroup_;
    QGroupBox* typeGroup_;
    QLabel* notice_;
    QPushButton* setNext_;
    QPushButton* readNext_;
    QPushButton* stats_;
    QPushButton* logicButton_;
    QPushButton* phrasesButton_;
    std::unique_ptr<kit::Form> form_;
    gui::loops::LoopGridView* grid_;
    gui::loops::TypeFilterBoxes* filters_;
    bool highTypesShown_ = false;
    gui::logic::LogicRulesDlg* logic_ = nullptr;
    gui::phrases::PhraseEditorDlg* phraseWindow_ = nullptr;
};

}  // namespace velsend::gui::devices

#pragma once

#include <QDialog>
#include <memory>

#include "core/devices/class_forms.h"
#include "gui/kit/run_state.h"

class QButtonGroup;
class QHBoxLayout;
class QLineEdit;
class QRadioButton;
class QVBoxLayout;

namespace velsend::gui::kit {
class Form;
class GbkLineEdit;
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::devices {

using namespace velsend::devices;

// The frame the first family's three class dialogs share: the device at
// `CurrentLoop`/`CurrentAddress`, its place and phrase, and "确认" to save.
// What differs between them (threshold, types, start mode, delay, logic)
// is switched on by the kind.
class ClassDeviceDlg : public QDialog {
    Q_OBJECT
  public:
    ~ClassDeviceDlg() override;

    QRadioButton* StateRadio(int state) const;
    QRadioButton* TypeRadio(int type) const;       // nullptr for the zone display
    QRadioButton* StartModeRadio(int mode) const;  // module only

    // "确认": checks the form, saves, and closes only when everything was
    // written.
    void accept() override;

  protected:
    ClassDeviceDlg(ClassDialog kind, kit::RunState& state, kit::MessageService& messages,
                   QWidget* parent);

  private:
    void Build();
    QHBoxLayout* BuildTopRow(ClassDialog kind);
    QWidget* BuildPlaceBox(bool module);
    void BuildTypeBox(QVBoxLayout* layout, ClassDialog kind);
    void BindForm();
    void ConnectEdits();
    void ShowForm();
    void OnPhraseEdited();

    kit::RunState& state_;
    kit::MessageService& messages_;
    ClassDeviceSession session_;
    int loopValue_;
    int addressValue_;
    QString logicText_;
    QString logicShown_;  // as read: an untouched rule is not taken from the edit
    std::unique_ptr<kit::Form> form_;

    kit::NumberEdit* loop_ = nullptr;
    kit::NumberEdit* address_ = nullptr;
    kit::NumberEdit* threshold_ = nullptr;
    kit::NumberEdit* delay_ = nullptr;
    kit::NumberEdit* zone_ = nullptr;
    kit::NumberEdit* floor_ = nullptr;
    kit::NumberEdit* room_ = nullptr;
    kit::NumberEdit* phrase_ = nullptr;
    QLineEdit* phraseText_ = nullptr;
    kit::GbkLineEdit* name_ = nullptr;
    QLineEdit* logic_ = nullptr;
    QButtonGroup* states_ = nullptr;
    QButtonGroup* types_ = nullptr;
    QButtonGroup* modes_ = nullptr;
};

// "报警类总线设备": an alarm-class device, 21 types, the threshold shown.
class AlarmDeviceDlg : public ClassDeviceDlg {
    Q_OBJECT
  public:
    AlarmDeviceDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr);
};

// "控制类总线设备": a module or borrowed-address device, 16 types, start
// mode and delay, and the device's own logic rule.
class ModuleDeviceDlg : public ClassDeviceDlg {
    Q_OBJECT
  public:
    ModuleDeviceDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr);
};

// "楼层显示器": a zone display, only its state and place.
class ZoneDisplayDeviceDlg : public ClassDeviceDlg {
    Q_OBJECT
  public:
    ZoneDisplayDeviceDlg(kit::RunState& state, kit::MessageService& messages,
                         QWidget* parent = nullptr);
};

// The class dialog for `BusDeviceClass` (2 and 3 share the module dialog).
std::unique_ptr<ClassDeviceDlg> MakeClassDeviceDlg(kit::RunState& state,
                                                   kit::MessageService& messages,
                                                   QWidget* parent = nullptr);

}  // namespace velsend::gui::devices

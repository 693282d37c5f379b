#pragma once

#include <QDialog>
#include <memory>

#include "gui/kit/run_state.h"
#include "core/devices/class_forms.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

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

    const ClassDeviceSession& Session() const { return session_; }
    kit::NumberEdit* LoopEdit() const { return loop_; }
    kit::NumberEdit* AddressEdit() const { return address_; }
    kit::NumberEdit* DelayEdit() const { return delay_; }
    kit::NumberEdit* ZoneEdit() const { return zone_; }
    kit::NumberEdit* FloorEdit() const { return floor_; }
    kit::NumberEdit* RoomEdit() const { return room_; }
    kit::NumberEdit* PhraseEdit() const { return phrase_; }
    QLineEdit* PhraseTextEdit() const { return phraseText_; }
    kit::GbkLineEdit* NameEdit() const { return name_; }
    QLineEdit* LogicEdit() const { return logic_; }
    QRadioButton* StateRadio(int state) const;
    QRadioButton* TypeRadio(int type) const;       // nullptr for the zone display
    QRadioButton* StartModeRadio(int mode) const;  // module only
    QPushButton* OkButton() const { return ok_; }

    // "确认": checks the form, saves, and closes only when everything was
    // written.
    void accept() override;

  protected:
    ClassDeviceDlg(ClassDialog kind, kit::RunState& state, kit::MessageService& messages,
                   QWidget* parent);

  private:
    void Build();
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
    QPushButton* ok_ = nullptr;
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
    ZoneDisplayDeviceDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr);
};

// The class dialog for `BusDeviceClass` (2 and 3 share the module dialog).
std::unique_ptr<ClassDeviceDlg> MakeClassDeviceDlg(kit::RunState& state,
                                                   kit::MessageService& messages,
                                                   QWidget* parent = nullptr);

}  // namespace velsend::gui::devices

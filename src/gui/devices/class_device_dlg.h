#pragma once

#include <QDialog>
#include <memory>

#include "gui/kit/run_state.h"
#include "core/devices/class_forms.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velsend::ui {
class Form;
class GbkLineEdit;
class MessageService;
class NumberEdit;
}  // namespace velsend::ui

namespace velsend::devices {

// The frame the first family's three class dialogs share: the device at
// `CurrentLoop`/`CurrentAddress`, its place and phrase, and "确认" to save.
// What differs between them (threshold, types, start mode, delay, logic)
// is switched on by the kind.
class ClassDeviceDlg : public QDialog {
    Q_OBJECT
  public:
    ~ClassDeviceDlg() override;

    const ClassDeviceSession& Session() const { return session_; }
    ui::NumberEdit* LoopEdit() const { return loop_; }
    ui::NumberEdit* AddressEdit() const { return address_; }
    ui::NumberEdit* DelayEdit() const { return delay_; }
    ui::NumberEdit* ZoneEdit() const { return zone_; }
    ui::NumberEdit* FloorEdit() const { return floor_; }
    ui::NumberEdit* RoomEdit() const { return room_; }
    ui::NumberEdit* PhraseEdit() const { return phrase_; }
    QLineEdit* PhraseTextEdit() const { return phraseText_; }
    ui::GbkLineEdit* NameEdit() const { return name_; }
    QLineEdit* LogicEdit() const { return logic_; }
    QRadioButton* StateRadio(int state) const;
    QRadioButton* TypeRadio(int type) const;       // nullptr for the zone display
    QRadioButton* StartModeRadio(int mode) const;  // module only
    QPushButton* OkButton() const { return ok_; }

    // "确认": checks the form, saves, and closes only when everything was
    // written.
    void accept() override;

  protected:
    ClassDeviceDlg(ClassDialog kind, base::RunState& state, ui::MessageService& messages,
                   QWidget* parent);

  private:
    void Build();
    void ShowForm();
    void OnPhraseEdited();

    base::RunState& state_;
    ui::MessageService& messages_;
    ClassDeviceSession session_;
    int loopValue_;
    int addressValue_;
    QString logicText_;
    QString logicShown_;  // as read: an untouched rule is not taken from the edit
    std::unique_ptr<ui::Form> form_;

    ui::NumberEdit* loop_ = nullptr;
    ui::NumberEdit* address_ = nullptr;
    ui::NumberEdit* threshold_ = nullptr;
    ui::NumberEdit* delay_ = nullptr;
    ui::NumberEdit* zone_ = nullptr;
    ui::NumberEdit* floor_ = nullptr;
    ui::NumberEdit* room_ = nullptr;
    ui::NumberEdit* phrase_ = nullptr;
    QLineEdit* phraseText_ = nullptr;
    ui::GbkLineEdit* name_ = nullptr;
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
    AlarmDeviceDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
};

// "控制类总线设备": a module or borrowed-address device, 16 types, start
// mode and delay, and the device's own logic rule.
class ModuleDeviceDlg : public ClassDeviceDlg {
    Q_OBJECT
  public:
    ModuleDeviceDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
};

// "楼层显示器": a zone display, only its state and place.
class ZoneDisplayDeviceDlg : public ClassDeviceDlg {
    Q_OBJECT
  public:
    ZoneDisplayDeviceDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
};

// The class dialog for `BusDeviceClass` (2 and 3 share the module dialog).
std::unique_ptr<ClassDeviceDlg> MakeClassDeviceDlg(base::RunState& state,
                                                   ui::MessageService& messages,
                                                   QWidget* parent = nullptr);

}  // namespace velsend::devices

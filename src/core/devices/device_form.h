#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/result.h"
#include "core/store/device_store.h"

namespace velsend::devices {

// What the detail dialog's form holds for one address. Texts are GBK.
struct DeviceForm {
    int productClass = store::kAlarmClass;  // 0 alarm, 1 zone display, 2 module, 3 borrowed
    int state = 1;                          // 0 "开", 1 "关"
    int type = 0;                           // radio index 0..31
    int choice = 0;  // start mode (module) or fault display (borrowed), 0 or 1
    int delay = 0;   // 0..127
    int zone = 0;
    int floor = 0;
    int room = 0;
    int phrase = 0;
    std::string phraseText;  // read-only, trailing spaces removed
    std::string name;        // at most 16 bytes

    friend bool operator==(const DeviceForm&, const DeviceForm&) = default;
};

inline constexpr int kMaxDelay = 127;

// One loop as the detail dialog holds it while the user walks its addresses.
struct HeldLoop {
    int loop = 0;
    bool deviceFileFound = false;
    store::DeviceFile devices{};
    store::ChineseNameFile names{};
};

HeldLoop ReadHeldLoop(const store::ProjectDir& dir, int loop);
// The loop as it is on disk for a save's merge: a file that cannot be read
// is the save's failure, named as such.
[[nodiscard]] base::Result<HeldLoop> LoadHeldLoopForSave(const store::ProjectDir& dir, int loop);

// The form of `address` from what is held (a loop without a device file
// shows a switched-off alarm device with every number 0). The phrase text is
// read from word.dat.
DeviceForm LoadDeviceForm(const store::ProjectDir& dir, const HeldLoop& held, int address);
// Trailing spaces removed; empty when word.dat is missing.
std::string PhraseTextOf(const store::ProjectDir& dir, int phrase);

// The record the form stands for.
store::DeviceRecord BuildRecord(const DeviceForm& form);

// `stored` with the bits where `before` and `after` differ taken from `after`.
store::DeviceRecord MergeBits(const store::DeviceRecord& stored, const store::DeviceRecord& before,
                              const store::DeviceRecord& after);
// The record `edited` stands for, written over `stored`: only the bits the
// edit changed from the `shown` form are taken from it, so whatever the form
// cannot show (bits no field holds, a threshold the detail form hides, a
// type without a radio) stays as it was, and an untouched form gives back
// `stored` byte for byte.
store::DeviceRecord MergeRecord(const store::DeviceRecord& stored, const DeviceForm& shown,
                                const DeviceForm& edited);

// Whether two forms hold the same edit (the phrase text aside: it is read).
bool SameEdit(DeviceForm a, DeviceForm b);
// What a save says when the device it would change was changed on the disk
// since the dialog showed it: both versions, and that nothing was saved.
base::Error DeviceClash(int address, const store::DeviceRecord& onDisk,
                        const store::ChineseName& diskName, const store::DeviceRecord& edited,
                        const store::ChineseName& editedName);

// Reads the loop's files again (under the project lock) and writes into
// them only the address's record and name rebuilt from the form, so that
// what another program wrote since the dialog read the loop stays. When that
// device (or its name) changed on the disk too and the form was edited,
// nothing is written: the error shows both (DeviceClash) and `held` becomes
// what is on the disk, so a second save keeps the user's form. Otherwise:
// Rebuilds the address's record and name in `held` (an untouched name keeps
// its slot byte for byte, an untouched field its bits) and writes both loop files
// whole, both or neither; `held` changes all the same, so the user's edit is
// not lost when the files could not be written.
[[nodiscard]] base::Result<> SaveDeviceForm(const store::ProjectDir& dir, HeldLoop& held,
                                            int address, const DeviceForm& form);

// The words a save of the detail dialog is recorded with in the history,
// "详细设置：回路 0 地址 3", and the loop and address read back from them.
std::string SaveChangeText(int loop, int address);
std::optional<std::pair<int, int>> SavedAddressOf(const std::string& what);

// Picking a class radio: the type goes back to 0; start mode and delay stay.
void PickClass(DeviceForm& form, int productClass);

// Addresses and loops step as bytes: 255 + 1 is 0, 0 - 1 is 255.
int StepByte(int value, int step);
// The delay steps within 0..127, wrapping.
int StepDelay(int value, int step);

// The class-dependent parts of the form.
struct ClassLayout {
    bool showParams;     // "延时x5", the delay edit and the choice group
    bool showHighTypes;  // type radios 21..31 (zone display: left as they were)
    bool changeTypes;    // title and labels set (zone display: left as they were)
    bool typesEnabled;
    std::string_view typeTitle;
    std::string_view choiceTitle;   // "启动方式" / "故障显示"
    std::string_view choiceFirst;   // "自动" / "是"
    std::string_view choiceSecond;  // "手动" / "否"
    bool alarmLabels;               // alarm names (else the module names)
};
ClassLayout LayoutOf(int productClass);
// Label of type radio `index` (0..31) under the alarm or module names; the
// detail dialog shows alarm code 15 as "其它报警".
std::string_view TypeRadioLabel(bool alarmLabels, int index);

// The detail dialog's walk through a loop: where it stands, what it holds and
// the form. The dialog only binds widgets to this.
class DeviceSession {
  public:
    // Loop 0, address 0, read from `dir`. Without `namesShown` (models whose
    // form hides the Chinese name) Enter never carries a name to the next
    // address: a field the user cannot see keeps what is stored.
    explicit DeviceSession(store::ProjectDir dir, bool namesShown = true);

    int Loop() const { return held_.loop; }
    int Address() const { return address_; }
    const HeldLoop& Held() const { return held_; }
    const DeviceForm& Form() const { return form_; }
    DeviceForm& EditForm() { return form_; }

    // Reads the loop's files again and fills the form for the address.
    void Load();
    void GoToAddress(int address);
    void GoToLoop(int loop);
    // PgUp/PgDn: another address of the same loop, nothing saved.
    void Page(int step);

    // Writes the form to the current address.
    [[nodiscard]] base::Result<> Save();
    // Enter: save, then the next address (255 wraps to 0 on the same loop)
    // with the form kept as it is, so a run of devices is typed once. When a
    // file could not be written it stays on the address: moving on would
    // look like a save that happened.
    [[nodiscard]] base::Result<> SaveAndSetNext();
    // F12: save, then the next address as it is stored (same rule).
    [[nodiscard]] base::Result<> SaveAndReadNext();

    // When the address holds an installed device that a save of the form
    // would change, what is there and that Enter replaces it (UTF-8):
    // "地址 2 已有设备：感烟探测器 区域 1 楼层 0 房间 0，Enter 将覆盖". Else empty.
    std::string ReplaceNotice() const;

  private:
    store::ProjectDir dir_;
    HeldLoop held_;
    int address_ = 0;
    DeviceForm form_;
    bool namesShown_ = true;
};

}  // namespace velsend::devices

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/devices/device_form.h"

namespace velsend::devices {

// The first family edits a device in one of three dialogs, chosen by its
// class: alarm ("报警类总线设备"), zone display ("楼层显示器") and module,
// which also serves borrowed addresses ("控制类总线设备").
enum class ClassDialog { Alarm, ZoneDisplay, Module };
// 0 alarm, 1 zone display, 2 module and 3 borrowed (the module dialog).
ClassDialog ClassDialogFor(int busDeviceClass);

// What a class dialog's form holds. The shared part uses the detail form's
// fields: `choice` is the start mode (0 "自动", 1 "手动").
struct ClassForm {
    DeviceForm device;
    // The parameter byte as read: the alarm dialog shows it as the threshold,
    // the zone display keeps it; both write it back unchanged.
    int threshold = 0;
    std::string logic;  // module: the address's own rule
};

// The form of `address` from the held loop files. A loop without a device
// file starts switched off (alarm) or switched on (zone display, module, with
// start mode "手动"), every number 0.
ClassForm LoadClassForm(const store::ProjectDir& dir, ClassDialog kind, const HeldLoop& held,
                        int address);

// The record a class dialog stores. Unlike the detail dialog, a device
// switched off keeps its type bits only: its class is not stored.
store::DeviceRecord BuildClassRecord(ClassDialog kind, const ClassForm& form, int busDeviceClass);
// The record over `stored`: only the bits the edit changed from `shown` come
// from the form, so an untouched form gives back `stored` byte for byte.
store::DeviceRecord MergeClassRecord(ClassDialog kind, const store::DeviceRecord& stored,
                                     const ClassForm& shown, const ClassForm& edited,
                                     int busDeviceClass);

// One class dialog's device: the loop files held while it is open and the
// form. The dialog binds widgets to it.
class ClassDeviceSession {
  public:
    ClassDeviceSession(store::ProjectDir dir, ClassDialog kind, int loop, int address);

    ClassDialog Kind() const { return kind_; }
    int Loop() const { return held_.loop; }
    int Address() const { return address_; }
    const HeldLoop& Held() const { return held_; }
    const ClassForm& Form() const { return form_; }
    ClassForm& EditForm() { return form_; }

    // The name as typed; without it the stored name slot is written back
    // byte for byte.
    void TypeName(std::string gbk);
    // Refreshes the phrase text after the phrase number changed.
    void RefreshPhrase();

    // Alarm and zone display: the device and name files, both or neither.
    // Module: the device file first, then the rule, which is checked
    // against the per-device alphabet; an illegal character fails with
    // "输入有非法字符！" after the device file has been written.
    base::Result<> Save(int busDeviceClass);

  private:
    // Takes the loop as it is on the disk; an error when the form's own
    // device changed there since it was shown.
    [[nodiscard]] base::Result<> RefreshHeld(int busDeviceClass);
    store::ProjectDir dir_;
    ClassDialog kind_;
    HeldLoop held_;
    int address_;
    ClassForm form_;
    ClassForm shown_;  // as loaded: what the user has not touched stays as stored
    std::optional<std::string> typedName_;
};

// The type chooser moves on after a confirmed edit: the next address, and
// after address 255 address 0 of the next loop (loops wrap as bytes).
void AdvanceDevice(int& loop, int& address);

// Quick set: one loop's range of addresses becomes installed devices of one
// class, keeping their low type bits; optionally every other address is
// switched off.
inline constexpr std::string_view kQuickSetRangeMessage = "输入错误!终止地址应不小于起始地址!";

struct QuickSetRequest {
    int first = 0;
    int last = 0;
    int productClass = store::kAlarmClass;
    bool offOutside = false;
};

// The quick set in the user's words, for the history: "快速设置：回路 1 地址 1–3".
std::string QuickSetChangeText(int loop, const QuickSetRequest& request);

// The range message when `last` is below `first`; `devices` is then unchanged.
base::Result<> ApplyQuickSet(store::DeviceFile& devices, const QuickSetRequest& request);
// Reads the loop's device file, applies the request and writes the file
// whole. Nothing is written when the range is refused.
base::Result<> RunQuickSet(const store::ProjectDir& dir, int loop, const QuickSetRequest& request);

}  // namespace velsend::devices

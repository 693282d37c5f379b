#include "core/devices/class_forms.h"

#include <filesystem>

#include "base/file_write.h"
#include "base/gbk.h"
#include "base/project_lock.h"
#include "core/logic/alphabet.h"
#include "core/logic/logic_files.h"
#include "core/logic/rule_editing.h"

namespace velsend::devices {

ClassDialog ClassDialogFor(int busDeviceClass) {
    switch (busDeviceClass) {
        case store::kAlarmClass:
            return ClassDialog::Alarm;
        case store::kZoneDisplayClass:
            return ClassDialog::ZoneDisplay;
        default:
            return ClassDialog::Module;
    }
}

ClassForm LoadClassForm(const store::ProjectDir& dir, ClassDialog kind, const HeldLoop& held,
                        int address) {
    ClassForm form;
    DeviceForm& f = form.device;
    const store::DeviceRecord& r = held.devices[static_cast<std::size_t>(address)];
    if (held.deviceFileFound) {
        f.state = r.Installed() ? 0 : 1;
        f.zone = r.Zone;
        f.floor = r.Floor;
        f.room = r.Room;
        f.phrase = r.NamePhrase;
        form.threshold = r.ParamByte;
        switch (kind) {
            case ClassDialog::Alarm:
                f.type = r.DeviceType();
                break;
            case ClassDialog::ZoneDisplay:
                break;
            case ClassDialog::Module:
                // Sixteen types have radios; any other is shown as its number.
                f.type = r.DeviceType();
                f.delay = r.Delay();
                f.choice = r.ParamFlag() ? 1 : 0;
                break;
        }
    } else {
        f.state = kind == ClassDialog::Alarm ? 1 : 0;
        f.choice = kind == ClassDialog::Module ? 1 : 0;
    }
    f.name = store::NameText(held.names[static_cast<std::size_t>(address)]);
    f.phraseText = PhraseTextOf(dir, f.phrase);
    if (kind == ClassDialog::Module) form.logic = logic::ReadDeviceLogic(dir, held.loop, address);
    return form;
}

store::DeviceRecord MergeClassRecord(ClassDialog kind, const store::DeviceRecord& stored,
                                     const ClassForm& shown, const ClassForm& edited,
                                     int busDeviceClass) {
    const store::DeviceRecord after = BuildClassRecord(kind, edited, busDeviceClass);
    store::DeviceRecord r = MergeBits(stored, BuildClassRecord(kind, shown, busDeviceClass), after);
    // A device of another class opened here (the type chooser picked this
    // class) becomes one of this class: the record is the form's, apart
    // from the bits no dialog shows.
    const int dialogClass = kind == ClassDialog::Alarm                ? store::kAlarmClass
                            : kind == ClassDialog::ZoneDisplay        ? store::kZoneDisplayClass
                            : busDeviceClass == store::kBorrowedClass ? store::kBorrowedClass
                                                                      : store::kModuleClass;
    if (stored.ProductClass() != dialogClass) {
        r = after;
        r.StatusByte = static_cast<std::uint8_t>(r.StatusByte | (stored.StatusByte & 0x10));
        r.TypeHighByte = static_cast<std::uint8_t>(r.TypeHighByte | (stored.TypeHighByte & 0xFE));
    }
    return r;
}

store::DeviceRecord BuildClassRecord(ClassDialog kind, const ClassForm& form, int busDeviceClass) {
    DeviceForm f = form.device;
    switch (kind) {
        case ClassDialog::Alarm:
            f.productClass = store::kAlarmClass;
            break;
        case ClassDialog::ZoneDisplay:
            f.productClass = store::kZoneDisplayClass;
            f.type = 0;
            break;
        case ClassDialog::Module:
            f.productClass = busDeviceClass == store::kBorrowedClass ? store::kBorrowedClass
                                                                     : store::kModuleClass;
            break;
    }
    store::DeviceRecord r = BuildRecord(f);
    if (f.state != 0) r.StatusByte &= 0x0F;
    if (kind != ClassDialog::Module) r.ParamByte = static_cast<std::uint8_t>(form.threshold);
    return r;
}

ClassDeviceSession::ClassDeviceSession(store::ProjectDir dir, ClassDialog kind, int loop,
                                       int address)
    : dir_(std::move(dir)), kind_(kind), address_(address & 0xFF) {
    held_ = ReadHeldLoop(dir_, loop & 0xFF);
    form_ = LoadClassForm(dir_, kind_, held_, address_);
    shown_ = form_;
}

void ClassDeviceSession::TypeName(std::string gbk) {
    form_.device.name = gbk;
    typedName_ = std::move(gbk);
}

void ClassDeviceSession::RefreshPhrase() {
    form_.device.phraseText = PhraseTextOf(dir_, form_.device.phrase);
}

base::Result<> ClassDeviceSession::Save(int busDeviceClass) {
    const base::ChangeText what("总线设备：回路 " + std::to_string(held_.loop) + " 地址 " +
                                std::to_string(address_));
    const auto i = static_cast<std::size_t>(address_);
    // As the detail dialog: the loop as it is on the disk now, under the lock,
    // with only this address changed; a clash on it is shown, not overwritten.
    base::ProjectWriteGuard guard(dir_.Root());
    if (!guard) return guard.error();
    if (auto refreshed = RefreshHeld(busDeviceClass); !refreshed) return refreshed;
    store::DeviceFile devices = held_.devices;
    // Without a device file the form shows defaults: they are what is stored.
    const store::DeviceRecord stored =
        held_.deviceFileFound ? devices[i] : BuildClassRecord(kind_, shown_, busDeviceClass);
    devices[i] = MergeClassRecord(kind_, stored, shown_, form_, busDeviceClass);

    if (kind_ == ClassDialog::Module) {
        // The module dialog leaves the name file alone.
        if (auto saved = store::WriteDeviceFile(dir_, held_.loop, devices); !saved) return saved;
        held_.devices = devices;
        held_.deviceFileFound = true;
        shown_.device = form_.device;
        // An untouched rule is left in its file as it is, even one the
        // alphabet would refuse.
        if (form_.logic == shown_.logic) return base::Ok();
        if (!logic::InDeviceLogicAlphabet(form_.logic))
            return base::Error{std::string(logic::kIllegalCharacterMessage),
                               logic::RefusedCharacterNoteUtf8(form_.logic, true), 0};
        base::Result<> written = logic::WriteDeviceLogic(dir_, held_.loop, address_, form_.logic);
        if (written) shown_.logic = form_.logic;
        return written;
    }

    store::ChineseNameFile names = held_.names;
    if (typedName_) {
        names[i] = store::MakeName(*typedName_);
    }  // untouched: the stored slot stays byte for byte
    const auto saved = base::WriteFilesTogether({
        {dir_.PathOf(store::ProjectFile::Devices, held_.loop), store::DeviceFileBytes(devices),
         false},
        {dir_.PathOf(store::ProjectFile::ChineseNames, held_.loop),
         store::ChineseNameFileBytes(names), true},
    });
    if (!saved) return saved;
    held_.devices = devices;
    held_.names = names;
    held_.deviceFileFound = true;
    shown_ = form_;
    return base::Ok();
}

base::Result<> ClassDeviceSession::RefreshHeld(int busDeviceClass) {
    const auto i = static_cast<std::size_t>(address_);
    auto loaded = LoadHeldLoopForSave(dir_, held_.loop);
    if (!loaded) return loaded.error();
    HeldLoop& now = *loaded;
    auto storedIn = [&](const HeldLoop& loop) {
        return loop.deviceFileFound ? loop.devices[i]
                                    : BuildClassRecord(kind_, shown_, busDeviceClass);
    };
    const bool nameClash = kind_ != ClassDialog::Module && now.names[i] != held_.names[i];
    const bool edited =
        !SameEdit(form_.device, shown_.device) || form_.threshold != shown_.threshold || typedName_;
    if (edited && (storedIn(now) != storedIn(held_) || nameClash)) {
        const store::DeviceRecord mine =
            MergeClassRecord(kind_, storedIn(held_), shown_, form_, busDeviceClass);
        base::Error clash = DeviceClash(address_, storedIn(now), now.names[i], mine,
                                        typedName_ ? store::MakeName(*typedName_) : held_.names[i]);
        held_ = std::move(now);
        const std::string logic = shown_.logic;
        shown_ = LoadClassForm(dir_, kind_, held_, address_);
        shown_.logic = logic;
        return clash;
    }
    held_ = std::move(now);
    return base::Ok();
}

void AdvanceDevice(int& loop, int& address) {
    if (address == 255) loop = StepByte(loop, 1);
    address = StepByte(address, 1);
}

base::Result<> ApplyQuickSet(store::DeviceFile& devices, const QuickSetRequest& request) {
    if (request.last < request.first) return base::Error{std::string(kQuickSetRangeMessage), {}, 0};
    for (int a = 0; a < store::kAddressCount; ++a) {
        store::DeviceRecord& r = devices[static_cast<std::size_t>(a)];
        if (a >= request.first && a <= request.last) {
            r.StatusByte = static_cast<std::uint8_t>(0x80 | ((request.productClass & 0x03) << 5) |
                                                     (r.StatusByte & 0x0F));
        } else if (request.offOutside) {
            r.SetInstalled(false);
        }
    }
    return base::Ok();
}

std::string QuickSetChangeText(int loop, const QuickSetRequest& request) {
    return "快速设置：回路 " + std::to_string(loop) + " 地址 " + std::to_string(request.first) +
           "–" + std::to_string(request.last);
}

base::Result<> RunQuickSet(const store::ProjectDir& dir, int loop, const QuickSetRequest& request) {
    const base::ChangeText what(QuickSetChangeText(loop, request));
    // Read and written under one hold of the lock: no other writer between.
    base::ProjectWriteGuard guard(dir.Root());
    if (!guard) return guard.error();
    auto devices = store::LoadDeviceFile(dir, loop);
    if (!devices) return devices.error();
    if (auto applied = ApplyQuickSet(*devices, request); !applied) return applied;
    return store::WriteDeviceFile(dir, loop, *devices);
}

}  // namespace velsend::devices

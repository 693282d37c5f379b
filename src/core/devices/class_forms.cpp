#include "core/devices/class_forms.h"

#include "base/file_write.h"
#include "core/logic/alphabet.h"
#include "core/logic/logic_files.h"
#include "core/logic/rule_editing.h"
#include "base/gbk.h"

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
                // Sixteen types here: the high type bit is not shown.
                f.type = r.StatusByte & 0x0F;
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
            f.type &= 0x0F;
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
}

void ClassDeviceSession::TypeName(std::string gbk) {
    form_.device.name = gbk;
    typedName_ = std::move(gbk);
}

void ClassDeviceSession::RefreshPhrase() {
    form_.device.phraseText = PhraseTextOf(dir_, form_.device.phrase);
}

base::Result<> ClassDeviceSession::Save(int busDeviceClass) {
    const auto i = static_cast<std::size_t>(address_);
    store::DeviceFile devices = held_.devices;
    devices[i] = BuildClassRecord(kind_, form_, busDeviceClass);

    if (kind_ == ClassDialog::Module) {
        // The module dialog leaves the name file alone.
        if (auto saved = store::WriteDeviceFile(dir_, held_.loop, devices); !saved) return saved;
        held_.devices = devices;
        held_.deviceFileFound = true;
        if (!logic::InDeviceLogicAlphabet(form_.logic))
            return base::Error{std::string(logic::kIllegalCharacterMessage), {}, 0};
        return logic::WriteDeviceLogic(dir_, held_.loop, address_, form_.logic);
    }

    store::ChineseNameFile names = held_.names;
    if (typedName_) {
        names[i] = store::MakeName(*typedName_);
    } else {
        // Untouched: the stored text goes back byte for byte, letters
        // upper-cased, even where its bytes are not valid GBK.
        const std::string upper = store::UpperAscii(store::NameText(names[i]));
        names[i].fill(0);
        std::copy(upper.begin(), upper.end(), names[i].begin());
    }
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

base::Result<> RunQuickSet(const store::ProjectDir& dir, int loop, const QuickSetRequest& request) {
    auto devices = store::LoadDeviceFile(dir, loop);
    if (!devices) return devices.error();
    if (auto applied = ApplyQuickSet(*devices, request); !applied) return applied;
    return store::WriteDeviceFile(dir, loop, *devices);
}

}  // namespace velsend::devices

#include "core/devices/device_form.h"

#include <filesystem>

#include "base/file_write.h"
#include "base/gbk.h"
#include "base/project_lock.h"
#include "core/phrases/phrase_library.h"

namespace velsend::devices {

base::Result<HeldLoop> LoadHeldLoopForSave(const store::ProjectDir& dir, int loop) {
    // A file that cannot be read for the merge cannot be saved either.
    auto unsaved = [&dir, loop](store::ProjectFile file, const base::Error& error) {
        return base::Error{base::WriteFailedText(dir.PathOf(file, loop)), error.reason, error.code};
    };
    auto devices = store::LoadDeviceFile(dir, loop);
    if (!devices) return unsaved(store::ProjectFile::Devices, devices.error());
    auto names = store::LoadChineseNameFile(dir, loop);
    if (!names) return unsaved(store::ProjectFile::ChineseNames, names.error());
    std::error_code ec;
    return HeldLoop{loop,
                    std::filesystem::exists(dir.PathOf(store::ProjectFile::Devices, loop), ec),
                    *devices, *names};
}

HeldLoop ReadHeldLoop(const store::ProjectDir& dir, int loop) {
    HeldLoop held;
    held.loop = loop;
    std::error_code ec;
    held.deviceFileFound =
        std::filesystem::exists(dir.PathOf(store::ProjectFile::Devices, loop), ec);
    held.devices = store::ReadDeviceFile(dir, loop);
    held.names = store::ReadChineseNameFile(dir, loop);
    return held;
}

std::string PhraseTextOf(const store::ProjectDir& dir, int phrase) {
    // Only the one phrase: the form refreshes it on every keystroke.
    const auto bytes =
        store::ReadFixed(dir.PathOf(store::ProjectFile::Phrases), phrases::kPhraseSize, 0,
                         static_cast<std::size_t>(phrase) * phrases::kPhraseSize);
    return std::string(base::TrimTrailingSpaces(base::FieldText(bytes)));
}

namespace {

// The form as the held files show it, without the phrase text (a file read).
DeviceForm FormOf(const HeldLoop& held, int address) {
    DeviceForm form;
    if (held.deviceFileFound) {
        const store::DeviceRecord& r = held.devices[static_cast<std::size_t>(address)];
        form.productClass = r.ProductClass();
        form.state = r.Installed() ? 0 : 1;
        form.type = r.DeviceType();
        form.zone = r.Zone;
        form.floor = r.Floor;
        form.room = r.Room;
        form.phrase = r.NamePhrase;
        if (form.productClass == store::kModuleClass ||
            form.productClass == store::kBorrowedClass) {
            form.choice = r.ParamFlag() ? 1 : 0;
            form.delay = r.Delay();
        }
    }
    form.name = std::string(
        base::TrimTrailingSpaces(store::NameText(held.names[static_cast<std::size_t>(address)])));
    return form;
}

}  // namespace

DeviceForm LoadDeviceForm(const store::ProjectDir& dir, const HeldLoop& held, int address) {
    DeviceForm form = FormOf(held, address);
    form.phraseText = PhraseTextOf(dir, form.phrase);
    return form;
}

store::DeviceRecord BuildRecord(const DeviceForm& form) {
    const bool on = form.state == 0;
    store::DeviceRecord r;
    switch (form.productClass) {
        case store::kAlarmClass:
            r.StatusByte = on ? 0x80 : 0x00;
            r.TypeHighByte = static_cast<std::uint8_t>((form.type >> 4) & 1);
            break;
        case store::kZoneDisplayClass:
            r.StatusByte = on ? 0xA0 : 0x20;
            break;
        default:
            r.StatusByte =
                form.productClass == store::kModuleClass ? (on ? 0xC0 : 0x40) : (on ? 0xE0 : 0x60);
            r.ParamByte = static_cast<std::uint8_t>((form.delay & 0x7F) | (form.choice ? 0x80 : 0));
            r.TypeHighByte = static_cast<std::uint8_t>((form.type >> 4) & 1);
            break;
    }
    r.StatusByte = static_cast<std::uint8_t>(r.StatusByte | (form.type & 0x0F));
    r.Zone = static_cast<std::uint8_t>(form.zone);
    r.Floor = static_cast<std::uint8_t>(form.floor);
    r.Room = static_cast<std::uint8_t>(form.room);
    r.NamePhrase = static_cast<std::uint8_t>(form.phrase);
    return r;
}

store::DeviceRecord MergeBits(const store::DeviceRecord& stored, const store::DeviceRecord& before,
                              const store::DeviceRecord& after) {
    const auto merge = [](std::uint8_t kept, std::uint8_t was, std::uint8_t now) {
        const auto changed = static_cast<std::uint8_t>(was ^ now);
        return static_cast<std::uint8_t>((kept & ~changed) | (now & changed));
    };
    return {merge(stored.StatusByte, before.StatusByte, after.StatusByte),
            merge(stored.ParamByte, before.ParamByte, after.ParamByte),
            merge(stored.TypeHighByte, before.TypeHighByte, after.TypeHighByte),
            merge(stored.Zone, before.Zone, after.Zone),
            merge(stored.Floor, before.Floor, after.Floor),
            merge(stored.Room, before.Room, after.Room),
            merge(stored.NamePhrase, before.NamePhrase, after.NamePhrase)};
}

store::DeviceRecord MergeRecord(const store::DeviceRecord& stored, const DeviceForm& shown,
                                const DeviceForm& edited) {
    const store::DeviceRecord after = BuildRecord(edited);
    store::DeviceRecord r = MergeBits(stored, BuildRecord(shown), after);
    // Another class reads the parameter byte otherwise: what the form shows
    // for the new class is what is stored.
    if (shown.productClass != edited.productClass) r.ParamByte = after.ParamByte;
    return r;
}

std::string SaveChangeText(int loop, int address) {
    return "详细设置：回路 " + std::to_string(loop) + " 地址 " + std::to_string(address);
}

std::optional<std::pair<int, int>> SavedAddressOf(const std::string& what) {
    // Its two numbers, taken only if SaveChangeText gives back the same words.
    int numbers[2] = {0, 0};
    int found = 0;
    for (std::size_t i = 0; i < what.size();) {
        if (what[i] < '0' || what[i] > '9') {
            ++i;
            continue;
        }
        if (found == 2) return std::nullopt;
        for (int digits = 0; i < what.size() && what[i] >= '0' && what[i] <= '9'; ++i)
            if (++digits <= 3) numbers[found] = numbers[found] * 10 + (what[i] - '0');
        ++found;
    }
    if (found != 2 || numbers[0] >= store::kLoopCount || numbers[1] >= store::kAddressCount ||
        SaveChangeText(numbers[0], numbers[1]) != what)
        return std::nullopt;
    return std::pair{numbers[0], numbers[1]};
}

namespace {

// "开 模块 区域 3 楼层 1 房间 2 名称“水泵”" for a clash message.
std::string DeviceText(const store::DeviceRecord& r, const store::ChineseName& name) {
    return std::string(r.Installed() ? "开 " : "关 ") +
           std::string(store::ClassName(r.ProductClass())) + " 区域 " + std::to_string(r.Zone) +
           " 楼层 " + std::to_string(r.Floor) + " 房间 " + std::to_string(r.Room) + " 名称“" +
           base::GbkToUtf8(std::string(base::TrimTrailingSpaces(store::NameText(name)))) + "”";
}

}  // namespace

bool SameEdit(DeviceForm a, DeviceForm b) {
    a.phraseText.clear();
    b.phraseText.clear();
    return a == b;
}

base::Error DeviceClash(int address, const store::DeviceRecord& onDisk,
                        const store::ChineseName& diskName, const store::DeviceRecord& edited,
                        const store::ChineseName& editedName) {
    return base::EditClash("地址 " + std::to_string(address) + " 的设备",
                           "\n文件中的：" + DeviceText(onDisk, diskName) + "\n您改的：" +
                               DeviceText(edited, editedName));
}

base::Result<> SaveDeviceForm(const store::ProjectDir& dir, HeldLoop& held, int address,
                              const DeviceForm& form) {
    const base::ChangeText what(SaveChangeText(held.loop, address));
    const auto i = static_cast<std::size_t>(address);
    // Read, merged and written under the project lock: only this address
    // goes into the loop as it is on the disk now, so what another program
    // wrote since the dialog read the loop stays.
    base::ProjectWriteGuard guard(dir.Root());
    if (!guard) return guard.error();
    auto loaded = LoadHeldLoopForSave(dir, held.loop);
    if (!loaded) return loaded.error();
    HeldLoop& now = *loaded;
    const DeviceForm shown = FormOf(held, address);
    // Without a device file the form shows defaults: they are what is stored.
    const store::DeviceRecord storedThen =
        held.deviceFileFound ? held.devices[i] : BuildRecord(shown);
    const store::DeviceRecord stored = now.deviceFileFound ? now.devices[i] : BuildRecord(shown);
    if (!SameEdit(form, shown) && (stored != storedThen || now.names[i] != held.names[i])) {
        // The very device changed on the disk too: neither edit is dropped
        // unseen. The dialog now holds the disk's; confirming again keeps the user's.
        base::Error clash =
            DeviceClash(address, stored, now.names[i], MergeRecord(storedThen, shown, form),
                        store::MakeName(form.name));
        held = std::move(now);
        return clash;
    }
    held = std::move(now);
    if (form.name != shown.name) held.names[i] = store::MakeName(form.name);
    held.devices[i] = MergeRecord(stored, shown, form);
    base::Result<> written = store::WriteLoopFiles(dir, held.loop, held.devices, held.names);
    if (written) held.deviceFileFound = true;
    return written;
}

void PickClass(DeviceForm& form, int productClass) {
    form.productClass = productClass;
    form.type = 0;
}

int StepByte(int value, int step) {
    return (value + step + 256) & 0xFF;
}

int StepDelay(int value, int step) {
    return (value + step + kMaxDelay + 1) % (kMaxDelay + 1);
}

ClassLayout LayoutOf(int productClass) {
    switch (productClass) {
        case store::kAlarmClass:
            return {false, false, true, true, "设备类型", "", "", "", true};
        case store::kZoneDisplayClass:
            return {false, false, false, false, "", "", "", "", false};
        case store::kModuleClass:
            return {true, true, true, true, "受控设备", "启动方式", "自动", "手动", false};
        default:
            return {true, true, true, true, "受控设备", "故障显示", "是", "否", false};
    }
}

std::string_view TypeRadioLabel(bool alarmLabels, int index) {
    return alarmLabels ? store::AlarmTypeName(index) : store::ModuleTypeName(index);
}

DeviceSession::DeviceSession(store::ProjectDir dir, bool namesShown)
    : dir_(std::move(dir)), namesShown_(namesShown) {
    Load();
}

void DeviceSession::Load() {
    held_ = ReadHeldLoop(dir_, held_.loop);
    form_ = LoadDeviceForm(dir_, held_, address_);
}

void DeviceSession::GoToAddress(int address) {
    address_ = address & 0xFF;
    Load();
}

void DeviceSession::GoToLoop(int loop) {
    held_.loop = loop & 0xFF;
    Load();
}

void DeviceSession::Page(int step) {
    GoToAddress(StepByte(address_, step));
}

base::Result<> DeviceSession::Save() {
    return SaveDeviceForm(dir_, held_, address_, form_);
}

base::Result<> DeviceSession::SaveAndSetNext() {
    base::Result<> result = Save();
    if (!result) return result;
    address_ = StepByte(address_, 1);
    if (!namesShown_) form_.name = FormOf(held_, address_).name;
    return result;
}

base::Result<> DeviceSession::SaveAndReadNext() {
    base::Result<> result = Save();
    if (result) GoToAddress(StepByte(address_, 1));
    return result;
}

std::string DeviceSession::ReplaceNotice() const {
    if (!held_.deviceFileFound) return {};
    const auto i = static_cast<std::size_t>(address_);
    const store::DeviceRecord& stored = held_.devices[i];
    if (!stored.Installed()) return {};
    const DeviceForm shown = FormOf(held_, address_);
    const bool nameChanges = namesShown_ && form_.name != shown.name;
    if (!nameChanges && MergeRecord(stored, shown, form_) == stored) return {};
    std::string what;
    switch (shown.productClass) {
        case store::kAlarmClass:
            what = TypeRadioLabel(true, shown.type);
            break;
        case store::kZoneDisplayClass:
            what = store::ClassName(shown.productClass);
            break;
        default:
            what = store::ModuleTypeName(shown.type);
            break;
    }
    if (what.empty()) what = "类型" + std::to_string(shown.type);
    std::string text = "地址 " + std::to_string(address_) + " 已有设备：" + what + " 区域 " +
                       std::to_string(shown.zone) + " 楼层 " + std::to_string(shown.floor) +
                       " 房间 " + std::to_string(shown.room);
    if (namesShown_ && !shown.name.empty()) text += " " + base::GbkToUtf8(shown.name);
    return text + "，Enter 将覆盖";
}

}  // namespace velsend::devices

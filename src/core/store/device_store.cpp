#include "core/store/device_store.h"

#include <algorithm>

#include "base/file_write.h"
#include "base/gbk.h"

namespace velsend::store {
namespace {

constexpr std::string_view kAlarmTypes[kAlarmTypeCount] = {
    "感烟探测器", "感温探测器", "手动按钮", "可燃气体探测器", "红外探测器", "组联模块",
    "防爆接口",   "消火栓按钮", "压力开关", "水流指示器",     "防火阀",     "感温电缆",
    "信号阀",     "接口",       "烟温复合", "其它报警",       "剩余电流",   "温度",
    "A相电流",    "B相电流",    "C相电流"};

constexpr std::string_view kModuleTypes[kModuleTypeCount] = {
    "电源",     "消防泵",   "喷淋泵",   "气体灭火",  "泡沫灭火", "干粉灭火", "卷帘门",   "防火门",
    "空调新风", "防排烟",   "电梯",     "消防广播",  "应急照明", "疏散指示", "声光警报", "漏电",
    "喷雾泵",   "排烟口",   "正压送风", "正压排烟",  "补风机",   "新风机",   "排风机",   "预作用阀",
    "末端放气", "排烟风机", "防火阀",   "消防广播A", "备用28",   "备用29",   "备用30",   "备用31"};

}  // namespace

base::Result<DeviceFile> LoadDeviceFile(const ProjectDir& dir, int loop) {
    const auto bytes = TryReadFixed(dir.PathOf(ProjectFile::Devices, loop), kDeviceFileSize);
    if (!bytes) return bytes.error();
    DeviceFile records;
    for (std::size_t a = 0; a < records.size(); ++a) {
        const std::uint8_t* r = &(*bytes)[a * kDeviceRecordSize];
        records[a] = {r[0], r[1], r[2], r[3], r[4], r[5], r[6]};
    }
    return records;
}

DeviceFile ReadDeviceFile(const ProjectDir& dir, int loop) {
    auto records = LoadDeviceFile(dir, loop);
    return records ? *records : DeviceFile{};
}

std::vector<std::uint8_t> DeviceFileBytes(const DeviceFile& records) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kDeviceFileSize);
    for (const DeviceRecord& r : records) {
        bytes.insert(bytes.end(), {r.StatusByte, r.ParamByte, r.TypeHighByte, r.Zone, r.Floor,
                                   r.Room, r.NamePhrase});
    }
    return bytes;
}

std::vector<std::uint8_t> ChineseNameFileBytes(const ChineseNameFile& names) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kNameFileSize);
    for (const ChineseName& name : names) bytes.insert(bytes.end(), name.begin(), name.end());
    return bytes;
}

base::Result<> WriteDeviceFile(const ProjectDir& dir, int loop, const DeviceFile& records) {
    return base::WriteWholeFile(dir.PathOf(ProjectFile::Devices, loop), DeviceFileBytes(records));
}

base::Result<ChineseNameFile> LoadChineseNameFile(const ProjectDir& dir, int loop) {
    const auto bytes = TryReadFixed(dir.PathOf(ProjectFile::ChineseNames, loop), kNameFileSize);
    if (!bytes) return bytes.error();
    ChineseNameFile names;
    for (std::size_t a = 0; a < names.size(); ++a)
        std::copy_n(bytes->begin() + static_cast<std::ptrdiff_t>(a * kNameSize), kNameSize,
                    names[a].begin());
    return names;
}

ChineseNameFile ReadChineseNameFile(const ProjectDir& dir, int loop) {
    auto names = LoadChineseNameFile(dir, loop);
    return names ? *names : ChineseNameFile{};
}

base::Result<> WriteChineseNameFile(const ProjectDir& dir, int loop, const ChineseNameFile& names) {
    return base::WriteFileStart(dir.PathOf(ProjectFile::ChineseNames, loop),
                                ChineseNameFileBytes(names));
}

base::Result<> WriteLoopFiles(const ProjectDir& dir, int loop, const DeviceFile& records,
                              const ChineseNameFile& names) {
    return base::WriteFilesTogether(
        {{dir.PathOf(ProjectFile::Devices, loop), DeviceFileBytes(records), false},
         {dir.PathOf(ProjectFile::ChineseNames, loop), ChineseNameFileBytes(names), true}});
}

std::string NameText(const ChineseName& name) {
    return base::FieldText(name);
}

ChineseName MakeName(std::string_view gbk) {
    const auto field = base::MakeField(base::UpperAscii(gbk), kNameSize);
    ChineseName name{};
    std::copy(field.begin(), field.end(), name.begin());
    return name;
}

std::string_view AlarmTypeName(int code) {
    return code >= 0 && code < kAlarmTypeCount ? kAlarmTypes[code] : std::string_view();
}

std::string_view ModuleTypeName(int code) {
    return code >= 0 && code < kModuleTypeCount ? kModuleTypes[code] : std::string_view();
}

std::string_view OldModuleTypeName(int code) {
    if (code == 15) return "其它设备";
    return code >= 0 && code < kOldModuleTypeCount ? kModuleTypes[code] : std::string_view();
}

std::string_view ClassName(int productClass) {
    constexpr std::string_view kNames[] = {"报警", "区显", "模块", "借用"};
    return productClass >= 0 && productClass < 4 ? kNames[productClass] : std::string_view();
}

GridLabel GridLabelOf(const DeviceRecord& record) {
    if (!record.Installed()) return {};
    const int type = record.DeviceType();
    switch (record.ProductClass()) {
        case kAlarmClass:
            return {"T" + std::to_string(type), 255, 0, 0,
                    type < kAlarmTypeCount ? type : kUntypedAlarmSlot};
        case kModuleClass:
            return {"M" + std::to_string(type), 0, 0, 255, kModuleSlotBase + type};
        case kBorrowedClass:
            return {"J" + std::to_string(type), 0, 192, 192, kBorrowedSlotBase + type};
        default:
            return {"Q", 0, 0, 0, kPlainSlot};
    }
}

}  // namespace velsend::store

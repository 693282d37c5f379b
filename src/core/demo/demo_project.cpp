#include "core/demo/demo_project.h"

#include <filesystem>

#include "base/file_write.h"

#include "base/gbk.h"
#include "core/logic/logic_files.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "core/store/node_records.h"
#include "core/store/project_info.h"

namespace velsend::demo {
namespace {

using store::DeviceRecord;

std::string Gbk(std::string_view utf8) {
    return base::Utf8ToGbk(utf8).value_or(std::string());
}

DeviceRecord Device(int productClass, int type, int zone, int floor, int room, int phrase,
                    std::uint8_t param = 0) {
    DeviceRecord r;
    r.SetInstalled(true);
    r.SetProductClass(productClass);
    r.SetDeviceType(type);
    r.ParamByte = param;
    r.Zone = static_cast<std::uint8_t>(zone);
    r.Floor = static_cast<std::uint8_t>(floor);
    r.Room = static_cast<std::uint8_t>(room);
    r.NamePhrase = static_cast<std::uint8_t>(phrase);
    return r;
}

// One floor of the building on one loop: detectors in the rooms, call points
// and a hydrant button in the corridor, modules for the equipment, a floor display.
base::Result<> WriteFloor(const store::ProjectDir& dir, int loop, int floor, bool plantRoom) {
    store::DeviceFile devices{};
    store::ChineseNameFile names{};
    auto put = [&](int address, const DeviceRecord& r, std::string_view name) {
        devices[static_cast<std::size_t>(address)] = r;
        names[static_cast<std::size_t>(address)] = store::MakeName(Gbk(name));
    };
    const int zone = floor;
    const std::string level = std::to_string(floor) + "层";
    put(1, Device(store::kAlarmClass, 0, zone, floor, 1, 65), level + "办公室1");
    put(2, Device(store::kAlarmClass, 0, zone, floor, 2, 65), level + "办公室2");
    put(3, Device(store::kAlarmClass, 0, zone, floor, 3, 79), level + "会议室");
    put(4, Device(store::kAlarmClass, 1, zone, floor, 4, 24), level + "厨房");
    put(5, Device(store::kAlarmClass, 0, zone, floor, 5, 53), level + "走廊东");
    put(6, Device(store::kAlarmClass, 0, zone, floor, 6, 53), level + "走廊西");
    put(7, Device(store::kAlarmClass, 2, zone, floor, 0, 53), level + "手报");
    put(8, Device(store::kAlarmClass, 7, zone, floor, 0, 53), level + "消火栓");
    put(20, Device(store::kZoneDisplayClass, 0, zone, floor, 0, 25), level + "区显");
    // Automatic start, 10 × 5 s delay for the smoke fans; the fire doors at once.
    put(30, Device(store::kModuleClass, 25, zone, floor, 0, 52, 10), level + "排烟风机");
    put(31, Device(store::kModuleClass, 7, zone, floor, 0, 52), level + "防火门");
    put(32, Device(store::kModuleClass, 14, zone, floor, 0, 52), level + "声光警报");
    if (plantRoom) {
        put(40, Device(store::kModuleClass, 1, zone, floor, 9, 138, 0x80), "消防泵");
        put(41, Device(store::kModuleClass, 2, zone, floor, 9, 137, 0x80), "喷淋泵");
        put(42, Device(store::kAlarmClass, 9, zone, floor, 9, 137), "水流指示器");
        put(50, Device(store::kBorrowedClass, 11, zone, floor, 0, 0), "广播借用");
    }
    return store::WriteLoopFiles(dir, loop, devices, names);
}

base::Result<> WriteDemoFiles(const store::ProjectDir& dir) {
    phrases::PhraseImage words = phrases::CommonPhrases();
    phrases::SetPhrase(words, 200, Gbk("A座"));
    phrases::SetPhrase(words, 201, Gbk("B座"));
    phrases::SetPhrase(words, 202, Gbk("%1层"));
    if (auto r = phrases::WritePhraseLibrary(dir, words); !r) return r;

    if (auto r = WriteFloor(dir, 0, 1, true); !r) return r;
    if (auto r = WriteFloor(dir, 1, 2, false); !r) return r;
    if (auto r = WriteFloor(dir, 2, 3, false); !r) return r;

    // Linkage: any smoke detector of a floor starts its smoke fan, alarm sounder
    // and fire doors; the water flow switch starts the sprinkler pump.
    const char* rules[] = {"T00001=M00030=M00031=M00032", "T01001=M01030=M01031=M01032",
                           "T02001=M02030=M02031=M02032", "T00042=M00041"};
    for (int n = 0; n < 4; ++n)
        if (auto r = logic::WriteLogicRule(dir, n, rules[n]); !r) return r;

    store::TenByteNodeRecord node10;
    node10.LocalAddress = 1;
    node10.DriverBoardFirstAddress = 1;
    node10.DriverBoardLastAddress = 2;
    node10.LinkageFirstAddress = 1;
    node10.LinkageLastAddress = 1;
    node10.NetworkCount = 1;
    if (auto r = store::SaveNodeRecord(dir, node10); !r) return r;
    store::NineByteNodeRecord node9;
    node9.LocalAddress = 1;
    node9.DriverBoardAddress = 1;
    node9.LinkageFirstAddress = 1;
    node9.LinkageLastAddress = 1;
    node9.NetworkCount = 1;
    if (auto r = store::SaveNodeRecord(dir, node9); !r) return r;

    return store::WriteProjectInfo(
        dir, {Gbk("示范大厦消防工程"), Gbk("示范路1号"), Gbk("王工"), Gbk("010-12345678"),
              Gbk("李工、张工"), Gbk("400-000-0000")});
}

}  // namespace

base::Result<> WriteDemoProject(const store::ProjectDir& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir.Root(), ec);
    if (ec) return base::Error{"无法建立目录 " + dir.Root().string(), ec.message(), ec.value()};
    // Every file of the demo lands together, or none does.
    base::TransactionScope transaction("演示工程");
    if (auto r = WriteDemoFiles(dir); !r) return r;
    return transaction.Commit();
}

}  // namespace velsend::demo

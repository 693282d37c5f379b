#include "core/loops/loop_stats.h"

namespace velsend::loops {
namespace {

// The statistics dialog's own short forms of the alarm names.
constexpr std::array<std::string_view, store::kAlarmTypeCount> kAlarmCounterLabels{
    "感烟探测器", "感温探测器", "手动按钮",   "可燃气体探测", "红外探测器", "组联模块", "防爆接口",
    "消火栓按钮", "压力开关",   "水流指示器", "防火阀",       "感温电缆",   "信号阀",   "接口",
    "烟温复合",   "其它设备",   "剩余电流",   "温度",         "A相电流",    "B相电流",  "C相电流"};

}  // namespace

LoopCounts CountDevices(const store::DeviceFile& devices) {
    LoopCounts counts;
    for (const store::DeviceRecord& r : devices) {
        if (!r.Installed()) continue;
        ++counts.total;
        const int productClass = r.ProductClass();
        ++counts.byClass[static_cast<std::size_t>(productClass)];
        const int type = r.DeviceType();
        int counter = -1;
        switch (productClass) {
            case store::kAlarmClass:
                if (type < store::kAlarmTypeCount) counter = type;
                break;
            case store::kModuleClass:
                counter = store::kModuleSlotBase + type;
                break;
            case store::kBorrowedClass:
                counter = store::kBorrowedSlotBase + type;
                break;
            default:
                break;
        }
        if (counter >= 0) ++counts.byType[static_cast<std::size_t>(counter)];
    }
    return counts;
}

LoopCounts CountLoop(const store::ProjectDir& dir, int loop) {
    return CountDevices(store::ReadDeviceFile(dir, loop));
}

std::string_view CounterLabel(int counter) {
    if (counter < 0 || counter >= kTypeCounterCount) return {};
    if (counter < store::kModuleSlotBase)
        return kAlarmCounterLabels[static_cast<std::size_t>(counter)];
    const int code = counter < store::kBorrowedSlotBase ? counter - store::kModuleSlotBase
                                                        : counter - store::kBorrowedSlotBase;
    return store::ModuleTypeName(code);
}

}  // namespace velsend::loops

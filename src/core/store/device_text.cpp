#include "core/store/device_text.h"

#include "base/controller_model.h"
#include "core/store/node_records.h"

namespace velsend::store {

std::string_view TypeNameOf(const DeviceRecord& r, int controllerModel) {
    const int type = r.DeviceType();
    switch (r.ProductClass()) {
        case kAlarmClass:
            return AlarmTypeName(type);
        case kZoneDisplayClass:
            return "楼层显示器";
        default:
            return base::Traits(controllerModel).oldModuleTypes ? OldModuleTypeName(type)
                                                                : ModuleTypeName(type);
    }
}

std::string TypeText(const DeviceRecord& r, int controllerModel) {
    const std::string_view name = TypeNameOf(r, controllerModel);
    return std::to_string(r.DeviceType()) + (name.empty() ? "" : " " + std::string(name));
}

ParameterParts ParameterOf(const DeviceRecord& r) {
    switch (r.ProductClass()) {
        case kModuleClass:
            return {r.ParamFlag() ? "手动" : "自动", std::to_string(r.Delay())};
        case kBorrowedClass:
            return {std::string("故障显示") + (r.ParamFlag() ? "否" : "是"),
                    std::to_string(r.Delay())};
        case kAlarmClass:
            return {"域值" + std::to_string(r.ParamByte), {}};
        default:
            return {};
    }
}

std::string ParameterText(const DeviceRecord& r) {
    const ParameterParts parts = ParameterOf(r);
    return parts.delay.empty() ? parts.mode : parts.mode + " 延时" + parts.delay;
}

std::string WorkModeName(int mode) {
    const std::string_view label = WorkModeLabel(mode);
    return std::to_string(mode) + (label.empty() ? "" : " " + std::string(label));
}

NodeSettings ReadNodeSettings(const ProjectDir& dir, int controllerModel) {
    NodeSettings s;
    auto add = [&s](const char* label, int value) {
        s.rows.emplace_back(label, std::to_string(value));
    };
    const auto kind = base::Traits(controllerModel).nodeRecord;
    if (kind == base::NodeRecordKind::TenByte) {
        TenByteNodeRecord r;
        s.present = LoadNodeRecord(dir, r);
        s.file = FileName(ProjectFile::Node2);
        add("本机地址", r.LocalAddress);
        add("驱动板首址", r.DriverBoardFirstAddress);
        add("驱动板末址", r.DriverBoardLastAddress);
        add("联动盘首址", r.LinkageFirstAddress);
        add("联动盘末址", r.LinkageLastAddress);
        add("联网机数", r.NetworkCount);
        s.rows.emplace_back("工作方式", WorkModeName(r.WorkMode));
    } else if (kind == base::NodeRecordKind::NineByte) {
        NineByteNodeRecord r;
        s.present = LoadNodeRecord(dir, r);
        s.file = FileName(ProjectFile::Node1);
        add("本机地址", r.LocalAddress);
        add("驱动板(回路)地址", r.DriverBoardAddress);
        add("联动盘首址", r.LinkageFirstAddress);
        add("联动盘末址", r.LinkageLastAddress);
        add("联网机数", r.NetworkCount);
        s.rows.emplace_back("工作方式", WorkModeName(r.WorkMode));
    }
    return s;
}

}  // namespace velsend::store

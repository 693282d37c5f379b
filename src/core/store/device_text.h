#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/store/device_store.h"
#include "core/store/project_files.h"

namespace velsend::store {

// How a device record reads for people: the one decoding the CLI's tables and
// the commissioning report share. All texts UTF-8.

// The type's name by the record's class (the first family has its own module
// catalogue); empty for a code without a name.
std::string_view TypeNameOf(const DeviceRecord& record, int controllerModel);
// "3 感烟探测器": the code and, when it has one, the name.
std::string TypeText(const DeviceRecord& record, int controllerModel);

// The parameter byte, split the way the class uses it: start mode ("自动",
// "手动"), fault display ("故障显示是"/"故障显示否") or threshold ("域值N"),
// and the delay where the class has one (empty otherwise).
struct ParameterParts {
    std::string mode;
    std::string delay;
};
ParameterParts ParameterOf(const DeviceRecord& record);
// Both parts in one cell: "自动 延时5", "域值12".
std::string ParameterText(const DeviceRecord& record);

// "0 单机工作方式"
std::string WorkModeName(int mode);

// The node settings of the model's record, label and value; `file` names the
// record's file, `present` tells whether it exists. Empty rows for a model
// without node settings.
struct NodeSettings {
    std::string file;
    bool present = false;
    std::vector<std::pair<std::string, std::string>> rows;
};
NodeSettings ReadNodeSettings(const ProjectDir& dir, int controllerModel);

}  // namespace velsend::store

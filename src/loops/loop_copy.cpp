#include "loops/loop_copy.h"

#include "store/device_store.h"

namespace velsend::loops {

CopyResult CopyLoop(const store::ProjectDir& dir, int source, int target) {
    // Both read before anything is written, so copying a loop onto itself
    // rewrites the same data.
    const store::DeviceFile devices = store::ReadDeviceFile(dir, source);
    const store::ChineseNameFile names = store::ReadChineseNameFile(dir, source);
    CopyResult result;
    result.devicesWritten = store::WriteDeviceFile(dir, target, devices);
    result.namesWritten = store::WriteChineseNameFile(dir, target, names);
    result.message = std::to_string(source) + "到" + std::to_string(target) + "复制完毕";
    result.error = store::WriteFailureMessage(result.devicesWritten, result.namesWritten, target);
    return result;
}

int NextTarget(int target) {
    return (target + 1) & 0xFF;
}

}  // namespace velsend::loops

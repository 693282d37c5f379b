#include "core/loops/loop_copy.h"
#include "base/file_write.h"

#include "core/store/device_store.h"

namespace velsend::loops {

base::Result<std::string> CopyLoop(const store::ProjectDir& dir, int source, int target) {
    const base::ChangeText what("回路复制 " + std::to_string(source) + "→" +
                                std::to_string(target));
    // Both read before anything is written, so copying a loop onto itself
    // rewrites the same data.
    const auto devices = store::LoadDeviceFile(dir, source);
    if (!devices) return devices.error();
    const auto names = store::LoadChineseNameFile(dir, source);
    if (!names) return names.error();
    if (auto written = store::WriteLoopFiles(dir, target, *devices, *names); !written)
        return written.error();
    return std::to_string(source) + "到" + std::to_string(target) + "复制完毕";
}

int NextTarget(int target) {
    return (target + 1) & 0xFF;
}

}  // namespace velsend::loops

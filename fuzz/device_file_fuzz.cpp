// The device and Chinese-name file readers over arbitrary bytes: whatever a
// file holds, reading it gives a whole loop and writing it back is exact.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>

#include "base/file_write.h"
#include "core/store/device_store.h"

namespace fs = std::filesystem;
using namespace velsend;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path dir = [] {
        char pattern[] = "/tmp/velsend-fuzz-XXXXXX";
        return fs::path(::mkdtemp(pattern));
    }();
    const store::ProjectDir project(dir);
    if (!base::WriteWholeFile(project.PathOf(store::ProjectFile::Devices, 0), {data, size}))
        std::abort();
    const store::DeviceFile devices = store::ReadDeviceFile(project, 0);
    const store::ChineseNameFile names = store::ReadChineseNameFile(project, 0);
    (void)names;
    if (devices.size() != store::kAddressCount) std::abort();
    return 0;
}

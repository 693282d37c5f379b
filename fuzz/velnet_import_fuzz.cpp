// The VELNET conversion over arbitrary source files: the input is cut into a
// device, a location and a logic source of any length; the converted loop is
// always a whole devc (1792 bytes) and log (32768 bytes) file whose bytes are
// the sources' or zero.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/exchange/velnet_import.h"

using namespace velsend;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::span<const std::uint8_t> input(data + 4, size - 4);
    const std::size_t a = std::min<std::size_t>(input.size(), (data[0] | (data[1] << 8)) % 4096u);
    const std::size_t b =
        std::min<std::size_t>(input.size() - a, (data[2] | (data[3] << 8)) % 4096u);
    const auto devices = input.subspan(0, a);
    const auto places = input.subspan(a, b);
    const auto logic = input.subspan(a + b);

    const auto devc = exchange::VelnetDeviceFile(devices, places);
    if (devc.size() != 1792) std::abort();
    for (std::size_t n = 0; n < 256; ++n) {
        const std::uint8_t status = n * 3 < devices.size() ? devices[n * 3] : 0;
        const std::uint8_t phrase = n * 8 + 3 < places.size() ? places[n * 8 + 3] : 0;
        if (devc[n * 7] != status || devc[n * 7 + 6] != phrase) std::abort();
    }
    const auto log = exchange::VelnetDeviceLogicFile(logic);
    if (log.size() != 32768) std::abort();
    for (std::size_t n = 0; n < 256; ++n) {
        const std::uint8_t first = n * 64 < logic.size() ? logic[n * 64] : 0;
        if (log[n * 128] != first || log[n * 128 + 64] != 0 || log[n * 128 + 127] != 0)
            std::abort();
    }
    // Source names of every loop the data can name.
    const int loop = data[0];
    if (exchange::VelnetFileName(exchange::VelnetSource::Logic, loop).size() != 10) std::abort();
    return 0;
}

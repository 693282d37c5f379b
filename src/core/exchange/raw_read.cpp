#include "core/exchange/raw_read.h"

#include "base/platform/files.h"

namespace velsend::exchange {

std::optional<std::vector<std::uint8_t>> ReadUpTo(const std::filesystem::path& path,
                                                  std::size_t max) {
    // Non-blocking, and only regular files: a FIFO or device under a project
    // name must not hang the command.
    platform::ReadOnlyFile file(path);
    if (!file.IsOpen() || file.FileKind() != platform::ReadOnlyFile::Kind::Regular)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(max);
    bytes.resize(file.Read(bytes.data(), max));
    return bytes;
}

std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> bytes, std::size_t size,
                                 std::uint8_t filler) {
    bytes.resize(size, filler);
    return bytes;
}

}  // namespace velsend::exchange

#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace velsend::exchange {

// The first `max` bytes of a file (fewer when it is shorter); nullopt when it
// cannot be opened for reading. The pack and the imports tell "absent" from
// "empty", which ReadFixed does not.
std::optional<std::vector<std::uint8_t>> ReadUpTo(const std::filesystem::path& path,
                                                  std::size_t max);

// `bytes` zero-padded (or cut) to exactly `size`.
std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> bytes, std::size_t size,
                                 std::uint8_t filler = 0);

}  // namespace velsend::exchange

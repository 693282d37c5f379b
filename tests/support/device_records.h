#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "temp_dir.h"

namespace velsend::test {

// The 7-byte device record at `address` of a device file's bytes; empty when
// the file ends before it.
inline std::vector<std::uint8_t> RecordAt(const std::vector<std::uint8_t>& file, int address) {
    const std::size_t at = 7u * static_cast<std::size_t>(address);
    if (address < 0 || file.size() < at + 7) return {};
    return {file.begin() + static_cast<std::ptrdiff_t>(at),
            file.begin() + static_cast<std::ptrdiff_t>(at + 7)};
}
inline std::vector<std::uint8_t> RecordAt(const std::filesystem::path& file, int address) {
    return RecordAt(ReadBytes(file), address);
}

// Puts a 7-byte device record at `address` of a device file's bytes.
inline void PutRecord(std::vector<std::uint8_t>& file, int address,
                      const std::vector<std::uint8_t>& record) {
    std::copy(record.begin(), record.end(), file.begin() + 7 * address);
}

}  // namespace velsend::test

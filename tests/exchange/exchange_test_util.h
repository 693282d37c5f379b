#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/gbk.h"

namespace velsend::test {

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}
inline std::string Gbk(std::string_view utf8) {
    return store::Utf8ToGbk(utf8).value();
}
inline std::set<std::string> FileNames(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}
// A 7-byte device record inside a 1792-byte device file.
inline void PutRecord(std::vector<std::uint8_t>& file, int address,
                      std::vector<std::uint8_t> record) {
    std::copy(record.begin(), record.end(), file.begin() + address * 7);
}

}  // namespace velsend::test

#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/gbk.h"
#include "device_records.h"

namespace velsend::test {

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}
inline std::string Gbk(std::string_view utf8) {
    return base::Utf8ToGbk(utf8).value();
}
inline std::set<std::string> FileNames(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}
}  // namespace velsend::test

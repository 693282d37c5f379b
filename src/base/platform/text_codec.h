#pragma once

// GBK (code page 936) to and from UTF-8, by the system's converter.

#include <cstddef>
#include <string>
#include <string_view>

namespace velsend::platform {

// What one conversion step did: it converted `in` up to `consumed` bytes
// into `out` and stopped there, at the end or at a character it cannot
// convert (`bad`). `unavailable`: there is no converter at all.
struct CodecStep {
    std::size_t consumed = 0;
    bool bad = false;
    bool unavailable = false;
};

CodecStep Utf8ToGbkStep(std::string_view in, std::string& out);
CodecStep GbkToUtf8Step(std::string_view in, std::string& out);

}  // namespace velsend::platform

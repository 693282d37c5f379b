#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace velsend::history {

// The SHA-256 of `bytes` as 64 lower-case hex digits: the name a kept
// content goes by, and the check that it is still what was kept.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace velsend::history

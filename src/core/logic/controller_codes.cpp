#include "core/logic/controller_codes.h"

#include <array>
#include <optional>

namespace velsend::logic {
namespace {

struct CodeRow {
    char character;
    std::uint8_t logRecord;
    std::uint8_t model2;
};

// Digits and the loop letters a..l are numbered in a run; the rest are listed.
constexpr CodeRow kListed[] = {
    {'(', 0x1A, 0x24}, {')', 0x1B, 0x25}, {'[', 0x1C, 0x26}, {']', 0x1D, 0x27}, {'{', 0x1E, 0x28},
    {'}', 0x1F, 0x29}, {'*', 0x20, 0x2A}, {'+', 0x21, 0x2B}, {'~', 0x22, 0x2C}, {'=', 0xFF, 0x2D},
    {'T', 0x2B, 0x35}, {'t', 0x2B, 0x35}, {'M', 0x2C, 0x36}, {'m', 0x2C, 0x36}, {'R', 0x2D, 0x37},
    {'r', 0x2D, 0x37}, {'!', 0x2E, 0x38}, {'X', 0x2F, 0x39}, {'x', 0x2F, 0x39}, {'F', 0x30, 0x3A},
};

// Both conversions agree on the run 0..9, a..l -> 0x00..0x15.
std::optional<std::uint8_t> RunCode(std::uint8_t c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'a' && c <= 'l') return static_cast<std::uint8_t>(0x0A + (c - 'a'));
    return std::nullopt;
}

const CodeRow* Listed(std::uint8_t c) {
    for (const CodeRow& row : kListed)
        if (static_cast<std::uint8_t>(row.character) == c) return &row;
    return nullptr;
}

}  // namespace

std::uint8_t LogRecordCode(std::uint8_t c) {
    if (auto code = RunCode(c)) return *code;
    if (const CodeRow* row = Listed(c)) return row->logRecord;
    return 0xFF;
}

std::uint8_t Model2LogicCode(std::uint8_t c) {
    if (auto code = RunCode(c)) return *code;
    if (const CodeRow* row = Listed(c)) return row->model2;
    return c;
}

void ConvertLogRecord(std::span<std::uint8_t> bytes) {
    for (std::uint8_t& b : bytes) b = LogRecordCode(b);
}

void ConvertModel2Logic(std::span<std::uint8_t> bytes) {
    for (std::uint8_t& b : bytes) b = Model2LogicCode(b);
}

}  // namespace velsend::logic

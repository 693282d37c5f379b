#include "base/field_check.h"

#include <cctype>
#include <limits>

namespace velsend::base {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Digits only; false for empty text or an overflow of `limit`.
bool ParseDigits(std::string_view text, unsigned long long limit, unsigned long long& value) {
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > limit) return false;
    }
    return true;
}

std::string Fill(std::string_view pattern, std::string_view one, std::string_view two) {
    std::string out(pattern);
    if (const auto at = out.find("%1"); at != std::string::npos) out.replace(at, 2, one);
    if (const auto at = out.find("%2"); at != std::string::npos) out.replace(at, 2, two);
    return out;
}

}  // namespace

std::string RangeMessage(long long min, long long max) {
    return Fill("请输入一个在 %1 和 %2 之间的整数。", std::to_string(min), std::to_string(max));
}

std::string MaxCharsMessage(int max) {
    return Fill("请输入不多于 %1 个的字符。", std::to_string(max), {});
}

std::optional<std::string> CheckByte(std::string_view text, int& value) {
    unsigned long long n = 0;
    if (!ParseDigits(Trim(text), 255, n)) return std::string(kByteMessage);
    value = static_cast<int>(n);
    return std::nullopt;
}

std::optional<std::string> CheckUnsigned(std::string_view text, std::uint32_t& value) {
    unsigned long long n = 0;
    if (!ParseDigits(Trim(text), std::numeric_limits<std::uint32_t>::max(), n))
        return std::string(kUnsignedMessage);
    value = static_cast<std::uint32_t>(n);
    return std::nullopt;
}

std::optional<std::string> CheckRange(long long value, long long min, long long max) {
    if (value < min || value > max) return RangeMessage(min, max);
    return std::nullopt;
}

std::optional<std::string> CheckByteInRange(std::string_view text, int min, int max, int& value) {
    int n = 0;
    if (auto error = CheckByte(text, n)) return error;
    if (auto error = CheckRange(n, min, max)) return error;
    value = n;
    return std::nullopt;
}

std::optional<std::string> CheckMaxBytes(std::size_t bytes, int max) {
    if (bytes > static_cast<std::size_t>(max)) return MaxCharsMessage(max);
    return std::nullopt;
}

std::optional<long long> CorrectedNumber(std::string_view digits, long long max) {
    if (digits.empty()) return 0;
    unsigned long long n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - '0');
        if (n > static_cast<unsigned long long>(max)) return max;
    }
    return static_cast<long long>(n);
}

int WrapStep(int value, int step, int min, int max) {
    const int span = max - min + 1;
    int next = (value - min + step) % span;
    if (next < 0) next += span;
    return min + next;
}

int ClampStep(int value, int step, int min, int max) {
    const int next = value + step;
    return next < min ? min : (next > max ? max : next);
}

}  // namespace velsend::base

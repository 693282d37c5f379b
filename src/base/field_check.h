#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velsend::base {

// The form checks every dialog shares, with the messages users know them by.
// Each returns the message to show, or nullopt when the field is fine.

inline constexpr std::string_view kByteMessage = "请输入一个在 0 和 255 之间的整数。";
inline constexpr std::string_view kUnsignedMessage = "请输入一个正整数。";

// "请输入一个在 %1 和 %2 之间的整数。" with the bounds filled in.
std::string RangeMessage(long long min, long long max);
// "请输入不多于 %1 个的字符。"
std::string MaxCharsMessage(int max);

// A byte field: an unsigned decimal number 0..255 (blanks around it allowed).
std::optional<std::string> CheckByte(std::string_view text, int& value);
// An unsigned field: any unsigned 32-bit decimal number.
std::optional<std::string> CheckUnsigned(std::string_view text, std::uint32_t& value);
// A number already read that must lie in min..max.
std::optional<std::string> CheckRange(long long value, long long min, long long max);
// A byte field with a narrower range: the byte check first, then the range.
std::optional<std::string> CheckByteInRange(std::string_view text, int min, int max, int& value);
// A text limited to `max` bytes in the files' encoding.
std::optional<std::string> CheckMaxBytes(std::size_t bytes, int max);

// What the self-correcting number edits make of a text: empty reads 0, a
// value above `max` reads `max`. nullopt for text that is not digits.
std::optional<long long> CorrectedNumber(std::string_view digits, long long max);

// Wheel steps: towards the user +1, away -1, wrapping at the ends.
int WrapStep(int value, int step, int min, int max);
// Wheel steps that stop at the ends.
int ClampStep(int value, int step, int min, int max);

}  // namespace velsend::base

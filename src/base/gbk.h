#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velsend::base {

// The project files hold GBK (code page 936) text; the program's own texts
// are UTF-8. These are the only crossings between the two.

// nullopt when the text holds a character GBK cannot encode.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);
// Every character GBK cannot hold (and every byte that is not UTF-8) becomes
// "?", as the system code-page conversion does; `missing` gets their count.
std::string Utf8ToGbkLossy(std::string_view utf8, int* missing = nullptr);
// Bytes that are not valid GBK come out as U+FFFD; never fails.
std::string GbkToUtf8(std::string_view gbk);
inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// For an editor that must give back what it was given: as above, and
// `undecodable` gets the bytes each U+FFFD stands for, in order.
std::string GbkToUtf8(std::string_view gbk, std::vector<std::string>& undecodable);
// The way back: each U+FFFD takes the next run of `undecodable`. nullopt when
// a character cannot be encoded or the U+FFFDs no longer match the runs one
// for one (the user removed or added some).
std::optional<std::string> Utf8ToGbk(std::string_view utf8,
                                     const std::vector<std::string>& undecodable);

// Upper-cases ASCII letters only; the bytes of two-byte characters (both 0x81
// or above) are left alone even where a trail byte looks like a letter.
std::string UpperAscii(std::string_view gbk);

// UpperAscii, and the full-width small letters as well ("ａ" -> "Ａ").
std::string UpperLetters(std::string_view gbk);

// The longest prefix of `gbk` that fits in `maxBytes` without cutting a
// two-byte character in half.
std::string_view FitGbk(std::string_view gbk, std::size_t maxBytes);

// A fixed-width text field: the bytes up to the first zero, at most the width
// (a field filled to its width has no terminator).
std::string FieldText(std::span<const std::uint8_t> field);
// `text` cut to fit (never inside a character), zero-padded to `width`.
std::vector<std::uint8_t> MakeField(std::string_view gbk, std::size_t width);
// Removes trailing blanks (0x20).
std::string_view TrimTrailingSpaces(std::string_view text);

}  // namespace velsend::base

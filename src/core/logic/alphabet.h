#pragma once

#include <string>
#include <string_view>

namespace velsend::logic {

// The characters a rule may hold. Case matters: a..l are loop letters, the
// lowercase m, r, t and x keyword letters; every other letter is refused.
inline constexpr std::string_view kLogicAlphabet = "0123456789abcdefghijklmrtxFMRTX()*+!=[]{}~";
// Per-device rules (first family) know neither "F" nor "=".
inline constexpr std::string_view kDeviceLogicAlphabet = "0123456789abcdefghijklmrtxMRTX()*+![]{}~";

// True when every byte of `text` is in the set; an empty text passes. A
// two-byte (GBK) character never passes: its lead byte is outside both sets.
bool InLogicAlphabet(std::string_view text);
bool InDeviceLogicAlphabet(std::string_view text);

// Names the first character of `gbk` outside the rule's set and where it
// stands, counted in characters from 1: "第 3 个字符“n”不能用在逻辑中。";
// empty when every character passes.
std::string RefusedCharacterNote(std::string_view gbk, bool deviceRule = false);
// The same for UTF-8 text (what an edit holds), naming first a character
// GBK cannot hold at all.
std::string RefusedCharacterNoteUtf8(std::string_view utf8, bool deviceRule = false);

}  // namespace velsend::logic

#include "base/gbk.h"

#include <algorithm>

#include "base/platform/text_codec.h"

namespace velsend::base {
namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Bytes of the UTF-8 character at `p`; for a broken one, its lead byte and
// the continuation bytes that follow it, so it counts as one character.
std::size_t Utf8Length(const unsigned char* p, std::size_t left) {
    const std::size_t n = p[0] >= 0xF0 && p[0] <= 0xF4  ? 4
                          : p[0] >= 0xE0                ? 3
                          : p[0] >= 0xC2 && p[0] < 0xE0 ? 2
                                                        : 1;
    std::size_t i = 1;
    while (i < n && i < left && (p[i] & 0xC0) == 0x80) ++i;
    return i;
}

// Bytes of GBK skipped for one character that does not decode: a pair
// shaped like a GBK character (lead 81-FE, trail 40-FE but 7F) is one,
// anything else one byte, so a bad byte never swallows the ASCII after it.
std::size_t BadGbkLength(const unsigned char* p, std::size_t left) {
    const bool lead = p[0] >= 0x81 && p[0] <= 0xFE;
    const bool trail = left >= 2 && p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F;
    return lead && trail ? 2 : 1;
}

enum class OnBad { Fail, Replace };

// Converts all of `in`; on an invalid or unconvertible sequence either fails
// (nullopt) or writes `replacement` for the character (a whole UTF-8
// character or GBK unit, see above) and goes on. `skipped` gets each
// replaced run of input bytes.
std::optional<std::string> Convert(bool fromGbk, std::string_view in, std::string_view replacement,
                                   OnBad onBad, std::vector<std::string>* skipped = nullptr) {
    std::string out;
    out.reserve(in.size() * 2);
    while (!in.empty()) {
        const platform::CodecStep step =
            fromGbk ? platform::GbkToUtf8Step(in, out) : platform::Utf8ToGbkStep(in, out);
        if (step.unavailable) return std::nullopt;
        in.remove_prefix(step.consumed);
        if (!step.bad) continue;
        if (onBad == OnBad::Fail) return std::nullopt;
        const auto* p = reinterpret_cast<const unsigned char*>(in.data());
        const std::size_t skip = fromGbk ? BadGbkLength(p, in.size()) : Utf8Length(p, in.size());
        out.append(replacement);
        if (skipped) skipped->emplace_back(in.data(), skip);
        in.remove_prefix(skip);
    }
    return out;
}

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    return Convert(false, utf8, {}, OnBad::Fail);
}

std::string Utf8ToGbkLossy(std::string_view utf8, int* missing) {
    if (missing) *missing = 0;
    if (IsAscii(utf8)) return std::string(utf8);
    std::vector<std::string> skipped;
    std::string out = Convert(false, utf8, "?", OnBad::Replace, &skipped).value_or(std::string());
    if (missing) *missing = static_cast<int>(skipped.size());
    return out;
}

std::string GbkToUtf8(std::string_view gbk) {
    if (IsAscii(gbk)) return std::string(gbk);
    return Convert(true, gbk, kReplacement, OnBad::Replace).value_or(std::string());
}

std::string GbkToUtf8(std::string_view gbk, std::vector<std::string>& undecodable) {
    undecodable.clear();
    return Convert(true, gbk, kReplacement, OnBad::Replace, &undecodable).value_or(std::string());
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8,
                                     const std::vector<std::string>& undecodable) {
    std::string out;
    std::size_t run = 0;
    while (true) {
        const std::size_t at = utf8.find(kReplacement);
        const auto piece = Utf8ToGbk(utf8.substr(0, at));
        if (!piece) return std::nullopt;
        out += *piece;
        if (at == std::string_view::npos) break;
        if (run == undecodable.size()) return std::nullopt;
        out += undecodable[run++];
        utf8.remove_prefix(at + kReplacement.size());
    }
    if (run != undecodable.size()) return std::nullopt;
    return out;
}

std::string UpperAscii(std::string_view gbk) {
    std::string out(gbk);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 0x81) {
            ++i;  // the trail byte of a two-byte character
        } else if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string UpperLetters(std::string_view gbk) {
    std::string out = UpperAscii(gbk);
    for (std::size_t i = 0; i + 1 < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c < 0x81) continue;
        const auto t = static_cast<unsigned char>(out[i + 1]);
        if (c == 0xA3 && t >= 0xE1 && t <= 0xFA) out[i + 1] = static_cast<char>(t - 0x20);  // ａ-ｚ
        ++i;
    }
    return out;
}

std::string_view FitGbk(std::string_view gbk, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < gbk.size()) {
        const std::size_t width = static_cast<unsigned char>(gbk[end]) >= 0x81 ? 2 : 1;
        if (end + width > maxBytes || end + width > gbk.size()) break;
        end += width;
    }
    return gbk.substr(0, end);
}

std::string FieldText(std::span<const std::uint8_t> field) {
    const auto zero = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), zero);
}

std::vector<std::uint8_t> MakeField(std::string_view gbk, std::size_t width) {
    std::vector<std::uint8_t> field(width, 0);
    // Text that fits is kept byte for byte, even half a character at its end
    // or a code GBK leaves undefined: a field read from a file goes back as it
    // came. Only a longer text is cut, and then at a whole character.
    const std::string_view fitted = gbk.size() <= width ? gbk : FitGbk(gbk, width);
    std::copy(fitted.begin(), fitted.end(), field.begin());
    return field;
}

std::string_view TrimTrailingSpaces(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace velsend::base

#include "base/gbk.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace velsend::store {
namespace {

// Converts all of `in`; on an invalid or unconvertible sequence either fails
// (nullopt) or writes `replacement` and skips `skip` input bytes.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   std::string_view replacement, bool lenient,
                                   std::vector<std::string>* skipped = nullptr) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    std::vector<char> source(in.begin(), in.end());
    char* src = source.data();
    std::size_t srcLeft = source.size();
    char buffer[256];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (!lenient) {
            ::iconv_close(cd);
            return std::nullopt;
        }
        out.append(replacement);
        // Skip one byte, or a whole two-byte unit when its lead byte says so.
        const auto lead = static_cast<unsigned char>(*src);
        const std::size_t skip = (lead >= 0x81 && srcLeft >= 2 && errno == EILSEQ) ? 2 : 1;
        if (skipped) skipped->emplace_back(src, std::min(skip, srcLeft));
        src += std::min(skip, srcLeft);
        srcLeft -= std::min(skip, srcLeft);
    }
    ::iconv_close(cd);
    return out;
}

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    return Convert("GBK", "UTF-8", utf8, {}, false);
}

std::string GbkToUtf8(std::string_view gbk) {
    return Convert("UTF-8", "GBK", gbk, kReplacement, true).value_or(std::string());
}

std::string GbkToUtf8(std::string_view gbk, std::vector<std::string>& undecodable) {
    undecodable.clear();
    return Convert("UTF-8", "GBK", gbk, kReplacement, true, &undecodable)
        .value_or(std::string());
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

}  // namespace velsend::store

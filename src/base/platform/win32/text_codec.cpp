#include "base/platform/text_codec.h"

#include <windows.h>

#include <algorithm>

namespace velsend::platform {
namespace {

constexpr UINT kGbk = 936;

// UTF-16 from `in` in code page `page`; false when any of it is invalid there.
bool ToWide(UINT page, std::string_view in, std::wstring& wide) {
    wide.clear();
    if (in.empty()) return true;
    const int n = ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, in.data(),
                                        static_cast<int>(in.size()), nullptr, 0);
    if (n <= 0) return false;
    wide.resize(static_cast<std::size_t>(n));
    return ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                                 wide.data(), n) == n;
}

// `wide` in code page `page`; false when a character has no exact match there
// (no best-fit look-alikes: a wrong character in a panel's text is worse
// than a reported one).
bool FromWide(UINT page, const std::wstring& wide, std::string& out) {
    if (wide.empty()) return true;
    const bool utf8 = page == CP_UTF8;
    BOOL usedDefault = FALSE;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int n = ::WideCharToMultiByte(page, flags, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, utf8 ? nullptr : &usedDefault);
    if (n <= 0 || usedDefault) return false;
    std::string bytes(static_cast<std::size_t>(n), '\0');
    if (::WideCharToMultiByte(page, flags, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                              n, nullptr, utf8 ? nullptr : &usedDefault) != n ||
        usedDefault)
        return false;
    out += bytes;
    return true;
}

bool Convert(UINT from, UINT to, std::string_view in, std::string& out) {
    std::wstring wide;
    return ToWide(from, in, wide) && FromWide(to, wide, out);
}

// Bytes of the next character of `in` in the source encoding.
std::size_t Utf8Unit(std::string_view in) {
    const auto lead = static_cast<unsigned char>(in[0]);
    std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return std::min(n, in.size());
}
std::size_t GbkUnit(std::string_view in) {
    const auto lead = static_cast<unsigned char>(in[0]);
    return lead >= 0x81 && lead <= 0xFE && in.size() >= 2 ? 2 : 1;
}

// All of `in` at once when it converts; otherwise one character at a time
// up to the first that does not.
CodecStep Step(UINT from, UINT to, std::string_view in, std::string& out,
               std::size_t (*unit)(std::string_view)) {
    CodecStep step;
    if (Convert(from, to, in, out)) {
        step.consumed = in.size();
        return step;
    }
    while (step.consumed < in.size()) {
        const std::string_view rest = in.substr(step.consumed);
        const std::size_t n = unit(rest);
        if (!Convert(from, to, rest.substr(0, n), out)) {
            step.bad = true;
            break;
        }
        step.consumed += n;
    }
    return step;
}

}  // namespace

CodecStep Utf8ToGbkStep(std::string_view in, std::string& out) {
    return Step(CP_UTF8, kGbk, in, out, Utf8Unit);
}

CodecStep GbkToUtf8Step(std::string_view in, std::string& out) {
    return Step(kGbk, CP_UTF8, in, out, GbkUnit);
}

}  // namespace velsend::platform

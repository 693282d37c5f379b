#include "core/logic/alphabet.h"

#include <algorithm>
#include <cstdio>

#include "base/gbk.h"

namespace velsend::logic {
namespace {

bool AllIn(std::string_view text, std::string_view set) {
    return std::all_of(text.begin(), text.end(),
                       [set](char c) { return set.find(c) != std::string_view::npos; });
}

}  // namespace

bool InLogicAlphabet(std::string_view text) {
    return AllIn(text, kLogicAlphabet);
}

bool InDeviceLogicAlphabet(std::string_view text) {
    return AllIn(text, kDeviceLogicAlphabet);
}

std::string RefusedCharacterNote(std::string_view gbk, bool deviceRule) {
    const std::string_view set = deviceRule ? kDeviceLogicAlphabet : kLogicAlphabet;
    int position = 0;
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        ++position;
        const auto byte = static_cast<unsigned char>(gbk[i]);
        if (set.find(gbk[i]) != std::string_view::npos) continue;
        std::string name;
        if (byte >= 0x81 && i + 1 < gbk.size()) {
            name = "“" + base::GbkToUtf8(gbk.substr(i, 2)) + "”";
        } else if (byte == ' ') {
            name = "“ ”（空格）";
        } else if (byte < 0x20 || byte == 0x7F) {
            char code[24];
            std::snprintf(code, sizeof code, "（控制字符 0x%02X）", byte);
            name = code;
        } else {
            name = "“" + base::GbkToUtf8(gbk.substr(i, 1)) + "”";
        }
        return "第 " + std::to_string(position) + " 个字符" + name + "不能用在逻辑中。";
    }
    return {};
}

std::string RefusedCharacterNoteUtf8(std::string_view utf8, bool deviceRule) {
    int position = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const std::string_view character = utf8.substr(i, length);
        ++position;
        i += length;
        if (!base::Utf8ToGbk(character))
            return "第 " + std::to_string(position) + " 个字符“" + std::string(character) +
                   "”不能用在逻辑中。";
    }
    return RefusedCharacterNote(base::Utf8ToGbk(utf8).value_or(std::string()), deviceRule);
}

}  // namespace velsend::logic

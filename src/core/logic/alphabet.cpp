#include "core/logic/alphabet.h"

#include <algorithm>

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

}  // namespace velsend::logic

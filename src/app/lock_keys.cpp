#include "app/lock_keys.h"

#include <filesystem>
#include <fstream>
#include <string_view>

namespace velsend::app {
namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool Lit(const std::filesystem::path& led) {
    std::ifstream in(led / "brightness");
    int brightness = 0;
    return in && (in >> brightness) && brightness > 0;
}

}  // namespace

LockKeyState ReadLockKeys(const std::string& ledsDir) {
    LockKeyState state;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ledsDir, ec)) {
        const std::string name = entry.path().filename().string();
        if (EndsWith(name, "::capslock"))
            state.caps = state.caps || Lit(entry.path());
        else if (EndsWith(name, "::numlock"))
            state.num = state.num || Lit(entry.path());
        else if (EndsWith(name, "::scrolllock"))
            state.scroll = state.scroll || Lit(entry.path());
    }
    return state;
}

}  // namespace velsend::app

#pragma once

#include <string>

namespace velsend::app {

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The keyboard lock lights as the kernel keeps them (any keyboard lit counts).
// All off where the machine exposes none, e.g. over a remote session.
// `ledsDir` is platform::KeyboardLedsFolder() but in tests.
LockKeyState ReadLockKeys(const std::string& ledsDir);

}  // namespace velsend::app

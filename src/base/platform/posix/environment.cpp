#include "base/platform/environment.h"

#include <cstdlib>

namespace velsend::platform {
namespace {

// The variable's value; `fallback` when it is unset or empty.
std::string Setting(const char* name, const char* fallback = "") {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

std::string PortsSetting() {
    return Setting("VELSEND_PORTS");
}

std::string DeviceFolder() {
    return Setting("VELSEND_DEV_DIR", "/dev");
}

std::string TtyClassFolder() {
    return Setting("VELSEND_SYS_TTY_DIR", "/sys/class/tty");
}

std::string KeyboardLedsFolder() {
    return "/sys/class/leds";
}

std::filesystem::path PortLockFolder() {
    return Setting("VELSEND_LOCK_DIR", "/run/lock");
}

std::optional<std::chrono::milliseconds> ProjectLockWaitSetting() {
    const std::string value = Setting("VELSEND_LOCK_WAIT_MS");
    if (value.empty()) return std::nullopt;
    return std::chrono::milliseconds(std::atol(value.c_str()));
}

std::filesystem::path DataFolderRoot() {
    return Setting("HOME", ".");
}

}  // namespace velsend::platform

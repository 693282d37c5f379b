#include "base/platform/environment.h"

#include <cstdlib>

#include "base/platform/system.h"

namespace velsend::platform {
namespace {

// The variable's value as UTF-8 (read wide: the ANSI code page cannot hold
// every folder name); empty when it is unset.
std::string Setting(const wchar_t* name) {
    const wchar_t* value = ::_wgetenv(name);
    return value != nullptr ? PathToUtf8(std::filesystem::path(value)) : std::string();
}

}  // namespace

std::string PortsSetting() {
    return Setting(L"VELSEND_PORTS");
}

std::string DeviceFolder() {
    return {};
}

std::string TtyClassFolder() {
    return {};
}

std::string KeyboardLedsFolder() {
    return {};
}

std::filesystem::path PortLockFolder() {
    const std::string named = Setting(L"VELSEND_LOCK_DIR");
    if (!named.empty()) return PathFromUtf8(named);
    std::error_code ec;
    return std::filesystem::temp_directory_path(ec);
}

std::optional<std::chrono::milliseconds> ProjectLockWaitSetting() {
    const std::string value = Setting(L"VELSEND_LOCK_WAIT_MS");
    if (value.empty()) return std::nullopt;
    return std::chrono::milliseconds(std::atol(value.c_str()));
}

std::filesystem::path DataFolderRoot() {
    return std::filesystem::path(L"C:\\");
}

}  // namespace velsend::platform

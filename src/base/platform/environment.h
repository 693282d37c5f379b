#pragma once

// Every environment variable the program reads is read here, and what it
// stands for when unset; the README lists them. Those marked "tests" exist
// for the test suite, which points the program at fake devices and short
// waits.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace velsend::platform {

// VELSEND_PORTS: the serial ports to offer, in place of a scan
// (colon-separated device paths); empty when unset.
std::string PortsSetting();
// Where the POSIX port scan looks: VELSEND_DEV_DIR and VELSEND_SYS_TTY_DIR
// (tests), else /dev and /sys/class/tty. Windows lists its ports from the
// registry and never asks.
std::string DeviceFolder();
std::string TtyClassFolder();
// Where the keyboard's lock lights are kept: /sys/class/leds; empty on
// Windows.
std::string KeyboardLedsFolder();
// Where serial port lock files go: VELSEND_LOCK_DIR, else /run/lock (POSIX)
// or the temporary folder (Windows).
std::filesystem::path PortLockFolder();
// How long to wait for a project folder another program holds:
// VELSEND_LOCK_WAIT_MS (tests); unset when the variable is.
std::optional<std::chrono::milliseconds> ProjectLockWaitSetting();
// The folder the DATNET data folder of the panel's own tools sits in: the
// home folder ($HOME) on POSIX, C:\ on Windows, where those tools keep it.
std::filesystem::path DataFolderRoot();

}  // namespace velsend::platform

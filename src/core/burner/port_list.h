#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/burner/serial_port.h"

namespace velsend::burner {

// The ten port entries the user picks from (COM1..COM10) and the device path
// each stands for on this machine.
class PortList {
  public:
    static constexpr int kCount = 10;

    // VELSEND_PORTS (colon-separated paths) when set, else the serial devices found.
    static PortList FromEnvironment();
    static PortList FromSpec(std::string_view colonSeparated);
    // USB adapters first (ttyUSB, ttyACM), then on-board ports that really exist.
    static PortList Scan(const std::string& devDir = "/dev",
                         const std::string& sysTtyDir = "/sys/class/tty");
    // Looks again for the devices of a list that came from a scan, so that an
    // adapter plugged in later shows up; a list set by hand stays as it is.
    void Rescan();

    // `index` is 0-based (PortIndex); the address carries number index + 1.
    PortAddress Address(int index) const;
    const std::string& Path(int index) const;
    void SetPath(int index, std::string path);
    // "COM3", or "COM3  /dev/ttyUSB0" when a device is mapped.
    std::string Label(int index) const;

  private:
    std::array<std::string, kCount> paths_;
    bool scanned_ = false;
    std::string devDir_;
    std::string sysTtyDir_;
};

}  // namespace velsend::burner

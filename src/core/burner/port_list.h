#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/burner/serial_port.h"

namespace velsend::burner {

// What tells one serial device from another however the kernel numbers it:
// its /dev/serial/by-id name and the USB adapter's vendor, product and serial.
struct PortIdentity {
    std::string key;   // by-id name, else "usb-VID:PID-SERIAL", else the path
    std::string byId;  // "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"
    std::string usb;   // "USB 0403:6001 FTDI FT232R USB UART 序列号 A1B2C3"
};

// Reads the identity of `devicePath` (a name under `devDir`) from the by-id
// links under devDir/serial/by-id and the USB attributes under `sysTtyDir`.
PortIdentity IdentifyPort(const std::string& devicePath, const std::string& devDir,
                          const std::string& sysTtyDir);

// The ten port entries the user picks from (COM1..COM10) and the device path
// each stands for on this machine.
class PortList {
  public:
    static constexpr int kCount = 10;

    // VELSEND_PORTS (colon-separated paths) when set, else the ports the
    // system names (Windows), else the serial devices found where
    // platform::DeviceFolder() and TtyClassFolder() say.
    static PortList FromEnvironment();
    // Ports the system names "COMn": COM1..COM10 take their own entries,
    // higher numbers the entries left free, lowest first.
    static PortList FromNames(std::vector<std::string> names);
    static PortList FromSpec(std::string_view colonSeparated);
    // USB adapters first (ttyUSB, ttyACM), then on-board ports that really exist.
    static PortList Scan(const std::string& devDir, const std::string& sysTtyDir);
    // Looks again for the devices of a list that came from a scan, so that an
    // adapter plugged in later shows up; a list set by hand stays as it is.
    void Rescan();

    // `index` is 0-based (PortIndex); the address carries number index + 1.
    PortAddress Address(int index) const;
    const std::string& Path(int index) const;
    void SetPath(int index, std::string path);
    // "COM3", or "COM3  /dev/ttyUSB0" when a device is mapped, followed by
    // its identity when it has one beyond the path.
    std::string Label(int index) const;
    const PortIdentity& Identity(int index) const;
    // The entry whose device has `key` now; -1 when none has.
    int Find(const std::string& key) const;
    // The port a user chose: by `identityKey` when one was remembered (a
    // device that is gone gives an address without a path that says so),
    // else by the number.
    PortAddress AddressFor(int index, const std::string& identityKey) const;

  private:
    std::array<std::string, kCount> paths_;
    std::array<PortIdentity, kCount> identities_;
    bool scanned_ = false;
    bool named_ = false;
    std::string devDir_;
    std::string sysTtyDir_;
};

}  // namespace velsend::burner

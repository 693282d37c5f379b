#include "core/burner/port_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "temp_dir.h"

namespace velsend::burner {
namespace {

namespace fs = std::filesystem;

TEST(PortList, SpecMapsIndexesInOrder) {
    const PortList list = PortList::FromSpec("/dev/pts/3:/dev/ttyUSB0::/dev/ttyS1");
    EXPECT_EQ(list.Path(0), "/dev/pts/3");
    EXPECT_EQ(list.Path(1), "/dev/ttyUSB0");
    EXPECT_EQ(list.Path(2), "");
    EXPECT_EQ(list.Path(3), "/dev/ttyS1");
    EXPECT_EQ(list.Path(9), "");
    EXPECT_EQ(list.Address(3).number, 4);
    EXPECT_EQ(list.Address(3).path, "/dev/ttyS1");
    EXPECT_EQ(list.Label(0), "COM1  /dev/pts/3");
    EXPECT_EQ(list.Label(9), "COM10");
    EXPECT_EQ(list.Address(12).path, "");
}

// Windows names its ports: each keeps its own number, and the user's
// choice of COM3 is that port however many others come and go.
TEST(PortList, NamedPortsKeepTheirNumbersAndHighOnesFillFreeEntries) {
    const PortList list = PortList::FromNames({"COM12", "COM3", "COM1", "COM11", "LPT1"});
    EXPECT_EQ(list.Path(0), "COM1");
    EXPECT_EQ(list.Path(1), "COM11");
    EXPECT_EQ(list.Path(2), "COM3");
    EXPECT_EQ(list.Path(3), "COM12");
    EXPECT_EQ(list.Path(4), "");
    EXPECT_EQ(list.AddressFor(0, "COM3").path, "COM3");
    EXPECT_EQ(list.AddressFor(2, "COM7").path, "") << "a port that is gone is not replaced";
}

TEST(PortList, EnvironmentOverridesTheScan) {
    ::setenv("VELSEND_PORTS", "/dev/pts/42", 1);
    EXPECT_EQ(PortList::FromEnvironment().Path(0), "/dev/pts/42");
    ::unsetenv("VELSEND_PORTS");
}

TEST(PortList, ScanPutsAdaptersFirstAndSkipsEmptyUarts) {
    test::TempDir dev;
    test::TempDir sys;
    for (const char* name : {"ttyS0", "ttyS1", "ttyS10", "ttyACM0", "ttyUSB10", "ttyUSB2", "tty1",
                             "ttyUSBx", "null"}) {
        std::ofstream(dev / name) << "";
    }
    auto uart = [&](const char* name, const char* type) {
        fs::create_directories(sys / name);
        std::ofstream(sys.path() / name / "type") << type << "\n";
    };
    uart("ttyS0", "4");
    uart("ttyS1", "0");
    uart("ttyS10", "4");

    const PortList list = PortList::Scan(dev.path().string(), sys.path().string());
    EXPECT_EQ(list.Path(0), (dev / "ttyUSB2").string());
    EXPECT_EQ(list.Path(1), (dev / "ttyUSB10").string());
    EXPECT_EQ(list.Path(2), (dev / "ttyACM0").string());
    EXPECT_EQ(list.Path(3), (dev / "ttyS0").string());
    EXPECT_EQ(list.Path(4), (dev / "ttyS10").string());
    EXPECT_EQ(list.Path(5), "");
}

TEST(PortList, RescanFindsALaterAdapterButKeepsAHandSetList) {
    test::TempDir dev;
    test::TempDir sys;
    std::ofstream(dev / "ttyACM0") << "";
    PortList scanned = PortList::Scan(dev.path().string(), sys.path().string());
    EXPECT_EQ(scanned.Path(0), (dev / "ttyACM0").string());

    std::ofstream(dev / "ttyUSB0") << "";  // plugged in while the program runs
    scanned.Rescan();
    EXPECT_EQ(scanned.Path(0), (dev / "ttyUSB0").string());
    EXPECT_EQ(scanned.Path(1), (dev / "ttyACM0").string());

    PortList given = PortList::FromSpec("/dev/pts/7");
    given.Rescan();
    EXPECT_EQ(given.Path(0), "/dev/pts/7");
    scanned.SetPath(0, "/dev/pts/8");  // the command line's --port
    scanned.Rescan();
    EXPECT_EQ(scanned.Path(0), "/dev/pts/8");
}

// Two adapters seen through a fake /dev (with by-id links) and a fake sysfs:
// one with a by-id name, one known only by its USB attributes.
TEST(PortList, PortsKeepTheirIdentityWhenTheirNumbersMove) {
    test::TempDir dev;
    test::TempDir sys;
    std::ofstream(dev / "ttyUSB0") << "";
    std::ofstream(dev / "ttyUSB1") << "";
    fs::create_directories(dev / "serial/by-id");
    const std::string ftdi = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    fs::create_symlink("../../ttyUSB1", dev / "serial/by-id" / ftdi);
    const fs::path usb = sys / "devices/usb1/1-2";
    fs::create_directories(usb / "1-2:1.0/ttyUSB0");
    for (auto [name, value] : {std::pair{"idVendor", "1a86"},
                               {"idProduct", "7523"},
                               {"manufacturer", "QinHeng"},
                               {"product", "USB Serial"}})
        std::ofstream(usb / name) << value << "\n";
    fs::create_directories(sys / "ttyUSB0");
    fs::create_symlink(usb / "1-2:1.0/ttyUSB0", sys / "ttyUSB0/device");

    PortList list = PortList::Scan(dev.path().string(), sys.path().string());
    EXPECT_EQ(list.Label(0),
              "COM1  " + (dev / "ttyUSB0").string() + "  USB 1a86:7523 QinHeng USB Serial");
    EXPECT_EQ(list.Identity(0).key, "usb-1a86:7523-@1-2");
    EXPECT_EQ(list.Label(1), "COM2  " + (dev / "ttyUSB1").string() + "  " + ftdi);
    EXPECT_EQ(list.Identity(1).key, ftdi);

    // The chosen FTDI adapter is followed to its new number, and once it is
    // gone nothing else is used in its place.
    fs::remove(dev / "ttyUSB0");
    list.Rescan();
    PortAddress address = list.AddressFor(1, ftdi);
    EXPECT_EQ(address.path, (dev / "ttyUSB1").string());
    EXPECT_EQ(address.number, 1);
    fs::remove(dev / "serial/by-id" / ftdi);
    std::ofstream(dev / "ttyUSB0") << "";
    list.Rescan();
    address = list.AddressFor(1, ftdi);
    EXPECT_EQ(address.path, "");
    EXPECT_NE(address.missing.find(ftdi), std::string::npos) << address.missing;
    EXPECT_EQ(list.AddressFor(1, "").path, (dev / "ttyUSB1").string()) << "no choice: by number";
}

}  // namespace
}  // namespace velsend::burner

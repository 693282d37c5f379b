#include "core/burner/port_list.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "base/platform/environment.h"
#include "base/platform/serial_device.h"

namespace velsend::burner {
namespace {

namespace fs = std::filesystem;

// "ttyUSB12" with prefix "ttyUSB" gives 12; -1 when the name is not of that form.
long DeviceNumber(const std::string& name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
    long n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// The kernel lists ttyS0..ttyS31 whether or not a UART sits behind them;
// its "type" attribute is 0 for the empty ones.
bool UartPresent(const std::string& sysTtyDir, const std::string& name) {
    std::ifstream in(fs::path(sysTtyDir) / name / "type");
    int type = 0;
    return in && (in >> type) && type != 0;
}

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

}  // namespace

PortIdentity IdentifyPort(const std::string& devicePath, const std::string& devDir,
                          const std::string& sysTtyDir) {
    PortIdentity id;
    std::error_code ec;
    const fs::path device = fs::weakly_canonical(devicePath, ec);
    // The by-id links are made by udev from the adapter's own descriptors.
    for (const auto& entry : fs::directory_iterator(fs::path(devDir) / "serial" / "by-id", ec)) {
        std::error_code linkEc;
        if (fs::weakly_canonical(entry.path(), linkEc) == device && !linkEc) {
            id.byId = entry.path().filename().string();
            break;
        }
    }
    // A USB adapter's tty sits a few folders below the USB device that
    // carries idVendor, idProduct and serial.
    fs::path at =
        fs::weakly_canonical(fs::path(sysTtyDir) / fs::path(devicePath).filename() / "device", ec);
    std::string vendor, product, serial, usbPath;
    for (int up = 0; up < 4 && !ec && !at.empty() && at != at.root_path();
         ++up, at = at.parent_path()) {
        std::error_code e;
        if (!fs::exists(at / "idVendor", e)) continue;
        vendor = ReadLine(at / "idVendor");
        product = ReadLine(at / "idProduct");
        serial = ReadLine(at / "serial");
        usbPath = at.filename().string();
        id.usb = "USB " + vendor + ":" + product;
        for (const char* name : {"manufacturer", "product"}) {
            const std::string text = ReadLine(at / name);
            if (!text.empty()) id.usb += " " + text;
        }
        if (!serial.empty()) id.usb += " 序列号 " + serial;
        break;
    }
    if (!id.byId.empty()) {
        id.key = id.byId;
    } else if (!vendor.empty()) {
        // Without a serial, the socket the adapter is plugged into tells it apart.
        id.key = "usb-" + vendor + ":" + product + "-" + (serial.empty() ? "@" + usbPath : serial);
    } else {
        id.key = devicePath;
    }
    return id;
}

PortList PortList::FromEnvironment() {
    const std::string ports = platform::PortsSetting();
    if (!ports.empty()) return FromSpec(ports);
    if (auto named = platform::NamedSerialPorts()) return FromNames(std::move(*named));
    return Scan(platform::DeviceFolder(), platform::TtyClassFolder());
}

PortList PortList::FromSpec(std::string_view colonSeparated) {
    PortList list;
    int index = 0;
    std::size_t start = 0;
    while (index < kCount && start <= colonSeparated.size()) {
        const std::size_t end = std::min(colonSeparated.find(':', start), colonSeparated.size());
        const auto i = static_cast<std::size_t>(index++);
        list.paths_[i] = std::string(colonSeparated.substr(start, end - start));
        if (!list.paths_[i].empty())
            list.identities_[i] =
                IdentifyPort(list.paths_[i], platform::DeviceFolder(), platform::TtyClassFolder());
        start = end + 1;
    }
    return list;
}

PortList PortList::Scan(const std::string& devDir, const std::string& sysTtyDir) {
    const std::array<std::string_view, 3> prefixes{"ttyUSB", "ttyACM", "ttyS"};
    std::vector<std::pair<std::pair<std::size_t, long>, std::string>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(devDir, ec)) {
        const std::string name = entry.path().filename().string();
        for (std::size_t p = 0; p < prefixes.size(); ++p) {
            const long n = DeviceNumber(name, prefixes[p]);
            if (n < 0) continue;
            if (prefixes[p] == "ttyS" && !UartPresent(sysTtyDir, name)) break;
            found.push_back({{p, n}, entry.path().string()});
            break;
        }
    }
    std::sort(found.begin(), found.end());
    PortList list;
    for (std::size_t i = 0; i < found.size() && i < kCount; ++i) {
        list.paths_[i] = found[i].second;
        list.identities_[i] = IdentifyPort(found[i].second, devDir, sysTtyDir);
    }
    list.scanned_ = true;
    list.devDir_ = devDir;
    list.sysTtyDir_ = sysTtyDir;
    return list;
}

PortList PortList::FromNames(std::vector<std::string> names) {
    auto number = [](const std::string& name) { return DeviceNumber(name, "COM"); };
    std::sort(names.begin(), names.end(), [&number](const std::string& a, const std::string& b) {
        return number(a) < number(b);
    });
    PortList list;
    std::vector<std::string> higher;
    for (const std::string& name : names) {
        const long n = number(name);
        if (n >= 1 && n <= kCount)
            list.paths_[static_cast<std::size_t>(n - 1)] = name;
        else if (n > kCount)
            higher.push_back(name);
    }
    auto next = higher.begin();
    for (std::size_t i = 0; i < list.paths_.size() && next != higher.end(); ++i)
        if (list.paths_[i].empty()) list.paths_[i] = *next++;
    for (std::size_t i = 0; i < list.paths_.size(); ++i)
        if (!list.paths_[i].empty()) list.identities_[i].key = list.paths_[i];
    list.named_ = true;
    return list;
}

void PortList::Rescan() {
    if (scanned_)
        *this = Scan(devDir_, sysTtyDir_);
    else if (named_)
        if (auto named = platform::NamedSerialPorts()) *this = FromNames(std::move(*named));
}

PortAddress PortList::Address(int index) const {
    if (index < 0 || index >= kCount) return {index + 1, {}};
    return {index + 1, paths_[static_cast<std::size_t>(index)]};
}

const std::string& PortList::Path(int index) const {
    static const std::string none;
    if (index < 0 || index >= kCount) return none;
    return paths_[static_cast<std::size_t>(index)];
}

void PortList::SetPath(int index, std::string path) {
    if (index < 0 || index >= kCount) return;
    identities_[static_cast<std::size_t>(index)] =
        path.empty() ? PortIdentity{}
                     : IdentifyPort(path, platform::DeviceFolder(), platform::TtyClassFolder());
    paths_[static_cast<std::size_t>(index)] = std::move(path);
    scanned_ = false;
}

const PortIdentity& PortList::Identity(int index) const {
    static const PortIdentity none;
    if (index < 0 || index >= kCount) return none;
    return identities_[static_cast<std::size_t>(index)];
}

int PortList::Find(const std::string& key) const {
    for (int i = 0; i < kCount; ++i) {
        if (!Path(i).empty() && Identity(i).key == key) return i;
    }
    return -1;
}

PortAddress PortList::AddressFor(int index, const std::string& identityKey) const {
    if (identityKey.empty()) return Address(index);
    if (const int now = Find(identityKey); now >= 0) return Address(now);
    return {index + 1,
            {},
            "所选的串口 " + identityKey +
                " 现在不在本机（已拔出？）。没有改用其他串口：请插回它，"
                "或在“数据传送规则设置”中点“刷新”后重新选择。"};
}

std::string PortList::Label(int index) const {
    std::string label = "COM" + std::to_string(index + 1);
    if (Path(index).empty()) return label;
    label += "  " + Path(index);
    const PortIdentity& id = Identity(index);
    if (!id.byId.empty())
        label += "  " + id.byId;
    else if (!id.usb.empty())
        label += "  " + id.usb;
    return label;
}

}  // namespace velsend::burner

#include "core/burner/port_list.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

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

}  // namespace

PortList PortList::FromEnvironment() {
    const char* env = std::getenv("VELSEND_PORTS");
    if (env != nullptr && *env != '\0') return FromSpec(env);
    return Scan();
}

PortList PortList::FromSpec(std::string_view colonSeparated) {
    PortList list;
    int index = 0;
    std::size_t start = 0;
    while (index < kCount && start <= colonSeparated.size()) {
        const std::size_t end = std::min(colonSeparated.find(':', start), colonSeparated.size());
        list.paths_[static_cast<std::size_t>(index++)] =
            std::string(colonSeparated.substr(start, end - start));
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
    for (std::size_t i = 0; i < found.size() && i < kCount; ++i) list.paths_[i] = found[i].second;
    list.scanned_ = true;
    list.devDir_ = devDir;
    list.sysTtyDir_ = sysTtyDir;
    return list;
}

void PortList::Rescan() {
    if (scanned_) *this = Scan(devDir_, sysTtyDir_);
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
    paths_[static_cast<std::size_t>(index)] = std::move(path);
    scanned_ = false;
}

std::string PortList::Label(int index) const {
    std::string label = "COM" + std::to_string(index + 1);
    if (!Path(index).empty()) label += "  " + Path(index);
    return label;
}

}  // namespace velsend::burner

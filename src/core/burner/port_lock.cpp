#include "core/burner/port_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

namespace velsend::burner {
namespace {

namespace fs = std::filesystem;

// Claims per lock file within this process.
std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}
std::map<fs::path, int>& Registry() {
    static std::map<fs::path, int> claims;
    return claims;
}

// The pid written in a lock file; 0 when the file holds none (empty,
// unreadable, or not a number).
pid_t LockOwner(const fs::path& file) {
    std::ifstream in(file);
    long pid = 0;
    if (!(in >> pid) || pid <= 0) return 0;
    return static_cast<pid_t>(pid);
}

bool Alive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

std::string Holder(pid_t pid) {
    std::string text = "进程 " + std::to_string(pid);
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (std::getline(comm, name) && !name.empty()) text += "（" + name + "）";
    return text;
}

}  // namespace

fs::path PortLockFolder() {
    const char* env = std::getenv("VELSEND_LOCK_DIR");
    return env != nullptr && *env != '\0' ? fs::path(env) : fs::path("/run/lock");
}

std::string PortLockName(const std::string& devicePath) {
    std::error_code ec;
    fs::path device = fs::canonical(devicePath, ec);
    if (ec) device = fs::path(devicePath).lexically_normal();
    // /dev/pts/3 becomes pts_3: the lock folder is flat.
    std::string name = device.lexically_relative("/dev").string();
    if (name.empty() || name.starts_with("..")) name = device.filename().string();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return "LCK.." + name;
}

PortReservation PortReservation::Take(const std::string& devicePath) {
    PortReservation r;
    if (devicePath.empty()) return r;
    const fs::path folder = PortLockFolder();
    const fs::path file = folder / PortLockName(devicePath);

    std::lock_guard lock(RegistryMutex());
    if (auto it = Registry().find(file); it != Registry().end()) {
        ++it->second;
        r.state_ = State::Held;
        r.file_ = file;
        return r;
    }

    char content[16];
    std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(::getpid()));
    const fs::path temp = folder / (file.filename().string() + ".tmp" + std::to_string(::getpid()));
    // Two rounds: a stale lock found in the first is removed and taken in the second.
    for (int round = 0; round < 2; ++round) {
        const pid_t owner = LockOwner(file);
        if (owner != 0 && owner != ::getpid() && Alive(owner)) {
            r.state_ = State::Busy;
            r.note_ = Holder(owner) + " 占用（锁文件 " + file.string() + "）";
            return r;
        }
        std::error_code ec;
        if (fs::exists(file, ec)) {
            // Left by a process that is gone, or by this one without a claim.
            if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
                r.state_ = State::Unlocked;
                r.note_ = "无法删除过期的锁文件 " + file.string() + "：" + std::strerror(errno);
                return r;
            }
        }
        // Written whole beside the lock and linked into place, so that no
        // reader ever sees a lock file without its pid.
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            r.state_ = State::Unlocked;
            r.note_ = "无法在 " + folder.string() + " 建立串口锁文件：" + std::strerror(errno);
            return r;
        }
        const auto length = static_cast<ssize_t>(std::strlen(content));
        const bool written = ::write(fd, content, static_cast<std::size_t>(length)) == length;
        const int writeError = errno;
        ::close(fd);
        if (!written) {
            ::unlink(temp.c_str());
            r.state_ = State::Unlocked;
            r.note_ = "无法写入串口锁文件 " + temp.string() + "：" + std::strerror(writeError);
            return r;
        }
        const int linked = ::link(temp.c_str(), file.c_str());
        const int linkError = errno;
        ::unlink(temp.c_str());
        if (linked == 0) {
            Registry()[file] = 1;
            r.state_ = State::Held;
            r.file_ = file;
            return r;
        }
        if (linkError != EEXIST) {
            r.state_ = State::Unlocked;
            r.note_ = "无法建立串口锁文件 " + file.string() + "：" + std::strerror(linkError);
            return r;
        }
        // Another program took it between our look and our link: look again.
    }
    const pid_t owner = LockOwner(file);
    r.state_ = State::Busy;
    r.note_ = (owner != 0 ? Holder(owner) : std::string("另一个程序")) + " 占用（锁文件 " +
              file.string() + "）";
    return r;
}

PortReservation::~PortReservation() {
    Release();
}

PortReservation::PortReservation(PortReservation&& other) noexcept
    : state_(other.state_), note_(std::move(other.note_)), file_(std::move(other.file_)) {
    other.state_ = State::None;
    other.file_.clear();
}

PortReservation& PortReservation::operator=(PortReservation&& other) noexcept {
    if (this != &other) {
        Release();
        state_ = other.state_;
        note_ = std::move(other.note_);
        file_ = std::move(other.file_);
        other.state_ = State::None;
        other.file_.clear();
    }
    return *this;
}

void PortReservation::Release() {
    if (state_ == State::Held && !file_.empty()) {
        std::lock_guard lock(RegistryMutex());
        auto it = Registry().find(file_);
        if (it != Registry().end() && --it->second == 0) {
            Registry().erase(it);
            // Only our own lock is removed: someone may have broken and retaken it.
            if (LockOwner(file_) == ::getpid()) ::unlink(file_.c_str());
        }
    }
    state_ = State::None;
    note_.clear();
    file_.clear();
}

}  // namespace velsend::burner

#include "core/burner/port_lock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "base/platform/environment.h"
#include "base/platform/files.h"
#include "base/platform/serial_device.h"
#include "base/platform/system.h"

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
std::int64_t LockOwner(const fs::path& file) {
    // Read without blocking: the lock folder is world-writable, and anyone
    // may plant a FIFO under a lock file's name.
    std::string text;
    if (platform::ReadSmallFile(file, text, 64) != 0) return 0;
    const long pid = std::strtol(text.c_str(), nullptr, 10);
    return pid > 0 ? pid : 0;
}

std::string Holder(std::int64_t pid) {
    std::string text = "进程 " + std::to_string(pid);
    const std::string name = platform::ProcessName(pid);
    if (!name.empty()) text += "（" + name + "）";
    return text;
}

}  // namespace

fs::path PortLockFolder() {
    return platform::PortLockFolder();
}

std::string PortLockName(const std::string& devicePath) {
    std::error_code ec;
    fs::path device = fs::canonical(devicePath, ec);
    if (ec) device = fs::path(devicePath).lexically_normal();
    // /dev/pts/3 becomes pts_3: the lock folder is flat.
    std::string name = device.lexically_relative(platform::SystemDeviceFolder()).string();
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
    const std::int64_t self = platform::ProcessId();
    std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(self));
    const fs::path temp = folder / (file.filename().string() + ".tmp" + std::to_string(self));
    // Two rounds: a stale lock found in the first is removed and taken in the second.
    for (int round = 0; round < 2; ++round) {
        if (const platform::PathKind kind = platform::KindOfName(file);
            kind == platform::PathKind::Folder || kind == platform::PathKind::Other) {
            r.state_ = State::Busy;
            r.note_ = "锁文件 " + file.string() + " 不是普通文件";
            return r;
        }
        const std::int64_t owner = LockOwner(file);
        if (owner != 0 && owner != self && platform::ProcessAlive(owner)) {
            r.state_ = State::Busy;
            r.note_ = Holder(owner) + " 占用（锁文件 " + file.string() + "）";
            return r;
        }
        std::error_code ec;
        if (fs::exists(file, ec)) {
            // Left by a process that is gone, or by this one without a claim.
            if (const int error = platform::RemoveFile(file);
                error != 0 && !platform::IsNotFoundError(error)) {
                r.state_ = State::Unlocked;
                r.note_ =
                    "无法删除过期的锁文件 " + file.string() + "：" + platform::ErrorText(error);
                return r;
            }
        }
        // Written whole beside the lock and linked into place, so that no
        // reader ever sees a lock file without its pid.
        bool created = false;
        if (const int error = platform::WriteSmallFile(temp, content, created); error != 0) {
            if (created) (void)platform::RemoveFile(temp);
            r.state_ = State::Unlocked;
            r.note_ =
                created ? "无法写入串口锁文件 " + temp.string() + "：" + platform::ErrorText(error)
                        : "无法在 " + folder.string() + " 建立串口锁文件：" +
                              platform::ErrorText(error);
            return r;
        }
        const int linkError = platform::LinkNew(temp, file);
        (void)platform::RemoveFile(temp);
        if (linkError == 0) {
            Registry()[file] = 1;
            r.state_ = State::Held;
            r.file_ = file;
            return r;
        }
        if (!platform::IsExistsError(linkError)) {
            r.state_ = State::Unlocked;
            r.note_ = "无法建立串口锁文件 " + file.string() + "：" + platform::ErrorText(linkError);
            return r;
        }
        // Another program took it between our look and our link: look again.
    }
    const std::int64_t owner = LockOwner(file);
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
            if (LockOwner(file_) == platform::ProcessId()) (void)platform::RemoveFile(file_);
        }
    }
    state_ = State::None;
    note_.clear();
    file_.clear();
}

}  // namespace velsend::burner

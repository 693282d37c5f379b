#include "base/project_lock.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "base/file_write.h"
#include "base/platform/environment.h"
#include "base/platform/files.h"
#include "base/platform/system.h"

namespace velsend::base {
namespace {

namespace fs = std::filesystem;

struct Held {
    std::unique_ptr<platform::LockFile> file;
    int count = 0;
    bool shared = false;  // a reader's
};

std::recursive_mutex gMutex;
std::map<std::string, Held> gHeld;
std::string gGuarded;

std::string KeyOf(const fs::path& folder) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(folder.empty() ? fs::path(".") : folder, ec);
    if (ec) canonical = fs::absolute(folder, ec);
    // UTF-8 both ways: Windows reads a narrow path in the ANSI code page,
    // which cannot hold a Chinese folder name.
    return platform::PathToUtf8(canonical.lexically_normal());
}

// "velsend-cli（进程 1234）" from the lock file, or a plain word when the
// holder has not written its name yet.
std::string HolderOf(const platform::LockFile& file) {
    std::string line = file.ReadText();
    if (line.empty()) return "另一个程序";
    line = line.substr(0, line.find('\n'));
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return "另一个程序";
    return line.substr(tab + 1) + "（进程 " + line.substr(0, tab) + "）";
}

// The held lock files' paths, where a signal handler can read them: fixed
// buffers, a slot in use while its flag is set.
constexpr int kMaxHeldFiles = 8;
char gHeldFiles[kMaxHeldFiles][4096];
std::atomic<bool> gHeldSlot[kMaxHeldFiles];

void NoteHeldFile(const std::string& path) {
    if (path.size() >= sizeof gHeldFiles[0]) return;
    for (int i = 0; i < kMaxHeldFiles; ++i) {
        if (gHeldSlot[i].load()) continue;
        std::memcpy(gHeldFiles[i], path.c_str(), path.size() + 1);
        gHeldSlot[i].store(true);
        return;
    }
}

void ForgetHeldFile(const std::string& path) {
    for (int i = 0; i < kMaxHeldFiles; ++i)
        if (gHeldSlot[i].load() && path == gHeldFiles[i]) gHeldSlot[i].store(false);
}

Error LockRefused(const fs::path& file, int error) {
    const std::string reason = error == EINVAL ? "不是普通文件" : platform::ErrorText(error);
    return Error{"无法锁定工程文件夹：锁文件“" + platform::PathToUtf8(file) + "”" + reason +
                     "。为免丢失别人的改动，没有写入任何文件。",
                 reason, error};
}

}  // namespace

void RemoveHeldLockFiles() noexcept {
    for (int i = 0; i < kMaxHeldFiles; ++i)
        if (gHeldSlot[i].load()) platform::RemoveFileNow(gHeldFiles[i]);
}

std::chrono::milliseconds ProjectLock::DefaultWait() {
    return platform::ProjectLockWaitSetting().value_or(std::chrono::milliseconds(3000));
}

namespace {

// Opens `file` and locks it (shared or not) until `deadline`. False: nothing
// to lock (see Acquire, AcquireShared); else the lock, or the refusal.
Result<bool> TakeLock(platform::LockFile& lockFile, const fs::path& file,
                      std::chrono::steady_clock::time_point deadline, bool shared) {
    for (;;) {
        if (const int error = lockFile.Open(file); error != 0) {
            // Nothing is written on a read-only medium, so nothing needs the
            // lock; nor in a folder not made yet (a new project's), nothing to
            // lose. A reader that cannot make the lock file reads without it.
            if (shared || platform::IsReadOnlyMediumError(error) ||
                (platform::IsNotFoundError(error) &&
                 platform::KindOf(file.parent_path()) == platform::PathKind::Missing))
                return false;
            return LockRefused(file, error);
        }
        auto attempt = [&lockFile, shared] {
            return shared ? lockFile.TryLockShared() : lockFile.TryLock();
        };
        for (int error = attempt(); error != 0; error = attempt()) {
            if (error != EWOULDBLOCK && error != EINTR) {
                lockFile.Close();
                if (shared) return false;
                return LockRefused(file, error);
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                const std::string holder = HolderOf(lockFile);
                lockFile.Close();
                return Error{"工程文件夹正被另一个程序使用：" + holder + "。请等它结束后再试。",
                             platform::PathToUtf8(file), EWOULDBLOCK};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // The holder before us removes the file as it lets go: a lock on a
        // file no longer under the name locks nothing, so open it again.
        if (lockFile.IsStillNamed(file)) return true;
        lockFile.Close();
    }
}

}  // namespace

Result<ProjectLock> ProjectLock::Acquire(const fs::path& folder, std::chrono::milliseconds wait) {
    return Take(folder, wait, false);
}

Result<ProjectLock> ProjectLock::AcquireShared(const fs::path& folder,
                                               std::chrono::milliseconds wait) {
    return Take(folder, wait, true);
}

Result<ProjectLock> ProjectLock::Take(const fs::path& folder, std::chrono::milliseconds wait,
                                      bool shared) {
    const std::string key = KeyOf(folder);
    std::lock_guard lock(gMutex);
    const fs::path file = platform::PathFromUtf8(key) / kFileName;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    const std::string holderText =
        std::to_string(platform::ProcessId()) + "\t" + platform::ProgramName() + "\n";
    if (auto it = gHeld.find(key); it != gHeld.end()) {
        if (!shared && it->second.shared) {
            // A reader that comes to write: readers elsewhere finish first.
            it->second.file->Unlock();
            auto taken = TakeLock(*it->second.file, file, deadline, false);
            if (!taken) return taken.error();
            if (*taken) {
                it->second.shared = false;
                it->second.file->WriteText(holderText);
                NoteHeldFile(platform::PathToUtf8(file));
            }
        }
        ++it->second.count;
        return ProjectLock(key);
    }
    auto lockFile = std::make_unique<platform::LockFile>();
    auto taken = TakeLock(*lockFile, file, deadline, shared);
    if (!taken) return taken.error();
    if (!*taken) return ProjectLock(std::string());
    lockFile->WriteText(holderText);
    gHeld[key] = Held{std::move(lockFile), 1, shared};
    // A reader's lock file stays while other readers may hold it.
    if (!shared) NoteHeldFile(platform::PathToUtf8(file));
    ProjectLock held(key);
    if (shared) return held;
    if (auto recovered = RecoverFolder(platform::PathFromUtf8(key)); !recovered)
        return recovered.error();
    return held;
}

ProjectLock::~ProjectLock() {
    if (key_.empty()) return;
    std::lock_guard lock(gMutex);
    auto it = gHeld.find(key_);
    if (it == gHeld.end() || --it->second.count > 0) return;
    // Removed while still held, so the folder keeps no trace of the lock; a
    // reader's only when no other reader holds it.
    const fs::path file = platform::PathFromUtf8(key_) / kFileName;
    ForgetHeldFile(platform::PathToUtf8(file));
    bool alone = !it->second.shared;
    if (!alone) {
        it->second.file->Unlock();
        alone = it->second.file->TryLock() == 0 && it->second.file->IsStillNamed(file);
    }
    if (alone) (void)platform::RemoveFile(file);
    it->second.file->Close();
    gHeld.erase(it);
}

void ProjectLock::GuardWritesTo(const fs::path& folder) {
    std::lock_guard lock(gMutex);
    gGuarded = KeyOf(folder);
}

ProjectWriteGuard::ProjectWriteGuard(const fs::path& folder) {
    {
        std::lock_guard lock(gMutex);
        if (gGuarded.empty()) return;
    }
    const std::string key = KeyOf(folder);
    std::lock_guard lock(gMutex);
    if (key != gGuarded) return;
    auto taken = ProjectLock::Acquire(folder, ProjectLock::DefaultWait());
    if (taken)
        lock_.emplace(std::move(*taken));
    else
        error_ = taken.error();
}

Result<> OpenProjectFolder(const fs::path& folder) {
    std::error_code ec;
    if (platform::KindOfName(folder / kJournalName) != platform::PathKind::Missing) {
        // A commit under way (its writer holds the lock: wait for it) or cut
        // short (nobody holds it: complete it).
        auto lock = ProjectLock::Acquire(folder, ProjectLock::DefaultWait());
        if (!lock) return lock.error();
        // Still there: a read-only medium, where it cannot be completed. Its
        // files are part old, part new; reading them would show (or send) a
        // project that never was.
        if (platform::KindOfName(folder / kJournalName) != platform::PathKind::Missing)
            return Error{
                "工程文件夹中有一次没有完成的改动，在这个只读的位置无法完成，"
                "读出的数据会新旧混杂。请把文件夹放到可写的位置（例如复制到本机）"
                "再打开，改动会自动完成。",
                platform::PathToUtf8(folder / kJournalName), EROFS};
        return Ok();
    }
    // Temporary files a killed writer left: removed when nobody writes now.
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!IsStagedFileName(platform::PathToUtf8(it->path().filename()))) continue;
        (void)ProjectLock::Acquire(folder, std::chrono::milliseconds(0));
        break;
    }
    return Ok();
}

}  // namespace velsend::base

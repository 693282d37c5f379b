#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace velsend::base {

// One writer per project folder: an advisory lock (flock) on the file
// ".velsend-lock" in the folder, which also names the holder (process id and
// program) for the message a second writer gets. The holder removes the file
// as it lets go, so a folder nobody writes holds no lock file. Re-entrant within a process:
// a command that holds it may write through code that takes it again.
//
// Taking the lock completes a commit another program left unfinished
// (RecoverFolder). Only a read-only medium, where nothing can be written, is
// not locked; any other lock file that cannot be opened and locked (a folder,
// a symbolic link, another user's private file) refuses, naming it.
class ProjectLock {
  public:
    static constexpr std::string_view kFileName = ".velsend-lock";

    // Waits up to `wait` for another program to let go; then the error names it:
    // "工程文件夹正被另一个程序使用：velsend-cli（进程 1234）。…".
    [[nodiscard]] static Result<ProjectLock> Acquire(const std::filesystem::path& folder,
                                                     std::chrono::milliseconds wait);
    // For a command that only reads: shared with other readers, it keeps
    // writers (and so their commits) out until the command has read all. A
    // reader that cannot make the lock file (a folder it may not write)
    // reads without it. A write from within it waits for the other readers.
    [[nodiscard]] static Result<ProjectLock> AcquireShared(const std::filesystem::path& folder,
                                                           std::chrono::milliseconds wait);
    // How long a writer waits: 3 s, or VELSEND_LOCK_WAIT_MS.
    static std::chrono::milliseconds DefaultWait();

    ProjectLock(ProjectLock&& other) noexcept : key_(std::move(other.key_)) { other.key_.clear(); }
    ProjectLock& operator=(ProjectLock&&) = delete;
    ProjectLock(const ProjectLock&) = delete;
    ~ProjectLock();

    // From now on every write of this process into `folder` (the project the
    // GUI has open) holds the lock while it runs.
    static void GuardWritesTo(const std::filesystem::path& folder);

  private:
    static Result<ProjectLock> Take(const std::filesystem::path& folder,
                                    std::chrono::milliseconds wait, bool shared);
    explicit ProjectLock(std::string key) : key_(std::move(key)) {}
    std::string key_;  // empty: nothing held
};

// The lock for one write, when the write goes into the guarded folder.
class ProjectWriteGuard {
  public:
    explicit ProjectWriteGuard(const std::filesystem::path& folder);
    explicit operator bool() const { return !error_; }
    const Error& error() const { return *error_; }

  private:
    std::optional<ProjectLock> lock_;
    std::optional<Error> error_;
};

// Removes the lock files this process holds, so that a command stopped by a
// signal leaves none behind. Safe to call from a signal handler.
void RemoveHeldLockFiles() noexcept;

// Opening a folder to read it: a commit left unfinished there is completed
// first, and one under way waited for (taking the lock for it); temporary
// files of writers that were killed are removed when no writer is at work.
[[nodiscard]] Result<> OpenProjectFolder(const std::filesystem::path& folder);

}  // namespace velsend::base

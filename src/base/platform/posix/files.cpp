#include "base/platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/platform/posix/write_all.h"

namespace velsend::platform {

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path) {
    // Non-blocking, so that a FIFO or device in the file's place cannot hang us.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        error_ = errno;
        ::close(fd_);
        fd_ = -1;
        return;
    }
    kind_ = S_ISREG(st.st_mode) ? Kind::Regular : S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
    size_ = static_cast<std::uint64_t>(st.st_size);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool ReadOnlyFile::IsOpen() const {
    return fd_ >= 0;
}

std::size_t ReadOnlyFile::Read(std::uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < count) {
        const ssize_t n = ::read(fd_, buffer + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error_ = errno;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t ReadOnlyFile::ReadAt(std::uint8_t* buffer, std::size_t count, std::uint64_t offset) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < count) {
        const ssize_t n =
            ::pread(fd_, buffer + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error_ = errno;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool IsWritableFile(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return (st.st_mode & S_IWUSR) != 0 && ::access(path.c_str(), W_OK) == 0;
}

int AppendToFile(const std::filesystem::path& file, std::string_view text, bool& notRegular) {
    notRegular = false;
    const int fd =
        ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        notRegular = true;
        return 0;
    }
    const int error = WriteAll(fd, text.data(), text.size());
    ::close(fd);
    return error;
}

int WriteSmallFile(const std::filesystem::path& file, std::string_view content, bool& created) {
    created = false;
    // Never through a link planted under the name.
    const int fd = ::open(file.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) return errno;
    created = true;
    if (struct stat st{}; ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        created = false;
        return EINVAL;
    }
    const int error = WriteAll(fd, content.data(), content.size());
    ::close(fd);
    if (error == 0) NoteFileStep(FileStep::Written, file);
    return error;
}

int LinkNew(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RemoveFile(const std::filesystem::path& file) {
    return ::unlink(file.c_str()) == 0 ? 0 : errno;
}

bool IsExistsError(int error) {
    return error == EEXIST;
}

bool IsNotFoundError(int error) {
    return error == ENOENT;
}

int ReplacementFile::Create(const std::filesystem::path& target, std::string_view marker) {
    Discard();
    std::string pattern = target.string();
    pattern.append(marker).append("XXXXXX");
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) return errno;
    path_ = pattern;
    // mkstemp makes the file private; a project file should look like any
    // other saved file, or keep the mode (and group) of the one it replaces.
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
        (void)::fchown(fd_, ::geteuid() == 0 ? st.st_uid : static_cast<uid_t>(-1), st.st_gid);
    }
    (void)::fchmod(fd_, mode);
    return 0;
}

bool ReplacementFile::IsOpen() const {
    return fd_ >= 0;
}

int ReplacementFile::Write(std::span<const std::uint8_t> bytes) {
    return fd_ < 0 ? EBADF : WriteAll(fd_, bytes.data(), bytes.size());
}

int ReplacementFile::FlushToDisk() {
    if (fd_ < 0) return EBADF;
    if (::fsync(fd_) != 0) return errno;
    NoteFileStep(FileStep::FileFlushed, path_);
    return 0;
}

int ReplacementFile::FlushFileSystem() {
    if (fd_ < 0) return EBADF;
    return ::syncfs(fd_) == 0 ? 0 : errno;
}

int ReplacementFile::Close() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
}

int ReplacementFile::CloseStaged() {
    return Close();
}

int ReplacementFile::MoveOverTarget(const std::filesystem::path& target) {
    if (const int error = Close(); error != 0) return error;
    if (path_.empty()) return EBADF;
    if (::rename(path_.c_str(), target.c_str()) != 0) return errno;
    path_.clear();
    NoteFileStep(FileStep::Moved, target);
    return 0;
}

void ReplacementFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        path_.clear();
    }
}

void ReplacementFile::Release() {
    (void)Close();
    path_.clear();
}

PathKind KindOf(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    return S_ISREG(st.st_mode)   ? PathKind::Regular
           : S_ISDIR(st.st_mode) ? PathKind::Folder
                                 : PathKind::Other;
}

PathKind KindOfName(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return PathKind::Missing;
    return S_ISREG(st.st_mode)   ? PathKind::Regular
           : S_ISDIR(st.st_mode) ? PathKind::Folder
                                 : PathKind::Other;
}

int ReadSmallFile(const std::filesystem::path& file, std::string& text, std::size_t limit) {
    text.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ELOOP ? EINVAL : errno;
    struct stat st {};
    int error = ::fstat(fd, &st) != 0 ? errno : 0;
    if (error == 0 && (!S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > limit))
        error = EINVAL;
    char buffer[4096];
    while (error == 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > limit) error = EINVAL;
    }
    ::close(fd);
    return error;
}

bool IsReadOnlyMediumError(int error) {
    return error == EROFS;
}

int MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return errno;
    NoteFileStep(FileStep::Moved, to);
    return 0;
}

namespace {

// fsync (the folder's names) or syncfs (its whole file system) on `folder`.
int SyncFolder(const std::filesystem::path& folder, int (*sync)(int)) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = fd >= 0 && sync(fd) == 0;
    const int error = ok ? 0 : errno;
    if (fd >= 0) ::close(fd);
    return error;
}

}  // namespace

int FlushFolder(const std::filesystem::path& folder) {
    const int error = SyncFolder(folder, ::fsync);
    if (error == 0) NoteFileStep(FileStep::FolderFlushed, folder);
    return error;
}

void RemoveFileNow(const char* pathUtf8) noexcept {
    (void)::unlink(pathUtf8);
}

bool RemoveMarkedFiles(const char* folderUtf8, const char* marker) noexcept {
    const int fd = ::open(folderUtf8, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool removed = false;
    // getdents64 rather than opendir: readdir may allocate, which a signal
    // handler must not.
    alignas(8) char buffer[8192];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (long at = 0; at < n;) {
            // struct linux_dirent64: ino, off, reclen, type, name
            unsigned short reclen = 0;
            std::memcpy(&reclen, buffer + at + 16, sizeof reclen);
            const char* name = buffer + at + 19;
            if (std::strstr(name, marker) != nullptr && ::unlinkat(fd, name, 0) == 0)
                removed = true;
            at += reclen;
        }
    }
    ::close(fd);
    return removed;
}

int LockFile::Open(const std::filesystem::path& file) {
    Close();
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
    // Another user's lock file still locks (flock needs no write access).
    if (fd_ < 0 && errno == EACCES) fd_ = ::open(file.c_str(), O_RDONLY | kFlags);
    if (fd_ < 0) return errno;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return EINVAL;
    }
    // Readable by all whatever the umask, so that a lock file left by a
    // killed run of another user (root) never shuts the next one out.
    if (st.st_uid == ::geteuid() && (st.st_mode & 0444) != 0444)
        (void)::fchmod(fd_, (st.st_mode & 07777) | 0444);
    return 0;
}

int LockFile::TryLock() {
    if (fd_ < 0) return EBADF;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return 0;
    return errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
}

int LockFile::TryLockShared() {
    if (fd_ < 0) return EBADF;
    if (::flock(fd_, LOCK_SH | LOCK_NB) == 0) return 0;
    return errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
}

void LockFile::Unlock() {
    if (fd_ >= 0) (void)::flock(fd_, LOCK_UN);
}

bool LockFile::IsStillNamed(const std::filesystem::path& file) const {
    struct stat held {
    }, named{};
    return fd_ >= 0 && ::fstat(fd_, &held) == 0 && ::stat(file.c_str(), &named) == 0 &&
           held.st_ino == named.st_ino && held.st_dev == named.st_dev;
}

std::string LockFile::ReadText() const {
    char text[256] = {};
    const ssize_t n = fd_ < 0 ? -1 : ::pread(fd_, text, sizeof text - 1, 0);
    return n <= 0 ? std::string() : std::string(text, static_cast<std::size_t>(n));
}

void LockFile::WriteText(std::string_view text) {
    if (fd_ >= 0 && ::ftruncate(fd_, 0) == 0) (void)!::pwrite(fd_, text.data(), text.size(), 0);
}

void LockFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string ProgramName() {
    return program_invocation_short_name;
}

int FlushFileSystemOf(const std::filesystem::path& folder) {
    const int error = SyncFolder(folder, ::syncfs);
    if (error == 0) NoteFileStep(FileStep::FileSystemFlushed, folder);
    return error;
}

}  // namespace velsend::platform

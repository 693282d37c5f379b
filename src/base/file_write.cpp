#include "base/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

namespace velsend::base {
namespace {

namespace fs = std::filesystem;

// The old file's bytes; nullopt when there is no regular file to keep bytes
// of. A file that is there but cannot be read is an error: writing over it
// would drop the bytes a caller asked to keep. Reads without blocking so that
// a FIFO in the target's place cannot hang us.
Result<std::optional<std::vector<std::uint8_t>>> ReadExisting(const fs::path& target) {
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::optional<std::vector<std::uint8_t>>();
        return SystemError(WriteFailedText(target));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::optional<std::vector<std::uint8_t>>();
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return SystemError(WriteFailedText(target), error);
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return std::optional<std::vector<std::uint8_t>>(std::move(bytes));
}

// `bytes` laid over the old content at `offset`: zeros fill a gap before it,
// the old bytes beyond it stay.
std::vector<std::uint8_t> Patched(const std::optional<std::vector<std::uint8_t>>& old,
                                  std::size_t offset, std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> all = old ? *old : std::vector<std::uint8_t>();
    if (all.size() < offset + bytes.size()) all.resize(offset + bytes.size(), 0);
    std::copy(bytes.begin(), bytes.end(), all.begin() + static_cast<std::ptrdiff_t>(offset));
    return all;
}

}  // namespace

std::string WriteFailedText(const fs::path& target) {
    return "无法写入文件“" + target.filename().string() + "”。";
}

PendingFile::PendingFile(fs::path target) : target_(std::move(target)) {}

PendingFile::~PendingFile() { Discard(); }

Result<> PendingFile::Open() {
    std::string pattern = target_.string() + ".part-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) return SystemError(WriteFailedText(target_));
    temp_ = pattern;
    // mkstemp makes the file private; a project file should look like any
    // other saved file, or keep the mode of the one it replaces.
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) mode = st.st_mode & 07777;
    (void)::fchmod(fd_, mode);
    return Ok();
}

Result<> PendingFile::Append(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) return Error{WriteFailedText(target_), "not open", EBADF};
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return SystemError(WriteFailedText(target_), n == 0 ? ENOSPC : errno);
        done += static_cast<std::size_t>(n);
    }
    return Ok();
}

Result<> PendingFile::Commit() {
    if (fd_ < 0) return Error{WriteFailedText(target_), "not open", EBADF};
    if (::fsync(fd_) != 0) return SystemError(WriteFailedText(target_));
    return CommitSynced();
}

Result<> PendingFile::SyncFileSystem() {
    if (fd_ < 0) return Error{WriteFailedText(target_), "not open", EBADF};
    if (::syncfs(fd_) != 0) return SystemError(WriteFailedText(target_));
    return Ok();
}

Result<> PendingFile::Close() {
    if (fd_ < 0) return Ok();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return SystemError(WriteFailedText(target_));
    return Ok();
}

Result<> PendingFile::CommitSynced() {
    if (auto r = Close(); !r) return r;
    if (temp_.empty()) return Error{WriteFailedText(target_), "not open", EBADF};
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return SystemError(WriteFailedText(target_));
    temp_.clear();
    return Ok();
}

void PendingFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

Result<> WriteWholeFile(const fs::path& target, std::span<const std::uint8_t> bytes) {
    PendingFile file(target);
    if (auto r = file.Open(); !r) return r;
    if (auto r = file.Append(bytes); !r) return r;
    return file.Commit();
}

Result<> WriteFileAt(const fs::path& target, std::size_t offset,
                     std::span<const std::uint8_t> bytes) {
    auto old = ReadExisting(target);
    if (!old) return old.error();
    return WriteWholeFile(target, Patched(*old, offset, bytes));
}

Result<> WriteFileStart(const fs::path& target, std::span<const std::uint8_t> bytes) {
    return WriteFileAt(target, 0, bytes);
}

std::vector<Result<>> WriteEachFile(const std::vector<FileContent>& files) {
    std::vector<Result<>> results(files.size());
    std::vector<std::unique_ptr<PendingFile>> pending(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileContent& f = files[i];
        auto file = std::make_unique<PendingFile>(f.target);
        if (auto r = file->Open(); !r) {
            results[i] = r;
            continue;
        }
        Result<> r = Ok();
        if (f.keepTail) {
            const auto old = ReadExisting(f.target);
            r = old ? file->Append(Patched(*old, 0, f.bytes)) : Result<>(old.error());
        } else {
            r = file->Append(f.bytes);
        }
        if (r) r = file->Close();
        if (!r) {
            results[i] = r;
            continue;
        }
        pending[i] = std::move(file);
    }
    // One sync per folder the files go to (not one descriptor per file held
    // open: an import writes more files than a process may keep open).
    std::vector<fs::path> synced;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!pending[i]) continue;
        const fs::path folder = files[i].target.parent_path().empty()
                                    ? fs::path(".")
                                    : files[i].target.parent_path();
        if (std::find(synced.begin(), synced.end(), folder) != synced.end()) continue;
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool ok = fd >= 0 && ::syncfs(fd) == 0;
        const int error = errno;
        if (fd >= 0) ::close(fd);
        if (!ok) {
            results[i] = SystemError(WriteFailedText(files[i].target), error);
            pending[i].reset();
            continue;
        }
        synced.push_back(folder);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (pending[i]) results[i] = pending[i]->CommitSynced();
    }
    return results;
}

Result<> WriteFilesTogether(const std::vector<FileContent>& files) {
    std::vector<std::unique_ptr<PendingFile>> pending;
    std::vector<std::optional<std::vector<std::uint8_t>>> before;
    for (const FileContent& f : files) {
        auto old = ReadExisting(f.target);
        if (!old) return old.error();
        auto file = std::make_unique<PendingFile>(f.target);
        if (auto r = file->Open(); !r) return r;
        const std::vector<std::uint8_t> bytes = f.keepTail ? Patched(*old, 0, f.bytes) : f.bytes;
        if (auto r = file->Append(bytes); !r) return r;
        pending.push_back(std::move(file));
        before.push_back(std::move(*old));
    }
    // One flush for the set: a spreadsheet import writes hundreds of files,
    // and a flush per file would cost seconds on a busy disk.
    if (pending.size() > 1)
        if (auto r = pending.front()->SyncFileSystem(); !r) return r;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        auto r = pending.size() > 1 ? pending[i]->CommitSynced() : pending[i]->Commit();
        if (!r) {
            // Put back what the earlier renames replaced: the files stay a set.
            for (std::size_t j = 0; j < i; ++j) {
                if (before[j]) (void)WriteWholeFile(files[j].target, *before[j]);
                else ::unlink(files[j].target.c_str());
            }
            return r;
        }
    }
    return Ok();
}

}  // namespace velsend::base

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

// The old file's bytes, or nullopt when there is no regular file to read.
// Reads without blocking so that a FIFO in the target's place cannot hang us.
std::optional<std::vector<std::uint8_t>> ReadExisting(const fs::path& target) {
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

std::vector<std::uint8_t> WithTail(const fs::path& target, std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> all(bytes.begin(), bytes.end());
    if (const auto old = ReadExisting(target); old && old->size() > all.size())
        all.insert(all.end(), old->begin() + static_cast<std::ptrdiff_t>(all.size()), old->end());
    return all;
}

}  // namespace

std::string WriteFailedText(const fs::path& target) {
    return "写文件失败：" + target.filename().string();
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
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return SystemError(WriteFailedText(target_));
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return SystemError(WriteFailedText(target_));
    temp_.clear();
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

Result<> WriteFileStart(const fs::path& target, std::span<const std::uint8_t> bytes) {
    return WriteWholeFile(target, WithTail(target, bytes));
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
        auto r = f.keepTail ? file->Append(WithTail(f.target, f.bytes)) : file->Append(f.bytes);
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
        auto file = std::make_unique<PendingFile>(f.target);
        if (auto r = file->Open(); !r) return r;
        std::vector<std::uint8_t> bytes = f.bytes;
        if (f.keepTail && old && old->size() > bytes.size())
            bytes.insert(bytes.end(), old->begin() + static_cast<std::ptrdiff_t>(bytes.size()),
                         old->end());
        if (auto r = file->Append(bytes); !r) return r;
        pending.push_back(std::move(file));
        before.push_back(std::move(old));
    }
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (auto r = pending[i]->Commit(); !r) {
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

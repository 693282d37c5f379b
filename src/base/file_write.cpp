#include "base/file_write.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <fstream>
#include <sstream>

#include "base/project_lock.h"

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

// The transaction of the TransactionScope open in this thread.
thread_local TransactionScope* tScope = nullptr;
thread_local Transaction* tScopeTransaction = nullptr;

// The folders this process has made temporary files in, kept where a signal
// handler can read them: fixed buffers, published by a count.
constexpr int kMaxTempFolders = 16;
char gTempFolders[kMaxTempFolders][4096];
std::atomic<int> gTempFolderCount{0};
std::mutex gTempFolderMutex;

void NoteTempFolder(const fs::path& folder) {
    const std::string text = folder.empty() ? std::string(".") : folder.string();
    if (text.size() >= sizeof gTempFolders[0]) return;
    std::lock_guard lock(gTempFolderMutex);
    const int count = gTempFolderCount.load();
    for (int i = 0; i < count; ++i)
        if (text == gTempFolders[i]) return;
    if (count >= kMaxTempFolders) return;
    std::memcpy(gTempFolders[count], text.c_str(), text.size() + 1);
    gTempFolderCount.store(count + 1);
}

// "…/devc5.dat.part-1234-": the temporary files of process `pid` begin so.
std::string TempMarker(long pid) { return ".part-" + std::to_string(pid) + "-"; }

// Signal-safe: digits of `value` into `out` (at least 24 bytes).
void Digits(long value, char* out) {
    char reversed[24];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 23);
    for (int i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
    out[n] = 0;
}

// Renames and removals are under way; a stop signal waits for them.
std::atomic<bool> gCommitting{false};
volatile std::sig_atomic_t gDeferredSignal = 0;

void OnWriteStopSignal(int signal) {
    if (gCommitting.load()) {
        gDeferredSignal = signal;
        return;
    }
    RemoveOwnTemporaryFiles();
    ::_exit(130);
}

// Holds SIGINT, SIGTERM and SIGHUP off for this thread while it lives; one
// that came meanwhile (here or, deferred, in another thread) is acted on at
// the end.
class HeldSignals {
  public:
    HeldSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
        ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
        gCommitting.store(true);
    }
    ~HeldSignals() {
        gCommitting.store(false);
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        if (const int deferred = gDeferredSignal; deferred != 0) {
            gDeferredSignal = 0;
            ::raise(deferred);
        }
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    sigset_t previous_{};
};

Result<> SyncFolder(const fs::path& folder, const fs::path& named, bool wholeFileSystem) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return SystemError(WriteFailedText(named));
    const bool ok = wholeFileSystem ? ::syncfs(fd) == 0 : ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!ok && error != EINVAL) return SystemError(WriteFailedText(named), error);
    return Ok();
}

fs::path FolderOf(const fs::path& target) {
    return target.parent_path().empty() ? fs::path(".") : target.parent_path();
}

// A journal line's name for `path`: bare when it lies in `folder`.
std::string JournalName(const fs::path& folder, const fs::path& path) {
    return FolderOf(path) == folder ? path.filename().string() : fs::absolute(path).string();
}

fs::path FromJournal(const fs::path& folder, const std::string& name) {
    const fs::path p(name);
    return p.is_absolute() ? p : folder / p;
}

// Test hook: a commit kills its own process after this many renames, so a
// test can see what the next program makes of the folder.
int KillAfterRenames() {
    const char* value = std::getenv("VELSEND_TEST_KILL_AFTER_RENAMES");
    return value ? std::atoi(value) : -1;
}

// Whether `target` is there and must not be replaced or removed.
std::optional<Error> RefusedTarget(const fs::path& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return std::nullopt;
    // A folder under the name cannot be renamed over: found while staging,
    // not halfway through the renames.
    if (S_ISDIR(st.st_mode)) return SystemError(WriteFailedText(target), EISDIR);
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    if ((st.st_mode & S_IWUSR) == 0) return SystemError(WriteFailedText(target), EACCES);
    if (::access(target.c_str(), W_OK) != 0) return SystemError(WriteFailedText(target));
    return std::nullopt;
}

// The new content of `f` into its staged file; a kept tail comes from the old file.
Result<> AppendContent(PendingFile& file, const FileContent& f) {
    if (!f.keepTail) return file.Append(f.bytes);
    const auto old = ReadExisting(f.target);
    return old ? file.Append(Patched(*old, 0, f.bytes)) : Result<>(old.error());
}

}  // namespace

std::string TemporaryPattern(const fs::path& folder, std::string_view stem) {
    NoteTempFolder(folder);
    return (folder / stem).string() + TempMarker(::getpid()) + "XXXXXX";
}

void RemoveOwnTemporaryFiles() noexcept {
    const int savedErrno = errno;
    char marker[48] = ".part-";
    Digits(static_cast<long>(::getpid()), marker + 6);
    const std::size_t len = std::strlen(marker);
    marker[len] = '-';
    marker[len + 1] = 0;
    const int count = gTempFolderCount.load();
    for (int i = 0; i < count; ++i) {
        // Removing entries while listing can skip some: list until a pass
        // finds nothing more.
        for (int pass = 0; pass < 4; ++pass) {
            const int fd = ::open(gTempFolders[i], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) break;
            bool removed = false;
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
            if (!removed) break;
        }
    }
    errno = savedErrno;
}

void InstallWriteSignalHandling() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
    struct sigaction stop {};
    stop.sa_handler = OnWriteStopSignal;
    sigemptyset(&stop.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &stop, nullptr);
}

std::string WriteFailedText(const fs::path& target) {
    return "无法写入文件“" + target.filename().string() + "”。";
}

PendingFile::PendingFile(fs::path target) : target_(std::move(target)) {}

PendingFile::~PendingFile() { Discard(); }

Result<> PendingFile::Open() {
    if (auto refused = RefusedTarget(target_)) return *refused;
    NoteTempFolder(FolderOf(target_));
    std::string pattern = target_.string() + TempMarker(::getpid()) + "XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) return SystemError(WriteFailedText(target_));
    temp_ = pattern;
    // mkstemp makes the file private; a project file should look like any
    // other saved file, or keep the mode (and group) of the one it replaces.
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
        (void)::fchown(fd_, ::geteuid() == 0 ? st.st_uid : static_cast<uid_t>(-1), st.st_gid);
    }
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

void PendingFile::Keep() {
    (void)Close();
    temp_.clear();
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
    if (tScopeTransaction != nullptr) {
        if (auto refused = RefusedTarget(target)) return *refused;
        tScopeTransaction->Write({target, {bytes.begin(), bytes.end()}, false});
        return Ok();
    }
    ProjectWriteGuard guard(FolderOf(target));
    if (!guard) return guard.error();
    PendingFile file(target);
    if (auto r = file.Open(); !r) return r;
    if (auto r = file.Append(bytes); !r) return r;
    return file.Commit();
}

Result<> WriteFileAt(const fs::path& target, std::size_t offset,
                     std::span<const std::uint8_t> bytes) {
    if (tScopeTransaction != nullptr)
        if (const auto* staged = tScopeTransaction->Staged(target))
            return WriteWholeFile(target, Patched(*staged, offset, bytes));
    auto old = ReadExisting(target);
    if (!old) return old.error();
    return WriteWholeFile(target, Patched(*old, offset, bytes));
}

Result<> WriteFileStart(const fs::path& target, std::span<const std::uint8_t> bytes) {
    return WriteFileAt(target, 0, bytes);
}

std::vector<Result<>> WriteEachFile(const std::vector<FileContent>& files) {
    std::vector<Result<>> results(files.size());
    if (files.empty()) return results;
    ProjectWriteGuard guard(FolderOf(files.front().target));
    if (!guard) return std::vector<Result<>>(files.size(), guard.error());
    std::vector<std::unique_ptr<PendingFile>> pending(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileContent& f = files[i];
        auto file = std::make_unique<PendingFile>(f.target);
        if (auto r = file->Open(); !r) {
            results[i] = r;
            continue;
        }
        Result<> r = AppendContent(*file, f);
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
    if (tScopeTransaction != nullptr) {
        for (const FileContent& f : files)
            if (auto r = (f.keepTail ? WriteFileStart(f.target, f.bytes) : WriteWholeFile(f.target, f.bytes)); !r)
                return r;
        return Ok();
    }
    Transaction transaction;
    for (const FileContent& f : files) transaction.Write(f);
    return transaction.Commit();
}

void Transaction::Write(FileContent file) {
    const auto [it, added] = index_.emplace(file.target.string(), writes_.size());
    if (added) writes_.push_back(std::move(file));
    else writes_[it->second] = std::move(file);
}

const std::vector<std::uint8_t>* Transaction::Staged(const fs::path& target) const {
    const auto it = index_.find(target.string());
    return it == index_.end() ? nullptr : &writes_[it->second].bytes;
}

TransactionScope::TransactionScope() {
    if (tScope == nullptr) {
        outer_ = true;
        tScope = this;
        tScopeTransaction = &transaction_;
    }
}

TransactionScope::~TransactionScope() {
    if (outer_) {
        tScope = nullptr;
        tScopeTransaction = nullptr;
    }
}

Result<> TransactionScope::Commit() {
    if (!outer_) return Ok();
    tScope = nullptr;
    tScopeTransaction = nullptr;
    outer_ = false;
    return transaction_.Commit();
}

Result<> RemoveFile(const fs::path& target) {
    if (tScopeTransaction != nullptr) {
        tScopeTransaction->Remove(target);
        return Ok();
    }
    Transaction one;
    one.Remove(target);
    return one.Commit();
}

void Transaction::Remove(fs::path target) { removals_.push_back(std::move(target)); }

Result<> Transaction::Commit() {
    if (Empty()) return Ok();
    const fs::path& first = writes_.empty() ? removals_.front() : writes_.front().target;
    const fs::path folder = FolderOf(first);
    ProjectWriteGuard guard(folder);
    if (!guard) {
        failed_ = first;
        return guard.error();
    }
    auto fail = [this](const fs::path& target, Error error) -> Result<> {
        failed_ = target;
        return error;
    };
    // A commit left unfinished goes first (a writer without the lock finds
    // it here); ours would overwrite its journal.
    if (std::error_code ec; fs::exists(folder / kJournalName, ec))
        if (auto recovered = RecoverFolder(folder); !recovered) return fail(first, recovered.error());
    // Staging: nothing in the folder changes yet.
    for (const fs::path& target : removals_)
        if (auto refused = RefusedTarget(target)) return fail(target, *refused);
    if (writes_.empty() && removals_.size() == 1) {
        if (::unlink(first.c_str()) != 0 && errno != ENOENT)
            return fail(first, SystemError("无法删除文件“" + first.filename().string() + "”。"));
        return Ok();
    }
    std::vector<std::unique_ptr<PendingFile>> pending;
    pending.reserve(writes_.size());
    for (const FileContent& f : writes_) {
        auto file = std::make_unique<PendingFile>(f.target);
        if (auto r = file->Open(); !r) return fail(f.target, r.error());
        Result<> r = AppendContent(*file, f);
        if (r && writes_.size() + removals_.size() == 1) {
            // One file: an atomic rename is the whole commit.
            r = file->Commit();
            return r ? r : fail(f.target, r.error());
        }
        if (r) r = file->Close();
        if (!r) return fail(f.target, r.error());
        pending.push_back(std::move(file));
    }

    // The journal: what the renames and removals are, then "end".
    const fs::path journal = folder / kJournalName;
    {
        std::ostringstream text;
        text << "velsend-journal 1\n";
        for (std::size_t i = 0; i < pending.size(); ++i)
            text << "W\t" << JournalName(folder, pending[i]->TempPath()) << "\t"
                 << JournalName(folder, writes_[i].target) << "\n";
        for (const fs::path& target : removals_) text << "D\t" << JournalName(folder, target) << "\n";
        text << "end\n";
        const std::string bytes = text.str();
        const int fd = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return fail(journal, SystemError(WriteFailedText(journal)));
        std::size_t done = 0;
        int error = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n == 0 ? ENOSPC : errno;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        // One flush makes the staged files and the journal durable together
        // (a journal torn by a power loss has no end line and is undone).
        if (error == 0)
            if (auto r = SyncFolder(folder, journal, true); !r) error = r.error().code;
        if (error != 0) {
            ::unlink(journal.c_str());
            return fail(journal, SystemError(WriteFailedText(journal), error));
        }
    }

    // The commit proper: from here on the journal completes it whatever happens.
    HeldSignals held;
    const int killAfter = KillAfterRenames();
    int renamed = 0;
    std::optional<Error> failed;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (renamed == killAfter) ::raise(SIGKILL);
        if (auto r = pending[i]->CommitSynced(); !r) {
            // Kept for the next program, which retries it from the journal.
            pending[i]->Keep();
            if (!failed) {
                failed_ = writes_[i].target;
                failed = r.error();
            }
        }
        ++renamed;
    }
    for (const fs::path& target : removals_) {
        if (::unlink(target.c_str()) != 0 && errno != ENOENT && !failed) {
            failed_ = target;
            failed = SystemError("无法删除文件“" + target.filename().string() + "”。");
        }
    }
    // A rename that failed is retried by the next program (the journal stays).
    if (failed) return *failed;
    // The renames are on the disk before the journal goes. Its own removal
    // needs no flush: a journal that comes back finds nothing left to do,
    // and the next commit's flush of the folder carries the removal.
    std::vector<fs::path> folders{folder};
    for (const FileContent& f : writes_)
        if (std::find(folders.begin(), folders.end(), FolderOf(f.target)) == folders.end())
            folders.push_back(FolderOf(f.target));
    for (const fs::path& each : folders)
        if (auto r = SyncFolder(each, first, false); !r) return fail(first, r.error());
    ::unlink(journal.c_str());
    return Ok();
}

Result<bool> RecoverFolder(const fs::path& folder) {
    bool changed = false;
    // Temporary files of processes that are gone; after the journal, whose
    // staged files are such files until they are renamed in.
    auto removeStale = [&folder, &changed] {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            const std::size_t at = name.rfind(".part-");
            if (at == std::string::npos) continue;
            const long pid = std::strtol(name.c_str() + at + 6, nullptr, 10);
            if (pid <= 0 || pid == ::getpid() || name.find(TempMarker(pid), at) != at) continue;
            if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
            if (::unlink(it->path().c_str()) == 0) changed = true;
        }
    };
    const fs::path journal = folder / kJournalName;
    std::ifstream in(journal);
    if (!in) {
        removeStale();
        return changed;
    }
    std::vector<std::pair<fs::path, fs::path>> renames;
    std::vector<fs::path> removals;
    bool complete = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "end") {
            complete = true;
            break;
        }
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        const std::string kind = line.substr(0, tab);
        const std::string rest = line.substr(tab + 1);
        if (kind == "D") {
            removals.push_back(FromJournal(folder, rest));
        } else if (kind == "W") {
            const std::size_t tab2 = rest.find('\t');
            if (tab2 == std::string::npos) continue;
            renames.emplace_back(FromJournal(folder, rest.substr(0, tab2)),
                                 FromJournal(folder, rest.substr(tab2 + 1)));
        }
    }
    in.close();
    HeldSignals held;
    for (const auto& [temp, target] : renames) {
        if (::access(temp.c_str(), F_OK) != 0) continue;  // already in place
        // A journal cut short was never acted on: its staged files go.
        const int r = complete ? ::rename(temp.c_str(), target.c_str()) : ::unlink(temp.c_str());
        if (r != 0) return SystemError(WriteFailedText(target));
    }
    if (complete) {
        for (const fs::path& target : removals)
            if (::unlink(target.c_str()) != 0 && errno != ENOENT)
                return SystemError("无法删除文件“" + target.filename().string() + "”。");
    }
    if (auto r = SyncFolder(folder, journal, true); !r) return r.error();
    if (::unlink(journal.c_str()) != 0) return SystemError(WriteFailedText(journal));
    (void)SyncFolder(folder, journal, false);
    removeStale();
    return true;
}

}  // namespace velsend::base

#include "base/file_write.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "base/platform/files.h"
#include "base/platform/stop_requests.h"
#include "base/platform/system.h"
#include "base/project_lock.h"

namespace velsend::base {
namespace {

namespace fs = std::filesystem;

// The old file's bytes; nullopt when there is no regular file to keep bytes
// of. A file that is there but cannot be read is an error: writing over it
// would drop the bytes a caller asked to keep. Reads without blocking so that
// a FIFO in the target's place cannot hang us.
Result<std::optional<std::vector<std::uint8_t>>> ReadExisting(const fs::path& target) {
    platform::ReadOnlyFile file(target);
    if (!file.IsOpen()) {
        const int error = file.Error();
        if (platform::IsNotFoundError(error) || error == ENOTDIR)
            return std::optional<std::vector<std::uint8_t>>();
        return SystemError(WriteFailedText(target), error);
    }
    if (file.FileKind() != platform::ReadOnlyFile::Kind::Regular)
        return std::optional<std::vector<std::uint8_t>>();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    if (file.Error() != 0) return SystemError(WriteFailedText(target), file.Error());
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

thread_local std::string tChangeText;
std::atomic<CommitRecorder*> gRecorder{nullptr};

fs::path HistoryFolderOf(const fs::path& folder) {
    return folder / kHistoryFolderName;
}

// Where a history file of a commit is staged until the commit moves it in.
fs::path StagedHistoryFile(const fs::path& folder, const std::string& name) {
    return HistoryFolderOf(folder) / (name + ".new");
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
    const std::string text = folder.empty() ? std::string(".") : platform::PathToUtf8(folder);
    if (text.size() >= sizeof gTempFolders[0]) return;
    std::lock_guard lock(gTempFolderMutex);
    const int count = gTempFolderCount.load();
    for (int i = 0; i < count; ++i)
        if (text == gTempFolders[i]) return;
    if (count >= kMaxTempFolders) return;
    std::memcpy(gTempFolders[count], text.c_str(), text.size() + 1);
    gTempFolderCount.store(count + 1);
}

// "…/devc5.dat.part-velsend-1234-": the staged files of process `pid` begin
// so, then six random letters or digits end the name. The program's name in
// the mark keeps a user's own "x.part-2024-05.zip" from ever looking like one.
constexpr std::string_view kStagedMark = ".part-velsend-";
std::string TempMarker(std::int64_t pid) {
    return std::string(kStagedMark) + std::to_string(pid) + "-";
}

// The process that staged `name`, or 0 when it is no staged name of ours:
// "<name>.part-velsend-<pid>-XXXXXX" exactly.
std::int64_t StagedOwner(std::string_view name) {
    const std::size_t at = name.rfind(kStagedMark);
    if (at == std::string_view::npos || at == 0) return 0;
    std::string_view rest = name.substr(at + kStagedMark.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash > 10 || rest.size() != dash + 7)
        return 0;
    std::int64_t pid = 0;
    for (const char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9') return 0;
        pid = pid * 10 + (c - '0');
    }
    for (const char c : rest.substr(dash + 1))
        if (!std::isalnum(static_cast<unsigned char>(c))) return 0;
    return pid;
}

// A name a journal may hold for a file to write or remove: a project file
// (data or its printed text) right in the folder. Nothing with a separator, a leading dot (".." and
// the program's own lock and journal) or a control character.
bool IsJournalTarget(std::string_view name) {
    if (name.size() <= 4 || name.front() == '.' ||
        !(name.ends_with(".dat") || name.ends_with(".txt")))
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20;
    });
}

// What a journal asks for, every name checked.
struct JournalPlan {
    std::vector<std::pair<fs::path, fs::path>> renames;  // staged file -> target
    std::vector<fs::path> removals;
    std::vector<std::string> historyFiles;  // "state" or "<digits>.step" in the history folder
    bool complete = false;                  // its end line was written
};

Error JournalRefused(const std::string& why) {
    return Error{"拒绝执行工程文件夹中的日志“" + std::string(kJournalName) +
                     "”：它不是本程序写下的日志。没有改动任何文件；请查看后删除它。",
                 why, EINVAL};
}

// Reads the journal of `folder`; nullopt when there is none. A journal that
// is no regular file or names anything but files of this folder by the
// names this program writes is refused: a folder may come from anyone.
Result<std::optional<JournalPlan>> ReadJournal(const fs::path& folder) {
    const fs::path journal = folder / kJournalName;
    std::string text;
    const int error = platform::ReadSmallFile(journal, text, 1 << 20);
    if (platform::IsNotFoundError(error)) return std::optional<JournalPlan>();
    if (error == EINVAL) return JournalRefused("not a regular file of at most 1 MiB");
    if (error != 0) return SystemError("无法读取文件“" + std::string(kJournalName) + "”。", error);
    constexpr std::string_view kHeader = "velsend-journal 1\n";
    if (!text.starts_with(kHeader)) return JournalRefused("no journal header");
    JournalPlan plan;
    for (std::size_t at = kHeader.size(); at < text.size();) {
        const std::size_t end = text.find('\n', at);
        // A last line without its newline was cut short with the journal: undone below.
        if (end == std::string::npos) break;
        const std::string_view line = std::string_view(text).substr(at, end - at);
        at = end + 1;
        if (plan.complete) return JournalRefused("text after the end line");
        if (line == "end") {
            plan.complete = true;
            continue;
        }
        const std::size_t tab = line.find('\t');
        const std::string_view kind = line.substr(0, tab);
        const std::string_view rest = tab == std::string_view::npos ? "" : line.substr(tab + 1);
        const std::size_t tab2 = rest.find('\t');
        if (kind == "H" && IsHistoryFileName(rest)) {
            // Only the history's own names: a journal never moves anything else there.
            plan.historyFiles.emplace_back(rest);
        } else if (kind == "D" && IsJournalTarget(rest)) {
            plan.removals.push_back(folder / platform::PathFromUtf8(std::string(rest)));
        } else if (kind == "W" && tab2 != std::string_view::npos &&
                   IsJournalTarget(rest.substr(tab2 + 1)) &&
                   rest.substr(0, tab2).starts_with(std::string(rest.substr(tab2 + 1)) +
                                                    std::string(kStagedMark)) &&
                   StagedOwner(rest.substr(0, tab2)) != 0) {
            plan.renames.emplace_back(
                folder / platform::PathFromUtf8(std::string(rest.substr(0, tab2))),
                folder / platform::PathFromUtf8(std::string(rest.substr(tab2 + 1))));
        } else {
            return JournalRefused("line not allowed: " + std::string(line));
        }
    }
    // A staged file must be a plain file: a link planted under its name
    // would be moved into the project and read through.
    for (const auto& [temp, target] : plan.renames)
        if (const platform::PathKind kind = platform::KindOfName(temp);
            kind != platform::PathKind::Missing && kind != platform::PathKind::Regular)
            return JournalRefused("not a regular file: " + platform::PathToUtf8(temp.filename()));
    return std::optional<JournalPlan>(std::move(plan));
}

// Signal-safe: digits of `value` into `out` (at least 24 bytes).
void Digits(std::int64_t value, char* out) {
    char reversed[24];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 23);
    for (int i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
    out[n] = 0;
}

// How many commits are under way, or kStopping once a stop request has
// begun to remove the temporary files. One atomic, so that a stop request on
// another thread (Windows' console events always come on one) can never
// remove a staged file that a commit is about to rename.
constexpr int kStopping = 1 << 30;
std::atomic<int> gWriteState{0};
std::atomic<int> gDeferredStop{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnWriteStopRequest(int request) {
    for (;;) {
        int state = gWriteState.load();
        if ((state & kStopping) != 0) return;  // an earlier request ends the process
        if (state == 0) {
            if (!gWriteState.compare_exchange_strong(state, kStopping)) continue;
            RemoveOwnTemporaryFiles();
            RemoveHeldLockFiles();
            platform::EndProcessNow(130);
        }
        // The last commit to end repeats it; one that ended meanwhile may
        // have looked too early, so look again.
        gDeferredStop.store(request);
        if (gWriteState.load() != 0) return;
    }
}

// A commit under way: stop requests wait until it ends (held off on this
// thread, deferred on others) and are acted on then.
class HeldSignals {
  public:
    HeldSignals() {
        int state = gWriteState.load();
        do {
            // The process is being ended from another thread: go no further.
            while ((state & kStopping) != 0) std::this_thread::sleep_for(std::chrono::seconds(1));
        } while (!gWriteState.compare_exchange_weak(state, state + 1));
        held_.emplace();
    }
    ~HeldSignals() {
        held_.reset();
        if (gWriteState.fetch_sub(1) == 1)
            if (const int deferred = gDeferredStop.exchange(0); deferred != 0)
                platform::RepeatStopRequest(deferred);
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    std::optional<platform::HeldStopRequests> held_;
};

Result<> SyncFolder(const fs::path& folder, const fs::path& named, bool wholeFileSystem) {
    const int error =
        wholeFileSystem ? platform::FlushFileSystemOf(folder) : platform::FlushFolder(folder);
    // EINVAL: a file system that cannot be flushed (a pipe-backed mount).
    if (error != 0 && error != EINVAL) return SystemError(WriteFailedText(named), error);
    return Ok();
}

std::string RemoveFailedText(const fs::path& target) {
    return "无法删除文件“" + platform::PathToUtf8(target.filename()) + "”。";
}

fs::path FolderOf(const fs::path& target) {
    return target.parent_path().empty() ? fs::path(".") : target.parent_path();
}

// A journal line's name for `path`: its bare name, which must lie in `folder`.
std::string JournalName(const fs::path& path) {
    return platform::PathToUtf8(path.filename());
}

// A target the journal cannot name (another folder, no project file's name).
std::optional<fs::path> Unjournaled(const fs::path& folder, const std::vector<FileContent>& writes,
                                    const std::vector<fs::path>& removals) {
    auto fits = [&folder](const fs::path& p) {
        return FolderOf(p) == folder && IsJournalTarget(JournalName(p));
    };
    for (const FileContent& f : writes)
        if (!fits(f.target)) return f.target;
    for (const fs::path& p : removals)
        if (!fits(p)) return p;
    return std::nullopt;
}

std::atomic<CommitRenameHook> gCommitRenameHook{nullptr};

// Whether `target` is there and must not be replaced or removed.
std::optional<Error> RefusedTarget(const fs::path& target) {
    switch (platform::KindOf(target)) {
        case platform::PathKind::Missing:
        case platform::PathKind::Other:
            return std::nullopt;
        case platform::PathKind::Folder:
            // Cannot be renamed over: found while staging, not halfway
            // through the renames.
            return SystemError(WriteFailedText(target), EISDIR);
        case platform::PathKind::Regular:
            break;
    }
    if (platform::IsWritableFile(target)) return std::nullopt;
    // The owner's write bit (read-only attribute) cleared counts for root too.
    int error = EACCES;
    (void)platform::CanWrite(target, error);
    return SystemError(WriteFailedText(target), error);
}

// The new content of `f` into its staged file; a kept tail comes from the old file.
Result<> AppendContent(PendingFile& file, const FileContent& f) {
    if (!f.keepTail) return file.Append(f.bytes);
    const auto old = ReadExisting(f.target);
    return old ? file.Append(Patched(*old, 0, f.bytes)) : Result<>(old.error());
}

}  // namespace

void RemoveOwnTemporaryFiles() noexcept {
    const int savedErrno = errno;
    char marker[48] = {};
    std::memcpy(marker, kStagedMark.data(), kStagedMark.size());
    Digits(platform::ProcessId(), marker + kStagedMark.size());
    const std::size_t len = std::strlen(marker);
    marker[len] = '-';
    marker[len + 1] = 0;
    const int count = gTempFolderCount.load();
    for (int i = 0; i < count; ++i) {
        // Removing entries while listing can skip some: list until a pass
        // finds nothing more.
        for (int pass = 0; pass < 4 && platform::RemoveMarkedFiles(gTempFolders[i], marker);
             ++pass) {
        }
    }
    errno = savedErrno;
}

void InstallWriteSignalHandling() {
    platform::IgnoreFileSizeLimit();
    platform::InstallStopAction(OnWriteStopRequest);
}

std::string WriteFailedText(const fs::path& target) {
    return "无法写入文件“" + platform::PathToUtf8(target.filename()) + "”。";
}

PendingFile::PendingFile(fs::path target) : target_(std::move(target)) {}

PendingFile::~PendingFile() {
    Discard();
}

Result<> PendingFile::Open() {
    if (auto refused = RefusedTarget(target_)) return *refused;
    NoteTempFolder(FolderOf(target_));
    if (const int error = file_.Create(target_, TempMarker(platform::ProcessId())); error != 0)
        return SystemError(WriteFailedText(target_), error);
    return Ok();
}

Result<> PendingFile::Append(std::span<const std::uint8_t> bytes) {
    if (!file_.IsOpen()) return Error{WriteFailedText(target_), "not open", EBADF};
    if (const int error = file_.Write(bytes); error != 0)
        return SystemError(WriteFailedText(target_), error);
    return Ok();
}

Result<> PendingFile::Commit() {
    if (!file_.IsOpen()) return Error{WriteFailedText(target_), "not open", EBADF};
    if (const int error = file_.FlushToDisk(); error != 0)
        return SystemError(WriteFailedText(target_), error);
    return CommitSynced();
}

Result<> PendingFile::Close() {
    if (const int error = file_.CloseStaged(); error != 0)
        return SystemError(WriteFailedText(target_), error);
    return Ok();
}

Result<> PendingFile::CommitSynced() {
    if (auto r = Close(); !r) return r;
    if (file_.Path().empty()) return Error{WriteFailedText(target_), "not open", EBADF};
    if (const int error = file_.MoveOverTarget(target_); error != 0)
        return SystemError(WriteFailedText(target_), error);
    return Ok();
}

void PendingFile::Keep() {
    file_.Release();
}

void PendingFile::Discard() {
    file_.Discard();
}

Result<> WriteWholeFile(const fs::path& target, std::span<const std::uint8_t> bytes) {
    if (tScopeTransaction != nullptr) {
        if (auto refused = RefusedTarget(target)) return *refused;
        tScopeTransaction->Write({target, {bytes.begin(), bytes.end()}, false});
        return Ok();
    }
    if (gRecorder.load() != nullptr) {
        // Recorded with its step in one journal.
        Transaction one;
        one.Write({target, {bytes.begin(), bytes.end()}, false});
        return one.Commit();
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
        const fs::path folder = FolderOf(files[i].target);
        if (std::find(synced.begin(), synced.end(), folder) != synced.end()) continue;
        if (const int error = platform::FlushFileSystemOf(folder); error != 0) {
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
            if (auto r = (f.keepTail ? WriteFileStart(f.target, f.bytes)
                                     : WriteWholeFile(f.target, f.bytes));
                !r)
                return r;
        return Ok();
    }
    Transaction transaction;
    for (const FileContent& f : files) transaction.Write(f);
    return transaction.Commit();
}

void Transaction::Write(FileContent file) {
    const auto [it, added] = index_.emplace(file.target, writes_.size());
    if (added)
        writes_.push_back(std::move(file));
    else
        writes_[it->second] = std::move(file);
}

const std::vector<std::uint8_t>* Transaction::Staged(const fs::path& target) const {
    const auto it = index_.find(target);
    return it == index_.end() ? nullptr : &writes_[it->second].bytes;
}

TransactionScope::TransactionScope(std::string what) : TransactionScope() {
    what_.emplace(std::move(what));
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

ChangeText::ChangeText(std::string what) {
    if (!tChangeText.empty()) return;
    outer_ = true;
    tChangeText = std::move(what);
}

ChangeText::~ChangeText() {
    if (outer_) tChangeText.clear();
}

const std::string& ChangeText::Current() {
    return tChangeText;
}

bool IsHistoryFileName(std::string_view name) {
    if (name == "state") return true;
    constexpr std::string_view kStep = ".step";
    if (name.size() <= kStep.size() || name.size() > 20 || !name.ends_with(kStep)) return false;
    return std::all_of(name.begin(), name.end() - kStep.size(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

void SetCommitRecorder(CommitRecorder* recorder) {
    gRecorder.store(recorder);
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

void Transaction::Remove(fs::path target) {
    removals_.push_back(std::move(target));
}

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
    if (platform::KindOfName(folder / kJournalName) != platform::PathKind::Missing)
        if (auto recovered = RecoverFolder(folder); !recovered)
            return fail(first, recovered.error());
    // Staging: nothing in the folder changes yet.
    for (const fs::path& target : removals_)
        if (auto refused = RefusedTarget(target)) return fail(target, *refused);
    // The history's record of this change, staged in its folder.
    std::vector<HistoryFile> history;
    CommitRecorder* const recorder = gRecorder.load();
    if (recorder != nullptr) {
        auto prepared = recorder->Prepare(folder, writes_, removals_);
        if (!prepared) return fail(first, prepared.error());
        history = std::move(*prepared);
    }
    struct StagedHistory {
        std::vector<fs::path> files;
        ~StagedHistory() {
            for (const fs::path& file : files) (void)platform::RemoveFile(file);
        }
    } stagedHistory;
    for (const HistoryFile& h : history) {
        const fs::path staged = StagedHistoryFile(folder, h.name);
        if (!IsHistoryFileName(h.name))
            return fail(staged, Error{WriteFailedText(staged), "bad name", EINVAL});
        bool created = false;
        stagedHistory.files.push_back(staged);
        if (const int error = platform::WriteSmallFile(staged, h.content, created); error != 0)
            return fail(staged, SystemError(WriteFailedText(staged), error));
    }
    if (writes_.empty() && removals_.size() == 1 && history.empty()) {
        if (const int error = platform::RemoveFile(first);
            error != 0 && !platform::IsNotFoundError(error))
            return fail(first, SystemError(RemoveFailedText(first), error));
        return Ok();
    }
    std::vector<std::unique_ptr<PendingFile>> pending;
    pending.reserve(writes_.size());
    for (const FileContent& f : writes_) {
        auto file = std::make_unique<PendingFile>(f.target);
        if (auto r = file->Open(); !r) return fail(f.target, r.error());
        Result<> r = AppendContent(*file, f);
        if (r && writes_.size() + removals_.size() == 1 && history.empty()) {
            // One file: an atomic rename is the whole commit.
            r = file->Commit();
            return r ? r : fail(f.target, r.error());
        }
        if (r) r = file->Close();
        if (!r) return fail(f.target, r.error());
        pending.push_back(std::move(file));
    }
    if (const auto outside = Unjournaled(folder, writes_, removals_))
        return fail(*outside,
                    Error{WriteFailedText(*outside),
                          "not a project file of " + platform::PathToUtf8(folder), EINVAL});

    // From the journal on, a stop request waits for the commit: files it
    // removed after the journal named them would leave the journal's
    // removals to be done without its renames.
    HeldSignals held;
    // The journal: what the renames and removals are, then "end".
    const fs::path journal = folder / kJournalName;
    {
        std::ostringstream text;
        text << "velsend-journal 1\n";
        for (std::size_t i = 0; i < pending.size(); ++i)
            text << "W\t" << JournalName(pending[i]->TempPath()) << "\t"
                 << JournalName(writes_[i].target) << "\n";
        for (const fs::path& target : removals_) text << "D\t" << JournalName(target) << "\n";
        for (const HistoryFile& h : history) text << "H\t" << h.name << "\n";
        text << "end\n";
        bool created = false;
        int error = platform::WriteSmallFile(journal, text.str(), created);
        // One flush makes the staged files and the journal durable together
        // (a journal torn by a power loss has no end line and is undone).
        if (error == 0)
            if (auto r = SyncFolder(folder, journal, true); !r) error = r.error().code;
        if (error != 0) {
            (void)platform::RemoveFile(journal);
            return fail(journal, SystemError(WriteFailedText(journal), error));
        }
    }

    // The commit proper: from here on the journal completes it whatever happens.
    const CommitRenameHook hook = gCommitRenameHook.load();
    int renamed = 0;
    std::optional<Error> failed;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (hook != nullptr) hook(renamed);
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
        const int error = platform::RemoveFile(target);
        if (error != 0 && !platform::IsNotFoundError(error) && !failed) {
            failed_ = target;
            failed = SystemError(RemoveFailedText(target), error);
        }
    }
    for (const HistoryFile& h : history) {
        const fs::path staged = StagedHistoryFile(folder, h.name);
        if (const int error = platform::MoveReplacing(staged, HistoryFolderOf(folder) / h.name);
            error != 0 && !failed) {
            failed_ = staged;
            failed = SystemError(WriteFailedText(staged), error);
        }
    }
    // The journal names them now: a failed move is retried from it.
    stagedHistory.files.clear();
    // A rename that failed is retried by the next program (the journal stays).
    if (failed) return *failed;
    // The renames are on the disk before the journal goes. Its own removal
    // needs no flush: a journal that comes back finds nothing left to do,
    // and the next commit's flush of the folder carries the removal.
    std::vector<fs::path> folders{folder};
    if (!history.empty()) folders.push_back(HistoryFolderOf(folder));
    for (const FileContent& f : writes_)
        if (std::find(folders.begin(), folders.end(), FolderOf(f.target)) == folders.end())
            folders.push_back(FolderOf(f.target));
    for (const fs::path& each : folders)
        if (auto r = SyncFolder(each, first, false); !r) return fail(first, r.error());
    (void)platform::RemoveFile(journal);
    if (!history.empty()) recorder->Committed(folder);
    return Ok();
}

Result<bool> RecoverFolder(const fs::path& folder) {
    bool changed = false;
    // Staged files of processes that are gone; after the journal, whose
    // staged files are such files until they are renamed in. Only names this
    // program gave its staged files, never a user's file that looks alike.
    auto removeStale = [&folder, &changed] {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::int64_t pid = StagedOwner(platform::PathToUtf8(it->path().filename()));
            if (pid <= 0 || pid == platform::ProcessId() || platform::ProcessAlive(pid)) continue;
            if (platform::KindOfName(it->path()) != platform::PathKind::Regular) continue;
            if (platform::RemoveFile(it->path()) == 0) changed = true;
        }
    };
    const fs::path journal = folder / kJournalName;
    auto read = ReadJournal(folder);
    if (!read) return read.error();
    if (!*read) {
        removeStale();
        return changed;
    }
    const JournalPlan& plan = **read;
    HeldSignals held;
    for (const auto& [temp, target] : plan.renames) {
        if (platform::KindOfName(temp) == platform::PathKind::Missing)
            continue;  // already in place
        // A journal cut short was never acted on: its staged files go.
        const int error =
            plan.complete ? platform::MoveReplacing(temp, target) : platform::RemoveFile(temp);
        if (error != 0) return SystemError(WriteFailedText(target), error);
    }
    for (const std::string& name : plan.historyFiles) {
        const fs::path staged = StagedHistoryFile(folder, name);
        if (platform::KindOfName(staged) != platform::PathKind::Regular)
            continue;  // already in place
        const int error = plan.complete
                              ? platform::MoveReplacing(staged, HistoryFolderOf(folder) / name)
                              : platform::RemoveFile(staged);
        if (error != 0) return SystemError(WriteFailedText(staged), error);
    }
    if (plan.complete) {
        for (const fs::path& target : plan.removals)
            if (const int error = platform::RemoveFile(target);
                error != 0 && !platform::IsNotFoundError(error))
                return SystemError(RemoveFailedText(target), error);
    }
    if (auto r = SyncFolder(folder, journal, true); !r) return r.error();
    if (const int error = platform::RemoveFile(journal); error != 0)
        return SystemError(WriteFailedText(journal), error);
    (void)SyncFolder(folder, journal, false);
    removeStale();
    return true;
}

bool IsStagedFileName(std::string_view name) {
    return StagedOwner(name) != 0;
}

void SetCommitRenameHook(CommitRenameHook hook) {
    gCommitRenameHook.store(hook);
}

}  // namespace velsend::base

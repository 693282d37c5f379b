#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform/files.h"
#include "base/result.h"

namespace velsend::base {

// Every project file, backup image and exported file is written here, so that
// a write that fails (full disk, file-size limit, a pulled USB stick) leaves
// the file it was meant to replace byte-identical and no stray file behind.
//
// The new bytes go to a temporary file in the target's folder, are flushed to
// the disk and then renamed over the target. A target that is a symbolic link
// is replaced by a regular file: the link is never written through, so a
// project file linked to somewhere else cannot damage that other file.

// Replaces `target` with exactly `bytes`.
[[nodiscard]] Result<> WriteWholeFile(const std::filesystem::path& target,
                                      std::span<const std::uint8_t> bytes);

// Writes `bytes` at the start of `target` and keeps whatever the old file had
// beyond them (the files the panel's tools write "without truncation").
[[nodiscard]] Result<> WriteFileStart(const std::filesystem::path& target,
                                      std::span<const std::uint8_t> bytes);

// Writes `bytes` at `offset` of `target` and keeps every other byte of the
// old file; a gap before `offset` in a shorter (or missing) file is zeros.
// For files whose records are written one at a time.
[[nodiscard]] Result<> WriteFileAt(const std::filesystem::path& target, std::size_t offset,
                                   std::span<const std::uint8_t> bytes);

struct FileContent {
    std::filesystem::path target;
    std::vector<std::uint8_t> bytes;
    bool keepTail = false;  // as WriteFileStart
};

// Writes several files as one (a Transaction): every temporary file is
// written first; only when all are whole are they renamed into place. The
// error names the file that failed.
[[nodiscard]] Result<> WriteFilesTogether(const std::vector<FileContent>& files);

// The changes one command makes to a project folder, made as one.
//
// Commit stages every new file as a temporary file beside its target and
// checks every file to be replaced or removed may be written; a full disk, a
// file-size limit or a read-only file stops it there with the folder as it
// was. Then the staged files are flushed to the disk, the set is recorded in
// a journal file in the folder (".velsend-journal", flushed too), and the
// renames and removals run with SIGINT, SIGTERM and SIGHUP held off. The
// journal goes last. A commit cut short by SIGKILL or a power loss leaves the
// journal, and RecoverFolder (run whenever a program takes the project lock
// or opens the folder) completes it.
class Transaction {
  public:
    // A second write of the same target replaces the first.
    void Write(FileContent file);
    // Removes `target` on commit; a target that is already gone is fine.
    void Remove(std::filesystem::path target);
    bool Empty() const { return writes_.empty() && removals_.empty(); }
    [[nodiscard]] Result<> Commit();
    // The file a failed Commit names.
    const std::filesystem::path& FailedTarget() const { return failed_; }
    // The bytes staged for `target` (keepTail already applied), if any.
    const std::vector<std::uint8_t>* Staged(const std::filesystem::path& target) const;

  private:
    std::vector<FileContent> writes_;
    std::map<std::filesystem::path, std::size_t> index_;  // target -> its place in writes_
    std::vector<std::filesystem::path> removals_;
    std::filesystem::path failed_;
};

// What the change being made is, in the user's words ("回路复制 0→5"), while
// one lives in the thread; a history of the project records it with the
// commit. The outermost one counts: a command's words are not replaced by a
// routine it calls.
class ChangeText {
  public:
    explicit ChangeText(std::string what);
    ~ChangeText();
    ChangeText(const ChangeText&) = delete;
    ChangeText& operator=(const ChangeText&) = delete;
    // Empty when no change was described.
    static const std::string& Current();

  private:
    bool outer_ = false;
};

// While one lives in a thread, every write and removal of the file module
// made there (WriteWholeFile, WriteFileAt, WriteFilesTogether, RemoveFile)
// joins its transaction instead of touching the disk, and a write that reads
// the old file reads what is staged: a routine made of many single writes
// (the demo project, a dialog saving a batch) becomes one commit. Nothing is
// written unless Commit is called. Scopes do not nest: an inner one joins the
// outer.
class TransactionScope {
  public:
    TransactionScope();
    // With the change's words for the history (ChangeText).
    explicit TransactionScope(std::string what);
    ~TransactionScope();
    TransactionScope(const TransactionScope&) = delete;
    TransactionScope& operator=(const TransactionScope&) = delete;
    [[nodiscard]] Result<> Commit();

  private:
    Transaction transaction_;
    bool outer_ = false;
    std::optional<ChangeText> what_;
};

// The fault tests' seam: called during a commit before each rename with the
// number of renames done so far, so a test build can end the process there
// and see what the next program makes of the folder. Nothing the project
// ships sets it.
using CommitRenameHook = void (*)(int renamed);
void SetCommitRenameHook(CommitRenameHook hook);

// The folder inside a project folder that holds its history.
inline constexpr std::string_view kHistoryFolderName = ".velsend-history";

// A file of the history that a commit writes together with the change it
// records: `name` is "state" or "<digits>.step" in the history folder (the
// only names a journal may give there); staged as "<name>.new".
struct HistoryFile {
    std::string name;
    std::string content;
};
bool IsHistoryFileName(std::string_view name);

// Keeps the history of the project folders this process changes. Every
// commit asks it, under the project lock and with the change staged, for the
// history files to commit with the change; the journal names them ("H" lines)
// so that a commit cut short is completed or rolled back with its record.
class CommitRecorder {
  public:
    virtual ~CommitRecorder() = default;
    // None: the commit is not recorded. An error stops the commit, the folder as it was.
    [[nodiscard]] virtual Result<std::vector<HistoryFile>> Prepare(
        const std::filesystem::path& folder, const std::vector<FileContent>& writes,
        const std::vector<std::filesystem::path>& removals) = 0;
    // After a commit that carried history files, still under the lock.
    virtual void Committed(const std::filesystem::path& folder) = 0;
};
// The process's recorder (nullptr: none, the default).
void SetCommitRecorder(CommitRecorder* recorder);

// Deletes `target` (already gone is fine); within a TransactionScope, on its commit.
[[nodiscard]] Result<> RemoveFile(const std::filesystem::path& target);

// The journal a multi-file commit leaves in its folder while it runs.
inline constexpr std::string_view kJournalName = ".velsend-journal";

// Completes a commit that was cut short in `folder` (its journal is still
// there): the staged files not yet in place are renamed in and the removals
// done; a journal that was itself cut short (no end line, nothing renamed
// yet) is rolled back instead. Also removes temporary files left by
// processes that no longer run. True when there was something to do. Call
// while holding the folder's ProjectLock.
[[nodiscard]] Result<bool> RecoverFolder(const std::filesystem::path& folder);

// Whether `name` is one this program gives a staged file (and no user's file has).
bool IsStagedFileName(std::string_view name);

// Deletes the temporary files this process has in progress. Safe to call
// from a signal handler.
void RemoveOwnTemporaryFiles() noexcept;

// For programs that write project files: a file-size limit makes a write fail
// with EFBIG ("File too large") instead of killing the process, and SIGINT,
// SIGTERM and SIGHUP remove this process's temporary files and exit with 130
// (after a running commit has finished).
void InstallWriteSignalHandling();

// Writes many independent files (a run of print files, an import of a
// thousand rules) with one flush to the disk instead of one per file: the
// temporary files are all written, the file system is synced once, then each
// is renamed into place. Each file on its own is still old or new, never
// half-written; one that fails leaves the others alone. One result per file,
// in order.
[[nodiscard]] std::vector<Result<>> WriteEachFile(const std::vector<FileContent>& files);

// The message for a file that could not be written, naming it:
// "无法写入文件“devc5.dat”。".
std::string WriteFailedText(const std::filesystem::path& target);

// A temporary file beside a target, removed unless committed. A target that
// exists and may not be written (no write permission, or the owner's write
// bit cleared, which counts for root too) is refused at Open; a replaced file
// keeps its mode, and its owner and group where the system allows. For writers
// that stream (backups): Append as the data arrives, then Commit.
class PendingFile {
  public:
    explicit PendingFile(std::filesystem::path target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    [[nodiscard]] Result<> Open();
    [[nodiscard]] Result<> Append(std::span<const std::uint8_t> bytes);
    // Flushes to disk and renames over the target.
    [[nodiscard]] Result<> Commit();
    // Closes the temporary file, keeping it for CommitSynced.
    [[nodiscard]] Result<> Close();
    // Renames over the target without flushing: for callers that synced the
    // file system themselves (WriteEachFile, Transaction).
    [[nodiscard]] Result<> CommitSynced();
    // Removes the temporary file (also done by the destructor).
    void Discard();
    // Leaves the temporary file where it is (a journal names it).
    void Keep();
    const std::filesystem::path& TempPath() const { return file_.Path(); }

  private:
    std::filesystem::path target_;
    platform::ReplacementFile file_;
};

}  // namespace velsend::base

#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

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

// Writes several files as one: every temporary file is written first; only
// when all are whole are they renamed into place. The error names the file
// that failed.
[[nodiscard]] Result<> WriteFilesTogether(const std::vector<FileContent>& files);

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

// A temporary file beside a target, removed unless committed. For writers
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
    // Flushes the whole file system that holds the (open) temporary file: a
    // set of files is made durable with one flush instead of one per file.
    [[nodiscard]] Result<> SyncFileSystem();
    // Closes the temporary file, keeping it for CommitSynced.
    [[nodiscard]] Result<> Close();
    // Renames over the target without flushing: for callers that synced the
    // file system themselves (SyncFileSystem, WriteEachFile).
    [[nodiscard]] Result<> CommitSynced();
    // Removes the temporary file (also done by the destructor).
    void Discard();
    const std::filesystem::path& TempPath() const { return temp_; }

  private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
};

}  // namespace velsend::base

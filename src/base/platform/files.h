#pragma once

// Files opened the way the core needs and the standard library cannot say:
// never blocking on a FIFO or device in a file's place, appending to a log,
// and lock files linked into place whole.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace velsend::platform {

// A file opened for reading without blocking. Kind tells a regular file
// from a folder or anything else (pipe, device).
class ReadOnlyFile {
  public:
    enum class Kind { Regular, Folder, Other };
    explicit ReadOnlyFile(const std::filesystem::path& path);
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile();

    bool IsOpen() const;
    // The reason the open or the last read failed; 0 when none did.
    int Error() const { return error_; }
    // Only valid once open: the kind and size learned from the open file.
    Kind FileKind() const { return kind_; }
    std::uint64_t Size() const { return size_; }
    // Reads up to `count` bytes, from `offset` when given (the position
    // otherwise); fewer only at the end or on an error (see Error()).
    std::size_t Read(std::uint8_t* buffer, std::size_t count);
    std::size_t ReadAt(std::uint8_t* buffer, std::size_t count, std::uint64_t offset);

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    int error_ = 0;
    Kind kind_ = Kind::Other;
    std::uint64_t size_ = 0;
};

// A regular file this process may write. Windows' read-only attribute stops
// even an administrator; on POSIX the owner's write bit plays that part,
// since root may open any file for writing.
bool IsWritableFile(const std::filesystem::path& path);

// Appends `text` to `file`, created when missing; refuses anything but a
// regular file (a FIFO in its place must not hang us). 0 or the error;
// `notRegular` is set when the file was there but no regular file.
int AppendToFile(const std::filesystem::path& file, std::string_view text, bool& notRegular);

// Writes `content` into a new `file` (replacing one left there) for a later
// FlushFileSystemOf of its folder to make durable: Windows, which has no
// such flush, flushes the file itself. 0 or the error; `created` tells
// whether the file was made.
int WriteSmallFile(const std::filesystem::path& file, std::string_view content, bool& created);
// Links `from` to the new name `to`; fails with EEXIST when `to` exists.
int LinkNew(const std::filesystem::path& from, const std::filesystem::path& to);
// Removes a file; 0, ENOENT or the error.
int RemoveFile(const std::filesystem::path& file);
// Whether `error` says the name already exists / does not exist.
bool IsExistsError(int error);
bool IsNotFoundError(int error);

// What is under a name, without following it into a FIFO or device.
enum class PathKind { Missing, Regular, Folder, Other };
PathKind KindOf(const std::filesystem::path& path);
// What is under the name itself: a symbolic link is Other, never followed.
PathKind KindOfName(const std::filesystem::path& path);

// Reads a small file whole into `text` without blocking and without following
// a symbolic link: 0, the error, or EINVAL when the name holds no regular
// file (a link, FIFO or folder) or one longer than `limit`.
int ReadSmallFile(const std::filesystem::path& file, std::string& text, std::size_t limit);

// Whether `error` says the medium cannot be written at all (mounted read-only).
bool IsReadOnlyMediumError(int error);

// Moves `from` over `to` in one step, replacing a file there; the move is
// on the disk once the folder is flushed (FlushFolder). 0 or the error.
int MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Makes the names in `folder` (files moved in or out) durable: fsync of the
// folder on POSIX; 0 at once on Windows, whose moves are written through.
int FlushFolder(const std::filesystem::path& folder);

// Removes the file `pathUtf8`. Safe in a signal handler.
void RemoveFileNow(const char* pathUtf8) noexcept;

// Removes every file in `folder` (UTF-8) whose name contains `marker`.
// Safe in a signal handler: no allocation, no lock. True when one went.
bool RemoveMarkedFiles(const char* folderUtf8, const char* marker) noexcept;

// A new file beside `target` ("<target><marker>XXXXXX") that is written,
// flushed and then moved over `target` in one step. Every call returns 0 or
// the error. Destroying it unfinished removes it.
class ReplacementFile {
  public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile() { Discard(); }

    // Created with the permissions (and, where allowed, the owner and group)
    // of the file it replaces, or those of any newly saved file. `marker`
    // ends the target's name before the random letters (".part-1234-").
    int Create(const std::filesystem::path& target, std::string_view marker);
    bool IsOpen() const;
    const std::filesystem::path& Path() const { return path_; }
    int Write(std::span<const std::uint8_t> bytes);
    // The bytes reach the disk (fsync; FlushFileBuffers).
    int FlushToDisk();
    // Every file of the file system that holds it reaches the disk (syncfs;
    // on Windows FlushToDisk with the write-through move is all there is).
    int FlushFileSystem();
    int Close();
    // Closed for a later FlushFileSystemOf to make durable (Windows, which
    // has no such flush, flushes the file first).
    int CloseStaged();
    // Closed, then moved over the target; the target is replaced whole or not at all.
    int MoveOverTarget(const std::filesystem::path& target);
    // Closed and removed.
    void Discard();
    // Closed and left where it is (a journal names it); forgotten here.
    void Release();

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::filesystem::path path_;
};

// An exclusive lock held through an open lock file, released when closed:
// flock on POSIX, LockFileEx on Windows (on a byte past any content, so
// others can still read the holder's name in it).
class LockFile {
  public:
    LockFile() = default;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile() { Close(); }

    // Opens `file`, created when missing (never through a symbolic link);
    // another user's lock file opens for reading, which is enough to lock.
    // 0 or the error.
    int Open(const std::filesystem::path& file);
    // Takes the lock without waiting: 0, EWOULDBLOCK when someone holds it,
    // or the error.
    int TryLock();
    // The same, shared with other shared holders (readers).
    int TryLockShared();
    // Lets go of the lock, keeping the file open.
    void Unlock();
    // Whether the open file is still the one under `file` (the holder before
    // us removes it as it lets go).
    bool IsStillNamed(const std::filesystem::path& file) const;
    // The first bytes of the file (at most 255); empty when none.
    std::string ReadText() const;
    // Replaces the content with `text`, where the file may be written.
    void WriteText(std::string_view text);
    void Close();

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// The steps that make files durable, for a test that checks their order (a
// journal must be on the disk before the first rename). The program itself
// watches none.
enum class FileStep {
    Written,            // WriteSmallFile
    FileFlushed,        // ReplacementFile::FlushToDisk
    FileSystemFlushed,  // FlushFileSystemOf
    FolderFlushed,      // FlushFolder
    Moved               // MoveReplacing, ReplacementFile::MoveOverTarget (the target)
};
using FileStepWatcher = void (*)(FileStep step, const std::filesystem::path& path);
inline std::atomic<FileStepWatcher> gFileStepWatcher{nullptr};
// Installs `watcher` (nullptr: none); it is called after each step that succeeded.
inline void WatchFileSteps(FileStepWatcher watcher) {
    gFileStepWatcher.store(watcher);
}
inline void NoteFileStep(FileStep step, const std::filesystem::path& path) {
    if (const FileStepWatcher watcher = gFileStepWatcher.load()) watcher(step, path);
}

// The running program's short name ("velsend-cli").
std::string ProgramName();

// Flushes the file system that holds `folder` (syncfs on POSIX; 0 at once on
// Windows, where each file is flushed and moved with write-through).
int FlushFileSystemOf(const std::filesystem::path& folder);

}  // namespace velsend::platform

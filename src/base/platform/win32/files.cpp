#include "base/platform/files.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "base/platform/win32/errors.h"

namespace velsend::platform {

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path) {
    // Others may go on reading and writing; a folder opens only with backup
    // semantics, which lets it be told from a missing file.
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = LastErrno();
        return;
    }
    handle_ = h;
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD type = ::GetFileType(h);
    if (type != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info)) {
        kind_ = Kind::Other;
        return;
    }
    kind_ = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::Folder : Kind::Regular;
    size_ = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (handle_ != nullptr) ::CloseHandle(handle_);
}

bool ReadOnlyFile::IsOpen() const {
    return handle_ != nullptr;
}

std::size_t ReadOnlyFile::Read(std::uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (handle_ != nullptr && done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(handle_, buffer + done, chunk, &got, nullptr)) {
            error_ = LastErrno();
            break;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

std::size_t ReadOnlyFile::ReadAt(std::uint8_t* buffer, std::size_t count, std::uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (handle_ == nullptr || !::SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN)) return 0;
    return Read(buffer, count);
}

bool IsWritableFile(const std::filesystem::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

int AppendToFile(const std::filesystem::path& file, std::string_view text, bool& notRegular) {
    notRegular = false;
    HANDLE h = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrno();
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        notRegular = true;
        return 0;
    }
    std::size_t done = 0;
    int error = 0;
    while (done < text.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
        if (!::WriteFile(h, text.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
            error = LastErrno();
            break;
        }
        done += wrote;
    }
    ::CloseHandle(h);
    return error;
}

int WriteSmallFile(const std::filesystem::path& file, std::string_view content, bool& created) {
    created = false;
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrno();
    created = true;
    DWORD wrote = 0;
    // Flushed: Windows has no flush of a whole file system to cover it later.
    const bool ok =
        ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &wrote, nullptr) &&
        wrote == content.size() && ::FlushFileBuffers(h);
    const int error = ok ? 0 : LastErrno();
    ::CloseHandle(h);
    if (error == 0) NoteFileStep(FileStep::Written, file);
    return error;
}

int LinkNew(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::CreateHardLinkW(to.c_str(), from.c_str(), nullptr) ? 0 : LastErrno();
}

int RemoveFile(const std::filesystem::path& file) {
    return ::DeleteFileW(file.c_str()) ? 0 : LastErrno();
}

bool IsExistsError(int error) {
    return error == EEXIST;
}

bool IsNotFoundError(int error) {
    return error == ENOENT;
}

int ReplacementFile::Create(const std::filesystem::path& target, std::string_view marker) {
    Discard();
    const std::wstring prefix(marker.begin(), marker.end());  // ASCII
    // A fresh name: a left-over part file of a crashed run may still be there.
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const auto seed = static_cast<unsigned long long>(::GetTickCount64()) ^
                      (static_cast<unsigned long long>(::GetCurrentProcessId()) << 20);
    for (unsigned long long attempt = 0; attempt < 100; ++attempt) {
        std::wstring suffix = prefix;
        unsigned long long bits = seed * 6364136223846793005ULL + attempt * 1442695040888963407ULL;
        for (int i = 0; i < 6; ++i, bits /= 36) suffix += static_cast<wchar_t>(kLetters[bits % 36]);
        std::filesystem::path candidate = target;
        candidate += suffix;
        HANDLE h = ::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = h;
            path_ = candidate;
            return 0;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) return LastErrno();
    }
    return EEXIST;
}

bool ReplacementFile::IsOpen() const {
    return handle_ != nullptr;
}

int ReplacementFile::Write(std::span<const std::uint8_t> bytes) {
    if (handle_ == nullptr) return EBADF;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!::WriteFile(static_cast<HANDLE>(handle_), bytes.data() + done, chunk, &wrote, nullptr))
            return LastErrno();
        if (wrote == 0) return ENOSPC;
        done += wrote;
    }
    return 0;
}

int ReplacementFile::FlushToDisk() {
    if (handle_ == nullptr) return EBADF;
    if (!::FlushFileBuffers(static_cast<HANDLE>(handle_))) return LastErrno();
    NoteFileStep(FileStep::FileFlushed, path_);
    return 0;
}

int ReplacementFile::FlushFileSystem() {
    return FlushToDisk();
}

int ReplacementFile::Close() {
    if (handle_ == nullptr) return 0;
    HANDLE h = static_cast<HANDLE>(handle_);
    handle_ = nullptr;
    return ::CloseHandle(h) ? 0 : LastErrno();
}

int ReplacementFile::CloseStaged() {
    if (const int error = FlushToDisk(); error != 0 && error != EBADF) return error;
    return Close();
}

int ReplacementFile::MoveOverTarget(const std::filesystem::path& target) {
    if (const int error = Close(); error != 0) return error;
    if (path_.empty()) return EBADF;
    // Write-through: the move itself is on the disk when this returns.
    if (!::MoveFileExW(path_.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LastErrno();
    path_.clear();
    NoteFileStep(FileStep::Moved, target);
    return 0;
}

void ReplacementFile::Discard() {
    if (handle_ != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
    if (!path_.empty()) {
        ::DeleteFileW(path_.c_str());
        path_.clear();
    }
}

void ReplacementFile::Release() {
    (void)Close();
    path_.clear();
}

PathKind KindOf(const std::filesystem::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::Folder;
    return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? PathKind::Other : PathKind::Regular;
}

PathKind KindOfName(const std::filesystem::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0)
        return PathKind::Other;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::Regular;
}

int ReadSmallFile(const std::filesystem::path& file, std::string& text, std::size_t limit) {
    text.clear();
    if (KindOfName(file) == PathKind::Missing) return ENOENT;
    if (KindOfName(file) != PathKind::Regular) return EINVAL;
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrno();
    int error = ::GetFileType(h) == FILE_TYPE_DISK ? 0 : EINVAL;
    char buffer[4096];
    while (error == 0) {
        DWORD got = 0;
        if (!::ReadFile(h, buffer, sizeof buffer, &got, nullptr)) error = LastErrno();
        if (error != 0 || got == 0) break;
        text.append(buffer, got);
        if (text.size() > limit) error = EINVAL;
    }
    ::CloseHandle(h);
    return error;
}

bool IsReadOnlyMediumError(int error) {
    return error == EROFS;
}

int MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!::MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LastErrno();
    NoteFileStep(FileStep::Moved, to);
    return 0;
}

int FlushFolder(const std::filesystem::path&) {
    return 0;
}

void RemoveFileNow(const char* pathUtf8) noexcept {
    wchar_t path[4096];  // no heap: see RemoveMarkedFiles
    if (::MultiByteToWideChar(CP_UTF8, 0, pathUtf8, -1, path, 4096) > 0) (void)::DeleteFileW(path);
}

bool RemoveMarkedFiles(const char* folderUtf8, const char* marker) noexcept {
    // Fixed buffers: this runs on the console's control thread while the
    // program's own threads may hold the heap's lock.
    wchar_t pattern[4096];
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, folderUtf8, -1, pattern, 4090);
    if (n <= 0) return false;
    std::size_t length = std::wcslen(pattern);
    pattern[length++] = L'\\';
    pattern[length] = L'*';
    pattern[length + 1] = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool removed = false;
    do {
        char name[1024];
        if (::WideCharToMultiByte(CP_UTF8, 0, found.cFileName, -1, name, sizeof name, nullptr,
                                  nullptr) <= 0 ||
            std::strstr(name, marker) == nullptr)
            continue;
        wchar_t file[4096 + MAX_PATH];
        std::wmemcpy(file, pattern, length);
        std::wcscpy(file + length, found.cFileName);
        if (::DeleteFileW(file)) removed = true;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return removed;
}

namespace {

// The locked byte lies far past any holder text, so that readers are not
// stopped by the lock (Windows' byte-range locks are mandatory).
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

bool FileId(HANDLE h, BY_HANDLE_FILE_INFORMATION& info) {
    return ::GetFileInformationByHandle(h, &info) != 0;
}

}  // namespace

int LockFile::Open(const std::filesystem::path& file) {
    Close();
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED)
        h = ::CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrno();
    handle_ = h;
    return 0;
}

int LockFile::TryLock() {
    if (handle_ == nullptr) return EBADF;
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    if (::LockFileEx(static_cast<HANDLE>(handle_),
                     LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return 0;
    return ::GetLastError() == ERROR_LOCK_VIOLATION ? EWOULDBLOCK : LastErrno();
}

int LockFile::TryLockShared() {
    if (handle_ == nullptr) return EBADF;
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    if (::LockFileEx(static_cast<HANDLE>(handle_), LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return 0;
    return ::GetLastError() == ERROR_LOCK_VIOLATION ? EWOULDBLOCK : LastErrno();
}

void LockFile::Unlock() {
    if (handle_ == nullptr) return;
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    (void)::UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &at);
}

bool LockFile::IsStillNamed(const std::filesystem::path& file) const {
    if (handle_ == nullptr) return false;
    HANDLE named =
        ::CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    const bool same = FileId(static_cast<HANDLE>(handle_), a) && FileId(named, b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    ::CloseHandle(named);
    return same;
}

std::string LockFile::ReadText() const {
    if (handle_ == nullptr) return {};
    char text[255];
    DWORD got = 0;
    OVERLAPPED at{};
    if (!::ReadFile(static_cast<HANDLE>(handle_), text, sizeof text, &got, &at)) return {};
    return std::string(text, got);
}

void LockFile::WriteText(std::string_view text) {
    if (handle_ == nullptr) return;
    HANDLE h = static_cast<HANDLE>(handle_);
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(h, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(h)) return;
    DWORD wrote = 0;
    (void)::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr);
}

void LockFile::Close() {
    if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

std::string ProgramName() {
    wchar_t name[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, name, MAX_PATH);
    if (n == 0) return "velsend";
    return std::filesystem::path(std::wstring(name, n)).stem().string();
}

int FlushFileSystemOf(const std::filesystem::path&) {
    return 0;
}

}  // namespace velsend::platform

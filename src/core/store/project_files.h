#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace velsend::store {

// The files a project consists of. Each kind has one name pattern and, for
// the binary ones, one fixed size.
enum class ProjectFile {
    Devices,       // devc%d.dat, per loop
    ChineseNames,  // ch%d.dat, per loop
    DeviceLogic,   // log%d.dat, per loop (first family)
    Logic,         // logic%d.dat, per logic number
    Phrases,       // word.dat
    Node1,         // node1.dat
    Node2,         // node2.dat
    Info,          // info.dat
    DeviceText,    // devctext%d.txt, per loop (written, never read)
    LogicText,     // logtext.txt
};

inline constexpr int kLoopCount = 256;
inline constexpr int kAddressCount = 256;

// Every record and file size of the project lives here; the record layouts
// elsewhere take theirs from this list.
inline constexpr std::size_t kDeviceRecordSize = 7;
inline constexpr std::size_t kDeviceFileSize = kAddressCount * kDeviceRecordSize;  // 1792
inline constexpr std::size_t kNameSize = 16;
inline constexpr std::size_t kNameFileSize = kAddressCount * kNameSize;  // 4096
inline constexpr std::size_t kDeviceLogicRecordSize = 128;
inline constexpr std::size_t kDeviceLogicFileSize = kAddressCount * kDeviceLogicRecordSize;
inline constexpr std::size_t kLogicFileMax = 128;  // no reader takes more of a rule file
inline constexpr int kPhraseCount = 256;
inline constexpr std::size_t kPhraseSize = 16;
inline constexpr std::size_t kLibrarySize = kPhraseCount * kPhraseSize;  // 4096
inline constexpr std::size_t kNode1Size = 9;
inline constexpr std::size_t kNode2Size = 10;
inline constexpr int kInfoFieldCount = 6;
inline constexpr std::size_t kInfoFieldSize = 50;
inline constexpr std::size_t kInfoSize = kInfoFieldCount * kInfoFieldSize;  // 300

struct ProjectFileSpec {
    ProjectFile kind;
    std::string_view pattern;  // printf-style, %d for the number
    std::size_t size;          // 0 for files of no fixed size
    int lastNumber;            // highest number the initialisation clears; -1: not numbered
};

const ProjectFileSpec& SpecOf(ProjectFile kind);
// The bare file name: FileName(Devices, 17) is "devc17.dat".
std::string FileName(ProjectFile kind, int number = 0);

// Loops 100..255 are written as a letter and a digit: 100 is a0, 112 is b2,
// 255 is p5. Below 100 they are decimal, with a leading zero under 10 when
// asked for.
enum class LoopDigits { Plain, TwoDigits };
std::string LetteredLoop(int loop, LoopDigits digits = LoopDigits::Plain);

// The folder that holds one project. Paths are only ever built here, so the
// GUI (working directory) and the CLI (--dir) read the same files.
class ProjectDir {
  public:
    explicit ProjectDir(std::filesystem::path root = ".") : root_(std::move(root)) {}
    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path PathOf(std::string_view fileName) const { return root_ / fileName; }
    std::filesystem::path PathOf(ProjectFile kind, int number = 0) const {
        return root_ / FileName(kind, number);
    }

  private:
    std::filesystem::path root_;
};

// Reads `size` bytes from `offset`; what the file does not have (absent file,
// short file) is `filler`. Only a missing file reads as absent: one that is
// there and cannot be read (permissions, an I/O error, a folder, a named pipe
// or a device under its name) is an error naming it, "无法读取文件“devc0.dat”。".
// Reads without blocking, so a named pipe cannot hang the program.
[[nodiscard]] base::Result<std::vector<std::uint8_t>> TryReadFixed(
    const std::filesystem::path& path, std::size_t size, std::uint8_t filler = 0,
    std::size_t offset = 0);

// As TryReadFixed, with an unreadable file read as `filler` too: for readers
// behind a CheckProjectFolder that already refused such a folder.
std::vector<std::uint8_t> ReadFixed(const std::filesystem::path& path, std::size_t size,
                                    std::uint8_t filler = 0, std::size_t offset = 0);

std::string ReadFailedText(const std::filesystem::path& path);

// The folder exists and is a folder, and every project file in it that
// commands read is a regular file this user can read (a named pipe, a device,
// a folder under a project file's name, or a file without read permission is
// refused, naming it; the text print's outputs are not read and not checked).
// Missing files are fine: they read as their fill bytes. Every command and
// dialog that reads the project checks this first.
[[nodiscard]] base::Result<> CheckProjectFolder(const ProjectDir& dir);

// `folder` holds at least one project file (one the commands read).
bool HoldsProjectFiles(const std::filesystem::path& folder);

// The names the initialisation deletes, in the order it deletes them.
std::vector<std::string> InitialisationFileNames();

struct InitialisationResult {
    int deleted = 0;
    int skipped = 0;  // present but not writable (read-only, in use)
    // The deletion that failed, when one did; later files were left alone.
    base::Result<> outcome;
};

// Deletes the project files (in the fixed order) as one transaction. A file
// that cannot be opened for writing is left in place and counted as skipped;
// a file that cannot be removed stops the run with a message and nothing
// deleted.
[[nodiscard]] InitialisationResult InitialiseProject(const ProjectDir& dir);

}  // namespace velsend::store

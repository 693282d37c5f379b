#include "core/store/project_files.h"

#include "base/file_write.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <stdexcept>

#include "base/platform/files.h"

namespace velsend::store {
namespace {

constexpr std::array<ProjectFileSpec, 10> kSpecs{{
    {ProjectFile::Devices, "devc%d.dat", kDeviceFileSize, 255},
    {ProjectFile::ChineseNames, "ch%d.dat", kNameFileSize, 255},
    {ProjectFile::DeviceLogic, "log%d.dat", kDeviceLogicFileSize, 255},
    {ProjectFile::Logic, "logic%d.dat", kLogicFileMax, 1023},
    {ProjectFile::Phrases, "word.dat", kLibrarySize, -1},
    {ProjectFile::Node1, "node1.dat", kNode1Size, -1},
    {ProjectFile::Node2, "node2.dat", kNode2Size, -1},
    {ProjectFile::Info, "info.dat", kInfoSize, -1},
    {ProjectFile::DeviceText, "devctext%d.txt", 0, 255},
    {ProjectFile::LogicText, "logtext.txt", 0, -1},
}};

}  // namespace

const ProjectFileSpec& SpecOf(ProjectFile kind) {
    for (const ProjectFileSpec& spec : kSpecs)
        if (spec.kind == kind) return spec;
    throw std::logic_error("unknown project file kind");
}

std::string FileName(ProjectFile kind, int number) {
    const ProjectFileSpec& spec = SpecOf(kind);
    if (spec.lastNumber < 0) return std::string(spec.pattern);
    const std::size_t at = spec.pattern.find("%d");
    return std::string(spec.pattern.substr(0, at)) + std::to_string(number) +
           std::string(spec.pattern.substr(at + 2));
}

std::string LetteredLoop(int loop, LoopDigits digits) {
    if (loop >= 100) {
        const int tens = (loop - 100) / 10;
        return std::string(1, static_cast<char>('a' + tens)) +
               std::to_string(loop - 100 - 10 * tens);
    }
    if (digits == LoopDigits::TwoDigits && loop < 10) return "0" + std::to_string(loop);
    return std::to_string(loop);
}

std::string ReadFailedText(const std::filesystem::path& path) {
    return "无法读取文件“" + path.filename().string() + "”。";
}

base::Result<std::vector<std::uint8_t>> TryReadFixed(const std::filesystem::path& path,
                                                     std::size_t size, std::uint8_t filler,
                                                     std::size_t offset) {
    std::vector<std::uint8_t> bytes(size, filler);
    platform::ReadOnlyFile file(path);
    if (!file.IsOpen()) {
        if (platform::IsNotFoundError(file.Error())) return bytes;
        return base::SystemError(ReadFailedText(path), file.Error());
    }
    if (file.FileKind() == platform::ReadOnlyFile::Kind::Folder)
        return base::Error{ReadFailedText(path), "这是一个文件夹", EISDIR};
    if (file.FileKind() != platform::ReadOnlyFile::Kind::Regular)
        return base::Error{ReadFailedText(path), "不是普通文件", 0};
    (void)file.ReadAt(bytes.data(), size, offset);
    if (file.Error() != 0) return base::SystemError(ReadFailedText(path), file.Error());
    return bytes;
}

std::vector<std::uint8_t> ReadFixed(const std::filesystem::path& path, std::size_t size,
                                    std::uint8_t filler, std::size_t offset) {
    auto bytes = TryReadFixed(path, size, filler, offset);
    return bytes ? std::move(*bytes) : std::vector<std::uint8_t>(size, filler);
}

namespace {

// The files commands read. The text print's outputs are only written, and
// the print says itself when one cannot be.
const std::set<std::string>& ReadFileNames() {
    static const std::set<std::string> names = [] {
        const std::vector<std::string> all = InitialisationFileNames();
        std::set<std::string> read(all.begin(), all.end());
        for (int n = 0; n <= SpecOf(ProjectFile::DeviceText).lastNumber; ++n)
            read.erase(FileName(ProjectFile::DeviceText, n));
        read.erase(FileName(ProjectFile::LogicText));
        return read;
    }();
    return names;
}

}  // namespace

bool HoldsProjectFiles(const std::filesystem::path& folder) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        if (ReadFileNames().count(it->path().filename().string()) != 0) return true;
    return false;
}

base::Result<> CheckProjectFolder(const ProjectDir& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status folder = fs::status(dir.Root(), ec);
    if (!fs::exists(folder)) {
        return base::Error{"工程文件夹 " + dir.Root().string() + " 不存在",
                           ec ? ec.message() : std::string()};
    }
    if (!fs::is_directory(folder)) {
        return base::Error{dir.Root().string() + " 不是一个文件夹", {}};
    }
    const std::set<std::string>& names = ReadFileNames();
    for (fs::directory_iterator it(dir.Root(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (names.count(name) == 0) continue;
        std::error_code statError;
        const fs::file_status st = fs::status(it->path(), statError);
        // A dangling link reads as a missing file.
        if (!fs::exists(st)) continue;
        if (fs::is_regular_file(st)) {
            // There but unreadable (permissions, an I/O error) is not absent:
            // read as zeros it would be wiped by the next save.
            platform::ReadOnlyFile file(it->path());
            if (!file.IsOpen() && !platform::IsNotFoundError(file.Error()))
                return base::SystemError(ReadFailedText(it->path()), file.Error());
            // Read through as well: a file that opens but fails while read
            // (a failing disk) must not read as zeros further on.
            std::uint8_t buffer[8192];
            while (file.IsOpen() && file.Read(buffer, sizeof buffer) == sizeof buffer) {
            }
            if (file.IsOpen() && file.Error() != 0)
                return base::SystemError(ReadFailedText(it->path()), file.Error());
            continue;
        }
        return base::Error{"工程文件 " + it->path().string() + " 不是普通文件，不能读取",
                           fs::is_fifo(st)        ? "这是一个命名管道"
                           : fs::is_directory(st) ? "这是一个文件夹"
                                                  : "这是一个设备或套接字"};
    }
    if (ec)
        return base::Error{"无法读取工程文件夹 " + dir.Root().string(), ec.message(), ec.value()};
    return base::Ok();
}

std::vector<std::string> InitialisationFileNames() {
    std::vector<std::string> names;
    auto numbered = [&](ProjectFile kind) {
        for (int n = 0; n <= SpecOf(kind).lastNumber; ++n) names.push_back(FileName(kind, n));
    };
    numbered(ProjectFile::Devices);
    numbered(ProjectFile::Logic);
    numbered(ProjectFile::DeviceLogic);
    numbered(ProjectFile::ChineseNames);
    names.push_back(FileName(ProjectFile::Node1));
    names.push_back(FileName(ProjectFile::Node2));
    names.push_back(FileName(ProjectFile::Phrases));
    names.push_back(FileName(ProjectFile::Info));
    numbered(ProjectFile::DeviceText);
    names.push_back(FileName(ProjectFile::LogicText));
    return names;
}

InitialisationResult InitialiseProject(const ProjectDir& dir) {
    InitialisationResult result;
    const base::ChangeText what("初始化");
    base::Transaction transaction;
    int removing = 0;
    for (const std::string& name : InitialisationFileNames()) {
        const std::filesystem::path path = dir.PathOf(name);
        if (!platform::IsWritableFile(path)) {
            std::error_code ec;
            if (std::filesystem::exists(path, ec)) ++result.skipped;
            continue;
        }
        transaction.Remove(path);
        ++removing;
    }
    // All or none: a run stopped halfway would leave half a project.
    result.outcome = transaction.Commit();
    if (result.outcome) result.deleted = removing;
    return result;
}

}  // namespace velsend::store

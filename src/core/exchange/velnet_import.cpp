#include "core/exchange/velnet_import.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/file_write.h"
#include "base/gbk.h"
#include "base/platform/environment.h"
#include "base/platform/system.h"
#include "core/exchange/file_batch.h"
#include "core/exchange/raw_read.h"

namespace velsend::exchange {
namespace {

std::string FolderText(const std::filesystem::path& folder) {
    return folder.string();
}

// The exact name first; files copied from a Windows disk often arrive in
// capitals (DEVC05.DAT), so a name differing only in case is taken too.
std::optional<std::vector<std::uint8_t>> ReadSource(const std::filesystem::path& folder,
                                                    const std::string& name, std::size_t size) {
    if (auto bytes = ReadUpTo(folder / name, size)) return bytes;
    std::error_code ec;
    const std::string wanted = base::UpperAscii(name);
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (base::UpperAscii(it->path().filename().string()) == wanted)
            return ReadUpTo(it->path(), size);
    }
    return std::nullopt;
}

}  // namespace

std::filesystem::path DefaultVelnetFolder() {
    return platform::DataFolderRoot() / "DATNET";
}

std::string VelnetFileName(VelnetSource kind, int loop) {
    const char* stem = kind == VelnetSource::Devices     ? "devc"
                       : kind == VelnetSource::Locations ? "plac"
                                                         : "logc";
    return stem + store::LetteredLoop(loop, store::LoopDigits::TwoDigits) + ".dat";
}

std::vector<std::uint8_t> VelnetDeviceFile(std::span<const std::uint8_t> devices,
                                           std::span<const std::uint8_t> locations) {
    std::vector<std::uint8_t> file(1792, 0);
    for (std::size_t n = 0; n < 256; ++n) {
        for (std::size_t i = 0; i < 3; ++i)
            if (n * 3 + i < devices.size()) file[n * 7 + i] = devices[n * 3 + i];
        for (std::size_t i = 0; i < 4; ++i)
            if (n * 8 + i < locations.size()) file[n * 7 + 3 + i] = locations[n * 8 + i];
    }
    return file;
}

std::vector<std::uint8_t> VelnetDeviceLogicFile(std::span<const std::uint8_t> logic) {
    std::vector<std::uint8_t> file(32768, 0);
    for (std::size_t n = 0; n < 256; ++n) {
        const std::size_t from = n * 64;
        if (from >= logic.size()) break;
        const std::size_t count = std::min<std::size_t>(64, logic.size() - from);
        std::memcpy(file.data() + n * 128, logic.data() + from, count);
    }
    return file;
}

std::string VelnetQuestion(const std::filesystem::path& folder) {
    return "您确认要导入" + FolderText(folder) + "目录下的数据文件并转换成VELSEND格式?";
}

std::string VelnetFailedText(const std::filesystem::path& folder) {
    return "对不起，数据文件转换失败！\r\n请确认" + FolderText(folder) +
           "目录下是否存在要转换的VELNET格式数据文件？";
}

base::Result<VelnetReport> ImportVelnet(const store::ProjectDir& dir,
                                        const std::filesystem::path& folder, std::uint32_t first,
                                        std::uint32_t last) {
    // last = first - 1 expects nothing; any other reversed range can never be
    // met. Counted wide, so that 0..4294967295 does not wrap to "nothing".
    const std::int64_t expected = std::int64_t{last} - std::int64_t{first} + 1;
    const base::ChangeText what("导入VELNET数据 " + platform::PathToUtf8(folder.filename()));
    VelnetReport report;
    std::string missing;
    // Written from their start without truncation: a longer file keeps its tail.
    FileBatch batch;
    auto write = [&](const std::filesystem::path& target, const std::vector<std::uint8_t>& bytes) {
        batch.Add(target, bytes, true);
    };

    // A source shorter than its size reads as zeros past its end; the result
    // names each one, so that a cut-off copy does not pass unnoticed.
    std::vector<std::string> shortSources;
    auto read = [&](VelnetSource kind, int loop, std::size_t size) {
        const std::string name = VelnetFileName(kind, loop);
        auto bytes = ReadSource(folder, name, size);
        if (!bytes)
            missing = name;
        else if (bytes->size() < size)
            shortSources.push_back(name + " 只有 " + std::to_string(bytes->size()) +
                                   " 字节（应为 " + std::to_string(size) +
                                   " 字节），其余按 0 读入");
        return bytes;
    };

    // Loops above 255 are skipped and never counted, so the loop stops there.
    const std::uint32_t end = std::min<std::uint32_t>(last, 255);
    for (std::uint32_t l = first; l <= end && first <= 255; ++l) {
        const int loop = static_cast<int>(l);
        const auto devices = read(VelnetSource::Devices, loop, kVelnetDeviceSize);
        if (!devices) break;
        const auto places = read(VelnetSource::Locations, loop, kVelnetLocationSize);
        if (!places) break;
        const auto logic = read(VelnetSource::Logic, loop, kVelnetLogicSize);
        if (!logic) break;
        ++report.converted;
        write(dir.PathOf(store::ProjectFile::Devices, loop), VelnetDeviceFile(*devices, *places));
        write(dir.PathOf(store::ProjectFile::DeviceLogic, loop), VelnetDeviceLogicFile(*logic));
    }

    // A conversion that fails changes nothing: half a range converted would
    // pass for the whole one.
    if (report.converted != expected) {
        std::string reason;
        if (!missing.empty())
            reason = "缺少文件 " + (folder / missing).string();
        else if (last > 255)
            reason = "回路号超出 0..255";
        else
            reason = "起始回路大于结束回路";
        return base::Error{VelnetFailedText(folder), reason};
    }
    batch.Write();
    if (batch.Failed()) {
        return base::Error{"对不起，数据文件转换失败！\r\n无法写入 " +
                               std::to_string(batch.FailedCount()) + " 个文件（" +
                               batch.FailedList() + "）",
                           batch.FirstReason()};
    }
    report.message = std::string(kVelnetDoneText);
    for (const std::string& line : shortSources) report.message += "\n" + line;
    return report;
}

}  // namespace velsend::exchange

#include "core/burner/backup.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/controller_model.h"
#include "base/file_write.h"
#include "base/platform/files.h"
#include "base/platform/system.h"
#include "base/user_prompt.h"

namespace velsend::burner {
namespace {

std::string FileOpenFailed(const std::filesystem::path& path) {
    return "文件" + path.string() + "打开失败!";
}

std::string Percent(int value) {
    return std::to_string(value) + "%";
}

std::string Hex(unsigned value, int digits) {
    char text[8];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return std::string("0x") + text;
}

// "第 3 块（块号 0x0002，共 1024 块）": which block a failure met.
std::string BlockText(int block, int count) {
    return "第 " + std::to_string(block + 1) + " 块（块号 " + Hex(static_cast<unsigned>(block), 4) +
           "，共 " + std::to_string(count) + " 块）";
}

void Connect(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer) {
    const OpenResult opened = port.Open(job.address);
    if (!opened) observer.PortNotOpened(opened);
    port.SetTimeouts();
    port.Configure(job.baud, NOPARITY, 8, ONESTOPBIT);
}

// The burner's one-byte answer to `command`; 0 when it said nothing.
std::uint8_t ExchangeCommand(ChipCopyPort& port, std::uint8_t command) {
    port.Write(&command, 1);
    std::uint8_t reply = 0;
    return port.Read(&reply, 1) == 1 ? reply : 0;
}

std::array<std::uint8_t, 2> BlockNumber(int block) {
    return {static_cast<std::uint8_t>(block / 256), static_cast<std::uint8_t>(block % 256)};
}

ChipCopyResult& FileFailed(ChipCopyResult& result, const base::Error& error) {
    result.outcome = ChipCopyOutcome::FileError;
    result.message = error.Full();
    result.handIcon = true;
    return result;
}

// The chosen file could not be opened (the first line fixed, the reason after it).
ChipCopyResult& OpenFailed(ChipCopyResult& result, const std::filesystem::path& file,
                           std::string reason) {
    return FileFailed(result, base::Error{FileOpenFailed(file), std::move(reason)});
}

// A block went wrong: "error", and on the second line which block and why.
ChipCopyResult& BlockFailed(ChipCopyPort& port, ChipCopyResult& result, int block, int count,
                            const std::string& what) {
    const bool gone = port.LineGone();
    port.Close();
    result.outcome = gone ? ChipCopyOutcome::LineGone : ChipCopyOutcome::BlockError;
    result.message = std::string(kBlockError) + "\n" + BlockText(block, count) + "：" +
                     (gone ? std::string(kLineGoneText) : what);
    return result;
}

ChipCopyResult& Stopped(ChipCopyPort& port, ChipCopyResult& result) {
    port.Close();
    result.outcome = ChipCopyOutcome::Cancelled;
    return result;
}

// Opens the connection and the backup or restore command; false, with the
// port closed and `result` telling why, when the burner did not take it.
bool Begin(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
           std::uint8_t command, std::string_view running, int count, ChipCopyResult& result) {
    observer.SetRange(count);
    result.status = std::string(running);
    observer.SetStatus(result.status);
    Connect(port, job, observer);
    const std::uint8_t reply = ExchangeCommand(port, command);
    if (reply == command) return true;
    const bool gone = port.LineGone();
    port.Close();
    if (reply == kNoChip) {
        // A burner that answers is on; the chip is what is missing.
        result.outcome = ChipCopyOutcome::NoChip;
        result.message = std::string(kChipNotSeated);
        result.status = result.message;
        observer.SetStatus(result.status);
        return false;
    }
    result.outcome = ChipCopyOutcome::NoBurner;
    result.message = std::string(kBurnerNotReady);
    if (gone) result.message += "\n" + std::string(kLineGoneText);
    return false;
}

// One more block confirmed: the bar and the status line move on.
void BlockDone(ChipCopyResult& result, TransferObserver& observer, int block, int count) {
    result.blocks = block + 1;
    observer.SetPosition(block);
    result.status = Percent(block * 100 / count);
    observer.SetStatus(result.status);
}

// Every block done: the bar full, "100%", the port closed.
ChipCopyResult Finished(ChipCopyPort& port, ChipCopyResult& result, TransferObserver& observer,
                        int count) {
    observer.SetPosition(count);
    result.status = Percent(100);
    observer.SetStatus(result.status);
    port.Close();
    return result;
}

}  // namespace

int ChipBlockCount(int model) {
    return base::Traits(model).chipBlocks;
}

std::filesystem::path ChipImageFile(ChipCopyKind kind, const std::filesystem::path& typed) {
    if (typed.empty() || typed.has_extension()) return typed;
    std::filesystem::path withExtension = typed;
    withExtension += ".bin";
    if (kind == ChipCopyKind::Backup) return withExtension;
    std::error_code ec;
    return std::filesystem::exists(typed, ec) ? typed : withExtension;
}

std::string ReplaceQuestion(const std::filesystem::path& file) {
    return "文件" + file.string() + "已经存在。\n要替换它吗？";
}

std::uintmax_t OtherModelImageSize(const std::filesystem::path& file, int model) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return 0;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size == ChipImageSize(model)) return 0;
    for (int other = 1; base::IsValidModel(other); ++other) {
        if (ChipImageSize(other) == size) return size;
    }
    return 0;
}

std::string OtherModelSizeText(const std::filesystem::path& file, std::uintmax_t size, int model) {
    const std::uintmax_t blocks = size / kChipBlockSize;
    const int count = ChipBlockCount(model);
    return "文件" + file.string() + "的大小是 " + std::to_string(size) + " 字节（" +
           std::to_string(blocks) + " 块），是另一种控制器的芯片数据；当前控制器的芯片数据是 " +
           std::to_string(ChipImageSize(model)) + " 字节（" + std::to_string(count) + " 块）。" +
           (blocks > static_cast<std::uintmax_t>(count)
                ? "还原时只写入文件的前 " + std::to_string(count) + " 块。"
                : "还原时文件之后的 " + std::to_string(count - static_cast<int>(blocks)) +
                      " 块写入 0xFF。");
}

std::optional<ChipCopyJob> PrepareChipCopy(ChipCopyJob job, ChipCopyKind kind,
                                           const std::filesystem::path& typed,
                                           base::UserPrompt& prompt, bool otherSizeAccepted) {
    job.kind = kind;
    job.file = ChipImageFile(kind, typed);
    std::error_code ec;
    if (kind == ChipCopyKind::Backup && job.file != typed &&
        std::filesystem::exists(job.file, ec) &&
        !prompt.AskYesNo(ReplaceQuestion(job.file), "另存为")) {
        return std::nullopt;
    }
    if (kind == ChipCopyKind::Restore) {
        if (const std::uintmax_t size = OtherModelImageSize(job.file, job.model); size != 0) {
            if (!otherSizeAccepted &&
                !prompt.AskYesNo(OtherModelSizeText(job.file, size, job.model) + "\n仍要还原吗？",
                                 "还原")) {
                return std::nullopt;
            }
            job.otherModelSize = true;
        }
    }
    return job;
}

ChipCopyResult ReadChip(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                        const std::atomic<bool>* cancel, const BlockSink& take,
                        std::string_view running) {
    ChipCopyResult result;
    const int count = ChipBlockCount(job.model);
    if (!Begin(port, job, observer, kBackupCommand, running, count, result)) return result;
    std::array<std::uint8_t, kChipBlockSize + 1> reply;
    for (int block = 0; block < count; ++block) {
        if (cancel && cancel->load()) return Stopped(port, result);
        const auto number = BlockNumber(block);
        port.Write(number.data(), 2);
        const std::uint32_t got = port.Read(reply.data(), static_cast<std::uint32_t>(reply.size()));
        if (got == 0) return BlockFailed(port, result, block, count, "烧写器没有回答");
        if (got < reply.size()) {
            return BlockFailed(port, result, block, count,
                               "只收到 " + std::to_string(got) + " 字节，应为 " +
                                   std::to_string(reply.size()) + " 字节");
        }
        if (reply.back() != 0x99) {
            return BlockFailed(port, result, block, count,
                               "结束字节是 " + Hex(reply.back(), 2) + "，不是 0x99");
        }
        if (const base::Result<> taken = take(block, std::span(reply).first(kChipBlockSize));
            !taken) {
            port.Close();
            return FileFailed(result, taken.error());
        }
        BlockDone(result, observer, block, count);
    }
    return Finished(port, result, observer, count);
}

ChipCopyResult BackupChip(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                          const std::atomic<bool>* cancel) {
    ChipCopyResult result;
    // An existing file the user may not write stays as it is.
    std::error_code ec;
    int error = 0;
    if (std::filesystem::exists(job.file, ec) && !platform::CanWrite(job.file, error)) {
        return OpenFailed(result, job.file, platform::ErrorText(error));
    }
    base::PendingFile temp(job.file);
    if (const base::Result<> opened = temp.Open(); !opened) {
        return OpenFailed(result, job.file, opened.error().reason);
    }
    result = ReadChip(port, job, observer, cancel,
                      [&](int, std::span<const std::uint8_t> block) { return temp.Append(block); });
    if (result.outcome != ChipCopyOutcome::Done) return result;
    if (const base::Result<> committed = temp.Commit(); !committed) {
        FileFailed(result, committed.error());
    }
    return result;
}

std::optional<std::vector<std::uint8_t>> LoadChipImage(const ChipCopyJob& job,
                                                       ChipCopyResult& result) {
    const std::size_t imageSize = ChipImageSize(job.model);
    // Without blocking, so that a named pipe in the file's place is refused
    // instead of waiting for a writer.
    platform::ReadOnlyFile file(job.file);
    if (!file.IsOpen()) {
        OpenFailed(result, job.file, platform::ErrorText(file.Error()));
        return std::nullopt;
    }
    if (file.FileKind() != platform::ReadOnlyFile::Kind::Regular) {
        OpenFailed(result, job.file,
                   file.FileKind() == platform::ReadOnlyFile::Kind::Folder
                       ? "这是一个文件夹"
                       : "不是普通文件（管道或设备）");
        return std::nullopt;
    }
    const std::uint64_t fileSize = file.Size();
    bool otherModel = false;
    for (int other = 1; job.otherModelSize && base::IsValidModel(other); ++other)
        otherModel = otherModel || fileSize == ChipImageSize(other);
    if (fileSize != imageSize && !otherModel) {
        // Blocks past the end of a short file would go out as whatever lay in
        // memory; a longer file belongs to another chip. The size alone
        // decides: the file is not read.
        result.outcome = ChipCopyOutcome::WrongSize;
        result.message = "文件" + job.file.string() + "的大小是 " + std::to_string(fileSize) +
                         " 字节，当前控制器的芯片数据是 " + std::to_string(imageSize) +
                         " 字节，不能还原!";
        result.handIcon = true;
        return std::nullopt;
    }
    // Past the end of a shorter image of another model the chip gets 0xFF.
    std::vector<std::uint8_t> image(imageSize, 0xFF);
    const std::size_t wanted = std::min<std::size_t>(imageSize, static_cast<std::size_t>(fileSize));
    const std::size_t done = file.Read(image.data(), wanted);
    if (done != wanted) {
        OpenFailed(result, job.file,
                   file.Error() != 0 ? platform::ErrorText(file.Error()) : "文件在读取时变短了");
        return std::nullopt;
    }
    return image;
}

ChipCopyResult RestoreChip(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                           const std::atomic<bool>* cancel) {
    ChipCopyResult result;
    const int count = ChipBlockCount(job.model);
    const std::optional<std::vector<std::uint8_t>> loaded = LoadChipImage(job, result);
    if (!loaded) return result;
    const std::vector<std::uint8_t>& image = *loaded;
    if (!Begin(port, job, observer, kRestoreCommand, kRestoreRunning, count, result)) return result;
    for (int block = 0; block < count; ++block) {
        if (cancel && cancel->load()) return Stopped(port, result);
        const auto number = BlockNumber(block);
        port.Write(number.data(), 2);
        port.Write(image.data() + static_cast<std::size_t>(block) * kChipBlockSize,
                   static_cast<std::uint32_t>(kChipBlockSize));
        const std::uint8_t end = 0x99;
        port.Write(&end, 1);
        std::uint8_t reply = 0;
        if (port.Read(&reply, 1) != 1)
            return BlockFailed(port, result, block, count, "烧写器没有确认这一块");
        if (reply != 0x99) {
            return BlockFailed(port, result, block, count,
                               "烧写器回答 " + Hex(reply, 2) + "，不是 0x99");
        }
        BlockDone(result, observer, block, count);
    }
    return Finished(port, result, observer, count);
}

ChipCopyResult RunChipCopy(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                           const std::atomic<bool>* cancel) {
    return job.kind == ChipCopyKind::Backup ? BackupChip(port, job, observer, cancel)
                                            : RestoreChip(port, job, observer, cancel);
}

}  // namespace velsend::burner

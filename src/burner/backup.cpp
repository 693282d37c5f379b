#include "base/controller_model.h"
#include "burner/backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <vector>

namespace velsend::burner {
namespace {

std::string FileOpenFailed(const std::filesystem::path& path) {
    return "文件" + path.string() + "打开失败!";
}

std::string Percent(int value) {
    return std::to_string(value) + "%";
}

void Connect(CComm2& port, const ChipCopyJob& job, TransferObserver& observer) {
    const OpenResult opened = port.Open(job.address);
    if (!opened) observer.PortNotOpened(opened);
    port.SetTimeouts();
    port.Configure(job.baud, NOPARITY, 8, ONESTOPBIT);
}

bool ExchangeCommand(CComm2& port, std::uint8_t command) {
    port.Write(&command, 1);
    std::uint8_t reply = 0;
    return port.Read(&reply, 1) == 1 && reply == command;
}

std::array<std::uint8_t, 2> BlockNumber(int block) {
    return {static_cast<std::uint8_t>(block / 256), static_cast<std::uint8_t>(block % 256)};
}

// A file descriptor for the temporary image, removed unless kept.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::filesystem::path& target) {
        std::string pattern = target.string() + ".part-XXXXXX";
        fd_ = ::mkstemp(pattern.data());
        if (fd_ >= 0) path_ = pattern;
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!kept_ && !path_.empty()) ::unlink(path_.c_str());
    }
    bool ok() const { return fd_ >= 0; }
    bool WriteAt(const std::uint8_t* data, std::size_t size, off_t offset) {
        return ::pwrite(fd_, data, size, offset) == static_cast<ssize_t>(size);
    }
    // Makes the image durable, then puts it under the chosen name.
    bool MoveTo(const std::filesystem::path& target) {
        if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
            fd_ = -1;
            return false;
        }
        fd_ = -1;
        // mkstemp makes the file private; a backup should look like any saved file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(path_.c_str(), 0666 & ~mask);
        if (::rename(path_.c_str(), target.c_str()) != 0) return false;
        kept_ = true;
        return true;
    }

  private:
    int fd_ = -1;
    std::string path_;
    bool kept_ = false;
};

// The chosen file could not be opened, written or put in place.
ChipCopyResult FileFailed(ChipCopyResult& result, const std::filesystem::path& file) {
    result.outcome = ChipCopyOutcome::FileError;
    result.message = FileOpenFailed(file);
    result.handIcon = true;
    return result;
}

// Opens the connection and the backup or restore command; false, with the
// port closed and `result` telling why, when the burner did not take it.
bool Begin(CComm2& port, const ChipCopyJob& job, TransferObserver& observer, std::uint8_t command,
           std::string_view running, int count, ChipCopyResult& result) {
    observer.SetRange(count);
    result.status = std::string(running);
    observer.SetStatus(result.status);
    Connect(port, job, observer);
    if (ExchangeCommand(port, command)) return true;
    port.Close();
    result.outcome = ChipCopyOutcome::NoBurner;
    result.message = std::string(kBurnerNotReady);
    return false;
}

}  // namespace

int ChipBlockCount(int model) {
    return base::Traits(model).chipBlocks;
}

ChipCopyResult BackupChip(CComm2& port, const ChipCopyJob& job, TransferObserver& observer,
                          const std::atomic<bool>* cancel) {
    ChipCopyResult result;
    const int count = ChipBlockCount(job.model);
    // An existing file the user may not write stays as it is.
    if (std::filesystem::exists(job.file) && ::access(job.file.c_str(), W_OK) != 0) {
        return FileFailed(result, job.file);
    }
    TemporaryFile temp(job.file);
    if (!temp.ok()) {
        return FileFailed(result, job.file);
    }
    auto status = [&](std::string text) {
        result.status = std::move(text);
        observer.SetStatus(result.status);
    };
    if (!Begin(port, job, observer, kBackupCommand, kBackupRunning, count, result)) return result;
    std::array<std::uint8_t, kChipBlockSize + 1> reply;
    for (int block = 0; block < count; ++block) {
        if (cancel && cancel->load()) {
            port.Close();
            result.outcome = ChipCopyOutcome::Cancelled;
            return result;
        }
        const auto number = BlockNumber(block);
        port.Write(number.data(), 2);
        const std::uint32_t got = port.Read(reply.data(), static_cast<std::uint32_t>(reply.size()));
        if (got < reply.size() || reply.back() != 0x99) {
            port.Close();
            result.outcome = ChipCopyOutcome::BlockError;
            result.message = std::string(kBlockError);
            return result;
        }
        if (!temp.WriteAt(reply.data(), kChipBlockSize,
                          static_cast<off_t>(block) * static_cast<off_t>(kChipBlockSize))) {
            port.Close();
            return FileFailed(result, job.file);
        }
        result.blocks = block + 1;
        observer.SetPosition(block);
        status(Percent(block * 100 / count));
    }
    observer.SetPosition(count);
    status(Percent(100));
    port.Close();
    if (!temp.MoveTo(job.file)) {
        FileFailed(result, job.file);
    }
    return result;
}

ChipCopyResult RestoreChip(CComm2& port, const ChipCopyJob& job, TransferObserver& observer,
                           const std::atomic<bool>* cancel) {
    ChipCopyResult result;
    const int count = ChipBlockCount(job.model);
    std::ifstream in(job.file, std::ios::binary);
    std::error_code ec;
    const bool regular = std::filesystem::is_regular_file(job.file, ec);
    if (!in || !regular) {
        return FileFailed(result, job.file);
    }
    std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (image.size() != ChipImageSize(job.model)) {
        // Blocks past the end of a short file would go out as whatever lay in
        // memory; a longer file belongs to another chip.
        result.outcome = ChipCopyOutcome::WrongSize;
        result.message = "文件" + job.file.string() + "的大小是 " + std::to_string(image.size()) +
                         " 字节，当前控制器的芯片数据是 " +
                         std::to_string(ChipImageSize(job.model)) + " 字节，不能还原!";
        result.handIcon = true;
        return result;
    }
    auto status = [&](std::string text) {
        result.status = std::move(text);
        observer.SetStatus(result.status);
    };
    if (!Begin(port, job, observer, kRestoreCommand, kRestoreRunning, count, result)) return result;
    for (int block = 0; block < count; ++block) {
        if (cancel && cancel->load()) {
            port.Close();
            result.outcome = ChipCopyOutcome::Cancelled;
            return result;
        }
        const auto number = BlockNumber(block);
        port.Write(number.data(), 2);
        port.Write(image.data() + static_cast<std::size_t>(block) * kChipBlockSize,
                   static_cast<std::uint32_t>(kChipBlockSize));
        const std::uint8_t end = 0x99;
        port.Write(&end, 1);
        std::uint8_t reply = 0;
        if (port.Read(&reply, 1) != 1 || reply != 0x99) {
            port.Close();
            result.outcome = ChipCopyOutcome::BlockError;
            result.message = std::string(kBlockError);
            return result;
        }
        result.blocks = block + 1;
        observer.SetPosition(block);
        status(Percent(block * 100 / count));
    }
    observer.SetPosition(count);
    status(Percent(100));
    port.Close();
    return result;
}

}  // namespace velsend::burner

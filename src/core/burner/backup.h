#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "core/burner/serial_port.h"
#include "core/burner/transfer_engine.h"

namespace velsend::base {
class UserPrompt;
}  // namespace velsend::base

namespace velsend::burner {

inline constexpr std::size_t kChipBlockSize = 256;
inline constexpr std::uint8_t kBackupCommand = 0x30;
inline constexpr std::uint8_t kRestoreCommand = 0x40;

// The chip image: 2048 blocks of 256 bytes for model 2, 1024 for the others.
int ChipBlockCount(int model);
inline std::size_t ChipImageSize(int model) {
    return static_cast<std::size_t>(ChipBlockCount(model)) * kChipBlockSize;
}

inline constexpr std::string_view kBackupRunning = "正在备份工程数据，请稍后。。。";
inline constexpr std::string_view kRestoreRunning = "正在还原工程数据，请稍后。。。";
inline constexpr std::string_view kBurnerNotReady = "烧写器没有上电 或 通讯线没有连接电脑";
inline constexpr std::string_view kBlockError = "error";

enum class ChipCopyOutcome {
    Done,        // every block moved
    FileError,   // the file could not be opened, written or put in place
    WrongSize,   // a restore file that is not a whole image of this model
    NoBurner,    // the burner did not take the command
    NoChip,      // the burner answered 0xBE: no data chip seated
    BlockError,  // a block went missing on the way
    Cancelled,   // stopped between blocks (the user, a signal)
    LineGone,    // the line hung up mid-way (burner unplugged)
};

struct ChipCopyResult {
    ChipCopyOutcome outcome = ChipCopyOutcome::Done;
    // The message box to show; empty when none (success, cancel).
    std::string message;
    bool handIcon = false;  // the file messages carry the stop icon
    std::string status;     // the last status text
    int blocks = 0;         // blocks moved
};

enum class ChipCopyKind { Backup, Restore };

struct ChipCopyJob {
    ChipCopyKind kind = ChipCopyKind::Backup;
    int model = 2;
    PortAddress address;
    std::uint32_t baud = 115200;
    std::filesystem::path file;
    // The user accepted a restore image of another model's chip size: the
    // model's block count goes out, cut from a longer file or padded with
    // 0xFF (erased flash) past the end of a shorter one.
    bool otherModelSize = false;
};

// The size of `file` when it is a whole chip image of a model whose chip is
// not `model`'s size; 0 otherwise (this model's size, any other size, not a
// regular file).
std::uintmax_t OtherModelImageSize(const std::filesystem::path& file, int model);
// Names both sizes: "文件…的大小是 524288 字节（2048 块）…"
std::string OtherModelSizeText(const std::filesystem::path& file, std::uintmax_t size, int model);

// The file a typed name stands for: a name without an extension gets ".bin"
// (a backup always; a restore when no file of the typed name exists).
std::filesystem::path ChipImageFile(ChipCopyKind kind, const std::filesystem::path& typed);
std::string ReplaceQuestion(const std::filesystem::path& file);

// The one place the GUI and the CLI build a backup or restore: `job` brings
// the model and the port and speed of the transfer rules, this adds the kind
// and the file name with its extension.
// A backup that would replace an existing file other than the one typed (the
// file dialog asked only about the typed name) asks first, and so does a
// restore of another model's image size unless `otherSizeAccepted`; nullopt
// when the user said No.
std::optional<ChipCopyJob> PrepareChipCopy(ChipCopyJob job, ChipCopyKind kind,
                                           const std::filesystem::path& typed,
                                           base::UserPrompt& prompt,
                                           bool otherSizeAccepted = false);

// Chip -> file. The image goes to a temporary file beside the chosen one and
// replaces it only when every block arrived, so a failed backup never
// destroys an earlier one. A failure's message keeps its first line ("error",
// "文件…打开失败!") and adds the reason on a second: the block, what the
// burner answered or that it did not, or the system's error.
ChipCopyResult BackupChip(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                          const std::atomic<bool>* cancel = nullptr);
// File -> chip. Only a regular file is read (a named pipe cannot stall it),
// and one whose size is not this model's image size is refused before it is
// read or anything is sent.
ChipCopyResult RestoreChip(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                           const std::atomic<bool>* cancel = nullptr);
// Reads the whole chip with the backup's exchange and hands each block to
// `take` as it arrives; an error from `take` ends the read as a file error.
using BlockSink = std::function<base::Result<>(int block, std::span<const std::uint8_t> data)>;
// `running` is the status text while it reads.
ChipCopyResult ReadChip(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                        const std::atomic<bool>* cancel, const BlockSink& take,
                        std::string_view running = kBackupRunning);
// The job's file as a whole image of its model, checked as a restore checks
// it; nullopt with `result` telling why when it is not one.
std::optional<std::vector<std::uint8_t>> LoadChipImage(const ChipCopyJob& job,
                                                       ChipCopyResult& result);
// BackupChip or RestoreChip, as the job's kind says.
ChipCopyResult RunChipCopy(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                           const std::atomic<bool>* cancel = nullptr);

}  // namespace velsend::burner

#pragma once

// The steps around the chip's destructive writes: a backup of the whole chip
// into the project's chip-backups/ folder before an erase, a restore or (when
// asked) a transfer, and a read-back compared with the image after a restore.
// The protocol exchanges themselves are those of backup.h and the transfer
// engine, byte for byte; this only runs them one after another.

#include <atomic>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/burner/backup.h"
#include "core/burner/transfer_engine.h"

namespace velsend::burner {

inline constexpr std::string_view kChipBackupFolder = "chip-backups";
inline constexpr std::string_view kEraseBackupQuestion = "擦除前先备份芯片内容？";
inline constexpr std::string_view kRestoreBackupQuestion = "还原前先备份芯片内容？";
inline constexpr std::string_view kVerifyPassed = "校验通过";
inline constexpr std::string_view kVerifyRunning = "正在读出芯片并校验，请稍后。。。";

std::filesystem::path ChipBackupFolder(const std::filesystem::path& projectRoot);
// "2026-12-09_1430_MX300KBX(W29C020).bin"; copy 2, 3, … add "_2", "_3" for
// backups made within the same minute.
std::string ChipBackupName(int model, const std::tm& local, int copy = 1);
// A name in `folder` that no file has yet, for a backup made at `now`.
std::filesystem::path NewChipBackupPath(const std::filesystem::path& folder, int model,
                                        std::time_t now);

// Reading the whole chip: per block two bytes out and 257 back, 10 bits a
// byte on the line. About 46 s for the 2048 blocks of model 2 at 115200.
double ChipReadSeconds(int model, std::uint32_t baud);
// "约 46 秒（512 KB，115200 bit/s）"
std::string ChipReadTimeText(int model, std::uint32_t baud);
// The question, then on a second line how long the backup takes.
std::string BackupQuestion(std::string_view question, int model, std::uint32_t baud);

struct ChipBackupEntry {
    std::filesystem::path file;
    std::string when;   // "2026-12-09 14:30", from the name (else the file's time)
    std::string model;  // the model's name, empty when the name does not say
    std::uintmax_t size = 0;
    bool complete = false;  // exactly one whole image of its model
};
// The backups in the project's chip-backups/, newest first. Left-over parts
// of a backup that never finished are listed too, as incomplete.
std::vector<ChipBackupEntry> ListChipBackups(const std::filesystem::path& projectRoot);

enum class VerifyOutcome { Same, Different, Failed, Cancelled };

struct VerifyResult {
    VerifyOutcome outcome = VerifyOutcome::Failed;
    int firstBlock = -1;          // first block that differs
    std::size_t firstOffset = 0;  // its first differing byte, from the image's start
    int differingBlocks = 0;
    ChipCopyResult read;  // the read-back itself
    std::string message;  // "校验通过", where it differs, or why it failed
    bool Same() const { return outcome == VerifyOutcome::Same; }
};

// Reads the chip back and compares it with `image` (a whole image of job.model).
VerifyResult VerifyChipImage(ChipCopyPort& port, const ChipCopyJob& job,
                             std::span<const std::uint8_t> image, TransferObserver& observer,
                             const std::atomic<bool>* cancel = nullptr);
// The same against job.file, which must be a whole image of job.model; nothing is written.
VerifyResult VerifyChip(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                        const std::atomic<bool>* cancel = nullptr);

struct SafetyBackup {
    ChipCopyResult copy;
    std::filesystem::path file;  // where the backup went (empty when it failed)
    bool Done() const { return copy.outcome == ChipCopyOutcome::Done; }
};
// Reads the whole chip into a new file of chip-backups/ (made when missing),
// named for now and job.model.
SafetyBackup BackupBeforeWrite(ChipCopyPort& port, const ChipCopyJob& job,
                               const std::filesystem::path& projectRoot, TransferObserver& observer,
                               const std::atomic<bool>* cancel = nullptr);
// "芯片内容已备份到 …"
std::string BackupDoneText(const std::filesystem::path& file);
// "备份芯片内容失败，没有擦除芯片。" and the backup's reason below it; for a
// missing chip "数据芯片没有插好！" first and that below it.
std::string BackupFailedText(std::string_view notDone, const ChipCopyResult& backup);

// Shows a run of several chip copies as one: the bar runs once over all the
// phases, each phase named as it starts ("写入芯片 2/3").
class PhasedObserver : public TransferObserver {
  public:
    PhasedObserver(TransferObserver& inner, std::vector<std::string> phases);
    // Phase `index` (0-based) starts.
    void Begin(int index);

    void SetRange(int upper) override { range_ = upper; }
    void SetPosition(int position) override;
    void SetStatus(const std::string& text) override { inner_.SetStatus(text); }
    void PortNotOpened(const OpenResult& result) override { inner_.PortNotOpened(result); }
    void Warn(const std::string& text) override { inner_.Warn(text); }

    // Steps of the bar for one phase.
    static constexpr int kPhaseSteps = 1000;

  private:
    TransferObserver& inner_;
    std::vector<std::string> phases_;
    int index_ = 0;
    int range_ = 0;
};

struct RestoreSteps {
    bool backupFirst = true;
    bool verifyAfter = true;
    std::filesystem::path projectRoot;
};

struct GuardedRestore {
    std::optional<SafetyBackup> backup;
    std::optional<ChipCopyResult> restore;  // unset when the backup stopped it
    std::optional<VerifyResult> verify;
    // Backup (if asked), restore and verify (if asked) all went through and
    // the chip holds the image.
    bool Succeeded() const;
    bool Cancelled() const;
    // What to tell the user when it did not succeed (empty when cancelled).
    std::string FailureText() const;
};
// A restore with the steps around it, reported as phases of one bar; the
// restore's own bytes are those of RestoreChip. The file is checked before the backup, so a wrong
// file costs no backup.
GuardedRestore RestoreWithSteps(ChipCopyPort& port, const ChipCopyJob& job,
                                const RestoreSteps& steps, TransferObserver& observer,
                                const std::atomic<bool>* cancel = nullptr);

struct GuardedTransfer {
    std::optional<SafetyBackup> backup;
    std::optional<TransferResult> transfer;  // unset when the backup stopped it
};
// A transfer (an erase, or any other when the rules ask for it) after a
// backup of the chip; without `backupFirst` just the transfer.
GuardedTransfer TransferWithBackup(TransferEngine& engine, const TransferJob& job, bool backupFirst,
                                   TransferObserver& observer,
                                   const std::atomic<bool>* cancel = nullptr);

// What the transfer would destroy, for BackupFailedText.
std::string_view NotDoneText(TransferKind kind);

// How a stopped run ended, in the one wording both shells show (the CLI puts
// which signal stopped it in front).
// A backup before a write was stopped: "备份已停止，没有传送。芯片没有改变。"
std::string BackupStoppedText(std::string_view notDone);
// A transfer stopped half-way, with the blocks the burner confirmed: what may
// be on the chip and what to do.
std::string TransferStoppedText(TransferKind kind, int stored, int expected);
// A restore stopped half-way, likewise.
std::string RestoreStoppedText(int stored, int expected);

}  // namespace velsend::burner

#include "core/burner/chip_safety.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <regex>

#include "base/controller_model.h"
#include "base/platform/system.h"

namespace velsend::burner {
namespace {

std::string Hex(std::size_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*zX", digits, value);
    return text;
}

// The model whose name the table gives as `name`; 0 when none.
int ModelNamed(std::string_view name) {
    for (int code = base::kFirstModel; code <= base::kLastModel; ++code)
        if (base::ModelInfo(code).menuText == name) return code;
    return 0;
}

std::string FileTime(const std::filesystem::path& file) {
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(file, ec);
    if (ec) return {};
    const std::time_t t =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    std::tm local{};
    if (!platform::LocalTime(t, local)) return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

}  // namespace

std::filesystem::path ChipBackupFolder(const std::filesystem::path& projectRoot) {
    return projectRoot / kChipBackupFolder;
}

std::string ChipBackupName(int model, const std::tm& local, int copy) {
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H%M_", &local);
    std::string name = stamp + std::string(base::ModelInfo(model).menuText);
    if (copy > 1) name += "_" + std::to_string(copy);
    return name + ".bin";
}

std::filesystem::path NewChipBackupPath(const std::filesystem::path& folder, int model,
                                        std::time_t now) {
    std::tm local{};
    (void)platform::LocalTime(now, local);
    for (int copy = 1;; ++copy) {
        std::filesystem::path candidate =
            folder / platform::PathFromUtf8(ChipBackupName(model, local, copy));
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec)))
            return candidate;
    }
}

double ChipReadSeconds(int model, std::uint32_t baud) {
    const double bytes = static_cast<double>(ChipBlockCount(model)) * (2 + kChipBlockSize + 1);
    return bytes * 10.0 / static_cast<double>(baud);
}

std::string ChipReadTimeText(int model, std::uint32_t baud) {
    const long seconds = std::lround(ChipReadSeconds(model, baud));
    std::string time =
        seconds < 60 ? std::to_string(seconds) + " 秒"
                     : std::to_string(seconds / 60) + " 分 " + std::to_string(seconds % 60) + " 秒";
    return "约 " + time + "（" + std::to_string(ChipImageSize(model) / 1024) + " KB，" +
           std::to_string(baud) + " bit/s）";
}

std::string BackupQuestion(std::string_view question, int model, std::uint32_t baud) {
    return std::string(question) + "\n备份需要" + ChipReadTimeText(model, baud) +
           "，备份文件放在工程文件夹的 " + std::string(kChipBackupFolder) + " 中。";
}

std::vector<ChipBackupEntry> ListChipBackups(const std::filesystem::path& projectRoot) {
    static const std::regex kName(R"(^(\d{4}-\d{2}-\d{2})_(\d{2})(\d{2})_(.+?)(_\d+)?\.bin$)");
    std::vector<ChipBackupEntry> entries;
    std::error_code ec;
    for (const auto& item :
         std::filesystem::directory_iterator(ChipBackupFolder(projectRoot), ec)) {
        if (!item.is_regular_file(ec)) continue;
        const std::string name = item.path().filename().string();
        const bool part = name.find(".bin.part-") != std::string::npos;
        if (!part && item.path().extension() != ".bin") continue;
        ChipBackupEntry entry;
        entry.file = item.path();
        entry.size = item.file_size(ec);
        std::smatch m;
        const std::string whole = part ? name.substr(0, name.find(".part-")) : name;
        int model = 0;
        if (std::regex_match(whole, m, kName)) {
            entry.when = m[1].str() + " " + m[2].str() + ":" + m[3].str();
            model = ModelNamed(m[4].str());
            if (base::IsValidModel(model)) entry.model = m[4].str();
        } else {
            entry.when = FileTime(item.path());
        }
        // A file named by hand is complete when it holds some model's whole chip.
        auto wholeChipOf = [&](int code) { return entry.size == ChipImageSize(code); };
        bool anyModel = false;
        for (int code = base::kFirstModel; code <= base::kLastModel; ++code)
            anyModel = anyModel || wholeChipOf(code);
        entry.complete = !part && (base::IsValidModel(model) ? wholeChipOf(model) : anyModel);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.when != b.when ? a.when > b.when : a.file.filename() > b.file.filename();
    });
    return entries;
}

VerifyResult VerifyChipImage(ChipCopyPort& port, const ChipCopyJob& job,
                             std::span<const std::uint8_t> image, TransferObserver& observer,
                             const std::atomic<bool>* cancel) {
    VerifyResult result;
    result.read = ReadChip(
        port, job, observer, cancel,
        [&](int block, std::span<const std::uint8_t> data) -> base::Result<> {
            const auto want =
                image.subspan(static_cast<std::size_t>(block) * kChipBlockSize, kChipBlockSize);
            const auto diff = std::mismatch(data.begin(), data.end(), want.begin());
            if (diff.first == data.end()) return {};
            if (result.differingBlocks++ == 0) {
                result.firstBlock = block;
                result.firstOffset = static_cast<std::size_t>(block) * kChipBlockSize +
                                     static_cast<std::size_t>(diff.first - data.begin());
            }
            return {};
        },
        kVerifyRunning);
    switch (result.read.outcome) {
        case ChipCopyOutcome::Done:
            break;
        case ChipCopyOutcome::Cancelled:
            result.outcome = VerifyOutcome::Cancelled;
            return result;
        default:
            result.outcome = VerifyOutcome::Failed;
            result.message = "校验时读取芯片失败：\n" + result.read.message;
            return result;
    }
    if (result.differingBlocks == 0) {
        result.outcome = VerifyOutcome::Same;
        result.message = std::string(kVerifyPassed);
        return result;
    }
    result.outcome = VerifyOutcome::Different;
    result.message = "校验失败！芯片与映像不同：第一处在块号 " + std::to_string(result.firstBlock) +
                     "（" + Hex(static_cast<std::size_t>(result.firstBlock), 4) + "），映像偏移 " +
                     Hex(result.firstOffset, 6) + "；共有 " +
                     std::to_string(result.differingBlocks) + " 块不同（共 " +
                     std::to_string(ChipBlockCount(job.model)) + " 块）。";
    return result;
}

VerifyResult VerifyChip(ChipCopyPort& port, const ChipCopyJob& job, TransferObserver& observer,
                        const std::atomic<bool>* cancel) {
    ChipCopyResult loadFailure;
    const std::optional<std::vector<std::uint8_t>> image = LoadChipImage(job, loadFailure);
    if (!image) {
        VerifyResult result;
        result.read = loadFailure;
        result.message = loadFailure.message;
        return result;
    }
    return VerifyChipImage(port, job, *image, observer, cancel);
}

SafetyBackup BackupBeforeWrite(ChipCopyPort& port, const ChipCopyJob& job,
                               const std::filesystem::path& projectRoot, TransferObserver& observer,
                               const std::atomic<bool>* cancel) {
    SafetyBackup backup;
    const std::filesystem::path folder = ChipBackupFolder(projectRoot);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        backup.copy.outcome = ChipCopyOutcome::FileError;
        backup.copy.message = "无法建立文件夹" + folder.string() + "\n" + ec.message();
        return backup;
    }
    ChipCopyJob copy = job;
    copy.kind = ChipCopyKind::Backup;
    copy.file = NewChipBackupPath(folder, job.model, std::time(nullptr));
    backup.copy = BackupChip(port, copy, observer, cancel);
    if (backup.Done()) backup.file = copy.file;
    return backup;
}

std::string BackupDoneText(const std::filesystem::path& file) {
    return "芯片内容已备份到 " + file.string();
}

std::string BackupFailedText(std::string_view notDone, const ChipCopyResult& backup) {
    // The missing chip is the message, as it is for the write itself.
    if (backup.outcome == ChipCopyOutcome::NoChip)
        return backup.message + "\n备份芯片内容失败，" + std::string(notDone);
    return "备份芯片内容失败，" + std::string(notDone) + "\n" + backup.message;
}

bool GuardedRestore::Succeeded() const {
    return (!backup || backup->Done()) && restore && restore->outcome == ChipCopyOutcome::Done &&
           (!verify || verify->Same());
}

bool GuardedRestore::Cancelled() const {
    return (backup && backup->copy.outcome == ChipCopyOutcome::Cancelled) ||
           (restore && restore->outcome == ChipCopyOutcome::Cancelled) ||
           (verify && verify->outcome == VerifyOutcome::Cancelled);
}

std::string GuardedRestore::FailureText() const {
    if (Succeeded() || Cancelled()) return {};
    if (backup && !backup->Done()) return BackupFailedText("没有还原。", backup->copy);
    if (restore && restore->outcome != ChipCopyOutcome::Done) return restore->message;
    return verify ? verify->message : std::string();
}

PhasedObserver::PhasedObserver(TransferObserver& inner, std::vector<std::string> phases)
    : inner_(inner), phases_(std::move(phases)) {
    inner_.SetRange(kPhaseSteps * static_cast<int>(phases_.size()));
}

void PhasedObserver::Begin(int index) {
    index_ = index;
    range_ = 0;
    inner_.SetPosition(kPhaseSteps * index_);
    inner_.SetStage({TransferStage::Unit::Phase, index_, static_cast<int>(phases_.size()), 0, 0,
                     phases_[static_cast<std::size_t>(index_)]});
}

void PhasedObserver::SetPosition(int position) {
    const int within =
        range_ > 0 ? static_cast<int>(std::clamp<long long>(
                         static_cast<long long>(position) * kPhaseSteps / range_, 0, kPhaseSteps))
                   : 0;
    inner_.SetPosition(kPhaseSteps * index_ + within);
}

GuardedRestore RestoreWithSteps(ChipCopyPort& port, const ChipCopyJob& job,
                                const RestoreSteps& steps, TransferObserver& observer,
                                const std::atomic<bool>* cancel) {
    GuardedRestore done;
    ChipCopyResult checked;
    const std::optional<std::vector<std::uint8_t>> image = LoadChipImage(job, checked);
    if (!image) {
        done.restore = checked;
        return done;
    }
    std::vector<std::string> names;
    if (steps.backupFirst) names.emplace_back("备份芯片");
    names.emplace_back("写入芯片");
    if (steps.verifyAfter) names.emplace_back("校验");
    PhasedObserver phased(observer, names);
    int phase = 0;
    if (steps.backupFirst) {
        phased.Begin(phase++);
        done.backup = BackupBeforeWrite(port, job, steps.projectRoot, phased, cancel);
        if (!done.backup->Done()) return done;
    }
    phased.Begin(phase++);
    done.restore = RestoreChip(port, job, phased, cancel);
    if (done.restore->outcome != ChipCopyOutcome::Done || !steps.verifyAfter) return done;
    phased.Begin(phase);
    done.verify = VerifyChipImage(port, job, *image, phased, cancel);
    return done;
}

std::string_view NotDoneText(TransferKind kind) {
    return kind == TransferKind::EraseChip ? "没有擦除芯片。" : "没有传送。";
}

std::string BackupStoppedText(std::string_view notDone) {
    return "备份已停止，" + std::string(notDone) + "芯片没有改变。";
}

namespace {

std::string HalfWrittenText(std::string_view what, int stored, int expected) {
    const std::string w(what);
    return w + "在中途停止，数据芯片中可能只写入了一部分数据（已确认 " + std::to_string(stored) +
           "/" + std::to_string(expected) + " 块）。\n请重新" + w +
           "，以免控制器使用不完整的数据。";
}

}  // namespace

std::string TransferStoppedText(TransferKind kind, int stored, int expected) {
    if (kind == TransferKind::EraseChip)
        return "擦除在中途停止，数据芯片可能只擦除了一部分。\n请重新擦除。";
    return HalfWrittenText("传送", stored, expected);
}

std::string RestoreStoppedText(int stored, int expected) {
    return HalfWrittenText("还原", stored, expected);
}

GuardedTransfer TransferWithBackup(TransferEngine& engine, const TransferJob& job, bool backupFirst,
                                   TransferObserver& observer, const std::atomic<bool>* cancel) {
    GuardedTransfer done;
    if (backupFirst) {
        ChipCopyPort port;
        ChipCopyJob copy;
        copy.model = job.model;
        copy.address = job.address;
        copy.baud = job.rules.BaudRate;
        done.backup = BackupBeforeWrite(port, copy, job.project.Root(), observer, cancel);
        if (!done.backup->Done()) return done;
    }
    done.transfer = engine.Run(job);
    return done;
}

}  // namespace velsend::burner

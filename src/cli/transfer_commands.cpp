#include <filesystem>
#include <optional>
#include <string>

#include "base/controller_model.h"
#include "base/platform/system.h"
#include "cli/commands.h"
#include "cli/table.h"
#include "core/burner/backup.h"
#include "core/burner/chip_safety.h"
#include "core/burner/transfer_engine.h"

namespace velsend::cli {
namespace {

// Which signal stopped the run, before the core's text of what that left.
std::string Interrupted() {
    return "已被 " + StopSignals::Name() + " 中断，端口已关闭。";
}

// Tells how the backup before a write went; false when it stopped the write
// (`status` then holds the exit status).
bool ReportBackup(Context& c, const std::optional<burner::SafetyBackup>& backup,
                  std::string_view notDone, int& status) {
    if (!backup) return true;
    if (backup->Done()) {
        c.streams.out << burner::BackupDoneText(backup->file) << "\n";
        return true;
    }
    if (backup->copy.outcome == burner::ChipCopyOutcome::Cancelled) {
        c.streams.err << Interrupted() << burner::BackupStoppedText(notDone) << "\n";
        status = kExitInterrupted;
        return false;
    }
    c.streams.err << burner::BackupFailedText(notDone, backup->copy) << "\n";
    status = kExitFailed;
    return false;
}

// Said before a backup starts: where it goes and how long it takes.
void AnnounceBackup(Context& c, int model, std::uint32_t baud) {
    c.streams.err << "先备份芯片内容到 "
                  << burner::ChipBackupFolder(c.state.Project.Root()).string() << "，需要"
                  << burner::ChipReadTimeText(model, baud) << "；--no-backup 可以不备份。\n";
}

int TransferCommand(Context& c, burner::TransferKind kind) {
    ProgressPrinter progress(c.streams);
    StopSignals signals;
    burner::TransferEngine engine(c.state.BurnerPort, progress, {}, signals.flag());
    const burner::TransferJob job =
        session::MakeTransferJob(c.state, kind, &c.state.Node9, &c.state.Node10);
    const bool backupFirst =
        kind == burner::TransferKind::EraseChip ? !c.options.noBackup : c.options.backupFirst;
    if (backupFirst) AnnounceBackup(c, job.model, job.rules.BaudRate);
    const burner::GuardedTransfer done =
        burner::TransferWithBackup(engine, job, backupFirst, progress, signals.flag());
    progress.EndBar();
    int status = kExitOk;
    if (!ReportBackup(c, done.backup, burner::NotDoneText(kind), status)) return status;
    const burner::TransferResult& result = *done.transfer;
    if (result.outcome == burner::TransferOutcome::Cancelled) {
        c.streams.err << Interrupted()
                      << burner::TransferStoppedText(kind, result.blocksStored,
                                                     result.blocksExpected)
                      << "\n";
        return kExitInterrupted;
    }
    c.streams.out << result.status << "\n";
    return result.Succeeded() ? kExitOk : kExitFailed;
}

int ChipCopyCommand(Context& c, bool backup) {
    bool force = false;
    if (c.options.args.size() > 1) {
        if (backup || c.options.args[1] != "--force")
            return UsageError(c.streams.err, c.options.command,
                              "unknown argument " + c.options.args[1]);
        force = true;
    }
    if (!backup) {
        // An image of the other model's chip size goes out only when asked for.
        const std::filesystem::path file = burner::ChipImageFile(
            burner::ChipCopyKind::Restore, platform::PathFromUtf8(c.options.args[0]));
        const std::uintmax_t size = burner::OtherModelImageSize(file, c.state.ControllerModel);
        if (size != 0 && !force) {
            c.streams.err << burner::OtherModelSizeText(file, size, c.state.ControllerModel)
                          << "\n要还原它，请加 --force。\n";
            return kExitFailed;
        }
    }
    const std::optional<burner::ChipCopyJob> job = session::PrepareRunChipCopy(
        c.state, backup ? burner::ChipCopyKind::Backup : burner::ChipCopyKind::Restore,
        platform::PathFromUtf8(c.options.args[0]), c.prompt, force);
    if (!job) return kExitFailed;
    ProgressPrinter progress(c.streams);
    StopSignals signals;
    burner::ChipCopyPort port;
    burner::ChipCopyResult result;
    if (backup) {
        result = burner::BackupChip(port, *job, progress, signals.flag());
    } else {
        burner::RestoreSteps steps;
        steps.backupFirst = !c.options.noBackup;
        steps.verifyAfter = !c.options.noVerify;
        steps.projectRoot = c.state.Project.Root();
        if (steps.backupFirst) AnnounceBackup(c, job->model, job->baud);
        const burner::GuardedRestore done =
            burner::RestoreWithSteps(port, *job, steps, progress, signals.flag());
        progress.EndBar();
        int status = kExitOk;
        if (!ReportBackup(c, done.backup, "没有还原。", status)) return status;
        result = *done.restore;
        if (done.verify && result.outcome == burner::ChipCopyOutcome::Done) {
            c.streams.out << result.status << "\n";
            if (done.verify->outcome == burner::VerifyOutcome::Cancelled) {
                c.streams.err << Interrupted() << "芯片已还原，但没有校验完。\n";
                return kExitInterrupted;
            }
            (done.verify->Same() ? c.streams.out : c.streams.err) << done.verify->message << "\n";
            return done.verify->Same() ? kExitOk : kExitFailed;
        }
    }
    progress.EndBar();
    if (result.outcome == burner::ChipCopyOutcome::Cancelled) {
        c.streams.err << Interrupted()
                      << (backup ? "没有写入备份文件 " + job->file.string() + "，芯片没有改变。"
                                 : burner::RestoreStoppedText(result.blocks,
                                                              burner::ChipBlockCount(job->model)))
                      << "\n";
        return kExitInterrupted;
    }
    if (!result.message.empty()) c.streams.err << result.message << "\n";
    if (result.outcome != burner::ChipCopyOutcome::Done) return kExitFailed;
    c.streams.out << result.status << "\n";
    return kExitOk;
}

}  // namespace

int VerifyCommand(Context& c) {
    burner::ChipCopyJob job;
    job.kind = burner::ChipCopyKind::Restore;
    job.model = c.state.ControllerModel;
    job.address = c.state.BurnerAddress();
    job.baud = c.state.Rules.BaudRate;
    job.file = burner::ChipImageFile(burner::ChipCopyKind::Restore,
                                     platform::PathFromUtf8(c.options.args[0]));
    ProgressPrinter progress(c.streams);
    StopSignals signals;
    burner::ChipCopyPort port;
    const burner::VerifyResult result = burner::VerifyChip(port, job, progress, signals.flag());
    progress.EndBar();
    switch (result.outcome) {
        case burner::VerifyOutcome::Same:
            c.streams.out << result.message << "\n";
            return kExitOk;
        case burner::VerifyOutcome::Different:
            c.streams.out << result.message << "\n";
            return kExitFailed;
        case burner::VerifyOutcome::Cancelled:
            c.streams.err << Interrupted() << "\n";
            return kExitInterrupted;
        case burner::VerifyOutcome::Failed:
            break;
    }
    c.streams.err << result.message << "\n";
    return kExitUsage;  // 2: could not compare
}

int ChipBackupsCommand(Context& c) {
    const std::vector<burner::ChipBackupEntry> entries =
        burner::ListChipBackups(c.state.Project.Root());
    const std::filesystem::path folder = burner::ChipBackupFolder(c.state.Project.Root());
    if (entries.empty()) {
        c.streams.out << folder.string() << " 中没有芯片备份。\n";
        return kExitOk;
    }
    Table table({"日期", "型号", "字节", "完整", "文件"});
    for (const burner::ChipBackupEntry& e : entries) {
        table.AddRow({e.when, e.model.empty() ? "?" : e.model, std::to_string(e.size),
                      e.complete ? "是" : "否", EscapeControls(e.file.filename().string())});
    }
    table.Print(c.streams.out);
    return kExitOk;
}

int SendCommand(Context& c) {
    static const std::pair<std::string_view, burner::TransferKind> kinds[] = {
        {"nodes", burner::TransferKind::SendNodes}, {"devices", burner::TransferKind::SendDevices},
        {"logic", burner::TransferKind::SendLogic}, {"phrases", burner::TransferKind::SendPhrases},
        {"names", burner::TransferKind::SendNames},
    };
    for (const auto& [name, kind] : kinds) {
        if (c.options.args[0] == name) return TransferCommand(c, kind);
    }
    c.streams.err << "velsend-cli: send takes nodes, devices, logic, phrases or names\n";
    return kExitUsage;
}

int PortsCommand(Context& c) {
    const burner::PortList& ports = c.state.Ports;
    bool any = false;
    for (int i = 0; i < burner::PortList::kCount; ++i) {
        if (ports.Path(i).empty()) continue;
        any = true;
        const burner::PortIdentity& id = ports.Identity(i);
        c.streams.out << "COM" << (i + 1) << "\t" << ports.Path(i) << "\t"
                      << (id.byId.empty() ? "-" : id.byId) << "\t"
                      << (id.usb.empty() ? "-" : id.usb) << "\n";
    }
    if (!any) c.streams.out << "没有找到串口。\n";
    return kExitOk;
}

int EraseCommand(Context& c) {
    return TransferCommand(c, burner::TransferKind::EraseChip);
}

int BackupCommand(Context& c) {
    return ChipCopyCommand(c, true);
}
int RestoreCommand(Context& c) {
    return ChipCopyCommand(c, false);
}

}  // namespace velsend::cli

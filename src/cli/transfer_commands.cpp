#include <filesystem>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "core/burner/backup.h"
#include "core/burner/transfer_engine.h"

namespace velsend::cli {
namespace {

// What an interrupted run leaves on the chip, said plainly.
std::string InterruptedText(burner::TransferKind kind, int stored, int expected) {
    std::string text = "已被 " + StopSignals::Name() + " 中断，端口已关闭。";
    if (kind == burner::TransferKind::EraseChip) return text + "芯片可能只擦除了一部分，请重新擦除。";
    return text + "芯片上的数据可能只写入了一部分（已确认 " + std::to_string(stored) + "/" +
           std::to_string(expected) + " 块），请重新传送。";
}

int TransferCommand(Context& c, burner::TransferKind kind) {
    c.state.TransferKind = kind;
    ProgressPrinter progress(c.streams);
    StopSignals signals;
    burner::TransferEngine engine(c.state.BurnerPort, progress, {}, signals.flag());
    const burner::TransferJob job = base::MakeTransferJob(c.state, kind, &c.state.Node9, &c.state.Node10);
    const burner::TransferResult result = engine.Run(job);
    progress.EndBar();
    if (result.outcome == burner::TransferOutcome::Cancelled) {
        c.streams.err << InterruptedText(kind, result.blocksStored, result.blocksExpected) << "\n";
        return kExitInterrupted;
    }
    c.streams.out << result.status << "\n";
    return result.Succeeded() ? kExitOk : kExitFailed;
}


int ChipCopyCommand(Context& c, bool backup) {
    bool force = false;
    if (c.options.args.size() > 1) {
        if (backup || c.options.args[1] != "--force")
            return UsageError(c.streams.err, c.options.command, "unknown argument " + c.options.args[1]);
        force = true;
    }
    if (!backup) {
        // An image of the other model's chip size goes out only when asked for.
        const std::filesystem::path file =
            burner::ChipImageFile(burner::ChipCopyKind::Restore, c.options.args[0]);
        const std::uintmax_t size = burner::OtherModelImageSize(file, c.state.ControllerModel);
        if (size != 0 && !force) {
            c.streams.err << burner::OtherModelSizeText(file, size, c.state.ControllerModel)
                          << "\n要还原它，请加 --force。\n";
            return kExitFailed;
        }
    }
    const std::optional<burner::ChipCopyJob> job = base::PrepareChipCopy(
        c.state, backup ? burner::ChipCopyKind::Backup : burner::ChipCopyKind::Restore,
        c.options.args[0], c.prompt, force);
    if (!job) return kExitFailed;
    ProgressPrinter progress(c.streams);
    StopSignals signals;
    burner::ChipCopyPort port;
    const burner::ChipCopyResult result = burner::RunChipCopy(port, *job, progress, signals.flag());
    progress.EndBar();
    if (result.outcome == burner::ChipCopyOutcome::Cancelled) {
        c.streams.err << "已被 " << StopSignals::Name() << " 中断，端口已关闭。"
                      << (backup ? "没有写入备份文件 " + job->file.string() + "，芯片没有改变。"
                                 : "芯片上的数据可能只还原了一部分（已确认 " +
                                       std::to_string(result.blocks) + "/" +
                                       std::to_string(burner::ChipBlockCount(job->model)) +
                                       " 块），请重新还原。")
                      << "\n";
        return kExitInterrupted;
    }
    if (!result.message.empty()) c.streams.err << result.message << "\n";
    if (result.outcome != burner::ChipCopyOutcome::Done) return kExitFailed;
    c.streams.out << result.status << "\n";
    return kExitOk;
}


}  // namespace

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

#include "core/burner/transfer_engine.h"
#include "base/controller_model.h"
#include "base/platform/system.h"
#include "base/project_lock.h"

#include <functional>
#include <optional>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "core/burner/handshake.h"
#include "core/logic/controller_codes.h"
#include "core/phrases/phrase_library.h"

namespace velsend::burner {
namespace {

const TransferTexts kTexts[] = {
    {"传送节点信息", "正在传送节点信息......", "传送节点信息成功！", "传送节点信息失败！"},
    {"传送设备信息", "正在传送设备信息......", "传送设备信息成功！", "传送设备信息失败！"},
    {"传送逻辑信息", "正在传送逻辑信息......", "传送逻辑信息成功！", "传送逻辑信息失败！"},
    {"传送词库信息", "正在传送词库信息......", "传送词库信息成功！", "传送词库信息失败！"},
    {"擦除芯片", "正在擦除芯片......", "擦除芯片成功！", "擦除芯片失败！"},
    {"传送中文名称信息", "正在传送中文名称信息......", "传送中文名称信息成功！",
     "传送中文名称信息失败！"},
};
const TransferTexts kNoTexts{};

constexpr std::size_t kDeviceRecordSize = 7;
constexpr std::size_t kDeviceFileSize = 1792;
constexpr std::size_t kLogRecordSize = 128;
constexpr std::size_t kNameSize = 16;
constexpr std::size_t kNameFileSize = 4096;
constexpr std::size_t kLogicSlotSize = 128;
constexpr int kEraseReplyLimit = 2000;

}  // namespace

void SleepPause(int milliseconds, const std::atomic<bool>* cancel) {
    using namespace std::chrono;
    // The per-piece pacing is a thousand 1 ms sleeps per loop.
    platform::TightenTimerSlack();
    const auto end = steady_clock::now() + std::chrono::milliseconds(milliseconds);
    // Long rests are cut into slices so that a cancel is heard; short ones
    // (the per-piece pacing) sleep in one go to keep their length.
    constexpr auto kSlice = std::chrono::milliseconds(50);
    for (;;) {
        if (cancel && cancel->load()) return;
        const auto now = steady_clock::now();
        if (now >= end) return;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(end - now, kSlice));
    }
}

namespace {

std::array<std::uint8_t, 3> LoopParameters(int loop, const TransferRules& r) {
    return {static_cast<std::uint8_t>(loop), r.FirstAddress, r.LastAddress};
}

std::string Hex(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(byte));
    return text;
}

std::string LoopText(int loop) {
    return "回路 " + std::to_string(loop);
}
// Blocks and groups are counted from 1 for the user, as backup counts them.
std::string BlockText(int loop, int block) {
    return LoopText(loop) + " 第 " + std::to_string(block + 1) + " 块";
}

}  // namespace

const TransferTexts& TextsOf(TransferKind kind) {
    const auto index = static_cast<std::size_t>(kind);
    if (index >= std::size(kTexts)) return kNoTexts;
    return kTexts[index];
}

std::uint8_t DisplayTextCode(std::uint8_t byte) {
    if (byte == '%') return 0xA3;
    if (byte >= '0' && byte <= '9') return static_cast<std::uint8_t>(byte - '0' + 0xB0);
    if (byte >= 'A' && byte <= 'Z') return static_cast<std::uint8_t>(byte - 'A' + 0xC1);
    return byte;
}

void ConvertDisplayText(std::span<std::uint8_t> bytes) {
    for (std::uint8_t& b : bytes) b = DisplayTextCode(b);
}

void ConvertNameText(std::span<std::uint8_t> bytes) {
    for (std::uint8_t& b : bytes) b = (b == 0x00 || b == 0x20) ? 0xFF : DisplayTextCode(b);
}

TransferEngine::TransferEngine(BurnerPort& port, TransferObserver& observer, PauseFunction pause,
                               const std::atomic<bool>* cancel)
    : port_(port), observer_(observer), pause_(std::move(pause)), cancel_(cancel) {
    if (!pause_) pause_ = [cancel](int ms) { SleepPause(ms, cancel); };
}

TransferResult TransferEngine::Run(const TransferJob& job) {
    status_ = std::string(TextsOf(job.kind).initial);
    reason_.clear();
    portFailed_ = false;
    TransferResult result;
    // A named pipe under a project file's name would stall the reading with
    // the port held; refuse before anything is opened or sent. What is sent
    // is one whole state of the project: another program's commit waits
    // until the transfer has read all.
    std::optional<base::ProjectLock> reading;
    if (job.kind != TransferKind::EraseChip) {
        base::Result<> folder = store::CheckProjectFolder(job.project);
        if (folder) {
            auto shared = base::ProjectLock::AcquireShared(job.project.Root(),
                                                           base::ProjectLock::DefaultWait());
            if (shared)
                reading.emplace(std::move(*shared));
            else
                folder = shared.error();
        }
        if (!folder) {
            Status(std::string(TextsOf(job.kind).failure) + "\n" + folder.error().Full());
            result.status = status_;
            return result;
        }
    }
    // The port is closed and reopened per loop; the lock file keeps other
    // programs out in between. A busy port is told by the first open.
    const PortReservation reserved = PortReservation::Take(job.address.path);
    if (reserved.state() == PortReservation::State::Unlocked)
        observer_.Warn(reserved.Note() + "\n传送中途关闭串口的间隙里，其他程序可能占用此串口。");
    switch (job.kind) {
        case TransferKind::SendNodes:
            result = Nodes(job);
            break;
        case TransferKind::SendDevices:
            result = Devices(job);
            break;
        case TransferKind::SendLogic:
            result = base::Traits(job.model).perDeviceLogic ? LogRecords(job) : LogicBlocks(job);
            break;
        case TransferKind::SendPhrases:
            result = Phrases(job);
            break;
        case TransferKind::EraseChip:
            result = Erase(job);
            break;
        case TransferKind::SendNames:
            result = Names(job);
            break;
        default:
            result.outcome = TransferOutcome::NotStarted;
            break;
    }
    port_.Close();
    result.status = status_;
    return result;
}

void TransferEngine::Connect(const TransferJob& job) {
    const OpenResult opened = OpenBurnerConnection(port_, job.address, job.rules.BaudRate);
    if (!opened) {
        portFailed_ = true;
        observer_.PortNotOpened(opened);
    }
}

void TransferEngine::Write(std::span<const std::uint8_t> bytes) {
    port_.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

void TransferEngine::WriteByte(std::uint8_t byte) {
    port_.WriteByte(byte);
}

std::uint8_t TransferEngine::Reply() {
    return WaitBurnerByte(port_);
}

void TransferEngine::Pause(int milliseconds) {
    if (milliseconds > 0 && !port_.LineGone()) pause_(milliseconds);
}

bool TransferEngine::Cancelled() const {
    return (cancel_ && cancel_->load()) || port_.LineGone();
}

void TransferEngine::Status(std::string_view text) {
    status_ = std::string(text);
    observer_.SetStatus(status_);
}

bool TransferEngine::Expect(std::uint8_t reply, std::uint8_t wanted, const std::string& where) {
    if (reply == wanted) return true;
    if (reason_.empty()) {
        reason_ =
            where + "：" +
            (reply == kNoAnswer ? "烧写器在 1 秒内没有回答（或只回答 0xFF），应为 " + Hex(wanted)
                                : "烧写器回答 " + Hex(reply) + "，应为 " + Hex(wanted));
    }
    return false;
}

TransferEngine::Opening TransferEngine::OpenCommand(std::uint8_t command,
                                                    std::span<const std::uint8_t> parameters) {
    WriteByte(command);
    const std::uint8_t reply = Reply();
    if (reply == command) {
        Write(parameters);
        return Opening::Echoed;
    }
    if (reply == kNoChip) {
        port_.Close();
        Status(kChipNotSeated);
        return Opening::NoChip;
    }
    Expect(reply, command, "命令 " + Hex(command));
    return Opening::Other;
}

TransferResult TransferEngine::Finish(const TransferJob& job, TransferOutcome outcome, int stored,
                                      int expected) {
    const TransferTexts& texts = TextsOf(job.kind);
    if (outcome != TransferOutcome::Success && port_.LineGone()) {
        // Whatever else went wrong, the missing line is the reason to tell.
        outcome = TransferOutcome::LineGone;
        Status(std::string(texts.failure) + "\n" + std::string(kLineGoneText));
    }
    if (outcome == TransferOutcome::Success) Status(texts.success);
    if (outcome == TransferOutcome::Failure)
        Status(reason_.empty() || portFailed_ ? std::string(texts.failure)
                                              : std::string(texts.failure) + "\n" + reason_);
    TransferResult result;
    result.outcome = outcome;
    result.blocksStored = stored;
    result.blocksExpected = expected;
    return result;
}

TransferResult TransferEngine::Counted(const TransferJob& job, int stored, int expected) {
    if (port_.LineGone()) return Finish(job, TransferOutcome::Failure, stored, expected);
    if (Cancelled()) return Finish(job, TransferOutcome::Cancelled, stored, expected);
    return Finish(job, stored == expected ? TransferOutcome::Success : TransferOutcome::Failure,
                  stored, expected);
}

TransferResult TransferEngine::ChipNotSeated(int stored, int expected) {
    TransferResult result;
    result.outcome = TransferOutcome::NoChip;
    result.blocksStored = stored;
    result.blocksExpected = expected;
    return result;
}

TransferResult TransferEngine::Nodes(const TransferJob& job) {
    observer_.SetRange(80);
    Status(TextsOf(job.kind).running);
    std::vector<std::uint8_t> payload;
    if (base::Traits(job.model).nodeRecord == base::NodeRecordKind::TenByte) {
        store::TenByteNodeRecord scratch;
        store::TenByteNodeRecord& record = job.node10 ? *job.node10 : scratch;
        payload = store::LoadNodeRecord(job.project, record) ? record.Payload()
                                                             : std::vector<std::uint8_t>(7, 0);
    } else {
        store::NineByteNodeRecord scratch;
        store::NineByteNodeRecord& record = job.node9 ? *job.node9 : scratch;
        payload = store::LoadNodeRecord(job.project, record) ? record.Payload()
                                                             : std::vector<std::uint8_t>(6, 0);
    }

    Connect(job);
    const Opening opening = OpenCommand(kNodeCommand, payload);
    if (opening == Opening::NoChip) return ChipNotSeated(0, 1);
    if (opening == Opening::Other) {
        port_.Close();
        return Finish(job, TransferOutcome::Failure, 0, 1);
    }
    WriteByte(kBlockEnd);
    const std::uint8_t reply = Reply();
    port_.Close();
    if (!Expect(reply, kBlockEnd, "节点信息")) return Finish(job, TransferOutcome::Failure, 0, 1);
    observer_.SetPosition(80);
    return Finish(job, TransferOutcome::Success, 1, 1);
}

TransferResult TransferEngine::Devices(const TransferJob& job) {
    const int blocks = base::IsValidModel(job.model) ? base::Traits(job.model).deviceBlocks : 0;
    if (blocks == 0) return Finish(job, TransferOutcome::NotStarted, 0, 0);
    return LoopBlocks(
        job, {kDeviceCommand, blocks, kDeviceRecordSize, blocks * 5}, [&job](int loop) {
            return store::ReadFixed(job.project.PathOf(store::ProjectFile::Devices, loop),
                                    kDeviceFileSize, 0x00);
        });
}

// One connection per loop, the loop's records sent in blocks of whole
// addresses; a block the burner does not take is skipped.
TransferResult TransferEngine::LoopBlocks(
    const TransferJob& job, const LoopBlockLayout& layout,
    const std::function<std::vector<std::uint8_t>(int)>& read) {
    const TransferRules& r = job.rules;
    const int firstBlock = r.FirstAddress / layout.perBlock;
    const int lastBlock = r.LastAddress / layout.perBlock;
    const int expected = (lastBlock - firstBlock + 1) * (r.LastLoop - r.FirstLoop + 1);
    observer_.SetRange(layout.range);
    Status(TextsOf(job.kind).running);

    int stored = 0;
    for (int loop = r.FirstLoop; loop <= r.LastLoop && !Cancelled(); ++loop) {
        observer_.SetStage(
            {TransferStage::Unit::Loop, loop - r.FirstLoop, r.LastLoop - r.FirstLoop + 1, 0, 0});
        const std::vector<std::uint8_t> records = read(loop);
        Connect(job);
        const Opening opening = OpenCommand(layout.command, LoopParameters(loop, r));
        if (opening == Opening::NoChip) return ChipNotSeated(stored, expected);
        if (!Expect(Reply(), kReady, LoopText(loop))) {
            port_.Close();
            break;
        }
        for (int block = firstBlock; block <= lastBlock && !Cancelled(); ++block) {
            WriteByte(kBlockStart);
            if (!Expect(Reply(), kBlockStart, BlockText(loop, block))) continue;
            for (int piece = 0; piece < layout.perBlock; ++piece) {
                const std::size_t address =
                    static_cast<std::size_t>(layout.perBlock * block + piece);
                Write(std::span(records).subspan(layout.recordSize * address, layout.recordSize));
                observer_.SetPosition(5 * piece);
                Pause(r.PaceDelay / 5);
            }
            WriteByte(kBlockEnd);
            if (Expect(Reply(), kBlockEnd, BlockText(loop, block))) {
                ++stored;
                observer_.SetPosition(layout.range);
            }
        }
        port_.Close();
        Pause(60 * r.PaceDelay);
    }
    return Counted(job, stored, expected);
}

TransferResult TransferEngine::LogRecords(const TransferJob& job) {
    const TransferRules& r = job.rules;
    const int expected = (r.LastAddress - r.FirstAddress + 1) * (r.LastLoop - r.FirstLoop + 1);
    observer_.SetRange(256);
    Status(TextsOf(job.kind).running);

    int stored = 0;
    for (int loop = r.FirstLoop; loop <= r.LastLoop && !Cancelled(); ++loop) {
        observer_.SetStage(
            {TransferStage::Unit::Loop, loop - r.FirstLoop, r.LastLoop - r.FirstLoop + 1, 0, 0});
        const auto path = job.project.PathOf(store::ProjectFile::DeviceLogic, loop);
        Connect(job);
        const Opening opening = OpenCommand(kLogicCommand, LoopParameters(loop, r));
        if (opening == Opening::NoChip) return ChipNotSeated(stored, expected);
        if (!Expect(Reply(), kReady, LoopText(loop))) {
            port_.Close();
            break;
        }
        for (int address = r.FirstAddress; address <= r.LastAddress && !Cancelled(); ++address) {
            std::vector<std::uint8_t> record = store::ReadFixed(
                path, kLogRecordSize, 0xFF, kLogRecordSize * static_cast<std::size_t>(address));
            WriteByte(kBlockStart);
            // The first family gives up the whole loop on a refused record.
            const std::string where = LoopText(loop) + " 地址 " + std::to_string(address);
            if (!Expect(Reply(), kBlockStart, where)) break;
            logic::ConvertLogRecord(record);
            Write(record);
            Pause(r.PaceDelay);
            WriteByte(kBlockEnd);
            Pause(r.PaceDelay);
            if (Expect(Reply(), kBlockEnd, where)) {
                observer_.SetPosition(address);
                ++stored;
            }
        }
        port_.Close();
        Pause(60 * r.PaceDelay);
    }
    TransferResult result = Counted(job, stored, expected);
    if (result.Succeeded()) observer_.SetPosition(256);
    return result;
}

TransferResult TransferEngine::LogicBlocks(const TransferJob& job) {
    if (!base::IsValidModel(job.model) || base::Traits(job.model).deviceBlocks == 0 ||
        base::Traits(job.model).perDeviceLogic)
        return Finish(job, TransferOutcome::NotStarted, 0, 0);
    const TransferRules& r = job.rules;
    const std::uint32_t perBlock =
        static_cast<std::uint32_t>(base::Traits(job.model).rulesPerBlock);
    const auto slotBytes = static_cast<std::size_t>(base::Traits(job.model).logicTextLimit);
    const std::uint32_t firstBlock = r.FirstLogic / perBlock;
    const std::uint32_t wantedLast = r.LastLogic / perBlock;
    // The block number travels in one byte: a higher number would land on
    // block (number mod 256) and overwrite the first rules with 0xFF.
    const std::uint32_t lastBlock = std::min(wantedLast, kLastLogicBlock);
    const bool cut = wantedLast > kLastLogicBlock;
    const int expected = lastBlock >= firstBlock ? static_cast<int>(lastBlock - firstBlock + 1) : 0;
    observer_.SetRange(256);
    Status(TextsOf(job.kind).running);

    // The line under the bar counts the rules asked for that the blocks can carry.
    const int rules = expected > 0
                          ? static_cast<int>(std::min(r.LastLogic, (lastBlock + 1) * perBlock - 1) -
                                             r.FirstLogic + 1)
                          : 0;
    int stored = 0;
    for (std::uint32_t block = firstBlock; block <= lastBlock && !Cancelled(); ++block) {
        const std::uint32_t blockFirst = std::max(perBlock * block, r.FirstLogic);
        const std::uint32_t blockLast = std::min(perBlock * block + perBlock - 1, r.LastLogic);
        // The rule under way within the block, as its slot goes out.
        const auto stageAt = [&](std::uint32_t rule) {
            observer_.SetStage({TransferStage::Unit::Rules, static_cast<int>(rule - r.FirstLogic),
                                rules, static_cast<int>(blockFirst), static_cast<int>(blockLast)});
        };
        stageAt(blockFirst);
        std::array<std::uint8_t, 4 * kLogicSlotSize> data;
        data.fill(0xFF);
        for (std::uint32_t p = 0; p < perBlock; ++p) {
            const int number = static_cast<int>(perBlock * block + p);
            const std::vector<std::uint8_t> rule = store::ReadFixed(
                job.project.PathOf(store::ProjectFile::Logic, number), slotBytes, 0xFF);
            // Two rules per block sit in slots 0 and 2.
            const std::size_t slot = perBlock == 2 ? 2 * p : p;
            const std::span<std::uint8_t> target =
                std::span(data).subspan(slot * kLogicSlotSize, slotBytes);
            std::copy(rule.begin(), rule.end(), target.begin());
            if (base::Traits(job.model).convertsLogicCodes) logic::ConvertModel2Logic(target);
        }

        Connect(job);
        const std::array<std::uint8_t, 1> number{static_cast<std::uint8_t>(block)};
        const Opening opening = OpenCommand(kLogicCommand, number);
        if (opening == Opening::NoChip) return ChipNotSeated(stored, expected);
        const std::string where = "逻辑块 " + std::to_string(block);
        if (!Expect(Reply(), kReady, where)) {
            port_.Close();
            break;
        }
        for (std::size_t slot = 0; slot < 4; ++slot) {
            const std::uint32_t rule =
                perBlock * block + static_cast<std::uint32_t>(slot) * perBlock / 4;
            if (slot * perBlock % 4 == 0 && rule > blockFirst && rule <= blockLast) stageAt(rule);
            Write(std::span(data).subspan(slot * kLogicSlotSize, kLogicSlotSize));
            Pause(r.PaceDelay);
        }
        WriteByte(kBlockEnd);
        Pause(4 * r.PaceDelay);
        if (Expect(Reply(), kBlockEnd, where)) {
            observer_.SetPosition(static_cast<int>(block));
            ++stored;
        }
        port_.Close();
        Pause(10 * r.PaceDelay);
    }
    TransferResult result = Counted(job, stored, expected);
    if (result.Succeeded() && !cut) observer_.SetPosition(256);
    if (cut && result.outcome != TransferOutcome::Cancelled &&
        result.outcome != TransferOutcome::LineGone) {
        // Whatever was stored, the user did not get all they asked for.
        const std::uint32_t firstUnsent = std::max(r.FirstLogic, (kLastLogicBlock + 1) * perBlock);
        const std::string note = "逻辑 " + std::to_string(firstUnsent) + " 至 " +
                                 std::to_string(r.LastLogic) + " 超出控制器的块号范围，没有传送。";
        // The user did not get all they asked for: a failure, whatever was
        // stored, and the text says which rules did go.
        const std::string failure(TextsOf(job.kind).failure);
        if (expected > 0 && result.Succeeded())
            Status(failure + "\n逻辑 " + std::to_string(r.FirstLogic) + " 至 " +
                   std::to_string(firstUnsent - 1) + " 已传送；" + note);
        else
            Status((expected == 0 ? failure : status_) + "\n" + note);
        result.outcome = TransferOutcome::Failure;
    }
    return result;
}

TransferResult TransferEngine::Phrases(const TransferJob& job) {
    const TransferRules& r = job.rules;
    phrases::PhraseImage library = phrases::ReadPhraseLibrary(job.project);
    ConvertDisplayText(library);
    const int perGroup = base::Traits(job.model).phraseGroupSize;
    const int range = base::Traits(job.model).phraseGroupRange;
    const int firstGroup = r.FirstPhrase / perGroup;
    const int lastGroup = r.LastPhrase / perGroup;
    const int expected = lastGroup - firstGroup + 1;
    observer_.SetRange(range);
    Status(TextsOf(job.kind).running);

    int stored = 0;
    Connect(job);
    const std::array<std::uint8_t, 2> parameters{r.FirstPhrase, r.LastPhrase};
    const Opening opening = OpenCommand(kPhraseCommand, parameters);
    if (opening == Opening::NoChip) return ChipNotSeated(0, expected);
    if (opening == Opening::Other || !Expect(Reply(), kReady, "词库")) {
        port_.Close();
        return Counted(job, stored, expected);
    }
    for (int group = firstGroup; group <= lastGroup && !Cancelled(); ++group) {
        WriteByte(kBlockStart);
        const std::string where = "词库第 " + std::to_string(group + 1) + " 组";
        if (Expect(Reply(), kBlockStart, where)) {
            for (int n = 0; n < perGroup; ++n) {
                const std::size_t phrase = static_cast<std::size_t>(perGroup * group + n);
                Write(std::span(library).subspan(phrases::kPhraseSize * phrase,
                                                 phrases::kPhraseSize));
            }
            WriteByte(kBlockEnd);
            if (Expect(Reply(), kBlockEnd, where)) {
                observer_.SetPosition(group);
                ++stored;
            }
        }
        Pause(r.PaceDelay);
    }
    observer_.SetPosition(range);
    port_.Close();
    return Counted(job, stored, expected);
}

TransferResult TransferEngine::Erase(const TransferJob& job) {
    observer_.SetRange(1200);
    Status(TextsOf(job.kind).running);
    Connect(job);
    WriteByte(kEraseCommand);
    for (int n = 0; n < kEraseReplyLimit; ++n) {
        if (Cancelled()) {
            port_.Close();
            return Finish(job, TransferOutcome::Cancelled, 0, 1);
        }
        const std::uint8_t reply = Reply();
        if (reply == kEraseBusy) {
            observer_.SetPosition(100 + n);
            continue;
        }
        port_.Close();
        if (reply == kEraseCommand) {
            observer_.SetPosition(1200);
            return Finish(job, TransferOutcome::Success, 1, 1);
        }
        if (reply == kNoChip) {
            Status(kChipNotSeated);
            return ChipNotSeated(0, 1);
        }
        Expect(reply, kEraseCommand, "擦除");
        return Finish(job, TransferOutcome::Failure, 0, 1);
    }
    port_.Close();
    return Finish(job, TransferOutcome::Unfinished, 0, 1);
}

TransferResult TransferEngine::Names(const TransferJob& job) {
    return LoopBlocks(job, {kNameCommand, 16, kNameSize, 80}, [&job](int loop) {
        std::vector<std::uint8_t> names = store::ReadFixed(
            job.project.PathOf(store::ProjectFile::ChineseNames, loop), kNameFileSize, 0xFF);
        ConvertNameText(names);
        return names;
    });
}

}  // namespace velsend::burner

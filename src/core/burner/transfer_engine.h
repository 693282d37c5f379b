#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "core/burner/serial_port.h"
#include "core/burner/transfer_rules.h"
#include "core/burner/transfer_stage.h"
#include "core/store/node_records.h"
#include "core/store/project_files.h"

namespace velsend::burner {

// What a transfer command sends. The values are the order of the status texts.
enum class TransferKind : int {
    SendNodes = 0,
    SendDevices = 1,
    SendLogic = 2,
    SendPhrases = 3,
    EraseChip = 4,
    SendNames = 5,
};

struct TransferTexts {
    std::string_view initial;
    std::string_view running;
    std::string_view success;
    std::string_view failure;
};
// The four texts of a kind; all empty for an unknown kind.
const TransferTexts& TextsOf(TransferKind kind);
inline constexpr std::string_view kChipNotSeated = "数据芯片没有插好！";

// Bytes on the wire.
inline constexpr std::uint8_t kEraseCommand = 0x20;
inline constexpr std::uint8_t kEraseBusy = 0x10;
inline constexpr std::uint8_t kNodeCommand = 0x60;
inline constexpr std::uint8_t kDeviceCommand = 0x70;
inline constexpr std::uint8_t kLogicCommand = 0x80;
inline constexpr std::uint8_t kPhraseCommand = 0x90;
inline constexpr std::uint8_t kNameCommand = 0xA0;
inline constexpr std::uint8_t kReady = 0x66;
inline constexpr std::uint8_t kBlockStart = 0x88;
inline constexpr std::uint8_t kBlockEnd = 0x99;
inline constexpr std::uint8_t kNoChip = 0xBE;

// Phrase and name text as the controller's display reads it: '%', digits and
// upper-case letters move to their display codes, everything else stays.
std::uint8_t DisplayTextCode(std::uint8_t byte);
void ConvertDisplayText(std::span<std::uint8_t> bytes);
// Names also turn padding (0x00) and blanks (0x20) into 0xFF.
void ConvertNameText(std::span<std::uint8_t> bytes);

// Highest logic block number that fits the one byte it travels in.
inline constexpr std::uint32_t kLastLogicBlock = 255;

// Where a transfer reports what the user sees. Called on the transfer's thread.
class TransferObserver {
  public:
    virtual ~TransferObserver() = default;
    virtual void SetRange(int upper) = 0;
    virtual void SetPosition(int position) = 0;
    virtual void SetStatus(const std::string& text) = 0;
    // A transfer of many loops or logic blocks entering the next one.
    virtual void SetStage(const TransferStage& stage) { (void)stage; }
    // The port could not be opened; the transfer goes on against the closed
    // port and ends in its no-answer path.
    virtual void PortNotOpened(const OpenResult& result) = 0;
    // Something the user should know that does not stop the transfer.
    virtual void Warn(const std::string& text) { (void)text; }
};

enum class TransferOutcome {
    Success,     // the success text is shown
    Failure,     // the failure text (or the logic range note) is shown
    NoChip,      // the burner said no data chip is seated
    NotStarted,  // nothing to do for this model (the status keeps its text)
    Unfinished,  // the erase kept reporting progress; the status keeps its running text
    Cancelled,   // the user stopped it between blocks
    LineGone,    // the line hung up (burner unplugged); stopped at once
};

struct TransferResult {
    TransferOutcome outcome = TransferOutcome::Failure;
    std::string status;  // the last status text shown
    int blocksStored = 0;
    int blocksExpected = 0;
    bool Succeeded() const { return outcome == TransferOutcome::Success; }
};

// Everything one press of the start button works on.
struct TransferJob {
    TransferKind kind = TransferKind::SendDevices;
    int model = 2;
    TransferRules rules;
    PortAddress address;
    store::ProjectDir project;
    // The node records kept for the run; the node transfer reads its file into one.
    store::NineByteNodeRecord* node9 = nullptr;
    store::TenByteNodeRecord* node10 = nullptr;
};

// Sleeps of the protocol go through this, so tests and the benchmark can
// count them. The default sleeps and returns early once `cancel` is set.
using PauseFunction = std::function<void(int milliseconds)>;
// The default pause: sleeps, returning early once `cancel` is set.
void SleepPause(int milliseconds, const std::atomic<bool>* cancel = nullptr);

class TransferEngine {
  public:
    TransferEngine(BurnerPort& port, TransferObserver& observer, PauseFunction pause = {},
                   const std::atomic<bool>* cancel = nullptr);

    // One whole transfer; leaves the port closed.
    TransferResult Run(const TransferJob& job);

  private:
    TransferResult Nodes(const TransferJob& job);
    TransferResult Devices(const TransferJob& job);
    TransferResult LogRecords(const TransferJob& job);
    TransferResult LogicBlocks(const TransferJob& job);
    TransferResult Phrases(const TransferJob& job);
    TransferResult Erase(const TransferJob& job);
    TransferResult Names(const TransferJob& job);

    struct LoopBlockLayout {
        std::uint8_t command;
        int perBlock;            // addresses per block
        std::size_t recordSize;  // bytes per address
        int range;               // progress bar's upper bound
    };
    TransferResult LoopBlocks(const TransferJob& job, const LoopBlockLayout& layout,
                              const std::function<std::vector<std::uint8_t>(int loop)>& read);

    void Connect(const TransferJob& job);
    void Write(std::span<const std::uint8_t> bytes);
    void WriteByte(std::uint8_t byte);
    std::uint8_t Reply();
    void Pause(int milliseconds);
    // The user cancelled or the line went away: stop between blocks.
    bool Cancelled() const;
    void Status(std::string_view text);

    // Notes the first reply that was not `wanted` (`where`: the loop, block
    // or rule it belongs to); true when the reply was the wanted one.
    bool Expect(std::uint8_t reply, std::uint8_t wanted, const std::string& where);

    enum class Opening { Echoed, NoChip, Other };
    // Writes the command and, on its echo, the parameters.
    Opening OpenCommand(std::uint8_t command, std::span<const std::uint8_t> parameters);
    TransferResult Finish(const TransferJob& job, TransferOutcome outcome, int stored,
                          int expected);
    TransferResult Counted(const TransferJob& job, int stored, int expected);
    TransferResult ChipNotSeated(int stored, int expected);

    BurnerPort& port_;
    TransferObserver& observer_;
    PauseFunction pause_;
    const std::atomic<bool>* cancel_;
    std::string status_;
    // Why the burner's side went wrong, the failure text's second line;
    // left out when the port did not open (its message said why).
    std::string reason_;
    bool portFailed_ = false;
};

}  // namespace velsend::burner

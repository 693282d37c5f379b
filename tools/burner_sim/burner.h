#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace velsend::sim {

struct BurnerOptions {
    bool silent = false;                 // never answers anything
    std::optional<std::uint8_t> answer;  // answers this byte in place of the handshake echo
    int model = 2;                       // block sizes until a handshake names another model
    bool noChip = false;                 // 0xBE in place of every command echo
    int refuseBlock = 0;                 // this block (1-based, counted over the run) gets no echo
    int noCommitBlock = 0;               // this block is not confirmed with 0x99
    int badTrailerBlock = 0;             // a backup ends this block with 0x98, not 0x99
    long dropAfter = -1;                 // stops answering after this many received bytes
    bool garbage = false;                // answers random bytes in place of every reply
    int eraseSteps = 3;                  // 0x10 progress replies before the erase's 0x20
    int corruptBlock = -1;               // a restore stores this chip block with one byte changed
};

// Where the simulator keeps what it stores, in its chip image. This is the
// simulator's own layout, not a controller's; data outside it is answered
// but not kept.
struct ChipLayout {
    static constexpr std::size_t kNode = 0x00000;     // node payload (6 or 7 bytes)
    static constexpr std::size_t kPhrases = 0x01000;  // 4096 bytes, phrase n at 16·n
    static constexpr std::size_t kDevices = 0x02000;  // loop k at 0x800·k, 7 bytes per address
    static constexpr int kDeviceLoops = 8;
    static constexpr std::size_t kNames = 0x06000;  // loop k at 0x1000·k, 16 bytes per address
    static constexpr int kNameLoops = 8;
    static constexpr std::size_t kLogic = 0x10000;  // logic block i at 512·i (models 2-4);
    static constexpr int kLogRecordLoops = 4;       // model 1: loop k at 0x8000·k, 128 per address
    static constexpr std::size_t kMaxImage = 2048 * 256;
};

// The byte of a block that --corrupt-block changes.
inline constexpr std::size_t kCorruptByte = 0x35;

// The chip image size of a model: 2048 blocks of 256 bytes for model 2,
// 1024 for the others.
std::size_t ChipSize(int model);

// The burner's side of the protocol as a byte-in, bytes-out machine, so that
// it can be driven by the pseudo-terminal loop or directly by a test.
class Burner {
  public:
    explicit Burner(BurnerOptions options = {});

    // Takes one byte from the program and returns what the burner answers.
    std::vector<std::uint8_t> Feed(std::uint8_t byte);
    // The program went quiet in the middle of an exchange: start afresh.
    void Reset();
    bool Busy() const { return state_ != State::Idle; }

    // The model code received with the last handshake (0 before any).
    std::uint8_t ModelCode() const { return modelCode_; }
    int Model() const { return model_; }

    // The chip as a whole image of the current model's size.
    std::span<const std::uint8_t> Image() const;
    void LoadImage(const std::vector<std::uint8_t>& bytes);
    // The byte range changed since the last call, if any.
    std::optional<std::pair<std::size_t, std::size_t>> TakeChanged();

  private:
    enum class State {
        Idle,
        AwaitModelCode,
        Parameters,   // collecting a command's parameter bytes
        NodeData,     // the node payload, then 0x99
        AwaitBlock,   // 0x88 of the next block
        BlockData,    // the block's bytes, then 0x99
        AwaitCommit,  // 0x99 closing a block
        BackupBlock,  // two-byte block numbers of a backup
        RestoreBlock  // two-byte block number, 256 bytes, 0x99
    };

    std::vector<std::uint8_t> Step(std::uint8_t byte);
    std::vector<std::uint8_t> Command(std::uint8_t byte);
    std::vector<std::uint8_t> StartBlocks();
    std::size_t BlockBytes() const;
    void StoreBlock();
    void Store(std::size_t offset, const std::vector<std::uint8_t>& bytes);
    std::uint8_t Garbage();

    BurnerOptions options_;
    State state_ = State::Idle;
    std::uint8_t modelCode_ = 0;
    int model_ = 2;
    long received_ = 0;
    int blocksSeen_ = 0;  // over the run, for the fault options

    std::uint8_t command_ = 0;
    std::size_t wanted_ = 0;  // bytes still to collect into buffer_
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> parameters_;
    int block_ = 0;      // number of the block in progress
    int lastBlock_ = 0;  // last block of this connection
    bool refused_ = false;
    bool uncommitted_ = false;

    std::vector<std::uint8_t> image_;
    std::optional<std::pair<std::size_t, std::size_t>> changed_;
    std::uint32_t random_ = 0x2545F491u;
};

}  // namespace velsend::sim

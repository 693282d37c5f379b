#include "burner.h"

#include <algorithm>

namespace velsend::sim {
namespace {

bool IsCommand(std::uint8_t byte) {
    switch (byte) {
        case 0x10:
        case 0x20:
        case 0x30:
        case 0x40:
        case 0x60:
        case 0x70:
        case 0x80:
        case 0x90:
        case 0xA0:
            return true;
        default:
            return false;
    }
}

// Bytes that mean something to the program; garbage never uses them.
bool IsProtocolByte(std::uint8_t byte) {
    return IsCommand(byte) || byte == 0x66 || byte == 0x88 || byte == 0x99 || byte == 0xBE ||
           byte == 0xFF;
}

}  // namespace

std::size_t ChipSize(int model) {
    return (model == 2 ? 2048u : 1024u) * 256u;
}

Burner::Burner(BurnerOptions options)
    : options_(options), model_(options.model), image_(ChipLayout::kMaxImage, 0xFF) {}

std::vector<std::uint8_t> Burner::Feed(std::uint8_t byte) {
    ++received_;
    std::vector<std::uint8_t> reply = Step(byte);
    if (options_.silent || (options_.dropAfter >= 0 && received_ > options_.dropAfter))
        reply.clear();
    if (options_.garbage) {
        for (std::uint8_t& b : reply) b = Garbage();
    }
    return reply;
}

void Burner::Reset() {
    state_ = State::Idle;
    buffer_.clear();
}

std::span<const std::uint8_t> Burner::Image() const {
    return std::span<const std::uint8_t>(image_).first(ChipSize(model_));
}

void Burner::LoadImage(const std::vector<std::uint8_t>& bytes) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), image_.size()), image_.begin());
}

std::optional<std::pair<std::size_t, std::size_t>> Burner::TakeChanged() {
    auto changed = changed_;
    changed_.reset();
    return changed;
}

std::uint8_t Burner::Garbage() {
    for (;;) {
        random_ ^= random_ << 13;
        random_ ^= random_ >> 17;
        random_ ^= random_ << 5;
        const auto byte = static_cast<std::uint8_t>(random_ >> 24);
        if (!IsProtocolByte(byte)) return byte;
    }
}

void Burner::Store(std::size_t offset, const std::vector<std::uint8_t>& bytes) {
    if (offset >= image_.size()) return;
    const std::size_t n = std::min(bytes.size(), image_.size() - offset);
    std::copy_n(bytes.begin(), n, image_.begin() + static_cast<std::ptrdiff_t>(offset));
    const std::size_t end = offset + n;
    if (changed_) {
        changed_->first = std::min(changed_->first, offset);
        changed_->second = std::max(changed_->second, end);
    } else {
        changed_.emplace(offset, end);
    }
}

std::size_t Burner::BlockBytes() const {
    switch (command_) {
        case 0x70:
            return model_ == 1 ? 16 * 7 : 32 * 7;
        case 0x80:
            return model_ == 1 ? 128 : 512;
        case 0x90:
            return model_ == 1 ? 8 * 16 : 16 * 16;
        case 0xA0:
            return 16 * 16;
        default:
            return 256;
    }
}

void Burner::StoreBlock() {
    const int loop = parameters_.empty() ? 0 : parameters_[0];
    const auto block = static_cast<std::size_t>(block_);
    switch (command_) {
        case 0x60:
            Store(ChipLayout::kNode, buffer_);
            break;
        case 0x70:
            if (loop < ChipLayout::kDeviceLoops)
                Store(ChipLayout::kDevices + 0x800u * static_cast<std::size_t>(loop) +
                          block * BlockBytes(),
                      buffer_);
            break;
        case 0xA0:
            if (loop < ChipLayout::kNameLoops)
                Store(ChipLayout::kNames + 0x1000u * static_cast<std::size_t>(loop) +
                          block * BlockBytes(),
                      buffer_);
            break;
        case 0x90:
            Store(ChipLayout::kPhrases + block * BlockBytes(), buffer_);
            break;
        case 0x80:
            if (model_ != 1)
                Store(ChipLayout::kLogic + 512u * block, buffer_);
            else if (loop < ChipLayout::kLogRecordLoops)
                Store(ChipLayout::kLogic + 0x8000u * static_cast<std::size_t>(loop) + 128u * block,
                      buffer_);
            break;
        case 0x40:
            // A write fault the programmer does not notice: the block is
            // confirmed, but one byte of it lands wrong on the chip.
            if (block_ == options_.corruptBlock) buffer_[kCorruptByte] ^= 0x5A;
            Store(256u * block % image_.size(), buffer_);
            break;
        default:
            break;
    }
}

std::vector<std::uint8_t> Burner::Command(std::uint8_t byte) {
    buffer_.clear();
    parameters_.clear();
    command_ = byte;
    if (byte == 0x10) {
        if (options_.answer) return {*options_.answer};
        state_ = State::AwaitModelCode;
        return {0x10};
    }
    if (!IsCommand(byte)) return {};
    if (options_.noChip) return {0xBE};
    switch (byte) {
        case 0x20: {
            Store(0, std::vector<std::uint8_t>(image_.size(), 0xFF));
            std::vector<std::uint8_t> reply(static_cast<std::size_t>(options_.eraseSteps), 0x10);
            reply.push_back(0x20);
            return reply;
        }
        case 0x30:
            state_ = State::BackupBlock;
            return {byte};
        case 0x40:
            state_ = State::RestoreBlock;
            return {byte};
        case 0x60:
            ++blocksSeen_;
            uncommitted_ = blocksSeen_ == options_.noCommitBlock;
            wanted_ = model_ == 2 ? 7 : 6;
            state_ = State::NodeData;
            return {byte};
        case 0x70:
        case 0xA0:
            wanted_ = 3;
            break;
        case 0x80:
            wanted_ = model_ == 1 ? 3 : 1;
            break;
        case 0x90:
            wanted_ = 2;
            break;
        default:
            return {};
    }
    state_ = State::Parameters;
    return {byte};
}

std::vector<std::uint8_t> Burner::StartBlocks() {
    parameters_ = buffer_;
    buffer_.clear();
    int perBlock = 1;
    int first = 0;
    int last = 0;
    switch (command_) {
        case 0x70:
            perBlock = model_ == 1 ? 16 : 32;
            first = parameters_[1] / perBlock;
            last = parameters_[2] / perBlock;
            break;
        case 0xA0:
            first = parameters_[1] / 16;
            last = parameters_[2] / 16;
            break;
        case 0x90:
            perBlock = model_ == 1 ? 8 : 16;
            first = parameters_[0] / perBlock;
            last = parameters_[1] / perBlock;
            break;
        case 0x80:
            if (model_ == 1) {
                first = parameters_[1];
                last = parameters_[2];
                break;
            }
            // One numbered block per connection, without 0x88.
            block_ = parameters_[0];
            ++blocksSeen_;
            if (blocksSeen_ == options_.refuseBlock) {
                state_ = State::Idle;
                return {};
            }
            uncommitted_ = blocksSeen_ == options_.noCommitBlock;
            wanted_ = BlockBytes();
            state_ = State::BlockData;
            return {0x66};
        default:
            break;
    }
    block_ = first;
    lastBlock_ = last;
    state_ = first <= last ? State::AwaitBlock : State::Idle;
    return {0x66};
}

std::vector<std::uint8_t> Burner::Step(std::uint8_t byte) {
    switch (state_) {
        case State::Idle:
            return Command(byte);
        case State::AwaitModelCode:
            modelCode_ = byte;
            if (byte >= 1 && byte <= 4) model_ = byte;
            state_ = State::Idle;
            return {};
        case State::Parameters:
            buffer_.push_back(byte);
            if (buffer_.size() < wanted_) return {};
            return StartBlocks();
        case State::NodeData:
            buffer_.push_back(byte);
            if (buffer_.size() == wanted_) state_ = State::AwaitCommit;
            return {};
        case State::AwaitBlock: {
            if (byte != 0x88) {
                // The program gave up on this connection and starts another.
                state_ = State::Idle;
                return IsCommand(byte) ? Command(byte) : std::vector<std::uint8_t>{};
            }
            ++blocksSeen_;
            if (blocksSeen_ == options_.refuseBlock) {
                if (++block_ > lastBlock_) state_ = State::Idle;
                return {};
            }
            uncommitted_ = blocksSeen_ == options_.noCommitBlock;
            buffer_.clear();
            wanted_ = BlockBytes();
            state_ = State::BlockData;
            return {0x88};
        }
        case State::BlockData:
            buffer_.push_back(byte);
            if (buffer_.size() == wanted_) state_ = State::AwaitCommit;
            return {};
        case State::AwaitCommit: {
            if (byte != 0x99) {
                state_ = State::Idle;
                return {};
            }
            std::vector<std::uint8_t> reply;
            if (!uncommitted_) {
                StoreBlock();
                reply.push_back(0x99);
            }
            buffer_.clear();
            if (command_ == 0x40) {
                const auto chipBlocks = static_cast<int>(ChipSize(model_) / 256);
                state_ = block_ + 1 >= chipBlocks ? State::Idle : State::RestoreBlock;
            } else if (command_ == 0x60 || (command_ == 0x80 && model_ != 1)) {
                state_ = State::Idle;
            } else {
                state_ = ++block_ > lastBlock_ ? State::Idle : State::AwaitBlock;
            }
            return reply;
        }
        case State::BackupBlock:
        case State::RestoreBlock: {
            // Block numbers start below 0x08; a command byte means a new exchange.
            if (buffer_.empty() && IsCommand(byte)) {
                state_ = State::Idle;
                return Command(byte);
            }
            buffer_.push_back(byte);
            if (buffer_.size() < 2) return {};
            block_ = buffer_[0] * 256 + buffer_[1];
            buffer_.clear();
            ++blocksSeen_;
            const bool refused = blocksSeen_ == options_.refuseBlock;
            uncommitted_ = refused || blocksSeen_ == options_.noCommitBlock;
            if (state_ == State::RestoreBlock) {
                wanted_ = 256;
                state_ = State::BlockData;
                return {};
            }
            const auto chipBlocks = static_cast<int>(ChipSize(model_) / 256);
            if (block_ + 1 >= chipBlocks) state_ = State::Idle;
            if (refused) return {};
            const std::size_t offset = 256u * static_cast<std::size_t>(block_) % image_.size();
            std::vector<std::uint8_t> reply(
                image_.begin() + static_cast<std::ptrdiff_t>(offset),
                image_.begin() + static_cast<std::ptrdiff_t>(offset + 256));
            if (!uncommitted_)
                reply.push_back(blocksSeen_ == options_.badTrailerBlock ? 0x98 : 0x99);
            return reply;
        }
    }
    return {};
}

}  // namespace velsend::sim

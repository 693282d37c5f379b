#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace velsend::sim {

struct BurnerOptions {
    bool silent = false;                 // never answers anything
    std::optional<std::uint8_t> answer;  // answers this byte in place of the handshake echo
};

// The burner's side of the protocol as a byte-in, bytes-out machine, so that
// it can be driven by the pseudo-terminal loop or directly by a test.
class Burner {
  public:
    explicit Burner(BurnerOptions options = {}) : options_(options) {}

    // Takes one byte from the program and returns what the burner answers.
    std::vector<std::uint8_t> Feed(std::uint8_t byte);

    // The model code received with the last handshake (0 before any).
    std::uint8_t ModelCode() const { return modelCode_; }

  private:
    enum class State { Idle, AwaitModelCode };

    BurnerOptions options_;
    State state_ = State::Idle;
    std::uint8_t modelCode_ = 0;
};

}  // namespace velsend::sim

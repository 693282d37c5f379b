#pragma once

#include <cstdint>

#include "core/burner/serial_port.h"

namespace velsend::burner {

inline constexpr std::uint8_t kHandshakeRequest = 0x10;

// The set-up every burner connection starts with: open the port, set its
// time-outs, then raw 8N1 at `baud`. Callers go on even when the open failed:
// a closed port sends nothing and hears nothing, which ends in the no-answer path.
OpenResult OpenBurnerConnection(BurnerPort& port, const PortAddress& address, std::uint32_t baud);

struct HandshakeResult {
    bool answered = false;           // the burner echoed 0x10 and got the model code
    std::uint8_t reply = kNoAnswer;  // what came back (0xFF: nothing)
};

// Sends 0x10 and, on its echo, the model's handshake code. No reply is awaited
// after the code. The port is left open for the caller to close.
HandshakeResult Handshake(BurnerPort& port, std::uint8_t modelCode);

}  // namespace velsend::burner

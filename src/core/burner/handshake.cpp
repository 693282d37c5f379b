#include "core/burner/handshake.h"

namespace velsend::burner {

OpenResult OpenBurnerConnection(BurnerPort& port, const PortAddress& address, std::uint32_t baud) {
    OpenResult result = port.Open(address);
    port.SetTimeouts();
    port.Configure(baud, NOPARITY, 8, ONESTOPBIT);
    return result;
}

HandshakeResult Handshake(BurnerPort& port, std::uint8_t modelCode) {
    HandshakeResult result;
    port.WriteByte(kHandshakeRequest);
    result.reply = WaitBurnerByte(port);
    if (result.reply == kHandshakeRequest) {
        port.WriteByte(modelCode);
        result.answered = true;
    }
    return result;
}

}  // namespace velsend::burner

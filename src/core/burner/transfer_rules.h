#pragma once

#include <cstdint>
#include <string>

namespace velsend::burner {

// Where and how much goes to the burner. Kept for the run, never saved.
struct TransferRules {
    int PortIndex = 0;  // 0..9 for COM1..COM10
    // The chosen device's identity (PortIdentity::key); empty until the user
    // picks a port. Followed instead of the number, which a rescan may move.
    std::string PortIdentity;
    int BaudIndex = 0;  // 0 = 115200 bit/s, anything else 19200
    std::uint32_t BaudRate = 115200;
    std::uint8_t FirstLoop = 0;
    std::uint8_t LastLoop = 3;
    std::uint8_t FirstAddress = 0;
    std::uint8_t LastAddress = 255;
    std::uint8_t FirstPhrase = 0;
    std::uint8_t LastPhrase = 255;
    std::uint32_t FirstLogic = 0;
    std::uint32_t LastLogic = 0;
    std::uint8_t PaceDelay = 5;  // ms, 0..50
    // Read the whole chip into the project's chip-backups/ before every transfer.
    bool BackupFirst = false;

    static constexpr std::uint32_t BaudRateFor(int baudIndex) {
        return baudIndex == 0 ? 115200u : 19200u;
    }
    void SetBaudIndex(int index) {
        BaudIndex = index;
        BaudRate = BaudRateFor(index);
    }
};

}  // namespace velsend::burner

#pragma once

#include <filesystem>
#include <string>

namespace velsend::burner {

// The lock-file folder: VELSEND_LOCK_DIR when set, else /run/lock.
std::filesystem::path PortLockFolder();
// "LCK..ttyUSB0" for /dev/ttyUSB0 (symbolic links such as /dev/serial/by-id
// names resolved first, so every name of one device meets the same lock).
std::string PortLockName(const std::string& devicePath);

// A claim on a serial device that other programs can see: the lock file
// (LCK..name, the owner's pid in ten ASCII digits and a newline) that serial
// programs honour. Claims on one device within this process share one file,
// which stays while any of them lives, so a transfer that closes and reopens
// its port between loops keeps the device for the whole run.
class PortReservation {
  public:
    enum class State {
        None,      // nothing asked for (an empty path)
        Held,      // the lock file is ours
        Busy,      // another live process holds the device
        Unlocked,  // no lock file could be made; only the exclusive open guards
    };

    PortReservation() = default;
    static PortReservation Take(const std::string& devicePath);
    ~PortReservation();
    PortReservation(PortReservation&& other) noexcept;
    PortReservation& operator=(PortReservation&& other) noexcept;
    PortReservation(const PortReservation&) = delete;
    PortReservation& operator=(const PortReservation&) = delete;

    State state() const { return state_; }
    // Busy: who holds the device; Unlocked: why there is no lock file.
    const std::string& Note() const { return note_; }

  private:
    void Release();

    State state_ = State::None;
    std::string note_;
    std::filesystem::path file_;  // set while Held
};

}  // namespace velsend::burner

#pragma once

// The serial line as the system offers it: termios on POSIX, a COM handle on
// Windows. Only the primitives live here; deadlines, tracing and the
// burner's rules stay in the core's port classes above.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velsend::platform {

enum class SerialOpenFailure { None, NotFound, PermissionDenied, Busy, NotSerial, Other };

// What one read or write did. `error` is the system's reason when Failed.
struct SerialIo {
    enum class Status { Moved, Nothing, EndOfLine, Failed };
    Status status = Status::Nothing;
    std::size_t count = 0;
    int error = 0;
};

enum class SerialWait { Ready, TimedOut, HungUp };

class SerialDevice {
  public:
    SerialDevice() = default;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;
    ~SerialDevice();

    // Opens `path` for this process alone, without waiting for carrier.
    // On failure `error` gets the system's reason (see ErrorText).
    SerialOpenFailure Open(const std::string& path, int& error);
    bool IsOpen() const;
    // `drain`: bytes still queued go out first.
    void Close(bool drain);

    // Raw mode, no flow control, both queues purged. False when the line
    // settings could not be applied. Parity 0 none, 1 odd, 2 even; stop bits
    // 0 one, 2 two.
    bool Configure(std::uint32_t baud, std::uint8_t parity, std::uint8_t byteSize,
                   std::uint8_t stopBits);
    // DTR and RTS up or down; lines without modem signals ignore it.
    void SetModemLines(bool raise);

    // Neither waits: Nothing when no byte is waiting (or the driver's queue
    // is full), EndOfLine when the line hung up.
    SerialIo ReadNow(std::uint8_t* buffer, std::size_t count);
    SerialIo WriteNow(const std::uint8_t* data, std::size_t count);
    // Waits up to `timeoutMs` (negative: for ever) until input waits, or the
    // output queue takes more when `forOutput`.
    SerialWait WaitFor(bool forOutput, int timeoutMs);
    // Asks without waiting whether the line hung up.
    bool HungUp();
    // Bytes in the input queue; nullopt (and `error`) when the line failed.
    std::optional<std::uint32_t> BytesWaiting(int& error);

    // True when `error` means the line is gone for good (device removed,
    // far end closed), not a passing failure.
    static bool LineGoneError(int error);

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
    // WaitFor takes the first byte off the line to learn that one came;
    // it is handed out by the next read.
    std::optional<std::uint8_t> early_;
#else
    int fd_ = -1;
#endif
};

// The serial ports the system names itself ("COM3", from the registry's
// SERIALCOMM map on Windows); nullopt where ports are device files to look
// for instead (POSIX: /dev and sysfs).
std::optional<std::vector<std::string>> NamedSerialPorts();
// The system's folder of device files ("/dev" on POSIX; empty on Windows,
// whose ports are names).
std::string SystemDeviceFolder();

}  // namespace velsend::platform

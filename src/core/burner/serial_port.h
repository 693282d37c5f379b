#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/platform/serial_device.h"
#include "core/burner/port_lock.h"
#include "core/burner/serial_trace.h"

namespace velsend::burner {

// A numbered port (COM1..COM10 to the user) and the device that stands for it
// on this machine. An empty path means no device is mapped to that number.
struct PortAddress {
    PortAddress() = default;
    PortAddress(int n, std::string devicePath, std::string missingText = {})
        : number(n), path(std::move(devicePath)), missing(std::move(missingText)) {}
    int number = 0;
    std::string path;
    // Set instead of a path when the device the user chose is no longer there.
    std::string missing;
};

enum class OpenFailure { None, NoDevice, NotFound, PermissionDenied, Busy, NotSerial, Other };

struct OpenResult {
    bool ok = false;
    OpenFailure failure = OpenFailure::None;
    // nullopt: the caller shows the message under the application's title.
    std::optional<std::string> caption;
    std::string message;
    explicit operator bool() const { return ok; }
};

// Line settings, numbered as the burner's documentation numbers them.
inline constexpr std::uint8_t NOPARITY = 0;
inline constexpr std::uint8_t ODDPARITY = 1;
inline constexpr std::uint8_t EVENPARITY = 2;
inline constexpr std::uint8_t ONESTOPBIT = 0;
inline constexpr std::uint8_t TWOSTOPBITS = 2;

struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

struct ComStat {
    std::uint32_t cbInQue = 0;  // bytes waiting in the input queue
};

// What both port classes share: an exclusively opened serial device, raw 8N1
// configuration, the time-outs and deadline-bounded reads and writes.
class SerialPortBase {
  public:
    SerialPortBase() = default;
    SerialPortBase(const SerialPortBase&) = delete;
    SerialPortBase& operator=(const SerialPortBase&) = delete;
    virtual ~SerialPortBase();

    bool IsOpen() const { return device_.IsOpen(); }
    // The line hung up or failed (a USB adapter pulled out, the far end of a
    // pseudo-terminal closed). Different from a silent burner: nothing more
    // can come, so waiting for a reply is pointless. Cleared by the next open.
    bool LineGone() const { return lineGone_; }

    // Raw mode at `baud`, no flow control, DTR and RTS raised, both queues
    // purged. False when the line settings could not be applied.
    bool Configure(std::uint32_t baud, std::uint8_t parity, std::uint8_t byteSize,
                   std::uint8_t stopBits);
    // 100 ms between bytes, 10 ms per byte plus 100 ms in all, both ways.
    bool SetTimeouts();
    // Where the bytes of this port are traced (the process's trace unless
    // set); the trace is flushed when the port closes.
    void SetTrace(SerialTrace& trace) { trace_ = &trace; }

  protected:
    // `deviceText` is the base of the user's message ("没有发现 COM%d 串口" ...).
    OpenResult OpenDevice(const PortAddress& address, const std::string& deviceText);
    void CloseDevice();
    void SetModemLines(bool raise);
    std::size_t WriteWithDeadline(const std::uint8_t* data, std::size_t count);
    std::size_t ReadWithTimeouts(std::uint8_t* buffer, std::size_t count);

    // Notes a hang-up or an I/O error on the line; true when `error` was one.
    bool NoteLineError(int error);
    // Asks the line without waiting whether it hung up; notes it when so.
    bool HungUp();
    // Waits for input (or room for output); false on time-out or when the
    // line went away.
    bool PollFor(bool forOutput, int timeoutMs);

    void Traced(SerialTrace::Direction direction, const std::uint8_t* data, std::size_t count) {
        trace_->Note(direction, data, count);
    }

    platform::SerialDevice device_;
    bool lineGone_ = false;

  private:
    std::string path_;
    // The lock file other programs see while the device is open.
    PortReservation reservation_;
    CommTimeouts timeouts_{};
    SerialTrace* trace_ = &SerialTrace::Process();
};

// The port of the handshake and the transfers. Writes go to the driver's queue
// in order and return without waiting for the line; replies are read one byte
// at a time once the input queue shows one.
class BurnerPort : public SerialPortBase {
  public:
    OpenResult Open(const PortAddress& address);
    bool Write(const std::uint8_t* data, std::uint32_t count);
    bool WriteByte(std::uint8_t byte) { return Write(&byte, 1); }
    bool Read(std::uint8_t* buffer, std::uint32_t count);
    bool QueryStatus(ComStat& status);
    // Blocks until input is waiting or `milliseconds` passed; true when input waits.
    bool WaitForInput(int milliseconds);
    void Close();
};

// The port of backup and restore: reads and writes block until done or until
// the time-outs run out, and report how many bytes moved.
class ChipCopyPort : public SerialPortBase {
  public:
    ~ChipCopyPort() override;
    OpenResult Open(const PortAddress& address);
    std::uint32_t Write(const std::uint8_t* data, std::uint32_t count);
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t count);
    // Drops DTR and RTS before closing; false when nothing was open to close.
    bool Close();
};

// What the user is told when the line went away mid-transfer.
inline constexpr std::string_view kLineGoneText =
    "与烧写器的通讯线路已断开（串口线被拔出或烧写器掉电），没有再等待烧写器的回答。";

// How long WaitBurnerByte waits for a reply before it counts as none.
inline constexpr int kBurnerReplyWaitMs = 1000;
inline constexpr std::uint8_t kNoAnswer = 0xFF;

// One reply byte from the burner, or 0xFF when none came within about a second.
// Returns as soon as a byte arrives, or at once when the line went away.
std::uint8_t WaitBurnerByte(BurnerPort& port);

}  // namespace velsend::burner

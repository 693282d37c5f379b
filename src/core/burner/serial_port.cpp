#include "core/burner/serial_port.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "base/platform/system.h"

namespace velsend::burner {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string Explain(OpenFailure failure, int error) {
    switch (failure) {
        case OpenFailure::NotFound:
            return "找不到此设备（USB 转串口线是否已插好？）。";
        case OpenFailure::PermissionDenied:
            return "没有权限打开此设备。请把当前用户加入 dialout 组"
                   "（sudo usermod -aG dialout $USER，然后重新登录），"
                   "或用 udev 规则放开此设备的权限，例如在 /etc/udev/rules.d/99-velsend.rules "
                   "中写入："
                   "KERNEL==\"ttyUSB[0-9]*\", GROUP=\"dialout\", MODE=\"0660\"。";
        case OpenFailure::Busy:
            return "此串口正被另一个程序使用，请先关闭那个程序。";
        case OpenFailure::NotSerial:
            return "这不是一个串口设备。";
        default:
            return platform::ErrorText(error);
    }
}

}  // namespace

bool SerialPortBase::NoteLineError(int error) {
    if (platform::SerialDevice::LineGoneError(error)) lineGone_ = true;
    return lineGone_;
}

bool SerialPortBase::PollFor(bool forOutput, int timeoutMs) {
    if (!device_.IsOpen() || lineGone_) return false;
    const platform::SerialWait wait = device_.WaitFor(forOutput, timeoutMs);
    if (wait == platform::SerialWait::HungUp) lineGone_ = true;
    return wait == platform::SerialWait::Ready;
}

bool SerialPortBase::HungUp() {
    if (!device_.IsOpen()) return false;
    if (device_.HungUp()) lineGone_ = true;
    return lineGone_;
}

SerialPortBase::~SerialPortBase() {
    CloseDevice();
}

OpenResult SerialPortBase::OpenDevice(const PortAddress& address, const std::string& deviceText) {
    CloseDevice();
    lineGone_ = false;
    OpenResult result;
    if (address.path.empty()) {
        result.failure = OpenFailure::NoDevice;
        result.message =
            deviceText + "\n" +
            (!address.missing.empty() ? address.missing
                                      : "本机没有与 COM" + std::to_string(address.number) +
                                            " 对应的串口设备。请插好 USB "
                                            "转串口线，在“数据传送规则设置”中点“刷新”后选择串口"
                                            "（velsend-cli 用 --port 指定设备）。");
        return result;
    }

    // A lock file of a live program keeps us out even between its opens.
    PortReservation reservation = PortReservation::Take(address.path);
    if (reservation.state() == PortReservation::State::Busy) {
        result.failure = OpenFailure::Busy;
        result.message = deviceText + "\n" + address.path + "：" + Explain(result.failure, 0) +
                         "\n" + reservation.Note();
        return result;
    }

    int error = 0;
    const platform::SerialOpenFailure failure = device_.Open(address.path, error);
    switch (failure) {
        case platform::SerialOpenFailure::None:
            path_ = address.path;
            reservation_ = std::move(reservation);
            result.ok = true;
            return result;
        case platform::SerialOpenFailure::NotFound:
            result.failure = OpenFailure::NotFound;
            break;
        case platform::SerialOpenFailure::PermissionDenied:
            result.failure = OpenFailure::PermissionDenied;
            break;
        case platform::SerialOpenFailure::Busy:
            result.failure = OpenFailure::Busy;
            break;
        case platform::SerialOpenFailure::NotSerial:
            result.failure = OpenFailure::NotSerial;
            break;
        case platform::SerialOpenFailure::Other:
            result.failure = OpenFailure::Other;
            break;
    }
    result.message = deviceText + "\n" + address.path + "：" + Explain(result.failure, error);
    return result;
}

void SerialPortBase::CloseDevice() {
    if (!device_.IsOpen()) return;
    // A byte written just before closing (the handshake's model code) must
    // still reach the line: the next open purges the output queue. A line
    // that went away takes nothing more.
    device_.Close(!lineGone_);
    path_.clear();
    reservation_ = PortReservation();
    // A trace that cannot be written must not stop the work on the chip.
    (void)trace_->Flush();
}

void SerialPortBase::SetModemLines(bool raise) {
    device_.SetModemLines(raise);
}

bool SerialPortBase::Configure(std::uint32_t baud, std::uint8_t parity, std::uint8_t byteSize,
                               std::uint8_t stopBits) {
    return device_.Configure(baud, parity, byteSize, stopBits);
}

bool SerialPortBase::SetTimeouts() {
    if (!IsOpen()) return false;
    timeouts_.ReadIntervalTimeout = 100;
    timeouts_.ReadTotalTimeoutMultiplier = 10;
    timeouts_.ReadTotalTimeoutConstant = 100;
    timeouts_.WriteTotalTimeoutMultiplier = 10;
    timeouts_.WriteTotalTimeoutConstant = 100;
    return true;
}

std::size_t SerialPortBase::WriteWithDeadline(const std::uint8_t* data, std::size_t count) {
    if (!IsOpen()) return 0;
    const std::uint64_t totalMs = std::uint64_t{timeouts_.WriteTotalTimeoutMultiplier} * count +
                                  timeouts_.WriteTotalTimeoutConstant;
    const bool bounded = totalMs > 0;
    const auto deadline = Clock::now() + milliseconds(totalMs);
    std::size_t written = 0;
    while (written < count) {
        const platform::SerialIo io = device_.WriteNow(data + written, count - written);
        if (io.status == platform::SerialIo::Status::Moved) {
            Traced(SerialTrace::Direction::Sent, data + written, io.count);
            written += io.count;
            continue;
        }
        if (io.status == platform::SerialIo::Status::Failed) {
            NoteLineError(io.error);
            break;
        }
        const int wait = bounded ? MillisecondsLeft(deadline) : -1;
        if (wait == 0 || !PollFor(true, wait)) break;
    }
    return written;
}

std::size_t SerialPortBase::ReadWithTimeouts(std::uint8_t* buffer, std::size_t count) {
    if (!IsOpen() || count == 0) return 0;
    const std::uint64_t totalMs = std::uint64_t{timeouts_.ReadTotalTimeoutMultiplier} * count +
                                  timeouts_.ReadTotalTimeoutConstant;
    const auto deadline = Clock::now() + milliseconds(totalMs);
    std::size_t got = 0;
    while (got < count) {
        const platform::SerialIo io = device_.ReadNow(buffer + got, count - got);
        if (io.status == platform::SerialIo::Status::Moved) {
            Traced(SerialTrace::Direction::Received, buffer + got, io.count);
            got += io.count;
            continue;
        }
        if (io.status == platform::SerialIo::Status::EndOfLine) {
            lineGone_ = true;
            break;
        }
        if (io.status == platform::SerialIo::Status::Failed) {
            NoteLineError(io.error);
            break;
        }
        int wait = totalMs > 0 ? MillisecondsLeft(deadline) : -1;
        // Once data flows, a pause longer than the interval ends the read.
        if (got > 0 && timeouts_.ReadIntervalTimeout > 0) {
            const int interval = static_cast<int>(timeouts_.ReadIntervalTimeout);
            wait = wait < 0 ? interval : std::min(wait, interval);
        }
        if (wait == 0 || !PollFor(false, wait)) break;
    }
    return got;
}

OpenResult BurnerPort::Open(const PortAddress& address) {
    return OpenDevice(address, "没有发现 COM" + std::to_string(address.number) + " 串口");
}

bool BurnerPort::Write(const std::uint8_t* data, std::uint32_t count) {
    return IsOpen() && WriteWithDeadline(data, count) == count;
}

bool BurnerPort::Read(std::uint8_t* buffer, std::uint32_t count) {
    if (!device_.IsOpen()) return false;
    const platform::SerialIo io = device_.ReadNow(buffer, count);
    if (io.status == platform::SerialIo::Status::EndOfLine) lineGone_ = true;
    if (io.status == platform::SerialIo::Status::Failed) NoteLineError(io.error);
    if (io.status != platform::SerialIo::Status::Moved) return false;
    Traced(SerialTrace::Direction::Received, buffer, io.count);
    return true;
}

bool BurnerPort::QueryStatus(ComStat& status) {
    status = {};
    int error = 0;
    if (!device_.IsOpen()) return false;
    const std::optional<std::uint32_t> waiting = device_.BytesWaiting(error);
    if (!waiting) {
        NoteLineError(error);
        return false;
    }
    status.cbInQue = *waiting;
    return true;
}

bool BurnerPort::WaitForInput(int milliseconds) {
    return PollFor(false, milliseconds);
}

void BurnerPort::Close() {
    CloseDevice();
}

ChipCopyPort::~ChipCopyPort() {
    Close();
}

OpenResult ChipCopyPort::Open(const PortAddress& address) {
    OpenResult result = OpenDevice(
        address, "Unable to Open the COM" + std::to_string(address.number) + " Serial Port!");
    if (!result) result.caption = "Open Error";
    return result;
}

std::uint32_t ChipCopyPort::Write(const std::uint8_t* data, std::uint32_t count) {
    return static_cast<std::uint32_t>(WriteWithDeadline(data, count));
}

std::uint32_t ChipCopyPort::Read(std::uint8_t* buffer, std::uint32_t count) {
    return static_cast<std::uint32_t>(ReadWithTimeouts(buffer, count));
}

bool ChipCopyPort::Close() {
    if (!IsOpen()) return false;
    SetModemLines(false);
    CloseDevice();
    return true;
}

std::uint8_t WaitBurnerByte(BurnerPort& port) {
    // A closed port cannot answer; waiting for it would only stall the caller.
    if (!port.IsOpen()) return kNoAnswer;
    const auto deadline = Clock::now() + milliseconds(kBurnerReplyWaitMs);
    for (;;) {
        ComStat status;
        if (port.QueryStatus(status) && status.cbInQue > 0) {
            std::uint8_t byte = kNoAnswer;
            if (port.Read(&byte, 1)) return byte;
        }
        if (port.LineGone()) return kNoAnswer;
        const int left = MillisecondsLeft(deadline);
        if (left == 0 || !port.WaitForInput(left)) return kNoAnswer;
        // A hung-up terminal polls readable forever with nothing queued; only a
        // read tells (end of file), and without it this wait spins for its second.
        if (port.QueryStatus(status) && status.cbInQue == 0) {
            std::uint8_t byte = kNoAnswer;
            if (port.Read(&byte, 1)) return byte;
        }
    }
}

}  // namespace velsend::burner

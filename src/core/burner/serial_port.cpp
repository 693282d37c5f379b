#include "core/burner/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace velsend::burner {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

speed_t SpeedFor(std::uint32_t baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return 0;
    }
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
            return std::strerror(error);
    }
}

}  // namespace

bool SerialPortBase::NoteLineError(int error) {
    // EIO: a hung-up terminal or a pseudo-terminal whose far end closed;
    // ENXIO/ENODEV: the device itself is gone.
    if (error == EIO || error == ENXIO || error == ENODEV || error == EPIPE) lineGone_ = true;
    return lineGone_;
}

bool SerialPortBase::PollFor(short events, int timeoutMs) {
    if (fd_ < 0 || lineGone_) return false;
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    for (;;) {
        pollfd p{fd_, events, 0};
        const int rc = ::poll(&p, 1, MillisecondsLeft(deadline));
        if (rc > 0) {
            // Data still waiting is read first; the read then meets the hang-up.
            if ((p.revents & events) != 0) return true;
            if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) lineGone_ = true;
            return false;
        }
        if (rc == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool SerialPortBase::HungUp() {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        lineGone_ = true;
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
            (!address.missing.empty()
                 ? address.missing
                 : "本机没有与 COM" + std::to_string(address.number) +
                       " 对应的串口设备。请插好 USB 转串口线，在“数据传送规则设置”中点“刷新”后选择串口"
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
    int fd = ::open(address.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        switch (error) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
                result.failure = OpenFailure::NotFound;
                break;
            case EACCES:
            case EPERM:
                result.failure = OpenFailure::PermissionDenied;
                break;
            case EBUSY:
                result.failure = OpenFailure::Busy;
                break;
            default:
                result.failure = OpenFailure::Other;
                break;
        }
    } else if (!::isatty(fd)) {
        result.failure = OpenFailure::NotSerial;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // TIOCEXCL does not keep out a second program running as root; the lock does.
        error = errno;
        result.failure = error == EWOULDBLOCK ? OpenFailure::Busy : OpenFailure::Other;
    } else {
        ::ioctl(fd, TIOCEXCL);
        fd_ = fd;
        path_ = address.path;
        reservation_ = std::move(reservation);
        result.ok = true;
        return result;
    }
    if (fd >= 0) ::close(fd);
    result.message = deviceText + "\n" + address.path + "：" + Explain(result.failure, error);
    return result;
}

void SerialPortBase::CloseDevice() {
    if (fd_ < 0) return;
    // A byte written just before closing (the handshake's model code) must
    // still reach the line: the next open purges the output queue. A line
    // that went away takes nothing more.
    if (!lineGone_) ::tcdrain(fd_);
    // The exclusive flag outlives our descriptor while anyone else holds the
    // terminal open, so give it back explicitly.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    path_.clear();
    reservation_ = PortReservation();
    // A trace that cannot be written must not stop the work on the chip.
    (void)trace_->Flush();
}

void SerialPortBase::SetModemLines(bool raise) {
    if (fd_ < 0) return;
    int lines = TIOCM_DTR | TIOCM_RTS;
    // Pseudo-terminals have no modem lines; that is not an error here.
    ::ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &lines);
}

bool SerialPortBase::Configure(std::uint32_t baud, std::uint8_t parity, std::uint8_t byteSize,
                               std::uint8_t stopBits) {
    if (fd_ < 0) return false;
    const speed_t speed = SpeedFor(baud);
    if (speed == 0) return false;

    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSIZE | PARENB | PARODD | CSTOPB);
    switch (byteSize) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        default:
            tio.c_cflag |= CS8;
            break;
    }
    if (parity == ODDPARITY) tio.c_cflag |= PARENB | PARODD;
    if (parity == EVENPARITY) tio.c_cflag |= PARENB;
    if (stopBits == TWOSTOPBITS) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;

    SetModemLines(true);
    // Whatever is left over from an earlier exchange is thrown away.
    ::tcflush(fd_, TCOFLUSH);
    ::tcflush(fd_, TCIFLUSH);
    return true;
}

bool SerialPortBase::SetTimeouts() {
    if (fd_ < 0) return false;
    timeouts_.ReadIntervalTimeout = 100;
    timeouts_.ReadTotalTimeoutMultiplier = 10;
    timeouts_.ReadTotalTimeoutConstant = 100;
    timeouts_.WriteTotalTimeoutMultiplier = 10;
    timeouts_.WriteTotalTimeoutConstant = 100;
    return true;
}

std::size_t SerialPortBase::WriteWithDeadline(const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0) return 0;
    const std::uint64_t totalMs = std::uint64_t{timeouts_.WriteTotalTimeoutMultiplier} * count +
                                  timeouts_.WriteTotalTimeoutConstant;
    const bool bounded = totalMs > 0;
    const auto deadline = Clock::now() + milliseconds(totalMs);
    std::size_t written = 0;
    while (written < count) {
        const ssize_t n = ::write(fd_, data + written, count - written);
        if (n > 0) {
            Traced(SerialTrace::Direction::Sent, data + written, static_cast<std::size_t>(n));
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            NoteLineError(errno);
            break;
        }
        const int wait = bounded ? MillisecondsLeft(deadline) : -1;
        if (wait == 0 || !PollFor(POLLOUT, wait)) break;
    }
    return written;
}

std::size_t SerialPortBase::ReadWithTimeouts(std::uint8_t* buffer, std::size_t count) {
    if (fd_ < 0 || count == 0) return 0;
    const std::uint64_t totalMs = std::uint64_t{timeouts_.ReadTotalTimeoutMultiplier} * count +
                                  timeouts_.ReadTotalTimeoutConstant;
    const auto deadline = Clock::now() + milliseconds(totalMs);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd_, buffer + got, count - got);
        if (n > 0) {
            Traced(SerialTrace::Direction::Received, buffer + got, static_cast<std::size_t>(n));
            got += static_cast<std::size_t>(n);
            continue;
        }
        // Raw mode without VMIN reads 0 when nothing waits, and a hung-up
        // terminal reads 0 for ever: only poll's hang-up flag tells them apart.
        if (n == 0 && HungUp()) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            NoteLineError(errno);
            break;
        }
        int wait = totalMs > 0 ? MillisecondsLeft(deadline) : -1;
        // Once data flows, a pause longer than the interval ends the read.
        if (got > 0 && timeouts_.ReadIntervalTimeout > 0) {
            const int interval = static_cast<int>(timeouts_.ReadIntervalTimeout);
            wait = wait < 0 ? interval : std::min(wait, interval);
        }
        if (wait == 0 || !PollFor(POLLIN, wait)) break;
    }
    return got;
}

OpenResult BurnerPort::Open(const PortAddress& address) {
    return OpenDevice(address, "没有发现 COM" + std::to_string(address.number) + " 串口");
}

bool BurnerPort::Write(const std::uint8_t* data, std::uint32_t count) {
    return fd_ >= 0 && WriteWithDeadline(data, count) == count;
}

bool BurnerPort::Read(std::uint8_t* buffer, std::uint32_t count) {
    if (fd_ < 0) return false;
    ssize_t n;
    do {
        n = ::read(fd_, buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n == 0) HungUp();
    if (n < 0) NoteLineError(errno);
    if (n > 0) Traced(SerialTrace::Direction::Received, buffer, static_cast<std::size_t>(n));
    return n > 0;
}

bool BurnerPort::QueryStatus(ComStat& status) {
    status = {};
    int waiting = 0;
    if (fd_ < 0) return false;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
        NoteLineError(errno);
        return false;
    }
    status.cbInQue = static_cast<std::uint32_t>(waiting);
    return true;
}

bool BurnerPort::WaitForInput(int milliseconds) {
    return PollFor(POLLIN, milliseconds);
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

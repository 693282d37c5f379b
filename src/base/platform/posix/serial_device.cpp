#include "base/platform/serial_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace velsend::platform {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
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

}  // namespace

SerialDevice::~SerialDevice() {
    Close(false);
}

bool SerialDevice::IsOpen() const {
    return fd_ >= 0;
}

SerialOpenFailure SerialDevice::Open(const std::string& path, int& error) {
    Close(false);
    error = 0;
    SerialOpenFailure failure = SerialOpenFailure::None;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        switch (error) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
                return SerialOpenFailure::NotFound;
            case EACCES:
            case EPERM:
                return SerialOpenFailure::PermissionDenied;
            case EBUSY:
                return SerialOpenFailure::Busy;
            default:
                return SerialOpenFailure::Other;
        }
    }
    if (!::isatty(fd)) {
        failure = SerialOpenFailure::NotSerial;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // TIOCEXCL does not keep out a second program running as root; the lock does.
        error = errno;
        failure = error == EWOULDBLOCK ? SerialOpenFailure::Busy : SerialOpenFailure::Other;
    } else {
        ::ioctl(fd, TIOCEXCL);
        fd_ = fd;
        return SerialOpenFailure::None;
    }
    ::close(fd);
    return failure;
}

void SerialDevice::Close(bool drain) {
    if (fd_ < 0) return;
    if (drain) ::tcdrain(fd_);
    // The exclusive flag outlives our descriptor while anyone else holds the
    // terminal open, so give it back explicitly.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

bool SerialDevice::Configure(std::uint32_t baud, std::uint8_t parity, std::uint8_t byteSize,
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
    if (parity == 1) tio.c_cflag |= PARENB | PARODD;
    if (parity == 2) tio.c_cflag |= PARENB;
    if (stopBits == 2) tio.c_cflag |= CSTOPB;
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

void SerialDevice::SetModemLines(bool raise) {
    if (fd_ < 0) return;
    int lines = TIOCM_DTR | TIOCM_RTS;
    // Pseudo-terminals have no modem lines; that is not an error here.
    ::ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &lines);
}

SerialIo SerialDevice::ReadNow(std::uint8_t* buffer, std::size_t count) {
    ssize_t n;
    do {
        n = ::read(fd_, buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return {SerialIo::Status::Moved, static_cast<std::size_t>(n), 0};
    // Raw mode without VMIN reads 0 when nothing waits, and a hung-up
    // terminal reads 0 for ever: only poll's hang-up flag tells them apart.
    if (n == 0) return {HungUp() ? SerialIo::Status::EndOfLine : SerialIo::Status::Nothing, 0, 0};
    if (errno == EAGAIN) return {SerialIo::Status::Nothing, 0, 0};
    return {SerialIo::Status::Failed, 0, errno};
}

SerialIo SerialDevice::WriteNow(const std::uint8_t* data, std::size_t count) {
    ssize_t n;
    do {
        n = ::write(fd_, data, count);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return {SerialIo::Status::Moved, static_cast<std::size_t>(n), 0};
    if (n == 0 || errno == EAGAIN) return {SerialIo::Status::Nothing, 0, 0};
    return {SerialIo::Status::Failed, 0, errno};
}

SerialWait SerialDevice::WaitFor(bool forOutput, int timeoutMs) {
    if (fd_ < 0) return SerialWait::TimedOut;
    const short events = forOutput ? POLLOUT : POLLIN;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p{fd_, events, 0};
        const int rc = ::poll(&p, 1, timeoutMs < 0 ? -1 : MillisecondsLeft(deadline));
        if (rc > 0) {
            // Data still waiting is read first; the read then meets the hang-up.
            if ((p.revents & events) != 0) return SerialWait::Ready;
            if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return SerialWait::HungUp;
            return SerialWait::TimedOut;
        }
        if (rc == 0) return SerialWait::TimedOut;
        if (errno != EINTR) return SerialWait::TimedOut;
    }
}

bool SerialDevice::HungUp() {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

std::optional<std::uint32_t> SerialDevice::BytesWaiting(int& error) {
    int waiting = 0;
    if (fd_ < 0) return std::nullopt;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
        error = errno;
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(waiting);
}

bool SerialDevice::LineGoneError(int error) {
    // EIO: a hung-up terminal or a pseudo-terminal whose far end closed;
    // ENXIO/ENODEV: the device itself is gone.
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE;
}

std::optional<std::vector<std::string>> NamedSerialPorts() {
    return std::nullopt;
}

std::string SystemDeviceFolder() {
    return "/dev";
}

}  // namespace velsend::platform

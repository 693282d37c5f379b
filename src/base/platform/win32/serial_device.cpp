#include "base/platform/serial_device.h"

#include <windows.h>

#include "base/platform/system.h"
#include "base/platform/win32/errors.h"

namespace velsend::platform {
namespace {

HANDLE Handle(void* h) {
    return static_cast<HANDLE>(h);
}

bool KnownBaud(std::uint32_t baud) {
    switch (baud) {
        case 1200:
        case 2400:
        case 4800:
        case 9600:
        case 19200:
        case 38400:
        case 57600:
        case 115200:
        case 230400:
            return true;
        default:
            return false;
    }
}

// Reads return at once with whatever is queued; writes give up after a
// second plus 10 ms a byte, so a stuck line cannot hold the program.
bool SetImmediateTimeouts(HANDLE h) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.WriteTotalTimeoutMultiplier = 10;
    t.WriteTotalTimeoutConstant = 1000;
    return ::SetCommTimeouts(h, &t) != 0;
}

}  // namespace

SerialDevice::~SerialDevice() {
    Close(false);
}

bool SerialDevice::IsOpen() const {
    return handle_ != nullptr;
}

SerialOpenFailure SerialDevice::Open(const std::string& path, int& error) {
    Close(false);
    error = 0;
    // COM10 and above are reachable only through the device namespace.
    const std::string name = path.rfind("\\\\.\\", 0) == 0 ? path : "\\\\.\\" + path;
    // No sharing: a COM port opens for one program at a time by nature.
    HANDLE h = ::CreateFileW(PathFromUtf8(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        error = ErrnoFromWin32(code);
        switch (code) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return SerialOpenFailure::NotFound;
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
                // What another program holding the port gives.
                return SerialOpenFailure::Busy;
            default:
                return SerialOpenFailure::Other;
        }
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb) || !SetImmediateTimeouts(h)) {
        ::CloseHandle(h);
        return SerialOpenFailure::NotSerial;
    }
    handle_ = h;
    early_.reset();
    return SerialOpenFailure::None;
}

void SerialDevice::Close(bool drain) {
    if (handle_ == nullptr) return;
    if (drain) ::FlushFileBuffers(Handle(handle_));
    ::CloseHandle(Handle(handle_));
    handle_ = nullptr;
    early_.reset();
}

bool SerialDevice::Configure(std::uint32_t baud, std::uint8_t parity, std::uint8_t byteSize,
                             std::uint8_t stopBits) {
    if (handle_ == nullptr || !KnownBaud(baud)) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(Handle(handle_), &dcb)) return false;
    dcb.BaudRate = baud;
    dcb.fBinary = TRUE;
    dcb.fParity = parity != 0 ? TRUE : FALSE;
    dcb.Parity = parity == 1 ? ODDPARITY : parity == 2 ? EVENPARITY : NOPARITY;
    dcb.ByteSize = byteSize >= 5 && byteSize <= 8 ? byteSize : 8;
    dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!::SetCommState(Handle(handle_), &dcb)) return false;
    // Whatever is left over from an earlier exchange is thrown away.
    ::PurgeComm(Handle(handle_), PURGE_RXCLEAR | PURGE_TXCLEAR);
    early_.reset();
    return true;
}

void SerialDevice::SetModemLines(bool raise) {
    if (handle_ == nullptr) return;
    ::EscapeCommFunction(Handle(handle_), raise ? SETDTR : CLRDTR);
    ::EscapeCommFunction(Handle(handle_), raise ? SETRTS : CLRRTS);
}

SerialIo SerialDevice::ReadNow(std::uint8_t* buffer, std::size_t count) {
    if (handle_ == nullptr || count == 0) return {};
    std::size_t got = 0;
    if (early_) {
        buffer[got++] = *early_;
        early_.reset();
        if (count == 1) return {SerialIo::Status::Moved, 1, 0};
    }
    DWORD n = 0;
    if (!::ReadFile(Handle(handle_), buffer + got, static_cast<DWORD>(count - got), &n, nullptr)) {
        if (got > 0) return {SerialIo::Status::Moved, got, 0};
        return {SerialIo::Status::Failed, 0, LastErrno()};
    }
    got += n;
    if (got > 0) return {SerialIo::Status::Moved, got, 0};
    return {SerialIo::Status::Nothing, 0, 0};
}

SerialIo SerialDevice::WriteNow(const std::uint8_t* data, std::size_t count) {
    if (handle_ == nullptr) return {};
    DWORD n = 0;
    if (!::WriteFile(Handle(handle_), data, static_cast<DWORD>(count), &n, nullptr))
        return {SerialIo::Status::Failed, 0, LastErrno()};
    if (n > 0) return {SerialIo::Status::Moved, n, 0};
    return {SerialIo::Status::Nothing, 0, 0};
}

SerialWait SerialDevice::WaitFor(bool forOutput, int timeoutMs) {
    if (handle_ == nullptr) return SerialWait::TimedOut;
    // Writes wait in the driver themselves, within the write time-outs.
    if (forOutput || early_) return SerialWait::Ready;
    int error = 0;
    const std::optional<std::uint32_t> queued = BytesWaiting(error);
    if (!queued) return SerialWait::HungUp;
    if (*queued > 0) return SerialWait::Ready;
    if (timeoutMs == 0) return SerialWait::TimedOut;
    // A read that returns as soon as one byte arrives, or after the time-out;
    // the byte is kept for the next ReadNow.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = timeoutMs < 0 ? MAXDWORD - 1 : static_cast<DWORD>(timeoutMs);
    t.WriteTotalTimeoutMultiplier = 10;
    t.WriteTotalTimeoutConstant = 1000;
    if (!::SetCommTimeouts(Handle(handle_), &t)) return SerialWait::HungUp;
    std::uint8_t byte = 0;
    DWORD n = 0;
    const bool ok = ::ReadFile(Handle(handle_), &byte, 1, &n, nullptr) != 0;
    SetImmediateTimeouts(Handle(handle_));
    if (!ok) return SerialWait::HungUp;
    if (n == 0) return SerialWait::TimedOut;
    early_ = byte;
    return SerialWait::Ready;
}

bool SerialDevice::HungUp() {
    if (handle_ == nullptr) return false;
    DWORD errors = 0;
    COMSTAT stat{};
    return ::ClearCommError(Handle(handle_), &errors, &stat) == 0;
}

std::optional<std::uint32_t> SerialDevice::BytesWaiting(int& error) {
    if (handle_ == nullptr) return std::nullopt;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(Handle(handle_), &errors, &stat)) {
        error = LastErrno();
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(stat.cbInQue + (early_ ? 1 : 0));
}

bool SerialDevice::LineGoneError(int error) {
    // What a removed adapter or a failing driver gives (see ErrnoFromWin32).
    return error == EIO || error == ENODEV || error == EBADF;
}

std::optional<std::vector<std::string>> NamedSerialPorts() {
    // Every serial driver (on-board UART, USB adapter) enters its ports here
    // while they are present.
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256];
        DWORD valueLength = 256;
        wchar_t data[64];
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG r = ::RegEnumValueW(key, i, value, &valueLength, nullptr, &type,
                                       reinterpret_cast<BYTE*>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        std::string name;
        for (const wchar_t* c = data; *c != L'\0' && *c < 0x80; ++c) name += static_cast<char>(*c);
        if (!name.empty()) names.push_back(name);
    }
    ::RegCloseKey(key);
    return names;
}

std::string SystemDeviceFolder() {
    return {};
}

}  // namespace velsend::platform

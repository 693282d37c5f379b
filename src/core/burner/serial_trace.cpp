#include "core/burner/serial_trace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

namespace velsend::burner {
namespace {

std::string CannotWriteText(const std::filesystem::path& file) {
    return "无法写入串口通信记录文件“" + file.string() + "”。";
}

// Opened for appending, and only a regular file: a named pipe in its place
// must not hang the program when a connection closes.
int OpenForAppend(const std::filesystem::path& file, base::Error& error) {
    const int fd =
        ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        error = base::SystemError(CannotWriteText(file));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = base::Error{CannotWriteText(file), "不是普通文件", 0};
        return -1;
    }
    return fd;
}

void AppendLine(std::string& out, std::int64_t micros, SerialTrace::Direction direction,
                std::uint8_t byte) {
    const std::time_t secs = static_cast<std::time_t>(micros / 1000000);
    std::tm tm{};
    ::localtime_r(&secs, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%s.%06ld %s %02X\n", stamp,
                                static_cast<long>(micros % 1000000),
                                direction == SerialTrace::Direction::Sent ? "tx" : "rx", byte);
    out.append(line, static_cast<std::size_t>(n));
}

}  // namespace

SerialTrace::~SerialTrace() {
    (void)Flush();
}

SerialTrace& SerialTrace::Process() {
    static SerialTrace trace;
    return trace;
}

base::Result<> SerialTrace::Start(const std::filesystem::path& file) {
    std::lock_guard lock(mutex_);
    base::Result<> flushed = FlushLocked();
    base::Error error;
    const int fd = OpenForAppend(file, error);
    if (fd < 0) {
        enabled_ = false;
        file_.clear();
        return error;
    }
    ::close(fd);
    enabled_ = true;
    file_ = file;
    return flushed;
}

base::Result<> SerialTrace::Stop() {
    std::lock_guard lock(mutex_);
    base::Result<> flushed = FlushLocked();
    enabled_ = false;
    file_.clear();
    // A flush that failed at a port's close is reported here at the latest.
    if (flushed && warning_) flushed = *warning_;
    warning_.reset();
    return flushed;
}

std::optional<base::Error> SerialTrace::TakeWarning() {
    std::lock_guard lock(mutex_);
    std::optional<base::Error> warning;
    warning.swap(warning_);
    return warning;
}

bool SerialTrace::Enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

std::filesystem::path SerialTrace::File() const {
    std::lock_guard lock(mutex_);
    return file_;
}

void SerialTrace::Note(Direction direction, const std::uint8_t* data, std::size_t count) {
    if (count == 0) return;
    std::lock_guard lock(mutex_);
    if (!enabled_) return;
    const std::int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
    for (std::size_t i = 0; i < count; ++i) pending_.push_back({micros, direction, data[i]});
}

base::Result<> SerialTrace::Flush() {
    std::lock_guard lock(mutex_);
    base::Result<> flushed = FlushLocked();
    if (!flushed && !warning_) warning_ = flushed.error();
    return flushed;
}

base::Result<> SerialTrace::FlushLocked() {
    if (pending_.empty()) return base::Ok();
    std::string text;
    text.reserve(pending_.size() * 32);
    for (const Entry& e : pending_) AppendLine(text, e.micros, e.direction, e.byte);
    pending_.clear();
    base::Error error;
    const int fd = OpenForAppend(file_, error);
    if (fd < 0) return error;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        } else {
            error = base::SystemError(CannotWriteText(file_));
            ::close(fd);
            return error;
        }
    }
    ::close(fd);
    return base::Ok();
}

}  // namespace velsend::burner

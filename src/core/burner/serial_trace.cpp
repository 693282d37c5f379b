#include "core/burner/serial_trace.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "base/platform/files.h"
#include "base/platform/system.h"

namespace velsend::burner {
namespace {

std::string CannotWriteText(const std::filesystem::path& file) {
    return "无法写入串口通信记录文件“" + file.string() + "”。";
}

// Appends `text` (may be empty), and only to a regular file: a named pipe in
// its place must not hang the program when a connection closes.
base::Result<> AppendTo(const std::filesystem::path& file, std::string_view text) {
    bool notRegular = false;
    const int error = platform::AppendToFile(file, text, notRegular);
    if (notRegular) return base::Error{CannotWriteText(file), "不是普通文件", 0};
    if (error != 0) return base::Error{CannotWriteText(file), platform::ErrorText(error), error};
    return base::Ok();
}

void AppendLine(std::string& out, std::int64_t micros, SerialTrace::Direction direction,
                std::uint8_t byte) {
    const std::time_t secs = static_cast<std::time_t>(micros / 1000000);
    std::tm tm{};
    (void)platform::LocalTime(secs, tm);
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
    if (base::Result<> opened = AppendTo(file, {}); !opened) {
        enabled_ = false;
        file_.clear();
        return opened;
    }
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
    return AppendTo(file_, text);
}

}  // namespace velsend::burner

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

#include "base/result.h"

namespace velsend::burner {

// Every byte that crosses the burner's line, both ways, for support to lay
// beside the simulator's byte log. Bytes are only noted in memory while a
// connection runs (the line's timing must not change); Flush appends them as
// "YYYY-MM-DD HH:MM:SS.uuuuuu tx 5A" lines, where tx is what this program sent
// and rx what it received. The ports flush when they close, so a crash later
// keeps every finished connection.
class SerialTrace {
  public:
    enum class Direction : std::uint8_t { Sent, Received };

    SerialTrace() = default;
    SerialTrace(const SerialTrace&) = delete;
    SerialTrace& operator=(const SerialTrace&) = delete;
    ~SerialTrace();

    // The trace every port of this process writes to unless told otherwise;
    // off until a file is set.
    static SerialTrace& Process();

    // Starts tracing into `file` (appended to); flushes what the previous
    // file still had. Fails, and leaves the trace off, when the file cannot
    // be opened for appending.
    [[nodiscard]] base::Result<> Start(const std::filesystem::path& file);
    // Flushes and stops tracing.
    [[nodiscard]] base::Result<> Stop();
    bool Enabled() const;
    std::filesystem::path File() const;

    void Note(Direction direction, const std::uint8_t* data, std::size_t count);
    // Appends what was noted since the last flush; a no-op when nothing was.
    // A failure is also kept for TakeWarning (the ports flush as they close,
    // where nobody can show it) and returned by Stop.
    [[nodiscard]] base::Result<> Flush();
    // The failure of a flush since the last call, naming the file and the
    // reason: for the status bar after a transfer.
    std::optional<base::Error> TakeWarning();

  private:
    struct Entry {
        std::int64_t micros;  // since the epoch, wall clock
        Direction direction;
        std::uint8_t byte;
    };
    base::Result<> FlushLocked();

    mutable std::mutex mutex_;
    bool enabled_ = false;
    std::filesystem::path file_;
    std::vector<Entry> pending_;
    std::optional<base::Error> warning_;
};

}  // namespace velsend::burner

#pragma once

// Work that may crash on hostile input, run where a crash cannot take the
// program down.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace velsend::platform {

struct IsolatedRun {
    enum class Outcome { Done, TimedOut, Failed, CouldNotStart };
    Outcome outcome = Outcome::CouldNotStart;
    // What `work` returned (only when Done).
    std::string output;
    int error = 0;
};

// Runs `work` in a child process that dies with this one and after
// `maxSeconds`, and returns the bytes it produced. Windows has no fork:
// there `work` runs in this process, without the crash guard or the limit.
IsolatedRun RunIsolated(const std::function<std::string()>& work, unsigned maxSeconds);

// A file holding `bytes` for a library that reads files by name only. It is
// private to this process and goes away with it (a memory file on Linux; a
// temporary file removed on destruction on Windows).
class ScratchFile {
  public:
    explicit ScratchFile(std::string_view bytes);
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile();
    // 0 when Path() holds all the bytes, the error otherwise.
    int Error() const { return error_; }
    const std::filesystem::path& Path() const { return path_; }

  private:
    int fd_ = -1;
    int error_ = 0;
    std::filesystem::path path_;
};

}  // namespace velsend::platform

#include "core/exchange/raw_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velsend::exchange {

std::optional<std::vector<std::uint8_t>> ReadUpTo(const std::filesystem::path& path,
                                                  std::size_t max) {
    // Non-blocking, and only regular files: a FIFO or device under a project
    // name must not hang the command.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(max);
    std::size_t done = 0;
    while (done < max) {
        const ssize_t n = ::read(fd, bytes.data() + done, max - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> bytes, std::size_t size,
                                 std::uint8_t filler) {
    bytes.resize(size, filler);
    return bytes;
}

}  // namespace velsend::exchange

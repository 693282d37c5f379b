#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace velsend::platform {

// Writes all `size` bytes to `fd`, going on after a signal or a short write.
// 0 or the error (ENOSPC for a write that wrote nothing).
inline int WriteAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return n == 0 ? ENOSPC : errno;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace velsend::platform

// Test-only preload library: every read of the file named by
// VELSEND_TEST_EIO_NAME fails with EIO, as a failing disk or USB stick makes
// it fail after a successful open. LD_PRELOAD it into the program under test.
#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Doomed(int fd) {
    const char* name = std::getenv("VELSEND_TEST_EIO_NAME");
    if (name == nullptr) return false;
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = 0;
    const char* base = std::strrchr(path, '/');
    return base != nullptr && std::strcmp(base + 1, name) == 0;
}

template <class F>
F Next(const char* symbol) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, symbol));
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static const auto real = Next<ssize_t (*)(int, void*, size_t)>("read");
    if (Doomed(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, count);
}

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    static const auto real = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    if (Doomed(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, count, offset);
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t count, off64_t offset) {
    static const auto real = Next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
    if (Doomed(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, count, offset);
}

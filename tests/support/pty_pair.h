#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace velsend::test {

// A pseudo-terminal whose terminal side the code under test opens as its
// serial port; the test plays the far end on the master side.
class PtyPair {
  public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::grantpt(master_);
        ::unlockpt(master_);
        path_ = ::ptsname(master_);
        // Keep the terminal side open (and raw) so that the port under test
        // can be opened and closed without hanging the pair up.
        keep_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        ::tcgetattr(keep_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(keep_, TCSANOW, &tio);
    }
    ~PtyPair() {
        ::close(keep_);
        ::close(master_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& path() const { return path_; }

    void Send(const std::vector<std::uint8_t>& bytes) {
        (void)!::write(master_, bytes.data(), bytes.size());
    }

    // Collects what the port under test wrote until `count` bytes came or the time ran out.
    std::vector<std::uint8_t> Receive(std::size_t count, int timeoutMs = 1000) {
        std::vector<std::uint8_t> got;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            std::uint8_t buffer[256];
            const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

  private:
    int master_ = -1;
    int keep_ = -1;
    std::string path_;
};

}  // namespace velsend::test

// velsend-burner-sim: plays the burner on a pseudo-terminal so that the
// program can be run and tested without the hardware.

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "burner.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

constexpr std::string_view kUsage =
    R"(usage: velsend-burner-sim [options]

Plays the burner on a pseudo-terminal. The first line printed is the path of
the terminal; point the program at it, for example
  VELSEND_PORTS=/dev/pts/7 velsend
  velsend-cli --port /dev/pts/7 select-model

options:
  --silent        never answer
  --answer HEX    answer this byte instead of echoing the handshake request
  --log FILE      append every byte, both ways, with a time stamp
  -h, --help      this text
)";

class ByteLog {
  public:
    bool Open(const std::string& path) {
        out_.open(path, std::ios::app);
        return static_cast<bool>(out_);
    }
    // One line per byte: wall-clock time, direction ("rx" from the program,
    // "tx" to it) and the byte in hex.
    void Write(const char* direction, std::uint8_t byte) {
        if (!out_) return;
        const auto now = std::chrono::system_clock::now();
        const std::time_t secs = std::chrono::system_clock::to_time_t(now);
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() %
            1000000;
        std::tm tm{};
        ::localtime_r(&secs, &tm);
        char stamp[64];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
        char line[96];
        std::snprintf(line, sizeof line, "%s.%06ld %s %02X\n", stamp, static_cast<long>(micros),
                      direction, byte);
        out_ << line << std::flush;
    }

  private:
    std::ofstream out_;
};

bool ParseHexByte(std::string_view text, std::uint8_t& out) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 2) return false;
    unsigned value = 0;
    for (char c : text) {
        value <<= 4;
        if (c >= '0' && c <= '9')
            value |= static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            value |= static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            value |= static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
    }
    out = static_cast<std::uint8_t>(value);
    return true;
}

int Fail(const std::string& what) {
    std::cerr << "velsend-burner-sim: " << what << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    velsend::sim::BurnerOptions options;
    std::string logPath;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--answer" && i + 1 < argc) {
            std::uint8_t byte = 0;
            if (!ParseHexByte(argv[++i], byte)) return Fail("--answer takes a hex byte, e.g. 60");
            options.answer = byte;
        } else if (arg == "--log" && i + 1 < argc) {
            logPath = argv[++i];
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }

    // Do not outlive whoever started us (a test, the demo script).
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);

    ByteLog log;
    if (!logPath.empty() && !log.Open(logPath)) return Fail("cannot open log file " + logPath);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return Fail(std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
    const char* slaveName = ::ptsname(master);
    if (slaveName == nullptr) return Fail("no name for the pseudo-terminal");
    const std::string slavePath = slaveName;

    // Holding the terminal side open keeps the pair alive between the
    // program's connections; raw mode so that nothing is echoed or translated
    // before the program configures the line itself.
    const int keepOpen = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keepOpen < 0) return Fail("cannot open " + slavePath);
    termios tio{};
    ::tcgetattr(keepOpen, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(keepOpen, TCSANOW, &tio);

    std::cout << slavePath << std::endl;

    velsend::sim::Burner burner(options);
    while (!g_stop) {
        pollfd p{master, POLLIN, 0};
        const int rc = ::poll(&p, 1, 200);
        if (rc < 0 && errno != EINTR) break;
        if (rc <= 0 || (p.revents & POLLIN) == 0) continue;
        std::uint8_t buffer[512];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) continue;
        for (ssize_t i = 0; i < n; ++i) {
            log.Write("rx", buffer[i]);
            for (std::uint8_t out : burner.Feed(buffer[i])) {
                log.Write("tx", out);
                if (::write(master, &out, 1) != 1) break;
            }
        }
    }
    ::close(keepOpen);
    ::close(master);
    return 0;
}

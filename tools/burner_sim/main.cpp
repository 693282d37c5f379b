// velsend-burner-sim: plays the burner on a pseudo-terminal so that the
// program can be run and tested without the hardware.

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
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
#include <thread>
#include <vector>

#include "burner.h"

namespace {

using Clock = std::chrono::steady_clock;

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
  --silent          never answer
  --answer HEX      answer this byte instead of echoing the handshake request
  --log FILE        append every byte, both ways, with a time stamp
  --model N         controller model 1..6 whose block sizes and chip size to
                    use (default 2; a handshake switches to the model it names)
  --chip FILE       keep the chip image in FILE (created filled with 0xFF);
                    every stored byte is written to it at once, so the chip
                    keeps its content from one run to the next; without it
                    the image lives in memory
  --baud N          take and answer bytes no faster than a line at N bit/s
                    (10 bits a byte) would carry them; without it as fast as
                    the terminal goes
  --erase-steps N   0x10 progress replies an erase sends before its 0x20 (default 3)
  --no-chip         answer 0xBE (no data chip seated) to every command
  --refuse-block N  give the N-th block of the run (counted from 1) no echo
  --no-commit N     do not confirm the N-th block with 0x99
  --bad-trailer N   a backup ends the N-th block with 0x98 in place of 0x99
  --drop-after N    stop answering after N received bytes
  --corrupt-block N a restore stores chip block N (numbered from 0, as on the
                    line) with one byte changed and still confirms it
  --garbage         answer random bytes in place of every reply
  -h, --help        this text

What is stored lands in the chip image at: node data 0x00000, phrases 0x01000,
devices 0x02000 + 0x800*loop (loops 0..7), Chinese names 0x06000 +
0x1000*loop (loops 0..7), logic blocks 0x10000 + 512*block (models 2..4) or
log records 0x10000 + 0x8000*loop + 128*address (model 1, loops 0..3). A
backup returns the image, a restore replaces it, an erase fills it with 0xFF.
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
        out_ << line;
    }
    void Flush() {
        if (out_) out_.flush();
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

bool ParseCount(std::string_view text, long& out) {
    if (text.empty() || text.size() > 9) return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    out = value;
    return true;
}

// The chip image on disk: read at start, changed ranges written back.
class ChipFile {
  public:
    bool Open(const std::string& path, velsend::sim::Burner& burner) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) return false;
        // All of a larger chip's image is read, so that running with a model
        // of the smaller chip and then with the larger one loses nothing.
        std::vector<std::uint8_t> bytes(velsend::sim::ChipLayout::kMaxImage, 0xFF);
        const ssize_t n = ::pread(fd_, bytes.data(), bytes.size(), 0);
        if (n < 0) return false;
        burner.LoadImage(bytes);
        // A new or short file becomes a whole image of the model's size.
        const std::size_t model = velsend::sim::ChipSize(burner.Model());
        if (static_cast<std::size_t>(n) < model) Write(burner, static_cast<std::size_t>(n), model);
        return true;
    }
    void Save(velsend::sim::Burner& burner) {
        if (fd_ < 0) return;
        if (auto changed = burner.TakeChanged()) Write(burner, changed->first, changed->second);
    }
    ~ChipFile() {
        if (fd_ >= 0) ::close(fd_);
    }

  private:
    void Write(velsend::sim::Burner& burner, std::size_t from, std::size_t to) {
        // A view, not a copy: this runs after every read from the line.
        const std::span<const std::uint8_t> image = burner.Image();
        to = std::min(to, image.size());
        if (from >= to) return;
        // Never shortened: what lies beyond this model's chip belongs to another.
        (void)!::pwrite(fd_, image.data() + from, to - from, static_cast<off_t>(from));
    }
    int fd_ = -1;
};

// The line's speed: when a byte has arrived in full and when an answer has
// gone out in full, at 10 bits a byte. Without a speed, no waiting.
class LinePace {
  public:
    explicit LinePace(long baud)
        : byte_(baud > 0 ? std::chrono::nanoseconds(10'000'000'000L / baud)
                         : std::chrono::nanoseconds(0)) {}
    bool On() const { return byte_.count() > 0; }
    // A byte read now from the terminal: the moment the line would have
    // carried it in.
    Clock::time_point Arrived(Clock::time_point readAt) {
        rx_ = std::max(rx_, readAt) + byte_;
        return rx_;
    }
    // An answer of `count` bytes that can start at `ready`: the moment its
    // last byte would have gone out.
    Clock::time_point Sent(Clock::time_point ready, std::size_t count) {
        tx_ = std::max(tx_, ready) + byte_ * static_cast<long>(count);
        return tx_;
    }

  private:
    std::chrono::nanoseconds byte_;
    Clock::time_point rx_{}, tx_{};
};

void WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (w > 0) {
            sent += static_cast<std::size_t>(w);
        } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
            break;
        }
    }
}

int Fail(const std::string& what) {
    std::cerr << "velsend-burner-sim: " << what << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    velsend::sim::BurnerOptions options;
    std::string logPath;
    std::string chipPath;
    long baud = 0;
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
        } else if (arg == "--chip" && i + 1 < argc) {
            chipPath = argv[++i];
        } else if (arg == "--no-chip") {
            options.noChip = true;
        } else if (arg == "--garbage") {
            options.garbage = true;
        } else if ((arg == "--model" || arg == "--erase-steps" || arg == "--refuse-block" ||
                    arg == "--no-commit" || arg == "--bad-trailer" || arg == "--drop-after" ||
                    arg == "--corrupt-block" || arg == "--baud") &&
                   i + 1 < argc) {
            long value = 0;
            if (!ParseCount(argv[++i], value)) return Fail(std::string(arg) + " takes a number");
            if (arg == "--model") {
                if (value < 1 || value > 6) return Fail("--model takes 1..6");
                options.model = static_cast<int>(value);
            } else if (arg == "--erase-steps") {
                options.eraseSteps = static_cast<int>(value);
            } else if (arg == "--refuse-block") {
                options.refuseBlock = static_cast<int>(value);
            } else if (arg == "--no-commit") {
                options.noCommitBlock = static_cast<int>(value);
            } else if (arg == "--bad-trailer") {
                options.badTrailerBlock = static_cast<int>(value);
            } else if (arg == "--corrupt-block") {
                options.corruptBlock = static_cast<int>(value);
            } else if (arg == "--baud") {
                if (value < 300) return Fail("--baud takes 300 or more");
                baud = value;
            } else {
                options.dropAfter = value;
            }
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
    ChipFile chip;
    if (!chipPath.empty() && !chip.Open(chipPath, burner))
        return Fail("cannot open chip image " + chipPath);

    // A program that goes quiet this long in the middle of an exchange has
    // given up on it; longer than any pause or reply wait of the protocol.
    constexpr auto kGiveUp = std::chrono::milliseconds(2500);
    auto lastByte = Clock::now();
    LinePace pace(baud);
    std::vector<std::uint8_t> reply;
    while (!g_stop) {
        pollfd p{master, POLLIN, 0};
        const int rc = ::poll(&p, 1, 200);
        if (rc < 0 && errno != EINTR) break;
        if (rc <= 0 || (p.revents & POLLIN) == 0) {
            if (burner.Busy() && std::chrono::steady_clock::now() - lastByte > kGiveUp)
                burner.Reset();
            continue;
        }
        std::uint8_t buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) continue;
        lastByte = Clock::now();
        reply.clear();
        for (ssize_t i = 0; i < n; ++i) {
            // At a line speed each byte is taken when it would have arrived
            // and each answer goes out when the line would have carried it.
            const Clock::time_point arrived = pace.Arrived(lastByte);
            if (pace.On()) std::this_thread::sleep_until(arrived);
            log.Write("rx", buffer[i]);
            const std::vector<std::uint8_t> out = burner.Feed(buffer[i]);
            for (std::uint8_t b : out) log.Write("tx", b);
            if (pace.On() && !out.empty()) {
                std::this_thread::sleep_until(pace.Sent(arrived, out.size()));
                WriteAll(master, out);
            } else {
                reply.insert(reply.end(), out.begin(), out.end());
            }
        }
        WriteAll(master, reply);
        log.Flush();
        chip.Save(burner);
    }
    ::close(keepOpen);
    ::close(master);
    return 0;
}

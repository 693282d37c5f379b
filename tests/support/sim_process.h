#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace velsend::test {

// velsend-burner-sim started for one test: its terminal path from the first
// line it prints, its byte log, and a clean stop at the end.
class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> args, std::filesystem::path logFile)
        : log_(std::move(logFile)) {
        args.insert(args.begin(), VELSEND_SIM_PATH);
        args.push_back("--log");
        args.push_back(log_.string());
        int out[2];
        if (::pipe(out) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            // The simulator stands in for a burner with a processor of its own:
            // when allowed (as root), it goes ahead of whatever else loads the
            // machine, so its replies keep to the protocol's time limits.
            (void)::setpriority(PRIO_PROCESS, 0, -10);
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') path_ += c;
        ::close(out[0]);
    }
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& path() const { return path_; }

    // Ends the simulator at once, as pulling the burner's cable would: its
    // side of the terminal closes and the port under test hangs up.
    void Kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // The bytes the simulator received ("rx" lines of its log), in order.
    std::vector<int> Received() const { return Bytes("rx"); }
    std::vector<int> Sent() const { return Bytes("tx"); }

    // The simulator reads on its own clock: wait until it has logged `count` bytes.
    std::vector<int> WaitReceived(std::size_t count, int timeoutMs = 2000) const {
        for (int waited = 0; waited < timeoutMs; waited += 10) {
            std::vector<int> got = Received();
            if (got.size() >= count) return got;
            ::usleep(10000);
        }
        return Received();
    }

  private:
    std::vector<int> Bytes(const std::string& direction) const {
        std::vector<int> bytes;
        std::ifstream in(log_);
        std::string date, time, dir, hex;
        while (in >> date >> time >> dir >> hex) {
            if (dir == direction) bytes.push_back(std::stoi(hex, nullptr, 16));
        }
        return bytes;
    }

    std::filesystem::path log_;
    pid_t pid_ = -1;
    std::string path_;
};

}  // namespace velsend::test

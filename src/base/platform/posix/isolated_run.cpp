#include "base/platform/isolated_run.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "base/platform/posix/write_all.h"

namespace velsend::platform {

IsolatedRun RunIsolated(const std::function<std::string()>& work, unsigned maxSeconds) {
    IsolatedRun run;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        run.error = errno;
        return run;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        run.error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return run;
    }
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(1);  // the parent died before the line above
        // The time limit works whatever the forking thread had done with SIGALRM.
        ::signal(SIGALRM, SIG_DFL);
        sigset_t alarmOnly;
        sigemptyset(&alarmOnly);
        sigaddset(&alarmOnly, SIGALRM);
        ::sigprocmask(SIG_UNBLOCK, &alarmOnly, nullptr);
        ::alarm(maxSeconds);
        ::close(fds[0]);
        const std::string out = work();
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(done == out.size() ? 0 : 1);
    }
    ::close(fds[1]);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
        run.outcome = IsolatedRun::Outcome::TimedOut;
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        run.outcome = IsolatedRun::Outcome::Failed;
    } else {
        run.outcome = IsolatedRun::Outcome::Done;
        return run;
    }
    run.output.clear();
    return run;
}

ScratchFile::ScratchFile(std::string_view bytes) {
    fd_ = ::memfd_create("velsend-scratch", MFD_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    error_ = WriteAll(fd_, bytes.data(), bytes.size());
    if (error_ != 0) return;
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

ScratchFile::~ScratchFile() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace velsend::platform

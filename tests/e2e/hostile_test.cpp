// Hostile input and faults: a mistyped folder, named pipes and huge files in
// a project's place, a burner pulled out mid-transfer, signals, symbolic
// links, control characters. Never a hang, never success on nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "base/file_write.h"
#include "cli/cli.h"
#include "cli_run.h"
#include "core/burner/backup.h"
#include "core/burner/port_lock.h"
#include "core/burner/transfer_engine.h"
#include "core/session/run_settings.h"
#include "core/store/project_files.h"
#include "fake_prompt.h"
#include "nothing_sent.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "transfer_recorder.h"

namespace velsend {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::Cli;
using test::CliRun;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Runs `work` on its own thread; false when it has not finished within
// `seconds` (a hang: the thread is left behind and the test fails).
template <class F>
bool FinishesWithin(int seconds, F work) {
    auto done = std::async(std::launch::async, std::move(work));
    const bool finished = done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
    if (!finished) {
        // Leaks the stuck thread on purpose; the gtest failure says enough.
        new std::future<void>(std::move(done));
    }
    return finished;
}

TEST(HostileFolder, MistypedDirIsRefusedBeforeAnythingIsSent) {
    test::TempDir dir;
    test::SimProcess sim({}, dir / "sim.log");
    const std::string missing = (dir / "plazza").string();
    CliRun r = Cli({"--dir", missing, "--port", sim.path(), "--loops", "0-0", "send", "devices"});
    EXPECT_EQ(r.status, cli::kExitUsage);
    EXPECT_TRUE(Contains(r.err, "--dir")) << r.err;
    EXPECT_TRUE(Contains(r.err, missing)) << r.err;
    r = Cli({"--dir", missing, "show", "names", "0"});
    EXPECT_EQ(r.status, cli::kExitUsage);
    EXPECT_EQ(r.out, "");
    // A file is not a folder either.
    test::WriteBytes(dir / "afile", {1});
    EXPECT_EQ(
        Cli({"--dir", (dir / "afile").string(), "--port", sim.path(), "send", "phrases"}).status,
        cli::kExitUsage);
    EXPECT_TRUE(test::ReceivedBeforeMarker(sim).empty());
    // Missing files inside a folder that exists still read as zeros.
    test::TempDir empty;
    EXPECT_EQ(Cli({"--dir", empty.path().string(), "show", "names", "0"}).status, cli::kExitOk);
}

TEST(HostileFolder, NamedPipesAreRefusedNotWaitedFor) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "devc0.dat").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((dir / "image.bin").c_str(), 0644), 0);

    // The readers do not block on a pipe: it reads as a missing file.
    ASSERT_TRUE(FinishesWithin(
        1, [&] { EXPECT_EQ(store::ReadFixed(dir / "devc0.dat", 1792), Bytes(1792, 0)); }));
    const auto folder = store::CheckProjectFolder(store::ProjectDir(dir.path()));
    ASSERT_FALSE(folder.ok());
    EXPECT_TRUE(Contains(folder.error().userText, "devc0.dat"));

    // A transfer refuses the folder before the port is opened.
    test::SimProcess sim({}, dir / "sim.log");
    CliRun r;
    ASSERT_TRUE(FinishesWithin(5, [&] {
        r = Cli({"--dir", dir.path().string(), "--port", sim.path(), "--loops", "0-0", "send",
                 "devices"});
    }));
    EXPECT_EQ(r.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(r.out + r.err, "devc0.dat")) << r.out << r.err;

    // So does a restore from a pipe.
    burner::ChipCopyJob job;
    job.kind = burner::ChipCopyKind::Restore;
    job.model = 3;
    job.address = {1, sim.path()};
    job.file = dir / "image.bin";
    burner::ChipCopyPort port;
    test::TransferRecorder recorder;
    burner::ChipCopyResult result;
    ASSERT_TRUE(FinishesWithin(5, [&] { result = burner::RunChipCopy(port, job, recorder); }));
    EXPECT_EQ(result.outcome, burner::ChipCopyOutcome::FileError);
    EXPECT_TRUE(Contains(result.message, "不是普通文件")) << result.message;
    EXPECT_TRUE(test::ReceivedBeforeMarker(sim).empty());
}

// The text print's outputs are never read: a folder or a pipe under their
// names leaves the commands that read the project working.
TEST(HostileFolder, PrintOutputsInTheWayBlockOnlyThePrint) {
    test::TempDir dir;
    fs::create_directory(dir / "devctext3.txt");
    ASSERT_EQ(::mkfifo((dir / "logtext.txt").c_str(), 0644), 0);
    const std::string p = dir.path().string();
    for (std::vector<std::string> args :
         {std::vector<std::string>{"show", "info"},
          {"show", "nodes"},
          {"quick-set", "--loop", "0", "--from", "0", "--to", "1", "--class", "alarm"}}) {
        args.insert(args.begin(), {"--dir", p});
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 0) << args[2] << ": " << r.err;
    }
    test::WriteBytes(dir / "devc3.dat", std::vector<std::uint8_t>(1792, 0));
    const CliRun print = Cli({"--dir", p, "print"});
    EXPECT_EQ(print.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(print.err, "devctext3.txt")) << print.out << print.err;
}

long MaxResidentKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(HostileFolder, HugeRestoreFileIsRefusedWithoutBeingRead) {
    test::TempDir dir;
    const fs::path file = dir / "huge.bin";
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t{3} << 30), 0);  // 3 GiB, sparse
        ::close(fd);
    }
    burner::ChipCopyJob job;
    job.kind = burner::ChipCopyKind::Restore;
    job.model = 2;
    job.file = file;
    burner::ChipCopyPort port;
    test::TransferRecorder recorder;
    const long before = MaxResidentKilobytes();
    const burner::ChipCopyResult result = burner::RunChipCopy(port, job, recorder);
    EXPECT_EQ(result.outcome, burner::ChipCopyOutcome::WrongSize);
    EXPECT_TRUE(Contains(result.message, "3221225472")) << result.message;
    // Reading it would have taken gigabytes.
    EXPECT_LT(MaxResidentKilobytes() - before, 64 * 1024);
    EXPECT_TRUE(recorder.statuses.empty());
}

// The burner's cable pulled mid-way: the simulator is killed, its end of the
// terminal closes, and the run ends with the line-gone message instead of
// waiting out every reply.
TEST(HostileLine, PulledBurnerEndsATransferWithTheLineGoneMessage) {
    test::TempDir dir;
    test::SimProcess sim({"--drop-after", "200"}, dir / "sim.log");
    burner::TransferJob job;
    job.kind = burner::TransferKind::SendDevices;
    job.model = 2;
    job.rules.PaceDelay = 5;
    job.project = store::ProjectDir(dir.path());
    job.address = {1, sim.path()};
    burner::BurnerPort port;
    test::TransferRecorder recorder;
    burner::TransferResult result;
    std::thread run([&] {
        burner::TransferEngine engine(port, recorder);
        result = engine.Run(job);
    });
    sim.WaitReceived(200, 5000);
    sim.Kill();
    run.join();
    EXPECT_EQ(result.outcome, burner::TransferOutcome::LineGone);
    EXPECT_EQ(result.status, "传送设备信息失败！\n" + std::string(burner::kLineGoneText));
    EXPECT_LT(result.blocksStored, result.blocksExpected);
    EXPECT_FALSE(port.IsOpen());
}

TEST(HostileLine, PulledBurnerEndsABackupWithTheBlockAndTheReason) {
    test::TempDir dir;
    // The simulator falls silent after 200 bytes, so the backup is still
    // waiting for a block when the cable is pulled, however slow this run is.
    test::SimProcess sim({"--model", "3", "--drop-after", "200"}, dir / "sim.log");
    burner::ChipCopyJob job;
    job.kind = burner::ChipCopyKind::Backup;
    job.model = 3;
    job.address = {1, sim.path()};
    job.file = dir / "plaza.bin";
    burner::ChipCopyPort port;
    test::TransferRecorder recorder;
    burner::ChipCopyResult result;
    std::thread run([&] { result = burner::RunChipCopy(port, job, recorder); });
    sim.WaitReceived(200, 5000);
    sim.Kill();
    run.join();
    EXPECT_EQ(result.outcome, burner::ChipCopyOutcome::LineGone);
    EXPECT_EQ(result.message.substr(0, 6), "error\n");
    EXPECT_TRUE(Contains(result.message, std::string(burner::kLineGoneText))) << result.message;
    EXPECT_FALSE(fs::exists(job.file));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "only the simulator's log";
}

TEST(HostileNames, BackupNameGetsItsExtensionAndAsksBeforeReplacing) {
    test::TempDir dir;
    session::RunSettings state;
    state.ControllerModel = 3;
    test::FakePrompt prompt;
    const fs::path typed = dir / "plaza";

    auto job = session::PrepareRunChipCopy(state, burner::ChipCopyKind::Backup, typed, prompt);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->file, dir / "plaza.bin");
    EXPECT_EQ(job->model, 3);
    EXPECT_EQ(prompt.Questions(), 0);

    test::WriteBytes(dir / "plaza.bin", {1, 2, 3});
    EXPECT_FALSE(session::PrepareRunChipCopy(state, burner::ChipCopyKind::Backup, typed, prompt));
    ASSERT_EQ(prompt.Questions(), 1);
    EXPECT_TRUE(Contains(prompt.shown.back().text, (dir / "plaza.bin").string()));
    prompt.answers = {true};
    EXPECT_TRUE(session::PrepareRunChipCopy(state, burner::ChipCopyKind::Backup, typed, prompt));
    // The name typed in full was already confirmed by whoever typed it.
    EXPECT_TRUE(session::PrepareRunChipCopy(state, burner::ChipCopyKind::Backup, dir / "plaza.bin",
                                            prompt));
    EXPECT_EQ(prompt.Questions(), 2);

    // A restore finds "plaza" as plaza.bin, unless a file of the typed name exists.
    job = session::PrepareRunChipCopy(state, burner::ChipCopyKind::Restore, typed, prompt);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->file, dir / "plaza.bin");
    test::WriteBytes(typed, {1});
    EXPECT_EQ(burner::ChipImageFile(burner::ChipCopyKind::Restore, typed), typed);
    EXPECT_EQ(prompt.Questions(), 2);

    // The CLI goes the same way: without --yes the existing plaza.bin stays.
    const CliRun r = Cli({"--model", "3", "--port", "/nonexistent", "backup", typed.string()});
    EXPECT_EQ(r.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(r.err, "要替换它吗")) << r.err;
    EXPECT_EQ(test::ReadBytes(dir / "plaza.bin"), (Bytes{1, 2, 3}));

    // A restore of model 2's image on model 3's chip asks, naming both sizes.
    test::WriteBytes(dir / "ka.bin", Bytes(524288, 7));
    prompt.answers = {false, true};
    EXPECT_FALSE(
        session::PrepareRunChipCopy(state, burner::ChipCopyKind::Restore, dir / "ka.bin", prompt));
    EXPECT_TRUE(Contains(prompt.shown.back().text, "524288 字节（2048 块）"))
        << prompt.shown.back().text;
    EXPECT_TRUE(Contains(prompt.shown.back().text, "262144 字节（1024 块）"));
    job = session::PrepareRunChipCopy(state, burner::ChipCopyKind::Restore, dir / "ka.bin", prompt);
    ASSERT_TRUE(job);
    EXPECT_TRUE(job->otherModelSize);
    EXPECT_EQ(prompt.Questions(), 4);
}

// Every writer goes through the file module, which renames over a link
// instead of writing through it; the store's writers and the backup are
// checked here through the module's three entries.
TEST(HostileFiles, SymlinkedProjectFileIsReplacedNotWrittenThrough) {
    test::TempDir dir, outside;
    const Bytes precious(4096, 0x5A);
    for (const char* name : {"word.dat", "logic5.dat", "plaza.bin"}) {
        test::WriteBytes(outside / name, precious);
        fs::create_symlink(outside / name, dir / name);
    }
    // word.dat is written "without truncation": the tail comes from the old
    // file as read through the link, but the link's target is not touched.
    EXPECT_TRUE(base::WriteFileStart(dir / "word.dat", Bytes(32, 0)).ok());
    EXPECT_TRUE(base::WriteWholeFile(dir / "logic5.dat", Bytes{'T', '1'}).ok());
    {
        base::PendingFile image(dir / "plaza.bin");
        ASSERT_TRUE(image.Open().ok());
        ASSERT_TRUE(image.Append(Bytes(256, 1)).ok());
        ASSERT_TRUE(image.Commit().ok());
    }
    for (const char* name : {"word.dat", "logic5.dat", "plaza.bin"}) {
        EXPECT_EQ(test::ReadBytes(outside / name), precious) << name;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / name))) << name;
    }
    EXPECT_EQ(test::ReadBytes(dir / "logic5.dat"), (Bytes{'T', '1'}));
    EXPECT_EQ(fs::file_size(dir / "word.dat"), 4096u);
    EXPECT_EQ(fs::file_size(dir / "plaza.bin"), 256u);
}

TEST(HostileFiles, ShowEscapesControlCharacters) {
    test::TempDir dir;
    // A name holding a clear-screen sequence, a bell and a backslash.
    Bytes names(4096, 0);
    const std::string evil = "\x1b[2J\x07ok\\";
    std::copy(evil.begin(), evil.end(), names.begin() + 16 * 3);
    ASSERT_TRUE(base::WriteWholeFile(dir / "ch0.dat", names));
    const CliRun r = Cli({"--dir", dir.path().string(), "show", "names", "0"});
    EXPECT_EQ(r.status, cli::kExitOk);
    EXPECT_TRUE(Contains(r.out, "\\x1B[2J\\x07ok\\\\")) << r.out;
    EXPECT_FALSE(Contains(r.out, "\x1b"));
    EXPECT_FALSE(Contains(r.out, "\x07"));

    EXPECT_EQ(cli::EscapeControls("a\tb\x7f\xc2\x9b"
                                  "c"),
              "a\\x09b\\x7F\\u009Bc");
    EXPECT_EQ(cli::EscapeControls("中文"), "中文");
}

TEST(HostileArguments, EveryNumberArgumentRefusesTheSameWayAndNamesItself) {
    test::TempDir dir;
    const std::string d = dir.path().string();
    struct Case {
        std::vector<std::string> args;
        std::string named;
    };
    const std::vector<Case> cases = {
        {{"--pace", " 5", "erase"}, "--pace"},
        {{"--loops", " 0-3", "erase"}, "--loops"},
        {{"--loops", "0-+3", "erase"}, "--loops"},
        {{"--model", "+2", "erase"}, "--model"},
        {{"--baud", "0x1c200", "erase"}, "--baud"},
        {{"--dir", d, "logic", "set", " 5", "T1"}, "logic set N"},
        {{"--dir", d, "logic", "set", "5x", "T1"}, "logic set N"},
        {{"--dir", d, "copy-loop", "0", " 1"}, "copy-loop T"},
        {{"--dir", d, "copy-loop", "-0", "1"}, "copy-loop S"},
        {{"--dir", d, "show", "devices", " 1"}, "show devices LOOP"},
    };
    for (const Case& c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.status, cli::kExitUsage) << c.args[1];
        EXPECT_TRUE(Contains(r.err, c.named)) << r.err;
    }
    int n = -1;
    EXPECT_TRUE(cli::ParseNumber("0042", 0, 50, n));
    EXPECT_EQ(n, 42);
    for (const char* bad : {"", " 5", "5 ", "+5", "-5", "51", "5.0", "99999999999999"})
        EXPECT_FALSE(cli::ParseNumber(bad, 0, 50, n)) << bad;
}

// Ctrl-C in the middle of a backup, as a user who is not root: the run stops
// between blocks, no temporary file stays, the port's exclusive flag is
// given back (the next run opens the port at once) and the exit status is 130.
// velsend-cli as a program of its own, its output in `log`, the lock files in `locks`.
pid_t StartCli(const std::vector<std::string>& args, const fs::path& locks, const fs::path& log) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("VELSEND_LOCK_DIR", locks.c_str(), 1);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(out, 2);
        std::vector<std::string> all{VELSEND_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

int ExitOf(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HostileConcurrency, EraseDuringAPacedSendIsRefusedForTheWholeRun) {
    test::TempDir dir;
    test::SimProcess sim({"--model", "2"}, dir / "sim.log");
    const pid_t send = StartCli({"--dir", dir.path().string(), "--port", sim.path(), "--loops",
                                 "0-7", "--pace", "5", "send", "devices"},
                                dir.path(), dir / "send.log");
    ASSERT_GT(send, 0);
    // Erase again and again until the send ends: attempts land in the loops
    // and in the gaps where the send has the port closed.
    int attempts = 0;
    int sendStatus = -1;
    for (;;) {
        int status = 0;
        if (::waitpid(send, &status, WNOHANG) == send) {
            sendStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        // Only once the send holds the lock; before that an erase would win.
        if (!fs::exists(dir / burner::PortLockName(sim.path()))) {
            ::usleep(2000);
            continue;
        }
        const fs::path log = dir / "erase.log";
        const int erase = ExitOf(StartCli(
            {"--port", sim.path(), "--dir", dir.path().string(), "erase"}, dir.path(), log));
        const std::string said = ReadText(log);
        if (erase == cli::kExitOk) {
            // Only possible when the send finished between the look and the open.
            ASSERT_FALSE(fs::exists(dir / burner::PortLockName(sim.path()))) << said;
            continue;
        }
        ++attempts;
        ASSERT_EQ(erase, cli::kExitFailed) << said;
        ASSERT_TRUE(Contains(said, "正被另一个程序使用")) << said;
    }
    EXPECT_GT(attempts, 2);
    EXPECT_EQ(sendStatus, cli::kExitOk) << ReadText(dir / "send.log");
    EXPECT_TRUE(Contains(ReadText(dir / "send.log"), "传送设备信息成功！"));
    // Zeros travel, so 0x70 is only ever the command and 0x99 a block end.
    const std::vector<int> got = sim.Received();
    const auto erased = std::find(got.begin(), got.end(), 0x20);
    EXPECT_EQ(std::count(got.begin(), erased, 0x70), 8) << "one device command per loop";
    EXPECT_EQ(std::count(got.begin(), erased, 0x99), 8 * 8) << "no erase before the last block";
    EXPECT_FALSE(fs::exists(dir / burner::PortLockName(sim.path())))
        << "the lock goes with the run";
}

TEST(HostileSignals, InterruptedBackupCleansUpAndTheNextRunOpensThePort) {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr || ::access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root, the user nobody and setpriv to run the CLI unprivileged";
    test::TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    test::SimProcess sim({"--model", "2"}, dir / "sim.log");
    ASSERT_EQ(::chown(sim.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    const std::string file = (dir / "plaza.bin").string();

    auto start = [&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            const std::string uid = "--reuid=" + std::to_string(nobody->pw_uid);
            const std::string gid = "--regid=" + std::to_string(nobody->pw_gid);
            ::execl("/usr/bin/setpriv", "setpriv", uid.c_str(), gid.c_str(), "--clear-groups",
                    VELSEND_CLI_PATH, "--model", "2", "--port", sim.path().c_str(), "backup",
                    file.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    };
    const pid_t first = start();
    ASSERT_GT(first, 0);
    // Interrupt once a few blocks are in the temporary file: watching the file
    // is cheap, where reading the simulator's growing log lags behind a fast run.
    bool underway = false;
    for (int waited = 0; waited < 10000 && !underway; waited += 2) {
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            std::error_code ec;
            if (Contains(entry.path().filename().string(), ".part-") &&
                fs::file_size(entry.path(), ec) >= 8 * burner::kChipBlockSize && !ec)
                underway = true;
        }
        if (!underway) ::usleep(2000);
    }
    ASSERT_TRUE(underway) << "the backup never got going";
    ::kill(first, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal instead of stopping";
    EXPECT_EQ(WEXITSTATUS(status), cli::kExitInterrupted);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_FALSE(Contains(entry.path().filename().string(), ".part-")) << entry.path();
    EXPECT_FALSE(fs::exists(file));

    // The next run, as the same user, gets the port and finishes.
    const pid_t second = start();
    ASSERT_EQ(::waitpid(second, &status, 0), second);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), cli::kExitOk);
    EXPECT_EQ(fs::file_size(file), burner::ChipImageSize(2));
}

}  // namespace
}  // namespace velsend

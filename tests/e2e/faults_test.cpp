// Faults a user meets with the CLI: project files that cannot be read or
// written, a full disk, a file-size limit, signals, a second writer, a
// commit killed halfway. Nothing half-done, nothing reported as success.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "base/file_write.h"
#include "base/project_lock.h"
#include "cli/cli.h"
#include "cli_run.h"
#include "full_project.h"
#include "temp_dir.h"

namespace velsend {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::vector<std::uint8_t>>;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every file of a folder with its bytes (the lock file aside: it names its
// last holder).
Snapshot Take(const fs::path& folder) {
    Snapshot files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name == base::ProjectLock::kFileName) continue;
        std::error_code ec;
        files[name] = fs::is_regular_file(entry.path(), ec) ? test::ReadBytes(entry.path())
                                                            : std::vector<std::uint8_t>{};
    }
    return files;
}

int TempFilesIn(const fs::path& folder) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (Contains(entry.path().filename().string(), ".part-")) ++count;
    return count;
}

struct Outcome {
    int status = -1;  // the exit status, or 128 + the signal that killed it
    std::string out, err;
};

struct Child {
    pid_t pid = -1;
    fs::path out, err;
};

struct How {
    std::vector<std::string> env;  // NAME=VALUE added to the child's environment
    const passwd* user = nullptr;  // run as this user (through setpriv)
    rlim_t fileSizeLimit = RLIM_INFINITY;
};

// velsend-cli as a process of its own, its output in files under `scratch`.
Child Start(const fs::path& scratch, const std::vector<std::string>& args, const How& how = {}) {
    static int serial = 0;
    Child child;
    child.out = scratch / ("out" + std::to_string(++serial));
    child.err = scratch / ("err" + std::to_string(serial));
    std::vector<std::string> argv;
    if (how.user) {
        argv = {"/usr/bin/setpriv", "--reuid=" + std::to_string(how.user->pw_uid),
                "--regid=" + std::to_string(how.user->pw_gid), "--clear-groups"};
    }
    // The CLI with the fault seam (tests/faults/fault_cli.cpp): the shipped
    // one plus VELSEND_TEST_KILL_AFTER_RENAMES.
    argv.push_back(VELSEND_FAULT_CLI_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    child.pid = ::fork();
    if (child.pid == 0) {
        const int out = ::open(child.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = ::open(child.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(out, 1);
        ::dup2(err, 2);
        for (const std::string& e : how.env) ::putenv(const_cast<char*>(e.c_str()));
        if (how.fileSizeLimit != RLIM_INFINITY) {
            const rlimit limit{how.fileSizeLimit, how.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    return child;
}

Outcome Wait(const Child& child) {
    int status = 0;
    Outcome run;
    if (::waitpid(child.pid, &status, 0) != child.pid) return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    auto text = [](const fs::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    run.out = text(child.out);
    run.err = text(child.err);
    return run;
}

Outcome RunCli(const fs::path& scratch, const std::vector<std::string>& args, const How& how = {}) {
    return Wait(Start(scratch, args, how));
}

const passwd* Nobody() {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr || ::access("/usr/bin/setpriv", X_OK) != 0)
        return nullptr;
    return nobody;
}

// Two workbooks of 256 loops each, every loop different between them.
struct Workbooks {
    test::TempDir dir;
    fs::path first = dir / "first.xlsx";
    fs::path second = dir / "second.xlsx";
    Snapshot firstProject;   // the first imported into an empty folder
    Snapshot secondProject;  // the second imported over that

    Workbooks() {
        const store::ProjectDir a(dir / "a");
        fs::create_directories(a.Root());
        test::WriteFullProject(a);
        EXPECT_EQ(test::Cli({"--dir", a.Root().string(), "excel-export", first.string()}).status,
                  0);
        const store::ProjectDir b(dir / "b");
        fs::create_directories(b.Root());
        test::WriteFullProject(b);
        EXPECT_EQ(test::Cli({"--dir", b.Root().string(), "quick-set", "--loop", "0", "--from", "0",
                             "--to", "255", "--class", "zone"})
                      .status,
                  0);
        for (int loop = 1; loop < 256; ++loop)
            EXPECT_EQ(
                test::Cli({"--dir", b.Root().string(), "copy-loop", "0", std::to_string(loop)})
                    .status,
                0);
        EXPECT_EQ(test::Cli({"--dir", b.Root().string(), "excel-export", second.string()}).status,
                  0);
        const fs::path into = dir / "into";
        fs::create_directories(into);
        EXPECT_EQ(Import(into, first).status, 0);
        firstProject = Take(into);
        EXPECT_EQ(Import(into, second).status, 0);
        secondProject = Take(into);
    }
    static test::CliRun Import(const fs::path& into, const fs::path& workbook) {
        return test::Cli(
            {"--dir", into.string(), "excel-import", workbook.string(), "--family", "ka"});
    }
    static std::vector<std::string> ImportArgs(const fs::path& into, const fs::path& workbook) {
        return {"--dir", into.string(), "excel-import", workbook.string(), "--family", "ka"};
    }
};

Workbooks& SharedWorkbooks() {
    static Workbooks* books = new Workbooks;  // built once for the tests below
    return *books;
}

TEST(ProjectFaults, UnreadableLoopIsRefusedEverywhereWithItsFilesByteIdentical) {
    const passwd* nobody = Nobody();
    if (!nobody)
        GTEST_SKIP() << "needs root, the user nobody and setpriv to run the CLI unprivileged";
    test::TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const fs::path project = dir / "p";
    ASSERT_EQ(test::Cli({"--dir", project.string(), "demo"}).status, 0);
    for (const auto& entry : fs::directory_iterator(project))
        ASSERT_EQ(::chmod(entry.path().c_str(), 0666), 0);
    ASSERT_EQ(::chmod(project.c_str(), 0777), 0);
    ASSERT_EQ(::chmod((project / "devc0.dat").c_str(), 0600), 0);  // root's alone
    ASSERT_EQ(::chmod((project / "ch0.dat").c_str(), 0600), 0);
    const Snapshot before = Take(project);
    const How asNobody{{}, nobody};
    const std::string p = project.string();
    const std::vector<std::vector<std::string>> commands{
        {"--dir", p, "quick-set", "--loop", "0", "--from", "1", "--to", "3", "--class", "alarm"},
        {"--dir", p, "copy-loop", "0", "1"},
        {"--dir", p, "show", "devices", "0"},
        {"--dir", p, "sd-pack", "--id", "1", "--start-loop", "0"},
        {"--dir", p, "print"},
        {"--dir", p, "report", (dir / "r.html").string()},
        {"--dir", p, "excel-export", (dir / "x.xlsx").string()},
    };
    for (const auto& args : commands) {
        const Outcome r = RunCli(dir.path(), args, asNobody);
        EXPECT_EQ(r.status, cli::kExitFailed) << args[2] << "\n" << r.err;
        // devc0.dat or ch0.dat, whichever the folder lists first
        EXPECT_TRUE(Contains(r.err, "无法读取文件“") &&
                    Contains(r.err, "0.dat”。\n没有权限（Permission denied）"))
            << args[2] << "\n"
            << r.err;
    }
    const Outcome diff = RunCli(dir.path(), {"diff", p, p}, asNobody);
    EXPECT_EQ(diff.status, cli::kExitUsage);
    EXPECT_EQ(diff.out, "");
    EXPECT_TRUE(Contains(diff.err, "0.dat")) << diff.err;
    EXPECT_TRUE(Take(project) == before);
    EXPECT_FALSE(fs::exists(dir / "r.html"));
    EXPECT_FALSE(fs::exists(dir / "x.xlsx"));
}

TEST(ProjectFaults, NodeReaderDoesNotWaitOnANamedPipe) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "node1.dat").c_str(), 0644), 0);
    const Outcome r =
        RunCli(dir.path(), {"--dir", dir.path().string(), "--model", "1", "show", "nodes"});
    EXPECT_EQ(r.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(r.err, "node1.dat")) << r.err;
}

TEST(ProjectFaults, ReadOnlyFilesStayAndReplacedFilesKeepTheirMode) {
    test::TempDir dir;
    const std::string p = dir.path().string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    test::WriteBytes(dir / "logic5.dat", {'T', '1'});
    ASSERT_EQ(::chmod((dir / "logic5.dat").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((dir / "word.dat").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((dir / "logic1.dat").c_str(), 0640), 0);
    const Snapshot before = Take(dir.path());
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--dir", p, "logic", "set", "5", "T00001=M00002"},
                                               {"--dir", p, "phrases", "clear"}}) {
        const test::CliRun r = test::Cli(args);
        EXPECT_EQ(r.status, cli::kExitFailed) << r.err;
        EXPECT_TRUE(Contains(r.err, "Permission denied")) << r.err;
    }
    EXPECT_TRUE(Contains(test::Cli({"--dir", p, "logic", "set", "5", "X"}).err,
                         "无法写入文件“logic5.dat”。"));
    EXPECT_TRUE(Take(dir.path()) == before);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "logic5.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);

    ASSERT_EQ(test::Cli({"--dir", p, "logic", "set", "1", "T00001=M00002"}).status, 0);
    ASSERT_EQ(::stat((dir / "logic1.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(ProjectFaults, ImportOnANearlyFullDiskLeavesEveryFileAsItWas) {
    Workbooks& books = SharedWorkbooks();
    test::TempDir dir;
    const fs::path mount = dir / "disk";
    fs::create_directories(mount);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=16m") != 0)
        GTEST_SKIP() << "needs root to mount a small file system";
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{mount};
    const fs::path project = mount / "p";
    fs::create_directories(project);
    ASSERT_EQ(Workbooks::Import(project, books.first).status, 0);
    // Fill the disk up to 1 MB: the 256 loops of the other workbook need more.
    {
        std::ofstream filler(mount / "filler", std::ios::binary);
        const std::vector<char> block(1 << 16, 'x');
        for (int i = 0;
             i < 4096 && filler.write(block.data(), static_cast<std::streamsize>(block.size()));
             ++i) {
        }
    }
    ASSERT_EQ(::truncate((mount / "filler").c_str(),
                         static_cast<off_t>(fs::file_size(mount / "filler") - (1u << 20))),
              0);
    const Snapshot before = Take(project);
    const Outcome r = RunCli(dir.path(), Workbooks::ImportArgs(project, books.second));
    EXPECT_EQ(r.status, cli::kExitFailed) << r.err;
    EXPECT_TRUE(Contains(r.err, "No space left on device")) << r.err;
    EXPECT_TRUE(Take(project) == before);
    EXPECT_EQ(TempFilesIn(project), 0);
}

TEST(ProjectFaults, CommitKilledBetweenRenamesIsCompletedByTheNextCommand) {
    Workbooks& books = SharedWorkbooks();
    test::TempDir dir;
    const fs::path project = dir / "p";
    fs::create_directories(project);
    ASSERT_EQ(Workbooks::Import(project, books.first).status, 0);
    const Outcome killed = RunCli(dir.path(), Workbooks::ImportArgs(project, books.second),
                                  {{"VELSEND_TEST_KILL_AFTER_RENAMES=300"}});
    ASSERT_EQ(killed.status, 128 + SIGKILL) << killed.err;
    ASSERT_TRUE(fs::exists(project / base::kJournalName));
    Snapshot half = Take(project);
    half.erase(std::string(base::kJournalName));
    EXPECT_TRUE(half != books.firstProject && half != books.secondProject);  // a mix, for now
    // Any command, even one that only reads, completes it first.
    const Outcome show = RunCli(dir.path(), {"--dir", project.string(), "show", "info"});
    EXPECT_EQ(show.status, cli::kExitOk) << show.err;
    EXPECT_TRUE(Take(project) == books.secondProject);
    EXPECT_EQ(TempFilesIn(project), 0);
    // Its step was completed with it: the next program lists it and undoes it.
    const Outcome listed = RunCli(dir.path(), {"--dir", project.string(), "history"});
    const std::string newest = listed.out.substr(0, listed.out.find('\n'));
    EXPECT_TRUE(Contains(newest, "2\t") && Contains(newest, "从Excel导入")) << listed.out;
    const Outcome undone = RunCli(dir.path(), {"--dir", project.string(), "undo"});
    EXPECT_EQ(undone.status, cli::kExitOk) << undone.err;
    EXPECT_TRUE(Take(project) == books.firstProject);
}

TEST(ProjectFaults, TwoImportsAtOnceEndAsOneWorkbookAndAHeldFolderNamesItsHolder) {
    Workbooks& books = SharedWorkbooks();
    test::TempDir dir;
    const fs::path project = dir / "p";
    fs::create_directories(project);
    // Both workbooks write the same files, so the folder must end as the one
    // imported last (or as the only one, when the other was refused).
    const How patient{{"VELSEND_LOCK_WAIT_MS=60000"}};
    for (int trial = 0; trial < 2; ++trial) {
        const Child first = Start(dir.path(), Workbooks::ImportArgs(project, books.first), patient);
        const Child second =
            Start(dir.path(), Workbooks::ImportArgs(project, books.second), patient);
        const Outcome a = Wait(first), b = Wait(second);
        EXPECT_EQ(a.status, cli::kExitOk) << a.err;
        EXPECT_EQ(b.status, cli::kExitOk) << b.err;
        const Snapshot now = Take(project);
        EXPECT_TRUE(now == books.firstProject || now == books.secondProject);
    }
    auto held = base::ProjectLock::Acquire(project, std::chrono::milliseconds(0));
    ASSERT_TRUE(held);
    const Snapshot before = Take(project);
    const Outcome refused = RunCli(dir.path(), {"--dir", project.string(), "copy-loop", "0", "1"},
                                   {{"VELSEND_LOCK_WAIT_MS=100"}});
    EXPECT_EQ(refused.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(refused.err, "工程文件夹正被另一个程序使用：")) << refused.err;
    EXPECT_TRUE(Contains(refused.err, "（进程 " + std::to_string(::getpid()) + "）"))
        << refused.err;
    EXPECT_TRUE(Take(project) == before);
}

TEST(ProjectFaults, SignalsAndFileSizeLimitsLeaveNoTemporaryFiles) {
    Workbooks& books = SharedWorkbooks();
    test::TempDir dir;
    const fs::path project = dir / "p";
    fs::create_directories(project);
    ASSERT_EQ(Workbooks::Import(project, books.first).status, 0);

    // ulimit -f: the write fails with the system's words, the old file stays.
    Snapshot before = Take(project);
    const Outcome limited =
        RunCli(dir.path(), {"--dir", project.string(), "phrases", "clear"}, {{}, nullptr, 1024});
    EXPECT_EQ(limited.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(limited.err, "File too large")) << limited.err;
    EXPECT_TRUE(Take(project) == before);
    EXPECT_EQ(TempFilesIn(project), 0);

    // SIGTERM while the import stages its files: exit 130, nothing left over,
    // the project one workbook or the other.
    const Child child = Start(dir.path(), Workbooks::ImportArgs(project, books.second));
    bool staging = false;
    for (int waited = 0; waited < 20000 && !staging; waited += 1) {
        staging = TempFilesIn(project) > 0;
        if (!staging) ::usleep(1000);
    }
    ASSERT_TRUE(staging) << "the import never staged a file";
    ::kill(child.pid, SIGTERM);
    const Outcome stopped = Wait(child);
    EXPECT_EQ(stopped.status, cli::kExitInterrupted) << stopped.err;
    EXPECT_EQ(TempFilesIn(project), 0);
    const Snapshot after = Take(project);
    EXPECT_TRUE(after == books.firstProject || after == books.secondProject);
}

TEST(ProjectFaults, EmptyOrForeignSdFilesAreRefusedWithNothingWritten) {
    test::TempDir dir;
    const std::string p = dir.path().string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    test::WriteBytes(dir / "MXKA001.dat", {});
    test::WriteBytes(dir / "MXKA002.dat",
                     std::vector<std::uint8_t>(0x8000, 0));  // a KBX card's size
    test::WriteBytes(dir / "KBX003.dat", std::vector<std::uint8_t>(0x8000, 0));
    const Snapshot before = Take(dir.path());
    const test::CliRun empty = test::Cli({"--dir", p, "sd-import", (dir / "MXKA001.dat").string(),
                                          "--family", "ka", "--start-loop", "0"});
    EXPECT_EQ(empty.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(empty.err, "文件只有 0 字节，导入所选部分需要 327680 字节")) << empty.err;
    const test::CliRun foreign = test::Cli({"--dir", p, "sd-import", (dir / "MXKA002.dat").string(),
                                            "--family", "ka", "--start-loop", "0"});
    EXPECT_EQ(foreign.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(foreign.err, "这是KBX数据文件（32768 字节）")) << foreign.err;
    const test::CliRun names =
        test::Cli({"--dir", p, "sd-import", (dir / "KBX003.dat").string(), "--family", "kbx",
                   "--start-loop", "0", "--only", "names"});
    EXPECT_EQ(names.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(names.err, "没有可导入的内容")) << names.err;
    EXPECT_TRUE(Take(dir.path()) == before);
}

// Ends `child` within `seconds`, killing it when it hangs (status 128 + 9).
Outcome WaitWithin(const Child& child, int seconds) {
    auto ended = [&child] {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) ==
                   0 &&
               info.si_pid == child.pid;
    };
    for (int waited = 0; waited < seconds * 100 && !ended(); ++waited) ::usleep(10000);
    if (!ended()) ::kill(child.pid, SIGKILL);
    return Wait(child);
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::string ReadText(const fs::path& file) {
    const auto bytes = test::ReadBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

TEST(UntrustedFolder, CraftedJournalsAreRefusedAndNoFileAnywhereChanges) {
    test::TempDir dir;
    const fs::path project = dir / "p";
    const std::string p = project.string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    const fs::path victim = dir / "victim", beside = dir / "x", outside = dir / "outside";
    WriteText(victim, "victim");
    WriteText(beside, "beside");
    WriteText(outside, "outside");
    WriteText(project / "payload", "payload");
    const std::string staged = "devc0.dat.part-velsend-4194301-abcdef";
    const std::vector<std::string> journals{
        "D\t" + victim.string(),          "D\t../x",
        "W\tpayload\t" + victim.string(), "W\t" + outside.string() + "\tinfo.dat",
        "W\t" + staged + "\t../x",        "D\t.velsend-lock",
    };
    for (const std::string& line : journals) {
        SCOPED_TRACE(line);
        WriteText(project / std::string(base::kJournalName),
                  "velsend-journal 1\n" + line + "\nend\n");
        WriteText(project / staged, "staged");
        const Snapshot before = Take(project);
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"--dir", p, "show", "info"}, {"--dir", p, "copy-loop", "0", "1"}}) {
            const test::CliRun r = test::Cli(args);
            EXPECT_EQ(r.status, cli::kExitFailed) << args[2];
            EXPECT_TRUE(Contains(r.err, "“.velsend-journal”")) << r.err;
        }
        EXPECT_TRUE(Take(project) == before);
        EXPECT_EQ(ReadText(victim), "victim");
        EXPECT_EQ(ReadText(beside), "beside");
        EXPECT_EQ(ReadText(outside), "outside");
    }
    // A journal that is a link: never written through by the next commit.
    fs::remove(project / std::string(base::kJournalName));
    fs::remove(project / staged);
    fs::create_symlink(victim, project / std::string(base::kJournalName));
    const test::CliRun linked = test::Cli({"--dir", p, "copy-loop", "0", "1"});
    EXPECT_EQ(linked.status, cli::kExitFailed);
    EXPECT_TRUE(Contains(linked.err, "“.velsend-journal”")) << linked.err;
    EXPECT_EQ(ReadText(victim), "victim");
}

TEST(UntrustedFolder, NamedPipesAsJournalOrPortLockEndPromptlyWithAnError) {
    test::TempDir dir;
    const fs::path project = dir / "p";
    const std::string p = project.string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    ASSERT_EQ(::mkfifo((project / std::string(base::kJournalName)).c_str(), 0666), 0);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--dir", p, "show", "info"}, {"--dir", p, "copy-loop", "0", "1"}}) {
        const Outcome r = WaitWithin(Start(dir.path(), args), 10);
        EXPECT_EQ(r.status, cli::kExitFailed) << args[2] << r.err;
        EXPECT_TRUE(Contains(r.err, "“.velsend-journal”")) << r.err;
    }
    fs::remove(project / std::string(base::kJournalName));
    const fs::path locks = dir / "locks";
    fs::create_directories(locks);
    ASSERT_EQ(::mkfifo((locks / "LCK..velsend-nothing").c_str(), 0666), 0);
    const Outcome send = WaitWithin(
        Start(dir.path(), {"--dir", p, "--port", "/dev/velsend-nothing", "send", "devices"},
              {{"VELSEND_LOCK_DIR=" + locks.string()}}),
        10);
    EXPECT_EQ(send.status, cli::kExitFailed) << send.err;
    EXPECT_TRUE(Contains(send.err, "LCK..velsend-nothing 不是普通文件")) << send.err;
}

TEST(UntrustedFolder, CleanUpRemovesOnlyFilesThisProgramStaged) {
    test::TempDir dir;
    const fs::path project = dir / "p";
    const std::string p = project.string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    // Ids of processes that do not run: Linux's stay below 2^22.
    const std::vector<std::string> users{"photos.part-2024-05.zip", "devc0.dat.part-4194301-abcdef",
                                         "a.part-velsend-4194301-abcdef.zip"};
    for (const std::string& name : users) WriteText(project / name, name);
    WriteText(project / "devc0.dat.part-velsend-4194301-abcdef", "staged");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--dir", p, "show", "info"},
                                               {"--dir", p, "quick-set", "--loop", "0", "--from",
                                                "1", "--to", "3", "--class", "alarm"},
                                               {"--dir", p, "copy-loop", "0", "1"}}) {
        EXPECT_EQ(test::Cli(args).status, cli::kExitOk) << args[2];
        for (const std::string& name : users) EXPECT_EQ(ReadText(project / name), name) << args[2];
    }
    EXPECT_FALSE(fs::exists(project / "devc0.dat.part-velsend-4194301-abcdef"));
}

TEST(UntrustedFolder, ALockThatCannotBeTakenRefusesTheWriteAndAStoppedRunLeavesNone) {
    test::TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const fs::path project = dir / "p";
    const std::string p = project.string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    for (const auto& entry : fs::directory_iterator(project))
        ASSERT_EQ(::chmod(entry.path().c_str(), 0666), 0);
    ASSERT_EQ(::chmod(project.c_str(), 0777), 0);
    const fs::path lock = project / std::string(base::ProjectLock::kFileName);
    WriteText(dir / "elsewhere", "elsewhere");
    const std::vector<std::string> quickSet{
        "--dir", p, "quick-set", "--loop", "0", "--from", "100", "--to", "110", "--class", "alarm"};
    const Snapshot before = Take(project);
    auto refused = [&](const How& how) {
        const Outcome r = RunCli(dir.path(), quickSet, how);
        EXPECT_EQ(r.status, cli::kExitFailed) << r.err;
        EXPECT_TRUE(Contains(r.err, "锁文件“" + lock.string() + "”")) << r.err;
        EXPECT_TRUE(Take(project) == before);
    };
    fs::create_directory(lock);
    refused({});
    fs::remove(lock);
    fs::create_symlink(dir / "gone", lock);
    refused({});
    fs::remove(lock);
    fs::create_symlink(dir / "elsewhere", lock);
    refused({});
    EXPECT_EQ(ReadText(dir / "elsewhere"), "elsewhere");
    fs::remove(lock);
    if (const passwd* nobody = Nobody()) {
        WriteText(lock, "");
        ASSERT_EQ(::chmod(lock.c_str(), 0600),
                  0);  // root's, as a stopped root run under umask 077 left it
        refused({{}, nobody});
        fs::remove(lock);
    }
    // A run stopped while it holds the lock takes its lock file with it.
    const pid_t child = ::fork();
    if (child == 0) {
        base::InstallWriteSignalHandling();
        auto held = base::ProjectLock::Acquire(project, std::chrono::milliseconds(0));
        if (!held || !fs::exists(lock)) ::_exit(1);
        ::raise(SIGHUP);
        ::_exit(2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == cli::kExitInterrupted) << status;
    EXPECT_FALSE(fs::exists(lock));
}

TEST(ProjectFaults, AFileThatFailsWhileReadIsAnErrorNeverZeros) {
    test::TempDir dir;
    const fs::path project = dir / "p";
    const std::string p = project.string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    ASSERT_TRUE(fs::exists(project / "devc1.dat"));
    const How failing{{"LD_PRELOAD=" VELSEND_EIO_SHIM_PATH, "VELSEND_TEST_EIO_NAME=devc1.dat"}};
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--dir", p, "show", "devices", "1"},
             {"--dir", p, "sd-pack", "--id", "1", "--start-loop", "0"},
             {"--dir", p, "excel-export", (dir / "x.xlsx").string()}}) {
        const Outcome r = RunCli(dir.path(), args, failing);
        EXPECT_EQ(r.status, cli::kExitFailed) << args[2] << "\n" << r.out;
        EXPECT_TRUE(Contains(
            r.err, "无法读取文件“devc1.dat”。\n读写错误（磁盘或设备故障）（Input/output error）"))
            << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "x.xlsx"));
}

TEST(ProjectFaults, ACommitCutShortOnAReadOnlyMediumIsNeitherShownNorSent) {
    test::TempDir dir;
    const fs::path project = dir / "p";
    const std::string p = project.string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    // Cut after its first rename: devc1.dat is still to come in.
    const std::string staged = "devc1.dat.part-velsend-4194301-abcdef";
    test::WriteBytes(project / staged, std::vector<std::uint8_t>(1792, 0));
    WriteText(project / std::string(base::kJournalName),
              "velsend-journal 1\nW\tdevc0.dat.part-velsend-4194301-000000\tdevc0.dat\nW\t" +
                  staged + "\tdevc1.dat\nend\n");
    const fs::path mount = dir / "ro";
    fs::create_directories(mount);
    if (::mount(p.c_str(), mount.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "needs root to bind-mount a folder";
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{mount};
    ASSERT_EQ(::mount(nullptr, mount.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr),
              0);
    const Snapshot before = Take(project);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--dir", mount.string(), "show", "devices", "1"},
             {"--dir", mount.string(), "--port", "/dev/velsend-nothing", "send", "devices"}}) {
        const test::CliRun r = test::Cli(args);
        EXPECT_EQ(r.status, cli::kExitFailed) << args[2] << "\n" << r.out;
        EXPECT_TRUE(Contains(r.err, "工程文件夹中有一次没有完成的改动")) << r.err;
    }
    EXPECT_TRUE(Take(project) == before);
}

TEST(ProjectFaults, ReadersShareTheFolderAndACommitWaitsUntilTheyHaveReadAll) {
    test::TempDir dir;
    const fs::path project = dir / "p";
    const std::string p = project.string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    const How brief{{"VELSEND_LOCK_WAIT_MS=100"}};
    {
        // A writer at work: a reader waits for it (here in vain).
        auto writer = base::ProjectLock::Acquire(project, std::chrono::milliseconds(0));
        ASSERT_TRUE(writer);
        const Outcome r = RunCli(dir.path(), {"--dir", p, "show", "info"}, brief);
        EXPECT_EQ(r.status, cli::kExitFailed);
        EXPECT_TRUE(Contains(r.err, "工程文件夹正被另一个程序使用")) << r.err;
    }
    // A reader at work: other readers go on, a commit waits until it is done.
    std::optional<base::ProjectLock> reader;
    {
        auto shared = base::ProjectLock::AcquireShared(project, std::chrono::milliseconds(0));
        ASSERT_TRUE(shared);
        reader.emplace(std::move(*shared));
    }
    const Snapshot before = Take(project);
    const Child writer = Start(dir.path(),
                               {"--dir", p, "quick-set", "--loop", "0", "--from", "100", "--to",
                                "110", "--class", "alarm"},
                               {{"VELSEND_LOCK_WAIT_MS=60000"}});
    const Outcome other = RunCli(dir.path(), {"--dir", p, "show", "info"}, brief);
    EXPECT_EQ(other.status, cli::kExitOk) << other.err;
    siginfo_t info{};
    EXPECT_EQ(::waitid(P_PID, static_cast<id_t>(writer.pid), &info, WEXITED | WNOHANG | WNOWAIT),
              0);
    EXPECT_EQ(info.si_pid, 0) << "the writer did not wait for the reader";
    EXPECT_TRUE(Take(project) == before);
    reader.reset();
    EXPECT_EQ(Wait(writer).status, cli::kExitOk);
    EXPECT_FALSE(Take(project) == before);
}

}  // namespace
}  // namespace velsend

#include "base/file_write.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>
#include <utility>

#include "base/platform/files.h"
#include "base/project_lock.h"

#include "file_size_limit.h"
#include "temp_dir.h"

namespace velsend::base {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;
using Bytes = std::vector<std::uint8_t>;

// The names in a folder, so a stray temporary file shows up.
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

TEST(FileWriteTest, WholeFileReplacesAndKeepsTheMode) {
    test::TempDir dir;
    const fs::path file = dir / "devc1.dat";
    WriteBytes(file, Pattern(3000, 1));
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);

    ASSERT_TRUE(WriteWholeFile(file, Pattern(1792, 9)));
    EXPECT_EQ(ReadBytes(file), Pattern(1792, 9));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"devc1.dat"});
}

TEST(FileWriteTest, StartAndOffsetWritesKeepTheRest) {
    test::TempDir dir;
    const fs::path file = dir / "ch0.dat";
    Bytes old = Pattern(5000, 3);
    WriteBytes(file, old);

    ASSERT_TRUE(WriteFileStart(file, Pattern(4096, 50)));
    Bytes expected = Pattern(4096, 50);
    expected.insert(expected.end(), old.begin() + 4096, old.end());
    EXPECT_EQ(ReadBytes(file), expected);

    // One record in the middle; the bytes around it stay.
    ASSERT_TRUE(WriteFileAt(file, 128, Bytes(4, 0xEE)));
    std::fill_n(expected.begin() + 128, 4, 0xEE);
    EXPECT_EQ(ReadBytes(file), expected);

    // A missing file: created, zeros before the record.
    const fs::path fresh = dir / "log9.dat";
    ASSERT_TRUE(WriteFileAt(fresh, 256, Bytes(2, 0x41)));
    Bytes made(258, 0);
    made[256] = made[257] = 0x41;
    EXPECT_EQ(ReadBytes(fresh), made);
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"ch0.dat", "log9.dat"}));
}

TEST(FileWriteTest, SymlinkedTargetIsReplacedAndItsTargetLeftAlone) {
    test::TempDir dir;
    test::TempDir elsewhere;
    const fs::path outside = elsewhere / "precious.bin";
    const Bytes precious = Pattern(6000, 77);
    WriteBytes(outside, precious);
    const fs::path link = dir / "word.dat";
    fs::create_symlink(outside, link);

    // Keeping the tail reads through the link but never writes through it.
    ASSERT_TRUE(WriteFileStart(link, Bytes(4096, 0)));
    EXPECT_FALSE(fs::is_symlink(link));
    Bytes expected(4096, 0);
    expected.insert(expected.end(), precious.begin() + 4096, precious.end());
    EXPECT_EQ(ReadBytes(link), expected);
    EXPECT_EQ(ReadBytes(outside), precious);
}

TEST(FileWriteTest, FailedWriteLeavesTheOldFileAndNoStrayFile) {
    test::TempDir dir;
    const fs::path file = dir / "info.dat";
    const Bytes old = Pattern(300, 5);
    WriteBytes(file, old);

    Result<> whole = Ok();
    Result<> start = Ok();
    {
        test::FileSizeLimit limit(200);
        whole = WriteWholeFile(file, Pattern(300, 6));
        start = WriteFileStart(file, Pattern(250, 6));
    }
    ASSERT_FALSE(whole);
    EXPECT_EQ(whole.error().code, EFBIG);
    EXPECT_EQ(whole.error().userText, "无法写入文件“info.dat”。");
    EXPECT_FALSE(whole.error().reason.empty());
    ASSERT_FALSE(start);
    EXPECT_EQ(ReadBytes(file), old);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"info.dat"});
}

TEST(FileWriteTest, FilesTogetherAreAllOrNothing) {
    test::TempDir dir;
    const fs::path devc = dir / "devc6.dat";
    const fs::path ch = dir / "ch6.dat";
    const Bytes oldDevc = Pattern(1792, 1);
    const Bytes oldCh = Pattern(4200, 2);
    WriteBytes(devc, oldDevc);
    WriteBytes(ch, oldCh);

    const std::vector<FileContent> files{{devc, Pattern(1792, 30), false},
                                         {ch, Pattern(4096, 40), true}};
    Result<> failed = Ok();
    {
        test::FileSizeLimit limit(2000);  // devc fits, ch does not
        failed = WriteFilesTogether(files);
    }
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().userText, "无法写入文件“ch6.dat”。");
    EXPECT_EQ(ReadBytes(devc), oldDevc);
    EXPECT_EQ(ReadBytes(ch), oldCh);
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"ch6.dat", "devc6.dat"}));

    ASSERT_TRUE(WriteFilesTogether(files));
    EXPECT_EQ(ReadBytes(devc), Pattern(1792, 30));
    Bytes expected = Pattern(4096, 40);
    expected.insert(expected.end(), oldCh.begin() + 4096, oldCh.end());
    EXPECT_EQ(ReadBytes(ch), expected);
}

// The flushes and moves of the file layer, in order, while a test watches.
std::vector<std::pair<platform::FileStep, fs::path>> gSteps;

class WatchedSteps {
  public:
    WatchedSteps() {
        gSteps.clear();
        platform::WatchFileSteps(
            [](platform::FileStep step, const fs::path& path) { gSteps.emplace_back(step, path); });
    }
    ~WatchedSteps() { platform::WatchFileSteps(nullptr); }
    // Where the first `step` is (on `path`, when given); the end when none.
    std::size_t First(platform::FileStep step, const fs::path& path = {}) const {
        for (std::size_t i = 0; i < gSteps.size(); ++i)
            if (gSteps[i].first == step && (path.empty() || gSteps[i].second == path)) return i;
        return gSteps.size();
    }
    std::size_t Last(platform::FileStep step) const {
        for (std::size_t i = gSteps.size(); i-- > 0;)
            if (gSteps[i].first == step) return i;
        return gSteps.size();
    }
};

// A power loss at any moment leaves old or new files: whatever a rename
// brings in is on the disk before it, and so is the journal that completes
// a commit cut short between its renames.
TEST(FileWriteTest, StagedFilesAndTheJournalAreDurableBeforeTheFirstRename) {
    using platform::FileStep;
    test::TempDir dir;
    const fs::path journal = dir / std::string(kJournalName);
    {
        WatchedSteps steps;
        ASSERT_TRUE(WriteFilesTogether(
            {{dir / "devc0.dat", Pattern(1792, 1)}, {dir / "ch0.dat", Pattern(4096, 2)}}));
        const std::size_t journalWritten = steps.First(FileStep::Written, journal);
        const std::size_t flushed = steps.First(FileStep::FileSystemFlushed, dir.path());
        const std::size_t firstMove = steps.First(FileStep::Moved);
        ASSERT_LT(firstMove, gSteps.size());
        EXPECT_LT(journalWritten, flushed);
        EXPECT_LT(flushed, firstMove);
        // The renames are on the disk before the journal goes.
        EXPECT_LT(steps.Last(FileStep::Moved), steps.Last(FileStep::FolderFlushed));
        EXPECT_FALSE(fs::exists(journal));
    }
    {
        WatchedSteps steps;
        const std::vector<Result<>> each =
            WriteEachFile({{dir / "p1.txt", Pattern(10, 3)}, {dir / "p2.txt", Pattern(10, 4)}});
        ASSERT_TRUE(each[0] && each[1]);
        EXPECT_LT(steps.First(FileStep::FileSystemFlushed), steps.First(FileStep::Moved));
        ASSERT_LT(steps.First(FileStep::Moved), gSteps.size());
    }
    {
        WatchedSteps steps;
        ASSERT_TRUE(WriteWholeFile(dir / "word.dat", Pattern(4096, 5)));
        EXPECT_LT(steps.First(FileStep::FileFlushed),
                  steps.First(FileStep::Moved, dir / "word.dat"));
        ASSERT_LT(steps.First(FileStep::Moved), gSteps.size());
    }
}

// How many descriptors of this process are open on `file` (the lock file a
// waiting Acquire has opened counts).
int OpenDescriptorsOn(const fs::path& file) {
    int count = 0;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec))
        if (fs::read_symlink(fd.path(), ec) == file) ++count;
    return count;
}

TEST(ProjectLockTest, HeldAcrossNestedWritesAndNeverOnAFileNoLongerNamed) {
    test::TempDir dir;
    const fs::path lockFile = fs::canonical(dir.path()) / std::string(ProjectLock::kFileName);
    auto lockedByOthers = [&lockFile] {
        platform::LockFile other;
        return other.Open(lockFile) == 0 && other.TryLock() == EWOULDBLOCK;
    };
    {
        // A command holds the lock; each of its writes takes it again and
        // lets go of that hold only.
        ProjectLock::GuardWritesTo(dir.path());
        auto command = ProjectLock::Acquire(dir.path(), std::chrono::milliseconds(0));
        ASSERT_TRUE(command);
        ASSERT_TRUE(WriteWholeFile(dir / "word.dat", Pattern(16, 1)));
        ASSERT_TRUE(
            WriteFilesTogether({{dir / "a.dat", Pattern(4, 2)}, {dir / "b.dat", Pattern(4, 3)}}));
        EXPECT_TRUE(lockedByOthers());
    }
    EXPECT_FALSE(fs::exists(lockFile));

    // The holder before us removes the lock file and lets go while we wait
    // on it: we must lock the file now under the name, not the removed one.
    platform::LockFile holder;
    ASSERT_EQ(holder.Open(lockFile), 0);
    ASSERT_EQ(holder.TryLock(), 0);
    auto waiting = std::async(std::launch::async, [&dir] {
        return ProjectLock::Acquire(dir.path(), std::chrono::seconds(30));
    });
    for (int i = 0; i < 30000 && OpenDescriptorsOn(lockFile) < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(OpenDescriptorsOn(lockFile), 2);
    ASSERT_EQ(platform::RemoveFile(lockFile), 0);
    holder.Close();
    auto taken = waiting.get();
    ASSERT_TRUE(taken);
    EXPECT_TRUE(lockedByOthers());
}

}  // namespace
}  // namespace velsend::base

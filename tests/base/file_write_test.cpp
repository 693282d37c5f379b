#include "base/file_write.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

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

}  // namespace
}  // namespace velsend::base

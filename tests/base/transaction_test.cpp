// Runs on Linux and, cross-built, under Wine: the commit and its recovery go
// through the platform layer's file calls, in a folder with a Chinese name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "base/file_write.h"
#include "temp_dir.h"

namespace velsend::base {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path ChineseFolder(const test::TempDir& dir) {
    const fs::path folder = dir.path() / fs::path(u8"工程甲");
    fs::create_directories(folder);
    return folder;
}

std::set<fs::path> Names(const fs::path& folder) {
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != ".velsend-lock") names.insert(entry.path().filename());
    return names;
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

TEST(TransactionTest, CommitsWholeOrStopsWhileStagingWithTheFolderAsItWas) {
    test::TempDir dir;
    const fs::path folder = ChineseFolder(dir);
    test::WriteBytes(folder / "devc0.dat", Bytes(7, 1));
    test::WriteBytes(folder / "logic3.dat", Bytes(5, 2));

    Transaction ok;
    ok.Write({folder / "devc0.dat", Bytes(1792, 3), false});
    ok.Write({folder / fs::path(u8"名称.dat"), Bytes(10, 4), false});
    ok.Remove(folder / "logic3.dat");
    ASSERT_TRUE(ok.Commit());
    EXPECT_EQ(Names(folder), (std::set<fs::path>{"devc0.dat", fs::path(u8"名称.dat")}));
    EXPECT_EQ(test::ReadBytes(folder / "devc0.dat"), Bytes(1792, 3));

    // A folder under a target's name is found before anything is replaced.
    fs::create_directory(folder / "ch0.dat");
    Transaction refused;
    refused.Write({folder / "devc0.dat", Bytes(1792, 9), false});
    refused.Write({folder / "ch0.dat", Bytes(4, 9), false});
    const Result<> r = refused.Commit();
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().userText, "无法写入文件“ch0.dat”。");
    EXPECT_EQ(refused.FailedTarget(), folder / "ch0.dat");
    EXPECT_EQ(test::ReadBytes(folder / "devc0.dat"), Bytes(1792, 3));
    EXPECT_EQ(Names(folder), (std::set<fs::path>{"ch0.dat", "devc0.dat", fs::path(u8"名称.dat")}));
}

// What a commit cut short leaves: staged files of a process that no longer
// runs and its journal, with or without the end line.
TEST(TransactionTest, RecoveryCompletesAWholeJournalAndUndoesATornOne) {
    for (const bool whole : {true, false}) {
        SCOPED_TRACE(whole ? "whole journal" : "torn journal");
        test::TempDir dir;
        const fs::path folder = ChineseFolder(dir);
        test::WriteBytes(folder / "devc1.dat", Bytes(3, 1));
        test::WriteBytes(folder / "logic1.dat", Bytes(3, 2));
        // Process ids are multiples of 4 on Windows and below 2^22 on Linux.
        const std::string staged = "devc1.dat.part-velsend-4194301-abcdef";
        test::WriteBytes(folder / staged, Bytes(9, 7));
        WriteText(folder / std::string(kJournalName), "velsend-journal 1\nW\t" + staged +
                                                          "\tdevc1.dat\nD\tlogic1.dat\n" +
                                                          (whole ? "end\n" : ""));

        const Result<bool> recovered = RecoverFolder(folder);
        ASSERT_TRUE(recovered);
        EXPECT_TRUE(*recovered);
        if (whole) {
            EXPECT_EQ(Names(folder), std::set<fs::path>{"devc1.dat"});
            EXPECT_EQ(test::ReadBytes(folder / "devc1.dat"), Bytes(9, 7));
        } else {
            EXPECT_EQ(Names(folder), (std::set<fs::path>{"devc1.dat", "logic1.dat"}));
            EXPECT_EQ(test::ReadBytes(folder / "devc1.dat"), Bytes(3, 1));
        }
    }
}

// A writer without the lock (or after a rename of its own failed) finds a
// journal still there: the leftover commit is completed first, not
// overwritten by the new journal and lost.
TEST(TransactionTest, ACommitCompletesALeftoverJournalBeforeItsOwn) {
    test::TempDir dir;
    const fs::path folder = ChineseFolder(dir);
    test::WriteBytes(folder / "devc1.dat", Bytes(3, 1));
    const std::string staged = "devc1.dat.part-velsend-4194301-abcdef";
    test::WriteBytes(folder / staged, Bytes(9, 7));
    WriteText(folder / std::string(kJournalName),
              "velsend-journal 1\nW\t" + staged + "\tdevc1.dat\nend\n");

    ASSERT_TRUE(WriteFilesTogether(
        {{folder / "word.dat", Bytes(4, 4)}, {folder / "ch1.dat", Bytes(5, 5)}}));
    EXPECT_EQ(Names(folder), (std::set<fs::path>{"ch1.dat", "devc1.dat", "word.dat"}));
    EXPECT_EQ(test::ReadBytes(folder / "devc1.dat"), Bytes(9, 7));
    EXPECT_EQ(test::ReadBytes(folder / "word.dat"), Bytes(4, 4));
}

}  // namespace
}  // namespace velsend::base

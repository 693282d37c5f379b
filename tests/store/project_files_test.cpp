#include "core/store/project_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "temp_dir.h"

namespace velsend::store {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(LetteredLoop, DecimalBelowHundredLettersAbove) {
    EXPECT_EQ(LetteredLoop(0), "0");
    EXPECT_EQ(LetteredLoop(99), "99");
    EXPECT_EQ(LetteredLoop(100), "a0");
    EXPECT_EQ(LetteredLoop(101), "a1");
    EXPECT_EQ(LetteredLoop(112), "b2");
    EXPECT_EQ(LetteredLoop(249), "o9");
    EXPECT_EQ(LetteredLoop(250), "p0");
    EXPECT_EQ(LetteredLoop(255), "p5");
    EXPECT_EQ(LetteredLoop(5, LoopDigits::TwoDigits), "05");
    EXPECT_EQ(LetteredLoop(17, LoopDigits::TwoDigits), "17");
    EXPECT_EQ(LetteredLoop(101, LoopDigits::TwoDigits), "a1");
}

TEST(ProjectFiles, NamesCarryPlainDecimalNumbers) {
    EXPECT_EQ(FileName(ProjectFile::Devices, 0), "devc0.dat");
    EXPECT_EQ(FileName(ProjectFile::Devices, 255), "devc255.dat");
    EXPECT_EQ(FileName(ProjectFile::ChineseNames, 17), "ch17.dat");
    EXPECT_EQ(FileName(ProjectFile::Logic, 999), "logic999.dat");
    EXPECT_EQ(FileName(ProjectFile::DeviceText, 3), "devctext3.txt");
    EXPECT_EQ(FileName(ProjectFile::Phrases), "word.dat");
    EXPECT_EQ(SpecOf(ProjectFile::Devices).size, 1792u);
    EXPECT_EQ(SpecOf(ProjectFile::ChineseNames).size, 4096u);
    EXPECT_EQ(SpecOf(ProjectFile::DeviceLogic).size, 32768u);
    EXPECT_EQ(SpecOf(ProjectFile::Node1).size, 9u);
    EXPECT_EQ(SpecOf(ProjectFile::Node2).size, 10u);
    EXPECT_EQ(SpecOf(ProjectFile::Info).size, 300u);
}

TEST(ReadFixed, MissingAndShortFilesArePadded) {
    TempDir dir;
    EXPECT_EQ(ReadFixed(dir / "devc0.dat", 1792), std::vector<std::uint8_t>(1792, 0));
    EXPECT_EQ(ReadFixed(dir / "ch0.dat", 16, 0xFF), std::vector<std::uint8_t>(16, 0xFF));

    WriteBytes(dir / "node2.dat", {1, 2, 3});
    EXPECT_EQ(ReadFixed(dir / "node2.dat", 10),
              (std::vector<std::uint8_t>{1, 2, 3, 0, 0, 0, 0, 0, 0, 0}));
    // A record past the end of a short file is all filler; one straddling the end is padded.
    EXPECT_EQ(ReadFixed(dir / "node2.dat", 4, 0xFF, 2),
              (std::vector<std::uint8_t>{3, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ReadFixed(dir / "node2.dat", 2, 0xFF, 128), (std::vector<std::uint8_t>{0xFF, 0xFF}));
    // A longer file gives only the bytes asked for.
    EXPECT_EQ(ReadFixed(dir / "node2.dat", 2), (std::vector<std::uint8_t>{1, 2}));
}

TEST(Initialisation, DeletesInTheFixedOrder) {
    const std::vector<std::string> names = InitialisationFileNames();
    ASSERT_EQ(names.size(), 256u + 1024u + 256u + 256u + 4u + 256u + 1u);
    EXPECT_EQ(names.front(), "devc0.dat");
    EXPECT_EQ(names[255], "devc255.dat");
    EXPECT_EQ(names[256], "logic0.dat");
    EXPECT_EQ(names[256 + 1023], "logic1023.dat");
    EXPECT_EQ(names[1280], "log0.dat");
    EXPECT_EQ(names[1536], "ch0.dat");
    EXPECT_EQ(names[1792], "node1.dat");
    EXPECT_EQ(names[1793], "node2.dat");
    EXPECT_EQ(names[1794], "word.dat");
    EXPECT_EQ(names[1795], "info.dat");
    EXPECT_EQ(names[1796], "devctext0.txt");
    EXPECT_EQ(names.back(), "logtext.txt");
}

class InitialiseProjectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kProjectFiles) WriteBytes(dir / name, {1, 2, 3});
        WriteBytes(dir / "backup.bin", {9});
        WriteBytes(dir / "devc256.dat", {9});
    }
    static constexpr const char* kProjectFiles[] = {
        "devc0.dat", "devc5.dat",      "devc255.dat", "logic0.dat", "logic1023.dat",
        "log7.dat",  "ch255.dat",      "node1.dat",   "node2.dat",  "word.dat",
        "info.dat",  "devctext12.txt", "logtext.txt"};
    TempDir dir;
};

TEST_F(InitialiseProjectTest, RemovesEveryProjectFileIncludingThePhrases) {
    const InitialisationResult result = InitialiseProject(ProjectDir(dir.path()));
    EXPECT_TRUE(result.outcome);
    EXPECT_EQ(result.deleted, 13);
    for (const char* name : kProjectFiles)
        EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    // Files outside the project set are not touched.
    EXPECT_TRUE(std::filesystem::exists(dir / "backup.bin"));
    EXPECT_TRUE(std::filesystem::exists(dir / "devc256.dat"));
}

TEST_F(InitialiseProjectTest, ReadOnlyFileStaysAndTheRestGo) {
    ASSERT_EQ(::chmod((dir / "devc5.dat").c_str(), 0444), 0);
    const InitialisationResult result = InitialiseProject(ProjectDir(dir.path()));
    EXPECT_TRUE(result.outcome);
    EXPECT_EQ(result.deleted, 12);
    EXPECT_EQ(result.skipped, 1);
    EXPECT_EQ(ReadBytes(dir / "devc5.dat"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(dir / "devc0.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "word.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "logtext.txt"));
}

TEST_F(InitialiseProjectTest, EmptyFolderIsFine) {
    TempDir empty;
    const InitialisationResult result = InitialiseProject(ProjectDir(empty.path()));
    EXPECT_TRUE(result.outcome);
    EXPECT_EQ(result.deleted, 0);
    EXPECT_EQ(result.skipped, 0);
}

}  // namespace
}  // namespace velsend::store

// A save that fails midway (full disk, quota, file-size limit) must leave the
// project as it was: every writer of a project file, one file-size limit.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "core/logic/logic_files.h"
#include "core/loops/loop_copy.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "core/store/node_records.h"
#include "core/store/project_info.h"
#include "file_size_limit.h"
#include "temp_dir.h"

namespace velsend::store {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Every file of the folder with its bytes, so a change or a stray file shows.
std::map<std::string, Bytes> Snapshot(const std::filesystem::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files[entry.path().filename()] = test::ReadBytes(entry.path());
    return files;
}

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 3);
    return bytes;
}

class FailedWriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::uint8_t seed = 1;
        for (const char* name : {"devc0.dat", "devc1.dat", "devc6.dat"})
            test::WriteBytes(dir / name, Pattern(kDeviceFileSize, seed++));
        for (const char* name : {"ch0.dat", "ch1.dat", "ch6.dat"})
            test::WriteBytes(dir / name, Pattern(kNameFileSize + 4, seed++));
        test::WriteBytes(dir / "node1.dat", Pattern(kNode1Size, seed++));
        test::WriteBytes(dir / "node2.dat", Pattern(kNode2Size, seed++));
        test::WriteBytes(dir / "info.dat", Pattern(kInfoSize, seed++));
        test::WriteBytes(dir / "word.dat", Pattern(kLibrarySize, seed++));
        test::WriteBytes(dir / "logic5.dat", Pattern(100, seed++));
        test::WriteBytes(dir / "log2.dat", Pattern(kDeviceLogicFileSize, seed++));
        before = Snapshot(dir.path());
    }

    // Runs `write` under the limit; it must fail, naming `file`.
    template <typename Write>
    void ExpectRefused(std::size_t limit, Write write, const std::string& file) {
        base::Error error;
        {
            test::FileSizeLimit cap(limit);
            const auto result = write();
            ASSERT_FALSE(result) << file;
            error = result.error();
        }
        EXPECT_EQ(error.userText, "无法写入文件“" + file + "”。");
        EXPECT_FALSE(error.reason.empty()) << file;
        EXPECT_TRUE(Snapshot(dir.path()) == before) << "changed by the write of " << file;
    }

    test::TempDir dir;
    ProjectDir project{dir.path()};
    std::map<std::string, Bytes> before;
};

TEST_F(FailedWriteTest, EveryWriterLeavesTheOldFiles) {
    const DeviceFile devices{};
    const ChineseNameFile names{};
    ExpectRefused(
        8, [&] { return WriteDeviceFile(project, 1, devices); }, "devc1.dat");
    ExpectRefused(
        8, [&] { return WriteChineseNameFile(project, 1, names); }, "ch1.dat");
    ExpectRefused(
        8, [&] { return SaveNodeRecord(project, NineByteNodeRecord{}); }, "node1.dat");
    ExpectRefused(
        8, [&] { return SaveNodeRecord(project, TenByteNodeRecord{}); }, "node2.dat");
    ExpectRefused(
        8, [&] { return WriteProjectName(project, "NEW NAME"); }, "info.dat");
    ExpectRefused(
        8,
        [&] {
            return WriteProjectInfo(project, {"A", "B", "C", "D", "E", "F"});
        },
        "info.dat");
    ExpectRefused(
        8, [&] { return phrases::WritePhraseLibrary(project, {}); }, "word.dat");
    ExpectRefused(
        8, [&] { return phrases::WritePhrase(project, 255, {}); }, "word.dat");
    ExpectRefused(
        8, [&] { return phrases::InitialisePhrases(project, phrases::kInitCommon); }, "word.dat");
    ExpectRefused(
        8, [&] { return logic::WriteLogicRule(project, 5, "T00001=M00030=M00031"); }, "logic5.dat");
    ExpectRefused(
        8, [&] { return logic::WriteDeviceLogic(project, 2, 1, "M13002"); }, "log2.dat");
}

TEST_F(FailedWriteTest, LoopCopyWritesBothFilesOrNeither) {
    // The device file fits under the limit, the name file does not.
    ExpectRefused(
        kDeviceFileSize + 8, [&] { return loops::CopyLoop(project, 0, 6); }, "ch6.dat");
    ExpectRefused(
        kDeviceFileSize + 8, [&] { return WriteLoopFiles(project, 1, {}, {}); }, "ch1.dat");

    const auto copied = loops::CopyLoop(project, 0, 6);
    ASSERT_TRUE(copied) << copied.error().Full();
    EXPECT_EQ(test::ReadBytes(dir / "devc6.dat"), before["devc0.dat"]);
    Bytes names = before["ch0.dat"];
    names.resize(kNameFileSize);
    names.insert(names.end(), before["ch6.dat"].end() - 4, before["ch6.dat"].end());
    EXPECT_EQ(test::ReadBytes(dir / "ch6.dat"), names);  // the tail is kept
}

}  // namespace
}  // namespace velsend::store

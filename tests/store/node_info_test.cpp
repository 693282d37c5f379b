#include <gtest/gtest.h>

#include "base/gbk.h"
#include "core/store/node_records.h"
#include "core/store/project_info.h"
#include "temp_dir.h"

namespace velsend::store {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(NodeRecords, FilesRoundTripWithReservedBytes) {
    TempDir dir;
    const ProjectDir project(dir.path());
    WriteBytes(dir / "node1.dat", {1, 2, 3, 4, 5, 0x11, 0x22, 0x33, 2});
    NineByteNodeRecord nine;
    ASSERT_TRUE(LoadNodeRecord(project, nine));
    EXPECT_EQ(nine.NetworkCount, 5);
    EXPECT_EQ(nine.WorkMode, 2);
    EXPECT_EQ(nine.Payload(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 2}));
    nine.LocalAddress = 9;
    ASSERT_TRUE(SaveNodeRecord(project, nine));
    EXPECT_EQ(ReadBytes(dir / "node1.dat"),
              (std::vector<std::uint8_t>{9, 2, 3, 4, 5, 0x11, 0x22, 0x33, 2}));

    TenByteNodeRecord ten;
    EXPECT_FALSE(LoadNodeRecord(project, ten));  // absent: the record stays
    ten.WorkMode = 2;
    ten.DriverBoardLastAddress = 7;
    ASSERT_TRUE(SaveNodeRecord(project, ten));
    EXPECT_EQ(ReadBytes(dir / "node2.dat"),
              (std::vector<std::uint8_t>{0, 0, 7, 0, 0, 0, 0, 0, 2, 0}));
    EXPECT_EQ(ten.Payload(), (std::vector<std::uint8_t>{0, 0, 7, 0, 0, 0, 2}));
}

TEST(NodeRecords, DialogFieldsLandInTheirBytes) {
    NineByteNodeRecord nine;
    nine.Apply({1, 2, 3, 4, 5, 0x11, 0x22, 0x33, 1});
    NodeFields f = FieldsOf(nine);
    f.driverFirst = 9;
    f.driverLast = 60;  // the nine-byte record has no last driver board address
    f.workMode = 2;
    ApplyFields(f, nine);
    EXPECT_EQ(nine.Bytes(), (std::array<std::uint8_t, 9>{1, 9, 3, 4, 5, 0x11, 0x22, 0x33, 2}));

    TenByteNodeRecord ten;
    ten.Apply({1, 2, 3, 4, 5, 6, 0x44, 0x55, 0, 0});
    f = FieldsOf(ten);
    EXPECT_EQ(f.driverLast, 3);
    EXPECT_EQ(f.networkCount, 6);
    f.linkageLast = 63;
    ApplyFields(f, ten);
    EXPECT_EQ(ten.Bytes(), (std::array<std::uint8_t, 10>{1, 2, 3, 4, 63, 6, 0x44, 0x55, 0, 0}));
}

TEST(NodeRecords, ShortFileChangesOnlyWhatItHolds) {
    TempDir dir;
    WriteBytes(dir / "node2.dat", {8, 9});
    TenByteNodeRecord ten;
    ten.NetworkCount = 12;
    ten.WorkMode = 1;
    ASSERT_TRUE(LoadNodeRecord(ProjectDir(dir.path()), ten));
    EXPECT_EQ(ten.LocalAddress, 8);
    EXPECT_EQ(ten.DriverBoardFirstAddress, 9);
    EXPECT_EQ(ten.NetworkCount, 12);
    EXPECT_EQ(ten.WorkMode, 1);
}

TEST(ProjectInfo, NameFieldAloneIsRewritten) {
    TempDir dir;
    const ProjectDir project(dir.path());
    ProjectInfo info{"OLD", "ADDR", "MGR", "TEL", "STAFF", "HOT"};
    ASSERT_TRUE(WriteProjectInfo(project, info));
    ASSERT_EQ(ReadBytes(dir / "info.dat").size(), 300u);

    ASSERT_TRUE(WriteProjectName(project, "A"));
    const auto bytes = ReadBytes(dir / "info.dat");
    ASSERT_EQ(bytes.size(), 300u);
    EXPECT_EQ(bytes[0], 'A');
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 1, bytes.begin() + 50),
              std::vector<std::uint8_t>(49, 0));
    const ProjectInfo back = ReadProjectInfo(project);
    EXPECT_EQ(back[0], "A");
    EXPECT_EQ(back[1], "ADDR");
    EXPECT_EQ(back[5], "HOT");
}

// The dialog open while another program writes: only the fields the user
// changed are saved; a field changed on both sides is shown, not overwritten.
TEST(NodeRecords, ADialogSaveKeepsAnotherWritersBytesAndTellsAClash) {
    TempDir dir;
    const ProjectDir project(dir.path());
    WriteBytes(dir / "node1.dat", {1, 2, 3, 4, 5, 0, 0, 0, 0});
    NineByteNodeRecord shown;
    ASSERT_TRUE(LoadNodeRecord(project, shown));
    WriteBytes(dir / "node1.dat", {1, 2, 3, 4, 5, 0x11, 0x22, 0x33, 0});  // reserved bytes only
    NodeFields edited = FieldsOf(shown);
    edited.local = 7;
    ASSERT_TRUE(SaveNodeEdit(project, shown, edited));
    EXPECT_EQ(ReadBytes(dir / "node1.dat"),
              (std::vector<std::uint8_t>{7, 2, 3, 4, 5, 0x11, 0x22, 0x33, 0}));

    WriteBytes(dir / "node1.dat", {7, 2, 3, 4, 9, 0x11, 0x22, 0x33, 0});  // another count
    edited.local = 8;
    const auto clash = SaveNodeEdit(project, shown, edited);
    ASSERT_FALSE(clash);
    EXPECT_NE(clash.error().userText.find("文件中的：本机地址 7，联网机数 9"), std::string::npos)
        << clash.error().userText;
    EXPECT_NE(clash.error().userText.find("您改的：本机地址 8，联网机数 5"), std::string::npos);
    EXPECT_EQ(ReadBytes(dir / "node1.dat")[0], 7);
    ASSERT_TRUE(SaveNodeEdit(project, shown, edited));
    EXPECT_EQ(ReadBytes(dir / "node1.dat")[0], 8);
}

TEST(ProjectInfo, ADialogSaveKeepsAnotherWritersFieldsAndTellsAClash) {
    TempDir dir;
    const ProjectDir project(dir.path());
    ASSERT_TRUE(WriteProjectInfo(project, {"NAME", "ADDR", "MGR", "TEL", "STAFF", "HOT"}));
    ProjectInfo shown = ReadProjectInfo(project);
    ASSERT_TRUE(WriteProjectInfo(project, {"NAME", "ADDR", "BOSS", "TEL", "STAFF", "HOT"}));
    ProjectInfo edited = shown;
    edited[0] = "MINE";
    ASSERT_TRUE(SaveProjectInfo(project, shown, edited));
    EXPECT_EQ(ReadProjectInfo(project),
              (ProjectInfo{"MINE", "ADDR", "BOSS", "TEL", "STAFF", "HOT"}));

    ASSERT_TRUE(WriteProjectInfo(project, {"THEIRS", "ADDR", "BOSS", "TEL", "STAFF", "HOT"}));
    edited[0] = "AGAIN";
    const auto clash = SaveProjectInfo(project, shown, edited);
    ASSERT_FALSE(clash);
    EXPECT_NE(clash.error().userText.find("文件中的：THEIRS；您改的：AGAIN"), std::string::npos)
        << clash.error().userText;
    EXPECT_EQ(ReadProjectInfo(project)[0], "THEIRS");
    ASSERT_TRUE(SaveProjectInfo(project, shown, edited));
    EXPECT_EQ(ReadProjectInfo(project)[0], "AGAIN");
}

TEST(ProjectInfo, LongTextsAreCutAtAWholeCharacter) {
    TempDir dir;
    const ProjectDir project(dir.path());
    ASSERT_TRUE(WriteProjectName(project, std::string(60, 'N')));
    EXPECT_EQ(ReadProjectName(project), std::string(50, 'N'));

    // 'X' and 25 two-byte characters: the 25th would end at byte 51.
    std::string chinese = "X";
    for (int i = 0; i < 25; ++i) chinese += "\xD6\xD0";
    ASSERT_TRUE(WriteProjectInfo(project, {chinese, "", "", "", "", ""}));
    const auto bytes = ReadBytes(dir / "info.dat");
    EXPECT_EQ(bytes[48], 0xD0);
    EXPECT_EQ(bytes[49], 0);  // the half character is not stored
    EXPECT_EQ(ReadProjectInfo(project)[0], chinese.substr(0, 49));
}

TEST(ProjectInfo, ShortAndMissingFiles) {
    TempDir dir;
    const ProjectDir project(dir.path());
    EXPECT_EQ(ReadProjectName(project), "");
    EXPECT_EQ(ReadProjectInfo(project)[0], "");

    WriteBytes(dir / "info.dat", {'A', 'B', 'C'});
    EXPECT_EQ(ReadProjectName(project), "ABC" + std::string(47, ' '));
    const ProjectInfo info = ReadProjectInfo(project);
    EXPECT_EQ(info[0], "ABC");
    for (int f = 1; f < kInfoFieldCount; ++f) EXPECT_EQ(info[static_cast<std::size_t>(f)], "");
}

}  // namespace
}  // namespace velsend::store

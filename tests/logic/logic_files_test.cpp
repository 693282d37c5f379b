#include "core/logic/logic_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "core/logic/alphabet.h"
#include "core/logic/rule_editing.h"
#include "temp_dir.h"

namespace velsend::logic {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(LogicModels, CapacityAndLimitFollowTheModel) {
    for (int model : {3, 4}) {
        EXPECT_EQ(LogicCapacity(model), 256) << model;
        EXPECT_EQ(LogicTextLimit(model), 80) << model;
    }
    for (int model : {1, 2, 5, 6}) {
        EXPECT_EQ(LogicCapacity(model), 1000) << model;
        EXPECT_EQ(LogicTextLimit(model), 120) << model;
    }
}

TEST(LogicAlphabets, AcceptExactlyTheirCharacters) {
    EXPECT_TRUE(InLogicAlphabet("Ta1001=Mb2002"));
    EXPECT_FALSE(InDeviceLogicAlphabet("Ta1001=Mb2002"));
    EXPECT_TRUE(InLogicAlphabet("M13002M13003"));
    EXPECT_TRUE(InDeviceLogicAlphabet("M13002M13003"));
    EXPECT_FALSE(InLogicAlphabet("Tn1001=M13002"));
    EXPECT_FALSE(InDeviceLogicAlphabet("Tn1001=M13002"));
    EXPECT_FALSE(InLogicAlphabet("T13001 =M13002"));
    EXPECT_FALSE(InDeviceLogicAlphabet("T13001 M13002"));
    EXPECT_TRUE(InLogicAlphabet(""));
    EXPECT_TRUE(InDeviceLogicAlphabet(""));
    // "测" in GBK is B2 E2; the trail byte alone is no letter either.
    EXPECT_FALSE(InLogicAlphabet("T13001\xB2\xE2"));
    EXPECT_FALSE(InDeviceLogicAlphabet("\xB2\xE2"));
    EXPECT_FALSE(InLogicAlphabet(std::string("T1\0", 3)));

    // Byte by byte over the whole range: the one set is the other plus F and =.
    const std::string logic = "0123456789abcdefghijklmrtxFMRTX()*+!=[]{}~";
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const bool inLogic = logic.find(static_cast<char>(b)) != std::string::npos;
        EXPECT_EQ(InLogicAlphabet(one), inLogic) << b;
        EXPECT_EQ(InDeviceLogicAlphabet(one), inLogic && b != 'F' && b != '=') << b;
    }
}

TEST(LogicRuleFiles, ReadEmptyMissingAndLongFiles) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    EXPECT_EQ(ReadLogicRule(project, 7), "");
    WriteBytes(dir / "logic7.dat", {});
    EXPECT_EQ(ReadLogicRule(project, 7), "");

    WriteBytes(dir / "logic8.dat", {'T', '1', '3', '0', '0', '1', 0, 'M', '1'});
    EXPECT_EQ(ReadLogicRule(project, 8), "T13001");

    std::vector<std::uint8_t> longRule(200);
    for (std::size_t i = 0; i < longRule.size(); ++i) longRule[i] = '0' + i % 10;
    WriteBytes(dir / "logic9.dat", longRule);
    EXPECT_EQ(ReadLogicRule(project, 9), std::string(longRule.begin(), longRule.begin() + 128));
}

TEST(LogicRuleFiles, WriteLeavesExactlyTheText) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    const std::string rule120(120, 'M');
    ASSERT_TRUE(WriteLogicRule(project, 999, rule120));
    EXPECT_EQ(ReadBytes(dir / "logic999.dat"), Bytes(rule120));

    // A shorter rule leaves no tail of the longer one; an empty rule a 0-byte file.
    ASSERT_TRUE(WriteLogicRule(project, 999, "T1"));
    EXPECT_EQ(ReadBytes(dir / "logic999.dat"), Bytes("T1"));
    ASSERT_TRUE(WriteLogicRule(project, 999, ""));
    EXPECT_TRUE(std::filesystem::exists(dir / "logic999.dat"));
    EXPECT_EQ(std::filesystem::file_size(dir / "logic999.dat"), 0u);
}

TEST(LogicRuleFiles, WriteFailureIsReported) {
    TempDir dir;
    const store::ProjectDir project(dir.path() / "no-such-folder");
    const base::Result<> result = WriteLogicRule(project, 5, "T1");
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().userText.find("logic5.dat"), std::string::npos);
    EXPECT_FALSE(result.error().reason.empty());
}

TEST(LogicRuleFiles, ADialogSaveKeepsAnotherWritersRulesAndTellsAClash) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    ASSERT_TRUE(WriteLogicRule(project, 5, "T1=M2"));
    std::string shown = ReadLogicRule(project, 5);
    ASSERT_TRUE(WriteLogicRule(project, 6, "T3=M4"));  // another rule: no clash
    const auto saved = SaveLogicRule(project, 1, 5, "T1=M9", shown);
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, 6);
    EXPECT_EQ(ReadLogicRule(project, 5), "T1=M9");
    EXPECT_EQ(ReadLogicRule(project, 6), "T3=M4");

    shown = "T1=M9";
    ASSERT_TRUE(WriteLogicRule(project, 5, "T1=M7"));  // the same rule
    const auto clash = SaveLogicRule(project, 1, 5, "T1=M8", shown);
    ASSERT_FALSE(clash);
    EXPECT_NE(clash.error().userText.find("文件中的：T1=M7\n您改的：T1=M8"), std::string::npos)
        << clash.error().userText;
    EXPECT_EQ(ReadLogicRule(project, 5), "T1=M7");
    ASSERT_TRUE(SaveLogicRule(project, 1, 5, "T1=M8", shown));
    EXPECT_EQ(ReadLogicRule(project, 5), "T1=M8");
}

TEST(LogicRuleFiles, DeleteClearsOnlyTheCapacity) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    for (int n : {0, 17, 255, 256, 999})
        WriteBytes(dir / ("logic" + std::to_string(n) + ".dat"), {'1'});
    EXPECT_EQ(DeleteLogicRules(project, LogicCapacity(3)), 3);
    EXPECT_FALSE(std::filesystem::exists(dir / "logic0.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "logic255.dat"));
    EXPECT_TRUE(std::filesystem::exists(dir / "logic256.dat"));
    EXPECT_TRUE(std::filesystem::exists(dir / "logic999.dat"));
    EXPECT_EQ(DeleteLogicRules(project, LogicCapacity(2)), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "logic999.dat"));
}

TEST(DeviceLogicFiles, ShortFileGivesPartialAndEmptyRecords) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    std::vector<std::uint8_t> bytes(200);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = i < 128 ? 'M' : 'T';
    WriteBytes(dir / "log4.dat", bytes);
    EXPECT_EQ(ReadDeviceLogic(project, 4, 0), std::string(128, 'M'));
    EXPECT_EQ(ReadDeviceLogic(project, 4, 1), std::string(72, 'T'));
    for (int address = 2; address < 256; ++address)
        EXPECT_EQ(ReadDeviceLogic(project, 4, address), "") << address;
    EXPECT_EQ(ReadDeviceLogic(project, 5, 0), "");
}

TEST(DeviceLogicFiles, WriteOneRecordInPlace) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    ASSERT_TRUE(WriteDeviceLogic(project, 9, 3, "M13002M13003"));
    std::vector<std::uint8_t> expected(512, 0);
    std::copy_n("M13002M13003", 12, expected.begin() + 384);
    EXPECT_EQ(ReadBytes(dir / "log9.dat"), expected);

    // Others stay; a 128-character rule fills its record without a NUL.
    ASSERT_TRUE(WriteDeviceLogic(project, 9, 1, std::string(128, 'X')));
    ASSERT_TRUE(WriteDeviceLogic(project, 9, 3, "T1"));
    const std::vector<std::uint8_t> file = ReadBytes(dir / "log9.dat");
    ASSERT_EQ(file.size(), 512u);
    EXPECT_TRUE(
        std::all_of(file.begin() + 128, file.begin() + 256, [](auto b) { return b == 'X'; }));
    EXPECT_EQ(ReadDeviceLogic(project, 9, 1), std::string(128, 'X'));
    EXPECT_EQ(ReadDeviceLogic(project, 9, 3), "T1");
    EXPECT_TRUE(std::all_of(file.begin() + 386, file.end(), [](auto b) { return b == 0; }));

    // The last record lands at the end of a full-size file.
    ASSERT_TRUE(WriteDeviceLogic(project, 9, 255, "R1"));
    EXPECT_EQ(std::filesystem::file_size(dir / "log9.dat"), 32768u);
    EXPECT_FALSE(WriteDeviceLogic(store::ProjectDir(dir / "missing"), 9, 0, "R1"));
}

}  // namespace
}  // namespace velsend::logic

#include "core/store/device_store.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace velsend::store {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(DeviceRecord, TypeCodesSplitOverTwoBytes) {
    DeviceRecord module;
    module.SetInstalled(true);
    module.SetProductClass(kModuleClass);
    module.SetDeviceType(27);
    EXPECT_EQ(module.StatusByte, 0xCB);
    EXPECT_EQ(module.TypeHighByte, 1);
    EXPECT_EQ(module.DeviceType(), 27);

    DeviceRecord alarm;
    alarm.SetInstalled(true);
    alarm.SetDeviceType(20);
    EXPECT_EQ(alarm.StatusByte, 0x84);
    EXPECT_EQ(alarm.TypeHighByte, 1);

    // Switching off keeps class and type; bit 4 of the status byte stays 0.
    module.SetInstalled(false);
    EXPECT_EQ(module.StatusByte, 0x4B);
    module.SetDeviceType(0x3F);
    EXPECT_EQ(module.StatusByte & 0x10, 0);
    EXPECT_EQ(module.DeviceType(), 31);
}

TEST(DeviceFiles, MissingShortAndWrittenFiles) {
    TempDir dir;
    const ProjectDir project(dir.path());
    const DeviceFile empty = ReadDeviceFile(project, 7);
    for (const DeviceRecord& r : empty) EXPECT_EQ(r, DeviceRecord{});

    WriteBytes(dir / "devc3.dat", {0xCB, 0x8C, 0x01, 4, 5, 6, 7, 0x80});
    const DeviceFile shortFile = ReadDeviceFile(project, 3);
    EXPECT_EQ(shortFile[0], (DeviceRecord{0xCB, 0x8C, 0x01, 4, 5, 6, 7}));
    EXPECT_EQ(shortFile[1], (DeviceRecord{0x80, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(shortFile[2], DeviceRecord{});

    DeviceFile devices = shortFile;
    devices[255] = {0xE3, 0x8C, 0, 1, 2, 3, 4};
    ASSERT_TRUE(WriteDeviceFile(project, 255, devices));
    const auto bytes = ReadBytes(dir / "devc255.dat");
    ASSERT_EQ(bytes.size(), 1792u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 7),
              (std::vector<std::uint8_t>{0xCB, 0x8C, 0x01, 4, 5, 6, 7}));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 7, bytes.end()),
              (std::vector<std::uint8_t>{0xE3, 0x8C, 0, 1, 2, 3, 4}));
}

TEST(ChineseNames, SixteenBytesWithoutTerminatorAndUpperCase) {
    TempDir dir;
    const ProjectDir project(dir.path());
    ChineseNameFile names = ReadChineseNameFile(project, 0);
    names[4] = MakeName("abcdefghijklmnop");  // exactly 16 bytes
    names[5] = MakeName("b1\xD6\xD0");        // b1中
    ASSERT_TRUE(WriteChineseNameFile(project, 0, names));

    const auto bytes = ReadBytes(dir / "ch0.dat");
    ASSERT_EQ(bytes.size(), 4096u);
    EXPECT_EQ(std::string(bytes.begin() + 64, bytes.begin() + 80), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(
        std::vector<std::uint8_t>(bytes.begin() + 80, bytes.begin() + 96),
        (std::vector<std::uint8_t>{'B', '1', 0xD6, 0xD0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const ChineseNameFile back = ReadChineseNameFile(project, 0);
    EXPECT_EQ(NameText(back[4]), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(NameText(back[5]), "B1\xD6\xD0");

    // 15 bytes of text and the half of a 16th character: the half is dropped.
    EXPECT_EQ(NameText(MakeName(std::string(15, 'x') + "\xD6\xD0")), std::string(15, 'X'));
}

TEST(ChineseNames, WritingKeepsALongerFile) {
    TempDir dir;
    WriteBytes(dir / "ch9.dat", std::vector<std::uint8_t>(5000, 0x55));
    ChineseNameFile names{};
    ASSERT_TRUE(WriteChineseNameFile(ProjectDir(dir.path()), 9, names));
    const auto bytes = ReadBytes(dir / "ch9.dat");
    ASSERT_EQ(bytes.size(), 5000u);
    EXPECT_EQ(bytes[4095], 0);
    EXPECT_EQ(bytes[4096], 0x55);
}

TEST(Catalogue, NamesAndGridLabels) {
    EXPECT_EQ(AlarmTypeName(0), "感烟探测器");
    EXPECT_EQ(AlarmTypeName(20), "C相电流");
    EXPECT_EQ(AlarmTypeName(21), "");
    EXPECT_EQ(ModuleTypeName(26), "防火阀");
    EXPECT_EQ(ModuleTypeName(27), "消防广播A");
    EXPECT_EQ(OldModuleTypeName(15), "其它设备");
    EXPECT_EQ(OldModuleTypeName(16), "");

    DeviceRecord borrowed{0xE3, 0, 0, 0, 0, 0, 0};
    GridLabel label = GridLabelOf(borrowed);
    EXPECT_EQ(label.text, "J3");
    EXPECT_EQ(label.green, 192);
    EXPECT_EQ(label.blue, 192);
    EXPECT_EQ(label.filterSlot, 56);
    label = GridLabelOf({0xCB, 0, 1, 0, 0, 0, 0});
    EXPECT_EQ(label.text, "M27");
    EXPECT_EQ(label.filterSlot, 48);
    EXPECT_EQ(GridLabelOf({0xA0, 0, 0, 0, 0, 0, 0}).text, "Q");
    label = GridLabelOf({0x4B, 0, 0, 0, 0, 0, 0});  // switched off
    EXPECT_EQ(label.text, "");
    EXPECT_EQ(label.filterSlot, 85);
}

}  // namespace
}  // namespace velsend::store

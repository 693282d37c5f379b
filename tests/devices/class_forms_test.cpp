// The first family's class dialogs, type chooser and quick set, through
// their core: what lands in devc%d.dat, ch%d.dat and log%d.dat.

#include "core/devices/class_forms.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cli_run.h"
#include "core/logic/logic_files.h"
#include "device_records.h"
#include "temp_dir.h"

namespace velsend::devices {
namespace {

using test::ReadBytes;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

using test::RecordAt;

class ClassFormTest : public ::testing::Test {
  protected:
    TempDir dir;
    store::ProjectDir project{dir.path()};

    // A loop file with one record at `address`.
    void Store(int loop, int address, store::DeviceRecord record) {
        store::DeviceFile devices{};
        devices[static_cast<std::size_t>(address)] = record;
        ASSERT_TRUE(store::WriteDeviceFile(project, loop, devices));
    }
};

TEST_F(ClassFormTest, EachDialogBuildsItsRecord) {
    // Alarm: type 18 "开" zone 3, the threshold read from the file kept.
    Store(0, 5, {0x03, 0x37, 0, 9, 9, 9, 9});
    ClassDeviceSession alarm(project, ClassDialog::Alarm, 0, 5);
    EXPECT_EQ(alarm.Form().threshold, 0x37);
    alarm.EditForm().device.type = 18;
    alarm.EditForm().device.state = 0;
    alarm.EditForm().device.zone = 3;
    ASSERT_TRUE(alarm.Save(store::kAlarmClass));
    EXPECT_EQ(RecordAt(dir / "devc0.dat", 5), (Bytes{0x82, 0x37, 1, 3, 9, 9, 9}));

    // Borrowed: type 1 "开" "自动" delay 10; then the same switched off.
    Store(1, 7, {});
    ClassDeviceSession borrowed(project, ClassDialog::Module, 1, 7);
    ClassForm& b = borrowed.EditForm();
    b.device.state = 0;
    b.device.type = 1;
    b.device.choice = 0;
    b.device.delay = 10;
    ASSERT_TRUE(borrowed.Save(store::kBorrowedClass));
    EXPECT_EQ(RecordAt(dir / "devc1.dat", 7), (Bytes{0xE1, 0x0A, 0, 0, 0, 0, 0}));
    b.device.state = 1;
    ASSERT_TRUE(borrowed.Save(store::kBorrowedClass));
    EXPECT_EQ(RecordAt(dir / "devc1.dat", 7)[0], 0x01);

    // Module: "开" "手动" delay 0; type 31 has no radio here and goes back
    // as it was, as does bit 4 of the status byte, which no field shows.
    Store(2, 0, {0x5F, 0x7F, 1, 0, 0, 0, 0});
    ClassDeviceSession module(project, ClassDialog::Module, 2, 0);
    EXPECT_EQ(module.Form().device.type, 31);
    EXPECT_EQ(module.Form().device.delay, 127);
    module.EditForm().device.state = 0;
    module.EditForm().device.choice = 1;
    module.EditForm().device.delay = 0;
    ASSERT_TRUE(module.Save(store::kModuleClass));
    EXPECT_EQ(RecordAt(dir / "devc2.dat", 0), (Bytes{0xDF, 0x80, 1, 0, 0, 0, 0}));

    // Zone display over an alarm device: "开" 2/5/0/17, the parameter byte
    // 0x55 kept, no type bits.
    Store(3, 9, {0x8B, 0x55, 1, 0, 0, 0, 0});
    ClassDeviceSession zone(project, ClassDialog::ZoneDisplay, 3, 9);
    DeviceForm& z = zone.EditForm().device;
    z.state = 0;
    z.zone = 2;
    z.floor = 5;
    z.room = 0;
    z.phrase = 17;
    ASSERT_TRUE(zone.Save(store::kZoneDisplayClass));
    EXPECT_EQ(RecordAt(dir / "devc3.dat", 9), (Bytes{0xA0, 0x55, 0, 2, 5, 0, 17}));
    z.state = 1;
    ASSERT_TRUE(zone.Save(store::kZoneDisplayClass));
    EXPECT_EQ(RecordAt(dir / "devc3.dat", 9)[0], 0x00);
    // Only the edited address changed.
    EXPECT_EQ(RecordAt(dir / "devc3.dat", 8), Bytes(7, 0));
}

TEST_F(ClassFormTest, ALoopWithoutFilesOpensAsEachDialogExpects) {
    const ClassForm alarm = ClassDeviceSession(project, ClassDialog::Alarm, 4, 1).Form();
    EXPECT_EQ(alarm.device.state, 1);  // "关"
    EXPECT_EQ(alarm.device.type, 0);
    const ClassForm module = ClassDeviceSession(project, ClassDialog::Module, 4, 1).Form();
    EXPECT_EQ(module.device.state, 0);   // "开"
    EXPECT_EQ(module.device.choice, 1);  // "手动"
    EXPECT_EQ(module.logic, "");
    EXPECT_EQ(ClassDeviceSession(project, ClassDialog::ZoneDisplay, 4, 1).Form().device.state, 0);
}

TEST_F(ClassFormTest, TheModuleRuleIsCheckedAfterTheDeviceIsSaved) {
    ClassDeviceSession session(project, ClassDialog::Module, 6, 3);
    session.EditForm().device.type = 2;
    session.EditForm().logic = "M13002s";
    const base::Result<> refused = session.Save(store::kModuleClass);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().userText, "输入有非法字符！");
    EXPECT_EQ(RecordAt(dir / "devc6.dat", 3), (Bytes{0xC2, 0x80, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(std::filesystem::exists(dir / "log6.dat"));

    // 128 characters fill the record without a terminator and read back whole.
    const std::string full = "(T01001+T01002)*" + std::string(112, 'M');
    ASSERT_EQ(full.size(), 128u);
    session.EditForm().logic = full;
    ASSERT_TRUE(session.Save(store::kModuleClass));
    const Bytes log = ReadBytes(dir / "log6.dat");
    ASSERT_EQ(log.size(), 4u * 128);
    EXPECT_EQ(Bytes(log.begin(), log.begin() + 3 * 128), Bytes(3 * 128, 0));
    EXPECT_EQ(std::string(log.begin() + 3 * 128, log.end()), full);
    EXPECT_EQ(ClassDeviceSession(project, ClassDialog::Module, 6, 3).Form().logic, full);

    // A shorter rule later is NUL-padded; the records after it stay.
    ASSERT_TRUE(logic::WriteDeviceLogic(project, 6, 5, "R1"));
    session.EditForm().logic = "T2";
    ASSERT_TRUE(session.Save(store::kModuleClass));
    EXPECT_EQ(logic::ReadDeviceLogic(project, 6, 3), "T2");
    EXPECT_EQ(logic::ReadDeviceLogic(project, 6, 5), "R1");
}

TEST_F(ClassFormTest, AnUntouchedNameGoesBackByteForByteATypedOneUpperCased) {
    store::ChineseNameFile names{};
    names[2] = {'a', 'b', 0xB7, 0x65, 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n'};
    names[3] = {'n', 'e', 'x', 't'};  // another address: left as it is
    ASSERT_TRUE(store::WriteChineseNameFile(project, 0, names));
    ClassDeviceSession session(project, ClassDialog::Alarm, 0, 2);
    ASSERT_TRUE(session.Save(store::kAlarmClass));
    const Bytes ch = ReadBytes(dir / "ch0.dat");
    ASSERT_EQ(ch.size(), 4096u);
    // All 16 bytes as they were, no terminator.
    EXPECT_EQ(
        Bytes(ch.begin() + 32, ch.begin() + 48),
        (Bytes{'a', 'b', 0xB7, 0x65, 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n'}));
    EXPECT_EQ(Bytes(ch.begin() + 48, ch.begin() + 52), (Bytes{'n', 'e', 'x', 't'}));

    session.TypeName("fan");
    ASSERT_TRUE(session.Save(store::kAlarmClass));
    EXPECT_EQ(store::NameText(store::ReadChineseNameFile(project, 0)[2]), "FAN");
}

TEST_F(ClassFormTest, AFailedSaveWritesNeitherFile) {
    std::filesystem::create_directory(dir / "ch0.dat");  // cannot be replaced
    ClassDeviceSession session(project, ClassDialog::ZoneDisplay, 0, 0);
    const base::Result<> saved = session.Save(store::kZoneDisplayClass);
    ASSERT_FALSE(saved);
    EXPECT_NE(saved.error().userText.find("ch0.dat"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "devc0.dat"));
    EXPECT_FALSE(session.Held().deviceFileFound);
}

TEST(AdvanceDevice, MovesToTheNextAddressAndAfter255ToTheNextLoop) {
    int loop = 3, address = 254;
    AdvanceDevice(loop, address);
    EXPECT_EQ(std::pair(loop, address), std::pair(3, 255));
    AdvanceDevice(loop, address);
    EXPECT_EQ(std::pair(loop, address), std::pair(4, 0));
    loop = 255;
    address = 255;
    AdvanceDevice(loop, address);
    EXPECT_EQ(std::pair(loop, address), std::pair(0, 0));
}

TEST_F(ClassFormTest, QuickSetKeepsTypesAndSwitchesOffOutsideOnlyWhenAsked) {
    store::DeviceFile devices{};
    for (std::size_t a = 0; a < devices.size(); ++a)
        devices[a] = {static_cast<std::uint8_t>(0xE0 | (a & 0x0F)), 0x55, 1, 4, 5, 6, 7};
    devices[15].StatusByte = 0x1F;
    ASSERT_TRUE(store::WriteDeviceFile(project, 1, devices));

    ASSERT_TRUE(RunQuickSet(project, 1, {10, 20, store::kModuleClass, true}));
    const store::DeviceFile after = store::ReadDeviceFile(project, 1);
    for (int a = 0; a < 256; ++a) {
        store::DeviceRecord expected = devices[static_cast<std::size_t>(a)];
        if (a >= 10 && a <= 20)
            expected.StatusByte = static_cast<std::uint8_t>(0xC0 | (expected.StatusByte & 0x0F));
        else
            expected.StatusByte &= 0x7F;
        EXPECT_EQ(after[static_cast<std::size_t>(a)], expected) << a;
    }
    EXPECT_EQ(after[15].StatusByte, 0xCF);

    // Without the option, outside stays; one address is a range of one.
    store::DeviceFile one = devices;
    ASSERT_TRUE(ApplyQuickSet(one, {30, 30, store::kZoneDisplayClass, false}));
    for (std::size_t a = 0; a < one.size(); ++a)
        EXPECT_EQ(one[a].StatusByte, a == 30 ? 0xAE : devices[a].StatusByte) << a;
}

TEST_F(ClassFormTest, QuickSetRefusesABackwardRangeAndWritesNothing) {
    const base::Result<> refused = RunQuickSet(project, 1, {20, 10, store::kModuleClass, true});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().userText, "输入错误!终止地址应不小于起始地址!");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    const test::CliRun backward =
        test::Cli({"--dir", dir.path().string(), "--model", "1", "quick-set", "--loop", "1",
                   "--from", "20", "--to", "10", "--class", "module"});
    EXPECT_EQ(backward.status, 2) << "a usage error";
    EXPECT_EQ(backward.err, "velsend-cli: quick-set: 输入错误!终止地址应不小于起始地址!\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(ClassFormTest, QuickSetFromTheCommandLine) {
    const std::string folder = dir.path().string();
    const test::CliRun done =
        test::Cli({"--dir", folder, "--model", "1", "quick-set", "--loop", "2", "--from", "0",
                   "--to", "1", "--class", "borrowed", "--off-outside"});
    ASSERT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(RecordAt(dir / "devc2.dat", 1)[0], 0xE0);
    EXPECT_EQ(RecordAt(dir / "devc2.dat", 2)[0], 0x00);

    // Usage errors name the argument and write nothing more.
    const std::pair<std::vector<std::string>, std::string> usage[] = {
        {{"--loop", "2", "--from", "0", "--to", "300", "--class", "alarm"}, "--to"},
        {{"--loop", "2", "--from", "0", "--to", "3", "--class", "smoke"}, "--class"},
        {{"--loop", "2", "--to", "3", "--class", "zone"}, "--from"},
        {{"--loop", "2", "--from", "0", "--to", "3", "--class", "zone", "--all"}, "--all"},
    };
    for (const auto& [args, named] : usage) {
        std::vector<std::string> line{"--dir", folder, "quick-set"};
        line.insert(line.end(), args.begin(), args.end());
        const test::CliRun r = test::Cli(line);
        EXPECT_EQ(r.status, 2) << named;
        EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
    }
    EXPECT_EQ(RecordAt(dir / "devc2.dat", 1)[0], 0xE0);
}

}  // namespace
}  // namespace velsend::devices

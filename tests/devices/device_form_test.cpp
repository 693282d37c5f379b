#include "core/devices/device_form.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/gbk.h"
#include "cli_run.h"
#include "core/devices/class_forms.h"
#include "core/phrases/phrase_library.h"
#include "temp_dir.h"

namespace velsend::devices {
namespace {

using store::DeviceRecord;
using test::ReadBytes;
using test::TempDir;

std::vector<std::uint8_t> RecordBytes(const std::vector<std::uint8_t>& file, int address) {
    const auto at = file.begin() + 7 * address;
    return {at, at + 3};
}

TEST(DeviceForm, RecordsAreBuiltByClass) {
    DeviceForm borrowed;
    borrowed.productClass = store::kBorrowedClass;
    borrowed.state = 0;
    borrowed.type = 3;
    borrowed.choice = 1;  // "否"
    borrowed.delay = 12;
    borrowed.zone = 4;
    borrowed.phrase = 9;
    const DeviceRecord r = BuildRecord(borrowed);
    EXPECT_EQ(r, (DeviceRecord{0xE3, 0x8C, 0, 4, 0, 0, 9}));

    // A zone display switched off keeps its class bits.
    DeviceForm zone;
    zone.productClass = store::kZoneDisplayClass;
    zone.state = 1;
    zone.delay = 40;  // left from another class: never saved for this one
    EXPECT_EQ(BuildRecord(zone).StatusByte, 0x20);
    EXPECT_EQ(BuildRecord(zone).ParamByte, 0);

    // Alarm types above 15 carry bit 4 in the high byte; the parameter is 0.
    DeviceForm alarm;
    alarm.state = 0;
    alarm.type = 20;
    alarm.delay = 5;
    EXPECT_EQ(BuildRecord(alarm), (DeviceRecord{0x84, 0, 1, 0, 0, 0, 0}));

    DeviceForm module;
    module.productClass = store::kModuleClass;
    module.state = 1;
    module.type = 27;
    module.delay = 127;
    EXPECT_EQ(BuildRecord(module), (DeviceRecord{0x4B, 0x7F, 1, 0, 0, 0, 0}));
}

TEST(DeviceForm, PickingAClassResetsTheTypeOnly) {
    DeviceForm form;
    form.productClass = store::kModuleClass;
    form.type = 7;
    form.choice = 1;
    form.delay = 30;
    PickClass(form, store::kBorrowedClass);
    EXPECT_EQ(form.productClass, store::kBorrowedClass);
    EXPECT_EQ(form.type, 0);
    EXPECT_EQ(form.choice, 1);
    EXPECT_EQ(form.delay, 30);
    form.state = 0;
    EXPECT_EQ(BuildRecord(form).StatusByte, 0xE0);
    EXPECT_EQ(BuildRecord(form).ParamByte, 0x80 | 30);
}

TEST(DeviceForm, WheelSteps) {
    EXPECT_EQ(StepByte(255, 1), 0);
    EXPECT_EQ(StepByte(0, -1), 255);
    EXPECT_EQ(StepByte(17, 1), 18);
    EXPECT_EQ(StepDelay(127, 1), 0);
    EXPECT_EQ(StepDelay(0, -1), 127);
    EXPECT_EQ(StepDelay(64, -1), 63);
}

TEST(DeviceSession, OpeningWithoutFilesShowsASwitchedOffSmokeDetector) {
    TempDir dir;
    DeviceSession session{store::ProjectDir(dir.path())};
    EXPECT_EQ(session.Loop(), 0);
    EXPECT_EQ(session.Address(), 0);
    EXPECT_EQ(session.Form(), DeviceForm{});
    EXPECT_EQ(session.Form().state, 1);
    EXPECT_FALSE(session.Held().deviceFileFound);
}

TEST(DeviceSession, LoadingTakesClassWhateverTheInstalledBitAndTrimsTexts) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    store::DeviceFile devices{};
    devices[5] = {0x4B, 0x8C, 1, 1, 2, 3, 7};  // a switched-off manual module of type 27
    devices[6] = {0x83, 0x55, 0, 0, 0, 0, 0};  // an alarm's threshold is no delay
    ASSERT_TRUE(store::WriteDeviceFile(project, 1, devices));
    store::ChineseNameFile names{};
    names[5] = store::MakeName("pump  ");
    ASSERT_TRUE(store::WriteChineseNameFile(project, 1, names));
    phrases::PhraseImage words{};
    phrases::SetPhrase(words, 7, "HALL   ");
    ASSERT_TRUE(phrases::WritePhraseLibrary(project, words));

    DeviceSession session{project};
    session.GoToLoop(1);
    session.GoToAddress(5);
    const DeviceForm& f = session.Form();
    EXPECT_EQ(f.productClass, store::kModuleClass);
    EXPECT_EQ(f.state, 1);
    EXPECT_EQ(f.type, 27);
    EXPECT_EQ(f.choice, 1);
    EXPECT_EQ(f.delay, 12);
    EXPECT_EQ(f.zone, 1);
    EXPECT_EQ(f.room, 3);
    EXPECT_EQ(f.phrase, 7);
    EXPECT_EQ(f.phraseText, "HALL");
    EXPECT_EQ(f.name, "PUMP");

    session.Page(1);
    EXPECT_EQ(session.Address(), 6);
    EXPECT_EQ(session.Form().delay, 0);
    EXPECT_EQ(session.Form().choice, 0);
    session.Page(-7);
    EXPECT_EQ(session.Address(), 255);
    EXPECT_EQ(session.Loop(), 1);
}

TEST(DeviceSession, EnterSavesAndMovesOnKeepingTheForm) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    DeviceSession session{project};
    session.GoToLoop(2);
    session.GoToAddress(255);
    DeviceForm& f = session.EditForm();
    f.productClass = store::kModuleClass;
    f.state = 0;
    f.type = 25;
    f.delay = 10;
    f.zone = 3;
    f.name = base::Utf8ToGbk("fan风机").value();
    const DeviceForm typed = f;

    ASSERT_TRUE(session.SaveAndSetNext());
    EXPECT_EQ(session.Loop(), 2);
    EXPECT_EQ(session.Address(), 0);
    EXPECT_EQ(session.Form(), typed);
    ASSERT_TRUE(session.SaveAndSetNext());
    EXPECT_EQ(session.Address(), 1);

    const auto devc = ReadBytes(dir / "devc2.dat");
    ASSERT_EQ(devc.size(), 1792u);
    for (int a : {255, 0})
        EXPECT_EQ(RecordBytes(devc, a), (std::vector<std::uint8_t>{0xC9, 10, 1}));
    EXPECT_EQ(RecordBytes(devc, 1), (std::vector<std::uint8_t>{0, 0, 0}));
    const auto ch = ReadBytes(dir / "ch2.dat");
    ASSERT_EQ(ch.size(), 4096u);
    const std::string stored(ch.begin() + 16 * 255, ch.begin() + 16 * 255 + 7);
    EXPECT_EQ(stored, base::Utf8ToGbk("FAN风机").value());

    // F12 saves and then shows what is stored at the next address.
    f.zone = 9;
    ASSERT_TRUE(session.SaveAndReadNext());
    EXPECT_EQ(session.Address(), 2);
    EXPECT_EQ(session.Form(), DeviceForm{});
    session.GoToAddress(1);
    EXPECT_EQ(session.Form().zone, 9);
}

TEST(DeviceSession, AFailedSaveStaysOnTheAddress) {
    TempDir dir;
    // Folders in the files' places: not even root can open them for writing.
    std::filesystem::create_directory(dir / "devc0.dat");
    std::filesystem::create_directory(dir / "ch0.dat");
    DeviceSession session{store::ProjectDir(dir.path())};
    session.EditForm().state = 0;
    const base::Result<> result = session.SaveAndSetNext();
    ASSERT_FALSE(result);
    EXPECT_EQ(session.Address(), 0);
    EXPECT_EQ(result.error().userText, "无法写入文件“devc0.dat”。");
    EXPECT_FALSE(result.error().reason.empty());
}

// The dialog open on a loop while the CLI changes it: a save takes only the
// address the user edited into the loop as it is on the disk.
TEST(DeviceSession, ASaveKeepsWhatAnotherProgramWroteAndTellsAClashOnTheSameDevice) {
    TempDir dir;
    const std::string p = dir.path().string();
    ASSERT_EQ(test::Cli({"--dir", p, "demo"}).status, 0);
    const store::ProjectDir project(dir.path());
    DeviceSession session{project};
    session.GoToAddress(5);
    ASSERT_EQ(test::Cli({"--dir", p, "quick-set", "--loop", "0", "--from", "100", "--to", "110",
                         "--class", "alarm"})
                  .status,
              0);
    const auto afterQuickSet = store::ReadDeviceFile(project, 0);
    session.EditForm().zone = 42;
    ASSERT_TRUE(session.SaveAndReadNext());  // F12
    auto now = store::ReadDeviceFile(project, 0);
    EXPECT_EQ(now[5].Zone, 42);
    for (std::size_t a = 0; a < now.size(); ++a)
        if (a != 5) {
            EXPECT_EQ(now[a], afterQuickSet[a]) << a;
        }

    // The same device changed meanwhile: said with both, nothing lost; a
    // second confirmation keeps the user's.
    session.GoToAddress(100);
    session.EditForm().floor = 7;
    ASSERT_EQ(test::Cli({"--dir", p, "quick-set", "--loop", "0", "--from", "100", "--to", "100",
                         "--class", "module"})
                  .status,
              0);
    const auto clash = session.Save();
    ASSERT_FALSE(clash);
    EXPECT_NE(clash.error().userText.find("地址 100 的设备在显示之后已被另一个程序改动"),
              std::string::npos);
    EXPECT_NE(clash.error().userText.find("文件中的：开 模块"), std::string::npos)
        << clash.error().userText;
    EXPECT_NE(clash.error().userText.find("您改的：开 报警 区域 0 楼层 7"), std::string::npos)
        << clash.error().userText;
    EXPECT_EQ(store::ReadDeviceFile(project, 0)[100].ProductClass(), store::kModuleClass);
    ASSERT_TRUE(session.Save());
    now = store::ReadDeviceFile(project, 0);
    EXPECT_EQ(now[100].ProductClass(), store::kAlarmClass);
    EXPECT_EQ(now[100].Floor, 7);

    // The class dialogs the same way.
    ClassDeviceSession alarm(project, ClassDialog::Alarm, 0, 6);
    ASSERT_EQ(test::Cli({"--dir", p, "quick-set", "--loop", "0", "--from", "120", "--to", "125",
                         "--class", "zone"})
                  .status,
              0);
    const auto beforeClassSave = store::ReadDeviceFile(project, 0);
    alarm.EditForm().device.room = 9;
    ASSERT_TRUE(alarm.Save(store::kAlarmClass));
    now = store::ReadDeviceFile(project, 0);
    EXPECT_EQ(now[6].Room, 9);
    EXPECT_EQ(now[120], beforeClassSave[120]);
}

}  // namespace
}  // namespace velsend::devices

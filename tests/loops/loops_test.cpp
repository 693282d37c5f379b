#include <gtest/gtest.h>

#include <filesystem>

#include "core/loops/loop_copy.h"
#include "core/loops/loop_grid.h"
#include "core/loops/loop_stats.h"
#include "temp_dir.h"

namespace velsend::loops {
namespace {

using store::DeviceRecord;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

DeviceRecord Installed(int productClass, int type) {
    DeviceRecord r;
    r.SetInstalled(true);
    r.SetProductClass(productClass);
    r.SetDeviceType(type);
    return r;
}

TEST(LoopStats, CountsInstalledDevicesByClassAndType) {
    store::DeviceFile devices{};
    devices[0] = devices[1] = devices[200] = Installed(store::kAlarmClass, 0);
    devices[3] = Installed(store::kModuleClass, 27);
    devices[4] = Installed(store::kBorrowedClass, 31);
    devices[5] = Installed(store::kZoneDisplayClass, 0);
    devices[6] = {0x4B, 0, 1, 0, 0, 0, 0};  // switched off: not counted
    const LoopCounts counts = CountDevices(devices);
    EXPECT_EQ(counts.total, 6);
    EXPECT_EQ(counts.byClass, (std::array<int, 4>{3, 1, 1, 1}));
    EXPECT_EQ(counts.byType[0], 3);
    EXPECT_EQ(counts.byType[48], 1);
    EXPECT_EQ(counts.byType[84], 1);
    int typed = 0;
    for (int n : counts.byType) typed += n;
    EXPECT_EQ(typed, 5);  // zone displays have no counter

    // An alarm type without a counter of its own stays out of the module counters.
    store::DeviceFile odd{};
    odd[0] = Installed(store::kAlarmClass, store::kAlarmTypeCount);
    const LoopCounts oddCounts = CountDevices(odd);
    EXPECT_EQ(oddCounts.total, 1);
    EXPECT_EQ(oddCounts.byClass[store::kAlarmClass], 1);
    for (int n : oddCounts.byType) EXPECT_EQ(n, 0);

    TempDir dir;
    EXPECT_EQ(CountLoop(store::ProjectDir(dir.path()), 9).total, 0);
    EXPECT_EQ(CounterLabel(3), "可燃气体探测");
    EXPECT_EQ(CounterLabel(48), "消防广播A");
    EXPECT_EQ(CounterLabel(84), "备用31");
}

TEST(GridFilter, ColumnBoxesFollowTheirTypes) {
    TypeFilter filter;
    const int smoke = store::GridLabelOf(Installed(store::kAlarmClass, 0)).filterSlot;
    const int heat = store::GridLabelOf(Installed(store::kAlarmClass, 1)).filterSlot;
    const int odd = store::GridLabelOf(Installed(store::kAlarmClass, 25)).filterSlot;
    const int module4 = store::GridLabelOf(Installed(store::kModuleClass, 4)).filterSlot;
    const int zone = store::GridLabelOf(Installed(store::kZoneDisplayClass, 0)).filterSlot;
    EXPECT_NE(odd, module4);

    filter.SetColumn(FilterColumn::Alarm, false);
    EXPECT_FALSE(filter.ColumnChecked(FilterColumn::Alarm));
    EXPECT_FALSE(filter.Shows(smoke));
    EXPECT_FALSE(filter.Shows(odd));
    EXPECT_TRUE(filter.Shows(module4));

    filter.SetType(FilterColumn::Alarm, 1, true);
    EXPECT_TRUE(filter.ColumnChecked(FilterColumn::Alarm));
    EXPECT_TRUE(filter.Shows(heat));
    EXPECT_FALSE(filter.Shows(smoke));
    EXPECT_FALSE(filter.Shows(odd));
    filter.SetType(FilterColumn::Alarm, 1, false);
    EXPECT_FALSE(filter.ColumnChecked(FilterColumn::Alarm));

    // Zone displays and empty addresses cannot be filtered away.
    for (FilterColumn c : {FilterColumn::Alarm, FilterColumn::Module, FilterColumn::Borrowed})
        filter.SetColumn(c, false);
    EXPECT_TRUE(filter.Shows(zone));

    filter.SetColumn(FilterColumn::Borrowed, true);
    filter.SetType(FilterColumn::Borrowed, 3, false);
    EXPECT_TRUE(filter.ColumnChecked(FilterColumn::Borrowed));
    EXPECT_FALSE(filter.Shows(56));
    EXPECT_TRUE(filter.Shows(57));
}

TEST(GridFilter, ClicksLandOnTheirAddresses) {
    EXPECT_EQ(AddressAt(kDetailGrid, 423, 45), 0);
    EXPECT_EQ(AddressAt(kDetailGrid, 857, 477), 255);
    EXPECT_EQ(AddressAt(kDetailGrid, 438, 30), 1);
    EXPECT_EQ(AddressAt(kDetailGrid, 858, 100), std::nullopt);
    EXPECT_EQ(AddressAt(kDetailGrid, 409, 100), std::nullopt);
    EXPECT_EQ(AddressAt(kGridView, 30 + 32 * 1 + 5, 20 + 32 + 5), 17);
}

TEST(LoopCopy, ReplacesTheTargetAndMovesOn) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    store::DeviceFile devices{};
    devices[7] = Installed(store::kModuleClass, 27);
    ASSERT_TRUE(store::WriteDeviceFile(project, 0, devices));
    store::ChineseNameFile names{};
    names[7] = store::MakeName("PUMP");
    ASSERT_TRUE(store::WriteChineseNameFile(project, 0, names));
    // A longer name file of the target keeps its tail: it is never cut.
    WriteBytes(dir / "ch5.dat", std::vector<std::uint8_t>(4100, 0x41));

    base::Result<std::string> result = CopyLoop(project, 0, 5);
    ASSERT_TRUE(result) << result.error().Full();
    EXPECT_EQ(*result, "0到5复制完毕");
    EXPECT_EQ(ReadBytes(dir / "devc5.dat"), ReadBytes(dir / "devc0.dat"));
    const auto ch5 = ReadBytes(dir / "ch5.dat");
    ASSERT_EQ(ch5.size(), 4100u);
    EXPECT_EQ(std::vector<std::uint8_t>(ch5.begin(), ch5.begin() + 4096),
              ReadBytes(dir / "ch0.dat"));

    // Onto itself: the same data.
    result = CopyLoop(project, 0, 0);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, "0到0复制完毕");
    EXPECT_EQ(store::ReadDeviceFile(project, 0), devices);

    // From a loop without files: the target is cleared.
    ASSERT_TRUE(CopyLoop(project, 9, 5));
    EXPECT_EQ(ReadBytes(dir / "devc5.dat"), std::vector<std::uint8_t>(1792, 0));
    EXPECT_EQ(store::ReadChineseNameFile(project, 5), store::ChineseNameFile{});

    std::filesystem::create_directory(dir / "devc6.dat");
    result = CopyLoop(project, 0, 6);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().userText, "无法写入文件“devc6.dat”。");
    EXPECT_FALSE(std::filesystem::exists(dir / "ch6.dat"));  // neither file

    EXPECT_EQ(NextTarget(3), 4);
    EXPECT_EQ(NextTarget(127), 128);
    EXPECT_EQ(NextTarget(255), 0);
}

}  // namespace
}  // namespace velsend::loops

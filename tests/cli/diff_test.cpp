#include "cli/diff.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/gbk.h"
#include "cli_run.h"
#include "core/store/device_store.h"
#include "temp_dir.h"

namespace velsend::cli {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::CliRun;

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[e.path().filename().string()] = bytes.str();
    }
    return files;
}

struct TwoProjects {
    test::TempDir a, b;
    TwoProjects() {
        EXPECT_EQ(Cli({"--dir", a.path().string(), "demo"}).status, kExitOk);
        fs::copy(a.path(), b.path(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    CliRun Diff(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"diff", a.path().string(), b.path().string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    }
};

TEST(CliDiff, AnIdenticalCopyPrintsNothing) {
    TwoProjects p;
    const CliRun r = p.Diff();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    // Absent files equal all-zero ones: they read the same everywhere.
    test::WriteBytes(p.b / "devc200.dat", std::vector<std::uint8_t>(1792, 0));
    EXPECT_EQ(p.Diff().status, 0);
}

TEST(CliDiff, ThreeChangesGiveExactlyThreeLinesAndNothingIsWritten) {
    TwoProjects p;
    const store::ProjectDir b(p.b.path());
    store::DeviceFile devices = store::ReadDeviceFile(b, 0);
    int changed = -1;
    for (int a = 0; a < store::kAddressCount && changed < 0; ++a)
        if (devices[static_cast<std::size_t>(a)].Installed()) changed = a;
    ASSERT_GE(changed, 0);
    store::DeviceRecord& r = devices[static_cast<std::size_t>(changed)];
    const int zone = r.Zone;
    r.Zone = static_cast<std::uint8_t>(zone + 1);
    ASSERT_TRUE(store::WriteDeviceFile(b, 0, devices));
    store::ChineseNameFile names = store::ReadChineseNameFile(b, 1);
    names[5] = store::MakeName(*base::Utf8ToGbk("大堂"));
    ASSERT_TRUE(store::WriteChineseNameFile(b, 1, names));
    ASSERT_EQ(Cli({"--dir", p.b.path().string(), "logic", "set", "7", "Ta1001=Mb2002"}).status,
              kExitOk);

    const auto before = std::make_pair(Snapshot(p.a.path()), Snapshot(p.b.path()));
    const CliRun run = p.Diff();
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string deviceLine = "回路 0 地址 " + std::to_string(changed) + "：" +
                                   std::string(store::AlarmTypeName(r.DeviceType())) + " 区域 " +
                                   std::to_string(zone) + "→" + std::to_string(zone + 1) + "\n";
    ASSERT_EQ(r.ProductClass(), store::kAlarmClass) << "the demo's first device is a detector";
    const std::string oldName = base::GbkToUtf8(
        store::NameText(store::ReadChineseNameFile(store::ProjectDir(p.a.path()), 1)[5]));
    EXPECT_EQ(run.out, deviceLine + "回路 1 地址 5 名称：“" + oldName + "”→“大堂”\n" +
                           "逻辑 7：“”→“Ta1001=Mb2002”\n");
    EXPECT_EQ(before, std::make_pair(Snapshot(p.a.path()), Snapshot(p.b.path())));

    const CliRun json = p.Diff({"--json"});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("{\"kind\":\"name\",\"loop\":1,\"number\":5,"), std::string::npos);
    EXPECT_EQ(json.out.front(), '[');
}

TEST(CliDiff, ControlCharactersAreEscapedAndBadFoldersRefused) {
    TwoProjects p;
    test::WriteBytes(p.b / "logic3.dat", {'A', 0x1B, '[', '2', 'J'});
    const CliRun r = p.Diff();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
    EXPECT_NE(r.out.find("A\\x1B[2J"), std::string::npos);

    EXPECT_EQ(Cli({"diff", p.a.path().string(), (p.a / "nowhere").string()}).status, kExitUsage);
    EXPECT_EQ(Cli({"diff", p.a.path().string(), (p.a / "word.dat").string()}).status, kExitUsage);
    EXPECT_EQ(Cli({"diff", p.a.path().string()}).status, kExitUsage);
}

}  // namespace
}  // namespace velsend::cli

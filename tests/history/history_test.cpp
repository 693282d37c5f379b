#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli_run.h"
#include "core/history/history.h"
#include "core/logic/logic_files.h"
#include "temp_dir.h"

namespace velsend::history {
namespace {

namespace fs = std::filesystem;
using test::Cli;

// Every file of the project (the program's own dot files aside), by name.
std::map<std::string, std::vector<std::uint8_t>> Snapshot(const fs::path& dir) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
            files[entry.path().filename().string()] = test::ReadBytes(entry.path());
    return files;
}

std::string Newest(const fs::path& dir) {
    auto h = Load(dir);
    return h && h->ToUndo() ? h->ToUndo()->what : std::string();
}

TEST(History, EveryKindOfChangeUndoesByteForByteAndRedoes) {
    test::TempDir dir, out;
    const std::string d = dir.path().string();
    const std::string pack = (out / "KBX042.dat").string();
    struct Change {
        std::vector<std::string> args;
        std::string what;
    };
    std::vector<Change> changes = {
        {{"demo"}, "演示工程"},
        {{"copy-loop", "0", "5"}, "回路复制 0→5"},
        {{"quick-set", "--loop", "1", "--from", "1", "--to", "3", "--class", "alarm",
          "--off-outside"},
         "快速设置：回路 1 地址 1–3"},
        {{"logic", "set", "7", "T13001=M13002"}, "逻辑设置：逻辑 7"},
        {{"phrases", "common"}, "初始化为常用词组"},
        {{"sd-import", pack, "--family", "kbx", "--start-loop", "9"}, "导入SD卡数据 KBX042.dat"},
#ifdef VELSEND_SHEETS
        {{"init"}, "初始化"},
        {{"excel-import", (out / "plaza.xlsx").string(), "--family", "kbx"},
         "从Excel导入 plaza.xlsx"},
#endif
        {{"init"}, "初始化"},
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const Change& c = changes[i];
        if (i == 1) {
            // Exchange files of the demo, written outside the project.
            test::TempDir packDir;
            ASSERT_EQ(
                Cli({"--dir", d, "--model", "3", "sd-pack", "--id", "42", "--start-loop", "0"})
                    .status,
                0);
            fs::rename(dir / "KBX042.dat", pack);
#ifdef VELSEND_SHEETS
            ASSERT_EQ(Cli({"--dir", d, "excel-export", (out / "plaza.xlsx").string()}).status, 0);
#endif
        }
        const auto before = Snapshot(dir.path());
        std::vector<std::string> args{"--dir", d, "--model", "3"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto run = Cli(args);
        ASSERT_EQ(run.status, 0) << c.what << ": " << run.err;
        const auto after = Snapshot(dir.path());
        ASSERT_NE(before, after) << c.what;
        EXPECT_EQ(Newest(dir.path()), c.what);

        const auto undo = Cli({"--dir", d, "undo"});
        ASSERT_EQ(undo.status, 0) << c.what << ": " << undo.err;
        EXPECT_EQ(undo.out, "已撤销：" + c.what + "\n");
        EXPECT_EQ(Snapshot(dir.path()), before) << c.what;
        const auto redo = Cli({"--dir", d, "redo"});
        ASSERT_EQ(redo.status, 0) << c.what << ": " << redo.err;
        EXPECT_EQ(Snapshot(dir.path()), after) << c.what;
    }
    // Newest first, every step with its words; the decoded difference of one.
    const auto list = Cli({"--dir", d, "history"});
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("2\t"), std::string::npos);
    EXPECT_LT(list.out.find("初始化"), list.out.find("回路复制 0→5"));
    const auto show = Cli({"--dir", d, "--model", "3", "history", "show", "2"});
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_NE(show.out.find("回路 5 地址 1："), std::string::npos) << show.out;
    EXPECT_EQ(Cli({"--dir", d, "history", "show", "x"}).status, 2);
    EXPECT_EQ(Cli({"--dir", d, "undo", "--now"}).status, 2);

    // Undoing everything gives the empty folder back; then nothing is left to undo.
    while (Cli({"--dir", d, "undo"}).status == 0) {
    }
    EXPECT_TRUE(Snapshot(dir.path()).empty());
    const auto none = Cli({"--dir", d, "undo"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "没有可撤销的修改。\n");
    ASSERT_EQ(Cli({"--dir", d, "history", "clear"}).status, 0);
    EXPECT_FALSE(fs::exists(dir / ".velsend-history"));
}

TEST(History, UndoOverAFileChangedSinceIsRefusedAndChangesNothing) {
    test::TempDir dir;
    const std::string d = dir.path().string();
    ASSERT_EQ(Cli({"--dir", d, "demo"}).status, 0);
    ASSERT_EQ(Cli({"--dir", d, "copy-loop", "0", "5"}).status, 0);
    // Changed by hand after the step.
    std::vector<std::uint8_t> edited = test::ReadBytes(dir / "devc5.dat");
    edited[3] ^= 0xFF;
    fs::remove(dir / "devc5.dat");
    test::WriteBytes(dir / "devc5.dat", edited);
    const auto before = Snapshot(dir.path());
    const auto refused = Cli({"--dir", d, "undo"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("devc5.dat"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("ch5.dat"), std::string::npos) << refused.err;
    EXPECT_EQ(Snapshot(dir.path()), before);
    EXPECT_EQ(Newest(dir.path()), "回路复制 0→5");
    // --force puts the step's "before" back all the same: loop 5 was empty.
    ASSERT_EQ(Cli({"--dir", d, "undo", "--force"}).status, 0);
    EXPECT_FALSE(fs::exists(dir / "devc5.dat"));
    EXPECT_EQ(Newest(dir.path()), "演示工程");
}

TEST(History, ANewChangeDropsRedoAndTheOldestStepsGo) {
    test::TempDir dir;
    const store::ProjectDir project(dir.path());
    Install(dir.path());
    // 208: the contents no kept step names are looked for every 16th step.
    for (int i = 0; i < kMaxSteps + 8; ++i)
        ASSERT_TRUE(logic::WriteLogicRule(project, i % 3, "T" + std::to_string(1000 + i)));
    auto h = Load(dir.path());
    ASSERT_TRUE(h);
    ASSERT_EQ(h->steps.size(), static_cast<std::size_t>(kMaxSteps));
    EXPECT_EQ(h->steps.front().number, 9);
    // Only the contents the kept steps name stay.
    std::size_t objects = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / ".velsend-history/objects"))
        ++objects;
    EXPECT_LE(objects, static_cast<std::size_t>(kMaxSteps + 3));

    ASSERT_TRUE(Undo(dir.path()));
    ASSERT_TRUE(Load(dir.path())->ToRedo());
    ASSERT_TRUE(logic::WriteLogicRule(project, 9, "T2000"));
    h = Load(dir.path());
    EXPECT_EQ(h->ToRedo(), nullptr);
    EXPECT_EQ(h->ToUndo()->what, "修改 logic9.dat");
    EXPECT_EQ(Redo(dir.path()).error().code, kNothingToDo);

    // A project file that is a link is read through and replaced, as without
    // a history; the file it pointed to is never written.
    const std::vector<std::uint8_t> shared{'T', '9'};
    test::WriteBytes(dir / "shared.bin", shared);
    fs::create_symlink(dir / "shared.bin", dir / "logic20.dat");
    ASSERT_TRUE(logic::WriteLogicRule(project, 20, "T1"));
    EXPECT_FALSE(fs::is_symlink(dir / "logic20.dat"));
    ASSERT_TRUE(Undo(dir.path()));
    EXPECT_EQ(test::ReadBytes(dir / "logic20.dat"), shared);
    EXPECT_EQ(test::ReadBytes(dir / "shared.bin"), shared);
    Uninstall();
}

}  // namespace
}  // namespace velsend::history

#include "core/phrases/phrase_library.h"

#include <gtest/gtest.h>

#include "base/gbk.h"
#include "temp_dir.h"

namespace velsend::phrases {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::uint8_t> Slot(const std::vector<std::uint8_t>& file, int n) {
    return {file.begin() + n * 16, file.begin() + n * 16 + 16};
}

std::vector<std::uint8_t> Padded(const std::string& gbk) {
    std::vector<std::uint8_t> slot(gbk.begin(), gbk.end());
    slot.resize(16, 0);
    return slot;
}

TEST(CommonPhrases, TheBuiltInTableByteForByte) {
    TempDir dir;
    ASSERT_TRUE(InitialisePhrases(store::ProjectDir(dir.path()), kInitCommon));
    const auto file = ReadBytes(dir / "word.dat");
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(Slot(file, 0), std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(Slot(file, 1), Padded("\xB6\xAB"));  // 东
    EXPECT_EQ(Slot(file, 11), Padded(*base::Utf8ToGbk("下")));
    EXPECT_EQ(Slot(file, 12), std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(Slot(file, 16), Padded(*base::Utf8ToGbk("暗室")));
    EXPECT_EQ(Slot(file, 53), Padded(*base::Utf8ToGbk("走廊")));
    EXPECT_EQ(Slot(file, 64), Padded(*base::Utf8ToGbk("办公区")));
    EXPECT_EQ(Slot(file, 117), Padded(*base::Utf8ToGbk("贮藏室")));
    EXPECT_EQ(Slot(file, 130), Padded("\xBD\xBB\xD2\xD7\xB4\xF3\xCC\xFC\x20"));  // 交易大厅 + blank
    EXPECT_EQ(Slot(file, 131), Padded("%K%B%C\xB0\xFC\xB7\xBF"));                // 10 bytes
    EXPECT_EQ(Slot(file, 138), Padded(*base::Utf8ToGbk("消防泵房")));
    EXPECT_EQ(Slot(file, 139), std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(Slot(file, 167), Padded(*base::Utf8ToGbk("副总经理室")));
    EXPECT_EQ(Slot(file, 168), Padded(*base::Utf8ToGbk("董事长室")));
    EXPECT_EQ(Slot(file, 169), std::vector<std::uint8_t>(16, 0));

    int used = 0;
    for (int n = 0; n < kPhraseCount; ++n)
        used += PhraseText(ReadPhraseLibrary(store::ProjectDir(dir.path())), n).empty() ? 0 : 1;
    EXPECT_EQ(used, 11 + 38 + 54 + 11 + 9);
}

TEST(PhraseFile, ClearingKeepsALongerFileAndEditsGoInPlace) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    WriteBytes(dir / "word.dat", std::vector<std::uint8_t>(5000, 0x41));
    ASSERT_TRUE(InitialisePhrases(project, kInitEmpty));
    auto file = ReadBytes(dir / "word.dat");
    ASSERT_EQ(file.size(), 5000u);
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 4096),
              std::vector<std::uint8_t>(4096, 0));
    EXPECT_EQ(file[4096], 0x41);

    PhraseImage image = ReadPhraseLibrary(project);
    SetPhrase(image, 7, "abc");
    SetPhrase(image, 8, "abcdefghijklmnopq");  // 17 letters: 16 are kept, no terminator
    ASSERT_TRUE(WritePhrase(project, 7, image));
    ASSERT_TRUE(WritePhrase(project, 8, image));
    file = ReadBytes(dir / "word.dat");
    EXPECT_EQ(Slot(file, 7), Padded("ABC"));
    EXPECT_EQ(Slot(file, 8), Padded("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(Slot(file, 9), std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(PhraseText(ReadPhraseLibrary(project), 8), "ABCDEFGHIJKLMNOP");
}

TEST(PhraseFile, ADialogSaveKeepsAnotherWritersPhrasesAndTellsAClash) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    PhraseImage shown = ReadPhraseLibrary(project);  // no file yet
    PhraseImage other = shown;
    SetPhrase(other, 3, "THEIRS");
    ASSERT_TRUE(WritePhraseLibrary(project, other));
    PhraseImage edited = shown;
    SetPhrase(edited, 7, "MINE");
    ASSERT_TRUE(SavePhraseEdit(project, shown, 7, edited));
    EXPECT_EQ(PhraseText(ReadPhraseLibrary(project), 3), "THEIRS");
    EXPECT_EQ(PhraseText(ReadPhraseLibrary(project), 7), "MINE");

    SetPhrase(other, 7, "NEWER");
    ASSERT_TRUE(WritePhraseLibrary(project, other));
    edited = shown;
    SetPhrase(edited, 7, "AGAIN");
    const auto clash = SavePhraseEdit(project, shown, 7, edited);
    ASSERT_FALSE(clash);
    EXPECT_NE(clash.error().userText.find("文件中的：NEWER；您改的：AGAIN"), std::string::npos)
        << clash.error().userText;
    EXPECT_EQ(PhraseText(ReadPhraseLibrary(project), 7), "NEWER");
    ASSERT_TRUE(SavePhraseEdit(project, shown, 7, edited));
    EXPECT_EQ(PhraseText(ReadPhraseLibrary(project), 7), "AGAIN");
}

TEST(PhraseFile, EnsureCreatesAnEmptyFileOnce) {
    TempDir dir;
    const store::ProjectDir project(dir.path());
    ASSERT_TRUE(EnsurePhraseFile(project));
    EXPECT_EQ(ReadBytes(dir / "word.dat").size(), 0u);
    WriteBytes(dir / "word.dat", {1, 2, 3});
    ASSERT_TRUE(EnsurePhraseFile(project));
    EXPECT_EQ(ReadBytes(dir / "word.dat"), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace velsend::phrases

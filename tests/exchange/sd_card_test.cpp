#include <gtest/gtest.h>

#include "core/exchange/sd_import.h"
#include "core/exchange/sd_pack.h"
#include "exchange_test_util.h"
#include "temp_dir.h"

namespace velsend::exchange {
namespace {

using base::SdFamily;
using test::Bytes;
using test::ReadBytes;
using test::WriteBytes;

class SdCardTest : public ::testing::Test {
  protected:
    store::ProjectDir Project() const { return store::ProjectDir(dir.path()); }
    std::vector<std::uint8_t> Pack(SdFamily family, int id, int start) {
        const auto result = PackSdCard(Project(), family, id, start);
        EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().Full());
        EXPECT_EQ(result->message, "数据打包成功!");
        return ReadBytes(result->file);
    }
    test::TempDir dir;
};

TEST_F(SdCardTest, EmptyProjectsPackToTheFamilyLayouts) {
    const auto ka = Pack(SdFamily::KA, 7, 0);
    ASSERT_TRUE(std::filesystem::exists(dir / "MXKA007.dat"));
    ASSERT_EQ(ka.size(), 327680u);
    for (std::size_t i = 0; i < ka.size(); ++i) {
        const std::uint8_t want = (i >= 0x20000 && i < 0x40000) ? 0xFF : 0x00;
        ASSERT_EQ(ka[i], want) << "offset " << i;
    }
    const auto kbx = Pack(SdFamily::KBX, 7, 0);
    ASSERT_TRUE(std::filesystem::exists(dir / "KBX007.dat"));
    ASSERT_EQ(kbx.size(), 32768u);
    for (std::size_t i = 0; i < kbx.size(); ++i) {
        const std::uint8_t want = (i >= 0x2000 && i < 0x7000) ? 0xFF : 0x00;
        ASSERT_EQ(kbx[i], want) << "offset " << i;
    }
}

TEST_F(SdCardTest, LoopsFromTheStartLoopFillTheDeviceAndNameBlocks) {
    std::vector<std::uint8_t> devc(1792, 0);
    test::PutRecord(devc, 0, {0x80, 1, 0, 3, 4, 5, 6});
    test::PutRecord(devc, 255, {0xCB, 0x85, 1, 9, 8, 7, 255});
    WriteBytes(dir / "devc240.dat", devc);
    WriteBytes(dir / "devc255.dat", devc);
    WriteBytes(dir / "devc239.dat", std::vector<std::uint8_t>(1792, 0x11));
    WriteBytes(dir / "ch255.dat", Bytes("NAME"));  // short: zero-filled

    const auto ka = Pack(SdFamily::KA, 12, 240);
    for (std::size_t block : {0u, 15u}) {
        const std::size_t at = block * 2048;
        EXPECT_EQ(std::vector<std::uint8_t>(ka.begin() + at, ka.begin() + at + 8),
                  (std::vector<std::uint8_t>{0x80, 1, 0, 3, 4, 5, 6, 0}));
        EXPECT_EQ(std::vector<std::uint8_t>(ka.begin() + at + 2040, ka.begin() + at + 2048),
                  (std::vector<std::uint8_t>{0xCB, 0x85, 1, 9, 8, 7, 255, 0}));
    }
    EXPECT_EQ(ka[2048], 0);  // loop 241 has no file
    const std::size_t name = 0x40000 + 15 * 4096;
    EXPECT_EQ(std::string(ka.begin() + name, ka.begin() + name + 5), std::string("NAME\0", 5));

    const auto kbx = Pack(SdFamily::KBX, 12, 254);
    EXPECT_EQ(kbx[2048 + 2040], 0xCB);  // loop 255 is the second block
    EXPECT_EQ(kbx[0], 0);

    EXPECT_FALSE(PackSdCard(Project(), SdFamily::KA, 1, 241).ok());
    EXPECT_FALSE(PackSdCard(Project(), SdFamily::KA, 1000, 0).ok());
}

TEST_F(SdCardTest, LogicRecordsUseEachFamilysEncoding) {
    WriteBytes(dir / "logic0.dat", Bytes("a1ml"));
    WriteBytes(dir / "logic5.dat", Bytes(test::Gbk("ta1001=mb2002火")));
    WriteBytes(dir / "logic9.dat", {});  // empty: stays all 0xFF
    WriteBytes(dir / "logic1023.dat", Bytes(std::string(130, 'z')));

    const auto ka = Pack(SdFamily::KA, 1, 0);
    std::vector<std::uint8_t> want(128, 0xFF);
    want[0] = 0x0A, want[1] = 0x01, want[2] = 0x4D, want[3] = 0x15;
    EXPECT_EQ(std::vector<std::uint8_t>(ka.begin() + 0x20000, ka.begin() + 0x20080), want);
    EXPECT_EQ(
        std::vector<std::uint8_t>(ka.begin() + 0x20000 + 9 * 128, ka.begin() + 0x20000 + 10 * 128),
        std::vector<std::uint8_t>(128, 0xFF));
    const std::size_t last = 0x20000 + 1023 * 128;
    EXPECT_EQ(std::count(ka.begin() + last, ka.begin() + last + 120, 'Z'), 120);
    EXPECT_EQ(ka[last + 120], 0xFF);  // at most 120 bytes are taken

    const auto kbx = Pack(SdFamily::KBX, 1, 0);
    const std::string upper = test::Gbk("TA1001=MB2002火");
    const std::size_t rule5 = 0x2000 + 5 * 80;
    EXPECT_EQ(std::string(kbx.begin() + rule5, kbx.begin() + rule5 + upper.size()), upper);
    EXPECT_EQ(kbx[rule5 + upper.size()], 0xFF);
    EXPECT_EQ(kbx[rule5 + 79], 0xFF);
}

TEST_F(SdCardTest, PercentEscapesStayInsideTheirSlot) {
    std::vector<std::uint8_t> word(4096, 0);
    const std::string phrase = test::Gbk("%K%B%C包房");
    std::copy(phrase.begin(), phrase.end(), word.begin());
    word[16] = '%', word[17] = 'a', word[18] = '%', word[19] = '1', word[20] = '%', word[21] = '-';
    word[47] = '%', word[48] = '1';  // "%" ends phrase 2, "1" starts phrase 3
    WriteBytes(dir / "word.dat", word);

    const auto kbx = Pack(SdFamily::KBX, 1, 0);
    const std::uint8_t* p = kbx.data() + 0x7000;
    EXPECT_EQ(std::vector<std::uint8_t>(p, p + 6),
              (std::vector<std::uint8_t>{0xA3, 0xCB, 0xA3, 0xC2, 0xA3, 0xC3}));
    EXPECT_EQ(std::string(p + 6, p + 10), test::Gbk("包房"));
    EXPECT_EQ(std::vector<std::uint8_t>(p + 16, p + 22),
              (std::vector<std::uint8_t>{0xA3, 0xC1, 0xA3, 0xB1, '%', '-'}));
    EXPECT_EQ(p[47], '%');
    EXPECT_EQ(p[48], '1');
    const auto ka = Pack(SdFamily::KA, 1, 0);
    EXPECT_TRUE(std::equal(p, p + 4096, ka.begin() + 0x10000));
}

TEST_F(SdCardTest, PackThatCannotBeWrittenFails) {
    std::filesystem::create_directory(dir / "MXKA003.dat");
    const auto result = PackSdCard(Project(), SdFamily::KA, 3, 0);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().userText, "数据打包失败!");
}

class SdImportTest : public SdCardTest {
  protected:
    // A KA card built from a small project in its own folder.
    std::filesystem::path MakeKaCard(const std::string& name) {
        std::vector<std::uint8_t> devc(1792, 0);
        test::PutRecord(devc, 3, {0xC2, 0x81, 1, 1, 2, 3, 4});
        for (int loop = 0; loop < 16; ++loop)
            WriteBytes(source / ("devc" + std::to_string(loop) + ".dat"), devc);
        WriteBytes(source / "logic0.dat", Bytes("Ta1001=Mb2002"));
        WriteBytes(source / "logic1.dat", Bytes("x(1+2)"));
        WriteBytes(source / "word.dat", Bytes("ABC"));
        WriteBytes(source / "ch0.dat", Bytes(test::Gbk("%1楼")));
        const auto packed = PackSdCard(store::ProjectDir(source.path()), SdFamily::KA, 7, 0);
        EXPECT_TRUE(packed.ok());
        const auto card = source / name;
        std::filesystem::rename(packed->file, card);
        return card;
    }
    test::TempDir source;
};

TEST_F(SdImportTest, OnlyDevicesRewritesExactlyTheSixteenDeviceFiles) {
    const auto card = MakeKaCard("MXKA007.DAT");
    WriteBytes(dir / "logic0.dat", Bytes("keep"));
    WriteBytes(dir / "devc10.dat",
               std::vector<std::uint8_t>(3000, 0x55));  // longer: replaced whole
    const auto before = test::FileNames(dir.path());
    SdSections only{true, false, false, false};
    const auto result = ImportSdCard(Project(), SdFamily::KA, card, 10, only);
    ASSERT_TRUE(result.ok()) << result.error().Full();
    EXPECT_EQ(result->message, "导入成功!");
    EXPECT_EQ(result->deviceFiles, 16);
    auto after = test::FileNames(dir.path());
    for (int loop = 10; loop <= 25; ++loop) {
        const std::string name = "devc" + std::to_string(loop) + ".dat";
        const auto bytes = ReadBytes(dir / name);
        ASSERT_EQ(bytes.size(), 1792u) << name;
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 21, bytes.begin() + 28),
                  (std::vector<std::uint8_t>{0xC2, 0x81, 1, 1, 2, 3, 4}));
        after.erase(name);
    }
    EXPECT_EQ(after, [&] {
        auto b = before;
        b.erase("devc10.dat");
        return b;
    }());
    EXPECT_EQ(ReadBytes(dir / "logic0.dat"), Bytes("keep"));
}

TEST_F(SdImportTest, AllSectionsComeBackAndEmptyRulesDeleteTheirFile) {
    const auto card = MakeKaCard("mxka001.dat");  // lower case is accepted
    WriteBytes(dir / "logic2.dat", Bytes("T01001"));
    WriteBytes(dir / "logic1.dat", Bytes("0123456789abcdefghijkl"));
    const auto result = ImportSdCard(Project(), SdFamily::KA, card, 0, {});
    ASSERT_TRUE(result.ok()) << result.error().Full();
    EXPECT_FALSE(std::filesystem::exists(dir / "logic2.dat"));
    EXPECT_EQ(result->logicFiles, 2);
    EXPECT_EQ(result->logicDeleted, 1);
    // Letters past l were upper-cased by the pack and stay so.
    EXPECT_EQ(ReadBytes(dir / "logic0.dat"), Bytes("Ta1001=Mb2002"));
    EXPECT_EQ(ReadBytes(dir / "logic1.dat"), Bytes("X(1+2)"));
    auto word = ReadBytes(dir / "word.dat");
    ASSERT_EQ(word.size(), 4096u);
    EXPECT_EQ(std::string(word.begin(), word.begin() + 4), std::string("ABC\0", 4));
    auto ch = ReadBytes(dir / "ch0.dat");
    ASSERT_EQ(ch.size(), 4096u);
    EXPECT_EQ(std::string(ch.begin(), ch.begin() + 4), test::Gbk("１楼"));  // escape stays
    EXPECT_EQ(ReadBytes(dir / "devc0.dat"), ReadBytes(source / "devc0.dat"));
}

TEST_F(SdImportTest, ForeignNamesAreRefusedAndShortFilesReported) {
    const auto card = MakeKaCard("KBX001.DAT");
    const auto before = test::FileNames(dir.path());
    const auto refused = ImportSdCard(Project(), SdFamily::KA, card, 0, {});
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().userText, "文件打开失败!");
    EXPECT_EQ(test::FileNames(dir.path()), before);

    // A card cut after the device section would import zeros over the rest:
    // refused with the sizes, unless only the devices are asked for.
    auto bytes = ReadBytes(card);
    bytes.resize(0x8000 + 16);
    WriteBytes(dir / "MXKA002.dat", bytes);
    const auto withCard = test::FileNames(dir.path());
    const auto cut = ImportSdCard(Project(), SdFamily::KA, dir / "MXKA002.dat", 0, {});
    ASSERT_FALSE(cut.ok());
    EXPECT_NE(cut.error().userText.find("32784 字节"), std::string::npos) << cut.error().userText;
    EXPECT_NE(cut.error().userText.find("327680"), std::string::npos);
    EXPECT_EQ(test::FileNames(dir.path()), withCard);
    SdSections devicesOnly{true, false, false, false};
    const auto shortCard =
        ImportSdCard(Project(), SdFamily::KA, dir / "MXKA002.dat", 0, devicesOnly);
    ASSERT_TRUE(shortCard.ok()) << shortCard.error().Full();
    EXPECT_EQ(shortCard->missingBytes, 327680u - 0x8010u);
    EXPECT_NE(shortCard->message.find("294896"), std::string::npos) << shortCard->message;
    EXPECT_FALSE(std::filesystem::exists(dir / "word.dat"));
    // Nothing ticked is said as such, not blamed on the card.
    const auto none =
        ImportSdCard(Project(), SdFamily::KA, dir / "MXKA002.dat", 0, {false, false, false, false});
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error().userText, "没有选择要导入的部分，没有导入。");
}

TEST_F(SdImportTest, KbxCardsRoundTripWithTheirRulesAsStored) {
    WriteBytes(source / "devc254.dat", std::vector<std::uint8_t>(1792, 0x81));
    WriteBytes(source / "logic255.dat", Bytes(std::string(80, 'R')));
    WriteBytes(source / "logic3.dat", Bytes("m12001"));
    std::vector<std::uint8_t> word(4096, 0xFF);
    WriteBytes(source / "word.dat", word);
    const auto packed = PackSdCard(store::ProjectDir(source.path()), SdFamily::KBX, 5, 254);
    ASSERT_TRUE(packed.ok());
    const auto result = ImportSdCard(Project(), SdFamily::KBX, packed->file, 100, {});
    ASSERT_TRUE(result.ok()) << result.error().Full();
    EXPECT_EQ(ReadBytes(dir / "devc100.dat"), std::vector<std::uint8_t>(1792, 0x81));
    EXPECT_EQ(ReadBytes(dir / "devc101.dat"), std::vector<std::uint8_t>(1792, 0));
    EXPECT_EQ(ReadBytes(dir / "logic255.dat"), Bytes(std::string(80, 'R')));
    EXPECT_EQ(ReadBytes(dir / "logic3.dat"), Bytes("M12001"));
    EXPECT_EQ(ReadBytes(dir / "word.dat"), std::vector<std::uint8_t>(4096, 0x20));
    EXPECT_FALSE(std::filesystem::exists(dir / "ch100.dat"));
    EXPECT_EQ(result->logicFiles, 2);
}

}  // namespace
}  // namespace velsend::exchange

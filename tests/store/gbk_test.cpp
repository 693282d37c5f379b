#include "base/gbk.h"

#include <gtest/gtest.h>

#include "base/field_check.h"

namespace velsend::base {
namespace {

TEST(Gbk, RoundTripsAndRefusesWhatItCannotHold) {
    EXPECT_EQ(Utf8ToGbk("中文").value_or(""), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(Utf8ToGbk("MX300KAⅡ").value_or(""), "MX300KA\xA2\xF2");
    EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE\xC4"), "中文");
    EXPECT_FALSE(Utf8ToGbk("😀").has_value());
    // A dangling lead byte does not swallow the rest.
    EXPECT_EQ(GbkToUtf8("A\xD6"), "A\xEF\xBF\xBD");
}

TEST(Gbk, LossyConversionMarksEachMissingCharacterOnce) {
    int missing = 0;
    // An emoji (four bytes), a character outside GBK and a stray byte.
    EXPECT_EQ(Utf8ToGbkLossy("T1=M2🔥中\xE2\x82x\xF0\x9F", &missing), "T1=M2?\xD6\xD0?x?");
    EXPECT_EQ(missing, 3);
    EXPECT_EQ(Utf8ToGbkLossy("ABC", &missing), "ABC");
    EXPECT_EQ(missing, 0);
    // A byte that is no GBK lead never swallows the letter after it.
    std::vector<std::string> runs;
    EXPECT_EQ(GbkToUtf8("\xFF"
                        "A",
                        runs),
              "\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(runs, std::vector<std::string>{"\xFF"});
    EXPECT_EQ(UpperLetters("a\xA3\xE1\xA3\xFA\xB0\x61"),
              "A\xA3\xC1\xA3\xDA\xB0\x61");  // ａｚ -> ＡＺ
}

TEST(Gbk, UpperCasesAsciiOnly) {
    EXPECT_EQ(UpperAscii("abc-Z1"), "ABC-Z1");
    // 0xB0 0x61 is one character whose trail byte is an 'a': it stays.
    EXPECT_EQ(UpperAscii("\xB0\x61x"), "\xB0\x61X");
}

TEST(Gbk, FieldsNeverHoldHalfACharacter) {
    const std::string five = "\xD6\xD0\xCE\xC4\xD6\xD0\xCE\xC4\xD6\xD0";  // 中文中文中
    EXPECT_EQ(FitGbk(five, 10), five);
    EXPECT_EQ(FitGbk(five, 9), five.substr(0, 8));
    EXPECT_EQ(FitGbk("A" + five, 4), "A\xD6\xD0");
    EXPECT_EQ(FitGbk("ab\xD6", 16), "ab");

    const auto field = MakeField("A" + five, 4);
    EXPECT_EQ(field, (std::vector<std::uint8_t>{'A', 0xD6, 0xD0, 0}));
    const std::vector<std::uint8_t> full(16, 'Q');
    EXPECT_EQ(FieldText(full), std::string(16, 'Q'));
    EXPECT_EQ(FieldText(std::vector<std::uint8_t>{'A', 'B', 0, 'C'}), "AB");
    EXPECT_EQ(TrimTrailingSpaces("AB  "), "AB");
}

TEST(FieldChecks, MessagesOfTheDialogs) {
    int value = -1;
    EXPECT_FALSE(base::CheckByte("255", value));
    EXPECT_EQ(value, 255);
    EXPECT_EQ(base::CheckByte("", value).value_or(""), "请输入一个在 0 和 255 之间的整数。");
    EXPECT_EQ(base::CheckByte("256", value).value_or(""), "请输入一个在 0 和 255 之间的整数。");
    EXPECT_EQ(base::CheckByteInRange("64", 0, 63, value).value_or(""),
              "请输入一个在 0 和 63 之间的整数。");
    EXPECT_FALSE(base::CheckByteInRange("64", 0, 64, value));
    std::uint32_t u = 0;
    EXPECT_EQ(base::CheckUnsigned("", u).value_or(""), "请输入一个正整数。");
    EXPECT_EQ(base::CheckUnsigned("99999999999", u).value_or(""), "请输入一个正整数。");
    EXPECT_FALSE(base::CheckUnsigned("1023", u));
    EXPECT_EQ(base::CheckRange(1024, 0, 1023).value_or(""), "请输入一个在 0 和 1023 之间的整数。");
    EXPECT_EQ(base::CheckMaxBytes(17, 16).value_or(""), "请输入不多于 16 个的字符。");
}

TEST(FieldChecks, CorrectionAndWheelSteps) {
    EXPECT_EQ(base::CorrectedNumber("", 255), 0);
    EXPECT_EQ(base::CorrectedNumber("300", 255), 255);
    EXPECT_EQ(base::CorrectedNumber("99999999999999999999999", 999), 999);
    EXPECT_EQ(base::CorrectedNumber("12", 255), 12);
    EXPECT_FALSE(base::CorrectedNumber("1a", 255));
    EXPECT_EQ(base::WrapStep(255, 1, 0, 255), 0);
    EXPECT_EQ(base::WrapStep(0, -1, 0, 255), 255);
    EXPECT_EQ(base::WrapStep(127, 1, 0, 127), 0);
    EXPECT_EQ(base::ClampStep(255, 1, 0, 255), 255);
    EXPECT_EQ(base::ClampStep(0, -1, 0, 255), 0);
}

}  // namespace
}  // namespace velsend::base

#include "core/logic/controller_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <vector>

namespace velsend::logic {
namespace {

struct Row {
    char character;
    int logRecord;
    int model2;
};

// The controllers' code tables, one row per character they know.
const std::vector<Row>& Table() {
    static const std::vector<Row> rows = [] {
        std::vector<Row> r;
        for (int d = 0; d <= 9; ++d) r.push_back({static_cast<char>('0' + d), d, d});
        for (int l = 0; l < 12; ++l) r.push_back({static_cast<char>('a' + l), 0x0A + l, 0x0A + l});
        const std::vector<Row> listed = {
            {'(', 0x1A, 0x24}, {')', 0x1B, 0x25}, {'[', 0x1C, 0x26}, {']', 0x1D, 0x27},
            {'{', 0x1E, 0x28}, {'}', 0x1F, 0x29}, {'*', 0x20, 0x2A}, {'+', 0x21, 0x2B},
            {'~', 0x22, 0x2C}, {'=', 0xFF, 0x2D}, {'T', 0x2B, 0x35}, {'t', 0x2B, 0x35},
            {'M', 0x2C, 0x36}, {'m', 0x2C, 0x36}, {'R', 0x2D, 0x37}, {'r', 0x2D, 0x37},
            {'!', 0x2E, 0x38}, {'X', 0x2F, 0x39}, {'x', 0x2F, 0x39}, {'F', 0x30, 0x3A},
        };
        r.insert(r.end(), listed.begin(), listed.end());
        return r;
    }();
    return rows;
}

TEST(ControllerCodes, EveryRowOfBothTables) {
    ASSERT_EQ(Table().size(), 42u);
    for (const Row& row : Table()) {
        const auto c = static_cast<std::uint8_t>(row.character);
        EXPECT_EQ(LogRecordCode(c), row.logRecord) << "log record: " << row.character;
        EXPECT_EQ(Model2LogicCode(c), row.model2) << "model 2: " << row.character;
    }
}

TEST(ControllerCodes, UnlistedBytesBecomeFFOrPassUnchanged) {
    std::map<int, bool> listed;
    for (const Row& row : Table()) listed[static_cast<std::uint8_t>(row.character)] = true;
    int unlisted = 0;
    for (int b = 0; b < 256; ++b) {
        if (listed.count(b)) continue;
        ++unlisted;
        const auto byte = static_cast<std::uint8_t>(b);
        EXPECT_EQ(LogRecordCode(byte), 0xFF) << b;
        EXPECT_EQ(Model2LogicCode(byte), byte) << b;
    }
    EXPECT_EQ(unlisted, 256 - 42);
    // Loop letters end at l; uppercase only for keywords.
    EXPECT_EQ(LogRecordCode('n'), 0xFF);
    EXPECT_EQ(Model2LogicCode('p'), 'p');
    EXPECT_EQ(LogRecordCode('L'), 0xFF);
    EXPECT_EQ(Model2LogicCode('f'), 0x0F);
}

TEST(ControllerCodes, LogRecordPaddingBecomesFF) {
    std::array<std::uint8_t, 128> record{};
    std::memcpy(record.data(), "T13001", 6);
    ConvertLogRecord(record);
    const std::vector<std::uint8_t> head(record.begin(), record.begin() + 6);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{0x2B, 0x01, 0x03, 0x00, 0x00, 0x01}));
    EXPECT_TRUE(std::all_of(record.begin() + 6, record.end(), [](auto b) { return b == 0xFF; }));
}

TEST(ControllerCodes, Model2SlotKeepsItsFiller) {
    std::array<std::uint8_t, 120> slot;
    slot.fill(0xFF);
    std::memcpy(slot.data(), "Ta1001=Mb2002", 13);
    ConvertModel2Logic(slot);
    const std::vector<std::uint8_t> head(slot.begin(), slot.begin() + 13);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{0x35, 0x0A, 0x01, 0x00, 0x00, 0x01, 0x2D, 0x36, 0x0B,
                                               0x02, 0x00, 0x00, 0x02}));
    EXPECT_TRUE(std::all_of(slot.begin() + 13, slot.end(), [](auto b) { return b == 0xFF; }));
}

}  // namespace
}  // namespace velsend::logic

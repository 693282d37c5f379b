#include "core/burner/transfer_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "core/logic/controller_codes.h"
#include "nothing_sent.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "transfer_recorder.h"

namespace velsend::burner {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Bytes 0..n-1 with a pattern that differs per file, so a record from the
// wrong place shows.
Bytes Pattern(std::size_t n, int seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed * 31 + 1);
    return b;
}

void Append(std::vector<int>& out, std::initializer_list<int> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
void Append(std::vector<int>& out, const Bytes& bytes, std::size_t from, std::size_t n) {
    for (std::size_t i = from; i < from + n; ++i) out.push_back(bytes[i]);
}

class TransferTest : public ::testing::Test {
  protected:
    TransferTest() { job.rules.PaceDelay = 0; }

    TransferResult Run(const test::SimProcess& sim, TransferKind kind, int model) {
        job.kind = kind;
        job.model = model;
        job.project = store::ProjectDir(dir.path());
        job.address = {1, sim.path()};
        job.node9 = &node9;
        job.node10 = &node10;
        TransferEngine engine(port, recorder, recorder.Pauses(), &cancel);
        TransferResult result = engine.Run(job);
        EXPECT_FALSE(port.IsOpen());
        return result;
    }
    test::SimProcess Sim(std::vector<std::string> args = {}) {
        return test::SimProcess(std::move(args), dir / ("sim" + std::to_string(++sims) + ".log"));
    }

    test::TempDir dir;
    BurnerPort port;
    TransferJob job;
    test::TransferRecorder recorder;
    std::atomic<bool> cancel{false};
    store::NineByteNodeRecord node9;
    store::TenByteNodeRecord node10;
    int sims = 0;
};

TEST_F(TransferTest, DeviceRecordsGoBlockByBlockForEachModelFamily) {
    const Bytes loop0 = Pattern(1792, 0);
    test::WriteBytes(dir / "devc0.dat", loop0);
    // Loop 1 has no file: zeros go out.
    for (int model : {2, 1}) {
        auto sim = Sim({"--model", std::to_string(model)});
        job.rules.FirstLoop = 0;
        job.rules.LastLoop = 1;
        recorder = {};
        const TransferResult result = Run(sim, TransferKind::SendDevices, model);
        EXPECT_TRUE(result.Succeeded()) << model;
        EXPECT_EQ(result.status, "传送设备信息成功！");
        const std::size_t perBlock = model == 1 ? 16 : 32;
        std::vector<int> expected;
        for (int loop = 0; loop <= 1; ++loop) {
            Append(expected, {0x70, loop, 0, 255});
            const Bytes data = loop == 0 ? loop0 : Bytes(1792, 0);
            for (std::size_t block = 0; block < 256 / perBlock; ++block) {
                Append(expected, {0x88});
                Append(expected, data, block * perBlock * 7, perBlock * 7);
                Append(expected, {0x99});
            }
        }
        EXPECT_EQ(sim.WaitReceived(expected.size()), expected) << model;
        EXPECT_EQ(recorder.ranges.back(), model == 1 ? 80 : 160);
        EXPECT_EQ(recorder.positions.back(), model == 1 ? 80 : 160);
        EXPECT_EQ(recorder.statuses.front(), "正在传送设备信息......");
        EXPECT_EQ(recorder.pauseCount, 0) << "pace 0 must not pause";
        using Unit = TransferStage::Unit;
        EXPECT_EQ(recorder.stages,
                  (std::vector<TransferStage>{{Unit::Loop, 0, 2, 0, 0}, {Unit::Loop, 1, 2, 0, 0}}));
    }
}

TEST_F(TransferTest, PartialAddressRangeSendsWholeBlocks) {
    const Bytes loop3 = Pattern(1792, 3);
    test::WriteBytes(dir / "devc3.dat", loop3);
    auto sim = Sim({"--model", "1"});
    job.rules.FirstLoop = job.rules.LastLoop = 3;
    job.rules.FirstAddress = 20;
    job.rules.LastAddress = 40;
    EXPECT_TRUE(Run(sim, TransferKind::SendDevices, 1).Succeeded());
    std::vector<int> expected{0x70, 3, 20, 40};
    for (std::size_t block : {1, 2}) {
        Append(expected, {0x88});
        Append(expected, loop3, block * 16 * 7, 16 * 7);
        Append(expected, {0x99});
    }
    EXPECT_EQ(sim.WaitReceived(expected.size()), expected);
}

TEST_F(TransferTest, ModelsFiveAndSixSendNoDevicesOrLogic) {
    auto sim = Sim();
    for (int model : {5, 6}) {
        EXPECT_EQ(Run(sim, TransferKind::SendDevices, model).outcome, TransferOutcome::NotStarted);
        EXPECT_EQ(Run(sim, TransferKind::SendLogic, model).outcome, TransferOutcome::NotStarted);
    }
    EXPECT_TRUE(recorder.statuses.empty());
    EXPECT_TRUE(test::ReceivedBeforeMarker(sim).empty());
}

TEST_F(TransferTest, NodePayloadFollowsTheModelsRecord) {
    test::WriteBytes(dir / "node2.dat", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    auto sim = Sim();
    EXPECT_TRUE(Run(sim, TransferKind::SendNodes, 2).Succeeded());
    std::vector<int> expected{0x60, 1, 2, 3, 4, 5, 6, 9, 0x99};
    EXPECT_EQ(sim.WaitReceived(expected.size()), expected);
    EXPECT_EQ(node10.LocalAddress, 1);

    // No node1.dat: six zeros.
    auto sim3 = Sim({"--model", "3"});
    EXPECT_EQ(Run(sim3, TransferKind::SendNodes, 3).status, "传送节点信息成功！");
    expected = {0x60, 0, 0, 0, 0, 0, 0, 0x99};
    EXPECT_EQ(sim3.WaitReceived(expected.size()), expected);
}

TEST_F(TransferTest, LogRecordsOfTheFirstFamilyAreConvertedAndFilled) {
    // Address 1's record is cut short by the file's end; the rest is 0xFF.
    Bytes file(200);
    const char text[] = "A1+B2=C3";
    std::copy(text, text + 8, file.begin());
    std::copy(text, text + 8, file.begin() + 128);
    test::WriteBytes(dir / "log0.dat", file);
    auto sim = Sim({"--model", "1"});
    job.rules.LastLoop = 0;
    job.rules.LastAddress = 2;
    EXPECT_TRUE(Run(sim, TransferKind::SendLogic, 1).Succeeded());
    std::vector<int> expected{0x80, 0, 0, 2};
    for (std::size_t address = 0; address < 3; ++address) {
        Bytes record(128, 0xFF);
        for (std::size_t i = 0; i < 128 && 128 * address + i < file.size(); ++i)
            record[i] = file[128 * address + i];
        logic::ConvertLogRecord(record);
        Append(expected, {0x88});
        Append(expected, record, 0, 128);
        Append(expected, {0x99});
    }
    EXPECT_EQ(sim.WaitReceived(expected.size()), expected);
    EXPECT_EQ(recorder.positions.back(), 256);
}

TEST_F(TransferTest, LogicBlocksPerModel) {
    for (int n = 0; n < 6; ++n) {
        if (n == 1) continue;  // a missing rule leaves its slot 0xFF
        Bytes rule = Pattern(128, n);
        rule[0] = '1';
        rule[1] = 'A';
        test::WriteBytes(dir / ("logic" + std::to_string(n) + ".dat"), rule);
    }
    auto ruleBytes = [&](int n, std::size_t size) {
        Bytes slot(128, 0xFF);
        if (n == 1 || n > 5) return slot;
        const Bytes file = test::ReadBytes(dir / ("logic" + std::to_string(n) + ".dat"));
        std::copy_n(file.begin(), size, slot.begin());
        return slot;
    };
    job.rules.FirstLogic = 0;
    job.rules.LastLogic = 5;
    for (int model : {2, 3, 4}) {
        auto sim = Sim({"--model", std::to_string(model)});
        recorder = {};
        const TransferResult result = Run(sim, TransferKind::SendLogic, model);
        EXPECT_TRUE(result.Succeeded()) << model;
        const int perBlock = model == 4 ? 2 : 4;
        std::vector<int> expected;
        for (int block = 0; block <= 5 / perBlock; ++block) {
            Append(expected, {0x80, block});
            for (int slot = 0; slot < 4; ++slot) {
                Bytes bytes(128, 0xFF);
                if (model == 2) {
                    bytes = ruleBytes(4 * block + slot, 120);
                    logic::ConvertModel2Logic(std::span(bytes).first(120));
                } else if (model == 3) {
                    bytes = ruleBytes(4 * block + slot, 80);
                } else if (slot % 2 == 0) {
                    // Rules 2i and 2i+1 in slots 0 and 2.
                    bytes = ruleBytes(2 * block + slot / 2, 80);
                }
                Append(expected, bytes, 0, 128);
            }
            Append(expected, {0x99});
        }
        EXPECT_EQ(sim.WaitReceived(expected.size()), expected) << model;
        EXPECT_EQ(result.blocksStored, 5 / perBlock + 1);
        EXPECT_EQ(recorder.positions.back(), 256);
        // Each rule as its slot goes out, with the rules its block carries.
        using Unit = TransferStage::Unit;
        const std::vector<TransferStage> stages =
            perBlock == 2
                ? std::vector<TransferStage>{{Unit::Rules, 0, 6, 0, 1}, {Unit::Rules, 1, 6, 0, 1},
                                             {Unit::Rules, 2, 6, 2, 3}, {Unit::Rules, 3, 6, 2, 3},
                                             {Unit::Rules, 4, 6, 4, 5}, {Unit::Rules, 5, 6, 4, 5}}
                : std::vector<TransferStage>{{Unit::Rules, 0, 6, 0, 3}, {Unit::Rules, 1, 6, 0, 3},
                                             {Unit::Rules, 2, 6, 0, 3}, {Unit::Rules, 3, 6, 0, 3},
                                             {Unit::Rules, 4, 6, 4, 5}, {Unit::Rules, 5, 6, 4, 5}};
        EXPECT_EQ(recorder.stages, stages) << model;
    }
}

TEST_F(TransferTest, LogicBlockNumbersNeverWrap) {
    auto sim = Sim({"--model", "4"});
    job.rules.FirstLogic = 500;
    job.rules.LastLogic = 1023;
    const TransferResult result = Run(sim, TransferKind::SendLogic, 4);
    // Blocks 250..255 fit one byte; 256..511 would land on blocks 0..255.
    EXPECT_EQ(result.blocksStored, 6);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(result.status,
              "传送逻辑信息失败！\n逻辑 500 至 511 已传送；逻辑 512 至 1023 "
              "超出控制器的块号范围，没有传送。");
    const std::vector<int> got = sim.WaitReceived(6 * 515);
    ASSERT_EQ(got.size(), 6u * 515);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(got[515 * i], 0x80);
        EXPECT_EQ(got[515 * i + 1], 250 + i);
    }
}

TEST_F(TransferTest, PhraseGroupsAfterDisplayCodes) {
    Bytes library(4096, 0);
    const std::string first = "1号楼A区%";
    std::copy(first.begin(), first.end(), library.begin() + 16 * 7);
    const std::string second = "abc Z9";
    std::copy(second.begin(), second.end(), library.begin() + 16 * 8);
    test::WriteBytes(dir / "word.dat", library);
    Bytes coded = library;
    for (std::size_t i = 0; i < coded.size(); ++i) {
        const std::uint8_t b = coded[i];
        if (b == '%') coded[i] = 0xA3;
        if (b >= '0' && b <= '9') coded[i] = static_cast<std::uint8_t>(0xB0 + b - '0');
        if (b >= 'A' && b <= 'Z') coded[i] = static_cast<std::uint8_t>(0xC1 + b - 'A');
    }
    EXPECT_EQ(coded[16 * 7], 0xB1);
    EXPECT_EQ(coded[16 * 8], 'a');

    // Phrases 7..8 on the first family: groups 0 and 1 of eight.
    auto sim = Sim({"--model", "1"});
    job.rules.FirstPhrase = 7;
    job.rules.LastPhrase = 8;
    const TransferResult result = Run(sim, TransferKind::SendPhrases, 1);
    EXPECT_TRUE(result.Succeeded());
    EXPECT_EQ(result.blocksStored, 2);
    std::vector<int> expected{0x90, 7, 8};
    for (std::size_t group : {0, 1}) {
        Append(expected, {0x88});
        Append(expected, coded, group * 128, 128);
        Append(expected, {0x99});
    }
    EXPECT_EQ(sim.WaitReceived(expected.size()), expected);
    EXPECT_EQ(recorder.positions.back(), 32);

    // The other models: sixteen groups of sixteen phrases.
    auto sim2 = Sim();
    job.rules.FirstPhrase = 0;
    job.rules.LastPhrase = 255;
    EXPECT_TRUE(Run(sim2, TransferKind::SendPhrases, 2).Succeeded());
    expected = {0x90, 0, 255};
    for (std::size_t group = 0; group < 16; ++group) {
        Append(expected, {0x88});
        Append(expected, coded, group * 256, 256);
        Append(expected, {0x99});
    }
    EXPECT_EQ(sim2.WaitReceived(expected.size()), expected);
}

TEST_F(TransferTest, ChineseNamesTurnPaddingAndBlanksIntoFF) {
    Bytes names(4096, 0);
    const std::string name = "A1 \xC3\xC5";  // "A1 门"
    std::copy(name.begin(), name.end(), names.begin() + 16 * 17);
    test::WriteBytes(dir / "ch0.dat", names);
    auto sim = Sim();
    job.rules.LastLoop = 1;  // loop 1 has no file: all 0xFF
    job.rules.FirstAddress = 16;
    job.rules.LastAddress = 31;
    EXPECT_TRUE(Run(sim, TransferKind::SendNames, 2).Succeeded());
    Bytes entry17(16, 0xFF);
    entry17[0] = 0xC1;
    entry17[1] = 0xB1;
    entry17[3] = 0xC3;
    entry17[4] = 0xC5;
    std::vector<int> expected;
    for (int loop : {0, 1}) {
        Append(expected, {0xA0, loop, 16, 31, 0x88});
        for (int address = 16; address < 32; ++address)
            Append(expected, (loop == 0 && address == 17) ? entry17 : Bytes(16, 0xFF), 0, 16);
        Append(expected, {0x99});
    }
    EXPECT_EQ(sim.WaitReceived(expected.size()), expected);
    EXPECT_EQ(recorder.ranges.back(), 80);
}

TEST_F(TransferTest, EraseWaitsThroughProgressRepliesUpToItsLimit) {
    auto sim = Sim({"--erase-steps", "1500"});
    const TransferResult result = Run(sim, TransferKind::EraseChip, 3);
    EXPECT_TRUE(result.Succeeded());
    EXPECT_EQ(result.status, "擦除芯片成功！");
    ASSERT_GE(recorder.positions.size(), 1501u);
    EXPECT_EQ(recorder.positions[0], 100);
    EXPECT_EQ(recorder.positions[1499], 1599);
    EXPECT_EQ(recorder.positions.back(), 1200);

    // After 2000 progress replies the program stops listening, still "running".
    auto endless = Sim({"--erase-steps", "2000"});
    const TransferResult stuck = Run(endless, TransferKind::EraseChip, 3);
    EXPECT_EQ(stuck.outcome, TransferOutcome::Unfinished);
    EXPECT_EQ(stuck.status, "正在擦除芯片......");
}

TEST_F(TransferTest, PacingIsWhatTheRulesAsk) {
    job.rules.PaceDelay = 5;
    job.rules.LastLoop = 0;
    auto sim = Sim();
    Run(sim, TransferKind::SendDevices, 2);
    EXPECT_EQ(recorder.pauseTotal, 8 * 32 * 1 + 60 * 5);
    recorder = {};
    Run(sim, TransferKind::SendLogic, 2);  // one block: four slots, the commit, the rest
    EXPECT_EQ(recorder.pauseTotal, 4 * 5 + 4 * 5 + 10 * 5);
    recorder = {};
    Run(sim, TransferKind::SendPhrases, 2);
    EXPECT_EQ(recorder.pauseTotal, 16 * 5);
    recorder = {};
    job.rules.PaceDelay = 4;  // pace/5 is 0: no per-piece pause
    Run(sim, TransferKind::SendNames, 2);
    EXPECT_EQ(recorder.pauseTotal, 60 * 4);
}

// --- failures ---

TEST_F(TransferTest, NoChipEndsAtTheCommand) {
    auto sim = Sim({"--no-chip"});
    for (TransferKind kind :
         {TransferKind::SendNodes, TransferKind::SendDevices, TransferKind::SendLogic,
          TransferKind::SendPhrases, TransferKind::EraseChip, TransferKind::SendNames}) {
        const TransferResult result = Run(sim, kind, 2);
        EXPECT_EQ(result.outcome, TransferOutcome::NoChip) << static_cast<int>(kind);
        EXPECT_EQ(result.status, "数据芯片没有插好！") << static_cast<int>(kind);
    }
    // Each kind sent its command byte and nothing else.
    EXPECT_EQ(sim.WaitReceived(6), (std::vector<int>{0x60, 0x70, 0x80, 0x90, 0x20, 0xA0}));
}

// The failure text stays the first line; the second says what the burner did.
TEST_F(TransferTest, SilentOrGarbageBurnerFailsWithTheReason) {
    auto silent = Sim({"--silent"});
    EXPECT_EQ(Run(silent, TransferKind::SendNodes, 2).status,
              "传送节点信息失败！\n命令 0x60：烧写器在 1 秒内没有回答（或只回答 0xFF），应为 0x60");

    auto garbage = Sim({"--garbage"});
    for (auto [kind, expected] :
         {std::pair{TransferKind::SendNodes, "传送节点信息失败！\n命令 0x60：烧写器"},
          {TransferKind::EraseChip, "擦除芯片失败！\n擦除：烧写器"},
          {TransferKind::SendPhrases, "传送词库信息失败！\n命令 0x90：烧写器"}}) {
        const std::string status = Run(garbage, kind, 2).status;
        EXPECT_EQ(status.rfind(expected, 0), 0u) << status;
        EXPECT_NE(status.find("，应为 0x"), std::string::npos) << status;
    }
}

TEST_F(TransferTest, RefusedBlockIsSkippedAndTheTransferFails) {
    test::WriteBytes(dir / "devc0.dat", Pattern(1792, 5));
    auto sim = Sim({"--refuse-block", "2"});
    job.rules.LastLoop = 0;
    const TransferResult result = Run(sim, TransferKind::SendDevices, 2);
    EXPECT_EQ(
        result.status,
        "传送设备信息失败！\n回路 0 第 2 块：烧写器在 1 秒内没有回答（或只回答 0xFF），应为 0x88");
    EXPECT_EQ(result.blocksStored, 7);
    // Block 1 went out as a lone 0x88; the others whole.
    EXPECT_EQ(sim.WaitReceived(4 + 7 * 226 + 1).size(), 4u + 7 * 226 + 1);
}

TEST_F(TransferTest, MissingCommitOrBurnerStoppingMidwayFails) {
    auto sim = Sim({"--no-commit", "3"});
    TransferResult result = Run(sim, TransferKind::SendPhrases, 2);
    EXPECT_EQ(
        result.status,
        "传送词库信息失败！\n词库第 3 组：烧写器在 1 秒内没有回答（或只回答 0xFF），应为 0x99");
    EXPECT_EQ(result.blocksStored, 15);

    // Stops answering inside the last group.
    auto dropping = Sim({"--drop-after", std::to_string(3 + 15 * 258 + 100)});
    result = Run(dropping, TransferKind::SendPhrases, 2);
    EXPECT_EQ(
        result.status,
        "传送词库信息失败！\n词库第 16 组：烧写器在 1 秒内没有回答（或只回答 0xFF），应为 0x99");
    EXPECT_EQ(result.blocksStored, 15);
}

// A block counts as stored only once the burner confirmed it with 0x99.
TEST_F(TransferTest, EveryBlockKindCountsOnlyConfirmedBlocks) {
    job.rules.LastLoop = 0;
    job.rules.LastAddress = 1;  // model 1: two log records
    job.rules.LastLogic = 7;    // model 2: blocks 0 and 1 of four rules
    const std::string noAnswer = "：烧写器在 1 秒内没有回答（或只回答 0xFF），应为 0x99";
    struct Case {
        TransferKind kind;
        int model;
        int stored, expected;
        std::string where;
    };
    for (const Case& c :
         {Case{TransferKind::SendNodes, 2, 0, 1, "传送节点信息失败！\n节点信息"},
          Case{TransferKind::SendDevices, 2, 0, 1, "传送设备信息失败！\n回路 0 第 1 块"},
          Case{TransferKind::SendNames, 2, 0, 1, "传送中文名称信息失败！\n回路 0 第 1 块"},
          Case{TransferKind::SendLogic, 2, 1, 2, "传送逻辑信息失败！\n逻辑块 1"},
          Case{TransferKind::SendLogic, 1, 1, 2, "传送逻辑信息失败！\n回路 0 地址 1"},
          Case{TransferKind::SendPhrases, 2, 15, 16, "传送词库信息失败！\n词库第 2 组"}}) {
        // The last block of the run goes unconfirmed (phrases: the second).
        const int unconfirmed = c.kind == TransferKind::SendPhrases ? 2 : c.expected;
        auto sim =
            Sim({"--model", std::to_string(c.model), "--no-commit", std::to_string(unconfirmed)});
        const TransferResult result = Run(sim, c.kind, c.model);
        EXPECT_EQ(result.outcome, TransferOutcome::Failure) << c.where;
        EXPECT_EQ(result.status, c.where + noAnswer);
        EXPECT_EQ(result.blocksStored, c.stored) << c.where;
        EXPECT_EQ(result.blocksExpected, c.expected) << c.where;
    }
}

TEST_F(TransferTest, MissingPortEndsInTheNoAnswerPath) {
    job.kind = TransferKind::SendDevices;
    job.model = 2;
    job.rules.LastLoop = 1;
    job.project = store::ProjectDir(dir.path());
    job.address = {3, "/dev/velsend-no-such-port"};
    TransferEngine engine(port, recorder, recorder.Pauses());
    const TransferResult result = engine.Run(job);
    EXPECT_EQ(result.status, "传送设备信息失败！");
    // The first connection fails and stops all loops.
    ASSERT_EQ(recorder.portFailures.size(), 1u);
    EXPECT_EQ(recorder.portFailures[0].rfind("没有发现 COM3 串口", 0), 0u);
}

TEST_F(TransferTest, CancelStopsBetweenBlocksAndClosesThePort) {
    auto sim = Sim();
    struct Canceller : test::TransferRecorder {
        std::atomic<bool>* flag = nullptr;
        void SetPosition(int position) override {
            TransferRecorder::SetPosition(position);
            if (position == 160) flag->store(true);  // first stored block
        }
    } canceller;
    canceller.flag = &cancel;
    job.kind = TransferKind::SendDevices;
    job.model = 2;
    job.project = store::ProjectDir(dir.path());
    job.address = {1, sim.path()};
    TransferEngine engine(port, canceller, canceller.Pauses(), &cancel);
    const TransferResult result = engine.Run(job);
    EXPECT_EQ(result.outcome, TransferOutcome::Cancelled);
    EXPECT_EQ(result.blocksStored, 1);
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace velsend::burner

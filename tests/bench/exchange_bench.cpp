// Packs and prints a full project (256 loops of 256 installed devices, names,
// phrases, 1000 logic rules) and prints the times. The target is under
// 100 ms for each; the figures are printed, not asserted.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "core/exchange/sd_pack.h"
#include "core/exchange/text_print.h"
#include "temp_dir.h"

namespace velsend::exchange {
namespace {

void WriteFullProject(const test::TempDir& dir) {
    std::vector<std::uint8_t> devc(1792), ch(4096, 'N'), word(4096, 'W');
    for (std::size_t a = 0; a < 256; ++a) {
        devc[a * 7] = static_cast<std::uint8_t>(0x80 | ((a % 4) << 5) | (a % 16));
        devc[a * 7 + 3] = static_cast<std::uint8_t>(a);
        devc[a * 7 + 6] = static_cast<std::uint8_t>(a);
    }
    for (int loop = 0; loop < 256; ++loop) {
        test::WriteBytes(dir / ("devc" + std::to_string(loop) + ".dat"), devc);
        test::WriteBytes(dir / ("ch" + std::to_string(loop) + ".dat"), ch);
    }
    test::WriteBytes(dir / "word.dat", word);
    const std::string rule = "Ta1001=Mb2002=M13003=M13004=M13005";
    for (int n = 0; n < 1000; ++n)
        test::WriteBytes(dir / ("logic" + std::to_string(n) + ".dat"), {rule.begin(), rule.end()});
}

double Millis(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

TEST(ExchangeBench, PackAndPrintAFullProject) {
    test::TempDir dir;
    WriteFullProject(dir);
    const store::ProjectDir project(dir.path());
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"sd-pack KA", [&] { ASSERT_TRUE(PackSdCard(project, base::SdFamily::KA, 1, 240).ok()); }},
        {"sd-pack KBX",
         [&] { ASSERT_TRUE(PackSdCard(project, base::SdFamily::KBX, 1, 254).ok()); }},
        {"print model 2", [&] { ASSERT_TRUE(WriteTextPrintFiles(project, 2).ok()); }},
        {"print model 1", [&] { ASSERT_TRUE(WriteTextPrintFiles(project, 1).ok()); }},
        // The texts alone, without the file system: what the program itself adds.
        {"print texts",
         [&] {
             const std::vector<std::uint8_t> devc = test::ReadBytes(dir / "devc0.dat");
             const std::vector<std::uint8_t> words = test::ReadBytes(dir / "word.dat");
             const std::vector<std::uint8_t> ch = test::ReadBytes(dir / "ch0.dat");
             std::size_t bytes = 0;
             for (int loop = 0; loop < 256; ++loop)
                 bytes += LoopText(2, loop, devc, words, ch, {}).size();
             ASSERT_GT(bytes, 0u);
         }},
    };
    constexpr int kRuns = 5;
    std::printf("%-14s %10s %10s %10s\n", "task", "min ms", "median ms", "target ms");
    for (const Case& c : cases) {
        std::vector<double> times;
        for (int i = 0; i < kRuns; ++i) times.push_back(Millis(c.run));
        std::sort(times.begin(), times.end());
        std::printf("%-14s %10.1f %10.1f %10d\n", c.name, times.front(), times[kRuns / 2], 100);
    }
    EXPECT_EQ(test::ReadBytes(dir / "MXKA001.dat").size(), 327680u);
}

}  // namespace
}  // namespace velsend::exchange

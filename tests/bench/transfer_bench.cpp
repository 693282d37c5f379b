// Runs the device, logic and phrase transfers of a whole project with the
// default rules against the simulator and compares the wall time with the
// pauses the protocol itself requires; then the same with the serial trace on.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "core/burner/serial_trace.h"
#include "core/burner/transfer_engine.h"
#include "core/demo/demo_project.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "transfer_recorder.h"

namespace velsend::burner {
namespace {

TEST(TransferBench, WallTimeStaysCloseToTheRequiredPauses) {
    test::TempDir dir;
    const auto written = demo::WriteDemoProject(store::ProjectDir(dir.path()));
    ASSERT_TRUE(written) << written.error().Full();
    test::SimProcess sim({}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());

    struct Case {
        const char* name;
        burner::TransferKind kind;
        int connections;  // with the default rules
    };
    const Case cases[] = {{"devices", TransferKind::SendDevices, 4},
                          {"logic", TransferKind::SendLogic, 1},
                          {"phrases", TransferKind::SendPhrases, 1}};
    // Each kind runs a few times: the figures are the fastest and the median
    // run; the fastest shows what the program adds to the pauses, the median
    // what a user sees on a busy machine.
    constexpr int kRuns = 5;
    std::printf("%-8s %10s %10s %12s %12s %8s\n", "kind", "min ms", "median ms", "pauses ms",
                "limit ms", "ratio");
    // The same runs with the serial trace on, interleaved with the plain ones
    // so a busy moment of the machine hits both alike.
    SerialTrace trace;
    ASSERT_TRUE(trace.Start(dir / "trace.log").ok());
    std::vector<std::pair<double, double>> traceRatios;  // fastest, median
    for (const Case& c : cases) {
        std::vector<double> walls, tracedWalls;
        long required = 0;
        for (int run = 0; run < 2 * kRuns; ++run) {
            const bool tracing = run % 2 == 1;
            BurnerPort port;
            if (tracing) port.SetTrace(trace);
            test::TransferRecorder recorder;
            required = 0;
            auto pause = [&](int ms) {
                required += ms;
                SleepPause(ms);
            };
            TransferEngine engine(port, recorder, pause);
            TransferJob job;  // default rules, model 2
            job.kind = c.kind;
            job.project = store::ProjectDir(dir.path());
            job.address = {1, sim.path()};
            const auto start = std::chrono::steady_clock::now();
            const TransferResult result = engine.Run(job);
            (tracing ? tracedWalls : walls)
                .push_back(std::chrono::duration<double, std::milli>(
                               std::chrono::steady_clock::now() - start)
                               .count());
            EXPECT_TRUE(result.Succeeded()) << c.name << ": " << result.status;
        }
        std::sort(walls.begin(), walls.end());
        std::sort(tracedWalls.begin(), tracedWalls.end());
        traceRatios.emplace_back(tracedWalls.front() / walls.front(),
                                 tracedWalls[kRuns / 2] / walls[kRuns / 2]);
        const double limit = 1.10 * static_cast<double>(required) + 50.0 * c.connections;
        std::printf("%-8s %10.1f %10.1f %12ld %12.1f %8.3f\n", c.name, walls.front(),
                    walls[kRuns / 2], required, limit,
                    walls.front() / static_cast<double>(required));
        EXPECT_LE(walls.front(), limit) << c.name;
    }
    ASSERT_TRUE(trace.Stop().ok());
    std::printf("\ntrace on / off  %-8s %10s %10s\n", "kind", "fastest", "median");
    for (std::size_t i = 0; i < std::size(cases); ++i)
        std::printf("               %-8s %10.4f %10.4f\n", cases[i].name, traceRatios[i].first,
                    traceRatios[i].second);
}

}  // namespace
}  // namespace velsend::burner

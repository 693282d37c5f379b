// Runs the device, logic and phrase transfers of a whole project with the
// default rules against the simulator and compares the wall time with the
// pauses the protocol itself requires.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "app/demo_project.h"
#include "burner/transfer_engine.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "transfer_recorder.h"

namespace velsend::burner {
namespace {

TEST(TransferBench, WallTimeStaysCloseToTheRequiredPauses) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(app::WriteDemoProject(store::ProjectDir(dir.path()), error)) << error;
    test::SimProcess sim({}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());

    struct Case {
        const char* name;
        int kind;
        int connections;  // with the default rules
    };
    const Case cases[] = {
        {"devices", kSendDevices, 4}, {"logic", kSendLogic, 1}, {"phrases", kSendPhrases, 1}};
    std::printf("%-8s %10s %12s %12s %8s\n", "kind", "wall ms", "pauses ms", "limit ms", "ratio");
    for (const Case& c : cases) {
        CComm port;
        test::TransferRecorder recorder;
        long required = 0;
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
        const double wall =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        EXPECT_TRUE(result.Succeeded()) << c.name << ": " << result.status;
        const double limit = 1.10 * static_cast<double>(required) + 50.0 * c.connections;
        std::printf("%-8s %10.1f %12ld %12.1f %8.3f\n", c.name, wall, required, limit,
                    wall / static_cast<double>(required));
        EXPECT_LE(wall, limit) << c.name;
    }
}

}  // namespace
}  // namespace velsend::burner

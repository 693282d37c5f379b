#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/burner/serial_port.h"
#include "sim_process.h"

namespace velsend::test {

// What the simulator received before a marker byte sent now. A refused
// command must have sent nothing: the marker is then the first byte logged.
// Order proves it, where a pause only hopes stray bytes would have come.
inline std::vector<int> ReceivedBeforeMarker(const SimProcess& sim) {
    constexpr int kMarker = 0xA5;
    burner::BurnerPort port;
    EXPECT_TRUE(port.Open({1, sim.path()}).ok) << "the simulator's port would not open";
    EXPECT_TRUE(port.WriteByte(kMarker));
    port.Close();
    std::vector<int> got;
    for (std::size_t n = 1; n < 64; ++n) {
        got = sim.WaitReceived(n, 5000);
        const auto marker = std::find(got.begin(), got.end(), kMarker);
        if (marker != got.end()) return {got.begin(), marker};
        if (got.size() < n) break;
    }
    ADD_FAILURE() << "the marker byte never reached the simulator";
    return got;
}

}  // namespace velsend::test

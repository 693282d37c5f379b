#include "burner.h"

#include <gtest/gtest.h>

namespace velsend::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BurnerSim, EchoesTheHandshakeAndTakesTheModelCode) {
    Burner burner;
    EXPECT_EQ(burner.Feed(0x10), Bytes{0x10});
    EXPECT_EQ(burner.Feed(0x03), Bytes{});
    EXPECT_EQ(burner.ModelCode(), 3);
    // A second handshake is a fresh one.
    EXPECT_EQ(burner.Feed(0x10), Bytes{0x10});
    EXPECT_EQ(burner.Feed(0x04), Bytes{});
    EXPECT_EQ(burner.ModelCode(), 4);
}

TEST(BurnerSim, FaultOptions) {
    Burner silent({.silent = true, .answer = {}});
    EXPECT_EQ(silent.Feed(0x10), Bytes{});

    Burner odd({.silent = false, .answer = 0x60});
    EXPECT_EQ(odd.Feed(0x10), Bytes{0x60});
    EXPECT_EQ(odd.Feed(0x02), Bytes{});
    EXPECT_EQ(odd.ModelCode(), 0);
}

}  // namespace
}  // namespace velsend::sim

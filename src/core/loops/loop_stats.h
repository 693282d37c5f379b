#pragma once

#include <array>
#include <string_view>

#include "core/store/device_store.h"

namespace velsend::loops {

inline constexpr int kTypeCounterCount = 85;

// How many devices are installed on one loop, by class and by type.
// Counters 0..20 are the alarm types, 21..52 the module types, 53..84 the
// borrowed-address types. An alarm record whose type is above 20 counts in
// the total and the alarm count only: no counter is its own.
struct LoopCounts {
    int total = 0;
    std::array<int, 4> byClass{};  // indexed by product class
    std::array<int, kTypeCounterCount> byType{};
};

LoopCounts CountDevices(const store::DeviceFile& devices);
// An absent file counts as an empty loop.
LoopCounts CountLoop(const store::ProjectDir& dir, int loop);

// The labels beside the counters, in counter order.
std::string_view CounterLabel(int counter);

}  // namespace velsend::loops

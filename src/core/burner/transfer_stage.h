#pragma once

#include <optional>
#include <string>

namespace velsend::burner {

// Which part of a long transfer is under way: the loop of a device, name or
// per-device logic transfer, or the logic block (and the rules it carries).
// The bar restarts for every loop; the stage says where the whole run is.
struct TransferStage {
    enum class Unit { Loop, Rules };
    Unit unit = Unit::Loop;
    int index = 0;  // 0-based: the stage under way
    int count = 0;  // stages in all
    int firstRule = 0;  // Rules: the rules this block carries
    int lastRule = 0;

    friend bool operator==(const TransferStage&, const TransferStage&) = default;
};

// Turns the latest stage and bar position into the line under the bar:
// "回路 3 / 8　总进度 37%　剩余约 1 分 05 秒". Times are seconds from any
// fixed start, so tests can give their own.
class StageTracker {
  public:
    void Start(double now);
    void Enter(const TransferStage& stage);
    bool HasStage() const { return stage_.has_value(); }

    // 0..1 over the whole run: finished stages plus, within a loop, the
    // bar's share of it.
    double Share(int position, int range) const;
    // Nothing until enough of the run is done to tell (2 % and one second).
    std::optional<int> SecondsLeft(int position, int range, double now) const;
    std::string Line(int position, int range, double now) const;

  private:
    std::optional<TransferStage> stage_;
    double start_ = 0;
};

// "45 秒", "1 分 05 秒".
std::string DurationText(int seconds);

}  // namespace velsend::burner

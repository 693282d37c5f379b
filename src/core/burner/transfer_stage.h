#pragma once

#include <optional>
#include <string>
#include <utility>

namespace velsend::burner {

// Which part of a long transfer is under way: the loop of a device, name or
// per-device logic transfer, or the rule being sent (and the rules its logic
// block carries). The bar restarts for every loop; the stage says where the
// whole run is.
// A chip copy of several phases (backup, write, verify) has one bar over
// all of them and names the phase under way.
struct TransferStage {
    enum class Unit { Loop, Rules, Phase };
    TransferStage(Unit u = Unit::Loop, int i = 0, int n = 0, int first = 0, int last = 0,
                  std::string name = {})
        : unit(u), index(i), count(n), firstRule(first), lastRule(last), phase(std::move(name)) {}
    Unit unit = Unit::Loop;
    int index = 0;      // 0-based: the loop or rule under way
    int count = 0;      // loops or rules in all
    int firstRule = 0;  // Rules: the rules the block under way carries
    int lastRule = 0;
    std::string phase;  // Phase: "写入芯片"

    friend bool operator==(const TransferStage&, const TransferStage&) = default;
};

// Turns the latest stage and bar position into the line under the bar:
// "回路 3 / 8　总进度 37%　剩余约 1 分 05 秒". Times are seconds from any
// fixed start, so tests can give their own.
class StageTracker {
  public:
    void Start(double now);
    void Enter(const TransferStage& stage);
    // The run has ended: a whole run shows its last stage done and 100 %,
    // any run stops telling the time left.
    void Finish(bool whole);
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
    bool ended_ = false;
};

// "45 秒", "1 分 05 秒".
std::string DurationText(int seconds);

}  // namespace velsend::burner

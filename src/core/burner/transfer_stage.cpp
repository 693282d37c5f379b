#include "core/burner/transfer_stage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velsend::burner {

void StageTracker::Start(double now) {
    start_ = now;
    stage_.reset();
}

void StageTracker::Enter(const TransferStage& stage) {
    stage_ = stage;
}

double StageTracker::Share(int position, int range) const {
    if (!stage_ || stage_->count <= 0) return 0;
    // The bar runs within a loop; a logic block is one step of its own.
    const double within = stage_->unit == TransferStage::Unit::Loop && range > 0
                              ? std::clamp(double(position) / range, 0.0, 1.0)
                              : 0.0;
    return std::clamp((stage_->index + within) / stage_->count, 0.0, 1.0);
}

std::optional<int> StageTracker::SecondsLeft(int position, int range, double now) const {
    const double share = Share(position, range);
    const double spent = now - start_;
    if (share < 0.02 || spent < 1.0) return std::nullopt;
    return static_cast<int>(std::lround(spent / share * (1.0 - share)));
}

std::string DurationText(int seconds) {
    if (seconds < 60) return std::to_string(seconds) + " 秒";
    char text[32];
    std::snprintf(text, sizeof text, "%d 分 %02d 秒", seconds / 60, seconds % 60);
    return text;
}

std::string StageTracker::Line(int position, int range, double now) const {
    if (!stage_) return {};
    const TransferStage& s = *stage_;
    std::string line;
    const std::string of = std::to_string(s.index + 1) + " / " + std::to_string(s.count);
    if (s.unit == TransferStage::Unit::Loop) {
        line = "回路 " + of;
    } else {
        line = "逻辑 " + std::to_string(s.firstRule);
        if (s.lastRule != s.firstRule) line += "–" + std::to_string(s.lastRule);
        line += "（" + of + "）";
    }
    line += "　总进度 " + std::to_string(static_cast<int>(Share(position, range) * 100)) + "%";
    const std::optional<int> left = SecondsLeft(position, range, now);
    line += left ? "　剩余约 " + DurationText(*left) : std::string("　剩余时间估算中");
    return line;
}

}  // namespace velsend::burner

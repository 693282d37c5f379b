#include "core/burner/transfer_stage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velsend::burner {

void StageTracker::Start(double now) {
    start_ = now;
    stage_.reset();
    ended_ = false;
}

void StageTracker::Finish(bool whole) {
    ended_ = true;
    if (whole && stage_ && stage_->count > 0) stage_->index = stage_->count;
}

void StageTracker::Enter(const TransferStage& stage) {
    stage_ = stage;
}

double StageTracker::Share(int position, int range) const {
    if (!stage_ || stage_->count <= 0) return 0;
    // Phases share one bar over the whole operation.
    if (stage_->unit == TransferStage::Unit::Phase) {
        if (ended_ && stage_->index >= stage_->count) return 1.0;
        return range > 0 ? std::clamp(double(position) / range, 0.0, 1.0) : 0.0;
    }
    // The bar runs within a loop; a rule is one step of its own.
    const double within = stage_->unit == TransferStage::Unit::Loop && range > 0
                              ? std::clamp(double(position) / range, 0.0, 1.0)
                              : 0.0;
    return std::clamp((stage_->index + within) / stage_->count, 0.0, 1.0);
}

namespace {
// "3 / 8": the stage under way, or all of them once a whole run has ended.
std::string OfText(const TransferStage& s) {
    return std::to_string(std::min(s.index + 1, s.count)) + " / " + std::to_string(s.count);
}
}  // namespace

std::optional<int> StageTracker::SecondsLeft(int position, int range, double now) const {
    const double share = Share(position, range);
    const double spent = now - start_;
    if (ended_ || share < 0.02 || spent < 1.0) return std::nullopt;
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
    const std::string of = OfText(s);
    if (s.unit == TransferStage::Unit::Phase) {
        line = s.phase + " " + std::to_string(std::min(s.index + 1, s.count)) + "/" +
               std::to_string(s.count);
    } else if (s.unit == TransferStage::Unit::Loop) {
        line = "回路 " + of;
    } else {
        line = "逻辑 " + std::to_string(s.firstRule);
        if (s.lastRule != s.firstRule) line += "–" + std::to_string(s.lastRule);
        line += "（" + of + "）";
    }
    line += "　总进度 " + std::to_string(static_cast<int>(Share(position, range) * 100)) + "%";
    const std::optional<int> left = SecondsLeft(position, range, now);
    if (left) {
        line += "　剩余约 " + DurationText(*left);
    } else if (!ended_) {
        line += "　剩余时间估算中";
    }
    return line;
}

}  // namespace velsend::burner

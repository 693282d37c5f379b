#pragma once

#include <string>
#include <vector>

#include "core/burner/transfer_engine.h"

namespace velsend::test {

// Records what a transfer shows and which pauses it asks for, without sleeping.
class TransferRecorder : public burner::TransferObserver {
  public:
    void SetRange(int upper) override { ranges.push_back(upper); }
    void SetPosition(int position) override { positions.push_back(position); }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetStage(const burner::TransferStage& stage) override { stages.push_back(stage); }
    void PortNotOpened(const burner::OpenResult& result) override {
        portFailures.push_back(result.message);
    }
    burner::PauseFunction Pauses() {
        return [this](int ms) {
            pauseTotal += ms;
            ++pauseCount;
        };
    }

    std::vector<int> ranges;
    std::vector<int> positions;
    std::vector<std::string> statuses;
    std::vector<burner::TransferStage> stages;
    std::vector<std::string> portFailures;
    long pauseTotal = 0;
    int pauseCount = 0;
};

}  // namespace velsend::test

#include "burner.h"

namespace velsend::sim {

std::vector<std::uint8_t> Burner::Feed(std::uint8_t byte) {
    std::vector<std::uint8_t> reply;
    switch (state_) {
        case State::Idle:
            if (byte == 0x10) {
                if (options_.answer) {
                    reply.push_back(*options_.answer);
                } else {
                    reply.push_back(0x10);
                    state_ = State::AwaitModelCode;
                }
            }
            break;
        case State::AwaitModelCode:
            modelCode_ = byte;
            state_ = State::Idle;
            break;
    }
    if (options_.silent) reply.clear();
    return reply;
}

}  // namespace velsend::sim

#pragma once

#include <string_view>

#include "base/user_prompt.h"
#include "core/burner/port_list.h"
#include "core/burner/serial_port.h"
#include "core/burner/transfer_rules.h"

namespace velsend::burner {

inline constexpr std::string_view kBurnerNotAnswering =
    "烧写器没有上电 或 通讯线没有连接电脑，仍然执行此操作吗?";

enum class SelectionOutcome {
    Selected,         // the burner answered and got the model's code
    SelectedUnheard,  // the burner did not answer; the user chose to go on
    Refused,          // the burner did not answer and the user said No
};

// Selects controller model `code`: the one-byte handshake with the burner on
// the rules' port, or the user's word when it stays silent. The caller keeps
// the model unless the outcome is Refused; the port is closed again either way.
SelectionOutcome SelectModel(burner::BurnerPort& port, burner::PortList& ports,
                             const burner::TransferRules& rules, int code,
                             base::UserPrompt& prompt);

}  // namespace velsend::burner

#include "core/burner/model_selection.h"

#include "core/burner/handshake.h"

namespace velsend::app {

using namespace velsend::base;

SelectionOutcome SelectModel(RunState& state, int code, UserPrompt& prompt) {
    const ControllerModelInfo& model = ModelInfo(code);
    burner::BurnerPort& port = state.BurnerPort;
    state.Ports.Rescan();

    const burner::OpenResult opened =
        burner::OpenBurnerConnection(port, state.BurnerAddress(), state.Rules.BaudRate);
    if (!opened) prompt.Inform(opened.message, opened.caption.value_or(std::string(kAppTitle)));

    const burner::HandshakeResult handshake = burner::Handshake(port, model.handshakeCode);
    SelectionOutcome outcome = SelectionOutcome::Selected;
    if (!handshake.answered) {
        if (!prompt.AskYesNo(std::string(kBurnerNotAnswering), std::string(kAppTitle))) {
            port.Close();
            return SelectionOutcome::Refused;
        }
        outcome = SelectionOutcome::SelectedUnheard;
    }
    state.ControllerModel = model.code;
    port.Close();
    return outcome;
}

}  // namespace velsend::app

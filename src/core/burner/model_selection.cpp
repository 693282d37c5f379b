#include "core/burner/model_selection.h"

#include "base/controller_model.h"
#include "core/burner/handshake.h"

namespace velsend::burner {

using namespace velsend::base;

SelectionOutcome SelectModel(burner::BurnerPort& port, burner::PortList& ports,
                             const burner::TransferRules& rules, int code, UserPrompt& prompt) {
    const ControllerModelInfo& model = ModelInfo(code);
    ports.Rescan();

    // The device the user chose, wherever it is numbered now, as transfers find it.
    const burner::OpenResult opened = burner::OpenBurnerConnection(
        port, ports.AddressFor(rules.PortIndex, rules.PortIdentity), rules.BaudRate);
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
    port.Close();
    return outcome;
}

}  // namespace velsend::burner

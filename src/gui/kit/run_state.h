#pragma once

#include <cstdint>
#include <filesystem>

#include "base/controller_model.h"
#include "base/user_prompt.h"
#include "core/burner/backup.h"
#include "core/burner/model_selection.h"
#include "core/burner/port_list.h"
#include "core/burner/serial_port.h"
#include "core/burner/transfer_engine.h"
#include "core/burner/transfer_rules.h"
#include "core/store/node_records.h"
#include "core/store/project_files.h"

namespace velsend::base {

// The values the whole program shares for one run. None of it is saved: every
// start begins with these defaults. One instance is owned by the application
// (or by a test) and handed to whoever needs it.
struct RunState {
    int ControllerModel = kDefaultModel;
    // The kind of the last transfer command chosen.
    burner::TransferKind TransferKind = burner::TransferKind::SendPhrases;
    int BusDeviceClass = -1;
    int PhraseInitMode = -1;
    burner::TransferRules Rules;
    burner::PortList Ports;
    burner::BurnerPort BurnerPort;
    store::ProjectDir Project;
    // The node records live for the whole run: a dialog shows them when their
    // file is absent, the node transfer reads its file into them.
    store::NineByteNodeRecord Node9;
    store::TenByteNodeRecord Node10;
    // The loop the first family's loop query asks about next.
    int QueryLoop = 0;
    // The first family's type chooser and class dialogs: the device they
    // stand on, moved on after every confirmed edit.
    int CurrentLoop = 0;
    int CurrentAddress = 0;
    // What quick set showed last.
    int QuickSetLoop = 0;
    int QuickSetClass = 0;
    // The last SD-card pack's controller identifier and start loop.
    int SdControllerId = 0;
    int SdStartLoop = 0;
    // The VELNET import's range, kept for the next import, and the folder
    // its files come from (empty: exchange::DefaultVelnetFolder()).
    std::uint32_t VelnetFirstLoop = 0;
    std::uint32_t VelnetLastLoop = 0;
    std::filesystem::path VelnetFolder;

    // The port the rules point at, with its device path: the device the user
    // chose, wherever the last scan put it.
    burner::PortAddress BurnerAddress() const {
        return Ports.AddressFor(Rules.PortIndex, Rules.PortIdentity);
    }
};

// The job one press of "开始" (or one `velsend-cli send`) runs: this run's
// model, rules, port and project, and the node records it keeps. The GUI
// hands the dialog copies of the records; the CLI its own.
inline burner::TransferJob MakeTransferJob(const RunState& state, burner::TransferKind kind,
                                           store::NineByteNodeRecord* node9,
                                           store::TenByteNodeRecord* node10) {
    burner::TransferJob job;
    job.kind = kind;
    job.model = state.ControllerModel;
    job.rules = state.Rules;
    job.address = state.BurnerAddress();
    job.project = state.Project;
    job.node9 = node9;
    job.node10 = node10;
    return job;
}

// A backup or restore with this run's model, port and speed.
inline std::optional<burner::ChipCopyJob> PrepareChipCopy(const RunState& state,
                                                          burner::ChipCopyKind kind,
                                                          const std::filesystem::path& typed,
                                                          UserPrompt& prompt,
                                                          bool otherSizeAccepted = false) {
    burner::ChipCopyJob job;
    job.model = state.ControllerModel;
    job.address = state.BurnerAddress();
    job.baud = state.Rules.BaudRate;
    return burner::PrepareChipCopy(job, kind, typed, prompt, otherSizeAccepted);
}

// Selects controller model `code` on this run's burner port; only a
// selection changes `state.ControllerModel`.
inline burner::SelectionOutcome SelectModel(RunState& state, int code, UserPrompt& prompt) {
    const burner::SelectionOutcome outcome =
        burner::SelectModel(state.BurnerPort, state.Ports, state.Rules, code, prompt);
    if (outcome != burner::SelectionOutcome::Refused) state.ControllerModel = ModelInfo(code).code;
    return outcome;
}

}  // namespace velsend::base

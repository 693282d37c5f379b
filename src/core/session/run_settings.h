#pragma once

#include <filesystem>
#include <optional>

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

namespace velsend::session {

// What one run of either shell works with: the model, the port, the transfer
// rules and the project. None of it is saved: every start begins with these
// defaults. The GUI's run state adds what its dialogs remember.
struct RunSettings {
    int ControllerModel = base::kDefaultModel;
    burner::TransferRules Rules;
    burner::PortList Ports;
    burner::BurnerPort BurnerPort;
    store::ProjectDir Project;
    // The node records live for the whole run: a dialog shows them when their
    // file is absent, the node transfer reads its file into them.
    store::NineByteNodeRecord Node9;
    store::TenByteNodeRecord Node10;

    // The port the rules point at, with its device path: the device the user
    // chose, wherever the last scan put it.
    burner::PortAddress BurnerAddress() const {
        return Ports.AddressFor(Rules.PortIndex, Rules.PortIdentity);
    }
};

// The job one press of "开始" (or one `velsend-cli send`) runs: this run's
// model, rules, port and project, and the node records it keeps. The GUI
// hands the dialog copies of the records; the CLI its own.
burner::TransferJob MakeTransferJob(const RunSettings& run, burner::TransferKind kind,
                                    store::NineByteNodeRecord* node9,
                                    store::TenByteNodeRecord* node10);

// A backup or restore with this run's model, port and speed (the checks and
// questions of burner::PrepareChipCopy).
std::optional<burner::ChipCopyJob> PrepareRunChipCopy(const RunSettings& run,
                                                      burner::ChipCopyKind kind,
                                                      const std::filesystem::path& typed,
                                                      base::UserPrompt& prompt,
                                                      bool otherSizeAccepted = false);

// Selects controller model `code` on this run's burner port
// (burner::SelectModel); only a selection changes `run.ControllerModel`.
burner::SelectionOutcome SelectRunModel(RunSettings& run, int code, base::UserPrompt& prompt);

}  // namespace velsend::session

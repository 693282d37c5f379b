#include "core/session/run_settings.h"

namespace velsend::session {

burner::TransferJob MakeTransferJob(const RunSettings& run, burner::TransferKind kind,
                                    store::NineByteNodeRecord* node9,
                                    store::TenByteNodeRecord* node10) {
    burner::TransferJob job;
    job.kind = kind;
    job.model = run.ControllerModel;
    job.rules = run.Rules;
    job.address = run.BurnerAddress();
    job.project = run.Project;
    job.node9 = node9;
    job.node10 = node10;
    return job;
}

std::optional<burner::ChipCopyJob> PrepareRunChipCopy(const RunSettings& run,
                                                      burner::ChipCopyKind kind,
                                                      const std::filesystem::path& typed,
                                                      base::UserPrompt& prompt,
                                                      bool otherSizeAccepted) {
    burner::ChipCopyJob job;
    job.model = run.ControllerModel;
    job.address = run.BurnerAddress();
    job.baud = run.Rules.BaudRate;
    return burner::PrepareChipCopy(job, kind, typed, prompt, otherSizeAccepted);
}

burner::SelectionOutcome SelectRunModel(RunSettings& run, int code, base::UserPrompt& prompt) {
    const burner::SelectionOutcome outcome =
        burner::SelectModel(run.BurnerPort, run.Ports, run.Rules, code, prompt);
    if (outcome != burner::SelectionOutcome::Refused)
        run.ControllerModel = base::ModelInfo(code).code;
    return outcome;
}

}  // namespace velsend::session

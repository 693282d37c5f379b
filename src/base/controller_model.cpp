#include "base/controller_model.h"

#include <array>
#include <stdexcept>

#include "base/command_ids.h"

namespace velsend::base {
namespace {

constexpr std::array<ControllerModelInfo, 6> kModels{{
    {1, "MX300KA(老)", 128, "MX300KA(老)", 1, ID_MODEL_1},
    {2, "MX300KA(新)、MX300KAⅡ(新、老)", 136, "MX300KA(新)、MX300KAⅡ(新、老)", 2, ID_MODEL_2},
    {3, "MX300KBX(W29C020)", 175, "MX300KBX(W29C020)", 3, ID_MODEL_3},
    {4, "MX300KBX(AT29C020)", 175, "MX300KBX(AT29C020)", 4, ID_MODEL_4},
    // The MX300KC pair speaks to the burner with the codes of the MX300KBX
    // variant that has the same flash chip.
    {5, "MX300KC(W29C020)", 178, "MX300KC(W29C020)", 3, ID_MODEL_5},
    {6, "MX300KC(AT29C020)", 178, "MX300KC(AT29C020)", 4, ID_MODEL_6},
}};

}  // namespace

bool IsValidModel(int code) {
    return code >= kFirstModel && code <= kLastModel;
}

const ControllerModelInfo& ModelInfo(int code) {
    if (!IsValidModel(code)) throw std::out_of_range("controller model " + std::to_string(code));
    return kModels[static_cast<std::size_t>(code - 1)];
}

std::string MainCaption(int code) {
    return std::string(kDocumentTitle) + " - " + std::string(ModelInfo(code).captionSuffix);
}

}  // namespace velsend::base

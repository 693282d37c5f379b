#include "base/controller_model.h"

#include <array>
#include <stdexcept>

#include "base/command_ids.h"

namespace velsend::base {
namespace {

constexpr FamilyTraits kKAOld{
    Family::KAOld, NodeRecordKind::NineByte,   1000,           120, 4,    true, true, false, 8, 32,
    1024,          LoopQueryStyle::SingleLoop, SdFamily::None, 16,  false};
constexpr FamilyTraits kKANew{
    Family::KANew, NodeRecordKind::TenByte,    1000,         120, 4,   false, false, true, 16, 16,
    2048,          LoopQueryStyle::Statistics, SdFamily::KA, 32,  true};
constexpr FamilyTraits kKBXW{
    Family::KBX, NodeRecordKind::NineByte,   256,           80, 4,    false, false, false, 16, 16,
    1024,        LoopQueryStyle::Statistics, SdFamily::KBX, 32, false};
constexpr FamilyTraits kKBXA{
    Family::KBX, NodeRecordKind::NineByte,   256,           80, 2,    false, false, false, 16, 16,
    1024,        LoopQueryStyle::Statistics, SdFamily::KBX, 32, false};
constexpr FamilyTraits kKC{
    Family::KC, NodeRecordKind::None, 1000,           120, 4,    false, false, true, 16, 16,
    1024,       LoopQueryStyle::None, SdFamily::None, 0,   false};

constexpr std::array<ControllerModelInfo, 6> kModels{{
    {1, "MX300KA(老)", 128, "MX300KA(老)", 1, ID_MODEL_1, kKAOld},
    {2, "MX300KA(新)、MX300KAⅡ(新、老)", 136, "MX300KA(新)、MX300KAⅡ(新、老)", 2, ID_MODEL_2,
     kKANew},
    {3, "MX300KBX(W29C020)", 175, "MX300KBX(W29C020)", 3, ID_MODEL_3, kKBXW},
    {4, "MX300KBX(AT29C020)", 175, "MX300KBX(AT29C020)", 4, ID_MODEL_4, kKBXA},
    // The MX300KC pair speaks to the burner with the codes of the MX300KBX
    // variant that has the same flash chip.
    {5, "MX300KC(W29C020)", 178, "MX300KC(W29C020)", 3, ID_MODEL_5, kKC},
    {6, "MX300KC(AT29C020)", 178, "MX300KC(AT29C020)", 4, ID_MODEL_6, kKC},
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

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velsend::base {

inline constexpr int kFirstModel = 1;
inline constexpr int kLastModel = 6;
inline constexpr int kDefaultModel = 2;

inline constexpr std::string_view kAppTitle =
    "MX300K(A)/300K(A)2 控制器数据设置传送程序 Vel for MX300K(A)/300K(A)2";
inline constexpr std::string_view kDocumentTitle = "VelSend v10.1 (更新与2013.4.9)";

// The controller families. Rules that differ between them are traits of the
// model table below; code asks for a trait, never for a model number.
enum class Family { KAOld, KANew, KBX, KC };

enum class NodeRecordKind { None, NineByte, TenByte };       // node1.dat / node2.dat
enum class LoopQueryStyle { None, SingleLoop, Statistics };  // first family asks one loop
enum class SdFamily { None, KA, KBX };                       // SD-card pack layout

struct FamilyTraits {
    Family family;
    NodeRecordKind nodeRecord;
    int logicCapacity;     // numbered logic rules the chip holds
    int logicTextLimit;    // bytes of one rule's text
    int rulesPerBlock;     // logic rules in one transfer block
    bool perDeviceLogic;   // logic travels in log%d.dat per loop, not numbered files
    bool oldModuleTypes;   // the first family's module type catalogue
    bool chineseNames;     // the device editor shows the Chinese name field
    int phraseGroupSize;   // phrases in one transfer group
    int phraseGroupRange;  // the phrase range one group covers
    int chipBlocks;        // 256-byte blocks of the chip image
    LoopQueryStyle loopQuery;
    SdFamily sdFamily;
    int deviceBlocks;         // 32-address blocks of one loop's device transfer; 0: none
    bool convertsLogicCodes;  // numbered rules go through the controller-code table
};

struct ControllerModelInfo {
    int code;
    std::string_view menuText;
    int menuBar;
    std::string_view captionSuffix;
    std::uint8_t handshakeCode;
    int selectCommand;  // the menu command that selects this model
    FamilyTraits traits;
};

bool IsValidModel(int code);
// Throws std::out_of_range for a code outside 1..6.
const ControllerModelInfo& ModelInfo(int code);
// The family traits of a valid model (throws as ModelInfo does).
inline const FamilyTraits& Traits(int code) {
    return ModelInfo(code).traits;
}
// "VelSend v10.1 (更新与2013.4.9) - " followed by the model's caption suffix.
std::string MainCaption(int code);

}  // namespace velsend::base

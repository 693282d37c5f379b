#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "core/store/device_store.h"
#include "core/store/project_files.h"

namespace velsend::exchange {

inline constexpr std::string_view kPrintDoneText = "设备信息文本文件生成完毕！";
inline constexpr std::string_view kPrintCaption = "生成文本打印文件";

struct PrintReport {
    int loopFiles = 0;       // devctext%d.txt written
    bool logicFile = false;  // logtext.txt written
    std::string message;     // kPrintDoneText
};

// Writes logtext.txt (models with numbered logic) and devctext%d.txt for every
// loop that has a devc%d.dat, as GBK text with CR LF. Raw text fields of the
// project files are copied byte for byte, zero padding included. Nothing else
// is written into the folder. A file that cannot be written does not stop the
// run; the result then names it.
base::Result<PrintReport> WriteTextPrintFiles(const store::ProjectDir& dir, int controllerModel);

// The text of one loop's file (GBK). `names` is used for the second name of
// the MX300KA(新) family, `deviceLogic` (log%d.dat, 32768 bytes) for the
// first family's logic lines; either may be empty when the model has none.
std::vector<std::uint8_t> LoopText(int controllerModel, int loop,
                                   std::span<const std::uint8_t> devices,
                                   std::span<const std::uint8_t> phrases,
                                   std::span<const std::uint8_t> names,
                                   std::span<const std::uint8_t> deviceLogic);

// The "逻辑000:  " label of one logtext.txt line (GBK).
std::string LogicLineLabel(int number);
// "05-007:\t", "a1-005:\t": the position label of a device block.
std::string PositionLabel(int loop, int address);

}  // namespace velsend::exchange

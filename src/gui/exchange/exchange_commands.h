#pragma once

#include "base/controller_model.h"

class QWidget;

namespace velsend::gui::kit {
class MessageService;
struct RunState;
}  // namespace velsend::gui::kit

namespace velsend::gui::exchange {

// The exchange menu's commands that run in one go: each asks what it needs,
// does its work and says what it did in a message box on `window`.

// "VELNET数据导入": the range and folder, then the import with its progress.
void RunVelnetImport(kit::RunState& state, kit::MessageService& messages, QWidget* window);
// "打印": the project's text files for printing.
void RunTextPrint(kit::RunState& state, kit::MessageService& messages, QWidget* window);
// The SD-card pack of the current model's family (none for the families
// without SD cards).
void RunSdPack(kit::RunState& state, kit::MessageService& messages, QWidget* window);
// The SD-card import of `family`'s cards, whatever model is selected.
void RunSdImport(kit::RunState& state, kit::MessageService& messages, QWidget* window,
                 base::SdFamily family);

}  // namespace velsend::gui::exchange

#pragma once

#include <cstdint>
#include <filesystem>

#include "core/session/run_settings.h"

namespace velsend::gui::kit {

// The GUI's run: the settings both shells share, and what its dialogs
// remember from one opening to the next. None of it is saved. One instance is
// owned by the application (or by a test) and handed to whoever needs it.
struct RunState : session::RunSettings {
    // The bus device class the last device command was for.
    int BusDeviceClass = -1;
    int PhraseInitMode = -1;
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
};

}  // namespace velsend::gui::kit

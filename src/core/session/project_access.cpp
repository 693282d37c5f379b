#include "core/session/project_access.h"

#include <algorithm>
#include <iterator>

#include "base/command_ids.h"
#include "base/project_lock.h"
#include "core/history/history.h"

namespace velsend::session {
namespace {

using namespace velsend::base;

// One row per thing done with a project: the CLI command (empty for what only
// the GUI does), the menu commands that do it (none for what only the CLI
// does) and its access. Unused menu slots are 0, which is no command id.
struct Operation {
    std::string_view command;
    int menuIds[11];
    unsigned access;
};

constexpr Operation kOperations[] = {
    {"select-model",
     {ID_MODEL_1, ID_MODEL_2, ID_MODEL_3, ID_MODEL_4, ID_MODEL_5, ID_MODEL_6},
     kNone},
    {"init", {ID_INITIALISE}, kWrites},
    {"demo", {}, kWrites},
    {"phrases", {ID_PHRASES_CLEAR, ID_PHRASES_COMMON}, kWrites},
    {"show", {}, kReads},
    {"logic", {}, kWrites},
    {"send",
     {ID_SEND_NODES, ID_SEND_DEVICES, ID_SEND_LOGIC, ID_SEND_PHRASES, ID_SEND_NAMES},
     kReads},
    {"erase", {ID_ERASE_CHIP}, kNone},
    {"ports", {ID_TRANSFER_RULES}, kNone},
    {"backup", {ID_BACKUP}, kNone},
    {"restore", {}, kNone},
    {"verify", {}, kNone},
    {"chip-backups", {}, kNone},
    {"copy-loop", {ID_LOOP_COPY}, kReadsWrites},
    {"quick-set", {ID_QUICK_SET}, kReadsWrites},
    {"excel-export", {ID_EXCEL_EXPORT}, kReads},
    {"excel-import", {ID_EXCEL_IMPORT_KA, ID_EXCEL_IMPORT_KBX}, kReadsWrites},
    {"template", {ID_STANDARD_TEMPLATE, ID_EXAMPLE_TEMPLATE}, kNone},
    {"diff", {}, kNone},
    {"sd-pack", {ID_SD_PACK}, kReads},
    {"sd-import", {ID_SD_IMPORT_KA, ID_SD_IMPORT_KBX}, kReadsWrites},
    {"print", {ID_TEXT_PRINT}, kReadsWrites},
    {"velnet-import", {ID_VELNET_IMPORT}, kReadsWrites},
    {"report", {}, kReads},
    {"history", {}, kReads},
    {"undo", {}, kReadsWrites},
    {"redo", {}, kReadsWrites},
    // The GUI's editors: they show the project's files and save them back.
    {"",
     {ID_NODE_SETTINGS, ID_ALARM_CLASS, ID_ZONE_DISPLAY_CLASS, ID_MODULE_CLASS, ID_BORROWED_CLASS,
      ID_DEVICE_DETAIL, ID_LOOP_QUERY, ID_LOGIC_SETTINGS, ID_PHRASE_EDITOR, ID_PROJECT_NAME,
      ID_PROJECT_DETAILS},
     kReadsWrites},
};

}  // namespace

unsigned CommandAccess(std::string_view name) {
    if (name.empty()) return kNone;
    for (const Operation& op : kOperations)
        if (op.command == name) return op.access;
    return kNone;
}

bool MenuCommandReadsProject(int id) {
    for (const Operation& op : kOperations)
        if ((op.access & kReads) && id != 0 &&
            std::find(std::begin(op.menuIds), std::end(op.menuIds), id) != std::end(op.menuIds))
            return true;
    return false;
}

base::Result<> OpenToRead(const store::ProjectDir& dir) {
    if (base::Result<> readable = store::CheckProjectFolder(dir); !readable) return readable;
    return base::OpenProjectFolder(dir.Root());
}

void HoldProject(const std::filesystem::path& folder) {
    base::ProjectLock::GuardWritesTo(folder);
    history::Install(folder);
}

}  // namespace velsend::session

#pragma once

#include <filesystem>
#include <string_view>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::session {

// What a command does with the project folder. A reading command refuses a
// folder with a project file that is there but unreadable: read as zeros it
// would be shown, sent or saved back as zeros. A writing command (of the CLI)
// holds the project lock from start to end, so that no other program's write
// falls between its reading and its writing.
enum Access : unsigned { kNone = 0, kReads = 1, kWrites = 2, kReadsWrites = kReads | kWrites };

// The access of the CLI command `name`; kNone for a name it does not know.
unsigned CommandAccess(std::string_view name);
// Whether the menu command `id` (base::CommandId) opens something that reads
// the project.
bool MenuCommandReadsProject(int id);

// Before a command reads the project: every project file must be readable
// (one that is there but cannot be read is an error, never zeros), and a
// commit another program left unfinished is completed (or waited for).
[[nodiscard]] base::Result<> OpenToRead(const store::ProjectDir& dir);

// What every program does with the project folder it works on: from now on
// this process's writes into `folder` hold the folder's lock, and each change
// it commits there is a step of the folder's history.
void HoldProject(const std::filesystem::path& folder);

}  // namespace velsend::session

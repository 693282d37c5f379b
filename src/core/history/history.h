#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "core/report/project_difference.h"

namespace velsend::history {

// Every change to a project's files, kept in the project folder
// (".velsend-history"): one step per command, with what each file held before
// and after, so that any change can be undone, even after a restart.
//
// Layout of the history folder (all written by this program, nothing else
// obeyed): "state" (the step in effect, the newest redoable one, the oldest
// kept, the bytes held), "<number>.step" (one step, text), "objects/<sha256>"
// (one kept content; a hard link to the replaced file where the file system
// allows, else a copy). A step and the state are committed in the journal of
// the change they record.

inline constexpr int kMaxSteps = 200;
inline constexpr std::uint64_t kMaxBytes = 100ull << 20;

// Error codes of refused undos and redos (base::Error::code).
inline constexpr int kNothingToDo = -3001;
inline constexpr int kChangedSince = -3002;

struct FileChange {
    std::string name;    // project file name ("devc5.dat")
    std::string before;  // SHA-256 of the content before; empty: there was no file
    std::string after;   // after; empty: the step removed it
};

struct Step {
    int number = 0;
    std::int64_t time = 0;  // seconds since 1970 (UTC)
    std::string program;    // "velsend-cli"
    std::string what;       // the user's words: "回路复制 0→5"
    std::vector<FileChange> files;
};

struct History {
    std::vector<Step> steps;             // oldest first
    int applied = 0;                     // the newest step in effect; later ones can be redone
    std::uint64_t bytes = 0;             // what the history folder holds
    const Step* Find(int number) const;  // nullptr when no kept step has it
    const Step* ToUndo() const;
    const Step* ToRedo() const;
};

// The history of `folder`; empty when it has none.
[[nodiscard]] base::Result<History> Load(const std::filesystem::path& folder);

// From now on every commit of this process to the project files in `folder`
// records a step (the words from base::ChangeText, else the files' names).
// Called again for another folder, that one is recorded instead.
void Install(const std::filesystem::path& folder);
void Uninstall();

// Puts back the files of the newest step in effect, as one commit under the
// project lock. Refused (kChangedSince, naming the files, nothing touched)
// when a file no longer holds what the step left, unless `force`;
// kNothingToDo when there is no step to undo.
[[nodiscard]] base::Result<Step> Undo(const std::filesystem::path& folder, bool force = false);
// Makes the newest undone step again; refused likewise when a file no longer
// holds what the undo left.
[[nodiscard]] base::Result<Step> Redo(const std::filesystem::path& folder, bool force = false);
// Removes the whole history.
[[nodiscard]] base::Result<> Clear(const std::filesystem::path& folder);

// A kept content by its hash, checked; nullopt for the empty hash (no file).
[[nodiscard]] base::Result<std::optional<std::vector<std::uint8_t>>> Content(
    const std::filesystem::path& folder, const std::string& hash);

// What the step changed, decoded: the lines `velsend-cli diff` prints for the
// project before and after it.
[[nodiscard]] base::Result<std::vector<report::ProjectDifference>> StepDifference(
    const std::filesystem::path& folder, const Step& step, int controllerModel);

// "2026-12-09 22:30:05", local time.
std::string FormatTime(std::int64_t time);
// "12.3 MB", "840 KB".
std::string FormatBytes(std::uint64_t bytes);

}  // namespace velsend::history

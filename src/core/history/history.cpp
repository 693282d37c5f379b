#include "core/history/history.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <unordered_set>

#include "base/file_write.h"
#include "base/platform/files.h"
#include "base/platform/system.h"
#include "base/project_lock.h"
#include "core/history/sha256.h"
#include "core/store/project_files.h"

namespace velsend::history {
namespace {

namespace fs = std::filesystem;
using base::Error;
using base::Result;

constexpr std::string_view kObjects = "objects";

fs::path HistoryFolder(const fs::path& folder) {
    return folder / base::kHistoryFolderName;
}
fs::path ObjectPath(const fs::path& folder, const std::string& hash) {
    return HistoryFolder(folder) / kObjects / hash;
}
fs::path StepPath(const fs::path& folder, int number) {
    return HistoryFolder(folder) / (std::to_string(number) + ".step");
}

bool IsProjectFileName(const std::string& name) {
    static const std::unordered_set<std::string> kNames = [] {
        const auto names = store::InitialisationFileNames();
        return std::unordered_set<std::string>(names.begin(), names.end());
    }();
    return kNames.count(name) != 0;
}

bool IsHash(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string HistoryText(std::string what) {
    return "修改历史：" + std::move(what);
}

Error HistoryError(const fs::path& file, int error) {
    return base::SystemError("无法写入修改历史“" + platform::PathToUtf8(file.filename()) + "”。",
                             error);
}

// What a file holds; nullopt when there is none. A project file is read as
// the file module reads it (through a link; anything but a regular file
// holds nothing, and is replaced by a write); a kept content must be a
// regular file of its own, never a link.
enum class Kind { ProjectFile, Kept };
Result<std::optional<std::vector<std::uint8_t>>> ReadFile(const fs::path& path,
                                                          Kind kind = Kind::ProjectFile) {
    std::error_code ec;
    const fs::file_status st =
        kind == Kind::Kept ? fs::symlink_status(path, ec) : fs::status(path, ec);
    if (ec || !fs::exists(st)) return std::optional<std::vector<std::uint8_t>>();
    if (!fs::is_regular_file(st)) {
        if (kind == Kind::ProjectFile) return std::optional<std::vector<std::uint8_t>>();
        return Error{store::ReadFailedText(path), "不是普通文件", EINVAL};
    }
    platform::ReadOnlyFile file(path);
    if (!file.IsOpen()) {
        if (platform::IsNotFoundError(file.Error()))
            return std::optional<std::vector<std::uint8_t>>();
        return base::SystemError(store::ReadFailedText(path), file.Error());
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    if (file.Error() != 0) return base::SystemError(store::ReadFailedText(path), file.Error());
    return std::optional<std::vector<std::uint8_t>>(std::move(bytes));
}

// The project file's content hash; empty when there is no file.
Result<std::string> HashOf(const fs::path& path) {
    auto bytes = ReadFile(path);
    if (!bytes) return bytes.error();
    return *bytes ? Sha256Hex(**bytes) : std::string();
}

struct State {
    int applied = 0;
    int last = 0;
    int first = 1;
    std::uint64_t bytes = 0;
};

State ReadState(const fs::path& folder) {
    State state;
    std::ifstream in(HistoryFolder(folder) / "state");
    for (std::string key; in >> key;) {
        long long value = 0;
        if (!(in >> value) || value < 0) break;
        if (key == "applied")
            state.applied = static_cast<int>(value);
        else if (key == "last")
            state.last = static_cast<int>(value);
        else if (key == "first")
            state.first = static_cast<int>(value);
        else if (key == "bytes")
            state.bytes = static_cast<std::uint64_t>(value);
    }
    if (state.first < 1) state.first = 1;
    if (state.last < state.applied) state.last = state.applied;
    // A state file is not trusted to make us walk far.
    if (state.last - state.first > 4 * kMaxSteps) state.first = state.last - 4 * kMaxSteps;
    return state;
}

std::string StateText(const State& s) {
    return "applied " + std::to_string(s.applied) + "\nlast " + std::to_string(s.last) +
           "\nfirst " + std::to_string(s.first) + "\nbytes " + std::to_string(s.bytes) + "\n";
}

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\t', ' ');
    return text;
}

std::string StepText(const Step& step) {
    std::ostringstream out;
    out << "velsend-step 1\nnumber " << step.number << "\ntime " << step.time << "\nprogram "
        << OneLine(step.program) << "\nwhat " << OneLine(step.what) << "\n";
    for (const FileChange& f : step.files)
        out << "file\t" << f.name << "\t" << (f.before.empty() ? "-" : f.before) << "\t"
            << (f.after.empty() ? "-" : f.after) << "\n";
    out << "end\n";
    return out.str();
}

// A step file as written by StepText; anything else is not a step.
std::optional<Step> ParseStep(const fs::path& path, int number) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(path, ec))) return std::nullopt;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) || line != "velsend-step 1") return std::nullopt;
    Step step;
    bool complete = false;
    while (std::getline(in, line)) {
        if (line == "end") {
            complete = true;
            break;
        }
        const std::size_t space = line.find_first_of(" \t");
        if (space == std::string::npos) return std::nullopt;
        const std::string key = line.substr(0, space);
        const std::string rest = line.substr(space + 1);
        if (key == "number")
            step.number = std::atoi(rest.c_str());
        else if (key == "time")
            step.time = std::atoll(rest.c_str());
        else if (key == "program")
            step.program = rest;
        else if (key == "what")
            step.what = rest;
        else if (key == "file") {
            std::istringstream fields(rest);
            FileChange f;
            if (!std::getline(fields, f.name, '\t') || !std::getline(fields, f.before, '\t') ||
                !std::getline(fields, f.after))
                return std::nullopt;
            if (f.before == "-") f.before.clear();
            if (f.after == "-") f.after.clear();
            // Only the project's own files, by name; only kept contents by hash.
            if (!IsProjectFileName(f.name) || (!f.before.empty() && !IsHash(f.before)) ||
                (!f.after.empty() && !IsHash(f.after)))
                return std::nullopt;
            step.files.push_back(std::move(f));
        }
    }
    if (!complete || step.number != number || step.files.empty()) return std::nullopt;
    return step;
}

// The history folder is a plain folder of ours: a link or a file in its
// place is refused, never written through.
Result<> CheckHistoryFolder(const fs::path& folder, bool create) {
    const fs::path history = HistoryFolder(folder);
    for (const fs::path& each : {history, history / kObjects}) {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(each, ec);
        if (fs::exists(st)) {
            if (!fs::is_directory(st))
                return Error{
                    HistoryText("“" + platform::PathToUtf8(each.filename()) + "”不是文件夹"), "",
                    ENOTDIR};
            continue;
        }
        if (!create) return base::Ok();
        if (!fs::create_directory(each, ec) && ec) return HistoryError(each, ec.value());
    }
    return base::Ok();
}

// Keeps the content of `source` (hash `hash`) among the objects: a hard link
// where the file system has them, else a copy. Returns the bytes it added.
Result<std::uint64_t> Keep(const fs::path& folder, const fs::path& source, const std::string& hash,
                           const std::vector<std::uint8_t>& bytes) {
    const fs::path object = ObjectPath(folder, hash);
    if (platform::KindOf(object) == platform::PathKind::Regular) return std::uint64_t{0};
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(source, ec))) {
        // The replaced file's blocks are then the history's alone: they count.
        const int error = platform::LinkNew(source, object);
        if (error == 0) return static_cast<std::uint64_t>(bytes.size());
        if (platform::IsExistsError(error)) return std::uint64_t{0};
    }
    // A copy goes in whole or not at all: a name that is there holds its content.
    fs::path staged = object;
    staged += ".new";
    bool created = false;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (const int error = platform::WriteSmallFile(staged, text, created); error != 0) {
        (void)platform::RemoveFile(staged);
        return HistoryError(object, error);
    }
    if (const int error = platform::MoveReplacing(staged, object); error != 0) {
        (void)platform::RemoveFile(staged);
        return HistoryError(object, error);
    }
    return static_cast<std::uint64_t>(bytes.size());
}

// The state outside a change's commit (after pruning): a state a kill
// leaves behind names steps that are gone, which loading skips.
Result<> WriteState(const fs::path& folder, const State& state) {
    const std::string text = StateText(state);
    return base::WriteWholeFile(
        HistoryFolder(folder) / "state",
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// An undo or redo under way in this thread: its commit writes the state, not a new step.
struct ReplayRun {
    fs::path folder;
    State state;
    // Files that hold the content the step left, to keep for the way back.
    std::vector<std::pair<fs::path, std::string>> keep;
};
thread_local ReplayRun* tReplay = nullptr;
// What a recording commit found, for Committed.
thread_local State tOldState;
thread_local State tNewState;
// The files a recorded commit wrote, with their new content's hash.
thread_local std::vector<std::pair<fs::path, std::string>> tWritten;

class Recorder final : public base::CommitRecorder {
  public:
    void Watch(const fs::path& folder) {
        std::lock_guard lock(mutex_);
        folder_ = folder;
        std::error_code ec;
        canonical_ = fs::weakly_canonical(folder, ec);
    }

    Result<std::vector<base::HistoryFile>> Prepare(const fs::path& folder,
                                                   const std::vector<base::FileContent>& writes,
                                                   const std::vector<fs::path>& removals) override {
        if (tReplay != nullptr && tReplay->folder == folder) return PrepareReplay(folder);
        tWritten.clear();
        if (!Watched(folder)) return std::vector<base::HistoryFile>();
        Step step;
        struct Before {
            fs::path file;
            std::string hash;
            std::vector<std::uint8_t> bytes;
        };
        std::vector<Before> kept;
        auto note = [&](const fs::path& target, const std::vector<std::uint8_t>* after,
                        bool keepTail) -> Result<> {
            const std::string name = platform::PathToUtf8(target.filename());
            if (!target.has_parent_path() ? folder != "." : target.parent_path() != folder)
                return base::Ok();
            if (!IsProjectFileName(name)) return base::Ok();
            auto old = ReadFile(target);
            if (!old) return old.error();
            FileChange change{name, *old ? Sha256Hex(**old) : std::string(), std::string()};
            if (after != nullptr) {
                if (keepTail && *old && (*old)->size() > after->size()) {
                    std::vector<std::uint8_t> whole = **old;
                    std::copy(after->begin(), after->end(), whole.begin());
                    change.after = Sha256Hex(whole);
                } else {
                    change.after = Sha256Hex(*after);
                }
            }
            if (change.before == change.after) return base::Ok();
            // A second entry for the same file (written, then removed) keeps its first before.
            for (FileChange& f : step.files)
                if (f.name == name) {
                    f.after = change.after;
                    return base::Ok();
                }
            if (*old) kept.push_back({target, change.before, std::move(**old)});
            step.files.push_back(std::move(change));
            if (after != nullptr) tWritten.emplace_back(target, step.files.back().after);
            return base::Ok();
        };
        for (const base::FileContent& w : writes)
            if (auto r = note(w.target, &w.bytes, w.keepTail); !r) return r.error();
        for (const fs::path& r : removals)
            if (auto done = note(r, nullptr, false); !done) return done.error();
        std::erase_if(step.files, [](const FileChange& f) { return f.before == f.after; });
        if (step.files.empty()) return std::vector<base::HistoryFile>();

        if (auto r = CheckHistoryFolder(folder, true); !r) return r.error();
        State state = ReadState(folder);
        tOldState = state;
        for (const Before& before : kept) {
            auto added = Keep(folder, before.file, before.hash, before.bytes);
            if (!added) return added.error();
            state.bytes += *added;
        }
        step.number = state.applied + 1;
        step.time = std::chrono::duration_cast<std::chrono::seconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
        step.program = platform::ProgramName();
        step.what = base::ChangeText::Current();
        if (step.what.empty()) {
            step.what = "修改 " + step.files.front().name;
            if (step.files.size() > 1)
                step.what += " 等 " + std::to_string(step.files.size()) + " 个文件";
        }
        const std::string text = StepText(step);
        state.applied = step.number;
        state.last = step.number;
        if (state.first > step.number) state.first = step.number;
        state.bytes += text.size();
        tNewState = state;
        return std::vector<base::HistoryFile>{{std::to_string(step.number) + ".step", text},
                                              {"state", StateText(state)}};
    }

    void Committed(const fs::path& folder) override {
        if (tReplay != nullptr) return;
        // The new contents too, where a hard link keeps them for nothing: the
        // step can then be shown and redone after an undo. Where links are
        // not to be had, the undo keeps them instead.
        for (const auto& [target, hash] : tWritten) {
            const fs::path object = ObjectPath(folder, hash);
            if (platform::KindOf(object) != platform::PathKind::Missing) continue;
            std::error_code ec;
            if (fs::is_regular_file(fs::symlink_status(target, ec)))
                (void)platform::LinkNew(target, object);
        }
        tWritten.clear();
        // Steps that could have been redone are dropped by a new change.
        for (int n = tNewState.last + 1; n <= tOldState.last; ++n)
            (void)platform::RemoveFile(StepPath(folder, n));
        if (tNewState.bytes > kMaxBytes) {
            (void)Prune(folder);
        } else if (tNewState.last - tNewState.first + 1 > kMaxSteps) {
            // The oldest step goes at once; the contents only it named are
            // looked for now and then, which reads every step.
            if (tNewState.last % 16 == 0) {
                (void)Prune(folder);
            } else {
                State state = tNewState;
                for (; state.last - state.first + 1 > kMaxSteps; ++state.first)
                    (void)platform::RemoveFile(StepPath(folder, state.first));
                (void)WriteState(folder, state);
            }
        }
    }

    // Drops the oldest steps beyond the bounds and the contents no step
    // names any more; counts the bytes again. Under the project lock.
    Result<> Prune(const fs::path& folder) {
        State state = ReadState(folder);
        std::vector<std::pair<int, std::uint64_t>> sizes;
        std::error_code ec;
        for (int n = state.first; n <= state.last; ++n) {
            const auto size = fs::file_size(StepPath(folder, n), ec);
            sizes.emplace_back(n, ec ? 0 : size);
        }
        std::map<std::string, std::uint64_t> objects;
        for (fs::directory_iterator it(HistoryFolder(folder) / kObjects, ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = platform::PathToUtf8(it->path().filename());
            if (!IsHash(name)) {
                if (name.size() == 68 && name.ends_with(".new") && IsHash(name.substr(0, 64)))
                    (void)platform::RemoveFile(it->path());
                continue;
            }
            std::error_code sizeError;
            const auto size = it->file_size(sizeError);
            objects[name] = sizeError ? 0 : size;
        }
        // The oldest go first; the one in effect last of all.
        std::size_t drop = 0;
        auto named = [&](std::size_t from) {
            std::set<std::string> used;
            for (std::size_t i = from; i < sizes.size(); ++i)
                if (auto step = ParseStep(StepPath(folder, sizes[i].first), sizes[i].first))
                    for (const FileChange& f : step->files) {
                        if (!f.before.empty()) used.insert(f.before);
                        if (!f.after.empty()) used.insert(f.after);
                    }
            return used;
        };
        std::set<std::string> used = named(0);
        auto total = [&] {
            std::uint64_t sum = 0;
            for (std::size_t i = drop; i < sizes.size(); ++i) sum += sizes[i].second;
            for (const auto& [name, size] : objects)
                if (used.count(name) != 0) sum += size;
            return sum;
        };
        while (drop + 1 < sizes.size() &&
               (static_cast<int>(sizes.size() - drop) > kMaxSteps || total() > kMaxBytes)) {
            ++drop;
            used = named(drop);
        }
        for (std::size_t i = 0; i < drop; ++i)
            (void)platform::RemoveFile(StepPath(folder, sizes[i].first));
        for (const auto& [name, size] : objects)
            if (used.count(name) == 0) (void)platform::RemoveFile(ObjectPath(folder, name));
        if (drop > 0) state.first = sizes[drop - 1].first + 1;
        if (state.applied < state.first - 1) state.applied = state.first - 1;
        state.bytes = total();
        return WriteState(folder, state);
    }

  private:
    bool Watched(const fs::path& folder) {
        std::lock_guard lock(mutex_);
        if (folder_.empty()) return false;
        if (folder == folder_) return true;
        std::error_code ec;
        return fs::weakly_canonical(folder, ec) == canonical_;
    }

    Result<std::vector<base::HistoryFile>> PrepareReplay(const fs::path& folder) {
        for (const auto& [path, hash] : tReplay->keep) {
            auto bytes = ReadFile(path);
            if (!bytes) return bytes.error();
            if (!*bytes || Sha256Hex(**bytes) != hash) continue;
            auto added = Keep(folder, path, hash, **bytes);
            if (!added) return added.error();
            tReplay->state.bytes += *added;
        }
        return std::vector<base::HistoryFile>{{"state", StateText(tReplay->state)}};
    }

    std::mutex mutex_;
    fs::path folder_;
    fs::path canonical_;
};

Recorder gRecorder;

// Undo (`forward` false) or redo of `step`: the files go back to what it
// found (or forward to what it left), one commit with the new state.
Result<Step> ReplayStep(const fs::path& folder, const Step& step, bool forward, bool force,
                        State state) {
    std::vector<std::string> changed;
    ReplayRun replay{folder, state, {}};
    for (const FileChange& f : step.files) {
        const std::string& now = forward ? f.before : f.after;
        auto hash = HashOf(folder / f.name);
        if (!hash) return hash.error();
        if (*hash != now)
            changed.push_back(f.name);
        else if (!now.empty())
            replay.keep.emplace_back(folder / f.name, now);
    }
    if (!changed.empty() && !force) {
        std::string list;
        for (std::size_t i = 0; i < changed.size() && i < 8; ++i)
            list += (i == 0 ? "" : "、") + changed[i];
        if (changed.size() > 8) list += "等";
        return Error{std::string(forward ? "无法重做" : "无法撤销") + "“" + step.what +
                         "”：这些文件在这一步之后又被改过：" + list + "。",
                     "", kChangedSince};
    }
    base::Transaction transaction;
    for (const FileChange& f : step.files) {
        const std::string& wanted = forward ? f.after : f.before;
        if (wanted.empty()) {
            transaction.Remove(folder / f.name);
            continue;
        }
        auto bytes = Content(folder, wanted);
        if (!bytes) return bytes.error();
        transaction.Write({folder / f.name, std::move(**bytes), false});
    }
    replay.state.applied = forward ? step.number : step.number - 1;
    tReplay = &replay;
    Result<> done = base::Ok();
    if (transaction.Empty()) {
        done = WriteState(folder, replay.state);
    } else {
        done = transaction.Commit();
    }
    tReplay = nullptr;
    if (!done) return done.error();
    return step;
}

Result<base::ProjectLock> LockFor(const fs::path& folder) {
    auto lock = base::ProjectLock::Acquire(folder, base::ProjectLock::DefaultWait());
    if (!lock) return lock.error();
    if (auto r = CheckHistoryFolder(folder, false); !r) return r.error();
    return lock;
}

}  // namespace

const Step* History::Find(int number) const {
    for (const Step& s : steps)
        if (s.number == number) return &s;
    return nullptr;
}

const Step* History::ToUndo() const {
    return Find(applied);
}

const Step* History::ToRedo() const {
    return Find(applied + 1);
}

Result<History> Load(const fs::path& folder) {
    History history;
    if (auto r = CheckHistoryFolder(folder, false); !r) return r.error();
    if (platform::KindOf(HistoryFolder(folder)) != platform::PathKind::Folder) return history;
    const State state = ReadState(folder);
    history.applied = state.applied;
    history.bytes = state.bytes;
    for (int n = state.first; n <= state.last; ++n)
        if (auto step = ParseStep(StepPath(folder, n), n))
            history.steps.push_back(std::move(*step));
    return history;
}

void Install(const fs::path& folder) {
    gRecorder.Watch(folder);
    base::SetCommitRecorder(&gRecorder);
}

void Uninstall() {
    base::SetCommitRecorder(nullptr);
    gRecorder.Watch({});
}

namespace {

// Undo (`redo` false) or redo of the step next in line, under the lock.
Result<Step> ReplayNext(const fs::path& folder, bool redo, bool force) {
    auto lock = LockFor(folder);
    if (!lock) return lock.error();
    auto history = Load(folder);
    if (!history) return history.error();
    const Step* step = redo ? history->ToRedo() : history->ToUndo();
    if (step == nullptr)
        return Error{redo ? "没有可重做的修改。" : "没有可撤销的修改。", "", kNothingToDo};
    return ReplayStep(folder, *step, redo, force, ReadState(folder));
}

}  // namespace

Result<Step> Undo(const fs::path& folder, bool force) {
    return ReplayNext(folder, false, force);
}

Result<Step> Redo(const fs::path& folder, bool force) {
    return ReplayNext(folder, true, force);
}

Result<> Clear(const fs::path& folder) {
    auto lock = LockFor(folder);
    if (!lock) return lock.error();
    const fs::path history = HistoryFolder(folder);
    if (platform::KindOf(history) != platform::PathKind::Folder) return base::Ok();
    // Only the names this program writes there go.
    std::error_code ec;
    for (fs::directory_iterator it(history / kObjects, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = platform::PathToUtf8(it->path().filename());
        if (IsHash(name.substr(0, 64)) && (name.size() == 64 || name.substr(64) == ".new"))
            if (const int error = platform::RemoveFile(it->path());
                error != 0 && !platform::IsNotFoundError(error))
                return HistoryError(it->path(), error);
    }
    for (fs::directory_iterator it(history, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = platform::PathToUtf8(it->path().filename());
        if (name.ends_with(".new")) name.resize(name.size() - 4);
        if (base::IsHistoryFileName(name))
            if (const int error = platform::RemoveFile(it->path());
                error != 0 && !platform::IsNotFoundError(error))
                return HistoryError(it->path(), error);
    }
    fs::remove(history / kObjects, ec);
    fs::remove(history, ec);
    return base::Ok();
}

Result<std::optional<std::vector<std::uint8_t>>> Content(const fs::path& folder,
                                                         const std::string& hash) {
    if (hash.empty()) return std::optional<std::vector<std::uint8_t>>();
    const fs::path object = ObjectPath(folder, hash);
    auto bytes = IsHash(hash) ? ReadFile(object, Kind::Kept)
                              : Result<std::optional<std::vector<std::uint8_t>>>(std::nullopt);
    if (!bytes) return bytes.error();
    if (!*bytes || Sha256Hex(**bytes) != hash)
        return Error{HistoryText("保存的文件内容已丢失或被改动"), platform::PathToUtf8(object),
                     EIO};
    return bytes;
}

namespace {

// The step's files as they were before and after, in two scratch folders.
Result<> WriteStepFiles(const fs::path& folder, const Step& step, const fs::path& beforeFolder,
                        const fs::path& afterFolder) {
    for (const FileChange& f : step.files) {
        for (const auto& [hash, into] :
             {std::pair{f.before, beforeFolder}, std::pair{f.after, afterFolder}}) {
            auto bytes = Content(folder, hash);
            if (!bytes) {
                // Not kept: the project file may still hold it.
                auto current = ReadFile(folder / f.name);
                if (!current || !*current || Sha256Hex(**current) != hash) return bytes.error();
                bytes = std::move(current);
            }
            if (!*bytes) continue;
            const std::string_view content(reinterpret_cast<const char*>((*bytes)->data()),
                                           (*bytes)->size());
            bool created = false;
            if (const int error = platform::WriteSmallFile(into / f.name, content, created))
                return base::SystemError(base::WriteFailedText(into / f.name), error);
        }
    }
    return base::Ok();
}

// A scratch folder outside the project, removed with its files.
class ScratchFolder {
  public:
    ScratchFolder() {
        static std::atomic<int> counter{0};
        std::error_code ec;
        path_ =
            fs::temp_directory_path(ec) / ("velsend-step-" + std::to_string(platform::ProcessId()) +
                                           "-" + std::to_string(++counter));
        fs::remove_all(path_, ec);
        fs::create_directories(path_, ec);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

}  // namespace

Result<std::vector<report::ProjectDifference>> StepDifference(const fs::path& folder,
                                                              const Step& step,
                                                              int controllerModel) {
    ScratchFolder before, after;
    if (auto r = WriteStepFiles(folder, step, before.Path(), after.Path()); !r) return r.error();
    return report::CompareProjects(store::ProjectDir(before.Path()),
                                   store::ProjectDir(after.Path()), controllerModel);
}

std::string FormatTime(std::int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    (void)platform::LocalTime(t, tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

std::string FormatBytes(std::uint64_t bytes) {
    char text[32];
    if (bytes >= (1u << 20))
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1 << 20));
    else
        std::snprintf(text, sizeof text, "%llu KB",
                      static_cast<unsigned long long>((bytes + 1023) / 1024));
    return text;
}

}  // namespace velsend::history

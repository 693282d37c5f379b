#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_write.h"

namespace velsend::exchange {

// The project files one import or print run writes: one base::Transaction,
// so a file that cannot be written leaves every file as it was, and
// FailedList() names it.
class FileBatch {
  public:
    // Print files are each whole on their own: one that cannot be written
    // does not keep the others back (base::WriteEachFile).
    enum class Mode { AllOrNothing, EachOnItsOwn };
    explicit FileBatch(Mode mode = Mode::AllOrNothing) : mode_(mode) {}

    void Add(std::filesystem::path target, std::span<const std::uint8_t> bytes,
             bool keepTail = false);
    // A file the run deletes (a logic rule the import empties).
    void Remove(std::filesystem::path target);
    // Writes everything added; returns how many files were written.
    int Write();

    bool Failed() const { return !failed_.empty(); }
    // "devc5.dat、logic7.dat" (at most five names, then "等").
    std::string FailedList() const;
    std::size_t FailedCount() const { return failed_.size(); }
    const std::string& FirstReason() const { return firstReason_; }
    // Records a failure found elsewhere (a file that could not be deleted).
    void NoteFailure(const std::filesystem::path& target, std::string reason);
    // Whether the file added as number `index` was written.
    bool Written(std::size_t index) const { return index < written_.size() && written_[index]; }

  private:
    Mode mode_;
    std::vector<base::FileContent> files_;
    std::vector<std::filesystem::path> removals_;
    std::vector<bool> written_;
    std::vector<std::string> failed_;
    std::string firstReason_;
};

}  // namespace velsend::exchange

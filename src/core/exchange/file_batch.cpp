#include "core/exchange/file_batch.h"

namespace velsend::exchange {

void FileBatch::Add(std::filesystem::path target, std::span<const std::uint8_t> bytes,
                    bool keepTail) {
    files_.push_back({std::move(target), {bytes.begin(), bytes.end()}, keepTail});
}

void FileBatch::Remove(std::filesystem::path target) {
    removals_.push_back(std::move(target));
}

int FileBatch::Write() {
    written_.assign(files_.size(), false);
    int count = 0;
    if (mode_ == Mode::EachOnItsOwn) {
        const std::vector<base::Result<>> results = base::WriteEachFile(files_);
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (results[i]) {
                written_[i] = true;
                ++count;
            } else {
                NoteFailure(files_[i].target, results[i].error().reason);
            }
        }
    } else if (!Failed()) {
        base::Transaction transaction;
        for (base::FileContent& file : files_) transaction.Write(std::move(file));
        for (std::filesystem::path& target : removals_) transaction.Remove(std::move(target));
        if (const base::Result<> done = transaction.Commit(); done) {
            written_.assign(written_.size(), true);
            count = static_cast<int>(written_.size());
        } else {
            NoteFailure(transaction.FailedTarget(), done.error().reason);
        }
    }
    files_.clear();
    removals_.clear();
    return count;
}

void FileBatch::NoteFailure(const std::filesystem::path& target, std::string reason) {
    failed_.push_back(target.filename().string());
    if (firstReason_.empty()) firstReason_ = std::move(reason);
}

std::string FileBatch::FailedList() const {
    std::string list;
    for (std::size_t i = 0; i < failed_.size() && i < 5; ++i)
        list += (i == 0 ? "" : "、") + failed_[i];
    if (failed_.size() > 5) list += "等";
    return list;
}

}  // namespace velsend::exchange

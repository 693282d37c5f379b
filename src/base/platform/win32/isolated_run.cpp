#include "base/platform/isolated_run.h"

#include <windows.h>

#include <fstream>

#include "base/platform/win32/errors.h"

namespace velsend::platform {

IsolatedRun RunIsolated(const std::function<std::string()>& work, unsigned) {
    // No fork: a child would have to be a program of its own that re-reads
    // the input. Until then the work runs here, unguarded.
    IsolatedRun run;
    run.output = work();
    run.outcome = IsolatedRun::Outcome::Done;
    return run;
}

ScratchFile::ScratchFile(std::string_view bytes) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    wchar_t name[MAX_PATH];
    if (ec || ::GetTempFileNameW(folder.c_str(), L"vls", 0, name) == 0) {
        error_ = ec ? EIO : LastErrno();
        return;
    }
    path_ = name;
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) error_ = EIO;
}

ScratchFile::~ScratchFile() {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
}

}  // namespace velsend::platform

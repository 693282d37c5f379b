// The restore image check over arbitrary files: a file of the wrong size is
// refused without a byte sent; one of the right size gets as far as the port
// (none here) and ends in the no-burner path. Never a crash, never a read
// past the image.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "base/file_write.h"
#include "core/burner/backup.h"

namespace fs = std::filesystem;
using namespace velsend;

namespace {

class Quiet : public burner::TransferObserver {
  public:
    void SetRange(int) override {}
    void SetPosition(int) override {}
    void SetStatus(const std::string&) override {}
    void PortNotOpened(const burner::OpenResult&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path dir = [] {
        char pattern[] = "/dev/shm/velsend-fuzz-XXXXXX";  // tmpfs: fsync costs nothing
        return fs::path(::mkdtemp(pattern));
    }();
    if (size == 0) return 0;
    burner::ChipCopyJob job;
    job.kind = burner::ChipCopyKind::Restore;
    job.model = 1 + data[0] % 6;
    job.file = dir / "image.bin";
    // Sizes near the image size matter most: the first byte also says how
    // many bytes of the image the rest of the input stands for.
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if ((data[0] & 0x80) != 0)
        bytes.resize(burner::ChipImageSize(job.model) + (data[0] & 0x3) - 1, 0xA5);
    if (!base::WriteWholeFile(job.file, bytes)) std::abort();

    burner::ChipCopyPort port;
    Quiet quiet;
    const burner::ChipCopyResult result = burner::RunChipCopy(port, job, quiet);
    const bool whole = bytes.size() == burner::ChipImageSize(job.model);
    if (whole && result.outcome != burner::ChipCopyOutcome::NoBurner) std::abort();
    if (!whole && result.outcome != burner::ChipCopyOutcome::WrongSize) std::abort();
    if (result.blocks != 0 || port.IsOpen()) std::abort();
    return 0;
}

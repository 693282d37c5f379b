#pragma once

// Inside the workbook layer: the readers of each format and what they share.
// Not for the exchange routines.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/exchange/workbook.h"

namespace velsend::exchange::detail {

// A text cell read from a file, "?" for each character GBK cannot hold.
Cell TextFromUtf8(std::string_view utf8);
// A number read from a file: NaN and infinities are not numbers.
Cell NumberFromFile(double value);
inline Cell OtherCell() {
    return Cell{CellKind::Other, 0, {}, false};
}

base::Error NotWorkbook(std::string reason);
base::Error PasswordProtected();
base::Error TooBig(std::string reason);

// --- zip: the central directory is checked against the limits before any
// entry is unpacked.
struct ZipEntry {
    std::string name;
    std::uint16_t method = 0;
    std::uint32_t packed = 0;
    std::uint32_t unpacked = 0;
    std::uint32_t localOffset = 0;
};
base::Result<std::vector<ZipEntry>> ZipDirectory(std::string_view bytes, const ReadLimits& limits);
const ZipEntry* FindEntry(const std::vector<ZipEntry>& entries, std::string_view name);
// The unpacked bytes of an entry of at most `maxBytes`, or nullopt.
std::optional<std::string> Unpack(std::string_view bytes, const ZipEntry& e, std::size_t maxBytes);

// Counts what a reader keeps against the limits; a reader stops with the
// error once `Over()` is set.
class Budget {
  public:
    explicit Budget(const ReadLimits& limits) : limits_(limits) {}
    bool Cell(std::size_t textBytes) {
        ++cells_;
        text_ += textBytes;
        return !Over();
    }
    bool Text(std::size_t bytes) {
        text_ += bytes;
        return !Over();
    }
    std::size_t MaxCells() const { return limits_.maxCells; }
    bool Over() const { return cells_ > limits_.maxCells || text_ > limits_.maxTextBytes; }
    base::Error Error() const;

  private:
    const ReadLimits& limits_;
    std::size_t cells_ = 0;
    std::size_t text_ = 0;
};

// Runs `read` in a child process and returns what it read: a child that
// crashes, runs past the time limit or outlives the caller gives an error
// instead, and the child dies with its parent.
base::Result<Workbook> ReadIsolated(const std::function<base::Result<Workbook>()>& read,
                                    const ReadLimits& limits);

// The readers, in the calling process (the fuzz targets call these) and
// isolated (the program calls these).
base::Result<Workbook> ReadXlsInProcess(std::string_view bytes, const std::filesystem::path& path,
                                        const ReadLimits& limits);
// What an .xls Workbook stream's own records hold that libfreexl leaves out
// or changes: formula results (FORMULA and STRING) and numbers as numbers
// (NUMBER, RK, MULRK), in sheets named by BOUNDSHEET.
Workbook ReadBiffRecords(std::string_view stream, const ReadLimits& limits, Budget& budget);
base::Result<Workbook> ReadXlsBytes(std::string_view bytes, const ReadLimits& limits);
base::Result<Workbook> ReadZipInProcess(std::string_view bytes, WorkbookFormat format,
                                        const ReadLimits& limits);
base::Result<Workbook> ReadZipWorkbook(std::string_view bytes, WorkbookFormat format,
                                       const ReadLimits& limits);

}  // namespace velsend::exchange::detail

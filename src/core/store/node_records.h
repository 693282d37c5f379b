#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::store {

// Work modes of both node records.
inline constexpr int kWorkStandalone = 0;   // "单机工作方式"
inline constexpr int kWorkShowNetwork = 1;  // "显示网络情况"
inline constexpr int kWorkNetControl = 2;   // "允许网络控制"

// node1.dat (models 1, 3, 4): 9 bytes.
struct NineByteNodeRecord {
    std::uint8_t LocalAddress = 0;
    std::uint8_t DriverBoardAddress = 0;
    std::uint8_t LinkageFirstAddress = 0;
    std::uint8_t LinkageLastAddress = 0;
    std::uint8_t NetworkCount = 0;
    std::array<std::uint8_t, 3> Reserved{};
    int WorkMode = 0;  // the file keeps its low byte

    static constexpr std::size_t kSize = kNode1Size;
    std::array<std::uint8_t, kSize> Bytes() const;
    // Takes the bytes a (possibly short) file holds; the rest stays as it is.
    void Apply(const std::vector<std::uint8_t>& fileBytes);
    // The bytes the node transfer sends: offsets 0, 1, 2, 3, 4, 8.
    std::vector<std::uint8_t> Payload() const;
};

// node2.dat (model 2): 10 bytes; the driver boards get an address range.
struct TenByteNodeRecord {
    std::uint8_t LocalAddress = 0;
    std::uint8_t DriverBoardFirstAddress = 0;
    std::uint8_t DriverBoardLastAddress = 0;
    std::uint8_t LinkageFirstAddress = 0;
    std::uint8_t LinkageLastAddress = 0;
    std::uint8_t NetworkCount = 0;
    std::array<std::uint8_t, 2> Reserved{};
    int WorkMode = 0;  // the file keeps its low 16 bits, little-endian

    static constexpr std::size_t kSize = kNode2Size;
    std::array<std::uint8_t, kSize> Bytes() const;
    void Apply(const std::vector<std::uint8_t>& fileBytes);
    // Offsets 0, 1, 2, 3, 4, 5, 8.
    std::vector<std::uint8_t> Payload() const;
};

// What the node dialogs edit, the same for both records. The nine-byte
// record has a single driver board address: it reads and writes driverFirst.
struct NodeFields {
    int local = 0;
    int networkCount = 0;
    int driverFirst = 0;
    int driverLast = 0;
    int linkageFirst = 0;
    int linkageLast = 0;
    int workMode = 0;
    bool operator==(const NodeFields&) const = default;
};
// The work modes' names, 0..kWorkModeCount - 1 ("单机工作方式"); empty for
// any other value.
inline constexpr int kWorkModeCount = 3;
std::string_view WorkModeLabel(int mode);

NodeFields FieldsOf(const NineByteNodeRecord& record);
NodeFields FieldsOf(const TenByteNodeRecord& record);
// Takes the edited fields over; reserved bytes stay as they are.
void ApplyFields(const NodeFields& fields, NineByteNodeRecord& record);
void ApplyFields(const NodeFields& fields, TenByteNodeRecord& record);

// Reads the record's file into `record` when the file exists (a short file
// changes only the bytes it holds). False, with `record` untouched, when absent.
[[nodiscard]] bool LoadNodeRecord(const ProjectDir& dir, NineByteNodeRecord& record);
[[nodiscard]] bool LoadNodeRecord(const ProjectDir& dir, TenByteNodeRecord& record);
// Creates or replaces the file with the whole record.
[[nodiscard]] base::Result<> SaveNodeRecord(const ProjectDir& dir,
                                            const NineByteNodeRecord& record);
[[nodiscard]] base::Result<> SaveNodeRecord(const ProjectDir& dir, const TenByteNodeRecord& record);
// A dialog's save: the fields go into the record as the file holds it now,
// read under the project lock; unchanged fields (edited == shown) write nothing
// but a missing file, and `shown` becomes the file's. When the file's record
// changed since `shown` was read, nothing is written: the error shows both,
// and `shown` becomes the file's, so saving again keeps the user's. On success
// `shown` is the record written.
[[nodiscard]] base::Result<> SaveNodeEdit(const ProjectDir& dir, NineByteNodeRecord& shown,
                                          const NodeFields& edited);
[[nodiscard]] base::Result<> SaveNodeEdit(const ProjectDir& dir, TenByteNodeRecord& shown,
                                          const NodeFields& edited);

}  // namespace velsend::store

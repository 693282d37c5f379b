#include "core/store/node_records.h"

#include <iterator>
#include <string>

#include "base/file_write.h"
#include "base/platform/files.h"
#include "base/project_lock.h"

namespace velsend::store {
namespace {

// Bytes of the file as it is; false when there is no regular file to read.
// Opened without blocking: a named pipe under the name must not hang us
// (CheckProjectFolder names it to the user).
bool ReadWhole(const std::filesystem::path& path, std::size_t max, std::vector<std::uint8_t>& out) {
    platform::ReadOnlyFile file(path);
    if (!file.IsOpen() || file.FileKind() != platform::ReadOnlyFile::Kind::Regular) return false;
    out.assign(max, 0);
    out.resize(file.Read(out.data(), max));
    return true;
}

std::string FieldsText(const NodeFields& f, bool driverRange) {
    std::string text = "本机地址 " + std::to_string(f.local) + "，联网机数 " +
                       std::to_string(f.networkCount) + "，驱动板地址 " +
                       std::to_string(f.driverFirst);
    if (driverRange) text += "-" + std::to_string(f.driverLast);
    const std::string_view mode = WorkModeLabel(f.workMode);
    return text + "，联动盘地址 " + std::to_string(f.linkageFirst) + "-" +
           std::to_string(f.linkageLast) + "，" +
           (mode.empty() ? std::to_string(f.workMode) : std::string(mode));
}

template <typename Record>
base::Result<> SaveEdit(const ProjectDir& dir, Record& shown, const NodeFields& edited,
                        bool driverRange) {
    base::ProjectWriteGuard guard(dir.Root());
    if (!guard) return guard.error();
    Record onDisk = shown;  // no file: nothing on the disk to clash with
    if (LoadNodeRecord(dir, onDisk) && edited == FieldsOf(shown)) {
        shown = onDisk;  // nothing changed: the file stays as it is
        return base::Ok();
    }
    if (FieldsOf(onDisk) != FieldsOf(shown) && FieldsOf(onDisk) != edited) {
        shown = onDisk;
        return base::EditClash("节点设置", "\n文件中的：" +
                                               FieldsText(FieldsOf(onDisk), driverRange) +
                                               "\n您改的：" + FieldsText(edited, driverRange));
    }
    Record merged = onDisk;  // reserved bytes as the file has them
    ApplyFields(edited, merged);
    auto written = SaveNodeRecord(dir, merged);
    if (written) shown = merged;
    return written;
}

}  // namespace

std::array<std::uint8_t, NineByteNodeRecord::kSize> NineByteNodeRecord::Bytes() const {
    return {LocalAddress,       DriverBoardAddress, LinkageFirstAddress,
            LinkageLastAddress, NetworkCount,       Reserved[0],
            Reserved[1],        Reserved[2],        static_cast<std::uint8_t>(WorkMode & 0xFF)};
}

void NineByteNodeRecord::Apply(const std::vector<std::uint8_t>& b) {
    std::uint8_t* fields[] = {&LocalAddress,       &DriverBoardAddress, &LinkageFirstAddress,
                              &LinkageLastAddress, &NetworkCount,       &Reserved[0],
                              &Reserved[1],        &Reserved[2]};
    for (std::size_t i = 0; i < std::size(fields) && i < b.size(); ++i) *fields[i] = b[i];
    if (b.size() > 8) WorkMode = b[8];
}

std::vector<std::uint8_t> NineByteNodeRecord::Payload() const {
    const auto b = Bytes();
    return {b[0], b[1], b[2], b[3], b[4], b[8]};
}

std::array<std::uint8_t, TenByteNodeRecord::kSize> TenByteNodeRecord::Bytes() const {
    return {LocalAddress,
            DriverBoardFirstAddress,
            DriverBoardLastAddress,
            LinkageFirstAddress,
            LinkageLastAddress,
            NetworkCount,
            Reserved[0],
            Reserved[1],
            static_cast<std::uint8_t>(WorkMode & 0xFF),
            static_cast<std::uint8_t>((WorkMode >> 8) & 0xFF)};
}

void TenByteNodeRecord::Apply(const std::vector<std::uint8_t>& b) {
    std::uint8_t* fields[] = {&LocalAddress,
                              &DriverBoardFirstAddress,
                              &DriverBoardLastAddress,
                              &LinkageFirstAddress,
                              &LinkageLastAddress,
                              &NetworkCount,
                              &Reserved[0],
                              &Reserved[1]};
    for (std::size_t i = 0; i < std::size(fields) && i < b.size(); ++i) *fields[i] = b[i];
    // The work mode is one 16-bit field; a file that ends inside it changes its low byte only.
    if (b.size() > 9)
        WorkMode = b[8] | (b[9] << 8);
    else if (b.size() > 8)
        WorkMode = (WorkMode & ~0xFF) | b[8];
}

std::vector<std::uint8_t> TenByteNodeRecord::Payload() const {
    const auto b = Bytes();
    return {b[0], b[1], b[2], b[3], b[4], b[5], b[8]};
}

std::string_view WorkModeLabel(int mode) {
    constexpr std::string_view kLabels[kWorkModeCount] = {"单机工作方式", "显示网络情况",
                                                          "允许网络控制"};
    return mode >= 0 && mode < kWorkModeCount ? kLabels[mode] : std::string_view();
}

NodeFields FieldsOf(const NineByteNodeRecord& r) {
    return {r.LocalAddress,       r.NetworkCount, r.DriverBoardAddress, 0, r.LinkageFirstAddress,
            r.LinkageLastAddress, r.WorkMode};
}

NodeFields FieldsOf(const TenByteNodeRecord& r) {
    return {r.LocalAddress,
            r.NetworkCount,
            r.DriverBoardFirstAddress,
            r.DriverBoardLastAddress,
            r.LinkageFirstAddress,
            r.LinkageLastAddress,
            r.WorkMode};
}

void ApplyFields(const NodeFields& f, NineByteNodeRecord& r) {
    r.LocalAddress = static_cast<std::uint8_t>(f.local);
    r.NetworkCount = static_cast<std::uint8_t>(f.networkCount);
    r.DriverBoardAddress = static_cast<std::uint8_t>(f.driverFirst);
    r.LinkageFirstAddress = static_cast<std::uint8_t>(f.linkageFirst);
    r.LinkageLastAddress = static_cast<std::uint8_t>(f.linkageLast);
    r.WorkMode = f.workMode;
}

void ApplyFields(const NodeFields& f, TenByteNodeRecord& r) {
    r.LocalAddress = static_cast<std::uint8_t>(f.local);
    r.NetworkCount = static_cast<std::uint8_t>(f.networkCount);
    r.DriverBoardFirstAddress = static_cast<std::uint8_t>(f.driverFirst);
    r.DriverBoardLastAddress = static_cast<std::uint8_t>(f.driverLast);
    r.LinkageFirstAddress = static_cast<std::uint8_t>(f.linkageFirst);
    r.LinkageLastAddress = static_cast<std::uint8_t>(f.linkageLast);
    r.WorkMode = f.workMode;
}

bool LoadNodeRecord(const ProjectDir& dir, NineByteNodeRecord& record) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWhole(dir.PathOf(ProjectFile::Node1), NineByteNodeRecord::kSize, bytes)) return false;
    record.Apply(bytes);
    return true;
}

bool LoadNodeRecord(const ProjectDir& dir, TenByteNodeRecord& record) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWhole(dir.PathOf(ProjectFile::Node2), TenByteNodeRecord::kSize, bytes)) return false;
    record.Apply(bytes);
    return true;
}

base::Result<> SaveNodeRecord(const ProjectDir& dir, const NineByteNodeRecord& record) {
    const base::ChangeText what("节点设置");
    return base::WriteWholeFile(dir.PathOf(ProjectFile::Node1), record.Bytes());
}

base::Result<> SaveNodeRecord(const ProjectDir& dir, const TenByteNodeRecord& record) {
    const base::ChangeText what("节点信息设置");
    return base::WriteWholeFile(dir.PathOf(ProjectFile::Node2), record.Bytes());
}

base::Result<> SaveNodeEdit(const ProjectDir& dir, NineByteNodeRecord& shown,
                            const NodeFields& edited) {
    return SaveEdit(dir, shown, edited, false);
}

base::Result<> SaveNodeEdit(const ProjectDir& dir, TenByteNodeRecord& shown,
                            const NodeFields& edited) {
    return SaveEdit(dir, shown, edited, true);
}

}  // namespace velsend::store

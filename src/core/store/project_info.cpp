#include "core/store/project_info.h"

#include <filesystem>

#include "base/file_write.h"
#include "base/gbk.h"
#include "base/project_lock.h"

namespace velsend::store {

std::string_view InfoFieldLabel(int field) {
    constexpr std::string_view kLabels[kInfoFieldCount] = {"工程名称", "地址",     "管理员",
                                                           "联系电话", "调试人员", "服务热线"};
    return field >= 0 && field < kInfoFieldCount ? kLabels[field] : std::string_view();
}

std::string ReadProjectName(const ProjectDir& dir) {
    const std::filesystem::path path = dir.PathOf(ProjectFile::Info);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return {};
    return base::FieldText(ReadFixed(path, kInfoFieldSize, ' '));
}

base::Result<> WriteProjectName(const ProjectDir& dir, std::string_view gbk) {
    // An unchanged name leaves the file as it is, bytes after the text included.
    // (No exception: a folder the user may not read is the write's to report.)
    std::error_code ec;
    if (std::filesystem::exists(dir.PathOf(ProjectFile::Info), ec) && gbk == ReadProjectName(dir))
        return base::Ok();
    const base::ChangeText what("工程名称");
    return base::WriteFileStart(dir.PathOf(ProjectFile::Info),
                                base::MakeField(gbk, kInfoFieldSize));
}

ProjectInfo ReadProjectInfo(const ProjectDir& dir) {
    const auto bytes = ReadFixed(dir.PathOf(ProjectFile::Info), kInfoSize);
    ProjectInfo info;
    for (int f = 0; f < kInfoFieldCount; ++f) {
        info[static_cast<std::size_t>(f)] = base::FieldText(
            std::span<const std::uint8_t>(bytes).subspan(f * kInfoFieldSize, kInfoFieldSize));
    }
    return info;
}

base::Result<> WriteProjectInfo(const ProjectDir& dir, const ProjectInfo& info) {
    // A field whose text is unchanged keeps its stored bytes.
    const auto stored = ReadFixed(dir.PathOf(ProjectFile::Info), kInfoSize);
    std::vector<std::uint8_t> bytes;
    for (int f = 0; f < kInfoFieldCount; ++f) {
        const auto old =
            std::span<const std::uint8_t>(stored).subspan(f * kInfoFieldSize, kInfoFieldSize);
        const std::string& text = info[static_cast<std::size_t>(f)];
        if (text == base::FieldText(old)) {
            bytes.insert(bytes.end(), old.begin(), old.end());
        } else {
            const auto field = base::MakeField(text, kInfoFieldSize);
            bytes.insert(bytes.end(), field.begin(), field.end());
        }
    }
    const base::ChangeText what("工程详细信息");
    return base::WriteWholeFile(dir.PathOf(ProjectFile::Info), bytes);
}

base::Result<> SaveProjectInfo(const ProjectDir& dir, ProjectInfo& shown,
                               const ProjectInfo& edited) {
    base::ProjectWriteGuard guard(dir.Root());
    if (!guard) return guard.error();
    const auto bytes = TryReadFixed(dir.PathOf(ProjectFile::Info), kInfoSize);
    if (!bytes)
        return base::Error{base::WriteFailedText(dir.PathOf(ProjectFile::Info)),
                           bytes.error().reason, bytes.error().code};
    ProjectInfo onDisk;
    std::string clash;
    for (int f = 0; f < kInfoFieldCount; ++f) {
        const auto i = static_cast<std::size_t>(f);
        onDisk[i] = base::FieldText(
            std::span<const std::uint8_t>(*bytes).subspan(f * kInfoFieldSize, kInfoFieldSize));
        if (edited[i] != shown[i] && onDisk[i] != shown[i] && onDisk[i] != edited[i])
            clash += "\n“" + std::string(InfoFieldLabel(f)) + "”文件中的：" +
                     base::GbkToUtf8(onDisk[i]) + "；您改的：" + base::GbkToUtf8(edited[i]);
    }
    if (!clash.empty()) {
        shown = onDisk;
        return base::EditClash("工程信息", clash);
    }
    ProjectInfo merged = onDisk;
    for (std::size_t i = 0; i < merged.size(); ++i)
        if (edited[i] != shown[i]) merged[i] = edited[i];
    auto written = WriteProjectInfo(dir, merged);
    if (written) shown = merged;
    return written;
}

}  // namespace velsend::store

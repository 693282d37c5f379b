#include "store/project_info.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "store/gbk.h"

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
    return FieldText(ReadFixed(path, kInfoFieldSize, ' '));
}

bool WriteProjectName(const ProjectDir& dir, std::string_view gbk) {
    const auto field = MakeField(gbk, kInfoFieldSize);
    const int fd =
        ::open(dir.PathOf(ProjectFile::Info).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written =
        ::pwrite(fd, field.data(), field.size(), 0) == static_cast<ssize_t>(field.size());
    return ::close(fd) == 0 && written;
}

ProjectInfo ReadProjectInfo(const ProjectDir& dir) {
    const auto bytes = ReadFixed(dir.PathOf(ProjectFile::Info), kInfoFieldCount * kInfoFieldSize);
    ProjectInfo info;
    for (int f = 0; f < kInfoFieldCount; ++f) {
        info[static_cast<std::size_t>(f)] = FieldText(
            std::span<const std::uint8_t>(bytes).subspan(f * kInfoFieldSize, kInfoFieldSize));
    }
    return info;
}

bool WriteProjectInfo(const ProjectDir& dir, const ProjectInfo& info) {
    std::vector<std::uint8_t> bytes;
    for (const std::string& text : info) {
        const auto field = MakeField(text, kInfoFieldSize);
        bytes.insert(bytes.end(), field.begin(), field.end());
    }
    std::ofstream out(dir.PathOf(ProjectFile::Info), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace velsend::store

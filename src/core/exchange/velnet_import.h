#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::exchange {

// The folder the sibling program's files are taken from when the user has
// not chosen one: DATNET in the home folder ($HOME/DATNET).
std::filesystem::path DefaultVelnetFolder();

// The three source files of a loop: "devc05.dat", "plac17.dat", "logcc0.dat"
// (loops under 10 with a leading zero, from 100 in the lettered notation).
enum class VelnetSource { Devices, Locations, Logic };
std::string VelnetFileName(VelnetSource kind, int loop);

inline constexpr std::size_t kVelnetDeviceSize = 768;     // 256 x 3
inline constexpr std::size_t kVelnetLocationSize = 2048;  // 256 x 8
inline constexpr std::size_t kVelnetLogicSize = 16384;    // 256 x 64

// The converted files of one loop.
std::vector<std::uint8_t> VelnetDeviceFile(std::span<const std::uint8_t> devices,
                                           std::span<const std::uint8_t> locations);
std::vector<std::uint8_t> VelnetDeviceLogicFile(std::span<const std::uint8_t> logic);

inline constexpr std::string_view kVelnetTitle = "导入VELNET数据";
inline constexpr std::string_view kVelnetDoneText = "数据文件转换成功！ ";
inline constexpr std::string_view kVelnetDoneCaption = "导入VELNET数据成功";
inline constexpr std::string_view kVelnetFailedCaption = "导入VELNET数据失败";
inline constexpr std::string_view kVelnetProgressText = "正在进行文件格式转换，请稍后......";

// "您确认要导入<folder>目录下的数据文件并转换成VELSEND格式?"
std::string VelnetQuestion(const std::filesystem::path& folder);
// The failure text naming the folder that was searched.
std::string VelnetFailedText(const std::filesystem::path& folder);

struct VelnetReport {
    int converted = 0;  // loops whose three sources were read
    std::string message;
};

// Converts loops `first`..`last` from `folder` into devc%d.dat and log%d.dat
// of the project (written from their start, a longer file keeps its tail).
// Succeeds when every loop of the range was converted, and only then writes
// anything: a missing source fails the run with the project as it was; loops
// above 255 never count. A short source reads as zeros past its end and is
// named, with its size, in the lines after the message's first. An empty
// range (last = first - 1) succeeds with nothing to do; first > last + 1 fails.
base::Result<VelnetReport> ImportVelnet(const store::ProjectDir& dir,
                                        const std::filesystem::path& folder, std::uint32_t first,
                                        std::uint32_t last);

}  // namespace velsend::exchange

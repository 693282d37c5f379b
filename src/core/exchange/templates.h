#pragma once

#include <filesystem>
#include <string_view>

#include "base/result.h"
#include "core/exchange/workbook.h"

namespace velsend::exchange {

// The two workbooks the program hands out: the empty exchange layout with
// its notes, and the same layout filled with sample rows.
enum class TemplateKind { Standard, Example };

// "VelSend标准模板.xlsx" / "VelSend示例模板.xlsx".
std::string_view TemplateFileName(TemplateKind kind);

// Sheet names and headers of the exchange layout (UTF-8).
inline constexpr std::string_view kDeviceSheetName = "总线设备";
inline constexpr std::string_view kLogicSheetName = "逻辑规则";
inline constexpr std::string_view kPhraseSheetName = "词库";
inline constexpr std::string_view kAddressHeader = "地址码";
inline constexpr std::string_view kTypeHeader = "类型";

// An empty device sheet (headers and notes) under `name`, and the logic and
// phrase sheets with their headers and notes.
Sheet DeviceSheet(std::string name);
Sheet LogicSheet();
Sheet PhraseSheet();

Workbook StandardTemplate();
Workbook ExampleTemplate();

// Writes the template as .xlsx at `path`.
base::Result<> WriteTemplate(TemplateKind kind, const std::filesystem::path& path);

inline constexpr std::string_view kTemplateDoneText = "生成完毕！";
inline constexpr std::string_view kOpenFailedText = "打开文件失败！";

}  // namespace velsend::exchange

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

// `path` with ".xls" (any case) replaced by ".xlsx": what this program
// writes is .xlsx, and a name promising .xls gives a file the spreadsheet
// program refuses or warns about. Other names stay as they are.
std::filesystem::path XlsxFileName(const std::filesystem::path& path);

// Writes the template as .xlsx at XlsxFileName(path); the file written.
base::Result<std::filesystem::path> WriteTemplate(TemplateKind kind,
                                                  const std::filesystem::path& path);

inline constexpr std::string_view kTemplateDoneText = "生成完毕！";
inline constexpr std::string_view kOpenFailedText = "打开文件失败！";

}  // namespace velsend::exchange

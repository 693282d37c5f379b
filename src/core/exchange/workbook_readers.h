#pragma once

// Inside the workbook layer: the readers of each format and the text
// conversions they share. Not for the exchange routines.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/exchange/workbook.h"

namespace velsend::exchange::detail {

// UTF-8 -> GBK and back with converters kept per thread (a workbook has
// hundreds of thousands of cells; opening a converter per cell costs more
// than the reading). ASCII passes straight through.
std::optional<std::string> Utf8ToGbkFast(std::string_view utf8);
std::string GbkToUtf8Fast(std::string_view gbk);

// A text cell read from a file: Text when GBK can hold it, else Other.
Cell TextFromUtf8(std::string_view utf8);
// A number read from a file: NaN and infinities are not numbers.
Cell NumberFromFile(double value);

base::Error NotWorkbook(std::string reason);
base::Error PasswordProtected();

// Runs `read` in a child process and returns what it read; a child that
// crashes or is killed gives an error instead.
base::Result<Workbook> ReadIsolated(const std::function<base::Result<Workbook>()>& read, const ReadLimits& limits);

base::Result<Workbook> ReadXlsFile(const std::filesystem::path& path, const ReadLimits& limits);
base::Result<Workbook> ReadZipWorkbook(std::string_view bytes, WorkbookFormat format,
                                       const ReadLimits& limits);

}  // namespace velsend::exchange::detail

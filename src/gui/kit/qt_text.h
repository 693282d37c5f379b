#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/platform/system.h"
#include "base/result.h"

namespace velsend::gui::kit {

// Core texts are UTF-8; these are the crossings between them and Qt's
// strings.
inline QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string U8(const QString& text) {
    return text.toStdString();
}

// A path as Qt's text and back, through the platform layer's UTF-8 form: a
// Chinese folder name survives on Windows (whose paths are wide) as on Linux.
inline QString QPath(const std::filesystem::path& path) {
    return Q(platform::PathToUtf8(path));
}
inline std::filesystem::path StdPath(const QString& path) {
    return platform::PathFromUtf8(U8(path));
}

// A dialog's own failure text with the system's reason on a second line.
inline QString WithReason(const QString& text, const base::Error& error) {
    return error.reason.empty() ? text : text + QLatin1Char('\n') + Q(error.reason);
}

// A file or folder as a message names it: absolute, clean, native separators.
inline QString ShownPath(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

}  // namespace velsend::gui::kit

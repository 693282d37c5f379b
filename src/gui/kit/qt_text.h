#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <string>
#include <string_view>

#include "base/result.h"

namespace velsend::gui::kit {

// Core texts are UTF-8; these are the only crossings into Qt's strings.
inline QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string U8(const QString& text) {
    return text.toStdString();
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

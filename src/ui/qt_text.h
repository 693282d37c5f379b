#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace velsend::ui {

// Core texts are UTF-8; these are the only crossings into Qt's strings.
inline QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string U8(const QString& text) {
    return text.toStdString();
}

}  // namespace velsend::ui

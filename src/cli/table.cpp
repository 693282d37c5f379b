#include "cli/table.h"

#include <algorithm>
#include <ostream>

namespace velsend::cli {
namespace {

bool Wide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6);
}

}  // namespace

int DisplayWidth(std::string_view s) {
    int width = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = len == 1 ? lead : lead & (0x3F >> (len - 1));
        for (std::size_t k = 1; k < len && i + k < s.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        width += Wide(c) ? 2 : 1;
        i += len;
    }
    return width;
}

void Table::Print(std::ostream& out) const {
    std::vector<int> widths(header_.size(), 0);
    auto measure = [&](const std::vector<std::string>& row) {
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    };
    measure(header_);
    for (const auto& row : rows_) measure(row);
    auto print = [&](const std::vector<std::string>& row) {
        std::string line;
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(static_cast<std::size_t>(widths[c] - DisplayWidth(row[c]) + 2),
                                    ' ');
        }
        out << line << "\n";
    };
    print(header_);
    for (const auto& row : rows_) print(row);
}

}  // namespace velsend::cli

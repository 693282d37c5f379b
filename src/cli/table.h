#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace velsend::cli {

// Columns on a terminal: wide (CJK) characters take two cells.
int DisplayWidth(std::string_view utf8);

class Table {
  public:
    explicit Table(std::vector<std::string> header) : header_(std::move(header)) {}
    void AddRow(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    std::size_t RowCount() const { return rows_.size(); }
    void Print(std::ostream& out) const;

  private:
    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace velsend::cli

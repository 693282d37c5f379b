// The .xlsx and .ods readers over liborcus: a small import factory that keeps
// only sheet names and the values of the cells inside the limits.
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>

#include <cctype>
#include <deque>
#include <stdexcept>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>

#include "core/exchange/workbook_readers.h"

namespace velsend::exchange::detail {
namespace {

namespace ss = orcus::spreadsheet;

class SharedStrings final : public ss::iface::import_shared_strings {
  public:
    explicit SharedStrings(std::size_t maxBytes) : maxBytes_(maxBytes) {}

    std::size_t append(std::string_view s) override {
        Count(s.size());
        strings_.emplace_back(s);
        return strings_.size() - 1;
    }
    std::size_t add(std::string_view s) override {
        if (auto it = index_.find(std::string(s)); it != index_.end()) return it->second;
        const std::size_t id = append(s);
        index_.emplace(strings_.back(), id);
        return id;
    }
    void set_segment_font(std::size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t,
                                ss::color_elem_t) override {}
    void append_segment(std::string_view s) override {
        Count(s.size());
        segments_.append(s);
    }
    std::size_t commit_segments() override {
        std::string text;
        text.swap(segments_);
        return append(text);
    }

    const std::string* Get(std::size_t id) const { return id < strings_.size() ? &strings_[id] : nullptr; }

  private:
    // The zip bound limits what the files unpack to; strings repeated through
    // the rows of an .ods could still multiply, so they have their own.
    void Count(std::size_t bytes) {
        total_ += bytes;
        if (total_ > maxBytes_) throw std::length_error("shared strings exceed the limit");
    }

    std::size_t maxBytes_;
    std::size_t total_ = 0;
    std::deque<std::string> strings_;
    std::unordered_map<std::string, std::size_t> index_;
    std::string segments_;
};

class SheetSink final : public ss::iface::import_sheet {
  public:
    SheetSink(Sheet& sheet, const SharedStrings& strings, const ReadLimits& limits, std::size_t& cellBudget)
        : sheet_(sheet), strings_(strings), limits_(limits), cellBudget_(cellBudget) {}

    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override {
        if (!Keep(row, col)) return;
        char* end = nullptr;
        const std::string text(s);
        const double v = std::strtod(text.c_str(), &end);
        if (!text.empty() && end && *end == '\0')
            Store(row, col, NumberFromFile(v));
        else
            Store(row, col, TextFromUtf8(s));
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t id) override {
        if (!Keep(row, col)) return;
        const std::string* s = strings_.Get(id);
        Store(row, col, s ? TextFromUtf8(*s) : Cell{CellKind::Other, 0, {}});
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override {
        if (Keep(row, col)) Store(row, col, NumberFromFile(value));
    }
    void set_bool(ss::row_t row, ss::col_t col, bool) override {
        if (Keep(row, col)) Store(row, col, Cell{CellKind::Other, 0, {}});
    }
    void set_date_time(ss::row_t row, ss::col_t col, int, int, int, int, int, double) override {
        if (Keep(row, col)) Store(row, col, Cell{CellKind::Other, 0, {}});
    }
    void set_format(ss::row_t, ss::col_t, std::size_t) override {}
    void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, std::size_t) override {}
    void fill_down_cells(ss::row_t srcRow, ss::col_t srcCol, ss::row_t rangeSize) override {
        if (!Keep(srcRow, srcCol)) return;
        const Cell source = sheet_.Get(srcRow + 1, srcCol + 1);
        for (ss::row_t r = 1; r <= rangeSize && Keep(srcRow + r, srcCol); ++r)
            Store(srcRow + r, srcCol, source);
    }
    ss::range_size_t get_sheet_size() const override {
        return {limits_.maxRows, limits_.maxColumns};
    }

  private:
    bool Keep(ss::row_t row, ss::col_t col) const {
        return row >= 0 && col >= 0 && row < limits_.maxRows && col < limits_.maxColumns;
    }
    void Store(ss::row_t row, ss::col_t col, Cell cell) {
        if (cellBudget_ == 0) throw std::length_error("too many cells");
        --cellBudget_;
        sheet_.Put(row + 1, col + 1, std::move(cell));
    }

    Sheet& sheet_;
    const SharedStrings& strings_;
    const ReadLimits& limits_;
    std::size_t& cellBudget_;
};

// Cell references as the .xlsx files write them ("B12", "A1:J1"); only
// the first sheet-less form is ever asked for by the cell reader.
class References final : public ss::iface::import_reference_resolver {
  public:
    ss::src_address_t resolve_address(std::string_view address) override {
        ss::src_address_t out{0, 0, 0};
        std::size_t i = 0;
        if (i < address.size() && address[i] == '$') ++i;
        std::int64_t column = 0;
        bool letters = false;
        for (; i < address.size() && std::isalpha(static_cast<unsigned char>(address[i])); ++i) {
            column = column * 26 + (std::toupper(static_cast<unsigned char>(address[i])) - 'A' + 1);
            letters = true;
            if (column > 1 << 20) throw std::invalid_argument("bad cell reference");
        }
        if (i < address.size() && address[i] == '$') ++i;
        std::int64_t row = 0;
        bool digits = false;
        for (; i < address.size() && std::isdigit(static_cast<unsigned char>(address[i])); ++i) {
            row = row * 10 + (address[i] - '0');
            digits = true;
            if (row > 1 << 24) throw std::invalid_argument("bad cell reference");
        }
        if (!letters || !digits || i != address.size() || row == 0)
            throw std::invalid_argument("bad cell reference");
        out.row = static_cast<ss::row_t>(row - 1);
        out.column = static_cast<ss::col_t>(column - 1);
        return out;
    }
    ss::src_range_t resolve_range(std::string_view range) override {
        const auto colon = range.find(':');
        if (colon == std::string_view::npos) {
            const auto a = resolve_address(range);
            return {a, a};
        }
        return {resolve_address(range.substr(0, colon)), resolve_address(range.substr(colon + 1))};
    }
};

class Factory final : public ss::iface::import_factory {
  public:
    explicit Factory(const ReadLimits& limits)
        : limits_(limits),
          strings_(limits.maxUnpackedBytes),
          cellBudget_(static_cast<std::size_t>(limits.maxRows) * 16) {}

    ss::iface::import_shared_strings* get_shared_strings() override { return &strings_; }
    ss::iface::import_reference_resolver* get_reference_resolver(ss::formula_ref_context_t) override {
        return &references_;
    }

    ss::iface::import_sheet* append_sheet(ss::sheet_t, std::string_view name) override {
        if (static_cast<int>(sheets_.size()) >= limits_.maxSheets)
            throw std::length_error("too many sheets");
        // Deques keep the sheets and their sinks in place while the parser
        // holds pointers to them.
        sheets_.emplace_back(std::string(name));
        sinks_.push_back(std::make_unique<SheetSink>(sheets_.back(), strings_, limits_, cellBudget_));
        return sinks_.back().get();
    }
    ss::iface::import_sheet* get_sheet(std::string_view name) override {
        for (std::size_t i = 0; i < sheets_.size(); ++i)
            if (sheets_[i].Name() == name) return sinks_[i].get();
        return nullptr;
    }
    ss::iface::import_sheet* get_sheet(ss::sheet_t index) override {
        if (index < 0 || static_cast<std::size_t>(index) >= sheets_.size()) return nullptr;
        return sinks_[static_cast<std::size_t>(index)].get();
    }
    void finalize() override {}

    Workbook Take() {
        Workbook workbook;
        for (Sheet& sheet : sheets_) workbook.sheets.push_back(std::move(sheet));
        return workbook;
    }

  private:
    const ReadLimits& limits_;
    SharedStrings strings_;
    References references_;
    std::size_t cellBudget_;
    std::deque<Sheet> sheets_;
    std::deque<std::unique_ptr<SheetSink>> sinks_;
};

}  // namespace

namespace {

base::Result<Workbook> ReadZipInProcess(std::string_view bytes, WorkbookFormat format, const ReadLimits& limits) {
    try {
        Factory factory(limits);
        if (format == WorkbookFormat::Xlsx) {
            orcus::orcus_xlsx filter(&factory);
            filter.read_stream(bytes);
        } else {
            orcus::orcus_ods filter(&factory);
            filter.read_stream(bytes);
        }
        return factory.Take();
    } catch (const std::length_error& e) {
        return base::Error{std::string(kTooBigText), e.what()};
    } catch (const std::bad_alloc&) {
        return base::Error{std::string(kTooBigText), "out of memory"};
    } catch (const std::exception& e) {
        return NotWorkbook(std::string("liborcus: ") + e.what());
    } catch (...) {
        return NotWorkbook("liborcus: unknown error");
    }
}

}  // namespace

base::Result<Workbook> ReadZipWorkbook(std::string_view bytes, WorkbookFormat format,
                                       const ReadLimits& limits) {
    return ReadIsolated([&] { return ReadZipInProcess(bytes, format, limits); }, limits);
}

}  // namespace velsend::exchange::detail

#pragma once

#include <array>
#include <optional>

#include "core/store/device_store.h"

namespace velsend::loops {

// The labels of one loop's 256 addresses, computed once per loop (and per
// saved address) so that drawing the grid never touches a file.
using GridLabels = std::array<store::GridLabel, store::kAddressCount>;
GridLabels BuildGridLabels(const store::DeviceFile& devices);
GridLabels ReadGridLabels(const store::ProjectDir& dir, int loop);

// The three filter columns beside both device grids.
enum class FilterColumn { Alarm = 0, Module = 1, Borrowed = 2 };
inline constexpr int kFilterColumnCount = 3;
// Boxes in a column: 21 alarm types, 32 module types, 32 borrowed types.
int ColumnSize(FilterColumn column);
// The filter slot of box `row` in `column`.
int SlotOf(FilterColumn column, int row);

// Which labels the grid shows. Slot 85 (zone displays, empty addresses) is
// always shown; slot 86 (alarm devices whose type has no box) follows the
// alarm column box only.
class TypeFilter {
  public:
    TypeFilter() { flags_.fill(true); }

    bool Shows(int slot) const;
    bool TypeChecked(FilterColumn column, int row) const { return flags_[SlotOf(column, row)]; }
    // Ticked while at least one box of the column is.
    bool ColumnChecked(FilterColumn column) const { return columnChecked_[Index(column)]; }

    void SetType(FilterColumn column, int row, bool on);
    void SetColumn(FilterColumn column, bool on);

  private:
    static int Index(FilterColumn column) { return static_cast<int>(column); }
    std::array<bool, store::kFilterSlotCount> flags_{};
    std::array<bool, kFilterColumnCount> columnChecked_{true, true, true};
};

// Where a grid lies in its window's client area (pixels).
struct GridGeometry {
    int left;         // x of the first vertical line
    int top;          // y of the first horizontal line
    int cell;         // cell size
    int headingTop;   // column headings from here down to `top`
    int headingLeft;  // row headings from here right to `left`
    int Right() const { return left + 16 * cell; }
    int Bottom() const { return top + 16 * cell; }
};
// The detail dialog's grid and the grid view's.
inline constexpr GridGeometry kDetailGrid{410, 30, 28, 12, 382};
inline constexpr GridGeometry kGridView{30, 20, 32, 5, 0};

// The address under a click, if it fell on the grid.
std::optional<int> AddressAt(const GridGeometry& grid, int x, int y);

}  // namespace velsend::loops

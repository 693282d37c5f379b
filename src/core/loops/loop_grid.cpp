#include "core/loops/loop_grid.h"

namespace velsend::loops {

GridLabels BuildGridLabels(const store::DeviceFile& devices) {
    GridLabels labels;
    for (std::size_t i = 0; i < devices.size(); ++i) labels[i] = store::GridLabelOf(devices[i]);
    return labels;
}

GridLabels ReadGridLabels(const store::ProjectDir& dir, int loop) {
    return BuildGridLabels(store::ReadDeviceFile(dir, loop));
}

int ColumnSize(FilterColumn column) {
    return column == FilterColumn::Alarm ? store::kAlarmTypeCount : store::kModuleTypeCount;
}

int SlotOf(FilterColumn column, int row) {
    switch (column) {
        case FilterColumn::Alarm:
            return row;
        case FilterColumn::Module:
            return store::kModuleSlotBase + row;
        case FilterColumn::Borrowed:
            break;
    }
    return store::kBorrowedSlotBase + row;
}

bool TypeFilter::Shows(int slot) const {
    if (slot == store::kPlainSlot) return true;
    return slot >= 0 && slot < store::kFilterSlotCount && flags_[slot];
}

void TypeFilter::SetType(FilterColumn column, int row, bool on) {
    flags_[SlotOf(column, row)] = on;
    bool any = false;
    for (int r = 0; r < ColumnSize(column); ++r) any = any || flags_[SlotOf(column, r)];
    columnChecked_[Index(column)] = any;
}

void TypeFilter::SetColumn(FilterColumn column, bool on) {
    for (int r = 0; r < ColumnSize(column); ++r) flags_[SlotOf(column, r)] = on;
    if (column == FilterColumn::Alarm) flags_[store::kUntypedAlarmSlot] = on;
    columnChecked_[Index(column)] = on;
}

std::optional<int> AddressAt(const GridGeometry& grid, int x, int y) {
    if (x < grid.left || x >= grid.Right() || y < grid.top || y >= grid.Bottom())
        return std::nullopt;
    return (y - grid.top) / grid.cell * 16 + (x - grid.left) / grid.cell;
}

}  // namespace velsend::loops

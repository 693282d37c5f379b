#pragma once

#include <string_view>
#include <vector>

namespace velsend::app {

// One entry of a menu bar: a command, a separator or a popup with items.
struct MenuEntry {
    enum class Kind { Command, Separator, Popup };
    Kind kind = Kind::Command;
    int id = 0;  // commands only
    std::string_view text;
    std::vector<MenuEntry> items;  // popups only
};

struct MenuBarLayout {
    int id = 0;  // 128, 136, 175 or 178
    std::vector<MenuEntry> entries;
};

// The four menu bars in the order 128, 136, 175, 178.
const std::vector<MenuBarLayout>& MenuBars();
// Throws std::out_of_range for an unknown id.
const MenuBarLayout& MenuBarById(int id);

// Every command id of the command map, in the map's order.
const std::vector<int>& CommandIds();
// The status-bar prompt shown while the command's item is highlighted.
std::string_view CommandPrompt(int id);

}  // namespace velsend::app

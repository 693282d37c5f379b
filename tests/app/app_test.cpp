#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "app/lock_keys.h"
#include "app/menus.h"
#include "base/command_ids.h"
#include "base/controller_model.h"
#include "gui/kit/run_state.h"
#include "temp_dir.h"

namespace velsend::app {

using namespace velsend::base;
namespace {

TEST(ControllerModels, MenuBarsCaptionsAndHandshakeCodes) {
    const int menus[] = {128, 136, 175, 175, 178, 178};
    const int codes[] = {1, 2, 3, 4, 3, 4};
    for (int m = 1; m <= 6; ++m) {
        EXPECT_EQ(ModelInfo(m).menuBar, menus[m - 1]) << m;
        EXPECT_EQ(ModelInfo(m).handshakeCode, codes[m - 1]) << m;
    }
    EXPECT_EQ(MainCaption(2), "VelSend v10.1 (更新与2013.4.9) - MX300KA(新)、MX300KAⅡ(新、老)");
    EXPECT_EQ(MainCaption(1), "VelSend v10.1 (更新与2013.4.9) - MX300KA(老)");
    EXPECT_EQ(MainCaption(3), "VelSend v10.1 (更新与2013.4.9) - MX300KBX(W29C020)");
    EXPECT_FALSE(IsValidModel(0));
    EXPECT_FALSE(IsValidModel(7));
    EXPECT_THROW(ModelInfo(7), std::out_of_range);
}

TEST(RunState, StartsWithTheDefaults) {
    const gui::kit::RunState state;
    EXPECT_EQ(state.ControllerModel, 2);
    EXPECT_EQ(state.BusDeviceClass, -1);
    EXPECT_EQ(state.PhraseInitMode, -1);
    EXPECT_EQ(state.Rules.PortIndex, 0);
    EXPECT_EQ(state.Rules.BaudRate, 115200u);
    EXPECT_EQ(state.Rules.LastLoop, 3);
    EXPECT_EQ(state.Rules.LastAddress, 255);
    EXPECT_EQ(state.Rules.LastPhrase, 255);
    EXPECT_EQ(state.Rules.LastLogic, 0u);
    EXPECT_EQ(state.Rules.PaceDelay, 5);
    EXPECT_FALSE(state.BurnerPort.IsOpen());
}

void CollectCommands(const std::vector<MenuEntry>& entries, std::set<int>& ids) {
    for (const MenuEntry& e : entries) {
        if (e.kind == MenuEntry::Kind::Command) ids.insert(e.id);
        if (e.kind == MenuEntry::Kind::Popup) CollectCommands(e.items, ids);
    }
}

TEST(Menus, EveryCommandOfTheMapIsOnSomeBarAndHasAPrompt) {
    std::set<int> onBars;
    for (const MenuBarLayout& bar : MenuBars()) CollectCommands(bar.entries, onBars);
    const std::set<int> mapped(CommandIds().begin(), CommandIds().end());
    EXPECT_EQ(CommandIds().size(), 40u);
    EXPECT_EQ(onBars, mapped);
    for (int id : CommandIds()) EXPECT_FALSE(CommandPrompt(id).empty()) << id;
    EXPECT_TRUE(CommandPrompt(4242).empty());
    EXPECT_THROW(MenuBarById(129), std::out_of_range);
}

TEST(Menus, NewestFamilyHasNoNodeOrLoopItems) {
    std::set<int> ids;
    CollectCommands(MenuBarById(178).entries, ids);
    EXPECT_EQ(ids.count(ID_NODE_SETTINGS), 0u);
    EXPECT_EQ(ids.count(ID_LOOP_QUERY), 0u);
    EXPECT_EQ(ids.count(ID_SEND_PHRASES), 1u);
}

TEST(LockKeys, ReadsTheKeyboardLights) {
    test::TempDir leds;
    auto led = [&](const std::string& name, int brightness) {
        std::filesystem::create_directories(leds / name);
        std::ofstream(leds.path() / name / "brightness") << brightness << "\n";
    };
    led("input3::capslock", 0);
    led("input7::capslock", 1);  // a second keyboard with Caps Lock on
    led("input3::numlock", 1);
    led("input3::scrolllock", 0);
    led("phy0-led", 1);
    const LockKeyState state = ReadLockKeys(leds.path().string());
    EXPECT_TRUE(state.caps);
    EXPECT_TRUE(state.num);
    EXPECT_FALSE(state.scroll);

    const LockKeyState none = ReadLockKeys((leds / "missing").string());
    EXPECT_FALSE(none.caps || none.num || none.scroll);
}

}  // namespace
}  // namespace velsend::app

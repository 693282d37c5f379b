#include "core/burner/model_selection.h"
#include "core/session/run_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fake_prompt.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace velsend::burner {

using namespace velsend::base;
namespace {

class ModelSelectionTest : public ::testing::Test {
  protected:
    void Attach(const test::SimProcess& sim) {
        ASSERT_FALSE(sim.path().empty()) << "simulator did not start";
        state.Ports = burner::PortList::FromSpec(sim.path());
    }
    test::TempDir dir;
    session::RunSettings state;
    test::FakePrompt prompt;
};

TEST_F(ModelSelectionTest, EachModelSendsItsHandshakeCode) {
    test::SimProcess sim({}, dir / "sim.log");
    Attach(sim);
    const int codes[] = {1, 2, 3, 4, 3, 4};
    std::vector<int> expected;
    for (int model = 1; model <= 6; ++model) {
        EXPECT_EQ(session::SelectRunModel(state, model, prompt), SelectionOutcome::Selected)
            << model;
        EXPECT_EQ(state.ControllerModel, model);
        EXPECT_FALSE(state.BurnerPort.IsOpen());
        expected.push_back(0x10);
        expected.push_back(codes[model - 1]);
        // The next open purges what the simulator has not read yet; a real
        // line has the bytes on the wire by then.
        EXPECT_EQ(sim.WaitReceived(expected.size()), expected);
    }
    EXPECT_TRUE(prompt.shown.empty());
}

// The chosen adapter is re-plugged and comes back under the other number:
// the handshake follows it, as transfers do, and the other device hears nothing.
TEST_F(ModelSelectionTest, TheHandshakeFollowsTheChosenAdapter) {
    namespace fs = std::filesystem;
    test::SimProcess other({}, dir / "other.log");
    test::SimProcess chosen({}, dir / "chosen.log");
    ASSERT_FALSE(other.path().empty() || chosen.path().empty());
    const fs::path dev = dir / "dev";
    fs::create_directories(dev / "serial/by-id");
    const std::string ftdi = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    const auto plug = [&](const std::string& first, const std::string& second,
                          const char* chosenAt) {
        for (const char* name : {"ttyUSB0", "ttyUSB1"}) fs::remove(dev / name);
        fs::remove(dev / "serial/by-id" / ftdi);
        fs::create_symlink(first, dev / "ttyUSB0");
        fs::create_symlink(second, dev / "ttyUSB1");
        fs::create_symlink(std::string("../../") + chosenAt, dev / "serial/by-id" / ftdi);
    };
    plug(other.path(), chosen.path(), "ttyUSB1");
    state.Ports = burner::PortList::Scan(dev.string(), (dir / "sys").string());
    state.Rules.PortIndex = 1;
    state.Rules.PortIdentity = ftdi;
    plug(chosen.path(), other.path(), "ttyUSB0");
    EXPECT_EQ(session::SelectRunModel(state, 3, prompt), SelectionOutcome::Selected);
    EXPECT_EQ(chosen.WaitReceived(2), (std::vector<int>{0x10, 3}));
    EXPECT_TRUE(other.Received().empty());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(ModelSelectionTest, SilentBurnerAsksAndNoChangesNothing) {
    test::SimProcess sim({"--silent"}, dir / "sim.log");
    Attach(sim);
    prompt.answers = {false};
    EXPECT_EQ(session::SelectRunModel(state, 5, prompt), SelectionOutcome::Refused);
    EXPECT_EQ(state.ControllerModel, 2);
    EXPECT_FALSE(state.BurnerPort.IsOpen());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "烧写器没有上电 或 通讯线没有连接电脑，仍然执行此操作吗?");
    EXPECT_EQ(prompt.shown[0].caption, std::string(kAppTitle));
    // Only the request went out; no model code without an echo.
    EXPECT_EQ(sim.WaitReceived(1), std::vector<int>{0x10});
}

TEST_F(ModelSelectionTest, WrongAnswerCountsAsSilenceAndYesSelects) {
    test::SimProcess sim({"--answer", "60"}, dir / "sim.log");
    Attach(sim);
    prompt.answers = {true};
    EXPECT_EQ(session::SelectRunModel(state, 1, prompt), SelectionOutcome::SelectedUnheard);
    EXPECT_EQ(state.ControllerModel, 1);
    EXPECT_EQ(prompt.Questions(), 1);
    EXPECT_EQ(sim.WaitReceived(1), std::vector<int>{0x10});
    EXPECT_EQ(sim.Sent(), std::vector<int>{0x60});
}

TEST_F(ModelSelectionTest, MissingPortIsReportedThenAsked) {
    state.Ports = burner::PortList::FromSpec("/dev/velsend-no-such-port");
    prompt.answers = {false};
    EXPECT_EQ(session::SelectRunModel(state, 3, prompt), SelectionOutcome::Refused);
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_FALSE(prompt.shown[0].question);
    EXPECT_EQ(prompt.shown[0].text.rfind("没有发现 COM1 串口", 0), 0u);
    EXPECT_TRUE(prompt.shown[1].question);
    EXPECT_EQ(state.ControllerModel, 2);
}

}  // namespace
}  // namespace velsend::burner

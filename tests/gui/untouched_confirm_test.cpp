// Opening an editing dialog and confirming it without an edit must leave the
// project as it was, byte for byte, whatever the files hold: the demo project
// and a project of random bytes, under every model.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <fstream>
#include <functional>
#include <map>
#include <random>

#include "core/demo/demo_project.h"
#include "core/logic/logic_files.h"
#include "gui/devices/class_device_dlg.h"
#include "gui/devices/device_detail_dlg.h"
#include "gui/kit/number_edit.h"
#include "gui/logic/logic_rules_dlg.h"
#include "gui/phrases/phrase_editor_dlg.h"
#include "gui/store/node_set_dlg.h"
#include "gui/store/project_info_dlg.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "typing.h"
#include "widgets.h"

namespace velsend {
namespace {

using Snapshot = std::map<std::string, std::vector<std::uint8_t>>;

Snapshot Take(const std::filesystem::path& dir) {
    Snapshot files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files[entry.path().filename().string()] = test::ReadBytes(entry.path());
    return files;
}

// Every file the dialogs read, each of its usual size (a rule file shorter),
// filled with random bytes; seeded, so a failure repeats.
void WriteRandomProject(const std::filesystem::path& dir) {
    std::mt19937 random(21);
    const auto put = [&](const std::string& name, std::size_t size) {
        std::vector<char> bytes(size);
        for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
        std::ofstream(dir / name, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(size));
    };
    for (int loop = 0; loop < 2; ++loop) {
        put("devc" + std::to_string(loop) + ".dat", store::kDeviceFileSize);
        put("ch" + std::to_string(loop) + ".dat", store::kNameFileSize);
        put("log" + std::to_string(loop) + ".dat", store::kDeviceLogicFileSize);
    }
    for (int rule = 0; rule < 3; ++rule) put("logic" + std::to_string(rule) + ".dat", 60);
    put("word.dat", store::kLibrarySize);
    put("node1.dat", store::kNode1Size);
    put("node2.dat", store::kNode2Size);
    put("info.dat", 300);
}

class UntouchedConfirm : public ::testing::TestWithParam<bool> {
  protected:
    UntouchedConfirm() {
        state.Project = store::ProjectDir(dir.path());
        if (GetParam()) {
            WriteRandomProject(dir.path());
        } else {
            EXPECT_TRUE(demo::WriteDemoProject(state.Project));
        }
        before = Take(dir.path());
    }
    void ExpectUnchanged(const std::string& what) {
        const Snapshot after = Take(dir.path());
        for (const auto& [name, bytes] : before) {
            const auto found = after.find(name);
            ASSERT_NE(found, after.end()) << what << " removed " << name;
            EXPECT_TRUE(found->second == bytes) << what << " changed " << name;
        }
        EXPECT_EQ(after.size(), before.size()) << what << " added files";
    }

    test::TempDir dir;
    gui::kit::RunState state;
    test::ScriptedMessages messages;
    Snapshot before;
};

TEST_P(UntouchedConfirm, EveryEditingDialogUnderEveryModelLeavesTheFilesAsTheyWere) {
    for (int model = 1; model <= 6; ++model) {
        state.ControllerModel = model;
        const std::string under = " under model " + std::to_string(model);

        // The first family's class dialogs (only its menu has them), each
        // address opened in the dialog of its own class, every address of
        // two loops.
        for (int loop = 0; loop < (model == 1 ? 2 : 0); ++loop) {
            const store::DeviceFile devices = store::ReadDeviceFile(state.Project, loop);
            for (int address = 0; address < 256; address += GetParam() ? 1 : 3) {
                state.CurrentLoop = loop;
                state.CurrentAddress = address;
                state.BusDeviceClass = devices[static_cast<std::size_t>(address)].ProductClass();
                auto dialog = gui::devices::MakeClassDeviceDlg(state, messages);
                test::Child<QPushButton>(dialog.get(), "ok")->click();
            }
        }
        ExpectUnchanged("class dialogs" + under);

        // The detail dialog, read-next through a whole loop and into the next.
        {
            gui::devices::DeviceDetailDlg detail(state, messages);
            detail.show();
            auto* readNext = detail.findChild<QPushButton*>(QStringLiteral("readNext"));
            ASSERT_NE(readNext, nullptr);
            for (int step = 0; step < 300; ++step) readNext->click();
        }
        ExpectUnchanged("detail dialog" + under);

        {
            gui::store::NineByteNodeSetDlg node9(state.Node9, state.Project, messages);
            test::Child<QPushButton>(&node9, "ok")->click();
            gui::store::TenByteNodeSetDlg node10(state.Node10, state.Project, messages);
            test::Child<QPushButton>(&node10, "ok")->click();
        }
        ExpectUnchanged("node dialogs" + under);

        {
            gui::phrases::PhraseEditorDlg editor(state.Project, messages);
            editor.show();
            for (const char* number : {"0", "1", "7", "255"}) {
                test::Retype(editor.NumberEdit(), QString::fromLatin1(number));
                editor.SaveButton()->click();
            }
        }
        ExpectUnchanged("phrase editor" + under);

        {
            gui::logic::LogicRulesDlg rules(state, messages);
            rules.show();
            for (const char* number : {"0", "1", "2"}) {
                test::Retype(rules.NumberField(), QString::fromLatin1(number));
                rules.SaveButton()->click();
            }
        }
        ExpectUnchanged("logic dialog" + under);

        {
            gui::store::ProjectNameDlg name(state.Project, messages);
            test::Child<QPushButton>(&name, "ok")->click();
            gui::store::ProjectInfoDlg info(state.Project, messages);
            test::Child<QPushButton>(&info, "ok")->click();
        }
        ExpectUnchanged("project dialogs" + under);
    }
    // On the demo project every confirm goes through without a word.
    if (!GetParam()) {
        for (const auto& shown : messages.shown) ADD_FAILURE() << shown.text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(DemoAndRandom, UntouchedConfirm, ::testing::Values(false, true),
                         [](const auto& p) { return std::string(p.param ? "Random" : "Demo"); });

}  // namespace
}  // namespace velsend

// Every number a dialog takes refuses one past its upper bound with the
// bound in the message; a dialog that checks while the user types takes the
// bound itself.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <memory>

#include "gui/burner/transfer_rules_dlg.h"
#include "gui/devices/class_device_dlg.h"
#include "gui/devices/device_detail_dlg.h"
#include "gui/devices/device_type_dlg.h"
#include "gui/store/node_set_dlg.h"
#include "scripted_messages.h"
#include "temp_dir.h"
#include "typing.h"
#include "widgets.h"

namespace velsend {
namespace {

using test::Child;

struct Field {
    const char* name;
    int max;
};

struct DialogFields {
    const char* dialog;
    std::function<std::unique_ptr<QDialog>()> make;
    std::vector<Field> fields;
};

class NumericBoundsTest : public ::testing::Test {
  protected:
    NumericBoundsTest() { state.Project = store::ProjectDir(dir.path()); }
    // The dialogs check as the user types, or on 确定 when they do not;
    // true when the check came while typing.
    bool Enter(QDialog& dialog, QLineEdit* edit, int value) {
        const std::size_t before = messages.shown.size();
        test::Retype(edit, QString::number(value));
        if (messages.shown.size() != before) return true;
        if (auto* ok = Child<QPushButton>(&dialog, "ok")) ok->click();
        return false;
    }
    test::TempDir dir;
    gui::kit::RunState state;
    test::ScriptedMessages messages;
};

TEST_F(NumericBoundsTest, EveryNumberFieldRefusesOnePastItsBound) {
    // The class dialogs take loop and address from the type chooser.
    const std::vector<Field> place{{"zone", 255}, {"floor", 255}, {"room", 255}, {"phrase", 255}};
    auto with = [&place](std::vector<Field> fields) {
        fields.insert(fields.end(), place.begin(), place.end());
        return fields;
    };
    const std::vector<DialogFields> dialogs{
        {"DeviceDetailDlg",
         [this] {
             state.ControllerModel = 2;
             return std::make_unique<gui::devices::DeviceDetailDlg>(state, messages);
         },
         with({{"loop", 255}, {"address", 255}, {"delay", 127}})},
        {"ModuleDeviceDlg",
         [this] {
             state.ControllerModel = 1;
             state.BusDeviceClass = store::kModuleClass;
             return std::make_unique<gui::devices::ModuleDeviceDlg>(state, messages);
         },
         with({{"delay", 127}})},
        {"AlarmDeviceDlg",
         [this] {
             state.ControllerModel = 1;
             return std::make_unique<gui::devices::AlarmDeviceDlg>(state, messages);
         },
         place},
        {"DeviceTypeDlg",
         [this] { return std::make_unique<gui::devices::DeviceTypeDlg>(state, messages); },
         {{"loop", 255}, {"address", 255}}},
        {"QuickSetDlg",
         [this] { return std::make_unique<gui::devices::QuickSetDlg>(state, messages); },
         {{"loop", 255}, {"first", 255}, {"last", 255}}},
        {"NineByteNodeSetDlg",
         [this] {
             return std::make_unique<gui::store::NineByteNodeSetDlg>(state.Node9, state.Project,
                                                                     messages);
         },
         {{"local", 63},
          {"networkCount", 64},
          {"driverFirst", 63},
          {"linkageFirst", 63},
          {"linkageLast", 63}}},
        {"TenByteNodeSetDlg",
         [this] {
             return std::make_unique<gui::store::TenByteNodeSetDlg>(state.Node10, state.Project,
                                                                    messages);
         },
         {{"local", 63},
          {"networkCount", 64},
          {"driverFirst", 63},
          {"driverLast", 63},
          {"linkageFirst", 63},
          {"linkageLast", 63}}},
        {"TransferRulesDlg",
         [this] {
             return std::make_unique<gui::burner::TransferRulesDlg>(state.Rules, state.Ports, 2,
                                                                    messages);
         },
         {{"firstLogic", 1023},
          {"lastLogic", 1023},
          {"firstLoop", 255},
          {"lastLoop", 255},
          {"firstAddress", 255},
          {"lastAddress", 255},
          {"firstPhrase", 255},
          {"lastPhrase", 255},
          {"delay", 50}}},
    };
    for (const DialogFields& d : dialogs) {
        const std::unique_ptr<QDialog> dialog = d.make();
        dialog->show();
        for (const Field& f : d.fields) {
            SCOPED_TRACE(std::string(d.dialog) + " " + f.name);
            auto* edit = Child<QLineEdit>(dialog.get(), f.name);
            ASSERT_NE(edit, nullptr);
            edit->setEnabled(true);  // some wait for a class or mode to be chosen
            messages.shown.clear();
            const bool whileTyping = Enter(*dialog, edit, f.max + 1);
            ASSERT_FALSE(messages.shown.empty());
            EXPECT_EQ(messages.shown.back().text,
                      QStringLiteral("请输入一个在 0 和 %1 之间的整数。").arg(f.max));
            EXPECT_TRUE(dialog->isVisible());
            // The bound itself is taken; the field is left valid for the next row.
            messages.shown.clear();
            test::Retype(edit, QString::number(whileTyping ? f.max : 0));
            EXPECT_TRUE(messages.shown.empty()) << messages.shown.front().text.toStdString();
        }
    }
}

}  // namespace
}  // namespace velsend

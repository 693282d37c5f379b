// velsend-dialog-save: one save of an editing dialog, done the way the dialog
// does it, for the fault trials to race against the CLI's writers. It reads
// what the dialog would show, prints "shown", waits for a line on its input
// (the user typing), then saves through the same core call:
//   velsend-dialog-save DIR device LOOP ADDRESS ZONE   detail dialog: the
//                       address becomes an installed module in zone ZONE
//   velsend-dialog-save DIR logic N TEXT              "逻辑设置": rule N
//   velsend-dialog-save DIR phrase N TEXT             phrase editor: phrase N
// Exit 0 saved, 3 refused (the error on stderr), 2 usage. Test-only.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "base/platform/system.h"
#include "base/project_lock.h"
#include "base/result.h"
#include "core/devices/device_form.h"
#include "core/logic/logic_files.h"
#include "core/logic/rule_editing.h"
#include "core/phrases/phrase_library.h"
#include "core/session/project_access.h"
#include "core/store/project_files.h"

namespace {

using namespace velsend;

constexpr int kControllerModel = 2;

void WaitForGo() {
    std::cout << "shown" << std::endl;
    std::string line;
    std::getline(std::cin, line);
}

int Report(const base::Result<>& saved) {
    if (saved) return 0;
    std::cerr << saved.error().Full() << '\n';
    return 3;
}

int Usage() {
    std::cerr << "usage: velsend-dialog-save DIR device LOOP ADDRESS ZONE | logic N TEXT | "
                 "phrase N TEXT\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = platform::Utf8Arguments(argc, argv);
    if (args.size() < 4) return Usage();
    const store::ProjectDir dir(platform::PathFromUtf8(args[0]));
    // As the GUI opens a folder: an unfinished commit completed, its writes
    // under the folder's lock, its changes steps of the history.
    if (base::Result<> opened = base::OpenProjectFolder(dir.Root()); !opened) return Report(opened);
    session::HoldProject(dir.Root());
    const std::string& kind = args[1];
    const int number = std::atoi(args[2].c_str());
    if (kind == "device" && args.size() == 5) {
        devices::DeviceSession session(dir);
        session.GoToLoop(number);
        session.GoToAddress(std::atoi(args[3].c_str()));
        WaitForGo();
        devices::DeviceForm& form = session.EditForm();
        devices::PickClass(form, store::kModuleClass);
        form.state = 0;
        form.zone = std::atoi(args[4].c_str());
        return Report(session.Save());
    }
    if (kind == "logic" && args.size() == 4) {
        std::string shown = logic::ReadLogicRule(dir, number);
        WaitForGo();
        base::Result<int> saved =
            logic::SaveLogicRule(dir, kControllerModel, number, args[3], shown);
        return Report(saved ? base::Ok() : base::Result<>(saved.error()));
    }
    if (kind == "phrase" && args.size() == 4) {
        phrases::PhraseImage shown = phrases::ReadPhraseLibrary(dir);
        WaitForGo();
        phrases::PhraseImage edited = shown;
        phrases::SetPhrase(edited, number, args[3]);
        return Report(phrases::SavePhraseEdit(dir, shown, number, edited));
    }
    return Usage();
}

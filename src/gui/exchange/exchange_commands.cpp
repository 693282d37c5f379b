#include "gui/exchange/exchange_commands.h"

#include <QDialog>

#include "core/exchange/sd_import.h"
#include "core/exchange/sd_pack.h"
#include "core/exchange/text_print.h"
#include "gui/exchange/sd_dlg.h"
#include "gui/exchange/velnet_dlg.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/run_state.h"

namespace velsend::gui::exchange {

using base::SdFamily;
using base::Traits;
using kit::Q;

void RunVelnetImport(kit::RunState& state, kit::MessageService& messages, QWidget* window) {
    VelnetImportDlg range(state, messages, window);
    if (range.exec() != QDialog::Accepted) return;
    VelnetImportRunDlg run(state.Project, range.Folder(), state.VelnetFirstLoop,
                           state.VelnetLastLoop, messages, window);
    run.exec();
}

void RunTextPrint(kit::RunState& state, kit::MessageService& messages, QWidget* window) {
    const auto result =
        velsend::exchange::WriteTextPrintFiles(state.Project, state.ControllerModel);
    // The second line says where the files went, as a failure says why.
    messages.Message(window,
                     result ? Q(result->message) + QStringLiteral("\n文件夹：") +
                                  kit::ShownPath(kit::QPath(state.Project.Root()))
                            : Q(result.error().Full()),
                     Q(velsend::exchange::kPrintCaption),
                     result ? kit::MessageIcon::None : kit::MessageIcon::Warning);
}

void RunSdPack(kit::RunState& state, kit::MessageService& messages, QWidget* window) {
    const SdFamily family = Traits(state.ControllerModel).sdFamily;
    if (family == SdFamily::None) return;  // the families without SD cards
    SdPackDlg dialog(velsend::exchange::LayoutOf(family).maxStartLoop, window);
    if (dialog.exec() != QDialog::Accepted) return;
    state.SdControllerId = dialog.ControllerId();
    state.SdStartLoop = dialog.StartLoop();
    const auto result = velsend::exchange::PackSdCard(state.Project, family, state.SdControllerId,
                                                      state.SdStartLoop);
    messages.Message(window,
                     result ? Q(result->message) + QStringLiteral("\n文件：") +
                                  kit::ShownPath(kit::QPath(result->file))
                            : Q(result.error().Full()),
                     Q(velsend::exchange::kSdCaption), kit::MessageIcon::None);
}

void RunSdImport(kit::RunState& state, kit::MessageService& messages, QWidget* window,
                 SdFamily family) {
    // "数据文件|MXKA???.DAT|" as a Qt filter; names are matched in either case.
    const QString filter =
        Q(velsend::exchange::ImportDialogFilter(family)).section(QLatin1Char('|'), 0, 0);
    const QString pattern =
        Q(velsend::exchange::ImportDialogFilter(family)).section(QLatin1Char('|'), 1, 1);
    const QString file = messages.OpenFileName(
        window, Q(velsend::exchange::ImportDialogTitle(family)), kit::QPath(state.Project.Root()),
        filter + QStringLiteral(" (") + pattern + QLatin1Char(' ') + pattern.toLower() +
            QStringLiteral(")"));
    if (file.isEmpty()) return;
    SdImportDlg dialog(family, window);
    if (dialog.exec() != QDialog::Accepted) return;
    const auto result = velsend::exchange::ImportSdCard(state.Project, family, kit::StdPath(file),
                                                        dialog.StartLoop(), dialog.Sections());
    messages.Message(window, Q(result ? result->message : result.error().Full()),
                     Q(velsend::exchange::kSdCaption), kit::MessageIcon::None);
}

}  // namespace velsend::gui::exchange

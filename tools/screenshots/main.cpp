// Renders the program's windows into PNG files, for the README and for
// looking at layouts without a display:
//   QT_QPA_PLATFORM=offscreen velsend-screenshots OUTDIR [NAME...]

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QTableWidget>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "app/help_menu.h"
#include "app/main_frame.h"
#include "base/file_write.h"
#include "core/burner/chip_safety.h"
#include "core/demo/demo_project.h"
#include "core/devices/class_forms.h"
#include "core/history/history.h"
#include "core/loops/loop_copy.h"
#include "core/store/project_files.h"
#include "gui/burner/chip_copy_dlg.h"
#include "gui/burner/transfer_progress_dlg.h"
#include "gui/burner/transfer_rules_dlg.h"
#include "gui/devices/class_device_dlg.h"
#include "gui/devices/device_detail_dlg.h"
#include "gui/devices/device_type_dlg.h"
#include "gui/exchange/sd_dlg.h"
#include "gui/exchange/velnet_dlg.h"
#include "gui/history/history_dlg.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/run_state.h"
#include "gui/logic/logic_rules_dlg.h"
#include "gui/loops/loop_copy_dlg.h"
#include "gui/loops/loop_grid_dlg.h"
#include "gui/loops/loop_stats_dlg.h"
#include "gui/phrases/phrase_editor_dlg.h"
#include "gui/phrases/phrase_init_dlg.h"
#include "gui/report/report_commands.h"
#include "gui/report/report_preview_dlg.h"
#include "gui/store/node_set_dlg.h"
#include "gui/store/project_info_dlg.h"
#include "gui/store/project_init_dlg.h"

namespace {

using namespace velsend;

struct Shot {
    const char* name;
    std::function<std::unique_ptr<QWidget>(gui::kit::RunState&, gui::kit::MessageService&)> make;
};

template <typename T, typename... Args>
std::unique_ptr<QWidget> Make(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...);
}

const std::vector<Shot>& Shots() {
    static const std::vector<Shot> shots{
        {"main-window", [](gui::kit::RunState& s,
                           gui::kit::MessageService& m) { return Make<app::MainFrame>(s, m); }},
        {"init",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::store::ProjectInitDlg>(s.Project, m);
         }},
        {"phrase-editor",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::phrases::PhraseEditorDlg>(s.Project, m);
         }},
        {"init-word",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::phrases::PhraseInitDlg>(s.Project, 1, m);
         }},
        {"node-nine",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::store::NineByteNodeSetDlg>(s.Node9, s.Project, m);
         }},
        {"node-ten",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::store::TenByteNodeSetDlg>(s.Node10, s.Project, m);
         }},
        {"project-name",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::store::ProjectNameDlg>(s.Project, m);
         }},
        {"project-details",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::store::ProjectInfoDlg>(s.Project, m);
         }},
        {"transfer-rules",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::burner::TransferRulesDlg>(s.Rules, s.Ports, s.ControllerModel, m);
         }},
        {"logic-settings",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::logic::LogicRulesDlg>(s, m);
         }},
        {"transfer",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::burner::TransferProgressDlg>(burner::TransferKind::SendDevices, s, m);
         }},
        {"backup",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             // Two earlier backups of the chip, one of them cut short.
             const auto folder = burner::ChipBackupFolder(s.Project.Root());
             std::filesystem::create_directories(folder);
             std::tm when{};
             when.tm_year = 126, when.tm_mon = 11, when.tm_mday = 9, when.tm_hour = 14;
             when.tm_min = 30;
             const std::vector<std::uint8_t> image(burner::ChipImageSize(s.ControllerModel), 0xFF);
             (void)base::WriteWholeFile(folder / burner::ChipBackupName(s.ControllerModel, when),
                                        image);
             when.tm_mday = 8;
             (void)base::WriteWholeFile(folder / burner::ChipBackupName(s.ControllerModel, when),
                                        std::span(image).first(4096));
             return Make<gui::burner::ChipCopyDlg>(s, m);
         }},
        {"device-detail",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             auto dialog = std::make_unique<gui::devices::DeviceDetailDlg>(s, m);
             // The demo's first floor, standing on a smoke fan module.
             dialog->findChild<QLineEdit*>(QStringLiteral("address"))
                 ->setText(QStringLiteral("30"));
             Q_EMIT dialog->findChild<QLineEdit*>(QStringLiteral("address"))
                 ->textEdited(QStringLiteral("30"));
             return std::unique_ptr<QWidget>(std::move(dialog));
         }},
        {"device-detail-form",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             auto dialog = std::make_unique<gui::devices::DeviceDetailDlg>(s, m);
             dialog->findChild<QCheckBox*>(QStringLiteral("showGrid"))->setChecked(false);
             return std::unique_ptr<QWidget>(std::move(dialog));
         }},
        {"loop-statistics",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::loops::LoopStatsDlg>(s, m, 0);
         }},
        {"grid-view",
         [](gui::kit::RunState& s, gui::kit::MessageService&) {
             return Make<gui::loops::LoopGridDlg>(s.Project, 0, nullptr);
         }},
        {"loop-copy",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::loops::LoopCopyDlg>(s.Project, m);
         }},
        // The first family's device editing: these run under model 1.
        {"class-alarm",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             s.ControllerModel = 1;
             s.CurrentLoop = 0;
             s.CurrentAddress = 4;  // the kitchen's heat detector
             return Make<gui::devices::AlarmDeviceDlg>(s, m);
         }},
        {"class-module",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             s.ControllerModel = 1;
             s.BusDeviceClass = store::kModuleClass;
             s.CurrentLoop = 0;
             s.CurrentAddress = 40;  // the fire pump, started by hand
             auto dialog = std::make_unique<gui::devices::ModuleDeviceDlg>(s, m);
             dialog->findChild<QLineEdit*>(QStringLiteral("logic"))
                 ->setText(QStringLiteral("T00042M00041"));
             return std::unique_ptr<QWidget>(std::move(dialog));
         }},
        {"class-module-unlisted-type",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             s.ControllerModel = 1;
             s.BusDeviceClass = 2;
             s.CurrentLoop = 0;
             s.CurrentAddress = 30;  // the smoke fan: type 25, which has no radio here
             return Make<gui::devices::ModuleDeviceDlg>(s, m);
         }},
        {"class-zone-display",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             s.ControllerModel = 1;
             s.CurrentLoop = 0;
             s.CurrentAddress = 20;
             return Make<gui::devices::ZoneDisplayDeviceDlg>(s, m);
         }},
        {"device-type",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             s.ControllerModel = 1;
             s.BusDeviceClass = store::kAlarmClass;
             s.CurrentLoop = 1;
             s.CurrentAddress = 9;
             return Make<gui::devices::DeviceTypeDlg>(s, m);
         }},
        {"quick-set",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             s.ControllerModel = 1;
             s.QuickSetLoop = 2;
             s.QuickSetClass = 2;
             return Make<gui::devices::QuickSetDlg>(s, m);
         }},
        {"sd-pack", [](gui::kit::RunState&,
                       gui::kit::MessageService&) { return Make<gui::exchange::SdPackDlg>(240); }},
        {"sd-import",
         [](gui::kit::RunState&, gui::kit::MessageService&) {
             return Make<gui::exchange::SdImportDlg>(base::SdFamily::KA);
         }},
        {"sd-import-kbx",
         [](gui::kit::RunState&, gui::kit::MessageService&) {
             return Make<gui::exchange::SdImportDlg>(base::SdFamily::KBX);
         }},
        {"velnet-import",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::exchange::VelnetImportDlg>(s, m);
         }},
        {"report-preview",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) -> std::unique_ptr<QWidget> {
             return gui::report::MakeReportPreview(s, m, nullptr);
         }},
        {"about",
         [](gui::kit::RunState&, gui::kit::MessageService&) {
             auto box = std::make_unique<QMessageBox>(QMessageBox::Information,
                                                      QStringLiteral("关于 VelSend"),
                                                      app::AboutText(), QMessageBox::Ok);
             return std::unique_ptr<QWidget>(std::move(box));
         }},
        {"file-dialog",
         [](gui::kit::RunState& s, gui::kit::MessageService&) -> std::unique_ptr<QWidget> {
             return gui::kit::MakeFileDialog(nullptr, QStringLiteral("请选择要导入的Excel表格..."),
                                             QString::fromStdString(s.Project.Root().string()),
                                             QStringLiteral("所有文件 (*)"),
                                             QFileDialog::AcceptOpen, QFileDialog::ExistingFile);
         }},
        {"velnet-progress",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             return Make<gui::exchange::VelnetImportRunDlg>(s.Project, "/nonexistent", 0, 0, m);
         }},
        // Last: it changes the demo project (and undoes the newest change).
        {"history",
         [](gui::kit::RunState& s, gui::kit::MessageService& m) {
             // A step names the program that made it: the picture shows the GUI's.
             program_invocation_short_name = const_cast<char*>("velsend");
             history::Install(s.Project.Root());
             (void)history::Clear(s.Project.Root());
             (void)store::InitialiseProject(s.Project);
             (void)demo::WriteDemoProject(s.Project);
             (void)loops::CopyLoop(s.Project, 0, 5);
             devices::QuickSetRequest request;
             request.first = 1;
             request.last = 3;
             (void)devices::RunQuickSet(s.Project, 6, request);
             (void)history::Undo(s.Project.Root());
             auto dialog =
                 std::make_unique<gui::history::HistoryDlg>(s.Project, s.ControllerModel, m);
             // The copy selected: its decoded difference below the list.
             dialog->List()->selectRow(1);
             return std::unique_ptr<QWidget>(std::move(dialog));
         }},
    };
    return shots;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QStringList wanted;
    for (int i = 2; i < argc; ++i) wanted << QString::fromLocal8Bit(argv[i]);
    QDir().mkpath(outDir);

    // The windows show the demo project, written next to the pictures.
    gui::kit::RunState state;
    state.Project = store::ProjectDir((outDir + QStringLiteral("/demo-project")).toStdString());
    if (auto written = demo::WriteDemoProject(state.Project); !written)
        std::fprintf(stderr, "%s\n", written.error().Full().c_str());
    // A fake device tree (VELSEND_DEV_DIR, VELSEND_SYS_TTY_DIR) shows the
    // port list as it looks with adapters plugged in.
    state.Ports = std::getenv("VELSEND_DEV_DIR") != nullptr
                      ? burner::PortList::FromEnvironment()
                      : burner::PortList::FromSpec("/dev/ttyUSB0");
    gui::kit::WidgetMessageService messages;

    int failures = 0;
    for (const Shot& shot : Shots()) {
        const QString name = QString::fromLatin1(shot.name);
        if (!wanted.isEmpty() && !wanted.contains(name)) continue;
        std::unique_ptr<QWidget> window = shot.make(state, messages);
        if (!window) {
            std::fprintf(stderr, "%s: no window\n", shot.name);
            ++failures;
            continue;
        }
        window->show();
        // The preview draws its pages on a worker thread: give it time.
        QElapsedTimer settle;
        settle.start();
        do app.processEvents();
        while (settle.elapsed() < (name == QStringLiteral("report-preview") ? 2000 : 30));
        // Every window must fit a 1280x720 screen, frame and title bar included.
        const QSize size = window->frameGeometry().size();
        if (size.width() > 1280 || size.height() > 720 - 40)
            std::fprintf(stderr, "%s: %dx%d does not fit 1280x720\n", shot.name, size.width(),
                         size.height());
        const QString file = outDir + QLatin1Char('/') + name + QStringLiteral(".png");
        if (window->grab().save(file)) {
            std::printf("%s\n", qPrintable(file));
        } else {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

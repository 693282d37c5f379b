#include "gui/exchange/sheet_commands.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QMetaObject>
#include <QProgressBar>

#include <filesystem>

#include "core/exchange/excel_exchange.h"
#include "core/exchange/templates.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/run_state.h"

namespace velsend::gui::exchange {

using namespace velsend::exchange;

namespace {

// Commands never overlap: the menus wait while a spreadsheet is worked on.
void EnableMenus(QWidget* inside, bool on) {
    auto* frame = qobject_cast<QMainWindow*>(inside->window());
    if (frame && frame->menuBar()) frame->menuBar()->setEnabled(on);
}

}  // namespace

SheetCommands::SheetCommands(kit::RunState& state, kit::MessageService& messages, QWidget& view,
                             QProgressBar& bar, QObject* parent)
    : QObject(parent), state_(state), messages_(messages), view_(view), bar_(bar) {
    connect(&run_, &kit::BackgroundRun::Finished, this, [this] {
        ShowSteps();
        EnableMenus(&view_, true);
        messages_.Message(&view_, kit::Q(text_), QString(), kit::MessageIcon::None);
        // The result is read: the bar goes back to empty for the next command.
        bar_.setValue(bar_.minimum());
    });
}

SheetCommands::~SheetCommands() = default;

// The templates go where the user says: the program's own folder is not
// writable here. The dialog starts with the template's name.
void SheetCommands::WriteTemplate(velsend::exchange::TemplateKind kind) {
    if (Busy()) return;
    QString file = messages_.SaveFileName(&view_, QStringLiteral("请输入要生成的模板文件的名称..."),
                                          kit::Q(velsend::exchange::TemplateFileName(kind)),
                                          QStringLiteral("Excel表格文件 (*.xlsx)"));
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".xlsx");
    auto result = velsend::exchange::WriteTemplate(kind, kit::StdPath(file));
    messages_.Message(&view_,
                      result ? kit::Q(velsend::exchange::kTemplateDoneText) +
                                   QStringLiteral("\n文件：") + kit::ShownPath(kit::QPath(*result))
                             : kit::Q(result.error().Full()),
                      QString(), result ? kit::MessageIcon::None : kit::MessageIcon::Warning);
}

void SheetCommands::Import(velsend::exchange::ExcelFamily family) {
    if (Busy()) return;
    QProgressBar* bar = &bar_;
    bar->setRange(0, 1);
    bar->setValue(0);
    const QString file =
        messages_.OpenFileName(&view_, QStringLiteral("请选择要导入的Excel表格..."), QString(),
                               QStringLiteral("Excel表格文件 (*.xls *.xlsx *.ods)"));
    if (file.isEmpty()) return;
    Run(
        [dir = state_.Project, family,
         path = kit::StdPath(file)](const std::function<void()>& step) {
            auto result = velsend::exchange::ImportExcel(dir, path, family, step);
            if (!result) return result.error().Full();
            return std::string(velsend::exchange::kImportDoneText) + "\n\n" + result->Text();
        },
        true);
}

void SheetCommands::Export() {
    if (Busy()) return;
    QProgressBar* bar = &bar_;
    bar->setRange(0, velsend::exchange::kExportSteps);
    bar->setValue(0);
    QString file = messages_.SaveFileName(
        &view_, QStringLiteral("请输入要生成的用于导出数据的Excel表格的名称..."), QString(),
        QStringLiteral("Excel表格文件 (*.xlsx)"));
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".xlsx");
    // The message names the file, as the template's does.
    Run(
        [dir = state_.Project, path = kit::StdPath(file),
         shown = kit::ShownPath(file).toStdString()](const std::function<void()>& step) {
            auto result = velsend::exchange::ExportExcel(dir, path, step);
            if (!result) return result.error().Full();
            return std::string(velsend::exchange::kExportDoneText) + "\n文件：" + shown + "\n\n" +
                   result->Text();
        },
        false);
}

void SheetCommands::Run(Job job, bool alternate) {
    alternate_ = alternate;
    steps_ = 0;
    stepShown_ = true;
    text_.clear();
    // A step only counts; the bar moves on the GUI thread, one update on
    // its way at a time, so thousands of steps cost a few repaints.
    auto step = [this] {
        steps_.fetch_add(1, std::memory_order_relaxed);
        if (stepShown_.exchange(false))
            QMetaObject::invokeMethod(
                this, [this] { ShowSteps(); }, Qt::QueuedConnection);
    };
    EnableMenus(&view_, false);
    run_.Start([this, job = std::move(job), step] { text_ = job(step); });
}

void SheetCommands::ShowSteps() {
    stepShown_ = true;
    QProgressBar* bar = &bar_;
    const int n = steps_.load();
    bar->setValue(alternate_ ? n % 2 : std::min(n, bar->maximum()));
}

}  // namespace velsend::gui::exchange

#include "app/main_view.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include <filesystem>

#include "base/command_ids.h"
#include "gui/kit/run_state.h"
#include "core/exchange/excel_exchange.h"
#include "core/exchange/templates.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::app::gui {

using namespace velsend::base;
namespace {

struct NoteLine {
    int y;
    const char* text;
};

constexpr NoteLine kNotes[] = {
    {15, "说明："},
    {35,
     "KA，KAII中文主机：部位和词组5个汉字字母数字，数字输入%1或者１(全角)，字母输入%a%A或者ａＡ("
     "全角)"},
    {55, "KA，KAII英文主机：部位和词组16个字母数字，直接输入1-9,a-z,A-Z等字符"},
    {75,
     "KA，KAII主机逻辑：关键字使用大写字母，小写字母a-p对应回路数字100-250，如Ta1001="
     "Mb2002表示101回路1号联动112回路2号"},
    {115, "KBX中文主机：词组5个汉字字母数字，数字输入%1或者１(全角)，字母输入%a%A或者ａＡ(全角)"},
    {135, "KBX英文主机：词组为控制器中固定的，此软件编辑的词组，控制器不识别"},
    {155, "KBX主机逻辑：关键字和回路数字大写小写均可"},
    {195,
     "Excel模板：也可以直接使用NewVel模板，XY和扩展类型部分不会识别。相关说明在模板文件中，生成标准"
     "或者示例模板中均有"},
    {235, "由于[总线设备]-[详细信息]界面内容较多，受排版和分辨率限制，使用了微软雅黑字体"},
    {255, "Windows XP及以下版本系统请自行安装微软雅黑字体，否则显示不是很正确"},
    {295, "当从Excel表格文件导入和导出时，如果数据量比较大，时间会较长，请耐心等待"},
};

constexpr int kNotesX = 15;

}  // namespace

MainView::MainView(QWidget* parent)
    : QWidget(parent), progress_(new QProgressBar(this)), poll_(new QTimer(this)),
      steps_(std::make_shared<std::atomic<int>>(0)) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    progress_->setObjectName(QStringLiteral("progress1001"));
    progress_->setGeometry(16, 325, 546 - 16, 335 - 325);
    progress_->setRange(0, 1512);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    // The worker only counts; the bar is repainted at most every 50 ms.
    poll_->setInterval(50);
    connect(poll_, &QTimer::timeout, this, [this] {
        const int n = steps_->load();
        progress_->setValue(alternate_ ? n % 2 : std::min(n, progress_->maximum()));
    });
}

MainView::~MainView() {
    if (worker_) worker_->wait();
}

void MainView::Attach(base::RunState& state, ui::MessageService& messages) {
    state_ = &state;
    messages_ = &messages;
}

bool MainView::HandlesCommand(int id) {
    switch (id) {
        case ID_STANDARD_TEMPLATE:
        case ID_EXAMPLE_TEMPLATE:
        case ID_EXCEL_IMPORT_KA:
        case ID_EXCEL_IMPORT_KBX:
        case ID_EXCEL_EXPORT:
            return true;
        default:
            return false;
    }
}

void MainView::OnCommand(int id) {
    switch (id) {
        case ID_STANDARD_TEMPLATE:
            OnWriteStandardTemplate();
            break;
        case ID_EXAMPLE_TEMPLATE:
            OnWriteExampleTemplate();
            break;
        case ID_EXCEL_IMPORT_KA:
            OnExcelImportKa();
            break;
        case ID_EXCEL_IMPORT_KBX:
            OnExcelImportKbx();
            break;
        case ID_EXCEL_EXPORT:
            OnExcelExport();
            break;
        default:
            break;
    }
}

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path ToPath(const QString& file) {
    const QByteArray local = QFile::encodeName(file);
    return std::filesystem::path(local.toStdString());
}

}  // namespace

void MainView::OnWriteStandardTemplate() {
    WriteTemplate(false);
}
void MainView::OnWriteExampleTemplate() {
    WriteTemplate(true);
}
void MainView::OnExcelImportKa() {
    Import(true);
}
void MainView::OnExcelImportKbx() {
    Import(false);
}

// The templates go where the user says: the program's own folder is not
// writable here. The dialog starts with the template's name.
void MainView::WriteTemplate(bool example) {
    if (!messages_ || Busy()) return;
    const auto kind = example ? exchange::TemplateKind::Example : exchange::TemplateKind::Standard;
    QString file = messages_->SaveFileName(this, QStringLiteral("请输入要生成的模板文件的名称..."),
                                           FromUtf8(exchange::TemplateFileName(kind)),
                                           QStringLiteral("Excel表格文件 (*.xlsx)"));
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".xlsx");
    auto result = exchange::WriteTemplate(kind, ToPath(file));
    messages_->Message(this,
                       result ? FromUtf8(exchange::kTemplateDoneText) + QStringLiteral("\n文件：") +
                                    ui::ShownPath(file)
                              : FromUtf8(result.error().Full()),
                       QString(), result ? ui::MessageIcon::None : ui::MessageIcon::Warning);
}

void MainView::Import(bool ka) {
    if (!messages_ || !state_ || Busy()) return;
    progress_->setRange(0, 1);
    progress_->setValue(0);
    const QString file = messages_->OpenFileName(this, QStringLiteral("请选择要导入的Excel表格..."), QString(),
                                                 QStringLiteral("Excel表格文件 (*.xls *.xlsx *.ods)"));
    if (file.isEmpty()) return;
    const store::ProjectDir dir = state_->Project;
    const auto family = ka ? exchange::ExcelFamily::KA : exchange::ExcelFamily::KBX;
    RunInBackground(
        [dir, family, path = ToPath(file)](const std::function<void()>& step) {
            auto result = exchange::ImportExcel(dir, path, family, step);
            if (!result) return result.error().Full();
            return std::string(exchange::kImportDoneText) + "\n\n" + result->Text();
        },
        true);
}

void MainView::OnExcelExport() {
    if (!messages_ || !state_ || Busy()) return;
    progress_->setRange(0, exchange::kExportSteps);
    progress_->setValue(0);
    QString file =
        messages_->SaveFileName(this, QStringLiteral("请输入要生成的用于导出数据的Excel表格的名称..."), QString(),
                                QStringLiteral("Excel表格文件 (*.xlsx)"));
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".xlsx");
    const store::ProjectDir dir = state_->Project;
    RunInBackground(
        [dir, path = ToPath(file)](const std::function<void()>& step) {
            auto result = exchange::ExportExcel(dir, path, step);
            if (!result) return result.error().Full();
            return std::string(exchange::kExportDoneText) + "\n\n" + result->Text();
        },
        false);
}

void MainView::RunInBackground(std::function<std::string(const std::function<void()>&)> job, bool alternate) {
    alternate_ = alternate;
    steps_->store(0);
    auto text = std::make_shared<std::string>();
    auto steps = steps_;
    worker_ = QThread::create([job = std::move(job), text, steps] {
        *text = job([steps] { steps->fetch_add(1, std::memory_order_relaxed); });
    });
    // Commands never overlap: the menus wait until the work is done.
    auto* frame = qobject_cast<QMainWindow*>(window());
    if (frame && frame->menuBar()) frame->menuBar()->setEnabled(false);
    connect(worker_, &QThread::finished, this, [this, text, frame] {
        poll_->stop();
        const int n = steps_->load();
        progress_->setValue(alternate_ ? n % 2 : std::min(n, progress_->maximum()));
        worker_->deleteLater();
        worker_ = nullptr;
        if (frame && frame->menuBar()) frame->menuBar()->setEnabled(true);
        messages_->Message(this, QString::fromStdString(*text), QString(), ui::MessageIcon::None);
        // The result is read: the bar goes back to empty for the next command.
        progress_->setValue(progress_->minimum());
    });
    poll_->start();
    worker_->start();
}

void MainView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    const int lineHeight = painter.fontMetrics().height();
    for (const NoteLine& line : kNotes) {
        painter.drawText(QRect(kNotesX, line.y, width() - kNotesX, lineHeight),
                         Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(line.text));
    }
}

}  // namespace velsend::app::gui

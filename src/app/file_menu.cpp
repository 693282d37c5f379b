#include "app/file_menu.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

#include <filesystem>

#include "app/main_frame.h"
#include "app/project_folders.h"
#include "core/burner/serial_trace.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"
#include "gui/report/report_commands.h"

namespace velsend::app {

FileMenu::FileMenu(MainFrame& frame, gui::kit::RunState& state, gui::kit::MessageService& messages,
                   ProjectFolders& folders)
    : QObject(&frame),
      frame_(frame),
      state_(state),
      messages_(messages),
      folders_(folders),
      menu_(new QMenu(QStringLiteral("文件"), &frame)) {
    menu_->setObjectName(QStringLiteral("fileMenu"));
    QAction* open = menu_->addAction(QStringLiteral("打开工程文件夹…"));
    open->setObjectName(QStringLiteral("openFolder"));
    open->setStatusTip(QStringLiteral("打开另一个工程文件夹"));
    connect(open, &QAction::triggered, this, [this] { OnOpenFolder(); });
    QAction* create = menu_->addAction(QStringLiteral("新建工程文件夹…"));
    create->setObjectName(QStringLiteral("newFolder"));
    create->setStatusTip(QStringLiteral("新建一个工程文件夹并打开它"));
    connect(create, &QAction::triggered, this, [this] { OnNewFolder(); });
    menu_->addSeparator();
    QAction* print = menu_->addAction(QStringLiteral("打印报告…"));
    print->setObjectName(QStringLiteral("printReport"));
    print->setStatusTip(QStringLiteral("预览并打印整个工程的调试报告"));
    connect(print, &QAction::triggered, this,
            [this] { gui::report::RunReportPreview(state_, messages_, &frame_); });
    QAction* pdf = menu_->addAction(QStringLiteral("导出PDF…"));
    pdf->setObjectName(QStringLiteral("exportPdf"));
    pdf->setStatusTip(QStringLiteral("把整个工程的调试报告存为PDF文件"));
    connect(pdf, &QAction::triggered, this,
            [this] { (void)gui::report::ExportReportPdf(state_, messages_, &frame_); });
    menu_->addSeparator();
    recentEnd_ = menu_->addSeparator();
    traceAction_ = menu_->addAction(QStringLiteral("记录串口通信…"));
    traceAction_->setObjectName(QStringLiteral("serialTrace"));
    traceAction_->setCheckable(true);
    traceAction_->setStatusTip(QStringLiteral("把与烧写器往来的每个字节记录到文件"));
    connect(traceAction_, &QAction::triggered, this, [this](bool on) { OnTrace(on); });
    menu_->addSeparator();
    QAction* quit = menu_->addAction(QStringLiteral("退出"));
    quit->setObjectName(QStringLiteral("exit"));
    quit->setStatusTip(QStringLiteral("退出程序"));
    connect(quit, &QAction::triggered, &frame_, &QWidget::close);
    FillRecentFolders();
}

void FileMenu::FillRecentFolders() {
    for (QAction* action : recentActions_) {
        menu_->removeAction(action);
        action->deleteLater();
    }
    recentActions_.clear();
    const QStringList recent = folders_.Recent();
    for (int i = 0; i < recent.size(); ++i) {
        const QString folder = recent[i];
        auto* action = new QAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(folder)), menu_);
        action->setObjectName(QStringLiteral("recentFolder%1").arg(i + 1));
        action->setStatusTip(QStringLiteral("打开工程文件夹 ") + folder);
        connect(action, &QAction::triggered, this, [this, folder] { frame_.OpenFolder(folder); });
        menu_->insertAction(recentEnd_, action);
        recentActions_.push_back(action);
    }
    recentEnd_->setVisible(!recent.isEmpty());
}

void FileMenu::OnOpenFolder() {
    const QString folder =
        messages_.ExistingFolder(&frame_, QStringLiteral("打开工程文件夹"), folders_.Current());
    if (!folder.isEmpty()) frame_.OpenFolder(folder);
}

void FileMenu::OnNewFolder() {
    QString start = folders_.Current();
    if (!start.isEmpty()) start = QFileInfo(start).absolutePath();
    const QString folder =
        messages_.SaveFileName(&frame_, QStringLiteral("新建工程文件夹"), start, QString());
    if (folder.isEmpty()) return;
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        messages_.Message(&frame_,
                          QStringLiteral("“%1”已经是一个文件，不能作为工程文件夹。").arg(folder),
                          gui::kit::MessageService::AppTitle(), gui::kit::MessageIcon::Warning);
        return;
    }
    if (!QDir().mkpath(folder)) {
        messages_.Message(&frame_, QStringLiteral("无法创建文件夹“%1”。").arg(folder),
                          gui::kit::MessageService::AppTitle(), gui::kit::MessageIcon::Warning);
        return;
    }
    frame_.OpenFolder(folder);
}

bool FileMenu::StartTrace(const QString& file) {
    const std::filesystem::path path = gui::kit::StdPath(file);
    const base::Result<> started = burner::SerialTrace::Process().Start(path);
    if (!started) {
        messages_.Message(&frame_, gui::kit::Q(started.error().Full()),
                          gui::kit::MessageService::AppTitle(), gui::kit::MessageIcon::Warning);
    }
    traceAction_->setChecked(burner::SerialTrace::Process().Enabled());
    return started.ok();
}

void FileMenu::OnTrace(bool on) {
    if (!on) {
        if (base::Result<> stopped = burner::SerialTrace::Process().Stop(); !stopped) {
            messages_.Message(&frame_, gui::kit::Q(stopped.error().Full()),
                              gui::kit::MessageService::AppTitle(), gui::kit::MessageIcon::Warning);
        }
        return;
    }
    const QString file = messages_.SaveFileName(&frame_, QStringLiteral("记录串口通信"),
                                                QStringLiteral("velsend-trace.log"),
                                                QStringLiteral("串口通信记录 (*.log *.txt)"));
    if (file.isEmpty()) {
        traceAction_->setChecked(false);
        return;
    }
    StartTrace(file);
}

}  // namespace velsend::app

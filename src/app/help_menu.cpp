#include "app/help_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "core/exchange/workbook_versions.h"
#include "gui/kit/message_service.h"
#include "gui/kit/screen_fit.h"

namespace velsend::app {

QString UserGuidePath() {
    const QString app = QCoreApplication::applicationDirPath();
    const QStringList candidates{
        app + QStringLiteral("/../share/doc/velsend/guide/index.html"),
        QStringLiteral(VELSEND_SOURCE_GUIDE "/index.html"),
    };
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    return {};
}

QString AboutText() {
    return QStringLiteral(
               "VelSend %1\n"
               "MX300K 系列火灾报警控制器的工程数据编辑与烧写传送工具。\n\n"
               "许可证：本项目没有声明许可证。\n\n"
               "使用的库：Qt %2（界面、打印、PDF 预览），%3。")
        .arg(QStringLiteral(VELSEND_VERSION), QString::fromLatin1(qVersion()),
             QString::fromStdString(exchange::WorkbookLibraries()));
}

void ShowUserGuide(QWidget* parent, gui::kit::MessageService& messages) {
    const QString path = UserGuidePath();
    if (path.isEmpty()) {
        messages.Message(parent,
                         QStringLiteral("无法打开使用说明。\n没有找到使用说明的文件（应在程序的 "
                                        "share/doc/velsend/guide/index.html）。"),
                         QStringLiteral("使用说明"), gui::kit::MessageIcon::Warning);
        return;
    }
    // One window, inside the program: no browser or desktop launcher needed.
    auto* window = parent->findChild<QDialog*>(QStringLiteral("guideWindow"));
    if (!window) {
        window = new QDialog(parent, Qt::Window);
        window->setObjectName(QStringLiteral("guideWindow"));
        window->setWindowTitle(QStringLiteral("VelSend 使用说明"));
        auto* browser = new QTextBrowser(window);
        browser->setObjectName(QStringLiteral("guideText"));
        browser->setOpenExternalLinks(true);
        browser->setSource(QUrl::fromLocalFile(path));
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
        gui::kit::FitToScreen(window, QSize(900, 680), parent);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

QMenu* BuildHelpMenu(QWidget* parent, gui::kit::MessageService& messages) {
    auto* menu = new QMenu(QStringLiteral("帮助"), parent);
    menu->setObjectName(QStringLiteral("helpMenu"));
    QAction* guide = menu->addAction(QStringLiteral("使用说明"));
    guide->setObjectName(QStringLiteral("userGuide"));
    guide->setStatusTip(QStringLiteral("打开使用说明"));
    QObject::connect(guide, &QAction::triggered, parent,
                     [parent, &messages] { ShowUserGuide(parent, messages); });
    QAction* about = menu->addAction(QStringLiteral("关于"));
    about->setObjectName(QStringLiteral("about"));
    about->setStatusTip(QStringLiteral("显示程序的版本、许可证和使用的库"));
    QObject::connect(about, &QAction::triggered, parent, [parent, &messages] {
        messages.Message(parent, AboutText(), QStringLiteral("关于 VelSend"),
                         gui::kit::MessageIcon::Information);
    });
    return menu;
}

}  // namespace velsend::app

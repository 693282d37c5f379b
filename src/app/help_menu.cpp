#include "app/help_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QUrl>

#include "gui/kit/message_service.h"

namespace velsend::app {

QString UserGuidePath() {
    const QString app = QCoreApplication::applicationDirPath();
    const QStringList candidates{
        app + QStringLiteral("/../share/doc/velsend/guide/index.html"),
        QStringLiteral(VELSEND_SOURCE_GUIDE "/index.html"),
    };
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile()) return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    return {};
}

QString AboutText() {
    return QStringLiteral(
               "VelSend %1\n"
               "MX300K 系列火灾报警控制器的工程数据编辑与烧写传送工具。\n\n"
               "许可证：本项目没有声明许可证。\n\n"
               "使用的库：Qt %2（界面、打印、PDF 预览），liborcus（读 .xlsx/.ods），"
               "libfreexl（读 .xls），libxlsxwriter（写 .xlsx），zlib。")
        .arg(QStringLiteral(VELSEND_VERSION), QString::fromLatin1(qVersion()));
}

QMenu* BuildHelpMenu(QWidget* parent, gui::kit::MessageService& messages) {
    auto* menu = new QMenu(QStringLiteral("帮助"), parent);
    menu->setObjectName(QStringLiteral("helpMenu"));
    QAction* guide = menu->addAction(QStringLiteral("使用说明"));
    guide->setObjectName(QStringLiteral("userGuide"));
    guide->setStatusTip(QStringLiteral("打开使用说明"));
    QObject::connect(guide, &QAction::triggered, parent, [parent, &messages] {
        const QString path = UserGuidePath();
        if (path.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
            messages.Message(parent,
                             QStringLiteral("无法打开使用说明。\n") +
                                 (path.isEmpty() ? QStringLiteral("没有找到使用说明的文件。") : path),
                             gui::kit::MessageService::AppTitle(), gui::kit::MessageIcon::Warning);
        }
    });
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

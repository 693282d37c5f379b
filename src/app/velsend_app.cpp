#include "app/velsend_app.h"

#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QPainter>
#include <QPixmap>
#include <QTranslator>
#include <cstdio>

#include "app/main_frame.h"
#include "app/project_folders.h"
#include "app/termination.h"
#include "core/session/project_access.h"

namespace velsend::app {

using namespace velsend::base;
namespace {

// A small red badge: the program ships no image files.
QIcon AppIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0xC6, 0x28, 0x28));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(1, 1, 30, 30, 6, 6);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("V"));
    return QIcon(pixmap);
}

}  // namespace

QTranslator* InstallQtChineseTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

VelsendApp::VelsendApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("VelSend"));
    InstallQtChineseTranslations(*this);
    setWindowIcon(AppIcon());
    state_.Ports = burner::PortList::FromEnvironment();
    // A logout or a stop signal ends a transfer between blocks, not mid-block.
    auto* watch = new TerminationWatch(this);
    connect(watch, &TerminationWatch::AllClosed, this, &QCoreApplication::quit);
}

VelsendApp::~VelsendApp() = default;

bool VelsendApp::InitInstance() {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("火灾报警控制器数据设置与烧写"));
    parser.addHelpOption();
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("把与烧写器往来的每个字节追加记录到 FILE（连接关闭时写入）。"),
        QStringLiteral("FILE"));
    parser.addOption(trace);
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("要打开的工程文件夹（默认：上次打开的）"),
                                 QStringLiteral("[DIR]"));
    parser.process(arguments());
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "velsend: only one project folder can be opened\n");
        return false;
    }

    folders_ = ProjectFolders::UserSettings();
    messages_.SetDialogFolders(folders_.get());
    frame_ = std::make_unique<MainFrame>(state_, messages_, *folders_);
    frame_->show();
    // The folder it starts on is the project until another is opened: its
    // writes hold the lock, its changes are steps of its history.
    session::HoldProject(state_.Project.Root());
    const QString folder = folders_->StartFolder(parser.positionalArguments().value(0));
    if (!folder.isEmpty()) frame_->OpenFolder(folder);
    if (parser.isSet(trace)) frame_->StartTrace(parser.value(trace));
    return true;
}

}  // namespace velsend::app

#include "app/gui/vel_app.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QPainter>
#include <QPixmap>
#include <QTranslator>

#include "app/gui/main_frame.h"
#include "app/gui/termination.h"

namespace velsend::app::gui {

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

CVelApp::CVelApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("VelSend"));
    InstallQtChineseTranslations(*this);
    setWindowIcon(AppIcon());
    state_.Ports = burner::PortList::FromEnvironment();
    // A logout or a stop signal ends a transfer between blocks, not mid-block.
    auto* watch = new TerminationWatch(this);
    connect(watch, &TerminationWatch::AllClosed, this, &QCoreApplication::quit);
}

CVelApp::~CVelApp() = default;

bool CVelApp::InitInstance() {
    frame_ = std::make_unique<CMainFrame>(state_, messages_);
    frame_->show();
    return true;
}

}  // namespace velsend::app::gui

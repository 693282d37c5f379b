// Renders the program's windows into PNG files, for the README and for
// looking at layouts without a display:
//   QT_QPA_PLATFORM=offscreen velsend-screenshots OUTDIR

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

#include "app/gui/main_frame.h"
#include "app/run_state.h"
#include "ui/message_service.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(outDir);

    velsend::app::RunState state;
    velsend::ui::WidgetMessageService messages;
    velsend::app::gui::CMainFrame frame(state, messages);
    frame.show();
    app.processEvents();

    const QString file = outDir + QStringLiteral("/main-window.png");
    if (!frame.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    std::printf("%s\n", qPrintable(file));
    return 0;
}

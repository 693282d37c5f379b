#include "gui/kit/work_progress.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include "gui/kit/background_run.h"

namespace velsend::gui::kit {

bool RunWithProgress(QWidget* parent, const QString& title, const QString& text,
                     const std::function<void(WorkProgress& progress)>& work) {
    QProgressDialog dialog(text, QStringLiteral("取消"), 0, 0, parent);
    dialog.setObjectName(QStringLiteral("workProgress"));
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setMinimumWidth(360);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);

    WorkProgress progress;
    BackgroundRun run;
    progress.stop = run.StopFlag();
    QEventLoop loop;
    QObject::connect(&run, &BackgroundRun::Finished, &loop, &QEventLoop::quit);
    QObject::connect(&dialog, &QProgressDialog::canceled, &run, [&] {
        run.Cancel();
        dialog.setLabelText(QStringLiteral("正在停止…"));
    });
    // The bar follows the worker at a glance rate: every step would flood
    // the window with repaints.
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, &dialog, [&] {
        const int total = progress.total.load();
        if (total <= 0) return;
        if (dialog.maximum() != total) dialog.setMaximum(total);
        dialog.setValue(std::min(progress.done.load(), total));
    });
    tick.start();
    dialog.show();
    run.Start([&] { work(progress); });
    loop.exec();
    tick.stop();
    return !run.StopRequested();
}

}  // namespace velsend::gui::kit

#pragma once

#include <QString>
#include <atomic>
#include <functional>

class QWidget;

namespace velsend::gui::kit {

// How far a piece of work has got, written by the worker and read by the
// window's timer: steps done of the total, and the user's request to stop.
struct WorkProgress {
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    const std::atomic<bool>* stop = nullptr;

    bool Stopped() const { return stop && stop->load(); }
};

// Runs `work` on a worker thread behind a modal progress dialog with "取消",
// so the window keeps painting while it runs. Returns once the worker has
// ended: true when it ran to its end, false when the user cancelled (the work
// sees that through `progress.Stopped()` and should return early).
bool RunWithProgress(QWidget* parent, const QString& title, const QString& text,
                     const std::function<void(WorkProgress& progress)>& work);

}  // namespace velsend::gui::kit

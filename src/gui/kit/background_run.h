#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

class QThread;

namespace velsend::gui::kit {

// Runs one piece of blocking work (a transfer, a chip copy) on a worker thread
// for a dialog, so the window keeps painting. Finished() comes on the owner's
// thread once the worker has ended, so whatever the work produced can be read
// there without locks. Destroying the runner stops the work and waits for it;
// a worker waiting on the owner's thread (RunOnOwnerThread) is released first,
// so that wait cannot deadlock.
class BackgroundRun : public QObject {
    Q_OBJECT
  public:
    explicit BackgroundRun(QObject* parent = nullptr);
    ~BackgroundRun() override;

    // Starts `work` unless a run is going on; false if one is.
    bool Start(std::function<void()> work);
    bool Running() const { return thread_ != nullptr; }

    // Asks the work to stop (through StopFlag()) and releases a pending
    // RunOnOwnerThread wait.
    void Cancel();
    const std::atomic<bool>* StopFlag() const { return &stop_; }
    bool StopRequested() const { return stop_.load(); }

    // Called from the worker: runs `task` on the owner's thread and waits for
    // it. Returns false, without waiting any longer, once the run is cancelled.
    bool RunOnOwnerThread(std::function<void()> task);

  Q_SIGNALS:
    void Finished();

  private:
    void OnThreadFinished();

    QThread* thread_ = nullptr;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    unsigned long tasksDone_ = 0;  // guarded by mutex_
};

}  // namespace velsend::gui::kit

#include "gui/kit/background_run.h"

#include <QMetaObject>
#include <QThread>

namespace velsend::gui::kit {

BackgroundRun::BackgroundRun(QObject* parent) : QObject(parent) {}

BackgroundRun::~BackgroundRun() {
    if (!thread_) return;
    Cancel();
    thread_->wait();
    delete thread_;
}

bool BackgroundRun::Start(std::function<void()> work) {
    if (thread_) return false;
    stop_ = false;
    thread_ = QThread::create(std::move(work));
    connect(thread_, &QThread::finished, this, &BackgroundRun::OnThreadFinished,
            Qt::QueuedConnection);
    thread_->start();
    return true;
}

void BackgroundRun::Cancel() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
}

bool BackgroundRun::RunOnOwnerThread(std::function<void()> task) {
    if (QThread::currentThread() == thread()) {
        task();
        return true;
    }
    unsigned long ticket = 0;
    {
        std::lock_guard lock(mutex_);
        if (stop_) return false;
        ticket = tasksDone_ + 1;
    }
    // Posted to this object: if the owner is gone before it runs, Qt drops it.
    QMetaObject::invokeMethod(
        this,
        [this, task = std::move(task)] {
            if (!stop_) task();
            {
                std::lock_guard lock(mutex_);
                ++tasksDone_;
            }
            wake_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [&] { return stop_ || tasksDone_ >= ticket; });
    return tasksDone_ >= ticket;
}

void BackgroundRun::OnThreadFinished() {
    if (!thread_) return;
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    Q_EMIT Finished();
}

}  // namespace velsend::gui::kit

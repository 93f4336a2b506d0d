#include "merge/QueuedRunObserver.h"

void QueuedRunObserver::Queue(std::function<void(RunObserver &)> call)
{
    {
        const std::lock_guard lock(mutex_);
        queued_.push_back(std::move(call));
        woken_ = true;
    }
    news_.notify_one();
}

void QueuedRunObserver::SetStatusText(const QString &text)
{
    Queue([text](RunObserver &o) { o.SetStatusText(text); });
}

void QueuedRunObserver::SetRowStatus(int row, const QString &text)
{
    Queue([row, text](RunObserver &o) { o.SetRowStatus(row, text); });
}

void QueuedRunObserver::OutputWritten(int row, const QString &path)
{
    Queue([row, path](RunObserver &o) { o.OutputWritten(row, path); });
}

void QueuedRunObserver::Information(const QString &text)
{
    Queue([text](RunObserver &o) { o.Information(text); });
}

void QueuedRunObserver::Message(const QString &text)
{
    Queue([text](RunObserver &o) { o.Message(text); });
}

void QueuedRunObserver::Error(const QString &text)
{
    Queue([text](RunObserver &o) { o.Error(text); });
}

void QueuedRunObserver::SetControlsEnabled(bool on)
{
    Queue([on](RunObserver &o) { o.SetControlsEnabled(on); });
}

void QueuedRunObserver::StopPreview()
{
    Queue([](RunObserver &o) { o.StopPreview(); });
}

void QueuedRunObserver::OutputChosen(const QString &savepath, const QString &saveformat)
{
    Queue([savepath, saveformat](RunObserver &o) { o.OutputChosen(savepath, saveformat); });
}

void QueuedRunObserver::SaveGeneralSettings(const QString &mergeFileName)
{
    Queue([mergeFileName](RunObserver &o) { o.SaveGeneralSettings(mergeFileName); });
}

void QueuedRunObserver::DeliverTo(RunObserver &target)
{
    std::vector<std::function<void(RunObserver &)>> calls;
    {
        const std::lock_guard lock(mutex_);
        calls.swap(queued_);
    }
    // Outside the lock: a box shown here runs the event loop for as long as
    // it is open, and the workers go on reporting meanwhile.
    for (const auto &call : calls)
        call(target);
}

void QueuedRunObserver::Wake()
{
    {
        const std::lock_guard lock(mutex_);
        woken_ = true;
    }
    news_.notify_one();
}

void QueuedRunObserver::WaitForNews(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    news_.wait_for(lock, timeout, [this] { return woken_; });
    woken_ = false;
}

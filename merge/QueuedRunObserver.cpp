#include "merge/QueuedRunObserver.h"

#include "base/OrderedPool.h"

template <typename Call>
void QueuedRunObserver::Queue(Call call)
{
    pool_.Post([&target = target_, call] { call(target); });
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

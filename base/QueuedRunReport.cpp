#include "base/QueuedRunReport.h"

#include "base/OrderedPool.h"

template <typename Call>
void QueuedRunReport::Queue(Call call)
{
    pool_.Post([&target = target_, call] { call(target); });
}

void QueuedRunReport::Status(const QString &text)
{
    Queue([text](RunReport &r) { r.Status(text); });
}

void QueuedRunReport::RowStatus(int row, const QString &text)
{
    Queue([row, text](RunReport &r) { r.RowStatus(row, text); });
}

void QueuedRunReport::OutputWritten(int row, const QString &path)
{
    Queue([row, path](RunReport &r) { r.OutputWritten(row, path); });
}

void QueuedRunReport::Information(const QString &text)
{
    Queue([text](RunReport &r) { r.Information(text); });
}

void QueuedRunReport::Message(const QString &text)
{
    Queue([text](RunReport &r) { r.Message(text); });
}

void QueuedRunReport::Error(const QString &text)
{
    Queue([text](RunReport &r) { r.Error(text); });
}

#pragma once
#include "base/RunReport.h"

class OrderedPool;

// What the jobs of a run on worker threads report, posted through the pool
// to the run's own thread, where `target` hears it in order: a window is only
// ever touched from its thread, and a worker never waits for the window. The
// gauge is left out (the run adds the jobs' positions up itself), and so are
// breathing and the run's beginning and end, which only the run reports.
class QueuedRunReport final : public RunReport {
public:
    QueuedRunReport(OrderedPool &pool, RunReport &target) : pool_(pool), target_(target) {}

    void Progress(int) override {}
    void Status(const QString &text) override;
    void RowStatus(int row, const QString &text) override;
    void OutputWritten(int row, const QString &path) override;
    void Information(const QString &text) override;
    void Message(const QString &text) override;
    void Error(const QString &text) override;
    void Breathe() override {}

private:
    template <typename Call>
    void Queue(Call call);

    OrderedPool &pool_;
    RunReport &target_;
};

#pragma once
#include "merge/SourceList.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

// The facts of a list's files (format, length, size, title), read on a worker
// thread with its own information component, so that adding a folder of
// thousands of files shows the list at once and fills its rows in as they are
// read. Facts are kept per path and read again when the file's size or time
// changes.
class SourceFactsReader {
public:
    // `arrived` is called on the worker thread after facts came in; it should
    // post to the thread that shows them. Several arrivals may come as one call.
    explicit SourceFactsReader(std::function<void()> arrived);
    ~SourceFactsReader();
    SourceFactsReader(const SourceFactsReader &) = delete;
    SourceFactsReader &operator=(const SourceFactsReader &) = delete;

    // A probe for MergeSourceList::Refresh: the facts known, else pending ones
    // (the path queued for the worker, in the order asked).
    SourceInfoProbe Probe();
    // Paths asked for and not yet read.
    int Pending() const;
    // Reads the queued paths on the calling thread too, beside the worker,
    // until none is left; `between` runs after each (a window paints there).
    void ReadRemaining(TAudioInformation2 &info, const std::function<void(int left)> &between);
    // The next arrival call comes after the next facts read (the caller has
    // shown everything up to now).
    void Shown();

private:
    struct Known {
        SourceFileFacts facts;
        int64_t modified = 0; // file-system clock ticks, never local time
        int64_t size = -1;
    };
    bool Fresh(const QString &path, const Known &k) const;
    // The file's size and modification time as they are now; -1 when it is gone.
    static std::pair<int64_t, int64_t> Stamp(const QString &path);
    void Store(const QString &path, const SourceFileFacts &facts);
    bool TakeNext(QString &path);
    void Work();

    std::function<void()> arrived_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    QHash<QString, Known> known_;
    std::deque<QString> queue_;
    QSet<QString> queued_; // paths in queue_ or being read
    bool notified_ = false;      // an arrival call is on its way and not yet Shown()
    bool stop_ = false;
    std::thread worker_;
};

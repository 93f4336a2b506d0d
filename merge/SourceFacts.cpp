#include "merge/SourceFacts.h"

#include "audio/TAudioInformation2.h"

#include <QFile>

#include <filesystem>

SourceFactsReader::SourceFactsReader(std::function<void()> arrived)
    : arrived_(std::move(arrived)), worker_([this] { Work(); })
{
}

SourceFactsReader::~SourceFactsReader()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

// Through std::filesystem: QFileInfo's times are local times, and turning
// them so reads the time zone in a way that is not safe beside other threads.
std::pair<int64_t, int64_t> SourceFactsReader::Stamp(const QString &path)
{
    std::error_code error;
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        return {-1, 0};
    const auto time = std::filesystem::last_write_time(file, error);
    return {int64_t(size), error ? 0 : int64_t(time.time_since_epoch().count())};
}

bool SourceFactsReader::Fresh(const QString &path, const Known &k) const
{
    return Stamp(path) == std::make_pair(k.size, k.modified);
}

SourceInfoProbe SourceFactsReader::Probe()
{
    return [this](const QString &path) {
        {
            std::lock_guard lock(mutex_);
            const auto known = known_.constFind(path);
            if (known != known_.cend() && Fresh(path, *known))
                return known->facts;
            if (!queued_.contains(path)) {
                queued_.insert(path);
                queue_.push_back(path);
            }
        }
        wake_.notify_one();
        SourceFileFacts pending;
        pending.pending = true;
        return pending;
    };
}

int SourceFactsReader::Pending() const
{
    std::lock_guard lock(mutex_);
    return int(queued_.size());
}

bool SourceFactsReader::TakeNext(QString &path)
{
    std::lock_guard lock(mutex_);
    if (queue_.empty())
        return false;
    path = queue_.front();
    queue_.pop_front();
    return true;
}

void SourceFactsReader::Store(const QString &path, const SourceFileFacts &facts)
{
    // Size and time as they were before the read: a file changed while it
    // was read is read again.
    const auto [size, modified] = Stamp(path);
    Known k{facts, modified, size};
    bool call = false;
    {
        std::lock_guard lock(mutex_);
        known_.insert(path, k);
        queued_.remove(path);
        call = !notified_;
        notified_ = true;
    }
    if (call && arrived_)
        arrived_();
}

void SourceFactsReader::Shown()
{
    std::lock_guard lock(mutex_);
    notified_ = false;
}

void SourceFactsReader::Work()
{
    TAudioInformation2 info;
    const SourceInfoProbe read = InformationProbe(info);
    for (;;) {
        QString path;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_)
                return;
            path = queue_.front();
            queue_.pop_front();
        }
        Store(path, read(path));
    }
}

void SourceFactsReader::ReadRemaining(TAudioInformation2 &info, const std::function<void(int left)> &between)
{
    const SourceInfoProbe read = InformationProbe(info);
    QString path;
    while (TakeNext(path)) {
        Store(path, read(path));
        if (between)
            between(Pending());
    }
    // The worker may still be reading its last one.
    while (Pending() > 0) {
        if (between)
            between(Pending());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

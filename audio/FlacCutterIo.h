#pragma once
// The FLAC cutter's two helpers for writing a part: the MD5 thread and the
// gathering writer. Internal to audio/FlacFrameCutter.cpp.
#include "audio/AudioError.h"
#include "audio/LosslessCutter.h"

#include <QDir>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace audio_detail {

// Sums the MD5 of the part's samples on a thread of its own while the frames
// are copied; the destructor stops and joins it, whatever happened.
class Md5Thread {
public:
    Md5Thread(const std::function<void(Md5Thread &)> &work) : thread_([this, work] {
        try {
            work(*this);
        } catch (...) {
            error_ = std::current_exception();
        }
        finished_ = true;
    }) {}
    ~Md5Thread()
    {
        stop = true;
        if (thread_.joinable())
            thread_.join();
    }
    bool finished() const { return finished_; }
    void rethrow()
    {
        if (thread_.joinable())
            thread_.join();
        if (error_)
            std::rethrow_exception(error_);
    }
    std::atomic<bool> stop{false};
    std::atomic<int64_t> samples{0};
    uint8_t digest[16] = {};

private:
    std::exception_ptr error_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

// The frames go out as pieces: each new header and CRC from a small store of
// ours, each body straight from the source's mapping, so no audio byte is
// copied through a buffer of ours (that copy was a third of a part's time).
class GatherWriter {
public:
    GatherWriter(QSaveFile &file, const QString &path) : file_(file), path_(path), store_(kStoreBytes) {}
    // Room for n bytes (n <= 32) that stays put until the next flush.
    uint8_t *scratch(size_t n)
    {
        if (used_ + n > store_.size())
            flush();
        uint8_t *p = store_.data() + used_;
        used_ += n;
        return p;
    }
    void add(const void *p, size_t n)
    {
        if (n == 0)
            return;
#ifdef Q_OS_UNIX
        pieces_.push_back({const_cast<void *>(p), n});
        bytes_ += n;
#else
        if (file_.write(static_cast<const char *>(p), qint64(n)) != qint64(n))
            fail();
#endif
    }
    // Whether the pieces gathered should go out before more are added.
    bool full() const { return pieces_.size() + 3 > kMaxPieces || used_ + 32 > store_.size() || bytes_ >= kFlushBytes; }
    void flush()
    {
#ifdef Q_OS_UNIX
        size_t i = 0;
        while (i < pieces_.size()) {
            const ssize_t n = ::writev(file_.handle(), pieces_.data() + i, int(std::min(pieces_.size() - i, kMaxPieces)));
            if (n <= 0)
                fail();
            for (size_t left = size_t(n); left > 0;) { // a short write goes on where it stopped
                const size_t take = std::min(left, pieces_[i].iov_len);
                pieces_[i].iov_base = static_cast<char *>(pieces_[i].iov_base) + take;
                pieces_[i].iov_len -= take;
                left -= take;
                if (pieces_[i].iov_len == 0)
                    ++i;
            }
        }
        pieces_.clear();
        bytes_ = 0;
#endif
        used_ = 0;
    }

private:
    [[noreturn]] void fail()
    {
        throw AudioError(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path_), file_.errorString()));
    }
    static constexpr size_t kStoreBytes = 64 * 1024;
    static constexpr size_t kMaxPieces = 1024;
    static constexpr size_t kFlushBytes = size_t(LosslessCutter::kProgressBytes);
    QSaveFile &file_;
    QString path_;
    std::vector<uint8_t> store_;
    size_t used_ = 0;
#ifdef Q_OS_UNIX
    std::vector<iovec> pieces_;
#else
    std::vector<int> pieces_;
#endif
    size_t bytes_ = 0;
};

// Hands chunks of bytes, in order, to `consume` on a thread of its own, with
// at most a few waiting: the MD5 sums the part's samples while the decoder
// goes on with the next frames, so a part takes the longer of the two rather
// than both one after the other.
class ChunkPipe {
public:
    explicit ChunkPipe(std::function<void(const std::vector<uint8_t> &)> consume)
        : consume_(std::move(consume)), thread_([this] { run(); }) {}
    ~ChunkPipe() { close(); }
    // An emptied buffer to fill, when one has come back.
    std::vector<uint8_t> spare()
    {
        const std::lock_guard lock(mutex_);
        std::vector<uint8_t> v;
        if (!spare_.empty()) {
            v = std::move(spare_.back());
            spare_.pop_back();
        }
        v.clear();
        return v;
    }
    void push(std::vector<uint8_t> &&chunk)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queue_.size() < kDepth; });
        queue_.push_back(std::move(chunk));
        changed_.notify_all();
    }
    // Waits until every chunk pushed has been consumed.
    void close()
    {
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

private:
    static constexpr size_t kDepth = 4;
    void run()
    {
        for (;;) {
            std::vector<uint8_t> chunk;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !queue_.empty() || closed_; });
                if (queue_.empty())
                    return;
                chunk = std::move(queue_.front());
                queue_.pop_front();
                changed_.notify_all();
            }
            consume_(chunk);
            const std::lock_guard lock(mutex_);
            spare_.push_back(std::move(chunk));
        }
    }
    std::function<void(const std::vector<uint8_t> &)> consume_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<uint8_t>> queue_;
    std::vector<std::vector<uint8_t>> spare_;
    bool closed_ = false;
    std::thread thread_; // last: it starts once the rest is there
};

} // namespace audio_detail

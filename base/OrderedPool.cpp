#include "base/OrderedPool.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {
// The longest the calling thread waits for news before it breathes again.
constexpr std::chrono::milliseconds kBreath(25);
} // namespace

OrderedPool::OrderedPool(int workers, size_t jobs) : workers_(std::max(workers, 1)), jobs_(jobs) {}

OrderedPool::~OrderedPool() { Shutdown(true); }

void OrderedPool::Post(std::function<void()> call)
{
    {
        const std::lock_guard lock(mutex_);
        posted_.push_back(std::move(call));
        news_ = true;
    }
    wakeUp_.notify_one();
}

void OrderedPool::DeliverPosted()
{
    std::vector<std::function<void()>> calls;
    {
        const std::lock_guard lock(mutex_);
        calls.swap(posted_);
    }
    // Outside the lock: a box shown here runs the event loop for as long as
    // it is open, and the workers go on posting meanwhile.
    for (const auto &call : calls)
        call();
}

void OrderedPool::Work(int worker)
{
    for (;;) {
        size_t index = 0;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] { return closing_ || !pending_.empty(); });
            if (pending_.empty())
                return;
            index = pending_.front();
            pending_.pop_front();
        }
        JobEnd end = JobEnd::Done;
        std::exception_ptr escaped;
        try {
            end = hooks_->run(worker, index);
        } catch (...) {
            escaped = std::current_exception();
            end = JobEnd::EndHandingOut;
        }
        if (end == JobEnd::GiveUpLater) {
            size_t first = givenUpAfter_.load();
            while (index < first && !givenUpAfter_.compare_exchange_weak(first, index)) {
            }
        }
        {
            const std::lock_guard lock(mutex_);
            --busy_;
            handOutEnded_ = handOutEnded_ || end != JobEnd::Done;
            if (escaped && !failure_)
                failure_ = escaped;
            news_ = true;
        }
        wakeUp_.notify_one();
    }
}

void OrderedPool::Turn(const Hooks &hooks, bool &handingOut, bool &handedOut)
{
    DeliverPosted();
    const bool goOn = hooks.relay ? hooks.relay() : true;
    if (!goOn)
        stopped_ = true;
    int busy = 0;
    {
        const std::lock_guard lock(mutex_);
        busy = busy_;
        if (handOutEnded_ || stopped_)
            handingOut = false;
    }
    handedOut = false;
    while (handingOut && next_ < jobs_) {
        if (hooks.admit && !hooks.admit(next_)) {
            ++next_;
            continue;
        }
        if (busy >= workers_)
            break;
        {
            const std::lock_guard lock(mutex_);
            pending_.push_back(next_);
            ++busy_;
        }
        work_.notify_one();
        ++next_;
        handedOut = true;
        break;
    }
    if (next_ >= jobs_)
        handingOut = false;
}

void OrderedPool::Run(const Hooks &hooks)
{
    hooks_ = &hooks;
    // Should a hook throw on this thread, the workers still end before what
    // they share goes away.
    struct ShutdownOnExit {
        OrderedPool &pool;
        ~ShutdownOnExit() { pool.Shutdown(true); }
    } shutdownOnExit{*this};
    const int count = int(std::min<size_t>(size_t(workers_), jobs_));
    for (int w = 0; w < count; ++w)
        threads_.emplace_back([this, w] { Work(w); });

    bool handingOut = true;
    for (;;) {
        bool handedOut = false;
        Turn(hooks, handingOut, handedOut);
        bool idle = false;
        {
            const std::lock_guard lock(mutex_);
            idle = busy_ == 0;
        }
        if (idle && !handingOut)
            break;
        if (hooks.breathe)
            hooks.breathe();
        if (!handedOut) {
            std::unique_lock lock(mutex_);
            wakeUp_.wait_for(lock, kBreath, [this] { return news_; });
            news_ = false;
        }
    }
    Shutdown(false);
    if (hooks.joined)
        hooks.joined();
    DeliverPosted();
    if (failure_)
        std::rethrow_exception(failure_);
}

void OrderedPool::Shutdown(bool stop)
{
    if (threads_.empty())
        return;
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
        // Left early (a hook threw): the jobs still running are asked to end.
        if (stop) {
            stopped_ = true;
            pending_.clear();
        }
    }
    work_.notify_all();
    for (std::thread &t : threads_)
        if (t.joinable())
            t.join();
    threads_.clear();
}

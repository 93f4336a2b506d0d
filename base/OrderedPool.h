#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Runs a list of jobs on a few worker threads, handing them out in list order
// from the calling thread, one per turn, each as a worker comes free. The
// calling thread stays the window's: it never waits on a worker for longer
// than a breath, and everything the workers want shown there is posted to it.
// What differs between runs is given as hooks: which jobs are passed over
// before they start, and what a job's end means for the jobs after it.
class OrderedPool {
public:
    // What a job's end means for the rest of the list.
    enum class JobEnd {
        Done,
        // The jobs after this one are given up: none is handed out any more,
        // and those already running see GivenUp() and leave no trace.
        GiveUpLater,
        // No job is handed out any more; those already running end as they would.
        EndHandingOut,
    };

    struct Hooks {
        // On the calling thread, in list order, before job `index` is handed
        // out (perhaps more than once, while every worker is busy); false
        // passes it over, and the hook has said why. Empty: every job runs.
        std::function<bool(size_t index)> admit;
        // On worker `worker` (0 .. workers - 1), which runs one job at a time.
        std::function<JobEnd(int worker, size_t index)> run;
        // On the calling thread at every turn, after the posted calls have
        // run and before a job is handed out; false hands out no more jobs
        // (see Stopped()). Not called again once every job has ended.
        std::function<bool()> relay;
        // On the calling thread after each turn's handing out: the window's breath.
        std::function<void()> breathe;
        // On the calling thread once the workers are joined, before the calls
        // they posted last are run (these may show a box and run the event loop).
        std::function<void()> joined;
    };

    OrderedPool(int workers, size_t jobs);
    ~OrderedPool();
    OrderedPool(const OrderedPool &) = delete;
    OrderedPool &operator=(const OrderedPool &) = delete;

    // Returns when every job handed out has ended, the workers are joined and
    // the calls they posted have run. An exception escaping a job ends the
    // handing out and is thrown here.
    void Run(const Hooks &hooks);

    // Any thread. `call` runs on the calling thread at its next turn, in the
    // order posted; a worker never waits for it.
    void Post(std::function<void()> call);
    // relay() has said no: running jobs are asked to end after their current step.
    bool Stopped() const { return stopped_.load(std::memory_order_relaxed); }
    // A job before `index` ended with GiveUpLater.
    bool GivenUp(size_t index) const { return index > givenUpAfter_.load(std::memory_order_relaxed); }

private:
    void Work(int worker);
    void Turn(const Hooks &hooks, bool &handingOut, bool &handedOut);
    void DeliverPosted();
    void Shutdown(bool stop);

    const int workers_;
    const size_t jobs_;
    std::vector<std::thread> threads_;
    const Hooks *hooks_ = nullptr;

    // `pending`, `closing`, `busy`, `handOutEnded`, `failure`, `news` and
    // `posted` are guarded by `mutex_`.
    std::mutex mutex_;
    std::condition_variable work_;   // the workers': a job was handed out, or the run closes
    std::condition_variable wakeUp_; // the calling thread's: a job ended, or a call was posted
    std::deque<size_t> pending_;
    bool closing_ = false;
    int busy_ = 0; // jobs handed out and not yet ended
    bool handOutEnded_ = false;
    bool news_ = false;
    std::exception_ptr failure_;
    std::vector<std::function<void()>> posted_;
    size_t next_ = 0; // the calling thread's only

    std::atomic<bool> stopped_ = false;
    std::atomic<size_t> givenUpAfter_ = SIZE_MAX;
};

// The finite-element solvers' wavenumber workers: the items of a factored wavenumber (groups of
// sources, halves of a factorisation) shared with the workers that have left the loop, and the
// abort keys seen inside a wavenumber when the calling thread does the work alone.
#pragma once

#include "platform/sys/thread_pool.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace fe {

/// The items of the wavenumbers that are running, open to the workers that have left the
/// wavenumber loop (sys::run_steps' `left`). Every wavenumber calls close() once when it can
/// offer no more (done, failed or stopped); helpers leave when none can, or at `stop`.
class ItemBoard {
  public:
    explicit ItemBoard(int wavenumbers) : open_(wavenumbers) {}

    /// Runs run(worker, item) for item = 0 .. count - 1, here as worker `worker` and on the
    /// workers that help (each with its own worker number, whose work arrays it uses), and
    /// returns once every item taken is done: true when all were, false when keep_going() said
    /// no between two items here (the items not yet taken are left). Items must write only what
    /// belongs to them, so that the results do not depend on who ran them.
    bool share(int worker, int count, const std::function<void(int worker, int item)>& run,
               const std::function<bool()>& keep_going);
    /// A wavenumber offers nothing more.
    void close();
    /// The loop of worker `worker` once it has left: runs open items until no wavenumber can
    /// offer any, or `stop` is set.
    void help(int worker, const std::atomic<bool>& stop);

  private:
    struct Job {
        int count;
        const std::function<void(int, int)>* run;
        int next = 0, done = 0;
    };
    bool take(Job& job, int& item);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Job*> jobs_;
    int open_;
};

/// A wavenumber's stop test: `stop` of the pool, and, when the calling thread does the work on
/// its own (one worker), the abort keys, looked at every 50 ms at most. Once the keys have
/// stopped the run, every later wavenumber stops at once; aborted() tells the caller.
class StopTest {
  public:
    StopTest(const std::atomic<bool>& stop, bool alone, bool& aborted)
        : stop_(stop), alone_(alone), aborted_(aborted) {}
    /// True when the wavenumber should stop.
    bool operator()();

  private:
    const std::atomic<bool>& stop_;
    bool alone_;
    bool& aborted_;
    double next_look_ = 0;
};

} // namespace fe

// The finite-element solvers' wavenumber workers: the items of a factored wavenumber (groups of
// sources, halves of a factorisation) shared with the workers that have left the loop, and the
// abort keys seen inside a wavenumber when the calling thread does the work alone.
#pragma once

#include "platform/sys/thread_pool.h"

#include <algorithm>
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

/// Gives `work` (which holds the arrays of its first worker) up to `wanted` workers, each with
/// arrays of its own from take(Work&) (false when the memory is refused): taken on the pool's
/// threads at once, so that their pages are filled side by side; when one is refused, again one
/// after the other until the first refusal, so that the number had does not depend on timing.
template <class Work, class Take>
void take_workers(std::vector<Work>& work, int wanted, Take take) {
    const int extra = wanted - int(work.size());
    if (extra <= 0) return;
    std::vector<Work> more(static_cast<std::size_t>(extra));
    std::vector<char> had(more.size(), 0);
    sys::run_in_parallel(extra, extra, [&](int, int t) {
        had[std::size_t(t)] = take(more[std::size_t(t)]) ? 1 : 0;
    });
    const bool all = std::find(had.begin(), had.end(), 0) == had.end();
    if (!all) {
        more.clear();
        for (int t = 0; t < extra; ++t) {
            Work w;
            if (!take(w)) break;
            more.push_back(std::move(w));
        }
    }
    for (Work& w : more)
        work.push_back(std::move(w));
}

} // namespace fe

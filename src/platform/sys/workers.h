// The solvers' workers beyond the first: as many as the free memory holds, taken side by side.
#pragma once

#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <vector>

namespace sys {

/// Runs take() on this thread and returns what it returns, with the bytes page_alloc gave
/// meanwhile (on this thread) in `bytes`: what a worker's arrays take, learnt from its first.
template <class Take> bool take_counting(long long& bytes, Take take) {
    const PageTally tally;
    const bool had = take();
    bytes = tally.bytes();
    return had;
}

/// Gives `work`, which holds its first worker (whose arrays took `bytes_each` bytes, from
/// take_counting), up to `wanted` workers in all: as many as workers_in_free_memory counts, all of
/// them counted before any more is taken, since a reservation that passes proves nothing until
/// its pages are written; the first is kept whatever the count. The others each have arrays of
/// their own from take(Work&) (false when the memory is refused): taken on the pool's threads
/// at once, so that their pages are filled side by side; when one is refused, again one after
/// the other until the first refusal, so that the number had does not depend on timing.
template <class Work, class Take>
void take_workers(std::vector<Work>& work, int wanted, long long bytes_each, Take take) {
    const int extra =
        std::min(wanted, workers_in_free_memory(wanted, bytes_each)) - int(work.size());
    if (extra <= 0) return;
    std::vector<Work> more(static_cast<std::size_t>(extra));
    std::vector<char> had(more.size(), 0);
    run_in_parallel(extra, extra,
                    [&](int, int t) { had[std::size_t(t)] = take(more[std::size_t(t)]) ? 1 : 0; });
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

} // namespace sys

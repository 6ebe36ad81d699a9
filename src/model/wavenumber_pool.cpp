// The pool of threads that runs a solver's wavenumbers.
#include "model/wavenumber_pool.h"

#include "model/services.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace model {

namespace {

std::atomic<int> forced_threads{0};

} // namespace

int solver_threads() {
    const int forced = forced_threads.load();
    if (forced > 0) return forced;
    return std::max(1, int(std::thread::hardware_concurrency()));
}

void set_solver_threads(int count) {
    forced_threads.store(std::max(count, 0));
}

PoolOutcome
run_wavenumbers(int count, int workers, const WavenumberWork& work,
                const std::function<void(int done)>& progress,
                const std::function<void(int worker, const std::atomic<bool>& stop)>& left) {
    PoolOutcome outcome;
    std::atomic<bool> stop{false};
    if (workers <= 1) {
        for (int l = 0; l < count; ++l) {
            if (check_user_abort() != 0) {
                outcome.aborted = true;
                return outcome;
            }
            progress(l);
            const int code = work(0, l, stop);
            if (code > 0) return {false, l, code};
        }
        return outcome;
    }

    // A key typed ahead is seen before any work starts, as on one worker: a short loop may end
    // within the owner's first wait.
    if (check_user_abort() != 0) {
        outcome.aborted = true;
        return outcome;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<int> next{0};
    int done = 0, running = 0;
    auto worker = [&](int w) {
        for (int l = next++; l < count && !stop.load(); l = next++) {
            const int code = work(w, l, stop);
            std::lock_guard<std::mutex> lock(mutex);
            if (code > 0 && (outcome.failed < 0 || l < outcome.failed)) {
                outcome.failed = l;
                outcome.code = code;
                stop.store(true);
            }
            if (code == wavenumber_done) ++done;
            changed.notify_one();
        }
        if (left) left(w, stop);
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        changed.notify_one();
    };
    const int started = std::min(workers, count);
    running = started;
    std::vector<std::thread> threads;
    for (int w = 0; w < started; ++w)
        threads.emplace_back(worker, w);
    for (;;) {
        int shown;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(20));
            if (running == 0) break;
            shown = done;
        }
        // Messages are pumped on this thread only, outside the lock.
        if (!stop.load() && check_user_abort() != 0) {
            outcome.aborted = true;
            stop.store(true);
        }
        progress(shown);
    }
    for (std::thread& t : threads)
        t.join();
    return outcome;
}

void run_in_parallel(int count, int workers,
                     const std::function<void(int worker, int item)>& work) {
    std::atomic<int> next{0};
    auto worker = [&](int w) {
        for (int i = next++; i < count; i = next++)
            work(w, i);
    };
    std::vector<std::thread> threads;
    for (int w = 1; w < std::min(workers, count); ++w)
        threads.emplace_back(worker, w);
    worker(0);
    for (std::thread& t : threads)
        t.join();
}

} // namespace model

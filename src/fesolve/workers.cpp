// Items of running wavenumbers shared with idle workers, and the stop test of a wavenumber.
#include "fesolve/workers.h"

#include "model/services.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <chrono>

namespace fe {

bool ItemBoard::take(Job& job, int& item) {
    if (job.next >= job.count) return false;
    item = job.next++;
    return true;
}

bool ItemBoard::share(int worker, int count, const std::function<void(int, int)>& run,
                      const std::function<bool()>& keep_going) {
    Job job{count, &run};
    std::unique_lock<std::mutex> lock(mutex_);
    jobs_.push_back(&job);
    changed_.notify_all();
    bool going = true;
    for (int item = 0;;) {
        lock.unlock();
        going = keep_going();
        lock.lock();
        if (!going || !take(job, item)) break;
        lock.unlock();
        run(worker, item);
        lock.lock();
        ++job.done;
    }
    // Nobody takes an item once the job is off the board; those taken are finished.
    jobs_.erase(std::find(jobs_.begin(), jobs_.end(), &job));
    changed_.wait(lock, [&] { return job.done == job.next; });
    return going && job.done == count;
}

void ItemBoard::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    --open_;
    changed_.notify_all();
}

void ItemBoard::help(int worker, const std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop.load()) {
        int item = 0;
        const auto open = std::find_if(jobs_.begin(), jobs_.end(),
                                       [](const Job* j) { return j->next < j->count; });
        if (open != jobs_.end() && take(**open, item)) {
            Job& job = **open;
            lock.unlock();
            (*job.run)(worker, item);
            lock.lock();
            ++job.done;
            changed_.notify_all();
            continue;
        }
        if (open_ == 0) return;
        changed_.wait_for(lock, std::chrono::milliseconds(2));
    }
}

bool StopTest::operator()() {
    if (aborted_ || stop_.load(std::memory_order_relaxed)) return true;
    if (!alone_) return false;
    const double now = sys::wall_seconds();
    if (now < next_look_) return false;
    next_look_ = now + 0.05;
    aborted_ = user_aborted();
    return aborted_;
}

} // namespace fe

// The pool of threads that runs the parallel steps of a computation.
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace sys {

namespace {

std::atomic<int> forced_threads{0};

std::mutex step_hold_mutex;
StepHold& step_hold() {
    static StepHold hold;
    return hold;
}

// The threads that do the program's parallel work, kept from their first use to the end. A
// thread made for a step is often put on the processor of the thread that made it and holds it
// until the next scheduler tick, 4 to 8 ms, which is the length of a whole step here; a thread
// that has waited here wakes on the processor it ran on before, mostly an idle one.
class Pool {
  public:
    struct Task {
        std::function<void()> work;
        bool taken = false, done = false;
    };

    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        queued_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }

    // Queues the task for a thread that has nothing to do, making one when every thread has;
    // false when no thread can be made.
    bool post(const std::shared_ptr<Task>& task) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_ == 0) {
            try {
                threads_.emplace_back([this] { serve(); });
            } catch (const std::system_error&) {
                return false;
            }
            ++free_;
        }
        --free_;
        queue_.push_back(task);
        queued_.notify_one();
        return true;
    }

    // Takes the task back unless a thread has taken it: true when it is back, its work undone.
    bool withdraw(const std::shared_ptr<Task>& task) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (task->taken) return false;
        queue_.erase(std::find(queue_.begin(), queue_.end(), task));
        ++free_;
        return true;
    }

    void wait(const std::shared_ptr<Task>& task) {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [&] { return task->done; });
    }

  private:
    void serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            queued_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (queue_.empty()) return;
            const std::shared_ptr<Task> task = queue_.front();
            queue_.pop_front();
            task->taken = true;
            lock.unlock();
            task->work();
            lock.lock();
            task->done = true;
            ++free_;
            finished_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable queued_, finished_;
    std::deque<std::shared_ptr<Task>> queue_;
    std::vector<std::thread> threads_;
    int free_ = 0; ///< threads that will take a task queued now
    bool quit_ = false;
};

Pool& pool() {
    static Pool threads;
    return threads;
}

// The tasks of one parallel step. finish() does on the calling thread each task that no
// thread has taken yet and waits for the others.
class Tasks {
  public:
    ~Tasks() { finish(); }
    // False when the work could not be handed to a thread (it is then not done).
    bool post(std::function<void()> work) {
        auto task = std::make_shared<Pool::Task>();
        task->work = std::move(work);
        if (!pool().post(task)) return false;
        tasks_.push_back(std::move(task));
        return true;
    }
    void finish() {
        for (const std::shared_ptr<Pool::Task>& task : tasks_) {
            if (pool().withdraw(task))
                task->work();
            else
                pool().wait(task);
        }
        tasks_.clear();
    }

  private:
    std::vector<std::shared_ptr<Pool::Task>> tasks_;
};

} // namespace

int pool_threads() {
    const int forced = forced_threads.load();
    if (forced > 0) return forced;
    return std::max(1, int(std::thread::hardware_concurrency()));
}

void set_pool_threads(int count) {
    forced_threads.store(std::max(count, 0));
}

void set_step_hold(StepHold hold) {
    std::lock_guard<std::mutex> lock(step_hold_mutex);
    step_hold() = std::move(hold);
}

StepsOutcome run_steps(int count, int workers, const StepWork& work,
                       const std::function<bool()>& aborted,
                       const std::function<void(int done)>& progress,
                       const std::function<void(int worker, const std::atomic<bool>& stop)>& left) {
    StepsOutcome outcome;
    std::atomic<bool> stop{false};
    if (workers <= 1) {
        for (int l = 0; l < count; ++l) {
            if (aborted()) {
                outcome.aborted = true;
                return outcome;
            }
            progress(l);
            const int code = work(0, l, stop);
            if (code > 0) return {false, l, code};
        }
        return outcome;
    }

    // A key typed ahead is seen before any work starts, and the progress shown, as on one
    // worker: a short loop may end within the owner's first wait.
    if (aborted()) {
        outcome.aborted = true;
        return outcome;
    }
    progress(0);
    StepHold hold;
    {
        std::lock_guard<std::mutex> lock(step_hold_mutex);
        hold = step_hold();
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<int> next{0};
    int done = 0, running = 0;
    auto worker = [&](int w) {
        for (int l = next++; l < count && !stop.load(); l = next++) {
            if (hold) hold(l, stop);
            const int code = work(w, l, stop);
            std::lock_guard<std::mutex> lock(mutex);
            if (code > 0 && (outcome.failed < 0 || l < outcome.failed)) {
                outcome.failed = l;
                outcome.code = code;
                stop.store(true);
            }
            if (code == step_done) ++done;
            changed.notify_one();
        }
        if (left) left(w, stop);
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        changed.notify_one();
    };
    Tasks tasks;
    int posted = 0;
    for (int w = 0; w < std::min(workers, count); ++w) {
        std::lock_guard<std::mutex> lock(mutex);
        if (tasks.post([&worker, w] { worker(w); })) {
            ++running;
            ++posted;
        }
    }
    // No thread at all: the work is done here, without the abort keys. (Workers that have
    // all ended already leave `running` at 0 too: they must not run again.)
    if (posted == 0) {
        running = 1;
        hold = nullptr; // nothing would set `stop` for it
        worker(0);
    }
    int shown = 0;
    for (;;) {
        {
            // A step done or the last worker's end that came while this thread was
            // pumping messages is seen here at once: its wake-up went to nobody, and the end
            // of the run would otherwise wait for a whole wait.
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(20),
                             [&] { return running == 0 || done != shown; });
            if (running == 0) break;
            shown = done;
        }
        // Messages are pumped on this thread only, outside the lock.
        if (!stop.load() && aborted()) {
            outcome.aborted = true;
            stop.store(true);
        }
        progress(shown);
    }
    tasks.finish();
    return outcome;
}

void run_in_parallel(int count, int workers,
                     const std::function<void(int worker, int item)>& work) {
    std::atomic<int> next{0};
    auto worker = [&](int w) {
        for (int i = next++; i < count; i = next++)
            work(w, i);
    };
    Tasks tasks;
    for (int w = 1; w < std::min(workers, count); ++w)
        tasks.post([&worker, w] { worker(w); });
    worker(0);
    tasks.finish();
}

struct Beside::Work {
    Tasks tasks;
};

Beside::Beside(std::function<void()> work) : work_(std::make_unique<Work>()) {
    if (!work_->tasks.post(work)) work();
}

Beside::~Beside() {
    join();
}

void Beside::join() {
    work_->tasks.finish();
}

} // namespace sys

// The program's thread pool: independent steps of a computation (the wavenumbers of a potential
// solver, the blocks of a dense kernel, ...) run on threads made once and kept, while the calling
// thread pumps messages, shows progress and checks the abort keys through the callbacks it gives.
// Below the model layer: it knows no record, no window and no message funnel.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace sys {

/// Threads the parallel steps run on: the machine's hardware threads, or the count
/// set_pool_threads forced (1 for tests and timings).
int pool_threads();
/// Forces `count` threads (at least 1); 0 goes back to the machine's.
void set_pool_threads(int count);

/// What one step's work gives back: done, stopped early because `stop` was set, or a failure
/// code of the caller's own (positive).
constexpr int step_done = 0;
constexpr int step_stopped = -1;

/// The work of step `l` (0-based; a wavenumber, a frequency, a block) on worker `worker`, whose
/// work arrays are its own. It reads only inputs shared read-only by all workers and writes only
/// what belongs to `l`, and tests `stop` between its phases. It never touches a record, a canvas
/// or the message funnel.
using StepWork = std::function<int(int worker, int l, const std::atomic<bool>& stop)>;

struct StepsOutcome {
    bool aborted = false; ///< the user broke the run
    int failed = -1;      ///< the lowest step whose work failed, or -1
    int code = 0;         ///< its failure code
};

/// Runs work(w, l, stop) once for every l in 0 .. count - 1 on `workers` threads. `aborted`
/// pumps the caller's messages and tells whether the user asked to stop (user_aborted
/// in the program). With one worker the calling thread does the work itself, in order of l,
/// calling aborted() before each step and progress(l) first. With more, the calling thread
/// calls aborted() and progress(0) before the workers start, then, while the workers take the
/// steps in turn, aborted() and progress(number done) every 20 ms and at each step's end; an abort
/// or the first failure sets `stop`, and the run returns once every worker has left (an abort
/// within one phase of the work). Results do not depend on the number of workers: each step's work
/// is the same on any of them. `left`, when given, is called on a worker's thread as it leaves for
/// want of steps (with more than one worker): its work arrays are idle from then on, and the thread
/// may help the steps still running (returning soon after `stop` is set).
StepsOutcome
run_steps(int count, int workers, const StepWork& work, const std::function<bool()>& aborted,
          const std::function<void(int done)>& progress,
          const std::function<void(int worker, const std::atomic<bool>& stop)>& left = nullptr);

/// For tests of the user's break: `hold`, when set, is called on a worker's thread before each
/// step of a run on more than one worker, with the step and the run's stop flag, and may wait.
/// A test that holds the later steps until `stop` is set sees its break come while steps are
/// still to do, however fast the workers are. Null (the default) holds nothing.
using StepHold = std::function<void(int l, const std::atomic<bool>& stop)>;
void set_step_hold(StepHold hold);

/// Runs work(w, i) once for every i in 0 .. count - 1 on `workers` threads (the calling thread
/// among them), taking the items in turn; worker w is 0 .. workers - 1. For a short phase after
/// the steps: no messages are pumped and nothing stops it. Each item must write only what
/// belongs to it, so that results do not depend on the number of workers.
void run_in_parallel(int count, int workers, const std::function<void(int worker, int item)>& work);

/// Work done on a thread of the pool beside the calling thread's own (a table the caller needs
/// later, say); at once on the calling thread when no thread can be had. join(), or the end of
/// the object, waits for it, and does it on the calling thread if no thread has taken it yet.
class Beside {
  public:
    explicit Beside(std::function<void()> work);
    ~Beside();
    Beside(const Beside&) = delete;
    Beside& operator=(const Beside&) = delete;
    void join();

  private:
    struct Work;
    std::unique_ptr<Work> work_;
};

} // namespace sys

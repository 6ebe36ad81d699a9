// The seconds of the calculation's phases.
#include "model/phase_clock.h"

#include "platform/sys/sys.h"

#include <atomic>

namespace model {

namespace {

// Nanoseconds, so that threads add without a lock.
std::atomic<long long> nanoseconds[int(Phase::count)];

} // namespace

const char* phase_name(Phase phase) {
    static const char* const names[int(Phase::count)] = {"set-up",   "assembly",  "factor",
                                                         "solves",   "transform", "apparent",
                                                         "ordering", "work files"};
    return phase < Phase::count ? names[int(phase)] : "";
}

void reset_phase_seconds() {
    for (std::atomic<long long>& n : nanoseconds)
        n.store(0);
}

double phase_seconds(Phase phase) {
    return double(nanoseconds[int(phase)].load()) * 1e-9;
}

void add_phase_seconds(Phase phase, double seconds) {
    if (phase != Phase::count) nanoseconds[int(phase)] += (long long)(seconds * 1e9);
}

PhaseTimer::PhaseTimer(Phase phase) : phase_(phase), start_(sys::thread_cpu_seconds()) {}

void PhaseTimer::stop(Phase next) {
    const double now = sys::thread_cpu_seconds();
    add_phase_seconds(phase_, now - start_);
    phase_ = next;
    start_ = now;
}

} // namespace model

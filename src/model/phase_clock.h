// Seconds spent in each phase of a calculation, for the benchmarks: the solvers and the
// calculation driver add what their phases took; nothing in the program reads the figures.
#pragma once

namespace model {

enum class Phase {
    setup,      ///< datum list, solver mesh, ordering and symbolic factorisation
    assembly,   ///< the matrices of the wavenumbers
    factor,     ///< their numeric factorisations
    solves,     ///< the solves for the sources
    transform,  ///< the inverse Fourier transforms
    apparent,   ///< the apparent values of the data
    ordering,   ///< orderings of the solver's matrix (when it has its own)
    work_files, ///< writing and reading the solver's work files
    count
};

/// The phase's name as the benchmarks print it ("set-up", "assembly", ..., "work files").
const char* phase_name(Phase phase);

/// Sets every phase's seconds to 0.
void reset_phase_seconds();
/// CPU seconds of `phase` since the last reset, summed over the threads that ran it.
double phase_seconds(Phase phase);
/// Adds `seconds` to `phase`; any thread may call it.
void add_phase_seconds(Phase phase, double seconds);

/// Adds the CPU seconds of its thread from its construction to its destruction to a phase (CPU
/// time, so that other work on the machine does not count); stop() closes the phase earlier
/// and goes on timing the next one.
class PhaseTimer {
  public:
    explicit PhaseTimer(Phase phase);
    ~PhaseTimer() { stop(); }
    PhaseTimer(const PhaseTimer&) = delete;
    PhaseTimer& operator=(const PhaseTimer&) = delete;
    /// Adds the seconds so far to the phase timed and starts timing `next` (none by default).
    void stop(Phase next = Phase::count);

  private:
    Phase phase_;
    double start_;
};

} // namespace model

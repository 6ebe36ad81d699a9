// The disk space and memory an optimisation run needs, worked out before it writes anything.
#pragma once

#include <string>

class ModelResolution;

namespace opt {

struct Grid;

/// Bytes a run needs at most beyond what it holds when the arrays are generated: `disk` for its
/// work files (all at once, with the copy a safe save keeps while it replaces one), `memory` for
/// its work arrays (the largest step's with those kept for the whole run).
struct WorkSpace {
    long long disk = 0, memory = 0;
};

/// The need of a run over `grid` with `comprehensive` arrays to choose from, starting from
/// `base` arrays, on `threads` threads: the pole-pole table, the two array files, the
/// comprehensive Jacobian beside the chosen set's and the three matrix files on disk; the table,
/// H and its inverse, the candidates' goodness and ranking, and the largest of the Jacobian,
/// Hessian, inversion, Compare R and adding steps in memory.
WorkSpace work_space_needed(const ModelResolution& settings, const Grid& grid, int comprehensive,
                            int base, int threads);

/// The folder of the run's work files (that of the Jacobian file), "." when it names none.
std::string work_folder(const ModelResolution& settings);

/// True when the free disk space of the work folder and the free memory (sys::free_disk_bytes,
/// sys::free_memory_bytes) hold the need; otherwise shows "The array optimisation needs %.1f MB
/// of disk space for its work files in\n%s\nand %.1f MB of memory.\nThere are %.1f MB of disk
/// space and %.1f MB of memory free.\n..." (caption "Message") and returns false. A free disk
/// space the system cannot tell is taken as enough.
bool work_space_available(const ModelResolution& settings, const WorkSpace& need);

} // namespace opt

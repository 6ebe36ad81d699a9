// The comprehensive and base sets of four-electrode arrays of an optimisation run, and their
// work files. An array is four 32-bit electrode numbers C1, C2, P1, P2 (1-based).
#pragma once

#include "platform/sys/page_array.h"

#include <cstdint>

class ModelResolution;

namespace opt {

struct Grid;

/// A list of arrays with a fixed capacity: array k (0-based) at e[4k .. 4k + 3].
struct ArrayList {
    sys::PageArray<std::int32_t> e;
    int count = 0;
    int capacity = 0;

    /// Takes storage for `arrays` arrays; false when refused.
    bool reserve(int arrays);
    bool full() const { return count >= capacity; }
    void push(std::int32_t c1, std::int32_t c2, std::int32_t p1, std::int32_t p2);
    const std::int32_t* at(int k) const { return e.get() + 4 * std::size_t(k); }
};

/// Geometric factor limit of the generation: 2 pi over the geometric term of the dipole-dipole
/// array of dipole length 1 and factor n, plus 1e-6, in single precision.
float geometric_factor_limit(int max_n);

/// Generates every array allowed by opt_max_n and array_kinds (progress texts "Generating
/// arrays B %.1f%%" and the like): beta arrays (C2 C1 P1 P2 along the line), then alpha arrays
/// (C1 P1 P2 C2), each by increasing electrode numbers; in the four-cable layout those of the
/// 41 inner electrodes shifted onto 11..51, then the long-cable arrays. The comprehensive set
/// holds at most N^4 / 15 arrays and the base set at most 32 N; an array allowed while the
/// comprehensive set is full is dropped, one meant for a full base set joins the comprehensive
/// set. Returns false when the storage is refused.
bool generate_arrays(const ModelResolution& settings, const Grid& grid, ArrayList& comprehensive,
                     ArrayList& base);

/// Writes the arrays as 32-bit integers to `path` (a failure leaves no file there). True on
/// success.
bool save_arrays(const char* path, const std::int32_t* arrays, int count);
/// Reads `count` arrays back; true when all were there.
bool load_arrays(const char* path, std::int32_t* arrays, int count);

} // namespace opt

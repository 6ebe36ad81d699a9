// The state of one optimisation run: the grid, the pole-pole table, the candidate and chosen
// arrays, and the Hessian, inverse and resolution of the chosen set. Owned by the run; every
// array is freed when it ends.
#pragma once

#include "optimise/arrays.h"
#include "optimise/grid.h"
#include "platform/sys/page_array.h"

#include <cstdint>
#include <vector>

class ModelResolution;

namespace opt {

/// Selection methods.
enum Method { compare_r = 0, eth = 1, bgs = 2, combined_bgs_cr = 3 };

/// Results of the resolution step (resolution.h).
enum ResolutionResult {
    resolution_ok = 0,
    resolution_short = 1,        ///< a matrix file read or written short
    resolution_cannot_open = 2,  ///< a matrix file cannot be opened or created
    resolution_no_memory = 3,    ///< work storage refused
    resolution_write_error = 4,  ///< the Hessian builder could not write its file
    resolution_not_positive = 5, ///< a pivot of the damped inversion was not positive
    resolution_stopped = 6,      ///< the user pressed an abort key
    resolution_not_finite = 7    ///< a resolution value came out NaN or infinite
};

struct Run {
    explicit Run(const ModelResolution& settings) : settings(settings) {}

    const ModelResolution& settings;
    /// The method in force: the combined method runs as BGS from its start on.
    int method = bgs;
    int iteration = 0; ///< -1 comprehensive set, 0 base set, then 1, 2, ...
    double figure = 0; ///< figure of the chosen set (resolution.h, set_figure)
    Grid grid;
    sys::PageArray<float> table; ///< pole-pole table, pole_pole_table_size values

    ArrayList candidates;        ///< the comprehensive set less the arrays taken, in ranked order
    int comprehensive_count = 0; ///< size of the comprehensive set as generated
    sys::PageArray<float> goodness;   ///< per candidate
    std::vector<std::int32_t> chosen; ///< the optimised set, four electrodes per array

    // Packed B x B Hessian J^T J of the chosen set and its damped inverse; per-block resolution
    // of the chosen set and of the comprehensive set.
    sys::PageArray<double> hessian, inverse;
    sys::PageArray<float> resolution, comprehensive_resolution;
    /// Mean |sensitivity| of each block over the comprehensive set (original ETH).
    sys::PageArray<float> comprehensive_mean;

    int nchosen() const { return int(chosen.size() / 4); }
    int nblocks() const { return grid.nblocks; }
};

} // namespace opt

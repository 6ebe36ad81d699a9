// The layered block model of an optimisation run: electrode positions, layer boundaries and
// blocks, all in unit electrode spacings.
#pragma once

#include <vector>

class ModelResolution;

namespace opt {

/// Blocks are numbered from 1, layer by layer from the top and within a layer from left to
/// right; block column c lies between electrodes c and c + 1.
struct Grid {
    int layout = 0;       ///< cable layout: 0 standard, 1 two-cable, 2 four-cable
    int nelec = 0;        ///< electrodes on the line, N
    int ncols = 0;        ///< block columns, N - 1
    int nlayers = 0;      ///< model layers
    int nblocks = 0;      ///< ncols x nlayers
    float depth = 0;      ///< largest model depth, (N - 1) x depth ratio
    std::vector<float> x; ///< [N] position of electrode e at x[e - 1]
    std::vector<float> z; ///< [nlayers + 1] layer boundaries from z[0] = 0 down

    int column(int block) const { return (block - 1) % ncols + 1; }
    int layer(int block) const { return (block - 1) / ncols + 1; }
    float position(int electrode) const { return x[electrode - 1]; }
};

/// Position of electrode e (1-based) of a line in the cable layout: e - 1, except in the
/// four-cable layout, whose ten outer intervals on each side are 2 long.
float electrode_position(int layout, int e);

/// Electrodes of the line: 61 in the four-cable layout (whatever the record says, since its
/// spacing pattern is fixed), otherwise ModelResolution::opt_nelec.
int line_electrodes(const ModelResolution& settings);

/// Builds the grid of the settings. Four-cable layout: 10 intervals of 2, 40 of 1, 10 of 2;
/// otherwise intervals of 1. Layers: the first opt_first_thickness thick, each further one
/// opt_thickness_factor times the one above, added while the depth reached is below the largest
/// depth and fewer than opt_param_41 exist (single precision, as the report prints them).
void build_grid(const ModelResolution& settings, Grid& grid);

} // namespace opt

// Electrode positions and model layers of an optimisation run.
#include "optimise/grid.h"

#include "model/records.h"

namespace opt {

float electrode_position(int layout, int e) {
    if (layout != 2 || e <= 11) return float(layout == 2 ? 2 * (e - 1) : e - 1);
    if (e <= 51) return float(20 + e - 11);
    return float(60 + 2 * (e - 51));
}

int line_electrodes(const ModelResolution& settings) {
    return settings.cable_layout == 2 ? 61 : settings.opt_nelec;
}

void build_grid(const ModelResolution& settings, Grid& grid) {
    grid.layout = settings.cable_layout;
    grid.nelec = line_electrodes(settings);
    grid.ncols = grid.nelec - 1;
    grid.x.resize(std::size_t(grid.nelec));
    for (int e = 1; e <= grid.nelec; ++e)
        grid.x[std::size_t(e - 1)] = electrode_position(grid.layout, e);
    // The depth follows the number of intervals, not the line length, in every layout.
    grid.depth = float(grid.nelec - 1) * settings.opt_depth_ratio;
    grid.z.assign(1, 0.0f);
    float thickness = settings.opt_first_thickness, reached = 0.0f;
    while (reached < grid.depth && int(grid.z.size()) - 1 < settings.opt_param_41) {
        reached += thickness;
        grid.z.push_back(reached);
        thickness *= settings.opt_thickness_factor;
    }
    grid.nlayers = int(grid.z.size()) - 1;
    grid.nblocks = grid.ncols * grid.nlayers;
}

} // namespace opt

// Plotting positions of the data of a pseudosection: x along the line and pseudodepth of every
// datum by array type and pseudodepth method, and the level grid of the pseudosection display.
#pragma once

#include "model/model_settings.h"
#include "model/records.h"

/// Mean depth of investigation over a homogeneous half-space of one datum of internal array
/// type `array_type` (unit spacings): z = K / (4 pi) ln(r2 r3 / (r1 r4)) with the distances
/// r1 = C1-P1, r2 = C1-P2, r3 = C2-P1, r4 = C2-P2 that a (int spacing), n (separation factor,
/// its sign ignored for the pole-dipole arrays) and b (offset ratio of the equatorial array) fix;
/// the pole-dipole arrays (6, 10) use the three-electrode form ln(r2 / r1). The gradient arrays
/// (9, 15) take the distances from the datum's positions c1, c2, p1, p2. Every other type
/// (pole-pole 4, 11 and up) gives 0.867 a.
float mean_depth_of_datum(int array_type, int a, float n, float b, float c1, float c2, float p1,
                          float p2);

/// Replaces *z by the mean depth of datum d (0-based) when settings.pseudodepth_type is 1 (the
/// "Mean" estimate); does nothing otherwise. The array type is settings.array_type_copy; the
/// datum is datum_a[d], datum_n[d], the offset ratio electrode_offset_ratio and, for the
/// gradient array (9), its current electrodes at the ends of the line (nelec) and its potential
/// pair from datum_first_electrode[d]; for the multiple gradient (15) c1_x[d] .. p2_x[d].
void calc_pseudodepth(const ModelSettings& settings, int d, float* z);

/// Plotting position of every datum and the level grid of the pseudosection.
///
/// Per datum d < settings.ndata: x[d] = first electrode - 1 plus the array's midpoint offset
/// and z[d] the pseudodepth, both in unit spacings from the first electrode, by the array type
/// settings.array_type_copy and settings.pseudodepth_type (0 median from the depth-factor
/// tables, 1 mean depth). Reads datum_first_electrode, datum_a, datum_n, the gradient positions
/// c1_x .. p2_x and electrode_offset_ratio.
///
/// Level grid: for each of the settings.nplot_levels levels (at most limits.max_plot_levels),
/// with plot_level_count points whose electrode numbers stand in plot_levels (rows of
/// limits.max_electrodes_d entries), writes the points between the electrodes into plot_grid_x
/// (unit spacings) and plot_grid_z (the level's middle depth from plot_level_z). A level of two
/// points or fewer is centred on the line with the spacing of the two points written last (one
/// unit spacing while fewer than two are written). Array type 11 takes the electrode positions
/// of the level from datum_work. The grid stops at limits.max_data_points points.
/// x and z need settings.ndata entries. No messages; nothing can fail.
void calc_plot_points(ModelSettings& settings, const ProgLim& limits, float* x, float* z);

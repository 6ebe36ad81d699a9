// Placing an electrode that lies off the survey line's node columns (a remote electrode) onto
// one node column, or between two with linear weights.
#pragma once

/// Places the position p = electrode_x + reference_x on the node columns whose x coordinates
/// are positions[0..last_column]. The survey electrodes stand in the 0-based columns
/// first_column - 1 + q*step, q = 0..electrodes-1 (first_column is 1-based); those columns
/// are avoided. Writes list[0] = count and list[1..count] = 0-based columns, weights[0..count-1]:
///   count 1: within 0.1 of the nearest column (moved one column toward p when that column
///            is a survey electrode's), weight 1;
///   count 2: the nearest column and its neighbour toward p with linear weights (summing to 1);
///            when either is a survey electrode's column, count 1 on the other one;
///   count 0: a chosen column lies below 3 or above last_column - 2 (too near the mesh edge).
/// Of two columns at the same distance the lower index is the nearest.
void find_electrode_nodes(int first_column, int step, int electrodes, int last_column,
                          float electrode_x, float reference_x, const float* positions, int* list,
                          float* weights);

/// The same rule with double-precision positions and weights.
void find_electrode_column(int first_column, int step, int electrodes, int last_column,
                           float electrode_x, double reference_x, const double* positions,
                           int* list, double* weights);

/// Places the remote electrodes C2 (kind 2) or C2 and P2 (kind 4) on the surface columns of a
/// grid of nx node columns at `positions` (unit spacings); the x of C2 and P2 are relative to
/// the first survey electrode, which stands in the 1-based column m. On return
/// `list` holds the C2 columns (1-based) followed by the P2 columns, `weights` their weights,
/// and *c2_count, *p2_count how many each has (0: no node, the electrode is left out). The
/// electrodes are placed on the surface row.
void find_remote_electrode_nodes(int nodes_per_spacing, int nelec, int kind, int m, int nx,
                                 const double* positions, float c2_x, float p2_x, int* list,
                                 double* weights, int* c2_count, int* p2_count);

/// The same with single-precision positions and weights (the placement of find_electrode_nodes).
void find_remote_electrode_nodes_flt(int nodes_per_spacing, int nelec, int kind, int m, int nx,
                                     const float* positions, float c2_x, float p2_x, int* list,
                                     float* weights, int* c2_count, int* p2_count);

/// The widest node spacing next to the given 0-based node columns (count of them) of a row of
/// n columns at `positions`: how coarsely the mesh follows a potential there.
double widest_spacing_at(const double* positions, int n, const int* columns, int count);
double widest_spacing_at(const float* positions, int n, const int* columns, int count);

/// The ratio that moves a potential found with a remote electrode where the mesh holds it, at
/// the distance `placed` along the line from a receiver (`depth` below the surface, `strike`
/// off the section plane; unit spacings), to its own place, `own` along the line: a
/// half-space's, hypot(placed, depth, strike) / hypot(own, depth, strike), each distance along
/// the line at least `nearest`.
double remote_distance_ratio(double placed, double own, double depth, double strike,
                             double nearest);

/// The potentials `values` of a remote electrode at the n surface electrodes (electrode e at
/// x = e unit spacings), found with it at x = `placed` (a column beside its own x, where the
/// mesh holds it; `strike` off the section plane), moved to its own x, `own`. Where the ground
/// changes little along the line near it, its potential at x from `own` is that at
/// x + placed - own from `placed`: each value's product with its distance from `placed` (a
/// half-space's resistivity, smooth on layered ground) is interpolated there from the
/// electrodes beside it on the same side, and divided by the distance from `own`; without
/// such a neighbour, remote_distance_ratio. Distances along the line at least `nearest`.
void move_remote_potentials(double* values, int n, double placed, double own, double strike,
                            double nearest);

// The finite-element block mesh of the fesolve tests and the benchmark, laid out in a model
// record the way the model reader lays it out. Free of GoogleTest: the benchmark builds it too.
#pragma once

#include "model/model_settings.h"
#include "model/records.h"

#include <vector>

namespace test_support {

/// Lays out in `s` the mesh of nelec electrodes one unit apart over the nz node rows the caller
/// has put in s.depth_lines[0..nz-1] and s.node_row_dz[0..nz-2]: m margin columns growing by
/// 1.25 outward, p node columns a spacing (nx = 2m + (nelec - 1) p - 1 columns, which the
/// limits must hold), no borehole or remote electrode, offset ratio 1, every cell of
/// resistivity rho in driver_cells_2x. The electrodes stand at the elevations `elevations`
/// (tflag 1), or on flat ground (tflag 0) when it is empty. Returns nx.
int lay_out_fe_mesh(ModelSettings& s, int nelec, int m, int p, int nz, double rho,
                    const std::vector<float>& elevations = {});

/// The benchmarks' limits for a line of `electrodes`: the tests' limits (1000 data) with room
/// for `rows` node rows and the reader's margins at p node columns a spacing.
ProgLim bench_limits(int electrodes, int rows, int p);

/// The benchmarks' half-space: node rows from 0.25 below the surface, growing by 1.1 from the
/// fourth on, until they reach twice the line length (at most rows - 1 of them), laid out by
/// lay_out_fe_mesh with every cell of resistivity rho, also in cell_conductivity; electrode e
/// (0-based) at x = e in driver_elec_2. Returns nx.
int lay_out_bench_mesh(ModelSettings& s, int nelec, int m, int p, int rows, double rho);

} // namespace test_support

// The finite-element block mesh of the fesolve tests and the benchmark, laid out in a model
// record the way the model reader lays it out. Free of GoogleTest: the benchmark builds it too.
#pragma once

#include "model/model_settings.h"

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

} // namespace test_support

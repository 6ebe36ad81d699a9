// Program limits and a model record kept for the whole run, for the tests and the fuzz target.
#include "support/model_records.h"

#include "model/globals.h"

#include <algorithm>
#include <cstdlib>

namespace test_support {

ProgLim limits_for(int n, int d) {
    ProgLim l;
    l.max_electrodes = n;
    l.max_n = 70;
    l.max_data_points = d;
    l.max_levels = 160;
    l.max_resistivity_values = 33;
    l.max_node_rows = 170;
    l.max_node_columns = std::max(4 * n + 43, 227);
    l.max_topo_points = n;
    l.max_spacing_ratio = 160;
    l.max_electrodes_b = l.max_electrodes_c = l.max_electrodes_d = n;
    l.max_node_columns_b = l.max_node_columns;
    l.max_borehole_electrodes = 32;
    l.max_boreholes = 30;
    l.max_frequencies = 12;
    return l;
}

ProgLim default_limits() {
    return limits_for(161, 16000);
}

SharedRecords::SharedRecords() {
    if (model::allocate_model_arrays(*model, *potentials, limits) != 0) std::abort();
}

SharedRecords::~SharedRecords() {
    model::release_model_arrays(*model, *potentials);
}

SharedRecords& shared_records() {
    static SharedRecords records;
    return records;
}

} // namespace test_support

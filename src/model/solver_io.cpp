// The survey part of a solver's inputs, taken from the records.
#include "model/solver_io.h"

#include "model/model_settings.h"
#include "model/records.h"

namespace model {

void fill_survey_inputs(const ModelSettings& s, const ProgLim& limits, double* table_a,
                        double* table_b, double* remote_table, SurveyInputs& in) {
    in.nx = s.nx_nodes;
    in.nz = s.nz_nodes;
    in.node_col_dx = s.node_col_dx;
    in.node_row_dz = s.node_row_dz;
    in.nelec = s.nelec;
    in.margin_columns = s.margin_columns;
    in.nodes_per_spacing = s.nodes_per_spacing;
    in.electrode_water = s.electrode_water;
    in.electrode_offset_ratio = s.electrode_offset_ratio;
    in.array_type = s.array_type;
    in.remote_electrodes = s.remote_electrodes;
    in.c2_x = s.c2_remote_x;
    in.c2_y = s.c2_remote_y;
    in.p2_x = s.p2_remote_x;
    in.p2_y = s.p2_remote_y;
    in.nky = s.nky;
    in.ky_min = s.ky_min;
    in.ky_max = s.ky_max;
    in.table_a = table_a;
    in.table_b = table_b;
    in.lead = limits.max_electrodes;
    in.remote_table = remote_table;
}

} // namespace model

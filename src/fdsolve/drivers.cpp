// The three finite-difference drivers over the shared frame, and their inputs taken from the
// records.
#include "fdsolve/fdsolve.h"
#include "fdsolve/frame.h"

#include "model/model_settings.h"
#include "model/services.h"

namespace fd {

Inputs make_inputs(ModelSettings& s, const ProgLim& limits, const float* cells, double* table_a,
                   double* table_b, double* remote_table) {
    Inputs in;
    model::fill_survey_inputs(s, limits, table_a, table_b, remote_table, in);
    in.conductivity = cells;
    in.distributed_source = s.distributed_source;
    in.current_node_weight = s.current_node_weight;
    in.side_node_weight = s.side_node_weight;
    in.fd_option = &s.fd_option;
    return in;
}

double first_wavenumber(const model::SurveyInputs& in) {
    return in.nelec > 45 ? 0.4 * double(in.ky_min) : double(in.ky_min);
}

} // namespace fd

model::SolverResult calaresforward_dbl(const fd::Inputs& in) {
    model::trace("calaresforward_dbl\n");
    const model::SolverResult result = fd::run_sparse(in, fd::Scheme::modified_5pt);
    if (result.ok())
        model::trace("v %12.4e %12.4e %12.4e\n", in.table_a[0], in.table_a[1], in.table_a[2]);
    return result;
}

model::SolverResult calaresforward_9pt(const fd::Inputs& in) {
    return fd::run_sparse(in, fd::Scheme::modified_9pt);
}

model::SolverResult calaresforward_dm(const fd::Inputs& in) {
    return fd::run_sparse(in, fd::Scheme::dey_morrison);
}

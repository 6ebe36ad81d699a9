// Messages, progress, input checks, remote-electrode placement and transform shared by the
// finite-element solvers.
#include "fesolve/solver_common.h"

#include "fdsolve/electrode_nodes.h"
#include "fdsolve/spline.h"
#include "fdsolve/transform.h"
#include "fesolve/electrode_map.h"
#include "fesolve/fesolve.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"

#include <algorithm>

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace fe {

Inputs make_inputs(ModelSettings& s, const ProgLim& limits, const float* cells, double* table_a,
                   double* table_b, double* remote_table) {
    Inputs in;
    model::fill_survey_inputs(s, limits, table_a, table_b, remote_table, in);
    in.settings = &s;
    in.node_x = s.node_x;
    in.node_z = s.node_z;
    in.node_col_x = s.node_col_x;
    in.cells = cells;
    in.nelec_total = s.nelec_total;
    in.nboreholes = s.nboreholes;
    in.issbor = s.issbor;
    in.borehole_columns = s.borehole_column;
    in.borehole_first_rows = s.borehole_first_row;
    in.borehole_z = s.borehole_z;
    in.jacobian = s.jacob == 1 ? 1 : 0;
    return in;
}

namespace {

// Node of a borehole electrode at `depth` in node column `column`: the last row whose node
// depth matches within 0.001; failing that the nearest row, noted in the trace.
int borehole_node(int column, int nz, const float* node_z, float depth, int electrode) {
    int match = 0, nearest = 1;
    for (int r = 1; r <= nz; ++r) {
        const float z = node_z[index2d(r, column, nz)];
        if (std::fabs(z - depth) <= 0.001f) match = r;
        if (std::fabs(z - depth) < std::fabs(node_z[index2d(nearest, column, nz)] - depth))
            nearest = r;
    }
    if (match == 0) {
        model::trace("borehole electrode %d depth %8.3f matches no node row of column %d: "
                     "nearest row %d at %8.3f\n",
                     electrode, double(depth), column, nearest,
                     double(node_z[index2d(nearest, column, nz)]));
        match = nearest;
    }
    return (column - 1) * nz + match;
}

} // namespace

// Electrode nodes of the surface and borehole electrodes; a bad_input failure after the
// message.
model::SolverResult place_electrodes(int nboreholes, const std::int32_t* issbor,
                                     const std::int32_t* columns, const float* depths, int n,
                                     int margin_columns, int nodes_per_spacing, int nelec, int nx,
                                     int nz, const float* node_z,
                                     const std::int32_t* electrode_water, int* node) {
    for (int e = 0; e < nelec; ++e)
        node[e] = (margin_columns - 1 + e * nodes_per_spacing) * nz + 1 + electrode_water[e];
    int e = nelec;
    for (int b = 0; b < nboreholes; ++b) {
        if (issbor[b] > 0 && (columns[b] < 1 || columns[b] > nx))
            return report_error(model::SolverStatus::bad_input,
                                "Borehole %d lies in node column %d,\noutside the mesh of "
                                "%d columns.",
                                b + 1, columns[b], nx);
        for (int i = 0; i < issbor[b] && e < n; ++i, ++e)
            node[e] = borehole_node(columns[b], nz, node_z, depths[e - nelec], e + 1);
    }
    if (e != n)
        return report_error(model::SolverStatus::bad_input,
                            "The model has %d electrodes, but %d surface\nand %d borehole "
                            "electrodes were given.",
                            n, nelec, e - nelec);
    return {};
}

void trace_wavenumbers(int nk, const double* k) {
    model::trace("nyk %d\n", nk);
    for (int i = 0; i < nk; ++i)
        model::trace("%2d %10.7f\n", i + 1, k[i]);
}

model::SolverResult report_no_memory() {
    return report_error(model::SolverStatus::no_memory,
                        "Insufficient memory for finite-element subroutine!.");
}

namespace {

model::SolverResult report_factor_failure_headed(int node, const char* head) {
    model::report_error(model::Shown::box, "Error Message",
                        "%s"
                        "There has been an error in calculating\n"
                        "the potential values for this model.\n"
                        "Please check your input model to ensure\n"
                        "that the model resistivities and the grid\n"
                        "lines depth have reasonable values. If you\n"
                        "read in a inversion results file, the file\n"
                        "format might have been accidentally changed.",
                        head);
    return model::SolverResult::pivot_at(node);
}

} // namespace

model::SolverResult report_factor_failure(int node, bool with_node) {
    char head[48] = "";
    if (with_node) std::snprintf(head, sizeof head, "Error at node %d.\n", node);
    return report_factor_failure_headed(node, head);
}

model::SolverResult report_factor_failure_at_wave(int node, int wave) {
    char head[64];
    std::snprintf(head, sizeof head, "Error at node %d wave number %d.\n", node, wave);
    return report_factor_failure_headed(node, head);
}

model::SolverResult report_error(model::SolverStatus status, const char* format, ...) {
    char text[640];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    model::report_error(model::Shown::box, "Error Message", "%s", text);
    return model::SolverResult::failure(status);
}

void report_progress(const char* format, int iky, int nky) {
    const float percentage = float(iky) * 100.0f / float(nky);
    char text[2048];
    std::snprintf(text, sizeof text, format, double(percentage));
    update_status(text, round_to_int(percentage * 0.01f * float(Statuswind.bar_width)));
}

sys::StepsOutcome
run_wavenumbers(int nky, int workers, const sys::StepWork& work, const char* format,
                const std::function<void(int worker, const std::atomic<bool>& stop)>& left,
                const std::function<void(int done)>& shown) {
    return sys::run_steps(
        nky, workers, work, user_aborted,
        [&](int done) {
            if (shown) shown(done);
            report_progress(format, done, nky);
        },
        left);
}

model::SolverResult check_mesh_and_electrodes(const Inputs& in, int nky, int min_nky) {
    using model::SolverStatus;
    const int nx = in.nx, nz = in.nz, n = in.nelec_total, nelec = in.nelec;
    if (nky < min_nky || nky > fd::max_wavenumbers)
        return report_error(SolverStatus::bad_input,
                            "The number of wavenumbers (%d) must lie between %d and %d.", nky,
                            min_nky, fd::max_wavenumbers);
    if (nx < 2 || nz < 2)
        return report_error(SolverStatus::bad_input,
                            "The finite-element mesh of %d x %d nodes is too small.", nx, nz);
    if (n < 2 || nelec < 1 || n < nelec || n > in.lead)
        return report_error(SolverStatus::bad_input,
                            "The model has %d electrodes (%d on the surface);\n"
                            "the calculation takes 2 to %d electrodes.",
                            n, nelec, in.lead);
    for (int e = 0; e < nelec; ++e) {
        const int column = in.margin_columns + e * in.nodes_per_spacing;
        const int row = in.electrode_water[e] + 1;
        if (column < 1 || column > nx || row < 1 || row > nz)
            return report_error(SolverStatus::bad_input,
                                "Electrode %d (node column %d, row %d) lies outside\n"
                                "the finite-element mesh of %d x %d nodes.",
                                e + 1, column, row, nx, nz);
    }
    return {};
}

void place_remote_electrodes(ModelSettings& settings, int nodes_per_spacing, int nelec,
                             int margin_columns, int ny, int nx, const float* positions,
                             RemoteElectrodes& remote) {
    int list[6] = {0, 0, 0, 0, 0, 0};
    float weights[4] = {0, 0, 0, 0};
    int na = 0, nb = 0;
    get_electrode_node_numbers(nodes_per_spacing, nelec, margin_columns, ny, nx, positions,
                               remote.c2_x, remote.p2_x, list, weights, &na, &nb);
    remote.c2_count = na;
    remote.p2_count = nb;
    const double first = positions[margin_columns - 1];
    auto x_of = [&](int node) { return double(positions[(node - 1) / ny]) - first; };
    remote.c2_at = remote.c2_x;
    remote.p2_at = remote.p2_x;
    if (na > 0) remote.c2_at = 0.0;
    if (nb > 0) remote.p2_at = 0.0;
    for (int i = 0; i < na; ++i) {
        remote.c2_node[i] = list[1 + i];
        remote.c2_weight[i] = weights[i];
        remote.c2_at += weights[i] * x_of(list[1 + i]);
    }
    for (int i = 0; i < nb; ++i) {
        remote.p2_node[i] = list[na + 2 + i];
        remote.p2_weight[i] = weights[na + i];
        remote.p2_at += weights[na + i] * x_of(list[na + 2 + i]);
    }
    int columns[2] = {0, 0};
    for (int i = 0; i < na; ++i)
        columns[i] = (list[1 + i] - 1) / ny;
    remote.c2_spacing = widest_spacing_at(positions, nx, columns, na);
    for (int i = 0; i < nb; ++i)
        columns[i] = (list[na + 2 + i] - 1) / ny;
    remote.p2_spacing = widest_spacing_at(positions, nx, columns, nb);
    settings.fe_remote_a = na;
    settings.fe_remote_b = nb;
    if (settings.fe_small_table_a)
        std::copy(list, list + 6, static_cast<int*>(settings.fe_small_table_a));
    if (settings.fe_small_table_b)
        std::copy(weights, weights + 4, static_cast<float*>(settings.fe_small_table_b));
    model::trace("remote electrodes C2 %d nodes %d %d  P2 %d nodes %d %d\n", na, remote.c2_node[0],
                 remote.c2_node[1], nb, remote.p2_node[0], remote.p2_node[1]);
}

void electrode_position(const ElectrodeNode* table, int nelec, int e, double& x, double& z) {
    if (e < nelec || table == nullptr) {
        x = e;
        z = 0.0;
        return;
    }
    x = table[e].x;
    z = table[e].z;
}

void move_remote_table(const RemoteElectrodes& remote, const ElectrodeNode* table, int n, int nelec,
                       double nearest, double* row) {
    // At the surface electrodes from their neighbours, at the borehole electrodes and from C2
    // to P2 by a half-space's ratio.
    for (int source = 0; source < 2; ++source) {
        const bool present = source == 0 ? remote.c2_count > 0 : remote.p2_count > 0;
        const double at = source == 0 ? remote.c2_at : remote.p2_at;
        const double own = source == 0 ? remote.c2_x : remote.p2_x;
        const double ry = source == 0 ? remote.c2_y : remote.p2_y;
        if (!present) continue;
        double* values = row + std::size_t(source) * n;
        move_remote_potentials(values, nelec, at, own, ry, nearest);
        for (int e = nelec; e < n; ++e) {
            double x, z;
            electrode_position(table, nelec, e, x, z);
            values[e] *= remote_distance_ratio(at - x, own - x, z, ry, nearest);
        }
    }
    if (remote.c2_count > 0 && remote.p2_count > 0)
        row[2 * n] *=
            remote_distance_ratio(remote.p2_at - remote.c2_at, double(remote.p2_x) - remote.c2_x,
                                  0.0, double(remote.p2_y) - remote.c2_y, nearest);
}

bool transform_remote_values(const RemoteElectrodes& remote, const ElectrodeNode* table, int n,
                             int nelec, const double* values, int nk, const double* k,
                             double node_spacing, double* out) {
    const int stride = 2 * n + 1;
    // Only the values of remote electrodes that have nodes are transformed; the rest stay 0.
    sys::PageArray<int> place(stride);
    sys::PageArray<double> d(stride), s(stride), h(stride), y(stride);
    if (!place.ok() || !d.ok() || !s.ok() || !h.ok() || !y.ok()) return false;
    const double nearest = 0.25 * node_spacing;
    const double c2_h = std::max(node_spacing, remote.c2_spacing);
    const double p2_h = std::max(node_spacing, remote.p2_spacing);
    int count = 0;
    auto add = [&](int p, double offset, double distance, double spacing) {
        place[count] = p;
        s[count] = offset;
        h[count] = spacing;
        d[count++] = std::max(distance, nearest);
    };
    for (int source = 0; source < 2; ++source) {
        const bool present = source == 0 ? remote.c2_count > 0 : remote.p2_count > 0;
        const double rx = source == 0 ? remote.c2_at : remote.p2_at;
        const double ry = source == 0 ? remote.c2_y : remote.p2_y;
        if (!present) continue;
        for (int e = 0; e < n; ++e) {
            double x, z;
            electrode_position(table, nelec, e, x, z);
            add(source * n + e, ry, std::hypot(rx - x, z), source == 0 ? c2_h : p2_h);
        }
    }
    if (remote.c2_count > 0 && remote.p2_count > 0)
        add(2 * n, double(remote.p2_y) - remote.c2_y, std::fabs(remote.p2_at - remote.c2_at),
            std::max(c2_h, p2_h));
    sys::PageArray<double> series(std::size_t(count) * nk + 1);
    if (!series.ok()) return false;
    for (int j = 1; j <= count; ++j)
        for (int i = 1; i <= nk; ++i)
            series[index2d(j, i, count)] = values[index2d(place[j - 1] + 1, i, stride)];
    if (count > 0 && strike_point_potentials(d.get(), s.get(), h.get(), series.get(), y.get(),
                                             count, nk, k, count) != 0)
        return false;
    for (int p = 0; p < stride; ++p)
        out[p] = 0.0;
    for (int j = 0; j < count; ++j)
        out[place[j]] = y[j];
    move_remote_table(remote, table, n, nelec, nearest, out);
    return true;
}

bool transform_pair_values(const Inputs& in, int n, const double* values, int nk, const double* k,
                           long long npairs) {
    sys::PageArray<double> ground(n);
    if (!ground.ok()) return false;
    auto sigma = [&](int i, int j) { return in.cells[2 * std::size_t(index2d(i, j, in.nx - 1))]; };
    for (int e = 0; e < n; ++e)
        ground[e] = e < in.nelec
                        ? fd::point_source_resistivity(in.nx, in.nz,
                                                       in.margin_columns + e * in.nodes_per_spacing,
                                                       in.electrode_water[e] + 1, sigma)
                        : fd::StrikeWeights::no_limit;
    return inverse_fourier_pair_potentials_dbl(
               in.electrode_offset_ratio, values, in.table_a, in.table_b, n, nk, k, 4, int(npairs),
               in.lead, in.array_type, 1.0 / in.nodes_per_spacing, ground.get()) == 0;
}

model::SolverResult place_remote_electrodes(const Inputs& in, RemoteElectrodes& r) {
    sys::PageArray<float> positions(in.nx);
    if (!positions.ok()) return report_no_memory();
    for (int c = 1; c <= in.nx; ++c)
        positions[c - 1] = in.node_x[(c - 1) * in.nz];
    r.c2_x = in.c2_x;
    r.c2_y = in.c2_y;
    r.p2_x = in.p2_x;
    r.p2_y = in.p2_y;
    place_remote_electrodes(*in.settings, in.nodes_per_spacing, in.nelec, in.margin_columns, in.nz,
                            in.nx, positions.get(), r);
    return {};
}

} // namespace fe

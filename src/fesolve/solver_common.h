// What the finite-element solvers of the block model share: messages, progress, input checks,
// the electrode pair table, and the space-domain transform of the remote-electrode values.
#pragma once

#include "model/solver_io.h"
#include "model/utilities.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>

class ModelSettings;
struct ElectrodeNode;

namespace fe {

struct Inputs;

/// Writes the wavenumbers to the trace log: "nyk <nk>", then one line per wavenumber.
void trace_wavenumbers(int nk, const double* k);

/// "Insufficient memory for finite-element subroutine!." under "Error Message" (after the
/// beep); returns a no_memory failure.
model::SolverResult report_no_memory();
/// The box "Error at node %d." with its seven-line explanation under "Error Message" (only the
/// explanation when with_node is false); returns a pivot failure at node.
model::SolverResult report_factor_failure(int node, bool with_node = true);
/// The same box headed "Error at node %d wave number %d." (wave 1-based).
model::SolverResult report_factor_failure_at_wave(int node, int wave);
/// Formats and reports an error under "Error Message"; returns a failure of `status`.
model::SolverResult report_error(model::SolverStatus status, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

/// Progress of wavenumber iky of nky: `format` (with one %5.1f) at 100 iky / nky percent and
/// the bar of that fraction of StatusWind::bar_width.
void report_progress(const char* format, int iky, int nky);

/// The wavenumber loop of a solver: work(worker, iky, stop) for every iky < nky on `workers`
/// threads (sys::run_steps), stopped by the user's break keys (user_aborted), with the progress
/// `format` (report_progress) as the wavenumbers are done, after shown(done) when given. `left`
/// is run_steps' call of a worker that has left the loop.
sys::StepsOutcome run_wavenumbers(
    int nky, int workers, const sys::StepWork& work, const char* format,
    const std::function<void(int worker, const std::atomic<bool>& stop)>& left = nullptr,
    const std::function<void(int done)>& shown = nullptr);

/// Checks what every solver needs: 2 <= nx, nz; 2 <= n <= the leading dimension of the output
/// tables (in.lead); nelec surface electrodes in columns margin_columns + e nodes_per_spacing
/// and rows electrode_water[e] + 1 inside the mesh; 1 <= nky <= 32 (2 at least when min_nky is
/// 2); n is in.nelec_total, nky the count given. Reports the reason and returns a bad_input
/// failure, else ok.
model::SolverResult check_mesh_and_electrodes(const Inputs& in, int nky, int min_nky);

/// Electrode nodes (node[e], 0-based e < n): surface electrodes in their columns and rows,
/// then borehole b's issbor[b] electrodes in node column columns[b] at the depths `depths`
/// (every borehole's in turn), each on the last row whose depth matches within 0.001, else on
/// the nearest row (with a trace line). A bad_input failure, after its message, for a borehole
/// outside the mesh or electrode counts that do not add up to n.
model::SolverResult place_electrodes(int nboreholes, const std::int32_t* issbor,
                                     const std::int32_t* columns, const float* depths, int n,
                                     int margin_columns, int nodes_per_spacing, int nelec, int nx,
                                     int nz, const float* node_z,
                                     const std::int32_t* electrode_water, int* node);

/// Number of electrode pairs i < j of n electrodes, and the 0-based position of pair (i, j) in
/// the order (1, 2), (1, 3) .. (1, n), (2, 3) .. (n - 1, n).
inline long long pair_count(int n) {
    return (long long)n * (n - 1) / 2;
}
inline long long pair_position(int n, int i, int j) {
    return (long long)(i - 1) * (2 * n - i) / 2 + (j - i - 1);
}

/// The remote electrodes C2 and P2 with the mesh nodes that carry them.
struct RemoteElectrodes {
    float c2_x = 0, c2_y = 0, p2_x = 0, p2_y = 0;
    /// Where the electrodes stand on the mesh, along the line from the first electrode: their
    /// nodes' x by their weights (off the requested x when a survey electrode's node was
    /// avoided).
    double c2_at = 0, p2_at = 0;
    /// The widest node spacing next to their nodes.
    double c2_spacing = 0, p2_spacing = 0;
    int c2_count = 0, p2_count = 0;
    int c2_node[2] = {0, 0}, p2_node[2] = {0, 0};
    float c2_weight[2] = {0, 0}, p2_weight[2] = {0, 0};

    /// The nodes of one remote electrode and their weights as a current source.
    struct Source {
        int count;
        const int* node;
        const float* weight;
    };
    /// Source 0 is C2, source 1 is P2.
    Source source(int which) const {
        return which == 0 ? Source{c2_count, c2_node, c2_weight}
                          : Source{p2_count, p2_node, p2_weight};
    }
};

/// The potentials of C2 and P2 at every electrode, and of P2 at C2, into `row` (2 n + 1 values
/// for n electrodes, the layout of the remote tables). For each remote electrode with nodes,
/// rhs[source] (`size` equations) is cleared, its unit current spread over the equations
/// equation(node) (1-based), solve(b, first) solves in place from the first equation that
/// carries current, and at_electrode(b, e) gives electrode e's potential (0-based). The P2
/// solution stays in rhs[1].
template <class Equation, class Solve, class AtElectrode>
void solve_remote_sources(const RemoteElectrodes& r, int n, int size, double* const rhs[2],
                          Equation equation, Solve solve, AtElectrode at_electrode, double* row) {
    std::fill(row, row + 2 * n + 1, 0.0);
    for (int source = 0; source < 2; ++source) {
        const RemoteElectrodes::Source s = r.source(source);
        if (s.count == 0) continue;
        double* b = rhs[source];
        std::fill(b, b + size, 0.0);
        int first = size;
        for (int q = 0; q < s.count; ++q) {
            const int i = equation(s.node[q]);
            b[i - 1] += s.weight[q];
            first = std::min(first, i);
        }
        solve(b, first);
        for (int e = 0; e < n; ++e)
            row[source * n + e] = at_electrode(b, e);
    }
    if (r.c2_count > 0 && r.p2_count > 0)
        for (int q = 0; q < r.c2_count; ++q)
            row[2 * n] += r.c2_weight[q] * rhs[1][equation(r.c2_node[q]) - 1];
}

/// Places C2 and P2 on the surface nodes (get_electrode_node_numbers, columns at positions[]),
/// and keeps the result also in the model record (fe_remote_a, fe_remote_b, fe_small_table_a,
/// fe_small_table_b).
void place_remote_electrodes(ModelSettings& settings, int nodes_per_spacing, int nelec,
                             int margin_columns, int ny, int nx, const float* positions,
                             RemoteElectrodes& remote);

/// The same for a solver's inputs: the surface positions of the node columns and the remote
/// electrodes of `in`, placed into `remote` (the memory message when the positions cannot be had).
model::SolverResult place_remote_electrodes(const Inputs& in, RemoteElectrodes& remote);

/// Horizontal position and depth, in unit spacings from the first electrode, of electrode e
/// (0-based) of n: surface electrodes at (e, 0), borehole electrodes (e >= nelec) at their
/// record in `table`.
void electrode_position(const ElectrodeNode* table, int nelec, int e, double& x, double& z);

/// The pair tables in.table_a and in.table_b of n electrodes from their wavenumber-domain values
/// (npairs a wavenumber, nk wavenumbers k) by inverse_fourier_pair_potentials_dbl (m = 4), the
/// strike transforms continuing the pairs of surface electrodes towards the ground at them
/// (fd::point_source_resistivity over the first value of every cell of `in`; the pairs of
/// borehole electrodes hold their last ratio). False when work memory is refused (tables
/// untouched).
bool transform_pair_values(const Inputs& in, int n, const double* values, int nk, const double* k,
                           long long npairs);

/// Moves a row of remote-electrode potentials in space (the layout of transform_remote_values)
/// from where the mesh holds the remote electrodes (`c2_at`, `p2_at`: a column beside a survey
/// electrode's, or one within 0.1 spacing) to where they stand (`c2_x`, `p2_x`): at the surface
/// electrodes by move_remote_potentials, at the borehole electrodes and from C2 to P2 by a
/// half-space's ratio; distances along the line at least `nearest`. Linear in the potentials,
/// so that it moves real and imaginary parts alike.
void move_remote_table(const RemoteElectrodes& remote, const ElectrodeNode* table, int n, int nelec,
                       double nearest, double* row);

/// Transforms the remote-electrode values of every wavenumber (rows of 2n + 1: the potential
/// of C2 at electrodes 1..n, of P2 at electrodes 1..n, of P2 at C2) to space and writes them
/// to `out` at the same places, 0 for an electrode that has no node: each by the ratio rule of
/// strike_point_potentials, its strike offset the remote y, its section-plane distance that from
/// where the mesh holds the remote electrode (at least a quarter of the node spacing at the
/// electrodes, `node_spacing`), the spacing its potentials are followed with the wider of that
/// and the remote electrode's; then moved to where it stands (move_remote_table). Returns false
/// when work memory is refused (out untouched).
bool transform_remote_values(const RemoteElectrodes& remote, const ElectrodeNode* table, int n,
                             int nelec, const double* values, int nk, const double* k,
                             double node_spacing, double* out);

} // namespace fe

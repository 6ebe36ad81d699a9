// The quadrilateral-element band solver: bilinear cells on the rectangular mesh of the spacing
// tables, band Cholesky, single-precision wavenumbers and pair transform.
#include "fesolve/fesolve.h"

#include "fdsolve/transform.h"
#include "fesolve/band_sources.h"
#include "fesolve/boundary.h"
#include "fesolve/element.h"
#include "fesolve/workers.h"
#include "matrix/band.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/workers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using sys::PageArray;

/// Boundary treatment of the solver. The mixed terms are the only treatment that models the
/// half-space around the mesh; holding the edges at zero potential is kept for comparisons.
enum class Boundary { zero_potential = 1, mixed_scaled = 2, mixed = 3 };
/// Element terms: 0 in closed form (exact for the rectangular cells), 1 by Gauss quadrature.
enum class ElementForm { closed_form = 0, gauss = 1 };

constexpr Boundary boundary_type = Boundary::mixed;
constexpr ElementForm element_form = ElementForm::closed_form;

// What the wavenumbers share, set up once and only read inside the loop.
struct Q4Setup {
    int n = 0, nodes = 0;
    long long npairs = 0;
    PageArray<double> x, z; ///< nx column positions, nz row depths
    PageArray<float> k;     ///< nky wavenumbers
    PageArray<int> node, last;
};

// One worker's band matrix, block of sources and element.
struct Q4Work {
    PageArray<double> band, block;
    IsoParaFem element{2, 2};
};

// The ten terms of cell (c, r) for the squared wavenumber k2.
void cell_terms(const Q4Setup& w, int nx, const float* cells, int c, int r, double k2,
                IsoParaFem& element, double (&t)[10]) {
    const double sigma = cells[2 * index2d(c, r, nx - 1)];
    if (element_form == ElementForm::closed_form) {
        rectangle_element_terms(sigma, w.x[c - 1], w.x[c], w.z[r - 1], w.z[r], k2, t);
    } else {
        // Corners counter-clockwise: (c, r), (c+1, r), (c+1, r+1), (c, r+1).
        const double x[4] = {w.x[c - 1], w.x[c], w.x[c], w.x[c - 1]};
        const double z[4] = {w.z[r - 1], w.z[r - 1], w.z[r], w.z[r]};
        element.element_terms(x, z, sigma, k2, t);
    }
}

// The terms of the first three cells of the first column at the first wavenumber, with their
// conductivities and the reciprocals, to the trace log.
void trace_first_cells(const Q4Setup& w, int nx, int nz, const float* cells, IsoParaFem& element) {
    const double k2 = double(w.k[0]) * double(w.k[0]);
    for (int r = 1; r <= std::min(3, nz - 1); ++r) {
        double t[10];
        cell_terms(w, nx, cells, 1, r, k2, element, t);
        const double sigma = cells[2 * index2d(1, r, nx - 1)];
        model::trace("%4d %4d\ns1 %12.4e %12.4e %12.4e %12.4e\ns2 %12.4e %12.4e "
                     "%12.4e\ns3 %12.4e %12.4e\ns4 %12.4e\n",
                     r, 1, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9]);
        model::trace("%3d %3d %4d %12.4e %12.4e\n", r, 1, 2 * index2d(1, r, nx - 1), sigma,
                     1.0 / sigma);
    }
}

// Cell terms and boundary terms of wavenumber k into the band matrix; the boundary reference
// point lies at the mesh centre at depth z0.
void assemble(const Q4Setup& w, int nx, int nz, const float* cells, double k, double z0,
              double* band, IsoParaFem& element) {
    const int L = nz + 2;
    const double k2 = k * k;
    for (int c = 1; c < nx; ++c)
        for (int r = 1; r < nz; ++r) {
            const int n[4] = {(c - 1) * nz + r, c * nz + r, c * nz + r + 1, (c - 1) * nz + r + 1};
            double t[10];
            cell_terms(w, nx, cells, c, r, k2, element, t);
            for (int a = 1; a <= 4; ++a)
                for (int b = a; b <= 4; ++b)
                    band[sym_band_index(n[a - 1], n[b - 1], L)] += t[quad_term_index(a, b)];
        }
    if (boundary_type == Boundary::zero_potential) {
        auto hold = [&](int v) { band[sym_band_index(v, v, L)] *= 1.0e15; };
        for (int r = 1; r <= nz; ++r)
            hold(r), hold((nx - 1) * nz + r);
        for (int c = 2; c < nx; ++c)
            hold((c - 1) * nz + nz);
        return;
    }
    const double scale = boundary_type == Boundary::mixed_scaled ? 0.75 : 1.0;
    const double x0 = w.x[nx / 2];
    fe::add_mixed_boundary(
        fe::BoundaryRatio::bessel_dbl, nx, nz, k, x0, z0, [&](int v) { return w.x[(v - 1) / nz]; },
        [&](int v) { return w.z[(v - 1) % nz]; }, cells,
        [&](int a, int b, double f) {
            f *= scale;
            band[sym_band_index(a, a, L)] += 2.0 * f;
            band[sym_band_index(b, b, L)] += 2.0 * f;
            band[sym_band_index(a, b, L)] += f;
            return 0;
        });
}

// The electrode nodes, each borehole electrode on the row of its depth (the nearest row when
// none matches), and the lowest row each source's solve needs; a failure has been reported.
model::SolverResult place_electrodes(const fe::Inputs& in, Q4Setup& w) {
    const int nx = in.nx, nz = in.nz;
    PageArray<float> node_z(std::size_t(w.nodes));
    if (!node_z.ok()) return fe::report_no_memory();
    for (int c = 0; c < nx; ++c)
        for (int r = 0; r < nz; ++r)
            node_z[std::size_t(c) * nz + r] = float(w.z[r]);
    int* node = w.node.get();
    if (model::SolverResult r = fe::place_electrodes(
            in.nboreholes, in.issbor, in.borehole_columns, in.borehole_z, w.n, in.margin_columns,
            in.nodes_per_spacing, in.nelec, nx, nz, node_z.get(), in.electrode_water, node);
        !r.ok())
        return r;
    for (int i = 1; i <= w.n; ++i) {
        int lowest = w.nodes;
        for (int j = i + 1; j <= w.n; ++j)
            lowest = std::min(lowest, node[j - 1]);
        w.last[i - 1] = i == w.n ? 1 : lowest;
    }
    return {};
}

// The mesh positions, the electrode nodes with the lowest row each source's solve needs, the
// wavenumbers and the pair table; a failure has been reported.
model::SolverResult set_up(const fe::Inputs& in, Q4Setup& w) {
    const int nx = in.nx, nz = in.nz, nky = in.nky;
    w.n = in.nelec_total;
    w.nodes = nx * nz;
    w.npairs = fe::pair_count(w.n);
    const bool ok = w.x.allocate(nx) && w.z.allocate(nz) && w.k.allocate(nky) &&
                    w.node.allocate(w.n) && w.last.allocate(w.n);
    if (!ok) return fe::report_no_memory();
    for (int c = 1; c < nx; ++c)
        w.x[c] = w.x[c - 1] + double(in.node_col_dx[c - 1]);
    for (int r = 1; r < nz; ++r)
        w.z[r] = w.z[r - 1] + double(in.node_row_dz[r - 1]);
    if (model::SolverResult r = place_electrodes(in, w); !r.ok()) return r;
    // Wavenumbers from the first (0.01 unless lowered) to 12.0 at equal steps of ln k, in single
    // precision.
    float* k = w.k.get();
    const float first = in.q4_first_wavenumber;
    const float l1 = std::log(first), ln = std::log(12.0f);
    for (int i = 0; i < nky; ++i)
        k[i] = std::exp(l1 + float(i) * (ln - l1) / float(nky - 1));
    k[0] = first;
    k[nky - 1] = 12.0f;
    return {};
}

bool allocate_work(const Q4Setup& w, int nz, Q4Work& work) {
    return work.band.allocate(std::size_t(w.nodes) * (nz + 2)) &&
           work.block.allocate(fe::band_block_size(w.nodes));
}

// Assembles, factors and solves wavenumber iky on worker w into its slice of `pairs`, the
// blocks of sources shared with the workers that help. Returns 0, the row of a non-positive
// pivot (reported by the caller), or sys::step_stopped.
int solve_wavenumber(const fe::Inputs& in, const Q4Setup& setup, int iky, int w,
                     std::vector<Q4Work>& work, float* pairs, fe::ItemBoard& board,
                     const std::function<bool()>& stopping) {
    const int nz = in.nz, bw = nz + 1;
    Q4Work& mine = work[std::size_t(w)];
    double* band = mine.band.get();
    if (stopping()) return sys::step_stopped;
    std::fill(band, band + std::size_t(setup.nodes) * (nz + 2), 0.0);
    assemble(setup, in.nx, nz, in.cells, double(setup.k[iky]), setup.z[in.electrode_water[0]], band,
             mine.element);
    if (int failed = band_cholesky_quiet(setup.nodes, band, bw)) return failed;
    const fe::BandSources sources{setup.n, setup.node.get(), setup.last.get(), setup.n - 1};
    float* const pair_block = pairs + std::size_t(iky) * setup.npairs;
    if (fe::pair_products_pay(setup.nodes, bw, sources)) {
        fe::band_pair_products(band, setup.nodes, bw, sources, mine.block.get(), pair_block);
        return 0;
    }
    const bool all = board.share(
        w, sources.blocks(),
        [&](int runner, int index) {
            const fe::SolvedBlock b = fe::solve_source_block(band, setup.nodes, bw, sources, index,
                                                             work[std::size_t(runner)].block.get());
            for (int g = 0; g < b.count; ++g)
                for (int j = b.first + g + 1; j <= setup.n; ++j)
                    pair_block[fe::pair_position(setup.n, b.first + g, j)] =
                        float(b.at(setup.node[j - 1], g));
        },
        [&] { return !stopping(); });
    return all ? 0 : sys::step_stopped;
}

// Clears the samples of each pair with a buried electrode from the first interval on, beyond
// k r = 1 (r the distance of the pair's nodes), where its potential falls more slowly than
// exp(-k r / 2); the transform then ends at the samples before them (count_significant_flt
// counts no zero). There the potential of two electrodes r apart falls about as fast as
// exp(-k r), no slower than exp(-0.8 k r) even beside a conductor 2000 times the host's. Where
// the rows and columns around a buried electrode are coarse for k, the bilinear cells give
// potentials that hardly fall with k (1 m apart through rows of 0.5 m: 0.63, 0.59 and 0.58 at
// k = 3.3, 6.3 and 12 against 0.39, 0.014 and 0.00004), and the transform's exponential end
// would carry that flat fall on to infinity: the pair read 8 times its potential. The end's own
// guard compares the last interval with the one before only; this fall stays flat over several
// (on the model's lines in-hole pairs still read 3.5 times their value with it).
void clear_unresolved_samples(const Q4Setup& w, int nelec, int nz, int nky, float* pairs) {
    auto at = [&](int e, double& x, double& z) {
        const int v = w.node[e - 1] - 1;
        x = w.x[v / nz];
        z = w.z[v % nz];
    };
    for (int i = 1; i < w.n; ++i)
        for (int j = std::max(i + 1, nelec + 1); j <= w.n; ++j) {
            double xi, zi, xj, zj;
            at(i, xi, zi);
            at(j, xj, zj);
            const double r = std::hypot(xi - xj, zi - zj);
            float* v = pairs + fe::pair_position(w.n, i, j);
            auto sample = [&](int iky) -> float& { return v[std::size_t(iky) * w.npairs]; };
            const double sign = sample(0) < 0.0f ? -1.0 : 1.0;
            int cut = nky;
            for (int iky = 1; iky < nky && cut == nky; ++iky) {
                const double k0 = w.k[iky - 1], k1 = w.k[iky];
                const double v0 = sign * sample(iky - 1), v1 = sign * sample(iky);
                if (k0 * r >= 1.0 && !(v1 > 0.0 && v1 <= v0 * std::exp(-0.5 * r * (k1 - k0))))
                    cut = iky;
            }
            for (int iky = cut; iky < nky; ++iky)
                sample(iky) = 0.0f;
        }
}

} // namespace

model::SolverResult calresfemq4(const fe::Inputs& in) {
    const int nx = in.nx, nz = in.nz, nky = in.nky;
    model::trace("calresfem q4 %d\n", in.nelec_total);
    auto fail = [](model::SolverResult result) {
        update_status("Calculations stopped by an error.", 0);
        return result;
    };
    if (model::SolverResult r = fe::check_mesh_and_electrodes(in, nky, 2); !r.ok()) return fail(r);

    Q4Setup setup;
    if (model::SolverResult r = set_up(in, setup); !r.ok()) return fail(r);
    PageArray<float> pairs(std::size_t(setup.npairs) * nky);
    std::vector<Q4Work> work(1);
    long long worker_bytes = 0;
    if (!pairs.ok() ||
        !sys::take_counting(worker_bytes, [&] { return allocate_work(setup, nz, work[0]); }))
        return fail(fe::report_no_memory());
    sys::take_workers(work, std::min(sys::pool_threads(), nky), worker_bytes,
                      [&](Q4Work& w) { return allocate_work(setup, nz, w); });
    trace_first_cells(setup, nx, nz, in.cells, work[0].element);

    std::vector<int> failed_row(std::size_t(nky), 0);
    fe::ItemBoard board(nky);
    bool aborted = false;
    const sys::StepsOutcome outcome = fe::run_wavenumbers(
        nky, int(work.size()),
        [&](int w, int iky, const std::atomic<bool>& stop) {
            fe::StopTest stopping(stop, work.size() == 1, aborted);
            const int code = solve_wavenumber(in, setup, iky, w, work, pairs.get(), board,
                                              [&] { return stopping(); });
            board.close();
            if (code > 0) failed_row[std::size_t(iky)] = code;
            return code > 0 ? 1 : code;
        },
        "Finite-Element Modelling - %5.1f%% completed",
        [&](int w, const std::atomic<bool>& stop) { board.help(w, stop); });
    work.clear();
    if (outcome.aborted || aborted)
        return fail(model::SolverResult::failure(model::SolverStatus::user_abort));
    if (outcome.failed >= 0) {
        beep();
        char text[32];
        std::snprintf(text, sizeof text, "ierr %d", failed_row[std::size_t(outcome.failed)]);
        show_status_text(text);
        return fail(fe::report_factor_failure(failed_row[std::size_t(outcome.failed)], false));
    }
    update_status("Calculating Potentials", 0);
    clear_unresolved_samples(setup, in.nelec, nz, nky, pairs.get());
    if (inverse_fourier_pair_potentials(in.electrode_offset_ratio, pairs.get(), in.table_a,
                                        in.table_b, setup.n, nky, setup.k.get(), 4,
                                        int(setup.npairs), in.lead) != 0)
        return fail(fe::report_no_memory());
    update_status("Calculations completed", Statuswind.bar_width);
    return {};
}

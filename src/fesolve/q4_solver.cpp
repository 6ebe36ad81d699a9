// The quadrilateral-element band solver: bilinear cells on the rectangular mesh of the spacing
// tables, band Cholesky, single-precision wavenumbers and pair transform.
#include "fesolve/fesolve.h"

#include "fdsolve/transform.h"
#include "fesolve/boundary.h"
#include "fesolve/element.h"
#include "matrix/band.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using sys::PageArray;

/// Boundary treatment of the solver. The mixed terms are the only treatment that models the
/// half-space around the mesh; holding the edges at zero potential is kept for comparisons.
enum class Boundary { zero_potential = 1, mixed_scaled = 2, mixed = 3 };
/// Element terms: 0 in closed form (exact for the rectangular cells), 1 by Gauss quadrature.
enum class ElementForm { closed_form = 0, gauss = 1 };

constexpr Boundary boundary_type = Boundary::mixed;
constexpr ElementForm element_form = ElementForm::closed_form;

struct Q4Work {
    PageArray<double> x, z, band, rhs;
    PageArray<float> k, pairs;
    PageArray<int> node, last;
};

// Electrode nodes: surface electrodes in their columns and rows, each borehole's electrodes on
// every second node row of its column from its first row on. A bad_input failure after the
// message.
model::SolverResult place_electrodes(int nboreholes, const std::int32_t* issbor,
                                     const std::int32_t* columns, const std::int32_t* first_rows,
                                     int n, int margin, int step, int nelec, int nx, int nz,
                                     const std::int32_t* electrode_water, int* node) {
    for (int e = 0; e < nelec; ++e)
        node[e] = (margin - 1 + e * step) * nz + 1 + electrode_water[e];
    int e = nelec;
    for (int b = 0; b < nboreholes; ++b)
        for (int i = 0; i < issbor[b]; ++i, ++e) {
            const int row = first_rows[b] + 1 + 2 * i;
            if (columns[b] < 1 || columns[b] > nx || row < 1 || row > nz || e >= n)
                return fe::report_error(model::SolverStatus::bad_input,
                                        "Electrode %d of borehole %d (node column %d, row %d)\n"
                                        "lies outside the finite-element mesh of %d x %d nodes.",
                                        i + 1, b + 1, columns[b], row, nx, nz);
            node[e] = (columns[b] - 1) * nz + row;
        }
    if (e != n)
        return fe::report_error(model::SolverStatus::bad_input,
                                "The model has %d electrodes, but %d surface\nand %d borehole "
                                "electrodes were given.",
                                n, nelec, e - nelec);
    return {};
}

// Cell terms and boundary terms of wavenumber k into the band matrix; the boundary reference
// point lies at the mesh centre at depth z0. trace_terms writes the terms of the first cells
// and their conductivities with the reciprocals.
void assemble(const Q4Work& w, int nx, int nz, const float* cells, double k, double z0,
              bool trace_terms, double* band, IsoParaFem& element) {
    const int L = nz + 2;
    const double k2 = k * k;
    for (int c = 1; c < nx; ++c)
        for (int r = 1; r < nz; ++r) {
            const double sigma = cells[2 * index2d(c, r, nx - 1)];
            // Corners counter-clockwise: (c, r), (c+1, r), (c+1, r+1), (c, r+1).
            const int n[4] = {(c - 1) * nz + r, c * nz + r, c * nz + r + 1, (c - 1) * nz + r + 1};
            double t[10];
            if (element_form == ElementForm::closed_form) {
                rectangle_element_terms(sigma, w.x[c - 1], w.x[c], w.z[r - 1], w.z[r], k2, t);
            } else {
                const double x[4] = {w.x[c - 1], w.x[c], w.x[c], w.x[c - 1]};
                const double z[4] = {w.z[r - 1], w.z[r - 1], w.z[r], w.z[r]};
                element.element_terms(x, z, sigma, k2, t);
            }
            if (trace_terms && c == 1 && r <= 3) {
                model::trace("%4d %4d\ns1 %12.4e %12.4e %12.4e %12.4e\ns2 %12.4e %12.4e "
                             "%12.4e\ns3 %12.4e %12.4e\ns4 %12.4e\n",
                             r, c, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9]);
                model::trace("%3d %3d %4d %12.4e %12.4e\n", r, c, 2 * index2d(c, r, nx - 1), sigma,
                             1.0 / sigma);
            }
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

} // namespace

model::SolverResult calresfemq4(const fe::Inputs& in) {
    const int nx = in.nx, nz = in.nz, nelec = in.nelec, nky = in.nky;
    const std::int32_t* electrode_water = in.electrode_water;
    const int n = in.nelec_total, L = nz + 2, bw = nz + 1;
    model::trace("calresfem q4 %d\n", n);
    auto fail = [](model::SolverResult result) {
        update_status("Calculations stopped by an error.", 0);
        return result;
    };
    if (model::SolverResult r = fe::check_mesh_and_electrodes(in, nky, 2); !r.ok()) return fail(r);

    const std::size_t nodes = std::size_t(nx) * nz;
    const long long npairs = fe::pair_count(n);
    Q4Work w;
    const bool ok = w.x.allocate(nx) && w.z.allocate(nz) && w.band.allocate(nodes * L) &&
                    w.rhs.allocate(nodes) && w.k.allocate(nky) && w.node.allocate(n) &&
                    w.last.allocate(n) && w.pairs.allocate(std::size_t(npairs) * nky);
    if (!ok) return fail(fe::report_no_memory());
    for (int c = 1; c < nx; ++c)
        w.x[c] = w.x[c - 1] + double(in.node_col_dx[c - 1]);
    for (int r = 1; r < nz; ++r)
        w.z[r] = w.z[r - 1] + double(in.node_row_dz[r - 1]);
    int* node = w.node.get();
    if (model::SolverResult r = place_electrodes(
            in.nboreholes, in.issbor, in.borehole_columns, in.borehole_first_rows, n,
            in.margin_columns, in.nodes_per_spacing, nelec, nx, nz, electrode_water, node);
        !r.ok())
        return fail(r);
    for (int i = 1; i <= n; ++i) {
        int lowest = int(nodes);
        for (int j = i + 1; j <= n; ++j)
            lowest = std::min(lowest, node[j - 1]);
        w.last[i - 1] = i == n ? 1 : lowest;
    }

    // Wavenumbers 0.01 to 12.0 at equal steps of ln k, in single precision.
    float* k = w.k.get();
    const float l1 = std::log(0.01f), ln = std::log(12.0f);
    for (int i = 0; i < nky; ++i)
        k[i] = std::exp(l1 + float(i) * (ln - l1) / float(nky - 1));
    k[0] = 0.01f;
    k[nky - 1] = 12.0f;

    IsoParaFem element(2, 2);
    double* band = w.band.get();
    for (int iky = 0; iky < nky; ++iky) {
        fe::report_progress("Finite-Element Modelling - %5.1f%% completed", iky, nky);
        std::fill(band, band + nodes * L, 0.0);
        assemble(w, nx, nz, in.cells, double(k[iky]), w.z[electrode_water[0]], iky == 0, band,
                 element);
        if (int failed = band_cholesky(int(nodes), band, bw)) {
            char text[32];
            std::snprintf(text, sizeof text, "ierr %d", failed);
            show_status_text(text);
            return fail(fe::report_factor_failure(failed, false));
        }
        float* const pair_block = w.pairs.get() + std::size_t(iky) * npairs;
        double* b = w.rhs.get();
        for (int i = 1; i < n; ++i) {
            std::fill(b, b + nodes, 0.0);
            b[node[i - 1] - 1] = 1.0;
            band_cholesky_solve(band, int(nodes), b, bw, node[i - 1], w.last[i - 1]);
            for (int j = i + 1; j <= n; ++j)
                pair_block[fe::pair_position(n, i, j)] = float(b[node[j - 1] - 1]);
        }
    }
    update_status("Calculating Potentials", 0);
    if (inverse_fourier_pair_potentials(in.electrode_offset_ratio, w.pairs.get(), in.table_a,
                                        in.table_b, n, nky, k, 4, int(npairs), in.lead) != 0)
        return fail(fe::report_no_memory());
    update_status("Calculations completed", Statuswind.bar_width);
    return {};
}

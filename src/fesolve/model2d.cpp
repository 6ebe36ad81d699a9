// The two-layer test model: grids, the five-point system with its boundary terms, the band
// solve, the wavenumber integral and the test run with its report.
#include "fesolve/model2d.h"

#include "fdsolve/bessel.h"
#include "fesolve/solver_common.h"
#include "matrix/band.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/ui/ui.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <new>

Model_2D_Electrical::Model_2D_Electrical() {
    max_x_nodes = 2 * nbuffer + nodes_per_spacing * (max_electrodes - 1) - 1;
    max_z_nodes = max_electrodes + 10;
    nx_nodes = (nelec - 1) * nodes_per_spacing + 2 * nbuffer - 1;
    nx_cells = nx_nodes - 1;
    nz_cells = nz_nodes - 1;
    try {
        layer_resistivity.assign(max_layers + 1, 0.0);
        z_grid.assign(max_z_nodes + 1, 0.0);
        x_grid.assign(max_x_nodes + 1, 0.0);
        conductivity.assign(std::size_t(max_x_nodes) * max_z_nodes + 1, 0.0);
        wavenumbers.assign(nwave + 1, 0.0);
        resistance.assign(std::size_t(max_electrodes) * max_electrodes + 1, 0.0);
    } catch (const std::bad_alloc&) {
        layer_resistivity = z_grid = x_grid = conductivity = wavenumbers = resistance = {};
        return;
    }
    allocated = true;
    fill_grids();
    set_layers(100.0, 100.0);
}

void Model_2D_Electrical::fill_grids() {
    const double step_k = (std::log(kmax) - std::log(kmin)) / (nwave - 1);
    wavenumbers[1] = kmin;
    wavenumbers[nwave] = kmax;
    for (int i = 2; i < nwave; ++i)
        wavenumbers[i] = std::exp(std::log(kmin) + (i - 1) * step_k);

    const float inner = spacing / float(nodes_per_spacing);
    const int last_electrode_column = nbuffer + (nelec - 1) * nodes_per_spacing;
    for (int c = nbuffer; c <= last_electrode_column; ++c)
        x_grid[c] = (c - nbuffer) * double(inner);
    float step = inner;
    for (int b = 1; b < nbuffer; ++b) {
        if (b > 4) step *= 1.2f;
        x_grid[nbuffer - b] = x_grid[nbuffer - b + 1] - step;
        x_grid[last_electrode_column + b] = x_grid[last_electrode_column + b - 1] + step;
    }

    float dz = 0.25f;
    z_grid[1] = 0.0;
    for (int r = 2; r <= nz_nodes; ++r) {
        if (r > 5) dz *= 1.1f;
        z_grid[r] = z_grid[r - 1] + dz;
    }
}

void Model_2D_Electrical::set_layers(double top, double bottom) {
    if (!allocated) return;
    layer_resistivity[1] = top;
    layer_resistivity[2] = bottom;
    for (int r = 1; r <= nz_cells; ++r)
        for (int c = 1; c <= nx_cells; ++c)
            conductivity[index2d(c, r, nx_cells)] = 1.0 / layer_resistivity[r <= 13 ? 1 : 2];
}

namespace {

// Adds the boundary terms of the edge between nodes a and b (length L, midpoint (xm, zm)),
// owned by a cell of conductivity s; `across` is the midpoint's offset across the edge.
void add_boundary_edge(double* band, int row_length, int a, int b, double s, double length,
                       double xm, double zm, double across, double xs, double k) {
    double d = 0, r = 0;
    const double beta = bessel_ratio_k1_k0_dbl(xs, xm, zm, &d, &r, k);
    const double t = s * beta * (std::fabs(across) / r) * length / 8.0;
    band[sym_band_index(a, a, row_length)] += 3 * t;
    band[sym_band_index(b, b, row_length)] += 3 * t;
    band[sym_band_index(a, b, row_length)] += t;
}

} // namespace

int model2d_build_system(double* band, const double* cond, int nx, int nz, int row_length, double k,
                         const double* x, const double* z) {
    sys::PageArray<double> dx(nx), dz(nz), half_x(nx), half_z(nz);
    if (!dx.ok() || !dz.ok() || !half_x.ok() || !half_z.ok()) return 1;
    for (int c = 1; c < nx; ++c) {
        dx[c] = x[c + 1] - x[c];
        half_x[c] = 0.5 / dx[c];
    }
    for (int r = 1; r < nz; ++r) {
        dz[r] = z[r + 1] - z[r];
        half_z[r] = 0.5 / dz[r];
    }
    const long long nodes = (long long)nx * nz;
    for (long long i = 0; i < nodes * row_length; ++i)
        band[i] = 0.0;
    const double k2 = k * k / 64.0;
    const int ncells = nx - 1;
    for (int c = 1; c < nx; ++c)
        for (int r = 1; r < nz; ++r) {
            const double s = cond[index2d(c, r, ncells)];
            const double a = s * dz[r] * half_x[c], b = s * dx[c] * half_z[r];
            const double m = s * k2 * dx[c] * dz[r];
            const int p1 = (c - 1) * nz + r, p2 = p1 + nz, p3 = p1 + 1, p4 = p2 + 1;
            for (int p : {p1, p2, p3, p4})
                band[sym_band_index(p, p, row_length)] += a + b + 8 * m;
            band[sym_band_index(p1, p2, row_length)] += 4 * m - a; // top edge
            band[sym_band_index(p3, p4, row_length)] += 4 * m - a; // bottom edge
            band[sym_band_index(p1, p3, row_length)] += 4 * m - b; // left edge
            band[sym_band_index(p2, p4, row_length)] += 4 * m - b; // right edge
        }

    const double xs = x[nx / 2];
    for (int r = 1; r < nz; ++r) {
        const double zm = 0.5 * (z[r] + z[r + 1]);
        add_boundary_edge(band, row_length, r, r + 1, cond[index2d(1, r, ncells)], dz[r], x[1], zm,
                          x[1] - xs, xs, k);
        const int right = (nx - 1) * nz + r;
        add_boundary_edge(band, row_length, right, right + 1, cond[index2d(ncells, r, ncells)],
                          dz[r], x[nx], zm, x[nx] - xs, xs, k);
    }
    for (int c = 1; c < nx; ++c) {
        const int a = c * nz, b = a + nz;
        add_boundary_edge(band, row_length, a, b, cond[index2d(c, nz - 1, ncells)], dx[c],
                          0.5 * (x[c] + x[c + 1]), z[nz], z[nz], xs, k);
    }
    return 0;
}

void model2d_band_solve(const double* a, int n, int bw, double* b) {
    band_cholesky_solve(a, n, b, bw, 1, 1);
}

double model2d_integrate_wavenumbers(int n, const double* k, const double* f) {
    double sum = k[1] * f[1];
    for (int i = 1; i < n; ++i) {
        if (!(f[i] > 0.0 && f[i + 1] > 0.0)) continue;
        const double dk = k[i + 1] - k[i];
        const double d = std::log(f[i]) - std::log(f[i + 1]);
        sum += d <= 1.0e-10 ? 0.5 * (f[i] + f[i + 1]) * dk : (f[i] - f[i + 1]) * dk / d;
    }
    return sum;
}

namespace {

void write_model(const Model_2D_Electrical& m, std::FILE* f) {
    std::fprintf(f, "%s\n", m.title);
    std::fprintf(f, "Number of Fourier Transform Values %d\n  I   Wave number\n", m.nwave);
    for (int i = 1; i <= m.nwave; ++i)
        std::fprintf(f, "%2d %8.5f\n", i, m.wavenumbers[i]);
    std::fprintf(f, "Number of electrodes %d\nElectrode spacing %.2f\n", m.nelec,
                 double(m.spacing));
    std::fprintf(f,
                 "Number of horizontal buffer nodes %d\nNumber of horizontal nodes %d\n  I   X "
                 "Grid\n",
                 m.nbuffer, m.nx_nodes);
    for (int i = 1; i <= m.nx_nodes; ++i)
        std::fprintf(f, "%3d %8.4f\n", i, m.x_grid[i]);
    std::fprintf(f, "Number of vertical nodes %d\n  I   Z Grid\n", m.nz_nodes);
    for (int i = 1; i <= m.nz_nodes; ++i)
        std::fprintf(f, "%3d %8.4f\n", i, m.z_grid[i]);
    std::fprintf(f, "Conductivity values\nLevel        Conductivity\n");
    for (int r = 1; r <= m.nz_cells; ++r) {
        std::fprintf(f, "%3d ", r);
        for (int c = 1; c <= m.nx_cells; ++c)
            std::fprintf(f, " %6.4f", m.conductivity[index2d(c, r, m.nx_cells)]);
        std::fprintf(f, "\n");
    }
}

// Solves every wavenumber and keeps, per pair (i, j), its samples at samples[pair nwave + m].
// Returns the wavenumber whose factorisation failed (and its row) or 0.
model::SolverResult solve_wavenumbers(const Model_2D_Electrical& m, double* samples,
                                      int& failed_wave) {
    const int nz = m.nz_nodes, n = m.nx_nodes * nz, row_length = nz + 1;
    sys::PageArray<double> band(std::size_t(n) * row_length), rhs(n + 1);
    sys::PageArray<int> node(m.nelec + 1);
    if (!band.ok() || !rhs.ok() || !node.ok()) return fe::report_no_memory();
    for (int e = 1; e <= m.nelec; ++e)
        node[e] = (m.nbuffer + e - 2) * nz + 1;
    for (int w = 1; w <= m.nwave; ++w) {
        std::printf("Cap matrix %d\n", w);
        if (model2d_build_system(band.get(), m.conductivity.data(), m.nx_nodes, nz, row_length,
                                 m.wavenumbers[w], m.x_grid.data(), m.z_grid.data()) != 0)
            return fe::report_no_memory();
        if (const int row = band_cholesky(n, band.get(), nz)) {
            std::printf("Cap matrix %d, error fac %d\n", w, row);
            failed_wave = w;
            return model::SolverResult::pivot_at(row);
        }
        for (int i = 1; i < m.nelec; ++i) {
            double* b = rhs.get() + 1;
            for (int t = 0; t < n; ++t)
                b[t] = 0.0;
            b[node[i] - 1] = 1.0;
            model2d_band_solve(band.get(), n, nz, b);
            for (int j = i + 1; j <= m.nelec; ++j)
                samples[fe::pair_position(m.nelec, i, j) * m.nwave + w] = b[node[j] - 1];
        }
    }
    return {};
}

} // namespace

model::SolverResult model2d_test_run(Model_2D_Electrical& m, const char* path) {
    if (!m.allocated || m.nelec > m.max_electrodes) return fe::report_no_memory();
    if (std::FILE* f = std::fopen(path, "wt")) {
        write_model(m, f);
        std::fclose(f);
    }
    const std::clock_t start = std::clock();
    const long long pairs = fe::pair_count(m.nelec);
    // Samples of pair p at [p nwave + 1 .. p nwave + nwave] (1-based per pair).
    sys::PageArray<double> samples(std::size_t(pairs) * m.nwave + 1);
    if (!samples.ok()) return fe::report_no_memory();
    int failed_wave = 0;
    const model::SolverResult solved = solve_wavenumbers(m, samples.get(), failed_wave);
    if (!solved.ok() && failed_wave == 0) return solved; // already reported

    std::FILE* f = std::fopen(path, "at+");
    if (!f)
        return fe::report_error(model::SolverStatus::file,
                                "There has been an error in creating\nthe file %s.", path);
    if (!solved.ok()) {
        std::fprintf(f, "Cap matrix %d, error fac %d\n", failed_wave, solved.row);
        std::fclose(f);
        fe::report_error(model::SolverStatus::pivot, "Cap matrix %d, error fac %d", failed_wave,
                         solved.row);
        return model::SolverResult::pivot_at(solved.row);
    }
    for (int i = 1; i < m.nelec; ++i)
        for (int j = i + 1; j <= m.nelec; ++j) {
            double* f_ij = samples.get() + fe::pair_position(m.nelec, i, j) * m.nwave;
            double sign = 1.0;
            if (f_ij[1] < 0.0) {
                sign = -1.0;
                for (int w = 1; w <= m.nwave; ++w)
                    f_ij[w] = -f_ij[w];
            }
            const double r = sign *
                             model2d_integrate_wavenumbers(m.nwave, m.wavenumbers.data(), f_ij) *
                             0.0795774715608873;
            m.resistance[index2d(i, j, m.max_electrodes)] = r;
        }
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;

    std::fprintf(f, "\nPotential values\n  I   J   Resistance  App. Resis.\n");
    for (int i = 1; i < m.nelec; ++i)
        for (int j = i + 1; j <= m.nelec; ++j) {
            const double r = m.resistance[index2d(i, j, m.max_electrodes)];
            std::fprintf(f, "%4d %4d %9.5f %9.5f\n", i, j, r, 6.283185306 * (j - i) * r);
        }
    std::fprintf(f, "\nCalculation time %.2f\n", seconds);
    const bool written = std::fflush(f) == 0 && !std::ferror(f);
    std::fclose(f);
    if (!written)
        return fe::report_error(model::SolverStatus::file, "Error in writing file\n%s", path);
    char text[64];
    std::snprintf(text, sizeof text, "Time taken %.2f", seconds);
    model::ask_message(text, "Message", ui::mb_yesno | ui::mb_iconquestion);
    return {};
}

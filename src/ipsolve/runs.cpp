// The non-linear IP run and the spectral IP run: the complex conductivities of the cells, the
// calls of the complex solvers and where their tables go.
#include "ipsolve/ipsolve.h"

#include "fesolve/solver_common.h"
#include "ipsolve/colecole.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <cstddef>
#include <vector>

using sys::PageArray;

void set_fem_cell_values(int nx, int nz, const float* taus, std::int32_t* tau_codes,
                         float* tau_grid, int first_model_column, int last_model_column,
                         std::int32_t* cexp_codes, float* cexp_grid, const float* cexps) {
    for (int pass = 0; pass < 2; ++pass) {
        std::int32_t* codes = pass == 0 ? tau_codes : cexp_codes;
        const float* list = pass == 0 ? taus : cexps;
        float* grid = pass == 0 ? tau_grid : cexp_grid;
        for (int j = 1; j <= nz; ++j) {
            const std::int32_t left = codes[index2d(first_model_column, j, nx)];
            const std::int32_t right = codes[index2d(last_model_column, j, nx)];
            for (int i = 1; i <= nx; ++i) {
                if (i < first_model_column) codes[index2d(i, j, nx)] = left;
                if (i > last_model_column) codes[index2d(i, j, nx)] = right;
                grid[index2d(i, j, nx)] = list[codes[index2d(i, j, nx)]];
            }
        }
    }
}

namespace {

// Two per-cell conductivity grids of the run.
struct CellGrids {
    PageArray<float> re, im;
    bool allocate(std::size_t cells) { return re.allocate(cells) && im.allocate(cells); }
    // The grids of the model's cells moved onto the cells of `mesh` (kept as they are without
    // one); false when the memory is refused.
    bool onto(const ip::Mesh* mesh) {
        if (!mesh) return true;
        const std::size_t cells = std::size_t(mesh->nx - 1) * std::size_t(mesh->nz - 1);
        CellGrids moved;
        if (!moved.allocate(cells)) return false;
        for (std::size_t c = 0; c < cells; ++c) {
            moved.re[c] = re[std::size_t(mesh->cell_from[c])];
            moved.im[c] = im[std::size_t(mesh->cell_from[c])];
        }
        *this = std::move(moved);
        return true;
    }
};

// The inputs of a run of the records on `mesh`, or on the model's node mesh without one.
ip::Inputs inputs_on(ModelSettings& s, const ProgLim& limits, const ip::Mesh* mesh) {
    ip::Inputs in = ip::make_inputs(s, limits);
    if (!mesh) return in;
    in.nx = mesh->nx;
    in.nz = mesh->nz;
    in.node_col_dx = mesh->col_dx;
    in.node_row_dz = mesh->row_dz;
    in.node_x = mesh->node_x;
    in.node_z = mesh->node_z;
    in.margin_columns = mesh->margin_columns;
    if (mesh->borehole_columns) in.borehole_columns = mesh->borehole_columns;
    return in;
}

} // namespace

model::SolverResult calc_potentials_complex_ip(ModelSettings& s, const ProgLim& limits,
                                               double* remote_1, double* remote_2, double* remote_3,
                                               double* table_8, double* table_9,
                                               const ip::Mesh* mesh) {
    const int nxc = s.nx_cells, nzc = s.nz_cells;
    CellGrids cells;
    if (!cells.allocate(std::size_t(s.nx_nodes) * s.nz_nodes)) return fe::report_no_memory();
    int k = 0;
    for (int j = 1; j <= nzc; ++j)
        for (int i = 1; i <= nxc; ++i, ++k) {
            const float rho = s.model_resistivities[s.resistivity_codes[index2d(i, j, nxc)]];
            const float m = s.model_chargeabilities[s.ip_codes[index2d(i, j, nxc)]];
            // 1/(rho (1 + i m)) = (rho - i m rho) / (rho² + (m rho)²)
            const float a = m * rho, d = rho * rho + a * a;
            cells.re[k] = rho / d;
            cells.im[k] = -a / d;
            model::trace("%4d %4d %4d  %9.4f %9.4f   %9.4f  %9.4f\n", i, j, k, double(rho),
                         double(m), double(cells.re[k]), double(cells.im[k]));
        }
    if (!cells.onto(mesh)) return fe::report_no_memory();
    ip::Inputs in = inputs_on(s, limits, mesh);
    in.sigma_re = cells.re.get();
    in.sigma_im = cells.im.get();
    const ip::Outputs out{s.potential_table_a,
                          s.potential_table_a_ip,
                          s.potential_table_b,
                          s.potential_table_b_ip,
                          remote_1,
                          remote_2,
                          remote_3};
    const model::SolverResult result = calresfemsipd(in, out);
    if (!result.ok()) return result;
    const int n = in.lead;
    for (int i = 1; i <= s.nelec; ++i)
        for (int j = 1; j <= s.nelec; ++j) {
            table_8[index2d(i, j, n)] = s.potential_table_b[index2d(i, j, n)];
            table_9[index2d(i, j, n)] = s.potential_table_b_ip[index2d(i, j, n)];
        }
    return {};
}

model::SolverResult calc_potentials_spectral_ip(ModelSettings& s, const ProgLim& limits,
                                                double* remote_1, double* remote_2,
                                                double* remote_3, double* real_blocks,
                                                double* table_8, double* imag_blocks,
                                                double* table_9, double* remote_blocks,
                                                const ip::Mesh* mesh) {
    const int nxc = s.nx_cells, nzc = s.nz_cells;
    const std::size_t cells = std::size_t(s.nx_nodes) * s.nz_nodes;
    // The cells of the mesh solved on: the model's, or those of `mesh`.
    const std::size_t solver_cells =
        mesh ? std::size_t(mesh->nx - 1) * std::size_t(mesh->nz - 1) : std::size_t(nxc) * nzc;
    const int nfreq = std::min(s.nfreq, 12);
    PageArray<float> tau(cells), cexp(cells);
    std::vector<CellGrids> sigma(std::size_t(std::max(nfreq, 0)));
    bool ok = tau.ok() && cexp.ok();
    for (CellGrids& g : sigma)
        ok = ok && g.allocate(solver_cells);
    ip::Inputs in = inputs_on(s, limits, mesh);
    const int lead = in.lead, m = 2 * in.nelec_total + 1;
    const std::size_t block = std::size_t(lead) * lead,
                      remote_block = 2 * (2 * std::size_t(lead) + 1);
    // Each frequency's remote values apart, placed in the tables when the run has ended.
    PageArray<double> remote(3 * std::size_t(m) * std::max(nfreq, 1));
    if (!ok || !remote.ok()) return fe::report_no_memory();
    // Every cell with its own codes, as for the resistivities and chargeabilities below.
    set_fem_cell_values(nxc, nzc, s.model_taus, s.tau_codes, tau.get(), 1, nxc, s.cexp_codes,
                        cexp.get(), s.model_cexps);
    std::vector<ip::Frequency> frequencies(sigma.size());
    sys::run_in_parallel(nfreq, sys::pool_threads(), [&](int, int f) {
        CellGrids& g = sigma[std::size_t(f)];
        for (std::size_t c = 0; c < solver_cells; ++c) {
            const std::size_t from = mesh ? std::size_t(mesh->cell_from[c]) : c;
            float im, amplitude, phase;
            cole_cole_complex_resistivity(s.model_resistivities[s.resistivity_codes[from]],
                                          s.model_chargeabilities[s.ip_codes[from]], tau[from],
                                          cexp[from], s.frequencies[f], &im, &amplitude, &phase,
                                          &g.re[c], &g.im[c]);
        }
        ip::Frequency& q = frequencies[std::size_t(f)];
        q.sigma_re = g.re.get();
        q.sigma_im = g.im.get();
        double* r = remote.get() + 3 * std::size_t(m) * f;
        q.out = ip::Outputs{real_blocks + f * block,
                            imag_blocks + f * block,
                            table_8,
                            table_9,
                            r,
                            r + m,
                            r + 2 * m};
    });
    int written = 0;
    const model::SolverResult result =
        ip::solve_frequencies(in, frequencies.data(), nfreq, &written);
    if (s.remote_electrodes > 0) {
        for (int f = 0; f < written; ++f) {
            const ip::Outputs& out = frequencies[std::size_t(f)].out;
            if (remote_blocks) {
                double* kept = remote_blocks + f * remote_block;
                std::copy(out.remote_1, out.remote_1 + m, kept);
                std::copy(out.remote_3, out.remote_3 + m, kept + remote_block / 2);
            }
            if (f == written - 1) {
                std::copy(out.remote_1, out.remote_1 + m, remote_1);
                std::copy(out.remote_2, out.remote_2 + m, remote_2);
                std::copy(out.remote_3, out.remote_3 + m, remote_3);
            }
        }
    }
    return result;
}

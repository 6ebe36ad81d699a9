// The default finite-element solver of block models: symmetric band storage over the node
// grid, sources in groups of four, and the Jacobian work files of the sensitivity computations.
#include "fesolve/fesolve.h"

#include "fesolve/assembly.h"
#include "fesolve/band_sources.h"
#include "fesolve/workers.h"
#include "matrix/band.h"
#include "matrix/chunkfile.h"
#include "model/globals.h"
#include "model/mesh_nodes.h"
#include "model/phase_clock.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/thread_pool.h"
#include "platform/sys/workers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <new>
#include <vector>

namespace {

using sys::PageArray;

// The three (or four) Jacobian work files, closed on every way out.
struct JacobianFiles {
    std::FILE* terms = nullptr;
    std::FILE* potentials = nullptr;
    std::FILE* positions = nullptr;
    ~JacobianFiles() {
        for (std::FILE* f : {terms, potentials, positions})
            if (f) std::fclose(f);
    }
};

model::SolverResult open_error(const char* path) {
    return fe::report_error(model::SolverStatus::file, "Error in opening file\n%s", path);
}
model::SolverResult write_error(const char* path) {
    return fe::report_error(model::SolverStatus::file, "Error in writing file\n%s", path);
}

model::SolverResult write_floats(std::FILE* file, const float* values, long long count,
                                 const char* path) {
    if (count > 0 && write_array_chunked(file, values, count) != count) return write_error(path);
    return {};
}

model::SolverResult write_wavenumber_file(const ModelSettings& s, const double* k, int nk) {
    std::FILE* file = std::fopen(s.fourier_values_file, "wb");
    if (!file) return open_error(s.fourier_values_file);
    PageArray<float> values(nk);
    for (int i = 0; i < nk && values.ok(); ++i)
        values[i] = float(k[i]);
    const std::int32_t count = nk;
    const bool ok = values.ok() && std::fwrite(&count, 4, 1, file) == 1 &&
                    write_array_chunked(file, values.get(), nk) == nk;
    std::fclose(file);
    return ok ? model::SolverResult{} : write_error(s.fourier_values_file);
}

// Derivatives of the cell terms around each of the first electrodes with respect to its x and
// then its z (central differences over +-0.01), written to the electrode-position work file.
// The mesh arrays of the record are changed for each shift and restored.
model::SolverResult write_electrode_position_terms(ModelSettings& s, int nx, int nz, float w,
                                                   const float* cells, int margin, int step,
                                                   int nelec, std::FILE* file) {
    const std::size_t nodes = std::size_t(nx) * nz;
    const std::vector<float> x0(s.node_x, s.node_x + nodes), z0(s.node_z, s.node_z + nodes);
    const std::vector<float> cx0(s.node_col_x, s.node_col_x + nx);
    const std::vector<float> dx0(s.node_col_dx, s.node_col_dx + nx - 1);
    const int tank_left = s.tank_left_column, tank_right = s.tank_right_column;
    auto restore = [&] {
        std::copy(x0.begin(), x0.end(), s.node_x);
        std::copy(z0.begin(), z0.end(), s.node_z);
        std::copy(cx0.begin(), cx0.end(), s.node_col_x);
        std::copy(dx0.begin(), dx0.end(), s.node_col_dx);
        s.tank_left_column = tank_left;
        s.tank_right_column = tank_right;
    };
    int count = std::min(s.n_elec_positions, nelec);
    while (count > 0 && margin + count * step > nx - 1)
        --count; // c1 + 1 inside the mesh
    // Electrode b moves the nodes between electrodes b - 1 and b + 1: its region is the cell
    // columns of those two intervals (of the one after it for the first electrode).
    s.coefs_cols_used = 0;
    for (int b = 1; b <= count; ++b) {
        s.jacob_elec_a[b - 1] = std::max(margin, margin + (b - 2) * step);
        s.jacob_elec_b[b - 1] = margin + b * step - 1;
        s.coefs_cols_used += s.jacob_elec_b[b - 1] - s.jacob_elec_a[b - 1] + 1;
    }
    std::vector<float> ex, ez, a, bterms;
    for (int component = 0; component < 2; ++component)
        for (int b = 1; b <= count; ++b) {
            const int c0 = s.jacob_elec_a[b - 1], c1 = s.jacob_elec_b[b - 1];
            const std::size_t size = std::size_t(c1 - c0 + 3) * (nz - 1) * 10;
            a.assign(size, 0.0f);
            bterms.assign(size, 0.0f);
            for (float delta : {-0.01f, 0.01f}) {
                model::electrode_surface(s, ex, ez);
                (component == 0 ? ex : ez)[b - 1] += delta;
                float bottom_shift = 0.0f;
                set_fe_node_spacing(s, margin, s.node_col_dx, step, nx, s.node_col_x);
                Set_Topo_Grid_Nodes(&bottom_shift, nelec, nx, nz, margin, step, s.tflag,
                                    s.node_col_x, s.depth_lines, s.node_col_dx, s.node_row_dz,
                                    s.node_x, s.node_z, ex.data(), ez.data());
                store_cell_element_terms(c0, c1, nx, nz, w, cells, s.node_x, s.node_z,
                                         delta < 0 ? a.data() : bterms.data());
                restore();
            }
            for (std::size_t t = 0; t < size; ++t)
                a[t] = (bterms[t] - a[t]) / 0.02f;
            if (model::SolverResult r =
                    write_floats(file, a.data(), (long long)size, s.jacob_elec_positions_file);
                !r.ok())
                return r;
        }
    return {};
}

// What the wavenumbers share, set up once before the loop and only read inside it: the
// wavenumbers, the electrode nodes with the lowest row each source's solve needs, and the
// remote-electrode nodes.
struct BandSetup {
    int n = 0;     ///< electrodes, surface and borehole
    int nodes = 0; ///< nx nz matrix rows
    /// The model's mesh the work files hold: node columns, rows, and the columns before it.
    int work_nx = 0, work_nz = 0, work_left = 0;
    long long work_nodes() const { return (long long)work_nx * work_nz; }
    long long work_cells() const { return (long long)(work_nx - 1) * (work_nz - 1); }
    int L = 0;  ///< stored elements a band row (nz + 2)
    int bw = 0; ///< half-bandwidth (nz + 1)
    int nk = 0; ///< wavenumbers
    long long npairs = 0;
    int stride = 0;  ///< remote values a wavenumber (2n + 1)
    int sources = 0; ///< electrodes solved for (every one for the Jacobian files)
    float z0 = 0;    ///< depth of the boundary terms' reference point
    bool line_electrodes = false, jacobian = false, remote = false, positions = false;
    PageArray<double> k;       ///< nk wavenumbers
    PageArray<int> node, last; ///< n electrode nodes; n lowest rows a solve needs
    fe::RemoteElectrodes remote_nodes;
    long long worker_bytes = 0; ///< what one worker's arrays take
};

// The work arrays of one wavenumber's assemble, factor and solve.
struct BandWork {
    PageArray<double> band;   ///< nodes x L band matrix
    PageArray<double> block;  ///< the sources of a block side by side
    PageArray<double> rhs[2]; ///< the remote electrodes' right-hand sides
    /// Jacobian files only: the cell terms of the mesh and of the model's cells, and one
    /// solution at the model's nodes.
    PageArray<float> terms, model_terms, potentials;
};

// The wavenumber-domain values of every wavenumber: wavenumber iky owns the slice at iky.
struct BandValues {
    PageArray<double> pairs, remote; ///< npairs and stride values a wavenumber
};

model::SolverResult check_inputs(const fe::Inputs& in, bool line_electrodes) {
    if (model::SolverResult r = fe::check_mesh_and_electrodes(in, line_electrodes ? 1 : in.nky,
                                                              line_electrodes ? 1 : 2);
        !r.ok())
        return r;
    if (!line_electrodes && !(in.ky_min > 0.0f && in.ky_max > in.ky_min))
        return fe::report_error(model::SolverStatus::bad_input,
                                "The wavenumbers must be positive and increasing (%g to %g).",
                                double(in.ky_min), double(in.ky_max));
    return {};
}

// One worker's work arrays; false when the memory is refused.
bool allocate_work(const fe::Inputs& in, const BandSetup& setup, BandWork& work) {
    const std::size_t nodes = setup.nodes;
    bool ok = work.band.allocate(nodes * setup.L) &&
              work.block.allocate(fe::band_block_size(setup.nodes));
    for (auto& v : work.rhs)
        ok = ok && v.allocate(nodes);
    if (setup.jacobian)
        ok = ok && work.terms.allocate(std::size_t(in.nx - 1) * (in.nz - 1) * 10) &&
             work.model_terms.allocate(std::size_t(setup.work_cells()) * 10) &&
             work.potentials.allocate(std::size_t(setup.work_nodes()));
    return ok;
}

model::SolverResult allocate(const fe::Inputs& in, BandSetup& setup, BandWork& work,
                             BandValues& values) {
    bool ok =
        setup.k.allocate(setup.nk) && setup.node.allocate(setup.n) &&
        setup.last.allocate(setup.n) &&
        values.pairs.allocate(std::size_t(setup.npairs) * setup.nk) &&
        sys::take_counting(setup.worker_bytes, [&] { return allocate_work(in, setup, work); });
    if (setup.remote) ok = ok && values.remote.allocate(std::size_t(setup.stride) * setup.nk);
    return ok ? model::SolverResult{} : fe::report_no_memory();
}

// Equal steps of ln k from ky_min to ky_max; line electrodes need only k = 0.
void set_wavenumbers(const fe::Inputs& in, BandSetup& setup) {
    double* k = setup.k.get();
    const int nk = setup.nk;
    if (setup.line_electrodes) {
        k[0] = 0.0;
        return;
    }
    const double l1 = std::log(double(in.ky_min)), ln = std::log(double(in.ky_max));
    k[0] = in.ky_min;
    k[nk - 1] = in.ky_max;
    for (int i = 2; i < nk; ++i)
        k[i - 1] = std::exp(l1 + (i - 1) * (ln - l1) / (nk - 1));
}

// Electrode nodes, and the lowest row each source's solve needs: that of the later electrodes
// (every row for the Jacobian files, which keep whole solutions).
model::SolverResult place_electrode_nodes(const fe::Inputs& in, BandSetup& setup) {
    int* node = setup.node.get();
    if (model::SolverResult r =
            fe::place_electrodes(in.nboreholes, in.issbor, in.borehole_columns, in.borehole_z,
                                 setup.n, in.margin_columns, in.nodes_per_spacing, in.nelec, in.nx,
                                 in.nz, in.node_z, in.electrode_water, node);
        !r.ok())
        return r;
    for (int i = 1; i <= setup.n; ++i) {
        int lowest = setup.nodes;
        for (int j = i + 1; j <= setup.n; ++j)
            lowest = std::min(lowest, node[j - 1]);
        setup.last[i - 1] = setup.jacobian || i == setup.n ? 1 : lowest;
    }
    return {};
}

model::SolverResult open_work_files(const fe::Inputs& in, const BandSetup& setup,
                                    JacobianFiles& files) {
    ModelSettings& s = *in.settings;
    // The files are rewritten from here on: until this run has ended they hold no model's
    // potentials.
    s.sens_potentials_ready = 0;
    if (model::SolverResult r = write_wavenumber_file(s, setup.k.get(), setup.nk); !r.ok())
        return r;
    files.terms = std::fopen(s.jacob_file, "wb");
    if (!files.terms) return open_error(s.jacob_file);
    files.potentials = std::fopen(s.grfinite_file, "wb");
    if (!files.potentials) return open_error(s.grfinite_file);
    if (setup.positions) {
        files.positions = std::fopen(s.jacob_elec_positions_file, "wb");
        if (!files.positions) return open_error(s.jacob_elec_positions_file);
    }
    return {};
}

// The band matrix of wavenumber iky, and with the Jacobian files its cell terms and the
// electrode-position terms.
model::SolverResult assemble(const fe::Inputs& in, const BandSetup& setup, int iky, BandWork& work,
                             JacobianFiles* files) {
    const int nx = in.nx, ny = in.nz;
    const double k = setup.k[iky];
    const float w = float(k * k);
    double* band = work.band.get();
    std::fill(band, band + std::size_t(setup.nodes) * setup.L, 0.0);
    assemble_cell_matrices(setup.jacobian ? 1 : 0, nx, ny, setup.L, w, in.cells, in.node_x,
                           in.node_z, band, work.terms.get(), 1);
    add_boundary_terms(setup.line_electrodes ? 1 : 0, nx, ny, setup.L, setup.z0, k, in.node_x,
                       in.node_z, in.cells, band);
    if (!setup.jacobian) return {};
    ModelSettings& s = *in.settings;
    // The terms of the model's cells, column after column.
    float* model_terms = work.model_terms.get();
    for (int c = 1; c < setup.work_nx; ++c) {
        const float* column =
            work.terms.get() + std::size_t(c + setup.work_left - 1) * (ny - 1) * 10;
        model_terms = std::copy(column, column + std::size_t(setup.work_nz - 1) * 10, model_terms);
    }
    if (model::SolverResult r = write_floats(files->terms, work.model_terms.get(),
                                             setup.work_cells() * 10, s.jacob_file);
        !r.ok())
        return r;
    if (!setup.positions) return {};
    try {
        return write_electrode_position_terms(
            s, setup.work_nx, setup.work_nz, w, in.model_nx > 0 ? in.model_cells : in.cells,
            in.margin_columns - setup.work_left, in.nodes_per_spacing, in.nelec, files->positions);
    } catch (const std::bad_alloc&) {
        return fe::report_no_memory();
    }
}

// The sources of the band solve: every electrode but the last (every one for the Jacobian
// files), with their nodes and lowest rows.
fe::BandSources band_sources(const BandSetup& setup) {
    return {setup.n, setup.node.get(), setup.last.get(), setup.sources};
}

// Keeps the potentials of the sources of a solved block at the later electrodes in pair_block.
void keep_pairs(const BandSetup& setup, const fe::SolvedBlock& b, double* pair_block) {
    const int n = setup.n;
    for (int g = 0; g < b.count; ++g) {
        const int i = b.first + g;
        for (int j = i + 1; j <= n; ++j)
            pair_block[fe::pair_position(n, i, j)] = b.at(setup.node[j - 1], g);
    }
}

// The whole solutions of a solved block at the model's nodes, source after source, to the
// potentials file.
model::SolverResult write_solutions(const fe::Inputs& in, const BandSetup& setup,
                                    const fe::SolvedBlock& b, BandWork& work, std::FILE* file) {
    const int nz = in.nz;
    for (int g = 0; g < b.count; ++g) {
        float* out = work.potentials.get();
        for (int c = 1; c <= setup.work_nx; ++c)
            for (int r = 1; r <= setup.work_nz; ++r)
                *out++ = float(b.at((c + setup.work_left - 1) * nz + r, g));
        if (model::SolverResult r = write_floats(file, work.potentials.get(), setup.work_nodes(),
                                                 in.settings->grfinite_file);
            !r.ok())
            return r;
    }
    return {};
}

// The potential of every source at the later electrodes into pair_block, in blocks of sources
// solved here and on the workers that help (each in its own block storage), or on a short line
// from the products of the forward sweeps; with the Jacobian files each whole solution too, here
// in electrode order. A user_abort failure, unreported, when `stopping` says so between two
// blocks.
model::SolverResult solve_sources(const fe::Inputs& in, const BandSetup& setup, int w,
                                  std::vector<BandWork>& work, double* pair_block,
                                  JacobianFiles* files, fe::ItemBoard& board,
                                  const std::function<bool()>& stopping) {
    BandWork& mine = work[std::size_t(w)];
    const double* band = mine.band.get();
    const fe::BandSources sources = band_sources(setup);
    const model::SolverResult stopped =
        model::SolverResult::failure(model::SolverStatus::user_abort);
    if (fe::pair_products_pay(setup.nodes, setup.bw, sources)) {
        const fe::SolvedBlock y = fe::band_pair_products(band, setup.nodes, setup.bw, sources,
                                                         mine.block.get(), pair_block);
        if (!setup.jacobian) return {};
        fe::complete_solutions(band, setup.nodes, setup.bw, y);
        return write_solutions(in, setup, y, mine, files->potentials);
    }
    if (!setup.jacobian) {
        const bool all = board.share(
            w, sources.blocks(),
            [&](int runner, int index) {
                keep_pairs(setup,
                           fe::solve_source_block(band, setup.nodes, setup.bw, sources, index,
                                                  work[std::size_t(runner)].block.get()),
                           pair_block);
            },
            [&] { return !stopping(); });
        return all ? model::SolverResult{} : stopped;
    }
    for (int index = 0; index < sources.blocks(); ++index) {
        if (stopping()) return stopped;
        const fe::SolvedBlock b =
            fe::solve_source_block(band, setup.nodes, setup.bw, sources, index, mine.block.get());
        keep_pairs(setup, b, pair_block);
        if (model::SolverResult r = write_solutions(in, setup, b, mine, files->potentials); !r.ok())
            return r;
    }
    return {};
}

// The potentials of C2 and P2 at every electrode, and of P2 at C2, into `row` (stride values).
void solve_remote(const BandSetup& setup, BandWork& work, double* row) {
    double* const rhs[2] = {work.rhs[0].get(), work.rhs[1].get()};
    fe::solve_remote_sources(
        setup.remote_nodes, setup.n, setup.nodes, rhs, [](int node) { return node; },
        [&](double* b, int first) {
            band_cholesky_solve(work.band.get(), setup.nodes, b, setup.bw, first, 1);
        },
        [&](const double* b, int e) { return b[setup.node[e] - 1]; }, row);
}

// Assembles, factors and solves wavenumber iky on worker w: its pair values into values.pairs
// and its remote values into values.remote, at slice iky; the blocks of sources are shared with
// the workers that help through `board`. Reads only `in` and `setup`; writes the worker's
// arrays (and the helpers' block storage), the slice iky and (Jacobian files only, on the
// calling thread) the files and the record's mesh while it shifts an electrode. A failing
// factorisation is a pivot failure left to the caller to report (the node in its row); the
// files' failures have been reported.
model::SolverResult solve_wavenumber(const fe::Inputs& in, const BandSetup& setup, int iky, int w,
                                     std::vector<BandWork>& work, BandValues& values,
                                     JacobianFiles* files, fe::ItemBoard& board,
                                     const std::function<bool()>& stopping) {
    const model::SolverResult stopped =
        model::SolverResult::failure(model::SolverStatus::user_abort);
    BandWork& mine = work[std::size_t(w)];
    if (stopping()) return stopped;
    model::PhaseTimer timer(model::Phase::assembly);
    if (model::SolverResult r = assemble(in, setup, iky, mine, files); !r.ok()) return r;
    if (stopping()) return stopped;
    timer.stop(model::Phase::factor);
    if (int failed = band_cholesky_quiet(setup.nodes, mine.band.get(), setup.bw))
        return model::SolverResult::pivot_at(failed);
    timer.stop(model::Phase::solves);
    double* pair_block = values.pairs.get() + std::size_t(iky) * setup.npairs;
    if (model::SolverResult r =
            solve_sources(in, setup, w, work, pair_block, files, board, stopping);
        !r.ok())
        return r;
    if (setup.remote)
        solve_remote(setup, mine, values.remote.get() + std::size_t(iky) * setup.stride);
    return {};
}

// The space-domain tables (line electrodes: the pair values themselves), the remote table, and
// the record's fields of the Jacobian files.
model::SolverResult write_outputs(const fe::Inputs& in, const BandSetup& setup,
                                  const BandValues& values) {
    ModelSettings& s = *in.settings;
    const int n = setup.n, lead = in.lead;
    if (setup.line_electrodes) {
        for (int i = 1; i < n; ++i)
            for (int j = i + 1; j <= n; ++j) {
                const double v = values.pairs[fe::pair_position(n, i, j)];
                in.table_a[index2d(i, j, lead)] = in.table_a[index2d(j, i, lead)] = v;
                in.table_b[index2d(i, j, lead)] = in.table_b[index2d(j, i, lead)] = v;
            }
    } else if (!fe::transform_pair_values(in, n, values.pairs.get(), setup.nk, setup.k.get(),
                                          setup.npairs)) {
        return fe::report_no_memory();
    }
    if (setup.remote && !fe::transform_remote_values(
                            setup.remote_nodes, s.electrode_table, n, in.nelec, values.remote.get(),
                            setup.nk, setup.k.get(), 1.0 / in.nodes_per_spacing, in.remote_table))
        return fe::report_no_memory();
    if (setup.jacobian) {
        s.npot_electrodes = n;
        for (int e = 1; e <= n && s.jacob_electrode; ++e)
            s.jacob_electrode[e - 1] = std::int64_t(e - 1) * setup.work_nodes();
        s.sens_potentials_ready = 1;
    }
    return {};
}

// The once-per-run phases before the wavenumber loop.
model::SolverResult set_up(const fe::Inputs& in, BandSetup& setup, BandWork& work,
                           BandValues& values, JacobianFiles& files) {
    const ModelSettings& s = *in.settings;
    setup.line_electrodes = s.electrode_type == 1;
    setup.jacobian = in.jacobian == 1;
    setup.positions = setup.jacobian;
    setup.remote = in.remote_electrodes > 0;
    if (model::SolverResult r = check_inputs(in, setup.line_electrodes); !r.ok()) return r;
    const int nx = in.nx, ny = in.nz;
    const float* x = in.node_x;
    model::trace("xnode %8.4f,%8.4f,%8.4f  %8.4f,%8.4f\n", double(x[0]),
                 double(x[std::min(1, nx * ny - 1)]), double(x[std::min(2, nx * ny - 1)]),
                 double(x[ny]), double(x[std::min(ny + 1, nx * ny - 1)]));
    setup.n = in.nelec_total;
    setup.nodes = nx * ny;
    setup.work_nx = in.model_nx > 0 ? in.model_nx : nx;
    setup.work_nz = in.model_nx > 0 ? in.model_nz : ny;
    setup.work_left = in.model_nx > 0 ? in.model_left : 0;
    if (setup.jacobian && (setup.work_nx < 2 || setup.work_nz < 2 || setup.work_left < 0 ||
                           setup.work_left + setup.work_nx > nx || setup.work_nz > ny ||
                           (in.model_nx > 0 && !in.model_cells)))
        return fe::report_error(model::SolverStatus::bad_input,
                                "The model's mesh (%d x %d nodes from column %d) is not within "
                                "the solver's (%d x %d).",
                                setup.work_nx, setup.work_nz, setup.work_left + 1, nx, ny);
    setup.L = ny + 2;
    setup.bw = ny + 1;
    setup.nk = setup.line_electrodes ? 1 : in.nky;
    setup.npairs = fe::pair_count(setup.n);
    setup.stride = 2 * setup.n + 1;
    setup.sources = setup.jacobian ? setup.n : setup.n - 1;
    setup.z0 = in.node_z[index2d(in.electrode_water[0] + 1, 1, ny)];
    if (model::SolverResult r = allocate(in, setup, work, values); !r.ok()) return r;
    set_wavenumbers(in, setup);
    if (model::SolverResult r = place_electrode_nodes(in, setup); !r.ok()) return r;
    if (setup.remote)
        if (model::SolverResult r = fe::place_remote_electrodes(in, setup.remote_nodes); !r.ok())
            return r;
    if (setup.jacobian)
        if (model::SolverResult r = open_work_files(in, setup, files); !r.ok()) return r;
    fe::trace_wavenumbers(setup.nk, setup.k.get());
    return {};
}

} // namespace

model::SolverResult calresfem_sym_dbl(const fe::Inputs& in) {
    model::trace("start calresfem sym dbl number electrodes %d\n", in.nelec);
    BandSetup setup;
    std::vector<BandWork> work(1);
    BandValues values;
    JacobianFiles files;
    model::PhaseTimer setup_timer(model::Phase::setup);
    if (model::SolverResult r = set_up(in, setup, work[0], values, files); !r.ok()) return r;
    // The Jacobian files are written in the order of the wavenumbers, by one worker; otherwise
    // as many workers as the solver threads whose arrays the free memory holds.
    sys::take_workers(work, setup.jacobian ? 1 : std::min(sys::pool_threads(), setup.nk),
                      setup.worker_bytes, [&](BandWork& w) { return allocate_work(in, setup, w); });
    setup_timer.stop();
    std::vector<model::SolverResult> results(std::size_t(setup.nk));
    fe::ItemBoard board(setup.nk);
    bool aborted = false;
    int traced = 0;
    const auto trace_up_to = [&](int count) {
        for (; traced < std::min(count, setup.nk); ++traced)
            model::trace("calresfem iky %d\n", traced);
    };
    const sys::StepsOutcome outcome = fe::run_wavenumbers(
        setup.nk, int(work.size()),
        [&](int w, int iky, const std::atomic<bool>& stop) {
            fe::StopTest stopping(stop, work.size() == 1, aborted);
            model::SolverResult& r = results[std::size_t(iky)];
            r = solve_wavenumber(in, setup, iky, w, work, values, &files, board,
                                 [&] { return stopping(); });
            board.close();
            if (r.status == model::SolverStatus::user_abort) return sys::step_stopped;
            return r.ok() ? sys::step_done : 1;
        },
        "Finite-Element Calculations - %5.1f%% completed",
        [&](int w, const std::atomic<bool>& stop) { board.help(w, stop); },
        [&](int done) { trace_up_to(done + 1); });
    work.clear();
    if (outcome.aborted || aborted)
        return model::SolverResult::failure(model::SolverStatus::user_abort);
    if (outcome.failed >= 0) {
        const model::SolverResult r = results[std::size_t(outcome.failed)];
        if (r.status != model::SolverStatus::pivot) return r;
        beep();
        return fe::report_factor_failure(r.row);
    }
    trace_up_to(setup.nk);
    update_status("Calculating Potentials", 0);
    model::PhaseTimer timer(model::Phase::transform);
    if (model::SolverResult r = write_outputs(in, setup, values); !r.ok()) return r;
    timer.stop();
    model::trace("jacob %d\n", in.jacobian);
    model::trace("jacob cal flag %d\n", in.settings->sens_potentials_ready);
    model::trace("end fem cal\n");
    return {};
}

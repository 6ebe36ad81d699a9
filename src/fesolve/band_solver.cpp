// The default finite-element solver of block models: symmetric band storage over the node
// grid, sources in groups of four, and the Jacobian work files of the sensitivity computations.
#include "fesolve/fesolve.h"

#include "fdsolve/transform.h"
#include "fesolve/assembly.h"
#include "matrix/band.h"
#include "matrix/chunkfile.h"
#include "model/globals.h"
#include "model/mesh_nodes.h"
#include "model/services.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

namespace {

using mx::PageArray;

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
            return fe::report_error(model::SolverStatus::bad_input,
                                    "Borehole %d lies in node column %d,\noutside the mesh of "
                                    "%d columns.",
                                    b + 1, columns[b], nx);
        for (int i = 0; i < issbor[b] && e < n; ++i, ++e)
            node[e] = borehole_node(columns[b], nz, node_z, depths[e - nelec], e + 1);
    }
    if (e != n)
        return fe::report_error(model::SolverStatus::bad_input,
                                "The model has %d electrodes, but %d surface\nand %d borehole "
                                "electrodes were given.",
                                n, nelec, e - nelec);
    return {};
}

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
    while (count > 0) {
        const int part = int(std::min<long long>(count, 1 << 28));
        if (write_array_chunked(file, values, part) != part) return write_error(path);
        values += part;
        count -= part;
    }
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
    s.coefs_cols_used = 0;
    for (int b = 1; b <= count; ++b) {
        s.jacob_elec_a[b - 1] = float(margin + (b - 1) * step);
        s.jacob_elec_b[b - 1] = float(margin + b * step - 1);
        s.coefs_cols_used += step;
    }
    std::vector<float> ex, ez, a, bterms;
    for (int component = 0; component < 2; ++component)
        for (int b = 1; b <= count; ++b) {
            const int c0 = margin + (b - 1) * step, c1 = margin + b * step - 1;
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

// Everything one run needs, allocated up front.
struct BandWork {
    PageArray<double> k, band, rhs[4], pairs, remote;
    PageArray<int> node, last;
    PageArray<float> terms, potentials;
};

} // namespace

model::SolverResult calresfem_sym_dbl(const fe::Inputs& in) {
    ModelSettings& settings = *in.settings;
    const int nx = in.nx, nz = in.nz, nelec = in.nelec, nky = in.nky;
    const int margin_columns = in.margin_columns, nodes_per_spacing = in.nodes_per_spacing;
    const std::int32_t* electrode_water = in.electrode_water;
    const float* cells = in.cells;
    const float* node_x = in.node_x;
    const float* node_z = in.node_z;
    const int n = in.nelec_total, ny = nz, L = nz + 2, bw = nz + 1;
    model::trace("start calresfem sym dbl number electrodes %d\n", nelec);
    const bool line_electrodes = settings.electrode_type == 1;
    const bool jacobian = settings.jacob == 1;
    const bool remote = in.remote_electrodes > 0;
    if (model::SolverResult r =
            fe::check_mesh_and_electrodes(in, line_electrodes ? 1 : nky, line_electrodes ? 1 : 2);
        !r.ok())
        return r;
    if (!line_electrodes && !(in.ky_min > 0.0f && in.ky_max > in.ky_min))
        return fe::report_error(model::SolverStatus::bad_input,
                                "The wavenumbers must be positive and increasing (%g to %g).",
                                double(in.ky_min), double(in.ky_max));
    model::trace("xnode %8.4f,%8.4f,%8.4f  %8.4f,%8.4f\n", double(node_x[0]),
                 double(node_x[std::min(1, nx * ny - 1)]), double(node_x[std::min(2, nx * ny - 1)]),
                 double(node_x[ny]), double(node_x[std::min(ny + 1, nx * ny - 1)]));

    // Wavenumbers, equal steps of ln k; line electrodes need only k = 0.
    const int nk = line_electrodes ? 1 : nky;
    const std::size_t nodes = std::size_t(nx) * ny;
    const long long npairs = fe::pair_count(n);
    const int stride = 2 * n + 1;
    BandWork work;
    bool ok = work.k.allocate(nk) && work.band.allocate(nodes * L) && work.node.allocate(n) &&
              work.last.allocate(n) && work.pairs.allocate(std::size_t(npairs) * nk);
    for (auto& v : work.rhs)
        ok = ok && v.allocate(nodes);
    if (remote) ok = ok && work.remote.allocate(std::size_t(stride) * nk);
    if (jacobian)
        ok = ok && work.terms.allocate(std::size_t(nx - 1) * (ny - 1) * 10) &&
             work.potentials.allocate(nodes);
    if (!ok) return fe::report_no_memory();
    double* k = work.k.get();
    if (line_electrodes) {
        k[0] = 0.0;
    } else {
        const double l1 = std::log(double(in.ky_min)), ln = std::log(double(in.ky_max));
        k[0] = in.ky_min;
        k[nk - 1] = in.ky_max;
        for (int i = 2; i < nk; ++i)
            k[i - 1] = std::exp(l1 + (i - 1) * (ln - l1) / (nk - 1));
    }

    int* node = work.node.get();
    if (model::SolverResult r = place_electrodes(
            in.nboreholes, in.issbor, in.borehole_columns, in.borehole_z, n, margin_columns,
            nodes_per_spacing, nelec, nx, nz, node_z, electrode_water, node);
        !r.ok())
        return r;
    // The solve of source i is needed from the lowest node of the later electrodes on.
    for (int i = 1; i <= n; ++i) {
        int lowest = int(nodes);
        for (int j = i + 1; j <= n; ++j)
            lowest = std::min(lowest, node[j - 1]);
        work.last[i - 1] = jacobian || i == n ? 1 : lowest;
    }

    fe::RemoteElectrodes remote_nodes;
    if (remote) {
        PageArray<float> positions(nx);
        if (!positions.ok()) return fe::report_no_memory();
        for (int c = 1; c <= nx; ++c)
            positions[c - 1] = node_x[(c - 1) * ny];
        remote_nodes.c2_x = in.c2_x;
        remote_nodes.c2_y = in.c2_y;
        remote_nodes.p2_x = in.p2_x;
        remote_nodes.p2_y = in.p2_y;
        fe::place_remote_electrodes(settings, nodes_per_spacing, nelec, margin_columns, ny, nx,
                                    positions.get(), remote_nodes);
    }

    JacobianFiles files;
    const bool positions_branch = jacobian && settings.jacob_cal_flag == 1;
    if (jacobian) {
        if (model::SolverResult r = write_wavenumber_file(settings, k, nk); !r.ok()) return r;
        files.terms = std::fopen(settings.jacob_file, "wb");
        if (!files.terms) return open_error(settings.jacob_file);
        files.potentials = std::fopen(settings.grfinite_file, "wb");
        if (!files.potentials) return open_error(settings.grfinite_file);
        if (positions_branch) {
            files.positions = std::fopen(settings.jacob_elec_positions_file, "wb");
            if (!files.positions) return open_error(settings.jacob_elec_positions_file);
        }
    }
    model::trace("nyk %d\n", nk);
    for (int i = 0; i < nk; ++i)
        model::trace("%2d %10.7f\n", i + 1, k[i]);

    const int z0_row = electrode_water[0] + 1;
    const float z0 = node_z[index2d(z0_row, 1, ny)];
    const int sources = jacobian ? n : n - 1;
    double* band = work.band.get();
    for (int iky = 0; iky < nk; ++iky) {
        model::trace("calresfem iky %d\n", iky);
        fe::report_progress("Finite-Element Calculations - %5.1f%% completed", iky, nk);
        const float w = float(k[iky] * k[iky]);
        std::fill(band, band + nodes * L, 0.0);
        assemble_cell_matrices(jacobian ? 1 : 0, nx, ny, L, w, cells, node_x, node_z, band,
                               work.terms.get(), 1);
        add_boundary_terms(line_electrodes ? 1 : 0, nx, ny, L, z0, k[iky], node_x, node_z, cells,
                           band);
        if (jacobian) {
            if (model::SolverResult r =
                    write_floats(files.terms, work.terms.get(), (long long)(nx - 1) * (ny - 1) * 10,
                                 settings.jacob_file);
                !r.ok())
                return r;
        }
        if (positions_branch) {
            try {
                if (model::SolverResult r =
                        write_electrode_position_terms(settings, nx, ny, w, cells, margin_columns,
                                                       nodes_per_spacing, nelec, files.positions);
                    !r.ok())
                    return r;
            } catch (const std::bad_alloc&) {
                return fe::report_no_memory();
            }
        }
        if (int failed = band_cholesky(int(nodes), band, bw))
            return fe::report_factor_failure(failed);

        // Sources in groups of four, then one at a time.
        double* const pair_block = work.pairs.get() + std::size_t(iky) * npairs;
        auto keep = [&](int i, const double* solution) -> model::SolverResult {
            for (int j = i + 1; j <= n; ++j)
                pair_block[fe::pair_position(n, i, j)] = solution[node[j - 1] - 1];
            if (!jacobian) return {};
            for (std::size_t v = 0; v < nodes; ++v)
                work.potentials[v] = float(solution[v]);
            return write_floats(files.potentials, work.potentials.get(), (long long)nodes,
                                settings.grfinite_file);
        };
        int i = 1;
        for (; i + 3 <= sources; i += 4) {
            for (int g = 0; g < 4; ++g) {
                std::fill(work.rhs[g].get(), work.rhs[g].get() + nodes, 0.0);
                work.rhs[g][node[i + g - 1] - 1] = 1.0;
            }
            band_cholesky_solve_4vec(band, int(nodes), work.rhs[0].get(), work.rhs[1].get(),
                                     work.rhs[2].get(), work.rhs[3].get(), bw, node[i - 1],
                                     work.last[i - 1], node[i], work.last[i], node[i + 1],
                                     work.last[i + 1], node[i + 2], work.last[i + 2]);
            for (int g = 0; g < 4; ++g)
                if (model::SolverResult r = keep(i + g, work.rhs[g].get()); !r.ok()) return r;
        }
        for (; i <= sources; ++i) {
            double* b = work.rhs[0].get();
            std::fill(b, b + nodes, 0.0);
            b[node[i - 1] - 1] = 1.0;
            band_cholesky_solve(band, int(nodes), b, bw, node[i - 1], work.last[i - 1]);
            if (model::SolverResult r = keep(i, b); !r.ok()) return r;
        }

        if (remote) {
            double* row = work.remote.get() + std::size_t(iky) * stride;
            std::fill(row, row + stride, 0.0);
            double* p2_solution = work.rhs[1].get();
            for (int source = 0; source < 2; ++source) {
                const int count = source == 0 ? remote_nodes.c2_count : remote_nodes.p2_count;
                const int* rn = source == 0 ? remote_nodes.c2_node : remote_nodes.p2_node;
                const float* rw = source == 0 ? remote_nodes.c2_weight : remote_nodes.p2_weight;
                if (count == 0) continue;
                double* b = work.rhs[source].get();
                std::fill(b, b + nodes, 0.0);
                int first = int(nodes);
                for (int q = 0; q < count; ++q) {
                    b[rn[q] - 1] += rw[q];
                    first = std::min(first, rn[q]);
                }
                band_cholesky_solve(band, int(nodes), b, bw, first, 1);
                for (int e = 0; e < n; ++e)
                    row[source * n + e] = b[node[e] - 1];
            }
            if (remote_nodes.c2_count > 0 && remote_nodes.p2_count > 0)
                for (int q = 0; q < remote_nodes.c2_count; ++q)
                    row[2 * n] +=
                        remote_nodes.c2_weight[q] * p2_solution[remote_nodes.c2_node[q] - 1];
        }
    }

    update_status("Calculating Potentials", 0);
    const int lead = in.lead;
    double* table_a = in.table_a;
    double* table_b = in.table_b;
    if (line_electrodes) {
        for (int i = 1; i < n; ++i)
            for (int j = i + 1; j <= n; ++j) {
                const double v = work.pairs[fe::pair_position(n, i, j)];
                table_a[index2d(i, j, lead)] = table_a[index2d(j, i, lead)] = v;
                table_b[index2d(i, j, lead)] = table_b[index2d(j, i, lead)] = v;
            }
    } else {
        if (inverse_fourier_pair_potentials_dbl(in.electrode_offset_ratio, work.pairs.get(),
                                                table_a, table_b, n, nk, k, 4, int(npairs), lead,
                                                in.array_type) != 0)
            return fe::report_no_memory();
    }
    if (remote) {
        if (!fe::transform_remote_values(remote_nodes, settings.electrode_table, n, nelec,
                                         work.remote.get(), nk, k, in.remote_table))
            return fe::report_no_memory();
    }
    if (jacobian) {
        settings.npot_electrodes = n;
        for (int e = 1; e <= n && settings.jacob_electrode; ++e)
            settings.jacob_electrode[e - 1] = float(double(e - 1) * double(nodes));
        settings.sens_potentials_ready = 1;
    }
    model::trace("jacob %d\n", settings.jacob);
    model::trace("jacob cal flag %d\n", settings.sens_potentials_ready);
    model::trace("end fem cal\n");
    return {};
}

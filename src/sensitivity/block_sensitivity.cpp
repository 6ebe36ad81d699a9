// Block sensitivity and damped model resolution.
#include "sensitivity/block_sensitivity.h"

#include "fdsolve/spline.h"
#include "fdsolve/transform.h"
#include "matrix/chunkfile.h"
#include "matrix/matrixfile.h"
#include "matrix/packed.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "platform/ui/ui.h"
#include "sensitivity/datum_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using sys::PageArray;

namespace {

using sys::File;

constexpr double one_over_pi = 0.3183101550488765;

void open_error(const char* path) {
    char text[600];
    std::snprintf(text, sizeof text, "Error in opening file\n%s", path);
    model::show_message(text, "Error Message");
}

// The boxes of the resort and the memory checks are questions whose answer nobody reads.
void question_box(const char* text, const char* caption) {
    model::ask_message(text, caption, ui::mb_yesno | ui::mb_iconquestion);
}

void no_ram_box(double bytes) {
    char text[128];
    std::snprintf(text, sizeof text, "Insufficient RAM.\nAmount needed is %.2f GBs.",
                  bytes / (1024.0 * 1024.0 * 1024.0));
    question_box(text, "Memory error");
}

int bar(double fraction) {
    return round_to_int(float(fraction * Statuswind.bar_width));
}

// Node rows of block row i (1-based rows, top < bottom).
void block_rows(int i, bool thick_top, int& top, int& bottom) {
    if (!thick_top) {
        top = i + 1, bottom = i + 2;
    } else if (i == 0) {
        top = 1, bottom = 4;
    } else if (i == 1) {
        top = 4, bottom = 6;
    } else {
        top = i + 4, bottom = i + 5;
    }
}

// Node (0-based, down the columns) of surface electrode e (1-based) in a potential table, as the
// band solver places its sources: column margin_columns + (e - 1) nodes_per_spacing, row
// electrode_water[e - 1] + 1. -1 for an electrode off the surface line or off the mesh.
long long surface_electrode_node(const ModelSettings& m, int e) {
    if (e < 1 || e > m.nelec) return -1;
    const long long column = m.margin_columns + (long long)(e - 1) * m.nodes_per_spacing;
    const long long row = m.electrode_water[e - 1] + 1;
    if (column < 1 || column > m.nx_nodes || row < 1 || row > m.nz_nodes) return -1;
    return (column - 1) * m.nz_nodes + (row - 1);
}

// The electrode pairs of a datum, (source, receiver), whose wavenumber-domain potentials make
// the datum's: v(C1, P1) - v(C1, P2) - v(C2, P1) + v(C2, P2), the pairs a datum lacks left out.
constexpr int datum_pairs = 4;

// Data a step of the datum loop forms: the loop checks the abort keys and shows its progress
// between steps, and the pool's workers take the steps in turn.
constexpr int data_per_step = 32;

// The work files and arrays of one run of the wavenumber loop.
struct JacobianRun {
    ModelSettings& m;
    int nk = 0;
    float k[max_sensitivity_wavenumbers] = {};
    File terms_file, potential_file;
    PageArray<float> jacobian, terms, potentials;
    PageArray<std::int32_t> electrodes; // C1, C2, P1, P2 of every datum
    // The weighted source fields of the datum a worker forms: 2 x nodes() values a worker.
    int workers = 1;
    PageArray<double> sources;
    PageArray<double> weights; // nk per pair (datum_pairs per datum)

    explicit JacobianRun(ModelSettings& model)
        : m(model), workers(std::max(1, sys::pool_threads())) {}
    long long cells() const { return (long long)(m.nx_nodes - 1) * (m.nz_nodes - 1); }
    long long nodes() const { return (long long)m.nx_nodes * m.nz_nodes; }
    const float* table(int electrode) const {
        return electrode_potential_table(electrode, potentials.get(), m.jacob_electrode,
                                         m.npot_electrodes, nodes());
    }
    const double* weight(int d, int pair) const {
        return weights.get() + (std::size_t(d) * datum_pairs + pair) * std::size_t(nk);
    }
    int open();
    int allocate();
    int read_potentials();
    int compute_pair_weights();
    int wavenumber(int i);
    void store_electrodes();
    void add_datum(int d, int i, double factor, int worker);
    void normalise();
};

int JacobianRun::open() {
    if (int code = read_sensitivity_wavenumbers(m.fourier_values_file, k, nk)) return code;
    terms_file.reset(std::fopen(m.jacob_file, "rb"));
    if (!terms_file) {
        open_error(m.jacob_file);
        return 1;
    }
    potential_file.reset(std::fopen(m.grfinite_file, "rb"));
    if (!potential_file) {
        open_error(m.grfinite_file);
        return 1;
    }
    return 0;
}

int JacobianRun::allocate() {
    const double bytes = 4.0 * double(m.ndata) * double(m.sens_nblocks);
    if (!jacobian.allocate(std::size_t(m.ndata) * std::size_t(m.sens_nblocks))) {
        no_ram_box(bytes);
        return 3;
    }
    const long long table = (long long)m.npot_electrodes * nodes();
    const std::size_t nweights = std::size_t(m.ndata) * datum_pairs * std::size_t(nk);
    if (!electrodes.allocate(4 * std::size_t(m.ndata)) ||
        !terms.allocate(std::size_t(cells() * 10)) || !potentials.allocate(std::size_t(table)) ||
        !sources.allocate(2 * std::size_t(workers) * std::size_t(nodes())) ||
        !weights.allocate(nweights)) {
        no_ram_box(bytes + 4.0 * double(cells() * 10 + table) + 16.0 * workers * double(nodes()) +
                   8.0 * double(nweights));
        return 3;
    }
    return 0;
}

// The node potentials of the next wavenumber.
int JacobianRun::read_potentials() {
    const long long ntable = (long long)m.npot_electrodes * nodes();
    if (read_array_chunked(potential_file.get(), potentials.get(), ntable) == ntable) return 0;
    model::show_message("Error in reading potentials file", "Error Message");
    return 4;
}

// A first pass over the potential file for the wavenumber-domain potential of every pair of
// every datum (the source's table at the receiver's node; NaN where the datum lacks the pair or
// an electrode has no table or surface node), and from them the pairs' weights; the file is
// then rewound for the Jacobian.
int JacobianRun::compute_pair_weights() {
    const std::size_t n = std::size_t(m.ndata) * datum_pairs * std::size_t(nk);
    PageArray<double> samples(n);
    if (!samples.ok()) {
        no_ram_box(8.0 * double(n));
        return 3;
    }
    for (int i = 0; i < nk; ++i) {
        if (int code = read_potentials()) return code;
        for (int d = 0; d < m.ndata; ++d) {
            const DatumElectrodes e = pick_datum_electrodes(d, electrodes.get(), m.datum_nelec);
            const int pairs[datum_pairs][2] = {
                {e.first, e.second}, {e.first, e.third}, {e.fourth, e.second}, {e.fourth, e.third}};
            for (int q = 0; q < datum_pairs; ++q) {
                const float* t = table(pairs[q][0]);
                const long long node = surface_electrode_node(m, pairs[q][1]);
                samples[(std::size_t(d) * datum_pairs + q) * nk + i] =
                    t && node >= 0 ? double(t[node]) : std::nan("");
            }
        }
    }
    std::rewind(potential_file.get());
    for (std::size_t series = 0; series < n / std::size_t(nk); ++series)
        sensitivity_potential_weights(k, samples.get() + series * nk, nk,
                                      weights.get() + series * nk);
    return 0;
}

// Adds the datum factor x the derivative of the datum's wavenumber-domain potential at
// wavenumber i, with every pair's weight, to each block: with P(e) the potential table of
// electrode e and s(B, A) = -(B, K A) over the block's cells (K the cell terms),
//   s(P(P1), w11 P(C1) - w21 P(C2)) - s(P(P2), w12 P(C1) - w22 P(C2)),
// wXY the weight of pair (CX, PY) at i; the terms of missing electrodes left out. Writes only
// the datum's row of the Jacobian and the worker's source fields.
void JacobianRun::add_datum(int d, int i, double factor, int worker) {
    const ModelSettings& s = m;
    const DatumElectrodes e = pick_datum_electrodes(d, electrodes.get(), s.datum_nelec);
    if (e.count < 2) return;
    const float *c1 = table(e.first), *p1 = table(e.second);
    const float* p2 = e.count > 2 ? table(e.third) : nullptr;
    const float* c2 = e.count == 4 ? table(e.fourth) : nullptr;
    if (!c1 || !p1 || (e.count > 2 && !p2) || (e.count == 4 && !c2)) return;
    const double w11 = weight(d, 0)[i], w12 = weight(d, 1)[i];
    const double w21 = weight(d, 2)[i], w22 = weight(d, 3)[i];
    double* source_p1 = sources.get() + 2 * std::size_t(worker) * std::size_t(nodes());
    double* source_p2 = source_p1 + nodes();
    for (long long n = 0; n < nodes(); ++n) {
        source_p1[n] = w11 * c1[n] - (c2 ? w21 * c2[n] : 0.0);
        source_p2[n] = p2 ? w12 * c1[n] - (c2 ? w22 * c2[n] : 0.0) : 0.0;
    }
    const int nz = s.nz_nodes;
    float* row = jacobian.get() + std::size_t(d) * s.sens_nblocks;
    for (int b = 0; b < s.sens_nblocks; ++b) {
        double sum = 0.0;
        for (int c = s.sens_col_left[b]; c < s.sens_col_right[b]; ++c)
            for (int r = s.sens_row_top[b]; r < s.sens_row_bottom[b]; ++r) {
                const long long node = (long long)(c - 1) * nz + (r - 1); // 0-based top-left
                const long long corner[4] = {node, node + nz, node + 1, node + nz + 1};
                const float* t = terms.get() + ((long long)(c - 1) * (nz - 1) + (r - 1)) * 10;
                // The ten terms are the upper triangle of the symmetric 4 x 4 matrix by rows.
                double kmat[4][4];
                for (int p = 0, q = 0; p < 4; ++p)
                    for (int j = p; j < 4; ++j, ++q)
                        kmat[p][j] = kmat[j][p] = t[q];
                for (int p = 0; p < 4; ++p) {
                    double k1 = 0.0, k2 = 0.0;
                    for (int j = 0; j < 4; ++j) {
                        k1 += kmat[p][j] * source_p1[corner[j]];
                        k2 += kmat[p][j] * source_p2[corner[j]];
                    }
                    sum -= p1[corner[p]] * k1;
                    if (p2) sum += p2[corner[p]] * k2;
                }
            }
        row[b] += float(factor * sum);
    }
}

void JacobianRun::store_electrodes() {
    for (int d = 0; d < m.ndata; ++d) {
        electrodes[4 * d] = m.datum_c1[d], electrodes[4 * d + 1] = m.datum_c2[d];
        electrodes[4 * d + 2] = m.datum_p1[d], electrodes[4 * d + 3] = m.datum_p2[d];
    }
}

// The terms and potentials of wavenumber i, and its part of every datum's row, the data in steps
// shared by the workers with the progress shown between them. Returns 0; 4 after the message of
// a short file; 5 when the user stopped it (the rows are then part-made).
int JacobianRun::wavenumber(int i) {
    const long long nterms = cells() * 10;
    if (read_array_chunked(terms_file.get(), terms.get(), nterms) != nterms) {
        model::show_message("Error in reading coefficients file", "Error Message");
        return 4;
    }
    if (int code = read_potentials()) return code;
    double offset = 1.0;
    if (m.array_type == 10) offset = std::cos(double(k[i]) * m.electrode_offset_ratio);
    if (m.array_type == 8) offset = 1.0 - std::cos(double(k[i]) * m.electrode_offset_ratio);
    const int steps = (m.ndata + data_per_step - 1) / data_per_step;
    const auto step = [&](int worker, int l, const std::atomic<bool>& stop) {
        for (int d = l * data_per_step; d < std::min(m.ndata, (l + 1) * data_per_step); ++d) {
            if (stop.load()) return sys::step_stopped;
            add_datum(d, i, -double(m.datum_gfactor[d]) * one_over_pi * offset, worker);
        }
        return sys::step_done;
    };
    const auto progress = [&](int done) {
        const double fraction = (i + double(done) / std::max(steps, 1)) / nk;
        char text[128];
        std::snprintf(text, sizeof text, "Jacobian calculations - %5.1f%% completed",
                      100.0 * fraction);
        update_status(text, bar(fraction));
    };
    if (!sys::run_steps(steps, workers, step, user_aborted, progress).aborted) return 0;
    model::show_message("The sensitivity calculation stopped by the user.\nNothing was saved.",
                        "Message");
    return 5;
}

// J / (block resistivity x apparent resistivity); a datum without an apparent value keeps 0.
void JacobianRun::normalise() {
    for (int d = 0; d < m.ndata; ++d) {
        float* row = jacobian.get() + std::size_t(d) * m.sens_nblocks;
        const double rho_a = m.app_resistivity[d];
        for (int b = 0; b < m.sens_nblocks; ++b) {
            const double scale = double(m.sens_block_resistivity[b]) * rho_a;
            row[b] = scale != 0.0 && std::isfinite(scale) ? float(row[b] / scale) : 0.0f;
        }
    }
}

// Rewrites the Jacobian file in block order from the matrix in memory.
int resort_jacobian(const ModelSettings& m, const float* jacobian) {
    PageArray<float> column(std::size_t(m.ndata));
    if (!column.ok()) {
        question_box("Insufficient memory for pvall and grtemp", "Memory error");
        return 3;
    }
    sys::AtomicFile out(m.grfile_file);
    bool ok = out.opened();
    for (int b = 0; ok && b < m.sens_nblocks; ++b) {
        for (int d = 0; d < m.ndata; ++d)
            column[d] = jacobian[std::size_t(d) * m.sens_nblocks + b];
        ok = out.write(column.get(), std::size_t(m.ndata) * sizeof(float));
        if (b % 64 == 0 || b == m.sens_nblocks - 1) {
            char text[128];
            std::snprintf(text, sizeof text, "Resorting partial derivatives %d/%d M", b,
                          m.sens_nblocks);
            update_status(text, bar(double(b) / m.sens_nblocks));
        }
    }
    if (ok && out.commit()) return 0;
    beep();
    question_box("File write error in grfile", "File error");
    return 1;
}

void sum_sensitivities(ModelSettings& m, const float* jacobian) {
    for (int b = 0; b < m.sens_nblocks; ++b) {
        double sum = 0.0;
        for (int d = 0; d < m.ndata; ++d)
            sum += std::fabs(jacobian[std::size_t(d) * m.sens_nblocks + b]);
        m.sens_total[b] = float(sum);
        m.sens_unit_area[b] =
            m.sens_block_area[b] != 0.0f ? float(sum / m.sens_block_area[b]) : 0.0f;
    }
}

int compute_resolution(ModelSettings& m) {
    if (int code =
            create_hessian_from_jacobian(m.grfile_file, m.sens_nblocks, m.ndata, m.hessmatrix_file))
        return code;
    update_status("Changing matrix format.", 0);
    if (int code = update_hessian_file(m.hessmatrix_file, m.hessmatrix_row_file, m.sens_nblocks))
        return code;
    update_status("Calculating resolution matrix.", 0);
    const int code = damped_resolution_diagonal(m.sens_nblocks, m.res_damping, m.resolution,
                                                m.hessmatrix_row_file);
    if (code > 0) return 0; // inversion failure: shown, resolution left at zero
    if (code != 0) return code;
    float smallest = m.sens_block_area[0];
    for (int b = 1; b < m.sens_nblocks; ++b)
        smallest = std::min(smallest, m.sens_block_area[b]);
    for (int b = 0; b < m.sens_nblocks; ++b)
        m.resolution_normalized[b] =
            m.sens_block_area[b] != 0.0f ? m.resolution[b] * smallest / m.sens_block_area[b] : 0.0f;
    return 0;
}

} // namespace

int set_sensitivity_block_counts(ModelSettings& m) {
    m.sens_nrows = std::min(m.ngrid_rows, m.nz_nodes - 5);
    if (m.sens_thick_top_rows > 0) m.sens_nrows -= 3;
    m.sens_ncols = m.nelec - 1;
    m.sens_nblocks = m.sens_nrows * m.sens_ncols;
    if (m.sens_nrows > 0 && m.sens_ncols > 0) return 0;
    m.sens_nblocks = 0;
    model::show_message("The model has too few node rows for sensitivity blocks.", "Message");
    return 1;
}

int setup_sensitivity_blocks(ModelSettings& m) {
    if (int code = set_sensitivity_block_counts(m)) return code;
    const int nps = m.nodes_per_spacing, first = m.margin_columns;
    const float x0 = m.node_col_x[first - 1];
    for (int i = 0; i < m.sens_nrows; ++i) {
        int top = 0, bottom = 0;
        block_rows(i, m.sens_thick_top_rows > 0, top, bottom);
        int left = first;
        for (int j = 0; j < m.sens_ncols; ++j) {
            const int b = i * m.sens_ncols + j;
            int lo = left, hi = left + nps;
            if (m.extend_side_blocks == 1 && j == 0) lo = left - nps;
            if (m.extend_side_blocks == 1 && j == m.sens_ncols - 1) hi = lo + 2 * nps;
            m.sens_row_top[b] = top, m.sens_row_bottom[b] = bottom;
            m.sens_col_left[b] = lo, m.sens_col_right[b] = hi;
            double log_sum = 0.0;
            for (int c = lo; c < hi; ++c)
                for (int r = top; r < bottom; ++r)
                    log_sum +=
                        std::log(1.0 / double(m.cell_conductivity[index2d(c, r, m.nx_cells)]));
            m.sens_block_resistivity[b] =
                float(std::exp(log_sum / double((hi - lo) * (bottom - top))));
            const float x = (m.node_col_x[lo - 1] + m.node_col_x[hi - 1]) * 0.5f - x0;
            m.sens_block_x[b] = std::clamp(x, 0.0f, float(m.nelec - 1));
            m.sens_block_z[b] = (m.depth_lines[top - 1] + m.depth_lines[bottom - 1]) * 0.5f;
            m.sens_block_area[b] = (m.depth_lines[bottom - 1] - m.depth_lines[top - 1]) *
                                   (m.node_col_x[hi - 1] - m.node_col_x[lo - 1]);
            m.sens_total[b] = m.sens_unit_area[b] = 0.0f;
            m.resolution[b] = m.resolution_normalized[b] = 0.0f;
            left = hi;
        }
    }
    return 0;
}

void set_datum_electrode_positions(ModelSettings& m) {
    for (int d = 0; d < m.ndata; ++d) {
        m.c1_x[d] = float(m.datum_c1[d] - 1) * m.unit_spacing;
        m.c2_x[d] = float(m.datum_c2[d] - 1) * m.unit_spacing;
        m.p1_x[d] = float(m.datum_p1[d] - 1) * m.unit_spacing;
        m.p2_x[d] = float(m.datum_p2[d] - 1) * m.unit_spacing;
        m.c1_z[d] = m.c2_z[d] = m.p1_z[d] = m.p2_z[d] = 0.0f;
    }
}

int read_sensitivity_wavenumbers(const char* path, float* k, int& nk) {
    File file(std::fopen(path, "rb"));
    if (!file) {
        open_error(path);
        return 1;
    }
    std::int32_t count = 0;
    if (std::fread(&count, 4, 1, file.get()) != 1) return 2;
    nk = count;
    if (nk < 1 || nk > max_sensitivity_wavenumbers) return 2;
    return read_array_chunked(file.get(), k, nk) == nk ? 0 : 2;
}

void sensitivity_wavenumber_weights(const float* k, int nk, double* w) {
    if (nk == 1) {
        w[0] = k[0];
        return;
    }
    w[0] = double(k[0]) + 0.5 * (double(k[1]) - k[0]);
    for (int i = 1; i < nk - 1; ++i)
        w[i] = 0.5 * (double(k[i + 1]) - k[i - 1]);
    w[nk - 1] = 0.5 * (double(k[nk - 1]) - k[nk - 2]);
}

void sensitivity_potential_weights(const float* k, const double* v, int nk, double* w) {
    sensitivity_wavenumber_weights(k, nk, w);
    if (nk < 2 || nk > max_sensitivity_wavenumbers) return;
    // The integral is odd in v: negative potentials have the weights of their negation.
    double kd[max_sensitivity_wavenumbers], s[max_sensitivity_wavenumbers];
    const double sign = v[0] < 0.0 ? -1.0 : 1.0;
    for (int i = 0; i < nk; ++i) {
        kd[i] = k[i], s[i] = sign * v[i];
        if (!std::isfinite(s[i])) return;
    }
    if (!(s[0] > 0.0)) return;
    const int n = count_significant_dbl(nk, s);
    // Near a flat end the exponential end's integral, v / decay, has no bound.
    if (n < 2 || !(s[n - 1] > 0.0) || !(s[n - 2] > s[n - 1] * (1.0 + 1e-4))) return;
    double d[max_sensitivity_wavenumbers];
    for (int i = 0; i < n; ++i) {
        // Central differences: the integral is smooth in each falling sample.
        const double keep = s[i], h = 1e-6 * std::fabs(keep);
        if (!(h > 0.0)) return;
        s[i] = keep + h;
        const double up = fd::potential_integral(kd, s, n, 4);
        s[i] = keep - h;
        const double down = fd::potential_integral(kd, s, n, 4);
        s[i] = keep;
        d[i] = (up - down) / (2.0 * h);
        if (!std::isfinite(d[i])) return;
    }
    for (int i = 0; i < nk; ++i)
        w[i] = i < n ? d[i] : 0.0;
}

int calculate_sensitivity_resolution(ModelSettings& m) {
    // The blocks are laid out anew and their sums zeroed: the values of an earlier run are gone,
    // whatever stops this one.
    m.sens_values_ready = 0;
    if (int code = setup_sensitivity_blocks(m)) return code;
    set_datum_electrode_positions(m);
    JacobianRun run(m);
    if (int code = run.open()) return code;
    if (int code = run.allocate()) return code;
    run.store_electrodes();
    if (int code = run.compute_pair_weights()) return code;
    for (int i = 0; i < run.nk; ++i)
        if (int code = run.wavenumber(i)) return code;
    run.normalise();
    run.terms.release();
    run.potentials.release();

    update_status("Saving Jacobian", Statuswind.bar_width);
    if (int code =
            save_jacobian_matrix_file(m.grfile_file, run.jacobian.get(), m.ndata, m.sens_nblocks))
        return code;
    if (m.calc_resolution == 1) m.jacobian_by_datum = 0;
    if (m.jacobian_by_datum == 0)
        if (int code = resort_jacobian(m, run.jacobian.get())) return code;
    sum_sensitivities(m, run.jacobian.get());
    m.sens_values_ready = 1;
    run.jacobian.release();
    if (m.calc_resolution == 1) return compute_resolution(m);
    return 0;
}

int damped_resolution_diagonal(int n, float damping, float* result, const char* hessian_row_path) {
    for (int i = 0; i < n; ++i)
        result[i] = 0.0f;
    const std::size_t size = mx::packed_size(n) + 1;
    PageArray<double> h(size), inverse(size);
    if (!h.ok() || !inverse.ok()) {
        question_box("Insufficient memory for model resolution calculation.", "Memory error");
        return packed_no_memory;
    }
    if (int code = read_hessian_file(hessian_row_path, h.get(), n)) return code;
    std::copy(h.get(), h.get() + size, inverse.get());
    add_damping_to_packed_diagonal(n, damping, inverse.get());
    const int code = invert_packed_symmetric(n, inverse.get());
    if (code == packed_no_memory) {
        question_box("Insufficient memory for model resolution calculation.", "Memory error");
        return code;
    }
    if (code != 0) {
        char text[128];
        std::snprintf(text, sizeof text, "Inversion error %d.\nDamping factor %.4f", code,
                      double(damping));
        model::show_message(text, "Message");
        return code;
    }
    packed_symmetric_product_diagonal(result, inverse.get(), h.get(), n);
    return 0;
}

int save_jacobian_matrix_file(const char* path, const float* values, long long rows,
                              long long columns) {
    char text[700];
    sys::AtomicFile out(path);
    if (!out.opened()) {
        std::snprintf(text, sizeof text, "Error in creating Jacobian matrix file %s.", path);
        beep();
        update_status(text, 0);
        return 2;
    }
    const long long expected = rows * columns;
    long long written = 0;
    for (long long offset = 0; offset < expected; offset += array_chunk_values) {
        const long long count = std::min<long long>(array_chunk_values, expected - offset);
        if (!out.write(values + offset, std::size_t(count) * sizeof(float))) break;
        written += count;
    }
    if (written == expected && out.commit()) return 0;
    std::snprintf(text, sizeof text, "Error in saving Jacobian matrix file %s. %lld/%lld", path,
                  written, expected);
    beep();
    update_status(text, 0);
    return 1;
}

// Electrode-position Jacobian.
#include "sensitivity/electrode_jacobian.h"

#include "matrix/chunkfile.h"
#include "model/globals.h"
#include "model/result_check.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/sys.h"
#include "sensitivity/block_sensitivity.h"
#include "sensitivity/datum_fields.h"
#include "sensitivity/jacobian_transform.h"
#include "sensitivity/sensitivity_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using sys::PageArray;

namespace {

using sys::File;

constexpr int stencil = 9;
constexpr int terms_per_element = 10;

void message(const char* text) {
    model::show_message(text, "Message");
}

void error_box(const char* text) {
    model::show_message(text, "Error Message");
}

// Coefficients of position p in one component block, and the count of all positions.
long long position_count(const ModelSettings& s, int p) {
    int first = 0, last = 0;
    shift_column_range(s, p, first, last);
    return (long long)(s.nz_nodes - 1) * (last - first + 1) * terms_per_element;
}

long long component_count(const ModelSettings& s) {
    long long m = 0;
    for (int p = 0; p < s.n_elec_positions; ++p)
        m += position_count(s, p);
    return m;
}

// Stencil slot of the neighbour at column offset dc and row offset dr (-1..1 each).
int slot(int dc, int dr) {
    return (dc + 1) * 3 + (dr + 1);
}

// The shift matrix in the trace log, node by node with the sum of its entries.
void trace_shift_matrix(const ModelSettings& s, const float* shift) {
    if (Printtrace.active != 1) return;
    model::trace("Capacitence matrix shift values\n");
    const long long nodes = (long long)s.nx_nodes * s.nz_nodes;
    double total = 0.0;
    for (long long n = 0; n < nodes; ++n) {
        std::string line;
        model::appendf(line, "%5lld ", n + 1);
        double sum = 0.0;
        for (int e = 0; e < stencil; ++e) {
            const double v = shift[n * stencil + e];
            model::appendf(line, "%12.4e ", v);
            sum += v;
        }
        model::trace("%s sum=%12.4e\n", line.c_str(), sum);
        total += sum;
    }
    model::trace("Total sum=%12.4e\n", total);
}

// The lines of position p in the dump: each column of derivatives against its own largest value.
void dump_position(std::string& file, const ModelSettings& s, int p, const float* jx,
                   const float* jz) {
    const int n = s.ndata;
    const double x_scale = model::largest_size(jx, std::size_t(n));
    const double z_scale = model::largest_size(jz, std::size_t(n));
    if (s.array_type != 4) {
        model::appendf(file, "Electrode position %d\n  i   gtemp-x  gtemp-z\n", p + 1);
        for (int d = 0; d < n; ++d) {
            model::appendf(file, "%4d", d + 1);
            model::append_scaled_values(file, " %10.5f", {double(jx[d])}, x_scale);
            model::append_scaled_values(file, " %10.5f\n", {double(jz[d])}, z_scale);
        }
        return;
    }
    model::appendf(
        file, "Electrode shifted position %d\n  i     xc1    xp1    gtemp-x    gtemp-z\n", p + 2);
    std::vector<double> factor(std::size_t(std::max(n, 0)));
    double x_per_g = 0.0, z_per_g = 0.0;
    for (int d = 0; d < n; ++d) {
        factor[std::size_t(d)] = 6.283185 * std::fabs(double(s.p1_x[d]) - s.c1_x[d]);
        x_per_g = std::max(x_per_g, std::fabs(double(jx[d]) / factor[std::size_t(d)]));
        z_per_g = std::max(z_per_g, std::fabs(double(jz[d]) / factor[std::size_t(d)]));
    }
    for (int d = 0; d < n; ++d) {
        const double g = factor[std::size_t(d)];
        model::appendf(file, "%4d %6.1f %6.1f", d + 1, double(s.c1_x[d]), double(s.p1_x[d]));
        model::append_scaled_values(file, " %10.5f", {double(jx[d])}, x_scale);
        model::append_scaled_values(file, " %10.5f", {double(jz[d])}, z_scale);
        model::append_scaled_values(file, " %10.5f", {double(jx[d]) / g}, x_per_g);
        model::append_scaled_values(file, " %10.5f\n", {double(jz[d]) / g}, z_per_g);
    }
}

void write_dump(const ModelSettings& s, const float* jacobian, double seconds) {
    std::string file;
    const int n = s.ndata, positions = s.n_elec_positions;
    model::ResultValues values;
    model::appendf(file, "Jacobian of apprent resistivity wrt x and z electrode positions\n");
    for (int p = 0; p < positions; ++p) {
        const float* jx = jacobian + (long long)p * n;
        const float* jz = jacobian + (long long)(positions + p) * n;
        values.add(jx, std::size_t(n)).add(jz, std::size_t(n));
        dump_position(file, s, p, jx, jz);
    }
    model::appendf(file, "Number of coefs cols used %d out of %d.\nTime taken %.2f\n",
                   s.coefs_cols_used, s.nx_nodes * positions, seconds);
    if (!values.writable("electrode position derivatives")) return;
    if (!sys::save_file(s.dump_file, file)) {
        char text[600];
        std::snprintf(text, sizeof text, "Error in creating file\n%s", s.dump_file);
        model::show_message(text, "Error Message");
    }
}

// Everything the command holds while it runs.
struct PositionRun {
    ModelSettings& s;
    int nk = 0;
    float k[max_sensitivity_wavenumbers] = {};
    File coefficients_file, potential_file;
    PageArray<float> coefficients, potentials, spectrum, jacobian;
    PageArray<std::int32_t> electrodes;
    long long m = 0, block = 0;

    explicit PositionRun(ModelSettings& settings) : s(settings) {}
    int wavenumber(int i);
    int read_component(int i, float* into);
};

int PositionRun::read_component(int i, float* into) {
    const long long got = read_array_chunked(coefficients_file.get(), coefficients.get(), m);
    if (got < m) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "Error in reading coefficients file for wave %d\niread %lld expected %lld\n"
                      "number electrodes %d l1 %d n1 %d",
                      i + 1, got, m, s.n_elec_positions, s.nx_nodes - 1, s.nz_nodes - 1);
        error_box(text);
        return 1;
    }
    if (gradfemd2d_trap_elecs(s, potentials.get(), coefficients.get(), k[i],
                              s.electrode_offset_ratio, s.array_type, s.ndata, electrodes.get(),
                              s.datum_gfactor, s.datum_nelec, s.jacob_electrode, into)) {
        model::show_message("Insufficient memory for the electrode position Jacobian.", "Message");
        return 1;
    }
    return 0;
}

int PositionRun::wavenumber(int i) {
    char text[128];
    std::snprintf(text, sizeof text, "Jacobian calculations - %5.1f%% completed", 100.0 * i / nk);
    update_status(text, round_to_int(float(double(i) / nk * Statuswind.bar_width)));
    const long long table = (long long)s.npot_electrodes * s.nx_nodes * s.nz_nodes;
    if (read_array_chunked(potential_file.get(), potentials.get(), table) < table) {
        error_box("Error in reading potentials file");
        return 1;
    }
    float* x_part = spectrum.get() + i * block;
    if (int code = read_component(i, x_part)) return code;
    return read_component(i, x_part + block / 2);
}

} // namespace

void shift_column_range(const ModelSettings& s, int p, int& first, int& last) {
    first = s.jacob_elec_a[p] - 1;
    last = s.jacob_elec_b[p] + 1;
}

void assemble_shift_matrix(const ModelSettings& s, int p, const float* coefficients, float* shift) {
    const int nx = s.nx_nodes, nz = s.nz_nodes;
    for (long long i = 0; i < (long long)nx * nz * stencil; ++i)
        shift[i] = 0.0f;
    int first = 0, last = 0;
    shift_column_range(s, p, first, last);
    int counter = 0;
    for (int c = first; c <= last; ++c)
        for (int r = 1; r <= nz - 1; ++r, counter += terms_per_element) {
            if (c < 1 || c > nx - 1) continue;
            const float* t = coefficients + counter;
            const int col[4] = {c, c + 1, c, c + 1}, row[4] = {r, r, r + 1, r + 1};
            for (int a = 0, q = 0; a < 4; ++a)
                for (int b = a; b < 4; ++b, ++q) {
                    const long long na = (long long)(col[a] - 1) * nz + (row[a] - 1);
                    const long long nb = (long long)(col[b] - 1) * nz + (row[b] - 1);
                    shift[na * stencil + slot(col[b] - col[a], row[b] - row[a])] += t[q];
                    if (a != b)
                        shift[nb * stencil + slot(col[a] - col[b], row[a] - row[b])] += t[q];
                }
        }
}

float gradelec_sum(float factor, const ModelSettings& s, int p, const float* shift,
                   const double* field_a, const double* field_b) {
    const int nx = s.nx_nodes, nz = s.nz_nodes;
    int first = 0, last = 0;
    shift_column_range(s, p, first, last);
    double total = 0.0;
    for (int c = std::max(first - 1, 1); c <= std::min(last + 1, nx); ++c)
        for (int r = 1; r <= nz; ++r) {
            const long long n = (long long)(c - 1) * nz + (r - 1);
            double sum = 0.0;
            for (int dc = -1; dc <= 1; ++dc)
                for (int dr = -1; dr <= 1; ++dr) {
                    const int cc = c + dc, rr = r + dr;
                    if (cc < 1 || cc > nx || rr < 1 || rr > nz) continue;
                    sum += shift[n * stencil + slot(dc, dr)] *
                           field_a[(long long)(cc - 1) * nz + (rr - 1)];
                }
            total += sum * field_b[n];
        }
    model::trace("gradelec %3d %4d %4d %12.4e\n", p, first, last, total);
    return float(double(factor) * total);
}

int gradfemd2d_trap_elecs(ModelSettings& s, const float* potentials, const float* coefficients,
                          float k, float offset_ratio, int array_type, int n,
                          const std::int32_t* electrodes, const float* gfactors,
                          const std::int32_t* datum_nelec, const std::int64_t* pot_index,
                          float* output) {
    model::trace("gradfemd2d_trap_elecs\n");
    s.grad_param_a = stencil;
    const long long nodes = (long long)s.nx_nodes * s.nz_nodes;
    PageArray<std::int32_t> c1(std::size_t(n) + 1), c2(std::size_t(n) + 1), p1(std::size_t(n) + 1),
        p2(std::size_t(n) + 1);
    PageArray<float> factor(std::size_t(n) + 1), shift(std::size_t(nodes * stencil));
    PageArray<double> field_a{std::size_t(nodes)}, field_b{std::size_t(nodes)};
    if (!c1.ok() || !c2.ok() || !p1.ok() || !p2.ok() || !factor.ok() || !shift.ok() ||
        !field_a.ok() || !field_b.ok())
        return 1;
    collect_datum_electrodes(n, electrodes, gfactors, false, false, 0.0f, c1.get(), c2.get(),
                             p1.get(), p2.get(), factor.get());
    const double kr = double(k) * offset_ratio;
    const double w = array_type == 10 ? std::cos(kr) : 1.0 - std::cos(kr);
    const bool offset = array_type == 8 || array_type == 10;
    const float* part = coefficients;
    for (int p = 0; p < s.n_elec_positions; ++p) {
        assemble_shift_matrix(s, p, part, shift.get());
        if (p == 1) trace_shift_matrix(s, shift.get()); // the second position's, once a matrix
        for (int d = 0; d < n; ++d) {
            const DatumElectrodes e = pick_datum_electrodes(d, electrodes, datum_nelec);
            if (!form_datum_fields(e, potentials, pot_index, s.npot_electrodes, nodes,
                                   field_a.get(), field_b.get()))
                continue;
            const float f = offset ? float(factor[d] * w) : factor[d];
            output[(long long)p * n + d] +=
                gradelec_sum(f, s, p, shift.get(), field_a.get(), field_b.get());
        }
        part += position_count(s, p);
    }
    return 0;
}

void Calculate_Jacobian_Elec_Position(int& view_result, ModelSettings& s) {
    view_result = 5270;
    if (!sensitivity_potentials_ready(s) || !sensitivity_data_ready(s)) return;
    const int n = s.ndata, positions = s.n_elec_positions;
    model::trace("Calculate_Jacobian_Elec_Position for %d data points and %d electrode positions\n",
                 n, positions);
    if (set_sensitivity_block_counts(s)) return;
    PositionRun run(s);
    model::trace("Reading wave numbers file %s\n", s.fourier_values_file);
    if (read_sensitivity_wavenumbers(s.fourier_values_file, run.k, run.nk)) return;
    model::trace("Wave numbers\n");
    for (int i = 0; i < run.nk; ++i)
        model::trace("%d %9.5f\n", i, double(run.k[i]));

    model::trace("Setting electrode numbers\n");
    if (!run.electrodes.allocate(4 * std::size_t(n))) {
        model::show_message("Insufficient memory for the electrode position Jacobian.", "Message");
        return;
    }
    for (int d = 0; d < n; ++d) {
        run.electrodes[4 * d] = s.datum_c1[d], run.electrodes[4 * d + 1] = s.datum_c2[d];
        run.electrodes[4 * d + 2] = s.datum_p1[d], run.electrodes[4 * d + 3] = s.datum_p2[d];
    }
    set_datum_electrode_positions(s);

    for (auto [file, path] :
         {std::pair<File*, const char*>{&run.coefficients_file, s.jacob_elec_positions_file},
          {&run.potential_file, s.grfinite_file}}) {
        model::trace("Opening %s file\n", path);
        file->reset(std::fopen(path, "rb"));
        if (!*file) {
            char text[600];
            std::snprintf(text, sizeof text, "Error in opening file\n%s", path);
            error_box(text);
            return;
        }
    }
    run.m = component_count(s);
    run.block = 2LL * positions * n;
    const long long table = (long long)s.npot_electrodes * s.nx_nodes * s.nz_nodes;
    if (!run.coefficients.allocate(std::size_t(run.m)) ||
        !run.potentials.allocate(std::size_t(table)) ||
        !run.spectrum.allocate(std::size_t(run.nk * run.block + 1)) ||
        !run.jacobian.allocate(std::size_t(run.block + 1))) {
        model::show_message("Insufficient memory for the electrode position Jacobian.", "Message");
        return;
    }
    const std::uint32_t start = sys::tick_count_ms();
    for (int i = 0; i < run.nk; ++i)
        if (run.wavenumber(i)) return;
    run.coefficients_file.reset();
    run.potential_file.reset();
    model::trace("Completed Jacobian calculations\n");
    Inverse_Fourier_Transform_Jacobian_X_Z(s, run.nk, run.k, run.spectrum.get(),
                                           run.jacobian.get());

    const double seconds = double(sys::tick_count_ms() - start) * 0.001;
    char text[256];
    std::snprintf(text, sizeof text,
                  "Calculated Jacobian for %d data points for change in %d electrode position.\n"
                  "Time taken %.2f s.",
                  n, positions, seconds);
    message(text);
    write_dump(s, run.jacobian.get(), seconds);
    update_status("Saving Jacobian for electrodes positions", Statuswind.bar_width);
    save_jacobian_matrix_file(s.grfile_elec_file, run.jacobian.get(), 2LL * positions, n);
}

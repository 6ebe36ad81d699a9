// The Jacobian mode of the double-precision complex solver: its small routines, the test survey
// and blocks, the work files of every wavenumber and the two reports.
#include "ipsolve/jacobian.h"

#include "fesolve/element.h"
#include "fesolve/solver_common.h"
#include "ipsolve/ipsolve.h"
#include "matrix/chunkfile.h"
#include "model/services.h"
#include "model/utilities.h"

#include <cmath>
#include <complex>
#include <cstdio>

namespace {

constexpr double inverse_pi = 0.3183098861837907;
constexpr double two_pi = 6.283185307179586;

template <class T>
void gather(int kind, const T* records, int neq, int c1, int c2, int p1, int p2, T* gc_re, T* gc_im,
            T* gp_re, T* gp_im) {
    auto re = [&](int e) { return records + std::size_t(e - 1) * 2 * neq; };
    auto im = [&](int e) { return re(e) + neq; };
    for (int v = 0; v < neq; ++v) {
        gc_re[v] = re(c1)[v];
        gc_im[v] = im(c1)[v];
        gp_re[v] = re(p1)[v];
        gp_im[v] = im(p1)[v];
        if (kind != 2) {
            gp_re[v] -= re(p2)[v];
            gp_im[v] -= im(p2)[v];
        }
        if (kind != 2 && kind != 3) {
            gc_re[v] -= re(c2)[v];
            gc_im[v] -= im(c2)[v];
        }
    }
}

template <class T>
void sensitivity(const T* gc_re, const T* gc_im, const T* gp_re, const T* gp_im,
                 const double* terms, int nz, int c0, int c1, int r0, int r1, double* s_re,
                 double* s_im) {
    double sum_re = 0, sum_im = 0;
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r) {
            const double* k = terms + 10 * (std::size_t(c - 1) * (nz - 1) + (r - 1));
            const int node[4] = {(c - 1) * nz + r - 1, c * nz + r - 1, (c - 1) * nz + r,
                                 c * nz + r};
            for (int a = 0; a < 4; ++a)
                for (int b = 0; b < 4; ++b) {
                    const double kab = k[quad_term_index(a + 1, b + 1)];
                    const double cr = gc_re[node[a]], ci = gc_im[node[a]];
                    const double pr = gp_re[node[b]], pi = gp_im[node[b]];
                    sum_re += kab * (cr * pr - ci * pi);
                    sum_im += kab * (cr * pi + ci * pr);
                }
        }
    *s_re = sum_re * inverse_pi;
    *s_im = sum_im * inverse_pi;
}

} // namespace

long long write_float_array_chunked(std::FILE* stream, const float* values, long long n) {
    return write_array_chunked(stream, values, n);
}

double log_mean_segment(double dk, double a, double b) {
    if ((a > 0 && b > 0 && a > 1.01 * b) || (a < 0 && b < 0 && std::fabs(a) > 1.01 * std::fabs(b)))
        return dk * (a - b) / std::log(a / b);
    return 0.5 * dk * (a + b);
}

void gather_pair_values_dbl(int kind, const double* records, int neq, int c1, int c2, int p1,
                            int p2, double* gc_re, double* gc_im, double* gp_re, double* gp_im) {
    gather(kind, records, neq, c1, c2, p1, p2, gc_re, gc_im, gp_re, gp_im);
}
void gather_pair_values_flt(int kind, const float* records, int neq, int c1, int c2, int p1, int p2,
                            float* gc_re, float* gc_im, float* gp_re, float* gp_im) {
    gather(kind, records, neq, c1, c2, p1, p2, gc_re, gc_im, gp_re, gp_im);
}

void cell_sensitivity_dbl(const double* gc_re, const double* gc_im, const double* gp_re,
                          const double* gp_im, const double* terms, int nz, int c0, int c1, int r0,
                          int r1, double* s_re, double* s_im) {
    sensitivity(gc_re, gc_im, gp_re, gp_im, terms, nz, c0, c1, r0, r1, s_re, s_im);
}
void cell_sensitivity_flt(const float* gc_re, const float* gc_im, const float* gp_re,
                          const float* gp_im, const double* terms, int nz, int c0, int c1, int r0,
                          int r1, double* s_re, double* s_im) {
    sensitivity(gc_re, gc_im, gp_re, gp_im, terms, nz, c0, c1, r0, r1, s_re, s_im);
}

namespace {

// Reads exactly `count` values of a file written with that many; false on any shortfall.
template <class T>
bool read_file(const std::string& path, std::vector<T>& values, std::size_t count) {
    values.resize(count);
    return read_file_exactly(path, values.data(), count * sizeof(T));
}

bool write_floats(const std::string& path, const std::vector<float>& values) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const long long n = (long long)values.size();
    const bool ok = write_float_array_chunked(f, values.data(), n) == n;
    return std::fclose(f) == 0 && ok;
}

} // namespace

int roll_green_function_files(const std::string& running, const std::string& previous,
                              const std::string& current, int w, const float* k, long long count,
                              std::string* failed) {
    auto fail = [failed](const std::string& path) {
        if (failed) *failed = path;
        return 1;
    };
    std::vector<float> sum, prev, curr;
    if (w == 0) {
        std::remove(previous.c_str());
        if (std::rename(current.c_str(), previous.c_str()) != 0) return fail(current);
        if (!read_file(previous, sum, std::size_t(count))) return fail(previous);
        for (float& v : sum)
            v *= k[0];
    } else {
        if (!read_file(running, sum, std::size_t(count))) return fail(running);
        if (!read_file(previous, prev, std::size_t(count))) return fail(previous);
        if (!read_file(current, curr, std::size_t(count))) return fail(current);
        const double dk = double(k[w]) - double(k[w - 1]);
        for (std::size_t i = 0; i < sum.size(); ++i)
            sum[i] = float(sum[i] + log_mean_segment(dk, prev[i], curr[i]));
        std::remove(previous.c_str());
        if (std::rename(current.c_str(), previous.c_str()) != 0) return fail(current);
    }
    return write_floats(running, sum) ? 0 : fail(running);
}

void trapezoid_weights_flt(int n, const float* x, float* w) {
    if (n <= 0) return;
    if (n == 1) {
        w[0] = x[0];
        return;
    }
    w[0] = x[0] + 0.5f * (x[1] - x[0]);
    for (int i = 1; i + 1 < n; ++i)
        w[i] = 0.5f * (x[i + 1] - x[i - 1]);
    w[n - 1] = 0.5f * (x[n - 1] - x[n - 2]);
}

void config_node_range(const int* node, const int* last, int e, int* first_e, int* last_e,
                       int* first_next, int* last_next) {
    *first_e = node[e - 1];
    *last_e = e == 1 ? 1 : last[e - 1];
    *first_next = node[e];
    *last_next = last[e];
}

namespace ip {

namespace {

const char* const file_names[5] = {"coefs_fem.bin", "ptempf.bin", "gtempf.bin", "gtemp_prev.bin",
                                   "gtemp_curr.bin"};
enum { coefs_file, solutions_file, running_file, previous_file, current_file };

const char* const section_titles[13] = {
    "Real Jacobian\nDat C1 C2 P1 P2",
    "Imaginary Jacobian\nDat C1 C2 P1 P2",
    "Real Jacobian wrt resistivity\nDat C1 C2 P1 P2",
    "Imaginary Jacobian wrt resistivity\nDat C1 C2 P1 P2",
    "Real Jacobian wrt chargeability\nDat C1 C2 P1 P2",
    "Imaginary Jacobian wrt chargeability\nDat C1 C2 P1 P2",
    "App resis wrt resistivity\nDat ",
    "Log app resis wrt log resistivity\nDat ",
    "App resis wrt chargeability\nDat C1 C2 P1 P2",
    "Log App resis wrt chargeability\nDat C1 C2 P1 P2",
    "Apparent Chargeability wrt resistivity\nDat C1 C2 P1 P2",
    "Apparent Chargeability wrt log resistivity\nDat C1 C2 P1 P2",
    "Apparent Chargeability Jacobian wrt chargeability\nDat C1 C2 P1 P2"};

long long file_size(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    const long long size = std::ftell(f);
    std::fclose(f);
    return size;
}

} // namespace

} // namespace ip

int accumulate_jacobian_files(const std::string& folder, const ip::JacobianTables& t, int nz,
                              int ncells, int neq, int np, int w, const float* k,
                              const char* progress, int bar, std::string* failed) {
    using namespace ip;
    auto fail = [failed](int code, const std::string& path) {
        if (failed) *failed = path;
        return code;
    };
    std::vector<double> terms, records;
    const std::string terms_path = folder + file_names[coefs_file];
    const std::string solutions_path = folder + file_names[solutions_file];
    if (!read_file(terms_path, terms, std::size_t(ncells) * 10)) return fail(1, terms_path);
    if (!read_file(solutions_path, records, std::size_t(np) * 2 * neq))
        return fail(1, solutions_path);
    const std::size_t block_values = std::size_t(t.ndata) * t.nblocks;
    std::vector<float> current(2 * block_values);
    std::vector<double> gc_re(neq), gc_im(neq), gp_re(neq), gp_im(neq);
    char text[2200];
    for (int d = 0; d < t.ndata; ++d) {
        if (d % 16 == 0) {
            std::snprintf(text, sizeof text, "%s J%d/%d", progress, d + 1, t.ndata);
            update_status(text, bar);
        }
        gather_pair_values_dbl(2, records.data(), neq, t.c1[d], 0, t.p1[d], 0, gc_re.data(),
                               gc_im.data(), gp_re.data(), gp_im.data());
        for (int b = 0; b < t.nblocks; ++b) {
            double s_re = 0, s_im = 0;
            cell_sensitivity_dbl(gc_re.data(), gc_im.data(), gp_re.data(), gp_im.data(),
                                 terms.data(), nz, t.col0[b], t.col1[b], t.row0[b], t.row1[b],
                                 &s_re, &s_im);
            current[std::size_t(d) * t.nblocks + b] = float(s_re);
            current[block_values + std::size_t(d) * t.nblocks + b] = float(s_im);
        }
    }
    const std::string current_path = folder + file_names[current_file];
    if (!write_floats(current_path, current)) return fail(2, current_path);
    std::string rolled;
    if (roll_green_function_files(folder + file_names[running_file],
                                  folder + file_names[previous_file], current_path, w, k,
                                  (long long)current.size(), &rolled) != 0)
        return fail(2, rolled);
    return 0;
}

namespace ip {

JacobianMode::JacobianMode(const Inputs& in, int neq, int np, const float* k, int nw)
    : in_(in), neq_(neq), np_(np), nw_(nw), k_(k) {}

JacobianMode::~JacobianMode() {
    for (std::FILE* f : {terms_, solutions_})
        if (f) std::fclose(f);
    for (const char* name : file_names)
        std::remove(path(name).c_str());
}

std::string JacobianMode::path(const char* name) const {
    return std::string(in_.jacobian_folder ? in_.jacobian_folder : "") + name;
}

model::SolverResult JacobianMode::create_error(const std::string& p) const {
    return fe::report_error(model::SolverStatus::file,
                            "There has been an error in creating\nthe file %s.", p.c_str());
}

model::SolverResult JacobianMode::start() {
    // Layers between these node rows, the last bound the bottom of the mesh.
    const int bounds[8] = {1, 4, 6, 7, 8, 9, 10, in_.nz};
    if (in_.nz < 11 || in_.nelec < 2)
        return fe::report_error(model::SolverStatus::bad_input,
                                "The Jacobian test blocks need %d node rows and %d\nsurface "
                                "electrodes at least.",
                                11, 2);
    JacobianTables& t = tables_;
    for (int a = 1; a <= 4; ++a)
        for (int n = 1; n <= in_.nelec - a; ++n) {
            t.c1.push_back(n);
            t.p1.push_back(n + a);
            t.g.push_back(6.283185 * a);
        }
    t.ndata = int(t.c1.size());
    t.blocks_per_layer = in_.nelec - 1;
    for (int layer = 0; layer < 6; ++layer)
        for (int j = 0; j < t.blocks_per_layer; ++j) {
            t.col0.push_back(in_.margin_columns + j * in_.nodes_per_spacing);
            t.col1.push_back(in_.margin_columns + (j + 1) * in_.nodes_per_spacing - 1);
            t.row0.push_back(bounds[layer]);
            t.row1.push_back(bounds[layer + 1] - 1);
        }
    t.nblocks = int(t.col0.size());
    t.block_rho.assign(t.nblocks, 25.0);
    t.block_m.assign(t.nblocks, 0.12);
    const int cells = (in_.nx - 1) * (in_.nz - 1);
    bool re_varies = false, im_varies = false;
    for (int c = 0; c < cells; ++c) {
        re_varies = re_varies || std::fabs(in_.sigma_re[c] - in_.sigma_re[0]) > 0.0001f;
        im_varies = im_varies || std::fabs(in_.sigma_im[c] - in_.sigma_im[0]) > 0.0001f;
    }
    if (re_varies) t.block_rho[3] = 30.0;
    if (im_varies) t.block_m[3] = 0.17;
    return {};
}

model::SolverResult JacobianMode::write_terms(const double* terms, int ncells) {
    const std::string p = path(file_names[coefs_file]);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) return create_error(p);
    const std::size_t count = std::size_t(ncells) * 10;
    const bool ok = std::fwrite(terms, sizeof(double), count, f) == count;
    if (std::fclose(f) != 0 || !ok)
        return fe::report_error(model::SolverStatus::file, "Error in writing file\n%s", p.c_str());
    return {};
}

model::SolverResult JacobianMode::write_solution(const double* re, const double* im) {
    const std::string p = path(file_names[solutions_file]);
    if (solutions_written_ == 0 || !solutions_) {
        if (solutions_) std::fclose(solutions_);
        solutions_ = std::fopen(p.c_str(), "wb");
        if (!solutions_) return create_error(p);
    }
    const std::size_t n = std::size_t(neq_);
    if (std::fwrite(re, sizeof(double), n, solutions_) != n ||
        std::fwrite(im, sizeof(double), n, solutions_) != n)
        return fe::report_error(model::SolverStatus::file, "Error in writing file\n%s", p.c_str());
    ++solutions_written_;
    return {};
}

model::SolverResult JacobianMode::accumulate(int w, const char* progress, int bar) {
    const std::string solutions_path = path(file_names[solutions_file]);
    const bool closed = solutions_ && std::fclose(solutions_) == 0;
    solutions_ = nullptr;
    const int written = solutions_written_;
    solutions_written_ = 0;
    if (!closed || written != np_)
        return fe::report_error(model::SolverStatus::file, "Error in writing file\n%s",
                                solutions_path.c_str());
    std::string failed;
    const int code =
        accumulate_jacobian_files(path(""), tables_, in_.nz, (in_.nx - 1) * (in_.nz - 1), neq_, np_,
                                  w, k_, progress, bar, &failed);
    if (code == 1)
        return fe::report_error(model::SolverStatus::file, "Error in reading file\n%s",
                                failed.c_str());
    if (code != 0) return create_error(failed);
    return {};
}

model::SolverResult JacobianMode::finish(const double* t_re, const double* t_im, int lead,
                                         const float* electrode_x) {
    JacobianTables& t = tables_;
    const std::size_t block_values = std::size_t(t.ndata) * t.nblocks;
    std::vector<float> integral;
    const std::string running = path(file_names[running_file]);
    if (!read_file(running, integral, 2 * block_values))
        return fe::report_error(model::SolverStatus::file, "Error in reading file\n%s",
                                running.c_str());
    for (auto& s : t.section)
        s.assign(block_values, 0.0);
    t.rho_a.assign(t.ndata, 0.0);
    t.m_a.assign(t.ndata, 0.0);
    using C = std::complex<double>;
    for (int d = 0; d < t.ndata; ++d) {
        const std::size_t at = std::size_t(index2d(t.c1[d], t.p1[d], lead));
        const C v(t_re[at], t_im[at]);
        const double g = t.g[d], rho_a = g * v.real(), m_a = 1000.0 * v.imag() / v.real();
        t.rho_a[d] = rho_a;
        t.m_a[d] = m_a;
        // d(m_a) for a change dv of the datum's potential.
        auto d_ma = [&v](C dv) {
            return 1000.0 * (dv.imag() * v.real() - v.imag() * dv.real()) / (v.real() * v.real());
        };
        for (int b = 0; b < t.nblocks; ++b) {
            const std::size_t i = std::size_t(d) * t.nblocks + b;
            // The integral holds the transform of -dV/dsigma.
            const C j(-double(integral[i]), -double(integral[block_values + i]));
            const double rho = t.block_rho[b], m = t.block_m[b];
            const C sigma = 1.0 / (rho * C(1.0, m));
            const C j_rho = j * (-sigma / rho);
            const C j_m = j * (-C(0.0, 1.0) * sigma / C(1.0, m));
            const double values[13] = {j.real(),         j.imag(),
                                       j_rho.real(),     j_rho.imag(),
                                       j_m.real(),       j_m.imag(),
                                       g * j_rho.real(), rho / rho_a * g * j_rho.real(),
                                       g * j_m.real(),   g * j_m.real() / rho_a,
                                       d_ma(j_rho),      rho * d_ma(j_rho),
                                       d_ma(j_m)};
            for (int s = 0; s < 13; ++s)
                t.section[s][i] = values[s];
        }
    }
    for (int f = 0; f < 5; ++f)
        t.file_bytes[f] = file_size(path(file_names[f]));
    if (in_.jacobian_out) *in_.jacobian_out = t;
    return write_reports(t_re, t_im, lead, electrode_x, t);
}

model::SolverResult JacobianMode::write_reports(const double* t_re, const double* t_im, int lead,
                                                const float* electrode_x, JacobianTables& t) const {
    const std::string potentials = path("potentials.txt");
    std::FILE* f = std::fopen(potentials.c_str(), "wt");
    if (!f) return create_error(potentials);
    const char* titles[5] = {"Real potentials\n", "Imaginary potentials\n",
                             "Amplitude potentials\n", "Chargeability potentials\n", "App resis\n"};
    for (int s = 0; s < 5; ++s) {
        std::fprintf(f, "%s", titles[s]);
        for (int e = 1; e <= np_; ++e) {
            std::fprintf(f, s == 1 ? "%3d " : "%2d ", e);
            for (int g = 1; g <= np_; ++g) {
                const std::size_t at = std::size_t(index2d(e, g, lead));
                const double re = e == g ? 0.0 : t_re[at], im = e == g ? 0.0 : t_im[at];
                const double values[5] = {
                    re, im, std::hypot(re, im), re != 0.0 ? 1000.0 * im / re : 0.0,
                    two_pi * std::fabs(double(electrode_x[e - 1]) - electrode_x[g - 1]) * re};
                std::fprintf(f, "%8.6f ", values[s]);
            }
            std::fprintf(f, "\n");
        }
    }
    if (std::fclose(f) != 0)
        return fe::report_error(model::SolverStatus::file, "Error in writing file\n%s",
                                potentials.c_str());

    const std::string jacobian = path("jacobian.txt");
    f = std::fopen(jacobian.c_str(), "wt");
    if (!f) return create_error(jacobian);
    std::fprintf(f,
                 "No of blocks per layer %d\nnblocks %d\nNo data %d\nNo elecs %d\nCoefficients\n",
                 t.blocks_per_layer, t.nblocks, t.ndata, np_);
    for (int w = 0; w < nw_; ++w)
        std::fprintf(f, "%2d %10.5f\n", w + 1, double(k_[w]));
    std::fprintf(f, "Blk  Resis  IP\n");
    for (int b = 0; b < t.nblocks; ++b)
        std::fprintf(f, "%3d %8.3f %8.3f\n", b + 1, t.block_rho[b], t.block_m[b]);
    for (int s = 0; s < 13; ++s) {
        std::fprintf(f, "%s", section_titles[s]);
        for (int b = 0; b < t.nblocks; ++b)
            std::fprintf(f, "%10d ", b + 1);
        std::fprintf(f, "\n");
        for (int d = 0; d < t.ndata; ++d) {
            if (s == 6 || s == 7)
                std::fprintf(f, "%3d ", d + 1);
            else
                std::fprintf(f, "%3d %2d %2d %2d %2d", d + 1, t.c1[d], 0, t.p1[d], 0);
            for (int b = 0; b < t.nblocks; ++b)
                std::fprintf(f, "%10.5f ", t.section[s][std::size_t(d) * t.nblocks + b]);
            std::fprintf(f, "\n");
        }
    }
    std::fprintf(f, "App Resis and IP\n");
    for (int d = 0; d < t.ndata; ++d)
        std::fprintf(f, "%3d %10.5f %10.5f\n", d + 1, t.rho_a[d], t.m_a[d]);
    if (std::fclose(f) != 0)
        return fe::report_error(model::SolverStatus::file, "Error in writing file\n%s",
                                jacobian.c_str());
    return {};
}

} // namespace ip

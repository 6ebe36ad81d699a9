// The complex band solvers in double and single precision: one frame in phases (allocate, place
// the electrodes, then assemble, factor and solve wavenumber by wavenumber, then transform),
// the precision and the transform rules chosen by the caller.
#include "ipsolve/ipsolve.h"

#include "fdsolve/bessel.h"
#include "fesolve/element.h"
#include "fesolve/solver_common.h"
#include "ipsolve/jacobian.h"
#include "ipsolve/transform_cmplx.h"
#include "matrix/band.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

namespace ip {

Inputs make_inputs(ModelSettings& s, const ProgLim& limits) {
    Inputs in;
    static_cast<fe::Inputs&>(in) = fe::make_inputs(s, limits, nullptr, nullptr, nullptr, nullptr);
    if (in.nelec_total <= in.nelec) {
        in.nelec_total = in.nelec;
        in.nboreholes = 0;
    }
    in.electrode_x = s.driver_elec_2;
    in.borehole_row_step = s.borehole_nodes_per_spacing;
    return in;
}

} // namespace ip

namespace {

using sys::PageArray;

// What differs between the two solvers besides the precision.
struct Rules {
    int pair_type;   // sortfemcmplx integration type
    int remote_mode; // inverse_fourier_transform_cmplx_flt mode
    bool jacobian;   // the Jacobian mode (double precision only)
};

template <class T> int factor(int n, T* re, T* im, int bw);
template <> int factor<double>(int n, double* re, double* im, int bw) {
    return band_factor_cmplx_dbl(n, re, im, bw);
}
template <> int factor<float>(int n, float* re, float* im, int bw) {
    return band_factor_cmplx_flt(n, re, im, bw);
}
template <class T>
void solve(const T* ure, const T* uim, int n, T* bre, T* bim, int bw, int first, int last);
template <>
void solve<double>(const double* ure, const double* uim, int n, double* bre, double* bim, int bw,
                   int first, int last) {
    band_solve_cmplx_dbl(ure, uim, n, bre, bim, bw, first, last);
}
template <>
void solve<float>(const float* ure, const float* uim, int n, float* bre, float* bim, int bw,
                  int first, int last) {
    band_solve_cmplx_flt(ure, uim, n, bre, bim, bw, first, last);
}

double boundary_ratio(double, float x0, float x1, float z, float* d, float* r, double k) {
    return bessel_ratio_k1_k0_flt(x0, x1, z, d, r, k);
}
double boundary_ratio(float, float x0, float x1, float z, float* d, float* r, double k) {
    double dd = 0, rr = 0;
    const double ratio = bessel_ratio_k1_k0_dbl(x0, x1, z, &dd, &rr, k);
    *d = float(dd);
    *r = float(rr);
    return ratio;
}

// One run of a complex solver; T is the precision of the matrix and the solves.
template <class T> class ComplexRun {
  public:
    ComplexRun(const ip::Inputs& in, const ip::Outputs& out, Rules rules)
        : in_(in), out_(out), rules_(rules) {}
    model::SolverResult execute();

  private:
    model::SolverResult allocate();
    model::SolverResult place_electrodes();
    void place_remote_electrodes();
    model::SolverResult assemble(float k);
    void add_boundary(float k);
    model::SolverResult solve_sources(int w);
    void solve_remote(int w);
    model::SolverResult transform();

    int node(int column, int row) const { return (column - 1) * in_.nz + row; }
    T sigma_re(int i, int j) const { return in_.sigma_re[index2d(i, j, in_.nx - 1)]; }
    T sigma_im(int i, int j) const { return in_.sigma_im[index2d(i, j, in_.nx - 1)]; }
    void add(int a, int b, double term, T sre, T sim) {
        const std::size_t p = std::size_t(sym_band_index(a, b, bw_ + 1));
        band_re_[p] += T(term * sre);
        band_im_[p] += T(term * sim);
    }

    const ip::Inputs& in_;
    const ip::Outputs& out_;
    Rules rules_;
    int n_ = 0, bw_ = 0, np_ = 0, nw_ = 0, pairs_ = 0, stride_ = 0;
    bool remote_ = false;
    fe::RemoteElectrodes remote_nodes_;
    PageArray<float> k_, x_, z_, pairs_re_, pairs_im_, remote_re_, remote_im_;
    PageArray<T> band_re_, band_im_, rhs_re_, rhs_im_, p2_re_;
    PageArray<int> electrode_nodes_, stop_;
    std::unique_ptr<ip::JacobianMode> jacobian_; // the mode's work files, removed with it
    std::vector<double> terms_;                  // unit-conductivity cell terms (the mode)
};

template <class T> model::SolverResult ComplexRun<T>::allocate() {
    n_ = in_.nx * in_.nz;
    bw_ = in_.nz + 1;
    np_ = in_.nelec_total;
    nw_ = in_.nky;
    pairs_ = int(fe::pair_count(np_));
    stride_ = 2 * np_ + 1;
    remote_ = in_.remote_electrodes > 0;
    const std::size_t band = std::size_t(n_) * (bw_ + 1);
    bool ok = k_.allocate(nw_) && x_.allocate(in_.nx) && z_.allocate(in_.nz) &&
              band_re_.allocate(band) && band_im_.allocate(band) && rhs_re_.allocate(n_) &&
              rhs_im_.allocate(n_) && electrode_nodes_.allocate(np_) && stop_.allocate(np_) &&
              pairs_re_.allocate(std::size_t(pairs_) * nw_) &&
              pairs_im_.allocate(std::size_t(pairs_) * nw_);
    if (ok && remote_)
        ok = remote_re_.allocate(std::size_t(stride_) * nw_) &&
             remote_im_.allocate(std::size_t(stride_) * nw_) && p2_re_.allocate(n_);
    if (!ok) return fe::report_no_memory();
    for (int i = 1; i < in_.nx; ++i)
        x_[i] = x_[i - 1] + in_.node_col_dx[i - 1];
    for (int j = 1; j < in_.nz; ++j)
        z_[j] = z_[j - 1] + in_.node_row_dz[j - 1];
    // Equal steps of ln k, the exponent accumulated from the first wavenumber.
    const double l1 = std::log(double(in_.ky_min)),
                 step = (std::log(double(in_.ky_max)) - l1) / (nw_ - 1);
    double exponent = l1;
    for (int w = 0; w < nw_; ++w, exponent += step)
        k_[w] = float(std::exp(exponent));
    k_[0] = in_.ky_min;
    k_[nw_ - 1] = in_.ky_max;
    return {};
}

template <class T> model::SolverResult ComplexRun<T>::place_electrodes() {
    int* nodes = electrode_nodes_.get();
    for (int e = 0; e < in_.nelec; ++e)
        nodes[e] = node(in_.margin_columns + e * in_.nodes_per_spacing, in_.electrode_water[e] + 1);
    int e = in_.nelec, depth = 0;
    for (int b = 0; b < in_.nboreholes; ++b) {
        const int column = in_.borehole_columns[b];
        if (in_.issbor[b] > 0 && (column < 1 || column > in_.nx))
            return fe::report_error(model::SolverStatus::bad_input,
                                    "Borehole %d lies in node column %d,\noutside the mesh of "
                                    "%d columns.",
                                    b + 1, column, in_.nx);
        for (int i = 0; i < in_.issbor[b] && e < np_; ++i, ++e, ++depth) {
            int row = in_.borehole_first_rows[b] + i * in_.borehole_row_step;
            for (int r = 0; r < in_.nz; ++r)
                if (std::fabs(z_[r] - in_.borehole_z[depth]) <= 0.001f) row = r;
            if (row < 0 || row >= in_.nz)
                return fe::report_error(model::SolverStatus::bad_input,
                                        "Borehole electrode %d lies below the mesh.", e + 1);
            nodes[e] = node(column, row + 1);
        }
    }
    if (e != np_)
        return fe::report_error(model::SolverStatus::bad_input,
                                "The model has %d electrodes, but %d surface\nand %d borehole "
                                "electrodes were given.",
                                np_, in_.nelec, e - in_.nelec);
    // The solve of source e is read from the lowest node of the later electrodes on.
    for (int i = 0; i < np_; ++i) {
        int lowest = n_;
        for (int j = i + 1; j < np_; ++j)
            lowest = std::min(lowest, nodes[j]);
        stop_[i] = lowest;
    }
    return {};
}

template <class T> void ComplexRun<T>::place_remote_electrodes() {
    if (!remote_) return;
    remote_nodes_.c2_x = in_.c2_x;
    remote_nodes_.c2_y = in_.c2_y;
    remote_nodes_.p2_x = in_.p2_x;
    remote_nodes_.p2_y = in_.p2_y;
    fe::place_remote_electrodes(*in_.settings, in_.nodes_per_spacing, in_.nelec, in_.margin_columns,
                                in_.nz, in_.nx, x_.get(), remote_nodes_);
}

template <class T> model::SolverResult ComplexRun<T>::assemble(float k) {
    std::fill(band_re_.get(), band_re_.get() + band_re_.size(), T(0));
    std::fill(band_im_.get(), band_im_.get() + band_im_.size(), T(0));
    const float w = k * k;
    for (int i = 1; i < in_.nx; ++i)
        for (int j = 1; j < in_.nz; ++j) {
            double terms[10];
            quad_element_matrix_flt(w, x_[i - 1], x_[i], x_[i - 1], x_[i], z_[j - 1], z_[j - 1],
                                    z_[j], z_[j], terms);
            const int corner[4] = {node(i, j), node(i + 1, j), node(i, j + 1), node(i + 1, j + 1)};
            const T sre = sigma_re(i, j), sim = sigma_im(i, j);
            for (int a = 1; a <= 4; ++a)
                for (int b = a; b <= 4; ++b)
                    add(corner[a - 1], corner[b - 1], terms[quad_term_index(a, b)], sre, sim);
            if (jacobian_)
                std::copy(terms, terms + 10,
                          terms_.begin() + 10 * (std::size_t(i - 1) * (in_.nz - 1) + (j - 1)));
        }
    if (!jacobian_) return {};
    return jacobian_->write_terms(terms_.data(), (in_.nx - 1) * (in_.nz - 1));
}

template <class T> void ComplexRun<T>::add_boundary(float k) {
    const float x0 = x_[in_.nx / 2 - 1], z0 = z_[in_.electrode_water[0]];
    // Segment from node a to node b with midpoint (xm, zm), length l, along a side (true) or
    // the bottom, bounding cell (i, j).
    auto segment = [&](int a, int b, float xm, float zm, float l, bool side, int i, int j) {
        float d = 0, r = 0;
        const double ratio = boundary_ratio(T(0), x0, xm, zm - z0, &d, &r, k);
        const double cosine = (side ? d : std::fabs(zm - z0)) / r;
        const double t = ratio * cosine * l / 6.0;
        add(a, a, 2 * t, sigma_re(i, j), sigma_im(i, j));
        add(b, b, 2 * t, sigma_re(i, j), sigma_im(i, j));
        add(a, b, t, sigma_re(i, j), sigma_im(i, j));
    };
    const int nx = in_.nx, nz = in_.nz;
    for (int j = 1; j < nz; ++j)
        segment(node(1, j), node(1, j + 1), x_[0], 0.5f * (z_[j - 1] + z_[j]),
                in_.node_row_dz[j - 1], true, 1, j);
    for (int i = 1; i < nx; ++i)
        segment(node(i, nz), node(i + 1, nz), 0.5f * (x_[i - 1] + x_[i]), z_[nz - 1],
                in_.node_col_dx[i - 1], false, i, nz - 1);
    for (int j = 1; j < nz; ++j)
        segment(node(nx, j), node(nx, j + 1), x_[nx - 1], 0.5f * (z_[j - 1] + z_[j]),
                in_.node_row_dz[j - 1], true, nx - 1, j);
}

template <class T> model::SolverResult ComplexRun<T>::solve_sources(int w) {
    float* pre = pairs_re_.get() + std::size_t(w) * pairs_;
    float* pim = pairs_im_.get() + std::size_t(w) * pairs_;
    T* bre = rhs_re_.get();
    T* bim = rhs_im_.get();
    // The Jacobian mode keeps every electrode's whole solution.
    const int sources = jacobian_ ? np_ : np_ - 1;
    for (int e = 1; e <= sources; ++e) {
        std::fill(bre, bre + n_, T(0));
        std::fill(bim, bim + n_, T(0));
        const int source = electrode_nodes_[e - 1];
        bre[source - 1] = T(1);
        solve<T>(band_re_.get(), band_im_.get(), n_, bre, bim, bw_, source,
                 jacobian_ ? 1 : stop_[e - 1]);
        for (int f = e + 1; f <= np_; ++f) {
            const long long p = fe::pair_position(np_, e, f);
            pre[p] = float(bre[electrode_nodes_[f - 1] - 1]);
            pim[p] = float(bim[electrode_nodes_[f - 1] - 1]);
        }
        if constexpr (std::is_same<T, double>::value)
            if (jacobian_)
                if (model::SolverResult r = jacobian_->write_solution(bre, bim); !r.ok()) return r;
    }
    return {};
}

template <class T> void ComplexRun<T>::solve_remote(int w) {
    if (!remote_) return;
    float* rre = remote_re_.get() + std::size_t(w) * stride_;
    float* rim = remote_im_.get() + std::size_t(w) * stride_;
    std::fill(rre, rre + stride_, 0.0f);
    std::fill(rim, rim + stride_, 0.0f);
    T* bre = rhs_re_.get();
    T* bim = rhs_im_.get();
    const fe::RemoteElectrodes& r = remote_nodes_;
    for (int source = 0; source < 2; ++source) {
        const fe::RemoteElectrodes::Source s = r.source(source);
        if (s.count == 0) continue;
        std::fill(bre, bre + n_, T(0));
        std::fill(bim, bim + n_, T(0));
        int first = n_;
        for (int q = 0; q < s.count; ++q) {
            bre[s.node[q] - 1] += T(s.weight[q]);
            first = std::min(first, s.node[q]);
        }
        solve<T>(band_re_.get(), band_im_.get(), n_, bre, bim, bw_, first, 1);
        for (int e = 0; e < np_; ++e) {
            rre[source * np_ + e] = float(bre[electrode_nodes_[e] - 1]);
            rim[source * np_ + e] = float(bim[electrode_nodes_[e] - 1]);
        }
    }
    if (r.c2_count > 0 && r.p2_count > 0)
        for (int q = 0; q < r.c2_count; ++q) {
            rre[2 * np_] += float(r.c2_weight[q] * bre[r.c2_node[q] - 1]);
            rim[2 * np_] += float(r.c2_weight[q] * bim[r.c2_node[q] - 1]);
        }
}

template <class T> model::SolverResult ComplexRun<T>::transform() {
    model::trace("Calculating Potentials\n");
    update_status("Calculating Potentials", 0);
    if (sortfemcmplx(rules_.pair_type, in_.electrode_offset_ratio, pairs_re_.get(), pairs_im_.get(),
                     out_.t_re, out_.t_im, out_.s_re, out_.s_im, np_, nw_, k_.get(), 4, pairs_,
                     in_.lead) != 0)
        return fe::report_no_memory();
    model::trace("End Calculating Potentials\n");
    if (!remote_) return {};
    PageArray<float> distance(stride_);
    PageArray<double> offset(stride_), second(stride_), third(stride_);
    if (!distance.ok() || !offset.ok() || !second.ok() || !third.ok())
        return fe::report_no_memory();
    for (int e = 0; e < np_; ++e) {
        const float x = in_.electrode_x[e];
        offset[e] = std::fabs(in_.c2_y);
        distance[e] = std::hypot(x - in_.c2_x, in_.c2_y);
        offset[np_ + e] = std::fabs(in_.p2_y);
        distance[np_ + e] = std::hypot(x - in_.p2_x, in_.p2_y);
    }
    offset[2 * np_] = std::fabs(in_.c2_y - in_.p2_y);
    distance[2 * np_] = std::hypot(in_.c2_x - in_.p2_x, in_.c2_y - in_.p2_y);
    if (inverse_fourier_transform_cmplx_flt(rules_.remote_mode, distance.get(), remote_re_.get(),
                                            remote_im_.get(), offset.get(), second.get(),
                                            third.get(), stride_, nw_, k_.get(), stride_) != 0)
        return fe::report_no_memory();
    // A remote electrode without a node has no potentials; neither has the pair of the two.
    const bool c2 = remote_nodes_.c2_count > 0, p2 = remote_nodes_.p2_count > 0;
    for (int i = 0; i < stride_; ++i) {
        const bool present = i < np_ ? c2 : i < 2 * np_ ? p2 : c2 && p2;
        out_.remote_1[i] = present ? double(float(offset[i])) : 0.0;
        out_.remote_2[i] = present ? double(float(second[i])) : 0.0;
        out_.remote_3[i] = present ? double(float(third[i])) : 0.0;
    }
    return {};
}

template <class T> model::SolverResult ComplexRun<T>::execute() {
    model::SolverResult result = fe::check_mesh_and_electrodes(in_, in_.nky, 2);
    if (!result.ok()) return result;
    if (!(in_.ky_min > 0.0f && in_.ky_max > in_.ky_min))
        return fe::report_error(model::SolverStatus::bad_input,
                                "The wavenumbers must be positive and increasing (%g to %g).",
                                double(in_.ky_min), double(in_.ky_max));
    result = allocate();
    if (result.ok()) result = place_electrodes();
    if (!result.ok()) return result;
    place_remote_electrodes();
    if (rules_.jacobian) {
        jacobian_.reset(new ip::JacobianMode(in_, n_, np_, k_.get(), nw_));
        terms_.assign(std::size_t(in_.nx - 1) * (in_.nz - 1) * 10, 0.0);
        if (model::SolverResult r = jacobian_->start(); !r.ok()) return r;
    }
    for (int w = 0; w < nw_; ++w) {
        fe::report_progress("Finite-Element Calculations - %5.1f%% completed", w, nw_);
        if (model::SolverResult r = assemble(k_[w]); !r.ok()) return r;
        add_boundary(k_[w]);
        if (int failed = factor<T>(n_, band_re_.get(), band_im_.get(), bw_))
            return fe::report_factor_failure(failed);
        if (model::SolverResult r = solve_sources(w); !r.ok()) return r;
        solve_remote(w);
        if (jacobian_) {
            const float percentage = float(w) * 100.0f / float(nw_);
            char text[64];
            std::snprintf(text, sizeof text, "Finite-Element Calculations - %5.1f%% completed",
                          double(percentage));
            const int bar = round_to_int(percentage * 0.01f * float(Statuswind.bar_width));
            if (model::SolverResult r = jacobian_->accumulate(w, text, bar); !r.ok()) return r;
        }
    }
    if (model::SolverResult r = transform(); !r.ok()) return r;
    if (!jacobian_) return {};
    return jacobian_->finish(out_.t_re, out_.t_im, in_.lead, in_.electrode_x);
}

} // namespace

model::SolverResult calresfemsipd(const ip::Inputs& in, const ip::Outputs& out) {
    model::SolverResult result;
    try {
        result = ComplexRun<double>(in, out, Rules{1, 1, in.jacobian_mode}).execute();
    } catch (const std::bad_alloc&) {
        result = fe::report_no_memory();
    }
    model::trace("End calresfemsipd\n");
    return result;
}

model::SolverResult calresfem_cmplx_flt(const ip::Inputs& in, const ip::Outputs& out) {
    return ComplexRun<float>(in, out, Rules{0, 0, false}).execute();
}

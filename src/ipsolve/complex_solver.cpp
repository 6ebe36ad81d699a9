// The complex band solvers in double and single precision, one frame in phases: the set-up that
// every worker shares (coordinates, wavenumbers, electrode nodes and the right-hand sides of the
// solves), then the steps, each one wavenumber of one frequency (assemble, factor, solve every
// source, many at once) on the solver threads, then the transform of each frequency. The
// precision and the transform rules are chosen by the caller.
#include "ipsolve/ipsolve.h"

#include "fdsolve/bessel.h"
#include "fdsolve/spline.h"
#include "fdsolve/transform.h"
#include "fesolve/element.h"
#include "fesolve/solver_common.h"
#include "fesolve/workers.h"
#include "ipsolve/jacobian.h"
#include "ipsolve/transform_cmplx.h"
#include "matrix/band.h"
#include "matrix/band_lanes.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/phase_clock.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/thread_pool.h"
#include "platform/sys/workers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>
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

// Systems solved together at most; the lanes of a worker.
constexpr int block_lanes = 2 * mx::band_lane_group;

// The failure codes of a step, reported by the owner from the step's result.
constexpr int step_failed = 1;

// The array whose strike tables hold the potential at the offset itself (offset pole-dipole).
constexpr int offset_pole_dipole = 10;

template <class T>
void solve(const T* ure, const T* uim, int n, T* bre, T* bim, int bw, int first, int last) {
    if constexpr (std::is_same<T, double>::value)
        band_solve_cmplx_dbl(ure, uim, n, bre, bim, bw, first, last);
    else
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

// One right-hand side of the solves: a unit current at electrode `source` (1-based), or the
// current of remote electrode `remote` (0 C2, 1 P2) over its nodes; zero before row `first`,
// read from row `last` on.
struct System {
    int first = 0, last = 0;
    int source = 0;
    int remote = -1;
    int count = 0;
    int node[2] = {0, 0};
    float weight[2] = {0.0f, 0.0f};
};

// The work arrays of one worker: the band of its wavenumber and the right-hand sides.
template <class T> struct Worker {
    PageArray<T> band_re, band_im; // n (bw + 1)
    PageArray<T> rhs_re, rhs_im;   // n lanes
    PageArray<double> cell_terms;  // 10 per kind of cell (when the cells are of few kinds)
};

// The kinds of cells of the mesh: a cell's terms depend only on its width and height as
// differences of the node positions (single precision), so equal ones share their terms.
struct CellKinds {
    std::vector<int> column, row; // kind of column i (1-based, i - 1) and of row j
    int columns = 0, rows = 0;
    // Numbers the distinct values of the n - 1 differences of `at`.
    static int number(const float* at, int n, std::vector<int>& kind, std::vector<float>& value) {
        kind.assign(std::size_t(n - 1), 0);
        value.clear();
        for (int i = 1; i < n; ++i) {
            const float d = at[i] - at[i - 1];
            const auto found = std::find(value.begin(), value.end(), d);
            kind[std::size_t(i - 1)] = int(found - value.begin());
            if (found == value.end()) value.push_back(d);
        }
        return int(value.size());
    }
};

// What one frequency gives: its wavenumber-domain pair and remote values.
struct Values {
    PageArray<float> pairs_re, pairs_im;   // pair p of wavenumber w at w pairs + p
    PageArray<float> remote_re, remote_im; // entry i of wavenumber w at w (2 np + 1) + i
};

// One run of a complex solver over `count` frequencies; T is the precision of the matrix and
// the solves.
template <class T> class ComplexRun {
  public:
    ComplexRun(const ip::Inputs& in, const ip::Frequency* frequencies, int count, Rules rules,
               int* written)
        : in_(in), freq_(frequencies), nfreq_(count), rules_(rules), written_(written) {}
    model::SolverResult execute();

  private:
    model::SolverResult allocate();
    model::SolverResult place_electrodes();
    void place_remote_electrodes();
    bool real_remote_values(const Values& v, double* out);
    bool spectral_remote_values(const Values& v, double* re, double* re_too, double* im);
    void list_systems();
    bool take_worker(Worker<T>& w) const;
    int take_workers();
    int step(int worker, int l);
    model::SolverResult assemble(Worker<T>& w, int f, float k);
    void add_boundary(Worker<T>& w, int f, float k) const;
    void solve_block(const Worker<T>& factor, Worker<T>& lanes, int f, int iw,
                     const std::vector<System>& systems, int b);
    bool solve_blocks(int w, int f, int iw, const std::vector<System>& systems, int l);
    bool stop_now();
    void gather(const Worker<T>& w, const System& s, int lane, int f, int iw);
    model::SolverResult solve_whole(int worker, int iw);
    model::SolverResult transform(int f);
    model::SolverResult strike_tables(int f);
    void progress(int done) const;
    void show_sources(int l, int solved) const;

    int node(int column, int row) const { return (column - 1) * in_.nz + row; }
    // Position of the node in 0-based column c and row r: on a mesh under topography that of
    // the node tables, else the column position and the row depth.
    float node_x(int c, int r) const {
        return shaped_ ? in_.node_x[std::size_t(c) * in_.nz + r] : x_[c];
    }
    float node_z(int c, int r) const {
        return shaped_ ? in_.node_z[std::size_t(c) * in_.nz + r] : z_[r];
    }
    bool mesh_is_shaped() const;
    void cell_terms(int i, int j, float kk, double (&terms)[10]) const;
    void number_cell_kinds();
    std::size_t kind_offset(int i, int j) const {
        return 10 * (std::size_t(kinds_.column[std::size_t(i - 1)]) * kinds_.rows +
                     std::size_t(kinds_.row[std::size_t(j - 1)]));
    }
    T sigma_re(int f, int i, int j) const { return freq_[f].sigma_re[index2d(i, j, in_.nx - 1)]; }
    T sigma_im(int f, int i, int j) const { return freq_[f].sigma_im[index2d(i, j, in_.nx - 1)]; }
    void add(Worker<T>& w, int a, int b, double term, T sre, T sim) const {
        const std::size_t p = std::size_t(sym_band_index(a, b, row_));
        w.band_re[p] += T(term * sre);
        w.band_im[p] += T(term * sim);
    }

    const ip::Inputs& in_;
    const ip::Frequency* freq_;
    int nfreq_;
    Rules rules_;
    int* written_; // frequencies transformed (may be null)
    int n_ = 0, bw_ = 0, row_ = 0, np_ = 0, nw_ = 0, pairs_ = 0, stride_ = 0, lanes_ = 0;
    bool remote_ = false;
    bool shaped_ = false; // the nodes follow a surface: their own positions, cell by cell
    fe::RemoteElectrodes remote_nodes_;
    PageArray<float> k_, x_, z_;
    PageArray<int> electrode_nodes_, stop_;
    std::vector<Values> values_;
    CellKinds kinds_;
    std::vector<std::pair<int, int>> kind_cells_; // the first cell of each kind, (0, 0) if none
    std::vector<System> systems_;                 // sorted by first row
    std::vector<System> remote_systems_;          // the remote electrodes among them
    std::vector<Worker<T>> workers_;
    std::vector<model::SolverResult> results_; // of every step
    std::unique_ptr<model::BreakWatch> watch_;
    std::unique_ptr<fe::ItemBoard> board_;       // blocks of solves shared with idle workers
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
    bool ok = k_.allocate(nw_) && x_.allocate(in_.nx) && z_.allocate(in_.nz) &&
              electrode_nodes_.allocate(np_) && stop_.allocate(np_);
    values_.resize(std::size_t(nfreq_));
    for (Values& v : values_) {
        ok = ok && v.pairs_re.allocate(std::size_t(pairs_) * nw_) &&
             v.pairs_im.allocate(std::size_t(pairs_) * nw_);
        if (ok && remote_)
            ok = v.remote_re.allocate(std::size_t(stride_) * nw_) &&
                 v.remote_im.allocate(std::size_t(stride_) * nw_);
    }
    if (!ok) return fe::report_no_memory();
    for (int i = 1; i < in_.nx; ++i)
        x_[i] = x_[i - 1] + in_.node_col_dx[i - 1];
    for (int j = 1; j < in_.nz; ++j)
        z_[j] = z_[j - 1] + in_.node_row_dz[j - 1];
    shaped_ = mesh_is_shaped();
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

// Whether the node tables place a node elsewhere than its column position and row depth: the
// mesh of a model with topography, whose cells are not the rectangles of the spacings.
template <class T> bool ComplexRun<T>::mesh_is_shaped() const {
    if (!in_.node_x || !in_.node_z) return false;
    for (int c = 0; c < in_.nx; ++c)
        for (int r = 0; r < in_.nz; ++r) {
            const std::size_t at = std::size_t(c) * in_.nz + r;
            if (in_.node_x[at] != x_[c] || in_.node_z[at] != z_[r]) return true;
        }
    return false;
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
                if (std::fabs(node_z(column - 1, r) - in_.borehole_z[depth]) <= 0.001f) row = r;
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

// The kinds of the cells and the first cell of each; none when they are of so many kinds that
// their terms are worked out cell by cell, or when the cells follow a surface.
template <class T> void ComplexRun<T>::number_cell_kinds() {
    kind_cells_.clear();
    if (shaped_) return;
    std::vector<float> values;
    kinds_.columns = CellKinds::number(x_.get(), in_.nx, kinds_.column, values);
    kinds_.rows = CellKinds::number(z_.get(), in_.nz, kinds_.row, values);
    const std::size_t kinds = std::size_t(kinds_.columns) * kinds_.rows;
    if (2 * kinds > std::size_t(in_.nx - 1) * (in_.nz - 1)) return;
    kind_cells_.assign(kinds, {0, 0});
    for (int i = 1; i < in_.nx; ++i)
        for (int j = 1; j < in_.nz; ++j) {
            std::pair<int, int>& first = kind_cells_[kind_offset(i, j) / 10];
            if (first.first == 0) first = {i, j};
        }
}

// The right-hand sides of every wavenumber: every electrode but the last, read from its stop
// row on, and the remote electrodes that have nodes, read whole; in the order of their first
// rows, which the block solves need.
template <class T> void ComplexRun<T>::list_systems() {
    systems_.clear();
    for (int e = 1; e < np_; ++e) {
        System s;
        s.source = e;
        s.count = 1;
        s.node[0] = electrode_nodes_[e - 1];
        s.weight[0] = 1.0f;
        s.first = s.node[0];
        s.last = stop_[e - 1];
        systems_.push_back(s);
    }
    for (int which = 0; remote_ && which < 2; ++which) {
        const fe::RemoteElectrodes::Source r = remote_nodes_.source(which);
        if (r.count == 0) continue;
        System s;
        s.remote = which;
        s.count = r.count;
        s.first = n_;
        for (int q = 0; q < r.count; ++q) {
            s.node[q] = r.node[q];
            s.weight[q] = r.weight[q];
            s.first = std::min(s.first, r.node[q]);
        }
        s.last = 1;
        systems_.push_back(s);
    }
    std::stable_sort(systems_.begin(), systems_.end(),
                     [](const System& a, const System& b) { return a.first < b.first; });
    remote_systems_.clear();
    for (const System& s : systems_)
        if (s.remote >= 0) remote_systems_.push_back(s);
    const int G = mx::band_lane_group;
    lanes_ = std::min(block_lanes, std::max(1, (int(systems_.size()) + G - 1) / G) * G);
}

// Whether the run is to stop: the user's break.
template <class T> bool ComplexRun<T>::stop_now() {
    return watch_->seen();
}

template <class T> bool ComplexRun<T>::take_worker(Worker<T>& w) const {
    const std::size_t band = std::size_t(n_) * row_;
    const std::size_t rhs = std::size_t(n_) * lanes_;
    return w.band_re.allocate(band) && w.band_im.allocate(band) && w.rhs_re.allocate(rhs) &&
           w.rhs_im.allocate(rhs) &&
           (kind_cells_.empty() || w.cell_terms.allocate(10 * kind_cells_.size()));
}

// As many workers as the solver threads (one a step at most; one for the Jacobian mode, whose
// files are written in the order of the wavenumbers) whose arrays the free memory holds; none
// when the first one's memory is refused.
template <class T> int ComplexRun<T>::take_workers() {
    const int wanted = jacobian_ ? 1 : std::max(1, std::min(sys::pool_threads(), nfreq_ * nw_));
    Worker<T> first;
    long long bytes = 0;
    if (!sys::take_counting(bytes, [&] { return take_worker(first); })) return 0;
    workers_.push_back(std::move(first));
    sys::take_workers(workers_, wanted, bytes, [&](Worker<T>& w) { return take_worker(w); });
    return int(workers_.size());
}

// The terms of cell (i, j) at w = k², into `terms`.
template <class T>
void ComplexRun<T>::cell_terms(int i, int j, float kk, double (&terms)[10]) const {
    quad_element_matrix_flt(kk, node_x(i - 1, j - 1), node_x(i, j - 1), node_x(i - 1, j),
                            node_x(i, j), node_z(i - 1, j - 1), node_z(i, j - 1), node_z(i - 1, j),
                            node_z(i, j), terms);
}

template <class T> model::SolverResult ComplexRun<T>::assemble(Worker<T>& w, int f, float k) {
    std::fill(w.band_re.get(), w.band_re.get() + w.band_re.size(), T(0));
    std::fill(w.band_im.get(), w.band_im.get() + w.band_im.size(), T(0));
    const float kk = k * k;
    // The terms of each kind of cell once, from the first cell of that kind.
    const bool kinds = w.cell_terms.ok();
    for (std::size_t q = 0; kinds && q < kind_cells_.size(); ++q) {
        if (kind_cells_[q].first == 0) continue;
        double terms[10];
        cell_terms(kind_cells_[q].first, kind_cells_[q].second, kk, terms);
        std::copy(terms, terms + 10, w.cell_terms.get() + 10 * q);
    }
    for (int i = 1; i < in_.nx; ++i)
        for (int j = 1; j < in_.nz; ++j) {
            double terms[10];
            if (kinds)
                std::copy_n(w.cell_terms.get() + kind_offset(i, j), 10, terms);
            else
                cell_terms(i, j, kk, terms);
            const int corner[4] = {node(i, j), node(i + 1, j), node(i, j + 1), node(i + 1, j + 1)};
            const T sre = sigma_re(f, i, j), sim = sigma_im(f, i, j);
            for (int a = 1; a <= 4; ++a)
                for (int b = a; b <= 4; ++b)
                    add(w, corner[a - 1], corner[b - 1], terms[quad_term_index(a, b)], sre, sim);
            if (jacobian_)
                std::copy(terms, terms + 10,
                          terms_.begin() + 10 * (std::size_t(i - 1) * (in_.nz - 1) + (j - 1)));
        }
    if (!jacobian_) return {};
    return jacobian_->write_terms(terms_.data(), (in_.nx - 1) * (in_.nz - 1));
}

template <class T> void ComplexRun<T>::add_boundary(Worker<T>& w, int f, float k) const {
    const int nx = in_.nx, nz = in_.nz;
    const float x0 = node_x(nx / 2 - 1, 0), z0 = node_z(0, in_.electrode_water[0]);
    // Segment from node a to node b with midpoint (xm, zm), length l, along a side (true) or
    // the bottom, bounding cell (i, j).
    auto segment = [&](int a, int b, float xm, float zm, float l, bool side, int i, int j) {
        float d = 0, r = 0;
        const double ratio = boundary_ratio(T(0), x0, xm, zm - z0, &d, &r, k);
        const double cosine = (side ? d : std::fabs(zm - z0)) / r;
        const double t = ratio * cosine * l / 6.0;
        add(w, a, a, 2 * t, sigma_re(f, i, j), sigma_im(f, i, j));
        add(w, b, b, 2 * t, sigma_re(f, i, j), sigma_im(f, i, j));
        add(w, a, b, t, sigma_re(f, i, j), sigma_im(f, i, j));
    };
    // The side segment of 0-based column c from row j - 1 to row j: the row spacing, or under
    // topography the distance of the column's own nodes (the bottom row is flat).
    auto side = [&](int c, int j, int cell_column) {
        const float top = node_z(c, j - 1), bottom = node_z(c, j);
        const float length = shaped_ ? bottom - top : in_.node_row_dz[j - 1];
        segment(node(c + 1, j), node(c + 1, j + 1), node_x(c, j - 1), 0.5f * (top + bottom), length,
                true, cell_column, j);
    };
    for (int j = 1; j < nz; ++j)
        side(0, j, 1);
    for (int i = 1; i < nx; ++i)
        segment(node(i, nz), node(i + 1, nz), 0.5f * (node_x(i - 1, nz - 1) + node_x(i, nz - 1)),
                node_z(i - 1, nz - 1), in_.node_col_dx[i - 1], false, i, nz - 1);
    for (int j = 1; j < nz; ++j)
        side(nx - 1, j, nx - 1);
}

// What system s (in lane `lane` of w's right-hand sides) gives frequency f at wavenumber iw:
// a source its potentials at the later electrodes, a remote electrode its potentials at every
// electrode (and P2 its potential at C2, weighted over C2's nodes).
template <class T>
void ComplexRun<T>::gather(const Worker<T>& w, const System& s, int lane, int f, int iw) {
    auto at = [&](const PageArray<T>& b, int node) {
        return b[std::size_t(node - 1) * lanes_ + lane];
    };
    Values& v = values_[std::size_t(f)];
    if (s.source > 0) {
        float* pre = v.pairs_re.get() + std::size_t(iw) * pairs_;
        float* pim = v.pairs_im.get() + std::size_t(iw) * pairs_;
        for (int e = s.source + 1; e <= np_; ++e) {
            const long long p = fe::pair_position(np_, s.source, e);
            pre[p] = float(at(w.rhs_re, electrode_nodes_[e - 1]));
            pim[p] = float(at(w.rhs_im, electrode_nodes_[e - 1]));
        }
        return;
    }
    float* rre = v.remote_re.get() + std::size_t(iw) * stride_;
    float* rim = v.remote_im.get() + std::size_t(iw) * stride_;
    for (int e = 0; e < np_; ++e) {
        rre[s.remote * np_ + e] = float(at(w.rhs_re, electrode_nodes_[e]));
        rim[s.remote * np_ + e] = float(at(w.rhs_im, electrode_nodes_[e]));
    }
    const fe::RemoteElectrodes& r = remote_nodes_;
    if (s.remote == 1 && r.c2_count > 0)
        for (int q = 0; q < r.c2_count; ++q) {
            rre[2 * np_] += float(r.c2_weight[q] * at(w.rhs_re, r.c2_node[q]));
            rim[2 * np_] += float(r.c2_weight[q] * at(w.rhs_im, r.c2_node[q]));
        }
}

// Block b of `systems` (lanes_ of them from b lanes_ on) of wavenumber iw of frequency f: solved
// with the factor in `factor`'s band in the right-hand sides of `lanes`, then gathered.
template <class T>
void ComplexRun<T>::solve_block(const Worker<T>& factor, Worker<T>& lanes, int f, int iw,
                                const std::vector<System>& systems, int b) {
    const std::size_t b0 = std::size_t(b) * lanes_;
    const int count = int(std::min(systems.size() - b0, std::size_t(lanes_)));
    std::vector<int> first(static_cast<std::size_t>(lanes_)), last(first);
    std::fill(lanes.rhs_re.get(), lanes.rhs_re.get() + lanes.rhs_re.size(), T(0));
    std::fill(lanes.rhs_im.get(), lanes.rhs_im.get() + lanes.rhs_im.size(), T(0));
    for (int l = 0; l < lanes_; ++l) {
        first[std::size_t(l)] = last[std::size_t(l)] = n_;
        if (l >= count) continue;
        const System& s = systems[b0 + std::size_t(l)];
        for (int q = 0; q < s.count; ++q)
            lanes.rhs_re[std::size_t(s.node[q] - 1) * lanes_ + l] += T(s.weight[q]);
        first[std::size_t(l)] = s.first;
        last[std::size_t(l)] = s.last;
    }
    mx::band_solve_cmplx_lanes(factor.band_re.get(), factor.band_im.get(), n_, bw_, lanes_,
                               lanes.rhs_re.get(), lanes.rhs_im.get(), first.data(), last.data(),
                               row_);
    for (int l = 0; l < count; ++l)
        gather(lanes, systems[b0 + std::size_t(l)], l, f, iw);
}

// The systems of wavenumber iw of frequency f (step l, or -1 for the remote electrodes of the
// Jacobian mode), a block at a time with the factor in worker w's band, the blocks shared with
// the workers that have left the steps (their own right-hand sides, the same values); false
// when the user broke the run first. On one thread the status shows the sources solved.
template <class T>
bool ComplexRun<T>::solve_blocks(int w, int f, int iw, const std::vector<System>& systems, int l) {
    if (remote_) {
        Values& v = values_[std::size_t(f)];
        std::fill(v.remote_re.get() + std::size_t(iw) * stride_,
                  v.remote_re.get() + std::size_t(iw + 1) * stride_, 0.0f);
        std::fill(v.remote_im.get() + std::size_t(iw) * stride_,
                  v.remote_im.get() + std::size_t(iw + 1) * stride_, 0.0f);
    }
    Worker<T>& mine = workers_[std::size_t(w)];
    const int blocks = int((systems.size() + lanes_ - 1) / lanes_);
    int solved = 0; // on one thread, where the blocks come in turn
    return board_->share(
        w, blocks,
        [&](int runner, int b) {
            solve_block(mine, workers_[std::size_t(runner)], f, iw, systems, b);
            if (l < 0 || workers_.size() != 1) return;
            for (std::size_t k = std::size_t(b) * lanes_;
                 k < std::min(systems.size(), std::size_t(b + 1) * lanes_); ++k)
                solved += systems[k].remote < 0 ? 1 : 0;
            show_sources(l, solved);
        },
        [this] { return !stop_now(); });
}

// The Jacobian mode's solves: every electrode a source, each solution whole and written, the
// remote electrodes as in the block solves.
template <class T> model::SolverResult ComplexRun<T>::solve_whole(int worker, int iw) {
    Worker<T>& w = workers_[std::size_t(worker)];
    T* bre = w.rhs_re.get();
    T* bim = w.rhs_im.get();
    Values& v = values_[0];
    for (int e = 1; e <= np_; ++e) {
        std::fill(bre, bre + n_, T(0));
        std::fill(bim, bim + n_, T(0));
        const int source = electrode_nodes_[e - 1];
        bre[source - 1] = T(1);
        solve<T>(w.band_re.get(), w.band_im.get(), n_, bre, bim, bw_, source, 1);
        for (int f = e + 1; f <= np_; ++f) {
            const long long p = fe::pair_position(np_, e, f) + std::size_t(iw) * pairs_;
            v.pairs_re[std::size_t(p)] = float(bre[electrode_nodes_[f - 1] - 1]);
            v.pairs_im[std::size_t(p)] = float(bim[electrode_nodes_[f - 1] - 1]);
        }
        if constexpr (std::is_same<T, double>::value)
            if (model::SolverResult r = jacobian_->write_solution(bre, bim); !r.ok()) return r;
        show_sources(iw, e);
    }
    // The remote electrodes as in the block solves; their solutions are not kept.
    solve_blocks(worker, 0, iw, remote_systems_, -1);
    return {};
}

// Step l: wavenumber l % nw of frequency l / nw on worker `worker`. Its blocks of solves are
// offered to the idle workers until it ends.
template <class T> int ComplexRun<T>::step(int worker, int l) {
    struct Closing {
        fe::ItemBoard& board;
        ~Closing() { board.close(); }
    } closing{*board_};
    Worker<T>& w = workers_[std::size_t(worker)];
    const int f = l / nw_, iw = l % nw_;
    model::SolverResult& result = results_[std::size_t(l)];
    model::PhaseTimer timer(model::Phase::assembly);
    if (model::SolverResult r = assemble(w, f, k_[iw]); !r.ok()) {
        result = r;
        return step_failed;
    }
    add_boundary(w, f, k_[iw]);
    timer.stop(model::Phase::factor);
    if (stop_now()) return sys::step_stopped;
    if (int failed = mx::band_factor_cmplx_quiet(n_, w.band_re.get(), w.band_im.get(), bw_, row_)) {
        result = model::SolverResult::pivot_at(failed);
        return step_failed;
    }
    timer.stop(model::Phase::solves);
    if (jacobian_) {
        if (model::SolverResult r = solve_whole(worker, iw); !r.ok()) {
            result = r;
            return step_failed;
        }
        timer.stop(model::Phase::work_files);
        const float percentage = float(iw) * 100.0f / float(nw_);
        char text[64];
        std::snprintf(text, sizeof text, "Finite-Element Calculations - %5.1f%% completed",
                      double(percentage));
        const int bar = round_to_int(percentage * 0.01f * float(Statuswind.bar_width));
        if (model::SolverResult r = jacobian_->accumulate(iw, text, bar); !r.ok()) {
            result = r;
            return step_failed;
        }
        return sys::step_done;
    }
    return solve_blocks(worker, f, iw, systems_, l) ? sys::step_done : sys::step_stopped;
}

template <class T> model::SolverResult ComplexRun<T>::transform(int f) {
    model::PhaseTimer timer(model::Phase::transform);
    const ip::Outputs& out = freq_[f].out;
    const Values& v = values_[std::size_t(f)];
    model::trace("Calculating Potentials\n");
    update_status("Calculating Potentials", 0);
    if (sortfemcmplx(rules_.pair_type, in_.electrode_offset_ratio, v.pairs_re.get(),
                     v.pairs_im.get(), out.t_re, out.t_im, out.s_re, out.s_im, np_, nw_, k_.get(),
                     4, pairs_, in_.lead) != 0)
        return fe::report_no_memory();
    if (model::SolverResult r = strike_tables(f); !r.ok()) return r;
    model::trace("End Calculating Potentials\n");
    if (!remote_) return {};
    PageArray<float> distance(stride_);
    PageArray<double> offset(stride_), second(stride_), third(stride_);
    if (!distance.ok() || !offset.ok() || !second.ok() || !third.ok())
        return fe::report_no_memory();
    // The spectral road's potentials are transformed from where the mesh holds the remote
    // electrodes and then moved to where they stand (a remote electrode at a survey
    // electrode's x stands on the column beside it).
    const bool moved = rules_.remote_mode == 0;
    const float c2_x = moved ? float(remote_nodes_.c2_at) : in_.c2_x;
    const float p2_x = moved ? float(remote_nodes_.p2_at) : in_.p2_x;
    for (int e = 0; e < np_; ++e) {
        const float x = in_.electrode_x[e];
        offset[e] = std::fabs(in_.c2_y);
        distance[e] = std::hypot(x - c2_x, in_.c2_y);
        offset[np_ + e] = std::fabs(in_.p2_y);
        distance[np_ + e] = std::hypot(x - p2_x, in_.p2_y);
    }
    offset[2 * np_] = std::fabs(in_.c2_y - in_.p2_y);
    distance[2 * np_] = std::hypot(c2_x - p2_x, in_.c2_y - in_.p2_y);
    if (inverse_fourier_transform_cmplx_flt(rules_.remote_mode, distance.get(), v.remote_re.get(),
                                            v.remote_im.get(), offset.get(), second.get(),
                                            third.get(), stride_, nw_, k_.get(), stride_) != 0)
        return fe::report_no_memory();
    if (moved && !spectral_remote_values(v, offset.get(), second.get(), third.get()))
        return fe::report_no_memory();
    // A remote electrode without a node has no potentials; neither has the pair of the two.
    const bool c2 = remote_nodes_.c2_count > 0, p2 = remote_nodes_.p2_count > 0;
    for (int i = 0; i < stride_; ++i) {
        const bool present = i < np_ ? c2 : i < 2 * np_ ? p2 : c2 && p2;
        out.remote_1[i] = present ? double(float(offset[i])) : 0.0;
        out.remote_2[i] = present ? double(float(second[i])) : 0.0;
        out.remote_3[i] = present ? double(float(third[i])) : 0.0;
    }
    if (rules_.remote_mode == 0) return {};
    // The non-linear road's real part is the model's resistivity response, which goes into the
    // data file: transformed as the real solvers transform theirs (from where the remote
    // electrodes stand, exact on a homogeneous earth), where the piecewise rules read it 14 %
    // off 250 m from a line of 2.5 m.
    if (!real_remote_values(v, out.remote_1)) return fe::report_no_memory();
    return {};
}

// The real part of the remote values by the real solvers' transform (fe::transform_remote_values:
// from where the remote electrodes stand, exact on a homogeneous earth) into `out` (2 np + 1
// values). False when work memory is refused.
template <class T> bool ComplexRun<T>::real_remote_values(const Values& v, double* out) {
    std::vector<double> k(k_.get(), k_.get() + nw_), re(std::size_t(stride_) * nw_);
    std::copy(v.remote_re.get(), v.remote_re.get() + re.size(), re.begin());
    return fe::transform_remote_values(remote_nodes_, in_.settings->electrode_table, np_, in_.nelec,
                                       re.data(), nw_, k.data(), 1.0 / in_.nodes_per_spacing, out);
}

// The spectral road's remote values, transformed by the piecewise rules from where the mesh
// holds the remote electrodes (re twice, im), moved to where they stand; the real part then
// replaced by real_remote_values and the imaginary part scaled by the same correction, as the
// pairs' imaginary parts are. The piecewise rules read a half-space's potential 3 % low 2 m
// beside the line, and from a C2 4 spacings beside it the data whose differences it nearly
// cancels up to 33 % of its share off. False when work memory is refused.
template <class T>
bool ComplexRun<T>::spectral_remote_values(const Values& v, double* re, double* re_too,
                                           double* im) {
    for (double* row : {re, re_too, im})
        fe::move_remote_table(remote_nodes_, in_.settings->electrode_table, np_, in_.nelec,
                              0.25 / in_.nodes_per_spacing, row);
    std::vector<double> exact(static_cast<std::size_t>(stride_));
    if (!real_remote_values(v, exact.data())) return false;
    for (int i = 0; i < stride_; ++i) {
        if (re[i] != 0.0) im[i] *= exact[std::size_t(i)] / re[i];
        re[i] = re_too[i] = exact[std::size_t(i)];
    }
    return true;
}

// The strike tables of frequency f by the rule of the real solvers (fd::StrikeWeights, exact
// on a homogeneous earth), the real and the imaginary part alike: the section-plane potential
// less that at the strike offset, or for the offset pole-dipole (array type 10) the potential
// at the offset itself. The interval models of sortfemcmplx read a half-space's difference some
// 2.5 % high and give no offset potential of its own.
template <class T> model::SolverResult ComplexRun<T>::strike_tables(int f) {
    const ip::Outputs& out = freq_[f].out;
    const Values& v = values_[std::size_t(f)];
    const double offset = in_.electrode_offset_ratio > 0.0f ? in_.electrode_offset_ratio : 1.0;
    const int workers = std::max(1, std::min(sys::pool_threads(), np_ - 1));
    const std::vector<double> k(k_.get(), k_.get() + nw_);
    fd::StrikeWeights strike;
    if (!strike.prepare(k.data(), nw_, offset, 1.0 / in_.nodes_per_spacing, np_ - 1, workers))
        return fe::report_no_memory();
    const bool at_offset = in_.array_type == offset_pole_dipole;
    // The ground at the surface electrodes, towards which the pairs are continued beyond the
    // wavenumbers the mesh resolves (the borehole electrodes' pairs hold their last ratio).
    std::vector<std::complex<double>> ground(static_cast<std::size_t>(np_),
                                             {fd::StrikeWeights::no_limit, 0.0});
    for (int e = 0; e < std::min(np_, in_.nelec); ++e)
        ground[std::size_t(e)] = fd::point_source_resistivity(
            in_.nx, in_.nz, in_.margin_columns + e * in_.nodes_per_spacing,
            in_.electrode_water[e] + 1, [&](int i, int j) {
                return std::complex<double>(sigma_re(f, i, j), sigma_im(f, i, j));
            });
    std::vector<std::vector<double>> samples(static_cast<std::size_t>(workers),
                                             std::vector<double>(static_cast<std::size_t>(nw_)));
    // Pair p of a part at p + w pairs_; a part whose first sample is negative is summed negated
    // (the significant samples are counted on a falling positive series), its limit at large
    // wavenumbers with it, and its sign put back.
    auto value = [&](std::vector<double>& x, const float* part, long long p, int d, double limit) {
        for (int w = 0; w < nw_; ++w)
            x[std::size_t(w)] = part[std::size_t(p + (long long)w * pairs_)];
        const double sign = x[0] < 0.0 ? -1.0 : 1.0;
        for (double& e : x)
            e *= sign;
        const int last = count_significant_dbl(nw_, x.data());
        return sign * (at_offset ? strike.strike(x.data(), last, d, sign * limit)
                                 : strike.difference(x.data(), last, d, sign * limit));
    };
    sys::run_in_parallel(np_ - 1, workers, [&](int worker, int item) {
        std::vector<double>& x = samples[std::size_t(worker)];
        const int i = item + 1;
        for (int j = i + 1; j <= np_; ++j) {
            const long long p = fe::pair_position(np_, i, j);
            const int ij = index2d(i, j, in_.lead), ji = index2d(j, i, in_.lead);
            const std::complex<double> limit =
                fd::pair_limit(ground[std::size_t(i - 1)], ground[std::size_t(j - 1)]);
            out.s_re[ij] = out.s_re[ji] = value(x, v.pairs_re.get(), p, j - i, limit.real());
            out.s_im[ij] = out.s_im[ji] = value(x, v.pairs_im.get(), p, j - i, limit.imag());
        }
    });
    return {};
}

// The progress of `done` steps of all the frequencies' wavenumbers.
template <class T> void ComplexRun<T>::progress(int done) const {
    fe::report_progress("Finite-Element Calculations - %5.1f%% completed", done, nfreq_ * nw_);
}

// The sources solved so far in step l, "%s %d/%d" after the step's progress text with the
// electrodes' count; shown only where the calling thread does the only worker's steps, since
// the workers never touch the status window.
template <class T> void ComplexRun<T>::show_sources(int l, int solved) const {
    if (workers_.size() != 1) return;
    const float percentage = float(l) * 100.0f / float(nfreq_ * nw_);
    char text[2048];
    std::snprintf(text, sizeof text, "Finite-Element Calculations - %5.1f%% completed %d/%d",
                  double(percentage), solved, np_);
    update_status(text, round_to_int(percentage * 0.01f * float(Statuswind.bar_width)));
}

template <class T> model::SolverResult ComplexRun<T>::execute() {
    model::PhaseTimer setup(model::Phase::setup);
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
    list_systems();
    number_cell_kinds();
    // The rows of a worker's band padded for the vector units; the Jacobian mode's whole solves
    // take the plain rows.
    row_ = rules_.jacobian ? bw_ + 1 : mx::band_padded_row_length(bw_, int(sizeof(T)));
    if (rules_.jacobian) {
        jacobian_.reset(new ip::JacobianMode(in_, n_, np_, k_.get(), nw_));
        terms_.assign(std::size_t(in_.nx - 1) * (in_.nz - 1) * 10, 0.0);
        if (model::SolverResult r = jacobian_->start(); !r.ok()) return r;
    }
    if (take_workers() == 0) return fe::report_no_memory();
    watch_.reset(new model::BreakWatch(workers_.size() == 1));
    board_.reset(new fe::ItemBoard(nfreq_ * nw_));
    setup.stop();
    const int steps = nfreq_ * nw_;
    results_.assign(std::size_t(steps), model::SolverResult{});
    // A failing step does not stop the steps before it, whose frequencies are still written;
    // only the user's break does.
    const sys::StepsOutcome outcome = sys::run_steps(
        steps, int(workers_.size()),
        [this](int w, int l, const std::atomic<bool>&) { return step(w, l); },
        [this] { return watch_->owner_test(); }, [this](int done) { progress(done); },
        [this](int w, const std::atomic<bool>& stop) { board_->help(w, stop); });
    workers_.clear();
    if (outcome.aborted) return model::SolverResult::failure(model::SolverStatus::user_abort);
    const int complete = outcome.failed >= 0 ? outcome.failed / nw_ : nfreq_;
    for (int f = 0; f < complete; ++f) {
        if (model::SolverResult r = transform(f); !r.ok()) return r;
        if (written_) *written_ = f + 1;
    }
    if (outcome.failed < 0) {
        if (!jacobian_) return {};
        return jacobian_->finish(freq_[0].out.t_re, freq_[0].out.t_im, in_.lead, in_.electrode_x);
    }
    const model::SolverResult failed = results_[std::size_t(outcome.failed)];
    if (failed.status != model::SolverStatus::pivot) return failed;
    beep();
    return fe::report_factor_failure(failed.row);
}

template <class T>
model::SolverResult run(const ip::Inputs& in, const ip::Frequency* f, int count, Rules rules,
                        int* written = nullptr) {
    try {
        return ComplexRun<T>(in, f, count, rules, written).execute();
    } catch (const std::bad_alloc&) {
        return fe::report_no_memory();
    }
}

// The one frequency of a run on in's conductivities.
ip::Frequency only_frequency(const ip::Inputs& in, const ip::Outputs& out) {
    ip::Frequency f;
    f.sigma_re = in.sigma_re;
    f.sigma_im = in.sigma_im;
    f.out = out;
    return f;
}

} // namespace

model::SolverResult calresfemsipd(const ip::Inputs& in, const ip::Outputs& out) {
    const ip::Frequency f = only_frequency(in, out);
    const model::SolverResult result = run<double>(in, &f, 1, Rules{1, 1, in.jacobian_mode});
    model::trace("End calresfemsipd\n");
    return result;
}

model::SolverResult calresfem_cmplx_flt(const ip::Inputs& in, const ip::Outputs& out) {
    const ip::Frequency f = only_frequency(in, out);
    return run<float>(in, &f, 1, Rules{0, 0, false});
}

model::SolverResult ip::solve_frequencies(const Inputs& in, const Frequency* frequencies, int count,
                                          int* written) {
    if (written) *written = 0;
    if (count < 1) return {};
    return run<float>(in, frequencies, count, Rules{0, 0, false}, written);
}

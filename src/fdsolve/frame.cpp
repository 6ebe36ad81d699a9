// The shared frame of the finite-difference drivers: checks, geometry, boundary terms, the
// wavenumber loop, sources and receivers, remote electrodes and the transforms.
#include "fdsolve/frame.h"

#include "fdsolve/bessel.h"
#include "fdsolve/electrode_nodes.h"
#include "fdsolve/receivers.h"
#include "fdsolve/spline.h"
#include "fdsolve/transform.h"
#include "model/globals.h"
#include "model/phase_clock.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/thread_pool.h"
#include "platform/sys/verify.h"
#include "platform/sys/workers.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <vector>

namespace fd {

double Geometry::sigma(int i, int j) const {
    return conductivity[index2d(i, j, nx - 1)];
}

model::SolverResult report_failure(model::SolverStatus status, const char* text) {
    model::report_error(model::Shown::status_line, nullptr, "%s", text);
    return model::SolverResult::failure(status);
}

model::SolverResult prepare_geometry(const Inputs& in, Geometry& g) {
    using model::SolverStatus;
    char text[160];
    if (in.nky < 2 || in.nky > max_wavenumbers) {
        std::snprintf(text, sizeof text,
                      "The number of wavenumbers (%d) must lie between 2 and %d.", in.nky,
                      max_wavenumbers);
        return report_failure(SolverStatus::bad_input, text);
    }
    if (!(in.ky_min > 0.0f) || !(in.ky_max > in.ky_min)) {
        std::snprintf(text, sizeof text,
                      "The wavenumbers must be positive and increasing (%g to %g).",
                      double(in.ky_min), double(in.ky_max));
        return report_failure(SolverStatus::bad_input, text);
    }
    // Every electrode needs its side nodes and the boundary needs a reference point inside.
    bool fits = in.nx >= 4 && in.nz >= 2 && in.nelec >= 2 && in.nodes_per_spacing >= 1;
    for (int e = 1; fits && e <= in.nelec; ++e) {
        const int column = in.margin_columns + (e - 1) * in.nodes_per_spacing;
        const int row = in.electrode_water[e - 1] + 1;
        fits = column >= 2 && column <= in.nx - 1 && row >= 1 && row <= in.nz;
    }
    if (!fits)
        return report_failure(SolverStatus::bad_input,
                              "The electrodes do not fit the finite-difference mesh.");
    bool positive = true;
    for (int i = 0; i < in.nx - 1; ++i)
        positive = positive && in.node_col_dx[i] > 0.0f;
    for (int j = 0; j < in.nz - 1; ++j)
        positive = positive && in.node_row_dz[j] > 0.0f;
    if (!positive)
        return report_failure(SolverStatus::bad_input,
                              "The finite-difference mesh has a node spacing of 0 or less.");
    g.nx = in.nx;
    g.nz = in.nz;
    g.dx_table = in.node_col_dx;
    g.dz_table = in.node_row_dz;
    g.conductivity = in.conductivity;
    if (!g.x_nodes.allocate(g.nx) || !g.z_nodes.allocate(g.nz))
        return report_failure(SolverStatus::no_memory, "Error in allocating memory.");
    for (int i = 1; i < g.nx; ++i)
        g.x_nodes[i] = g.x_nodes[i - 1] + g.dx(i);
    for (int j = 1; j < g.nz; ++j)
        g.z_nodes[j] = g.z_nodes[j - 1] + g.dz(j);
    return {};
}

double boundary_term(double x0, double x1, double z, double k, double sigma, double length,
                     double factor, bool side) {
    double d = 0.0, r = 0.0;
    const double ratio = bessel_ratio_k1_k0_dbl(x0, x1, z, &d, &r, k);
    const double cosine = (side ? d : z) / r;
    return sigma * ratio * cosine * length * factor;
}

bool boundary_terms(const Geometry& g, double x0, double k, double factor, BoundaryTerms& terms) {
    if (!terms.left.allocate(g.nz - 1) || !terms.right.allocate(g.nz - 1) ||
        !terms.bottom.allocate(g.nx - 1))
        return false;
    for (int j = 1; j < g.nz; ++j) {
        const double z = g.z(j) + 0.5 * g.dz(j);
        terms.left[j - 1] = boundary_term(x0, g.x(1), z, k, g.sigma(1, j), g.dz(j), factor, true);
        terms.right[j - 1] =
            boundary_term(x0, g.x(g.nx), z, k, g.sigma(g.nx - 1, j), g.dz(j), factor, true);
    }
    for (int i = 1; i < g.nx; ++i) {
        const double x = g.x(i) + 0.5 * g.dx(i);
        terms.bottom[i - 1] =
            boundary_term(x0, x, g.z(g.nz), k, g.sigma(i, g.nz - 1), g.dx(i), factor, false);
    }
    return true;
}

namespace {

// Value of stencil s about `node` in the solution x, whose row of a node is row(node).
template <class T, class Row>
double stencil_value(const T* x, Row row, int side_step, const Stencil& s, int node) {
    double value = s.centre * x[row(node) - 1];
    if (s.side != 0.0)
        value += s.side * (x[row(node - side_step) - 1] + x[row(node + side_step) - 1]);
    return value;
}

// The receivers of source e (before it for order 0, after it for order 1) into the pair table
// of wavenumber l; p counts the entries written so far.
template <class T, class Row>
void gather_receivers(const T* x, Row row, int side_step, const Stencil& s,
                      const int* electrode_nodes, int e, int nelec, int order, int l, int npairs,
                      int& p, T* pair_table) {
    const int r0 = order != 0 ? e + 1 : 1, r1 = order != 0 ? nelec : e - 1;
    for (int r = r0; r <= r1; ++r)
        pair_table[index2d(++p, l, npairs)] =
            T(stencil_value(x, row, side_step, s, electrode_nodes[r - 1]));
}

// Remote electrode C2 or P2 on the surface: its nodes and weights.
struct Remote {
    double at = 0.0;      ///< x from the first electrode: the nodes' x by their weights
    double spacing = 0.0; ///< the widest node spacing next to its nodes
    int count = 0;
    int nodes[2] = {0, 0};
    double weights[2] = {0.0, 0.0};
};

// One worker of the wavenumber loop: its workspace and its right-hand sides (4 n doubles).
struct Worker {
    std::unique_ptr<Workspace> space;
    sys::PageArray<double> rhs;
};

// Codes of a wavenumber's failure on a worker, reported by the owner.
constexpr int failed_memory = 1, failed_pivot = 2;

// The run's state between the wavenumbers; the workers that have left help the last ones.
class Run final : public Helpers {
  public:
    Run(const Inputs& in, const Geometry& g, Formulation& f) : in_(in), g_(g), f_(f) {}
    model::SolverResult execute();
    int offer(std::function<void(Workspace& idle)> task) override;
    bool withdraw(int number) override;
    void release(int number) override;

  private:
    model::SolverResult allocate();
    int workers();
    bool take_worker(Worker& w) const;
    bool shares_factor(int l) const;
    void help(int worker, const std::atomic<bool>& stop);
    void place_remote_electrodes();
    int wavenumber(Worker& w, int l, const std::atomic<bool>& stop);
    bool electrode_potentials(int l, Worker& w, Helpers* helpers);
    bool solve_electrodes(int l, Worker& w, const std::atomic<bool>& stop);
    void solve_remote(int l, Worker& w);
    int transform();
    void progress(const char* format, double percent) const;

    int electrode_node(int e) const { return electrode_nodes_[e - 1]; }
    auto row_of() const {
        return [this](int node) { return f_.row(node); };
    }
    // Weighted value of an electrode's receiver stencil in the solution vector v.
    double read(const double* v, int node, const Stencil& s) const;
    // Adds the stencil of a source at `node` to v; returns the lowest row it touched.
    int put(double* v, int node, double weight, const Stencil& s) const;
    // Lowest row read by a receiver stencil at `node`; the rows it reads are added to `reads`.
    int rows_read(int node, const Stencil& s, std::vector<int>& reads) const;
    double read_remote(const double* v, const Remote& r) const;

    const Inputs& in_;
    const Geometry& g_;
    Formulation& f_;
    int n_ = 0, pairs_ = 0;
    bool remote_ = false;
    Remote c2_, p2_;
    sys::PageArray<double> k_, pair_values_, remote_values_, pivot_values_;
    sys::PageArray<int> electrode_nodes_, electrode_rows_, pivot_rows_;
    std::vector<Worker> workers_;
    StrikeWeights strike_; ///< the transform's, when had before the wavenumbers

    // Offers of half a factorisation to the workers that have left.
    struct Offer {
        int number = 0;
        std::function<void(Workspace&)> task;
        bool taken = false, finished = false;
    };
    std::mutex offers_mutex_;
    std::condition_variable offers_changed_;
    std::vector<Offer> offers_;
    int next_offer_ = 0;
    int sharing_ = 0; ///< wavenumbers that may still offer
};

double Run::read(const double* v, int node, const Stencil& s) const {
    return stencil_value(v, row_of(), f_.side_step(), s, node);
}

int Run::put(double* v, int node, double weight, const Stencil& s) const {
    int first = f_.row(node);
    v[first - 1] += weight * s.centre;
    if (s.side != 0.0) {
        const int step = f_.side_step();
        for (int side : {node - step, node + step}) {
            const int row = f_.row(side);
            v[row - 1] += weight * s.side;
            first = std::min(first, row);
        }
    }
    return first;
}

int Run::rows_read(int node, const Stencil& s, std::vector<int>& reads) const {
    reads.push_back(f_.row(node));
    if (s.side != 0.0) {
        const int step = f_.side_step();
        reads.push_back(f_.row(node - step));
        reads.push_back(f_.row(node + step));
    }
    return *std::min_element(reads.end() - (s.side != 0.0 ? 3 : 1), reads.end());
}

double Run::read_remote(const double* v, const Remote& r) const {
    double value = 0.0;
    for (int q = 0; q < r.count; ++q)
        value += r.weights[q] * v[f_.row(r.nodes[q]) - 1];
    return value;
}

void Run::progress(const char* format, double percent) const {
    char text[96];
    std::snprintf(text, sizeof text, format, percent);
    update_status(text, round_to_int(float(Statuswind.bar_width * percent * 0.01)));
}

model::SolverResult Run::allocate() {
    const int N = in_.nelec;
    n_ = g_.nx * g_.nz;
    pairs_ = N * (N - 1) / 2;
    remote_ = in_.remote_electrodes > 0 && in_.remote_table != nullptr;
    bool ok = k_.allocate(in_.nky) && pair_values_.allocate(std::size_t(pairs_) * in_.nky) &&
              electrode_nodes_.allocate(N) && electrode_rows_.allocate(N) &&
              pivot_values_.allocate(in_.nky) && pivot_rows_.allocate(in_.nky);
    if (ok && remote_) ok = remote_values_.allocate(std::size_t(2 * N + 1) * in_.nky);
    if (!ok) return report_failure(model::SolverStatus::no_memory, "Error in allocating memory.");
    for (int e = 1; e <= N; ++e)
        electrode_nodes_[e - 1] = f_.node(in_.margin_columns + (e - 1) * in_.nodes_per_spacing,
                                          in_.electrode_water[e - 1] + 1);
    return {};
}

void Run::place_remote_electrodes() {
    int list[4];
    double weights[4];
    find_remote_electrode_nodes(in_.nodes_per_spacing, in_.nelec, 4, in_.margin_columns, g_.nx,
                                g_.x_nodes.get(), in_.c2_x, in_.p2_x, list, weights, &c2_.count,
                                &p2_.count);
    const double first = g_.x_nodes[in_.margin_columns - 1];
    int q = 0;
    for (Remote* r : {&c2_, &p2_}) {
        r->at = 0.0;
        int columns[2] = {0, 0};
        for (int i = 0; i < r->count; ++i, ++q) {
            r->nodes[i] = f_.node(list[q], 1);
            r->weights[i] = weights[q];
            r->at += weights[q] * (g_.x_nodes[list[q] - 1] - first);
            columns[i] = list[q] - 1;
        }
        r->spacing = widest_spacing_at(g_.x_nodes.get(), g_.nx, columns, r->count);
    }
}

// The pair values of wavenumber l (0-based) straight from the factor, when the formulation
// offers them: electrodes of one node each, receivers before their source.
bool Run::electrode_potentials(int l, Worker& w, Helpers* helpers) {
    const Stencil source = f_.source_stencil(), receiver = f_.receiver_stencil();
    if (source.side != 0.0 || receiver.side != 0.0 || f_.pair_order() != 0) return false;
    double* column = pair_values_.get() + std::size_t(l) * pairs_;
    if (!w.space->electrode_potentials(in_.nelec, electrode_rows_.get(), column, helpers))
        return false;
    const double weight = source.centre * receiver.centre;
    if (weight != 1.0)
        for (int p = 0; p < pairs_; ++p)
            column[p] *= weight;
    return true;
}

// Solves for every source electrode, four at a time, and stores the pair values of
// wavenumber l in the order of the formulation; false when `stop` came first.
bool Run::solve_electrodes(int l, Worker& w, const std::atomic<bool>& stop) {
    const int N = in_.nelec;
    const bool after = f_.pair_order() != 0; // receivers after the source
    const Stencil source = f_.source_stencil(), receiver = f_.receiver_stencil();
    const int first_source = after ? 1 : 2, last_source = after ? N - 1 : N;
    int p = 0;
    std::vector<int> reads;
    for (int e0 = first_source; e0 <= last_source; e0 += 4) {
        if (stop.load(std::memory_order_relaxed)) return false;
        const int count = std::min(4, last_source - e0 + 1);
        double* v[4];
        int first[4], stop_row[4];
        reads.clear();
        for (int b = 0; b < count; ++b) {
            const int e = e0 + b;
            v[b] = w.rhs.get() + std::size_t(b) * n_;
            std::fill(v[b], v[b] + n_, 0.0);
            first[b] = put(v[b], electrode_node(e), 1.0, source);
            stop_row[b] = n_;
            const int r0 = after ? e + 1 : 1, r1 = after ? N : e - 1;
            for (int r = r0; r <= r1; ++r)
                stop_row[b] = std::min(stop_row[b], rows_read(electrode_node(r), receiver, reads));
        }
        w.space->solve(count, v, first, stop_row, reads);
        for (int b = 0; b < count; ++b)
            gather_receivers(v[b], row_of(), f_.side_step(), receiver, electrode_nodes_.get(),
                             e0 + b, N, f_.pair_order(), l, pairs_, p, pair_values_.get());
    }
    VERIFY(p == pairs_, p); // every pair once, in the order of the transform
    return true;
}

// Potentials of wavenumber l due to C2 and P2: rows 1..N the potential at each electrode
// from C2, rows N+1..2N that from P2 (equal, by reciprocity, to the potential at P2 from the
// electrode), row 2N+1 the potential at P2 from C2.
void Run::solve_remote(int l, Worker& w) {
    const int N = in_.nelec, rows = 2 * N + 1;
    const Stencil receiver = f_.receiver_stencil();
    const Remote* sources[2] = {&c2_, &p2_};
    std::vector<int> reads;
    for (int which = 0; which < 2; ++which) {
        const Remote& r = *sources[which];
        if (r.count == 0) continue;
        double* v = w.rhs.get();
        std::fill(v, v + n_, 0.0);
        int first = n_, stop = n_;
        for (int q = 0; q < r.count; ++q) {
            first = std::min(first, f_.row(r.nodes[q]));
            v[f_.row(r.nodes[q]) - 1] += r.weights[q];
        }
        reads.clear();
        for (int e = 1; e <= N; ++e)
            stop = std::min(stop, rows_read(electrode_node(e), receiver, reads));
        if (which == 0)
            for (int q = 0; q < p2_.count; ++q) {
                reads.push_back(f_.row(p2_.nodes[q]));
                stop = std::min(stop, reads.back());
            }
        w.space->solve(1, &v, &first, &stop, reads);
        for (int e = 1; e <= N; ++e)
            remote_values_[index2d(which * N + e, l, rows)] = read(v, electrode_node(e), receiver);
        if (which == 0) remote_values_[index2d(rows, l, rows)] = read_remote(v, p2_);
    }
}

// Transforms the remote values (into a scratch vector first) and the pair table; the outputs
// are written only when both transforms can run.
int Run::transform() {
    const int N = in_.nelec, rows = 2 * N + 1;
    // The ground at each electrode, towards which the strike transforms continue the pairs
    // beyond the wavenumbers the mesh resolves.
    sys::PageArray<double> ground(N);
    if (!ground.ok()) return 1;
    for (int e = 1; e <= N; ++e)
        ground[e - 1] = point_source_resistivity(
            g_.nx, g_.nz, in_.margin_columns + (e - 1) * in_.nodes_per_spacing,
            in_.electrode_water[e - 1] + 1, [this](int i, int j) { return g_.sigma(i, j); });
    sys::PageArray<double> d, s, h, y;
    if (remote_) {
        if (!d.allocate(rows) || !s.allocate(rows) || !h.allocate(rows) || !y.allocate(rows))
            return 1;
        // The section-plane distances from where the electrodes stand on the mesh (one that
        // stands on a receiver's node taken a quarter of the node spacing off it), and the
        // spacings the mesh follows their potentials with.
        const double line = 1.0 / in_.nodes_per_spacing, nearest = 0.25 * line;
        const double c2_h = std::max(line, c2_.spacing), p2_h = std::max(line, p2_.spacing);
        for (int e = 1; e <= N; ++e) {
            const double along = e - 1;
            d[e - 1] = std::max(std::fabs(c2_.at - along), nearest);
            s[e - 1] = in_.c2_y;
            h[e - 1] = c2_h;
            d[N + e - 1] = std::max(std::fabs(p2_.at - along), nearest);
            s[N + e - 1] = in_.p2_y;
            h[N + e - 1] = p2_h;
        }
        d[rows - 1] = std::max(std::fabs(p2_.at - c2_.at), nearest);
        s[rows - 1] = double(in_.p2_y) - double(in_.c2_y);
        h[rows - 1] = std::max(c2_h, p2_h);
        if (strike_point_potentials(d.get(), s.get(), h.get(), remote_values_.get(), y.get(), rows,
                                    in_.nky, k_.get(), rows) != 0)
            return 1;
        // The potentials moved from where the mesh holds the remote electrodes (a column beside
        // a survey electrode's, or a column within 0.1 spacing) to where they stand; one
        // without a node contributes nothing.
        move_remote_potentials(y.get(), N, c2_.at, in_.c2_x, in_.c2_y, nearest);
        move_remote_potentials(y.get() + N, N, p2_.at, in_.p2_x, in_.p2_y, nearest);
        y[rows - 1] *= remote_distance_ratio(p2_.at - c2_.at, double(in_.p2_x) - in_.c2_x, 0.0,
                                             s[rows - 1], nearest);
        for (int e = 1; e <= N; ++e) {
            if (c2_.count == 0) y[e - 1] = 0.0;
            if (p2_.count == 0) y[N + e - 1] = 0.0;
        }
        if (c2_.count == 0 || p2_.count == 0) y[rows - 1] = 0.0;
    }
    if (fourier_transform_grid(in_.lead, in_.electrode_offset_ratio, f_.pair_order(),
                               pair_values_.get(), in_.table_a, in_.table_b, N, in_.nky, k_.get(),
                               4, pairs_, in_.array_type, 1.0 / in_.nodes_per_spacing, &strike_,
                               ground.get()) != 0)
        return 1;
    if (remote_) std::copy(y.get(), y.get() + rows, in_.remote_table);
    return 0;
}

// Takes worker w's workspace and right-hand sides; false when the memory is refused.
bool Run::take_worker(Worker& w) const {
    w.space = f_.workspace();
    return w.space && w.rhs.allocate(4 * std::size_t(n_));
}

// Workers for the wavenumbers, each with its own workspace from the page allocator: as many as
// the solver threads (at most one a wavenumber) whose workspaces the free memory holds, the
// first whatever the count (sys::take_workers); fewer when memory is short, with the strike
// weights given back first. Returns the number had (0 when the first one's memory is refused).
int Run::workers() {
    const int wanted = std::max(1, std::min(sys::pool_threads(), in_.nky));
    {
        Worker first; // given back here when refused, before a second try
        long long bytes = 0;
        if (sys::take_counting(bytes, [&] { return take_worker(first); })) {
            workers_.push_back(std::move(first));
            sys::take_workers(workers_, wanted, bytes, [&](Worker& w) { return take_worker(w); });
        }
    }
    // The strike weights had early must not cost a worker: the transform can work them out
    // when the workers have gone.
    if (int(workers_.size()) < wanted && strike_.held()) {
        workers_.clear();
        strike_.release();
        f_.release_extras();
        return workers();
    }
    return int(workers_.size());
}

// Whether wavenumber l (0-based) shares its factorisation with the workers that have left:
// those of a last round that leaves at least half of the workers idle.
bool Run::shares_factor(int l) const {
    const int workers = int(workers_.size()), last = in_.nky % workers;
    return workers > 1 && in_.nky > workers && last > 0 && 2 * last <= workers &&
           l >= in_.nky - last;
}

int Run::offer(std::function<void(Workspace& idle)> task) {
    std::lock_guard<std::mutex> lock(offers_mutex_);
    Offer o;
    o.number = ++next_offer_;
    o.task = std::move(task);
    offers_.push_back(std::move(o));
    offers_changed_.notify_all();
    return next_offer_;
}

bool Run::withdraw(int number) {
    std::unique_lock<std::mutex> lock(offers_mutex_);
    const auto mine = [&] {
        return std::find_if(offers_.begin(), offers_.end(),
                            [&](const Offer& o) { return o.number == number; });
    };
    offers_changed_.wait(lock, [&] { return !mine()->taken || mine()->finished; });
    if (mine()->taken) return false;
    offers_.erase(mine());
    return true;
}

void Run::release(int number) {
    std::lock_guard<std::mutex> lock(offers_mutex_);
    offers_.erase(std::find_if(offers_.begin(), offers_.end(),
                               [&](const Offer& o) { return o.number == number; }));
    offers_changed_.notify_all();
}

// A worker that has left: takes the offers open until no wavenumber can offer any more or the
// run stops.
void Run::help(int worker, const std::atomic<bool>& stop) {
    Workspace& idle = *workers_[std::size_t(worker)].space;
    std::unique_lock<std::mutex> lock(offers_mutex_);
    for (;;) {
        const auto open =
            std::find_if(offers_.begin(), offers_.end(), [](const Offer& o) { return !o.taken; });
        if (open != offers_.end()) {
            open->taken = true;
            const int number = open->number;
            const std::function<void(Workspace&)> task = open->task;
            lock.unlock();
            {
                model::PhaseTimer timer(model::Phase::factor);
                task(idle);
            }
            lock.lock();
            const auto mine = [&] {
                return std::find_if(offers_.begin(), offers_.end(),
                                    [&](const Offer& o) { return o.number == number; });
            };
            mine()->finished = true;
            offers_changed_.notify_all();
            // The offering thread reads the work arrays until it releases them.
            offers_changed_.wait(lock, [&] { return mine() == offers_.end(); });
            continue;
        }
        if (sharing_ == 0 || stop.load()) return;
        offers_changed_.wait_for(lock, std::chrono::milliseconds(2));
    }
}

// Wavenumber l (0-based) on worker w: assemble, factor, solve every electrode.
int Run::wavenumber(Worker& w, int l, const std::atomic<bool>& stop) {
    // A wavenumber that may offer half of its factorisation says when it can offer no more.
    struct Sharing {
        Run* run;
        void done() {
            if (!run) return;
            std::lock_guard<std::mutex> lock(run->offers_mutex_);
            --run->sharing_;
            run->offers_changed_.notify_all();
            run = nullptr;
        }
        ~Sharing() { done(); }
    } sharing{shares_factor(l) ? this : nullptr};
    model::PhaseTimer timer(model::Phase::assembly);
    if (!w.space->assemble(k_[l])) return failed_memory;
    timer.stop(model::Phase::factor);
    if (stop.load()) return sys::step_stopped;
    // One worker runs on the owning thread, which may show its progress between the phases.
    if (workers_.size() == 1) progress("Modelling %5.1f%%", l * 100.0 / in_.nky);
    double pivot = 0.0;
    const int row = w.space->factor(pivot, sharing.run);
    if (row != 0) {
        pivot_rows_[l] = row;
        pivot_values_[l] = pivot;
        return failed_pivot;
    }
    timer.stop(model::Phase::solves);
    const bool from_factor = electrode_potentials(l, w, sharing.run);
    sharing.done();
    if (!from_factor && !solve_electrodes(l + 1, w, stop)) return sys::step_stopped;
    if (remote_) solve_remote(l + 1, w);
    return sys::step_done;
}

model::SolverResult Run::execute() {
    using model::SolverStatus;
    model::PhaseTimer setup(model::Phase::setup);
    if (model::SolverResult r = allocate(); !r.ok()) return r;
    log_spaced(in_.nky, k_.get(), first_wavenumber(in_), double(in_.ky_max));
    {
        // The transform's strike weights need only the wavenumbers: the other threads work them
        // out while this one orders the matrix. They are had before the workers take their
        // memory, so that the number of workers a memory limit allows stays what it was.
        const int threads = sys::pool_threads();
        std::optional<sys::Beside> strike;
        if (threads > 1)
            strike.emplace([this, threads] {
                strike_.prepare(k_.get(), in_.nky, double(in_.electrode_offset_ratio),
                                1.0 / in_.nodes_per_spacing, in_.nelec - 1, threads - 1);
            });
        const model::SolverResult r = f_.prepare();
        strike.reset();
        if (!r.ok()) return r;
    }
    for (int e = 1; e <= in_.nelec; ++e)
        electrode_rows_[e - 1] = f_.row(electrode_node(e));
    setup.stop();
    if (workers() == 0)
        return report_failure(SolverStatus::no_memory, "Error in allocating memory.");
    if (remote_) place_remote_electrodes();

    for (int l = 0; l < in_.nky; ++l)
        if (shares_factor(l)) ++sharing_;
    const sys::StepsOutcome outcome = sys::run_steps(
        in_.nky, int(workers_.size()),
        [this](int w, int l, const std::atomic<bool>& stop) {
            return wavenumber(workers_[std::size_t(w)], l, stop);
        },
        user_aborted,
        [this](int done) {
            const double percent = done * 100.0 / in_.nky;
            progress("Finite-Difference Calculations - %5.1f%% completed", percent);
            progress("Set matrices %5.1f%%", percent);
        },
        [this](int w, const std::atomic<bool>& stop) { help(w, stop); });
    workers_.clear();
    if (outcome.aborted) return model::SolverResult::failure(SolverStatus::user_abort);
    if (outcome.failed >= 0) {
        if (outcome.code == failed_pivot)
            return f_.pivot_failure(pivot_rows_[outcome.failed], pivot_values_[outcome.failed]);
        return report_failure(SolverStatus::no_memory, "Error in allocating memory.");
    }

    update_status("Calculating Potentials", Statuswind.bar_width);
    model::PhaseTimer timer(model::Phase::transform);
    if (transform() != 0)
        return report_failure(SolverStatus::no_memory, "Error in allocating memory.");
    return {};
}

} // namespace

model::SolverResult run_forward(const Inputs& in, const Geometry& g, Formulation& f) {
    Run run(in, g, f);
    return run.execute();
}

} // namespace fd

namespace {

// A solution in node order (invp null) or in the order of the ordering.
auto node_rows(const int* invp) {
    return [invp](int node) { return invp ? invp[node - 1] : node; };
}

// The pair number *p of the next entry around a gather that counts the entries written.
template <class T>
void gather(const T* x, const int* invp, const fd::Stencil& s, const int* electrode_nodes, int e,
            int nelec, int order, int l, int npairs, int* p, T* pair_table) {
    int written = *p - 1;
    fd::gather_receivers(x, node_rows(invp), 1, s, electrode_nodes, e, nelec, order, l, npairs,
                         written, pair_table);
    *p = written + 1;
}

} // namespace

void gather_pair_potentials(const double* x, const int* invp, const int* electrode_nodes, int e,
                            int nelec, int order, int l, int npairs, int* p, double* pair_table) {
    gather(x, invp, fd::Stencil{}, electrode_nodes, e, nelec, order, l, npairs, p, pair_table);
}

void gather_pair_potentials_flt(const float* x, const int* invp, const int* electrode_nodes, int e,
                                int nelec, int order, int l, int npairs, int* p,
                                float* pair_table) {
    gather(x, invp, fd::Stencil{}, electrode_nodes, e, nelec, order, l, npairs, p, pair_table);
}

void gather_pair_potentials_weighted(const double* x, const int* invp, const int* electrode_nodes,
                                     int e, int nelec, int order, int distributed_source,
                                     double current_node_weight, double side_node_weight, int l,
                                     int npairs, int* p, double* pair_table) {
    const fd::Stencil s = distributed_source >= 1
                              ? fd::Stencil{current_node_weight, side_node_weight}
                              : fd::Stencil{};
    gather(x, invp, s, electrode_nodes, e, nelec, order, l, npairs, p, pair_table);
}

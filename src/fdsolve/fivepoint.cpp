// The "Modified 5-point", "Dey & Morrison original" and "Modified 9-point" formulations: their
// matrices in sparse compressed-subscript storage under a nested-dissection ordering.
#include "fdsolve/dey_morrison.h"
#include "fdsolve/fdsolve.h"
#include "fdsolve/frame.h"
#include "fdsolve/ninepoint.h"

#include "matrix/gridgraph.h"
#include "matrix/ordering.h"
#include "matrix/sparse.h"
#include "model/services.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace fd {
namespace {

// Horizontal, vertical and wavenumber terms of a cell: sigma dz/(2 dx), sigma dx/(2 dz) and
// sigma k^2 dx dz/64; zero for a cell outside the grid.
struct CellTerms {
    double h = 0.0, v = 0.0, m = 0.0;
};
CellTerms cell_terms(const Geometry& g, int i, int j, double k2) {
    if (!g.cell(i, j)) return {};
    const double s = g.sigma(i, j), dx = g.dx(i), dz = g.dz(j);
    return {s * dz * (0.5 / dx), s * dx * (0.5 / dz), s * k2 * dx * dz * 0.015625};
}

class SparseFormulation;

// Below these sizes a step is quicker on one thread than handed to others: the electrodes whose
// potentials a wavenumber shares with a worker that has left, the nodes whose couplings are
// placed on the solver threads (measured on lines of 96 and 301 electrodes).
constexpr int shared_from_electrodes = 150;
constexpr int parallel_from_nodes = 20000;

// One worker's factor storage over the formulation's ordering and structure.
class SparseWorkspace final : public Workspace {
  public:
    explicit SparseWorkspace(const SparseFormulation& f) : f_(f) {}
    bool allocate(int n, int nz, int maxlnz, std::size_t paths, bool dey_morrison) {
        lnz_clean_ = true;
        return lnz_.allocate(maxlnz) && diag_.allocate(n) && temp_.allocate(n) &&
               link_.allocate(n) && first_.allocate(n) && needed_.allocate(n) &&
               path_rows_.allocate(paths) && path_values_.allocate(paths) &&
               path_work_.allocate(4 * std::size_t(n)) &&
               (!dey_morrison || row_depths_.allocate(nz));
    }
    bool assemble(double k) override;
    int factor(double& pivot, Helpers* helpers) override;
    void solve(int count, double* const* rhs, const int* first, const int* stop,
               const std::vector<int>& reads) override;
    bool electrode_potentials(int count, const int* rows, double* packed,
                              Helpers* helpers) override;

  private:
    void share(Helpers* helpers, const std::function<void(SparseWorkspace&)>& theirs,
               const std::function<void()>& mine);

    const SparseFormulation& f_;
    sys::PageArray<int> link_, first_;
    sys::PageArray<double> lnz_, diag_, temp_;
    bool lnz_clean_ = false;               ///< lnz_ holds zeros only, as fresh work memory does
    sys::PageArray<double> row_depths_;    ///< nz node-row depths (Dey & Morrison only)
    sys::PageArray<unsigned char> needed_; ///< n rows a solve computes: those read and above
    sys::PageArray<int> path_rows_;        ///< the electrodes' tree paths (nelec x tree height)
    sys::PageArray<double> path_values_;   ///< L⁻¹ along them
    sys::PageArray<double> path_work_;     ///< 4 n, zero between the calls
};

// Five-point nodes numbered row after row, (i, j) = (j - 1) nx + i, nine-point nodes down the
// columns, (i - 1) nz + j; the solve vectors are in the order of the nested-dissection
// permutation.
class SparseFormulation final : public Formulation {
  public:
    SparseFormulation(const Inputs& in, const Geometry& g, Scheme scheme)
        : in_(in), g_(g), scheme_(scheme), n_(g.nx * g.nz) {}

    int node(int column, int row) const override {
        return nine_point() ? (column - 1) * g_.nz + row : (row - 1) * g_.nx + column;
    }
    int side_step() const override { return nine_point() ? g_.nz : 1; }
    int pair_order() const override { return 0; }
    Stencil source_stencil() const override {
        if (nine_point()) return nine_point_stencil();
        if (in_.distributed_source <= 0) return {};
        return {in_.current_node_weight, (1.0 - in_.current_node_weight) * 0.5};
    }
    Stencil receiver_stencil() const override {
        if (nine_point()) return nine_point_stencil();
        if (scheme_ == Scheme::modified_5pt || in_.distributed_source < 1) return {};
        return {in_.current_node_weight, in_.side_node_weight};
    }
    model::SolverResult prepare() override;
    std::unique_ptr<Workspace> workspace() const override {
        auto w = std::make_unique<SparseWorkspace>(*this);
        if (!w->allocate(n_, g_.nz, maxlnz_, paths(), scheme_ == Scheme::dey_morrison))
            return nullptr;
        return w;
    }
    void release_extras() override {
        part_.release();
        split_ = false;
    }
    model::SolverResult pivot_failure(int row, double value) const override {
        if (nine_point()) {
            // The node of the failing pivot, as the nine-point driver has always named it.
            beep();
            model::report_error(model::Shown::box_in_front, "Message",
                                "Calculation error at point %5d.", perm_[row - 1]);
            return model::SolverResult::pivot_at(perm_[row - 1]);
        }
        model::report_error(model::Shown::status_line, nullptr,
                            "Calculation error at point %5d %5d with value %7.2f.", row,
                            perm_[row - 1], value);
        return model::SolverResult::pivot_at(row);
    }
    int row(int node) const override { return invp_[node - 1]; }

  private:
    friend class SparseWorkspace;
    bool nine_point() const { return scheme_ == Scheme::modified_9pt; }
    Stencil nine_point_stencil() const {
        if (in_.distributed_source == 0) return {};
        return {in_.current_node_weight, in_.side_node_weight};
    }
    model::SolverResult order();
    void find_couplings();
    double boundary_5pt(const BoundaryTerms& b, int i, int j) const;
    // Entries the electrodes' tree paths take at most.
    std::size_t paths() const { return std::size_t(std::max(in_.nelec, 0)) * tree_height_; }

    const Inputs& in_;
    const Geometry& g_;
    Scheme scheme_;
    int n_, maxlnz_ = 0, tree_height_ = 0;
    sys::PageArray<int> perm_, invp_, xlnz_, xnzsub_, nzsub_;
    sys::PageArray<int> parent_;                   ///< n columns' parents in the elimination tree
    sys::PageArray<int> left_entry_, upper_entry_; ///< lnz position of (v, v-1) and (v, v-nx)
    sys::PageArray<int> nine_entry_; ///< nine-point: lnz position of each NinePointCoupling of v
    sys::PageArray<unsigned char> part_; ///< the columns' halves of a shared factor
    bool split_ = false;                 ///< whether the factor can be shared
};

// The nested-dissection ordering and the symbolic factorisation of the grid's graph: five-point,
// or nine-point with room for the subscripts of its wider fill.
model::SolverResult SparseFormulation::order() {
    using model::SolverStatus;
    if (!perm_.allocate(n_) || !invp_.allocate(n_) || !xlnz_.allocate(n_ + 1) ||
        !xnzsub_.allocate(n_ + 1) || !parent_.allocate(n_))
        return report_failure(SolverStatus::no_memory, "Error in allocating memory.");
    int maxlnz = 0;
    if (!nine_point()) {
        int maxsub = 8 * n_;
        if (!nzsub_.allocate(std::size_t(maxsub)))
            return report_failure(SolverStatus::no_memory, "Error in allocating memory.");
        if (sparse_solve_setup(g_.nx, g_.nz, perm_.get(), invp_.get(), xlnz_.get(), xnzsub_.get(),
                               nzsub_.get(), maxsub, maxlnz) != 0)
            return report_failure(SolverStatus::ordering,
                                  "Error in alternate-diagonal subroutine.");
    } else {
        sys::PageArray<int> adjncy(8 * std::size_t(n_)), xadj(n_ + 1);
        int maxsub = 16 * n_;
        if (!adjncy.ok() || !xadj.ok() || !nzsub_.allocate(std::size_t(maxsub)))
            return report_failure(SolverStatus::no_memory, "Error in allocating memory.");
        set_adj_2d_9pt(xadj.get(), adjncy.get(), g_.nx, g_.nz);
        if (nd_order_and_symbolic_factorisation(maxlnz, n_, xadj.get(), adjncy.get(), xlnz_.get(),
                                                xnzsub_.get(), nzsub_.get(), perm_.get(),
                                                invp_.get(), maxsub) != 0)
            return report_failure(SolverStatus::ordering,
                                  "Insufficient memory for subscript array.");
    }
    maxlnz_ = maxlnz;
    return {};
}

// The couplings' places in the factor storage, found once, a row of nodes at a time on the
// solver threads; every wavenumber writes them.
void SparseFormulation::find_couplings() {
    auto entry = [&](int v, int w) {
        const int a = invp_[v - 1], b = invp_[w - 1];
        return mx::find_compressed_entry(std::max(a, b), std::min(a, b), xlnz_.get(), nzsub_.get(),
                                         xnzsub_.get());
    };
    const int threads = n_ < parallel_from_nodes ? 1 : sys::pool_threads();
    constexpr int couplings = int(NinePointCoupling::count);
    sys::run_in_parallel(g_.nz, threads, [&](int, int row) {
        const int j = row + 1;
        for (int i = 1; i <= g_.nx; ++i) {
            const int v = node(i, j);
            if (!nine_point()) {
                if (i > 1) left_entry_[v - 1] = entry(v, v - 1);
                if (j > 1) upper_entry_[v - 1] = entry(v, v - g_.nx);
                continue;
            }
            for (int c = 0; c < couplings; ++c) {
                const int w = nine_point_partner(v, NinePointCoupling(c), g_.nz);
                const bool inside = i > 1 || c == int(NinePointCoupling::above);
                const bool row_inside =
                    c == int(NinePointCoupling::left) ||
                    (c == int(NinePointCoupling::left_below) ? j < g_.nz : j > 1);
                nine_entry_[std::size_t(v - 1) * couplings + c] =
                    inside && row_inside ? entry(v, w) : 0;
            }
        }
    });
}

model::SolverResult SparseFormulation::prepare() {
    using model::SolverStatus;
    if (nine_point() && in_.fd_option) *in_.fd_option = 0;
    if (model::SolverResult r = order(); !r.ok()) return r;
    sparse_tree_parents(n_, xlnz_.get(), xnzsub_.get(), nzsub_.get(), parent_.get());
    tree_height_ = sparse_tree_height(n_, parent_.get());
    // On more than one thread a factorisation may share its work with an idle worker.
    split_ = sys::pool_threads() > 1 && part_.allocate(n_) &&
             mx::sparse_factor_parts(n_, xlnz_.get(), parent_.get(), part_.get());
    // The Dey & Morrison assembly finds the couplings' places itself.
    if (scheme_ == Scheme::dey_morrison) return {};
    const bool had = nine_point()
                         ? nine_entry_.allocate(std::size_t(n_) * int(NinePointCoupling::count))
                         : left_entry_.allocate(n_) && upper_entry_.allocate(n_);
    if (!had) return report_failure(SolverStatus::no_memory, "Error in allocating memory.");
    find_couplings();
    return {};
}

// 3 b for each boundary segment that ends at node (i, j).
double SparseFormulation::boundary_5pt(const BoundaryTerms& b, int i, int j) const {
    double sum = 0.0;
    if (i == 1 || i == g_.nx) {
        if (j > 1) sum += b.side(i, j - 1);
        if (j < g_.nz) sum += b.side(i, j);
    }
    if (j == g_.nz) {
        if (i > 1) sum += b.bottom[i - 2];
        if (i < g_.nx) sum += b.bottom[i - 1];
    }
    return 3.0 * sum;
}

bool SparseWorkspace::assemble(double k) {
    const Geometry& g = f_.g_;
    if (f_.scheme_ == Scheme::dey_morrison)
        return assemble_matrix_dm(f_.n_, diag_.get(), row_depths_.get(), g.nx, g.nz, k,
                                  g.conductivity, g.dx_table, g.dz_table, lnz_.get(),
                                  f_.xlnz_.get(), f_.nzsub_.get(), f_.xnzsub_.get(),
                                  f_.invp_.get()) == 0;
    BoundaryTerms b;
    const double x0 = f_.nine_point() ? 0.5 * (g.x(1) + g.x(g.nx)) : g.x(g.nx / 2);
    if (!boundary_terms(g, x0, k, 0.125, b)) return false;
    if (!lnz_clean_) std::fill(lnz_.get(), lnz_.get() + lnz_.size(), 0.0);
    lnz_clean_ = false;
    if (f_.nine_point()) {
        NinePointWeights w;
        if (!w.prepare(g, k)) return false;
        nine_point_matrix(
            g, b, w, k, [&](int v, double value) { diag_[f_.invp_[v - 1] - 1] = value; },
            [&](int v, NinePointCoupling c, double value) {
                lnz_[f_.nine_entry_[std::size_t(v - 1) * int(NinePointCoupling::count) + int(c)] -
                     1] = value;
            });
        return true;
    }
    const double k2 = k * k;
    for (int i = 1; i <= g.nx; ++i)
        for (int j = 1; j <= g.nz; ++j) {
            const CellTerms nw = cell_terms(g, i - 1, j - 1, k2);
            const CellTerms ne = cell_terms(g, i, j - 1, k2);
            const CellTerms sw = cell_terms(g, i - 1, j, k2);
            const CellTerms se = cell_terms(g, i, j, k2);
            const double hv = nw.h + nw.v + ne.h + ne.v + sw.h + sw.v + se.h + se.v;
            const double m = nw.m + ne.m + sw.m + se.m;
            const double diagonal = hv + 8.0 * m + f_.boundary_5pt(b, i, j);
            const double left = -(nw.h + sw.h) + (4.0 * (nw.m + sw.m) +
                                                  (j == g.nz && i > 1 ? b.bottom[i - 2] : 0.0));
            const double upper =
                -(nw.v + ne.v) +
                (4.0 * (nw.m + ne.m) + ((i == 1 || i == g.nx) && j > 1 ? b.side(i, j - 1) : 0.0));
            const int v = f_.node(i, j);
            diag_[f_.invp_[v - 1] - 1] = diagonal;
            if (i > 1) lnz_[f_.left_entry_[v - 1] - 1] = left;
            if (j > 1) lnz_[f_.upper_entry_[v - 1] - 1] = upper;
        }
    return true;
}

int SparseWorkspace::factor(double& pivot, Helpers* helpers) {
    const int n = f_.n_;
    int r = 0;
    if (helpers && f_.split_) {
        // The two halves of the tree below its first branching: the second offered to an idle
        // worker (with its workspace's link and temp vectors), the first here; the rest after
        // both.
        const unsigned char* part = f_.part_.get();
        const auto half = [&](int p, SparseWorkspace& with, bool fresh) {
            return mx::sparse_factor_part(p, part, n, f_.xlnz_.get(), lnz_.get(), f_.xnzsub_.get(),
                                          f_.nzsub_.get(), diag_.get(), with.link_.get(),
                                          first_.get(), with.temp_.get(), fresh);
        };
        int r2 = 0;
        const int* link2 = nullptr;
        const int offer = helpers->offer([&](Workspace& idle) {
            auto& other = static_cast<SparseWorkspace&>(idle);
            link2 = other.link_.get();
            r2 = half(2, other, true);
        });
        const int r1 = half(1, *this, true);
        // Nobody took the second half: here after the first, on the same vectors.
        const bool alone = helpers->withdraw(offer);
        if (alone) r2 = half(2, *this, r1 != 0);
        // One thread would have stopped at the lower of the two.
        r = r1 != 0 && (r2 == 0 || r1 < r2) ? r1 : r2;
        if (r == 0)
            r = mx::sparse_factor_rest(part, n, f_.xlnz_.get(), lnz_.get(), f_.xnzsub_.get(),
                                       f_.nzsub_.get(), diag_.get(), link_.get(), link2,
                                       first_.get(), temp_.get());
        if (!alone) helpers->release(offer);
    } else {
        r = fact_sparse_dbl(n, f_.xlnz_.get(), lnz_.get(), f_.xnzsub_.get(), f_.nzsub_.get(),
                            diag_.get(), link_.get(), first_.get(), temp_.get());
    }
    if (r != 0) pivot = diag_[r - 1];
    return r;
}

// A solution is wanted at a few surface rows only: the rows read and their ancestors in the
// elimination tree are all the back pass needs, and a source's forward pass touches only its
// own ancestors.
void SparseWorkspace::solve(int count, double* const* rhs, const int* first, const int* /*stop*/,
                            const std::vector<int>& reads) {
    const int n = f_.n_;
    std::fill(needed_.get(), needed_.get() + n, 0);
    mark_tree_ancestors(int(reads.size()), reads.data(), f_.parent_.get(), needed_.get());
    solve_sparse_rows_dbl(count, *std::min_element(first, first + count), n, f_.xlnz_.get(),
                          lnz_.get(), f_.xnzsub_.get(), f_.nzsub_.get(), diag_.get(), needed_.get(),
                          rhs);
}

// Runs `mine` here and offers `theirs` to a worker that has left, which runs it with its own
// idle workspace; when nobody takes it, it runs here after `mine`, with this workspace.
void SparseWorkspace::share(Helpers* helpers, const std::function<void(SparseWorkspace&)>& theirs,
                            const std::function<void()>& mine) {
    if (!helpers) {
        mine();
        theirs(*this);
        return;
    }
    const int offer =
        helpers->offer([&theirs](Workspace& idle) { theirs(static_cast<SparseWorkspace&>(idle)); });
    mine();
    if (helpers->withdraw(offer))
        theirs(*this);
    else
        helpers->release(offer);
}

bool SparseWorkspace::electrode_potentials(int count, const int* rows, double* packed,
                                           Helpers* helpers) {
    std::vector<std::size_t> begin;
    if (!mx::inverse_paths(count, rows, f_.parent_.get(), path_rows_.size(), begin)) return false;
    const mx::TreeFactor factor{f_.xlnz_.get(),  lnz_.get(),  f_.xnzsub_.get(),
                                f_.nzsub_.get(), diag_.get(), f_.parent_.get()};
    // The columns of the two halves of the electrodes, each with the work vector of the thread
    // it runs on; then the pairs in two halves of about equal numbers. A short line's share
    // would cost more than it saves.
    if (count < shared_from_electrodes) helpers = nullptr;
    const int half = count / 2;
    share(
        helpers,
        [&](SparseWorkspace& w) {
            mx::inverse_columns(half, count, rows, factor, begin.data(), path_rows_.get(),
                                path_values_.get(), w.path_work_.get());
        },
        [&] {
            mx::inverse_columns(0, half, rows, factor, begin.data(), path_rows_.get(),
                                path_values_.get(), path_work_.get());
        });
    const int middle = std::clamp(int(std::lround(count / std::sqrt(2.0))), 1, count);
    share(
        helpers,
        [&](SparseWorkspace&) {
            mx::inverse_products(middle, count, begin.data(), path_rows_.get(), path_values_.get(),
                                 packed);
        },
        [&] {
            mx::inverse_products(1, middle, begin.data(), path_rows_.get(), path_values_.get(),
                                 packed);
        });
    return true;
}

} // namespace

model::SolverResult run_sparse(const Inputs& in, Scheme scheme) {
    Geometry g;
    if (model::SolverResult r = prepare_geometry(in, g); !r.ok()) return r;
    SparseFormulation f(in, g, scheme);
    return run_forward(in, g, f);
}

} // namespace fd

int sparse_solve_setup(int nx, int nz, int* perm, int* invp, int* xlnz, int* xnzsub, int* nzsub,
                       int& maxsub, int& maxlnz) {
    const int n = nx * nz;
    sys::PageArray<int> adjncy(4 * std::size_t(n)), xadj(n + 1);
    if (!adjncy.ok() || !xadj.ok()) {
        fd::report_failure(model::SolverStatus::no_memory, "Error in memory allocation.");
        return 1;
    }
    grid_adjacency_5pt(xadj.get(), adjncy.get(), nx, nz);
    const int code = nd_order_and_symbolic_factorisation(maxlnz, n, xadj.get(), adjncy.get(), xlnz,
                                                         xnzsub, nzsub, perm, invp, maxsub);
    if (code != 0) {
        fd::report_failure(model::SolverStatus::ordering,
                           "Insufficient memory for subscript array.");
        return code;
    }
    return 0;
}

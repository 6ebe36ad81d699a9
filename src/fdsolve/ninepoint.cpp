// The "Modified 9-point" formulation: nine-point coupling, nodes numbered down the columns, and a
// symmetric band matrix of half-bandwidth nz + 1 factored by band Cholesky.
#include "fdsolve/fdsolve.h"
#include "fdsolve/frame.h"

#include "matrix/band.h"
#include "matrix/sparse.h"
#include "model/services.h"

#include <algorithm>

int add_matrix_entry_dbl(int sparse, int i, int j, int w, double value, double* band, double* lnz,
                         double* diag, const int* xlnz, const int* nzsub, const int* xnzsub,
                         const int* invp) {
    if (sparse != 0) return add_sparse_entry_dbl(value, lnz, i, j, diag, xlnz, nzsub, xnzsub, invp);
    if (i - j > w || j - i > w) return 1;
    band[sym_band_index(i, j, w + 1)] += value;
    return 0;
}

namespace fd {
namespace {

// Horizontal, vertical and wavenumber terms of a cell: sigma dz/(8 dx), sigma dx/(8 dz) and
// sigma k^2 dx dz/64; zero for a cell outside the grid.
struct CellTerms {
    double p = 0.0, q = 0.0, a = 0.0;
};
CellTerms cell_terms(const Geometry& g, int i, int j, double k2) {
    if (!g.cell(i, j)) return {};
    const double s = g.sigma(i, j), dx = g.dx(i), dz = g.dz(j);
    return {s * 0.125 * dz / dx, s * 0.125 * dx / dz, s * k2 * dx * dz * 0.015625};
}

class BandFormulation;

// One worker's band matrix (n rows of nz + 2 stored elements), factored in place.
class BandWorkspace final : public Workspace {
  public:
    explicit BandWorkspace(const BandFormulation& f) : f_(f) {}
    bool allocate(std::size_t elements) { return band_.allocate(elements); }
    bool assemble(double k) override;
    int factor(double& pivot, Helpers* helpers) override;
    void solve(int count, double* const* rhs, const int* first, const int* stop,
               const std::vector<int>& reads) override;

  private:
    void add(int i, int j, double value);

    const BandFormulation& f_;
    sys::PageArray<double> band_;
};

class BandFormulation final : public Formulation {
  public:
    BandFormulation(const Inputs& in, const Geometry& g)
        : in_(in), g_(g), n_(g.nx * g.nz), bandwidth_(g.nz + 1) {}

    int node(int column, int row) const override { return (column - 1) * g_.nz + row; }
    int side_step() const override { return g_.nz; }
    int pair_order() const override { return 1; }
    Stencil source_stencil() const override { return stencil(); }
    Stencil receiver_stencil() const override { return stencil(); }
    model::SolverResult prepare() override {
        if (in_.fd_option) *in_.fd_option = 0;
        return {};
    }
    std::unique_ptr<Workspace> workspace() const override {
        auto w = std::make_unique<BandWorkspace>(*this);
        if (!w->allocate(std::size_t(n_) * (bandwidth_ + 1))) return nullptr;
        return w;
    }
    model::SolverResult pivot_failure(int row, double) const override {
        beep();
        model::report_error(model::Shown::box_in_front, "Message",
                            "Calculation error at point %5d.", row);
        return model::SolverResult::pivot_at(row);
    }
    int row(int node) const override { return node; }

  private:
    friend class BandWorkspace;
    Stencil stencil() const {
        if (in_.distributed_source == 0) return {};
        return {in_.current_node_weight, in_.side_node_weight};
    }

    const Inputs& in_;
    const Geometry& g_;
    int n_, bandwidth_;
};

void BandWorkspace::add(int i, int j, double value) {
    add_matrix_entry_dbl(0, i, j, f_.bandwidth_, value, band_.get(), nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
}

bool BandWorkspace::assemble(double k) {
    const Geometry& g = f_.g_;
    BoundaryTerms b;
    const double x0 = 0.5 * (g.x(1) + g.x(g.nx));
    if (!boundary_terms(g, x0, k, 0.125, b)) return false;
    std::fill(band_.get(), band_.get() + band_.size(), 0.0);
    const double k2 = k * k;
    const int nx = g.nx, nz = g.nz;
    for (int i = 1; i <= nx; ++i)
        for (int j = 1; j <= nz; ++j) {
            const CellTerms nw = cell_terms(g, i - 1, j - 1, k2), ne = cell_terms(g, i, j - 1, k2);
            const CellTerms sw = cell_terms(g, i - 1, j, k2), se = cell_terms(g, i, j, k2);
            double boundary = 0.0; // b of each boundary segment that ends at the node
            if (i == 1 || i == nx) {
                if (j > 1) boundary += b.side(i, j - 1);
                if (j < nz) boundary += b.side(i, j);
            }
            if (j == nz) {
                if (i > 1) boundary += b.bottom[i - 2];
                if (i < nx) boundary += b.bottom[i - 1];
            }
            const int v = f_.node(i, j);
            double diagonal = 3.0 * boundary;
            for (const CellTerms& c : {nw, ne, sw, se})
                diagonal += 3.0 * (c.p + c.q) + 9.0 * c.a;
            add(v, v, diagonal);
            if (i > 1) {
                double west = 0.0;
                for (const CellTerms& c : {nw, sw})
                    west += c.q - 3.0 * c.p + 3.0 * c.a;
                if (j == nz) west += b.bottom[i - 2];
                add(v, v - nz, west);
            }
            if (j > 1) {
                double north = 0.0;
                for (const CellTerms& c : {nw, ne})
                    north += c.p - 3.0 * c.q + 3.0 * c.a;
                if (i == 1 || i == nx) north += b.side(i, j - 1);
                add(v, v - 1, north);
            }
            if (g.cell(i - 1, j - 1)) add(v, v - nz - 1, -(nw.p + nw.q) + nw.a);
            if (g.cell(i - 1, j)) add(v, v - nz + 1, -(sw.p + sw.q) + sw.a);
        }
    return true;
}

int BandWorkspace::factor(double& pivot, Helpers* /*helpers*/) {
    const int r = band_cholesky_quiet(f_.n_, band_.get(), f_.bandwidth_);
    pivot = 0.0;
    return r;
}

void BandWorkspace::solve(int count, double* const* rhs, const int* first, const int* stop,
                          const std::vector<int>& /*reads*/) {
    const int n = f_.n_, bw = f_.bandwidth_;
    if (count == 4) {
        band_cholesky_solve_4vec(band_.get(), n, rhs[0], rhs[1], rhs[2], rhs[3], bw, first[0],
                                 stop[0], first[1], stop[1], first[2], stop[2], first[3], stop[3]);
        return;
    }
    for (int b = 0; b < count; ++b)
        band_cholesky_solve(band_.get(), n, rhs[b], bw, first[b], stop[b]);
}

} // namespace

model::SolverResult run_band(const Inputs& in) {
    Geometry g;
    if (model::SolverResult r = prepare_geometry(in, g); !r.ok()) return r;
    BandFormulation f(in, g);
    return run_forward(in, g, f);
}

} // namespace fd

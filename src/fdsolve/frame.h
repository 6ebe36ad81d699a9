// The frame the three finite-difference drivers share: inputs, grid geometry, boundary terms,
// the wavenumber loop with progress and user break, sources and receivers, remote electrodes
// and the final transforms. A formulation supplies numbering, assembly, factorisation and solve.
#pragma once

#include "fdsolve/fdsolve.h"
#include "model/solver_io.h"
#include "platform/sys/page_array.h"

#include <functional>
#include <memory>
#include <vector>

namespace fd {

/// Node coordinates and cells of the grid (columns i = 1..nx, rows j = 1..nz).
struct Geometry {
    int nx = 0, nz = 0;
    sys::PageArray<double> x_nodes, z_nodes; ///< x of column i at x_nodes[i - 1], z likewise
    const float* dx_table = nullptr;         ///< nx - 1 column spacings
    const float* dz_table = nullptr;         ///< nz - 1 row spacings
    const float* conductivity = nullptr;     ///< cell (i, j) at index2d(i, j, nx - 1)

    double x(int i) const { return x_nodes[i - 1]; }
    double z(int j) const { return z_nodes[j - 1]; }
    double dx(int i) const { return dx_table[i - 1]; }
    double dz(int j) const { return dz_table[j - 1]; }
    double sigma(int i, int j) const;
    /// True when cell (i, j) lies inside the grid.
    bool cell(int i, int j) const { return i >= 1 && i < nx && j >= 1 && j < nz; }
};

/// Term of the mixed boundary condition of a grid-edge segment for wavenumber k, seen from the
/// reference point (x0, 0) at the point (x1, z): sigma * R * cosine * length * factor with
/// R = k K1(kr)/K0(kr) and the cosine d/r on a side edge (`side`), z/r on the bottom.
double boundary_term(double x0, double x1, double z, double k, double sigma, double length,
                     double factor, bool side);

/// Terms of the mixed boundary condition for one wavenumber, each evaluated at the midpoint of
/// its segment: left[j] and right[j] (j = 1..nz-1) of the side segments between rows j and j+1,
/// bottom[i] (i = 1..nx-1) of the bottom segments between columns i and i+1.
struct BoundaryTerms {
    sys::PageArray<double> left, right, bottom;
    double side(int column_edge, int j) const {
        return column_edge == 1 ? left[j - 1] : right[j - 1];
    }
};
/// Fills `terms` (allocating its arrays) for wavenumber k; false when the memory is refused.
bool boundary_terms(const Geometry& g, double x0, double k, double factor, BoundaryTerms& terms);

/// Weights of an electrode's node and its two side nodes.
struct Stencil {
    double centre = 1.0, side = 0.0;
};

class Workspace;

/// The workers that have left the wavenumber loop, which can take over part of a wavenumber's
/// work on their own threads with their own (idle) workspaces.
class Helpers {
  public:
    virtual ~Helpers() = default;
    /// Offers `task` to a worker that has left, which runs it with its own workspace; returns
    /// the offer's number at once.
    virtual int offer(std::function<void(Workspace& idle)> task) = 0;
    /// Takes offer `number` back when nobody has taken it (true: the caller runs the task
    /// itself); otherwise waits until the task has finished and returns false, the helper's
    /// work arrays staying the caller's until release(number).
    virtual bool withdraw(int number) = 0;
    virtual void release(int number) = 0;
};

/// A formulation's numeric storage: the matrix and factor of one wavenumber at a time. Each
/// worker of the wavenumber loop owns one and may run on a thread of its own: a workspace
/// reads only the shared geometry and set-up and reports nothing.
class Workspace {
  public:
    virtual ~Workspace() = default;
    /// Builds the matrix for wavenumber k; false when its per-wavenumber memory is refused.
    virtual bool assemble(double k) = 0;
    /// Factors the matrix in place: 0, or the 1-based row of a non-positive pivot, whose value
    /// goes to `pivot`. With `helpers` a formulation may offer half of the work to them; the
    /// factor is the same.
    virtual int factor(double& pivot, Helpers* helpers) = 0;
    /// Solves for count (1..4) right-hand sides in place, each with its first non-zero row and
    /// the lowest row it needs; `reads` lists every row the caller reads from the solutions
    /// (a formulation may leave the values of the other rows unfinished).
    virtual void solve(int count, double* const* rhs, const int* first, const int* stop,
                       const std::vector<int>& reads) = 0;
    /// The potentials between `count` electrodes of one node each, at the solve rows `rows`,
    /// for a unit source at each: packed[j (j - 1) / 2 + i] the value at electrode i of the
    /// source at electrode j (0-based, i < j). False when the formulation has no such route or
    /// its memory is refused; the caller then solves source by source. With `helpers` a
    /// formulation may share the work with them; the values are the same.
    virtual bool electrode_potentials(int /*count*/, const int* /*rows*/, double* /*packed*/,
                                      Helpers* /*helpers*/) {
        return false;
    }
};

/// What a formulation supplies to the frame. Node numbers and rows are 1-based.
class Formulation {
  public:
    virtual ~Formulation() = default;
    /// Global number of node (column, row).
    virtual int node(int column, int row) const = 0;
    /// Node-number step from a node to its side neighbour in the same row.
    virtual int side_step() const = 0;
    /// 0: sources 2..N with receivers 1..e-1; 1: sources 1..N-1 with receivers e+1..N.
    virtual int pair_order() const = 0;
    virtual Stencil source_stencil() const = 0;
    virtual Stencil receiver_stencil() const = 0;
    /// Takes the shared storage and does the once-per-run set-up; a failure has been reported.
    virtual model::SolverResult prepare() = 0;
    /// A workspace of its own for one worker, or null when its memory is refused.
    virtual std::unique_ptr<Workspace> workspace() const = 0;
    /// Gives back what prepare took only to speed the run up, when memory is short.
    virtual void release_extras() {}
    /// Reports the non-positive pivot `value` at `row` through the funnel.
    virtual model::SolverResult pivot_failure(int row, double value) const = 0;
    /// Position of a node in the solve vectors.
    virtual int row(int node) const = 0;
};

/// Reports `text` through the funnel on the status line (model::Shown::status_line) and
/// returns a failure of `status`.
model::SolverResult report_failure(model::SolverStatus status, const char* text);

/// Checks the inputs and fills the geometry; a failure has been reported.
model::SolverResult prepare_geometry(const Inputs& in, Geometry& g);

/// Runs the whole forward calculation with formulation f on geometry g (see fdsolve.h).
model::SolverResult run_forward(const Inputs& in, const Geometry& g, Formulation& f);

enum class Scheme { modified_5pt, modified_9pt, dey_morrison };
/// A formulation in sparse storage under a nested-dissection ordering.
model::SolverResult run_sparse(const Inputs& in, Scheme scheme);

} // namespace fd

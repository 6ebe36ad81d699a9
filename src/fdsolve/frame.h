// The frame the three finite-difference drivers share: inputs, grid geometry, boundary terms,
// the wavenumber loop with progress and user break, sources and receivers, remote electrodes
// and the final transforms. A formulation supplies numbering, assembly, factorisation and solve.
#pragma once

#include "matrix/pagearray.h"

#include <cstdint>

class ModelSettings;
namespace gfx {
class Canvas;
}

namespace fd {

/// The arguments of a driver (see fdsolve.h), gathered once.
struct Inputs {
    ModelSettings* settings = nullptr;
    double* remote_table = nullptr;
    int max_electrodes = 0;
    int margin_columns = 0;
    int nodes_per_spacing = 0;
    int remote_electrodes = 0;
    float c2_x = 0, c2_y = 0, p2_x = 0, p2_y = 0;
    const std::int32_t* electrode_water = nullptr;
    int nelec = 0;
    double* table_a = nullptr;
    double* table_b = nullptr;
    const float* conductivity = nullptr;
    const float* node_row_dz = nullptr;
    const float* node_col_dx = nullptr;
    int nx = 0, nz = 0;
    float electrode_offset_ratio = 0;
    int nky = 0;
    gfx::Canvas* status_canvas = nullptr;
};

/// Node coordinates and cells of the grid (columns i = 1..nx, rows j = 1..nz).
struct Geometry {
    int nx = 0, nz = 0;
    mx::PageArray<double> x_nodes, z_nodes; ///< x of column i at x_nodes[i - 1], z likewise
    const float* dx_table = nullptr;        ///< nx - 1 column spacings
    const float* dz_table = nullptr;        ///< nz - 1 row spacings
    const float* conductivity = nullptr;    ///< cell (i, j) at index2d(i, j, nx - 1)

    double x(int i) const { return x_nodes[i - 1]; }
    double z(int j) const { return z_nodes[j - 1]; }
    double dx(int i) const { return dx_table[i - 1]; }
    double dz(int j) const { return dz_table[j - 1]; }
    double sigma(int i, int j) const;
    /// True when cell (i, j) lies inside the grid.
    bool cell(int i, int j) const { return i >= 1 && i < nx && j >= 1 && j < nz; }
};

/// Terms of the mixed boundary condition for one wavenumber: left[j] and right[j] (j = 1..nz-1)
/// of the side segments between rows j and j+1, bottom[i] (i = 1..nx-1) of the bottom segments
/// between columns i and i+1, each sigma * R * cos * L * factor with R = k K1(kr)/K0(kr) for the
/// distance r from (x0, 0). `corner`: the bottom segment left of (nx, nz) evaluated at that
/// corner (node-evaluated terms only).
struct BoundaryTerms {
    mx::PageArray<double> left, right, bottom;
    double corner = 0.0;
    double side(int column_edge, int j) const {
        return column_edge == 1 ? left[j - 1] : right[j - 1];
    }
};
enum class BoundaryPoint { segment_midpoint, first_node };
/// Fills `terms` (allocating its arrays) for wavenumber k; false when the memory is refused.
bool boundary_terms(const Geometry& g, double x0, double k, double factor, BoundaryPoint point,
                    BoundaryTerms& terms);

/// Weights of an electrode's node and its two side nodes.
struct Stencil {
    double centre = 1.0, side = 0.0;
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
    /// Takes the storage and does the once-per-run set-up; 0, or the driver's result after the
    /// failure was reported.
    virtual int prepare() = 0;
    /// Builds the matrix for wavenumber k; false when its per-wavenumber memory is refused.
    virtual bool assemble(double k) = 0;
    /// Factors the matrix in place; 0, or the pivot row after the failure was reported.
    virtual int factor() = 0;
    /// Position of a node in the solve vectors.
    virtual int row(int node) const = 0;
    /// Solves for count (1..4) right-hand sides in place, each with its first non-zero row and
    /// the lowest row it needs.
    virtual void solve(int count, double* const* rhs, const int* first, const int* stop) = 0;
};

/// Beeps, and shows `text` on the status line while the main window is in front.
void report_failure(const char* text, gfx::Canvas* status_canvas);

/// Checks the inputs and fills the geometry; 0, or 1 after the message.
int prepare_geometry(const Inputs& in, Geometry& g);

/// Runs the whole forward calculation with formulation f on geometry g (see fdsolve.h).
int run_forward(const Inputs& in, const Geometry& g, Formulation& f);

enum class Scheme { modified_5pt, modified_9pt, dey_morrison };
/// The five-point formulations in sparse storage, and the nine-point one in band storage.
int run_sparse(const Inputs& in, Scheme scheme);
int run_band(const Inputs& in);

} // namespace fd

// Element matrices of the 2.5-D potential equation, the integral over an element of
// grad(Ni).grad(Nj) + w Ni Nj (w the squared wavenumber): linear triangles, the four-triangle
// quadrilateral cell, the closed-form bilinear rectangle and Gauss quadrature of bilinear cells.
#pragma once

#include <vector>

/// Position of term (a, b) of a symmetric 4 x 4 element matrix (1-based corners, either order)
/// in the upper triangle stored row by row: K11, K12, K13, K14, K22, K23, K24, K33, K34, K44.
constexpr int quad_term_index(int a, int b) {
    return a <= b ? (a - 1) * 4 - (a - 1) * a / 2 + (b - 1) : quad_term_index(b, a);
}

/// Linear triangle with nodes (x1, z1), (x2, z2), (x3, z3) in either orientation: writes
/// K11, K12, K13, K22, K23, K33 = (bi bj + ci cj) / (4A) + w A (1 + [i = j]) / 12, A the area.
/// The area must be positive (not checked).
void triangle_element_matrix_dbl(double w, double x1, double x2, double x3, double z1, double z2,
                                 double z3, double (&k)[6]);
/// Single-precision coordinates: the coordinate differences are formed in single precision,
/// the rest in double.
void triangle_element_matrix_flt(float w, float x1, float x2, float x3, float z1, float z2,
                                 float z3, double (&k)[6]);

/// Quadrilateral cell with corner 1 opposite corner 4 and corner 2 opposite corner 3 (the mesh
/// passes (i, j), (i+1, j), (i, j+1), (i+1, j+1)): the mean of the two splittings into two
/// triangles each, times s (the cell's conductivity). Writes the ten terms in quad_term_index
/// order; they sum, over the full 4 x 4 matrix, to s w (area) and each row to 0 when w = 0.
void quad_element_matrix_dbl(float s, double w, float x1, float x2, float x3, float x4, float z1,
                             float z2, float z3, float z4, double (&k)[10]);
/// The same with single-precision triangles and no scale factor.
void quad_element_matrix_flt(float w, float x1, float x2, float x3, float x4, float z1, float z2,
                             float z3, float z4, double (&k)[10]);

/// The same routine under the name of its variant that takes w in double precision.
void quad_element_matrix_wdbl(float s, double w, float x1, float x2, float x3, float x4, float z1,
                              float z2, float z3, float z4, double (&k)[10]);

/// Triangle of triangle_element_matrix_flt with every term multiplied by s.
void triangle_element_matrix_scaled_flt(float w, float s, float x1, float x2, float x3, float z1,
                                        float z2, float z3, double (&k)[6]);

/// Cell of corner node n (corners n, n + nz, n + 1, n + nz + 1 as 1 to 4; x and z hold every
/// node's coordinates at index node - 1) split along the diagonal 2-3 only, into the single-
/// precision triangles (1, 2, 3) and (3, 2, 4), times s: K14 stays 0 and nothing is averaged.
void cell_matrix_two_triangles_flt(int n, int nz, float w, float s, const float* x, const float* z,
                                   double (&k)[10]);

/// The two triangles (1, 2, 3) and (3, 2, 4) of cell (c, r) of an nx x nz node grid (corners
/// 1 = node (c - 1) nz + r, 2 = 1 + nz, 3 = 1 + 1, 4 = 2 + 1), each with its own conductivity:
/// cells[2 i] for the first and cells[2 i + 1] for the second, i the cell's index2d(c, r,
/// nx - 1). For each triangle in turn calls add(i, j, value) for its three diagonal terms and
/// then its three couplings, each term of triangle_element_matrix_scaled_flt at w. Stops after a
/// triangle with a non-zero code and returns that triangle (1 or 2) with its six codes and
/// nodes; 0 when everything was added. Corners 1 and 4 are never coupled.
template <class Add>
int add_cell_triangles(int c, int r, int nx, int nz, float w, const float* cells, const float* x,
                       const float* z, Add add, int (&code)[6], int (&nodes)[3]) {
    const int p1 = (c - 1) * nz + r, p2 = p1 + nz, p3 = p1 + 1, p4 = p2 + 1;
    const int triangles[2][3] = {{p1, p2, p3}, {p3, p2, p4}};
    const int cell = (c - 1) + (r - 1) * (nx - 1);
    for (int t = 0; t < 2; ++t) {
        const int a = triangles[t][0], b = triangles[t][1], d = triangles[t][2];
        double k[6];
        triangle_element_matrix_scaled_flt(w, cells[2 * cell + t], x[a - 1], x[b - 1], x[d - 1],
                                           z[a - 1], z[b - 1], z[d - 1], k);
        // k holds K11, K12, K13, K22, K23, K33.
        code[0] = add(a, a, k[0]);
        code[1] = add(b, b, k[3]);
        code[2] = add(d, d, k[5]);
        code[3] = add(a, b, k[1]);
        code[4] = add(a, d, k[2]);
        code[5] = add(b, d, k[4]);
        nodes[0] = a, nodes[1] = b, nodes[2] = d;
        for (int v : code)
            if (v != 0) return t + 1;
    }
    return 0;
}

/// Bilinear rectangle in closed form, corners counter-clockwise: 1 (x1, z1), 2 (x2, z1),
/// 3 (x2, z2), 4 (x1, z2); sides 1-2 and 3-4 along x, 2-3 and 4-1 along z. Writes
/// sigma (stiffness + k2 mass) in quad_term_index order.
void rectangle_element_terms(double sigma, double x1, double x2, double z1, double z2, double k2,
                             double (&k)[10]);

/// Four-node isoparametric element integrated by Gauss-Legendre quadrature (2, 3 or 5 points a
/// direction; any other count takes the 3-point rule). Corners counter-clockwise as for
/// rectangle_element_terms, at local coordinates (-1, -1), (1, -1), (1, 1), (-1, 1).
class IsoParaFem {
  public:
    /// Sets up the rules for `points_xi` x `points_eta` Gauss points.
    IsoParaFem(int points_xi = 2, int points_eta = 2);

    int nodes_per_element() const { return nodes_; }
    int points_xi() const { return npx_; }
    int points_eta() const { return npz_; }
    /// Abscissae and weights of the rule in one direction.
    const std::vector<double>& abscissae(int direction) const;
    const std::vector<double>& weights(int direction) const;

    /// Stiffness (sum of w_i w_j det J grad Na . grad Nb) and mass (w_i w_j det J Na Nb) of the
    /// cell with the corner coordinates x[4], z[4]; returns sigma (stiffness + k2 mass) in
    /// quad_term_index order. Returns false (terms untouched) when det J is not positive at a
    /// Gauss point (a corner order that folds the cell).
    bool element_terms(const double (&x)[4], const double (&z)[4], double sigma, double k2,
                       double (&terms)[10]);

    /// The rule tables of n points (2, 3 or 5; else the 3-point rule).
    static void gauss_rule(int n, std::vector<double>& abscissae, std::vector<double>& weights);

  private:
    void shape_functions(double xi, double eta);

    int nodes_ = 4;
    int npx_ = 2, npz_ = 2;
    std::vector<double> gauss_xi_, weight_xi_, gauss_eta_, weight_eta_;
    std::vector<double> shape_;      ///< N_a at the current point (4)
    std::vector<double> derivative_; ///< dN_a/dxi (0..3), dN_a/deta (4..7)
    std::vector<double> jacobian_;   ///< J = [dx/dxi dz/dxi; dx/deta dz/deta], then its inverse
    std::vector<double> stiffness_;  ///< 4 x 4, row by row
    std::vector<double> mass_;       ///< 4 x 4, row by row
};

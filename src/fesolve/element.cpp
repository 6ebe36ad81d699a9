// Element matrices: linear triangles, the four-triangle quadrilateral cell, the closed-form
// bilinear rectangle and the Gauss-quadrature element of bilinear cells.
#include "fesolve/element.h"

#include <cmath>

namespace {

// Terms of a triangle from its gradient coefficients b, c, its area and w.
void triangle_terms(const double (&b)[3], const double (&c)[3], double area, double w,
                    double (&k)[6]) {
    const double stiffness = 0.25 / area;
    const double diagonal = w * area / 6.0, off = w * area / 12.0;
    int t = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = i; j < 3; ++j)
            k[t++] = (b[i] * b[j] + c[i] * c[j]) * stiffness + (i == j ? diagonal : off);
}

// Adds triangle (a, b, c) of the cell's corners to the cell's ten terms: the triangle's own
// six terms go to the corner pairs they couple.
void add_triangle(const double (&t)[6], int a, int b, int c, double (&k)[10]) {
    const int corner[3] = {a, b, c};
    int n = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = i; j < 3; ++j)
            k[quad_term_index(corner[i], corner[j])] += t[n++];
}

// The four triangles of both splittings of a cell; T computes one triangle.
template <class Triangle>
void four_triangles(const double (&x)[4], const double (&z)[4], double scale, Triangle triangle,
                    double (&k)[10]) {
    for (double& v : k)
        v = 0.0;
    // Corners 1-4 and 2-3 are the diagonals: (1,2,3) + (2,4,3) split along 2-3,
    // (1,4,3) + (1,2,4) along 1-4.
    static const int split[4][3] = {{1, 2, 3}, {2, 4, 3}, {1, 4, 3}, {1, 2, 4}};
    for (const auto& s : split) {
        double t[6];
        triangle(x[s[0] - 1], x[s[1] - 1], x[s[2] - 1], z[s[0] - 1], z[s[1] - 1], z[s[2] - 1], t);
        add_triangle(t, s[0], s[1], s[2], k);
    }
    for (double& v : k)
        v *= 0.5 * scale;
}

} // namespace

void triangle_element_matrix_dbl(double w, double x1, double x2, double x3, double z1, double z2,
                                 double z3, double (&k)[6]) {
    const double d = (x2 - x1) * (z3 - z1) - (x3 - x1) * (z2 - z1);
    const double b[3] = {z2 - z3, z3 - z1, z1 - z2};
    const double c[3] = {x3 - x2, x1 - x3, x2 - x1};
    triangle_terms(b, c, 0.5 * std::fabs(d), w, k);
}

void triangle_element_matrix_flt(float w, float x1, float x2, float x3, float z1, float z2,
                                 float z3, double (&k)[6]) {
    const float dx21 = x2 - x1, dx31 = x3 - x1, dz21 = z2 - z1, dz31 = z3 - z1;
    const double d = double(dx21) * double(dz31) - double(dx31) * double(dz21);
    const double b[3] = {z2 - z3, z3 - z1, z1 - z2};
    const double c[3] = {x3 - x2, x1 - x3, x2 - x1};
    triangle_terms(b, c, 0.5 * std::fabs(d), double(w), k);
}

void quad_element_matrix_dbl(float s, double w, float x1, float x2, float x3, float x4, float z1,
                             float z2, float z3, float z4, double (&k)[10]) {
    const double x[4] = {x1, x2, x3, x4}, z[4] = {z1, z2, z3, z4};
    four_triangles(
        x, z, double(s),
        [w](double a, double b, double c, double za, double zb, double zc, double(&t)[6]) {
            triangle_element_matrix_dbl(w, a, b, c, za, zb, zc, t);
        },
        k);
}

void quad_element_matrix_flt(float w, float x1, float x2, float x3, float x4, float z1, float z2,
                             float z3, float z4, double (&k)[10]) {
    const double x[4] = {x1, x2, x3, x4}, z[4] = {z1, z2, z3, z4};
    four_triangles(
        x, z, 1.0,
        [w](double a, double b, double c, double za, double zb, double zc, double(&t)[6]) {
            triangle_element_matrix_flt(w, float(a), float(b), float(c), float(za), float(zb),
                                        float(zc), t);
        },
        k);
}

void quad_element_matrix_wdbl(float s, double w, float x1, float x2, float x3, float x4, float z1,
                              float z2, float z3, float z4, double (&k)[10]) {
    quad_element_matrix_dbl(s, w, x1, x2, x3, x4, z1, z2, z3, z4, k);
}

void triangle_element_matrix_scaled_flt(float w, float s, float x1, float x2, float x3, float z1,
                                        float z2, float z3, double (&k)[6]) {
    triangle_element_matrix_flt(w, x1, x2, x3, z1, z2, z3, k);
    for (double& v : k)
        v *= s;
}

void cell_matrix_two_triangles_flt(int n, int nz, float w, float s, const float* x, const float* z,
                                   double (&k)[10]) {
    const int node[4] = {n - 1, n + nz - 1, n, n + nz}; // 0-based corners 1 to 4
    for (double& v : k)
        v = 0.0;
    static const int split[2][3] = {{1, 2, 3}, {3, 2, 4}};
    for (const auto& t : split) {
        const int a = node[t[0] - 1], b = node[t[1] - 1], c = node[t[2] - 1];
        double terms[6];
        triangle_element_matrix_scaled_flt(w, s, x[a], x[b], x[c], z[a], z[b], z[c], terms);
        add_triangle(terms, t[0], t[1], t[2], k);
    }
}

void rectangle_element_terms(double sigma, double x1, double x2, double z1, double z2, double k2,
                             double (&k)[10]) {
    const double a = std::fabs(x2 - x1), b = std::fabs(z2 - z1), m = a * b * k2;
    const double diagonal = (a / (3 * b) + b / (3 * a) + m / 9) * sigma;
    const double along_x = (a / (6 * b) - b / (3 * a) + m / 18) * sigma;  // sides 1-2, 3-4
    const double along_z = (b / (6 * a) - a / (3 * b) + m / 18) * sigma;  // sides 2-3, 4-1
    const double opposite = (m / 36 - a / (6 * b) - b / (6 * a)) * sigma; // diagonals
    k[quad_term_index(1, 1)] = k[quad_term_index(2, 2)] = diagonal;
    k[quad_term_index(3, 3)] = k[quad_term_index(4, 4)] = diagonal;
    k[quad_term_index(1, 2)] = k[quad_term_index(3, 4)] = along_x;
    k[quad_term_index(2, 3)] = k[quad_term_index(1, 4)] = along_z;
    k[quad_term_index(1, 3)] = k[quad_term_index(2, 4)] = opposite;
}

// ---- IsoParaFem ------------------------------------------------------------------------------

IsoParaFem::IsoParaFem(int points_xi, int points_eta)
    : npx_(points_xi), npz_(points_eta), shape_(4), derivative_(8), jacobian_(8), stiffness_(16),
      mass_(16) {
    gauss_rule(npx_, gauss_xi_, weight_xi_);
    gauss_rule(npz_, gauss_eta_, weight_eta_);
    npx_ = int(gauss_xi_.size());
    npz_ = int(gauss_eta_.size());
}

const std::vector<double>& IsoParaFem::abscissae(int direction) const {
    return direction == 0 ? gauss_xi_ : gauss_eta_;
}
const std::vector<double>& IsoParaFem::weights(int direction) const {
    return direction == 0 ? weight_xi_ : weight_eta_;
}

void IsoParaFem::gauss_rule(int n, std::vector<double>& abscissae, std::vector<double>& weights) {
    if (n == 2) {
        abscissae = {-0.577350269, 0.577350269};
        weights = {1.0, 1.0};
    } else if (n == 5) {
        abscissae = {-0.9061799, -0.5384693, 0.0, 0.5384693, 0.9061799};
        weights = {0.236926885, 0.47862867, 0.568888889, 0.47862867, 0.236926885};
    } else {
        abscissae = {-0.774596669, 0.0, 0.774596669};
        weights = {0.555555556, 0.888888889, 0.555555556};
    }
}

void IsoParaFem::shape_functions(double xi, double eta) {
    static const double corner_xi[4] = {-1, 1, 1, -1}, corner_eta[4] = {-1, -1, 1, 1};
    for (int a = 0; a < 4; ++a) {
        const double u = 1 + corner_xi[a] * xi, v = 1 + corner_eta[a] * eta;
        shape_[a] = 0.25 * u * v;
        derivative_[a] = 0.25 * corner_xi[a] * v;
        derivative_[4 + a] = 0.25 * corner_eta[a] * u;
    }
}

bool IsoParaFem::element_terms(const double (&x)[4], const double (&z)[4], double sigma, double k2,
                               double (&terms)[10]) {
    for (double& v : stiffness_)
        v = 0.0;
    for (double& v : mass_)
        v = 0.0;
    for (int i = 0; i < npx_; ++i)
        for (int j = 0; j < npz_; ++j) {
            shape_functions(gauss_xi_[i], gauss_eta_[j]);
            double j11 = 0, j12 = 0, j21 = 0, j22 = 0;
            for (int a = 0; a < 4; ++a) {
                j11 += derivative_[a] * x[a];
                j12 += derivative_[a] * z[a];
                j21 += derivative_[4 + a] * x[a];
                j22 += derivative_[4 + a] * z[a];
            }
            const double det = j11 * j22 - j12 * j21;
            if (!(det > 0.0)) return false;
            jacobian_ = {j11, j12, j21, j22, j22 / det, -j12 / det, -j21 / det, j11 / det};
            const double w = weight_xi_[i] * weight_eta_[j] * det;
            double gx[4], gz[4];
            for (int a = 0; a < 4; ++a) {
                gx[a] = jacobian_[4] * derivative_[a] + jacobian_[5] * derivative_[4 + a];
                gz[a] = jacobian_[6] * derivative_[a] + jacobian_[7] * derivative_[4 + a];
            }
            for (int a = 0; a < 4; ++a)
                for (int b = a; b < 4; ++b) {
                    stiffness_[a * 4 + b] += w * (gx[a] * gx[b] + gz[a] * gz[b]);
                    mass_[a * 4 + b] += w * shape_[a] * shape_[b];
                }
        }
    for (int a = 0; a < 4; ++a)
        for (int b = a; b < 4; ++b) {
            stiffness_[b * 4 + a] = stiffness_[a * 4 + b];
            mass_[b * 4 + a] = mass_[a * 4 + b];
            terms[quad_term_index(a + 1, b + 1)] =
                sigma * (stiffness_[a * 4 + b] + k2 * mass_[a * 4 + b]);
        }
    return true;
}

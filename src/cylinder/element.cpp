// Eight-node quadrilateral and linear triangle matrices of the polar mesh.
#include "cylinder/element.h"

#include "platform/sys/page_array.h"

#include <cmath>

namespace {

// Shape values and derivatives of the serendipity quadrilateral, J, its inverse and G; det J.
template <class T>
T shape_functions(T xi, T eta, const T* x, const T* y, T* N, T* dN, T* J, T* Jinv, T* G) {
    const T one = T(1), half = T(0.5), quarter = T(0.25);
    const T xp = one + xi, xm = one - xi, ep = one + eta, em = one - eta;
    N[0] = quarter * xp * ep * (xi + eta - one);
    N[1] = half * xp * xm * ep;
    N[2] = quarter * xm * ep * (eta - xi - one);
    N[3] = half * xm * ep * em;
    N[4] = quarter * xm * em * (-xi - eta - one);
    N[5] = half * xp * xm * em;
    N[6] = quarter * xp * em * (xi - eta - one);
    N[7] = half * xp * ep * em;
    T* dxi = dN;
    T* deta = dN + 8;
    dxi[0] = quarter * ep * (T(2) * xi + eta);
    dxi[1] = -xi * ep;
    dxi[2] = quarter * ep * (T(2) * xi - eta);
    dxi[3] = -half * ep * em;
    dxi[4] = quarter * em * (T(2) * xi + eta);
    dxi[5] = -xi * em;
    dxi[6] = quarter * em * (T(2) * xi - eta);
    dxi[7] = half * ep * em;
    deta[0] = quarter * xp * (xi + T(2) * eta);
    deta[1] = half * xp * xm;
    deta[2] = quarter * xm * (T(2) * eta - xi);
    deta[3] = -eta * xm;
    deta[4] = quarter * xm * (xi + T(2) * eta);
    deta[5] = -half * xp * xm;
    deta[6] = quarter * xp * (T(2) * eta - xi);
    deta[7] = -eta * xp;
    J[0] = J[1] = J[2] = J[3] = T(0);
    for (int i = 0; i < 8; ++i) {
        J[0] += x[i] * dxi[i];
        J[1] += y[i] * dxi[i];
        J[2] += x[i] * deta[i];
        J[3] += y[i] * deta[i];
    }
    const T det = J[0] * J[3] - J[1] * J[2];
    Jinv[0] = J[3] / det;
    Jinv[1] = -J[1] / det;
    Jinv[2] = -J[2] / det;
    Jinv[3] = J[0] / det;
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
            G[2 * a + b] = Jinv[a] * Jinv[b] + Jinv[2 + a] * Jinv[2 + b];
    return det;
}

} // namespace

float quad8_shape_functions(float xi, float eta, const float* x, const float* y, float* shape,
                            float* derivatives, float* jacobian, float* inverse, float* metric) {
    return shape_functions(xi, eta, x, y, shape, derivatives, jacobian, inverse, metric);
}

double quad8_shape_functions_dbl(double xi, double eta, const double* x, const double* y,
                                 double* shape, double* derivatives, double* jacobian,
                                 double* inverse, double* metric) {
    return shape_functions(xi, eta, x, y, shape, derivatives, jacobian, inverse, metric);
}

void gauss_legendre_5(float* weights, float* abscissae) {
    const float w[5] = {0.23692690f, 0.47862870f, 0.56888890f, 0.47862870f, 0.23692690f};
    const float a[5] = {-0.90617990f, -0.53846931f, 0.0f, 0.53846931f, 0.90617990f};
    for (int i = 0; i < 5; ++i) {
        weights[i] = w[i];
        abscissae[i] = a[i];
    }
}

namespace {

// The products in double, added into tables of T.
template <class T> void quad8_matrices(const T* x, const T* y, T* stiffness, T* mass) {
    float w[5], g[5];
    T N[8], dN[16], J[4], Jinv[4], G[4];
    gauss_legendre_5(w, g);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            const double det = shape_functions(T(g[i]), T(g[j]), x, y, N, dN, J, Jinv, G);
            const double weight = double(w[i]) * double(w[j]) * det;
            for (int a = 0; a < 8; ++a)
                for (int b = 0; b <= a; ++b) {
                    const double grad =
                        double(dN[a]) * G[0] * dN[b] + double(dN[a]) * G[1] * dN[8 + b] +
                        double(dN[8 + a]) * G[2] * dN[b] + double(dN[8 + a]) * G[3] * dN[8 + b];
                    mass[8 * a + b] += T(weight * N[a] * N[b]);
                    stiffness[8 * a + b] += T(weight * grad);
                }
        }
    for (int a = 0; a < 8; ++a)
        for (int b = a + 1; b < 8; ++b) {
            mass[8 * a + b] = mass[8 * b + a];
            stiffness[8 * a + b] = stiffness[8 * b + a];
        }
}

template <class T> void triangle_matrices(const T* x, const T* y, T* stiffness, T* mass) {
    const T area =
        T(0.5) * std::fabs((x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]));
    T b[3], c[3];
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        b[i] = y[j] - y[k];
        c[i] = x[k] - x[j];
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            stiffness[3 * i + j] = T(0.25) * (b[i] * b[j] + c[i] * c[j]) / area;
            mass[3 * i + j] = i == j ? area / T(6) : area / T(12);
        }
}

} // namespace

void quad8_element_matrices(const float* x, const float* y, float* stiffness, float* mass) {
    quad8_matrices(x, y, stiffness, mass);
}
void quad8_element_matrices_dbl(const double* x, const double* y, double* stiffness, double* mass) {
    quad8_matrices(x, y, stiffness, mass);
}

int quad8_element_matrices_3pt(const double* x, const double* y, double* stiffness, double* mass,
                               double* n_dx, double* n_dy, double* curl) {
    const double a[3] = {-0.774596669241483, 0.0, 0.774596669241483};
    const double w[3] = {0.555555555555555, 0.888888888888888, 0.555555555555555};
    // Shape values, derivatives, J, its inverse, G and the global derivatives.
    sys::PageArray<double> work(8 + 16 + 4 + 4 + 4 + 16);
    if (!work.ok()) return 1;
    double* N = work.get();
    double *dN = N + 8, *J = dN + 16, *Jinv = J + 4, *G = Jinv + 4, *global = G + 4;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double det = shape_functions(a[i], a[j], x, y, N, dN, J, Jinv, G);
            if (std::fabs(det) < 1e-10) return 2;
            const double weight = w[i] * w[j] * det;
            for (int q = 0; q < 8; ++q) {
                global[q] = Jinv[0] * dN[q] + Jinv[1] * dN[8 + q];     // d/dx
                global[8 + q] = Jinv[2] * dN[q] + Jinv[3] * dN[8 + q]; // d/dy
            }
            for (int p = 0; p < 8; ++p)
                for (int q = 0; q < 8; ++q) {
                    const int k = 8 * p + q;
                    mass[k] += weight * N[p] * N[q];
                    stiffness[k] +=
                        weight * (global[p] * global[q] + global[8 + p] * global[8 + q]);
                    n_dx[k] += weight * N[p] * global[q];
                    n_dy[k] += weight * N[p] * global[8 + q];
                    curl[k] += weight * (global[p] * global[8 + q] - global[8 + p] * global[q]);
                }
        }
    return 0;
}

void triangle_element_matrices(const float* x, const float* y, float* stiffness, float* mass) {
    triangle_matrices(x, y, stiffness, mass);
}
void triangle_element_matrices_dbl(const double* x, const double* y, double* stiffness,
                                   double* mass) {
    triangle_matrices(x, y, stiffness, mass);
}

// Element matrices of the polar mesh: the eight-node serendipity quadrilateral of the rings,
// integrated with the 5-point Gauss-Legendre product rule, and the linear triangles into which
// each centre element is split. For one wavenumber k the element matrix of a cell of
// conductivity sigma is sigma (S + k^2 M), S the stiffness matrix (the integral of grad Ni .
// grad Nj) and M the mass matrix (the integral of Ni Nj).
#pragma once

/// Shape values, their derivative table (2 x 8, row-major: dN/dxi of the eight nodes, then
/// dN/deta), the Jacobian J (2 x 2 row-major: J11 = sum x dN/dxi, J12 = sum y dN/dxi,
/// J21 = sum x dN/deta, J22 = sum y dN/deta), its inverse and the metric G (G(a, b) = sum over
/// c of Jinv(c, a) Jinv(c, b), so that grad Ni . grad Nj = dNi^T G dNj) at (xi, eta) of the
/// quadrilateral with node coordinates (x, y) in local-node order. Returns det J, with its
/// sign: positive when the nodes run counter-clockwise in (x, y). The polar mesh passes each
/// node's r sin as x and r cos as y, which makes it positive there.
float quad8_shape_functions(float xi, float eta, const float* x, const float* y, float* shape,
                            float* derivatives, float* jacobian, float* inverse, float* metric);
double quad8_shape_functions_dbl(double xi, double eta, const double* x, const double* y,
                                 double* shape, double* derivatives, double* jacobian,
                                 double* inverse, double* metric);

/// The 5-point Gauss-Legendre rule on [-1, 1] in single precision: weights and abscissae from
/// -0.9061798 up.
void gauss_legendre_5(float* weights, float* abscissae);

/// Adds the stiffness and mass matrices (8 x 8, row-major, symmetric) of the quadrilateral with
/// node coordinates (x, y) to S and M: 5 x 5 Gauss points, det J with its sign, products in
/// double added into the single-precision tables.
void quad8_element_matrices(const float* x, const float* y, float* stiffness, float* mass);
/// The same in double precision throughout (the Gauss points and weights of the rule above).
void quad8_element_matrices_dbl(const double* x, const double* y, double* stiffness, double* mass);

/// The quadrilateral's tables with the 3-point Gauss-Legendre product rule (abscissae 0 and
/// +-0.774596669241483, weights 0.888888888888888 and 0.555555555555555) in double precision, a
/// routine no solver calls: added to S and M as above, and to three mixed tables (8 x 8,
/// row-major) n_dx(i, j) and n_dy(i, j), the integrals of Ni times the x and the y derivative of
/// Nj, and curl(i, j), that of dNi/dx dNj/dy - dNi/dy dNj/dx; every one with det J and the
/// weights. The shape values and derivatives go through work arrays of its own from the page
/// allocator. Returns 0; 1 when that work memory is refused (nothing added); 2 when |det J| <
/// 1e-10 at a Gauss point (the element is degenerate; the tables then hold part of the sums).
int quad8_element_matrices_3pt(const double* x, const double* y, double* stiffness, double* mass,
                               double* n_dx, double* n_dy, double* curl);

/// Stiffness and mass matrices (3 x 3, row-major) of the linear triangle with corners (x, y):
/// A = |cross product| / 2, S(i, j) = (bi bj + ci cj) / (4 A), M(i, i) = A / 6, M(i, j) = A / 12.
void triangle_element_matrices(const float* x, const float* y, float* stiffness, float* mass);
void triangle_element_matrices_dbl(const double* x, const double* y, double* stiffness,
                                   double* mass);

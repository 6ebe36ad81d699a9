// Cell element terms and the band assembly of the block-model mesh.
#include "fesolve/assembly.h"

#include "fesolve/boundary.h"
#include "fesolve/element.h"
#include "matrix/band.h"
#include "model/utilities.h"

#include <algorithm>

namespace fe {

void cell_nodes(int i, int j, int ny, int (&n)[4]) {
    n[0] = (i - 1) * ny + j;
    n[1] = i * ny + j;
    n[2] = n[0] + 1;
    n[3] = n[1] + 1;
}

void cell_terms(int i, int j, int ny, float s, double w, const float* x, const float* z,
                double (&k)[10]) {
    int n[4];
    cell_nodes(i, j, ny, n);
    quad_element_matrix_dbl(s, w, x[n[0] - 1], x[n[1] - 1], x[n[2] - 1], x[n[3] - 1], z[n[0] - 1],
                            z[n[1] - 1], z[n[2] - 1], z[n[3] - 1], k);
}

} // namespace fe

void assemble_cell_matrices(int store, int nx, int ny, int L, float w, const float* cells,
                            const float* x, const float* z, double* band, float* terms, int add) {
    int counter = 0;
    for (int i = 1; i < nx; ++i)
        for (int j = 1; j < ny; ++j) {
            const float s = add == 1 ? cells[2 * index2d(i, j, nx - 1)] : 1.0f;
            double k[10];
            fe::cell_terms(i, j, ny, s, w, x, z, k);
            if (add == 1) {
                int n[4];
                fe::cell_nodes(i, j, ny, n);
                for (int a = 1; a <= 4; ++a)
                    for (int b = a; b <= 4; ++b)
                        band[sym_band_index(n[a - 1], n[b - 1], L)] += k[quad_term_index(a, b)];
            }
            if (store == 1) store_element_terms(counter, double(s), terms, k);
        }
}

void add_boundary_terms(int two_dimensional, int nx, int ny, int L, float z0, double k,
                        const float* x, const float* z, const float* cells, double* band) {
    const double xc = 0.5 * (double(x[0]) + double(x[(nx - 1) * ny]));
    const fe::BoundaryRatio ratio =
        two_dimensional == 0 ? fe::BoundaryRatio::bessel_flt : fe::BoundaryRatio::two_dimensional;
    fe::add_mixed_boundary(
        ratio, nx, ny, k, xc, double(z0), [x](int n) { return double(x[n - 1]); },
        [z](int n) { return double(z[n - 1]); }, cells,
        [band, L](int a, int b, double f) {
            band[sym_band_index(a, a, L)] += 2.0 * f;
            band[sym_band_index(b, b, L)] += 2.0 * f;
            band[sym_band_index(a, b, L)] += f;
            return 0;
        });
}

void store_cell_element_terms(int c0, int c1, int nx, int ny, float w, const float* cells,
                              const float* x, const float* z, float* terms) {
    const int c_start = std::min(std::max(c0 - 1, 1), nx - 1);
    int counter = 0;
    for (int i = c_start; i <= c1 + 1 && i <= nx - 1; ++i)
        for (int j = 1; j < ny; ++j) {
            double k[10];
            fe::cell_terms(i, j, ny, cells[2 * index2d(i, j, nx - 1)], w, x, z, k);
            store_element_terms(counter, 1.0, terms, k);
        }
}

void store_element_terms(int& counter, double divisor, float* array, const double (&terms)[10]) {
    for (double t : terms)
        array[counter++] = float(t / divisor);
}

void load_element_terms(int& counter, const float* array, double (&terms)[10]) {
    for (double& t : terms)
        t = array[counter++];
}

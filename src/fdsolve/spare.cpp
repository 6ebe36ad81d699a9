// Fixed wavenumbers, right-hand-side block permutation and the cell weighting of node terms.
#include "fdsolve/spare.h"

#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr int table_room = 24;

constexpr double four_wavenumbers[4] = {0.0217102, 0.2161121, 1.06084, 5.076587};
constexpr double four_weights[4] = {0.046366, 0.2365931, 1.038208, 5.364801};
constexpr double eight_wavenumbers[8] = {0.00162402,  0.014843983, 0.038806623, 0.119721351,
                                         0.342471806, 0.977705674, 2.783080823, 8.001904924};
constexpr double eight_weights[8] = {0.003784627, 0.010718294, 0.026991762, 0.082636322,
                                     0.226787605, 0.656557742, 1.833273112, 5.684264857};

} // namespace

InverseFourier::InverseFourier() {
    wavenumbers = sys::page_alloc_array<double>(table_room);
    weights = sys::page_alloc_array<double>(table_room);
    if (!wavenumbers || !weights) {
        sys::page_free(weights);
        sys::page_free(wavenumbers);
        weights = wavenumbers = nullptr;
        return;
    }
    std::copy(four_wavenumbers, four_wavenumbers + 4, wavenumbers);
    std::copy(four_weights, four_weights + 4, weights);
    count = 4;
}

InverseFourier::~InverseFourier() {
    if (weights) {
        sys::page_free(weights);
        weights = nullptr;
    }
    if (wavenumbers) {
        sys::page_free(wavenumbers);
        wavenumbers = nullptr;
    }
}

void InverseFourier::use_eight() {
    if (!wavenumbers || !weights) return;
    std::copy(eight_wavenumbers, eight_wavenumbers + 8, wavenumbers);
    std::copy(eight_weights, eight_weights + 8, weights);
    count = 8;
}

void permrhs_dbl_sse(double* work, double* rhs, const int* perm, int n, int m) {
    model::trace("permrhs_dbl_sse\n");
    if (n <= 0 || m <= 0) return;
    const std::size_t width = std::size_t(m);
    std::copy(rhs, rhs + std::size_t(n) * width, work);
    for (int r = 0; r < n; ++r)
        std::copy(work + r * width, work + (r + 1) * width, rhs + (perm[r] - 1) * width);
}

void scale_node_terms_by_cells(int i, int j, int nx, int nz, int ld, double f, const float* cond,
                               double* a, double* b) {
    // The cells NE, SE, SW, NW in turn, with their coupling terms a[2c], a[2c+1] and cell term
    // b[c] (0-based here).
    const int columns[4] = {i, i, i - 1, i - 1}, rows[4] = {j - 1, j, j, j - 1};
    for (int c = 0; c < 4; ++c) {
        const int ci = columns[c], cj = rows[c];
        if (ci < 1 || ci >= nx || cj < 1 || cj >= nz) continue;
        const double s = cond[index2d(ci, cj, ld)];
        a[2 * c] *= s;
        a[2 * c + 1] *= s;
        b[c] *= f * s;
    }
}

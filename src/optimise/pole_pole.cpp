// Pole-pole block sensitivities and their table.
#include "optimise/pole_pole.h"

#include "matrix/matrixfile.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "optimise/grid.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "sensitivity/kernels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace opt {

namespace {

const double t2[] = {-0.5773502692, 0.5773502692};
const double w2[] = {1.0, 1.0};
const double t3[] = {-0.7745966692, 0.0, 0.7745966692};
const double w3[] = {0.5555555556, 0.8888888889, 0.5555555556};
const double t4[] = {-0.8611363116, -0.3399810436, 0.3399810436, 0.8611363116};
const double w4[] = {0.3478548451, 0.6521451549, 0.6521451549, 0.3478548451};
const double t5[] = {-0.9061798459, -0.5384693101, 0.0, 0.5384693101, 0.9061798459};
const double w5[] = {0.2369268851, 0.4786286705, 0.5688888889, 0.4786286705, 0.2369268851};
const double t6[] = {-0.9324695142, -0.6612093865, -0.2386191861,
                     0.2386191861,  0.6612093865,  0.9324695142};
const double w6[] = {0.1713244924, 0.3607615730, 0.4679139346,
                     0.4679139346, 0.3607615730, 0.1713244924};
const double t7[] = {-0.9491079123, -0.7415311856, -0.4058451514, 0.0,
                     0.4058451514,  0.7415311856,  0.9491079123};
const double w7[] = {0.1294849662, 0.2797053915, 0.3818300505, 0.4179591837,
                     0.3818300505, 0.2797053915, 0.1294849662};
const double t8[] = {-0.9602898565, -0.7966664774, -0.5255324099, -0.1834346425,
                     0.1834346425,  0.5255324099,  0.7966664774,  0.9602898565};
const double w8[] = {0.1012285363, 0.2223810345, 0.3137066459, 0.3626837834,
                     0.3626837834, 0.3137066459, 0.2223810345, 0.1012285363};
const double t9[] = {-0.9681602395, -0.8360311073, -0.6133714327, -0.3242534234, 0.0,
                     0.3242534234,  0.6133714327,  0.8360311073,  0.9681602395};
const double w9[] = {0.0812743884, 0.1806481607, 0.2606106964, 0.3123470770, 0.3302393550,
                     0.3123470770, 0.2606106964, 0.1806481607, 0.0812743884};
const double t10[] = {-0.9739065285, -0.8650633667, -0.6794095683, -0.4333953941, -0.1488743390,
                      0.1488743390,  0.4333953941,  0.6794095683,  0.8650633667,  0.9739065285};
const double w10[] = {0.0666713443, 0.1494513492, 0.2190863625, 0.2692667193, 0.2955242247,
                      0.2955242247, 0.2692667193, 0.2190863625, 0.1494513492, 0.0666713443};

const GaussRule rules[] = {{2, t2, w2}, {3, t3, w3}, {4, t4, w4}, {5, t5, w5},   {6, t6, w6},
                           {7, t7, w7}, {8, t8, w8}, {9, t9, w9}, {10, t10, w10}};

// 1 / (4 pi^2), the factor between the kernel F and the sensitivity.
constexpr double kernel_scale = 0.02533029032445501;

} // namespace

const GaussRule& gauss_rule(int order) {
    return rules[std::min(std::max(order, 2), 10) - 2];
}

double pole_pole_kernel(double a, double d, double z) {
    const double rj2 = a * a + z * z, ri2 = (a - d) * (a - d) + z * z;
    if (rj2 == ri2) {
        // The limit of the elliptic form on the bisector of the two poles.
        const double r = std::sqrt(rj2);
        return 3.141593 * (1.0 / (2.0 * r * r * r) - 3.0 * a * d / (8.0 * std::pow(r, 5)));
    }
    const double p = std::max(rj2, ri2), q = std::min(rj2, ri2), r = std::sqrt(p);
    double k_first = 0.0;
    const double e_second = elliptic_integrals_k(std::sqrt(p - q) / r, &k_first);
    const double t1 = 2.0 * (p * e_second - q * k_first) / (r * q * (p - q));
    const double t2 = 2.0 * ((p + q) * e_second - 2.0 * q * k_first) / (r * q * (p - q) * (p - q));
    return rj2 < ri2 ? t1 + d * (a - d) * t2 : t1 - a * d * t2;
}

void quadrature_orders(float d2, int& nx, int& nz) {
    if (d2 < 0.49f)
        nx = 8, nz = 7;
    else if (d2 < 0.99f)
        nx = 4, nz = 3;
    else if (d2 < 2.99f)
        nx = 3, nz = 3;
    else
        nx = 2, nz = 2;
}

float block_pole_pole(const Grid& grid, int i, int j, int block) {
    const float xl = grid.position(grid.column(block)), xr = grid.position(grid.column(block) + 1);
    const float zt = grid.z[std::size_t(grid.layer(block) - 1)];
    const float zb = grid.z[std::size_t(grid.layer(block))];
    const float xi = grid.position(i), xj = grid.position(j);
    float d2 = 1e30f;
    for (float xe : {xi, xj})
        for (float xc : {xl, xr})
            d2 = std::min(d2, (xe - xc) * (xe - xc) + zt * zt);
    int nx = 2, nz = 2;
    quadrature_orders(d2, nx, nz);
    const GaussRule &rx = gauss_rule(nx), &rz = gauss_rule(nz);
    float sum = 0.0f;
    for (int p = 0; p < nx; ++p) {
        const float x = float(((xr - xl) * rx.abscissae[p] + xl + xr) * 0.5);
        for (int q = 0; q < nz; ++q) {
            const float z = float(((zb - zt) * rz.abscissae[q] + zt + zb) * 0.5);
            const float value = float(kernel_scale * pole_pole_kernel(double(x) - xj, xi - xj, z));
            sum = float(sum + rx.weights[p] * rz.weights[q] * value);
        }
    }
    return float(0.25 * (xr - xl) * (zb - zt) * sum);
}

std::size_t pole_pole_table_size(const Grid& grid) {
    return std::size_t(grid.nblocks) * std::size_t(grid.nelec) * std::size_t(grid.nelec - 1) / 2;
}

int pole_pole_table(const Grid& grid, const char* path, float* table) {
    const int n = grid.nelec;
    // The pairs of electrode i are one step; each writes only its own part of the table.
    const sys::StepsOutcome outcome = sys::run_steps(
        n - 1, sys::pool_threads(),
        [&](int, int step, const std::atomic<bool>& stop) {
            const int i = step + 1;
            for (int j = i + 1; j <= n; ++j) {
                if (stop.load()) return sys::step_stopped;
                float* s = table + pair_offset(i, j, n, grid.nblocks);
                for (int b = 1; b <= grid.nblocks; ++b)
                    s[b - 1] = block_pole_pole(grid, i, j, b);
            }
            return sys::step_done;
        },
        user_aborted,
        [&](int done) {
            char text[128];
            std::snprintf(text, sizeof text, "Calculating Jacobian values %.1f%%...",
                          double(done + 1) * 100.0 / n);
            update_status(text,
                          round_to_int(float(done + 1) / float(n - 1) * Statuswind.bar_width));
        });
    if (outcome.aborted) return 3;
    {
        sys::AtomicFile out(path, sys::AtomicFile::Durability::unsynced);
        const std::size_t bytes = sizeof(float) * pole_pole_table_size(grid);
        if (!out.opened() || !out.write(table, bytes) || !out.commit()) return 2;
    }
    sys::File in(std::fopen(path, "rb"));
    const long long size = (long long)pole_pole_table_size(grid);
    if (!in || read_float_block(in.get(), table, size) < size) return 1;
    return 0;
}

} // namespace opt

// Numerical pieces of the cylinder solvers: the eight-node and triangle elements, the envelope
// entry add with the factorisation and solves of an assembled polar-mesh matrix against a dense
// reference, the wavenumbers and the geometric spline integral.
#include "fixture.h"

#include "cylinder/element.h"
#include "cylinder/envelope.h"
#include "cylinder/mesh.h"
#include "cylinder/spline.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace cyl_test {
namespace {

// Local coordinates of the eight nodes.
const float node_xi[8] = {1, 0, -1, -1, -1, 0, 1, 1};
const float node_eta[8] = {1, 1, 1, 0, -1, -1, -1, 0};

TEST(Elements, ShapeFunctionsArePartitionsOfUnityAndNodal) {
    const float x[8] = {1, 0, -1, -1, -1, 0, 1, 1};
    const float y[8] = {1, 1, 1, 0, -1, -1, -1, 0};
    float N[8], dN[16], J[4], Jinv[4], G[4];
    std::mt19937 random(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int t = 0; t < 20; ++t) {
        quad8_shape_functions(u(random), u(random), x, y, N, dN, J, Jinv, G);
        float sum = 0.0f, dxi = 0.0f, deta = 0.0f;
        for (int i = 0; i < 8; ++i) {
            sum += N[i];
            dxi += dN[i];
            deta += dN[8 + i];
        }
        EXPECT_NEAR(sum, 1.0f, 1e-6f);
        EXPECT_NEAR(dxi, 0.0f, 1e-6f);
        EXPECT_NEAR(deta, 0.0f, 1e-6f);
    }
    for (int j = 0; j < 8; ++j) {
        // The (+-1, +-1) square in its own coordinates: J = G = I, det J = 1.
        const float det = quad8_shape_functions(node_xi[j], node_eta[j], x, y, N, dN, J, Jinv, G);
        EXPECT_FLOAT_EQ(det, 1.0f);
        const float identity[4] = {1, 0, 0, 1};
        for (int q = 0; q < 4; ++q) {
            EXPECT_NEAR(J[q], identity[q], 1e-6f);
            EXPECT_NEAR(G[q], identity[q], 1e-6f);
        }
        for (int i = 0; i < 8; ++i)
            EXPECT_NEAR(N[i], i == j ? 1.0f : 0.0f, 1e-7f) << i << " at node " << j;
    }
}

TEST(Elements, StiffnessRowsSumToZeroAndMassToTheArea) {
    // A trapezoid with straight sides, mid-side nodes halfway along them.
    const float cx[4] = {1.5f, 0.2f, 0.0f, 2.0f}, cy[4] = {1.0f, 1.2f, 0.0f, 0.0f}; // 1, 3, 5, 7
    float x[8], y[8];
    for (int q = 0; q < 8; q += 2) {
        x[q] = cx[q / 2];
        y[q] = cy[q / 2];
    }
    for (int q = 1; q < 8; q += 2) {
        x[q] = 0.5f * (x[q - 1] + x[(q + 1) % 8]);
        y[q] = 0.5f * (y[q - 1] + y[(q + 1) % 8]);
    }
    double twice = 0.0;
    for (int q = 0; q < 4; ++q)
        twice += double(cx[q]) * cy[(q + 1) % 4] - double(cx[(q + 1) % 4]) * cy[q];
    const double area = 0.5 * std::fabs(twice);
    float S[64] = {}, M[64] = {};
    quad8_element_matrices(x, y, S, M);
    double mass = 0.0;
    for (int a = 0; a < 8; ++a) {
        double row = 0.0;
        for (int b = 0; b < 8; ++b) {
            row += S[8 * a + b];
            mass += M[8 * a + b];
            EXPECT_EQ(S[8 * a + b], S[8 * b + a]);
        }
        EXPECT_NEAR(row, 0.0, 1e-6 * S[9 * a]) << a;
        EXPECT_GT(S[9 * a], 0.0f);
    }
    EXPECT_NEAR(mass, area, 1e-6 * area);

    const float tx[3] = {0.3f, 1.1f, 0.4f}, ty[3] = {0.2f, 0.5f, 1.3f};
    const double ta =
        0.5 * std::fabs((tx[1] - tx[0]) * (ty[2] - ty[0]) - (tx[2] - tx[0]) * (ty[1] - ty[0]));
    float TS[9], TM[9];
    triangle_element_matrices(tx, ty, TS, TM);
    double tmass = 0.0;
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(TS[3 * a] + TS[3 * a + 1] + TS[3 * a + 2], 0.0, 1e-6 * TS[4 * a]);
        for (int b = 0; b < 3; ++b)
            tmass += TM[3 * a + b];
    }
    EXPECT_NEAR(tmass, ta, 1e-6 * ta);
}

// The 3-point twin against the 5-point one: on a parallelogram the rule is exact for every
// integrand (the 5-point rule's single-precision points leave 1.9e-7 of the largest entry), on
// a ring element of the polar mesh the rules differ by what they leave (measured 3.2e-4 in S and
// 8.2e-4 in M). The mixed
// tables: each Ni times the derivatives of the Nj, which sum to 0; curl antisymmetric. A
// degenerate element is refused.
TEST(Elements, ThreePointRuleAgainstTheFivePointTwin) {
    const double pi = 3.14159265358979;
    double px[8], py[8], rx[8], ry[8];
    for (int q = 0; q < 8; ++q) {
        // A parallelogram 2 by 1, sheared by 0.3.
        px[q] = node_xi[q] + 0.3 * node_eta[q];
        py[q] = 0.5 * node_eta[q];
        // Ring 1 of a cylinder of 16 sectors: radii 1 to 0.85 (r sin first, as the solvers
        // pass it).
        const double r = 0.925 + 0.075 * node_eta[q], t = pi / 16 * node_xi[q];
        rx[q] = r * std::sin(t);
        ry[q] = r * std::cos(t);
    }
    struct Case {
        const double *x, *y;
        double tolerance;
    } cases[] = {{px, py, 3e-7}, {rx, ry, 1e-3}};
    for (const Case& c : cases) {
        double S5[64] = {}, M5[64] = {}, S3[64] = {}, M3[64] = {}, nx[64] = {}, ny[64] = {},
               curl[64] = {};
        quad8_element_matrices_dbl(c.x, c.y, S5, M5);
        ASSERT_EQ(quad8_element_matrices_3pt(c.x, c.y, S3, M3, nx, ny, curl), 0);
        double largest_s = 0.0, largest_m = 0.0;
        for (int k = 0; k < 64; ++k) {
            largest_s = std::max(largest_s, std::fabs(S5[k]));
            largest_m = std::max(largest_m, std::fabs(M5[k]));
        }
        for (int k = 0; k < 64; ++k) {
            EXPECT_NEAR(S3[k], S5[k], c.tolerance * largest_s) << k;
            EXPECT_NEAR(M3[k], M5[k], c.tolerance * largest_m) << k;
        }
        for (int a = 0; a < 8; ++a) {
            double sx = 0.0, sy = 0.0, sc = 0.0;
            for (int b = 0; b < 8; ++b) {
                sx += nx[8 * a + b];
                sy += ny[8 * a + b];
                sc += curl[8 * a + b];
                EXPECT_NEAR(curl[8 * a + b], -curl[8 * b + a], 1e-12);
            }
            EXPECT_NEAR(sx, 0.0, 1e-12) << a;
            EXPECT_NEAR(sy, 0.0, 1e-12) << a;
            EXPECT_NEAR(sc, 0.0, 1e-12) << a;
        }
        EXPECT_GT(std::fabs(nx[8 * 3 + 0]), 1e-3); // the tables are not all zero
    }
    double flat[8] = {}, S[64] = {}, M[64] = {}, nx[64] = {}, ny[64] = {}, curl[64] = {};
    EXPECT_EQ(quad8_element_matrices_3pt(flat, flat, S, M, nx, ny, curl), 2);
}

TEST(Envelope, EntriesInsideAndOutside) {
    // Rows of widths 0, 1, 1: entry (2, 1) and (3, 2) are stored, (3, 1) is not.
    const int xenv[4] = {1, 1, 2, 3};
    const int perm[3] = {1, 2, 3};
    float diag[3] = {}, env[2] = {};
    int position = -1;
    EXPECT_EQ(envij(2, 2, 4.0f, diag, env, perm, xenv, &position), 0);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(diag[1], 4.0f);
    EXPECT_EQ(envij(2, 3, -1.5f, diag, env, perm, xenv, &position), 0);
    EXPECT_EQ(position, 2);
    EXPECT_EQ(env[1], -1.5f);
    EXPECT_EQ(envij(1, 3, 9.0f, diag, env, perm, xenv, &position), 1);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(env[0], 0.0f);
    EXPECT_EQ(env[1], -1.5f);
}

// sigma (S + k^2 M) of a polar mesh with varied conductivities, assembled into envelope storage
// with envijd and into a dense matrix: factor and solves against the dense reference.
TEST(Envelope, AssembledPolarMatrixSolvesAsTheDenseReference) {
    const std::vector<float> radii = test_radii(4);
    cyl::PolarMesh mesh;
    ASSERT_EQ(cyl::build_polar_mesh(12, 4, 3, radii.data(), mesh), cyl::mesh_ok);
    const int N = mesh.nodes(), R = mesh.rings();
    const PolarEnvelope e(mesh);
    std::vector<double> env(e.size + 1, 0.0), diag(N, 0.0);
    mxtest::Dense dense(N);
    int outside = 0, position = 0;
    auto sigma = [](int s, int j) { return 0.5 + 0.1 * ((s * 7 + j * 3) % 11); };
    assemble_polar<double>(mesh, 0.3f, sigma, 1.0, [&](int i, int j, double v) {
        outside +=
            envijd(i, j, v, diag.data(), env.data(), e.perm.data(), e.xenv.data(), &position);
        dense(i, j) += v;
        if (i != j) dense(j, i) += v;
    });
    ASSERT_EQ(outside, 0);
    ASSERT_EQ(envelope_factor_dbl(N, e.xenv.data(), env.data(), diag.data()), 0);
    for (int source : {2 * R + 2, N / 2, N}) {
        std::vector<double> b(N, 0.0);
        b[source - 1] = 1.0;
        const std::vector<double> expected = mxtest::dense_solve(dense, b);
        envelope_lower_solve_dbl(N, e.xenv.data(), env.data(), diag.data(), b.data());
        envelope_upper_solve_dbl(N, e.xenv.data(), env.data(), diag.data(), b.data(), 1);
        double worst = 0.0, largest = 0.0;
        for (int i = 0; i < N; ++i) {
            worst = std::max(worst, std::fabs(b[i] - expected[i]));
            largest = std::max(largest, std::fabs(expected[i]));
        }
        EXPECT_LT(worst, 1e-12 * largest) << source;
    }
}

// Codes beyond a value list take its last value; a chargeability of 1 gives an IP conductivity
// of 0; without IP values the IP table is left alone.
TEST(CellValues, CodesListsAndChargeabilities) {
    const float rho[2] = {10.0f, 40.0f}, m[2] = {0.2f, 1.0f}, taus[1] = {0.5f},
                cs[2] = {0.3f, 0.6f};
    const std::int32_t res[4] = {0, 1, 5, 0}, ip[4] = {0, 1, 0, 9};
    float sigma[4], sigma_ip[4] = {-7, -7, -7, -7};
    set_cylinder_block_conductivity(0, m, ip, sigma_ip, 2, 2, res, sigma, rho, 2);
    EXPECT_EQ(std::vector<float>(sigma, sigma + 4),
              (std::vector<float>{0.1f, 0.025f, 0.025f, 0.1f}));
    EXPECT_EQ(sigma_ip[0], -7.0f);
    set_cylinder_block_conductivity(2, m, ip, sigma_ip, 2, 2, res, sigma, rho, 2);
    EXPECT_EQ(std::vector<float>(sigma_ip, sigma_ip + 4),
              (std::vector<float>{0.1f * 0.8f, 0.0f, 0.025f * 0.8f, 0.0f}));
    float tau[4], cexp[4];
    set_cylinder_cell_parameters(1, taus, res, tau, 2, 2, ip, cexp, cs, 2);
    EXPECT_EQ(std::vector<float>(tau, tau + 4), std::vector<float>(4, 0.5f));
    EXPECT_EQ(std::vector<float>(cexp, cexp + 4), (std::vector<float>{0.3f, 0.6f, 0.3f, 0.6f}));
}

TEST(Wavenumbers, FifteenFromTheElectrodeCount) {
    for (int nelec : {2, 16, 64}) {
        float k[cyl::wavenumber_count];
        cyl::cylinder_wavenumbers(nelec, k);
        EXPECT_FLOAT_EQ(k[0], 0.001875f * nelec);
        EXPECT_FLOAT_EQ(k[14], 1.03125f * nelec);
        for (int w = 1; w < 15; ++w)
            EXPECT_NEAR(std::log(k[w] / k[w - 1]), std::log(550.0) / 14.0, 1e-5) << w;
    }
}

TEST(Spline, SampledExponentialIntegratesExactly) {
    float kf[cyl::wavenumber_count];
    cyl::cylinder_wavenumbers(16, kf);
    std::vector<double> k(kf, kf + 15), v(15);
    const double alpha = 0.7;
    for (int w = 0; w < 15; ++w)
        v[w] = std::exp(-alpha * k[w]);
    auto exact = [&](int last) {
        return k[0] * v[0] + (std::exp(-alpha * k[0]) - std::exp(-alpha * k[last])) / alpha;
    };
    for (int nsub : {1, 4})
        EXPECT_NEAR(log_spline_integral_geo_dbl(k.data(), v.data(), 15, nsub), exact(14),
                    1e-12 * exact(14));
    // A sample at or below 1e-36 ends the knots there, also in the middle of the list.
    v[6] = 1e-37;
    EXPECT_NEAR(log_spline_integral_geo_dbl(k.data(), v.data(), 15, 4), exact(5), 1e-12);
    v[1] = 0.0;
    EXPECT_EQ(log_spline_integral_geo_dbl(k.data(), v.data(), 15, 4), k[0] * v[0]);
}

} // namespace
} // namespace cyl_test

// Element algebra, the cell terms of the band assembly and the index characters.
#include "fe_fixture.h"

#include "fesolve/assembly.h"
#include "fesolve/boundary.h"
#include "fesolve/element.h"
#include "fesolve/index_char.h"
#include "matrix/band.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace fe_test {
namespace {

// The full symmetric 4 x 4 matrix of ten terms.
double entry(const double (&k)[10], int a, int b) {
    return k[quad_term_index(a, b)];
}
double sum_all(const double (&k)[10]) {
    double s = 0.0;
    for (int a = 1; a <= 4; ++a)
        for (int b = 1; b <= 4; ++b)
            s += entry(k, a, b);
    return s;
}

TEST(Element, RectangleTwoByOneHasTheKnownRows) {
    // Corners 1 (0,0), 2 (2,0), 3 (0,1), 4 (2,1).
    const double expected[4][4] = {{1.25, -0.25, -1.0, 0.0},
                                   {-0.25, 1.25, 0.0, -1.0},
                                   {-1.0, 0.0, 1.25, -0.25},
                                   {0.0, -1.0, -0.25, 1.25}};
    double dbl[10], flt[10];
    quad_element_matrix_dbl(1.0f, 0.0, 0, 2, 0, 2, 0, 0, 1, 1, dbl);
    quad_element_matrix_flt(0.0f, 0, 2, 0, 2, 0, 0, 1, 1, flt);
    for (int a = 1; a <= 4; ++a) {
        double row = 0.0;
        for (int b = 1; b <= 4; ++b) {
            EXPECT_NEAR(entry(dbl, a, b), expected[a - 1][b - 1], 1e-15) << a << b;
            EXPECT_NEAR(entry(flt, a, b), expected[a - 1][b - 1], 1e-15) << a << b;
            row += entry(dbl, a, b);
        }
        EXPECT_NEAR(row, 0.0, 1e-15);
    }
    // The wavenumber term adds a mass matrix summing to s w (area); the stiffness part sums to 0.
    quad_element_matrix_dbl(1.0f, 1.0, 0, 2, 0, 2, 0, 0, 1, 1, dbl);
    EXPECT_NEAR(sum_all(dbl), 2.0, 1e-14);
    quad_element_matrix_dbl(0.5f, 0.3, 1, 2.5f, 1.2f, 2.4f, 0, 0.1f, 0.8f, 1.1f, dbl);
    // Shoelace area of the polygon 1-2-4-3.
    const double px[4] = {1, 2.5f, 2.4f, 1.2f}, pz[4] = {0, 0.1f, 1.1f, 0.8f};
    double twice = 0.0;
    for (int i = 0; i < 4; ++i)
        twice += px[i] * pz[(i + 1) % 4] - px[(i + 1) % 4] * pz[i];
    const double area = 0.5 * std::fabs(twice);
    EXPECT_NEAR(sum_all(dbl), 0.5 * 0.3 * area, 1e-12);
}

TEST(Element, TwoTriangleCellSplitsAlongOneDiagonal) {
    // Corner node 1 of a column of two nodes: corners 1 (0,0), 2 (2,0), 3 (0,1), 4 (2,1).
    const float x[4] = {0, 0, 2, 2}, z[4] = {0, 1, 0, 1};
    double k[10];
    cell_matrix_two_triangles_flt(1, 2, 0.0f, 1.0f, x, z, k);
    const double stiffness[10] = {1.25, -0.25, -1.0, 0.0, 1.25, 0.0, -1.0, 1.25, -0.25, 1.25};
    for (int t = 0; t < 10; ++t)
        EXPECT_NEAR(k[t], stiffness[t], 1e-15) << t;
    double mass[10];
    cell_matrix_two_triangles_flt(1, 2, 1.0f, 1.0f, x, z, mass);
    for (int t = 0; t < 10; ++t)
        mass[t] -= k[t];
    const double sixth = 1.0 / 6, third = 1.0 / 3, twelfth = 1.0 / 12;
    const double expected[10] = {sixth, twelfth, twelfth, 0.0,     third,
                                 sixth, twelfth, third,   twelfth, sixth};
    for (int t = 0; t < 10; ++t)
        EXPECT_NEAR(mass[t], expected[t], 1e-15) << t;
    EXPECT_NEAR(sum_all(mass), 2.0, 1e-14);
    // The scale multiplies every term; K14 stays untouched.
    double scaled[10];
    cell_matrix_two_triangles_flt(1, 2, 1.0f, 0.25f, x, z, scaled);
    for (int t = 0; t < 10; ++t)
        EXPECT_NEAR(scaled[t], 0.25 * (k[t] + mass[t]), 1e-15) << t;
    EXPECT_EQ(scaled[quad_term_index(1, 4)], 0.0);
}

TEST(Element, CellTrianglesCarryTheirOwnConductivities) {
    // A 2 x 2 node grid (one cell 2 wide, 1 deep): corners 1 (0,0), 2 (2,0), 3 (0,1), 4 (2,1).
    const float x[4] = {0, 0, 2, 2}, z[4] = {0, 1, 0, 1};
    const float cells[2] = {1.0f, 3.0f};
    double a[5][5] = {};
    auto add = [&a](int i, int j, double v) {
        a[i][j] += v;
        return 0;
    };
    int code[6], nodes[3];
    ASSERT_EQ(add_cell_triangles(1, 1, 2, 2, 0.0f, cells, x, z, add, code, nodes), 0);
    // Corner 1 lies in the first triangle only, corner 4 in the second only.
    double t1[6], t2[6];
    triangle_element_matrix_flt(0.0f, 0, 2, 0, 0, 0, 1, t1);
    triangle_element_matrix_flt(0.0f, 0, 2, 2, 1, 0, 1, t2);
    EXPECT_EQ(a[1][1], 1.0 * t1[0]);
    EXPECT_EQ(a[4][4], 3.0 * t2[5]);
    EXPECT_EQ(a[2][3] + a[3][2], 1.0 * t1[4] + 3.0 * t2[1]);
    EXPECT_EQ(a[1][4], 0.0);
    EXPECT_EQ(a[4][1], 0.0);
    // A refused entry stops after the triangle that met it, with its codes and nodes.
    auto refuse = [](int i, int j, double) { return i == 4 && j == 4 ? 5 : 0; };
    EXPECT_EQ(add_cell_triangles(1, 1, 2, 2, 0.0f, cells, x, z, refuse, code, nodes), 2);
    EXPECT_EQ(code[2], 5);
    EXPECT_EQ(nodes[0], 2);
    EXPECT_EQ(nodes[2], 4);
}

TEST(Element, TriangleTermsDoNotDependOnTheOrientation) {
    double cw[6], ccw[6], single[6];
    triangle_element_matrix_dbl(0.7, 0.0, 1.5, 0.2, 0.0, 0.3, 1.1, ccw);
    // The same triangle with nodes 2 and 3 exchanged: K12 <-> K13, K22 <-> K33.
    triangle_element_matrix_dbl(0.7, 0.0, 0.2, 1.5, 0.0, 1.1, 0.3, cw);
    triangle_element_matrix_flt(0.7f, 0.0f, 1.5f, 0.2f, 0.0f, 0.3f, 1.1f, single);
    EXPECT_NEAR(cw[0], ccw[0], 1e-15);
    EXPECT_NEAR(cw[1], ccw[2], 1e-15);
    EXPECT_NEAR(cw[3], ccw[5], 1e-15);
    EXPECT_NEAR(cw[4], ccw[4], 1e-15);
    for (int t = 0; t < 6; ++t)
        EXPECT_NEAR(single[t], ccw[t], 1e-6) << t;
    // Stiffness rows sum to 0, the mass part to w times the area.
    EXPECT_NEAR(ccw[0] + ccw[1] + ccw[2] + ccw[1] + ccw[3] + ccw[4] + ccw[2] + ccw[4] + ccw[5],
                0.7 * 0.5 * std::fabs(1.5 * 1.1 - 0.2 * 0.3), 1e-12);
}

TEST(Element, ClosedFormRectangleEqualsGaussQuadrature) {
    struct Case {
        double sigma, x1, x2, z1, z2, k2;
    };
    const Case cases[] = {
        {1.0, 0, 2, 0, 1, 0.0}, {0.3, 1.5, 1.75, 2.0, 2.6, 0.8}, {12.0, -4, 9, 10, 30, 0.0025}};
    for (const Case& c : cases) {
        double closed[10], gauss[10];
        rectangle_element_terms(c.sigma, c.x1, c.x2, c.z1, c.z2, c.k2, closed);
        const double x[4] = {c.x1, c.x2, c.x2, c.x1}, z[4] = {c.z1, c.z1, c.z2, c.z2};
        for (int points : {2, 3, 5}) {
            IsoParaFem element(points, points);
            ASSERT_TRUE(element.element_terms(x, z, c.sigma, c.k2, gauss));
            // The stored abscissae carry nine digits (five for the 5-point rule).
            const double tolerance = points == 5 ? 2e-6 : 1e-8;
            for (int t = 0; t < 10; ++t)
                EXPECT_NEAR(gauss[t], closed[t], tolerance * std::fabs(closed[0])) << points << t;
        }
        // The bilinear rectangle in this corner order is the four-triangle cell's as well for
        // the stiffness of a square, and both sum to sigma k2 (area).
        EXPECT_NEAR(sum_all(closed), c.sigma * c.k2 * (c.x2 - c.x1) * (c.z2 - c.z1),
                    1e-12 * c.sigma * (1 + c.k2) * (c.x2 - c.x1) * (c.z2 - c.z1) * 100);
    }
    IsoParaFem folded(2, 2);
    double t[10];
    const double x[4] = {0, 1, 0, 1}, z[4] = {0, 0, 1, 1}; // corners 3 and 4 exchanged
    EXPECT_FALSE(folded.element_terms(x, z, 1.0, 0.0, t));
    EXPECT_EQ(IsoParaFem(4, 1).points_xi(), 3); // other counts take the 3-point rule
}

TEST(Element, IndexCharacters) {
    const struct {
        int index;
        char c;
    } cases[] = {{0, '0'}, {9, '9'}, {10, 'a'}, {15, 'f'}, {16, 'g'}, {17, '0'}, {-1, '0'}};
    char text[16] = "x";
    std::string expected = "x";
    for (const auto& c : cases) {
        append_index_char(c.index, text);
        expected += c.c;
    }
    EXPECT_EQ(std::string(text), expected);
}

// A small distorted mesh of nx x ny nodes with two values a cell.
struct SmallMesh {
    int nx = 5, ny = 4;
    std::vector<float> x, z, cells;
    SmallMesh() {
        for (int i = 1; i <= nx; ++i)
            for (int j = 1; j <= ny; ++j) {
                x.push_back(float(i - 1) * 0.5f + 0.05f * float(j % 2));
                z.push_back(float((j - 1) * (j - 1)) * 0.3f + 0.02f * float(i % 3));
            }
        for (int c = 0; c < (nx - 1) * (ny - 1); ++c) {
            cells.push_back(0.5f + 0.1f * float(c));
            cells.push_back(2.0f + 0.1f * float(c));
        }
    }
};

TEST(Assembly, InteriorRowsSumToZeroAndTheEdgesTakeTheBoundaryTerms) {
    SmallMesh mesh;
    const int L = mesh.ny + 2, n = mesh.nx * mesh.ny;
    std::vector<double> band(std::size_t(n) * L, 0.0), with_boundary;
    assemble_cell_matrices(0, mesh.nx, mesh.ny, L, 0.0f, mesh.cells.data(), mesh.x.data(),
                           mesh.z.data(), band.data(), nullptr, 1);
    with_boundary = band;
    add_boundary_terms(0, mesh.nx, mesh.ny, L, 0.0f, 0.3, mesh.x.data(), mesh.z.data(),
                       mesh.cells.data(), with_boundary.data());
    auto row_sum = [&](const std::vector<double>& a, int i) {
        double s = 0.0;
        for (int j = std::max(1, i - mesh.ny - 1); j <= std::min(n, i + mesh.ny + 1); ++j)
            s += a[sym_band_index(i, j, L)];
        return s;
    };
    for (int i = 1; i <= n; ++i) {
        EXPECT_NEAR(row_sum(band, i), 0.0, 1e-12) << i;
        const int column = (i - 1) / mesh.ny + 1, row = (i - 1) % mesh.ny + 1;
        const bool edge = column == 1 || column == mesh.nx || row == mesh.ny;
        if (edge)
            EXPECT_GT(row_sum(with_boundary, i), 1e-6) << i;
        else
            EXPECT_EQ(row_sum(with_boundary, i), row_sum(band, i)) << i;
    }
    // A bottom corner node takes terms from two edges: more than its neighbour on one edge.
    const int corner = mesh.ny, next = 2 * mesh.ny;
    EXPECT_GT(with_boundary[sym_band_index(corner, corner, L)] -
                  band[sym_band_index(corner, corner, L)],
              0.0);
    EXPECT_GT(with_boundary[sym_band_index(next, next, L)] - band[sym_band_index(next, next, L)],
              0.0);
}

TEST(Assembly, LineSourceTermsStayFiniteNearTheReferencePoint) {
    // Midpoints within 1 of the centre would make 1/(r ln r) infinite or negative.
    SmallMesh mesh;
    const int L = mesh.ny + 2, n = mesh.nx * mesh.ny;
    std::vector<double> band(std::size_t(n) * L, 0.0);
    add_boundary_terms(1, mesh.nx, mesh.ny, L, 0.0f, 0.0, mesh.x.data(), mesh.z.data(),
                       mesh.cells.data(), band.data());
    for (int i = 1; i <= n; ++i) {
        const double d = band[sym_band_index(i, i, L)];
        EXPECT_TRUE(std::isfinite(d) && d >= 0.0) << i;
    }
    const double edge = fe::boundary_segment_term(fe::BoundaryRatio::two_dimensional, 0.0, 0.0, 0.0,
                                                  -0.5, 0.4, -0.5, 0.6, 1.0);
    const double clamped =
        1.0 / (fe::min_line_source_distance * std::log(fe::min_line_source_distance));
    EXPECT_NEAR(edge, 1.0 * 2 * (0.5 * 0.2) * clamped / (12 * std::hypot(0.5, 0.5)), 1e-15);
}

TEST(Assembly, BoundaryEdgeInLineWithTheReferencePointAddsNothing) {
    // cos(theta) = 0: a vertical edge straight below the reference point, a bottom edge level
    // with it. A side edge off to the side takes sigma beta L cos(theta) / 6.
    for (auto ratio : {fe::BoundaryRatio::bessel_dbl, fe::BoundaryRatio::bessel_flt}) {
        EXPECT_EQ(fe::boundary_segment_term(ratio, 0.5, 3.0, 0.0, 3.0, 4.0, 3.0, 5.0, 2.0), 0.0);
        EXPECT_EQ(fe::boundary_segment_term(ratio, 0.5, 3.0, 2.0, 8.0, 2.0, 9.0, 2.0, 2.0), 0.0);
    }
    const double r = std::hypot(4.0, 4.5), beta = 0.5; // k r > 2: beta = k
    EXPECT_NEAR(fe::boundary_segment_term(fe::BoundaryRatio::bessel_dbl, 0.5, 3.0, 0.0, 7.0, 4.0,
                                          7.0, 5.0, 2.0),
                2.0 * beta * 1.0 * (4.0 / r) / 6.0, 1e-12);
}

TEST(Assembly, StoredTermsHaveUnitConductivity) {
    SmallMesh mesh;
    const int L = mesh.ny + 2, cells = (mesh.nx - 1) * (mesh.ny - 1);
    std::vector<double> band(std::size_t(mesh.nx * mesh.ny) * L, 0.0);
    std::vector<float> stored(std::size_t(cells) * 10), unit(std::size_t(cells) * 10);
    assemble_cell_matrices(1, mesh.nx, mesh.ny, L, 0.4f, mesh.cells.data(), mesh.x.data(),
                           mesh.z.data(), band.data(), stored.data(), 1);
    const std::vector<float> ones(mesh.cells.size(), 1.0f);
    assemble_cell_matrices(1, mesh.nx, mesh.ny, L, 0.4f, ones.data(), mesh.x.data(), mesh.z.data(),
                           band.data(), unit.data(), 0);
    for (std::size_t t = 0; t < stored.size(); ++t)
        EXPECT_NEAR(stored[t], unit[t], 1e-6 * std::fabs(unit[t]) + 1e-7) << t;
    // Cell (i, j) sits at 10 ((j - 1) + (i - 1)(ny - 1)), read back in the same order.
    int counter = 10 * ((2 - 1) + (3 - 1) * (mesh.ny - 1));
    double k[10], expected[10];
    load_element_terms(counter, unit.data(), k);
    fe::cell_terms(3, 2, mesh.ny, 1.0f, 0.4f, mesh.x.data(), mesh.z.data(), expected);
    for (int t = 0; t < 10; ++t)
        EXPECT_NEAR(k[t], expected[t], 1e-6 * std::fabs(expected[t]));
    EXPECT_EQ(counter, 10 * ((2 - 1) + (3 - 1) * (mesh.ny - 1)) + 10);
    // The local recomputation carries the conductivity, from the column before c0.
    std::vector<float> local(std::size_t(3) * (mesh.ny - 1) * 10);
    store_cell_element_terms(3, 3, mesh.nx, mesh.ny, 0.4f, mesh.cells.data(), mesh.x.data(),
                             mesh.z.data(), local.data());
    const float sigma = mesh.cells[2 * index2d(2, 1, mesh.nx - 1)];
    EXPECT_NEAR(local[0], unit[10 * (1 - 1) * (mesh.ny - 1) + 10 * (mesh.ny - 1)] * sigma, 1e-5);
}

} // namespace
} // namespace fe_test

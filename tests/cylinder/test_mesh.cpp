// The polar mesh: counts, the closing of the last sector, coordinates of nodes and elements,
// the electrode marks, the radius checks and the adjacency against a brute-force reference.
#include "fixture.h"

#include "cylinder/mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace cyl_test {
namespace {

using cyl::PolarMesh;

PolarMesh mesh_of(int n, int nr, int k) {
    const std::vector<float> radii = test_radii(nr);
    PolarMesh m;
    EXPECT_EQ(cyl::build_polar_mesh(n, nr, k, radii.data(), m), cyl::mesh_ok);
    return m;
}

TEST(PolarMesh, CountsAndTheClosingSector) {
    const PolarMesh m = mesh_of(4, 2, 1);
    EXPECT_EQ(m.nodes(), 21);
    EXPECT_EQ(m.elements(), 8);
    const int cases[][2] = {{4, 2}, {12, 5}, {64, 10}};
    for (const auto& c : cases) {
        const int n = c[0], R = c[1] - 1;
        EXPECT_EQ(cyl::polar_node_count(n, c[1]), n * (3 * c[1] - 1) + 1);
        // Sector n closes on the starting line of sector 1: nodes 2j - 1, 2j, 2j + 1.
        for (int j = 1; j <= R; ++j) {
            int l[8];
            cyl::quad_nodes(n, R, n, j, l);
            EXPECT_EQ(l[0], 2 * j - 1);
            EXPECT_EQ(l[7], 2 * j);
            EXPECT_EQ(l[6], 2 * j + 1);
        }
    }
}

// Every node of every element stands where the element's own coordinates put it, and the
// elements cover the disc: their nodes are the table's, the quadrilaterals run
// counter-clockwise and the centre elements close on the centre.
TEST(PolarMesh, ElementsStandOnTheirNodes) {
    const int n = 12, nr = 5, R = nr - 1;
    const PolarMesh m = mesh_of(n, nr, 3);
    std::set<int> used;
    for (int e = 1; e <= m.elements(); ++e) {
        const bool centre = e > n * R;
        const int s = centre ? e - n * R : (e - 1) % n + 1, j = centre ? R : (e - 1) / n + 1;
        int l[8];
        cyl::quad_nodes(n, R, s, j, l);
        int nodes[8];
        int count = 8;
        if (centre) {
            count = 4;
            const int c[4] = {l[6], l[5], l[4], m.nodes()};
            std::copy(c, c + 4, nodes);
        } else {
            std::copy(l, l + 8, nodes);
        }
        EXPECT_EQ(m.element_kind[e - 1], count);
        for (int q = 0; q < count; ++q) {
            used.insert(nodes[q]);
            EXPECT_NEAR(m.element_x[8 * (e - 1) + q], m.node_x[nodes[q] - 1], 2e-6) << e << q;
            EXPECT_NEAR(m.element_y[8 * (e - 1) + q], m.node_y[nodes[q] - 1], 2e-6) << e << q;
        }
        if (!centre) {
            // Shoelace of the corners 1, 3, 5, 7 in (x, y): the local order is counter-clockwise
            // in (xi, eta), which runs clockwise in (x, y) (xi with the angle, eta outward).
            double twice = 0.0;
            for (int q = 0; q < 8; q += 2) {
                const int a = 8 * (e - 1) + q, b = 8 * (e - 1) + (q + 2) % 8;
                twice += double(m.element_x[a]) * m.element_y[b] -
                         double(m.element_x[b]) * m.element_y[a];
            }
            EXPECT_LT(twice, 0.0) << e;
        }
    }
    EXPECT_EQ(int(used.size()), m.nodes());
    EXPECT_EQ(m.node_x[m.nodes() - 1], 0.0f);
    EXPECT_EQ(m.node_y[m.nodes() - 1], 0.0f);
    // The double-precision nodes of the same mesh.
    const std::vector<float> radii = test_radii(nr);
    std::vector<double> x(m.nodes()), y(m.nodes());
    std::vector<float> ex(8 * m.elements()), ey(8 * m.elements()), marks(2 * m.electrodes());
    std::vector<std::int32_t> kinds(m.elements());
    EXPECT_EQ(set_cylinder_mesh_nodes(n, nr, 3, radii.data(), x.data(), y.data(), ex.data(),
                                      ey.data(), kinds.data(), marks.data(), marks.data()),
              n * nr);
    for (int i = 0; i < m.nodes(); ++i) {
        EXPECT_NEAR(x[i], m.node_x[i], 2e-6) << i;
        EXPECT_NEAR(y[i], m.node_y[i], 2e-6) << i;
    }
}

TEST(PolarMesh, ElectrodesEveryKSectorsWithTheirMarks) {
    const int n = 48, k = 4, R = 1;
    const PolarMesh m = mesh_of(n, 2, k);
    ASSERT_EQ(m.electrodes(), 12);
    EXPECT_FLOAT_EQ(m.electrode_x[0], 1.0f);
    EXPECT_FLOAT_EQ(m.electrode_y[0], 0.0f);
    const double dt = 2.0 * 3.14159265358979 / n;
    for (int e = 1; e <= 12; ++e) {
        const float x = m.electrode_x[2 * e - 2], y = m.electrode_y[2 * e - 2];
        const float xo = m.electrode_x[2 * e - 1], yo = m.electrode_y[2 * e - 1];
        EXPECT_NEAR(x, std::cos((e - 1) * k * dt), 1e-5) << e;
        EXPECT_NEAR(y, std::sin((e - 1) * k * dt), 1e-5) << e;
        EXPECT_NEAR(std::hypot(xo, yo), 1.04, 1e-6) << e;
        EXPECT_NEAR(xo * y - yo * x, 0.0, 1e-6) << e;
        // The electrode's node: the middle-line node on r0 of sector (e - 1) k + 1.
        const int node = 2 * R + 2 + (e - 1) * k * (3 * R + 2);
        EXPECT_FLOAT_EQ(m.node_x[node - 1], x) << e;
        EXPECT_FLOAT_EQ(m.node_y[node - 1], y) << e;
    }
}

TEST(PolarMesh, RadiiAreCheckedBeforeMeshing) {
    struct Case {
        std::vector<float> radii;
        int k;
        cyl::MeshResult result;
    };
    const Case cases[] = {
        {{1.0f, 0.6f, 0.3f}, 1, cyl::mesh_ok},
        {{1.0f, 0.6f, 0.0f}, 1, cyl::mesh_bad_centre},
        {{1.0f, 0.6f, -0.2f}, 1, cyl::mesh_bad_centre},
        {{1.0f, 0.6f, 0.6f}, 1, cyl::mesh_bad_radii},
        {{1.0f, 1.2f, 0.3f}, 1, cyl::mesh_bad_radii},
        {{1.0f}, 1, cyl::mesh_bad_size},
        {{1.0f, 0.5f}, 0, cyl::mesh_bad_size},
    };
    for (const Case& c : cases) {
        PolarMesh m;
        EXPECT_EQ(cyl::build_polar_mesh(8, int(c.radii.size()), c.k, c.radii.data(), m), c.result)
            << c.radii.size() << " " << c.radii.back();
        EXPECT_EQ(m.node_x.ok(), c.result == cyl::mesh_ok);
    }
}

// The neighbours of every node by marking every pair of nodes of every element in a dense
// table, as a reference for the lists built from the elements' node lists.
std::vector<std::vector<int>> brute_force_neighbours(int n, int nr) {
    const int R = nr - 1, N = cyl::polar_node_count(n, nr);
    std::vector<unsigned char> mark(std::size_t(N + 1) * (N + 1), 0);
    auto join = [&](const std::vector<int>& nodes) {
        for (int a : nodes)
            for (int b : nodes)
                if (a != b) mark[std::size_t(a) * (N + 1) + b] = 1;
    };
    for (int s = 1; s <= n; ++s) {
        for (int j = 1; j <= R; ++j) {
            int l[8];
            cyl::quad_nodes(n, R, s, j, l);
            join(std::vector<int>(l, l + 8));
        }
        int l[8];
        cyl::quad_nodes(n, R, s, R, l);
        join({l[4], N});
        join({l[5], N});
        join({l[6], N});
    }
    std::vector<std::vector<int>> lists(N + 1);
    for (int a = 1; a <= N; ++a)
        for (int b = 1; b <= N; ++b)
            if (mark[std::size_t(a) * (N + 1) + b]) lists[a].push_back(b);
    return lists;
}

TEST(PolarMesh, AdjacencyEqualsTheBruteForceReference) {
    const int cases[][2] = {{2, 2}, {4, 2}, {5, 3}, {16, 4}, {48, 7}, {64, 10}};
    for (const auto& c : cases) {
        const int n = c[0], nr = c[1], N = cyl::polar_node_count(n, nr);
        sys::PageArray<int> xadj, adjncy;
        ASSERT_TRUE(cyl::polar_mesh_adjacency(n, nr, xadj, adjncy));
        const auto reference = brute_force_neighbours(n, nr);
        ASSERT_EQ(xadj[0], 1);
        for (int i = 1; i <= N; ++i) {
            const std::vector<int> got(adjncy.get() + xadj[i - 1] - 1, adjncy.get() + xadj[i] - 1);
            ASSERT_EQ(got, reference[i]) << n << "x" << nr << " node " << i;
        }
        // The named routine gives the same lists into arrays of 18 N entries.
        std::vector<int> x2(N + 1), a2(18 * std::size_t(N));
        EXPECT_EQ(cylinder_mesh_adjacency(x2.data(), a2.data(), n, nr), N);
        EXPECT_TRUE(std::equal(x2.begin(), x2.end(), xadj.get()));
        EXPECT_TRUE(std::equal(adjncy.get(), adjncy.get() + adjncy.size(), a2.begin()));
    }
}

} // namespace
} // namespace cyl_test

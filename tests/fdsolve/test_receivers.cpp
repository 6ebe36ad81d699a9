// Reading the receivers of a source into the pair table in the three forms, and the remote
// electrodes placed by the single-precision twin.
#include "fdsolve/electrode_nodes.h"
#include "fdsolve/receivers.h"

#include "model/utilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(Receivers, PairTableEntriesInEveryForm) {
    // 24 nodes with distinct values, stored in the reverse order of an ordering; five
    // electrodes, their nodes in a row-by-row numbering.
    const int n = 24, nelec = 5, npairs = 10, l = 2;
    const int nodes[nelec] = {3, 7, 11, 15, 19};
    std::vector<int> invp(n);
    std::vector<double> x(n);
    auto value = [](int node) { return 1.0 + 0.25 * node * node; };
    for (int v = 1; v <= n; ++v) {
        invp[v - 1] = n + 1 - v;
        x[invp[v - 1] - 1] = value(v);
    }
    const std::vector<float> xf(x.begin(), x.end());
    const double centre = 0.93, side = 0.035;
    enum Form { plain, single, unweighted, weighted };
    for (Form form : {plain, single, unweighted, weighted})
        for (int order : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "form " << form << " order " << order);
            const int e = order == 0 ? 4 : 2; // receivers 1..3 or 3..5
            std::vector<double> table(npairs * 3, -1.0);
            std::vector<float> table_f(npairs * 3, -1.0f);
            int p = 4;
            if (form == plain)
                gather_pair_potentials(x.data(), invp.data(), nodes, e, nelec, order, l, npairs, &p,
                                       table.data());
            else if (form == single)
                gather_pair_potentials_flt(xf.data(), invp.data(), nodes, e, nelec, order, l,
                                           npairs, &p, table_f.data());
            else
                gather_pair_potentials_weighted(x.data(), invp.data(), nodes, e, nelec, order,
                                                form == weighted ? 1 : 0, centre, side, l, npairs,
                                                &p, table.data());
            EXPECT_EQ(p, 7);
            if (form == single) table.assign(table_f.begin(), table_f.end());
            for (int q = 1; q <= npairs * 3; ++q) {
                const int pair = (q - 1) % npairs + 1, column = (q - 1) / npairs + 1;
                double expected = -1.0;
                if (column == l && pair >= 4 && pair <= 6) {
                    const int node = nodes[pair - 4 + (order == 0 ? 0 : 2)];
                    expected = value(node);
                    if (form == weighted)
                        expected =
                            centre * value(node) + side * (value(node - 1) + value(node + 1));
                }
                EXPECT_DOUBLE_EQ(table[index2d(pair, column, npairs)], expected) << pair;
            }
        }
    // A solution in node order.
    std::vector<double> natural(n), table(npairs);
    for (int v = 1; v <= n; ++v)
        natural[v - 1] = value(v);
    int p = 1;
    gather_pair_potentials(natural.data(), nullptr, nodes, 3, nelec, 0, 1, npairs, &p,
                           table.data());
    EXPECT_EQ(p, 3);
    EXPECT_EQ(table[0], value(3));
    EXPECT_EQ(table[1], value(7));
}

TEST(Receivers, RemoteElectrodesOfTheSinglePrecisionTwin) {
    // 41 node columns, a quarter apart over the survey (electrodes in columns 9, 13, ..., 25),
    // one apart outside it.
    std::vector<double> x(41);
    for (int i = 1; i < 41; ++i)
        x[i] = x[i - 1] + (i > 8 && i <= 24 ? 0.25 : 1.0);
    const std::vector<float> xf(x.begin(), x.end());
    const int m = 9, step = 4, nelec = 5, nx = 41;
    const struct {
        float c2, p2;
        int kind;
    } cases[] = {{-3.0f, 6.4f, 4},
                 {-2.6f, 1.0f, 4},
                 {2.125f, 9.55f, 4},
                 {-7.5f, 40.0f, 4},
                 {-3.0f, 2.0f, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "C2 " << c.c2 << " P2 " << c.p2 << " kind " << c.kind);
        int list[4] = {}, list_f[4] = {}, c2 = -1, p2 = -1, c2_f = -1, p2_f = -1;
        double w[4] = {};
        float w_f[4] = {};
        find_remote_electrode_nodes(step, nelec, c.kind, m, nx, x.data(), c.c2, c.p2, list, w, &c2,
                                    &p2);
        find_remote_electrode_nodes_flt(step, nelec, c.kind, m, nx, xf.data(), c.c2, c.p2, list_f,
                                        w_f, &c2_f, &p2_f);
        EXPECT_EQ(c2_f, c2);
        EXPECT_EQ(p2_f, p2);
        for (int q = 0; q < c2 + p2; ++q) {
            EXPECT_EQ(list_f[q], list[q]);
            EXPECT_NEAR(w_f[q], w[q], 1e-6);
        }
        if (c.kind == 2) {
            EXPECT_EQ(p2_f, 0);
        }
    }
    // C2 three spacings left of the first electrode: column 6 (1-based) alone; P2 on the
    // electrode column 1 (4 spacings right, column 25) moves one column toward it.
    int list[4] = {}, c2 = 0, p2 = 0;
    float w[4] = {};
    find_remote_electrode_nodes_flt(step, nelec, 4, m, nx, xf.data(), -3.0f, 4.02f, list, w, &c2,
                                    &p2);
    ASSERT_EQ(c2, 1);
    ASSERT_EQ(p2, 1);
    EXPECT_EQ(list[0], 6);
    EXPECT_EQ(w[0], 1.0f);
    EXPECT_EQ(list[1], 26);
}

} // namespace

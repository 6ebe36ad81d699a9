// Graph orderings and the symbolic factorisation: valid permutations on grids of every shape,
// the factor structure against plain elimination, and the level-structure cases.
#include "matrix/gridgraph.h"
#include "matrix/ordering.h"

#include "reference.h"

#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"

#include <gtest/gtest.h>

#include <numeric>

using mxtest::Graph;

namespace {

Graph grid_5pt(int nx, int nz) {
    return mxtest::grid_graph(nx, nz, 4, grid_adjacency_5pt);
}

Graph grid_9pt(int ncol, int nrow) {
    return mxtest::grid_graph(ncol, nrow, 8, set_adj_2d_9pt);
}

Graph path_graph(int n) {
    Graph g;
    g.n = n;
    g.xadj.push_back(1);
    for (int v = 1; v <= n; ++v) {
        if (v > 1) g.adjncy.push_back(v - 1);
        if (v < n) g.adjncy.push_back(v + 1);
        g.xadj.push_back(int(g.adjncy.size()) + 1);
    }
    g.adjncy.push_back(0);
    return g;
}

struct Ordering {
    std::vector<int> perm, invp;
};

Ordering order(Graph& g, bool nested) {
    Ordering o{std::vector<int>(g.n + 1), std::vector<int>(g.n + 1)};
    int rc = nested
                 ? mx::nested_dissection(g.n, g.xadj.data(), g.adjncy.data(), o.perm.data(),
                                         o.invp.data())
                 : mx::rcm_order(g.n, g.xadj.data(), g.adjncy.data(), o.perm.data(), o.invp.data());
    EXPECT_EQ(rc, 0);
    return o;
}

// Every node once, perm and invp inverse to each other, and the graph given back unchanged.
void expect_valid(const Graph& g, const Graph& before, const Ordering& o) {
    std::vector<int> seen(g.n + 1, 0);
    for (int i = 1; i <= g.n; ++i) {
        ASSERT_GE(o.perm[i - 1], 1);
        ASSERT_LE(o.perm[i - 1], g.n);
        ASSERT_EQ(seen[o.perm[i - 1]]++, 0) << "node " << o.perm[i - 1] << " twice";
        ASSERT_EQ(o.invp[o.perm[i - 1] - 1], i);
    }
    EXPECT_EQ(g.xadj, before.xadj) << "the sign marks were not restored";
}

TEST(Orderings, NestedDissectionAndRcmArePermutationsOnGrids) {
    const int grids[][2] = {{2, 2}, {1, 1},    {1, 9},    {9, 1},    {3, 50},  {50, 3},
                            {7, 7}, {20, 200}, {200, 20}, {400, 60}, {60, 400}};
    const long long in_use = sys::page_bytes_in_use();
    for (const auto& grid : grids) {
        for (bool nine_point : {false, true}) {
            Graph g = nine_point ? grid_9pt(grid[0], grid[1]) : grid_5pt(grid[0], grid[1]);
            const Graph before = g;
            for (bool nested : {true, false}) {
                SCOPED_TRACE(testing::Message() << grid[0] << " x " << grid[1]
                                                << (nine_point ? " 9-point" : " 5-point")
                                                << (nested ? " nested dissection" : " RCM"));
                expect_valid(g, before, order(g, nested));
            }
        }
    }
    EXPECT_EQ(sys::page_bytes_in_use(), in_use);
}

TEST(Orderings, DisconnectedGraphsAreOrderedComponentByComponent) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        Graph g = mxtest::random_graph(30, 0.04, seed);
        const Graph before = g;
        expect_valid(g, before, order(g, true));
        expect_valid(g, before, order(g, false));
    }
}

// The graphs side by side, renumbered by a random permutation (seed 0: in the order given), each
// node keeping its neighbours in their order.
Graph mixed_graph(const std::vector<Graph>& parts, unsigned seed) {
    std::vector<std::vector<int>> lists(1);
    for (const Graph& g : parts) {
        const int offset = int(lists.size()) - 1;
        for (int v = 1; v <= g.n; ++v) {
            lists.emplace_back();
            for (int j = g.xadj[v - 1]; j < g.xadj[v]; ++j)
                lists.back().push_back(g.adjncy[j - 1] + offset);
        }
    }
    const int n = int(lists.size()) - 1;
    std::vector<int> number(n + 1);
    std::iota(number.begin(), number.end(), 0);
    if (seed != 0) std::shuffle(number.begin() + 1, number.end(), std::mt19937(seed));
    std::vector<std::vector<int>> renumbered(n + 1);
    for (int v = 1; v <= n; ++v)
        for (int w : lists[v])
            renumbered[number[v]].push_back(number[w]);
    return mxtest::graph_from_lists(renumbered);
}

Ordering order_on_threads(Graph& g, int threads) {
    sys::set_pool_threads(threads);
    Ordering o = order(g, true);
    sys::set_pool_threads(0);
    return o;
}

// Every result of a finite-difference run depends on the ordering: on any number of threads it
// must be the one-thread ordering, node for node. The graphs are large enough to be split apart,
// with components of every size, numbered so that their smallest nodes interleave.
TEST(Orderings, NestedDissectionIsTheSameOnAnyNumberOfThreads) {
    const Graph isolated = path_graph(1);
    const struct {
        const char* name;
        Graph g;
    } cases[] = {
        {"5-point 1253 x 25", grid_5pt(1253, 25)},
        {"5-point 25 x 1253", grid_5pt(25, 1253)},
        {"5-point 181 x 70", grid_5pt(181, 70)},
        {"9-point 160 x 40", grid_9pt(160, 40)},
        {"5-point 90 x 60 renumbered", mixed_graph({grid_5pt(90, 60)}, 3)},
        {"components", mixed_graph({grid_5pt(70, 40), isolated, grid_9pt(30, 50), path_graph(1500),
                                    isolated, grid_5pt(12, 9), isolated, path_graph(40)},
                                   0)},
        {"components renumbered",
         mixed_graph({grid_5pt(70, 40), isolated, grid_9pt(30, 50), path_graph(1500), isolated,
                      grid_5pt(12, 9), isolated, path_graph(40)},
                     11)},
        {"random",
         mixed_graph({mxtest::random_graph(2000, 0.0015, 5), mxtest::random_graph(2000, 0.0015, 6),
                      mxtest::random_graph(2000, 0.0015, 7)},
                     13)},
    };
    for (const auto& c : cases) {
        Graph g = c.g;
        const Ordering serial = order_on_threads(g, 1);
        for (int threads : {2, 3, 8}) {
            SCOPED_TRACE(testing::Message() << c.name << " on " << threads << " threads");
            const Ordering split = order_on_threads(g, threads);
            ASSERT_EQ(split.perm, serial.perm);
            ASSERT_EQ(split.invp, serial.invp);
            EXPECT_EQ(g.xadj, c.g.xadj) << "the sign marks were not restored";
        }
    }
}

// Work memory refused on the threads, at the start or half-way, leaves the one-thread sweep with
// the same ordering; refused there too, a failure; nothing stays allocated.
TEST(Orderings, NestedDissectionOnThreadsWithRefusedMemory) {
    Graph g = grid_5pt(400, 30);
    const Ordering serial = order_on_threads(g, 1);
    const long long in_use = sys::page_bytes_in_use();
    const long long node_ints = 4 * (g.n + 1) + 64;
    // Memory for the one-thread sweep's work (3 node arrays) only; for the threads' shared arrays
    // (7) but not the first split's; for a few components besides, not all that run at once.
    for (long long arrays : {3, 8, 12}) {
        SCOPED_TRACE(testing::Message() << arrays << " arrays of memory");
        sys::set_page_budget(in_use + arrays * node_ints);
        const Ordering o = order_on_threads(g, 8);
        sys::set_page_budget(-1);
        EXPECT_EQ(o.perm, serial.perm);
        EXPECT_EQ(sys::page_bytes_in_use(), in_use);
    }
    sys::set_page_budget(in_use);
    sys::set_pool_threads(8);
    Ordering o{std::vector<int>(g.n), std::vector<int>(g.n)};
    EXPECT_EQ(
        mx::nested_dissection(g.n, g.xadj.data(), g.adjncy.data(), o.perm.data(), o.invp.data()),
        1);
    sys::set_pool_threads(0);
    sys::set_page_budget(-1);
    EXPECT_EQ(sys::page_bytes_in_use(), in_use);
}

// The structure (xlnz, xnzsub, nzsub) must list, for every column, exactly the rows that plain
// elimination fills.
void expect_structure_matches_elimination(Graph& g, const std::vector<int>& perm,
                                          const std::vector<int>& invp) {
    const int n = g.n;
    std::vector<int> xlnz(n + 1), xnzsub(n + 1), nzsub(std::size_t(n) * n + 1);
    int maxsub = int(nzsub.size());
    int maxlnz = -1;
    ASSERT_EQ(symbolic_factorisation_driver(n, maxlnz, g.xadj.data(), g.adjncy.data(), perm.data(),
                                            invp.data(), xlnz.data(), xnzsub.data(), nzsub.data(),
                                            maxsub),
              0);
    auto rows = mxtest::naive_factor_pattern(g, invp);
    int total = 0;
    for (int k = 1; k <= n; ++k) {
        std::vector<int> got;
        for (int t = xlnz[k - 1]; t < xlnz[k]; ++t)
            got.push_back(nzsub[xnzsub[k - 1] + (t - xlnz[k - 1]) - 1]);
        ASSERT_EQ(got, rows[k]) << "column " << k;
        total += int(rows[k].size());
    }
    EXPECT_EQ(maxlnz, total);
    EXPECT_LE(maxsub, total);
    EXPECT_TRUE(mx::check_compressed_structure(n, perm.data(), invp.data(), xlnz.data(),
                                               xnzsub.data(), nzsub.data(), maxsub));
}

TEST(SymbolicFactorisation, CountsEqualPlainEliminationOnSmallGrids) {
    const int grids[][2] = {{1, 1}, {2, 2}, {3, 3}, {4, 7}, {7, 4}, {6, 6}, {10, 3}, {12, 9}};
    for (const auto& grid : grids) {
        for (int kind = 0; kind < 3; ++kind) {
            Graph g = kind == 1 ? grid_9pt(grid[0], grid[1]) : grid_5pt(grid[0], grid[1]);
            for (int ordering = 0; ordering < 3; ++ordering) {
                SCOPED_TRACE(testing::Message() << grid[0] << " x " << grid[1] << " graph " << kind
                                                << " ordering " << ordering);
                Ordering o;
                if (ordering < 2) {
                    o = order(g, ordering == 0);
                } else {
                    o.perm.resize(g.n);
                    std::iota(o.perm.begin(), o.perm.end(), 1);
                    std::shuffle(o.perm.begin(), o.perm.end(), std::mt19937(g.n + kind));
                    o.invp.resize(g.n);
                    invrse(g.n, o.perm.data(), o.invp.data());
                }
                expect_structure_matches_elimination(g, o.perm, o.invp);
            }
        }
    }
}

TEST(SymbolicFactorisation, CountsEqualPlainEliminationOnRandomGraphs) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        Graph g = mxtest::random_graph(8 + int(seed % 25), 0.05 + 0.01 * (seed % 7), seed);
        std::vector<int> perm(g.n), invp(g.n);
        std::iota(perm.begin(), perm.end(), 1);
        std::shuffle(perm.begin(), perm.end(), std::mt19937(seed));
        invrse(g.n, perm.data(), invp.data());
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        expect_structure_matches_elimination(g, perm, invp);
    }
}

TEST(SymbolicFactorisation, TooFewSubscriptsFailsWithFlag) {
    Graph g = grid_5pt(8, 8);
    Ordering o = order(g, true);
    std::vector<int> xlnz(g.n + 1), xnzsub(g.n + 1), nzsub(10);
    int maxsub = 10, maxlnz = -1;
    const long long in_use = sys::page_bytes_in_use();
    EXPECT_EQ(symbolic_factorisation_driver(g.n, maxlnz, g.xadj.data(), g.adjncy.data(),
                                            o.perm.data(), o.invp.data(), xlnz.data(),
                                            xnzsub.data(), nzsub.data(), maxsub),
              1);
    EXPECT_EQ(maxlnz, 0);
    // Refused work memory is a failure too, and nothing stays allocated either way.
    sys::set_page_budget(in_use);
    maxsub = 10;
    EXPECT_EQ(nd_order_and_symbolic_factorisation(maxlnz, g.n, g.xadj.data(), g.adjncy.data(),
                                                  xlnz.data(), xnzsub.data(), nzsub.data(),
                                                  o.perm.data(), o.invp.data(), maxsub),
              1);
    sys::set_page_budget(-1);
    EXPECT_EQ(sys::page_bytes_in_use(), in_use);
}

TEST(LevelStructures, PathsAndGridCases) {
    std::vector<int> mask(30, 1), xls(31), ls(30), separator(30);

    // A path of two nodes has two levels, so the whole component is the separator.
    Graph two = path_graph(2);
    EXPECT_EQ(find_separator(1, two.xadj.data(), two.adjncy.data(), mask.data(), separator.data(),
                             xls.data(), ls.data()),
              2);
    EXPECT_EQ(mask[0] + mask[1], 0);

    // Reverse Cuthill-McKee from one end of a path numbers it from the other end.
    Graph path = path_graph(6);
    std::fill(mask.begin(), mask.end(), 1);
    std::vector<int> perm(6), deg(6);
    EXPECT_EQ(rcm_number_component(1, path.xadj.data(), path.adjncy.data(), mask.data(),
                                   perm.data(), deg.data()),
              6);
    EXPECT_EQ(perm, (std::vector<int>{6, 5, 4, 3, 2, 1}));

    // From the middle of a path the pseudo-peripheral search ends at an end node.
    std::fill(mask.begin(), mask.end(), 1);
    int root = 3;
    EXPECT_EQ(find_pseudo_peripheral_node(root, path.xadj.data(), path.adjncy.data(), mask.data(),
                                          xls.data(), ls.data()),
              6);
    EXPECT_TRUE(root == 1 || root == 6);

    // On a 5 x 5 grid the first separator is the middle level of a corner's level structure.
    Graph grid = grid_5pt(5, 5);
    std::fill(mask.begin(), mask.end(), 1);
    int size = find_separator(1, grid.xadj.data(), grid.adjncy.data(), mask.data(),
                              separator.data(), xls.data(), ls.data());
    std::vector<int> sep(separator.begin(), separator.begin() + size);
    std::sort(sep.begin(), sep.end());
    // The corners' level structures have 9 levels; level 5 is the anti-diagonal i + j = 6 (or
    // its mirror from the other corners).
    EXPECT_EQ(size, 5);
    const std::vector<int> anti = {5, 9, 13, 17, 21}, main = {1, 7, 13, 19, 25};
    EXPECT_TRUE(sep == anti || sep == main);
}

} // namespace

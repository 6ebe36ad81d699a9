// Multiple minimum degree, box nested dissection and the profile ordering: permutations on
// grids and random graphs, fill against the other orderings, the box cuts against SPOOLES's
// own grid dissection, and the small cases of each.
#include "matrix/boxnd.h"
#include "matrix/envelope.h"
#include "matrix/gridgraph.h"
#include "matrix/mindegree.h"
#include "matrix/ordering.h"
#include "matrix/profile.h"

#include "reference.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

extern "C" {
#include <spooles/misc.h>
}

// SPOOLES has a Graph of its own.
using GridGraph = mxtest::Graph;

namespace {

constexpr int maxint = 0x7FFFFFFE;

// The minimum-degree ordering of a graph (on a copy of its adjacency) with nofsub.
struct MinimumDegree {
    std::vector<int> perm, invp;
    int nofsub = -1;
    explicit MinimumDegree(const GridGraph& g, int delta = 1) {
        const int n = g.n;
        perm.assign(n + 1, 0);
        invp.assign(n + 1, 0);
        std::vector<int> adjncy = g.adjncy, dhead(n + 1), qsize(n + 1), llist(n + 1), marker(n + 1);
        minimum_degree_order(n, g.xadj.data(), adjncy.data(), invp.data(), perm.data(), delta,
                             dhead.data(), qsize.data(), llist.data(), marker.data(), maxint,
                             nofsub);
    }
};

// Off-diagonal factor entries and subscripts of an ordering, from the symbolic factorisation.
struct Symbolic {
    int maxlnz = 0, maxsub = 0, flag = 1;
    Symbolic(const GridGraph& g, const std::vector<int>& perm, const std::vector<int>& invp) {
        std::vector<int> xlnz(g.n + 1), xnzsub(g.n + 1), nzsub(std::size_t(g.n) * g.n + 1);
        maxsub = int(nzsub.size());
        flag = symbolic_factorisation_driver(g.n, maxlnz, g.xadj.data(), g.adjncy.data(),
                                             perm.data(), invp.data(), xlnz.data(), xnzsub.data(),
                                             nzsub.data(), maxsub);
    }
};

GridGraph complete_graph(int n) {
    std::vector<std::vector<int>> lists(n + 1);
    for (int v = 1; v <= n; ++v)
        for (int w = 1; w <= n; ++w)
            if (w != v) lists[v].push_back(w);
    return mxtest::graph_from_lists(lists);
}

std::vector<int> scrambled_path(int n, unsigned seed) {
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 1);
    std::shuffle(order.begin(), order.end(), std::mt19937(seed));
    return order;
}

TEST(MinimumDegree, PermutationsOnGridsAndRandomGraphs) {
    const struct {
        const char* name;
        GridGraph graph;
    } cases[] = {{"5-point 30 x 15", mxtest::grid_graph(30, 15, 4, grid_adjacency_5pt)},
                 {"6-neighbour 17 x 9", mxtest::grid_graph(17, 9, 6, set_adj_2d)},
                 {"9-point 12 x 7", mxtest::grid_graph(12, 7, 8, set_adj_2d_9pt)},
                 {"sparse random 200 (isolated nodes)", mxtest::random_graph(200, 0.004, 3)},
                 {"dense random 60", mxtest::random_graph(60, 0.3, 4)},
                 {"complete 12", complete_graph(12)},
                 {"one node", mxtest::random_graph(1, 0.0, 1)}};
    for (const auto& c : cases)
        for (int delta : {0, 1, 3}) {
            SCOPED_TRACE(testing::Message() << c.name << " delta " << delta);
            MinimumDegree md(c.graph, delta);
            EXPECT_TRUE(mx::check_permutation(c.graph.n, md.perm.data(), md.invp.data()));
            // The bound holds for the compressed subscripts the ordering then needs.
            Symbolic symbolic(c.graph, md.perm, md.invp);
            ASSERT_EQ(symbolic.flag, 0);
            EXPECT_GE(md.nofsub, symbolic.maxsub);
        }
}

TEST(MinimumDegree, FillAgainstReverseCuthillMcKeeAndThePath) {
    GridGraph grid = mxtest::grid_graph(30, 15, 4, grid_adjacency_5pt);
    MinimumDegree md(grid);
    const int md_fill = Symbolic(grid, md.perm, md.invp).maxlnz;
    std::vector<int> perm(grid.n + 1), invp(grid.n + 1), xenv(grid.n + 1);
    ASSERT_EQ(mx::rcm_order(grid.n, grid.xadj.data(), grid.adjncy.data(), perm.data(), invp.data()),
              0);
    int bandwidth = 0;
    const int rcm_envelope = find_envelope(grid.n, grid.xadj.data(), grid.adjncy.data(),
                                           perm.data(), invp.data(), xenv.data(), &bandwidth);
    // 3,547 against 5,720 when this was written.
    EXPECT_LT(md_fill, 4000);
    EXPECT_GT(rcm_envelope, 5500);

    // Eliminating only nodes of the minimum degree, a path is taken from its ends: no fill.
    // (With delta 1 a pass also takes interior nodes of degree 2, which fills.)
    GridGraph path = mxtest::path_graph(scrambled_path(40, 9));
    MinimumDegree on_path(path, 0);
    EXPECT_EQ(Symbolic(path, on_path.perm, on_path.invp).maxlnz, 39);
}

TEST(MinimumDegree, NoNodesLeavesEverythingUntouched) {
    std::vector<int> xadj = {1}, adjncy = {7}, invp = {5}, perm = {6}, dhead = {1}, qsize = {2},
                     llist = {3}, marker = {4};
    int nofsub = 9;
    minimum_degree_order(0, xadj.data(), adjncy.data(), invp.data(), perm.data(), 1, dhead.data(),
                         qsize.data(), llist.data(), marker.data(), maxint, nofsub);
    EXPECT_EQ(nofsub, 9);
    EXPECT_EQ(adjncy[0] + invp[0] + perm[0] + dhead[0] + qsize[0] + llist[0] + marker[0], 28);
}

TEST(BoxDissection, AxisAndHalfCases) {
    const struct {
        int m1, m2, m3, axis;
    } axes[] = {{4, 2, 2, 1}, {2, 4, 2, 2}, {2, 2, 4, 3}, {3, 3, 1, 1},
                {3, 1, 3, 1}, {1, 3, 3, 2}, {2, 2, 2, 3}};
    for (const auto& a : axes)
        EXPECT_EQ(box_split_axis(0, a.m1 - 1, 5, 4 + a.m2, 1, a.m3), a.axis)
            << a.m1 << " " << a.m2 << " " << a.m3;
    EXPECT_EQ(half_rounded_up(3), 2);
    EXPECT_EQ(half_rounded_up(4), 2);
    EXPECT_EQ(half_rounded_up(-3), -2);
    EXPECT_EQ(half_rounded_up(0), 0);
}

TEST(BoxDissection, SmallGridsAreValidPermutations) {
    int one_new = 0, one_old = 0;
    ASSERT_EQ(box_nd_order(1, 1, 1, &one_new, &one_old), 0);
    EXPECT_EQ(one_new, 1);
    EXPECT_EQ(one_old, 1);
    // Boxes two nodes wide: the cut stays inside them.
    const int grids[][3] = {{4, 1, 1}, {4, 2, 2}, {10, 4, 6}, {2, 1, 1}, {3, 3, 3}};
    for (const auto& e : grids) {
        const int n = e[0] * e[1] * e[2];
        std::vector<int> new_to_old(n), old_to_new(n);
        ASSERT_EQ(box_nd_order(e[0], e[1], e[2], new_to_old.data(), old_to_new.data()), 0);
        EXPECT_TRUE(mx::check_permutation(n, new_to_old.data(), old_to_new.data()))
            << e[0] << " x " << e[1] << " x " << e[2];
    }
    // In a grid of 8 columns the box x = 0..3 is cut at x = 2: 0..1, then 3, then 2.
    int part[4] = {};
    ASSERT_EQ(box_split_x(8, 1, 1, part, 0, 3, 0, 0, 0, 0), 0);
    EXPECT_EQ(std::vector<int>(part, part + 4), (std::vector<int>{0, 1, 3, 2}));
    ASSERT_EQ(box_split_x(8, 1, 1, part, 0, 2, 0, 0, 0, 0), 0);
    EXPECT_EQ(std::vector<int>(part, part + 3), (std::vector<int>{0, 2, 1}));
}

TEST(BoxDissection, BoundsOutsideTheGridAreAnError) {
    int vector[8] = {};
    const int bad[][6] = {{0, 2, 0, 0, 0, 0},
                          {-1, 0, 0, 0, 0, 0},
                          {1, 0, 0, 0, 0, 0},
                          {0, 1, 0, 1, 0, 0},
                          {0, 1, 0, 0, 0, 1}};
    for (const auto& b : bad)
        EXPECT_EQ(box_nd_perm(2, 1, 1, vector, b[0], b[1], b[2], b[3], b[4], b[5]), -1);
    EXPECT_EQ(box_nd_perm(2, 1, 1, nullptr, 0, 1, 0, 0, 0, 0), -1);
    EXPECT_EQ(box_nd_perm(0, 1, 1, vector, 0, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(box_nd_order(-2, 1, 1, vector, vector), -1);
}

TEST(BoxDissection, EqualsTheSpoolesGridDissection) {
    const int grids[][3] = {{8, 5, 1}, {16, 16, 1}, {30, 15, 1}, {7, 7, 7}, {30, 30, 15}};
    for (const auto& e : grids) {
        const int n = e[0] * e[1] * e[2];
        std::vector<int> ours(n), inverse(n), theirs(n);
        ASSERT_EQ(box_nd_order(e[0], e[1], e[2], ours.data(), inverse.data()), 0);
        mkNDperm(e[0], e[1], e[2], theirs.data(), 0, e[0] - 1, 0, e[1] - 1, 0, e[2] - 1);
        for (int& v : theirs)
            ++v;
        EXPECT_EQ(ours, theirs) << e[0] << " x " << e[1] << " x " << e[2];
    }
}

TEST(ProfileOrder, NeverWorseThanTheGivenNumberingAndAPathInPathOrder) {
    const struct {
        const char* name;
        GridGraph graph;
        int components;
    } cases[] = {{"5-point 30 x 15", mxtest::grid_graph(30, 15, 4, grid_adjacency_5pt), 1},
                 {"6-neighbour 30 x 15", mxtest::grid_graph(30, 15, 6, set_adj_2d), 1},
                 {"random 120", mxtest::random_graph(120, 0.02, 8), 0},
                 {"banded already", mxtest::grid_graph(3, 40, 4, grid_adjacency_5pt), 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int n = c.graph.n;
        std::vector<int> newnum(n), work(4 * n + 1);
        int old_profile = 0, ncomp = 0;
        const int profile = profile_order(n, c.graph.xadj.data(), c.graph.adjncy.data(),
                                          newnum.data(), work.data(), old_profile, ncomp);
        EXPECT_LE(profile, old_profile);
        std::vector<int> perm(n);
        for (int v = 1; v <= n; ++v)
            perm[newnum[v - 1] - 1] = v;
        EXPECT_TRUE(mx::check_permutation(n, perm.data(), newnum.data()));
        if (c.components > 0) {
            EXPECT_EQ(ncomp, c.components);
        }
    }

    // A scrambled path is numbered along the path, from one end: profile 2n - 1.
    const std::vector<int> order = scrambled_path(30, 4);
    GridGraph path = mxtest::path_graph(order);
    std::vector<int> newnum(30), work(121);
    int old_profile = 0, ncomp = 0;
    EXPECT_EQ(profile_order(30, path.xadj.data(), path.adjncy.data(), newnum.data(), work.data(),
                            old_profile, ncomp),
              59);
    EXPECT_EQ(ncomp, 1);
    EXPECT_GT(old_profile, 59);
    const int step = newnum[order[1] - 1] - newnum[order[0] - 1];
    ASSERT_EQ(std::abs(step), 1);
    for (int k = 1; k < 30; ++k)
        EXPECT_EQ(newnum[order[k] - 1] - newnum[order[k - 1] - 1], step) << k;
}

TEST(ProfileOrder, KeySortBothWays) {
    const int key[] = {5, 9, 1, 9};
    int list[] = {1, 2, 3, 4};
    sort_nodes_by_key(4, list, key, 0);
    EXPECT_EQ(std::vector<int>(list, list + 4), (std::vector<int>{2, 4, 1, 3}));
    sort_nodes_by_key(4, list, key, 1);
    EXPECT_EQ(std::vector<int>(list, list + 4), (std::vector<int>{3, 1, 2, 4}));
}

} // namespace

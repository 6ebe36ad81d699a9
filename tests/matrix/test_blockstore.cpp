// Block orderings and tree-partitioned block storage: both partitions on 2-D and 3-D grids,
// factor and solve against the double sparse solution, and the small cases of the routines.
#include "matrix/blockorder.h"
#include "matrix/blockstore.h"
#include "matrix/envelope.h"
#include "matrix/gridgraph.h"

#include "reference.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>
#include <string>

using mxtest::Dense;
using mxtest::Graph;

namespace {

enum class Method { one_way, quotient_tree };
const char* name(Method m) {
    return m == Method::one_way ? "one-way dissection" : "quotient tree";
}

Graph grid_7pt(int a, int b, int c) {
    Graph g;
    g.n = a * b * c;
    g.xadj.resize(g.n + 1);
    g.adjncy.resize(6 * std::size_t(g.n));
    set_adj_3d_7pt(g.xadj.data(), g.adjncy.data(), b, a, c);
    return g;
}

Graph path(int n) {
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 1);
    return mxtest::path_graph(order);
}

// A partition of a graph by one of the two block orderings, shuffled inside its blocks.
struct Partition {
    int n = 0, nblks = 0;
    std::vector<int> perm, invp, xblk, bnum;
    Partition(Graph& g, Method method, std::FILE* trace = nullptr) : n(g.n) {
        perm.resize(n + 1);
        invp.resize(n + 1);
        xblk.resize(n + 2);
        bnum.resize(n + 1);
        std::vector<int> mask(n + 1), xls(n + 2), ls(n + 1), stack(n + 1);
        if (method == Method::one_way) {
            nblks = one_way_dissection_partition(n, g.xadj.data(), g.adjncy.data(), mask.data(),
                                                 xblk.data(), perm.data(), xls.data(), ls.data());
            number_blocks_rcm(g.xadj.data(), g.adjncy.data(), perm.data(), nblks, xblk.data(),
                              bnum.data(), mask.data(), ls.data(), xls.data());
        } else {
            nblks = genrqt(trace, n, g.xadj.data(), g.adjncy.data(), perm.data(), xblk.data(),
                           xls.data(), ls.data(), mask.data(), stack.data());
            bshufls(g.xadj.data(), g.adjncy.data(), perm.data(), nblks, xblk.data(), bnum.data(),
                    mask.data(), ls.data(), xls.data());
        }
        for (int k = 1; k <= n; ++k)
            invp[perm[k - 1] - 1] = k;
    }
};

// The block storage of a partitioned graph, set up by the routines of the partition's run.
struct BlockMatrix {
    int n = 0, nblks = 0, offblock = 0;
    std::vector<int> father, xenv, xnonz, nzsubs;
    std::vector<float> diag, env, nonz;

    BlockMatrix(const Graph& g, Partition& p, Method method) : n(p.n), nblks(p.nblks) {
        father.resize(nblks + 1);
        xenv.resize(n + 1);
        xnonz.resize(n + 1);
        nzsubs.resize(g.adjncy.size());
        int size = 0;
        const int capacity = int(nzsubs.size());
        if (method == Method::one_way) {
            std::vector<int> rows(n), touch(n);
            find_tree_adjacency_1wd(g.xadj.data(), g.adjncy.data(), p.perm.data(), nblks,
                                    p.xblk.data(), father.data(), p.bnum.data());
            size = find_tree_envelope_1wd(g.xadj.data(), g.adjncy.data(), p.perm.data(),
                                          p.invp.data(), nblks, p.xblk.data(), xenv.data(),
                                          rows.data(), touch.data());
            offblock = find_off_block_nonzeros_1wd(g.xadj.data(), g.adjncy.data(), p.perm.data(),
                                                   p.invp.data(), nblks, p.xblk.data(),
                                                   xnonz.data(), nzsubs.data(), capacity);
        } else {
            fntadjs(g.xadj.data(), g.adjncy.data(), p.perm.data(), nblks, p.xblk.data(),
                    father.data(), p.bnum.data());
            size = fntenv(g.xadj.data(), g.adjncy.data(), p.perm.data(), p.invp.data(), nblks,
                          p.xblk.data(), xenv.data());
            offblock = fnofnzs(g.xadj.data(), g.adjncy.data(), p.perm.data(), p.invp.data(), nblks,
                               p.xblk.data(), xnonz.data(), nzsubs.data(), capacity);
        }
        env.assign(std::max(size, 1), 0.0f);
        nonz.assign(std::max(offblock, 1), 0.0f);
        diag.assign(n, 0.0f);
    }
    int add(int i, int j, float value, const Partition& p) {
        return add_block_sparse_entry(i, j, value, p.invp.data(), diag.data(), xenv.data(),
                                      env.data(), xnonz.data(), nzsubs.data(), nonz.data());
    }
};

struct GridCase {
    const char* name;
    Graph graph;
};
std::vector<GridCase> grid_cases() {
    return {{"5-point 10 x 5", mxtest::grid_graph(10, 5, 4, grid_adjacency_5pt)},
            {"5-point 30 x 15", mxtest::grid_graph(30, 15, 4, grid_adjacency_5pt)},
            {"6-neighbour 10 x 5", mxtest::grid_graph(10, 5, 6, set_adj_2d)},
            {"6-neighbour 30 x 15", mxtest::grid_graph(30, 15, 6, set_adj_2d)},
            {"7-point 9 x 7 x 6", grid_7pt(9, 7, 6)},
            {"two components", mxtest::random_graph(80, 0.03, 2)}};
}

TEST(BlockOrderings, PartitionsAreTreesAndLeaveTheGraph) {
    std::vector<GridCase> cases = grid_cases();
    cases.push_back({"7-point 30 x 30 x 15", grid_7pt(30, 30, 15)});
    for (GridCase& c : cases)
        for (Method method : {Method::one_way, Method::quotient_tree}) {
            SCOPED_TRACE(testing::Message() << c.name << ", " << name(method));
            const Graph original = c.graph;
            Partition p(c.graph, method);
            EXPECT_EQ(c.graph.xadj, original.xadj);
            EXPECT_EQ(c.graph.adjncy, original.adjncy);
            EXPECT_TRUE(mx::check_tree_partition(p.n, c.graph.xadj.data(), c.graph.adjncy.data(),
                                                 p.perm.data(), p.nblks, p.xblk.data()));
            EXPECT_GT(p.nblks, 1);
        }
}

TEST(BlockOrderings, SmallComponentsStayWholeAndTheQuotientTreeTraces) {
    Graph short_path = path(49), long_path = path(50);
    EXPECT_EQ(Partition(short_path, Method::one_way).nblks, 1);
    // 50 nodes in 50 levels: delta = 1 + sqrt(8) lies below 25, so the path is cut every
    // fourth node: 12 dissectors in one block and 13 pieces.
    EXPECT_EQ(Partition(long_path, Method::one_way).nblks, 14);

    // A path is one level per node: every node its own block, one trace line a component.
    std::FILE* trace = std::tmpfile();
    ASSERT_NE(trace, nullptr);
    Graph two_paths = path(6);
    two_paths.n = 7; // node 7 has no neighbours
    two_paths.xadj.push_back(two_paths.xadj.back());
    Partition p(two_paths, Method::quotient_tree, trace);
    EXPECT_EQ(p.nblks, 7);
    std::rewind(trace);
    char text[256] = {};
    const std::size_t length = std::fread(text, 1, sizeof text - 1, trace);
    std::fclose(trace);
    EXPECT_EQ(std::string(text, length), "set nodlvl\nstart stack \nstart stack \n");
}

TEST(BlockStorage, FactorAndSolveMatchTheDoubleSparseSolution) {
    for (GridCase& c : grid_cases()) {
        const Dense m = mxtest::random_spd_on_graph(c.graph, 17);
        mxtest::SparseSystem reference(c.graph);
        ASSERT_TRUE(reference.ordered);
        ASSERT_TRUE(reference.assemble(m));
        ASSERT_EQ(reference.factor(), 0);
        const std::vector<double> b = mxtest::random_vector(c.graph.n, 23);
        std::vector<double> expected = reference.to_new(b);
        solve_sparse_dbl(1, 1, reference.n, reference.xlnz.data(), reference.lnz.data(),
                         reference.xnzsub.data(), reference.nzsub.data(), reference.diag.data(),
                         expected.data());
        expected = reference.to_old(expected);

        for (Method method : {Method::one_way, Method::quotient_tree}) {
            SCOPED_TRACE(testing::Message() << c.name << ", " << name(method));
            Partition p(c.graph, method);
            BlockMatrix a(c.graph, p, method);
            ASSERT_LE(a.offblock, int(a.nzsubs.size()));
            for (int i = 1; i <= m.n; ++i)
                for (int j = 1; j <= i; ++j)
                    if (m(i, j) != 0.0) {
                        ASSERT_EQ(a.add(i, j, float(m(i, j)), p), 0) << i << " " << j;
                    }
            int flag = -1;
            ASSERT_EQ(block_sparse_factor(a.nblks, p.xblk.data(), a.father.data(), a.diag.data(),
                                          a.xenv.data(), a.env.data(), a.xnonz.data(),
                                          a.nonz.data(), a.nzsubs.data(), &flag),
                      0);
            EXPECT_EQ(flag, 0);
            std::vector<float> x(a.n);
            for (int v = 1; v <= a.n; ++v)
                x[p.invp[v - 1] - 1] = float(b[v - 1]);
            ASSERT_EQ(block_sparse_solve(a.nblks, p.xblk.data(), a.diag.data(), a.xenv.data(),
                                         a.env.data(), a.xnonz.data(), a.nonz.data(),
                                         a.nzsubs.data(), x.data()),
                      0);
            std::vector<double> solution(a.n);
            for (int v = 1; v <= a.n; ++v)
                solution[v - 1] = x[p.invp[v - 1] - 1];
            // Measured: at most 2.3e-7 over these cases.
            EXPECT_LT(mxtest::relative_difference(solution, expected), 1e-6);
        }
    }
}

TEST(BlockStorage, OneBlockAndTheEntryResults) {
    Graph g = mxtest::grid_graph(12, 6, 4, grid_adjacency_5pt);
    Partition p(g, Method::one_way);
    // The same numbering as one block: the root of its tree, no off-block entries, and the
    // envelope of the whole matrix, in both copies of the set-up.
    Partition whole = p;
    whole.nblks = 1;
    whole.xblk = {1, g.n + 1};
    std::vector<int> xenv(g.n + 1);
    int bandwidth = 0;
    const int envelope = find_envelope(g.n, g.xadj.data(), g.adjncy.data(), p.perm.data(),
                                       p.invp.data(), xenv.data(), &bandwidth);
    for (Method method : {Method::one_way, Method::quotient_tree}) {
        BlockMatrix one(g, whole, method);
        EXPECT_EQ(one.father[0], 0) << name(method);
        EXPECT_EQ(one.offblock, 0) << name(method);
        EXPECT_EQ(one.xenv, xenv) << name(method);
        EXPECT_EQ(one.xenv[g.n] - 1, envelope) << name(method);
    }

    // In the partitioned storage: the diagonal, an envelope entry, an off-block entry, a
    // column missing from a row's off-block list (4) and a row with none (5).
    BlockMatrix a(g, p, Method::one_way);
    EXPECT_EQ(a.add(7, 7, 2.0f, p), 0);
    EXPECT_EQ(a.diag[p.invp[6] - 1], 2.0f);
    int in_envelope = 0, off_block = 0, missing = 0, no_list = 0;
    for (int r = 1; r <= g.n; ++r)
        for (int c = 1; c < r; ++c) {
            const bool envelope_entry = a.xenv[r] - r + c >= a.xenv[r - 1];
            const int first = a.xnonz[r - 1], last = a.xnonz[r] - 1;
            bool listed = false;
            for (int t = first; t <= last; ++t)
                listed = listed || a.nzsubs[t - 1] == c;
            const int i = p.perm[r - 1], j = p.perm[c - 1];
            if (envelope_entry && !in_envelope) {
                in_envelope = 1;
                EXPECT_EQ(a.add(i, j, 1.0f, p), 0);
                EXPECT_EQ(a.env[a.xenv[r] - r + c - 1], 1.0f);
            } else if (listed && !off_block) {
                off_block = 1;
                EXPECT_EQ(a.add(j, i, 3.0f, p), 0);
            } else if (!envelope_entry && !listed && first <= last && !missing) {
                missing = 1;
                const std::vector<float> env = a.env, nonz = a.nonz;
                EXPECT_EQ(a.add(i, j, 1.0f, p), 4);
                EXPECT_EQ(a.env, env);
                EXPECT_EQ(a.nonz, nonz);
            } else if (!envelope_entry && first > last && !no_list) {
                no_list = 1;
                EXPECT_EQ(a.add(j, i, 1.0f, p), 5);
            }
        }
    EXPECT_EQ(in_envelope + off_block + missing + no_list, 4);
    EXPECT_EQ(std::count(a.nonz.begin(), a.nonz.end(), 3.0f), 1);
}

TEST(BlockStorage, NonPositiveDiagonalBlockStopsTheFactorisation) {
    Graph g = mxtest::grid_graph(12, 6, 4, grid_adjacency_5pt);
    Partition p(g, Method::one_way);
    ASSERT_GT(p.nblks, 2);
    BlockMatrix a(g, p, Method::one_way);
    const Dense m = mxtest::random_spd_on_graph(g, 5);
    for (int i = 1; i <= m.n; ++i)
        for (int j = 1; j <= i; ++j)
            if (m(i, j) != 0.0) a.add(i, j, float(m(i, j)), p);
    // The third row of the second block loses its diagonal.
    const int row = p.xblk[1] + 2;
    a.diag[row - 1] = -1.0f;
    int flag = 0;
    EXPECT_EQ(block_sparse_factor(a.nblks, p.xblk.data(), a.father.data(), a.diag.data(),
                                  a.xenv.data(), a.env.data(), a.xnonz.data(), a.nonz.data(),
                                  a.nzsubs.data(), &flag),
              3);
    EXPECT_EQ(flag, 2);
}

TEST(BlockStorage, SortsReversalsAndTheShuffleOfABlockTouchingAnEarlierOne) {
    int v[] = {3, 1, 2};
    insertion_sort_int(3, v);
    EXPECT_EQ(std::vector<int>(v, v + 3), (std::vector<int>{1, 2, 3}));
    int one[] = {5};
    reverse_int_vector(1, one);
    EXPECT_EQ(one[0], 5);
    int four[] = {1, 2, 3, 4};
    reverse_int_vector(4, four);
    EXPECT_EQ(std::vector<int>(four, four + 4), (std::vector<int>{4, 3, 2, 1}));

    // A star: the centre alone in block 1; its leaves, each touching it, keep their order in
    // block 2.
    Graph star;
    star.n = 4;
    star.xadj = {1, 4, 5, 6, 7};
    star.adjncy = {2, 3, 4, 1, 1, 1};
    std::vector<int> perm = {1, 4, 2, 3}, xblk = {1, 2, 5}, bnum(5), mask(5), subg(5), xls(6);
    number_blocks_rcm(star.xadj.data(), star.adjncy.data(), perm.data(), 2, xblk.data(),
                      bnum.data(), mask.data(), subg.data(), xls.data());
    EXPECT_EQ(perm, (std::vector<int>{1, 4, 2, 3}));
    EXPECT_EQ(bnum, (std::vector<int>{1, 2, 2, 2, 0}));
}

} // namespace

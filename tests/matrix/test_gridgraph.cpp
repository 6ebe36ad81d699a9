// Grid adjacency builders and grid numberings: the neighbour lists of small grids.
#include "matrix/gridgraph.h"

#include "platform/sys/sys.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

namespace {

using Builder = std::function<int(int*, int*)>;

struct Adjacency {
    std::vector<int> xadj, adjncy;
    int n = 0;
    std::vector<int> neighbours(int v) const {
        return std::vector<int>(adjncy.begin() + xadj[v - 1] - 1, adjncy.begin() + xadj[v] - 1);
    }
};

Adjacency build(int n, int per_node, const Builder& builder) {
    Adjacency a;
    a.xadj.assign(n + 1, 0);
    a.adjncy.assign(std::size_t(n) * per_node + 1, 0);
    a.n = builder(a.xadj.data(), a.adjncy.data());
    return a;
}

TEST(GridGraphs, NeighbourListsOfSmallGrids) {
    Adjacency nine = build(4, 8, [](int* x, int* a) { return set_adj_2d_9pt(x, a, 2, 2); });
    EXPECT_EQ(nine.n, 4);
    EXPECT_EQ(nine.xadj, (std::vector<int>{1, 4, 7, 10, 13}));

    Adjacency nine3 = build(9, 8, [](int* x, int* a) { return set_adj_2d_9pt(x, a, 3, 3); });
    EXPECT_EQ(nine3.neighbours(5), (std::vector<int>{4, 2, 8, 6, 3, 7, 1, 9}));
    Adjacency oriented3 =
        build(9, 8, [](int* x, int* a) { return set_adj_2d_9pt_oriented(x, a, 3, 3); });
    EXPECT_EQ(oriented3.neighbours(5), (std::vector<int>{1, 2, 3, 4, 6, 7, 8, 9}));

    Adjacency tall =
        build(40, 8, [](int* x, int* a) { return set_adj_2d_9pt_oriented(x, a, 5, 8); });
    Adjacency wide =
        build(40, 8, [](int* x, int* a) { return set_adj_2d_9pt_oriented(x, a, 8, 5); });
    EXPECT_EQ(tall.xadj, wide.xadj);
    EXPECT_EQ(tall.adjncy, wide.adjncy);
    EXPECT_EQ(tall.neighbours(1), (std::vector<int>{2, 6, 7})); // columns of 5 nodes

    Adjacency five = build(6, 4, [](int* x, int* a) { return grid_adjacency_5pt(x, a, 3, 2); });
    const std::vector<std::vector<int>> five_lists = {{2, 4}, {1, 3, 5}, {2, 6},
                                                      {1, 5}, {2, 4, 6}, {3, 5}};
    for (int v = 1; v <= 6; ++v)
        EXPECT_EQ(five.neighbours(v), five_lists[v - 1]) << v;
    EXPECT_EQ(five.n, 14); // the 5-point builder returns the entries used

    // The two triangulated grids join the same diagonal: up-right and down-left.
    Adjacency tri = build(9, 6, [](int* x, int* a) { return set_adj_2d(x, a, 3, 3); });
    EXPECT_EQ(tri.neighbours(5), (std::vector<int>{4, 2, 8, 6, 3, 7}));
    Adjacency six = build(9, 6, [](int* x, int* a) { return set_adj_2d_6pt(x, a, 3, 3); });
    EXPECT_EQ(six.neighbours(5), (std::vector<int>{2, 3, 4, 6, 7, 8}));

    Adjacency seven = build(24, 6, [](int* x, int* a) { return set_adj_3d_7pt(x, a, 3, 2, 4); });
    EXPECT_EQ(seven.n, 24);
    // Node (i, j, l) = (1, 2, 2) is 2 + 1·4 = 6: neighbours (1,1,2), (1,2,1), (1,2,3),
    // (1,3,2), (2,2,2).
    EXPECT_EQ(seven.neighbours(6), (std::vector<int>{2, 5, 7, 10, 18}));
}

TEST(GridGraphs, BrickGraphJoinsEveryCornerPairAndWritesItsList) {
    char pattern[] = "/tmp/vd_matrix_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    sys::set_program_dir(std::string(pattern) + "/");
    Adjacency brick = build(27, 26, [](int* x, int* a) { return set_adj_3d_brick(x, a, 3, 3, 3); });
    EXPECT_EQ(brick.n, 27);
    EXPECT_EQ(brick.neighbours(14).size(), 26u); // the centre touches every other node
    EXPECT_EQ(brick.neighbours(1), (std::vector<int>{2, 4, 5, 10, 11, 13, 14}));
    std::vector<char> text;
    ASSERT_TRUE(sys::read_whole_file(std::string(pattern) + "/femadj.txt", text));
    std::string s(text.begin(), text.end());
    EXPECT_EQ(s.substr(0, 40), "    1      2     4     5    10    11    ");
    EXPECT_NE(s.find("Total adjncy 316  ratio 11.704\n"), std::string::npos);
    std::remove((std::string(pattern) + "/femadj.txt").c_str());
    std::remove(pattern);
}

TEST(GridGraphs, Numberings) {
    // Alternate diagonals of a 3 x 2 grid: t = 1: (1,1); t = 3: (2,2), (3,1); then t = 2:
    // (1,2), (2,1); t = 4: (3,2).
    std::vector<int> invp(6);
    diagonal_ordering(3, 2, invp.data());
    EXPECT_EQ(invp, (std::vector<int>{1, 5, 3, 4, 2, 6}));
    for (auto grid : {std::make_pair(7, 4), std::make_pair(4, 7), std::make_pair(1, 5)}) {
        std::vector<int> numbers(grid.first * grid.second);
        diagonal_ordering(grid.first, grid.second, numbers.data());
        EXPECT_EQ(std::set<int>(numbers.begin(), numbers.end()).size(), numbers.size());
    }

    EXPECT_EQ(grid_node_3d(2, 3, 4, 5, 6, 7), 4 + 1 * 7 + 2 * 5 * 7);
    EXPECT_EQ(grid_node_3d(2, 3, 4, 6, 5, 7), 4 + 2 * 7 + 1 * 5 * 7);
    int c[7];
    int node =
        grid_cell_nodes_3d(1, 1, 1, 2, 3, 4, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6]);
    EXPECT_EQ(node, 1);
    EXPECT_EQ(std::vector<int>(c, c + 7), (std::vector<int>{2, 6, 5, 9, 10, 14, 13}));
}

} // namespace

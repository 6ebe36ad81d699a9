// Adjacency structures of regular grids: one builder and the neighbour tables of each stencil.
#include "matrix/gridgraph.h"

#include "matrix/one_based.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cstdio>

using mx::GridStep;
using mx::OneBased;

namespace mx {

int build_grid_graph(int nf, int nm, int ns, const GridStep* steps, int nsteps, int* xadj_,
                     int* adjncy_) {
    OneBased<int> xadj(xadj_), adjncy(adjncy_);
    int next = 1;
    int k = 0;
    for (int s = 1; s <= ns; ++s)
        for (int m = 1; m <= nm; ++m)
            for (int f = 1; f <= nf; ++f) {
                xadj[++k] = next;
                for (int q = 0; q < nsteps; ++q) {
                    int f2 = f + steps[q].fast, m2 = m + steps[q].middle, s2 = s + steps[q].slow;
                    if (f2 < 1 || f2 > nf || m2 < 1 || m2 > nm || s2 < 1 || s2 > ns) continue;
                    adjncy[next++] = f2 + (m2 - 1) * nf + (s2 - 1) * nf * nm;
                }
            }
    xadj[k + 1] = next;
    return k;
}

} // namespace mx

namespace {

template <int N> int build_2d(int nf, int ns, const GridStep (&steps)[N], int* xadj, int* adjncy) {
    return mx::build_grid_graph(nf, 1, ns, steps, N, xadj, adjncy);
}

} // namespace

int set_adj_2d(int* xadj, int* adjncy, int width, int rows) {
    static const GridStep steps[] = {{-1, 0, 0}, {0, 0, -1}, {0, 0, 1},
                                     {1, 0, 0},  {1, 0, -1}, {-1, 0, 1}};
    return build_2d(width, rows, steps, xadj, adjncy);
}

int set_adj_2d_9pt(int* xadj, int* adjncy, int ncol, int nrow) {
    // (fast, slow) = (row, column) offsets of the neighbour list.
    static const GridStep steps[] = {{-1, 0, 0}, {0, 0, -1}, {0, 0, 1},   {1, 0, 0},
                                     {1, 0, -1}, {-1, 0, 1}, {-1, 0, -1}, {1, 0, 1}};
    return build_2d(nrow, ncol, steps, xadj, adjncy);
}

int set_adj_2d_9pt_oriented(int* xadj, int* adjncy, int a, int b) {
    static const GridStep steps[] = {{-1, 0, -1}, {0, 0, -1}, {1, 0, -1}, {-1, 0, 0},
                                     {1, 0, 0},   {-1, 0, 1}, {0, 0, 1},  {1, 0, 1}};
    return build_2d(std::min(a, b), std::max(a, b), steps, xadj, adjncy);
}

int set_adj_2d_6pt(int* xadj, int* adjncy, int ncol, int nrow) {
    static const GridStep steps[] = {{0, 0, -1}, {1, 0, -1}, {-1, 0, 0},
                                     {1, 0, 0},  {-1, 0, 1}, {0, 0, 1}};
    return build_2d(nrow, ncol, steps, xadj, adjncy);
}

int set_adj_3d_7pt(int* xadj, int* adjncy, int b, int a, int c) {
    static const GridStep steps[] = {{0, 0, -1}, {0, -1, 0}, {-1, 0, 0},
                                     {1, 0, 0},  {0, 1, 0},  {0, 0, 1}};
    return mx::build_grid_graph(c, b, a, steps, 6, xadj, adjncy);
}

int set_adj_3d_brick(int* xadj_, int* adjncy_, int a, int b, int c) {
    // Corners of a common brick are the nodes within one step along every axis; listing the
    // steps slowest axis first keeps each node's neighbours in increasing number.
    GridStep steps[26];
    int count = 0;
    for (int s = -1; s <= 1; ++s)
        for (int m = -1; m <= 1; ++m)
            for (int f = -1; f <= 1; ++f)
                if (f != 0 || m != 0 || s != 0) steps[count++] = {f, m, s};
    int n = mx::build_grid_graph(c, b, a, steps, count, xadj_, adjncy_);

    OneBased<const int> xadj(xadj_), adjncy(adjncy_);
    std::string path = sys::program_dir() + "femadj.txt";
    if (std::FILE* file = std::fopen(path.c_str(), "wt")) {
        for (int k = 1; k <= n; ++k) {
            std::fprintf(file, "%5d ", k);
            for (int j = xadj[k]; j < xadj[k + 1]; ++j)
                std::fprintf(file, " %5d", adjncy[j]);
            std::fprintf(file, "\n");
        }
        int total = xadj[n + 1] - 1;
        std::fprintf(file, "Total adjncy %d  ratio %.3f\n", total, n > 0 ? double(total) / n : 0.0);
        std::fclose(file);
    }
    return n;
}

int grid_node_3d(int i, int j, int l, int d1, int d2, int d3) {
    if (d1 <= d2) return l + (i - 1) * d3 + (j - 1) * d1 * d3;
    return l + (j - 1) * d3 + (i - 1) * d2 * d3;
}

int grid_cell_nodes_3d(int i, int j, int l, int d1, int d2, int d3, int* out2, int* out3, int* out4,
                       int* out5, int* out6, int* out7, int* out8) {
    int node = grid_node_3d(i, j, l, d1, d2, d3);
    *out2 = grid_node_3d(i, j, l + 1, d1, d2, d3);
    *out3 = grid_node_3d(i + 1, j, l + 1, d1, d2, d3);
    *out4 = grid_node_3d(i + 1, j, l, d1, d2, d3);
    *out5 = grid_node_3d(i, j + 1, l, d1, d2, d3);
    *out6 = grid_node_3d(i, j + 1, l + 1, d1, d2, d3);
    *out7 = grid_node_3d(i + 1, j + 1, l + 1, d1, d2, d3);
    *out8 = grid_node_3d(i + 1, j + 1, l, d1, d2, d3);
    return node;
}

int grid_adjacency_5pt(int* xadj, int* adjncy, int nx, int nz) {
    static const GridStep steps[] = {{0, 0, -1}, {-1, 0, 0}, {1, 0, 0}, {0, 0, 1}};
    int n = build_2d(nx, nz, steps, xadj, adjncy);
    return OneBased<int>{xadj}[n + 1] - 1;
}

void diagonal_ordering(int nx, int nz, int* invp_) {
    OneBased<int> invp(invp_);
    int number = 0;
    for (int parity = 1; parity >= 0; --parity)
        for (int t = 2 - parity; t <= nx + nz - 1; t += 2)
            for (int j = std::min(t, nz); j >= 1; --j) {
                int i = t + 1 - j;
                if (i > nx) break;
                invp[(j - 1) * nx + i] = ++number;
            }
}

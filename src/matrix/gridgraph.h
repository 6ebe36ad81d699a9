// Adjacency structures (xadj, adjncy; 1-based) of regular 2-D and 3-D node grids, and the
// grid numberings that go with them.
#pragma once

namespace mx {

/// A neighbour of a grid node as offsets along the fastest, middle and slowest grid index.
struct GridStep {
    int fast, middle, slow;
};

/// Adjacency of an nf x nm x ns node grid numbered fastest index first (node (f, m, s) is
/// f + (m-1)·nf + (s-1)·nf·nm, all 1-based). Each node lists the neighbours at the given steps,
/// in the order of the steps, where they lie inside the grid. xadj receives n + 1 entries,
/// adjncy at most n·nsteps. Returns n.
int build_grid_graph(int nf, int nm, int ns, const GridStep* steps, int nsteps, int* xadj,
                     int* adjncy);

} // namespace mx

/// Triangulated grid, one diagonal per cell: node v = (row-1)·width + col lists v-1, v-width,
/// v+width, v+1, v+1-width, v-1+width (those inside the grid). Returns the number of nodes.
int set_adj_2d(int* xadj, int* adjncy, int width, int rows);

/// Grid of bilinear rectangular elements (eight neighbours): node (c, r) = r + (c-1)·nrow lists
/// (c, r-1), (c-1, r), (c+1, r), (c, r+1), (c-1, r+1), (c+1, r-1), (c-1, r-1), (c+1, r+1).
/// adjncy needs up to 8n entries. Returns n = ncol·nrow.
int set_adj_2d_9pt(int* xadj, int* adjncy, int ncol, int nrow);

/// The same graph with the longer side as columns (ncol = max(a, b), nrow = min(a, b)), each
/// node's neighbours in increasing number. Returns a·b.
int set_adj_2d_9pt_oriented(int* xadj, int* adjncy, int a, int b);

/// Triangulated grid in the numbering of set_adj_2d_9pt: node (c, r) lists (c-1, r),
/// (c-1, r+1), (c, r-1), (c, r+1), (c+1, r-1), (c+1, r). Returns n.
int set_adj_2d_6pt(int* xadj, int* adjncy, int ncol, int nrow);

/// Seven-point stencil of an a x b x c grid (outer extent a, middle b, inner c; note the
/// argument order b, a, c): node (i, j, l) = l + (j-1)·c + (i-1)·b·c lists its six face
/// neighbours in increasing number. Returns a·b·c.
int set_adj_3d_7pt(int* xadj, int* adjncy, int b, int a, int c);

/// Node graph of an a x b x c grid meshed with 8-node bricks (every pair of corners of a brick
/// is joined), numbered as set_adj_3d_7pt with extents a, b, c; neighbours in increasing order.
/// adjncy needs up to 26n entries. Also writes the list to "femadj.txt" in the program folder
/// (a debugging aid). Returns n.
int set_adj_3d_brick(int* xadj, int* adjncy, int a, int b, int c);

/// Number of node (i, j, l) of a 3-D grid with horizontal extents d1 (index i), d2 (index j) and
/// depth extent d3 (index l, fastest); the shorter horizontal axis runs faster.
int grid_node_3d(int i, int j, int l, int d1, int d2, int d3);

/// Number of node (i, j, l) in the numbering of grid_node_3d; the seven other corners of its
/// cell go to the out-arguments in the order (i, j, l+1), (i+1, j, l+1), (i+1, j, l),
/// (i, j+1, l), (i, j+1, l+1), (i+1, j+1, l+1), (i+1, j+1, l).
int grid_cell_nodes_3d(int i, int j, int l, int d1, int d2, int d3, int* out2, int* out3, int* out4,
                       int* out5, int* out6, int* out7, int* out8);

/// Five-point grid of the finite-difference solvers: node v = (j-1)·nx + i lists v-nx, v-1,
/// v+1, v+nx. adjncy needs up to 4n entries. Returns the number of adjacency entries used.
int grid_adjacency_5pt(int* xadj, int* adjncy, int nx, int nz);

/// Alternate-diagonal numbering of an nx x nz grid (node v = (j-1)·nx + i): the anti-diagonals
/// i + j = t + 1, odd t first then even t, each in increasing t, and each from its lowest node
/// (largest j) upward. invp[v] receives the new number of node v.
void diagonal_ordering(int nx, int nz, int* invp);

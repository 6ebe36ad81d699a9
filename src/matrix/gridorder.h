// Nested-dissection ordering of regular node grids (through the SPOOLES grid orderings, with
// our own nested dissection where SPOOLES cannot take the grid) and the set-up that writes a
// grid's ordering and symbolic factorisation to the sparse-structure file.
#pragma once

#include <string>

/// Which ordering nd_order_2d / nd_order_3d used.
enum GridOrderResult {
    grid_order_spooles = 0,  ///< the SPOOLES local nested dissection
    grid_order_fallback = 1, ///< the grid is too small for it: the library's nested dissection
    grid_order_failed = -1   ///< bad extents or no work memory; old_to_new is unspecified
};

/// Nested-dissection order of an n1 x n2 grid with p1 x p2 domains: old_to_new[i + j·n1] (all
/// 0-based, 0 <= i < n1, 0 <= j < n2) receives the 0-based new number of node (i, j). The domain
/// counts are clamped to what the grid holds (1 <= p1, 2 <= p2, 2·p - 1 <= extent); a grid with
/// n2 < 3 is ordered by the library's own nested dissection on its 9-point graph. Both cases
/// are noted in the trace log. Never ends the process. Returns a GridOrderResult.
int nd_order_2d(int* old_to_new, int n1, int n2, int p1, int p2);

/// The same for an n1 x n2 x n3 grid (first index fastest) with p1 x p2 x p3 domains
/// (1 <= p1, p2; 2 <= p3); the fallback orders the 7-point graph.
int nd_order_3d(int* old_to_new, int n1, int n2, int n3, int p1, int p2, int p3);

/// Ordering set-up of the sparse finite-element solver for an ncol x nrow node grid (node
/// (c, r) = r + (c-1)·nrow): the 9-point graph, the nested-dissection order (domains p1 = 5 when
/// nrow > 19, else 4; p2 = max(2, (ncol - nrow)·p1 / nrow)), the symbolic factorisation with a
/// subscript capacity of 10·n, and the sparse-structure file at path (see matrix/chunkfile.h).
/// Returns the number of off-diagonal entries of the factor (maxlnz) and sets *out to the
/// number of subscripts m written (the length of nzsub the solver must allocate). On any
/// failure (bad grid, no memory, subscript overflow, file not written) returns 0 with *out = 0.
/// Work vectors come from page memory and are released on every way out.
int fem_order_setup(int ncol, int nrow, const std::string& path, int* out);

/// The same steps for a chosen graph: graph_type 1 the 9-point graph with the longer side as
/// columns (set_adj_2d_9pt_oriented, subscript capacity 9n), any other type the triangulated
/// graph of set_adj_2d (capacity 7n). Returns maxlnz and sets *out = m; 0 and *out = 0 on
/// failure.
int store_sparse_structure_file(int graph_type, int ncol, int nrow, const std::string& path,
                                int* out);

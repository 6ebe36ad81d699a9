// Grid orderings through SPOOLES (arguments checked first, so that the library never ends the
// process) and the sparse-structure set-up of the finite-element grid.
#include "matrix/gridorder.h"

#include "matrix/chunkfile.h"
#include "matrix/gridgraph.h"
#include "matrix/one_based.h"
#include "matrix/ordering.h"
#include "model/services.h"
#include "platform/sys/page_array.h"

#include <algorithm>
#include <climits>
#include <utility>

// The SPOOLES grid orderings end the process (exit) on extents or domain counts they do not
// accept; every call below is checked first.
extern "C" {
#include <spooles/misc.h>
}

using mx::OneBased;
using sys::PageArray;

namespace {

// The domain count SPOOLES accepts along an extent: at least `lowest` and 2·p - 1 <= extent.
// Returns 0 when even `lowest` does not fit.
int fit_domains(int p, int extent, int lowest) {
    int highest = (extent + 1) / 2;
    if (highest < lowest) return 0;
    return std::min(std::max(p, lowest), highest);
}

// True when old_to_new (0-based) numbers the n nodes 0..n-1 once each.
bool is_zero_based_permutation(const int* old_to_new, int n) {
    PageArray<char> seen(n);
    if (!seen.ok()) return false;
    for (int i = 0; i < n; ++i) {
        int v = old_to_new[i];
        if (v < 0 || v >= n || seen[v]) return false;
        seen[v] = 1;
    }
    return true;
}

// Nested dissection of the library on a grid graph, written as 0-based old-to-new numbers.
// build(xadj, adjncy) fills the graph of the grid in the caller's numbering.
template <class Build>
int own_nested_dissection(int* old_to_new, int n, int max_neighbours, Build build) {
    PageArray<int> xadj(n + 1), adjncy(std::size_t(max_neighbours) * n + 1), perm(n + 1),
        invp(n + 1);
    if (!xadj.ok() || !adjncy.ok() || !perm.ok() || !invp.ok()) return grid_order_failed;
    build(xadj.get(), adjncy.get());
    if (mx::nested_dissection(n, xadj.get(), adjncy.get(), perm.get(), invp.get()) != 0)
        return grid_order_failed;
    for (int k = 0; k < n; ++k)
        old_to_new[k] = invp[k] - 1;
    return grid_order_fallback;
}

} // namespace

int nd_order_2d(int* old_to_new, int n1, int n2, int p1, int p2) {
    if (!old_to_new || n1 < 1 || n2 < 1 || n1 > INT_MAX / n2) {
        model::trace("nd_order_2d bad grid %d x %d\n", n1, n2);
        return grid_order_failed;
    }
    const int n = n1 * n2;
    const int q1 = fit_domains(p1, n1, 1), q2 = fit_domains(p2, n2, 2);
    if (q1 != 0 && q2 != 0) {
        if (q1 != p1 || q2 != p2)
            model::trace("nd_order_2d grid %d x %d domains p1 %d p2 %d changed to %d %d\n", n1, n2,
                         p1, p2, q1, q2);
        localND2D(n1, n2, q1, q2, nullptr, nullptr, old_to_new);
        if (is_zero_based_permutation(old_to_new, n)) return grid_order_spooles;
        model::trace("nd_order_2d localND2D gave no permutation\n");
    }
    model::trace("nd_order_2d grid %d x %d ordered by the library's nested dissection\n", n1, n2);
    return own_nested_dissection(
        old_to_new, n, 8, [&](int* xadj, int* adjncy) { set_adj_2d_9pt(xadj, adjncy, n2, n1); });
}

int nd_order_3d(int* old_to_new, int n1, int n2, int n3, int p1, int p2, int p3) {
    if (!old_to_new || n1 < 1 || n2 < 1 || n3 < 1 || n1 > INT_MAX / n2 || n1 * n2 > INT_MAX / n3) {
        model::trace("nd_order_3d bad grid %d x %d x %d\n", n1, n2, n3);
        return grid_order_failed;
    }
    const int n = n1 * n2 * n3;
    const int q1 = fit_domains(p1, n1, 1), q2 = fit_domains(p2, n2, 1), q3 = fit_domains(p3, n3, 2);
    if (q1 != 0 && q2 != 0 && q3 != 0) {
        if (q1 != p1 || q2 != p2 || q3 != p3)
            model::trace("nd_order_3d domains p1 %d p2 %d p3 %d changed to %d %d %d\n", p1, p2, p3,
                         q1, q2, q3);
        localND3D(n1, n2, n3, q1, q2, q3, nullptr, nullptr, nullptr, old_to_new);
        if (is_zero_based_permutation(old_to_new, n)) return grid_order_spooles;
        model::trace("nd_order_3d localND3D gave no permutation\n");
    }
    model::trace("nd_order_3d grid %d x %d x %d ordered by the library's nested dissection\n", n1,
                 n2, n3);
    return own_nested_dissection(old_to_new, n, 6, [&](int* xadj, int* adjncy) {
        set_adj_3d_7pt(xadj, adjncy, n2, n3, n1);
    });
}

namespace {

enum class GridGraph { nine_point, nine_point_oriented, triangulated };

// The common steps of the two set-ups: order the grid, build its graph, run the symbolic
// factorisation with a subscript capacity of capacity_per_node·n and write the structure file.
int order_grid_and_write(const char* name, GridGraph graph, int capacity_per_node, int ncol,
                         int nrow, const std::string& path, int* out) {
    *out = 0;
    if (ncol < 1 || nrow < 1 || ncol > INT_MAX / capacity_per_node / nrow) {
        model::trace("%s bad grid %d x %d\n", name, ncol, nrow);
        return 0;
    }
    const int n = ncol * nrow;
    PageArray<int> p(n + 1), q(n + 1);
    if (!p.ok() || !q.ok()) return 0;
    // The ordering must number the grid as the graph below does, fastest extent first: the
    // rows of the 9-point graph, the shorter side of the oriented one, the row length of the
    // triangulated one. The domain counts are set for a grid that is longer than deep.
    int fast = nrow, slow = ncol;
    if (graph == GridGraph::nine_point_oriented) {
        fast = std::min(ncol, nrow);
        slow = std::max(ncol, nrow);
    }
    if (graph == GridGraph::triangulated) std::swap(fast, slow);
    const int p1 = fast > 19 ? 5 : 4;
    const int p2 = std::max(2, (slow - fast) * p1 / fast);
    if (nd_order_2d(p.get(), fast, slow, p1, p2) == grid_order_failed) return 0;
    for (int i = 0; i < n; ++i)
        p[i] += 1;
    invrse(n, p.get(), q.get());

    PageArray<int> xadj(n + 1), adjncy(8 * std::size_t(n) + 1);
    PageArray<int> xlnz(n + 1), xnzsub(n + 1), nzsub(std::size_t(capacity_per_node) * n);
    if (!xadj.ok() || !adjncy.ok() || !xlnz.ok() || !xnzsub.ok() || !nzsub.ok()) {
        model::trace("%s no memory for the structure of %d nodes\n", name, n);
        return 0;
    }
    if (graph == GridGraph::nine_point) set_adj_2d_9pt(xadj.get(), adjncy.get(), ncol, nrow);
    if (graph == GridGraph::nine_point_oriented)
        set_adj_2d_9pt_oriented(xadj.get(), adjncy.get(), ncol, nrow);
    if (graph == GridGraph::triangulated) set_adj_2d(xadj.get(), adjncy.get(), ncol, nrow);

    int maxlnz = 0;
    int nsub = capacity_per_node * n;
    if (symbolic_factorisation_driver(n, maxlnz, xadj.get(), adjncy.get(), q.get(), p.get(),
                                      xlnz.get(), xnzsub.get(), nzsub.get(), nsub) != 0) {
        model::trace("%s symbolic factorisation failed, subscript capacity %d\n", name,
                     capacity_per_node * n);
        return 0;
    }
    int written =
        write_arrays_file(n, q.get(), p.get(), xlnz.get(), xnzsub.get(), nzsub.get(), nsub, path);
    if (written != structure_file_ok) {
        model::trace("%s cannot write %s (code %d)\n", name, path.c_str(), written);
        return 0;
    }
    model::trace("%s n %d maxlnz %d nsub %d\n", name, n, maxlnz, nsub);
    *out = nsub;
    return maxlnz;
}

} // namespace

int fem_order_setup(int ncol, int nrow, const std::string& path, int* out) {
    return order_grid_and_write("fem_order_setup", GridGraph::nine_point, 10, ncol, nrow, path,
                                out);
}

int store_sparse_structure_file(int graph_type, int ncol, int nrow, const std::string& path,
                                int* out) {
    if (graph_type == 1)
        return order_grid_and_write("store_sparse_structure_file", GridGraph::nine_point_oriented,
                                    9, ncol, nrow, path, out);
    return order_grid_and_write("store_sparse_structure_file", GridGraph::triangulated, 7, ncol,
                                nrow, path, out);
}

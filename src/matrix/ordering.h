// Fill-reducing orderings of a sparse symmetric graph (level structures, pseudo-peripheral
// nodes, reverse Cuthill-McKee, nested dissection) and the symbolic Cholesky factorisation
// that builds the compressed-subscript storage.
//
// Conventions of every routine here:
// - A graph of n nodes is `xadj` (n + 1 ints) and `adjncy`; the neighbours of node v are
//   adjncy[xadj[v] .. xadj[v+1]-1]. Every index, stored or passed, is 1-based; the arrays are
//   passed by their first element.
// - `perm` maps a new position to the old node number, `invp` an old node number to its new
//   position (both n ints).
// - A node takes part in a search only while its `mask` entry is non-zero.
// - Routines that take a non-const `xadj` mark visited nodes by negating their xadj entry for
//   the time of the call; the signs are restored before they return.
#pragma once

/// Breadth-first search from `root` over the nodes with non-zero mask. Lists the component's
/// nodes in ls (in the order reached) and sets deg[v] = number of v's neighbours with non-zero
/// mask for each of them. Returns the component size.
int component_degrees(int root, int* xadj, const int* adjncy, const int* mask, int* deg, int* ls);

/// Level structure rooted at `root` over the nodes with non-zero mask: level l holds
/// ls[xls[l] .. xls[l+1]-1]. xls needs (levels + 1) entries, ls the component size. The mask of
/// every node reached is 1 on return. Returns the number of levels.
int rooted_level_structure(int root, const int* xadj, const int* adjncy, int* mask, int* xls,
                           int* ls);

/// Moves `root` to a pseudo-peripheral node of its component (nodes with non-zero mask) and
/// leaves that node's level structure in xls and ls. Returns its number of levels.
int find_pseudo_peripheral_node(int& root, const int* xadj, const int* adjncy, int* mask, int* xls,
                                int* ls);

/// Reverse Cuthill-McKee numbering of root's component: perm[1..size] receives the component's
/// nodes in their new order and their mask becomes 0. deg is work (n ints). Returns the size.
int rcm_number_component(int root, int* xadj, const int* adjncy, int* mask, int* perm, int* deg);

/// Finds a separator of root's component from a pseudo-peripheral level structure: the nodes of
/// the middle level that touch the next level, or the whole component when it has fewer than
/// three levels. Lists it in separator, sets its mask to 0 and returns its size. xls and ls are
/// work (n + 1 ints each).
int find_separator(int root, int* xadj, const int* adjncy, int* mask, int* separator, int* xls,
                   int* ls);

/// invp[perm[i]] = i for i = 1..n.
void invrse(int n, const int* perm, int* invp);

/// Symbolic factorisation of the matrix with graph (xadj, adjncy) in the order (perm, invp):
/// fills the compressed-subscript structure of its Cholesky factor L,
///   xlnz (n + 1): column k holds entries xlnz[k] .. xlnz[k+1]-1,
///   xnzsub (n + 1) and nzsub: the row of entry t of column k is nzsub[xnzsub[k] + t - xlnz[k]],
/// with columns sharing subscript runs where their structures allow. On entry maxsub is the
/// capacity of nzsub, on return the number of subscripts used. rchlnk, mrglnk and marker are
/// work (n ints each). flag becomes 0 on success, 1 when nzsub is too small (the structure is
/// then incomplete). Returns maxlnz, the number of off-diagonal entries of L.
int symbolic_factorisation(int n, const int* xadj, const int* adjncy, const int* perm,
                           const int* invp, int* xlnz, int* xnzsub, int* nzsub, int& maxsub,
                           int* rchlnk, int* mrglnk, int* marker, int& flag);

/// `symbolic_factorisation` with its work vectors taken from page memory. Returns 0 on success,
/// 1 when the work memory is refused or nzsub is too small; maxlnz is then 0.
int symbolic_factorisation_driver(int n, int& maxlnz, const int* xadj, const int* adjncy,
                                  const int* perm, const int* invp, int* xlnz, int* xnzsub,
                                  int* nzsub, int& maxsub);

/// Nested-dissection ordering followed by the symbolic factorisation (the set-up of a sparse
/// solve). Returns 0 on success, 1 when work memory is refused or nzsub is too small; the
/// caller then reports "Insufficient memory for subscript array.".
int nd_order_and_symbolic_factorisation(int& maxlnz, int n, int* xadj, const int* adjncy, int* xlnz,
                                        int* xnzsub, int* nzsub, int* perm, int* invp, int& maxsub);

namespace mx {

/// Reverse Cuthill-McKee ordering of the whole graph, component by component from the lowest
/// unnumbered node, each from a pseudo-peripheral root. Work vectors come from page memory.
/// Returns 0, or 1 when the work memory is refused (perm and invp are then unspecified).
int rcm_order(int n, int* xadj, const int* adjncy, int* perm, int* invp);

/// Nested-dissection ordering of the whole graph: separators are found component by component
/// (lowest unnumbered node first) and the last separator found is numbered first. Work vectors
/// come from page memory. Returns 0, or 1 when the work memory is refused.
int nested_dissection(int n, int* xadj, const int* adjncy, int* perm, int* invp);

/// Validator of an ordering and its compressed-subscript structure (what a reader must check
/// before it trusts a stored structure): perm and invp are inverse permutations of 1..n, xlnz
/// starts at 1 and never decreases, every column's subscript run lies inside nzsub[1..nsub]
/// and lists rows after the column in increasing order. Returns true when all of it holds.
bool check_compressed_structure(int n, const int* perm, const int* invp, const int* xlnz,
                                const int* xnzsub, const int* nzsub, int nsub);

/// True when perm is a permutation of 1..n and invp its inverse.
bool check_permutation(int n, const int* perm, const int* invp);

} // namespace mx

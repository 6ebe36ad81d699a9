// Block orderings of a sparse symmetric graph for tree-partitioned block storage
// (matrix/blockstore.h): the one-way dissection partition, the refined quotient tree partition
// and the block shuffle that renumbers the nodes inside each block.
//
// Conventions (as matrix/ordering.h): 1-based graphs (xadj, adjncy) passed by their first
// element, perm new-to-old. A partition of nblks blocks is xblk (nblks + 1 ints): block b holds
// the positions xblk[b] .. xblk[b+1]-1 of perm, xblk[1] = 1 and xblk[nblks+1] = n + 1. Both
// partitions are numbered so that every block's neighbours in later blocks lie in one block,
// its father in the quotient tree (find_tree_adjacency_1wd); children come before fathers.
// Routines that take a non-const xadj negate entries while they run and restore them.
#pragma once

#include <cstdio>

/// Reverses v(1..n) in place (v(i) and v(n+1-i) exchanged for i = 1..n/2).
void reverse_int_vector(int n, int* v);

/// One-way dissection partition of every connected component: a component of fewer than 50
/// nodes, or one whose pseudo-peripheral level structure is too short for the dissector spacing
/// delta = 1 + sqrt((3 width + 13) / 2) (delta > nlvl / 2, width = nodes / levels), is one
/// block; otherwise the nodes of every level i·delta (rounded) that touch the next level form
/// the dissector block of the component, and each component of what remains is a block of its
/// own, its child. Dissectors are numbered after the blocks they separate. Sets mask to 1 and
/// leaves it 0 for every node; xls (n + 1) and ls (n) are work. Fills perm (n) and xblk
/// (nblks + 1, at most n + 1) and returns nblks.
int one_way_dissection_partition(int n, int* xadj, const int* adjncy, int* mask, int* xblk,
                                 int* perm, int* xls, int* ls);

/// Refined quotient tree partition: for each component a level structure from a
/// pseudo-peripheral node, then, from the deepest level upward, blocks that are the part of a
/// level joined through the levels below it, so that the blocks form a tree numbered children
/// first. nodlvl (n) receives the level numbers during the run and is 0 for every node at the
/// end; xls (n + 1), ls (n) and stack (n) are work. Writes "set nodlvl\n" when it starts and
/// "start stack \n" before the tree of each component to `trace` (each line flushed; a null
/// file writes nothing). Fills perm and xblk and returns nblks.
int genrqt(std::FILE* trace, int n, int* xadj, const int* adjncy, int* perm, int* xblk, int* xls,
           int* ls, int* nodlvl, int* stack);

/// Block shuffle: inside each block, the nodes that have neighbours but none in an earlier
/// block are numbered first, each of their components by reverse Cuthill-McKee from a
/// pseudo-peripheral node; the nodes that touch earlier blocks (and isolated nodes) follow.
/// perm changes only inside each block. bnum (n) receives the block of every node; mask (n),
/// subg (n) and xls (n + 1) are work, mask 0 for every node at the end.
void number_blocks_rcm(int* xadj, const int* adjncy, int* perm, int nblks, const int* xblk,
                       int* bnum, int* mask, int* subg, int* xls);
/// The same routine under the name the quotient-tree run uses.
void bshufls(int* xadj, const int* adjncy, int* perm, int nblks, const int* xblk, int* bnum,
             int* mask, int* subg, int* xls);

namespace mx {

/// Validator of a partition: perm is a permutation of 1..n, xblk rises strictly from 1 to
/// n + 1 over nblks blocks, and every block's neighbours in later blocks lie in a single block.
bool check_tree_partition(int n, const int* xadj, const int* adjncy, const int* perm, int nblks,
                          const int* xblk);

} // namespace mx

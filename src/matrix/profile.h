// Profile and wavefront reducing ordering of a sparse symmetric graph (Sloan's algorithm) and
// its small helpers. Graphs are 1-based (xadj, adjncy) as in matrix/ordering.h.
#pragma once

/// Renumbers the graph of n nodes component by component: from the ends of a pseudo-diameter,
/// the node of highest priority (distance to the end node less twice its current degree) is
/// numbered next among the nodes next to those already numbered. newnum[i] receives the new
/// number of node i (n ints); work needs 4n + 1 ints. old_profile receives the profile of the
/// given numbering and ncomp the number of components. When the new numbering's profile is the
/// larger, newnum becomes the identity. Returns the profile of the numbering kept. A profile
/// counts, for every row, the columns from its first non-zero to the diagonal inclusive.
int profile_order(int n, const int* xadj, const int* adjncy, int* newnum, int* work,
                  int& old_profile, int& ncomp);

/// Breadth-first level structure from root over the nodes with non-zero mask, as
/// rooted_level_structure (matrix/ordering.h): level l holds ls[xls[l] .. xls[l+1]-1]; the
/// visited nodes are masked during the search and unmasked at its end. Returns the number of
/// levels.
int level_structure_bfs(int root, const int* xadj, const int* adjncy, int* mask, int* ls, int* xls);

/// Straight insertion sort of list(1..n) by key[list(i)] (key 1-based by node): ascending when
/// `ascending` is 1, descending otherwise; equal keys keep their order.
void sort_nodes_by_key(int n, int* list, const int* key, int ascending);

inline int int_max(int a, int b) {
    return a > b ? a : b;
}
inline int int_diff(int a, int b) {
    return a - b;
}

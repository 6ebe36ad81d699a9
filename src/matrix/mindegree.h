// Multiple minimum degree ordering of a sparse symmetric graph (Liu's multiple elimination
// minimum degree algorithm on the quotient graph, with supernodes of indistinguishable nodes).
// Graphs are 1-based (xadj, adjncy) as in matrix/ordering.h.
#pragma once

/// Orders the graph of n nodes: perm (new-to-old) and invp (old-to-new), n ints each, and
/// nofsub, an upper bound on the number of compressed subscripts that symbolic_factorisation
/// needs for this ordering. adjncy is work space and is destroyed (pass a copy to keep the
/// graph); it needs xadj[n+1] - 1 entries as usual. Nodes whose degree lies within delta of
/// the minimum are eliminated in one pass (delta >= 0; 1 is the usual choice). maxint is the
/// largest tag value before the markers are reset (any value well above n; 0x7FFFFFFE is
/// customary). dhead, qsize, llist and marker are work (n ints each). With n <= 0 nothing is
/// touched; otherwise nofsub starts at 0.
void minimum_degree_order(int n, const int* xadj, int* adjncy, int* invp, int* perm, int delta,
                          int* dhead, int* qsize, int* llist, int* marker, int maxint, int& nofsub);

/// The four steps of minimum_degree_order, on the vectors it passes (dforw is invp, dbakw perm
/// while it runs): the degree lists from the initial degrees, the elimination of one node with
/// its quotient-graph transformation, the degree update of the nodes an elimination pass
/// reached, and the final numbering from the supernodes.
void mmd_init_degrees(int n, const int* xadj, int* dhead, int* dforw, int* dbakw, int* qsize,
                      int* llist, int* marker);
void mmd_eliminate(int mdnode, const int* xadj, int* adjncy, int* dhead, int* dforw, int* dbakw,
                   int* qsize, int* llist, int* marker, int maxint, int tag);
void mmd_update_degrees(int ehead, int n, const int* xadj, const int* adjncy, int delta, int& mdeg,
                        int* dhead, int* dforw, int* dbakw, int* qsize, int* llist, int* marker,
                        int maxint, int& tag);
void mmd_final_numbering(int n, int* perm, int* invp, const int* qsize);

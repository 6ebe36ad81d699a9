// Reading the potentials of the receiving electrodes of one source out of a solution into the
// wavenumber-domain pair table of the finite-difference drivers.
#pragma once

/// For source electrode e (1-based) and wavenumber l: the receivers 1..e-1 (order 0) or
/// e+1..nelec (order 1), in increasing order, each write the solution value at their node,
/// x[invp[node] - 1] (x[node - 1] when invp is null), to pair_table[index2d(*p, l, npairs)],
/// *p growing by one after each entry. electrode_nodes[r - 1] is the node of electrode r.
void gather_pair_potentials(const double* x, const int* invp, const int* electrode_nodes, int e,
                            int nelec, int order, int l, int npairs, int* p, double* pair_table);

/// The same for a float solution and a float pair table.
void gather_pair_potentials_flt(const float* x, const int* invp, const int* electrode_nodes, int e,
                                int nelec, int order, int l, int npairs, int* p, float* pair_table);

/// The same, but with distributed_source >= 1 a receiver at node n reads
/// current_node_weight x[n] + side_node_weight (x[n - 1] + x[n + 1]) (nodes numbered row after
/// row, its side nodes n - 1 and n + 1).
void gather_pair_potentials_weighted(const double* x, const int* invp, const int* electrode_nodes,
                                     int e, int nelec, int order, int distributed_source,
                                     double current_node_weight, double side_node_weight, int l,
                                     int npairs, int* p, double* pair_table);

// Electrodes off the mesh nodes: remote electrodes placed on one or two surface nodes with
// linear weights, and electrodes inside a cell spread over its corners with Gaussian weights.
#pragma once

struct ElectrodeNode;

/// Places the remote electrodes at x1 and x2 (relative to the first survey electrode, which
/// stands in the 1-based node column a) on the surface nodes of an nx-column, ny-row mesh
/// whose column x are positions[0..nx-1], with find_electrode_nodes (survey columns a - 1 +
/// q s, q < m, avoided; last column index nx - 1). Writes list = {na, na node numbers, nb,
/// nb node numbers} (node of 0-based column c: c ny + 1), weights = {na weights, nb weights}
/// and *na, *nb (0: the electrode is too near the mesh edge and is left out). list needs 6
/// ints, weights 4 floats.
void get_electrode_node_numbers(int s, int m, int a, int ny, int nx, const float* positions,
                                float x1, float x2, int* list, float* weights, int* na, int* nb);

/// Gaussian weights of electrode table[index] (its x and z) over the four corners of the cell
/// that holds it, given in cell order (1 and 3 on one side, 2 and 4 on the other): with
/// hx = ((x1 - x3) + (x2 - x4)) / 2, hz likewise and q = 1 / (hx^2 + hz^2), corner n gets
/// exp(-q |e - corner n|^2), normalised to sum 1; written to weight[0..3] of the record.
/// The count and node fields are left to the caller.
void gaussian_interpolation_nodes(ElectrodeNode* table, int index, float x1, float z1, float x2,
                                  float z2, float x3, float z3, float x4, float z4);

/// Number of wavenumbers for electrodes at u and v relative to a line of n nodes: 12 when
/// flag < 1 or the larger distance beyond the line is at most 2.5, else the count k (from 8,
/// at most 26) at which 1 + sum of 0.25 1.5^j reaches the distance, at least 12.
int extended_count_for_distance(int flag, float u, float v, int n);

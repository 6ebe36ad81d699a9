// Nested dissection of a box of a regular 3-D node grid by recursive plane cuts.
//
// Node (x, y, z) of an n1 x n2 x n3 grid, 0 <= x < n1, 0 <= y < n2, 0 <= z < n3, has the 0-based
// number x + y·n1 + z·n1·n2. A box is given by its bounds west <= east (x), south <= north (y)
// and bottom <= top (z). Each box is cut across its longest axis by a plane; the two sub-boxes
// are numbered first (lower, then upper), the plane last.
#pragma once

/// Orders the whole n1 x n2 x n3 grid: new_to_old and old_to_new (n = n1·n2·n3 ints each)
/// receive the 1-based permutation and its inverse. Returns 0, or -1 on extents that are not
/// positive or whose product overflows (the vectors untouched).
int box_nd_order(int n1, int n2, int n3, int* new_to_old, int* old_to_new);

/// Numbers the nodes of the box into new_to_old[0 .. box size - 1] (0-based node numbers).
/// Returns 0, or -1 when an extent is not positive, new_to_old is null or a bound lies outside
/// the grid (nothing written).
int box_nd_perm(int n1, int n2, int n3, int* new_to_old, int west, int east, int south, int north,
                int bottom, int top);

/// Axis to cut the box across: 1 (x), 2 (y) or 3 (z), the longest extent; of two equal longest
/// extents x before y before z, except that three equal extents give 3.
int box_split_axis(int west, int east, int south, int north, int bottom, int top);

/// Cut the box by the plane across x, y or z at m: from (low + high) / 2 rounded down, one
/// further up for an odd low + high while m lies below half_rounded_up of the grid's extent on
/// that axis. Number the lower sub-box, the upper sub-box, then the plane (z outermost for the
/// x and y cuts, y outermost for the z cut; x innermost where it runs). Return as box_nd_perm.
int box_split_x(int n1, int n2, int n3, int* new_to_old, int west, int east, int south, int north,
                int bottom, int top);
int box_split_y(int n1, int n2, int n3, int* new_to_old, int west, int east, int south, int north,
                int bottom, int top);
int box_split_z(int n1, int n2, int n3, int* new_to_old, int west, int east, int south, int north,
                int bottom, int top);

/// ⌈|k| / 2⌉ with the sign of k: 3 -> 2, 4 -> 2, -3 -> -2.
int half_rounded_up(int k);

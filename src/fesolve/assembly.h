// Cell element terms of the block-model mesh and their assembly into a symmetric band matrix,
// with the mixed boundary terms, and the element-term arrays of the sensitivity work files.
//
// Mesh: nx node columns by ny node rows, node (i, j) numbered (i - 1) ny + j; x and z hold one
// float per node in that order. Cell (i, j) has the corners (i, j), (i+1, j), (i, j+1),
// (i+1, j+1) and two values in the conductivity grid, the first at 2 index2d(i, j, nx - 1).
// Band matrix: nx ny rows of L = ny + 2 doubles (half-bandwidth ny + 1), diagonal first,
// addressed by sym_band_index. Element-term arrays: ten floats a cell in quad_term_index order,
// cells down each column.
#pragma once

/// For every cell, the quadrilateral matrix of quad_element_matrix_dbl with s = the cell's first
/// value and the squared wavenumber w. add = 1 adds its terms into `band`. store = 1 writes
/// the unit-conductivity terms to `terms` (cell (i, j) at 10 ((j - 1) + (i - 1)(ny - 1))):
/// divided back by s when add = 1, computed with s = 1 otherwise.
void assemble_cell_matrices(int store, int nx, int ny, int L, float w, const float* cells,
                            const float* x, const float* z, double* band, float* terms, int add);

/// Adds the mixed boundary terms of wavenumber k on the left, bottom and right edges (see
/// fe::add_mixed_boundary) with the reference point at the horizontal centre of the mesh,
/// (x of node 1 + x of node (nx - 1) ny + 1) / 2, and depth z0. two_dimensional = 0 selects
/// the point-source ratio k K1(kr)/K0(kr) (single precision), any other value 1/(r ln r).
void add_boundary_terms(int two_dimensional, int nx, int ny, int L, float z0, double k,
                        const float* x, const float* z, const float* cells, double* band);

/// Terms carrying the conductivity of the cells of columns c_start = min(max(c0 - 1, 1), nx - 1)
/// to c1 + 1 (the caller keeps c1 + 1 <= nx - 1), all rows, written from the start of `terms`:
/// cell (i, j) at 10 ((j - 1) + (i - c_start)(ny - 1)).
void store_cell_element_terms(int c0, int c1, int nx, int ny, float w, const float* cells,
                              const float* x, const float* z, float* terms);

/// Writes terms[0..9] / divisor as floats at array[counter..] and advances counter by ten.
void store_element_terms(int& counter, double divisor, float* array, const double (&terms)[10]);
/// Reads ten floats from array[counter..] into terms and advances counter by ten.
void load_element_terms(int& counter, const float* array, double (&terms)[10]);

namespace fe {

/// The ten terms of cell (i, j) with scale s and squared wavenumber w.
void cell_terms(int i, int j, int ny, float s, double w, const float* x, const float* z,
                double (&k)[10]);
/// Node numbers of the corners 1..4 of cell (i, j).
void cell_nodes(int i, int j, int ny, int (&n)[4]);

} // namespace fe

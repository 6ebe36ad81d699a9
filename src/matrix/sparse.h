// Sparse symmetric positive-definite matrices in compressed-subscript storage: entry assembly,
// the numeric Cholesky factorisation and the solves with one or four right-hand sides.
//
// Storage of order n, in the new (permuted) numbering, every vector 1-based and passed by its
// first element; the structure comes from the symbolic factorisation (matrix/ordering.h):
// - diag (n): the matrix diagonal, after the factorisation the diagonal of L (A = L·Lᵀ);
// - xlnz (n + 1): column k of L holds lnz[xlnz[k] .. xlnz[k+1]-1];
// - lnz (xlnz[n+1] - 1): the off-diagonal matrix entries, overwritten by those of L;
// - xnzsub (n + 1), nzsub: the row of lnz[t] in column k is nzsub[xnzsub[k] + t - xlnz[k]].
// Right-hand sides are in the new numbering too: callers map node v to row invp[v] and bring
// solutions back with perm.
#pragma once

#include <cstddef>
#include <vector>

/// Adds value to entry (i, j) of the matrix, i and j being old node numbers mapped through invp.
/// Returns 0 when added (to the diagonal when the two rows are equal), 1 when the entry is not
/// in the structure (nothing changes).
int add_sparse_entry_dbl(double value, double* lnz, int i, int j, double* diag, const int* xlnz,
                         const int* nzsub, const int* xnzsub, const int* invp);

/// The same on a single-precision factor (the argument order of its callers): value added to
/// entry (perm[i], perm[j]), the diagonal when they are equal; 0 when added, 1 when the entry
/// is not in the structure.
int add_sparse_entry_flt(float* lnz, int i, int j, float value, float* diag, const int* xlnz,
                         const int* nzsub, const int* xnzsub, const int* perm);

/// Stores (does not add) a single-precision value at entry (i, j), mapped through invp.
/// Returns 0 for a diagonal entry, 1 for an off-diagonal entry stored, 2 when the off-diagonal
/// entry is not in the structure (nothing stored).
int set_compressed_entry(float value, int i, int j, float* diag, float* lnz, const int* xlnz,
                         const int* nzsub, const int* xnzsub, const int* invp);

/// Numeric Cholesky factorisation in place (left-looking, column by column, with link lists).
/// link and first (n ints) and temp (n doubles) are work; they are cleared on entry, so a call
/// after a failed one starts clean. Returns 0, or the 1-based column whose pivot is not
/// positive (or not a number): columns before it are final, the rest partly updated; the caller
/// reassembles the matrix before it factors again.
int fact_sparse_dbl(int n, const int* xlnz, double* lnz, const int* xnzsub, const int* nzsub,
                    double* diag, int* link, int* first, double* temp);

/// Solves L·Lᵀ·x = rhs in place: the forward pass runs over rows first_row..n (the caller
/// guarantees rhs(1..first_row-1) = 0), the back pass from n down to stop_row (rows above it
/// keep forward-pass values). first_row = stop_row = 1 is the complete solve.
void solve_sparse_dbl(int first_row, int stop_row, int n, const int* xlnz, const double* lnz,
                      const int* xnzsub, const int* nzsub, const double* diag, double* rhs);

/// Four right-hand sides a, b, c, d in one pass over the factor, each with its own first and
/// stop row (the passes cover the smallest of them). Each gets exactly the result of
/// solve_sparse_dbl on its own over the rows it asked for.
void solve4_sparse_dbl(int first_a, int stop_a, int first_b, int stop_b, int first_c, int stop_c,
                       int first_d, int stop_d, int n, const int* xlnz, const double* lnz,
                       const int* xnzsub, const int* nzsub, const double* diag, double* rhs_a,
                       double* rhs_b, double* rhs_c, double* rhs_d);

/// Parent of every column in the elimination tree of the factor structure: parent[k - 1] is
/// the first row below the diagonal in column k (rows are kept in ascending order), 0 for a
/// column without one.
void sparse_tree_parents(int n, const int* xlnz, const int* xnzsub, const int* nzsub, int* parent);

/// Marks in `needed` (row k at needed[k - 1]) the `count` rows of `rows` and every ancestor of
/// them in the elimination tree `parent` (sparse_tree_parents); a marked row's ancestors are
/// taken to be marked already.
void mark_tree_ancestors(int count, const int* rows, const int* parent, unsigned char* needed);

/// Solves L·Lᵀ·x = rhs in place for `count` right-hand sides rhs[0..count-1], four at a time,
/// when only the rows marked in `needed` are wanted: the forward pass runs from first_row
/// (rows above it zero in every right-hand side) and skips the columns still zero, the back
/// pass computes the marked rows alone. `needed` must hold the ancestors of each marked row
/// (mark_tree_ancestors); the marked rows get exactly the values of solve_sparse_dbl, the other
/// rows are left with intermediate values.
void solve_sparse_rows_dbl(int count, int first_row, int n, const int* xlnz, const double* lnz,
                           const int* xnzsub, const int* nzsub, const double* diag,
                           const unsigned char* needed, double* const* rhs);

/// Rows on the longest path from a row to a root of the elimination tree `parent`
/// (sparse_tree_parents).
int sparse_tree_height(int n, const int* parent);

/// Entries of the inverse of the factored matrix A = L·Lᵀ between `count` rows (new numbering):
/// packed[q] = (A⁻¹)(rows[i], rows[j]) for the pairs i < j taken with j outer, q = j (j - 1) / 2
/// + i (0-based i, j). Each row's column of L⁻¹ is non-zero on its path to the root of the
/// elimination tree `parent` (sparse_tree_parents) only, and an entry is the product of two
/// such columns over their common path: the work grows with the paths, not with n.
/// path_rows and path_values (capacity entries each; count times sparse_tree_height always
/// suffices) and work (4 n doubles, zero on entry and again on return) are work. Returns 0, or 1
/// when the paths need more than capacity entries (packed untouched).
int sparse_inverse_entries_dbl(int count, const int* rows, int n, const int* xlnz,
                               const double* lnz, const int* xnzsub, const int* nzsub,
                               const double* diag, const int* parent, double* packed,
                               std::size_t capacity, int* path_rows, double* path_values,
                               double* work);

namespace mx {

/// A factor L·Lᵀ in compressed-subscript storage with its elimination tree.
struct TreeFactor {
    const int* xlnz;
    const double* lnz;
    const int* xnzsub;
    const int* nzsub;
    const double* diag;
    const int* parent;
};

/// sparse_inverse_entries_dbl in steps that two threads may share. inverse_paths: row i's path
/// to the root lies at path_rows[begin[i] .. begin[i + 1] - 1]; false when the paths need more
/// than `capacity` entries. inverse_columns: the paths and their values of rows first..last-1,
/// with `work` (4 n doubles, zero on entry and on return) of the calling thread's own; the steps
/// for other rows may run at the same time with other work vectors. inverse_products, once
/// every path is done: the packed entries of the pairs whose outer index j lies in
/// j_first..j_last-1. The entries are those of sparse_inverse_entries_dbl bit for bit.
bool inverse_paths(int count, const int* rows, const int* parent, std::size_t capacity,
                   std::vector<std::size_t>& begin);
void inverse_columns(int first, int last, const int* rows, const TreeFactor& factor,
                     const std::size_t* begin, int* path_rows, double* path_values, double* work);
void inverse_products(int j_first, int j_last, const std::size_t* begin, const int* path_rows,
                      const double* path_values, double* packed);
} // namespace mx

/// Solve with a single-precision factor and right-hand side: the values are carried in a
/// double vector from page memory during the solve. Returns 0, or 1 when that memory is refused
/// (rhs unchanged).
int solve_sparse_flt(int first_row, int stop_row, int n, const int* xlnz, const float* lnz,
                     const int* xnzsub, const int* nzsub, const float* diag, float* rhs);

/// The same routine under the name the single-precision element kernels use.
int sparse_cholesky_solve_flt(int first_row, int stop_row, int n, const int* xlnz, const float* lnz,
                              const int* xnzsub, const int* nzsub, const float* diag, float* rhs);

// ---- Single-precision kernels -----------------------------------------------------------
// The same storage with a float factor. Unlike the routines above, `perm` here is the
// old-to-new vector of the ordering (the invp of the routines above).

/// Adds value to the off-diagonal entry (perm[i], perm[j]) of a double lnz: the entry of row
/// max and column min of the two mapped numbers. Returns 0 when added, 1 when that column holds
/// no such row (nothing changes). The diagonal is not handled here: i = j always returns 1.
int add_compressed_entry_dbl(double* lnz, int i, int j, double value, const int* xlnz,
                             const int* nzsub, const int* xnzsub, const int* perm);

/// Numeric Cholesky factorisation of a float matrix in place, as fact_sparse_dbl (sums of
/// squares in double). link and first (n ints) and temp (n floats) are work. *flag becomes 0 on
/// success, else the first column whose pivot is not positive: columns before it are final, the
/// rest of the storage is partly updated. No message.
void compressed_cholesky_float(int n, const int* xlnz, float* lnz, const int* xnzsub,
                               const int* nzsub, float* diag, int* link, int* first, float* temp,
                               int* flag);

/// Solves L·Lᵀ·x = rhs in place with the float factor, rows as solve_sparse_dbl (forward from
/// first_row, the caller guaranteeing rhs(1..first_row-1) = 0; back substitution down to
/// last_row, rows above it keeping forward values). Needs 1 <= first_row, last_row <= n.
void compressed_solve_dbl_rhs(int first_row, int last_row, int n, const int* xlnz, const float* lnz,
                              const int* xnzsub, const int* nzsub, const float* diag, double* rhs);
/// The same with a float right-hand side (each value carried in double between its loads and
/// stores); no work memory.
void compressed_solve_float(int first_row, int last_row, int n, const int* xlnz, const float* lnz,
                            const int* xnzsub, const int* nzsub, const float* diag, float* rhs);

/// Copies vec(1..n) into work, then vec(perm(i)) = work(i) for i = 1..n (the float twin of
/// permute_vector).
void permute_float_vector(float* work, float* vec, const int* perm, int n);

namespace mx {

/// Position t in lnz of entry (row, column), row > column, or 0 when the structure lacks it.
int find_compressed_entry(int row, int column, const int* xlnz, const int* nzsub,
                          const int* xnzsub);

/// The factorisation in either precision: T is the element type of lnz, diag and temp; the
/// sums of squares are accumulated in double.
template <class T>
int sparse_factor(int n, const int* xlnz, T* lnz, const int* xnzsub, const int* nzsub, T* diag,
                  int* link, int* first, T* temp);
extern template int sparse_factor<double>(int, const int*, double*, const int*, const int*, double*,
                                          int*, int*, double*);
extern template int sparse_factor<float>(int, const int*, float*, const int*, const int*, float*,
                                         int*, int*, float*);

/// The factorisation on two threads. sparse_factor_parts splits the columns below the first
/// branching of the elimination tree `parent` (sparse_tree_parents) into two parts of whole
/// subtrees of about equal work: part[k - 1] = 1 or 2, and 0 for the branching column and its
/// ancestors; false (part untouched) when the tree does not branch or is not one tree.
bool sparse_factor_parts(int n, const int* xlnz, const int* parent, unsigned char* part);
/// Factors the columns of part p (1 or 2) with link and temp (n each; zeroed first when
/// `fresh`) and first (n, shared by the parts). The parts may run at once, each with a link and
/// temp of its own, or one after the other on the same ones (the second not fresh, unless the
/// first failed). Returns 0, or the first column of the part whose pivot is not positive.
template <class T>
int sparse_factor_part(int p, const unsigned char* part, int n, const int* xlnz, T* lnz,
                       const int* xnzsub, const int* nzsub, T* diag, int* link, int* first, T* temp,
                       bool fresh);
/// After both parts, with the link and temp of part 1 and the link of part 2 (null when it ran
/// on the same): factors the rest. Returns 0, or the first column of the rest whose pivot is not
/// positive. The factor is that of sparse_factor bit for bit.
template <class T>
int sparse_factor_rest(const unsigned char* part, int n, const int* xlnz, T* lnz, const int* xnzsub,
                       const int* nzsub, T* diag, int* link, const int* link2, int* first, T* temp);
extern template int sparse_factor_part<double>(int, const unsigned char*, int, const int*, double*,
                                               const int*, const int*, double*, int*, int*, double*,
                                               bool);
extern template int sparse_factor_rest<double>(const unsigned char*, int, const int*, double*,
                                               const int*, const int*, double*, int*, const int*,
                                               int*, double*);

/// The solve with a factor of element type T on right-hand sides of element type R; every
/// operation is carried out in double and each result stored back as R.
template <class T, class R>
void sparse_solve(int first_row, int stop_row, int n, const int* xlnz, const T* lnz,
                  const int* xnzsub, const int* nzsub, const T* diag, R* rhs);
extern template void sparse_solve<double, double>(int, int, int, const int*, const double*,
                                                  const int*, const int*, const double*, double*);
extern template void sparse_solve<float, double>(int, int, int, const int*, const float*,
                                                 const int*, const int*, const float*, double*);
extern template void sparse_solve<float, float>(int, int, int, const int*, const float*, const int*,
                                                const int*, const float*, float*);

} // namespace mx

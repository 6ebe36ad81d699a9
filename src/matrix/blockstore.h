// Tree-partitioned block storage of a symmetric positive-definite matrix ordered by a block
// ordering of matrix/blockorder.h: its set-up from the graph, the entry assembly, the block
// Cholesky factorisation and the solve (the implicit tree-partitioned scheme of George and Liu,
// 1981). Values are single-precision floats; sums of products are accumulated in double.
//
// Storage of n rows in nblks blocks (xblk; perm new-to-old, invp old-to-new), every vector
// 1-based and passed by its first element:
// - father (nblks): the block that the later neighbours of a block lie in, 0 for a root;
// - diag (n): the diagonal; after the factorisation that of the diagonal blocks' factors;
// - xenv (n + 1), env: row i keeps the columns i - (xenv[i+1] - xenv[i]) .. i-1 of its own
//   block in env[xenv[i] .. xenv[i+1]-1]; entry (i, c), c < i, is stored when
//   xenv[i+1] - i + c >= xenv[i], at env[xenv[i+1] - i + c]. The envelope of each diagonal
//   block is widened to hold the fill that its children's elimination brings, so the factor
//   of every diagonal block stays in place;
// - xnonz (n + 1), nzsubs, nonz: row i's entries in earlier blocks (left of its block) are
//   nonz[xnonz[i] .. xnonz[i+1]-1] with their columns in nzsubs; they are never changed by the
//   factorisation (the off-diagonal blocks of the factor stay implicit).
#pragma once

/// Sorts v(1..n) into increasing order by straight insertion (equal values keep their order);
/// n <= 1 leaves v unchanged.
void insertion_sort_int(int n, int* v);

/// Quotient tree of a partition: bnum(node) (n) receives each node's block, father(b) the
/// block of the first neighbour in a later block, scanning the block's positions in order and
/// each node's adjacency list in order; 0 when there is none.
void find_tree_adjacency_1wd(const int* xadj, const int* adjncy, const int* perm, int nblks,
                             const int* xblk, int* father, int* bnum);
/// The same routine under the name the quotient-tree run uses.
void fntadjs(const int* xadj, const int* adjncy, const int* perm, int nblks, const int* xblk,
             int* father, int* bnum);

/// Envelope index of the diagonal blocks: row i starts at the smallest of its neighbours in its
/// own block and, for every earlier block it touches, the first row of its block that touches
/// that block (the reach of the fill of that block's elimination). Fills xenv (n + 1) and
/// returns the envelope size xenv[n+1] - 1. block_of_row and first_touch (n ints each) are
/// work; the routine sets them to 0 and 1 before it starts.
int find_tree_envelope_1wd(const int* xadj, const int* adjncy, const int* perm, const int* invp,
                           int nblks, const int* xblk, int* xenv, int* block_of_row,
                           int* first_touch);
/// The same with its work vectors from page memory; -1 when that memory is refused (xenv
/// unspecified).
int fntenv(const int* xadj, const int* adjncy, const int* perm, const int* invp, int nblks,
           const int* xblk, int* xenv);

/// Off-block non-zeros: fills xnonz (n + 1) with every row's entries in earlier blocks and
/// stores their column numbers in nzsubs while the count stays within `capacity` (the rest are
/// counted, not stored). Returns the count; the storage is usable only when it is at most the
/// capacity. The columns of a row follow its adjacency list.
int find_off_block_nonzeros_1wd(const int* xadj, const int* adjncy, const int* perm,
                                const int* invp, int nblks, const int* xblk, int* xnonz,
                                int* nzsubs, int capacity);
/// The same with the columns of each stored row sorted into increasing order.
int fnofnzs(const int* xadj, const int* adjncy, const int* perm, const int* invp, int nblks,
            const int* xblk, int* xnonz, int* nzsubs, int capacity);

/// Adds value to entry (invp[i], invp[j]). Returns 0 when added (the diagonal for i = j, else
/// the envelope or the off-block entry of the later row), 4 when the entry lies outside the
/// envelope and is not among the row's off-block columns, 5 when the row has no off-block
/// columns at all; nothing changes then.
int add_block_sparse_entry(int i, int j, float value, const int* invp, float* diag, const int* xenv,
                           float* env, const int* xnonz, const int* nzsubs, float* nonz);

/// Factors the matrix in place, block by block: each diagonal block by envelope_factor, then
/// the diagonal block of its father less the contribution of the off-block entries between
/// them. Returns 0 with *flag = 0 on success; when a diagonal block is not positive definite,
/// the failing row counted within that block (1 = its first row) with *flag = that block, the
/// blocks before it final and the rest partly updated; -1 with *flag = -1 when the work memory
/// is refused (nothing changed).
int block_sparse_factor(int nblks, const int* xblk, const int* father, float* diag, const int* xenv,
                        float* env, const int* xnonz, const float* nonz, const int* nzsubs,
                        int* flag);

/// Solves A·x = rhs in place with the factored storage: forward over the blocks, each less its
/// off-block products with the values already solved and then solved with its diagonal block;
/// then backward, each block corrected by its later neighbours' solution. Returns 0, or 1 when
/// the work memory is refused (rhs unchanged).
int block_sparse_solve(int nblks, const int* xblk, const float* diag, const int* xenv,
                       const float* env, const int* xnonz, const float* nonz, const int* nzsubs,
                       float* rhs);

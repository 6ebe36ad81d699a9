// Blocked dense kernels of the model-resolution and array-optimisation computations: the Gram
// matrix J^T J of a Jacobian, the inverse of a packed symmetric positive-definite matrix, and the
// resolution diagonals of systems updated by one row.
//
// The work is cut into tiles that stay in the caches, each tile into register blocks of vectors
// of eight doubles that the compiler lowers to the processor's SIMD width; every kernel is built
// for AVX-512, for AVX2 and for the baseline, and the processor's best is taken when the program
// starts. Tiles run on the thread pool (sys::run_in_parallel), each writing only its own entries.
//
// Every entry is computed with the same operations in the same order as the plain loops of
// matrix/packed.h and matrix/matrixfile.cpp (sums in the order of their terms, no fused
// multiply-add), so the results equal theirs bit for bit, on any number of threads.
#pragma once

#include "platform/sys/page_array.h"

#include <cstddef>

namespace mx {

/// H = J^T J of n parameters, summed chunk by chunk of data: the upper triangle of an n x n
/// double matrix. Owns its storage: about 8 n^2 bytes for H and 4 KiB a parameter of work.
class GramMatrix {
  public:
    /// H of n parameters (n >= 1), all zero; ok() is false when the storage was refused.
    explicit GramMatrix(int n);
    bool ok() const { return h_.ok() && pack_.ok(); }
    /// The bytes it takes for n parameters.
    static long long bytes(int n);

    /// H(p, q) += sum over d = 0 .. m-1 of double(J(p, d)) double(J(q, d)) for 0 <= p <= q < n,
    /// with J(p, d) = rows[p * stride + d]. Each sum goes on from what the earlier calls left, in
    /// order of d, so a Jacobian given in chunks of any size gives the H of one dot product per
    /// entry over all its data.
    void add(const float* rows, std::size_t stride, int m);

    /// H(p, p), H(p, p + 1), ..., H(p, n - 1): row p of the upper triangle.
    const double* upper_row(int p) const {
        return h_.get() + std::size_t(p) * ld_ + std::size_t(p);
    }

  private:
    int n_;
    std::size_t ld_; ///< row length of h_: n rounded up to whole panels
    sys::PageArray<double> h_, pack_;
};

/// invert_packed_symmetric by panels of pivots: the inverse of the symmetric positive-definite
/// matrix a (packed lower by rows, n(n+1)/2 values) in place, every entry with the operations
/// of the compact Gauss-Jordan scheme pivot after pivot, a panel of 128 pivots at a time over a
/// full square copy (8 n^2 bytes of work, plus 3 KiB a row). Returns 0; the step k (n down to
/// 1) whose pivot was not positive, a untouched; or packed_no_memory (matrix/packed.h), a
/// untouched, when the work storage is refused.
int invert_packed_panels(int n, double* a);
/// The bytes of work invert_packed_panels takes for order n.
long long panel_inversion_bytes(int n);

/// The resolution diagonals of a system with one row added, for many rows at a time: with C and
/// H packed symmetric n x n (C the damped inverse of H), for a row s of n floats,
///   y = C s, c = 1 / (1 + s.y), C' = C - c y y^T, H' = H + s s^T, r(b) = (C' H')(b, b),
/// each value with the operations of sherman_morrison_update_packed, packed_rank_one_updates4
/// and packed_product_diagonal_rowwise.
class RankOneDiagonals {
  public:
    /// Rows evaluated side by side by one call of evaluate().
    static constexpr int lanes = 16;

    /// Keeps c and h (not copied: they must outlive the object) and a full copy of C.
    RankOneDiagonals(int n, const double* c, const double* h);
    bool ok() const { return full_.ok(); }
    /// The bytes it takes for order n, with the Work of `threads` threads.
    static long long bytes(int n, int threads);

    /// Work storage of one thread.
    struct Work {
        explicit Work(int n);
        bool ok() const { return s.ok() && y.ok() && sums.ok(); }
        sys::PageArray<double> s, y, sums;
    };

    /// r of rows[0 .. count-1] (count <= lanes, n floats each) into out[l * n + b].
    void evaluate(const float* const* rows, int count, float* out, Work& work) const;

  private:
    int n_;
    std::size_t ld_;
    const double *c_, *h_;
    sys::PageArray<double> full_;
};

} // namespace mx

// Four-lane packed symmetric kernels of the candidate evaluation: four candidate arrays side by
// side, one per lane, two lanes per SSE2 instruction.
//
// Packed storage is that of matrix/packed.h (lower triangle by rows, (i, k) with k <= i at the
// 1-based position i(i-1)/2 + k). A shared matrix holds one double per element; a four-lane
// vector or matrix holds four doubles per element, lanes 1 to 4 in 32 consecutive bytes. Four-lane
// arrays must start on a 16-byte boundary (FourLanes gives such storage). Each lane computes
// exactly what the one-lane packed routines compute, operation for operation, so the results
// agree bit for bit with packed_rank_one_updates4, sherman_morrison_update_packed and
// packed_product_diagonal_rowwise.
#pragma once

#include "platform/sys/page_array.h"
#include "platform/sys/simd.h"

#include <cstddef>

/// out = V + w w^T in each lane: out(i,k) = w(i) w(k) + V(i,k), V shared, for i = 1..n, k <= i.
void symrank1_4_dbl_sse(int n, const double* v, double* out, const double* w);

/// The Sherman-Morrison update of an inverse S when a row m is added to the system, per lane:
/// y = S m (from the stored triangle alone), then out = S - y y^T / (1 + m^T y). S shared; out,
/// m and y four-lane (out n(n+1)/2 elements, m and y n elements).
void symmatvec4_dbl_sse(int n, const double* s, double* out, const double* m, double* y);

/// out(j) = sum over k of A(j,k) B(j,k) per lane: the diagonal of A B for symmetric A and B,
/// both four-lane packed; out is a four-lane vector of n elements.
void symdiag4_dbl_sse(double* out, const double* a, const double* b, int n);

namespace opt {

/// Zero-filled four-lane storage of `elements` elements (4 doubles each) from the page
/// allocator, aligned by align16. ok() is false when the memory was refused.
class FourLanes {
  public:
    explicit FourLanes(std::size_t elements) : storage_(4 * (elements + 1)) {
        data_ = storage_.get();
        if (data_) align16(&data_);
    }
    bool ok() const { return storage_.ok(); }
    double* get() const { return data_; }

  private:
    sys::PageArray<double> storage_;
    double* data_ = nullptr;
};

} // namespace opt

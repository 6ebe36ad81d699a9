// Packed symmetric kernels.
#include "matrix/packed.h"

#include "matrix/dense.h"
#include "matrix/one_based.h"
#include "platform/sys/page_array.h"

using mx::OneBased;
using mx::packed_position;
using sys::PageArray;

void add_damping_to_packed_diagonal(int n, float damping, double* a) {
    OneBased<double> A(a);
    for (long i = 1; i <= n; ++i)
        A[long(packed_position(i, i))] += damping;
}

int invert_packed_symmetric_compact(int n, double* a) {
    if (n <= 0) return 0;
    PageArray<double> work(std::size_t(n) + 1);
    if (!work.ok()) return packed_no_memory;
    OneBased<double> A(a), X(work.get());
    for (long k = n; k >= 1; --k) {
        const double s = A[1];
        if (s <= 0.0) return int(k);
        long m = 1, q = 0;
        for (long i = 2; i <= n; ++i) {
            q = m;
            m += i;
            const double t = A[q + 1];
            X[i] = -t / s;
            if (i > k) X[i] = -X[i];
            for (long j = q + 2; j <= m; ++j)
                A[j - i] = A[j] + t * X[j - q];
        }
        q -= 1;
        A[m] = 1.0 / s;
        for (long i = 2; i <= n; ++i)
            A[q + i] = X[i];
    }
    return 0;
}

int invert_packed_symmetric(int n, double* a) {
    // Below a few panels the copy costs more than the panels save.
    if (n >= panel_inversion_order) {
        const int result = mx::invert_packed_panels(n, a);
        if (result != packed_no_memory) return result;
    }
    return invert_packed_symmetric_compact(n, a);
}

long long packed_inversion_bytes(int n) {
    return n >= panel_inversion_order ? mx::panel_inversion_bytes(n) : 8LL * (n + 1);
}

namespace {

// Row by row over the whole row: the entries right of the diagonal are read down their column.
void product_diagonal_by_columns(float* out, const double* a, const double* b, int n) {
    OneBased<const double> A(a), B(b);
    for (long i = 1; i <= n; ++i) {
        double sum = 0.0;
        for (long j = 1; j <= n; ++j) {
            const long p = long(packed_position(i, j));
            sum += A[p] * B[p];
        }
        out[i - 1] = float(sum);
    }
}

} // namespace

void packed_symmetric_product_diagonal(float* out, const double* a, const double* b, int n) {
    // The one pass adds the same products in the same order and reads the rows only once.
    packed_product_diagonal_rowwise(out, a, b, n);
}

void packed_product_diagonal_rowwise(float* out, const double* a, const double* b, int n) {
    if (n <= 0) return;
    PageArray<double> column{std::size_t(n)};
    // Without the column sums in double the result would differ from the two-pass routine in
    // the last bits; fall back to that routine rather than fail.
    if (!column.ok()) return product_diagonal_by_columns(out, a, b, n);
    OneBased<const double> A(a), B(b);
    long p = 1;
    for (long i = 1; i <= n; ++i) {
        double row = 0.0;
        for (long j = 1; j < i; ++j, ++p) {
            const double v = A[p] * B[p];
            row += v;
            column[j - 1] += v;
        }
        row += A[p] * B[p];
        ++p;
        column[i - 1] += row;
    }
    for (long i = 0; i < n; ++i)
        out[i] = float(column[i]);
}

int sherman_morrison_update_packed(int n, const double* a, double* out, const float* x) {
    if (n <= 0) return 0;
    PageArray<double> work{std::size_t(n)};
    if (!work.ok()) return packed_no_memory;
    OneBased<const double> A(a);
    OneBased<double> Y(work.get()), Out(out);
    OneBased<const float> Xv(x);
    double xy = 0.0;
    for (long i = 1; i <= n; ++i) {
        double sum = 0.0;
        for (long j = 1; j <= n; ++j)
            sum += A[long(packed_position(i, j))] * Xv[j];
        Y[i] = sum;
        xy += Xv[i] * sum;
    }
    const double c = 1.0 / (1.0 + xy);
    long p = 1;
    for (long i = 1; i <= n; ++i)
        for (long j = 1; j <= i; ++j, ++p)
            Out[p] = A[p] - c * Y[i] * Y[j];
    return 0;
}

void packed_rank_one_updates4(int n, const double* base, double* out1, double* out2, double* out3,
                              double* out4, const float* u1, const float* u2, const float* u3,
                              const float* u4) {
    std::size_t p = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j, ++p) {
            out1[p] = base[p] + double(u1[i]) * u1[j];
            out2[p] = base[p] + double(u2[i]) * u2[j];
            out3[p] = base[p] + double(u3[i]) * u3[j];
            out4[p] = base[p] + double(u4[i]) * u4[j];
        }
}

void matrix_times_vector_flt4(int m, int n, const float* matrix, const float* vector, float* out) {
    const std::size_t row = std::size_t(n > 0 ? n : 0);
    int r = 0;
    for (; r + 4 <= m; r += 4) {
        const float* m0 = matrix + std::size_t(r) * row;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (std::size_t j = 0; j < row; ++j) {
            const double v = vector[j];
            s0 += m0[j] * v;
            s1 += m0[row + j] * v;
            s2 += m0[2 * row + j] * v;
            s3 += m0[3 * row + j] * v;
        }
        out[r] = float(s0);
        out[r + 1] = float(s1);
        out[r + 2] = float(s2);
        out[r + 3] = float(s3);
    }
    for (; r < m; ++r) {
        const float* mr = matrix + std::size_t(r) * row;
        double s = 0.0;
        for (std::size_t j = 0; j < row; ++j)
            s += mr[j] * double(vector[j]);
        out[r] = float(s);
    }
}

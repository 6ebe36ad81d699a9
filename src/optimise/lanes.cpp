// Four-lane packed symmetric kernels in SSE2: every element is two packed-double instructions.
#include "optimise/lanes.h"

#include <emmintrin.h>

namespace {

// One 32-byte element as two halves of two lanes each.
struct Lanes {
    __m128d lo, hi;
};

inline Lanes load(const double* p) {
    return {_mm_load_pd(p), _mm_load_pd(p + 2)};
}
inline void store(double* p, Lanes v) {
    _mm_store_pd(p, v.lo);
    _mm_store_pd(p + 2, v.hi);
}
inline Lanes mul(Lanes a, Lanes b) {
    return {_mm_mul_pd(a.lo, b.lo), _mm_mul_pd(a.hi, b.hi)};
}
inline Lanes add(Lanes a, Lanes b) {
    return {_mm_add_pd(a.lo, b.lo), _mm_add_pd(a.hi, b.hi)};
}
inline Lanes sub(Lanes a, Lanes b) {
    return {_mm_sub_pd(a.lo, b.lo), _mm_sub_pd(a.hi, b.hi)};
}
inline Lanes broadcast(double v) {
    const __m128d b = _mm_set1_pd(v);
    return {b, b};
}
inline Lanes zero() {
    return {_mm_setzero_pd(), _mm_setzero_pd()};
}

} // namespace

void symrank1_4_dbl_sse(int n, const double* v, double* out, const double* w) {
    std::size_t p = 0;
    for (int i = 0; i < n; ++i) {
        const Lanes wi = load(w + 4 * i);
        for (int k = 0; k <= i; ++k, ++p)
            store(out + 4 * p, add(broadcast(v[p]), mul(wi, load(w + 4 * k))));
    }
}

void symmatvec4_dbl_sse(int n, const double* s, double* out, const double* m, double* y) {
    if (n <= 0) return;
    // y = S m over the stored triangle: row i adds S(i,k) m(k) to its own sum and S(i,k) m(i)
    // to y(k), so each y(k) sums its row in column order, as a full-row product would.
    store(y, mul(broadcast(s[0]), load(m)));
    std::size_t p = 1;
    for (int i = 1; i < n; ++i) {
        const Lanes mi = load(m + 4 * i);
        Lanes sum = zero();
        for (int k = 0; k < i; ++k, ++p) {
            const Lanes sik = broadcast(s[p]);
            sum = add(sum, mul(sik, load(m + 4 * k)));
            store(y + 4 * k, add(load(y + 4 * k), mul(sik, mi)));
        }
        store(y + 4 * i, add(sum, mul(broadcast(s[p]), mi)));
        ++p;
    }
    Lanes d = zero();
    for (int k = 0; k < n; ++k)
        d = add(d, mul(load(m + 4 * k), load(y + 4 * k)));
    const Lanes one = broadcast(1.0);
    const Lanes c = {_mm_div_pd(one.lo, add(one, d).lo), _mm_div_pd(one.hi, add(one, d).hi)};
    p = 0;
    for (int i = 0; i < n; ++i) {
        const Lanes yic = mul(load(y + 4 * i), c);
        for (int k = 0; k <= i; ++k, ++p)
            store(out + 4 * p, sub(broadcast(s[p]), mul(load(y + 4 * k), yic)));
    }
}

void symdiag4_dbl_sse(double* out, const double* a, const double* b, int n) {
    if (n <= 0) return;
    store(out, mul(load(a), load(b)));
    std::size_t p = 1;
    for (int i = 1; i < n; ++i) {
        Lanes sum = zero();
        for (int k = 0; k < i; ++k, ++p) {
            const Lanes product = mul(load(a + 4 * p), load(b + 4 * p));
            sum = add(sum, product);
            store(out + 4 * k, add(load(out + 4 * k), product));
        }
        store(out + 4 * i, add(sum, mul(load(a + 4 * p), load(b + 4 * p))));
        ++p;
    }
}

// Packed-double arithmetic for the program's vector kernels: two doubles a value, one SSE2
// instruction an operation. Each operation rounds as its scalar twin does (no fused multiply-add),
// so a kernel written with them gives the results of the plain loop it stands for, bit for bit.
#pragma once

#include <cstdint>

#include <emmintrin.h>

namespace sys {

/// Two doubles side by side (lanes 0 and 1).
struct Double2 {
    __m128d v;
};

/// Loads and stores of two doubles at a 16-byte boundary.
inline Double2 load2(const double* p) {
    return {_mm_load_pd(p)};
}
inline void store2(double* p, Double2 a) {
    _mm_store_pd(p, a.v);
}
/// Lane 0 `low`, lane 1 `high`.
inline Double2 pair2(double low, double high) {
    return {_mm_set_pd(high, low)};
}
/// Lane `which` (0 or 1).
inline double lane(Double2 a, int which) {
    return which == 0 ? _mm_cvtsd_f64(a.v) : _mm_cvtsd_f64(_mm_unpackhi_pd(a.v, a.v));
}
/// Both lanes `value`.
inline Double2 broadcast2(double value) {
    return {_mm_set1_pd(value)};
}
inline Double2 operator+(Double2 a, Double2 b) {
    return {_mm_add_pd(a.v, b.v)};
}
inline Double2 operator-(Double2 a, Double2 b) {
    return {_mm_sub_pd(a.v, b.v)};
}
inline Double2 operator*(Double2 a, Double2 b) {
    return {_mm_mul_pd(a.v, b.v)};
}
inline Double2 operator/(Double2 a, Double2 b) {
    return {_mm_div_pd(a.v, b.v)};
}

} // namespace sys

/// Rounds *pointer up to the next multiple of 16 bytes (unchanged when it is one already). The
/// storage must hold the elements skipped on top of those used.
inline void align16(double** pointer) {
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(*pointer);
    const std::uintptr_t rounded = (address + 15) & ~std::uintptr_t(15);
    *pointer += (rounded - address) / sizeof(double);
}

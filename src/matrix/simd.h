// Vectors of 64 bytes for the kernels written for the processor's vector units, and the
// attribute that builds such a kernel for AVX-512, for AVX2 and for the baseline, the best one
// the processor offers being bound when the program starts.
//
// A kernel (VELDARIN_KERNEL) inlines every helper (VELDARIN_INLINE), so that the helpers take
// its target. Vectors wider than the baseline's pass through memory between functions that are
// not inlined, which GCC warns of (-Wpsabi): that warning is off where this header is included.
// Without GCC on x86-64, and under the thread sanitizer, each kernel is built once, for the
// baseline.
#pragma once

#include <cstring>

#pragma GCC diagnostic ignored "-Wpsabi"

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define VELDARIN_KERNEL __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VELDARIN_KERNEL
#endif
#define VELDARIN_INLINE inline __attribute__((always_inline))

namespace mx::simd {

/// N values of T.
template <class T, int N> struct VectorOf {
    typedef T type __attribute__((vector_size(N * sizeof(T))));
};
template <class T, int N> using VecN = typename VectorOf<T, N>::type;
/// Values of T in 64 bytes.
template <class T> constexpr int width = int(64 / sizeof(T));
/// 64 bytes of T: one AVX-512 register, two AVX2 or four SSE2 registers.
template <class T> using Vec = VecN<T, width<T>>;

/// Unaligned transfers of a whole vector (of N values, 64 bytes by default).
template <class T, int N = width<T>> VELDARIN_INLINE VecN<T, N> load(const T* p) {
    VecN<T, N> v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T, class V> VELDARIN_INLINE void store(T* p, const V& v) {
    static_assert(sizeof(V) % sizeof(T) == 0, "a vector of T");
    std::memcpy(p, &v, sizeof v);
}

} // namespace mx::simd

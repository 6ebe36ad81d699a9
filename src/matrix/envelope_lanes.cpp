// Envelope factorisation by blocks of rows and the many-system solves, on the vector units. The
// lanes of a vector are rows of the factor (the factorisation) or systems (the solves); each
// lane sees exactly the operations of envelope.cpp's one-row, one-system routines, in the same
// order: sums of products in double (complex double), each quotient rounded to the storage
// precision, the back solve in the storage precision. Where those routines skip work on zeros
// the lanes compute it, which adds only zeros.
#include "matrix/envelope_lanes.h"

#include "matrix/complex_root.h"
#include "matrix/one_based.h"
#include "matrix/simd.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

namespace {

using mx::OneBased;
using mx::simd::load;
using mx::simd::store;
using mx::simd::Vec;
using mx::simd::width;

constexpr int B = mx::envelope_block_rows;
constexpr int L = mx::envelope_lane_group;
static_assert(B % L == 0, "blocks of whole groups");

template <class T> constexpr bool is_complex = !std::is_floating_point<T>::value;

double real_part(float v) {
    return v;
}
double real_part(double v) {
    return v;
}
double real_part(std::complex<float> v) {
    return v.real();
}
double imag_part(std::complex<float> v) {
    return v.imag();
}

using V8 = mx::simd::VecN<double, L>;

// Lanes l .. l + 7 of a column held in S (double or float), as doubles, and back.
template <class S> VELDARIN_INLINE V8 get(const S* p) {
    if constexpr (std::is_same<S, double>::value)
        return load<double, L>(p);
    else
        return __builtin_convertvector((load<float, L>(p)), V8);
}
template <class S> VELDARIN_INLINE void put(S* p, const V8& v) {
    if constexpr (std::is_same<S, double>::value)
        store(p, v);
    else
        store(p, __builtin_convertvector(v, mx::simd::VecN<float, L>));
}

// s / d rounded to the storage precision T, or 0 where s is 0 (the one-system solve leaves
// such a value 0).
template <class T> VELDARIN_INLINE V8 quotient(const V8& s, double d) {
    const V8 q = __builtin_convertvector(__builtin_convertvector(s / d, mx::simd::VecN<T, L>), V8);
    return s != 0.0 ? q : V8{};
}

// One column of work for `Vectors` vectors of lanes (the rows of a block, or systems):
// X(j) = (X(j) - sum over t of e(t) X(c0 + t)) / d with e the entries of row j from column c0,
// each quotient rounded to the storage precision T. Column c's lanes are at x[plane] + c lanes
// (plane 1 the imaginary parts of a complex matrix), held as S.
template <class T, int Vectors, class S>
VELDARIN_INLINE void column_update(S* const* x, std::size_t lanes, int j, int c0, const T* row,
                                   T d) {
    if constexpr (!is_complex<T>) {
        S* xj = x[0] + std::size_t(j) * lanes;
        V8 s[Vectors];
        for (int q = 0; q < Vectors; ++q)
            s[q] = get(xj + q * L);
        for (int t = 0; t < j - c0; ++t) {
            const double e = row[t];
            const S* xc = x[0] + std::size_t(c0 + t) * lanes;
            for (int q = 0; q < Vectors; ++q)
                s[q] = s[q] - e * get(xc + q * L);
        }
        for (int q = 0; q < Vectors; ++q)
            put(xj + q * L, quotient<T>(s[q], double(d)));
    } else {
        S* rj = x[0] + std::size_t(j) * lanes;
        S* ij = x[1] + std::size_t(j) * lanes;
        V8 sr[Vectors], si[Vectors];
        for (int q = 0; q < Vectors; ++q) {
            sr[q] = get(rj + q * L);
            si[q] = get(ij + q * L);
        }
        for (int t = 0; t < j - c0; ++t) {
            const double er = row[t].real(), ei = row[t].imag();
            const S* rc = x[0] + std::size_t(c0 + t) * lanes;
            const S* ic = x[1] + std::size_t(c0 + t) * lanes;
            for (int q = 0; q < Vectors; ++q) {
                const V8 a = get(rc + q * L), b = get(ic + q * L);
                sr[q] = sr[q] - (er * a - ei * b);
                si[q] = si[q] - (er * b + ei * a);
            }
        }
        // The complex quotient as the one-system solve forms it, lane by lane.
        const std::complex<double> dd(d.real(), d.imag());
        for (int q = 0; q < Vectors; ++q)
            for (int l = 0; l < L; ++l) {
                const std::complex<double> s(sr[q][l], si[q][l]);
                std::complex<float> v(0.0f, 0.0f);
                if (s != std::complex<double>(0.0)) v = std::complex<float>(s / dd);
                rj[q * L + l] = S(v.real());
                ij[q * L + l] = S(v.imag());
            }
    }
}

// Products of an entry and a lane worked through between two questions to the stop test (a
// complex one counts four): a few milliseconds of work, whatever the rows' lengths (those that
// reach back to the first rows are long).
constexpr long long work_between_tests = 1 << 24;

// The stop test, asked once `work` more products have been worked through since it was last.
class StopMeter {
  public:
    explicit StopMeter(const mx::StopTest* stop) : stop_(stop && *stop ? stop : nullptr) {}
    bool stopped(long long work) {
        if (!stop_) return false;
        done_ += work;
        if (done_ < work_between_tests) return false;
        done_ = 0;
        return (*stop_)();
    }

  private:
    const mx::StopTest* stop_;
    long long done_ = 0;
};

template <class T>
VELDARIN_KERNEL int factor_blocks(int n, const int* xenv_, T* env_, T* diag_, double* work,
                                  const mx::StopTest* stop) {
    using A = typename std::conditional<is_complex<T>, std::complex<double>, double>::type;
    OneBased<const int> xenv(xenv_);
    OneBased<T> env(env_), diag(diag_);
    // Entry (i, c) of the envelope, c < i inside row i's envelope.
    auto entry = [&](int i, int c) -> T& { return env[xenv[i + 1] - (i - c)]; };
    constexpr long long weight = is_complex<T> ? 4 : 1;
    StopMeter meter(stop);
    for (int i0 = 1; i0 <= n; i0 += B) {
        if (meter.stopped(B * weight)) return -1;
        const int nb = std::min(B, n - i0 + 1);
        int first[B];
        int lo = i0;
        for (int b = 0; b < nb; ++b) {
            const int i = i0 + b;
            first[b] = i - std::min(xenv[i + 1] - xenv[i], i - 1);
            lo = std::min(lo, first[b]);
        }
        // Column c of the block's rows (row i0 + b in lane b) at x[.] + (c - lo) B: the rows'
        // envelope entries, zeros outside them.
        const std::size_t columns = std::size_t(i0 + nb - 1 - lo);
        double* x[2] = {work, work + columns * B};
        std::fill(x[0], x[0] + columns * B * (is_complex<T> ? 2 : 1), 0.0);
        for (int b = 0; b < nb; ++b)
            for (int c = first[b]; c < i0 + b; ++c) {
                x[0][std::size_t(c - lo) * B + b] = real_part(entry(i0 + b, c));
                if constexpr (is_complex<T>)
                    x[1][std::size_t(c - lo) * B + b] = imag_part(entry(i0 + b, c));
            }
        double* shifted[2] = {x[0] - std::size_t(lo) * B, x[1] - std::size_t(lo) * B};
        // The columns before the block: every lane against the factored rows above it.
        for (int j = lo; j < i0; ++j) {
            const int c0 = std::max(lo, j - std::min(xenv[j + 1] - xenv[j], j - 1));
            if (meter.stopped(1LL * (j - c0) * B * weight)) return -1;
            column_update<T, B / L>(shifted, B, j, c0, c0 < j ? &entry(j, c0) : nullptr, diag[j]);
        }
        // The block's own columns: each row in turn is finished and takes its root, then the
        // rows after it take its column.
        for (int b = 0; b < nb; ++b) {
            const int i = i0 + b;
            A pivot = A(diag[i]);
            for (int c = first[b]; c < i; ++c) {
                T v;
                if constexpr (is_complex<T>) {
                    v = T(float(shifted[0][std::size_t(c) * B + b]),
                          float(shifted[1][std::size_t(c) * B + b]));
                    const A a(v);
                    pivot -= A(a.real() * a.real() - a.imag() * a.imag(),
                               a.real() * a.imag() + a.imag() * a.real());
                } else {
                    v = T(shifted[0][std::size_t(c) * B + b]);
                    pivot -= A(v) * A(v);
                }
                entry(i, c) = v;
            }
            if (!mx::envelope_pivot_root(pivot, diag[i])) return i;
            if (b + 1 < nb)
                column_update<T, B / L>(shifted, B, i, first[b],
                                        first[b] < i ? &entry(i, first[b]) : nullptr, diag[i]);
        }
    }
    return 0;
}

// column_update for `count` (1 .. V) groups side by side.
template <class T, int V, class S>
VELDARIN_INLINE void forward_groups(int count, S* const* x, std::size_t lanes, int j, int c0,
                                    const T* row, T d) {
    if (count == V)
        column_update<T, V>(x, lanes, j, c0, row, d);
    else if constexpr (V > 1)
        forward_groups<T, V - 1>(count, x, lanes, j, c0, row, d);
}

// The systems' forward solve (sums in double) and back solve (in the storage precision),
// b[plane] the right-hand sides, S their precision.
template <class T, class S>
VELDARIN_KERNEL bool solve_lanes(int n, const int* xenv_, const T* env_, const T* diag_, int lanes,
                                 S* b_re, S* b_im, const int* first, const int* last,
                                 const mx::StopTest* stop) {
    OneBased<const int> xenv(xenv_);
    OneBased<const T> env(env_), diag(diag_);
    const int groups = lanes / L;
    const std::size_t stride = std::size_t(lanes);
    // Row i's lanes at shifted + i stride.
    S* shifted[2] = {b_re - stride, b_im ? b_im - stride : nullptr};
    auto row_from = [&](int i, int c0) { return c0 < i ? &env[xenv[i + 1] - (i - c0)] : nullptr; };
    int active = 0;
    constexpr long long weight = is_complex<T> ? 4 : 1;
    StopMeter meter(stop);
    for (int i = std::max(first[0], 1); i <= n; ++i) {
        while (active < groups && first[active * L] <= i)
            ++active;
        const int c0 = i - std::min(xenv[i + 1] - xenv[i], i - 1);
        if (meter.stopped(1LL * (i - c0 + 1) * active * L * weight)) return false;
        const T* row = row_from(i, c0);
        // Eight groups at a time, so that their sums run side by side.
        for (int g = 0; g < active; g += 8) {
            S* lane[2] = {shifted[0] + g * L, shifted[1] ? shifted[1] + g * L : nullptr};
            forward_groups<T, 8>(std::min(8, active - g), lane, stride, i, c0, row, diag[i]);
        }
    }
    std::vector<int> lowest(std::size_t(groups), n);
    for (int l = 0; l < groups * L; ++l)
        lowest[std::size_t(l / L)] = std::min(lowest[std::size_t(l / L)], std::max(last[l], 1));
    const int bottom = *std::min_element(lowest.begin(), lowest.end());
    using VS = mx::simd::VecN<S, L>;
    std::vector<int> on(static_cast<std::size_t>(groups));
    // The quotients of the groups that need a row, group after group (plain values: vectors
    // are formed from them in the loop).
    std::vector<S> sr(std::size_t(groups) * L), si(sr);
    for (int i = n; i >= bottom; --i) {
        const int c0 = i - std::min(xenv[i + 1] - xenv[i], i - 1);
        if (meter.stopped(1LL * (i - c0 + 1) * lanes * weight)) return false;
        const T* row = row_from(i, c0);
        // The groups that need row i take its quotient, then each column of the row's envelope
        // once for all of them.
        int count = 0;
        for (int g = 0; g < groups; ++g) {
            if (lowest[std::size_t(g)] > i) continue;
            const std::size_t at = std::size_t(i - 1) * stride + std::size_t(g) * L;
            if constexpr (!is_complex<T>) {
                const VS q = load<S, L>(b_re + at) / diag[i];
                store(b_re + at, q);
                store(sr.data() + std::size_t(count) * L, q);
            } else {
                for (int l = 0; l < L; ++l) {
                    const std::complex<float> q =
                        std::complex<float>(b_re[at + l], b_im[at + l]) / diag[i];
                    b_re[at + l] = q.real();
                    b_im[at + l] = q.imag();
                }
                std::copy(b_re + at, b_re + at + L, sr.data() + std::size_t(count) * L);
                std::copy(b_im + at, b_im + at + L, si.data() + std::size_t(count) * L);
            }
            on[std::size_t(count++)] = g;
        }
        for (int t = 0; t < i - c0; ++t) {
            const std::size_t c = std::size_t(c0 + t - 1) * stride;
            if constexpr (!is_complex<T>) {
                const S e = row[t];
                for (int q = 0; q < count; ++q) {
                    S* x = b_re + c + std::size_t(on[std::size_t(q)]) * L;
                    store(x, load<S, L>(x) - load<S, L>(sr.data() + std::size_t(q) * L) * e);
                }
            } else {
                const float er = row[t].real(), ei = row[t].imag();
                for (int q = 0; q < count; ++q) {
                    const std::size_t at = c + std::size_t(on[std::size_t(q)]) * L;
                    const VS a = load<S, L>(sr.data() + std::size_t(q) * L),
                             b = load<S, L>(si.data() + std::size_t(q) * L);
                    store(b_re + at, load<S, L>(b_re + at) - (a * er - b * ei));
                    store(b_im + at, load<S, L>(b_im + at) - (a * ei + b * er));
                }
            }
        }
    }
    return true;
}

} // namespace

namespace mx {

int envelope_factor_blocks(int n, const int* xenv, float* env, float* diag, double* work,
                           const StopTest* stop) {
    return factor_blocks(n, xenv, env, diag, work, stop);
}
int envelope_factor_blocks(int n, const int* xenv, double* env, double* diag, double* work,
                           const StopTest* stop) {
    return factor_blocks(n, xenv, env, diag, work, stop);
}
int envelope_factor_blocks(int n, const int* xenv, std::complex<float>* env,
                           std::complex<float>* diag, double* work, const StopTest* stop) {
    return factor_blocks(n, xenv, env, diag, work, stop);
}

bool envelope_solve_lanes(int n, const int* xenv, const float* env, const float* diag, int lanes,
                          float* b, const int* first, const int* last, const StopTest* stop) {
    return solve_lanes<float, float>(n, xenv, env, diag, lanes, b, nullptr, first, last, stop);
}
bool envelope_solve_lanes(int n, const int* xenv, const double* env, const double* diag, int lanes,
                          double* b, const int* first, const int* last, const StopTest* stop) {
    return solve_lanes<double, double>(n, xenv, env, diag, lanes, b, nullptr, first, last, stop);
}
bool envelope_solve_lanes(int n, const int* xenv, const std::complex<float>* env,
                          const std::complex<float>* diag, int lanes, float* b_re, float* b_im,
                          const int* first, const int* last, const StopTest* stop) {
    return solve_lanes<std::complex<float>, float>(n, xenv, env, diag, lanes, b_re, b_im, first,
                                                   last, stop);
}

} // namespace mx

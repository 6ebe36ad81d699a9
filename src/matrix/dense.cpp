// Blocked dense kernels: the Gram matrix of a Jacobian, the panel inversion of a packed symmetric
// matrix and the resolution diagonals of rank-one updated systems.
#include "matrix/dense.h"

#include "matrix/packed.h"
#include "matrix/simd.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using sys::PageArray;

using Vec = mx::simd::Vec<double>;
using mx::simd::load;
using mx::simd::store;
constexpr int vec_width = mx::simd::width<double>;

std::size_t round_up(std::size_t value, std::size_t step) {
    return (value + step - 1) / step * step;
}

// ---- Rank-k tile update ------------------------------------------------------------------
//
// c(i, j) += u(k, i) v(k, j) for k = 0 .. depth-1 in order, i < 8, j < 16: one multiplication and
// one addition per term, as the plain loops do. c has rows ldc apart, u and v rows su and sv.
constexpr int tile_rows = 8, tile_columns = 16;

VELDARIN_INLINE void rank_tile(double* c, std::size_t ldc, const double* u, std::size_t su,
                               const double* v, std::size_t sv, int depth,
                               const double* next = nullptr) {
    // The next tile of c is fetched into the cache while this one is worked on.
    if (next)
        for (int i = 0; i < tile_rows; ++i) {
            __builtin_prefetch(next + i * ldc, 1);
            __builtin_prefetch(next + i * ldc + vec_width, 1);
        }
    Vec acc[tile_rows][2];
#pragma GCC unroll 8
    for (int i = 0; i < tile_rows; ++i) {
        acc[i][0] = load(c + i * ldc);
        acc[i][1] = load(c + i * ldc + vec_width);
    }
    for (int k = 0; k < depth; ++k) {
        const Vec v0 = load(v + k * sv), v1 = load(v + k * sv + vec_width);
        const double* uk = u + k * su;
#pragma GCC unroll 8
        for (int i = 0; i < tile_rows; ++i) {
            acc[i][0] += uk[i] * v0;
            acc[i][1] += uk[i] * v1;
        }
    }
#pragma GCC unroll 8
    for (int i = 0; i < tile_rows; ++i) {
        store(c + i * ldc, acc[i][0]);
        store(c + i * ldc + vec_width, acc[i][1]);
    }
}

// ---- Gram matrix -------------------------------------------------------------------------
//
// A pass packs `depth` data of every parameter as doubles, panel by panel of 16 parameters,
// datum after datum (pack[(panel * gram_depth + d) * 16 + j]); then the tiles of each column
// panel of H are brought up to date from the packed data.
constexpr int gram_depth = 512;

void pack_panel(const float* rows, std::size_t stride, int n, int panel, int depth, double* pack) {
    for (int j = 0; j < tile_columns; ++j) {
        const int p = panel * tile_columns + j;
        if (p >= n) break; // the padding stays zero
        const float* r = rows + std::size_t(p) * stride;
        for (int d = 0; d < depth; ++d)
            pack[std::size_t(d) * tile_columns + std::size_t(j)] = r[d];
    }
}

// The tiles of column panel q: rows 0 .. 16(q+1) - 1 of H in blocks of 8 (the lower part of the
// diagonal tiles is computed too and never read).
VELDARIN_KERNEL void gram_column(const double* pack, int depth, int q, double* h, std::size_t ld) {
    const std::size_t panel = std::size_t(gram_depth) * tile_columns;
    // A slice of the data at a time, so that the column panel's slice stays in the first cache
    // while the rows go by.
    constexpr int slice = 128;
    for (int d0 = 0; d0 < depth; d0 += slice) {
        const double* v = pack + std::size_t(q) * panel + std::size_t(d0) * tile_columns;
        const int count = std::min(slice, depth - d0);
        for (int p0 = 0; p0 < (q + 1) * tile_columns; p0 += tile_rows) {
            const double* u = pack + std::size_t(p0 / tile_columns) * panel +
                              std::size_t(d0) * tile_columns + p0 % tile_columns;
            double* c = h + std::size_t(p0) * ld + std::size_t(q) * tile_columns;
            rank_tile(c, ld, u, tile_columns, v, tile_columns, count, c + tile_rows * ld);
        }
    }
}

// ---- Panel inversion -----------------------------------------------------------------------
//
// Pivot p of the compact scheme, in the natural numbering of the unknowns: with s = A(p,p),
// t(l) = A(l,p) and x(l) = -t(l)/s, negated for the unknowns already pivoted (l < p), every other
// entry becomes A(a,b) + t(r) x(c), where r is the later of a and b in the scheme's rotating
// order (p, p+1, ..., n-1, 0, ..., p-1) and c the other; then A(l,p) = x(l) and A(p,p) = 1/s.
// A panel of pivots is first carried through the entries that touch it (its rows, kept whole in
// `w`), recording t and x of each pivot; every other entry then takes the panel's terms in
// order, tile by tile, on the threads.
constexpr int panel_pivots = 128;

struct Panels {
    int n;
    std::size_t ld;    // row length of every array below
    double* m;         // the matrix, full square, lower triangle valid
    double *w, *t, *x; // panel rows; t and x of each pivot of the panel
    double& at(int i, int j) const { return m[std::size_t(i) * ld + std::size_t(j)]; }
};

// w(a - p0, l) = A(a, l) for the panel's rows a (to_panel), or back (from_panel): the entries
// left of the diagonal from row a, those below it from the later rows, each read along its row.
void move_panel(const Panels& s, int p0, int p1, bool to_panel) {
    for (int a = p0; a < p1; ++a) {
        double* w = s.w + std::size_t(a - p0) * s.ld;
        if (to_panel)
            std::memcpy(w, &s.at(a, 0), sizeof(double) * std::size_t(a));
        else
            std::memcpy(&s.at(a, 0), w, sizeof(double) * std::size_t(a));
    }
    for (int l = p0; l < s.n; ++l) {
        double* row = &s.at(l, p0);
        const int last = std::min(p1 - 1, l);
        for (int a = p0; a <= last; ++a) {
            double& held = s.w[std::size_t(a - p0) * s.ld + std::size_t(l)];
            if (to_panel)
                held = row[a - p0];
            else
                row[a - p0] = held;
        }
    }
}

// Row a of the panel at pivot p, entries first .. last-1 (all in the panel): w(l) += t(l) x(a)
// where l is the later of the two in the rotating order, t(a) x(l) where a is; the entry (a, p)
// is set afterwards.
VELDARIN_KERNEL void update_panel_row(double* w, const double* t, const double* x, int a, int p,
                                      int first, int last) {
    const double ta = t[a], xa = x[a];
    // Entries l in [lo, hi) take t(a) x(l) when a > p, t(l) x(a) when a < p; the others the other.
    const int lo = a > p ? p + 1 : a + 1, hi = a > p ? a + 1 : p;
    const bool inside_a = a > p;
    for (int l0 = first; l0 < last; l0 += vec_width) {
        const int l1 = l0 + vec_width;
        const bool all_inside = l0 >= lo && l1 <= hi, all_outside = l1 <= lo || l0 >= hi;
        if (all_inside || all_outside) {
            Vec wl = load(w + l0);
            const Vec tl = load(t + l0), xl = load(x + l0);
            if (all_inside == inside_a)
                wl += ta * xl;
            else
                wl += tl * xa;
            store(w + l0, wl);
            continue;
        }
        for (int l = l0; l < l1; ++l) {
            const bool inside = l >= lo && l < hi;
            w[l] += inside == inside_a ? ta * x[l] : t[l] * xa;
        }
    }
}

// Entries from .. to-1 of a panel row, outside the panel, through `count` pivots: w(l) += f(q)
// v(q, l) in order of q, v's rows ld apart. Eight vectors at a time keep eight sums going.
VELDARIN_INLINE void lazy_row_update(double* w, const double* v, std::size_t ld, const double* f,
                                     int count, int from, int to) {
    constexpr int block = 8 * vec_width;
    int l = from;
    for (; l + block <= to; l += block) {
        Vec acc[8];
#pragma GCC unroll 8
        for (int j = 0; j < 8; ++j)
            acc[j] = load(w + l + j * vec_width);
        for (int q = 0; q < count; ++q) {
            const double* vq = v + std::size_t(q) * ld + l;
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j)
                acc[j] += f[q] * load(vq + j * vec_width);
        }
#pragma GCC unroll 8
        for (int j = 0; j < 8; ++j)
            store(w + l + j * vec_width, acc[j]);
    }
    for (; l < to; l += vec_width) {
        Vec acc = load(w + l);
        for (int q = 0; q < count; ++q)
            acc += f[q] * load(v + std::size_t(q) * ld + l);
        store(w + l, acc);
    }
}

// The pivots p0 .. p1-1 on the entries among the panel's rows and columns, pivot after pivot:
// these need nothing outside the panel. Records each pivot's value and t and x of the panel's
// unknowns. Returns -1, or the pivot that was not positive.
int panel_block_passes(const Panels& s, int p0, int p1, double* pivots) {
    const int inside_end = int(round_up(std::size_t(p1), vec_width));
    for (int p = p0; p < p1; ++p) {
        double* wp = s.w + std::size_t(p - p0) * s.ld;
        double* tp = s.t + std::size_t(p - p0) * s.ld;
        double* xp = s.x + std::size_t(p - p0) * s.ld;
        const double pivot = wp[p];
        if (pivot <= 0.0) return p;
        pivots[p - p0] = pivot;
        for (int l = p0; l < inside_end; ++l) {
            tp[l] = wp[l];
            xp[l] = -wp[l] / pivot;
            if (l < p) xp[l] = -xp[l];
        }
        for (int a = p0; a < p1; ++a)
            if (a != p)
                update_panel_row(s.w + std::size_t(a - p0) * s.ld, tp, xp, a, p, p0, inside_end);
        std::memcpy(wp + p0, xp + p0, sizeof(double) * std::size_t(inside_end - p0));
        wp[p] = 1.0 / pivot;
        for (int a = p0; a < p1; ++a)
            if (a != p) s.w[std::size_t(a - p0) * s.ld + std::size_t(p)] = xp[a];
    }
    return -1;
}

// The panel's pivots on the entries from .. to-1 of its rows, outside the panel: each column is
// on its own. Row p takes the pivots before it when it becomes the pivot row, then gives its t
// and x (x negated left of the panel, whose unknowns are pivoted already) and becomes x; after
// the last pivot every row takes the pivots after its own, all in the order of the pivots.
VELDARIN_KERNEL void panel_outside_passes(const Panels& s, int p0, int p1, const double* pivots,
                                          int from, int to) {
    const int count = p1 - p0;
    double factors[panel_pivots];
    for (int i = 0; i < count; ++i) {
        double* wp = s.w + std::size_t(i) * s.ld;
        double* tp = s.t + std::size_t(i) * s.ld;
        double* xp = s.x + std::size_t(i) * s.ld;
        for (int q = 0; q < i; ++q)
            factors[q] = s.x[std::size_t(q) * s.ld + std::size_t(p0 + i)];
        lazy_row_update(wp, s.t, s.ld, factors, i, from, to);
        const double pivot = pivots[i];
        const bool left = to <= p0;
        for (int l = from; l < to; l += vec_width) {
            const Vec tl = load(wp + l), xl = -tl / pivot;
            store(tp + l, tl);
            store(xp + l, left ? -xl : xl);
            store(wp + l, left ? -xl : xl);
        }
    }
    for (int i = 0; i + 1 < count; ++i) {
        for (int q = i + 1; q < count; ++q)
            factors[q - i - 1] = s.t[std::size_t(q) * s.ld + std::size_t(p0 + i)];
        lazy_row_update(s.w + std::size_t(i) * s.ld, s.x + std::size_t(i + 1) * s.ld, s.ld, factors,
                        count - i - 1, from, to);
    }
}

// The pivots p0 .. p1-1 on the panel rows: the block among the panel's rows and columns first,
// then the columns outside the panel, a stretch at a time on the threads. Returns -1, or the
// pivot that was not positive.
int panel_passes(const Panels& s, int p0, int p1) {
    double pivots[panel_pivots];
    const int failed = panel_block_passes(s, p0, p1, pivots);
    if (failed >= 0) return failed;
    // Right of the panel only while there are unknowns after it (then p1 is a whole panel).
    const int end = p1 < s.n ? int(round_up(std::size_t(s.n), vec_width)) : p1;
    constexpr int stretch = 128;
    std::vector<int> starts;
    for (int l = 0; l < p0; l += stretch)
        starts.push_back(l);
    for (int l = p1; l < end; l += stretch)
        starts.push_back(l);
    sys::run_in_parallel(int(starts.size()), sys::pool_threads(), [&](int, int item) {
        const int from = starts[std::size_t(item)];
        const int to = std::min(from + stretch, from < p0 ? p0 : end);
        panel_outside_passes(s, p0, p1, pivots, from, to);
    });
    return -1;
}

// The entries outside the panel of rows a_begin .. a_end-1 and of the columns of one strip: a
// tile of rows and columns on the same side of the panel takes t(row) x(column), one across it
// t(column) x(row). The strip's terms stay in the cache while the rows go by.
constexpr int strip_columns = 128, strip_rows = 512;

struct Strip {
    int b_begin, b_end, a_begin, a_end;
};

VELDARIN_KERNEL void trailing_strip(const Panels& s, const Strip& strip, int p0, int p1) {
    const int depth = p1 - p0;
    for (int a0 = strip.a_begin; a0 < strip.a_end; a0 += tile_rows) {
        if (a0 >= p0 && a0 < p1) continue;
        for (int b0 = strip.b_begin; b0 < strip.b_end && b0 <= a0 + tile_rows - 1;
             b0 += tile_columns) {
            if (b0 >= p0 && b0 < p1) continue;
            const bool across = a0 >= p1 && b0 < p0;
            const double* u = (across ? s.x : s.t) + a0;
            const double* v = (across ? s.t : s.x) + b0;
            const bool last = b0 + tile_columns >= strip.b_end || b0 + tile_columns > a0 + 7;
            const double* next = last ? &s.at(std::min(a0 + tile_rows, s.n - 1), strip.b_begin)
                                      : &s.at(a0, b0 + tile_columns);
            rank_tile(&s.at(a0, b0), s.ld, u, s.ld, v, s.ld, depth, next);
        }
    }
}

void trailing_update(const Panels& s, int p0, int p1) {
    // Rows below the panel only while there are unknowns after it.
    const int end = p1 < s.n ? int(round_up(std::size_t(s.n), tile_rows)) : p0;
    std::vector<Strip> strips;
    for (int b0 = 0; b0 < end; b0 += strip_columns)
        for (int a0 = b0; a0 < end; a0 += strip_rows)
            strips.push_back(
                {b0, std::min(b0 + strip_columns, end), a0, std::min(a0 + strip_rows, end)});
    sys::run_in_parallel(int(strips.size()), sys::pool_threads(), [&](int, int item) {
        trailing_strip(s, strips[std::size_t(item)], p0, p1);
    });
}

// ---- Rank-one resolution diagonals --------------------------------------------------------
//
// Lanes side by side: s(k, l), y(k, l) and the sums at [k * lanes + l], two vectors a row.
constexpr int lanes = mx::RankOneDiagonals::lanes;
static_assert(lanes == 2 * vec_width, "two vectors of lanes");

// y = C s for the rows j0 .. j0+7, over the full copy of C (rows ld apart).
VELDARIN_KERNEL void lanes_times_matrix(const double* full, std::size_t ld, int n, const double* s,
                                        double* y) {
    for (int j0 = 0; j0 < n; j0 += tile_rows) {
        Vec acc[tile_rows][2] = {};
        for (int k = 0; k < n; ++k) {
            const Vec s0 = load(s + std::size_t(k) * lanes),
                      s1 = load(s + std::size_t(k) * lanes + vec_width);
            const double* c = full + std::size_t(k) * ld + std::size_t(j0);
#pragma GCC unroll 8
            for (int r = 0; r < tile_rows; ++r) {
                acc[r][0] += c[r] * s0;
                acc[r][1] += c[r] * s1;
            }
        }
        for (int r = 0; r < tile_rows && j0 + r < n; ++r) {
            store(y + std::size_t(j0 + r) * lanes, acc[r][0]);
            store(y + std::size_t(j0 + r) * lanes + vec_width, acc[r][1]);
        }
    }
}

// The rows i0 .. i0+R-1 of the diagonal of C' H' per lane: row i's products (C(i,k) - y(k)
// yc(i)) (H(i,k) + s(i) s(k)), yc(i) = c y(i), in column order go to its own sum and, for k < i,
// to the sum of k, which row k started with its own total.
template <int R>
VELDARIN_INLINE void diagonal_rows(const double* c, const double* h, const double* s,
                                   const double* y, const Vec* scale, double* sums, int i0) {
    Vec yc[R][2], si[R][2], sum[R][2];
    const double *ci[R], *hi[R];
#pragma GCC unroll 4
    for (int r = 0; r < R; ++r) {
        const std::size_t i = std::size_t(i0 + r), start = i * (i + 1) / 2;
        ci[r] = c + start, hi[r] = h + start;
        for (int v = 0; v < 2; ++v) {
            yc[r][v] = scale[v] * load(y + i * lanes + std::size_t(v) * vec_width);
            si[r][v] = load(s + i * lanes + std::size_t(v) * vec_width);
            sum[r][v] = Vec{};
        }
    }
    for (int k = 0; k < i0; ++k) {
        const double *yk = y + std::size_t(k) * lanes, *sk = s + std::size_t(k) * lanes;
        double* total = sums + std::size_t(k) * lanes;
        const Vec y0 = load(yk), y1 = load(yk + vec_width), s0 = load(sk),
                  s1 = load(sk + vec_width);
        Vec t0 = load(total), t1 = load(total + vec_width);
#pragma GCC unroll 4
        for (int r = 0; r < R; ++r) {
            const double cv = ci[r][k], hv = hi[r][k];
            const Vec p0 = (cv - y0 * yc[r][0]) * (hv + si[r][0] * s0);
            const Vec p1 = (cv - y1 * yc[r][1]) * (hv + si[r][1] * s1);
            sum[r][0] += p0, sum[r][1] += p1;
            t0 += p0, t1 += p1;
        }
        store(total, t0);
        store(total + vec_width, t1);
    }
    for (int r = 0; r < R; ++r) {
        const int i = i0 + r;
        for (int k = i0; k <= i; ++k) {
            const double *yk = y + std::size_t(k) * lanes, *sk = s + std::size_t(k) * lanes;
            double* total = sums + std::size_t(k) * lanes;
            for (int v = 0; v < 2; ++v) {
                const std::size_t o = std::size_t(v) * vec_width;
                const Vec p =
                    (ci[r][k] - load(yk + o) * yc[r][v]) * (hi[r][k] + si[r][v] * load(sk + o));
                sum[r][v] += p;
                // Row i's own total starts the sum of i from zero.
                store(total + o, k < i ? load(total + o) + p : Vec{} + sum[r][v]);
            }
        }
    }
}

// The diagonal of C' H' per lane, rows two at a time.
VELDARIN_KERNEL void lanes_diagonal(const double* c, const double* h, int n, const double* s,
                                    const double* y, const Vec* scale, double* sums) {
    int i0 = 0;
    for (; i0 + 2 <= n; i0 += 2)
        diagonal_rows<2>(c, h, s, y, scale, sums, i0);
    if (i0 < n) diagonal_rows<1>(c, h, s, y, scale, sums, i0);
}

} // namespace

namespace mx {

GramMatrix::GramMatrix(int n)
    : n_(n), ld_(round_up(std::size_t(n > 0 ? n : 1), tile_columns)), h_(ld_ * ld_),
      pack_(ld_ * gram_depth) {}

long long GramMatrix::bytes(int n) {
    const long long ld = (long long)round_up(std::size_t(n > 0 ? n : 1), tile_columns);
    return 8 * ld * (ld + gram_depth);
}

void GramMatrix::add(const float* rows, std::size_t stride, int m) {
    const int panels = int(ld_ / tile_columns), workers = sys::pool_threads();
    for (int d0 = 0; d0 < m; d0 += gram_depth) {
        const int depth = std::min(gram_depth, m - d0);
        sys::run_in_parallel(panels, workers, [&](int, int panel) {
            pack_panel(rows + d0, stride, n_, panel, depth,
                       pack_.get() + std::size_t(panel) * gram_depth * tile_columns);
        });
        // The widest column panels first, so that the last ones taken are short.
        sys::run_in_parallel(panels, workers, [&](int, int item) {
            gram_column(pack_.get(), depth, panels - 1 - item, h_.get(), ld_);
        });
    }
}

long long panel_inversion_bytes(int n) {
    const long long ld = (long long)round_up(std::size_t(n > 0 ? n : 1), tile_columns);
    return 8 * ld * (ld + 3 * panel_pivots);
}

int invert_packed_panels(int n, double* a) {
    if (n <= 0) return 0;
    const std::size_t ld = round_up(std::size_t(n), tile_columns);
    PageArray<double> full(ld * ld), w(ld * panel_pivots), t(ld * panel_pivots),
        x(ld * panel_pivots);
    if (!full.ok() || !w.ok() || !t.ok() || !x.ok()) return packed_no_memory;
    const Panels s{n, ld, full.get(), w.get(), t.get(), x.get()};
    std::size_t position = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j)
            s.at(i, j) = a[position++];
    for (int p0 = 0; p0 < n; p0 += panel_pivots) {
        const int p1 = std::min(p0 + panel_pivots, n);
        move_panel(s, p0, p1, true);
        const int failed = panel_passes(s, p0, p1);
        if (failed >= 0) return n - failed;
        move_panel(s, p0, p1, false);
        trailing_update(s, p0, p1);
    }
    position = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j)
            a[position++] = s.at(i, j);
    return 0;
}

RankOneDiagonals::RankOneDiagonals(int n, const double* c, const double* h)
    : n_(n), ld_(round_up(std::size_t(n > 0 ? n : 1), tile_rows)), c_(c), h_(h), full_(ld_ * ld_) {
    if (!full_.ok()) return;
    std::size_t position = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j, ++position) {
            full_[std::size_t(i) * ld_ + std::size_t(j)] = c[position];
            full_[std::size_t(j) * ld_ + std::size_t(i)] = c[position];
        }
}

long long RankOneDiagonals::bytes(int n, int threads) {
    const long long ld = (long long)round_up(std::size_t(n > 0 ? n : 1), tile_rows);
    return 8 * ld * ld + (long long)threads * 3 * 8 * ld * lanes;
}

RankOneDiagonals::Work::Work(int n)
    : s(round_up(std::size_t(n > 0 ? n : 1), tile_rows) * lanes),
      y(round_up(std::size_t(n > 0 ? n : 1), tile_rows) * lanes),
      sums(round_up(std::size_t(n > 0 ? n : 1), tile_rows) * lanes) {}

void RankOneDiagonals::evaluate(const float* const* rows, int count, float* out, Work& work) const {
    const int n = n_;
    double* s = work.s.get();
    for (int k = 0; k < n; ++k)
        for (int l = 0; l < lanes; ++l)
            s[std::size_t(k) * lanes + std::size_t(l)] = l < count ? double(rows[l][k]) : 0.0;
    lanes_times_matrix(full_.get(), ld_, n, s, work.y.get());
    // c = 1 / (1 + s.y) per lane, the dot product in order of k.
    double dot[lanes] = {};
    for (int k = 0; k < n; ++k)
        for (int l = 0; l < lanes; ++l)
            dot[l] += s[std::size_t(k) * lanes + std::size_t(l)] *
                      work.y[std::size_t(k) * lanes + std::size_t(l)];
    double scale[lanes];
    for (int l = 0; l < lanes; ++l)
        scale[l] = 1.0 / (1.0 + dot[l]);
    const Vec factor[2] = {load(scale), load(scale + vec_width)};
    lanes_diagonal(c_, h_, n, s, work.y.get(), factor, work.sums.get());
    for (int l = 0; l < count; ++l)
        for (int b = 0; b < n; ++b)
            out[std::size_t(l) * std::size_t(n) + std::size_t(b)] =
                float(work.sums[std::size_t(b) * lanes + std::size_t(l)]);
}

} // namespace mx

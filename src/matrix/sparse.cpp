// Compressed-subscript sparse Cholesky: entry assembly, the numeric factorisation (the general
// sparse factorisation of George and Liu) and the solves, one template body per precision.
#include "matrix/sparse.h"

#include "matrix/one_based.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/simd.h"

#include <algorithm>
#include <cmath>
#include <vector>

using mx::OneBased;

namespace {

// The compressed structure read column by column: entry t of column k lies in row
// row_of(k, t).
struct Structure {
    OneBased<const int> xlnz, xnzsub, nzsub;
    int row_of(int k, int t) const { return nzsub[xnzsub[k] + (t - xlnz[k])]; }
};

// Forward and back substitution for Lanes right-hand sides sharing each load of the factor.
// A lane sees exactly the operations of a one-lane solve, so its result does not depend on the
// other lanes. The forward pass passes over columns where every lane is still zero (their
// updates would subtract nothing); the back pass computes the rows `needed` marks, or every row
// without a mask.
template <class T, int Lanes, class R>
void solve_lanes(int first_row, int stop_row, int n, const Structure& s, const T* lnz_,
                 const T* diag_, R* const* rhs_, const unsigned char* needed = nullptr) {
    OneBased<const T> lnz(lnz_), diag(diag_);
    OneBased<R> rhs[Lanes];
    for (int l = 0; l < Lanes; ++l)
        rhs[l] = OneBased<R>(rhs_[l]);
    for (int k = std::max(first_row, 1); k <= n; ++k) {
        bool zero = true;
        for (int l = 0; l < Lanes; ++l)
            zero = zero && rhs[l][k] == R(0);
        if (zero) continue;
        const double pivot = diag[k];
        double y[Lanes];
        for (int l = 0; l < Lanes; ++l)
            rhs[l][k] = R(y[l] = rhs[l][k] / pivot);
        for (int t = s.xlnz[k]; t < s.xlnz[k + 1]; ++t) {
            const int row = s.row_of(k, t);
            const double value = lnz[t];
            for (int l = 0; l < Lanes; ++l)
                rhs[l][row] = R(rhs[l][row] - value * y[l]);
        }
    }
    for (int k = n; k >= std::max(stop_row, 1); --k) {
        if (needed && !needed[k - 1]) continue;
        double sum[Lanes];
        for (int l = 0; l < Lanes; ++l)
            sum[l] = rhs[l][k];
        for (int t = s.xlnz[k]; t < s.xlnz[k + 1]; ++t) {
            const int row = s.row_of(k, t);
            const double value = lnz[t];
            for (int l = 0; l < Lanes; ++l)
                sum[l] -= value * rhs[l][row];
        }
        const double pivot = diag[k];
        for (int l = 0; l < Lanes; ++l)
            rhs[l][k] = R(sum[l] / pivot);
    }
}

} // namespace

namespace mx {

int find_compressed_entry(int row, int column, const int* xlnz, const int* nzsub,
                          const int* xnzsub) {
    Structure s{xlnz, xnzsub, nzsub};
    for (int t = s.xlnz[column]; t < s.xlnz[column + 1]; ++t)
        if (s.row_of(column, t) == row) return t;
    return 0;
}

} // namespace mx

namespace {

// Column j of the factorisation, its earlier columns done: link[j] chains the earlier columns
// k whose next unused entry (at first[k]) lies in row j; temp gathers, by row, the updates of
// those columns to column j. False when the pivot is not positive.
template <class T>
bool factor_column(int j, const Structure& s, OneBased<T> lnz, OneBased<T> diag, OneBased<int> link,
                   OneBased<int> first, OneBased<T> temp) {
    double sum = 0.0;
    for (int k = link[j]; k != 0;) {
        const int next_k = link[k];
        const int t_first = first[k];
        const T l_jk = lnz[t_first];
        sum += double(l_jk) * double(l_jk);
        const int t_last = s.xlnz[k + 1] - 1;
        if (t_first < t_last) {
            first[k] = t_first + 1;
            const int row = s.row_of(k, t_first + 1);
            link[k] = link[row];
            link[row] = k;
            for (int t = t_first + 1; t <= t_last; ++t)
                temp[s.row_of(k, t)] += lnz[t] * l_jk;
        }
        k = next_k;
    }
    const double pivot = double(diag[j]) - sum;
    if (!(pivot > 0.0)) return false;
    diag[j] = T(std::sqrt(pivot));
    const int t_begin = s.xlnz[j], t_end = s.xlnz[j + 1];
    if (t_begin < t_end) {
        first[j] = t_begin;
        const int row = s.row_of(j, t_begin);
        link[j] = link[row];
        link[row] = j;
        const T d = diag[j];
        for (int t = t_begin; t < t_end; ++t) {
            const int r = s.row_of(j, t);
            lnz[t] = (lnz[t] - temp[r]) / d;
            temp[r] = T(0);
        }
    }
    return true;
}

} // namespace

namespace mx {

template <class T>
int sparse_factor(int n, const int* xlnz, T* lnz_, const int* xnzsub, const int* nzsub, T* diag_,
                  int* link_, int* first_, T* temp_) {
    const Structure s{xlnz, xnzsub, nzsub};
    OneBased<T> lnz(lnz_), diag(diag_), temp(temp_);
    OneBased<int> link(link_), first(first_);
    for (int k = 1; k <= n; ++k) {
        link[k] = 0;
        first[k] = 0;
        temp[k] = T(0);
    }
    for (int j = 1; j <= n; ++j)
        if (!factor_column<T>(j, s, lnz, diag, link, first, temp)) return j;
    return 0;
}

bool sparse_factor_parts(int n, const int* xlnz, const int* parent, unsigned char* part) {
    // Children of each column, and the roots.
    std::vector<int> children(std::size_t(n) + 1, 0), roots;
    for (int k = 1; k <= n; ++k) {
        if (parent[k - 1] == 0)
            roots.push_back(k);
        else
            ++children[std::size_t(parent[k - 1])];
    }
    if (roots.size() != 1) return false;
    // Down the chain of single children from the root to the first column with more.
    std::vector<int> child_of(std::size_t(n) + 1, 0);
    for (int k = 1; k <= n; ++k)
        if (parent[k - 1] != 0) child_of[std::size_t(parent[k - 1])] = k;
    int branch = roots[0];
    while (children[std::size_t(branch)] == 1)
        branch = child_of[std::size_t(branch)];
    if (children[std::size_t(branch)] < 2) return false;
    // The work of column k goes with the square of its entries; a subtree's is its columns'.
    // Children come before parents, so one pass upwards sums the subtrees.
    std::vector<double> work(std::size_t(n) + 1, 0.0);
    for (int k = 1; k <= n; ++k) {
        const double entries = double(xlnz[k] - xlnz[k - 1]) + 1.0;
        work[std::size_t(k)] += entries * entries;
        if (parent[k - 1] != 0) work[std::size_t(parent[k - 1])] += work[std::size_t(k)];
    }
    // The branch's subtrees, heaviest first, each to the lighter part so far.
    std::vector<int> tops;
    for (int k = 1; k <= n; ++k)
        if (parent[k - 1] == branch) tops.push_back(k);
    std::stable_sort(tops.begin(), tops.end(),
                     [&](int a, int b) { return work[std::size_t(a)] > work[std::size_t(b)]; });
    std::vector<unsigned char> of(std::size_t(n) + 1, 0);
    double load[3] = {0.0, 0.0, 0.0};
    for (int c : tops) {
        const unsigned char p = load[1] <= load[2] ? 1 : 2;
        of[std::size_t(c)] = p;
        load[p] += work[std::size_t(c)];
    }
    // A column's part is its subtree top's: parents come after children, so downwards from n.
    for (int k = n; k >= 1; --k) {
        const int up = parent[k - 1];
        if (of[std::size_t(k)] == 0 && up != 0 && up != branch)
            of[std::size_t(k)] = of[std::size_t(up)];
        part[k - 1] = of[std::size_t(k)];
    }
    return true;
}

template <class T>
int sparse_factor_part(int p, const unsigned char* part, int n, const int* xlnz, T* lnz_,
                       const int* xnzsub, const int* nzsub, T* diag_, int* link_, int* first_,
                       T* temp_, bool fresh) {
    const Structure s{xlnz, xnzsub, nzsub};
    OneBased<T> lnz(lnz_), diag(diag_), temp(temp_);
    OneBased<int> link(link_), first(first_);
    if (fresh)
        for (int k = 1; k <= n; ++k) {
            link[k] = 0;
            temp[k] = T(0);
        }
    for (int j = 1; j <= n; ++j)
        if (part[j - 1] == p && !factor_column<T>(j, s, lnz, diag, link, first, temp)) return j;
    return 0;
}

template <class T>
int sparse_factor_rest(const unsigned char* part, int n, const int* xlnz, T* lnz_,
                       const int* xnzsub, const int* nzsub, T* diag_, int* link_, const int* link2_,
                       int* first_, T* temp_) {
    const Structure s{xlnz, xnzsub, nzsub};
    OneBased<T> lnz(lnz_), diag(diag_), temp(temp_);
    OneBased<int> link(link_), first(first_);
    // The column that put column k on its present chain: k itself when that is its first
    // entry's row, else the row of its entry before.
    const auto put_by = [&](int k) {
        return first[k] == s.xlnz[k] ? k : s.row_of(k, first[k] - 1);
    };
    // A chain of a remaining column holds columns of both parts, each part's in the order one
    // thread would have put them there, latest first: ordered by the column that put them
    // (stably: one column puts several), they stand as after one thread.
    std::vector<int> chain;
    for (int j = 1; j <= n; ++j) {
        if (part[j - 1] != 0) continue;
        chain.clear();
        for (int k = link[j]; k != 0; k = link[k])
            chain.push_back(k);
        if (link2_)
            for (int k = link2_[j - 1]; k != 0; k = link2_[k - 1])
                chain.push_back(k);
        std::stable_sort(chain.begin(), chain.end(),
                         [&](int a, int b) { return put_by(a) > put_by(b); });
        int last = 0;
        for (int k : chain) {
            if (last == 0)
                link[j] = k;
            else
                link[last] = k;
            last = k;
        }
        if (last == 0)
            link[j] = 0;
        else
            link[last] = 0;
    }
    for (int j = 1; j <= n; ++j)
        if (part[j - 1] == 0 && !factor_column<T>(j, s, lnz, diag, link, first, temp)) return j;
    return 0;
}

template <class T, class R>
void sparse_solve(int first_row, int stop_row, int n, const int* xlnz, const T* lnz,
                  const int* xnzsub, const int* nzsub, const T* diag, R* rhs) {
    R* const lanes[1] = {rhs};
    solve_lanes<T, 1>(first_row, stop_row, n, Structure{xlnz, xnzsub, nzsub}, lnz, diag, lanes);
}

template int sparse_factor_part<double>(int, const unsigned char*, int, const int*, double*,
                                        const int*, const int*, double*, int*, int*, double*, bool);
template int sparse_factor_rest<double>(const unsigned char*, int, const int*, double*, const int*,
                                        const int*, double*, int*, const int*, int*, double*);
template int sparse_factor<double>(int, const int*, double*, const int*, const int*, double*, int*,
                                   int*, double*);
template int sparse_factor<float>(int, const int*, float*, const int*, const int*, float*, int*,
                                  int*, float*);
template void sparse_solve<double, double>(int, int, int, const int*, const double*, const int*,
                                           const int*, const double*, double*);
template void sparse_solve<float, double>(int, int, int, const int*, const float*, const int*,
                                          const int*, const float*, double*);
template void sparse_solve<float, float>(int, int, int, const int*, const float*, const int*,
                                         const int*, const float*, float*);

} // namespace mx

namespace {

// Adds value to entry (invp[i], invp[j]) of a factor of element type T (see
// add_sparse_entry_dbl).
template <class T>
int add_sparse_entry(T value, T* lnz, int i, int j, T* diag, const int* xlnz, const int* nzsub,
                     const int* xnzsub, const int* invp_) {
    OneBased<const int> invp(invp_);
    const int a = invp[i], b = invp[j];
    if (a == b) {
        OneBased<T>{diag}[a] += value;
        return 0;
    }
    const int t = mx::find_compressed_entry(std::max(a, b), std::min(a, b), xlnz, nzsub, xnzsub);
    if (t == 0) return 1;
    OneBased<T>{lnz}[t] += value;
    return 0;
}

} // namespace

int add_sparse_entry_dbl(double value, double* lnz, int i, int j, double* diag, const int* xlnz,
                         const int* nzsub, const int* xnzsub, const int* invp) {
    return add_sparse_entry(value, lnz, i, j, diag, xlnz, nzsub, xnzsub, invp);
}

int add_sparse_entry_flt(float* lnz, int i, int j, float value, float* diag, const int* xlnz,
                         const int* nzsub, const int* xnzsub, const int* perm) {
    return add_sparse_entry(value, lnz, i, j, diag, xlnz, nzsub, xnzsub, perm);
}

int set_compressed_entry(float value, int i, int j, float* diag, float* lnz, const int* xlnz,
                         const int* nzsub, const int* xnzsub, const int* invp_) {
    OneBased<const int> invp(invp_);
    const int a = invp[i], b = invp[j];
    if (a == b) {
        OneBased<float>{diag}[a] = value;
        return 0;
    }
    const int t = mx::find_compressed_entry(std::max(a, b), std::min(a, b), xlnz, nzsub, xnzsub);
    if (t == 0) return 2;
    OneBased<float>{lnz}[t] = value;
    return 1;
}

int fact_sparse_dbl(int n, const int* xlnz, double* lnz, const int* xnzsub, const int* nzsub,
                    double* diag, int* link, int* first, double* temp) {
    return mx::sparse_factor(n, xlnz, lnz, xnzsub, nzsub, diag, link, first, temp);
}

void solve_sparse_dbl(int first_row, int stop_row, int n, const int* xlnz, const double* lnz,
                      const int* xnzsub, const int* nzsub, const double* diag, double* rhs) {
    mx::sparse_solve(first_row, stop_row, n, xlnz, lnz, xnzsub, nzsub, diag, rhs);
}

void solve4_sparse_dbl(int first_a, int stop_a, int first_b, int stop_b, int first_c, int stop_c,
                       int first_d, int stop_d, int n, const int* xlnz, const double* lnz,
                       const int* xnzsub, const int* nzsub, const double* diag, double* rhs_a,
                       double* rhs_b, double* rhs_c, double* rhs_d) {
    double* const lanes[4] = {rhs_a, rhs_b, rhs_c, rhs_d};
    const int first = std::min(std::min(first_a, first_b), std::min(first_c, first_d));
    const int stop = std::min(std::min(stop_a, stop_b), std::min(stop_c, stop_d));
    solve_lanes<double, 4>(first, stop, n, Structure{xlnz, xnzsub, nzsub}, lnz, diag, lanes);
}

void sparse_tree_parents(int n, const int* xlnz, const int* xnzsub, const int* nzsub, int* parent) {
    const Structure s{xlnz, xnzsub, nzsub};
    for (int k = 1; k <= n; ++k)
        parent[k - 1] = s.xlnz[k] < s.xlnz[k + 1] ? s.row_of(k, s.xlnz[k]) : 0;
}

void mark_tree_ancestors(int count, const int* rows, const int* parent, unsigned char* needed) {
    for (int i = 0; i < count; ++i)
        for (int k = rows[i]; k != 0 && !needed[k - 1]; k = parent[k - 1])
            needed[k - 1] = 1;
}

void solve_sparse_rows_dbl(int count, int first_row, int n, const int* xlnz, const double* lnz,
                           const int* xnzsub, const int* nzsub, const double* diag,
                           const unsigned char* needed, double* const* rhs) {
    const Structure s{xlnz, xnzsub, nzsub};
    int b = 0;
    for (; b + 4 <= count; b += 4)
        solve_lanes<double, 4>(first_row, 1, n, s, lnz, diag, rhs + b, needed);
    for (; b < count; ++b)
        solve_lanes<double, 1>(first_row, 1, n, s, lnz, diag, rhs + b, needed);
}

int sparse_tree_height(int n, const int* parent) {
    std::vector<int> depth(std::size_t(n) + 1, 0);
    int height = 0;
    // A parent comes after its children: depths from the roots down.
    for (int k = n; k >= 1; --k) {
        depth[std::size_t(k)] = parent[k - 1] != 0 ? depth[std::size_t(parent[k - 1])] + 1 : 1;
        height = std::max(height, depth[std::size_t(k)]);
    }
    return height;
}

int sparse_inverse_entries_dbl(int count, const int* rows, int n, const int* xlnz,
                               const double* lnz, const int* xnzsub, const int* nzsub,
                               const double* diag, const int* parent, double* packed,
                               std::size_t capacity, int* path_rows, double* path_values,
                               double* work) {
    (void)n; // work's size
    std::vector<std::size_t> begin;
    if (!mx::inverse_paths(count, rows, parent, capacity, begin)) return 1;
    const mx::TreeFactor factor{xlnz, lnz, xnzsub, nzsub, diag, parent};
    mx::inverse_columns(0, count, rows, factor, begin.data(), path_rows, path_values, work);
    mx::inverse_products(1, count, begin.data(), path_rows, path_values, packed);
    return 0;
}

namespace mx {

bool inverse_paths(int count, const int* rows, const int* parent, std::size_t capacity,
                   std::vector<std::size_t>& begin) {
    begin.assign(std::size_t(count) + 1, 0);
    for (int i = 0; i < count; ++i) {
        std::size_t length = 0;
        for (int k = rows[i]; k != 0; k = parent[k - 1])
            ++length;
        begin[std::size_t(i) + 1] = begin[std::size_t(i)] + length;
    }
    return begin.back() <= capacity;
}

namespace {

// The paths of up to four rows side by side, their values in the lanes of the interleaved work
// vector (row k's lane l at work[4 (k - 1) + l], zero outside the paths): y = L⁻¹ e along each
// path, the row furthest behind stepping first, so that once all four paths meet the rest of the
// way is taken by all four at once, each column loaded once for them. Every lane sees the
// operations of its own path in its order.
class PathWalk {
  public:
    PathWalk(const TreeFactor& f, int* path_rows, double* path_values, double* work)
        : f_(f), s_{f.xlnz, f.xnzsub, f.nzsub}, rows_(path_rows), values_(path_values),
          work_(work) {}

    void walk(int lanes, const int* rows, const std::size_t* begin) {
        int at[4];
        std::size_t next[4];
        for (int l = 0; l < lanes; ++l) {
            at[l] = rows[l];
            next[l] = begin[l];
            work_[index(rows[l], l)] = 1.0;
        }
        for (;;) {
            int lowest = -1;
            bool met = lanes == 4 && at[0] != 0;
            for (int l = 0; l < lanes; ++l) {
                met = met && at[l] == at[0];
                if (at[l] != 0 && (lowest < 0 || at[l] < at[lowest])) lowest = l;
            }
            if (lowest < 0) return;
            if (met) {
                const int k = at[0];
                together(k, next);
                for (int l = 0; l < 4; ++l)
                    at[l] = f_.parent[k - 1];
                continue;
            }
            const int k = at[lowest];
            alone(k, lowest, next[lowest]++);
            at[lowest] = f_.parent[k - 1];
        }
    }

  private:
    static std::size_t index(int k, int l) { return 4 * std::size_t(k - 1) + std::size_t(l); }

    void alone(int k, int l, std::size_t at) {
        const double y = work_[index(k, l)] / f_.diag[k - 1];
        work_[index(k, l)] = 0.0;
        rows_[at] = k;
        values_[at] = y;
        for (int t = s_.xlnz[k]; t < s_.xlnz[k + 1]; ++t)
            work_[index(s_.row_of(k, t), l)] -= f_.lnz[t - 1] * y;
    }

    void together(int k, std::size_t* next) {
        double* here = work_ + index(k, 0);
        const sys::Double2 d = sys::broadcast2(f_.diag[k - 1]);
        const sys::Double2 y01 = sys::load2(here) / d, y23 = sys::load2(here + 2) / d;
        sys::store2(here, sys::broadcast2(0.0));
        sys::store2(here + 2, sys::broadcast2(0.0));
        for (int l = 0; l < 4; ++l) {
            rows_[next[l]] = k;
            values_[next[l]++] = sys::lane(l < 2 ? y01 : y23, l % 2);
        }
        for (int t = s_.xlnz[k]; t < s_.xlnz[k + 1]; ++t) {
            double* w = work_ + index(s_.row_of(k, t), 0);
            const sys::Double2 c = sys::broadcast2(f_.lnz[t - 1]);
            sys::store2(w, sys::load2(w) - c * y01);
            sys::store2(w + 2, sys::load2(w + 2) - c * y23);
        }
    }

    const TreeFactor& f_;
    Structure s_;
    int* rows_;
    double* values_;
    double* work_;
};

} // namespace

void inverse_columns(int first, int last, const int* rows, const TreeFactor& f,
                     const std::size_t* begin, int* path_rows, double* path_values, double* work) {
    // y_i = L⁻¹ e_i is non-zero on row i's path only: the forward pass along it, four rows at a
    // time, work (zero outside the paths) cleared as it goes.
    PathWalk paths(f, path_rows, path_values, work);
    for (int i = first; i < last; i += 4)
        paths.walk(std::min(4, last - i), rows + i, begin + i);
}

namespace {

// The sum over the last `length` values before the ends a and b (from the ends down), added to
// `sum`: the product of two paths over the rows they share.
inline double suffix_dot(const double* a, const double* b, int from, int length, double sum) {
    for (int t = from + 1; t <= length; ++t)
        sum += a[-t] * b[-t];
    return sum;
}

// Pairs (i0 + k, j0 + l), k, l < 4, all with i < j: sixteen sums side by side over the rows all
// sixteen pairs share (two pairs of one i an instruction; each pair summed in its own order, from
// the root down), then each pair on to its own end. Every row of the paths loaded once for four
// pairs.
template <class Common>
void tile_products(int i0, int j0, const std::size_t* begin, const Common& common,
                   const double* path_values, double* packed) {
    const double *a[4], *b[4];
    int length[4][4], shortest = -1;
    for (int k = 0; k < 4; ++k) {
        a[k] = path_values + begin[i0 + k + 1];
        b[k] = path_values + begin[j0 + k + 1];
    }
    for (int k = 0; k < 4; ++k)
        for (int l = 0; l < 4; ++l) {
            length[k][l] = common(i0 + k, j0 + l);
            shortest = shortest < 0 ? length[k][l] : std::min(shortest, length[k][l]);
        }
    sys::Double2 sum[4][2];
    for (auto& row : sum)
        row[0] = row[1] = sys::broadcast2(0.0);
    for (int t = 1; t <= shortest; ++t) {
        const sys::Double2 b01 = sys::pair2(b[0][-t], b[1][-t]),
                           b23 = sys::pair2(b[2][-t], b[3][-t]);
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            const sys::Double2 y = sys::broadcast2(a[k][-t]);
            sum[k][0] = sum[k][0] + y * b01;
            sum[k][1] = sum[k][1] + y * b23;
        }
    }
    for (int k = 0; k < 4; ++k)
        for (int l = 0; l < 4; ++l) {
            const int j = j0 + l;
            packed[std::size_t(j) * (j - 1) / 2 + std::size_t(i0 + k)] =
                suffix_dot(a[k], b[l], shortest, length[k][l], sys::lane(sum[k][l / 2], l % 2));
        }
}

// The packed entries of pair (i, j) for i < j with j in j_first..j_last-1: the products of the
// two paths over the `common(i, j)` rows they share, summed from the root down; the pairs in
// tiles of four by four where they fill one.
template <class Common>
void suffix_products(int j_first, int j_last, const std::size_t* begin, const Common& common,
                     const double* path_values, double* packed) {
    int j0 = j_first;
    for (; j0 + 4 <= j_last; j0 += 4) {
        int i0 = 0;
        for (; i0 + 4 <= j0; i0 += 4)
            tile_products(i0, j0, begin, common, path_values, packed);
        for (int j = j0; j < j0 + 4; ++j)
            for (int i = i0; i < j; ++i)
                packed[std::size_t(j) * (j - 1) / 2 + std::size_t(i)] = suffix_dot(
                    path_values + begin[i + 1], path_values + begin[j + 1], 0, common(i, j), 0.0);
    }
    for (int j = j0; j < j_last; ++j)
        for (int i = 0; i < j; ++i)
            packed[std::size_t(j) * (j - 1) / 2 + std::size_t(i)] = suffix_dot(
                path_values + begin[i + 1], path_values + begin[j + 1], 0, common(i, j), 0.0);
}

} // namespace

void inverse_products(int j_first, int j_last, const std::size_t* begin, const int* path_rows,
                      const double* path_values, double* packed) {
    // The rows two paths share: their common end, from the root down.
    const auto common = [&](int i, int j) {
        std::size_t a = begin[i + 1], b = begin[j + 1];
        while (a > begin[i] && b > begin[j] && path_rows[a - 1] == path_rows[b - 1])
            --a, --b;
        return int(begin[i + 1] - a);
    };
    suffix_products(j_first, j_last, begin, common, path_values, packed);
}

} // namespace mx

int solve_sparse_flt(int first_row, int stop_row, int n, const int* xlnz, const float* lnz,
                     const int* xnzsub, const int* nzsub, const float* diag, float* rhs) {
    sys::PageArray<double> values(n);
    if (!values.ok()) return 1;
    std::copy(rhs, rhs + n, values.get());
    mx::sparse_solve(first_row, stop_row, n, xlnz, lnz, xnzsub, nzsub, diag, values.get());
    for (int k = 0; k < n; ++k)
        rhs[k] = float(values[k]);
    return 0;
}

int sparse_cholesky_solve_flt(int first_row, int stop_row, int n, const int* xlnz, const float* lnz,
                              const int* xnzsub, const int* nzsub, const float* diag, float* rhs) {
    return solve_sparse_flt(first_row, stop_row, n, xlnz, lnz, xnzsub, nzsub, diag, rhs);
}

int add_compressed_entry_dbl(double* lnz, int i, int j, double value, const int* xlnz,
                             const int* nzsub, const int* xnzsub, const int* perm_) {
    OneBased<const int> perm(perm_);
    const int a = perm[i], b = perm[j];
    if (a == b) return 1;
    const int t = mx::find_compressed_entry(std::max(a, b), std::min(a, b), xlnz, nzsub, xnzsub);
    if (t == 0) return 1;
    OneBased<double>{lnz}[t] += value;
    return 0;
}

void compressed_cholesky_float(int n, const int* xlnz, float* lnz, const int* xnzsub,
                               const int* nzsub, float* diag, int* link, int* first, float* temp,
                               int* flag) {
    *flag = mx::sparse_factor(n, xlnz, lnz, xnzsub, nzsub, diag, link, first, temp);
}

void compressed_solve_dbl_rhs(int first_row, int last_row, int n, const int* xlnz, const float* lnz,
                              const int* xnzsub, const int* nzsub, const float* diag, double* rhs) {
    mx::sparse_solve(first_row, last_row, n, xlnz, lnz, xnzsub, nzsub, diag, rhs);
}

void compressed_solve_float(int first_row, int last_row, int n, const int* xlnz, const float* lnz,
                            const int* xnzsub, const int* nzsub, const float* diag, float* rhs) {
    mx::sparse_solve(first_row, last_row, n, xlnz, lnz, xnzsub, nzsub, diag, rhs);
}

void permute_float_vector(float* work, float* vec, const int* perm, int n) {
    permute_vector(work, vec, perm, n);
}

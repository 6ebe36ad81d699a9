// Compressed-subscript sparse Cholesky: entry assembly, the numeric factorisation (the general
// sparse factorisation of George and Liu) and the solves, one template body per precision.
#include "matrix/sparse.h"

#include "matrix/one_based.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"

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

void inverse_columns(int first, int last, const int* rows, const TreeFactor& f,
                     const std::size_t* begin, int* path_rows, double* path_values, double* work) {
    const Structure s{f.xlnz, f.xnzsub, f.nzsub};
    // y_i = L⁻¹ e_i is non-zero on row i's path only: the forward pass along it, work (zero
    // outside the path) cleared as it goes.
    OneBased<double> w(work);
    OneBased<const double> l(f.lnz), d(f.diag);
    for (int i = first; i < last; ++i) {
        std::size_t at = begin[i];
        w[rows[i]] = 1.0;
        for (int k = rows[i]; k != 0; k = f.parent[k - 1], ++at) {
            const double y = w[k] / d[k];
            w[k] = 0.0;
            path_rows[at] = k;
            path_values[at] = y;
            for (int t = s.xlnz[k]; t < s.xlnz[k + 1]; ++t)
                w[s.row_of(k, t)] -= l[t] * y;
        }
    }
}

void inverse_products(int j_first, int j_last, const std::size_t* begin, const int* path_rows,
                      const double* path_values, double* packed) {
    // (A⁻¹)_ij = y_i · y_j, summed over the common end of the two paths from the root down.
    std::size_t p = std::size_t(j_first) * (j_first - 1) / 2;
    for (int j = j_first; j < j_last; ++j)
        for (int i = 0; i < j; ++i) {
            std::size_t a = begin[i + 1], b = begin[j + 1];
            double sum = 0.0;
            while (a > begin[i] && b > begin[j] && path_rows[a - 1] == path_rows[b - 1]) {
                --a, --b;
                sum += path_values[a] * path_values[b];
            }
            packed[p++] = sum;
        }
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

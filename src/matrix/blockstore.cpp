// Tree-partitioned block storage: quotient tree, envelopes of the diagonal blocks, off-block
// non-zeros, assembly, factorisation and solve (the tree-partitioned procedures of George and
// Liu, 1981, with the envelope routines of matrix/envelope.h).
#include "matrix/blockstore.h"

#include "matrix/envelope.h"
#include "matrix/one_based.h"
#include "platform/sys/page_array.h"

#include <algorithm>

using mx::OneBased;
using sys::PageArray;

namespace {

int row_count(int nblks, const int* xblk) {
    return OneBased<const int>(xblk)[nblks + 1] - 1;
}

int envelope_of_blocks(const int* xadj_, const int* adjncy_, const int* perm_, const int* invp_,
                       int nblks, const int* xblk_, int* xenv_, int* block_of_row_,
                       int* first_touch_) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_), perm(perm_), invp(invp_), xblk(xblk_);
    OneBased<int> xenv(xenv_), block_of_row(block_of_row_), first_touch(first_touch_);
    for (int b = 1; b <= nblks; ++b)
        for (int i = xblk[b]; i < xblk[b + 1]; ++i)
            block_of_row[i] = b;
    int pointer = 1;
    for (int k = 1; k <= nblks; ++k) {
        const int begin = xblk[k], end = xblk[k + 1] - 1;
        // The first row of this block that touches each earlier block: the elimination of that
        // block fills in between every pair of rows it touches.
        for (int i = end; i >= begin; --i) {
            const int node = perm[i];
            for (int j = xadj[node]; j < xadj[node + 1]; ++j) {
                const int column = invp[adjncy[j]];
                if (column < begin) first_touch[block_of_row[column]] = i;
            }
        }
        for (int i = begin; i <= end; ++i) {
            xenv[i] = pointer;
            const int node = perm[i];
            int first = i;
            for (int j = xadj[node]; j < xadj[node + 1]; ++j) {
                const int column = invp[adjncy[j]];
                first =
                    std::min(first, column < begin ? first_touch[block_of_row[column]] : column);
            }
            pointer += i - first;
        }
    }
    xenv[row_count(nblks, xblk_) + 1] = pointer;
    return pointer - 1;
}

int off_block_nonzeros(const int* xadj_, const int* adjncy_, const int* perm_, const int* invp_,
                       int nblks, const int* xblk_, int* xnonz_, int* nzsubs_, int capacity,
                       bool sorted) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_), perm(perm_), invp(invp_), xblk(xblk_);
    OneBased<int> xnonz(xnonz_), nzsubs(nzsubs_);
    int count = 0;
    for (int k = 1; k <= nblks; ++k) {
        const int begin = xblk[k];
        for (int i = begin; i < xblk[k + 1]; ++i) {
            xnonz[i] = count + 1;
            const int node = perm[i];
            for (int j = xadj[node]; j < xadj[node + 1]; ++j) {
                const int column = invp[adjncy[j]];
                if (column >= begin) continue;
                if (++count <= capacity) nzsubs[count] = column;
            }
            if (sorted && count <= capacity)
                insertion_sort_int(count + 1 - xnonz[i], nzsubs.at(xnonz[i]));
        }
    }
    xnonz[row_count(nblks, xblk_) + 1] = count + 1;
    return count;
}

// The view of the storage that the factorisation and the solve share.
struct BlockStore {
    OneBased<const int> xblk, xenv, xnonz, nzsubs;
    OneBased<const float> nonz;

    int begin(int k) const { return xblk[k]; }
    int size(int k) const { return xblk[k + 1] - xblk[k]; }
    /// Σ nonz(i, c)·v[c] over row i's off-block entries whose column lies in [from, to].
    double product(int i, const float* v_, int from, int to) const {
        OneBased<const float> v(v_);
        double sum = 0.0;
        for (int t = xnonz[i]; t < xnonz[i + 1]; ++t) {
            const int c = nzsubs[t];
            if (c >= from && c <= to) sum += double(nonz[t]) * double(v[c]);
        }
        return sum;
    }
    /// Solves the factored diagonal block k in place on v (its rows, global numbering).
    void solve_block(int k, const float* env, const float* diag_, float* v_) const {
        OneBased<float> v(v_);
        OneBased<const float> diag(diag_);
        envelope_lower_solve(size(k), xenv.at(begin(k)), env, diag.at(begin(k)), v.at(begin(k)));
        envelope_upper_solve(size(k), xenv.at(begin(k)), env, diag.at(begin(k)), v.at(begin(k)), 1);
    }
};

} // namespace

void insertion_sort_int(int n, int* v_) {
    OneBased<int> v(v_);
    for (int k = 2; k <= n; ++k) {
        const int value = v[k];
        int l = k - 1;
        while (l >= 1 && v[l] > value) {
            v[l + 1] = v[l];
            --l;
        }
        v[l + 1] = value;
    }
}

void find_tree_adjacency_1wd(const int* xadj_, const int* adjncy_, const int* perm_, int nblks,
                             const int* xblk_, int* father_, int* bnum_) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_), perm(perm_), xblk(xblk_);
    OneBased<int> father(father_), bnum(bnum_);
    for (int k = 1; k <= nblks; ++k)
        for (int i = xblk[k]; i < xblk[k + 1]; ++i)
            bnum[perm[i]] = k;
    for (int k = 1; k <= nblks; ++k) {
        father[k] = 0;
        for (int i = xblk[k]; i < xblk[k + 1] && father[k] == 0; ++i) {
            const int node = perm[i];
            for (int j = xadj[node]; j < xadj[node + 1]; ++j)
                if (bnum[adjncy[j]] > k) {
                    father[k] = bnum[adjncy[j]];
                    break;
                }
        }
    }
}

void fntadjs(const int* xadj, const int* adjncy, const int* perm, int nblks, const int* xblk,
             int* father, int* bnum) {
    find_tree_adjacency_1wd(xadj, adjncy, perm, nblks, xblk, father, bnum);
}

int find_tree_envelope_1wd(const int* xadj, const int* adjncy, const int* perm, const int* invp,
                           int nblks, const int* xblk, int* xenv, int* block_of_row,
                           int* first_touch) {
    const int n = row_count(nblks, xblk);
    std::fill(block_of_row, block_of_row + n, 0);
    std::fill(first_touch, first_touch + n, 1);
    return envelope_of_blocks(xadj, adjncy, perm, invp, nblks, xblk, xenv, block_of_row,
                              first_touch);
}

int fntenv(const int* xadj, const int* adjncy, const int* perm, const int* invp, int nblks,
           const int* xblk, int* xenv) {
    const int n = row_count(nblks, xblk);
    PageArray<int> block_of_row(n), first_touch(n);
    if (!block_of_row.ok() || !first_touch.ok()) return -1;
    return envelope_of_blocks(xadj, adjncy, perm, invp, nblks, xblk, xenv, block_of_row.get(),
                              first_touch.get());
}

int find_off_block_nonzeros_1wd(const int* xadj, const int* adjncy, const int* perm,
                                const int* invp, int nblks, const int* xblk, int* xnonz,
                                int* nzsubs, int capacity) {
    return off_block_nonzeros(xadj, adjncy, perm, invp, nblks, xblk, xnonz, nzsubs, capacity,
                              false);
}

int fnofnzs(const int* xadj, const int* adjncy, const int* perm, const int* invp, int nblks,
            const int* xblk, int* xnonz, int* nzsubs, int capacity) {
    return off_block_nonzeros(xadj, adjncy, perm, invp, nblks, xblk, xnonz, nzsubs, capacity, true);
}

int add_block_sparse_entry(int i, int j, float value, const int* invp_, float* diag,
                           const int* xenv_, float* env, const int* xnonz_, const int* nzsubs_,
                           float* nonz) {
    OneBased<const int> invp(invp_), xenv(xenv_), xnonz(xnonz_), nzsubs(nzsubs_);
    const int a = invp[i], b = invp[j];
    if (a == b) {
        OneBased<float>(diag)[a] += value;
        return 0;
    }
    const int r = std::max(a, b), c = std::min(a, b);
    const int position = xenv[r + 1] - r + c;
    if (position >= xenv[r]) {
        OneBased<float>(env)[position] += value;
        return 0;
    }
    if (xnonz[r] >= xnonz[r + 1]) return 5;
    for (int t = xnonz[r]; t < xnonz[r + 1]; ++t)
        if (nzsubs[t] == c) {
            OneBased<float>(nonz)[t] += value;
            return 0;
        }
    return 4;
}

int block_sparse_factor(int nblks, const int* xblk_, const int* father_, float* diag_,
                        const int* xenv_, float* env_, const int* xnonz, const float* nonz,
                        const int* nzsubs, int* flag) {
    OneBased<const int> xblk(xblk_), father(father_), xenv(xenv_);
    OneBased<float> diag(diag_), env(env_);
    const int n = row_count(nblks, xblk_);
    PageArray<float> column(n + 1);
    PageArray<int> rows(n + 1);
    if (!column.ok() || !rows.ok()) {
        *flag = -1;
        return -1;
    }
    BlockStore s{xblk_, xenv_, xnonz, nzsubs, nonz};
    OneBased<float> v(column.get());
    *flag = 0;
    for (int k = 1; k <= nblks; ++k) {
        const int begin = s.begin(k), size = s.size(k), end = begin + size - 1;
        if (int r = envelope_factor(size, xenv.at(begin), env_, diag.at(begin))) {
            *flag = k;
            return r;
        }
        const int f = father[k];
        if (f == 0) continue;
        // The father's rows that touch block k; every pair of them is inside the father's
        // envelope. Each of them, as a column, is solved with block k and taken off the rows
        // from it downward: A_ff -= A_fk·A_kk⁻¹·A_kf.
        int count = 0;
        for (int i = s.begin(f); i < s.begin(f) + s.size(f); ++i)
            for (int t = s.xnonz[i]; t < s.xnonz[i + 1]; ++t)
                if (s.nzsubs[t] >= begin && s.nzsubs[t] <= end) {
                    rows[count++] = i;
                    break;
                }
        for (int a = 0; a < count; ++a) {
            const int col = rows[a];
            std::fill(v.at(begin), v.at(end) + 1, 0.0f);
            for (int t = s.xnonz[col]; t < s.xnonz[col + 1]; ++t)
                if (s.nzsubs[t] >= begin && s.nzsubs[t] <= end) v[s.nzsubs[t]] = s.nonz[t];
            s.solve_block(k, env_, diag_, column.get());
            for (int b = a; b < count; ++b) {
                const int row = rows[b];
                const float update = float(s.product(row, column.get(), begin, end));
                if (row == col) {
                    diag[row] -= update;
                    continue;
                }
                const int position = xenv[row + 1] - row + col;
                if (position >= xenv[row]) env[position] -= update;
            }
        }
    }
    return 0;
}

int block_sparse_solve(int nblks, const int* xblk_, const float* diag, const int* xenv_,
                       const float* env, const int* xnonz, const float* nonz, const int* nzsubs,
                       float* rhs_) {
    const int n = row_count(nblks, xblk_);
    PageArray<float> work(n + 1);
    if (!work.ok()) return 1;
    BlockStore s{xblk_, xenv_, xnonz, nzsubs, nonz};
    OneBased<float> rhs(rhs_), temp(work.get());
    for (int k = 1; k <= nblks; ++k) {
        const int begin = s.begin(k), end = begin + s.size(k) - 1;
        for (int i = begin; i <= end; ++i)
            rhs[i] = float(double(rhs[i]) - s.product(i, rhs_, 1, begin - 1));
        s.solve_block(k, env, diag, rhs_);
    }
    // Backward: temp gathers, for the rows of earlier blocks, the products of the off-block
    // entries with the final values of the later rows.
    for (int k = nblks; k >= 1; --k) {
        const int begin = s.begin(k), end = begin + s.size(k) - 1;
        bool touched = false;
        for (int i = begin; i <= end && !touched; ++i)
            touched = temp[i] != 0.0f;
        if (touched) {
            s.solve_block(k, env, diag, work.get());
            for (int i = begin; i <= end; ++i)
                rhs[i] -= temp[i];
        }
        for (int i = begin; i <= end; ++i)
            for (int t = s.xnonz[i]; t < s.xnonz[i + 1]; ++t)
                temp[s.nzsubs[t]] += s.nonz[t] * rhs[i];
    }
    return 0;
}

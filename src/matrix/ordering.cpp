// Level structures, pseudo-peripheral nodes, reverse Cuthill-McKee, nested dissection and the
// symbolic factorisation (the graph algorithms of George and Liu, 1981).
#include "matrix/ordering.h"

#include "matrix/one_based.h"
#include "platform/sys/page_array.h"

#include <cstdlib>
#include <utility>

using mx::OneBased;
using sys::PageArray;

namespace {

// The visited mark of the searches: a node is marked by negating its xadj entry, so the start of
// its list is -xadj[v] while marked and the end of the list is |xadj[v+1]| - 1 at any time.
void flip_marks(OneBased<int> xadj, OneBased<int> nodes, int first, int last) {
    for (int i = first; i <= last; ++i)
        xadj[nodes[i]] = -xadj[nodes[i]];
}

// Breadth-first search, level by level, from the nodes order[1..size] found so far: each pass
// takes the nodes found by the previous one. on_level(first) is told where each level starts;
// visit(i, size) appends the new neighbours of order[i] after order[size] and returns the new
// size. Returns the size when no level finds a new node.
template <class OnLevel, class Visit>
int search_by_levels(int size, OnLevel on_level, Visit visit) {
    int level_end = 0;
    while (size > level_end) {
        const int level_begin = level_end + 1;
        level_end = size;
        on_level(level_begin);
        for (int i = level_begin; i <= level_end; ++i)
            size = visit(i, size);
    }
    return size;
}

void no_level_mark(int) {}

} // namespace

int component_degrees(int root, int* xadj_, const int* adjncy_, const int* mask_, int* deg_,
                      int* ls_) {
    OneBased<int> xadj(xadj_), deg(deg_), ls(ls_);
    OneBased<const int> adjncy(adjncy_), mask(mask_);
    ls[1] = root;
    xadj[root] = -xadj[root];
    const int size = search_by_levels(1, no_level_mark, [&](int i, int found) {
        int node = ls[i];
        int start = -xadj[node];
        int stop = std::abs(xadj[node + 1]) - 1;
        int degree = 0;
        for (int j = start; j <= stop; ++j) {
            int nbr = adjncy[j];
            if (mask[nbr] == 0) continue;
            ++degree;
            if (xadj[nbr] < 0) continue;
            xadj[nbr] = -xadj[nbr];
            ls[++found] = nbr;
        }
        deg[node] = degree;
        return found;
    });
    flip_marks(xadj, ls, 1, size);
    return size;
}

int rooted_level_structure(int root, const int* xadj_, const int* adjncy_, int* mask_, int* xls_,
                           int* ls_) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_);
    OneBased<int> mask(mask_), xls(xls_), ls(ls_);
    mask[root] = 0;
    ls[1] = root;
    int levels = 0;
    const int size = search_by_levels(
        1, [&](int level_begin) { xls[++levels] = level_begin; },
        [&](int i, int found) {
            int node = ls[i];
            for (int j = xadj[node]; j < xadj[node + 1]; ++j) {
                int nbr = adjncy[j];
                if (mask[nbr] == 0) continue;
                ls[++found] = nbr;
                mask[nbr] = 0;
            }
            return found;
        });
    xls[levels + 1] = size + 1;
    for (int i = 1; i <= size; ++i)
        mask[ls[i]] = 1;
    return levels;
}

int find_pseudo_peripheral_node(int& root, const int* xadj_, const int* adjncy_, int* mask_,
                                int* xls_, int* ls_) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_);
    OneBased<int> mask(mask_), xls(xls_), ls(ls_);
    int levels = rooted_level_structure(root, xadj_, adjncy_, mask_, xls_, ls_);
    int size = xls[levels + 1] - 1;
    if (levels == 1 || levels == size) return levels;
    for (;;) {
        // Among the last level, the node with the fewest neighbours in the component (the
        // first of equal ones) becomes the next root.
        int last_start = xls[levels];
        int min_degree = size;
        root = ls[last_start];
        if (size != last_start) {
            for (int j = last_start; j <= size; ++j) {
                int node = ls[j];
                int degree = 0;
                for (int k = xadj[node]; k < xadj[node + 1]; ++k)
                    if (mask[adjncy[k]] > 0) ++degree;
                if (degree < min_degree) {
                    root = node;
                    min_degree = degree;
                }
            }
        }
        int new_levels = rooted_level_structure(root, xadj_, adjncy_, mask_, xls_, ls_);
        if (new_levels <= levels) return new_levels;
        levels = new_levels;
        if (levels >= size) return levels;
    }
}

int rcm_number_component(int root, int* xadj, const int* adjncy_, int* mask_, int* perm_,
                         int* deg_) {
    OneBased<const int> adjncy(adjncy_);
    OneBased<int> mask(mask_), perm(perm_), deg(deg_);
    int size = component_degrees(root, xadj, adjncy_, mask_, deg_, perm_);
    mask[root] = 0;
    if (size <= 1) return size;
    OneBased<int> x(xadj);
    // Cuthill-McKee: the unnumbered neighbours of each numbered node in turn, each group sorted
    // by increasing degree (insertion sort, so equal degrees keep the order found).
    search_by_levels(1, no_level_mark, [&](int i, int last) {
        int node = perm[i];
        int group_first = last + 1;
        for (int j = x[node]; j < x[node + 1]; ++j) {
            int nbr = adjncy[j];
            if (mask[nbr] == 0) continue;
            mask[nbr] = 0;
            perm[++last] = nbr;
        }
        for (int k = group_first + 1; k <= last; ++k) {
            int nbr = perm[k];
            int l = k - 1;
            while (l >= group_first && deg[perm[l]] > deg[nbr]) {
                perm[l + 1] = perm[l];
                --l;
            }
            perm[l + 1] = nbr;
        }
        return last;
    });
    for (int i = 1, j = size; i < j; ++i, --j)
        std::swap(perm[i], perm[j]);
    return size;
}

int find_separator(int root, int* xadj_, const int* adjncy_, int* mask_, int* separator_, int* xls_,
                   int* ls_) {
    OneBased<int> xadj(xadj_), mask(mask_), separator(separator_), xls(xls_), ls(ls_);
    OneBased<const int> adjncy(adjncy_);
    int levels = find_pseudo_peripheral_node(root, xadj_, adjncy_, mask_, xls_, ls_);
    if (levels < 3) {
        int size = xls[levels + 1] - 1;
        for (int i = 1; i <= size; ++i) {
            separator[i] = ls[i];
            mask[ls[i]] = 0;
        }
        return size;
    }
    int mid = (levels + 2) / 2;
    int mid_begin = xls[mid];
    int next_begin = xls[mid + 1];
    int next_end = xls[mid + 2] - 1;
    flip_marks(xadj, ls, next_begin, next_end);
    int size = 0;
    for (int i = mid_begin; i < next_begin; ++i) {
        int node = ls[i];
        int stop = std::abs(xadj[node + 1]) - 1;
        for (int j = xadj[node]; j <= stop; ++j) {
            if (xadj[adjncy[j]] > 0) continue;
            separator[++size] = node;
            mask[node] = 0;
            break;
        }
    }
    flip_marks(xadj, ls, next_begin, next_end);
    return size;
}

void invrse(int n, const int* perm_, int* invp_) {
    OneBased<const int> perm(perm_);
    OneBased<int> invp(invp_);
    for (int i = 1; i <= n; ++i)
        invp[perm[i]] = i;
}

namespace {

// The symbolic factorisation column by column. rchlnk holds the structure of the current column
// as a linked list of rows, ended by n + 1; mrglnk links each column k to the earlier columns
// whose first off-diagonal row is k; marker[r] is the column whose stored subscript run holds
// row r; nzsub[nz_begin..nz_end] is the last run stored.
class SymbolicColumns {
  public:
    SymbolicColumns(int n, const int* xadj, const int* adjncy, const int* perm, const int* invp,
                    int* xlnz, int* xnzsub, int* nzsub, int capacity, int* rchlnk, int* mrglnk,
                    int* marker)
        : n_(n), end_mark_(n + 1), capacity_(capacity), xadj_(xadj), adjncy_(adjncy), perm_(perm),
          invp_(invp), xlnz_(xlnz), xnzsub_(xnzsub), nzsub_(nzsub), rchlnk_(rchlnk),
          mrglnk_(mrglnk), marker_(marker) {
        xlnz_[1] = 1;
        for (int k = 1; k <= n; ++k) {
            mrglnk_[k] = 0;
            marker_[k] = 0;
        }
    }

    /// The structure of column k: xlnz[k + 1] and xnzsub[k], with its subscripts stored or
    /// shared. False when they would pass the capacity of nzsub.
    bool column(int k);
    int subscripts_used() const { return nz_end_; }

  private:
    int matrix_structure(int k, bool& foreign);
    int merged_structure(int k, int count, int& longest);
    bool store_subscripts(int k, int count);
    bool append_run(int k, int count);
    // Inserts row `row` into the list after m; false when it is there already.
    bool insert_row(int& m, int& next, int row);

    const int n_, end_mark_, capacity_;
    OneBased<const int> xadj_, adjncy_, perm_, invp_;
    OneBased<int> xlnz_, xnzsub_, nzsub_, rchlnk_, mrglnk_, marker_;
    int nz_begin_ = 1, nz_end_ = 0;
};

bool SymbolicColumns::insert_row(int& m, int& next, int row) {
    while (next < row) {
        m = next;
        next = rchlnk_[m];
    }
    if (next == row) return false; // a repeated row
    rchlnk_[m] = row;
    rchlnk_[row] = next;
    return true;
}

// Phase 1: the rows below k of column k of the matrix itself. `foreign` tells whether one of
// them lies outside the subscript run of the column k first merges.
int SymbolicColumns::matrix_structure(int k, bool& foreign) {
    const int node = perm_[k];
    int count = 0;
    rchlnk_[k] = end_mark_;
    for (int j = xadj_[node]; j < xadj_[node + 1]; ++j) {
        const int row = invp_[adjncy_[j]];
        if (row <= k) continue;
        int m = k, next = rchlnk_[m];
        if (!insert_row(m, next, row)) continue;
        ++count;
        if (marker_[row] != marker_[k]) foreign = true;
    }
    return count;
}

// Phase 3: merges the structures of every column linked to k into the list; `longest` is the
// longest of them, whose run xnzsub[k] points at. Returns the count of rows so far.
int SymbolicColumns::merged_structure(int k, int count, int& longest) {
    for (int i = mrglnk_[k]; i != 0; i = mrglnk_[i]) {
        const int inz = xlnz_[i + 1] - (xlnz_[i] + 1);
        const int start = xnzsub_[i] + 1, stop = xnzsub_[i] + inz;
        if (inz > longest) {
            longest = inz;
            xnzsub_[k] = start;
        }
        int m = k, next = rchlnk_[m];
        for (int j = start; j <= stop; ++j) {
            const int row = nzsub_[j];
            if (!insert_row(m, next, row)) continue;
            ++count;
            next = row;
        }
    }
    return count;
}

// Phase 4: reuses stored subscripts when column k's structure continues the tail of the last
// run; else appends a new run. False when it would pass the capacity.
bool SymbolicColumns::store_subscripts(int k, int count) {
    if (nz_begin_ <= nz_end_) {
        int row = rchlnk_[k];
        int start = nz_begin_;
        while (start <= nz_end_ && nzsub_[start] < row)
            ++start;
        if (start <= nz_end_ && nzsub_[start] == row) {
            xnzsub_[k] = start;
            for (int j = start; j <= nz_end_; ++j) {
                if (nzsub_[j] != row) return append_run(k, count);
                row = rchlnk_[row];
                if (row > n_) return true; // shared
            }
            nz_end_ = start - 1;
        }
    }
    return append_run(k, count);
}

// A new run of column k's rows after the last one; false when it would pass the capacity.
bool SymbolicColumns::append_run(int k, int count) {
    nz_begin_ = nz_end_ + 1;
    nz_end_ += count;
    if (nz_end_ > capacity_) return false;
    int row = k;
    for (int j = nz_begin_; j <= nz_end_; ++j) {
        row = rchlnk_[row];
        nzsub_[j] = row;
        marker_[row] = k;
    }
    xnzsub_[k] = nz_begin_;
    marker_[k] = k;
    return true;
}

bool SymbolicColumns::column(int k) {
    const int merge_first = mrglnk_[k];
    marker_[k] = merge_first != 0 ? marker_[merge_first] : k;
    xnzsub_[k] = nz_end_;
    const int node = perm_[k];
    int count = 0;
    if (xadj_[node] < xadj_[node + 1]) {
        bool foreign = false;
        count = matrix_structure(k, foreign);
        if (!foreign && merge_first != 0 && mrglnk_[merge_first] == 0) {
            // Phase 2: a single merged column whose structure covers column k's matrix entries
            // gives column k its own subscripts less the first: share that run.
            xnzsub_[k] = xnzsub_[merge_first] + 1;
            count = xlnz_[merge_first + 1] - (xlnz_[merge_first] + 1);
        } else {
            int longest = 0;
            count = merged_structure(k, count, longest);
            if (count != longest && !store_subscripts(k, count)) return false;
        }
        // Column k is needed by the column of its first off-diagonal row.
        if (count > 1) {
            const int first_row = nzsub_[xnzsub_[k]];
            mrglnk_[k] = mrglnk_[first_row];
            mrglnk_[first_row] = k;
        }
    }
    xlnz_[k + 1] = xlnz_[k] + count;
    return true;
}

} // namespace

int symbolic_factorisation(int n, const int* xadj, const int* adjncy, const int* perm,
                           const int* invp, int* xlnz, int* xnzsub, int* nzsub, int& maxsub,
                           int* rchlnk, int* mrglnk, int* marker, int& flag) {
    SymbolicColumns columns(n, xadj, adjncy, perm, invp, xlnz, xnzsub, nzsub, maxsub, rchlnk,
                            mrglnk, marker);
    flag = 0;
    for (int k = 1; k <= n; ++k)
        if (!columns.column(k)) {
            flag = 1;
            return 0; // maxsub stays the capacity
        }
    OneBased<int> sub(xnzsub);
    sub[n + 1] = n > 0 ? sub[n] : 0;
    maxsub = columns.subscripts_used();
    return OneBased<int>(xlnz)[n + 1] - 1;
}

int symbolic_factorisation_driver(int n, int& maxlnz, const int* xadj, const int* adjncy,
                                  const int* perm, const int* invp, int* xlnz, int* xnzsub,
                                  int* nzsub, int& maxsub) {
    maxlnz = 0;
    sys::PageArray<int> rchlnk(n + 1), mrglnk(n + 1), marker(n + 1);
    if (!rchlnk.ok() || !mrglnk.ok() || !marker.ok()) return 1;
    int flag = 1;
    int count = symbolic_factorisation(n, xadj, adjncy, perm, invp, xlnz, xnzsub, nzsub, maxsub,
                                       rchlnk.get(), mrglnk.get(), marker.get(), flag);
    if (flag == 0) maxlnz = count;
    return flag;
}

int nd_order_and_symbolic_factorisation(int& maxlnz, int n, int* xadj, const int* adjncy, int* xlnz,
                                        int* xnzsub, int* nzsub, int* perm, int* invp,
                                        int& maxsub) {
    maxlnz = 0;
    if (mx::nested_dissection(n, xadj, adjncy, perm, invp) != 0) return 1;
    return symbolic_factorisation_driver(n, maxlnz, xadj, adjncy, perm, invp, xlnz, xnzsub, nzsub,
                                         maxsub);
}

namespace {

// The sweep both orderings make: work arrays mask (every node unmasked, 1), xls and work, each
// n + 1 long; for i = 1..n while nodes are left, number(i, numbered, mask, xls, work) numbers
// nodes from i into perm after the `numbered` already there and returns how many. 1 when the
// work memory is refused.
template <class Number> int number_nodes(int n, Number number) {
    PageArray<int> mask(n + 1), xls(n + 1), work(n + 1);
    if (!mask.ok() || !xls.ok() || !work.ok()) return 1;
    OneBased<int> m(mask.get());
    for (int i = 1; i <= n; ++i)
        m[i] = 1;
    int numbered = 0;
    for (int i = 1; i <= n && numbered < n; ++i)
        numbered += number(i, numbered, m, xls.get(), work.get());
    return 0;
}

} // namespace

namespace mx {

int rcm_order(int n, int* xadj, const int* adjncy, int* perm_, int* invp) {
    OneBased<int> perm(perm_);
    const int failed =
        number_nodes(n, [&](int i, int numbered, OneBased<int> m, int* xls, int* deg) {
            if (m[i] == 0) return 0;
            int root = i;
            // The pseudo-peripheral search needs room for a level structure; the tail of perm past
            // the numbered nodes is free and serves as its node list.
            find_pseudo_peripheral_node(root, xadj, adjncy, m.at(1), xls, perm.at(numbered + 1));
            return rcm_number_component(root, xadj, adjncy, m.at(1), perm.at(numbered + 1), deg);
        });
    if (failed) return 1;
    invrse(n, perm_, invp);
    return 0;
}

int nested_dissection(int n, int* xadj, const int* adjncy, int* perm_, int* invp) {
    OneBased<int> perm(perm_);
    const int failed =
        number_nodes(n, [&](int i, int numbered, OneBased<int> m, int* xls, int* ls) {
            const int first = numbered;
            while (m[i] != 0 && numbered < n)
                numbered +=
                    find_separator(i, xadj, adjncy, m.at(1), perm.at(numbered + 1), xls, ls);
            return numbered - first;
        });
    if (failed) return 1;
    // The last separator found is numbered first.
    for (int i = 1, j = n; i < j; ++i, --j)
        std::swap(perm[i], perm[j]);
    invrse(n, perm_, invp);
    return 0;
}

bool check_permutation(int n, const int* perm_, const int* invp_) {
    OneBased<const int> perm(perm_), invp(invp_);
    for (int i = 1; i <= n; ++i) {
        int p = perm[i];
        if (p < 1 || p > n || invp[p] != i) return false;
    }
    return true;
}

bool check_compressed_structure(int n, const int* perm, const int* invp, const int* xlnz_,
                                const int* xnzsub_, const int* nzsub_, int nsub) {
    if (n < 0 || nsub < 0 || !check_permutation(n, perm, invp)) return false;
    OneBased<const int> xlnz(xlnz_), xnzsub(xnzsub_), nzsub(nzsub_);
    if (n > 0 && xlnz[1] != 1) return false;
    for (int k = 1; k <= n; ++k) {
        long count = long(xlnz[k + 1]) - xlnz[k];
        if (count < 0) return false;
        if (count == 0) continue;
        long first = xnzsub[k];
        if (first < 1 || first + count - 1 > nsub) return false;
        int previous = k;
        for (long t = 0; t < count; ++t) {
            int row = nzsub[first + t];
            if (row <= previous || row > n) return false;
            previous = row;
        }
    }
    return true;
}

} // namespace mx

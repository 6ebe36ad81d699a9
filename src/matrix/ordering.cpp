// Level structures, pseudo-peripheral nodes, reverse Cuthill-McKee, nested dissection and the
// symbolic factorisation (the graph algorithms of George and Liu, 1981).
#include "matrix/ordering.h"

#include "matrix/one_based.h"
#include "platform/sys/page_array.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

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

namespace {

// The visited mark of find_separator: the sign of xadj, as in the other searches.
struct SignMarks {
    OneBased<int> xadj;
    void set(int v) const { xadj[v] = -xadj[v]; }
    void clear(int v) const { xadj[v] = -xadj[v]; }
    bool is_set(int v) const { return xadj[v] < 0; }
    int list_end(int v) const { return std::abs(xadj[v + 1]) - 1; }
};

// The separator of a component from its pseudo-peripheral level structure (`levels` levels in
// xls and ls): the nodes of the middle level that touch the next level, or the whole component
// when it has fewer than three levels. Lists it in separator, sets its mask to 0 and returns its
// size. The next level is marked with `marks` meanwhile: marks.list_end(v) is the last index of
// v's adjacency list (xadj[v] itself is read only for unmarked nodes).
template <class Marks>
int level_separator(int levels, const int* xadj_, const int* adjncy_, int* mask_, int* separator_,
                    const int* xls_, const int* ls_, const Marks& marks) {
    OneBased<int> mask(mask_), separator(separator_);
    OneBased<const int> xadj(xadj_), adjncy(adjncy_), xls(xls_), ls(ls_);
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
    for (int i = next_begin; i <= next_end; ++i)
        marks.set(ls[i]);
    int size = 0;
    for (int i = mid_begin; i < next_begin; ++i) {
        int node = ls[i];
        int stop = marks.list_end(node);
        for (int j = xadj[node]; j <= stop; ++j) {
            if (!marks.is_set(adjncy[j])) continue;
            separator[++size] = node;
            mask[node] = 0;
            break;
        }
    }
    for (int i = next_begin; i <= next_end; ++i)
        marks.clear(ls[i]);
    return size;
}

} // namespace

int find_separator(int root, int* xadj, const int* adjncy, int* mask, int* separator, int* xls,
                   int* ls) {
    int levels = find_pseudo_peripheral_node(root, xadj, adjncy, mask, xls, ls);
    return level_separator(levels, xadj, adjncy, mask, separator, xls, ls,
                           SignMarks{OneBased<int>(xadj)});
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

// ---- Nested dissection on several threads ----
//
// The sweep of nested_dissection splits a component when it reaches the component's smallest
// node (every node below it is numbered by then), and splits the component holding that node
// again and again until the node is numbered. So the separators come out ordered by the smallest
// node of their component and, for one smallest node, from the outer component inwards. A split
// looks only at the component's own nodes and its numbered neighbours, so the components can be
// split on any thread, each from its smallest node, and the separators put in that order
// afterwards: the same ordering, node for node.
//
// Large components are split in shared arrays: the threads share the graph (read only), a mask
// and a stamp per node, and write only the entries of the nodes of the component each splits
// (the neighbours a split reads outside its component were numbered by the splits that gave rise
// to it). The visited mark of the separator search is a stamp of its own for each split instead
// of a sign in xadj, which the next node's list shares. A smaller component is copied out as a
// graph of its own, numbered in the order of its nodes, and swept there like the whole graph:
// threads splitting neighbouring small components would otherwise write to the same cache lines
// all the time.

// Components below this size are copied out and swept.
constexpr int copy_below = 2048;
// Components below this size stay with the thread that found them.
constexpr int share_from = 256;

// The visited mark of a split: stamp[v] == value.
struct StampMarks {
    OneBased<const int> xadj;
    OneBased<int> stamp;
    int value;
    void set(int v) const { stamp[v] = value; }
    void clear(int) const {}
    bool is_set(int v) const { return stamp[v] == value; }
    int list_end(int v) const { return xadj[v + 1] - 1; }
};

// Sorts the distinct node numbers list[0..m-1] into increasing order: through a bitmap of their
// range when that is at most a few words a node (the usual case: a component's nodes lie close
// together in the numbering), else by comparison. False when work memory is refused.
bool sort_nodes(int* list, int m) {
    if (m < 2) return true;
    const auto [low, high] = std::minmax_element(list, list + m);
    const int first = *low;
    const std::size_t words = std::size_t(*high - first) / 64 + 1;
    if (words > 4 * std::size_t(m)) {
        std::sort(list, list + m);
        return true;
    }
    PageArray<std::uint64_t> bits(words);
    if (!bits.ok()) return false;
    for (int k = 0; k < m; ++k) {
        const int offset = list[k] - first;
        bits[std::size_t(offset) / 64] |= std::uint64_t(1) << (offset % 64);
    }
    int k = 0;
    for (std::size_t w = 0; w < words; ++w)
        for (std::uint64_t word = bits[w]; word != 0; word &= word - 1)
            list[k++] = first + int(w * 64) + __builtin_ctzll(word);
    return true;
}

class ParallelDissection {
  public:
    ParallelDissection(int n, const int* xadj, const int* adjncy)
        : n_(n), xadj_(xadj), adjncy_(adjncy) {}

    /// Splits the whole graph on `workers` threads and writes the ordering to perm (1..n).
    /// False when work memory is refused (perm is then unspecified).
    bool order(int workers, int* perm);

  private:
    // A component to split: its smallest node, the first of its places, its size and the place
    // of the separator of the component it was split from when that had the same smallest node
    // (else 0). A component to be copied out carries the list of its nodes.
    struct Component {
        int root = 0, place = 0, size = 0, outer = 0;
        PageArray<int> nodes;
    };
    using Components = std::vector<Component>;

    void work();
    void split_first(Components& own);
    void run(Components& own);
    int split_shared(const Component& c, int* xls, int* ls, Components& found);
    bool add_found(Components& found, const Component* outer, int place, const int* list, int size);
    void other_components(int place, int* work, Components& found);
    bool sweep_copy(Component& c);
    void record(int root, int outer, int place, int count);
    void hand_on(Components& found, Components& own);
    void finish_one();
    void gather(int* perm) const;

    const int n_;
    const int* const xadj_;
    const int* const adjncy_;
    // Per node: mask (0 once numbered), the stamp of the last split that marked it and its
    // number in the copy of its component.
    PageArray<int> mask_, stamp_, local_;
    // The separators: a component of c nodes at place p has its separator in nodes[p ..] and its
    // subcomponents in the places after it up to p + c - 1 (so no two components start at the
    // same place). A separator's size is kept at its first place, and the separators of the
    // components sharing smallest node s are chained from the outermost, head[s], by next.
    PageArray<int> nodes_, count_, next_, head_;

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Component> queue_;
    int pending_ = 1; // components queued or being split, and the first
    std::atomic<bool> first_taken_{false}, refused_{false};
};

bool ParallelDissection::order(int workers, int* perm) {
    if (!mask_.allocate(n_) || !stamp_.allocate(n_) || !local_.allocate(n_) ||
        !nodes_.allocate(n_) || !count_.allocate(n_) || !next_.allocate(n_) || !head_.allocate(n_))
        return false;
    std::fill(mask_.get(), mask_.get() + n_, 1);
    sys::run_in_parallel(workers, workers, [this](int, int) { work(); });
    if (refused_) return false;
    gather(perm);
    return true;
}

// A worker: the first splits node 1's component, then each takes components until none is left.
void ParallelDissection::work() {
    Components own;
    if (!first_taken_.exchange(true)) {
        split_first(own);
        run(own);
        finish_one();
    }
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ready_.wait(lock, [this] { return !queue_.empty() || pending_ == 0; });
            if (queue_.empty()) return;
            own.push_back(std::move(queue_.front()));
            queue_.pop_front();
        }
        run(own);
        finish_one();
    }
}

void ParallelDissection::finish_one() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--pending_ == 0) ready_.notify_all();
}

// The components found: large ones are shared with the other workers, the others kept.
void ParallelDissection::hand_on(Components& found, Components& own) {
    for (Component& c : found) {
        if (c.size < share_from) {
            own.push_back(std::move(c));
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ++pending_;
        queue_.push_back(std::move(c));
        ready_.notify_one();
    }
    found.clear();
}

// The components this worker keeps, split one after the other with their subcomponents. After
// refused memory they are only taken off.
void ParallelDissection::run(Components& own) {
    Components found;
    while (!own.empty()) {
        Component c = std::move(own.back());
        own.pop_back();
        if (refused_) continue;
        if (c.size < copy_below) {
            if (!sweep_copy(c)) refused_ = true;
            continue;
        }
        PageArray<int> work(2 * (std::size_t(c.size) + 1));
        if (!work.ok() || split_shared(c, work.get(), work.get() + c.size + 1, found) < 0)
            refused_ = true;
        hand_on(found, own);
    }
}

// Node 1's component comes first. When it is not the whole graph, the other components follow
// it in the places; they are found before any subcomponent is handed on, while this worker
// alone touches the stamps.
void ParallelDissection::split_first(Components& own) {
    PageArray<int> work(2 * (std::size_t(n_) + 1));
    if (!work.ok()) {
        refused_ = true;
        return;
    }
    int* xls = work.get();
    int* ls = xls + n_ + 1;
    Components found;
    Component first;
    first.root = first.place = 1;
    first.size = n_;
    const int size = split_shared(first, xls, ls, found);
    if (size < 0) {
        refused_ = true;
    } else if (size < n_) {
        // Stamp 1 is no split's: it marks what is found.
        for (int k = 0; k < size; ++k)
            stamp_[ls[k] - 1] = 1;
        other_components(1 + size, xls, found);
    }
    hand_on(found, own);
}

// The unmasked components not stamped 1, each from its smallest node, with the places from
// `place` on. work: n ints.
void ParallelDissection::other_components(int place, int* work, Components& found) {
    OneBased<int> mask(mask_.get()), stamp(stamp_.get()), queue(work);
    OneBased<const int> xadj(xadj_), adjncy(adjncy_);
    for (int v = 1; v <= n_; ++v) {
        if (mask[v] == 0 || stamp[v] == 1) continue;
        stamp[v] = 1;
        queue[1] = v;
        int size = 1;
        for (int i = 1; i <= size; ++i)
            for (int j = xadj[queue[i]]; j < xadj[queue[i] + 1]; ++j) {
                const int x = adjncy[j];
                if (mask[x] == 0 || stamp[x] == 1) continue;
                stamp[x] = 1;
                queue[++size] = x;
            }
        if (!add_found(found, nullptr, place, queue.at(1), size)) {
            refused_ = true;
            return;
        }
        place += size;
    }
}

// A subcomponent of `size` nodes, the unmasked ones of list[0..], at `place`, split off from
// component `outer` (null for none). False when memory is refused.
bool ParallelDissection::add_found(Components& found, const Component* outer, int place,
                                   const int* list, int size) {
    Component c;
    c.root = n_ + 1;
    c.place = place;
    c.size = size;
    const bool copied = size < copy_below;
    if (copied && !c.nodes.allocate(std::size_t(size))) return false;
    int k = 0;
    for (const int* v = list; k < size; ++v) {
        if (mask_[*v - 1] == 0) continue;
        c.root = std::min(c.root, *v);
        if (copied) c.nodes[k] = *v;
        ++k;
    }
    if (outer && outer->root == c.root) c.outer = outer->place;
    found.push_back(std::move(c));
    return true;
}

// The separator of `count` nodes at `place`, of component c or of one inside it with the same
// smallest node as the last separator recorded (outer, 0 for none).
void ParallelDissection::record(int root, int outer, int place, int count) {
    count_[place - 1] = count;
    if (outer == 0)
        head_[root - 1] = place;
    else
        next_[outer - 1] = place;
}

// Splits component c in the shared arrays: numbers its separator at c.place and lists its
// subcomponents in found: the levels up to the middle one less the separator, connected through
// the root of the level structure, and the components of the levels below. xls and ls are work
// (c.size + 1 each). Returns the size of c (ls[1..size] lists its nodes), or -1 when memory is
// refused.
int ParallelDissection::split_shared(const Component& c, int* xls_, int* ls_, Components& found) {
    OneBased<int> mask(mask_.get()), stamp(stamp_.get()), nodes(nodes_.get()), xls(xls_), ls(ls_);
    OneBased<const int> xadj(xadj_), adjncy(adjncy_);
    int root = c.root;
    const int levels = find_pseudo_peripheral_node(root, xadj_, adjncy_, mask_.get(), xls_, ls_);
    const int size = xls[levels + 1] - 1;
    const int count = level_separator(levels, xadj_, adjncy_, mask_.get(), nodes.at(c.place), xls_,
                                      ls_, StampMarks{xadj, stamp, 2 * c.place});
    record(c.root, c.outer, c.place, count);
    if (count == size) return size;
    const int upper_end = xls[(levels + 2) / 2 + 1] - 1;
    int place = c.place + count;
    if (!add_found(found, &c, place, ls.at(1), upper_end - count)) return -1;
    place += upper_end - count;
    // The lower levels' components, each listed in xls (free now).
    OneBased<int> queue(xls_);
    const int label = 2 * c.place + 1;
    for (int k = upper_end + 1; k <= size; ++k) {
        if (stamp[ls[k]] == label) continue;
        stamp[ls[k]] = label;
        queue[1] = ls[k];
        int found_size = 1;
        for (int i = 1; i <= found_size; ++i)
            for (int j = xadj[queue[i]]; j < xadj[queue[i] + 1]; ++j) {
                const int x = adjncy[j];
                if (mask[x] == 0 || stamp[x] == label) continue;
                stamp[x] = label;
                queue[++found_size] = x;
            }
        if (!add_found(found, &c, place, queue.at(1), found_size)) return -1;
        place += found_size;
    }
    return size;
}

// Copies component c out, its nodes numbered in increasing order and its adjacency lists in
// their order less the numbered neighbours, and sweeps it as nested_dissection sweeps the whole
// graph, its separators at the places from c.place on. False when work memory is refused.
bool ParallelDissection::sweep_copy(Component& c) {
    const int m = c.size;
    if (!sort_nodes(c.nodes.get(), m)) return false;
    OneBased<const int> list(c.nodes.get()), xadj(xadj_), adjncy(adjncy_);
    OneBased<int> mask(mask_.get()), local(local_.get()), nodes(nodes_.get());
    std::size_t edges = 0;
    for (int k = 1; k <= m; ++k) {
        local[list[k]] = k;
        edges += std::size_t(xadj[list[k] + 1] - xadj[list[k]]);
    }
    // The copy (xadj, adjncy) and the sweep's mask, xls and ls.
    const std::size_t stride = std::size_t(m) + 1;
    PageArray<int> work(4 * stride + edges + 1);
    if (!work.ok()) return false;
    int* lxadj_ = work.get();
    int* lmask_ = lxadj_ + stride;
    int* xls = lmask_ + stride;
    int* ls = xls + stride;
    int* ladjncy_ = ls + stride;
    OneBased<int> lxadj(lxadj_), ladjncy(ladjncy_), lmask(lmask_);
    int next = 1;
    for (int k = 1; k <= m; ++k) {
        lxadj[k] = next;
        lmask[k] = 1;
        for (int j = xadj[list[k]]; j < xadj[list[k] + 1]; ++j)
            if (mask[adjncy[j]] != 0) ladjncy[next++] = local[adjncy[j]];
    }
    lxadj[m + 1] = next;
    int place = c.place;
    for (int i = 1; i <= m; ++i) {
        // The first component swept from node 1 is c itself, chained as c is.
        int outer = i == 1 ? c.outer : 0;
        while (lmask[i] != 0) {
            const int count = find_separator(i, lxadj_, ladjncy_, lmask_, nodes.at(place), xls, ls);
            for (int k = 0; k < count; ++k)
                nodes[place + k] = list[nodes[place + k]];
            record(list[i], outer, place, count);
            outer = place;
            place += count;
        }
    }
    return true;
}

// The separators in the order of the smallest node of their component and, for one smallest
// node, from the outermost component in; the last numbered first.
void ParallelDissection::gather(int* perm_) const {
    OneBased<int> perm(perm_);
    OneBased<const int> nodes(nodes_.get()), count(count_.get()), next(next_.get()),
        head(head_.get());
    int position = n_;
    for (int s = 1; s <= n_; ++s)
        for (int p = head[s]; p != 0; p = next[p])
            for (int k = 0; k < count[p]; ++k)
                perm[position--] = nodes[p + k];
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
    // A worker for every copy_below nodes at most: starting threads costs more than a small
    // graph's ordering.
    const int workers = std::min(sys::pool_threads(), n / copy_below);
    if (workers > 1) {
        // Refused memory on the threads leaves the one-thread sweep, which needs less.
        ParallelDissection split(n, xadj, adjncy);
        if (split.order(workers, perm_)) {
            invrse(n, perm_, invp);
            return 0;
        }
    }
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

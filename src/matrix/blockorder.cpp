// One-way dissection and refined quotient tree partitions and the block shuffle (the
// procedures of George and Liu, 1981), built on the level structures, pseudo-peripheral nodes
// and reverse Cuthill-McKee numbering of matrix/ordering.h.
#include "matrix/blockorder.h"

#include "matrix/one_based.h"
#include "matrix/ordering.h"

#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

using mx::OneBased;

namespace {

// Components smaller than this are never dissected.
constexpr int smallest_dissected_component = 50;

// The one-way dissectors of root's component (nodes with non-zero mask): lists them in sep,
// masks them and returns their number; the whole component when it is small or its level
// structure too short. The component's level structure is left in xls and ls, its number of
// levels in nlvl.
int one_way_dissectors(int root, int* xadj_, const int* adjncy_, int* mask_, int* sep_, int* xls_,
                       int* ls_, int& nlvl) {
    OneBased<int> xadj(xadj_), mask(mask_), sep(sep_), xls(xls_), ls(ls_);
    OneBased<const int> adjncy(adjncy_);
    nlvl = find_pseudo_peripheral_node(root, xadj_, adjncy_, mask_, xls_, ls_);
    const int nnodes = xls[nlvl + 1] - 1;
    const float levels = float(nlvl);
    const float width = float(nnodes) / levels;
    const float delta = 1.0f + std::sqrt((3.0f * width + 13.0f) / 2.0f);
    int nsep = 0;
    if (nnodes < smallest_dissected_component || delta > 0.5f * levels) {
        for (int i = 1; i <= nnodes; ++i) {
            sep[++nsep] = ls[i];
            mask[ls[i]] = 0;
        }
        return nsep;
    }
    for (int i = 1;; ++i) {
        const int lvl = int(float(i) * delta + 0.5f);
        if (lvl >= nlvl) return nsep;
        const int next_begin = xls[lvl + 1], next_end = xls[lvl + 2] - 1;
        // The nodes of the next level are marked by a negated xadj entry for the time of the
        // test; a node of level lvl joins the dissector when it touches one of them.
        for (int j = next_begin; j <= next_end; ++j)
            xadj[ls[j]] = -xadj[ls[j]];
        for (int j = xls[lvl]; j < next_begin; ++j) {
            const int node = ls[j];
            const int stop = std::abs(xadj[node + 1]) - 1;
            for (int k = xadj[node]; k <= stop; ++k) {
                if (xadj[adjncy[k]] > 0) continue;
                sep[++nsep] = node;
                mask[node] = 0;
                break;
            }
        }
        for (int j = next_begin; j <= next_end; ++j)
            xadj[ls[j]] = -xadj[ls[j]];
    }
}

// Adds to the set set[1..size] of level `level` every node of that level joined to it through
// the level (nodlvl of a member becomes -level). Returns an unnumbered node of the next level
// adjacent to the set, or 0 when there is none.
int span_level(const int* xadj_, const int* adjncy_, int* nodlvl_, int* set_, int& size,
               int level) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_);
    OneBased<int> nodlvl(nodlvl_), set(set_);
    int leaf = 0;
    for (int k = 1; k <= size; ++k) {
        const int node = set[k];
        for (int j = xadj[node]; j < xadj[node + 1]; ++j) {
            const int w = adjncy[j];
            if (nodlvl[w] == level) {
                nodlvl[w] = -level;
                set[++size] = w;
            } else if (nodlvl[w] == level + 1 && leaf == 0) {
                leaf = w;
            }
        }
    }
    return leaf;
}

// The refined quotient tree of one component whose level numbers are in nodlvl (positive while
// unnumbered), from `leaf` in its deepest level `level` upward. A set whose level part still
// touches unnumbered nodes one level down waits on the stack (nodes in stack, sizes in sizes)
// while the blocks below are formed; it is then joined by their neighbours in its level. Each
// finished set is a block appended to perm at num + 1 (nodlvl 0).
void quotient_tree(int leaf, int level, const int* xadj_, const int* adjncy_, int* perm_, int& num,
                   int* xblk_, int& nblks, int* nodlvl_, int* set_, int* stack_, int* sizes_) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_);
    OneBased<int> perm(perm_), xblk(xblk_), nodlvl(nodlvl_), set(set_), stack(stack_),
        sizes(sizes_);
    int size = 1, top = 0, frames = 0;
    set[1] = leaf;
    nodlvl[leaf] = -level;
    for (;;) {
        const int deeper = span_level(xadj_, adjncy_, nodlvl_, set_, size, level);
        if (deeper != 0) {
            for (int k = 1; k <= size; ++k)
                stack[top + k] = set[k];
            top += size;
            sizes[++frames] = size;
            ++level;
            set[1] = deeper;
            size = 1;
            nodlvl[deeper] = -level;
            continue;
        }
        const int first = num + 1;
        for (int k = 1; k <= size; ++k) {
            perm[++num] = set[k];
            nodlvl[set[k]] = 0;
        }
        xblk[++nblks + 1] = num + 1;
        if (level == 1) return;
        --level;
        size = 0;
        for (int p = first; p <= num; ++p) {
            const int node = perm[p];
            for (int j = xadj[node]; j < xadj[node + 1]; ++j) {
                const int w = adjncy[j];
                if (nodlvl[w] != level) continue;
                nodlvl[w] = -level;
                set[++size] = w;
            }
        }
        if (frames > 0 && nodlvl[stack[top]] == -level) {
            const int waiting = sizes[frames--];
            top -= waiting;
            for (int k = 1; k <= waiting; ++k)
                set[++size] = stack[top + k];
        }
    }
}

void trace_line(std::FILE* trace, const char* text) {
    if (!trace) return;
    std::fputs(text, trace);
    std::fflush(trace);
}

} // namespace

void reverse_int_vector(int n, int* v_) {
    OneBased<int> v(v_);
    for (int i = 1; i <= n / 2; ++i)
        std::swap(v[i], v[n + 1 - i]);
}

int one_way_dissection_partition(int n, int* xadj, const int* adjncy, int* mask_, int* xblk_,
                                 int* perm_, int* xls_, int* ls_) {
    OneBased<int> mask(mask_), xblk(xblk_), perm(perm_), xls(xls_), ls(ls_);
    for (int i = 1; i <= n; ++i)
        mask[i] = 1;
    int nblks = 0, num = 0;
    for (int i = 1; i <= n; ++i) {
        if (mask[i] == 0) continue;
        int nlvl = 0;
        num += one_way_dissectors(i, xadj, adjncy, mask_, perm.at(num + 1), xls_, ls_, nlvl);
        xblk[++nblks] = n - num + 1;
        // Each component of what the dissectors leave is a block; the numbering is reversed at
        // the end, so the dissectors found first come last.
        const int ccsize = xls[nlvl + 1] - 1;
        for (int j = 1; j <= ccsize; ++j) {
            const int node = ls[j];
            if (mask[node] == 0) continue;
            const int levels =
                rooted_level_structure(node, xadj, adjncy, mask_, xls_, perm.at(num + 1));
            const int first = num + 1;
            num += xls[levels + 1] - 1;
            xblk[++nblks] = n - num + 1;
            for (int k = first; k <= num; ++k)
                mask[perm[k]] = 0;
        }
    }
    reverse_int_vector(n, perm_);
    reverse_int_vector(nblks, xblk_);
    xblk[nblks + 1] = n + 1;
    return nblks;
}

int genrqt(std::FILE* trace, int n, int* xadj, const int* adjncy, int* perm, int* xblk_, int* xls_,
           int* ls_, int* nodlvl_, int* stack) {
    OneBased<int> xblk(xblk_), xls(xls_), ls(ls_), nodlvl(nodlvl_);
    trace_line(trace, "set nodlvl\n");
    for (int i = 1; i <= n; ++i)
        nodlvl[i] = 1;
    int nblks = 0, num = 0;
    xblk[1] = 1;
    for (int i = 1; i <= n; ++i) {
        if (nodlvl[i] <= 0) continue;
        int root = i;
        const int nlvl = find_pseudo_peripheral_node(root, xadj, adjncy, nodlvl_, xls_, ls_);
        for (int l = 1; l <= nlvl; ++l)
            for (int k = xls[l]; k < xls[l + 1]; ++k)
                nodlvl[ls[k]] = l;
        const int leaf = ls[xls[nlvl]];
        trace_line(trace, "start stack \n");
        // The level list is no longer needed: ls holds the set being formed and xls the sizes
        // of the waiting sets.
        quotient_tree(leaf, nlvl, xadj, adjncy, perm, num, xblk_, nblks, nodlvl_, ls_, stack, xls_);
    }
    return nblks;
}

void number_blocks_rcm(int* xadj_, const int* adjncy_, int* perm_, int nblks, const int* xblk_,
                       int* bnum_, int* mask_, int* subg_, int* xls) {
    OneBased<const int> adjncy(adjncy_), xblk(xblk_);
    OneBased<int> xadj(xadj_), perm(perm_), bnum(bnum_), mask(mask_), subg(subg_);
    for (int b = 1; b <= nblks; ++b)
        for (int k = xblk[b]; k < xblk[b + 1]; ++k) {
            bnum[perm[k]] = b;
            mask[perm[k]] = 0;
        }
    for (int b = 1; b <= nblks; ++b) {
        const int begin = xblk[b], end = xblk[b + 1] - 1;
        int nsubg = 0;
        for (int i = begin; i <= end; ++i) {
            const int node = perm[i];
            if (xadj[node] >= xadj[node + 1]) continue;
            bool touches_earlier = false;
            for (int j = xadj[node]; j < xadj[node + 1] && !touches_earlier; ++j)
                touches_earlier = bnum[adjncy[j]] < b;
            if (touches_earlier) continue;
            // The nodes left behind move up into the slots freed after the subgraph's ones.
            subg[++nsubg] = node;
            perm[i] = perm[begin + nsubg - 1];
        }
        if (nsubg == 0) continue;
        for (int k = 1; k <= nsubg; ++k)
            mask[subg[k]] = 1;
        int placed = 0;
        for (int k = 1; k <= nsubg && placed < nsubg; ++k) {
            int root = subg[k];
            if (mask[root] == 0) continue;
            // xls serves the root search as level pointers, then the numbering as degrees.
            find_pseudo_peripheral_node(root, xadj_, adjncy_, mask_, xls, perm.at(begin + placed));
            placed +=
                rcm_number_component(root, xadj_, adjncy_, mask_, perm.at(begin + placed), xls);
        }
    }
}

void bshufls(int* xadj, const int* adjncy, int* perm, int nblks, const int* xblk, int* bnum,
             int* mask, int* subg, int* xls) {
    number_blocks_rcm(xadj, adjncy, perm, nblks, xblk, bnum, mask, subg, xls);
}

namespace mx {

bool check_tree_partition(int n, const int* xadj_, const int* adjncy_, const int* perm_, int nblks,
                          const int* xblk_) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_), perm(perm_), xblk(xblk_);
    if (n < 0 || nblks < 0 || nblks > n || (n > 0 && nblks == 0)) return false;
    if (xblk[1] != 1 || xblk[nblks + 1] != n + 1) return false;
    std::vector<int> block(std::size_t(n) + 1, 0);
    for (int b = 1; b <= nblks; ++b) {
        if (xblk[b + 1] <= xblk[b]) return false;
        for (int k = xblk[b]; k < xblk[b + 1]; ++k) {
            const int node = perm[k];
            if (node < 1 || node > n || block[node] != 0) return false;
            block[node] = b;
        }
    }
    for (int b = 1; b <= nblks; ++b) {
        int father = 0;
        for (int k = xblk[b]; k < xblk[b + 1]; ++k)
            for (int j = xadj[perm[k]]; j < xadj[perm[k] + 1]; ++j) {
                const int other = block[adjncy[j]];
                if (other <= b) continue;
                if (father != 0 && other != father) return false;
                father = other;
            }
    }
    return true;
}

} // namespace mx

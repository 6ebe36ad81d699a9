// Sloan's profile and wavefront reduction (Sloan, "An algorithm for profile and wavefront
// reduction of sparse matrices", 1986): pseudo-diameter, priorities, numbering and profiles.
#include "matrix/profile.h"

#include "matrix/one_based.h"
#include "matrix/ordering.h"

using mx::OneBased;

namespace {

// Weights of the distance to the end node and of the current degree in a node's priority.
constexpr int distance_weight = 1;
constexpr int degree_weight = 2;
// Status of a node while its component is numbered (a numbered node holds its new number).
constexpr int inactive = -2, preactive = -1, active = 0;

struct Work {
    OneBased<int> mask, ls, xls, hlevel;
    explicit Work(int n, int* work)
        : mask(work), ls(work + n), xls(work + 2 * n), hlevel(work + 3 * n + 1) {}
};

int degree(OneBased<const int> xadj, int node) {
    return xadj[node + 1] - xadj[node];
}

int widest_level(const int* xls_, int levels) {
    OneBased<const int> xls(xls_);
    int width = 0;
    for (int l = 1; l <= levels; ++l)
        width = int_max(width, int_diff(xls[l + 1], xls[l]));
    return width;
}

// Start and end of a pseudo-diameter of the component of the unnumbered node of lowest degree:
// the deepest level structures found from the last level's nodes (one of each degree) move the
// start; of the others, the narrowest structure gives the end. On return the end node's level
// distances stand in `distance` for every node of the component, whose nodes are listed in
// w.ls[1..size]; returns the start node.
int pseudo_diameter(int n, const int* xadj_, const int* adjncy, Work& w, int* distance_,
                    int& size) {
    OneBased<const int> xadj(xadj_);
    OneBased<int> distance(distance_);
    int start = 0;
    for (int i = 1, lowest = n + 1; i <= n; ++i)
        if (w.mask[i] != 0 && degree(xadj, i) < lowest) {
            start = i;
            lowest = degree(xadj, i);
        }
    int depth = level_structure_bfs(start, xadj_, adjncy, w.mask.at(1), w.ls.at(1), w.xls.at(1));
    size = w.xls[depth + 1] - 1;
    int end = start;
    for (bool deeper = true; deeper;) {
        deeper = false;
        // The last level's nodes by increasing degree, one of each degree (xls serves as the
        // degree key until the next level structure is built).
        int hsize = 0;
        const int first = w.xls[depth], last = w.xls[depth + 1] - 1;
        for (int i = first; i <= last; ++i) {
            const int node = w.ls[i];
            w.hlevel[++hsize] = node;
            w.xls[node] = degree(xadj, node);
        }
        sort_nodes_by_key(hsize, w.hlevel.at(1), w.xls.at(1), 1);
        int kept = 1;
        for (int i = 2; i <= hsize; ++i)
            if (w.xls[w.hlevel[i]] != w.xls[w.hlevel[kept]]) w.hlevel[++kept] = w.hlevel[i];
        int end_width = size + 1;
        for (int i = 1; i <= kept; ++i) {
            const int node = w.hlevel[i];
            const int levels =
                level_structure_bfs(node, xadj_, adjncy, w.mask.at(1), w.ls.at(1), w.xls.at(1));
            const int width = widest_level(w.xls.at(1), levels);
            if (width >= end_width) continue;
            if (levels > depth) {
                start = node;
                depth = levels;
                deeper = true;
                break;
            }
            end = node;
            end_width = width;
        }
    }
    const int levels =
        level_structure_bfs(end, xadj_, adjncy, w.mask.at(1), w.ls.at(1), w.xls.at(1));
    for (int l = 1; l <= levels; ++l)
        for (int j = w.xls[l]; j < w.xls[l + 1]; ++j)
            distance[w.ls[j]] = l - 1;
    return start;
}

// Numbers the component listed in queue[1..size] from `start`, continuing after `last`; status
// holds the distances to the end node on entry and the new numbers on return. priority is work
// (n ints by node). Returns the last number given.
int number_component(const int* xadj_, const int* adjncy_, int size, int start, int last,
                     int* status_, int* queue_, int* priority_, int* mask_) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_);
    OneBased<int> status(status_), queue(queue_), priority(priority_), mask(mask_);
    for (int i = 1; i <= size; ++i) {
        const int node = queue[i];
        priority[node] = distance_weight * status[node] - degree_weight * (degree(xadj, node) + 1);
        status[node] = inactive;
    }
    int nn = 1;
    queue[1] = start;
    status[start] = preactive;
    auto raise = [&](int node) {
        priority[node] += degree_weight;
        if (status[node] == inactive) {
            queue[++nn] = node;
            status[node] = preactive;
        }
    };
    while (nn > 0) {
        int address = 1;
        for (int i = 2; i <= nn; ++i)
            if (priority[queue[i]] > priority[queue[address]]) address = i;
        const int next = queue[address];
        queue[address] = queue[nn--];
        if (status[next] == preactive)
            for (int j = xadj[next]; j < xadj[next + 1]; ++j)
                raise(adjncy[j]);
        status[next] = ++last;
        mask[next] = 0;
        for (int j = xadj[next]; j < xadj[next + 1]; ++j) {
            const int nbr = adjncy[j];
            if (status[nbr] != preactive) continue;
            priority[nbr] += degree_weight;
            status[nbr] = active;
            for (int k = xadj[nbr]; k < xadj[nbr + 1]; ++k)
                raise(adjncy[k]);
        }
    }
    return last;
}

// Profile of a numbering (number[i] the number of node i), diagonal included.
int profile_of(int n, OneBased<const int> xadj, OneBased<const int> adjncy, const int* number_) {
    OneBased<const int> number(number_);
    int profile = n;
    for (int i = 1; i <= n; ++i) {
        int lowest = number[i];
        for (int j = xadj[i]; j < xadj[i + 1]; ++j)
            lowest = lowest < number[adjncy[j]] ? lowest : number[adjncy[j]];
        profile += int_max(int_diff(number[i], lowest), 0);
    }
    return profile;
}

} // namespace

int level_structure_bfs(int root, const int* xadj, const int* adjncy, int* mask, int* ls,
                        int* xls) {
    return rooted_level_structure(root, xadj, adjncy, mask, xls, ls);
}

void sort_nodes_by_key(int n, int* list_, const int* key_, int ascending) {
    OneBased<int> list(list_);
    OneBased<const int> key(key_);
    for (int k = 2; k <= n; ++k) {
        const int node = list[k];
        int l = k - 1;
        while (l >= 1 && (ascending == 1 ? key[list[l]] > key[node] : key[list[l]] < key[node])) {
            list[l + 1] = list[l];
            --l;
        }
        list[l + 1] = node;
    }
}

int profile_order(int n, const int* xadj, const int* adjncy, int* newnum_, int* work,
                  int& old_profile, int& ncomp) {
    OneBased<int> newnum(newnum_);
    Work w(n, work);
    for (int i = 1; i <= n; ++i) {
        newnum[i] = 0;
        w.mask[i] = 1;
    }
    ncomp = 0;
    for (int numbered = 0; numbered < n;) {
        int size = 0;
        const int start = pseudo_diameter(n, xadj, adjncy, w, newnum_, size);
        numbered = number_component(xadj, adjncy, size, start, numbered, newnum_, w.ls.at(1),
                                    w.xls.at(1), w.mask.at(1));
        ++ncomp;
    }
    for (int i = 1; i <= n; ++i)
        w.hlevel[i] = i;
    old_profile = profile_of(n, xadj, adjncy, w.hlevel.at(1));
    const int new_profile = profile_of(n, xadj, adjncy, newnum_);
    if (old_profile >= new_profile) return new_profile;
    for (int i = 1; i <= n; ++i)
        newnum[i] = i;
    return old_profile;
}

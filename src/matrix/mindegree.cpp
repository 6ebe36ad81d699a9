// Multiple minimum degree ordering (Liu, "Modification of the minimum degree algorithm by
// multiple elimination", 1985): degree lists, elimination on the quotient graph with element
// absorption and mass elimination of indistinguishable nodes, degree update after each pass
// and the final numbering of the supernodes.
//
// While it runs, dforw (invp) and dbakw (perm) are the degree lists' forward and backward
// links: dbakw[v] = -deg for the head of list deg, 0 for a node waiting for its degree update,
// -maxint for a node outside the lists; dforw[v] < 0 for an eliminated node (-its number) or a
// merged one (-its representative). An element's adjacency is a chain of storage runs linked
// by negated node numbers and ended by 0 or the end of a run.
#include "matrix/mindegree.h"

#include "matrix/one_based.h"

using mx::OneBased;

namespace {

// Calls visit(node) for each entry of the chain of storage runs that starts at `link`, until a
// 0 entry or the end of the last run; visit returns false to stop early.
template <class Visit>
void walk_element(int link, OneBased<const int> xadj, const int* adjncy_, Visit visit) {
    OneBased<const int> adjncy(adjncy_);
    for (;;) {
        const int stop = xadj[link + 1] - 1;
        int i = xadj[link];
        for (; i <= stop; ++i) {
            const int node = adjncy[i];
            if (node < 0) {
                link = -node;
                break;
            }
            if (node == 0 || !visit(node)) return;
        }
        if (i > stop) return;
    }
}

// `node` is indistinguishable from `into`: its weight joins into's, and it is marked as merged
// (dforw -into, dbakw -maxint) so that no list and no later pass takes it again.
void merge_node(int node, int into, OneBased<int> qsize, OneBased<int> marker, OneBased<int> dforw,
                OneBased<int> dbakw, int maxint) {
    qsize[into] += qsize[node];
    qsize[node] = 0;
    marker[node] = maxint;
    dforw[node] = -into;
    dbakw[node] = -maxint;
}

} // namespace

void mmd_init_degrees(int n, const int* xadj_, int* dhead_, int* dforw_, int* dbakw_, int* qsize_,
                      int* llist_, int* marker_) {
    OneBased<const int> xadj(xadj_);
    OneBased<int> dhead(dhead_), dforw(dforw_), dbakw(dbakw_), qsize(qsize_), llist(llist_),
        marker(marker_);
    for (int node = 1; node <= n; ++node) {
        dhead[node] = 0;
        qsize[node] = 1;
        marker[node] = 0;
        llist[node] = 0;
    }
    for (int node = 1; node <= n; ++node) {
        const int ndeg = xadj[node + 1] - xadj[node] + 1;
        const int fnode = dhead[ndeg];
        dforw[node] = fnode;
        dhead[ndeg] = node;
        if (fnode > 0) dbakw[fnode] = node;
        dbakw[node] = -ndeg;
    }
}

void mmd_eliminate(int mdnode, const int* xadj_, int* adjncy_, int* dhead_, int* dforw_,
                   int* dbakw_, int* qsize_, int* llist_, int* marker_, int maxint, int tag) {
    OneBased<const int> xadj(xadj_);
    OneBased<int> adjncy(adjncy_), dhead(dhead_), dforw(dforw_), dbakw(dbakw_), qsize(qsize_),
        llist(llist_), marker(marker_);
    // The reachable set of mdnode, written over its own adjacency: its uneliminated neighbours,
    // then those of the elements it touches (their storage reused when its own runs out).
    marker[mdnode] = tag;
    int elmnt = 0;
    int rloc = xadj[mdnode], rlmt = xadj[mdnode + 1] - 1;
    for (int i = xadj[mdnode]; i < xadj[mdnode + 1]; ++i) {
        const int nabor = adjncy[i];
        if (nabor == 0) break;
        if (marker[nabor] >= tag) continue;
        marker[nabor] = tag;
        if (dforw[nabor] < 0) {
            llist[nabor] = elmnt;
            elmnt = nabor;
        } else {
            adjncy[rloc++] = nabor;
        }
    }
    for (; elmnt > 0; elmnt = llist[elmnt]) {
        adjncy[rlmt] = -elmnt;
        walk_element(elmnt, xadj, adjncy_, [&](int node) {
            if (marker[node] >= tag || dforw[node] < 0) return true;
            marker[node] = tag;
            while (rloc >= rlmt) {
                const int link = -adjncy[rlmt];
                rloc = xadj[link];
                rlmt = xadj[link + 1] - 1;
            }
            adjncy[rloc++] = node;
            return true;
        });
    }
    if (rloc <= rlmt) adjncy[rloc] = 0;
    // Each reachable node leaves the degree lists, loses the neighbours now reached through
    // mdnode, and either merges into mdnode (nothing else left) or waits for its update.
    walk_element(mdnode, xadj, adjncy_, [&](int rnode) {
        const int pvnode = dbakw[rnode];
        if (pvnode != 0 && pvnode != -maxint) {
            const int nxnode = dforw[rnode];
            if (nxnode > 0) dbakw[nxnode] = pvnode;
            if (pvnode > 0) dforw[pvnode] = nxnode;
            if (pvnode < 0) dhead[-pvnode] = nxnode;
        }
        const int jstrt = xadj[rnode], jstop = xadj[rnode + 1] - 1;
        int xqnbr = jstrt;
        for (int j = jstrt; j <= jstop; ++j) {
            const int nabor = adjncy[j];
            if (nabor == 0) break;
            if (marker[nabor] >= tag) continue;
            adjncy[xqnbr++] = nabor;
        }
        const int nqnbrs = xqnbr - jstrt;
        if (nqnbrs <= 0) {
            merge_node(rnode, mdnode, qsize, marker, dforw, dbakw, maxint);
        } else {
            dforw[rnode] = nqnbrs + 1;
            dbakw[rnode] = 0;
            adjncy[xqnbr++] = mdnode;
            if (xqnbr <= jstop) adjncy[xqnbr] = 0;
        }
        return true;
    });
}

void mmd_update_degrees(int ehead, int n, const int* xadj_, const int* adjncy_, int delta,
                        int& mdeg, int* dhead_, int* dforw_, int* dbakw_, int* qsize_, int* llist_,
                        int* marker_, int maxint, int& tag) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_);
    OneBased<int> dhead(dhead_), dforw(dforw_), dbakw(dbakw_), qsize(qsize_), llist(llist_),
        marker(marker_);
    const int mdeg0 = mdeg + delta;
    for (int elmnt = ehead; elmnt > 0; elmnt = llist[elmnt]) {
        int mtag = tag + mdeg0;
        if (mtag >= maxint) {
            tag = 1;
            for (int i = 1; i <= n; ++i)
                if (marker[i] < maxint) marker[i] = 0;
            mtag = tag + mdeg0;
        }
        // The element's nodes waiting for an update, in two lists: those with two quotient
        // neighbours (this element and one other) and the rest; deg0 counts the element.
        int q2head = 0, qxhead = 0, deg0 = 0;
        walk_element(elmnt, xadj, adjncy_, [&](int enode) {
            if (qsize[enode] == 0) return true;
            deg0 += qsize[enode];
            marker[enode] = mtag;
            if (dbakw[enode] != 0) return true;
            if (dforw[enode] == 2) {
                llist[enode] = q2head;
                q2head = enode;
            } else {
                llist[enode] = qxhead;
                qxhead = enode;
            }
            return true;
        });
        for (int pass = 0; pass < 2; ++pass) {
            for (int enode = pass == 0 ? q2head : qxhead; enode > 0; enode = llist[enode]) {
                if (dbakw[enode] != 0) continue;
                ++tag;
                int deg = deg0;
                if (pass == 0) {
                    int nabor = adjncy[xadj[enode]];
                    if (nabor == elmnt) nabor = adjncy[xadj[enode] + 1];
                    if (dforw[nabor] >= 0) {
                        deg += qsize[nabor];
                    } else {
                        // The other element: count its new nodes; a node of it already marked
                        // with two quotient neighbours is indistinguishable from enode.
                        walk_element(nabor, xadj, adjncy_, [&](int node) {
                            if (node == enode || qsize[node] == 0) return true;
                            if (marker[node] < tag) {
                                marker[node] = tag;
                                deg += qsize[node];
                            } else if (dbakw[node] == 0) {
                                if (dforw[node] == 2)
                                    merge_node(node, enode, qsize, marker, dforw, dbakw, maxint);
                                else
                                    dbakw[node] = -maxint;
                            }
                            return true;
                        });
                    }
                } else {
                    for (int i = xadj[enode]; i < xadj[enode + 1]; ++i) {
                        const int nabor = adjncy[i];
                        if (nabor == 0) break;
                        if (marker[nabor] >= tag) continue;
                        marker[nabor] = tag;
                        if (dforw[nabor] >= 0) {
                            deg += qsize[nabor];
                            continue;
                        }
                        walk_element(nabor, xadj, adjncy_, [&](int node) {
                            if (marker[node] < tag) {
                                marker[node] = tag;
                                deg += qsize[node];
                            }
                            return true;
                        });
                    }
                }
                deg = deg - qsize[enode] + 1;
                const int fnode = dhead[deg];
                dforw[enode] = fnode;
                dbakw[enode] = -deg;
                if (fnode > 0) dbakw[fnode] = enode;
                dhead[deg] = enode;
                if (deg < mdeg) mdeg = deg;
            }
        }
        tag = mtag;
    }
}

void mmd_final_numbering(int n, int* perm_, int* invp_, const int* qsize_) {
    OneBased<int> perm(perm_), invp(invp_);
    OneBased<const int> qsize(qsize_);
    for (int node = 1; node <= n; ++node)
        perm[node] = qsize[node] > 0 ? -invp[node] : invp[node];
    // A merged node follows the representative at the root of its merge tree; the tree is
    // shortened on the way.
    for (int node = 1; node <= n; ++node) {
        if (perm[node] > 0) continue;
        int father = node;
        while (perm[father] <= 0)
            father = -perm[father];
        const int root = father;
        const int num = perm[root] + 1;
        invp[node] = -num;
        perm[root] = num;
        father = node;
        for (int nextf = -perm[father]; nextf > 0; nextf = -perm[father]) {
            perm[father] = -root;
            father = nextf;
        }
    }
    for (int node = 1; node <= n; ++node) {
        const int num = -invp[node];
        invp[node] = num;
        perm[num] = node;
    }
}

void minimum_degree_order(int n, const int* xadj, int* adjncy, int* invp_, int* perm_, int delta,
                          int* dhead_, int* qsize_, int* llist_, int* marker_, int maxint,
                          int& nofsub) {
    if (n <= 0) return;
    OneBased<int> invp(invp_), perm(perm_), dhead(dhead_), qsize(qsize_), llist(llist_),
        marker(marker_);
    nofsub = 0;
    mmd_init_degrees(n, xadj, dhead_, invp_, perm_, qsize_, llist_, marker_);
    int num = 1;
    // Isolated nodes are numbered first.
    for (int mdnode = dhead[1]; mdnode > 0;) {
        const int next = invp[mdnode];
        marker[mdnode] = maxint;
        invp[mdnode] = -num++;
        mdnode = next;
    }
    int tag = 1, mdeg = 2;
    dhead[1] = 0;
    while (num <= n) {
        while (mdeg <= n && dhead[mdeg] <= 0)
            ++mdeg;
        if (mdeg > n) break; // no node left in the lists: cannot happen while num <= n
        // Eliminate every node of degree up to mdeg + delta, then update the degrees.
        const int mdlmt = mdeg + delta;
        int ehead = 0;
        for (;;) {
            const int mdnode = mdeg <= n ? dhead[mdeg] : 0;
            if (mdnode <= 0) {
                if (++mdeg > mdlmt) break;
                continue;
            }
            const int next = invp[mdnode];
            dhead[mdeg] = next;
            if (next > 0) perm[next] = -mdeg;
            invp[mdnode] = -num;
            nofsub += mdeg + qsize[mdnode] - 2;
            if (num + qsize[mdnode] > n) {
                mmd_final_numbering(n, perm_, invp_, qsize_);
                return;
            }
            if (++tag >= maxint) {
                tag = 1;
                for (int i = 1; i <= n; ++i)
                    if (marker[i] < maxint) marker[i] = 0;
            }
            mmd_eliminate(mdnode, xadj, adjncy, dhead_, invp_, perm_, qsize_, llist_, marker_,
                          maxint, tag);
            num += qsize[mdnode];
            llist[mdnode] = ehead;
            ehead = mdnode;
            if (delta < 0) break;
        }
        if (num > n) break;
        mmd_update_degrees(ehead, n, xadj, adjncy, delta, mdeg, dhead_, invp_, perm_, qsize_,
                           llist_, marker_, maxint, tag);
    }
    mmd_final_numbering(n, perm_, invp_, qsize_);
}

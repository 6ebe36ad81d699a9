// Test fixtures of the matrix library: random symmetric positive-definite matrices, a dense
// Cholesky reference solve, small graphs, a naive symbolic elimination and an ordered sparse
// system of the library's double-precision routines.
#pragma once

#include "matrix/ordering.h"
#include "matrix/sparse.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace mxtest {

/// A dense symmetric matrix, 1-based access.
struct Dense {
    int n = 0;
    std::vector<double> a;
    explicit Dense(int order) : n(order), a(std::size_t(order) * order, 0.0) {}
    double& operator()(int i, int j) { return a[std::size_t(i - 1) * n + (j - 1)]; }
    double operator()(int i, int j) const { return a[std::size_t(i - 1) * n + (j - 1)]; }
};

/// Solves A·x = b by a dense Cholesky factorisation in long double (the reference).
inline std::vector<double> dense_solve(const Dense& m, const std::vector<double>& b) {
    const int n = m.n;
    std::vector<long double> l(std::size_t(n) * n, 0.0L);
    auto L = [&](int i, int j) -> long double& { return l[std::size_t(i - 1) * n + (j - 1)]; };
    for (int j = 1; j <= n; ++j) {
        long double d = m(j, j);
        for (int k = 1; k < j; ++k)
            d -= L(j, k) * L(j, k);
        L(j, j) = std::sqrt(d);
        for (int i = j + 1; i <= n; ++i) {
            long double s = m(i, j);
            for (int k = 1; k < j; ++k)
                s -= L(i, k) * L(j, k);
            L(i, j) = s / L(j, j);
        }
    }
    std::vector<long double> y(b.begin(), b.end());
    for (int i = 1; i <= n; ++i) {
        for (int k = 1; k < i; ++k)
            y[i - 1] -= L(i, k) * y[k - 1];
        y[i - 1] /= L(i, i);
    }
    for (int i = n; i >= 1; --i) {
        for (int k = i + 1; k <= n; ++k)
            y[i - 1] -= L(k, i) * y[k - 1];
        y[i - 1] /= L(i, i);
    }
    return std::vector<double>(y.begin(), y.end());
}

/// Adds a diagonal that makes the matrix strictly diagonally dominant (so positive definite).
inline void make_dominant(Dense& m, double margin) {
    for (int i = 1; i <= m.n; ++i) {
        double s = 0.0;
        for (int j = 1; j <= m.n; ++j)
            if (j != i) s += std::fabs(m(i, j));
        m(i, i) = s + margin;
    }
}

/// Random SPD matrix with half-bandwidth bw.
inline Dense random_band_spd(int n, int bw, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Dense m(n);
    for (int i = 1; i <= n; ++i)
        for (int j = i + 1; j <= std::min(n, i + bw); ++j)
            m(i, j) = m(j, i) = u(rng);
    make_dominant(m, 0.5);
    return m;
}

/// A graph in 1-based index-pointer form.
struct Graph {
    int n = 0;
    std::vector<int> xadj, adjncy;
};

/// The graph of a grid of nx x nz nodes from one of the library's adjacency builders
/// (`build(xadj, adjncy, nx, nz)`), with room for `per_node` neighbours a node.
template <class Build> Graph grid_graph(int nx, int nz, int per_node, Build build) {
    Graph g;
    g.n = nx * nz;
    g.xadj.resize(g.n + 1);
    g.adjncy.resize(std::size_t(per_node) * std::size_t(g.n) + 1);
    build(g.xadj.data(), g.adjncy.data(), nx, nz);
    return g;
}

/// The graph whose node v (1-based) has the neighbours lists[v], in that order.
inline Graph graph_from_lists(const std::vector<std::vector<int>>& lists) {
    Graph g;
    g.n = int(lists.size()) - 1;
    g.xadj.push_back(1);
    for (int v = 1; v <= g.n; ++v) {
        g.adjncy.insert(g.adjncy.end(), lists[v].begin(), lists[v].end());
        g.xadj.push_back(int(g.adjncy.size()) + 1);
    }
    if (g.adjncy.empty()) g.adjncy.push_back(0);
    return g;
}

/// The path order[0] - order[1] - ... of the nodes 1..order.size().
inline Graph path_graph(const std::vector<int>& order) {
    std::vector<std::vector<int>> lists(order.size() + 1);
    for (std::size_t k = 1; k < order.size(); ++k) {
        lists[order[k - 1]].push_back(order[k]);
        lists[order[k]].push_back(order[k - 1]);
    }
    return graph_from_lists(lists);
}

/// Random connected-or-not graph: each pair joined with probability p.
inline Graph random_graph(int n, double p, unsigned seed) {
    std::mt19937 rng(seed);
    std::bernoulli_distribution edge(p);
    std::vector<std::vector<int>> lists(n + 1);
    for (int i = 1; i <= n; ++i)
        for (int j = i + 1; j <= n; ++j)
            if (edge(rng)) {
                lists[i].push_back(j);
                lists[j].push_back(i);
            }
    Graph g;
    g.n = n;
    g.xadj.push_back(1);
    for (int i = 1; i <= n; ++i) {
        std::shuffle(lists[i].begin(), lists[i].end(), rng);
        for (int v : lists[i])
            g.adjncy.push_back(v);
        g.xadj.push_back(int(g.adjncy.size()) + 1);
    }
    if (g.adjncy.empty()) g.adjncy.push_back(0);
    return g;
}

/// Random SPD matrix whose off-diagonal pattern is the graph (in old numbering).
inline Dense random_spd_on_graph(const Graph& g, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Dense m(g.n);
    for (int v = 1; v <= g.n; ++v)
        for (int t = g.xadj[v - 1]; t < g.xadj[v]; ++t) {
            int w = g.adjncy[t - 1];
            if (w > v) m(v, w) = m(w, v) = u(rng);
        }
    make_dominant(m, 0.5);
    return m;
}

inline std::vector<double> random_vector(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v)
        x = u(rng);
    return v;
}

/// Largest |x - y| relative to the largest |y|.
inline double relative_difference(const std::vector<double>& x, const std::vector<double>& y,
                                  int from = 1) {
    double diff = 0.0, scale = 0.0;
    for (std::size_t i = std::size_t(from - 1); i < y.size(); ++i) {
        diff = std::max(diff, std::fabs(x[i] - y[i]));
        scale = std::max(scale, std::fabs(y[i]));
    }
    return diff / scale;
}

/// Structure of L by plain elimination on a dense pattern: rows[k] lists the rows below k of
/// column k in increasing order (new numbering).
inline std::vector<std::vector<int>> naive_factor_pattern(const Graph& g,
                                                          const std::vector<int>& invp) {
    const int n = g.n;
    std::vector<std::vector<char>> nz(n + 1, std::vector<char>(n + 1, 0));
    for (int v = 1; v <= n; ++v)
        for (int t = g.xadj[v - 1]; t < g.xadj[v]; ++t) {
            int a = invp[v - 1], b = invp[g.adjncy[t - 1] - 1];
            nz[a][b] = nz[b][a] = 1;
        }
    std::vector<std::vector<int>> rows(n + 1);
    for (int k = 1; k <= n; ++k) {
        for (int i = k + 1; i <= n; ++i)
            if (nz[i][k]) rows[k].push_back(i);
        for (int i : rows[k])
            for (int j : rows[k])
                nz[i][j] = 1;
    }
    return rows;
}

// An ordered graph with its symbolic factorisation and room for the values.
struct SparseSystem {
    int n = 0;
    std::vector<int> perm, invp, xlnz, xnzsub, nzsub;
    std::vector<double> lnz, diag;
    std::vector<int> link, first;
    std::vector<double> temp;
    /// The ordering and symbolic factorisation succeeded and their structure passes the
    /// validator.
    bool ordered = false;

    explicit SparseSystem(Graph g) : n(g.n) {
        perm.resize(n + 1);
        invp.resize(n + 1);
        xlnz.resize(n + 1);
        xnzsub.resize(n + 1);
        nzsub.resize(std::size_t(n) * n + 1);
        int maxlnz = 0, maxsub = int(nzsub.size());
        ordered = nd_order_and_symbolic_factorisation(maxlnz, n, g.xadj.data(), g.adjncy.data(),
                                                      xlnz.data(), xnzsub.data(), nzsub.data(),
                                                      perm.data(), invp.data(), maxsub) == 0 &&
                  mx::check_compressed_structure(n, perm.data(), invp.data(), xlnz.data(),
                                                 xnzsub.data(), nzsub.data(), maxsub);
        lnz.resize(maxlnz + 1);
        diag.resize(n);
        link.resize(n);
        first.resize(n);
        temp.resize(n);
    }

    // Clears the values and adds every entry of m (old numbering) through the assembly routine;
    // false when an entry has no place in the structure.
    bool assemble(const Dense& m) {
        std::fill(lnz.begin(), lnz.end(), 0.0);
        std::fill(diag.begin(), diag.end(), 0.0);
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= i; ++j) {
                if (m(i, j) == 0.0) continue;
                if (add_sparse_entry_dbl(m(i, j), lnz.data(), i, j, diag.data(), xlnz.data(),
                                         nzsub.data(), xnzsub.data(), invp.data()) != 0)
                    return false;
            }
        return true;
    }
    int factor() {
        return fact_sparse_dbl(n, xlnz.data(), lnz.data(), xnzsub.data(), nzsub.data(), diag.data(),
                               link.data(), first.data(), temp.data());
    }
    std::vector<double> to_new(const std::vector<double>& old) const {
        std::vector<double> v(n);
        for (int k = 1; k <= n; ++k)
            v[invp[k - 1] - 1] = old[k - 1];
        return v;
    }
    std::vector<double> to_old(const std::vector<double>& v) const {
        std::vector<double> old(n);
        for (int i = 1; i <= n; ++i)
            old[perm[i - 1] - 1] = v[i - 1];
        return old;
    }
};

} // namespace mxtest

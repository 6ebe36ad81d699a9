// Blocks of sources on a factored band matrix, and the forward-sweep products of short lines.
#include "fesolve/band_sources.h"

#include "fesolve/solver_common.h"
#include "matrix/band.h"

#include <algorithm>
#include <cstring>

namespace fe {

namespace {

// The narrowest block width the kernels offer for `count` systems.
int lanes_for(int count) {
    int lanes = 2;
    while (lanes < count)
        lanes *= 2;
    return lanes;
}

// Clears rows from..nodes of a block of `lanes` and puts the unit currents of sources
// first .. first + count - 1 at their nodes.
void unit_currents(const BandSources& s, int nodes, int lanes, int first, int count, int from,
                   double* block) {
    std::memset(block + std::size_t(from - 1) * lanes, 0,
                sizeof(double) * std::size_t(nodes - from + 1) * lanes);
    for (int b = 0; b < count; ++b)
        block[std::size_t(s.node[first + b - 1] - 1) * lanes + b] = 1.0;
}

} // namespace

SolvedBlock solve_source_block(const double* u, int nodes, int bw, const BandSources& s, int index,
                               double* block) {
    const int first = index * band_block_lanes + 1;
    const int count = std::min(band_block_lanes, s.sources - first + 1);
    const int lanes = lanes_for(count);
    int from = nodes, to = nodes;
    for (int b = 0; b < count; ++b) {
        from = std::min(from, s.node[first + b - 1]);
        to = std::min(to, s.last[first + b - 1]);
    }
    // The back substitution reads the rows above the first current too: they start at zero.
    unit_currents(s, nodes, lanes, first, count, std::min(from, to), block);
    band_solve_lanes_dbl(u, nodes, block, lanes, bw, from, to);
    return {block, lanes, first, count};
}

bool pair_products_pay(int nodes, int bw, const BandSources& s) {
    const int n = s.n;
    if (n < 2 || n > band_block_lanes || s.sources < n - 1) return false;
    int to = nodes;
    double products = 0.0;
    for (int i = 1; i < n; ++i) {
        to = std::min(to, s.last[i - 1]);
        for (int j = i + 1; j <= n; ++j)
            products += nodes - std::max(s.node[i - 1], s.node[j - 1]) + 1;
    }
    return products < double(nodes - to + 1) * bw * lanes_for(n - 1);
}

template <class T>
SolvedBlock band_pair_products(const double* u, int nodes, int bw, const BandSources& s,
                               double* block, T* pairs) {
    const int n = s.n, lanes = lanes_for(n);
    int from = nodes;
    for (int e = 1; e <= n; ++e)
        from = std::min(from, s.node[e - 1]);
    // The rows above the first current stay zero in the sweeps, and complete_solutions reads
    // them: they are cleared too, not left from the block's last use.
    unit_currents(s, nodes, lanes, 1, n, 1, block);
    band_forward_lanes_dbl(u, nodes, block, lanes, bw, from);
    const SolvedBlock y{block, lanes, 1, n};
    for (int i = 1; i < n; ++i)
        for (int j = i + 1; j <= n; ++j) {
            double sum = 0.0;
            for (int v = std::max(s.node[i - 1], s.node[j - 1]); v <= nodes; ++v)
                sum += y.at(v, i - 1) * y.at(v, j - 1);
            pairs[pair_position(n, i, j)] = T(sum);
        }
    return y;
}

void complete_solutions(const double* u, int nodes, int bw, const SolvedBlock& b) {
    band_back_lanes_dbl(u, nodes, b.block, b.lanes, bw, 1);
}

template SolvedBlock band_pair_products<double>(const double*, int, int, const BandSources&,
                                                double*, double*);
template SolvedBlock band_pair_products<float>(const double*, int, int, const BandSources&, double*,
                                               float*);

} // namespace fe

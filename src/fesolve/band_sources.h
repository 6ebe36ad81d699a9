// The sources of a factored band matrix in blocks side by side: every row of the factor loaded
// once for a block of sources, the forward sweep from the block's first electrode, the back
// substitution no deeper than its sources' receivers need; or, for a short line, the forward
// sweeps alone and the potentials as their products.
#pragma once

#include <cstddef>

namespace fe {

/// Sources a block holds at most.
constexpr int band_block_lanes = 16;

/// Doubles of the block of one worker for a matrix of `nodes` rows.
inline std::size_t band_block_size(int nodes) {
    return std::size_t(band_block_lanes) * std::size_t(nodes);
}

/// The electrodes of a band solve, 0-based e < n: node[e] their matrix rows, last[e] the lowest
/// row at which the solution of source e + 1 is read (1 for a whole solution).
struct BandSources {
    int n;
    const int* node;
    const int* last;
    int sources; ///< sources 1 .. sources are solved
    int blocks() const { return (sources + band_block_lanes - 1) / band_block_lanes; }
};

/// One solved block of sources: the value of node v (1-based) for source `first` + b (b
/// 0-based, b < count) at block[(v - 1) lanes + b].
struct SolvedBlock {
    double* block;
    int lanes, first, count;
    double at(int v, int b) const { return block[std::size_t(v - 1) * lanes + b]; }
};

/// Solves block `index` of the sources with the factor u (nodes rows, half-bandwidth bw) in
/// `block` (band_block_size(nodes) doubles, 16-byte aligned): each source's unit current at
/// its node, the forward sweep from the smallest of their nodes, the back substitution down to
/// the smallest of their last rows. Each source gets band_cholesky_solve's result.
SolvedBlock solve_source_block(const double* u, int nodes, int bw, const BandSources& s, int index,
                               double* block);

/// Whether the line is short enough that every electrode fits in one block and the products of
/// forward sweeps cost less than the back substitutions of the sources.
bool pair_products_pay(int nodes, int bw, const BandSources& s);

/// The forward sweeps y_e = U⁻ᵀ·e_e of every electrode in one block, and the potential of every
/// pair i < j as y_i · y_j over the rows from the later node on, into pairs[pair_position(n, i,
/// j)] (double or float). Returns the block of the sweeps (sources 1 .. n).
template <class T>
SolvedBlock band_pair_products(const double* u, int nodes, int bw, const BandSources& s,
                               double* block, T* pairs);
extern template SolvedBlock band_pair_products<double>(const double*, int, int, const BandSources&,
                                                       double*, double*);
extern template SolvedBlock band_pair_products<float>(const double*, int, int, const BandSources&,
                                                      double*, float*);

/// Completes the forward sweeps of a block to whole solutions (back substitution to row 1).
void complete_solutions(const double* u, int nodes, int bw, const SolvedBlock& b);

} // namespace fe

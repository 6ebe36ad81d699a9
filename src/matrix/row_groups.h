// Potentials between groups of weighted rows of a factored sparse matrix (an electrode spread
// over the nodes around it, or over a stencil), from the entries of the inverse along the rows'
// paths in the elimination tree (mx::PathChains).
#pragma once

#include "matrix/path_chains.h"

#include <cstddef>
#include <vector>

namespace mx {

/// Groups of (row, weight) slots over a set of distinct rows (new numbering, 1-based). Built
/// once; read-only while the potentials of a factor are formed, on any number of threads.
class RowGroups {
  public:
    /// Starts a new group and returns its number (0-based, in the order started).
    int add_group();
    /// Adds `weight` at `row` to the group started last.
    void add(int row, double weight);
    int groups() const { return int(group_begin_.size()) - 1; }
    /// The distinct rows of all groups, in the order first added: the rows of the inverse's
    /// entries (PathChains::products and diagonal).
    const std::vector<int>& rows() const { return rows_; }
    /// Plans the rows' paths through the structure (xlnz, xnzsub, nzsub) of n rows with
    /// elimination tree `parent` (sparse_tree_parents); false when the memory is refused.
    bool plan(int n, const int* xlnz, const int* xnzsub, const int* nzsub, const int* parent);
    /// The paths, once planned.
    const PathChains& paths() const { return paths_; }
    /// Sum over the slots p of group a and q of group b of w_p w_q (A⁻¹)(row p, row q), from the
    /// packed entries and the diagonal of the distinct rows; a group of one slot of weight 1 on
    /// either side gives the inverse's entry itself.
    double potential(int a, int b, const double* packed, const double* diagonal) const;

  private:
    std::vector<int> rows_;           ///< distinct rows
    std::vector<int> group_begin_{0}; ///< group g's slots at group_begin_[g] .. [g + 1] - 1
    std::vector<int> slot_row_;       ///< index of each slot's row in rows_
    std::vector<double> slot_weight_; ///< each slot's weight
    std::vector<int> index_of_;       ///< rows_ index of a row, by row (-1: none)
    PathChains paths_;                ///< the rows' paths
};

} // namespace mx

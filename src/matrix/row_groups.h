// Potentials between groups of weighted rows of a factored sparse matrix (an electrode spread
// over the nodes around it, or over a stencil), from the entries of the inverse along the rows'
// paths in the elimination tree (mx::inverse_columns, inverse_products, inverse_diagonal).
#pragma once

#include "platform/sys/page_array.h"

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
    /// columns (inverse_columns) and of its packed entries (inverse_products, inverse_diagonal).
    const std::vector<int>& rows() const { return rows_; }
    /// Lays out the rows' paths in the elimination tree `parent` (sparse_tree_parents) of n rows
    /// and the rows each pair of paths shares; false when the memory for them is refused.
    bool plan(const int* parent, int n);
    /// The entries the path arrays need, once planned.
    std::size_t path_entries() const { return begin_.empty() ? 0 : begin_.back(); }
    /// The paths' places (inverse_paths' `begin`) once planned.
    const std::size_t* begin() const { return begin_.data(); }
    /// The rows each pair shares (inverse_common) once planned.
    const int* common() const { return common_.get(); }
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
    std::vector<std::size_t> begin_;  ///< the rows' paths in the path arrays
    sys::PageArray<int> common_;      ///< the rows each pair of paths shares
};

} // namespace mx

// Entries of the inverse of a factored sparse matrix between a set of rows, through the rows'
// paths in the elimination tree cut into chains: runs of rows that the same paths pass. The
// forward pass y = L⁻¹ e of every row goes chain by chain, all the paths through a chain at once
// in a dense front (the chain's rows and the rows its columns reach above it), as a
// multifrontal solve with one right-hand side a path; the products of two paths go over the
// chains they share, each chain's values loaded once for all its pairs. The values are those of
// mx::inverse_columns and inverse_products bit for bit: every path sees the operations of its
// own walk, in its order, and every pair is summed from the root down.
#pragma once

#include "matrix/sparse.h"

#include <cstddef>
#include <vector>

namespace mx {

class PathChains {
  public:
    /// Plans for `count` distinct rows (new numbering, 1-based) of the structure (xlnz, xnzsub,
    /// nzsub) of n rows with elimination tree `parent` (sparse_tree_parents); false when the
    /// memory is refused. The same for every factor of the structure: made once for a run.
    bool plan(int count, const int* rows, int n, const int* xlnz, const int* xnzsub,
              const int* nzsub, const int* parent);
    /// Doubles of the paths' values (the arrays of columns, products and diagonal).
    std::size_t value_count() const { return value_count_; }
    /// Doubles of the forward pass's work vector.
    std::size_t work_count() const { return work_count_; }

    /// The forward pass of every path with factor f (of the planned structure), into `values`;
    /// `work` is work_count() doubles of any content.
    void columns(const TreeFactor& f, double* values, double* work) const;
    /// The same in three parts: parts 0 and 1 (whole subtrees of about equal work) may run at
    /// the same time on two threads, with the same values and work; part 2 (the chains above
    /// them) after both.
    void columns(int part, const TreeFactor& f, double* values, double* work) const;
    /// The packed entries (A⁻¹)(rows[i], rows[j]), i < j, at j (j - 1) / 2 + i, of the pairs
    /// whose outer index j lies in j_first..j_last-1, and the diagonal entries
    /// (A⁻¹)(rows[j], rows[j]) into diagonal[j] for the same j (and j = 0 with j_first <= 1),
    /// from the values of columns. Calls for other ranges may run at the same time.
    void products(int j_first, int j_last, const double* values, double* packed,
                  double* diagonal) const;

  private:
    void split_parts();
    // Chain c: `length` rows from `bottom` up the tree; the `members` paths through it (their
    // indices ascending at member_[member_at]), the one starting at its bottom row at `start`
    // among them (or -1); its front: the chain's rows (their values at values_at, `stride`
    // doubles a row, in panels of a vector of members down the rows, zero after the members)
    // and the `updates` rows of the structure of its top row above it, whose places in the
    // parent chain's front are at update_place_[update_at]; where its members are among its
    // parent's (member_place_[member_at]); its rows' column entries' places in its front
    // (entry_place_[entry_at], column after column); the work place of its update rows once
    // it is done (stacked_at) and while it is worked on (front_at).
    struct Chain {
        int bottom = 0, length = 0, members = 0, start = -1, updates = 0, parent = -1;
        int stride = 0; ///< members rounded up to whole vectors: a front row's doubles
        std::size_t member_at = 0, values_at = 0, update_at = 0, entry_at = 0;
        std::size_t stacked_at = 0, front_at = 0;
    };
    std::vector<Chain> chains_;     ///< from the roots down: a chain before those below it
    std::vector<int> order_[3];     ///< the parts' chains, every chain after those below it
    std::vector<int> member_;       ///< the members' path indices, chain after chain
    std::vector<int> member_place_; ///< a member's place among its parent chain's members
    std::vector<int> update_place_; ///< an update row's place in its parent chain's front
    std::vector<int> entry_place_;  ///< a column entry's place in its chain's front
    std::vector<int> children_;     ///< chain c's children at child_at_[c] .. [c + 1] - 1
    std::vector<std::size_t> child_at_;
    std::size_t value_count_ = 0, work_count_ = 0;
};

} // namespace mx

// Groups of weighted rows and their potentials from the selected entries of the inverse.
#include "matrix/row_groups.h"

#include "platform/sys/verify.h"

#include <algorithm>

namespace mx {

int RowGroups::add_group() {
    group_begin_.push_back(group_begin_.back());
    return groups() - 1;
}

void RowGroups::add(int row, double weight) {
    VERIFY(groups() > 0 && row >= 1, row);
    if (std::size_t(row) >= index_of_.size()) index_of_.resize(std::size_t(row) + 1, -1);
    int& index = index_of_[std::size_t(row)];
    if (index < 0) {
        index = int(rows_.size());
        rows_.push_back(row);
    }
    slot_row_.push_back(index);
    slot_weight_.push_back(weight);
    ++group_begin_.back();
}

bool RowGroups::plan(int n, const int* xlnz, const int* xnzsub, const int* nzsub,
                     const int* parent) {
    return paths_.plan(int(rows_.size()), rows_.data(), n, xlnz, xnzsub, nzsub, parent);
}

double RowGroups::potential(int a, int b, const double* packed, const double* diagonal) const {
    double sum = 0.0;
    for (int p = group_begin_[std::size_t(a)]; p < group_begin_[std::size_t(a) + 1]; ++p)
        for (int q = group_begin_[std::size_t(b)]; q < group_begin_[std::size_t(b) + 1]; ++q) {
            const std::size_t i = std::size_t(slot_row_[std::size_t(p)]),
                              j = std::size_t(slot_row_[std::size_t(q)]);
            const std::size_t hi = std::max(i, j), lo = std::min(i, j);
            const double entry = i == j ? diagonal[i] : packed[hi * (hi - 1) / 2 + lo];
            sum += slot_weight_[std::size_t(p)] * slot_weight_[std::size_t(q)] * entry;
        }
    return sum;
}

} // namespace mx

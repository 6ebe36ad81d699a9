// Box nested dissection of a regular 3-D grid.
#include "matrix/boxnd.h"

#include <climits>
#include <cstdlib>

namespace {

// The box as bounds per axis (0 = x, 1 = y, 2 = z) and the grid's extents.
struct Box {
    int extent[3];
    int low[3], high[3];
    int size() const {
        return (high[0] - low[0] + 1) * (high[1] - low[1] + 1) * (high[2] - low[2] + 1);
    }
    int node(int x, int y, int z) const { return x + y * extent[0] + z * extent[0] * extent[1]; }
};

int number_box(const Box& box, int* new_to_old) {
    return box_nd_perm(box.extent[0], box.extent[1], box.extent[2], new_to_old, box.low[0],
                       box.high[0], box.low[1], box.high[1], box.low[2], box.high[2]);
}

// Cuts the box across `axis`; the plane's nodes run with `outer` outermost and the remaining
// axis inside.
int split(Box box, int axis, int outer, int* new_to_old) {
    const int low = box.low[axis], high = box.high[axis];
    int m = (low + high) / 2;
    if ((low + high) % 2 != 0 && m < half_rounded_up(box.extent[axis])) ++m;
    int count = 0;
    if (m > low) {
        Box lower = box;
        lower.high[axis] = m - 1;
        if (number_box(lower, new_to_old) != 0) return -1;
        count += lower.size();
    }
    if (high > m) {
        Box upper = box;
        upper.low[axis] = m + 1;
        if (number_box(upper, new_to_old + count) != 0) return -1;
        count += upper.size();
    }
    const int inner = 3 - axis - outer;
    int at[3];
    at[axis] = m;
    for (at[outer] = box.low[outer]; at[outer] <= box.high[outer]; ++at[outer])
        for (at[inner] = box.low[inner]; at[inner] <= box.high[inner]; ++at[inner])
            new_to_old[count++] = box.node(at[0], at[1], at[2]);
    return 0;
}

Box make_box(int n1, int n2, int n3, int west, int east, int south, int north, int bottom,
             int top) {
    return Box{{n1, n2, n3}, {west, south, bottom}, {east, north, top}};
}

} // namespace

int half_rounded_up(int k) {
    const int half = (std::abs(k) + 1) / 2;
    return k < 0 ? -half : half;
}

int box_split_axis(int west, int east, int south, int north, int bottom, int top) {
    const int m1 = east - west + 1, m2 = north - south + 1, m3 = top - bottom + 1;
    if (m1 == m2 && m2 == m3) return 3;
    if (m1 >= m2 && m1 >= m3) return 1;
    if (m2 >= m3) return 2;
    return 3;
}

int box_split_x(int n1, int n2, int n3, int* new_to_old, int west, int east, int south, int north,
                int bottom, int top) {
    return split(make_box(n1, n2, n3, west, east, south, north, bottom, top), 0, 2, new_to_old);
}

int box_split_y(int n1, int n2, int n3, int* new_to_old, int west, int east, int south, int north,
                int bottom, int top) {
    return split(make_box(n1, n2, n3, west, east, south, north, bottom, top), 1, 2, new_to_old);
}

int box_split_z(int n1, int n2, int n3, int* new_to_old, int west, int east, int south, int north,
                int bottom, int top) {
    return split(make_box(n1, n2, n3, west, east, south, north, bottom, top), 2, 1, new_to_old);
}

int box_nd_perm(int n1, int n2, int n3, int* new_to_old, int west, int east, int south, int north,
                int bottom, int top) {
    if (n1 <= 0 || n2 <= 0 || n3 <= 0 || !new_to_old || west < 0 || west > east || east >= n1 ||
        south < 0 || south > north || north >= n2 || bottom < 0 || bottom > top || top >= n3)
        return -1;
    if (west == east && south == north && bottom == top) {
        new_to_old[0] = west + south * n1 + bottom * n1 * n2;
        return 0;
    }
    switch (box_split_axis(west, east, south, north, bottom, top)) {
    case 1:
        return box_split_x(n1, n2, n3, new_to_old, west, east, south, north, bottom, top);
    case 2:
        return box_split_y(n1, n2, n3, new_to_old, west, east, south, north, bottom, top);
    default:
        return box_split_z(n1, n2, n3, new_to_old, west, east, south, north, bottom, top);
    }
}

int box_nd_order(int n1, int n2, int n3, int* new_to_old, int* old_to_new) {
    if (n1 <= 0 || n2 <= 0 || n3 <= 0 || n1 > INT_MAX / n2 || n1 * n2 > INT_MAX / n3) return -1;
    const int n = n1 * n2 * n3;
    for (int i = 0; i < n; ++i)
        new_to_old[i] = old_to_new[i] = 0;
    if (box_nd_perm(n1, n2, n3, new_to_old, 0, n1 - 1, 0, n2 - 1, 0, n3 - 1) != 0) return -1;
    for (int i = 0; i < n; ++i)
        old_to_new[new_to_old[i]] = i;
    for (int i = 0; i < n; ++i) {
        ++new_to_old[i];
        ++old_to_new[i];
    }
    return 0;
}

// Electrode-to-node-column mapping by the nearest column or linear interpolation between two.
#include "fdsolve/electrode_nodes.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One body for the float and double twins; T is the type of the positions and weights.
template <class T>
void place_electrode(int first_column, int step, int electrodes, int last_column, double p,
                     const T* positions, int* list, T* weights) {
    auto survey_column = [&](int c) {
        const int offset = c - (first_column - 1);
        return step > 0 && offset >= 0 && offset % step == 0 && offset / step < electrodes;
    };
    int nearest = 0;
    double d = p - positions[0];
    for (int i = 1; i <= last_column; ++i)
        if (std::fabs(p - positions[i]) < std::fabs(d)) {
            nearest = i;
            d = p - positions[i];
        }
    const int toward = d >= 0.0 ? 1 : -1;
    int a = nearest, b = nearest;
    if (std::fabs(d) <= 0.1) {
        if (survey_column(a)) a = b = nearest + toward;
    } else {
        b = nearest + toward;
        if (survey_column(a))
            a = b;
        else if (survey_column(b))
            b = a;
    }
    list[0] = 0;
    if (a < 3 || b < 3 || a > last_column - 2 || b > last_column - 2) return;
    if (a == b) {
        list[0] = 1;
        list[1] = a;
        weights[0] = T(1);
        return;
    }
    const double width = std::fabs(double(positions[b]) - double(positions[a]));
    list[0] = 2;
    list[1] = a;
    list[2] = b;
    weights[0] = T(std::fabs(p - double(positions[b])) / width);
    weights[1] = T(std::fabs(p - double(positions[a])) / width);
}

} // namespace

void find_electrode_nodes(int first_column, int step, int electrodes, int last_column,
                          float electrode_x, float reference_x, const float* positions, int* list,
                          float* weights) {
    place_electrode(first_column, step, electrodes, last_column, double(electrode_x + reference_x),
                    positions, list, weights);
}

void find_electrode_column(int first_column, int step, int electrodes, int last_column,
                           float electrode_x, double reference_x, const double* positions,
                           int* list, double* weights) {
    place_electrode(first_column, step, electrodes, last_column, electrode_x + reference_x,
                    positions, list, weights);
}

namespace {

// The twins of one placement, chosen by the type of the positions.
void place_one(int first_column, int step, int electrodes, int last_column, float electrode_x,
               float reference_x, const float* positions, int* list, float* weights) {
    find_electrode_nodes(first_column, step, electrodes, last_column, electrode_x, reference_x,
                         positions, list, weights);
}
void place_one(int first_column, int step, int electrodes, int last_column, float electrode_x,
               double reference_x, const double* positions, int* list, double* weights) {
    find_electrode_column(first_column, step, electrodes, last_column, electrode_x, reference_x,
                          positions, list, weights);
}

template <class T>
void place_remote(int nodes_per_spacing, int nelec, int kind, int m, int nx, const T* positions,
                  float c2_x, float p2_x, int* list, T* weights, int* c2_count, int* p2_count) {
    const T reference = positions[m - 1];
    int found[3];
    T w[2];
    const float remote_x[2] = {c2_x, p2_x};
    int* counts[2] = {c2_count, p2_count};
    *p2_count = 0;
    int placed = 0;
    for (int which = 0; which < (kind == 4 ? 2 : 1); ++which) {
        place_one(m, nodes_per_spacing, nelec, nx - 1, remote_x[which], reference, positions, found,
                  w);
        *counts[which] = found[0];
        for (int i = 0; i < found[0]; ++i, ++placed) {
            list[placed] = found[i + 1] + 1;
            weights[placed] = w[i];
        }
    }
}

} // namespace

void find_remote_electrode_nodes(int nodes_per_spacing, int nelec, int kind, int m, int nx,
                                 const double* positions, float c2_x, float p2_x, int* list,
                                 double* weights, int* c2_count, int* p2_count) {
    place_remote(nodes_per_spacing, nelec, kind, m, nx, positions, c2_x, p2_x, list, weights,
                 c2_count, p2_count);
}

void find_remote_electrode_nodes_flt(int nodes_per_spacing, int nelec, int kind, int m, int nx,
                                     const float* positions, float c2_x, float p2_x, int* list,
                                     float* weights, int* c2_count, int* p2_count) {
    place_remote(nodes_per_spacing, nelec, kind, m, nx, positions, c2_x, p2_x, list, weights,
                 c2_count, p2_count);
}

namespace {

template <class T> double widest_spacing(const T* positions, int n, const int* columns, int count) {
    double widest = 0.0;
    for (int q = 0; q < count; ++q) {
        const int c = columns[q];
        if (c > 0) widest = std::max(widest, double(positions[c]) - double(positions[c - 1]));
        if (c + 1 < n) widest = std::max(widest, double(positions[c + 1]) - double(positions[c]));
    }
    return widest;
}

} // namespace

double widest_spacing_at(const double* positions, int n, const int* columns, int count) {
    return widest_spacing(positions, n, columns, count);
}

double widest_spacing_at(const float* positions, int n, const int* columns, int count) {
    return widest_spacing(positions, n, columns, count);
}

double remote_distance_ratio(double placed, double own, double depth, double strike,
                             double nearest) {
    return std::hypot(std::max(std::fabs(placed), nearest), depth, strike) /
           std::hypot(std::max(std::fabs(own), nearest), depth, strike);
}

void move_remote_potentials(double* values, int n, double placed, double own, double strike,
                            double nearest) {
    if (placed == own || n < 1) return;
    auto distance = [&](double x, double from) {
        return std::hypot(std::max(std::fabs(x - from), nearest), strike);
    };
    std::vector<double> product(static_cast<std::size_t>(n));
    for (int e = 0; e < n; ++e)
        product[std::size_t(e)] = values[e] * distance(e, placed);
    const double shift = placed - own;
    // The side of `placed` a receiver stands on (0 on it).
    auto side = [&](double x) { return x > placed ? 1 : x < placed ? -1 : 0; };
    for (int e = 0; e < n; ++e) {
        const double target = e + shift;
        const int here = side(e);
        int beside = -1;
        for (int j : {e + (shift > 0.0 ? 1 : -1), e - (shift > 0.0 ? 1 : -1)})
            if (beside < 0 && j >= 0 && j < n && here != 0 && side(j) == here &&
                side(target) == here)
                beside = j;
        if (beside < 0) {
            values[e] *= remote_distance_ratio(e - placed, e - own, 0.0, strike, nearest);
            continue;
        }
        const double p = product[std::size_t(e)], q = product[std::size_t(beside)];
        values[e] = (p + (q - p) * shift / double(beside - e)) / distance(e, own);
    }
}

// The standard data set of an electrode array: the levels of each array type, the multiple-
// gradient set, and the grouping of the depth-sorted arrays into datum levels.
#include "model/datum_points.h"

#include "model/array_type.h"
#include "model/depth_tables.h"
#include "model/plot_points.h"
#include "model/services.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// Distance at which the remote electrodes of the pole arrays stand, in unit spacings.
constexpr float remote = 100000.0f;

// One level (a, n) of a standard array: its count of data along the line, its geometric factor
// and its median depth of investigation, in unit spacings.
struct LevelShape {
    int count = 0;
    float geometric_factor = 0.0f;
    float depth = 0.0f;
    int first_offset = 0; // first electrode of the level's first datum, less one
};

float four_electrode_depth(float c1, float c2, float p1, float p2) {
    return median_depth_of_investigation(std::fabs(c1 - p1), std::fabs(c1 - p2), std::fabs(c2 - p1),
                                         std::fabs(c2 - p2), 4);
}

// Shape of level (a, n) of array `type` on `nelec` electrodes. The pole arrays are measured by
// the electrodes in use: with the remote electrodes 100000 spacings away a four-electrode depth
// would stand near 100 spacings and no depth limit could keep them.
LevelShape level_shape(int type, int nelec, int a, int n) {
    const float A = static_cast<float>(a);
    const float N = static_cast<float>(n);
    LevelShape s;
    switch (type) {
    case 1:
        s = {nelec - 3 * a, 6.283186f * A, four_electrode_depth(0, 3 * A, A, 2 * A)};
        break;
    case 2:
        s = {nelec - 3 * a, 6.283186f * A, four_electrode_depth(A, 0, 2 * A, 3 * A)};
        break;
    case 3:
        s = {nelec - 3 * a, 6.283186f * A, four_electrode_depth(0, 2 * A, A, 3 * A)};
        break;
    case 4:
        s = {nelec - a, 6.283186f * A, median_depth_of_investigation(A, remote, remote, remote, 2)};
        break;
    case 5:
        s = {nelec - (n + 2) * a, 3.141593f * A * N * (N + 1) * (N + 2),
             four_electrode_depth(A, 0, (N + 1) * A, (N + 2) * A)};
        break;
    case 6:
    case 10:
        s = {nelec - (n + 1) * a, 6.283186f * A * N * (N + 1),
             median_depth_of_investigation(N * A, (N + 1) * A, remote, remote, 3)};
        break;
    case 7:
        s = {nelec - (2 * n + 1) * a, 3.141593f * A * N * (N + 1),
             four_electrode_depth(0, (2 * N + 1) * A, N * A, (N + 1) * A)};
        break;
    case 8:
        s.count = nelec - a;
        break;
    case 9:
        s.count = nelec - 3 * a;
        s.first_offset = a;
        break;
    default:
        break;
    }
    return s;
}

// Running state of the level generators.
struct Generator {
    ModelSettings& settings;
    const ProgLim& limits;
    float max_doi = 0.0f;
    int nlevels = 0;
    int ndata = 0;

    // Tests level (a, n) of `type` and appends its data when it is accepted; `n_stored` is the n
    // kept with each datum and `entry` its slot in level_counts.
    void add_level(int type, int a, int n, float n_stored, int entry) {
        const ModelSettings& s = settings;
        const bool shaped = type != 8 && type != 9;
        const bool has_n = type == 5 || type == 6 || type == 7 || type == 10;
        if (has_n && s.odd_n_only != 0 && n % 2 == 0) return;
        const LevelShape shape = level_shape(type, s.nelec, a, n);
        if (shaped && s.limit_depth != 0 && shape.depth > max_doi) return;
        if (shaped && s.use_max_geometric_factor != 0 &&
            !(shape.geometric_factor * s.unit_spacing < s.max_geometric_factor))
            return;
        if (shape.count <= 0) return;
        if (ndata >= limits.max_data_points - s.nelec) return;
        if (nlevels >= limits.max_levels || nlevels >= limits.max_spacing_ratio) return;
        ++nlevels;
        if (entry < limits.max_spacing_ratio + 1) s.level_counts[entry] = shape.count;
        for (int i = 1; i <= shape.count; ++i, ++ndata) {
            s.datum_first_electrode[ndata] = shape.first_offset + i;
            s.datum_a[ndata] = a;
            s.datum_n[ndata] = n_stored;
        }
    }

    // Beyond a (or n) = nelec no level has data; the bounds keep huge settings from spinning.
    void a_levels(int type) {
        const int last = std::min(settings.nlev, settings.nelec);
        for (int a = 1; a <= last; ++a) {
            if ((type <= 3 && 3 * a > settings.nelec) || (type == 4 && a > settings.nelec))
                continue;
            add_level(type, a, 1, 1.0f, a - 1);
        }
    }

    void a_n_levels(int type) {
        const ModelSettings& s = settings;
        const bool reverse = (type == 6 || type == 10) && s.pole_dipole_reverse != 0;
        const int last_a = std::min(s.n_a_spacings, s.nelec);
        const int last_n = std::min(s.n_n_values, s.nelec);
        for (int a = 1; a <= last_a; ++a) {
            for (int n = 1; n <= last_n; ++n) {
                if (type == 7 && (2 * n + 1) * a > s.nelec) continue;
                add_level(type, a, n, reverse ? -static_cast<float>(n) : static_cast<float>(n),
                          n - 1);
            }
        }
    }

    void multiple_gradient();
};

// Current dipoles of s segments over the line, each read by every potential dipole inside it.
void Generator::multiple_gradient() {
    ModelSettings& s = settings;
    const int nelec = s.nelec;
    const float u = s.unit_spacing;
    const float line_end = static_cast<float>(nelec - 1) * u;
    s.n_n_values = std::min(s.n_n_values, nelec / 8);
    for (int segments = 1; segments <= s.n_n_values; ++segments) {
        const int length = nelec / segments;
        float c1 = 0.0f;
        float c2 = segments == 1 ? line_end : static_cast<float>(length) * u;
        for (int segment = 0; segment < segments; ++segment) {
            for (int i = 1; i <= length - 2; ++i) {
                if (ndata >= limits.max_data_points) return;
                s.c1_x[ndata] = c1;
                s.c2_x[ndata] = c2;
                s.p1_x[ndata] = c1 + static_cast<float>(i) * u;
                s.p2_x[ndata] = c1 + static_cast<float>(i + 1) * u;
                if (s.p2_x[ndata] < c2 - 0.0001f) {
                    s.datum_first_electrode[ndata] = round_to_int(c1 / u) + 1;
                    s.datum_a[ndata] = 1;
                    ++ndata;
                }
            }
            c1 = c2;
            c2 = c2 + static_cast<float>(length) * u;
            if (c2 > line_end) {
                c2 = line_end;
                c1 = c2 - static_cast<float>(length) * u;
            }
        }
    }
}

// What the depth order of a datum list reads of the settings.
struct DepthRule {
    int type = 0;
    int pseudodepth_type = 0;
    float offset_ratio = 0.0f;
    int max_levels = 0;
};

// The arrays of a datum list that its depth order moves.
struct DatumArrays {
    std::int32_t* first;
    std::int32_t* a;
    float* n;
    float* depth;
    std::int32_t* level_counts;
};

// Depth of every datum of the (a, n) arrays, sorted and grouped into datum levels. Reverse
// pole-dipole data are lifted below every forward datum for the sort and put back afterwards.
int group_by_depth(const DepthRule& rule, const DatumArrays& list, int ndata) {
    DepthFactorTable table{};
    model::set_depth_factors_of_array(rule.type, table);
    int nreverse = 0;
    if (rule.type == 6 || rule.type == 10)
        for (int d = 0; d < ndata; ++d)
            if (list.n[d] < 0.0f) ++nreverse;
    float deepest = 0.0f;
    for (int d = 0; d < ndata; ++d) {
        float depth = interp_depth_factor(table, std::fabs(list.n[d])) * list.a[d];
        // The mean estimate is that of the array being generated, which the recorded copy of
        // the array type may not be yet.
        if (rule.pseudodepth_type == 1)
            depth =
                mean_depth_of_datum(rule.type, list.a[d], list.n[d], rule.offset_ratio, 0, 0, 0, 0);
        list.depth[d] = static_cast<float>(round_to_thousandths(depth));
        deepest = std::max(deepest, list.depth[d]);
    }
    if (nreverse > 0)
        for (int d = 0; d < ndata; ++d)
            if (list.n[d] < 0.0f) list.depth[d] += deepest;
    const int all = ndata;
    const int levels = group_datum_levels(1, rule.max_levels, list.level_counts, list.depth, ndata,
                                          list.first, list.a, list.n);
    if (levels > 0 && nreverse > 0)
        for (int d = all - nreverse; d < all; ++d)
            list.depth[d] -= deepest;
    return ndata;
}

bool ordered_by_depth(int type) {
    return type == 5 || type == 6 || type == 7 || type == 10;
}

} // namespace

struct DatumOrder::List {
    DepthRule rule;
    std::vector<std::int32_t> first, a, level_counts;
    std::vector<float> n, depth;
    bool ordered = false;
};

DatumOrder::DatumOrder() = default;
DatumOrder::~DatumOrder() = default;

bool DatumOrder::pending() const {
    return list_ != nullptr;
}

void DatumOrder::work_out() {
    if (!list_ || list_->ordered) return;
    List& l = *list_;
    group_by_depth(l.rule,
                   {l.first.data(), l.a.data(), l.n.data(), l.depth.data(), l.level_counts.data()},
                   int(l.first.size()));
    l.ordered = true;
}

void DatumOrder::place(ModelSettings& s) {
    if (!list_) return;
    work_out();
    const List& l = *list_;
    std::copy(l.first.begin(), l.first.end(), s.datum_first_electrode);
    std::copy(l.a.begin(), l.a.end(), s.datum_a);
    std::copy(l.n.begin(), l.n.end(), s.datum_n);
    std::copy(l.depth.begin(), l.depth.end(), s.datum_median_depth);
    std::copy(l.level_counts.begin(), l.level_counts.end(), s.level_counts);
    list_.reset();
}

int calc_datum_points(ModelSettings& settings, const ProgLim& limits, DatumOrder* later) {
    ModelSettings& s = settings;
    const int type = s.array_type;
    Generator g{settings, limits};
    g.max_doi = s.max_depth_ratio / s.unit_spacing;
    model::trace("Maximum DOI %.2f\n", g.max_doi);
    if (model::levels_by_spacing(type)) g.a_levels(type);
    switch (type) {
    case 5:
    case 6:
    case 7:
    case 10:
        g.a_n_levels(type);
        break;
    case 15:
        g.multiple_gradient();
        break;
    default:
        break;
    }
    int ndata = g.ndata;
    const DepthRule rule{type, s.pseudodepth_type, s.electrode_offset_ratio,
                         limits.max_spacing_ratio};
    // Every (a, n) level has one depth: a list of at most max_levels levels is never cut short
    // by its grouping, nor does the grouping show a word, so its order may come later.
    if (later && ordered_by_depth(type) && g.nlevels <= rule.max_levels) {
        auto l = std::make_unique<DatumOrder::List>();
        l->rule = rule;
        l->first.assign(s.datum_first_electrode, s.datum_first_electrode + ndata);
        l->a.assign(s.datum_a, s.datum_a + ndata);
        l->n.assign(s.datum_n, s.datum_n + ndata);
        l->depth.assign(std::size_t(ndata), 0.0f);
        l->level_counts.assign(s.level_counts, s.level_counts + limits.max_spacing_ratio + 1);
        later->list_ = std::move(l);
    } else if (ordered_by_depth(type)) {
        ndata = group_by_depth(
            rule,
            {s.datum_first_electrode, s.datum_a, s.datum_n, s.datum_median_depth, s.level_counts},
            ndata);
    } else {
        std::fill(s.datum_median_depth, s.datum_median_depth + ndata, 0.0f);
    }
    if (ndata > limits.max_data_points) --g.nlevels;
    s.nlev = g.nlevels;
    return ndata;
}

int group_datum_levels(int ascending, int max_levels, int* level_counts, float* depths, int& ndata,
                       int* first_electrode, int* a, float* n) {
    const int count = ndata;
    std::vector<std::int32_t> index(count + 1), int_work(count + 1);
    std::vector<float> real_work(count + 1);
    shell_sort_real_index(ascending, depths, index.data(), count);
    gather_int_by_index(first_electrode, int_work.data(), index.data(), count);
    gather_int_by_index(a, int_work.data(), index.data(), count);
    gather_real_by_index(n, real_work.data(), index.data(), count);
    int levels = 0;
    int kept = 0;
    for (int start = 0; start < count;) {
        int end = start + 1;
        while (end < count && depths[end] == depths[start])
            ++end;
        if (levels + 1 > max_levels) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "Too many datum levels!\nCurrent number is %d.\nMaximum number of datum "
                          "levels is %d.",
                          levels + 1, max_levels);
            model::show_message(text, "Datum levels warning");
            ndata = kept;
            return levels;
        }
        level_counts[levels++] = end - start;
        // Data of equal depth but other (a, n) can share a level: a and n move with the
        // first electrode so that every datum keeps its own electrodes.
        const int size = end - start;
        shell_sort_int_index(1, first_electrode + start, index.data(), size);
        gather_int_by_index(a + start, int_work.data(), index.data(), size);
        gather_real_by_index(n + start, real_work.data(), index.data(), size);
        kept = end;
        start = end;
    }
    return levels;
}

float calc_datum_geometry(int mode, float c1, float c2, float p1, float p2, float* asymmetry,
                          float* offset_ratio, float* x_location) {
    // Ratios are kept to four decimals, as they are shown and compared.
    auto four_decimals = [](float value) {
        char text[64];
        std::snprintf(text, sizeof text, "%.4f", value);
        return static_cast<float>(std::atof(text));
    };
    const float dc = std::fabs(c2 - c1);
    const float dp = std::fabs(p2 - p1);
    const float mc = (c1 + c2) * 0.5f;
    const float mp = (p1 + p2) * 0.5f;
    *asymmetry = four_decimals((dc - dp) * 0.5f / dp);
    if (mp > mc) *asymmetry = -*asymmetry;
    float q1 = p1, q2 = p2;
    if (mode == 0) {
        q1 = mc - dp * 0.5f;
        q2 = mc + dp * 0.5f;
    }
    const float depth =
        static_cast<float>(round_to_thousandths(four_electrode_depth(c1, c2, q1, q2)));
    *x_location = (c1 + c2 + 4.5f * p1 + 4.5f * p2) / 11.0f;
    *offset_ratio = four_decimals((mc - mp) / dp);
    return depth;
}

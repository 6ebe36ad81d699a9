// Measured data of a model file grouped into data levels: by pseudodepth for the dipole-dipole,
// (offset) pole-dipole and Wenner-Schlumberger arrays, by spacing for the others; repeated
// points merged at the user's choice; data beyond the model's electrodes refused.
#include "model/depth_tables.h"
#include "model/reader/readmodel_sections.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace model {

namespace {

// Nearest whole number of v, held within a billion either way (far-off data are refused by the
// caller, never overflowed).
long long rounded_wide(float v) {
    if (!(std::fabs(v) < 1.0e9f)) return v < 0.0f ? -1000000000LL : 1000000000LL;
    return round_to_int(v);
}

// Last electrode of a datum whose first electrode is x, spacing a and factor n.
long long last_electrode(int type, int x, int a, float n) {
    switch (type) {
    case 1:
    case 2:
    case 3:
        return x + 3LL * a;
    case 4:
    case 8:
    case 9: // between the current electrodes at the ends of the line
        return x + (long long)a;
    case 6:
    case 10:
        return x + rounded_wide(float(a) * (std::fabs(n) + 1.0f));
    case 7:
        return x + rounded_wide(float(a) * (2.0f * n + 1.0f));
    default:
        return x + rounded_wide(float(a) * (n + 2.0f));
    }
}

// The potential electrodes of an array with n stand n spacings from the current ones: n times
// the spacing must be a whole number of unit spacings, or they fall between the model's
// electrodes (a = 1, n = 1.5 put them on the next electrode while the geometric factor took
// 1.5, a value a half off; n = 0.3 put P1 on C1, and the datum was dropped without a word).
// The tolerance takes in an n written with three decimals (0.333 for a = 3).
void check_n_on_electrodes(ModelReader& r, int d) {
    const ModelSettings& m = r.model;
    const int type = m.array_type;
    if (type != 5 && type != 6 && type != 7 && type != 10) return;
    const float steps = std::fabs(m.datum_n[d]) * float(m.datum_a[d]);
    if (steps >= 0.95f && std::fabs(steps - float(rounded_wide(steps))) <= 0.05f) return;
    r.fail(1, "Error Message",
           "Datum point %d has an n factor of %g with a spacing\nof %d unit electrode spacings: "
           "its potential\nelectrodes fall between the model's electrodes.\nn times the "
           "spacing must be a whole number.\nPlease check your input data file.",
           d + 1, double(m.datum_n[d]), m.datum_a[d]);
}

// The model's mesh and electrode tables were built for its electrodes: data beyond the last
// one, or (the gradient array, whose first electrode its line places) before the first, cannot
// be placed. The gradient array drives the first and the last electrode: a potential electrode
// there would have no potential difference to measure (such data were dropped without a word).
void check_electrodes_in_use(ModelReader& r) {
    const ModelSettings& m = r.model;
    for (int d = 0; d < m.ndata; ++d) {
        check_n_on_electrodes(r, d);
        const long long first = m.datum_first_electrode[d];
        const long long last =
            last_electrode(m.array_type, m.datum_first_electrode[d], m.datum_a[d], m.datum_n[d]);
        if (last > m.nelec || first < 1)
            r.fail(1, "Error Message",
                   "Datum point %d needs electrode number %lld,\nbut the model has only %d "
                   "electrodes.\nPlease check your input data file.",
                   d + 1, first < 1 ? first : last, m.nelec);
        if (m.array_type == 9 && (first == 1 || last == m.nelec))
            r.fail(1, "Error Message",
                   "Datum point %d has a potential electrode on\nelectrode %lld, where a current "
                   "electrode of the\ngradient array stands (the first and the last\nelectrode "
                   "of the line).\nPlease check your input data file.",
                   d + 1, first == 1 ? first : last);
    }
}

DataColumns columns_of(ModelSettings& m) {
    return {m.datum_first_electrode, m.datum_a,         m.datum_n,
            m.measured_values,       m.app_resistivity, m.measured_values_2};
}

// Pseudodepths of the depth-sorted arrays; reverse (offset) pole-dipole data are lifted below every
// forward datum for the sort and put back afterwards. Returns the number of levels.
int sort_by_pseudodepth(ModelReader& r, int max_levels) {
    ModelSettings& m = r.model;
    const int type = m.array_type;
    DepthFactorTable table{};
    set_depth_factors_of_array(type, table); // the sorted codes are 5, 6, 7 and 10
    m.nreverse = 0;
    if (type == 6 || type == 10)
        for (int d = 0; d < m.ndata; ++d)
            if (m.datum_n[d] < 0.0f) ++m.nreverse;
    float deepest = 0.0f;
    for (int d = 0; d < m.ndata; ++d) {
        const float depth =
            interp_depth_factor(table, std::fabs(m.datum_n[d])) * float(m.datum_a[d]);
        m.datum_median_depth[d] = static_cast<float>(round_to_thousandths(depth));
        deepest = std::max(deepest, m.datum_median_depth[d]);
    }
    if (m.nreverse > 0)
        for (int d = 0; d < m.ndata; ++d)
            if (m.datum_n[d] < 0.0f) m.datum_median_depth[d] += deepest;
    const int levels = sort_data_into_levels(1, m.ip_data_present, max_levels, m.level_counts,
                                             m.datum_median_depth, m.ndata, columns_of(m));
    m.nlev_forward = levels;
    if (m.nreverse > 0) {
        m.nreverse = 0;
        for (int d = 0; d < m.ndata; ++d)
            if (m.datum_n[d] < 0.0f) {
                m.datum_median_depth[d] -= deepest;
                ++m.nreverse;
            }
        m.nlev_forward = 0;
        for (int l = 0, start = 0; l < levels; start += m.level_counts[l++])
            if (m.datum_n[start] >= 0.0f) ++m.nlev_forward;
    }
    return levels;
}

int sort_by_spacing(ModelReader& r, int max_levels) {
    ModelSettings& m = r.model;
    std::vector<float> keys(m.datum_a, m.datum_a + m.ndata);
    const int levels = sort_data_into_levels(1, m.ip_data_present, max_levels, m.level_counts,
                                             keys.data(), m.ndata, columns_of(m));
    std::fill(m.datum_median_depth, m.datum_median_depth + m.ndata, 0.0f);
    m.nreverse = 0;
    m.nlev_forward = levels;
    return levels;
}

bool same_point(const ModelSettings& m, int d, int e) {
    return m.datum_first_electrode[d] == m.datum_first_electrode[e] &&
           m.datum_a[d] == m.datum_a[e] && m.datum_n[d] == m.datum_n[e];
}

// Keeps the data not marked removed, level by level; a removed datum hands its values to the
// kept datum before it, which so ends with the values of the last of its repeats.
void remove_repeated_points(ModelSettings& m, const std::vector<char>& removed) {
    const bool ip = m.ip_data_present == 1;
    int kept = 0, levels = 0, start = 0;
    for (int l = 0; l < m.nlev; ++l) {
        // The count is rewritten below: read it first.
        const int count = m.level_counts[l];
        int in_level = 0;
        for (int d = start; d < start + count; ++d) {
            const int to = removed[std::size_t(d)] ? kept - 1 : kept;
            m.measured_values[to] = m.measured_values[d];
            m.app_resistivity[to] = m.app_resistivity[d];
            if (ip) m.measured_values_2[to] = m.measured_values_2[d];
            if (removed[std::size_t(d)]) continue;
            m.datum_first_electrode[to] = m.datum_first_electrode[d];
            m.datum_a[to] = m.datum_a[d];
            m.datum_n[to] = m.datum_n[d];
            m.datum_median_depth[to] = m.datum_median_depth[d];
            ++kept;
            ++in_level;
        }
        if (in_level > 0) m.level_counts[levels++] = in_level;
        start += count;
    }
    m.nlev = levels;
    m.ndata = kept;
    m.nreverse = 0;
    for (int d = 0; d < m.ndata; ++d)
        if (m.datum_n[d] < 0.0f) ++m.nreverse;
}

// Data of one level at the same electrodes: one question decides for all of them.
void check_repeated_points(ModelReader& r) {
    ModelSettings& m = r.model;
    trace("Sort_Measured_Data_Double tflag %d\n", m.tflag);
    std::vector<char> removed(std::size_t(m.ndata), 0);
    bool asked = false;
    int answer = ui::id_yes;
    for (int l = 0, start = 0; l < m.nlev; start += m.level_counts[l++]) {
        for (int i = 0; i + 1 < m.level_counts[l]; ++i) {
            const int d = start + i;
            if (!same_point(m, d, d + 1)) continue;
            removed[std::size_t(d + 1)] = 1;
            ::beep();
            if (r.canvas()) r.canvas()->set_text_colour(gfx::rgb(255, 0, 0));
            if (asked) continue;
            asked = true;
            std::string text(256, '\0');
            text.resize(std::size_t(std::snprintf(
                text.data(), text.size(),
                "Data points %d and %d with an electrode\nspacing of %.1f have the same\n"
                "horizontal location!\n",
                i + 1, i + 2, float(m.datum_a[d]) * m.unit_spacing)));
            text += "It is recommended that you leave the data\n"
                    "as it and save the sorted data in a disc\n"
                    "file. Later, edit this file with a text\n"
                    "editor to remove the repeated points.\n"
                    "However, if you wish to display or invert\n"
                    "the data set now, you can choose the\n"
                    "option to remove the repeated data\n"
                    "points automatically. In this case,\nthe program will just use the apparent\n"
                    "resistivity value of the last repeated\n"
                    "data point.\nTo leave the data as it is, click Yes.\n"
                    " To remove repeated points automatically, click No.";
            copy_text(m.message_text, sizeof m.message_text, text.c_str());
            answer = ask_message(m.message_text, "Repeated data points",
                                 ui::mb_yesno | ui::mb_iconquestion);
        }
    }
    if (asked && answer == ui::id_no) remove_repeated_points(m, removed);
    r.printf("First electrode is located at %7.1f.", m.first_electrode_x);
    r.printf("Last electrode is located at %7.1f.",
             float(m.nelec - 1) * m.unit_spacing + m.first_electrode_x);
}

} // namespace

int sort_data_into_levels(int ascending, int ip_flag, int max_levels, std::int32_t* level_counts,
                          float* keys, int& ndata, const DataColumns& data) {
    const int n = ndata;
    if (n <= 0) return 0;
    const std::size_t size = static_cast<std::size_t>(n);
    // One stable sort by key, then x: data at one point keep their file order, so that the
    // last of repeated points is the last one in the file.
    std::vector<std::int32_t> index(size), int_work(size);
    std::vector<float> real_work(size);
    for (int p = 0; p < n; ++p)
        index[std::size_t(p)] = p + 1;
    const float sign = ascending ? 1.0f : -1.0f;
    std::stable_sort(index.begin(), index.end(), [&](std::int32_t p, std::int32_t q) {
        const float kp = sign * keys[p - 1], kq = sign * keys[q - 1];
        if (kp != kq) return kp < kq;
        return ascending ? data.x[p - 1] < data.x[q - 1] : data.x[p - 1] > data.x[q - 1];
    });
    gather_real_by_index(keys, real_work.data(), index.data(), n);
    gather_int_by_index(data.x, int_work.data(), index.data(), n);
    gather_int_by_index(data.a, int_work.data(), index.data(), n);
    for (float* column : {data.n, data.res, data.calc, ip_flag == 1 ? data.ip : nullptr})
        if (column) gather_real_by_index(column, real_work.data(), index.data(), n);

    int levels = 0;
    for (int start = 0; start < n;) {
        int end = start + 1;
        while (end < n && keys[end] == keys[start])
            ++end;
        if (levels >= max_levels) {
            char text[256];
            std::snprintf(text, sizeof text,
                          "Too many datum levels!\nMaximum number of datum levels is %d.\nThe "
                          "measured data of the file lie on more\nlevels (spacings, or depths of "
                          "their arrays).",
                          max_levels);
            show_message(text, "Datum levels error");
            ndata = start;
            break;
        }
        level_counts[levels++] = end - start;
        start = end;
    }
    return levels;
}

void sort_measured_data(ModelReader& r) {
    ModelSettings& m = r.model;
    // The multiple-gradient list keeps the file's order, as the list it makes itself does.
    if (m.datum_array_type <= 0 || m.datum_array_type == 15 || m.ndata <= 0) return;
    trace("Sort_Measured_Data tflag %d\n", m.tflag);
    check_electrodes_in_use(r);
    const int max_levels =
        int(std::min<std::size_t>(std::size_t(std::max(r.limits.max_levels, 0)), r.capacity.S + 1));
    const int type = m.array_type;
    const bool by_depth = type == 5 || type == 6 || type == 7 || type == 10;
    const int listed = m.ndata;
    const int levels =
        by_depth ? sort_by_pseudodepth(r, max_levels) : sort_by_spacing(r, max_levels);
    // The levels beyond the limit would leave data of the file uncalculated: the sort said so.
    if (levels == 0 || m.ndata < listed) {
        m.ndata = 0;
        r.stop(1);
    }
    m.nlev = m.nlev_read = levels;
    r.printf("Total number of measured data levels is %d.", levels);
    // The model keeps its own electrodes: data on fewer of them leave the rest, and the blocks
    // under them, as the file gives them.
    check_repeated_points(r);
}

} // namespace model

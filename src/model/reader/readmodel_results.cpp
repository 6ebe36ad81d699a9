// Model-file results section: the calculated values of an older file (skipped), the potential
// tables of every electrode pair, and the measured data in the index or general-array layout.
#include "model/array_type.h"
#include "model/reader/readmodel_sections.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>

namespace model {

namespace {

const char* const error_caption = "Error Message";

// The next number as a real; `missing` is set when the text holds no number for it.
float read_value(ModelReader& r, bool& missing) {
    if (!number_ahead(r)) missing = true;
    return r.read_real();
}

// The same in double precision (the potentials are written with eight digits).
double read_double(ModelReader& r, bool& missing) {
    if (!number_ahead(r)) missing = true;
    return r.read_double();
}

// The flag that opens an optional section: anything but 1 is stored as 0 and skips the
// section; 1 shows `present`.
bool section_present(ModelReader& r, std::int32_t& flag, const char* present) {
    flag = r.read_int();
    if (flag != 1) {
        flag = 0;
        return false;
    }
    r.print(present);
    return true;
}

void skip_calculated_values(ModelReader& r) {
    ModelSettings& m = r.model;
    if (!section_present(r, m.calc_values_present,
                         "Calculated apparent resistivity values present."))
        return;
    const std::int32_t saved = r.cursor;
    const float first = r.read_real();
    if (first == 1.0f || first == 0.0f) {
        r.cursor = saved;
    } else {
        copy_text(m.message_text, sizeof m.message_text,
                  "Version 2.x output file!\nPlease note that has been a change in the\nfile "
                  "format for version 3.x. The program\nwill read in the following calculated "
                  "apparent\nresistivity values but the output format will\nbe different.");
        ask_message(m.message_text, "Message", ui::mb_ok | ui::mb_iconexclamation);
    }
    for (int i = 0; i < m.nlev; ++i)
        r.read_line();
}

// The upper triangle of the nelec x nelec pair table, row by row, then mirrored; check(i, j,
// value) runs after each value. Returns false, at once, when the text ran out of numbers (a cut
// is not a value to check).
template <class Check> bool read_pair_table(ModelReader& r, double* table, Check check) {
    const int n = r.model.nelec;
    const int stride = r.limits.max_electrodes;
    bool missing = false;
    for (int i = 1; i <= n - 1; ++i)
        for (int j = i + 1; j <= n; ++j) {
            table[index2d(i, j, stride)] = read_double(r, missing);
            if (missing) return false;
            check(i, j, table[index2d(i, j, stride)]);
        }
    for (int i = 1; i <= n - 1; ++i)
        for (int j = i + 1; j <= n; ++j)
            table[index2d(j, i, stride)] = table[index2d(i, j, stride)];
    return !missing;
}

void read_potentials(ModelReader& r) {
    ModelSettings& m = r.model;
    if (!section_present(r, m.pot_values_present, "Potential values present.")) return;
    const char* cut_short = "Error in reading file!\nPlease check your file format.";
    // A table that runs out of numbers was cut short; a last value without a line end is not.
    const bool complete = read_pair_table(r, m.potential_table_a, [&](int, int, double value) {
        if (value <= 0.0)
            r.fail(1, error_caption,
                   "Error in reading potential values!\nThe output file produced by VELDARIN "
                   "might\nhave been accidentally changed.");
    });
    if (!complete || !read_pair_table(r, m.potential_table_b, [](int, int, double) {}))
        r.fail(1, error_caption, "%s", cut_short);
    if (m.nip <= 0) return;
    r.print("IP potential values present.");
    const int stride = r.limits.max_electrodes;
    if (!read_pair_table(r, m.potential_table_a_ip, [](int, int, double) {}) ||
        !read_pair_table(r, m.potential_table_b_ip, [&](int i, int j, double) {
            if (m.potential_table_a_ip[index2d(i, j, stride)] <= 0.0)
                m.calc_values_present = m.pot_values_present = 0;
        }))
        r.fail(1, error_caption, "%s", cut_short);
}

// First electrode of an index-layout datum whose x is the middle of its array: the inverse of
// the positions the model-file writer gives.
float first_electrode_of_midpoint(int type, float x, float a, float n) {
    switch (type) {
    case 1:
    case 2:
    case 3:
        return x - 1.5f * a;
    case 5:
        return x - 0.5f * a * (n + 2.0f);
    case 6:
    case 10:
        return x - 0.5f * a * (1.0f + n);
    case 7:
        return x - 0.5f * a * (1.0f + 2.0f * n);
    default:
        return x - 0.5f * a;
    }
}

[[noreturn]] void fail_datum(ModelReader& r, int d) {
    r.fail(1, error_caption,
           "There is a problem in reading data point %d!\nPlease check the file format.", d);
}

// Measured value, calculated value (data kind 1), IP and calculated IP of datum d.
void read_datum_values(ModelReader& r, int d, int kind, bool& missing) {
    ModelSettings& m = r.model;
    m.measured_values[d] = read_value(r, missing);
    m.app_resistivity[d] = kind == 1 ? read_value(r, missing) : 0.0f;
    if (m.nip > 0) {
        m.measured_values_2[d] = read_value(r, missing);
        if (kind == 1) read_value(r, missing);
    }
}

void read_index_datum(ModelReader& r, int d, int kind, MeasuredPositions& data) {
    ModelSettings& m = r.model;
    const int type = m.array_type;
    bool missing = false;
    float x = read_value(r, missing);
    const float a = read_value(r, missing);
    // The offset pole-dipole array has the n factors of the pole-dipole array.
    const bool has_n = type == 5 || type == 6 || type == 7 || type == 10;
    const float n = has_n ? read_value(r, missing) : 1.0f;
    m.datum_n[d] = n;
    read_datum_values(r, d, kind, missing);
    const int number = d + 1;
    if (missing) fail_datum(r, number);
    if (a <= 0.0f)
        r.fail(1, error_caption,
               "Datum point %d has an electrode spacing of %8.2f!\nPlease check the file format.",
               number, a);
    // Reverse pole-dipole data have negative n factors.
    if (type == 6 || type == 10 ? n == 0.0f : n <= 0.0f)
        r.fail(1, error_caption,
               "Datum point %d has an n factor of %6d!\nPlease check the file format.", number,
               static_cast<int>(std::max(n, -2147483648.0f)));
    if (m.measured_values[d] <= 0.0f)
        r.fail(1, error_caption,
               "Datum point %d has a resistivity value of %8.2f!\nPlease check the file format.",
               number, m.measured_values[d]);
    if (m.data_x_midpoint == 1) x = first_electrode_of_midpoint(type, x, a, n);
    // An array too long to hold in a float has no first electrode.
    if (!std::isfinite(x)) fail_datum(r, number);
    data.x[std::size_t(d)] = x;
    data.a[std::size_t(d)] = a;
}

void read_general_datum(ModelReader& r, int d, int kind, MeasuredPositions& data) {
    ModelSettings& m = r.model;
    // A file cut before the datum is cut short, not a datum of no electrodes.
    if (!number_ahead(r)) fail_datum(r, d + 1);
    const int count = r.read_int();
    data.at[std::size_t(d)] = r.last_number_at;
    if (count < 2 || count > 4)
        r.fail(1, "Data Error 10",
               "Error in data point %d!\nNumber of electrodes is %d.\nThere can only be 2 to 4 "
               "electrodes.",
               d + 1, count);
    // The multiple gradient array drives two current electrodes and reads two potential ones.
    if (count != 4)
        r.fail(1, "Data Error 10",
               "Error in line %d!\nData point %d has %d electrodes, but a datum of\nthe multiple "
               "gradient array has 4 (C1, C2, P1, P2).",
               r.line_number(r.last_number_at), d + 1, count);
    m.datum_nelec[d] = count;
    bool missing = false;
    auto electrode = [&](float* x, float* z) {
        x[d] = read_value(r, missing);
        z[d] = read_value(r, missing);
    };
    electrode(m.c1_x, m.c1_z);
    if (count == 4) electrode(m.c2_x, m.c2_z);
    electrode(m.p1_x, m.p1_z);
    if (count >= 3) electrode(m.p2_x, m.p2_z);
    read_datum_values(r, d, kind, missing);
    if (missing) fail_datum(r, d + 1);
}

// Electrode positions (the general array format) are read for the multiple gradient array
// alone: the data of the other arrays are made for a first electrode, a spacing and an n factor,
// and a list of positions would not be the list calculated.
void refuse_general_layout_unless_multiple_gradient(ModelReader& r) {
    const ModelSettings& m = r.model;
    if (m.array_type == 15) return;
    const int t = m.array_type;
    const bool has_n = t == 5 || t == 6 || t == 7 || t == 10;
    r.fail(1, error_caption,
           "Error in line %d!\nThe measured data give the positions of their electrodes\n"
           "(general array format), which only a multiple gradient\nmodel (array 11) reads. "
           "The data of the %s array\nmust give the x, the spacing%s of each datum.",
           r.line_number(r.cursor), array_type_name(t), has_n ? " and the n factor" : "");
}

// The electrodes of multiple-gradient data as its datum list holds them: in metres from the
// model's first electrode, which stands at the leftmost electrode of the data, each on one of
// the model's electrodes (its number in datum_first_electrode for C1).
void place_multiple_gradient_data(ModelReader& r, const MeasuredPositions& data) {
    ModelSettings& m = r.model;
    float* const columns[4] = {m.c1_x, m.c2_x, m.p1_x, m.p2_x};
    float first = m.c1_x[0];
    for (int d = 0; d < m.ndata; ++d)
        for (const float* c : columns)
            first = std::min(first, c[d]);
    m.first_electrode_x = first;
    const float u = m.unit_spacing;
    for (int d = 0; d < m.ndata; ++d) {
        const int line = r.line_number(data.at[std::size_t(d)]);
        long long numbers[4];
        for (int k = 0; k < 4; ++k) {
            const float x = columns[k][d] - first;
            const float steps = x / u;
            const long long j = steps < 1.0e9f ? round_to_int(steps) : 1000000000LL;
            if (!(std::fabs(x - float(j) * u) <= 0.01f * u))
                r.fail(1, error_caption,
                       "Error in line %d!\nData point %d has an electrode at x = %g, %g from the "
                       "first\nelectrode: not a whole number of unit electrode\nspacings of %g.",
                       line, d + 1, columns[k][d], x, u);
            if (j + 1 > m.nelec)
                r.fail(1, error_caption,
                       "Datum point %d needs electrode number %lld,\nbut the model has only %d "
                       "electrodes.\nPlease check your input data file.",
                       d + 1, j + 1, m.nelec);
            numbers[k] = j + 1;
            columns[k][d] = float(j) * u;
        }
        for (int k = 0; k < 4; ++k)
            for (int l = k + 1; l < 4; ++l)
                if (numbers[k] == numbers[l])
                    r.fail(1, error_caption,
                           "Error in line %d!\nData point %d uses electrode %lld twice.\nThe four "
                           "electrodes of a datum must differ.",
                           line, d + 1, numbers[k]);
        m.datum_first_electrode[d] = int(numbers[0]);
        m.datum_a[d] = 1;
        m.datum_n[d] = 1.0f;
        m.datum_median_depth[d] = 0.0f;
    }
}

void read_measured_data(ModelReader& r, MeasuredPositions& data) {
    ModelSettings& m = r.model;
    m.ndata = 0;
    m.datum_array_type = 0;
    m.ip_data_present = 0;
    if (only_blank_left(r)) return;
    const int kind = r.read_int();
    if (kind < 1 || only_blank_left(r)) return;
    r.print(kind == 1 ? "Measured and calculated apparent resistivity values present."
                      : "Measured apparent resistivity values present.");
    const std::string next = r.peek_line();
    const bool general = !next.empty() && (next[0] == 'G' || next[0] == 'g');
    if (general) {
        r.read_line();
        refuse_general_layout_unless_multiple_gradient(r);
    }
    m.datum_array_type = m.array_type;
    // A multiple-gradient datum has electrodes that no first electrode and spacing place.
    if (!general && m.array_type == 15)
        r.fail(1, error_caption,
               "The data of the multiple gradient array must give\nthe positions of their "
               "electrodes (general array\nformat).\nPlease check your file format.");

    // The count after the data kind (and the general-array line) belongs to the data.
    r.expect_number();
    m.ndata = r.read_int();
    const int most =
        int(std::min<std::size_t>(std::size_t(r.limits.max_data_points), r.capacity.D));
    if (m.ndata > most)
        r.fail(1, error_caption,
               "Your data set has %d data points.\nThis is more than the maximum limit of %d data "
               "points.\nPlease check your file format.",
               m.ndata, most);
    if (m.ndata < 4)
        r.fail(1, error_caption,
               "Your data set has %d data points.\nThis is less than the minimum limit of 4 data "
               "points.\nPlease check your file format.",
               m.ndata);
    m.data_x_midpoint = r.read_int();
    m.results_code = r.read_int();
    m.ip_data_present = m.nip > 0 ? 1 : 0;

    data.x.assign(std::size_t(m.ndata), 0.0f);
    data.a.assign(std::size_t(m.ndata), 0.0f);
    data.at.assign(std::size_t(m.ndata), 0);
    for (int d = 0; d < m.ndata; ++d) {
        if (general)
            read_general_datum(r, d, kind, data);
        else
            read_index_datum(r, d, kind, data);
    }

    float smallest = m.unit_spacing;
    if (general) {
        place_multiple_gradient_data(r, data);
    } else {
        // The gradient array's current electrodes, the first and the last, are not among its
        // data: its line gives where the first stands.
        m.first_electrode_x =
            m.array_type == 9 ? r.gradient_c1_x : *std::min_element(data.x.begin(), data.x.end());
        smallest = std::min(smallest, *std::min_element(data.a.begin(), data.a.end()));
    }
    r.printf("Minimum electrode location is %6.1f.", m.first_electrode_x);
    r.printf("Minimum electrode spacing is %6.1f.", smallest);
    // The unit spacing stays the model's: its depths, blocks and electrodes are laid out in it.
    // Data at a smaller spacing need electrodes the model does not have, and the spacing
    // checks refuse them by name.
}

} // namespace

void read_results_section(ModelReader& r, MeasuredPositions& data) {
    skip_calculated_values(r);
    // Once the section has begun, the potentials flag must follow.
    if (only_blank_left(r)) r.fail(1, error_caption, "Error in reading model data file!");
    read_potentials(r);
    read_measured_data(r, data);
}

} // namespace model

// Model-file section of the array type: the array code with the offset of the offset arrays or
// the line of the gradient array, the default depths, the level limit and the end-of-text test.
#include "model/array_type.h"
#include "model/reader/readmodel_sections.h"
#include "model/services.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace model {

namespace {

bool starts_number(char b) {
    return b == '-' || b == '+' || b == '.' || (b >= '0' && b <= '9');
}

bool continues_number(char b) {
    return starts_number(b) || b == 'e' || b == 'E' || b == 'd' || b == 'D';
}

// A cylinder is measured all round: the arrays with a remote or an offset electrode become the
// in-line dipole-dipole array.
int cylinder_array_code(ModelReader& r, int code) {
    const char* changed = nullptr;
    if (code == 2) changed = "Pole-pole array not possible with cylinder model.";
    if (code == 6) changed = "Pole-dipole array not possible with cylinder model.";
    if (code == 8) changed = "Equatorial diole-dipole array not possible with cylinder model.";
    if (!changed) return code;
    ::beep();
    r.print(changed);
    r.print(code == 8 ? "It has been changed to inline dipole-dipole array."
                      : "It has been changed to dipole-dipole array.");
    return 3;
}

// The line of the gradient array's current electrodes begins with its caption. Without it the
// array line stands alone, C1 on the first electrode at x = 0 and C2 on the last, as in a file
// that ends there: the numbers after it (a results section) are not its electrodes.
bool gradient_line_follows(const ModelReader& r) {
    std::int32_t at = r.cursor;
    while (at < r.length && static_cast<unsigned char>(r.text[at]) <= 32)
        ++at;
    return at < r.length && !starts_number(r.text[at]);
}

void read_offset_or_gradient_line(ModelReader& r) {
    ModelSettings& m = r.model;
    if (m.array_type == 8 || m.array_type == 10) {
        const ExpectedValues offset_follows(r);
        m.electrode_offset = r.read_real();
        if (m.electrode_offset < 0.25f * m.unit_spacing ||
            m.electrode_offset > 10.0f * m.unit_spacing) {
            r.warn("Error Message",
                   "Error in spacing of current and potential\nelectrodes pairs! Spacing between "
                   "current\nelectrodes cannot be less than 0.25 times,\nor greater than 10 times, "
                   "the unit electrode\nspacing! It has been reset to be the same as\nthe unit "
                   "electrode spacing.");
            m.electrode_offset = m.unit_spacing;
        }
        // The potential pair of the offset pole-dipole array measures a small difference of
        // two potentials taken across the line; beyond 3 spacings the transform's error of
        // each grows to more than 5 % of the difference (a third at 7 spacings).
        if (m.array_type == 10 && m.electrode_offset > 3.0f * m.unit_spacing)
            r.fail(1, "Error Message",
                   "Error in spacing of current and potential\nelectrodes pairs! The offset of "
                   "%g is more than 3 times\nthe unit electrode spacing of %g. The potentials\n"
                   "of the offset pole-dipole array cannot be\ncalculated accurately for larger "
                   "offsets.",
                   m.electrode_offset, m.unit_spacing);
        r.printf("Electrode offset is %.2f", m.electrode_offset);
        return;
    }
    m.electrode_offset = m.unit_spacing;
    if (m.array_type == 9 && gradient_line_follows(r)) {
        // The current electrodes of the gradient array: a caption line and two points of three
        // coordinates. The gradient set drives the first and the last electrode: the x of C1
        // places the first electrode (for the data a results section lists too), and C2 must
        // stand on the last one, where it is calculated (it was moved there without a word).
        // The tolerance takes in files that write the positions with two decimals.
        r.read_line();
        float point[6];
        for (float& value : point)
            value = r.read_real();
        r.gradient_c1_x = m.first_electrode_x = point[0];
        const float line_end = point[0] + float(m.nelec - 1) * m.unit_spacing;
        if (std::fabs(point[3] - line_end) > 0.01f * m.unit_spacing + 0.005f)
            r.fail(1, "Error Message",
                   "Error in line %d!\nThe gradient array's C2 stands at x = %g m, but\nits "
                   "current electrodes are the first and the last\nelectrode of the line: with C1 "
                   "at x = %g m,\nC2 stands at x = %g m.\nPlease check your file format.",
                   r.line_number(r.last_number_at), point[3], point[0], line_end);
    }
}

} // namespace

bool only_blank_left(const ModelReader& r) {
    for (std::int32_t c = r.cursor; c < r.length; ++c) {
        const unsigned char b = static_cast<unsigned char>(r.text[c]);
        if (b > 32 && b != 255) return false;
    }
    return true;
}

bool number_ahead(const ModelReader& r) {
    std::int32_t c = r.cursor;
    while (c < r.length && !starts_number(r.text[c]))
        ++c;
    for (int taken = 0; c < r.length && taken < 80 && continues_number(r.text[c]); ++c, ++taken)
        if (r.text[c] >= '0' && r.text[c] <= '9') return true;
    return false;
}

int max_levels_for_array(int nelec, int array_type, int& span_limit, int max_levels) {
    int levels;
    switch (array_type) {
    case 4:
    case 8:
        span_limit = levels = nelec - 1;
        break;
    case 6:
        span_limit = levels = nelec - 2;
        break;
    case 5:
        span_limit = levels = nelec - 3;
        break;
    case 7:
        span_limit = nelec - 3;
        levels = (nelec - 3) / 2;
        break;
    default:
        span_limit = nelec - 3;
        levels = (nelec - 1) / 3;
        break;
    }
    return std::min(levels, max_levels);
}

// The multiple-gradient line after file code 11: a caption beginning with 'M' and the number
// of current-electrode segments (1 or more), which the survey's datum list is made from.
// Returns false, reading nothing, when the file holds no such line.
bool read_multiple_gradient_line(ModelReader& r) {
    ModelSettings& m = r.model;
    if (m.cylinder_model) return false;
    const std::string caption = r.peek_line();
    if (caption.empty() || (caption[0] != 'M' && caption[0] != 'm')) return false;
    const std::int32_t saved = r.cursor;
    r.read_line();
    const bool found = number_ahead(r);
    const int segments = r.read_int();
    if (!found || segments < 1) {
        r.cursor = saved;
        return false;
    }
    m.n_n_values = segments;
    return true;
}

void read_array_type_section(ModelReader& r) {
    ModelSettings& m = r.model;
    // A last line without a line end still holds the array type; only a missing number fails.
    const bool found = number_ahead(r);
    int code = r.read_int();
    if (!found)
        r.fail(1, "Error Message", "Error in reading file!\nPlease check your file format.");
    // Code 11, the multiple gradient, only with the line the model-file writer gives it.
    if (code < 1 || code > 11 || (code == 11 && !read_multiple_gradient_line(r)))
        r.fail(1, "Error Message",
               "Array number is %d.\nError in the number for the array type!\nPlease check your "
               "file format.",
               code);
    if (m.cylinder_model) code = cylinder_array_code(r, code);
    m.array_type = array_code_from_file(code);
    const int type = m.array_type;
    if ((type == 4 || type == 6 || type == 7) && m.nlev > r.limits.max_n) m.nlev = r.limits.max_n;
    r.printf("%s array", array_type_name(type));
    if (type == 15) r.printf("Number of current electrode segments is %d.", m.n_n_values);
    read_offset_or_gradient_line(r);
    // The thickness factor of the default depths depends on the array just read.
    if (m.depths_given != 2 && !m.cylinder_model) set_default_depth_lines(r);
}

int check_levels_and_end(ModelReader& r) {
    ModelSettings& m = r.model;
    r.result = 0;
    const int before = m.nlev;
    const int most =
        max_levels_for_array(m.nelec, m.array_type, m.level_span_limit, r.limits.max_levels);
    if (most < m.nlev) m.nlev = most;
    if (m.nlev != before) r.printf("Number of levels changed from %d to %d.", before, m.nlev);
    if (!only_blank_left(r)) return 0;
    m.calc_values_present = 0;
    m.pot_values_present = 0;
    return 1;
}

} // namespace model

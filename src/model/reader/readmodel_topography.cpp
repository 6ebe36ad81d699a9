// Model-file topography section (elevation points and the values per electrode) and the checks
// that turn the positions and spacings of index-layout data into electrode numbers and whole
// unit spacings.
#include "model/mesh_nodes.h"
#include "model/reader/readmodel_sections.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace model {

namespace {

// A coordinate in unit spacings; a spacing lowered by the data can make it too large to hold.
float in_unit_spacings(ModelReader& r, float metres) {
    const float value = metres / r.model.unit_spacing;
    r.refuse_unless_finite(value);
    return value;
}

// Surface distances: each step down the surface must be longer than its drop (the message gives
// both in metres, as the file does). A surface that breaks this cannot be laid out, and a flat
// earth in its place is not the model written.
void check_surface_distances(ModelReader& r) {
    const ModelSettings& m = r.model;
    for (int i = 1; i < m.ntopo; ++i) {
        const float dx = m.elec_x[i] - m.elec_x[i - 1];
        const float dz = m.elec_z[i] - m.elec_z[i - 1];
        if (std::fabs(dz) >= dx - 0.0001f)
            r.fail_quiet(1, "Error Message",
                         "Error in elevation points %d and %d.\nThe difference in surface distance "
                         "is %.2f\nbut the difference in vertical distance  is %.2f.\nThe "
                         "difference in elevation must be\nless than the surface distance.",
                         i, i + 1, dx * m.unit_spacing, dz * m.unit_spacing);
    }
}

// The surface is a function of x: a point behind the one before it is a slip of the pen that
// would fold the surface.
void check_increasing_x(ModelReader& r) {
    const ModelSettings& m = r.model;
    for (int i = 1; i < m.ntopo; ++i)
        if (m.elec_x[i] < m.elec_x[i - 1])
            r.fail_quiet(1, "Error Message",
                         "Error in elevation points %d and %d.\nThe x of point %d is %g, less "
                         "than the x\nof point %d, %g. The elevation points must\nbe given in "
                         "order of increasing x.",
                         i, i + 1, i + 1, m.elec_x[i] * m.unit_spacing, i,
                         m.elec_x[i - 1] * m.unit_spacing);
}

// The electrodes take the elevations of the points at their x, and the end elevations beyond
// them: points that reach fewer than two electrodes (a line of points at x = 1000 m while the
// electrodes stand from 0) give a flat surface, not the topography written.
void check_points_reach_line(ModelReader& r) {
    const ModelSettings& m = r.model;
    if (m.ntopo < 2) return;
    const float lo = *std::min_element(m.elec_x, m.elec_x + m.ntopo);
    const float hi = *std::max_element(m.elec_x, m.elec_x + m.ntopo);
    const float first = m.first_electrode_x / m.unit_spacing, last = first + float(m.nelec - 1);
    const float reach = std::min(hi, last) - std::max(lo, first);
    if (reach >= 1.0f - 1e-4f) return;
    const float u = m.unit_spacing;
    r.fail_quiet(
        1, "Error Message",
        "Error in the topography!\nThe elevation points lie from x = %s to %s m,\nbut "
        "the electrodes stand from %s to %s m.\nThe surface the points give does not "
        "reach\nacross two electrodes of the line.",
        significant_value("%.1f", lo * u).c_str(), significant_value("%.1f", hi * u).c_str(),
        significant_value("%.1f", first * u).c_str(), significant_value("%.1f", last * u).c_str());
}

// The node columns between two electrodes follow the straight line between their elevations.
// Steeper than 2 in 1 the cells shear too far for the solvers (a plane sloping 4 in 1 reads a
// fifth high; a hill of a million spacings gives negative values). With surface distances the
// horizontal distance is what the step along the surface leaves beside its drop; the mesh could
// not lay out a drop of 0.9 of the surface step or more at all.
void check_electrode_slopes(ModelReader& r) {
    const ModelSettings& m = r.model;
    std::vector<float> x, z;
    electrode_surface(m, x, z);
    const bool along_surface = m.tflag == 2;
    for (std::size_t i = 1; i < z.size(); ++i) {
        const float rise = z[i] - z[i - 1], step = x[i] - x[i - 1];
        const float across =
            along_surface ? std::sqrt(std::max(0.0f, step * step - rise * rise)) : step;
        if (!(std::fabs(rise) <= 2.0f * across))
            r.fail_quiet(1, "Error Message",
                         "Error in the topography!\nBetween electrodes %d and %d the surface "
                         "changes\nby %.4g over a %s distance of %.4g.\nThe mesh cannot "
                         "follow a slope steeper\nthan 2 in 1.",
                         int(i), int(i) + 1, rise * m.unit_spacing,
                         along_surface ? "surface" : "horizontal", step * m.unit_spacing);
    }
}

void read_elevation_points(ModelReader& r) {
    ModelSettings& m = r.model;
    r.print(m.tflag == 1 ? "Topography present. True horizontal distance between electrodes"
                         : "Topography present. Surface distance between electrodes");
    // The flag says the points follow: a file cut inside them is refused as cut, not read as
    // points at (0, 0).
    r.expect_number();
    m.ntopo = r.read_int();
    const int most =
        int(std::min<std::size_t>(std::size_t(r.limits.max_topo_points), 4 * r.capacity.N + 4));
    if (m.ntopo > most) {
        const int count = m.ntopo;
        m.tflag = m.ntopo = 0;
        r.fail_quiet(1, "Error Message",
                     "Number of elevation data points is %d.\nThis is more than the maximum limit "
                     "of %d points.\nPlease check your file format.",
                     count, most);
    }
    // Without points there is no surface to place the electrodes on.
    if (m.ntopo < 1) {
        const int count = m.ntopo;
        m.tflag = m.ntopo = 0;
        r.fail_quiet(1, "Error Message",
                     "Number of elevation data points is %d.\nYou must have at least 1 point.\n"
                     "Please check your file format.",
                     count);
    }
    r.printf("Number of elevation data points is %d.", m.ntopo);
    {
        const ExpectedValues points(r);
        for (int i = 0; i < m.ntopo; ++i) {
            m.elec_x[i] = in_unit_spacings(r, r.read_real());
            m.elec_z[i] = in_unit_spacings(r, r.read_real());
        }
    }
    if (m.elec_z[0] != 0.0f) {
        double sum = 0.0;
        for (int i = 0; i < m.ntopo; ++i)
            sum += m.elec_z[i];
        const float mean = static_cast<float>(sum / m.ntopo);
        for (int i = 0; i < m.ntopo; ++i)
            m.elec_z[i] -= mean;
    }
    m.topo_distance_type = r.read_int();
    check_increasing_x(r);
    if (m.tflag == 2) check_surface_distances(r);
    check_points_reach_line(r);
    check_electrode_slopes(r);
}

// Nearest whole number of a non-negative ratio, held below a billion so that a far-off value
// is refused by the checks rather than overflowing.
int whole_number(float ratio) {
    return ratio < 1.0e9f ? round_to_int(ratio) : 1000000000;
}

// A length of a message as the file gives it: "%.1f" when that shows it, else its digits (a unit
// spacing of 0.01 m is not "0.0").
std::string metres_text(float value) {
    return significant_value("%.1f", value);
}

void check_datum_spacings(ModelReader& r, const MeasuredPositions& data) {
    ModelSettings& m = r.model;
    const float u = m.unit_spacing;
    const std::string unit = metres_text(u);
    bool location_reported = false;
    for (int d = 0; d < m.ndata; ++d) {
        const float a = data.a[std::size_t(d)];
        const int k = whole_number(a / u);
        // Not even one unit spacing: the datum needs electrodes between the model's.
        if (k < 1 || std::fabs(float(k) * u - a) > 0.01f * u) {
            m.ndata = 0;
            r.fail(1, "Electrode spacing error",
                   "The unit electrode spacing is %s.\nHowever the electrode spacing for datum "
                   "point %d\nis %s. The electrode spacing must be an integer\nmultiple of the "
                   "unit electrode spacing!.\nPlease check your input data file.",
                   unit.c_str(), d + 1, metres_text(a).c_str());
        }
        if (k > r.limits.max_spacing_ratio) {
            m.ndata = 0;
            if (r.canvas()) r.canvas()->set_text_colour(gfx::rgb(255, 0, 0));
            r.fail(1, "Electrode spacing error",
                   "The unit electrode spacing is %s.\nHowever the electrode spacing for datum "
                   "point %d\nis %5.1f. The maximum electrode spacing cannot\nbe greater than %d "
                   "times the unit electrode\nspacing. Please check your input data file.",
                   unit.c_str(), d + 1, a, r.limits.max_spacing_ratio);
        }
        m.datum_a[d] = k;
        // Positions stay real until here, so that spacings such as 2.5 m land on their
        // electrodes. A datum moved onto an electrode is said, however small the spacing: a
        // fixed 2 cm passed data 1.5 spacings off on a line of 1 cm spacings. The tolerance
        // takes in what a float of the position's size holds.
        const float x0 = data.x[std::size_t(d)];
        const float x = x0 - m.first_electrode_x;
        const int j = whole_number(x / u);
        const float held = 8.0f * std::numeric_limits<float>::epsilon() *
                           std::max(std::fabs(x0), std::fabs(m.first_electrode_x));
        if (std::fabs(x - float(j) * u) > 0.01f * u + held && !location_reported) {
            location_reported = true;
            r.warn("Electrode location error",
                   "The unit electrode spacing is %s.\nThe distance of the electrode for datum "
                   "point %d\nfrom the first electrode is %s. This distance\nmust be an integer "
                   "multiple of the unit electrode\nspacing!. Please check your input data file. "
                   "The\nprogram will now round up the electrode distances\nwithout checking for "
                   "consistency in the values.",
                   unit.c_str(), d + 1, metres_text(x).c_str());
        }
        m.datum_first_electrode[d] = j + 1;
    }
}

// A byte a number can begin with.
bool opens_number(char c) {
    return c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9');
}

// The values that follow the flag just read are numbered as older files write them: the flag
// was the number 1 of the first line ("  1,   0.1250"), whose value follows on that line, and
// the next line begins with the number 2.
bool numbered_values_follow(const ModelReader& r) {
    std::int32_t c = r.cursor;
    while (c < r.length && r.text[c] != '\n' && r.text[c] != '\r' && !opens_number(r.text[c]))
        ++c;
    if (c >= r.length || r.text[c] == '\n' || r.text[c] == '\r') return false;
    read_buffer_number(r.text, c, r.length);
    const NumberToken next = read_buffer_number(r.text, c, r.length);
    return next.whole && next.value == 2.0 && r.line_number(next.start) == r.line_number() + 1;
}

// One value per electrode, one a line. Older files number them ("  1,   0.1250", the count of
// values on the line before): the flag just read was then the first number, and the values
// are taken without their numbers rather than as every second value.
void read_electrode_values(ModelReader& r) {
    ModelSettings& m = r.model;
    const ExpectedValues values(r);
    const bool numbered = r.model.nelec > 1 && numbered_values_follow(r);
    for (int i = 0; i < m.nelec; ++i) {
        if (numbered && i > 0 && r.read_int() != i + 1)
            r.fail(1, "Error Message",
                   "Error in line %d!\nThe values per electrode are numbered, but this\nline "
                   "does not hold the value of electrode %d.\nPlease check your file format.",
                   r.line_number(r.last_number_at), i + 1);
        m.topo_distance[i] = r.read_real();
    }
}

} // namespace

void read_topography_section(ModelReader& r, const MeasuredPositions& data) {
    ModelSettings& m = r.model;
    trace("Read_Topography tflag %d\n", m.tflag);
    m.tflag = r.read_int();
    // A negative flag means no topography too; the mesh then takes a flat surface. Any flag
    // above 1 gives distances along the surface: held as 2, so that the mesh, the checks and
    // the files written all take them so.
    if (m.tflag < 1) m.tflag = 0;
    if (m.tflag > 2) m.tflag = 2;
    if (m.tflag >= 1) read_elevation_points(r);
    m.topo_present = r.read_int();
    if (m.topo_present == 1) read_electrode_values(r);
    trace("after Read_Topography tflag %d\n", m.tflag);
    // Multiple-gradient data were placed on the electrodes as they were read.
    if (m.datum_array_type != 0 && m.datum_array_type != 15) check_datum_spacings(r, data);
}

void refuse_numbers_after_topography(ModelReader& r) {
    std::int32_t at = r.cursor;
    for (;;) {
        while (at < r.length && (static_cast<unsigned char>(r.text[at]) <= 32 ||
                                 r.text[at] == ',' || r.text[at] == ';'))
            ++at;
        if (at >= r.length) return;
        const char c = r.text[at];
        if (!opens_number(c)) return;
        const NumberToken token = read_buffer_number(r.text, at, r.length);
        if (token.whole && token.value == 0.0) continue;
        const std::string word(r.text + token.start, std::size_t(std::min(token.size, 40)));
        r.fail(1, "Error Message",
               "Error in model data file!\nLine %d holds %s after the topography section,\n"
               "where only the closing zeros belong. A value\nout of place shifts the values "
               "read before it:\nan extra 0 before the topography flag, say,\nreads the flag "
               "as 0 and the model as flat.\nPlease check your file format.",
               r.line_number(token.start), word.c_str());
    }
}

} // namespace model

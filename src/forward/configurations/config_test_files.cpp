// Two writers of test files in the program folder: a listing of surface and cross-borehole
// arrays, and an array configuration file made from a list of Wenner arrays.
#include "forward/configurations/configurations.h"

#include "forward/datafile.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr double four_pi = 12.566371;

/// An electrode of the listing: x along the line and depth z, metres.
struct Point {
    float x = 0.0f, z = 0.0f;
};

void append_array(std::string& out, const char* kind, int number, const Point (&e)[4]) {
    model::appendf(out, "%s Array %d\n", kind, number);
    for (const Point& p : e)
        model::append_values(out, "%6.1f,%6.1f\n", {p.x, p.z}, true);
}

// C1 C2 P1 P2 of the inverse geometric sum: the direct and image terms of each pair.
float geometric_term(const Point (&e)[4]) {
    auto t = [&e](int c, int p) { return image_point_source_term(e[c].x, e[c].z, e[p].x, e[p].z); };
    return t(0, 2) - t(0, 3) - t(1, 2) + t(1, 3);
}

// A count of electrodes ahead: true with its value in `v`, false at the end of the text.
bool next_number(const std::vector<char>& text, std::int32_t& cursor, double& v) {
    const std::int32_t length = std::int32_t(text.size());
    std::int32_t at = cursor;
    while (at < length && !std::strchr("+-.0123456789", text[std::size_t(at)]))
        ++at;
    if (at >= length) return false;
    v = read_buffer_real(text.data(), cursor, length);
    return true;
}

} // namespace

bool write_borehole_array_listing(const char* program_dir, int surface, int borehole,
                                  float spacing) {
    if (surface < 7 || borehole < 7 || !(spacing > 0.0f)) return false;
    const float a = spacing;
    auto on_surface = [a](int i) { return Point{float(i - 1) * a, 0.0f}; };
    // Borehole 1 at the first surface electrode, borehole 2 at the last; electrode k at k a.
    auto in_hole = [a, surface](int hole, int k) {
        return Point{hole == 1 ? 0.0f : float(surface - 1) * a, float(k) * a};
    };
    std::string out;
    int number = 0;
    for (int n = 1; n <= 4; ++n)
        for (int p = 1; p + n + 2 <= surface; ++p)
            append_array(
                out, "Surface", ++number,
                {on_surface(p + 1), on_surface(p), on_surface(p + n + 1), on_surface(p + n + 2)});
    number = 0;
    std::vector<int> strong;
    for (int i = 1; i < borehole; ++i)
        for (int j = 1; j < borehole; ++j) {
            append_array(out, "C1P1-C2P2", ++number,
                         {in_hole(1, i), in_hole(2, j), in_hole(1, i + 1), in_hole(2, j + 1)});
            const Point across[4] = {in_hole(1, i), in_hole(1, i + 1), in_hole(2, j),
                                     in_hole(2, j + 1)};
            // The currents in one hole and the potentials in the other only while the
            // geometric factor stays within 5000 unit spacings.
            if (std::fabs(double(geometric_term(across))) * 5000.0 * a >= four_pi)
                strong.push_back(number);
        }
    number = 0;
    for (int k : strong) {
        const int i = (k - 1) / (borehole - 1) + 1, j = (k - 1) % (borehole - 1) + 1;
        append_array(out, "C1C2-P1P2", ++number,
                     {in_hole(1, i), in_hole(1, i + 1), in_hole(2, j), in_hole(2, j + 1)});
    }
    const std::string path = std::string(program_dir ? program_dir : "") + "borehole.txt";
    return forward::save_text_file(path.c_str(), out);
}

bool write_wenner_test_file(const char* program_dir) {
    const std::string folder = program_dir ? program_dir : "";
    const std::string in_path = folder + "wen.txt", out_path = folder + "wen2ds.txt";
    std::vector<char> text;
    if (!sys::read_whole_file(in_path, text)) {
        model::report_error(model::Shown::box, "Error Message",
                            "There has been an error in opening\nthe file %s.", in_path.c_str());
        return false;
    }
    std::int32_t cursor = 0;
    double value = 0.0;
    if (!next_number(text, cursor, value)) {
        model::report_error(model::Shown::box, "Error Message",
                            "Model data file error!\nThis file appears to be empty.");
        return false;
    }
    const double count = value;
    if (!(count >= 1.0 && count <= 9999.0) || count != std::floor(count)) {
        model::report_error(model::Shown::box, "Error Message",
                            "Number of arrays %g in\n%s\nmust be a whole number from 1 to 9999.",
                            count, in_path.c_str());
        return false;
    }
    std::vector<float> x;
    try {
        x.resize(std::size_t(count) * 4);
    } catch (const std::bad_alloc&) {
        model::report_error(model::Shown::box, "Error Message",
                            "Problem in allocating memory for this file!\nPress any key to "
                            "continue.");
        return false;
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!next_number(text, cursor, value)) {
            model::report_error(model::Shown::box, "Error Message",
                                "The file %s\nends before the electrodes of array %d.",
                                in_path.c_str(), int(i / 4) + 1);
            return false;
        }
        x[i] = float(value);
    }
    std::string out;
    model::appendf(
        out,
        "Wenner array file\nNumber of arrays\n%d\nUnit electrode spacing\n0.25\nCoordinates "
        "of electrodes (xc1,zc1,xc2,zc2,xp1,zp1,xp2,zp2)\n",
        int(count));
    for (std::size_t k = 0; k < x.size() / 4; ++k) {
        model::appendf(out, "Array %d\n", int(k) + 1);
        for (int e = 0; e < 4; ++e)
            model::append_values(out, "%6.2f,0.0\n", {x[4 * k + std::size_t(e)] + 5.0f}, true);
    }
    out += "Starting and ending x-location to calculate sensitivity values, spacing\n"
           "-5.0,5.0,0.025\n"
           "Starting and ending z-location to calculate sensitivity values, spacing\n"
           "0.02,8.0,0.025\n"
           "Material resistivity (ohm.m)\n1.0\nMaximum current (Amp)\n1.0\n"
           "Minimum potential (mV)\n0.1\n";
    return forward::save_text_file(out_path.c_str(), out);
}

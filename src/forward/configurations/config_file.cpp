// The reader of array configuration files and the writer of the sensitivity report.
#include "forward/configurations/config_file.h"

#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace forward {

int SensitivityGrid::nx() const {
    return round_to_int(std::fabs(x2 - x1) / dx) + 1;
}

int SensitivityGrid::nz() const {
    return round_to_int(std::fabs(z2 - z1) / dz) + 1;
}

namespace {

// Ends a read: the refusal was shown.
struct Refused {};

// Which part of the file is being read, for the message of a file that ends early.
enum class Part { configurations, grid, results };

// One read of a configuration file: the text readers with a cursor, numbers that must be there.
class ConfigReader {
  public:
    ConfigReader(const char* text, std::int32_t length, const ReadEcho& echo)
        : text_(text), length_(length), echo_(echo) {}

    Part part = Part::configurations;

    std::string line() {
        char buffer[120];
        read_buffer_line(text_, buffer, cursor_, length_, sizeof buffer);
        return buffer;
    }
    std::string peek_line() {
        const std::int32_t saved = cursor_;
        std::string l = line();
        cursor_ = saved;
        return l;
    }
    float real() {
        expect_number();
        const double v = read_buffer_real(text_, cursor_, length_);
        return std::fabs(v) < 3.4e38 ? float(v) : std::copysign(INFINITY, float(v));
    }
    int integer() {
        expect_number();
        return read_buffer_int(text_, cursor_, length_);
    }
    /// Bytes left to read: an upper bound of the numbers the text can still hold.
    std::size_t remaining() const { return std::size_t(length_ - cursor_); }
    /// Refuses the file as one that ends inside the part being read.
    [[noreturn]] void refuse_short() const {
        static const char* const parts[3] = {"array configurations", "grid", "sensitivity results"};
        refuse("Electrode configuration file error!\nThe file ends inside its %s.",
               parts[int(part)]);
    }
    void show(const std::string& text) const {
        if (echo_) echo_(text);
    }
    template <class... A> void showf(const char* format, A... a) const {
        char text[256];
        std::snprintf(text, sizeof text, format, a...);
        show(text);
    }
    template <class... A> [[noreturn]] void refuse(const char* format, A... a) const {
        char text[512];
        std::snprintf(text, sizeof text, format, a...);
        model::report_error(model::Shown::box, "Error Message", "%s", text);
        throw Refused{};
    }

  private:
    const char* text_;
    std::int32_t length_;
    std::int32_t cursor_ = 0;
    const ReadEcho& echo_;

    // The number readers give 0 at the end of the text: a number that is not there would put
    // an electrode or a grid limit at 0.
    void expect_number() {
        std::int32_t c = cursor_;
        while (c < length_ && !(text_[c] == '-' || text_[c] == '+' || text_[c] == '.' ||
                                (text_[c] >= '0' && text_[c] <= '9')))
            ++c;
        if (c >= length_) refuse_short();
    }
};

bool starts_with(const std::string& line, char upper) {
    return !line.empty() && (line[0] == upper || line[0] == upper + ('a' - 'A'));
}

void read_old_format(ConfigReader& r, ConfigurationFile& f) {
    const float a = f.spacing;
    for (ArrayConfiguration& c : f.arrays) {
        c.label = r.line();
        for (int e = 0; e < 4; ++e) {
            c.x[e] = r.real() / a + f.offset;
            c.z[e] = r.real() / a;
        }
        c.count = c.x[p2] < 0.0f ? 2 : c.x[c2] < 0.0f ? 3 : 4;
    }
}

void read_new_format(ConfigReader& r, ConfigurationFile& f) {
    const float a = f.spacing;
    float first = INFINITY;
    for (std::size_t k = 0; k < f.arrays.size(); ++k) {
        ArrayConfiguration& c = f.arrays[k];
        c.count = r.integer();
        if (c.count < 2 || c.count > 4)
            r.refuse("Number of electrodes is %d in array configuration %d!\nIt must be 2, 3 "
                     "or 4.",
                     c.count, int(k) + 1);
        for (int e : {int(c1), int(c2), int(p1), int(p2)}) {
            if (!c.named(e)) continue;
            const float x = r.real() + f.offset;
            c.x[e] = x / a;
            c.z[e] = r.real() / a;
            first = std::min(first, x);
        }
    }
    r.showf("New array format, first electrode location %.2f", double(first));
}

void read_grid(ConfigReader& r, ConfigurationFile& f) {
    const float a = f.spacing;
    SensitivityGrid& g = f.grid;
    r.part = Part::grid;
    g.x1 = r.real() / a, g.x2 = r.real() / a, g.dx = r.real() / a;
    r.showf("x1 %.2f x2 %.2f dx %.2f.", double(g.x1), double(g.x2), double(g.dx));
    if (!(g.dx > 0.0f) || !(g.x2 - g.x1 > g.dx) || !std::isfinite(g.x2 - g.x1))
        r.refuse("Error in x-spacing of %.2f!", double(g.dx * a));
    r.line();
    g.z1 = r.real() / a, g.z2 = r.real() / a, g.dz = r.real() / a;
    r.showf("z1 %.2f z2 %.2f dz %.2f.", double(g.z1), double(g.z2), double(g.dz));
    if (!(g.dz > 0.0f) || !(g.z2 - g.z1 > g.dz) || !std::isfinite(g.z2 - g.z1))
        r.refuse("Error in z-spacing of %.2f!", double(g.dz * a));
    r.line();
    // The potentials of the configurations are proportional to both: a resistivity or a
    // current of 0 or less would give potentials of 0 or of the wrong sign.
    g.resistivity = r.real();
    r.showf("Resistivity %.3f", double(g.resistivity));
    if (!(g.resistivity > 0.0f) || !std::isfinite(g.resistivity))
        r.refuse("Material resistivity is %.3f!\nIt must be a positive value.",
                 double(g.resistivity));
    r.line();
    g.current = r.real();
    r.showf("Maximum current %.3f", double(g.current));
    if (!(g.current > 0.0f) || !std::isfinite(g.current))
        r.refuse("Maximum current is %.3f!\nIt must be a positive value.", double(g.current));
    r.line();
    g.min_potential = r.real();
    r.showf("Minimum potential %.3f", double(g.min_potential));
    f.has_grid = true;
}

void read_values(ConfigReader& r, std::vector<float>& v, std::size_t n) {
    // Every number takes a byte at least: more than the text can hold is a short file, not a
    // table to allocate.
    if (n > r.remaining()) r.refuse_short();
    v.resize(n);
    for (float& value : v)
        value = r.real();
}

void read_results(ConfigReader& r, ConfigurationFile& f) {
    SensitivitySections& s = f.results;
    const int n = int(f.arrays.size());
    r.part = Part::results;
    r.line();
    s.nx = r.integer();
    r.line();
    s.nz = r.integer();
    r.showf("nx %d  nz %d", s.nx, s.nz);
    const int gx = f.grid.nx(), gz = f.grid.nz();
    if (s.nx != gx || s.nz != gz)
        r.refuse("The sensitivity results have %d x %d points,\nbut the grid has %d x %d "
                 "points.",
                 s.nx, s.nz, gx, gz);
    r.line();
    s.factor = r.real();
    r.line();
    read_values(r, s.x, std::size_t(s.nx));
    r.line();
    read_values(r, s.z, std::size_t(s.nz));
    r.show(r.line());
    s.per_configuration = !starts_with(r.peek_line(), 'I');
    if (s.per_configuration && n > 16)
        r.refuse("The sensitivity results of %d array configurations\nmust hold only the "
                 "integrated sensitivity values.",
                 n);
    if (!s.per_configuration) {
        r.line();
        r.integer();
    }
    read_values(r, s.values, (s.per_configuration ? std::size_t(n) + 1 : 1) * s.points());
    read_values(r, s.potentials, std::size_t(n));
    f.has_results = true;
}

void read_file(ConfigReader& r, float model_spacing, int mode, int max_configurations,
               ConfigurationFile& f) {
    f.title = r.line();
    r.show(f.title);
    r.line();
    const int n = r.integer();
    r.showf("Number of array configurations is %d", n);
    if (n < 1 || n > max_configurations)
        r.refuse("Number of array configurations is %d!\nIt must be between 1 and %d.", n,
                 max_configurations);
    r.line();
    const float s = r.real();
    r.showf("Electrode spacing is %.2f.", double(s));
    if (!(s > 0.0f)) r.refuse("Unit electrode spacing is %.2f!\nIt must be a positive value.", s);
    f.spacing = s;
    if (s != model_spacing) {
        f.spacing = model_spacing;
        r.showf("Model electrode spacing is %.2f.", double(model_spacing));
    }
    if (starts_with(r.peek_line(), 'H')) {
        r.line();
        f.offset = r.real();
        r.showf("Horizontal offset of %.2f used.", double(f.offset));
    }
    f.new_format = starts_with(r.line(), 'N');
    f.arrays.assign(std::size_t(n), ArrayConfiguration{});
    if (f.new_format) {
        r.show("New array format");
        read_new_format(r, f);
    } else {
        read_old_format(r, f);
    }
    if (starts_with(r.line(), 'S')) read_grid(r, f);
    if (mode == 0 && !f.has_grid)
        r.refuse("This file has no grid for the sensitivity values.\nIt must follow the array "
                 "configurations.");
    if (!f.has_grid) return;
    const std::string results = r.line();
    if (starts_with(results, 'S') || (results.size() > 1 && starts_with(results.substr(1), 'S')))
        read_results(r, f);
}

} // namespace

bool parse_configuration_file(const char* text, std::int32_t length, float model_spacing, int mode,
                              int max_configurations, ConfigurationFile& file,
                              const ReadEcho& echo) {
    file = ConfigurationFile{};
    if (length <= 0) {
        model::report_error(model::Shown::box, "Error Message",
                            "Electrode configuration file error!\nThis file appears to be empty.");
        return false;
    }
    ConfigReader reader(text, length, echo);
    try {
        read_file(reader, model_spacing, mode, max_configurations, file);
    } catch (const Refused&) {
        file = ConfigurationFile{};
        return false;
    }
    return true;
}

namespace {

// A block of values sixteen a line, the last line holding the rest.
void append_block(std::string& out, const float* v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        model::appendf(out, (i % 16 == 15 || i + 1 == n) ? "%12.4e\n" : "%12.4e,", double(v[i]));
}

} // namespace

std::string configuration_label(const ConfigurationFile& f, int k) {
    const std::string& label = f.arrays[std::size_t(k)].label;
    return label.empty() ? "Array " + std::to_string(k + 1) : label;
}

std::string configuration_report_text(const ConfigurationFile& f, const SensitivitySections& s,
                                      const char* version_text) {
    const float a = f.spacing;
    const SensitivityGrid& g = f.grid;
    const int n = int(f.arrays.size());
    std::string out;
    model::appendf(out, "%s\nNumber of arrays\n%d\n", f.title.c_str(), n);
    model::append_values(out, "Unit electrode spacing\n%.3f\n", {a});
    out += "Coordinates of electrodes (xc1,zc1,xc2,zc2,xp1,zp1,xp2,zp2)\n";
    for (int k = 0; k < n; ++k) {
        const ArrayConfiguration& c = f.arrays[std::size_t(k)];
        // The reader passes over an empty line: a label keeps every later line in its place.
        model::appendf(out, "%s\n", configuration_label(f, k).c_str());
        for (int e = 0; e < 4; ++e)
            model::append_values(out, "%.3f,%.3f\n", {c.x[e] * a, c.z[e] * a});
    }
    model::append_values(out,
                         "Starting and ending x-location to calculate sensitivity values, spacing\n"
                         "%.3f,%.3f,%.3f\n",
                         {g.x1 * a, g.x2 * a, g.dx * a});
    model::append_values(out,
                         "Starting and ending z-location to calculate sensitivity values, spacing\n"
                         "%.3f,%.3f,%.3f\n",
                         {g.z1 * a, g.z2 * a, g.dz * a});
    model::append_values(out, "Material resistivity (ohm.m)\n%.3f\n", {g.resistivity});
    model::append_values(out, "Maximum current (Amp)\n%.3f\n", {g.current});
    model::append_values(out, "Minimum potential (mV)\n%.3f\n", {g.min_potential});
    model::appendf(out,
                   "Sensitivity output results\nNumber of x points\n%d\nNumber of z points\n%d\n",
                   s.nx, s.nz);
    model::append_values(out, "Multiplication factor\n%.1f\n", {s.factor});
    out += "x coordinates\n";
    for (const float x : s.x)
        model::appendf(out, "%.3f\n", double(x));
    out += "z coordinates\n";
    for (const float z : s.z)
        model::appendf(out, "%.3f\n", double(z));
    out += "Sensitivity values\n";
    if (!s.per_configuration) model::appendf(out, "Integrated sensitivity values\n%d\n", 16);
    const std::size_t blocks = s.values.size() / std::max<std::size_t>(s.points(), 1);
    for (std::size_t b = 0; b < blocks; ++b)
        append_block(out, s.values.data() + b * s.points(), s.points());
    for (const float v : s.potentials)
        model::appendf(out, "%14.6e\n", double(v));
    model::appendf(out, "\n\n%s\n", version_text);
    return out;
}

} // namespace forward

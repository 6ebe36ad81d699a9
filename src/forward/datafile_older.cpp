// The older index-only data file: the data of the regular levels and positions of a standard
// array, their electrodes again as a mixed-array list, and the fractional-n rows.
#include "forward/datafile.h"

#include "forward/additional_rows.h"
#include "forward/apparent.h"
#include "forward/noise.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/text_format.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace forward {

namespace {

constexpr double pi = 3.141592654;

/// One datum of a level: its position on the level (from 1) and its values.
struct LevelDatum {
    int level = 0, position = 0;
    float rho = 0.0f, ip = 0.0f;
};

class OlderDataText {
  public:
    explicit OlderDataText(const WriterRecords& r)
        : r_(r), s_(r.settings), code_(s_.array_type), a_(s_.unit_spacing), nelec_(s_.nelec),
          has_ip_(s_.nip > 0) {}
    std::string build();

  private:
    const WriterRecords& r_;
    const ModelSettings& s_;
    const int code_;
    const float a_;
    const int nelec_;
    const bool has_ip_;
    std::string out_;
    std::vector<LevelDatum> data_;

    bool spacing_levels() const { return code_ < 5 || code_ == 8; }
    void header();
    void level_data();
    LevelDatum level_datum(int level, int position) const;
    void level_lines();
    void reverse_pole_dipole();
    void fractional_rows();
    void fractional_group(const AdditionalGroup& g, bool reverse);
    void surface_and_water();
    void mixed_array_lines();
    void values(float rho, float ip);
};

std::string OlderDataText::build() {
    level_data();
    header();
    level_lines();
    out_ += "0\n0\n0\n0\n\n";
    if (code_ == 6) reverse_pole_dipole();
    if (code_ == 5 || code_ == 6 || code_ == 7) fractional_rows();
    surface_and_water();
    mixed_array_lines();
    model::appendf(out_, "\n%s\n", r_.system.version_text);
    return out_;
}

// The data of levels 1 .. nlev, with the noise of the level data (one deviate a datum).
void OlderDataText::level_data() {
    // Positions on level 1: the electrodes less the span of its datum.
    const int span = code_ <= 3 || code_ == 5 || code_ == 7 ? 3 : code_ == 6 || code_ == 10 ? 2 : 1;
    const int levels = std::min(s_.nlev, r_.limits.max_levels);
    for (int l = 1; l <= levels; ++l)
        for (int p = 1; p <= level_datum_count(code_, nelec_ - span, l); ++p)
            data_.push_back(level_datum(l, p));
    const float level = s_.noise_level;
    if (!(level > 0.0f) || data_.empty()) return;
    std::vector<float> g(data_.size());
    gaussian_noise_array(int(g.size()), g.data());
    for (std::size_t i = 0; i < data_.size(); ++i)
        data_[i].rho *= 1.0f + level * deviate_within(g[i], level, data_[i].rho);
}

// A cylinder model's level values are the level grids its calculation fills; a block model's
// are formed here from the potentials (its calculation forms those of the datum list only).
LevelDatum OlderDataText::level_datum(int level, int position) const {
    LevelDatum d{level, position};
    if (s_.cylinder_model) {
        const int at = index2d(level, position, r_.limits.max_levels);
        d.rho = s_.app_res_grid[at];
        d.ip = s_.app_ip_grid[at];
        return d;
    }
    ApparentValues v;
    const bool by_spacing = spacing_levels();
    if (apparent_values_at(s_, r_.limits, code_, position, by_spacing ? level : 1,
                           by_spacing ? 1.0f : float(level), v)) {
        d.rho = v.rho;
        d.ip = v.ip;
    }
    return d;
}

void OlderDataText::header() {
    model::appendf(out_, "%s\n", s_.model_title ? s_.model_title : "");
    model::append_values(out_, "%7.2f\n", {a_}, true);
    const int written = code_ == 2 ? 4 : code_ == 4 ? 2 : code_ == 5 ? 3 : code_;
    model::appendf(out_, "%d\n", written);
    if (code_ == 8) model::append_values(out_, "%7.2f\n", {s_.electrode_offset}, true);
    if ((code_ == 6 || code_ == 4) && s_.remote_electrodes > 0) {
        model::append_values(
            out_, "Far electrodes included\nC2 far electrode X and Y location\n%.3f,%.3f,0.0\n",
            {a_ * s_.c2_remote_x, a_ * s_.c2_remote_y}, true);
        if (code_ == 4)
            model::append_values(out_, "P2 far electrode X and Y location\n%.3f,%.3f,0.0\n",
                                 {a_ * s_.p2_remote_x, a_ * s_.p2_remote_y}, true);
        out_ += "Approximate Geometric factor used\n";
    }
    model::appendf(out_, "%d\n1\n", int(data_.size()));
    out_ += has_ip_ ? "1\nChargability\nmsecm0.10,1.00\n" : "0\n";
}

void OlderDataText::values(float rho, float ip) {
    if (has_ip_)
        model::append_values(out_, "%10.3f %10.4f\n", {rho, ip}, true);
    else
        model::append_values(out_, "%10.3f\n", {rho}, true);
}

// Each datum at its position on the axis from the first electrode: the level's first
// location, then a further spacing per position.
void OlderDataText::level_lines() {
    for (const LevelDatum& d : data_) {
        const float l = float(d.level);
        const float first = code_ <= 3                 ? 1.5f * l
                            : code_ == 4 || code_ == 8 ? 0.5f * l
                            : code_ == 5               ? 0.5f * (l + 2.0f)
                            : code_ == 7               ? 0.5f * (2.0f * l + 1.0f)
                                                       : 0.5f * (l + 1.0f);
        model::append_values(out_, "%10.2f ", {(first + float(d.position - 1)) * a_}, true);
        if (spacing_levels()) {
            model::append_values(out_, "%10.2f ", {l * a_}, true);
        } else {
            model::append_values(out_, "%10.2f ", {a_}, true);
            model::appendf(out_, "%d ", d.level);
        }
        values(d.rho, d.ip);
    }
}

// The reverse pole-dipole of every level and position (P2 = p, P1 = p + 1, C1 = P1 + l), from
// the potentials; a datum whose values cannot be formed is left out.
void OlderDataText::reverse_pole_dipole() {
    for (const LevelDatum& d : data_) {
        const int l = d.level, p = d.position;
        const float k = float(2.0 * pi * l * (l + 1.0));
        float rho = 0.0f, ip = 0.0f;
        if (!fractional_row_values(s_, r_.limits.max_electrodes, k, p + 1 + l, 0, p + 1, p, 1.0f,
                                   rho, ip))
            continue;
        model::append_values(out_, "%10.3f ", {(0.5f * float(l + 1) + float(p - 1)) * a_}, true);
        model::append_values(out_, "%10.3f ", {a_}, true);
        model::appendf(out_, "%d ", l);
        values(rho, ip);
    }
    out_ += "\n";
}

void OlderDataText::fractional_rows() {
    const float level = s_.noise_level > 0.0f ? s_.noise_level : 0.0f;
    if (code_ != 6) {
        for (const AdditionalGroup& g : additional_groups(code_, nelec_, level))
            fractional_group(g, false);
        return;
    }
    std::vector<AdditionalGroup> groups[2];
    for (std::vector<AdditionalGroup>& g : groups)
        g = pole_dipole_groups(nelec_, level);
    for (int reverse = 0; reverse < 2; ++reverse)
        for (const AdditionalGroup& g : groups[reverse])
            fractional_group(g, reverse == 1);
}

// The rows of one group, at x = span a / 2 + (p - 1) a from the first electrode like the level
// data, in "%10.3f %10.3f %8.4f %10.3f" (x, b a, n, rho) with the IP after.
void OlderDataText::fractional_group(const AdditionalGroup& g, bool reverse) {
    const float n = float(g.m) / float(g.b), b = float(g.b);
    const float k = code_ == 5   ? float(pi * b * n * (n + 1.0) * (n + 2.0))
                    : code_ == 7 ? float(pi * b * n * (n + 1.0))
                                 : float(2.0 * pi * b * n * (n + 1.0));
    for (int p = 1; p <= int(g.factors.size()); ++p) {
        int c1 = p, c2 = 0, p1 = p + g.m, p2 = p + g.m + g.b;
        if (code_ != 6) {
            const AdditionalRow r = additional_row_of(code_, g, p);
            c1 = r.c1, c2 = r.c2, p1 = r.p1, p2 = r.p2;
        } else if (reverse) {
            c1 = p + g.b + g.m, p1 = p + g.b, p2 = p;
        }
        float rho = 0.0f, ip = 0.0f;
        if (!fractional_row_values(s_, r_.limits.max_electrodes, k, c1, c2, p1, p2,
                                   g.factors[std::size_t(p - 1)], rho, ip))
            continue;
        const float x = (float(g.span) / 2.0f + float(p - 1)) * a_;
        if (has_ip_)
            model::append_values(out_, "%10.3f %10.3f %8.4f %10.3f %10.4f\n",
                                 {x, b * a_, reverse ? -n : n, rho, ip}, true);
        else
            model::append_values(out_, "%10.3f %10.3f %8.4f %10.3f\n",
                                 {x, b * a_, reverse ? -n : n, rho}, true);
    }
}

// The elevation points as the record holds them (unit spacings), the water layers, and the
// closing lines.
void OlderDataText::surface_and_water() {
    if (s_.tflag >= 1) {
        model::appendf(out_, "%d\n%d\n", s_.tflag, s_.ntopo);
        for (int i = 0; i < s_.ntopo; ++i)
            model::append_values(out_, "%9.3f,%9.3f\n", {s_.elec_x[i], s_.elec_z[i]}, true);
    } else {
        out_ += "0\n";
    }
    out_ += "0\n";
    if (s_.zwatermax != 0.0f) {
        out_ += "1\n";
        append_water_layers(out_, s_, a_, false);
        out_ += s_.geometric_factor_type == 0 ? "1\n" : "0\n";
    } else {
        out_ += "0\n";
    }
    out_ += "0\n0\n0\n0\n\n";
}

// The level data again by their electrodes (metres from the first electrode): C1 and P1 for
// the pole-pole and the equatorial dipole-dipole (its other two stand on the offset line), C1,
// P1 and P2 for the pole-dipole arrays, C1, C2, P1 and P2 for the others.
void OlderDataText::mixed_array_lines() {
    out_ += "Mixed array format\n";
    const bool by_spacing = spacing_levels();
    for (const LevelDatum& d : data_) {
        const DatumElectrodes e = array_electrodes(s_, code_, d.position, by_spacing ? d.level : 1,
                                                   by_spacing ? 1.0f : float(d.level));
        auto x = [this](int electrode) { return float(electrode - 1) * a_; };
        if (code_ == 4 || code_ == 8)
            model::append_values(out_, "2 %10.2f 0.00 %10.2f 0.00 ", {x(e.c1), x(e.p1)}, true);
        else if (code_ == 6 || code_ == 10)
            model::append_values(out_, "3 %10.2f 0.00 %10.2f 0.00 %10.2f 0.00 ",
                                 {x(e.c1), x(e.p1), x(e.p2)}, true);
        else
            model::append_values(out_, "4 %10.2f 0.00 %10.2f 0.00 %10.2f 0.00 %10.2f 0.00 ",
                                 {x(e.c1), x(e.c2), x(e.p1), x(e.p2)}, true);
        values(d.rho, d.ip);
    }
}

} // namespace

std::string older_data_file_text(const WriterRecords& records) {
    return OlderDataText(records).build();
}

} // namespace forward

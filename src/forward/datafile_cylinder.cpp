// The data file of a cylinder model: the data of the ring by datum position and again by
// electrode numbers (mixed-array copy), the fractional-n rows of dipole-dipole and
// Wenner-Schlumberger, and the geometric factors of a normalised run.
#include "forward/datafile.h"

#include "forward/additional_rows.h"
#include "forward/noise.h"
#include "model/array_type.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/text_format.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace forward {

namespace {

class CylinderDataText {
  public:
    explicit CylinderDataText(const WriterRecords& r)
        : r_(r), s_(r.settings), code_(s_.array_type),
          written_code_(model::array_code_to_file(code_)), nelec_(s_.nelec),
          ndata_(std::max(0, s_.ndata)) {}
    std::string build();

  private:
    const WriterRecords& r_;
    const ModelSettings& s_;
    const int code_, written_code_, nelec_, ndata_;
    std::string out_;
    bool has_ip_ = false;
    int nfreq_ = 0;
    float level_ = 0.0f;   ///< noise level L (fraction)
    std::vector<float> g_; ///< deviates: 2 + 2 nfreq per datum
    std::string values_;   ///< the value columns of every datum, one line each

    void header();
    void ip_block();
    void cylinder_lines();
    void location_columns(int d);
    std::string value_columns(int d) const;
    void additional_measurements();
    void geometric_factors();
};

std::string CylinderDataText::build() {
    has_ip_ = s_.nip > 0;
    nfreq_ = has_ip_ && s_.nfreq >= 1 ? s_.nfreq : 0;
    level_ = s_.noise_level;
    const std::size_t per_datum = 2 + 2 * std::size_t(nfreq_);
    g_.assign(std::max<std::size_t>(ndata_ * per_datum, 1), 0.0f);
    if (level_ > 0.0f) gaussian_noise_array(int(ndata_ * per_datum), g_.data());

    header();
    cylinder_lines();
    model::appendf(out_,
                   "Type of measurement (Resistance=1,Resistivity=0), use resistance for now\n%d\n",
                   s_.normalise == 0 ? 1 : 0);
    for (int d = 0; d < ndata_; ++d) {
        location_columns(d);
        out_ += value_columns(d) + "\n";
    }
    out_ += "0\n0\n0\n0\n\n\n";
    // The same data by their electrode numbers, with the same values.
    out_ += "\n\nMixed array format\n\n";
    model::appendf(out_, "%s\n%7.2f\n11\n", s_.model_title ? s_.model_title : "", 1.0);
    header();
    cylinder_lines();
    for (int d = 0; d < ndata_; ++d) {
        model::appendf(out_, "%4.0f,0 %4.0f,0 %4.0f,0 %4.0f,0 ", s_.cyl_elec_c1[d],
                       s_.cyl_elec_c2[d], s_.cyl_elec_p1[d], s_.cyl_elec_p2[d]);
        out_ += value_columns(d) + "\n";
    }
    if (code_ == 5 || code_ == 7) {
        out_ += "0\n0\n0\n0\n\n\nAdditional measurements\n";
        additional_measurements();
    }
    out_ += "0\n0\n0\n0\n0\n\n";
    geometric_factors();
    model::appendf(out_, "\n%s\n", r_.system.version_text);
    return out_;
}

// The header from the array code on (the first call writes the title and the spacing first).
void CylinderDataText::header() {
    if (out_.empty())
        model::appendf(out_, "%s\n%7.2f\n", s_.model_title ? s_.model_title : "", 1.0);
    model::appendf(out_, "%d\n", written_code_);
    if (written_code_ == 8) model::append_values(out_, "%7.2f\n", {s_.electrode_offset}, true);
    model::appendf(out_, "%d\n1\n", ndata_);
    ip_block();
}

void CylinderDataText::ip_block() {
    if (!has_ip_) {
        out_ += "0\n";
    } else if (nfreq_ == 0) {
        out_ += "1\nChargability\nmsec\n0.10,1.00\n";
    } else {
        out_ += r_.display.ip_display_mode == 1 ? "2\nAmplitude and phase components used\n"
                                                : "2\nInphase and outphase components used\n";
        model::appendf(out_, "Number of frequencies\n%d\nFrequency values\n", nfreq_);
        for (int j = 0; j < nfreq_; ++j)
            model::append_values(out_, "%.4f\n", {s_.frequencies[j]}, true);
    }
}

void CylinderDataText::cylinder_lines() {
    model::append_values(out_, "Cylinder radius\n%.4f\n", {s_.cylinder_radius}, true);
    model::appendf(out_, "Number of electrodes\n%d\n", nelec_);
}

// Datum position and spacing in electrode numbers from the first electrode.
void CylinderDataText::location_columns(int d) {
    const float xf = s_.first_electrode_x + float(s_.datum_first_electrode[d] - 1);
    index_location_columns(out_, code_, xf, float(s_.datum_a[d]), s_.datum_n[d]);
}

// The transfer value, the apparent IP or the spectrum of datum d, each value with its own
// deviate.
std::string CylinderDataText::value_columns(int d) const {
    std::string text;
    const std::size_t k = std::size_t(d) * (2 + 2 * std::size_t(nfreq_));
    auto noisy = [&](float v, std::size_t i) { return v * (1.0f + level_ * g_[i]); };
    model::append_values(text, "%13.8f", {noisy(s_.app_resistivity[d], k)}, true);
    if (has_ip_ && nfreq_ == 0)
        model::append_values(text, " %13.8f", {noisy(s_.app_ip[d], k + 1)}, true);
    const std::size_t block = std::size_t(r_.limits.max_data_points);
    for (int j = 0; j < nfreq_; ++j) {
        const float in = s_.sip_inphase[std::size_t(d) + j * block];
        const float out = s_.sip_quadrature[std::size_t(d) + j * block];
        float first = in, second = out;
        if (r_.display.ip_display_mode == 1) {
            first = std::sqrt(in * in + out * out);
            second = static_cast<float>(-1000.0 * std::atan(out / in));
        }
        model::append_values(text, " %13.8f %13.8f",
                             {noisy(first, k + 2 + 2 * j), noisy(second, k + 3 + 2 * j)}, true);
    }
    return text;
}

// The fractional-n rows on the ring's electrodes 1 .. N (none goes round): the value is the
// transfer value itself, the IP 1000 (1 - V / Vip), or for a spectral model the transfer values
// of each frequency's spectral tables (N x N) as the data lines give their pairs; all with the
// row's noise factor.
void CylinderDataText::additional_measurements() {
    const int lead = r_.limits.max_electrodes;
    const std::size_t block = std::size_t(nelec_) * std::size_t(nelec_);
    auto transfer = [&](const double* t, int n, const AdditionalRow& r) {
        auto P = [&](int i, int j) { return t[index2d(i, j, n)]; };
        return (P(r.p1, r.c1) - P(r.p1, r.c2)) - (P(r.p2, r.c1) - P(r.p2, r.c2));
    };
    additional_rows(code_, nelec_, level_, [&](const AdditionalRow& r) {
        const double v = transfer(s_.potential_table_a, lead, r);
        const float x = float(r.span) / 2.0f + float(r.p - 1);
        model::append_values(out_, "%10.3f %10.3f %8.4f %13.8f",
                             {x, float(r.b), r.n, float(v) * r.factor}, true);
        if (has_ip_ && nfreq_ == 0) {
            const double vip = transfer(s_.potential_table_a_ip, lead, r);
            const double ip = vip != 0.0 ? 1000.0 * (1.0 - v / vip) : 0.0;
            model::append_values(out_, " %13.8f", {float(ip) * r.factor}, true);
        }
        for (int j = 0; j < nfreq_; ++j) {
            float first = float(transfer(r_.potentials.spectral_table_a + j * block, nelec_, r));
            float second = float(transfer(r_.potentials.spectral_table_b + j * block, nelec_, r));
            if (r_.display.ip_display_mode == 1) {
                const float amplitude = std::sqrt(first * first + second * second);
                second = static_cast<float>(-1000.0 * std::atan(second / first));
                first = amplitude;
            }
            model::append_values(out_, " %13.8f %13.8f", {first * r.factor, second * r.factor},
                                 true);
        }
        out_ += "\n";
    });
}

// 1 / datum_gfactor of every datum, when a normalised run made the factors other than 1.
void CylinderDataText::geometric_factors() {
    if (ndata_ == 0 || (s_.datum_gfactor[0] == 1.0f && s_.datum_gfactor[ndata_ / 2] == 1.0f))
        return;
    out_ += "Geometric factors for cylinder model\n";
    for (int d = 0; d < ndata_; ++d) {
        model::appendf(out_, "%4.0f,0 %4.0f,0 %4.0f,0 %4.0f,0 ", s_.cyl_elec_c1[d],
                       s_.cyl_elec_c2[d], s_.cyl_elec_p1[d], s_.cyl_elec_p2[d]);
        const float factor = s_.datum_gfactor[d];
        const float v = factor != 0.0f ? 1.0f / factor : 1.0f;
        const float a = std::fabs(v);
        const char* format = a <= 0.01f     ? "%8.6f\n"
                             : a <= 0.1f    ? "%8.5f\n"
                             : a <= 1.0f    ? "%8.4f\n"
                             : a <= 10.0f   ? "%8.3f\n"
                             : a <= 100.0f  ? "%8.2f\n"
                             : a <= 1000.0f ? "%8.1f\n"
                                            : "%8.0f\n";
        // The formats keep four significant digits down to 0.001; below, the last one keeps the
        // value's size as every data value does.
        if (a < 0.001f)
            model::append_values(out_, format, {v}, true);
        else
            model::appendf(out_, format, v);
    }
}

} // namespace

std::string cylinder_data_file_text(const WriterRecords& records) {
    return CylinderDataText(records).build();
}

} // namespace forward

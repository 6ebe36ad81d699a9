// The data file for the inversion program: header, data lines with noise, the topography, water
// and terminator blocks, and the trailing sections (noise report, additional measurements,
// remote-electrode potentials, general-array copy).
#include "forward/datafile.h"

#include "forward/additional_rows.h"
#include "forward/apparent.h"
#include "forward/noise.h"
#include "model/array_type.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/result_check.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace forward {

namespace {

constexpr double pi = 3.141592654;

/// The values written for one datum, kept for the general-array copy.
struct WrittenDatum {
    int d = 0;                       ///< datum index in the list
    float rho = 0.0f, ip = 0.0f;     ///< after noise
    float e_rho = 0.0f, e_ip = 0.0f; ///< error estimates
    std::vector<float> pairs;        ///< spectral IP: two values per frequency
    std::vector<float> pair_errors;  ///< the error estimate of each of them
};

/// Electrode positions (electrode steps from the first electrode) of a datum written as a
/// general-array line: C1, C2, P1, P2 in the order the count needs; 0 for those it lacks.
struct GeneralPositions {
    int count = 4;
    float c1 = 0, c2 = 0, p1 = 0, p2 = 0;
};

class DataFileText {
  public:
    explicit DataFileText(const WriterRecords& r)
        : r_(r), s_(r.settings), code_(s_.array_type), a_(s_.unit_spacing),
          x0_(s_.first_electrode_x), nelec_(s_.nelec) {}
    std::string build();
    bool cancelled() const { return cancelled_; }

  private:
    const WriterRecords& r_;
    ModelSettings& s_;
    const int code_;
    const float a_, x0_;
    const int nelec_;
    std::string out_;
    bool general_ = false, voltage_ = false, spectral_ = false, has_ip_ = false;
    bool errors_ = false; ///< error-estimate columns are written
    float level_ = 0.0f;  ///< noise level L (fraction)
    int nfreq_ = 0;
    std::vector<int> data_; ///< the data written (formed data of the list)
    std::vector<float> g_;  ///< Gaussian deviates of the data lines
    std::vector<WrittenDatum> written_;
    double mean_log_deviation_ = 0.0, mean_ip_error_ = 0.0;
    bool cancelled_ = false; ///< the user cancelled the voltage noise dialog

    bool has_water() const { return s_.zwatermax != 0.0f; }
    // The x (metres) of a remote electrode `steps` unit spacings from the first electrode, where
    // the potentials were calculated for it: on the axis of the electrodes, x0 included.
    float remote_x(float steps) const { return x0_ + a_ * steps; }
    void reserve_text();
    void header();
    void ip_block();
    void draw_deviates();
    void store_datum_tables();
    void keep_signs();
    void location_columns(std::string& out, int d) const;
    GeneralPositions general_positions(int d) const;
    void general_columns(std::string& out, const GeneralPositions& p) const;
    void datum_columns(std::string& out, int d) const;
    // Column formats of a datum's values: the value, its error, the IP value, the IP error.
    // Each begins with a blank: a value as wide as its column (a spectral value of 1000, or of
    // -100) would otherwise run into the column before it, and a general-array line's ",0.0"
    // with it.
    struct ValueFormats {
        const char* value;
        const char* error;
        const char* ip;
        const char* ip_error;
    };
    void value_columns(std::string& out, const WrittenDatum& w, const ValueFormats& f) const;
    void plain_value_columns(std::string& out, const WrittenDatum& w, const ValueFormats& f) const;
    float in_phase(int d, int j) const;
    float quadrature(int d, int j) const;
    std::pair<float, float> written_pair(float in, float out) const;
    float exact_value(int d) const;
    WrittenDatum noisy_values(int w, int d) const;
    void percentage_pass();
    void voltage_pass();
    void voltage_pairs(WrittenDatum& datum, std::size_t w, float factor);
    void topography_block();
    void water_block();
    void noise_report();
    void additional_measurements();
    void pole_dipole_rows(const std::vector<AdditionalGroup>& groups, bool reverse);
    void additional_row(std::string& out, float x, int b, float n, float k, int c1, int c2, int p1,
                        int p2, float factor) const;
    void row_line(std::string& out, float x, int b, float n, float factor, float rho, float ip,
                  const std::vector<float>& in, const std::vector<float>& quadrature) const;
    void noisy_column(std::string& out, const char* format, float value, float factor) const;
    void remote_section();
    void general_copy();
};

std::string DataFileText::build() {
    general_ = code_ == 9 || code_ == 11 || code_ == 15;
    has_ip_ = s_.nip > 0;
    spectral_ = has_ip_ && s_.nfreq >= 1;
    nfreq_ = spectral_ ? s_.nfreq : 0;
    model::trace("ORBANTEL format array %d  noise model %d  zwater %.2f\n", code_, s_.noise_model,
                 s_.zwatermax);
    if (has_ip_ && s_.noise_level <= 0.0f) s_.noise_model = 0;
    // Multiple-gradient data are written without noise.
    level_ = code_ == 15 ? 0.0f : s_.noise_level;
    // Voltage noise needs a level: without one there is nothing to add.
    voltage_ = s_.noise_model > 0 && level_ > 0.0f;
    errors_ = level_ > 0.0f && s_.save_noise == 1;
    for (int d = 0; d < s_.ndata; ++d)
        if (datum_formed(s_, d)) data_.push_back(d);
    store_datum_tables();
    reserve_text();

    header();
    draw_deviates();
    model::trace("Calculating apparent resistivity. Noise model %d\n", s_.noise_model);
    percentage_pass();
    if (voltage_) voltage_pass();
    if (cancelled_) return "";
    topography_block();
    out_ += "0\n";
    water_block();
    out_ += "0\n0\n0\n0\n\n";
    noise_report();
    if (code_ == 5 || code_ == 6 || code_ == 7 || code_ == 10) additional_measurements();
    if (!has_water()) out_ += "0\n";
    if (code_ == 5 || code_ == 6 || code_ == 7) out_ += "0\n0\n0\n0\n\n";
    if (s_.remote_electrodes > 0) remote_section();
    // The general-array layout places electrodes on the line alone: it cannot hold the
    // electrodes of the second line of the equatorial dipole-dipole and the offset
    // pole-dipole, whose data it would give another array's electrodes.
    if (!general_ && code_ != 8 && code_ != 10) general_copy();
    model::appendf(out_, "\n%s\n", r_.system.version_text);
    return out_;
}

// Room for the whole text at once, from the line counts and generous line lengths: a text
// that grew by doubling would be copied and its pages touched twice over.
void DataFileText::reserve_text() {
    const std::size_t line = 96 + 32 * std::size_t(nfreq_);
    // Fractional-n rows: at most 23 dipole lengths of 20 separations (5 and 7), or 2 x 4 of 20
    // (6 and 10), each fewer than nelec rows.
    std::size_t rows = 0;
    if (code_ == 5 || code_ == 7) rows = std::size_t(23 * 20) * std::size_t(std::max(nelec_, 0));
    if (code_ == 6 || code_ == 10)
        rows = std::size_t(2 * 4 * 20) * std::size_t(std::max(nelec_, 0));
    out_.reserve(2 * line * data_.size() + 64 * rows + 4096);
}

void DataFileText::header() {
    model::appendf(out_, "%s\n", s_.model_title ? s_.model_title : "");
    model::append_values(out_, "%7.2f\n", {a_});
    if (s_.electrode_type == 1)
        model::appendf(out_, "Electrode Type (0=point,1=line,2=finite)\n%d\n", 1);
    const int written = general_ ? 11 : model::array_code_to_file(code_);
    model::appendf(out_, "%d\n", written);
    if (written == 8 || written == 10) model::append_values(out_, "%7.2f\n", {s_.electrode_offset});
    if ((code_ == 6 || code_ == 4) && s_.remote_electrodes > 0) {
        model::append_values(out_,
                             "Remote electrodes included\nC2 remote electrode X, Y and Z location\n"
                             "%.3f,%.3f,0.0\n",
                             {remote_x(s_.c2_remote_x), a_ * s_.c2_remote_y}, true);
        if (code_ == 4)
            model::append_values(out_, "P2 remote electrode X, Y and Z location\n%.3f,%.3f,0.0\n",
                                 {remote_x(s_.p2_remote_x), a_ * s_.p2_remote_y}, true);
        out_ += "Approximate Geometric factor used\n";
    }
    if (code_ == 15)
        out_ += "15\nType of measurement (0=app. resistivity,1=resistance)\n0\n";
    else if (general_)
        out_ += "0\nType of measurement (0=app. resistivity,1=resistance)\n0\n";
    model::appendf(out_, "%d\n", int(data_.size()));
    out_ += "1\n";
    ip_block();
}

void DataFileText::ip_block() {
    if (!has_ip_) {
        out_ += "0\n";
        return;
    }
    if (!spectral_) {
        out_ += "1\nChargability\nmV/V\n0.10,1.10\n";
        return;
    }
    out_ += r_.display.ip_display_mode == 1 ? "2\nAmplitude and phase components used\n"
                                            : "2\nInphase and outphase components used\n";
    model::appendf(out_, "Number of frequencies\n%d\nFrequency values\n", s_.nfreq);
    for (int j = 0; j < s_.nfreq; ++j)
        model::append_values(out_, "%.4f\n", {s_.frequencies[j]}, true);
}

// Two deviates per datum (resistivity, IP) and two per frequency pair: every noisy value has
// its own deviate.
void DataFileText::draw_deviates() {
    const std::size_t count = data_.size() * std::size_t(2 + 2 * nfreq_);
    g_.assign(std::max<std::size_t>(count, 1), 0.0f);
    if (level_ <= 0.0f) return;
    gaussian_noise_array(int(count), g_.data());
    keep_signs();
    if (!errors_) return;
    out_ += "Error estimate for data present\nType of error estimate (0=same unit as data)\n0\n";
    // Error estimates near zero would give a datum an unbounded weight in the inversion.
    const std::size_t first = data_.size();
    double mean = 0.0;
    for (std::size_t i = 0; i < first; ++i)
        mean += std::fabs(g_[i]);
    const float floor = first ? static_cast<float>(0.2 * mean / double(first)) : 0.0f;
    for (std::size_t i = 0; i < first; ++i)
        if (std::fabs(g_[i]) < floor) g_[i] = g_[i] < 0.0f ? -floor : floor;
}

// The electrodes of every datum written, as the commands that work on the data set after a
// save read them: the electrode numbers (index layout), the electrode count of the layout, and
// the positions in electrode steps from the first electrode (gradient array and the
// general-array copy). The electrode numbers are those the apparent values were formed with
// (rounded): truncating C1 + a n would move an electrode of a datum with a fractional n away
// from the one whose potential gave the value (a = 3, n = 0.333 puts P1 on C1). The positions
// of the multiple gradient stay in metres, as the datum list holds them for the next save.
void DataFileText::store_datum_tables() {
    for (int d : data_) {
        const GeneralPositions p = general_positions(d);
        s_.datum_nelec[d] = p.count;
        if (code_ == 15) continue;
        s_.c1_x[d] = p.c1;
        s_.c2_x[d] = p.c2;
        s_.p1_x[d] = p.p1;
        s_.p2_x[d] = p.p2;
        if (general_) continue;
        const DatumElectrodes e = datum_electrodes(s_, code_, d);
        s_.datum_c1[d] = e.c1;
        s_.datum_c2[d] = e.c2;
        s_.datum_p1[d] = e.p1;
        s_.datum_p2[d] = e.p2;
    }
}

// Deviates that would change the sign of their noisy value (or take an apparent IP past 1000
// mV/V) are drawn again. The voltage model uses the deviates in its own way and checks its own.
void DataFileText::keep_signs() {
    if (voltage_) return;
    const std::size_t per_datum = std::size_t(2 + 2 * nfreq_);
    for (std::size_t w = 0; w < data_.size(); ++w) {
        const int d = data_[w];
        float* g = g_.data() + w * per_datum;
        g[0] = deviate_within(g[0], level_, s_.app_resistivity[d]);
        g[1] = deviate_within(g[1], level_, s_.app_ip[d], 1000.0f);
        for (std::size_t j = 2; j < per_datum; ++j)
            g[j] = deviate_within(g[j], level_, 1.0f);
    }
}

void DataFileText::location_columns(std::string& out, int d) const {
    const float xf = x0_ + (float(s_.datum_first_electrode[d]) - 1.0f) * a_;
    index_location_columns(out, code_, xf, float(s_.datum_a[d]) * a_, s_.datum_n[d]);
}

// The electrode positions of datum d (general-array layout) or its location columns.
void DataFileText::datum_columns(std::string& out, int d) const {
    if (general_)
        general_columns(out, general_positions(d));
    else
        location_columns(out, d);
}

GeneralPositions DataFileText::general_positions(int d) const {
    GeneralPositions p;
    const float f = float(s_.datum_first_electrode[d]) - 1.0f;
    const float sp = float(s_.datum_a[d]);
    const float n = s_.datum_n[d];
    switch (code_) {
    case 1:
        p = {4, f, f + 3 * sp, f + sp, f + 2 * sp};
        break;
    case 2:
        p = {4, f + sp, f, f + 2 * sp, f + 3 * sp};
        break;
    case 3:
        p = {4, f, f + 2 * sp, f + sp, f + 3 * sp};
        break;
    case 4:
    case 8:
        p = {2, f, 0, f + sp, 0};
        break;
    case 5:
        p = {4, f + sp, f, f + sp + sp * n, f + 2 * sp + sp * n};
        break;
    case 6:
    case 10:
        if (n > 0.0f)
            p = {3, f, 0, f + sp * n, f + sp * n + sp};
        else
            p = {3, f + sp + sp * std::fabs(n), 0, f + sp, f};
        break;
    case 9:
        p = {4, 0.0f, float(nelec_ - 1), f, f + sp};
        break;
    case 15: {
        // The stored positions are metres; the file takes electrode steps, worked out here
        // so that the stored ones stay as they are for the next save.
        const float u = s_.unit_spacing;
        p = {4, s_.c1_x[d] / u, s_.c2_x[d] / u, s_.p1_x[d] / u, s_.p2_x[d] / u};
        break;
    }
    default: // 7 and the rest
        p = {4, f, f + sp * n + sp + sp * n, f + sp * n, f + sp * n + sp};
        break;
    }
    return p;
}

void DataFileText::general_columns(std::string& out, const GeneralPositions& p) const {
    auto x = [this](float steps) { return x0_ + a_ * steps; };
    model::appendf(out, "%1d ", p.count);
    if (p.count == 2)
        model::append_values(out, "%10.4f,0.0  %10.4f,0.0", {x(p.c1), x(p.p1)});
    else if (p.count == 3)
        model::append_values(out, "%10.4f,0.0  %10.4f,0.0  %10.4f,0.0",
                             {x(p.c1), x(p.p1), x(p.p2)});
    else
        model::append_values(out, "%10.4f,0.0  %10.4f,0.0  %10.4f,0.0  %10.4f,0.0",
                             {x(p.c1), x(p.c2), x(p.p1), x(p.p2)});
}

// A spectral datum: its value and the in-phase and quadrature (or amplitude and phase) pairs,
// each value followed by its error estimate when the header announces them; otherwise as
// plain_value_columns.
void DataFileText::value_columns(std::string& out, const WrittenDatum& w,
                                 const ValueFormats& f) const {
    if (spectral_) {
        model::append_values(out, " %12.8f", {w.rho}, true);
        if (errors_) model::append_values(out, " %13.8f", {w.e_rho}, true);
        for (std::size_t j = 0; j < w.pairs.size(); ++j) {
            model::append_values(out, " %13.8f", {w.pairs[j]}, true);
            if (errors_) model::append_values(out, " %13.8f", {w.pair_errors[j]}, true);
        }
        return;
    }
    plain_value_columns(out, w, f);
}

// The value, its error with errors_, then with has_ip_ the IP value and its error.
void DataFileText::plain_value_columns(std::string& out, const WrittenDatum& w,
                                       const ValueFormats& f) const {
    model::append_values(out, f.value, {w.rho}, true);
    if (errors_) model::append_values(out, f.error, {w.e_rho}, true);
    if (!has_ip_) return;
    model::append_values(out, f.ip, {w.ip}, true);
    if (errors_) model::append_values(out, f.ip_error, {w.e_ip}, true);
}

// Datum d's values at frequency j: in_phase, quadrature (a block of max_data_points a frequency).
float DataFileText::in_phase(int d, int j) const {
    const std::size_t block = std::size_t(r_.limits.max_data_points);
    return s_.sip_inphase[std::size_t(d) + std::size_t(j) * block];
}

float DataFileText::quadrature(int d, int j) const {
    const std::size_t block = std::size_t(r_.limits.max_data_points);
    return s_.sip_quadrature[std::size_t(d) + std::size_t(j) * block];
}

// A frequency's pair as the file gives it: in-phase and quadrature, or amplitude and phase (mrad)
// when the display shows those.
std::pair<float, float> DataFileText::written_pair(float in, float out) const {
    if (r_.display.ip_display_mode != 1) return {in, out};
    return {std::sqrt(in * in + out * out), static_cast<float>(-1000.0 * std::atan(out / in))};
}

// The value column of datum d without noise: the apparent resistivity, or for spectral data the
// amplitude at the first frequency.
float DataFileText::exact_value(int d) const {
    if (!spectral_) return s_.app_resistivity[d];
    const float in = in_phase(d, 0), out = quadrature(d, 0);
    return std::sqrt(in * in + out * out);
}

WrittenDatum DataFileText::noisy_values(int w, int d) const {
    WrittenDatum v;
    v.d = d;
    const std::size_t k = std::size_t(w) * std::size_t(2 + 2 * nfreq_);
    const float rho = exact_value(d);
    const float ip = s_.app_ip[d];
    const float lg0 = level_ * g_[k], lg1 = level_ * g_[k + 1];
    for (int j = 0; j < nfreq_; ++j) {
        const std::pair<float, float> pair = written_pair(in_phase(d, j), quadrature(d, j));
        const float g0 = g_[k + 2 + 2 * j], g1 = g_[k + 3 + 2 * j];
        v.pairs.push_back(pair.first * (1.0f + level_ * g0));
        v.pairs.push_back(pair.second * (1.0f + level_ * g1));
        v.pair_errors.push_back(std::fabs(level_ * v.pairs[v.pairs.size() - 2] * g0));
        v.pair_errors.push_back(std::fabs(level_ * v.pairs.back() * g1));
    }
    v.rho = rho * (1.0f + lg0);
    v.ip = ip * (1.0f + lg1);
    v.e_rho = std::fabs(level_ * v.rho * g_[k]);
    v.e_ip = std::fabs(level_ * v.ip * g_[k + 1]);
    return v;
}

void DataFileText::percentage_pass() {
    written_.reserve(data_.size());
    for (std::size_t w = 0; w < data_.size(); ++w) {
        const int d = data_[w];
        if (!general_) {
            model::trace("narray %d ic1 %d ic2 %d ip1 %d ip2 %d ", int(w) + 1, s_.datum_c1[d],
                         s_.datum_c2[d], s_.datum_p1[d], s_.datum_p2[d]);
            if (level_ > 0.0f) model::trace("adding noise nft %d\n", s_.nfreq);
        }
        written_.push_back(noisy_values(int(w), d));
        if (!voltage_) model::trace("%5d %12.4f\n", int(w) + 1, written_.back().rho);
    }
    if (voltage_) return;
    // The error column has five decimals without IP values and four with them.
    const char* error = has_ip_ ? " %13.4f" : " %13.5f";
    model::append_items(out_, int(written_.size()), 256, [&](std::string& out, int w) {
        const WrittenDatum& v = written_[std::size_t(w)];
        datum_columns(out, v.d);
        value_columns(out, v, {" %12.4f", error, " %10.4f", error});
        out += "\n";
    });
}

void DataFileText::voltage_pass() {
    model::trace("Voltage dependent noise model\n");
    const std::size_t count = data_.size();
    std::vector<float> v(count), k(count);
    for (std::size_t w = 0; w < count; ++w) {
        const int d = data_[w];
        k[w] = s_.datum_gfactor[d];
        v[w] = exact_value(d) / k[w];
    }
    if (count) {
        s_.min_potential = *std::min_element(v.begin(), v.end());
        s_.max_potential = *std::max_element(v.begin(), v.end());
    }
    s_.noise_amplitude = s_.min_potential * level_;
    if (ui::run_dialog(VoltNoiseDiaBox, VoltNoiseDiaBoxProc) != 1) {
        cancelled_ = true;
        return;
    }
    model::trace("Minimum voltage %10.5f %10.5f\n", s_.min_potential, s_.noise_amplitude);
    double log_sum = 0.0, ip_sum = 0.0;
    for (std::size_t w = 0; w < count; ++w) {
        const int d = data_[w];
        WrittenDatum& datum = written_[w];
        const float rho0 = exact_value(d);
        const float m0 = s_.app_ip[d];
        // The noisy potential keeps its sign, the noisy IP stays within 0 .. 1000 mV/V.
        if (v[w] > 0.0f) g_[w] = deviate_within(g_[w], s_.noise_amplitude / v[w], 1.0f);
        g_[count + w] = deviate_within(g_[count + w], level_, m0, 1000.0f);
        const float rho = (v[w] + s_.noise_amplitude * g_[w]) * k[w];
        const float ip_noise = m0 * level_ * g_[count + w];
        datum.rho = rho;
        datum.e_rho = std::fabs(rho - rho0);
        datum.ip = m0 + ip_noise;
        datum.e_ip = std::fabs(ip_noise);
        if (spectral_) voltage_pairs(datum, w, k[w]);
        datum_columns(out_, d);
        value_columns(out_, datum, {" %12.4f", " %13.4f", " %12.4f", " %13.4f"});
        out_ += "\n";
        if (rho > 0.0f && rho0 > 0.0f) log_sum += std::fabs(std::log(rho) - std::log(rho0));
        ip_sum += std::fabs(ip_noise);
    }
    if (count) {
        mean_log_deviation_ = log_sum / double(count);
        mean_ip_error_ = ip_sum / double(count);
    }
}

// The spectrum of the datum written w-th with the voltage noise: the noise amplitude on the
// potential, times the datum's geometric factor, added to each in-phase and quadrature value
// with a deviate of its own (after the 2 D of the values and IP values); each keeps its sign.
// The errors are the changes of the values written.
void DataFileText::voltage_pairs(WrittenDatum& datum, std::size_t w, float factor) {
    const float amplitude = s_.noise_amplitude * factor;
    float* g = g_.data() + 2 * data_.size() + 2 * w * std::size_t(nfreq_);
    datum.pairs.clear();
    datum.pair_errors.clear();
    for (int j = 0; j < nfreq_; ++j, g += 2) {
        const float in = in_phase(datum.d, j), out = quadrature(datum.d, j);
        if (in != 0.0f) g[0] = deviate_within(g[0], amplitude / in, 1.0f);
        if (out != 0.0f) g[1] = deviate_within(g[1], amplitude / out, 1.0f);
        const std::pair<float, float> exact = written_pair(in, out);
        const std::pair<float, float> noisy =
            written_pair(in + amplitude * g[0], out + amplitude * g[1]);
        datum.pairs.insert(datum.pairs.end(), {noisy.first, noisy.second});
        datum.pair_errors.insert(datum.pair_errors.end(), {std::fabs(noisy.first - exact.first),
                                                           std::fabs(noisy.second - exact.second)});
    }
}

void DataFileText::topography_block() {
    const char* separate = general_ ? "Topography in separate list\n" : "";
    if (s_.tflag >= 1) {
        // Written with or without water: dropping it would hand the inversion a flat line.
        out_ += separate;
        model::appendf(out_, "%d\n%d\n", s_.tflag, s_.ntopo);
        for (int i = 0; i < s_.ntopo; ++i)
            model::append_values(out_, "%9.3f,%9.3f\n", {a_ * s_.elec_x[i], a_ * s_.elec_z[i]});
        out_ += "1\n";
    } else if (has_water()) {
        out_ += separate;
        const float z = s_.zwatermax * a_;
        out_ += "2\n3\n";
        model::append_values(out_, "%9.3f,%9.3f\n", {0.0, z});
        model::append_values(out_, "%9.3f,%9.3f\n", {nelec_ * a_ * 0.5f, z - 0.001f});
        model::append_values(out_, "%9.3f,%9.3f\n", {(nelec_ - 1) * a_, z});
        out_ += "1\n";
    } else {
        out_ += "0\n";
    }
}

void DataFileText::water_block() {
    if (!has_water()) {
        out_ += "0\n";
        return;
    }
    out_ += "1\n";
    append_water_layers(out_, s_, a_, has_ip_);
    out_ += s_.geometric_factor_type == 0 ? "1\n" : "0\n";
}

void DataFileText::noise_report() {
    if (!voltage_ || !(mean_log_deviation_ > 0.0)) return;
    model::append_values(
        out_,
        "\nMinimum and maximum potential values are %.3f and %.3f mV\nNoise amplitude "
        "added %.3f mV\n",
        {1000.0 * s_.min_potential / a_, 1000.0 * s_.max_potential / a_,
         1000.0 * s_.noise_amplitude / a_},
        true);
    model::append_values(out_, "\nAverage noise level added %.2f%%\n",
                         {mean_log_deviation_ * 100.0}, true);
    model::append_values(out_, "Average apparent I.P. error %.2f\n", {mean_ip_error_}, true);
    out_ += "\n";
}

void DataFileText::additional_measurements() {
    out_ += "Additional measurements\n";
    if (code_ == 6 || code_ == 10) {
        // Both groups' deviates are drawn before any row is made, in the order of the rows.
        std::vector<AdditionalGroup> groups[2];
        for (std::vector<AdditionalGroup>& g : groups)
            g = pole_dipole_groups(nelec_, level_);
        out_ += "\n";
        pole_dipole_rows(groups[0], false);
        out_ += "\n";
        pole_dipole_rows(groups[1], true);
        return;
    }
    const std::vector<AdditionalGroup> groups = additional_groups(code_, nelec_, level_);
    model::append_items(out_, int(groups.size()), 1, [&](std::string& out, int i) {
        const AdditionalGroup& g = groups[std::size_t(i)];
        for (int p = 1; p <= int(g.factors.size()); ++p) {
            const AdditionalRow r = additional_row_of(code_, g, p);
            const float n = r.n, b = float(r.b);
            const float k = code_ == 5 ? float(pi * b * n * (n + 1.0) * (n + 2.0))
                                       : float(pi * b * n * (n + 1.0));
            // On the axis of the main rows, x0 included: a row and a main datum of the same
            // electrodes stand at the same x, where the inversion program puts them both.
            const float x = x0_ + r.span * a_ / 2.0f + float(r.p - 1) * a_;
            additional_row(out, x, r.b, n, k, r.c1, r.c2, r.p1, r.p2, r.factor);
        }
    });
}

// The pole-dipole rows of `groups` (C1 = p, P1 = p + m, P2 = P1 + b), or with `reverse` the
// same rows mirrored (P2 = p, P1 = p + b, C1 = P1 + m), written with -n. The offset
// pole-dipole's rows have C1 on the offset line, as its data have: they are formed as its data
// are, from the potentials at the offset and with its geometric factor.
void DataFileText::pole_dipole_rows(const std::vector<AdditionalGroup>& groups, bool reverse) {
    model::append_items(out_, int(groups.size()), 1, [&](std::string& out, int i) {
        const AdditionalGroup& g = groups[std::size_t(i)];
        const int b = g.b, m = g.m;
        const float n = float(m) / float(b);
        const float k = float(2.0 * pi * b * n * (n + 1.0));
        for (int p = 1; p <= int(g.factors.size()); ++p) {
            const float x = x0_ + g.span * a_ / 2.0f + float(p - 1) * a_; // x0 as above
            const float factor = g.factors[std::size_t(p - 1)];
            ApparentValues v;
            if (code_ == 10) {
                // No spectra: a spectral model has no offset pole-dipole data.
                if (!spectral_ &&
                    apparent_values_at(s_, r_.limits, code_, p, b, reverse ? -n : n, v))
                    row_line(out, x, b, reverse ? -n : n, factor, v.rho, v.ip, {}, {});
            } else if (reverse) {
                additional_row(out, x, b, -n, k, p + b + m, 0, p + b, p, factor);
            } else {
                additional_row(out, x, b, n, k, p, 0, p + m, p + m + b, factor);
            }
        }
    });
}

// One fractional-n row, when its values can be formed: x, spacing and n, then the values as the
// data lines give them (the resistivity and IP, or the first frequency's amplitude and the
// spectrum), all with the row's noise factor and each followed by its error estimate when the
// header announces them.
void DataFileText::additional_row(std::string& out, float x, int b, float n, float k, int c1,
                                  int c2, int p1, int p2, float factor) const {
    float rho = 0.0f, ip = 0.0f;
    if (!fractional_row_values(s_, r_.limits.max_electrodes, k, c1, c2, p1, p2, 1.0f, rho, ip))
        return;
    std::vector<float> in, quadrature;
    if (spectral_ && !fractional_row_spectrum(s_, r_.potentials, r_.limits.max_electrodes, k, c1,
                                              c2, p1, p2, in, quadrature))
        return;
    row_line(out, x, b, n, factor, rho, ip, in, quadrature);
}

// The line of a fractional-n row: x, spacing and n, then the values as the data lines give
// them (the resistivity and IP, or the first frequency's amplitude and the spectrum in and
// quadrature), all with the row's noise factor and each followed by its error estimate when
// the header announces them.
void DataFileText::row_line(std::string& out, float x, int b, float n, float factor, float rho,
                            float ip, const std::vector<float>& in,
                            const std::vector<float>& quadrature) const {
    model::append_values(out, "%10.3f %10.3f %8.5f", {x, b * a_, n}, true);
    if (!spectral_) {
        noisy_column(out, " %13.4f", rho, factor);
        if (has_ip_) noisy_column(out, " %13.4f", ip, factor);
        out += "\n";
        return;
    }
    noisy_column(out, " %13.8f", std::sqrt(in[0] * in[0] + quadrature[0] * quadrature[0]), factor);
    for (std::size_t j = 0; j < in.size(); ++j) {
        const std::pair<float, float> pair = written_pair(in[j], quadrature[j]);
        noisy_column(out, " %13.8f", pair.first, factor);
        noisy_column(out, " %13.8f", pair.second, factor);
    }
    out += "\n";
}

// `value` times the noise factor 1 + L G of its row, and its error estimate |L value' G| when
// the header announces them.
void DataFileText::noisy_column(std::string& out, const char* format, float value,
                                float factor) const {
    const float noisy = value * factor;
    model::append_values(out, format, {noisy}, true);
    if (errors_) model::append_values(out, format, {std::fabs(noisy * (factor - 1.0f))}, true);
}

void DataFileText::remote_section() {
    const double* remote = r_.potentials.fe_vector_a;
    const float x[2] = {s_.c2_remote_x, s_.p2_remote_x}, y[2] = {s_.c2_remote_y, s_.p2_remote_y};
    for (int k = 0; k < 2; ++k) {
        model::append_values(out_,
                             k == 0 ? "\n\nC2 remote electrode X, Y and Z location\n%.3f,%.3f,0.0\n"
                                    : "\nP2 remote electrode X, Y and Z location\n%.3f,%.3f,0.0\n",
                             {remote_x(x[k]), a_ * y[k]}, true);
        for (int e = 1; e <= nelec_; ++e) {
            model::appendf(out_, "%3d  ", e);
            model::append_values(out_, "%12.7f\n", {remote ? remote[k * nelec_ + e - 1] : 0.0},
                                 true);
        }
    }
}

// The same data once more in the general-array layout, with the values written above: a copy
// that carried other noise would give the inversion two different data sets.
void DataFileText::general_copy() {
    out_ += "\n\nGeneral array format\n";
    model::append_items(out_, int(written_.size()), 256, [&](std::string& out, int i) {
        const WrittenDatum& w = written_[std::size_t(i)];
        general_columns(out, general_positions(w.d));
        value_columns(out, w, {" %12.5f", " %13.5f", " %10.4f", " %13.5f"});
        out += "\n";
    });
}

} // namespace

namespace {

// The potential differences of a fractional-n row as the data's are formed: dv from table t
// (current electrode first), dv2 from table u (potential electrode first).
void row_differences(const double* t, const double* u, int lead, int c1, int c2, int p1, int p2,
                     double& dv, double& dv2) {
    auto pot = [lead](const double* table, int i, int j) { return table[index2d(i, j, lead)]; };
    dv = pot(t, c1, p1) - pot(t, c1, p2);
    dv2 = pot(u, p1, c1) - pot(u, p2, c1);
    if (c2 != 0) {
        dv += pot(t, c2, p2) - pot(t, c2, p1);
        dv2 += pot(u, p2, c2) - pot(u, p1, c2);
    }
}

// The geometric factor of a fractional-n row: k, or with water and the exact underwater factor
// 4 pi over the sum of the direct and image terms.
float row_factor(const ModelSettings& s, float k, int c1, int c2, int p1, int p2) {
    if (s.zwatermax == 0.0f || s.geometric_factor_type == 0) return k;
    const double zz = 4.0 * double(s.zwatermax) * s.zwatermax;
    auto term = [zz](int i, int j) {
        const double r = std::abs(i - j);
        return 1.0 / r + 1.0 / std::sqrt(r * r + zz);
    };
    double sum = term(c1, p1) - term(c1, p2);
    if (c2 != 0) sum += term(c2, p2) - term(c2, p1);
    return float(4.0 * pi / sum);
}

} // namespace

bool fractional_row_values(const ModelSettings& s, int lead, float k, int c1, int c2, int p1,
                           int p2, float factor, float& rho, float& ip) {
    double dv = 0.0, dvip = 0.0;
    row_differences(s.potential_table_a, s.potential_table_a_ip, lead, c1, c2, p1, p2, dv, dvip);
    k = row_factor(s, k, c1, c2, p1, p2);
    rho = float(k * dv) * factor;
    ip = 0.0f;
    if (s.nip > 0)
        ip = float((s.complex_ip_model == 1 ? 1000.0 * dvip / dv : 1000.0 * (1.0 - dv / dvip)) *
                   factor);
    return dv != 0.0 && std::isfinite(rho) && std::isfinite(ip);
}

bool fractional_row_spectrum(const ModelSettings& s, const Potentials& p, int lead, float k, int c1,
                             int c2, int p1, int p2, std::vector<float>& in_phase,
                             std::vector<float>& quadrature) {
    const std::size_t block = std::size_t(lead) * std::size_t(lead);
    k = row_factor(s, k, c1, c2, p1, p2);
    in_phase.clear();
    quadrature.clear();
    for (int f = 0; f < s.nfreq; ++f) {
        double re = 0.0, im = 0.0;
        row_differences(p.spectral_table_a + f * block, p.spectral_table_b + f * block, lead, c1,
                        c2, p1, p2, re, im);
        in_phase.push_back(float(k * float(re)));
        quadrature.push_back(float(k * float(im)));
        if (re == 0.0 || !std::isfinite(in_phase.back()) || !std::isfinite(quadrature.back()))
            return false;
    }
    return !in_phase.empty();
}

void index_location_columns(std::string& out, int code, float xf, float sa, float n) {
    switch (code) {
    case 1:
    case 2:
    case 3:
        model::append_values(out, "%10.3f %10.3f ", {xf + 1.5f * sa, sa});
        return;
    case 4:
    case 8:
        model::append_values(out, "%10.3f %10.3f ", {xf + 0.5f * sa, sa});
        return;
    case 5:
        model::append_values(out, "%10.3f %10.3f %10.3f ", {xf + 0.5f * sa * (n + 2.0f), sa, n});
        return;
    case 6:
    case 10:
        model::append_values(out, "%10.3f %10.3f %10.3f ",
                             {xf + 0.5f * sa * (std::fabs(n) + 1.0f), sa, n});
        return;
    default:
        model::append_values(out, "%10.3f %10.3f %10.3f ",
                             {xf + 0.5f * sa * (2.0f * n + 1.0f), sa, n});
        return;
    }
}

std::string data_file_text(const WriterRecords& records, bool* cancelled) {
    DataFileText text(records);
    std::string out = text.build();
    if (cancelled) *cancelled = text.cancelled();
    return out;
}

bool save_text_file(const char* path, const std::function<std::string()>& make,
                    const bool* cancelled) {
    sys::AtomicFile out(path);
    if (!out.opened()) {
        model::report_error(model::Shown::box, "Error Message",
                            "There has been an error in creating\nthe file %s.\n%s.", path,
                            out.error().c_str());
        return false;
    }
    const std::string text = make();
    if (cancelled && *cancelled) return false; // the temporary file goes, unused
    if (!out.write(text) || !out.commit()) {
        model::report_error(model::Shown::box, "Error Message",
                            "There has been an error in writing\nthe file %s.\n%s.", path,
                            out.error().c_str());
        return false;
    }
    return true;
}

bool save_text_file(const char* path, const std::string& text) {
    return save_text_file(path, [&text] { return text; });
}

void append_water_layers(std::string& out, const ModelSettings& s, float a, bool ip_column) {
    const float xl = a * s.water_x1, xr = a * s.water_x2;
    const int layers = s.nwater_layers;
    if (layers <= 1) {
        model::append_values(out,
                             ip_column ? "%8.3f,0.0,%8.3f,%8.3f,0.0\n" : "%8.3f,%8.3f,%8.3f,0.0\n",
                             {s.water_resistivity[0], xl, xr}, true);
        return;
    }
    model::appendf(out, "Number of water layers\n%d\n", layers);
    model::append_values(out,
                         ip_column ? "Layer 1 parameters\n%8.3f,0.0,%8.3f,%8.3f,0.000\n"
                                   : "Layer 1 parameters\n%8.3f,%8.3f,%8.3f,0.000\n",
                         {s.water_resistivity[0], xl, xr}, true);
    for (int k = 2; k <= layers; ++k) {
        model::appendf(out, "Layer %d parameters\n", k);
        model::append_values(
            out, ip_column ? "%8.3f,0.0,%8.3f,%8.3f,%8.3f\n" : "%8.3f,%8.3f,%8.3f,%8.3f\n",
            {s.water_resistivity[k - 1], xl, xr, a * s.water_thickness[k - 2]}, true);
    }
}

} // namespace forward

namespace {

bool underwater_rule_refuses(const ModelSettings& s) {
    return s.zwatermax != 0.0f && (s.array_type == 15 || s.array_type == 9) &&
           s.geometric_factor_type == 1;
}

// Whether the apparent values of the data written (the formed ones; a cylinder's all) are
// numbers: the writers write nothing else calculated but the potential tables, which the model
// file leaves out when they are not.
bool data_values_writable(const WriterRecords& r) {
    const ModelSettings& s = r.settings;
    const bool ip = s.nip > 0, spectral = ip && s.nfreq >= 1;
    const std::size_t block = std::size_t(r.limits.max_data_points);
    model::ResultValues values;
    for (int d = 0; d < s.ndata; ++d) {
        if (!s.cylinder_model && !datum_formed(s, d)) continue;
        values.add(s.app_resistivity[d]);
        if (ip) values.add(s.app_ip[d]);
        for (int j = 0; spectral && j < s.nfreq; ++j)
            values.add(s.sip_inphase[std::size_t(d) + j * block])
                .add(s.sip_quadrature[std::size_t(d) + j * block]);
    }
    return values.writable("apparent resistivity and IP values");
}

// The writers' results of save_text_file.
template <class Make>
int write_text_file(const char* path, Make make, const bool* cancelled = nullptr) {
    if (forward::save_text_file(path, make, cancelled)) return save_written;
    return cancelled && *cancelled ? save_cancelled : save_file_error;
}

} // namespace

int save_inv_datafile(const WriterRecords& records, const char* path, int mode) {
    const ModelSettings& s = records.settings;
    if (!data_values_writable(records)) return save_not_finite;
    if (mode == 0) {
        forward::warn_unsaved_blocks(s);
        return write_text_file(path, [&] { return forward::model_file_text(records); });
    }
    const int code = s.array_type;
    if (mode == 99 && ((code >= 1 && code <= 8) || code == 10))
        return write_text_file(path, [&] { return forward::older_data_file_text(records); });
    if (s.cylinder_model)
        return write_text_file(path, [&] { return forward::cylinder_data_file_text(records); });
    if (underwater_rule_refuses(s)) {
        model::show_message("For this array, you need to use the surface geometric\nfactor for "
                            "models with underwater electrodes!\nUse the 'Options' menu to change "
                            "this setting.",
                            "Error Message");
        return save_refused_water;
    }
    bool cancelled = false;
    return write_text_file(
        path, [&] { return forward::data_file_text(records, &cancelled); }, &cancelled);
}

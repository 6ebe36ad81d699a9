// The data file of user-defined configurations: the general-array layout with electrode x and
// depth, borehole electrode lists, noise, water and topography.
#include "forward/configurations/configurations.h"

#include "forward/datafile.h"
#include "forward/noise.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/text_format.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace forward {

namespace {

// The values of one data line, noise included.
struct LineValues {
    float rho = 0, e_rho = 0; ///< apparent resistivity and its error
    float r = 0, e_r = 0;     ///< resistance V / a and its error
    float ip = 0, e_ip = 0;   ///< apparent IP and its error
};

class ConfigDataText {
  public:
    ConfigDataText(ModelSettings& m, const ConfigurationFile& f, ConfigData& data,
                   bool all_boreholes)
        : m_(m), f_(f), data_(data), all_boreholes_(all_boreholes), a_(m.unit_spacing) {
        for (std::size_t k = 0; k < data.data.size(); ++k)
            if (data.data[k].count >= 2) formed_.push_back(k);
    }
    std::size_t count() const { return formed_.size(); }
    /// Draws the deviates and applies the noise of the record (voltage noise: its dialog, the
    /// changed values and noise_level 0); false when the voltage-noise dialog was cancelled.
    bool add_noise();
    /// The whole file; `resistivity` chooses apparent resistivities over resistances.
    std::string build(bool resistivity);
    bool boreholes() const { return m_.nborehole_nodes > 0; }

  private:
    ModelSettings& m_;
    const ConfigurationFile& f_;
    ConfigData& data_;
    const bool all_boreholes_;
    const float a_;
    std::vector<std::size_t> formed_;
    std::vector<LineValues> values_;
    float level_ = 0.0f; ///< percentage noise level (fraction), 0 after voltage noise
    double mean_log_ = 0.0;
    std::string out_;

    bool has_ip() const { return m_.nip > 0; }
    bool water() const { return m_.zwatermax != 0.0f; }
    bool errors() const { return level_ > 0.0f && m_.save_noise == 1; }
    void header(bool resistivity);
    void electrode_lists();
    void data_line(std::size_t w, bool resistivity);
    void trailer();
};

bool ConfigDataText::add_noise() {
    const std::size_t n = formed_.size();
    values_.assign(n, LineValues{});
    for (std::size_t w = 0; w < n; ++w) {
        const ConfigDatum& d = data_.data[formed_[w]];
        values_[w] = {d.rho, 0.0f, float(d.v / a_), 0.0f, d.ip, 0.0f};
    }
    const float p = m_.noise_level;
    if (!(p > 0.0f) || n == 0) return true;
    std::vector<float> g(2 * n);
    gaussian_noise_array(int(2 * n), g.data());
    if (m_.noise_model == 0) {
        level_ = p;
        for (std::size_t w = 0; w < n; ++w) {
            LineValues& v = values_[w];
            // A deviate that would change a value's sign is drawn again.
            const float e = p * deviate_within(g[w], p, v.rho);
            const float e2 = p * deviate_within(g[n + w], p, v.ip, 1000.0f);
            v.e_rho = std::fabs(e * v.rho), v.e_r = std::fabs(e * v.r);
            v.rho *= 1.0f + e, v.r *= 1.0f + e;
            v.e_ip = std::fabs(e2 * v.ip), v.ip *= 1.0f + e2;
        }
        return true;
    }
    float smallest = INFINITY, largest = 0.0f;
    for (const std::size_t k : formed_) {
        smallest = std::min(smallest, float(std::fabs(data_.data[k].v)));
        largest = std::max(largest, float(std::fabs(data_.data[k].v)));
    }
    // The dialog shows the potentials of the configurations; the model keeps those of its own
    // datum list.
    const float kept[2] = {m_.min_potential, m_.max_potential};
    m_.min_potential = smallest, m_.max_potential = largest;
    const bool accepted = ui::run_dialog(VoltNoiseDiaBox, VoltNoiseDiaBoxProc) == 1;
    m_.min_potential = kept[0], m_.max_potential = kept[1];
    if (!accepted) return false;
    const double amplitude = double(m_.noise_amplitude) * a_;
    double log_sum = 0.0;
    for (std::size_t w = 0; w < n; ++w) {
        ConfigDatum& d = data_.data[formed_[w]];
        // The noisy potential keeps the sign of the noise-free one.
        const float dv = deviate_within(g[w], float(amplitude / d.v), 1.0f);
        const double v = d.v + dv * amplitude;
        const float rho = float(v * d.k);
        if (rho > 0.0f && d.rho > 0.0f) log_sum += std::fabs(std::log(rho / d.rho));
        values_[w].rho = rho;
        values_[w].r = float(v / a_);
        d.rho = rho;
        d.v = v;
    }
    mean_log_ = log_sum / double(n);
    m_.noise_level = 0.0f;
    return true;
}

std::string ConfigDataText::build(bool resistivity) {
    out_.clear();
    header(resistivity);
    for (std::size_t w = 0; w < formed_.size(); ++w)
        data_line(w, resistivity);
    trailer();
    return out_;
}

void ConfigDataText::header(bool resistivity) {
    model::appendf(out_, "%s\n", f_.title.c_str());
    model::append_values(out_, "%.3f\n", {a_}, true);
    if (m_.electrode_type == 1) out_ += "Electrode Type (0=point,1=line,2=finite)\n1\n";
    const int n = int(formed_.size());
    if (boreholes()) {
        out_ += resistivity ? "12\n" : "13\n";
        model::appendf(out_, "%d\n2\n", n);
    } else {
        out_ += "11\n0\nType of measurement (0=app. resistivity,1=resistance)\n";
        out_ += resistivity ? "0\n" : "1\n";
        model::appendf(out_, water() ? "%d\n2\n" : "%d\n1\n", n);
    }
    out_ += has_ip() ? "1\nChargeability\nmsec\n0.1,1.0\n" : "0\n";
    if (boreholes()) electrode_lists();
    if (errors())
        out_ +=
            "Error estimate for data present\nType of error estimate (0=same unit as data)\n0\n";
    if (boreholes()) out_ += "Measured Data\n";
}

void ConfigDataText::electrode_lists() {
    model::appendf(out_, "Surface Electrodes\n%d\n", m_.nelec);
    for (int i = 0; i < m_.nelec; ++i)
        model::append_values(out_, "%10.3f, 0.0\n", {float(i) * a_}, true);
    const int listed = all_boreholes_ ? m_.nboreholes : 2;
    if (all_boreholes_) model::appendf(out_, "Number of boreholes\n%d\n", m_.nboreholes);
    if (m_.borehole_type == 1) out_ += "Inclined boreholes present\n";
    int k = 0;
    for (int b = 0; b < listed; ++b) {
        const int count = b < m_.nboreholes ? m_.issbor[b] : 0;
        model::appendf(out_, "Borehole %d Electrodes\n%d\n", b + 1, count);
        for (int e = 0; e < count; ++e, ++k)
            model::append_values(out_, "%10.3f,%10.3f\n",
                                 {m_.borehole_x[k] * a_, m_.borehole_z[k] * a_}, true);
    }
}

void ConfigDataText::data_line(std::size_t w, bool resistivity) {
    const std::size_t k = formed_[w];
    const ConfigDatum& d = data_.data[k];
    const ArrayConfiguration& c = f_.arrays[k];
    const float s = f_.spacing;
    model::appendf(out_, "%1d ", d.count);
    const int order[3][4] = {{c1, p1, -1, -1}, {c1, p1, p2, -1}, {c1, c2, p1, p2}};
    for (int i = 0; i < 4; ++i) {
        const int e = order[d.count - 2][i];
        if (e < 0) break;
        model::append_values(out_, i ? "  %10.3f,%10.3f" : "%10.3f,%10.3f",
                             {c.x[e] * s, c.z[e] * s}, true);
    }
    const LineValues& v = values_[w];
    if (resistivity) {
        model::append_values(out_, " %10.4f", {v.rho}, true);
        if (errors()) model::append_values(out_, " %10.4f", {v.e_rho}, true);
    } else {
        model::appendf(out_, " %12.4e", double(v.r));
        if (errors()) model::append_values(out_, " %10.4f", {v.e_r}, true);
    }
    if (has_ip()) {
        model::append_values(out_, " %10.4f", {v.ip}, true);
        if (errors()) model::append_values(out_, " %10.4f", {v.e_ip}, true);
    }
    out_ += "\n";
}

void ConfigDataText::trailer() {
    if (water()) {
        // The topography list is not written with water.
        out_ += "0\n0\n1\n";
        // The writer of any number of boreholes has no IP column in the layer lines.
        append_water_layers(out_, m_, a_, has_ip() && !all_boreholes_);
        out_ += m_.geometric_factor_type == 0 ? "1\n" : "0\n";
    } else if (m_.tflag > 0) {
        model::appendf(out_, "Topography in separate list\n%d\n%d\n", m_.tflag, m_.ntopo);
        for (int i = 0; i < m_.ntopo; ++i)
            model::append_values(out_, "%9.3f,%9.3f\n", {m_.elec_x[i] * a_, m_.elec_z[i] * a_},
                                 true);
        out_ += "1\n";
    } else {
        out_ += "0\n0\n";
    }
    out_ += "0,0,0,0,0\n\n";
    if (m_.noise_model == 0 && level_ > 0.0f)
        model::append_values(
            out_, "Percentage random noise added to apparent resistivity values is %.2f%%\n",
            {double(level_) * 100.0}, true);
    else if (m_.noise_model != 0 && mean_log_ > 0.0)
        model::append_values(out_,
                             "Voltage noise added %.3f mV\nAverage noise level added %.2f%%\n",
                             {double(m_.noise_amplitude) * 1000.0, mean_log_ * 100.0}, true);
}

ConfigSave write_configuration_data(ModelSettings& m, const ConfigurationFile& f, ConfigData& data,
                                    bool all_boreholes) {
    // Refused before the noise: a refusal changes nothing.
    if (m.zwatermax != 0.0f && m.geometric_factor_type == 1) {
        model::report_error(model::Shown::box, "Error Message",
                            "For this array, you need to use the surface geometric\nfactor for "
                            "models with underwater electrodes!\nUse the 'Options' menu to "
                            "change this setting.");
        return ConfigSave::refused_water;
    }
    ConfigDataText text(m, f, data, all_boreholes);
    char message[1400];
    const int n = int(data.data.size());
    if (text.count() == 0) {
        std::snprintf(message, sizeof message,
                      "None of the %d array configurations gives an apparent\nresistivity value: "
                      "no data file is written.",
                      n);
        model::show_message(message, "Message");
        return ConfigSave::nothing;
    }
    if (!all_boreholes) model::trace("Save_AppResis\n");
    if (!text.add_noise()) return ConfigSave::cancelled;
    const char* path = m.general_array_file;
    const bool saved = save_text_file(path, [&] {
        const char* question =
            text.boreholes()
                ? "For borehole data, you can save the results\nas apparent resistivity or "
                  "resistance values.\nTo save as apparent resistivity values, click Yes.\nTo "
                  "save as resistance values, click No."
                : "For general array, you can save the results\nas apparent resistivity or "
                  "resistance values.\nTo save as apparent resistivity values, click Yes.\nTo "
                  "save as resistance values, click No.";
        const bool resistivity =
            model::ask_message(question, "Save Apparent Resistivity?",
                               ui::mb_yesno | ui::mb_iconquestion) == ui::id_yes;
        return text.build(resistivity);
    });
    if (!saved) return ConfigSave::failed;
    int length = std::snprintf(message, sizeof message,
                               "Apparent resistivity values saved in file\n%s.", path);
    const int left_out = n - int(text.count());
    if (left_out > 0 && length > 0 && std::size_t(length) < sizeof message)
        std::snprintf(message + length, sizeof message - std::size_t(length),
                      "\n%d of the %d array configurations gave no value\nand are left out.",
                      left_out, n);
    model::ask_message(message, "ORBANTEL format", ui::mb_ok | ui::mb_iconexclamation);
    return ConfigSave::written;
}

} // namespace

} // namespace forward

forward::ConfigSave save_general_array_data(ModelSettings& m, const forward::ConfigurationFile& f,
                                            forward::ConfigData& data) {
    return forward::write_configuration_data(m, f, data, false);
}

forward::ConfigSave save_general_array_data_nbor(ModelSettings& m,
                                                 const forward::ConfigurationFile& f,
                                                 forward::ConfigData& data) {
    return forward::write_configuration_data(m, f, data, true);
}

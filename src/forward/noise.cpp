// Gaussian deviates for synthetic noise and the two noise dialogs.
#include "forward/noise.h"

#include "display/dialog_util.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "platform/sys/sys.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

struct NoiseGenerator {
    bool seeded = false;
    bool waiting = false;
    float second = 0.0f;
};
NoiseGenerator generator;

void ensure_seeded() {
    if (generator.seeded) return;
    // Seeded once for the run: reseeding at every call repeated the draws of calls that came
    // within one clock tick.
    sys::random_seed(static_cast<unsigned>(sys::tick_count_ms()) ^
                     static_cast<unsigned>(sys::calendar_now().second * 7919));
    generator.seeded = true;
}

float next_deviate() {
    if (generator.waiting) {
        generator.waiting = false;
        return generator.second;
    }
    double s, t, q;
    do {
        const double x1 = (32767.0 - sys::random_next()) / 32768.0;
        const double x2 = (32767.0 - sys::random_next()) / 32768.0;
        s = 4.0 * x1 - 3.0;
        t = 4.0 * x2 - 3.0;
        q = s * s + t * t;
    } while (q >= 1.0 || q == 0.0);
    const double f = std::sqrt(-2.0 * std::log(q) / q);
    generator.second = static_cast<float>(s * f);
    generator.waiting = true;
    return static_cast<float>(t * f);
}

} // namespace

void gaussian_noise_array(int n, float* values) {
    if (n <= 0) return;
    ensure_seeded();
    double sum = 0.0;
    // An all-zero draw (possible for n = 1) has no scale; draw again.
    while (sum == 0.0) {
        sum = 0.0;
        for (int i = 0; i < n; ++i) {
            values[i] = next_deviate();
            sum += double(values[i]) * values[i];
        }
    }
    const double scale = 1.0 / std::sqrt(sum / n);
    for (int i = 0; i < n; ++i)
        values[i] = static_cast<float>(values[i] * scale);
}

float deviate_within(float g, float level, float value, float upper) {
    const auto fits = [&](float d) {
        const float factor = 1.0f + level * d;
        if (!(factor > 0.0f)) return false;
        return !(upper > 0.0f && value > 0.0f && !(value * factor < upper));
    };
    if (fits(g)) return g;
    ensure_seeded();
    for (int i = 0; i < 1000; ++i) {
        const float d = next_deviate();
        if (fits(d)) return d;
    }
    return 0.0f;
}

namespace forward {

void set_noise_seed(unsigned seed) {
    sys::random_seed(seed);
    generator.seeded = true;
    generator.waiting = false;
}

void reset_noise_seed() {
    generator = NoiseGenerator{};
}

} // namespace forward

// ---- The dialogs ------------------------------------------------------------------------------

namespace {
using display::formatted;
using ui::ControlKind;

ui::DialogTemplate make_noise_template() {
    ui::DialogTemplate t("NoiseDiaBox", "Choose noise level", 135, 143);
    auto text = [&t](const char* s, int y) {
        t.controls.push_back({-1, ControlKind::static_text, s, 6, y, 124, 9});
    };
    auto radio = [&t](int id, const char* s, int x, int y) {
        t.controls.push_back({id, ControlKind::radio, s, x, y, 60, 10});
    };
    text("Do you want to add noise to the data?", 4);
    radio(503, "No", 10, 14);
    radio(504, "Yes", 70, 14);
    text("Please enter the random noise level", 28);
    text("as a percentage (usually 0 to 10).", 37);
    t.controls.push_back({500, ControlKind::edit, "", 40, 48, 50, 12});
    text("Select type of noise to add.", 64);
    radio(501, "Apparent resistivity", 10, 74);
    radio(502, "Voltage dependent", 10, 84);
    text("Save noise values in output file?", 97);
    radio(505, "No, do not save", 10, 107);
    radio(506, "Yes, save noise values", 10, 117);
    t.controls.push_back({1, ControlKind::push_button, "OK", 15, 128, 45, 13});
    t.controls.push_back({2, ControlKind::push_button, "Cancel", 75, 128, 45, 13});
    return t;
}

ui::DialogTemplate make_volt_noise_template() {
    ui::DialogTemplate t("VoltNoiseDiaBox", "Noise level to add", 150, 86);
    t.controls.push_back({5301, ControlKind::static_text, "", 6, 4, 138, 9});
    t.controls.push_back({5302, ControlKind::static_text, "", 6, 14, 138, 9});
    t.controls.push_back({-1, ControlKind::static_text,
                          "Set the noise level you want to add (in mV) to", 6, 26, 138, 9});
    t.controls.push_back({-1, ControlKind::static_text,
                          "the data set in the box below. It should be at", 6, 35, 138, 9});
    t.controls.push_back({-1, ControlKind::static_text,
                          "least 1% of the minimum value shown above.", 6, 44, 138, 9});
    t.controls.push_back({5303, ControlKind::edit, "", 45, 55, 60, 12});
    t.controls.push_back({1, ControlKind::push_button, "OK", 20, 70, 45, 13});
    t.controls.push_back({2, ControlKind::push_button, "Cancel", 85, 70, 45, 13});
    return t;
}

display::OpeningChoices noise_opened_with;

std::array<display::RadioGroup, 3> noise_groups(ModelSettings& m) {
    return {{{503, 504, &m.add_noise}, {501, 502, &m.noise_model}, {505, 506, &m.save_noise}}};
}

// False, after the reader's message that keeps the dialog open, when noise is to be added and
// the level is not a percentage above 0.
bool accept_noise_dialog(ui::Dialog& d, ModelSettings& m) {
    if (m.add_noise != 1) {
        m.noise_level = 0.0f;
        return true;
    }
    const model::NumberField level = model::NumberField(500, "the noise level")
                                         .within(model::FieldRange{0, 100, true, false})
                                         .in_units(" (per cent)");
    model::FieldReader fields(d);
    double percent = 0.0;
    if (!fields.read(level, percent)) return false;
    // Kept as a fraction in a float, which must still be above 0.
    if (!(static_cast<float>(percent * 0.01) > 0.0f)) return fields.refuse(level);
    m.noise_level = static_cast<float>(percent * 0.01);
    return true;
}

} // namespace

const ui::DialogTemplate NoiseDiaBox = make_noise_template();
const ui::DialogTemplate VoltNoiseDiaBox = make_volt_noise_template();

bool NoiseDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    const auto show = [&m](ui::Dialog& d) {
        d.check_radio(503, 504, m.add_noise == 1 ? 504 : 503);
        d.check_radio(501, 502, m.noise_model == 1 ? 502 : 501);
        d.check_radio(505, 506, m.save_noise == 1 ? 506 : 505);
        const float level = m.noise_level;
        d.set_text(500, model::field_text("%.2f", level * 100.0, [level](double typed) {
                       return static_cast<float>(typed * 0.01) == level;
                   }));
    };
    const auto accept = [&m](ui::Dialog& d) { return accept_noise_dialog(d, m); };
    return display::radio_groups_procedure(noise_opened_with, noise_groups(m), show, accept, dialog,
                                           event, args);
}

bool VoltNoiseDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    const double u = m.unit_spacing;
    if (event == ui::DialogEvent::init) {
        dialog.set_text(5301,
                        formatted("Minimum potential is %.3f mV", m.min_potential * 1000.0 / u));
        dialog.set_text(5302,
                        formatted("Maximum potential is %.3f mV", m.max_potential * 1000.0 / u));
        // Noise below twice the smallest potential's thousandth is shown raised to it; only OK
        // stores it.
        const float lowest = static_cast<float>(m.min_potential * 0.002 / u);
        const float amplitude = std::max(m.noise_amplitude, lowest);
        dialog.set_text(5303,
                        model::field_text("%.3f", amplitude * 1000.0, [amplitude](double typed) {
                            return static_cast<float>(typed * 0.001) == amplitude;
                        }));
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    if (args.id == ui::id_ok) {
        // The noise cannot exceed the largest potential.
        const model::NumberField amplitude =
            model::NumberField(5303, "the noise amplitude")
                .within(model::from_to(0, m.max_potential * 1000.0 / u))
                .in_units(" of millivolts")
                .optional();
        double typed = 0.0;
        if (!model::read_field(dialog, amplitude, typed)) return true;
        m.noise_amplitude = static_cast<float>(typed * 0.001);
    } else if (args.id != ui::id_cancel) {
        return false;
    }
    display::end_dialog(dialog, args.id == ui::id_ok);
    return true;
}

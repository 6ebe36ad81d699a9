// The sensitivity sections of a configuration file on the screen: the section dialog and the
// drawing with the configurations' potentials.
#include "forward/configurations/configurations.h"

#include "display/dialog_util.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "sensitivity/grid_budget.h"
#include "sensitivity/section_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using display::add;
using ui::ControlKind;

namespace {

ui::DialogTemplate make_section_dialog() {
    ui::DialogTemplate t("Sens2DSelDiaBox", "Select sensitivity section to display", 240, 150);
    add(t, 968, ControlKind::static_text, "", 10, 8, 220, 10);
    add(t, -1, ControlKind::static_text, "The last section is the integrated sensitivity section.",
        10, 20, 220, 10);
    add(t, -1, ControlKind::static_text, "Please type in the section number you want to display.",
        10, 32, 220, 10);
    add(t, 969, ControlKind::edit, "", 10, 44, 60, 12);
    add(t, -1, ControlKind::static_text, "The program will use the following scaling factor to", 10,
        62, 220, 10);
    add(t, -1, ControlKind::static_text, "display the section. Type in a new value if you do", 10,
        74, 220, 10);
    add(t, -1, ControlKind::static_text, "not want to use the default value.", 10, 86, 220, 10);
    add(t, 1253, ControlKind::edit, "", 10, 98, 80, 12);
    display::add_ok_cancel(t, 124);
    return t;
}

std::int32_t section_at_opening = 1;

} // namespace

const ui::DialogTemplate Sens2DSelDiaBox = make_section_dialog();

bool Sens2DSelDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    switch (event) {
    case ui::DialogEvent::init:
        section_at_opening = m.array_index;
        return true;
    case ui::DialogEvent::first_paint: {
        char text[64];
        std::snprintf(text, sizeof text, "Data set has %d sections", m.narrays + 1);
        dialog.set_text(968, text);
        dialog.set_text(969, display::formatted("%.0f", m.array_index));
        dialog.set_text(1253, model::field_text("%.1f", m.section_scale));
        return true;
    }
    case ui::DialogEvent::command:
        break;
    default:
        return false;
    }
    if (args.id == ui::id_ok) {
        // A number outside the sections would name a block before the first or after the last.
        model::FieldReader fields(dialog);
        std::int32_t section = m.array_index;
        float factor = m.section_scale;
        fields.read(
            model::NumberField(969, "the section number").within(model::from_to(1, m.narrays + 1)),
            section);
        fields.read(model::NumberField(1253, "the scaling factor").within(model::above(0)), factor);
        if (!fields.ok()) return true;
        m.array_index = section;
        m.section_scale = factor;
    }
    if (args.id == ui::id_cancel) m.array_index = section_at_opening;
    return display::end_on_ok_or_cancel(dialog, args.id);
}

namespace forward {

namespace {

// What the drawing of one section needs besides the grid.
struct SectionPicture {
    SensitivitySection section;
    std::vector<float> node_x, node_z, surface_x, surface_z;
    float marked_x[4] = {}, marked_z[4] = {};
};

// The section to draw: a configuration's block with its electrodes, or the integrated block.
void describe(SectionPicture& d, const ConfigurationFile& f, const SensitivitySections& s,
              int shown, ProgDisplay& display, const gfx::TextMetrics& tm) {
    const SensitivityGrid& g = f.grid;
    const std::size_t nx = std::size_t(s.nx), points = s.points();
    d.node_x.resize(points);
    d.node_z.resize(points);
    for (std::size_t k = 0; k < points; ++k) {
        d.node_x[k] = s.x[k % nx];
        d.node_z[k] = s.z[k / nx];
    }
    const float range = std::fabs(g.x2 - g.x1);
    surface_ticks(g.x1, g.x2, d.surface_x, d.surface_z);

    SensitivitySection& sec = d.section;
    const bool integrated = shown < 0;
    if (!integrated) {
        const ArrayConfiguration& c = f.arrays[std::size_t(shown)];
        for (const int e : {int(c1), int(p1), int(p2), int(c2)})
            if (f.takes_part(shown, e)) {
                d.marked_x[sec.n_set_a] = c.x[e];
                d.marked_z[sec.n_set_a] = c.z[e];
                ++sec.n_set_a;
            }
    }
    sec.n_surface_electrodes = int(d.surface_x.size());
    sec.surface_x = d.surface_x.data();
    sec.surface_z = d.surface_z.data();
    sec.set_a_x = d.marked_x;
    sec.set_a_z = d.marked_z;
    sec.x_scale = sec.z_scale = float(display.display_width - 18 * tm.ave_char_width) / range;
    char caption[64];
    std::snprintf(caption, sizeof caption, "Sensitivity x %.1f", double(s.factor));
    sec.legend_caption = caption;
    sec.x_max = g.x2;
    sec.x_min = g.x1;
    sec.z_max = g.z2;
    sec.z_min = 0.0f;
    sec.node_x = d.node_x.data();
    sec.node_z = d.node_z.data();
    sec.n_levels = integrated ? integrated_sensitivity_levels(display.res_levels)
                              : set_sensitivity_levels(display.res_levels);
    sec.levels = display.res_levels;
    sec.top = 4 * tm.height;
    sec.left = 12 * tm.ave_char_width;
    sec.rows = s.nz;
    sec.columns = s.nx;
    sec.values = integrated ? s.integrated() : s.values.data() + std::size_t(shown) * points;
    sec.label_offset = g.x1;
}

// The list under the section, while it fits the surface.
void list_potentials(gfx::Canvas& dc, int y, const ConfigurationFile& f,
                     const SensitivitySections& s) {
    const int h = dc.text_metrics().height;
    const int x = dc.text_metrics().ave_char_width;
    const gfx::Colour before = dc.set_text_colour(gfx::black);
    for (const PotentialLine& line : configuration_potential_lines(f, s)) {
        if (y >= dc.height()) break;
        dc.set_text_colour(line.below_minimum ? gfx::rgb(255, 0, 0) : gfx::black);
        dc.text_out(x, y, line.text);
        y += h;
    }
    dc.set_text_colour(before);
}

bool draw_on(gfx::Canvas& dc, SectionPicture& d, const std::string& title,
             const ConfigurationFile& f, const SensitivitySections& s, ProgDisplay& display) {
    d.section.title = title;
    const int bottom = draw_sensitivity_section(d.section, dc, display.brushes, display.pens);
    if (bottom < 0) return false;
    list_potentials(dc, bottom, f, s);
    return true;
}

} // namespace

std::vector<PotentialLine> configuration_potential_lines(const ConfigurationFile& f,
                                                         const SensitivitySections& s) {
    std::vector<PotentialLine> lines;
    char text[128];
    for (std::size_t k = 0; k < s.potentials.size(); ++k) {
        const double mv = double(s.potentials[k]) * 1000.0;
        std::snprintf(text, sizeof text, "Array %d Potential=%.3f mV", int(k) + 1, mv);
        lines.push_back({text, mv < double(f.grid.min_potential)});
    }
    const struct {
        const char* format;
        float value;
    } constants[3] = {{"Resistivity %.3f Ohm.m", f.grid.resistivity},
                      {"Maximum current %.3f Amp", f.grid.current},
                      {"Minimum potential %.3f mV", f.grid.min_potential}};
    for (const auto& c : constants) {
        std::snprintf(text, sizeof text, c.format, double(c.value));
        lines.push_back({text, false});
    }
    return lines;
}

void show_configuration_sections(ModelSettings& m, ProgDisplay& display, const ConfigurationFile& f,
                                 SensitivitySections& s) {
    const int n = int(f.arrays.size());
    m.narrays = n;
    m.section_scale = s.factor;
    // Two points a unit spacing: the drawing's lists hold 500.
    if (2 * round_to_int(std::fabs(f.grid.x2 - f.grid.x1)) > 500) {
        model::report_error(model::Shown::box, "Error Message",
                            "Too many points to calculate sensitivity values\nTry reducing the "
                            "starting and ending x-distances.");
        return;
    }
    if (s.per_configuration) {
        m.array_index = n + 1;
        ui::run_dialog(Sens2DSelDiaBox, Sens2DSelDiaBoxProc);
        if (m.section_scale != s.factor) {
            const float ratio = m.section_scale / s.factor;
            for (float& v : s.values)
                v *= ratio;
            s.factor = m.section_scale;
        }
    } else {
        char text[160];
        std::snprintf(text, sizeof text,
                      "This file has %d array configurations.\nOnly the integrated sensitivity "
                      "values will be shown.",
                      n);
        model::ask_message(text, "Message", ui::mb_ok | ui::mb_iconinformation);
        m.array_index = 1;
    }
    // Without blocks of their own the one section is the integrated one, whatever the number.
    const int shown = s.per_configuration && m.array_index <= n ? m.array_index - 1 : -1;
    gfx::Canvas& window = ui::window_canvas();
    SectionPicture d;
    describe(d, f, s, shown, display, window.text_metrics());
    std::string window_title, canvas_title;
    if (shown < 0) {
        window_title = canvas_title = f.title + " - integrated sensitivities";
    } else {
        window_title = f.title + " - " + configuration_label(f, shown);
        canvas_title = f.title + " - array " + std::to_string(shown + 1);
    }
    erase_window();
    sens::LoopProgress progress("Drawing the sensitivity section");
    d.section.stopping = [&progress](double done, double total) {
        return progress.stopped(done, total);
    };
    bool drawn = draw_on(window, d, window_title, f, s, display);
    if (display.canvas_dc) {
        clear_area(display.canvas_dc, display.canvas_width, display.canvas_height);
        drawn = draw_on(*display.canvas_dc, d, canvas_title, f, s, display) && drawn;
    }
    update_status(" ", 0);
    if (progress.was_stopped())
        sens::stopped_message("Drawing the sensitivity section", "");
    else if (!drawn)
        model::report_error(model::Shown::box, "Error Message",
                            "Insufficient memory for the sensitivity sections!");
}

} // namespace forward

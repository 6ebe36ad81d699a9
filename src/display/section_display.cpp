// A page of pseudosections and the frequency dialog of spectral-IP models.
#include "display/section_display.h"

#include "display/dialog_util.h"
#include "display/pseudosection.h"
#include "display/section_state.h"
#include "model/array_type.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using display::add;
using ui::ControlKind;

SectionDisplayState Sectiondisplay;

const char* section_legend(int quantity, const char* unit_text, char* buffer, int size) {
    if (quantity == 0)
        std::snprintf(buffer, std::size_t(size), "Resistivity in ohm.m");
    else
        std::snprintf(buffer, std::size_t(size), "%s in %s",
                      quantity == section_quantity::phase ? "Phase" : "Chargeability",
                      unit_text ? unit_text : "");
    return buffer;
}

namespace {

// The first panel's title of a page of `quantity` (section_quantity; any other shows a
// chargeability).
const char* section_title(int quantity) {
    static const char* const titles[] = {"Apparent Resistivity Pseudosection",
                                         "Apparent Chargeability Pseudosection",
                                         "Apparent Inphase Chargeability Pseudosection",
                                         "Apparent Outphase Chargeability Pseudosection",
                                         "Apparent Phase Pseudosection",
                                         "Apparent Amplitude Pseudosection"};
    const int n = int(sizeof titles / sizeof titles[0]);
    return titles[quantity >= 0 && quantity < n ? quantity : section_quantity::chargeability];
}

// What a pseudosection of `survey` takes from the survey and the display state.
PseudosectionInput survey_input(const SectionSurvey& survey) {
    const ProgDisplay& d = Progdisplay;
    PseudosectionInput in;
    in.canvas_width = d.canvas_width;
    in.xscale = d.xscale;
    in.kind = 0;
    in.first_x = survey.first_x;
    in.level_scheme = survey.level_scheme;
    in.unit_spacing = survey.unit_spacing;
    in.nelec = survey.nelec;
    in.array_type = survey.array_type;
    in.ndata = survey.ndata;
    in.x = survey.x;
    in.depth = survey.depth;
    in.ndata_levels = survey.ndata_levels;
    in.level_counts = survey.level_counts;
    in.left = d.left_margin;
    in.vertical_factor = d.vh_factor;
    in.a_factors = survey.a_factors;
    in.n_factors = survey.n_factors;
    in.point_marks = Sectiondisplay.point_marks;
    in.na_labels = Sectiondisplay.na_labels;
    return in;
}

} // namespace

int section_label_room(const SectionSurvey& survey, const gfx::Canvas& dc) {
    return level_label_room(survey_input(survey), dc);
}

int display_section(int resistance_flag, int title_line_flag, int top, int quantity,
                    const char* unit_text, int first_shown, int second_shown,
                    const float* first_values, const float* second_values, float* levels,
                    int nlevels, const SectionSurvey& survey, gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    const ModelSettings& m = Modelsettings;
    char legend[128];
    section_legend(quantity, unit_text, legend, sizeof legend);

    if (title_line_flag == 1) {
        char title[1024];
        std::snprintf(title, sizeof title, "%s (%s array)", m.model_title ? m.model_title : "",
                      model::array_type_name(m.array_type));
        const int x = int(0.5f * (float(survey.nelec) * d.xscale -
                                  float(std::strlen(title) * std::size_t(d.char_w))) +
                          float(d.left_margin));
        // A title wider than the section starts at the canvas's left edge, not before it.
        dc.text_out(std::max(1, x), 2, title);
    }

    PseudosectionInput in = survey_input(survey);
    in.quantity = quantity;
    in.nlevels = nlevels;
    in.levels = levels;
    in.caption = legend;

    const int title_room = 2 * d.char_h + 8; // from a panel's title line to its section
    const auto panel = [&](int panel_top, const char* title, const float* values, int legend_on) {
        const int width = round_to_int(float(std::max(1, survey.nelec - 1)) * d.xscale);
        const int title_width = int(std::strlen(title)) * d.char_w;
        dc.text_out(std::max(1, d.left_margin + (width - title_width) / 2), panel_top, title);
        in.top = panel_top + title_room;
        in.value = values;
        in.legend = legend_on;
        return plot_pseudosection(in, dc);
    };
    const bool ip = quantity != section_quantity::resistivity;
    const char* first_title = section_title(quantity);
    if (!ip && resistance_flag) first_title = "Apparent Resistance Pseudosection";
    const char* second_title =
        ip ? "Calculated Chargeability" : "Calculated Apparent Resistivity Pseudosection";
    int bottom = top;
    if (first_shown == 1 && first_values)
        bottom = panel(top, first_title, first_values, Sectiondisplay.panel_count == 1 ? 1 : 0);
    if (second_shown == 1 && second_values) {
        // Three lines and 6 pixels below the first section, whose height the deepest datum
        // gives: room for the first section's last level label and the second title line.
        float deepest = 0.0f;
        for (int i = 0; i < survey.ndata; ++i)
            deepest = std::max(deepest, survey.depth[i]);
        const float vh = d.vh_factor > 0.0f ? d.vh_factor : 1.0f;
        const int first_bottom = top + title_room + int(d.xscale * deepest / vh);
        const int second_top = first_shown == 1 ? first_bottom + 3 * d.char_h + 6 : top;
        bottom = panel(second_top, second_title, second_values, 1);
    }
    return bottom;
}

// ---- FreqSelectDiaBox ----------------------------------------------------------------------

namespace {

ui::DialogTemplate make_freq_select() {
    ui::DialogTemplate t("FreqSelectDiaBox", "Select frequency for display", 260, 200);
    add(t, 861, ControlKind::static_text, "", 10, 6, 240, 10);
    add(t, -1, ControlKind::static_text, "Please enter the frequency number for which", 10, 20, 240,
        10);
    add(t, -1, ControlKind::static_text, "you want to display the pseudosections.", 10, 30, 240,
        10);
    add(t, 862, ControlKind::edit, "", 100, 44, 50, 12);
    const char* lines[] = {"There are two methods you can use to display",
                           "the sections. You can choose to display the",
                           "inphase and outphase apparent chargeability",
                           "pseudosections, or the apparent amplitude",
                           "and phase pseudosections. Please select your",
                           "choice by clicking one of the buttons below."};
    for (int i = 0; i < 6; ++i)
        add(t, -1, ControlKind::static_text, lines[i], 10, 62 + 10 * i, 240, 10);
    add(t, 863, ControlKind::radio, "Inphase and outphase chargeabilities", 20, 128, 220, 12);
    add(t, 864, ControlKind::radio, "Amplitude and phase", 20, 142, 220, 12);
    display::add_ok_cancel(t, 170);
    return t;
}

std::int32_t mode_at_init = 0; // the display mode Cancel puts back

} // namespace

const ui::DialogTemplate FreqSelectDiaBox = make_freq_select();

bool FreqSelectDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ProgDisplay& d = Progdisplay;
    ModelSettings& m = Modelsettings;
    switch (event) {
    case ui::DialogEvent::init:
        mode_at_init = d.ip_display_mode;
        return true;
    case ui::DialogEvent::first_paint: {
        dialog.check_radio(863, 864, d.ip_display_mode == 1 ? 864 : 863);
        char text[64];
        std::snprintf(text, sizeof text, "Your model has %d frequencies.", m.nfreq);
        dialog.set_text(861, text);
        std::snprintf(text, sizeof text, "%d", m.freq_index);
        dialog.set_text(862, text);
        return true;
    }
    case ui::DialogEvent::command:
        if (dialog.take_radio(863, 864, args.id, d.ip_display_mode)) return true;
        if (args.id == ui::id_ok) {
            if (!model::read_field(dialog,
                                   model::NumberField(862, "the frequency number")
                                       .within(model::from_to(1, std::max(1, m.nfreq))),
                                   m.freq_index))
                return true;
        }
        if (args.id == ui::id_cancel) d.ip_display_mode = mode_at_init;
        return display::end_on_ok_or_cancel(dialog, args.id);
    default:
        return false;
    }
}

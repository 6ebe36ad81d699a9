// Contour levels: data range, automatic levels, the contour dialogs and contour-values files.
#include "display/contour_levels.h"

#include "display/dialog_util.h"
#include "display/layout.h"
#include "model/dialog_fields.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using display::add;
using display::formatted;
using model::NumberField;
using ui::ControlKind;

namespace {

ui::DialogTemplate make_choice_template(bool negative) {
    ui::DialogTemplate t(negative ? "ContourNegBox" : "ContourChoiceBox",
                         "Select Type of Contour Intervals", 260, 150);
    add(t, negative ? 985 : 984, ControlKind::static_text, "", 10, 6, 240, 11);
    add(t, -1, ControlKind::static_text, "Choose the type of contour spacing you want to use:-", 10,
        20, 240, 11);
    const char* texts[6] = {"Linear contour intervals",
                            "Logarithmic contour intervals",
                            "User defined linear contour intervals",
                            "User defined logarithmic contour intervals",
                            "User defined contour intervals",
                            "Read contour values from file"};
    for (int k = 0; k < 6; ++k)
        if (!negative || (k != 1 && k != 3))
            add(t, 160 + k, ControlKind::radio, texts[k], 20, 34 + 14 * k, 220, 11);
    display::add_ok_cancel(t, 126);
    return t;
}

ui::DialogTemplate make_log_template() {
    ui::DialogTemplate t("ContourLogBox", "Logarithmic contour intervals", 260, 190);
    add(t, 140, ControlKind::static_text, "", 10, 6, 240, 11);
    add(t, 141, ControlKind::static_text, "", 10, 18, 240, 11);
    add(t, -1, ControlKind::static_text, "Select factor to increase contour values", 10, 34, 240,
        11);
    const char* texts[5] = {"1.19 (double every 4 contours)", "1.26 (double every 3 contours)",
                            "1.41 (double every 2 contours)", "2.00 (double every 1 contour)",
                            "User Defined"};
    for (int k = 0; k < 5; ++k)
        add(t, 142 + k, ControlKind::radio, texts[k], 20, 48 + 13 * k, 200, 11);
    add(t, -1, ControlKind::static_text, "Enter Minimum Contour Value:", 10, 118, 160, 11);
    add(t, 147, ControlKind::edit, "", 176, 116, 70, 12);
    add(t, -1, ControlKind::static_text, "Enter User Defined contour increase factor:", 10, 136,
        160, 11);
    add(t, 148, ControlKind::edit, "", 176, 134, 70, 12);
    display::add_ok_cancel(t, 166);
    return t;
}

ui::DialogTemplate make_linear_template() {
    ui::DialogTemplate t("ContourLinearBox", "Linear contour intervals", 240, 110);
    add(t, 150, ControlKind::static_text, "", 10, 6, 220, 11);
    add(t, 151, ControlKind::static_text, "", 10, 18, 220, 11);
    add(t, -1, ControlKind::static_text, "Enter Minimum Contour Value:", 10, 38, 140, 11);
    add(t, 152, ControlKind::edit, "", 156, 36, 70, 12);
    add(t, -1, ControlKind::static_text, "Enter Contour Spacing Value:", 10, 56, 140, 11);
    add(t, 153, ControlKind::edit, "", 156, 54, 70, 12);
    display::add_ok_cancel(t, 86);
    return t;
}

ui::DialogTemplate make_user_values_template(bool black_and_white) {
    ui::DialogTemplate t(black_and_white ? "UdfBWDiaBox" : "UdfDiaBox",
                         "User defined contour values", 220, 290);
    add(t, -1, ControlKind::static_text, "Minimum value", 10, 6, 90, 11);
    add(t, 189, ControlKind::static_text, "", 110, 6, 90, 11);
    add(t, -1, ControlKind::static_text, "Maximum value", 10, 18, 90, 11);
    add(t, 190, ControlKind::static_text, "", 110, 18, 90, 11);
    for (int k = 0; k < 16; ++k) {
        add(t, -1, ControlKind::static_text, "Value " + std::to_string(k + 1), 10, 36 + 14 * k, 60,
            11);
        add(t, 171 + k, ControlKind::edit, "", 80, 34 + 14 * k, 80, 12);
    }
    add(t, 187, ControlKind::push_button, "OK", 40, 268, 60, 16);
    add(t, 188, ControlKind::push_button, "Cancel", 120, 268, 60, 16);
    return t;
}

// Title line of the choice dialogs by the quantity whose levels are chosen.
const char* choice_title(int quantity, bool negative) {
    switch (quantity) {
    case 0:
        return "Set Resistivity Contour Values";
    case 2:
        return "Set Sensitivity Contour Values";
    case 3:
        return "Set Uncertainity Contour Values";
    case 4:
        return "Set Time Constant Contour Values";
    case 5:
        return "Set Cole Exponent Contour Values";
    case 6:
        return negative ? "Set I.P. Contour Values" : "Set Phase Contour Values";
    default:
        return "Set I.P. Contour Values";
    }
}

// Sorts values[0..n-1] ascending; false when two of them are equal.
bool sort_distinct(float* values, int n) {
    std::vector<std::int32_t> index(std::size_t(n > 0 ? n : 1));
    shell_sort_real_index(1, values, index.data(), n);
    for (int k = 1; k < n; ++k)
        if (values[k] == values[k - 1]) return false;
    return true;
}

int log_factor_at_init = 0; // the preset that Cancel puts back
int udf_field = 0;          // the field the Enter and Esc keys move from

} // namespace

const ui::DialogTemplate ContourChoiceBox = make_choice_template(false);
const ui::DialogTemplate ContourNegBox = make_choice_template(true);
const ui::DialogTemplate ContourLogBox = make_log_template();
const ui::DialogTemplate ContourLinearBox = make_linear_template();
const ui::DialogTemplate UdfDiaBox = make_user_values_template(false);
const ui::DialogTemplate UdfBWDiaBox = make_user_values_template(true);

ui::DialogProc contour_dialog(ProgDisplay& display, ContourProc proc) {
    return [&display, proc](ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
        return proc(display, dialog, event, args);
    };
}

float array_maxmin(int n, const float* values, float* max_out) {
    float lo = values[0], hi = values[0];
    for (int k = 1; k < n; ++k) {
        if (values[k] < lo)
            lo = values[k];
        else if (values[k] > hi)
            hi = values[k];
    }
    *max_out = hi;
    return lo;
}

bool ContourChoiceBoxProc(ProgDisplay& d, ui::Dialog& dialog, ui::DialogEvent event,
                          const ui::DialogArgs& args) {
    switch (event) {
    case ui::DialogEvent::init:
        d.contour_choice = 2;
        dialog.check_radio(160, 165, 161);
        return true;
    case ui::DialogEvent::first_paint:
        dialog.set_text(984, choice_title(d.contour_quantity, false));
        return true;
    case ui::DialogEvent::command:
        if (args.id >= 160 && args.id <= 165) {
            d.contour_choice = args.id - 159;
            dialog.check_radio(160, 165, args.id);
            return true;
        }
        if (args.id == ui::id_cancel) d.contour_choice = 1;
        return display::end_on_ok_or_cancel(dialog, args.id);
    default:
        return false;
    }
}

bool ContourNegBoxProc(ProgDisplay& d, ui::Dialog& dialog, ui::DialogEvent event,
                       const ui::DialogArgs& args) {
    if (event == ui::DialogEvent::init) {
        d.contour_choice = 1;
        dialog.check_radio(160, 165, 160);
        dialog.set_text(985, choice_title(d.contour_quantity, true));
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    static const int choices[6] = {1, 0, 3, 0, 5, 6}; // radios 160..165; 161 and 163 absent
    if (args.id >= 160 && args.id <= 165 && choices[args.id - 160] != 0) {
        d.contour_choice = choices[args.id - 160];
        dialog.check_radio(160, 165, args.id);
    } else if (args.id == ui::id_ok) {
        dialog.end(1);
    } else if (args.id == ui::id_cancel) {
        d.contour_choice = 1;
        dialog.end(0);
    } else {
        return false;
    }
    return true;
}

bool ContourLogBoxProc(ProgDisplay& d, ui::Dialog& dialog, ui::DialogEvent event,
                       const ui::DialogArgs& args) {
    switch (event) {
    case ui::DialogEvent::init: {
        // Preset factor from the data range: 1.19 below a decade, 1.41 from two decades up.
        const int choice = d.data_min * 10.0f > d.data_max     ? 0
                           : d.data_min * 100.0f <= d.data_max ? 2
                                                               : 1;
        d.log_factor_choice = log_factor_at_init = choice;
        dialog.check_radio(142, 146, 142 + choice);
        return true;
    }
    case ui::DialogEvent::first_paint: {
        const float hi = d.data_max, lo = std::fabs(d.data_min), first = d.first_contour_value;
        dialog.set_text(140, formatted(hi > 1.0f   ? "Maximum value is %.1f"
                                       : hi > 0.1f ? "Maximum value is %.2f"
                                                   : "Maximum value is %.4f",
                                       hi));
        dialog.set_text(141, formatted(lo > 1.0f     ? "Minimum value is %.1f"
                                       : lo > 0.1f   ? "Minimum value is %.2f"
                                       : lo > 0.001f ? "Minimum value is %.4f"
                                                     : "Minimum value is %.1e",
                                       d.data_min));
        dialog.set_text(147, model::field_text(first > 1.0f   ? "%.1f"
                                               : first > 0.1f ? "%.2f"
                                                              : "%.4f",
                                               first));
        return true;
    }
    case ui::DialogEvent::command:
        if (dialog.take_radio(142, 146, args.id, d.log_factor_choice)) return true;
        if (args.id == 148) {
            d.log_factor_choice = 4;
            dialog.check_radio(142, 146, 146);
            return true;
        }
        if (args.id == ui::id_ok) {
            model::FieldReader fields(dialog);
            float first = d.first_contour_value, factor = d.contour_step;
            fields.read(NumberField(147, "the minimum contour value").within(model::at_least(0)),
                        first);
            // The factor field counts only when the user-defined factor is chosen.
            if (d.log_factor_choice == 4)
                fields.read(NumberField(148, "the contour increase factor")
                                .within(model::from_to(1.05, 2.5)),
                            factor);
            if (!fields.ok()) return true;
            d.first_contour_value = first;
            d.contour_step = factor;
        }
        if (args.id == ui::id_cancel) d.log_factor_choice = log_factor_at_init;
        return display::end_on_ok_or_cancel(dialog, args.id);
    default:
        return false;
    }
}

bool ContourLinearBoxProc(ProgDisplay& d, ui::Dialog& dialog, ui::DialogEvent event,
                          const ui::DialogArgs& args) {
    if (event == ui::DialogEvent::first_paint) {
        const float hi = std::fabs(d.data_max), lo = std::fabs(d.data_min);
        dialog.set_text(
            150,
            formatted(hi < 1.0f ? "Maximum value is %.3f" : "Maximum value is %.1f", d.data_max));
        dialog.set_text(151, formatted(lo < 0.01f  ? "Minimum value is %.5f"
                                       : lo < 1.0f ? "Minimum value is %.3f"
                                                   : "Minimum value is %.1f",
                                       d.data_min));
        dialog.set_text(152, "");
        dialog.set_text(153, "");
        return true;
    }
    if (event != ui::DialogEvent::command) return event == ui::DialogEvent::init;
    if (args.id == ui::id_ok) {
        model::FieldReader fields(dialog);
        float first = 0.0f, step = 0.0f;
        fields.read(NumberField(152, "the minimum contour value"), first);
        fields.read(NumberField(153, "the contour spacing value").within(model::above(0)), step);
        if (!fields.ok()) return true;
        d.first_contour_value = first;
        d.contour_step = step;
    }
    return display::end_on_ok_or_cancel(dialog, args.id);
}

bool UdfDiaBoxProc(ProgDisplay& d, ui::Dialog& dialog, ui::DialogEvent event,
                   const ui::DialogArgs& args) {
    const int fields = set_ncontours(d.level_scheme);
    switch (event) {
    case ui::DialogEvent::init:
        udf_field = 0;
        return true;
    case ui::DialogEvent::first_paint:
        dialog.set_text(189, formatted("%.2f", d.data_min));
        dialog.set_text(190, formatted("%.2f", d.data_max));
        return true;
    case ui::DialogEvent::command:
        if (args.id == ui::id_ok) {
            udf_field = (udf_field + 1) % fields;
        } else if (args.id == ui::id_cancel) {
            udf_field = (udf_field + fields - 1) % fields;
        } else if (args.id >= 171 && args.id < 171 + fields) {
            udf_field = args.id - 171;
        } else if (args.id == 187) {
            // An empty field is 0 (two of them are refused as equal values afterwards).
            float values[max_contour_levels] = {};
            model::FieldReader typed(dialog);
            for (int k = 0; k < fields; ++k)
                typed.read(
                    NumberField(171 + k, "contour value " + std::to_string(k + 1)).optional(),
                    values[k]);
            if (!typed.ok()) return true;
            std::copy(values, values + fields, d.user_contour_values);
            display::end_dialog(dialog, true);
        } else if (args.id == 188) {
            display::end_dialog(dialog, false);
        } else {
            return false;
        }
        return true;
    default:
        return false;
    }
}

namespace {

// The list of levels and the question whether to keep them; 1 keep, 2 cancel, 0 ask again.
int confirm_levels(const ProgDisplay& d, int n, const float* levels, float data_min, float range) {
    std::string text = "You have choosen the following boundary values :-\n"
                       "Boundary    Resistivity value\n";
    for (int k = 0; k < n; ++k) {
        char line[96];
        std::snprintf(line, sizeof line, "%6d  %10.4f\n", k + 1, double(levels[k]));
        text += line;
    }
    if (levels[n - 1] - data_min < 0.25f * range && d.client_height > 540) {
        ::beep();
        text += "\nWarning! The maximum contour value is less than\n"
                "one-quarter within the range between the largest\n"
                "and smallest resistivity values. In some cases,\n"
                "this could cause problems in plotting the section.\n";
    }
    text += "\nIf you wish to use the above boundary values, click Yes.\n"
            "If you wish to change the above boundary values, click No.";
    const unsigned yes_no = ui::mb_yesno | ui::mb_iconquestion;
    if (display::ask(text, "Retain Contour Values", yes_no) != ui::id_no) return 1;
    return display::ask("Do you want to choose the new contour values?",
                        "Choose New Contour Values", yes_no) == ui::id_yes
               ? 0
               : 2;
}

// Levels from a typed minimum and factor (mode 4) or spacing; returns 1, or 2 on Cancel.
int user_levels(ProgDisplay& d, int n, float* levels, int mode, float data_min, float range) {
    int result = 1;
    if (mode == 4) {
        d.first_contour_value = data_min < 0.001f ? 0.001f : data_min;
        if (ui::run_dialog(ContourLogBox, contour_dialog(d, ContourLogBoxProc)) != 1) result = 2;
        if (d.first_contour_value == 0.0f)
            d.first_contour_value = data_min < 0.001f ? 0.001f : data_min;
        static const float factors[4] = {std::pow(2.0f, 0.25f), std::pow(2.0f, 0.33333f),
                                         std::sqrt(2.0f), 2.0f};
        float factor = d.contour_step < 1.05f  ? 1.05f
                       : d.contour_step > 2.5f ? 2.5f
                                               : d.contour_step;
        if (d.log_factor_choice >= 0 && d.log_factor_choice < 4)
            factor = factors[d.log_factor_choice];
        d.contour_step = factor;
        levels[0] = d.first_contour_value;
        for (int k = 1; k < n; ++k)
            levels[k] = levels[k - 1] * factor;
    } else {
        if (ui::run_dialog(ContourLinearBox, contour_dialog(d, ContourLinearBoxProc)) != 1)
            result = 2;
        if (d.contour_step <= 0.0f) d.contour_step = range / float(n);
        levels[0] = d.first_contour_value;
        for (int k = 1; k < n; ++k)
            levels[k] = levels[k - 1] + d.contour_step;
    }
    return result;
}

} // namespace

int choose_contours(ProgDisplay& d, int n, float* levels, int mode, float data_max,
                    float data_min) {
    if (n < 1) return 2;
    if (n > max_contour_levels) n = max_contour_levels;
    if (data_max < data_min) std::swap(data_max, data_min);
    if (data_max == data_min) data_max = data_min + 100.0f;
    d.data_min = data_min;
    d.data_max = data_max;
    const float range = data_max - data_min;

    // Logarithmic spacing needs positive data.
    if (mode == 2 && data_min > 0.0f) {
        const float factor = std::pow(data_max / data_min, 1.0f / float(n + 1));
        levels[0] = data_min * std::sqrt(factor);
        for (int k = 1; k < n; ++k)
            levels[k] = levels[k - 1] * factor;
        return 1;
    }
    if (mode == 1 || mode == 2) {
        d.contour_step = range / float(n);
        levels[0] = data_min + 0.5f * d.contour_step;
        for (int k = 1; k < n; ++k)
            levels[k] = levels[k - 1] + d.contour_step;
        return 1;
    }
    for (;;) {
        if (user_levels(d, n, levels, mode, data_min, range) != 1) return 2;
        const int answer = confirm_levels(d, n, levels, data_min, range);
        if (answer != 0) return answer;
    }
}

int read_contour_values_file(const char* path, float* levels) {
    std::vector<char> bytes;
    if (!sys::read_whole_file(path, bytes)) return 0;
    const auto file_error = [] {
        ::beep();
        display::ask("There is an error in the file with the contour values!\n", "Error Message",
                     ui::mb_ok | ui::mb_iconquestion);
        return 0;
    };
    if (bytes.size() <= 50 || bytes.size() >= 2000) return file_error();
    const char* buffer = bytes.data();
    const std::int32_t length = static_cast<std::int32_t>(bytes.size());
    // A number starts at a digit, a sign or a point; without one ahead the list is short.
    const auto number_ahead = [&](std::int32_t from) {
        for (std::int32_t p = from; p < length; ++p)
            if (std::strchr("0123456789+-.", buffer[p]) && buffer[p] != '\0') return true;
        return false;
    };
    std::int32_t cursor = 0;
    if (!number_ahead(cursor)) return file_error();
    const std::int32_t count = read_buffer_int(buffer, cursor, length);
    if (count < 1) return file_error();
    // Bands beyond the colour scale would take the drawing tools' colours (white, black).
    if (count > most_scale_levels) {
        ::beep();
        char text[256];
        std::snprintf(text, sizeof text,
                      "The file gives %d contour values, but the colour scale shows at most "
                      "%d.\nPlease use a file with %d contour values or fewer.",
                      count, most_scale_levels, most_scale_levels);
        display::ask(text, "Error Message", ui::mb_ok | ui::mb_iconexclamation);
        return 0;
    }
    float values[max_contour_levels];
    for (int k = 0; k < count; ++k) {
        if (!number_ahead(cursor)) return file_error();
        // A level beyond the float range would be an infinite band edge.
        const double v = read_buffer_real(buffer, cursor, length);
        if (!(std::fabs(v) <= double(FLT_MAX))) return file_error();
        values[k] = static_cast<float>(v);
    }
    if (!sort_distinct(values, count)) {
        ::beep();
        display::ask("At least two of the contours have the same value!\n"
                     "Error in format for file with contour values.",
                     "Error message", ui::mb_ok | ui::mb_iconquestion);
        return 0;
    }
    std::memcpy(levels, values, sizeof(float) * std::size_t(count));
    return count;
}

namespace {

// Choice 5: the typed values, sorted; 0 cancelled, -1 choose again, else n.
int typed_levels(ProgDisplay& d, int n, float* levels, int scheme, float data_min, float data_max) {
    d.data_min = data_min;
    d.data_max = data_max;
    const ui::DialogTemplate& box = scheme == 2 ? UdfBWDiaBox : UdfDiaBox;
    if (ui::run_dialog(box, contour_dialog(d, UdfDiaBoxProc)) != 1) return 0;
    float values[max_contour_levels];
    std::memcpy(values, d.user_contour_values, sizeof(float) * std::size_t(n));
    if (!sort_distinct(values, n)) {
        ::beep();
        return display::ask("At least two of the contours have the same value!\n"
                            "Do you want to select the contour intervals again?",
                            "Select contour intervals again",
                            ui::mb_yesno | ui::mb_iconquestion) == ui::id_yes
                   ? -1
                   : 0;
    }
    std::memcpy(d.user_contour_values, values, sizeof(float) * std::size_t(n));
    std::memcpy(levels, values, sizeof(float) * std::size_t(n));
    return n;
}

// Choice 6: a contour-values file from the program folder; -1 choose again.
int file_levels(SystemSettings& s, float* levels, int scheme) {
    make_path(s.program_dir, scheme == 1 || scheme == 4 ? "*.val" : "*.vbw", s.file_name,
              sizeof s.file_name);
    model::copy_text(s.file_title, sizeof s.file_title, "Read contour values file");
    if (!open_file_dialog(s.file_name, s.file_title, s.initial_dir)) {
        ::beep();
        return display::ask("I cannot find the file with the contour values!\n"
                            "Do you want to select the contour intervals again?",
                            "Select contour intervals again",
                            ui::mb_yesno | ui::mb_iconquestion) == ui::id_yes
                   ? -1
                   : 0;
    }
    return read_contour_values_file(s.file_name, levels);
}

} // namespace

namespace {

// The levels each select_contours of the last display chose, in call order, and the next one a
// replay hands out (-1: no replay runs).
std::vector<std::vector<float>> chosen_levels;
int replay_next = -1;
bool new_display = false; // the next choice starts the list of a new display

int ask_contours(ProgDisplay& d, SystemSettings& system, float data_min, float data_max,
                 float* levels, int level_scheme) {
    for (;;) {
        d.contour_dialog_result =
            data_min > 0.0f
                ? ui::run_dialog(ContourChoiceBox, contour_dialog(d, ContourChoiceBoxProc))
                : ui::run_dialog(ContourNegBox, contour_dialog(d, ContourNegBoxProc));
        if (d.contour_dialog_result != 1) return 0;
        if (data_min <= 0.0f && (d.contour_choice == 2 || d.contour_choice == 4))
            d.contour_choice = 1;
        const int n = set_ncontours(level_scheme);
        int result = 0;
        switch (d.contour_choice) {
        case 1:
        case 2:
        case 3:
        case 4:
            return choose_contours(d, n, levels, d.contour_choice, data_max, data_min) == 2 ? 0 : n;
        case 5:
            result = typed_levels(d, n, levels, level_scheme, data_min, data_max);
            break;
        default:
            result = file_levels(system, levels, level_scheme);
            break;
        }
        if (result >= 0) return result;
    }
}

} // namespace

ContourReplay::ContourReplay() {
    replay_next = 0;
}

ContourReplay::~ContourReplay() {
    replay_next = -1;
}

bool contour_replay_running() {
    return replay_next >= 0;
}

void forget_contour_choices() {
    if (replay_next < 0) new_display = true;
}

int select_contours(ProgDisplay& d, SystemSettings& system, float data_min, float data_max,
                    float* levels, int level_scheme) {
    if (replay_next >= 0) {
        if (std::size_t(replay_next) < chosen_levels.size()) {
            const std::vector<float>& kept = chosen_levels[std::size_t(replay_next++)];
            std::copy(kept.begin(), kept.end(), levels);
            return int(kept.size());
        }
        const int n = set_ncontours(level_scheme);
        return choose_contours(d, n, levels, data_min > 0.0f ? 2 : 1, data_max, data_min) == 2 ? 0
                                                                                               : n;
    }
    const int n = ask_contours(d, system, data_min, data_max, levels, level_scheme);
    // A later choice cancelled is kept as none, so that a replay leaves out the same pages.
    if (n > 0 || !new_display) {
        if (new_display) chosen_levels.clear();
        new_display = false;
        chosen_levels.emplace_back(levels, levels + std::max(0, n));
    }
    return n;
}

// The model and array option commands.
#include "shell/model_commands.h"

#include "forward/apparent.h"
#include "forward/commands.h"
#include "model/array_type.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "platform/ui/ui.h"
#include "shell/dispatch.h"
#include "shell/model_dialogs.h"
#include "shell/option_dialogs.h"

#include <cstdio>
#include <string>

namespace shell {

namespace {

// The boxes of these commands: the exclamation icon, no beep.
void tell(const char* text) {
    model::ask_message(text, "Message", ui::mb_ok | ui::mb_iconexclamation);
}

const char* const read_first = "Sorry, you must first read in a model file.";

// The offset pole-dipole and the equatorial dipole-dipole need potentials of their own line.
bool needs_new_potentials(int file_type, int new_type) {
    return (file_type == 10 && new_type == 8) || (file_type == 8 && new_type == 10);
}

} // namespace

int change_array_type(ProgDisplay& display, ModelSettings& s) {
    erase_window();
    ui::set_cursor(ui::Cursor::arrow);
    display.model_displayed = 0;
    if (s.datum_array_type != 0) {
        tell("Sorry, your data set contains field data.\nYou cannot change the array type.\nIf "
             "you want to see what the pseudosection\nlooks like with other arrays, create a "
             "new\nmodel file without the measured apparent\nresistivity values.");
        return 112;
    }
    display.editmode = 0;
    const int previous = s.array_type;
    // Cancel puts back what the dialog showed: the model and its data stay as they were.
    if (ui::run_dialog(ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc) != 1) return 112;
    // The block sensitivities belong to the data of the array before; a plot of them would be
    // taken for the new array's.
    s.sens_values_ready = 0;
    calappmod(s, Proglim, Potentialtables, 1, &previous);
    if (needs_new_potentials(s.array_type_model, s.array_type)) {
        s.ndata = 0;
        s.pot_values_present = 0;
        s.data_ready = 0;
    }
    return 112;
}

int add_model_resistivity(ModelSettings& s) {
    erase_window();
    ui::set_cursor(ui::Cursor::arrow);
    const int most = Proglim.max_resistivity_values;
    if (s.nresis > 0 && s.nresis < most) {
        ui::run_dialog(AddNewModResDiaBox, AddNewModResDiaBoxProc);
    } else if (s.nresis >= most) {
        char text[96];
        std::snprintf(text, sizeof text, "Sorry, you already have\n%d model resistivity values.",
                      s.nresis);
        tell(text);
    } else {
        tell(read_first);
    }
    return 300;
}

int model_depth_command(ModelSettings& s) {
    erase_window();
    ui::set_cursor(ui::Cursor::arrow);
    if (s.nresis <= 0)
        tell(read_first);
    else if (s.cylinder_model)
        tell("The depths of a cylinder model are the radii of its rings;\nthey cannot be changed "
             "here.");
    else
        ui::run_dialog(ModDepthDiaBox, ModDepthDiaBoxProc);
    return 400;
}

int geom_factor_command(ProgDisplay& display, ModelSettings& s) {
    forward::command_frame(display);
    // Cancel puts the factor back: the values stay as they were. Without potentials of this
    // model there is nothing to form the values from; a cylinder model's values come from its
    // own path.
    if (ui::run_dialog(GeomDiaBox, GeomDiaBoxProc) != 1) return 123;
    if (s.pot_values_present != 1 || s.cylinder_model) return 123;
    if (s.ntau > 0)
        s.ndata = calappres_ip(s, Proglim, Potentialtables, &ui::window_canvas());
    else
        calappres_arrays(s, Proglim);
    s.data_ready = 1;
    return 123;
}

int normalise_command(ProgDisplay& display, ModelSettings& s) {
    forward::command_frame(display);
    std::string text = "One possible way to reduce the errors\nin the calculated potential values "
                       "is\nto normalise them with the values for a\nhomogeneous earth model. Do "
                       "you want to\ncarry out this normalisation?\n\n";
    text += s.normalise ? "The present choice is to use normalisation."
                        : "The present choice is no normalisation.";
    text += "\n\nClick Yes to normalise, No for no normalisation\n";
    const int answer =
        model::ask_message(text.c_str(), "Normalisation", ui::mb_yesno | ui::mb_iconquestion);
    s.normalise = answer == ui::id_yes ? 1 : 0;
    // Line and finite electrodes have no homogeneous-earth potentials to divide by.
    if (s.electrode_type != 0) s.normalise = 0;
    display.model_displayed = 1;
    return 120;
}

int extend_depth_command() {
    dialog_pattern_a([] { return ui::run_dialog(ExtendDepthDiaBox, ExtendDepthDiaBoxProc); });
    return 550;
}

} // namespace shell

// The save commands: the model file with results and the data file for the inversion program.
#include "forward/commands.h"
#include "forward/datafile.h"
#include "forward/noise.h"

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <string>

namespace {

forward::SaveOutcome last_outcome = forward::SaveOutcome::none;

// Without a model there is nothing to save. The data file (mode 1) also needs calculated
// values of the model as it is: without them it would hand on stale or empty values as data.
// The model file (mode 0) can be written at any time: its writer leaves out the potentials and
// calculated values that do not exist (after an edit, the edited model is written without the
// results of the model before it).
bool refuse_to_save(const ModelSettings& s, int mode) {
    if (s.model_read != 1) {
        beep();
        model::ask_message("You must first read in a model!\nPlease use the File option to read "
                           "in a model file.",
                           "Message", ui::mb_ok | ui::mb_iconexclamation);
        return true;
    }
    if (mode != 0 && s.results_stale == 1) {
        model::show_message("The model has changed since the results were calculated.\nPlease "
                            "use the 'Calculate potential values' option again before saving "
                            "the results.",
                            "Message");
        return true;
    }
    if (mode != 0 && (s.data_ready != 1 || s.ndata <= 0)) {
        model::show_message("There are no calculated results to save.\nPlease use the "
                            "'Calculate potential values' option first.",
                            "Message");
        return true;
    }
    return false;
}

// The status line says what the save did.
void report_outcome(const ModelSettings& s, int mode, const char* path) {
    std::string text;
    switch (last_outcome) {
    case forward::SaveOutcome::written:
        text = mode == 1                   ? "Data file written: "
               : s.results_stale == 1      ? "Model file written without results (the model has "
                                             "changed since the calculation): "
               : s.pot_values_present == 1 ? "Model file with results written: "
                                           : "Model file written: ";
        text += path;
        break;
    case forward::SaveOutcome::cancelled:
        text = "Save cancelled: nothing was written.";
        break;
    case forward::SaveOutcome::failed:
        text = std::string("Nothing was saved: ") + path + " could not be written.";
        break;
    default:
        return;
    }
    set_status_line(text.c_str());
}

} // namespace

namespace forward {

SaveOutcome last_save_outcome() {
    return last_outcome;
}

void command_frame(ProgDisplay& display) {
    erase_window();
    display.editmode = 0;
    ui::set_cursor(ui::Cursor::arrow);
    display.model_displayed = 0;
}

bool ask_output_file(const char* pattern, const char* title) {
    SystemSettings& system = Systemsettings;
    sys::set_current_dir(system.initial_dir);
    model::copy_text(system.file_name, sizeof system.file_name, pattern);
    model::copy_text(system.file_title, sizeof system.file_title, title);
    return save_file_dialog(system.file_name, system.file_title, system.initial_dir) != 0;
}

} // namespace forward

int save_results_command(ProgDisplay& display, ModelSettings& s, int mode) {
    using forward::SaveOutcome;
    const int id = mode == 0 ? 102 : 103;
    s.export_array_type = s.array_type;
    // The window is blank while the dialogs run and shows what it showed again afterwards.
    const int displayed = display.model_displayed;
    forward::command_frame(display);
    if (refuse_to_save(s, mode)) {
        last_outcome = SaveOutcome::refused;
        display.model_displayed = displayed;
        return id;
    }
    SystemSettings& system = Systemsettings;
    // The data file is proposed after the model; the model file is not, so that Enter does not
    // replace the model that was read.
    char proposal[sizeof system.file_name] = "*.mod";
    if (mode == 1) model::proposed_file_name(proposal, sizeof proposal, s.namefile, ".dat");
    // Cancel in the file dialog or in a noise dialog ends the save: nothing is written.
    if (!forward::ask_output_file(proposal,
                                  mode == 1 ? "Output ORBANTEL File" : "Output VELDARIN File") ||
        (mode == 1 && ui::run_dialog(NoiseDiaBox, NoiseDiaBoxProc) != 1)) {
        last_outcome = SaveOutcome::cancelled;
    } else {
        // The writer adds no noise to multiple-gradient data: the user who chose some is told.
        if (mode == 1 && s.array_type == 15 && s.noise_level > 0.0f)
            model::show_message("Multiple gradient data are written without noise:\nthe noise "
                                "level chosen is not added to them.",
                                "Message");
        const WriterRecords records{s, Proglim, Potentialtables, system, display};
        const int result = save_inv_datafile(records, system.file_name, mode);
        last_outcome = result == save_written     ? SaveOutcome::written
                       : result == save_cancelled ? SaveOutcome::cancelled
                                                  : SaveOutcome::failed;
        if (mode == 0 && last_outcome == SaveOutcome::written) s.model_unsaved = 0;
    }
    report_outcome(s, mode, system.file_name);
    display.model_displayed = displayed;
    ui::invalidate();
    return id;
}

int save_results_orbantel(ProgDisplay& display, ModelSettings& settings) {
    save_results_command(display, settings, 1);
    return 103;
}

int save_results_veldarin(ProgDisplay& display, ModelSettings& settings) {
    save_results_command(display, settings, 0);
    return 102;
}

int save_inv_datafile_from_record(ModelSettings& settings, const SystemSettings& system,
                                  const ProgDisplay& display, int mode, const char* path) {
    const WriterRecords records{settings, Proglim, Potentialtables, system, display};
    return save_inv_datafile(records, path, mode);
}

// The model converted from 2 to 4 nodes per electrode spacing, and its command.
#include "forward/commands.h"
#include "forward/datafile.h"

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <cstdio>

int save_model_4nodes(const WriterRecords& records, const char* path) {
    const ModelSettings& s = records.settings;
    char text[1400];
    if (s.nodes_per_spacing != 2) {
        std::snprintf(text, sizeof text,
                      "The model already has %d nodes between adjacent electrodes!\n",
                      s.nodes_per_spacing);
        model::show_message(text, "Error Message");
        return save_not_available;
    }
    if (s.cylinder_model) {
        model::show_message("A cylinder model cannot be converted to 4 nodes\nbetween adjacent "
                            "electrodes.",
                            "Error Message");
        return save_not_available;
    }
    forward::warn_unsaved_blocks(s, forward::ModelMesh::four_nodes);
    if (!forward::save_text_file(path, [&] {
            return forward::model_file_text(records, forward::ModelMesh::four_nodes);
        }))
        return save_file_error;
    std::snprintf(text, sizeof text, "New model saved in file\n%s\n", path);
    model::ask_message(text, "Message", ui::mb_ok | ui::mb_iconexclamation);
    return save_written;
}

int convert_model_4nodes_command(ProgDisplay& display, ModelSettings& s) {
    forward::command_frame(display);
    sys::set_current_dir(Systemsettings.initial_dir);
    if (s.model_read != 1) {
        model::show_message("You must first read in a model!\nPlease use the File option to read "
                            "in a model file.",
                            "Message");
    } else if (forward::ask_output_file("*.mod", "Output VELDARIN File")) {
        const WriterRecords records{s, Proglim, Potentialtables, Systemsettings, display};
        save_model_4nodes(records, Systemsettings.file_name);
    }
    ui::invalidate();
    return 5330;
}

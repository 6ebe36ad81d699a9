// The dialogs that change the model's values: a new resistivity (and chargeability) value and
// the depths of the layers.
#pragma once

#include "platform/ui/ui.h"

class ModelSettings;

/// "Add new model resistivity": statics 301 ("Your model has %d resistivity values.") and 303
/// ("Your model has %d I.P. values."), edits 302 (resistivity) and 304 (chargeability in mV/V),
/// OK and Cancel; the focus starts in 302, and 304 takes no entry unless the model has IP values
/// and room for one more. OK (dialog_result 1, result 1): a resistivity from 0.01 to 1000000 is
/// added while nresis is below ProgLim::max_resistivity_values; then, for a model that takes
/// one, a chargeability 0 < m < 1000 mV/V is added as m / 1000 (shell::add_model_value). A
/// blank field adds nothing; any other entry that is no value of its
/// range is refused with its box, nothing is added and the dialog stays open. Cancel:
/// dialog_result 2, result 0, nothing added.
extern const ui::DialogTemplate AddNewModResDiaBox;
bool AddNewModResDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Modify depth of layers": rows 1 to 40, each with the present depth (static 500 + row) and
/// the new one (edit 400 + row), OK 187 and Cancel 188. Rows below Z = ModelSettings::nz_nodes
/// show depth_lines[row] x unit_spacing ("%.3f" below 1, "%.2f" below 10, else "%.1f"), the
/// others "None"; the focus starts in row 1. The Enter and Esc keys (commands 1 and 2) move the
/// focus to the next and the previous row, wrapping over the min(Z - 1, 40) rows. OK takes every
/// row with text as its new depth in metres; rows left empty keep theirs. A first depth not
/// above 0, or a depth that is no number or not below the next one, is refused with the box of
/// its row (model::FieldReader) and the dialog stays open with nothing changed. Otherwise
/// depth_lines and node_row_dz (the row thicknesses) take the new depths, pot_values_present and
/// data_ready become 0 (the potentials belong to the old depths) and, when a depth changed,
/// every other result of the earlier calculation goes too (model::model_edited: the apparent
/// values and the sensitivities), dialog_result 1, result 1.
/// Cancel: dialog_result 2, result 0. depth_lines_saved holds the depths being edited.
extern const ui::DialogTemplate ModDepthDiaBox;
bool ModDepthDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

namespace shell {

/// Adds `value` to the resistivity values (chargeability false) or the chargeability values
/// (true) of the model. A model with water keeps its water values last (the reader appends
/// them and the model writers leave them out): the new value goes in front of them and the
/// codes of the cells that hold water values grow by one, so the water stays water and the new
/// value is the last of the model's own. The caller checks the room (ProgLim::
/// max_resistivity_values).
void add_model_value(ModelSettings& settings, float value, bool chargeability);

} // namespace shell

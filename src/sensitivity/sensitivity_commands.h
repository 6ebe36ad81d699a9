// The block-sensitivity commands and their dialogs: the option that makes the next forward run
// keep the node potentials (with the resolution switch and damping), the calculation with its
// offers to save the table and show the plot, and the choice of the plotted quantity.
#pragma once

#include "model/model_settings.h"
#include "platform/ui/ui.h"

#include <functional>

/// "Calculate potentials for sensitivity values": radios 5281/5282 (jacob), 5283/5284
/// (calc_resolution), edit 5285 (res_damping, "%.5f"), OK, Cancel.
extern const ui::DialogTemplate JacobCalDiaBox;
/// "Type of sensitivity values to plot": radios 5291..5294 (sens_type 0..3), OK, Cancel.
extern const ui::DialogTemplate SensTypeDiaBox;

/// Procedure of JacobCalDiaBox over the global Modelsettings. OK with jacob = 1 sets fem = 1 and
/// sparsefem = 0, and reads the damping, from 0.000001 to 0.1 (an entry that is no such number
/// is refused and the dialog stays open); Cancel puts back the switches as
/// they were at the opening (the damping never changes then). Radios 5286/5287 (extend_side_blocks)
/// are handled though the template has none.
bool JacobCalDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);
/// Procedure of SensTypeDiaBox: each radio sets sens_type; Cancel puts back the opening value.
bool SensTypeDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// Command 5280: view code 5280, the window erased, JacobCalDiaBox.
void run_jacobcal_dialog(int& view_code);

/// Whether the node potentials of the block sensitivities are there for the model as it stands,
/// else the box (caption "Message") that says what to run first: no data ("You need to select a
/// model and\ncalculate the potentials."), a cylinder model, the sensitivity option not chosen,
/// the model changed since the potentials were calculated (results_stale), a model whose
/// calculation never keeps them (boreholes, the non-linear IP model), or potentials calculated
/// without the option (or by a run that did not finish).
bool sensitivity_potentials_ready(const ModelSettings& model);
/// Whether the apparent values of the datum list were formed from those potentials
/// (data_ready), which the block sensitivities are normalised by; else the box that asks for a
/// new calculation (a data list wider than the potentials' mesh reaches).
bool sensitivity_data_ready(const ModelSettings& model);

/// What the sensitivity commands need from the callers above them.
struct SensitivityHooks {
    /// Rebuilds the datum list, geometric factors and apparent values of the current array type
    /// after ArrayTypeDiaBox2 accepted it (without messages); the argument is the array type the
    /// dialog opened with.
    std::function<void(int)> rebuild_data;
};

/// Command 5270: view code 5270; sensitivity_potentials_ready; ArrayTypeDiaBox2, and on OK the
/// data rebuilt for the new array; sensitivity_data_ready (data the potentials do not reach end
/// the command); calculate_sensitivity_resolution with the status window shown;
/// then the offers to save the table (file dialog "*.xyz") and to display the plot
/// (SensTypeDiaBox, then sensitivity_plot whatever it returned).
void sensitivity_command(int& view_code, ModelSettings& model, const SensitivityHooks& hooks);
/// The same without the array dialog, view code 5271.
void sensitivity_command_no_array_dialog(int& view_code, ModelSettings& model,
                                         const SensitivityHooks& hooks);
/// Command 5290: view code 5290; needs data and a finished sensitivity run of the model as it
/// stands (after a change of the model the box says to calculate again); SensTypeDiaBox,
/// then sensitivity_plot.
void display_sensitivity_command(int& view_code, ModelSettings& model,
                                 const SensitivityHooks& hooks);

// The commands of the forward-modelling run: read a model file, calculate the potentials and
// apparent values, recompute the apparent values of another array, and save the results. Each
// takes the records it works on as parameters (the command table passes the globals; the read
// and save commands still reach Proglim, Potentialtables and Systemsettings themselves) and
// returns the command identifier the main window stores.
#pragma once

#include "model/records_fwd.h"
#include "model/solver_io.h"

/// "&Read file with forward model" (101). Asks for a "*.mod" file in SystemSettings::
/// initial_dir (Cancel changes nothing), reads it with readmodel_2D (summary drawn in the
/// window) and sets the model up: cell conductivities, colour indices, plot layout, data-level
/// limits (nlev = n_a_spacings = nelec / 3, n_n_values = min(nelec / 2, 8)), electrode node
/// columns and positions, borehole columns and rows, and, when the file holds potentials, the
/// datum list and apparent values (data_ready 1). A model without potentials has no calculated
/// data (data_ready 0), whatever the model before it had. Then the window title (version text
/// " - " path), the folder and pattern of the next dialog, and "Completed reading of data
/// file\n%s." ("File read"). The method starts from the user's own (fem = fem_chosen, sparsefem
/// 0): what the model before forced does not carry over. The view offsets (ProgDisplay::
/// scroll_x, scroll_y) go to 0: a new model is shown from its top left. A failed read (the
/// reader showed its message) puts the record back as it was before the file was chosen: the
/// model that was loaded stays, with its results and its method. Returns 101.
int read_model_command(ProgDisplay& display, ModelSettings& settings);

/// "&Calculate potential values" (130). Forces finite elements for topography, water,
/// boreholes, time constants, line electrodes or a Jacobian request (for this model: the next
/// model read starts from the user's choice again); refuses without a model ("You must first
/// read in a model!...") and, with a message, the model kinds whose solvers this program does
/// not have (the non-linear complex IP model, spectral IP values). A cylinder or convex-section
/// model takes its own path (forward::calculate_cylinder_model). Draws the model sections; when
/// the datum list is the model file's own, the resistivity section prints the misfit of the
/// file's measured apparent resistivities against the values calculated for them before this
/// run ("RMS error %.2f%%", 100 x the root mean square of ln(measured / calculated), when every
/// value is above 0), and the plotting positions are made anew (calc_plot_points). Runs the
/// resistivity pass and, with IP values, the IP pass with the solver the settings choose (finite
/// differences: "Modified 9-point" fd_type 2, "Dey & Morrison original" fd_type 0, otherwise
/// "Modified 5-point"; finite elements: quadrilateral fem_variant, sparse sparsefem, otherwise
/// band), stopping at the first pass that fails; with normalise = 1 the homogeneous-earth
/// normalisation; then the apparent values of the file's datum list (same array type) or of a
/// new list from calc_datum_points. Only then pot_values_present and data_ready become 1 and
/// "Calculations completed.\nTime taken was %.2f seconds." is shown, and the status line names
/// the method ("Calculated by finite elements: the model has topography."); a failure or a user
/// break
/// ends with its own message and leaves data_ready 0. The pair tables go to `settings` and
/// `potentials`, sized by `limits`. Returns 130.
int start_calculations(ProgDisplay& display, ModelSettings& settings, const ProgLim& limits,
                       Potentials& potentials);

/// Homogeneous-earth normalisation of the four pair tables: the chain's solver (FD: the
/// "Modified 5-point" one) runs on unit conductivities into Potentials tables 10 and 11, and
/// every pair is scaled by the exact half-space potential over that one. Returns ok, the
/// solver's result when its run failed (nothing is scaled then), or bad_result after the
/// message "The normalisation run gave no potential ..." when a homogeneous potential needed
/// as a divisor is 0 or not finite (nothing is scaled).
model::SolverResult normalise_potentials(ModelSettings& settings, const ProgLim& limits,
                                         Potentials& potentials);

/// Apparent values of the current array type from the potentials already calculated, after the
/// array type or the datum set changed: rebuilds the datum list (calc_datum_points) and forms
/// the values when pot_values_present is 1 (with show_message 1: "The new apparent resistivity
/// values with %d data points ..."); otherwise only rebuilds the list, sets data_ready 0 and,
/// with show_message 1, advises recalculation. Cylinder models take forward::
/// cylinder_calappmod (no message; array_type_copy unchanged); otherwise array_type_copy
/// follows array_type.
void calappmod(ModelSettings& settings, const ProgLim& limits, Potentials& potentials,
               int show_message, const int* previous_array_type);

/// "&Save results in VELDARIN format" (mode 0, 102) and "Save results in &ORBANTEL format"
/// (mode 1, 103). Refuses without a model, and mode 1 also without calculated results (a
/// message, no dialog, no file); the model file of a model not calculated has no potentials and
/// only the data the model file gave. Otherwise asks for the file ("*.mod" / "Output VELDARIN File"
/// or "*.dat" / "Output ORBANTEL File"); mode 1 then opens NoiseDiaBox; then save_inv_datafile
/// writes the model file with results (mode 0) or the data file (mode 1). Returns 102 or 103.
int save_results_command(ProgDisplay& display, ModelSettings& settings, int mode);

/// save_results_command with mode 1 and with mode 0, returning 103 and 102; no command calls
/// them.
int save_results_orbantel(ProgDisplay& display, ModelSettings& settings);
int save_results_veldarin(ProgDisplay& display, ModelSettings& settings);

/// "&Convert from 2 to 4 nodes" (5330). Without a model: the beep and "You must first read in a
/// model!\nPlease use the File option to read in a model file." ("Message"). Otherwise asks for
/// the file ("*.mod", "Output VELDARIN File", in SystemSettings::initial_dir; Cancel writes
/// nothing) and writes the model with 4 nodes per spacing there (save_model_4nodes, which
/// refuses a model of another node count). Returns 5330.
int convert_model_4nodes_command(ProgDisplay& display, ModelSettings& settings);

namespace forward {

/// The frame of the commands that open a dialog over the window: clears the window, leaves edit
/// mode, shows the arrow cursor and hides the canvas (ProgDisplay::model_displayed 0).
void command_frame(ProgDisplay& display);

/// Asks for an output file in the save dialog, starting in SystemSettings::initial_dir (made the
/// current folder) with the default `pattern` and the caption `title`. True when a file was
/// chosen; its path is then in SystemSettings::file_name.
bool ask_output_file(const char* pattern, const char* title);

/// What the last save_results_command did (for the batch run).
enum class SaveOutcome { none, refused, cancelled, failed, written };
SaveOutcome last_save_outcome();

/// Electrode positions of the driver tables (ModelSettings::driver_elec_2 x and driver_elec_3
/// z): surface electrode j at (j, 0), then the electrodes of each borehole at the x of its
/// surface electrode and their depths; nelec_total, the borehole node columns
/// (borehole_column) and first node rows (borehole_first_row). `boreholes` says whether the
/// borehole part runs.
void set_electrode_positions(ModelSettings& settings, bool boreholes);

} // namespace forward

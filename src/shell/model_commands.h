// The menu commands that change the model's array type, resistivity values and layer depths,
// the geometric factor of underwater surveys, the normalisation switch and the automatic depth
// extension. Each clears the window, runs its dialog or message to its end and returns its
// command id.
#pragma once

#include "model/records_fwd.h"

namespace shell {

/// "Change &array type" (112). A model with measured data (datum_array_type not 0) refuses:
/// "Sorry, your data set contains field data.\n..." ("Message"), nothing changes. Otherwise
/// ArrayTypeDiaBox2, then, after OK, the apparent values of the array (calappmod with its
/// message) and the block sensitivities of the array before gone (sens_values_ready 0); Cancel
/// leaves the model and its data as they were. Between the offset pole-dipole
/// (10) and the equatorial
/// dipole-dipole (8), either way from the file's own array type (array_type_model), the
/// potentials do not serve: ndata, pot_values_present and data_ready become 0. Leaves the canvas
/// hidden (model_displayed 0) and edit mode off. Returns 112.
int change_array_type(ProgDisplay& display, ModelSettings& settings);

/// "Add &new model resistivity" (300): AddNewModResDiaBox while 0 < nresis <
/// ProgLim::max_resistivity_values; "Sorry, you already have\n%d model resistivity values."
/// at the limit; "Sorry, you must first read in a model file." without values ("Message").
/// Returns 300.
int add_model_resistivity(ModelSettings& settings);

/// "Change depth to layers" (400): ModDepthDiaBox for a block model with resistivity values;
/// "Sorry, you must first read in a model file." without them, "The depths of a cylinder model
/// are the radii of its rings;\nthey cannot be changed here." for a cylinder model ("Message").
/// Returns 400.
int model_depth_command(ModelSettings& settings);

/// "&Geometric factor for underwater surveys" (123): GeomDiaBox, then, after OK (Cancel changes
/// nothing) and only when the potentials belong to the model (pot_values_present 1) of a model
/// that is no
/// cylinder, the apparent values of the datum list anew (calappres_arrays; calappres_ip for a
/// spectral IP model) and data_ready 1. Edit mode off, canvas hidden. Returns 123.
int geom_factor_command(ProgDisplay& display, ModelSettings& settings);

/// Command 120 (no menu item): asks in a Yes/No box ("Normalisation") whether the potentials
/// are normalised with those of a homogeneous earth, naming the present choice; Yes sets
/// normalise 1, No 0; line or finite electrodes (electrode_type not 0) leave it 0 whatever the
/// answer. Returns 120.
int normalise_command(ProgDisplay& display, ModelSettings& settings);

/// "Automatically extend model depth range" (550): the window cleared, the arrow cursor,
/// ExtendDepthDiaBox. Returns 550.
int extend_depth_command();

} // namespace shell

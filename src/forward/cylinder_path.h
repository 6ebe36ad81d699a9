// The calculation path of cylinder and convex-section models and their apparent values after an
// array change.
#pragma once

#include "model/records_fwd.h"
#include "model/solver_io.h"

#include <optional>

namespace forward {

/// The calculation of a cylinder model (the driver has checked that a model is read and cleared
/// data_ready). Refuses, with its message and nothing changed, an array other than Wenner
/// alpha, beta and gamma (1, 2, 3), dipole-dipole (5) and Wenner-Schlumberger (7) ("This array
/// is not supported for a cylindrical symmetry") and radii that do not decrease to an innermost
/// radius above 0 ("Error in radius of grid lines!..."). Otherwise: clears jacob and
/// cyl_double_variant; forms the datum list from the present tables; sets the cell
/// conductivities, builds the polar mesh (kept in Cylindermesh for the drawing) and draws the
/// cylinder sections; runs the real solver on the resistivity conductivities into
/// potential_table_a and, with IP values, on the IP conductivities into potential_table_a_ip,
/// and with time constants too the complex solver at every frequency into Potentials tables 6
/// and 7 (blocks packed by nelec), stopping at the first pass that fails; forms the apparent
/// values with their spectra and Cole-Cole fits (spectra only after a complex pass at every
/// frequency); with normalise = 1 runs the solver on unit conductivities into Potentials table
/// 10 and divides every value by the homogeneous one (datum_gfactor), else sets datum_gfactor
/// to 1. pot_values_present is 0 from the first pass on; it and data_ready become 1 only when
/// everything succeeded. Returns the result of the passes, or nothing when it refused the model
/// (its message shown) before any pass ran.
std::optional<model::SolverResult> calculate_cylinder_model(ProgDisplay& display,
                                                            ModelSettings& settings,
                                                            const ProgLim& limits,
                                                            Potentials& potentials);

/// calappmod for a cylinder model: refuses an array the ring cannot form and potentials not
/// yet calculated ("You must first calculate the potential values"), each under "Error
/// Message" with *previous_array_type put back; otherwise rebuilds the datum list and forms the
/// apparent values from the present tables (with normalisation from Potentials table 10). No
/// closing message; array_type_copy is left as it is.
void cylinder_calappmod(ModelSettings& settings, const ProgLim& limits, Potentials& potentials,
                        const int* previous_array_type);

/// Builds the polar mesh of the cylinder model just read for the drawing and the editor
/// (Cylindermesh), or empties it when its radii give no mesh.
void keep_cylinder_mesh(const ModelSettings& settings);

} // namespace forward

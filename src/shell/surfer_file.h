// The model as a Surfer XYZ text file: the resistivity (and chargeability) of every model cell
// between the first and the last electrode.
#pragma once

#include "model/records_fwd.h"

#include <string>

namespace shell {

/// The text of the Surfer model file: the line "X-location Z-location Resistivity(Ohm.m)" (with
/// " Chargeability(mV/V)" when nip > 0), then for every cell row i = 1 .. nz_nodes - 1 (top
/// down) and column j = 1 .. (nelec - 1) x nodes_per_spacing (left to right) the line
/// "%8.3f %8.3f %10.5f" of x = unit_spacing (j - 0.5) / nodes_per_spacing from the first
/// electrode, z = the middle of the row below the top of the grid (flat: no topography is
/// added), the resistivity of the cell (column j + margin_columns - 1), and with IP values
/// " %10.5f" with its chargeability x 1000 (mV/V). Before a model is read (nelec 0) only the
/// title line.
std::string surfer_model_text(const ModelSettings& settings);

/// "Save model in &SURFER format" (105): asks for the file ("*.txt", "Output SURFER File", in
/// SystemSettings::initial_dir; Cancel writes nothing) and writes surfer_model_text whole to it;
/// a file that cannot be created or written is named in a message and left as it was. Edit
/// mode off, canvas hidden. Returns 105.
int save_model_surfer(ProgDisplay& display, ModelSettings& settings);

} // namespace shell

// The block sensitivity table: the blocks with their centre, sensitivity, resolution,
// resistivity and area, then the data with their electrode positions and apparent resistivity.
#pragma once

#include "model/model_settings.h"

/// Writes the table of the last block-sensitivity run to path ("wt"): seven columns per block
/// without resolution (calc_resolution = 0), nine with; centres in metres (x unit_spacing),
/// areas in square metres; electrode positions as stored (metres). Returns 0, or 1 after the
/// box "Error in creating sensitivity file\n%s" (caption "File opening error") when the file
/// cannot be created or written (no partial file is left), or after model::ResultValues'
/// message, with no file, when a value to write is NaN or infinite.
int write_sensitivity_file(const ModelSettings& model, const char* path);

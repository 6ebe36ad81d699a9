// 3-D sensitivity (Frechet derivative) of a four-electrode array on the surface of a
// homogeneous half-space, on a regular grid below the surface, written as Surfer files (one
// XYZ file per depth and a level file) or as a Slicer/Dicer volume (binary values and a
// metadata text).
//
// Coordinates: x along the line, y across it, z depth (positive down); the standard arrays run
// from x = 0 to x = 1, so the grid is in units of the array length.
#pragma once

#include "model/records.h"
#include "platform/ui/ui.h"
#include "sensitivity/grid_budget.h"

#include <string>
#include <vector>

/// "Choose array type": radios 1721..1729 (array_type 1..9), edits 1731..1742 (C1-X, C1-Y,
/// C1-Z, C2-X, ..., P2-Z), 1745 ('n'), 1746..1754 (X, Y, Z start, end, spacing), radios
/// 1755/1756 (output_format), 1757/1758 (data_type), OK, Cancel.
extern const ui::DialogTemplate Array3DSensDiaBox;

/// Procedure of Array3DSensDiaBox over the global Array3dsens. An array radio writes that
/// array's electrode preset into the position edits (array 9 has none), so what is shown is
/// what OK reads; OK reads the x and y edits, 'n' (from 0.05 to 30) and the grid (spacings
/// above 0, depths at least 0) and sets accepted = 1; an entry that
/// is no number of its range is refused with its box and the dialog stays open with nothing
/// stored. Cancel puts back the array type of the opening and sets accepted = 0.
bool Array3DSensDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// K (rC . rP) / (|rC|^2 |rP|^2)^(3/2) for a current pole at (cx, cy) and a potential pole at
/// (px, py) on the surface, rC and rP the vectors from them to (x, y, z), K = 0.0253303; 0 when
/// the product of the squared distances is not positive (a point on an electrode).
float sens3d_general_term(float x, float y, float z, float cx, float cy, float px, float py);
float sens3d_pole_pole(float x, float y, float z, float px, float py);
/// C1, P1, P2, C2 at 0, a, 2a, 3a.
float sens3d_wenner_alpha(float x, float y, float z, float a);
/// C1, P1, C2, P2 at 0, a, 2a, 3a.
float sens3d_wenner_gamma(float x, float y, float z, float a);
/// C2, C1, P1, P2 at 0, a, (n + 1)a, (n + 2)a.
float sens3d_dipole_dipole(float x, float y, float z, float a, float n);
/// C1, P1, P2 at 0, na, (n + 1)a.
float sens3d_pole_dipole(float x, float y, float z, float a, float n);
/// C1, P1, P2, C2 at 0, na, (n + 1)a, (2n + 1)a.
float sens3d_wenner_schlumberger(float x, float y, float z, float a, float n);

/// Copies src into dest (capacity dest_size) cut at the last '.' after the last '\' or '/',
/// then appends ext.
void strip_extension_append(char* dest, std::size_t dest_size, const char* src, const char* ext);

/// Computes the grid and, when record.accepted is 1, writes the output of record.output_format
/// beside record.output_path (its extension cut) and shows the closing message. Refuses
/// non-positive grid spacings ("The grid spacings must be positive.") and, before anything is
/// computed, a grid whose values the free memory or whose files the free disk cannot hold
/// (sens::grid_fits of sensitivity_3d_needs); reports a file that cannot be created ("Error in
/// creating file\n%s") and stops; work storage that cannot be had gives "Insufficient memory
/// for the 3-D sensitivity grid.". The computation and the writing of the level files show
/// their progress and stop at the user's break (nothing saved; the level files written so far
/// stay, and the box says how many).
void calc_3d_sensitivity(Array3DSens& record);

/// What the record's grid takes: its points, the bytes of its values (and of a level's text for
/// the Surfer output) and, with_files, the bytes of the files of output_format in the folder
/// of output_path.
sens::GridNeeds sensitivity_3d_needs(const Array3DSens& record, bool with_files);

/// The files the record's output writes for the name `chosen` (its extension cut to a stem):
/// STEM1.dat .. STEMn.dat and STEM.lvl (Surfer, n levels), or STEM.bin and STEM.txt
/// (Slicer/Dicer); with existing_only, those of them that exist now.
std::vector<std::string> sensitivity_3d_files(const Array3DSens& record, const std::string& chosen,
                                              bool existing_only);

/// Command 135: the dialog; when accepted, a grid the free memory cannot hold is refused, then
/// the save dialog ("*.txt", "3D Sensitivity File") in the initial folder takes any name, asks
/// once when files it names exist (model::save_files_dialog) and, with a name, runs
/// calc_3d_sensitivity. Returns 135.
int sensitivity_3d_command();

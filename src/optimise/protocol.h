// The files of an optimised array set: protocol files for the multi-electrode instrument (two-
// and four-cable layouts) and the array configuration file that the program's configuration
// reader takes back.
#pragma once

#include <cstdint>
#include <string>

class ModelResolution;

namespace opt {

/// Electrode number on the long cable of the four-cable layout: e below 12; 0 for 12..51 at an
/// odd offset from 11 (not on the long cable); (e - 11) / 2 + 11 for 12..51 at an even offset;
/// e - 20 above 51.
int long_cable_number(int e);

/// The report path without its extension: the part before its last "." (looked for back to
/// the last "/"; a name without one stays whole).
std::string report_stem(const char* output_name);

/// "There has been an error in creating\nthe file %s." (caption "Error Message").
void file_creation_error(const std::string& path);

/// The protocol files of `count` arrays (C1, C2, P1, P2 each) beside the stem: "_41.org",
/// "_41.up" and "_41.dwn" for the two-cable layout (1), "_S.*" and "_L.*" for the four-cable
/// layout (2), none for a standard line. Each is saved whole or not at all; one that cannot be
/// written gets the creation error and the others are still written. Returns the number of
/// files that failed.
int write_protocol_files(int cable_layout, const std::string& stem, const std::int32_t* arrays,
                         int count);

/// The array configuration file stem + "_mod.txt": title, count, unit spacing, the arrays in
/// the old coordinate layout (every electrode on the surface, at its position along the line
/// times the unit spacing), the sensitivity grid from -a to (line end + 1) a by a / 2 and from
/// 0.1 a to (N - 1) x depth ratio x a by a / 4, and the material, current and potential lines.
/// Sets ModelResolution::stem. Returns true when the file was written, else false after the
/// creation error.
bool write_optimised_config_file(ModelResolution& settings, const std::int32_t* arrays, int count);

} // namespace opt

// The potential section of one current electrode on a homogeneous half-space, as a text file of
// x, z and potential columns for a contouring program.
#pragma once

#include <string>

namespace forward {

/// The text of the section: the header "\"X-location\",\"Z-location\",\"Potential\"" and, row by
/// row (z = 0.05 .. 1.0 in steps of 0.05 outer, x = -1.0 .. 1.0 in steps of 0.05 inner), the
/// lines "%6.3f %6.3f %9.5f" of x, -z and 1 / (6.28318 r), r the distance to a unit source
/// (resistivity times current 1) at the origin: 821 lines.
std::string pot1elec_text();

} // namespace forward

/// Writes forward::pot1elec_text() whole to "pot1elec.dat" in `program_dir` (with its trailing
/// separator), replacing an earlier file. True when written; a file that cannot be created or
/// written shows "There has been an error in creating\nthe file %s." with the cause, and
/// leaves an earlier file as it was.
bool write_pot1elec(const char* program_dir);

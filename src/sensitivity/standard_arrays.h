// The 2-D sensitivity section of a standard, general or borehole array over a homogeneous
// half-space: the grid, the values, the Surfer data and post files, and the drawing with the
// median depth of investigation.
#pragma once

#include "model/records_fwd.h"
#include "sensitivity/kernels.h"

#include <string>
#include <vector>

namespace gfx {
class Canvas;
}

/// Computes the section of the array of the sensitivity block of `settings` (sens_array_type,
/// sens_n_value, sens_c1_x .. sens_p2_z, the range, spacings and scaling; nothing is written
/// back), asks for the Surfer data file ("File to save sensitivity values in SURFER format",
/// default name by array), writes it with its electrode post file, and draws the section with
/// "Medium depth of investigation %.4f" (not for the borehole array) on `window` and then again
/// on a cleared display.canvas_dc, with the levels of set_sensitivity_levels in
/// display.res_levels. The scale is (display.display_width - 18 character widths of the
/// window's font) pixels over the x range.
///
/// Messages: two electrodes at one place ("C1 and C2 electrodes are at the same position!" and
/// the five like it) end it before anything else; "There has been an error in creating\nthe
/// file %s." when a file cannot be written (neither file is left, the section is still drawn);
/// "Insufficient memory for the sensitivity section!" when the grid or the drawing's work
/// arrays cannot be had. Cancel in the file dialog writes nothing and draws.
void calc_sensitivity_standard_arrays(const ModelSettings& settings, ProgDisplay& display,
                                      gfx::Canvas& window);

namespace sens {

/// The electrodes as the section uses them: the depths 0 but for the borehole array (12), C2
/// at x = -1000 and P2 at +1000 for pole-pole (4), C2 at -1000 for pole-dipole (6).
Electrodes adjusted_electrodes(int code, const Electrodes& entered);

/// 0 when no two electrodes share a place and every distance between them is a finite float,
/// else the pair's message: "C1 and C2 electrodes are at the same position!" (or "C1 and C2
/// electrodes are too far apart!" when their distance overflows the float range, as
/// electrodes at +-3e38 would), then C1-P1, C1-P2, C2-P1, C2-P2, P1-P2 in that order of
/// checking. `dmin` receives the smallest of the six distances.
const char* coincident_electrodes(const Electrodes& e, float* dmin);

/// The x positions and depths of a section grid. Uniform: x_i = x_min + i x_step + 0.0001 and
/// z_j = z_min + j z_step, nx = round(|x_max - x_min| / x_step) + 1, nz likewise. Variable:
/// from the minimum while below the maximum, the step 1, 2 or 3 spacings by the distance to the
/// nearest electrode (horizontally; for the surface arrays in depth by the depth itself), the
/// last position replaced by the maximum, at most nx + 2 positions. Then every depth within
/// 0.01 of an electrode's depth is moved to 0.01 below it, so that no point is on the surface.
struct GridPositions {
    std::vector<float> x, z;
};
/// False when the lists cannot be had (a range or spacing that gives no sensible count).
bool grid_positions(int code, const Electrodes& e, float dmin, float x_min, float x_max,
                    float x_step, float z_min, float z_max, float z_step, int variable,
                    GridPositions& grid);

/// The scaling factor of values whose largest magnitude is `largest`: with auto_scale 1, 1.0
/// from 1000 on, else 10^(3 - ceil(log10 largest)), so that the largest lies above 100 and up to
/// 1000 (1.0 when every value is 0); otherwise `constant`.
float scale_factor(float largest, int auto_scale, float constant);

/// Title and default file name of a section by array code ("Wenner alpha array",
/// "sig2wenneralpha.dat", ...; pole-pole for an unknown code).
struct SectionNames {
    const char* title;
    const char* file;
};
SectionNames section_names(int code);

/// `path` with its extension (from the last '.' after the last folder separator) replaced by
/// `suffix`; a name without '.' gets it appended.
std::string path_with_suffix(const std::string& path, const char* suffix);
/// The post file beside data file `path`: path_with_suffix(path, "_post.dat").
std::string post_file_path(const std::string& path);

/// Median depth of investigation of the adjusted electrodes (pole-pole by its C1-P1 distance,
/// pole-dipole by C1-P1 and C1-P2, other arrays by all four distances).
float section_depth_of_investigation(int code, const Electrodes& e);

class LoopProgress;

/// Writes the data file (a header of three quoted labels with the factor, then "%6.3f %6.3f
/// %9.5f" of x, negative depth and value per point, depth by depth) and the post file (four
/// quoted labels, then "%13.3f,%13.3f,N,Default symbols:0" of x and negative depth of C1, C2,
/// P1, P2): both files give z as the elevation, so that the electrodes are posted where the
/// section has them.
/// Both are written whole or not at all (sys::AtomicFile; the post file takes its place first,
/// and is removed again when the data file then cannot). With `progress`, the rows of the data
/// file report to it and its break leaves neither file (progress->was_stopped()). Returns "" on
/// success, else the path that failed (or was stopped).
std::string write_surfer_files(const std::string& data_path, const GridPositions& grid,
                               const float* values, float factor, const Electrodes& e,
                               LoopProgress* progress = nullptr);
/// The data file of write_surfer_files alone, saved whole or not at all; false when it failed
/// or was stopped.
bool save_surfer_data(const std::string& data_path, const GridPositions& grid, const float* values,
                      float factor, LoopProgress* progress = nullptr);
/// The files write_surfer_files writes for the data file `data_path`: it and its post file.
std::vector<std::string> surfer_file_paths(const std::string& data_path);
/// About the bytes of the data file of a grid whose values print no wider than 12 characters.
double surfer_data_bytes(const GridPositions& grid);

} // namespace sens

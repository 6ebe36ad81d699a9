// User-defined array configurations: the runs over a configuration file (sensitivity sections
// and synthetic data), the electrode lookups, the section dialog, the data-file writers and the
// two commands that run a file in data mode.
//
// Folder forward/configurations/ (library vd_configurations), in the command layer above forward:
// may include forward (the apparent values and the writers), sensitivity, display, model,
// platform/ui, platform/gfx and platform/sys; included by shell alone. Entry points:
// save_general_array_file and sensitivity_nonstd_command (the two commands), and
// run_configuration_file (the sensitivity sections of a file).
#pragma once

#include "forward/configurations/config_file.h"
#include "model/records_fwd.h"
#include "platform/ui/ui.h"

#include <string>
#include <vector>

struct SensitivityHooks;

/// The run over an array configuration file of a model with at most two boreholes. Asks for
/// the file ("*.txt", "File with array configurations", in SystemSettings::initial_dir, which
/// then takes the file's folder), shows its lines in the window and reads it (the refusals of
/// forward::parse_configuration_file; a file that cannot be opened is named).
///
/// Sensitivity mode (mode 0): a file with stored results is shown as it is. Otherwise the
/// sensitivity section of every configuration and their mean absolute value are computed on the
/// file's grid ("C1 and C2 electrodes are at the same position\nfor configuration number %d!",
/// "... are too far apart\nfor ..." for a distance beyond the float range, and their like end
/// the run), scaled (sens_auto_scale 1: the integrated maximum into 1000 .. 10000; else
/// sens_scale_factor; values that are then NaN or infinite end the run with
/// model::ResultValues' message, nothing saved or drawn), saved as the report (save dialog, default
/// name the input's with "_out.txt"), optionally as Surfer files, and drawn after Sens2DSelDiaBox.
/// When the model's potentials exist the configurations' synthetic data go to general_array_file;
/// with no such file chosen yet a box says so.
///
/// Data mode (mode 1): refuses without potentials ("You must first run the 'Calculate the\n
/// apprent resistivity values' option."), forms the apparent values of the configurations from
/// the potential tables (a configuration whose potential or geometric sum is 0, or whose
/// electrodes coincide or match no model electrode in the needed places, gives none); while
/// sens_option_2 is 1 it writes them with save_general_array_data to general_array_file and
/// the model's datum list stays as it was, otherwise they become the datum list (ndata the
/// number of data) for the sensitivities of non-standard arrays.
///
/// With water the geometric-factor type is 0 for the run and put back on every path. Returns
/// true when the datum list now holds the configurations' data.
bool sensitivity_array_file(ModelSettings& model, int mode);
/// The same for any number of boreholes: buried electrodes are numbered by
/// find_borehole_electrode over every borehole, and the data written by
/// save_general_array_data_nbor.
bool sensitivity_array_file_nbor(ModelSettings& model, int mode);
/// The routine for the model's boreholes: sensitivity_array_file_nbor with more than two,
/// sensitivity_array_file otherwise.
bool run_configuration_file(ModelSettings& model, int mode);

/// Model electrode of a buried configuration electrode at (x, z) (unit spacings) in the first
/// two boreholes of `model`: S surface electrodes, A and B electrodes in boreholes 1 and 2 with
/// x and depth tables bx1, bz1 and bx2, bz2. Vertical boreholes: x equal to a borehole's first
/// x and a depth within 0.01 give S + k (borehole 1) or S + A + k (borehole 2). Inclined: the
/// electrode records S + 1 .. S + A + B within 0.001 in x and in depth. The last match wins;
/// 0 when none matches.
int find_model_electrode(float x, float z, const ModelSettings& model, int s, int a, int b,
                         const float* bx1, const float* bz1, const float* bx2, const float* bz2);
/// The same over every borehole electrode of the model (nborehole_nodes of them): vertical,
/// the squared distance below 0.001; inclined, the record start + k + 1 within 0.001 in x and
/// depth. Returns start + k + 1 of the last match, 0 when none.
int find_borehole_electrode(float x, float z, const ModelSettings& model, int start);

/// Writes the 16 levels 0, 1, 2, 4, 8 .. 16384 into levels[0..15]; returns 16.
int integrated_sensitivity_levels(float* levels);
/// 1/r + 1/r' of the points (x1, z1) and (x2, z2): the direct and the mirror-image term of a
/// buried point source.
float image_point_source_term(float x1, float z1, float x2, float z2);

/// Test listing "borehole.txt" in `program_dir` (no command writes it) of a line of `surface`
/// electrodes `spacing` metres apart with a borehole of `borehole` electrodes (depths k x
/// spacing) below its first and its last electrode: "Surface Array %d" dipole-dipoles of n = 1
/// .. 4 at every position, "C1P1-C2P2 Array %d" cross-borehole arrays of every pair of
/// neighbouring electrodes in hole 1 with every pair in hole 2, then "C1C2-P1P2 Array %d" the
/// same pairs with the currents in hole 1 and the potentials in hole 2 where the geometric
/// factor from image_point_source_term stays within 5000 spacings; each array its four lines
/// x, z of C1, C2, P1, P2 ("%6.1f,%6.1f"). Needs at least 7 electrodes of each and a spacing
/// above 0 (false, nothing written); false too when the file cannot be saved (its message).
bool write_borehole_array_listing(const char* program_dir, int surface, int borehole,
                                  float spacing);

/// Reads "wen.txt" in `program_dir` (no command reads it): a count of arrays, then the four x
/// positions of each, and writes them as the array configuration file "wen2ds.txt" beside it
/// (title "Wenner array file", spacing 0.25, each x plus 5.0, a fixed sensitivity grid). A
/// missing, empty or short file, a count outside 1 .. 9999 or a failed save shows its message
/// and writes nothing; false then.
bool write_wenner_test_file(const char* program_dir);

/// "Select sensitivity section to display": static 968 "Data set has %d sections", edit 969 the
/// section (ModelSettings::array_index), edit 1253 the display factor (section_scale), OK,
/// Cancel. OK reads the section, a whole number from 1 to narrays + 1, and a factor above 0; an
/// entry that is neither is refused with its box and the
/// dialog stays open. Cancel puts back the section.
extern const ui::DialogTemplate Sens2DSelDiaBox;
bool Sens2DSelDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

namespace forward {

/// The datum one configuration gives from the potential tables.
struct ConfigDatum {
    int count = 0;      ///< electrodes written (2: C1 P1, 3: C1 P1 P2, 4); 0: no datum
    int number[4] = {}; ///< model electrode of C1, C2, P1, P2; 0 where none takes part
    double v = 0.0;     ///< potential sum of the resistivity tables
    double v_ip = 0.0;  ///< the same of the IP tables
    float k = 0.0f;     ///< geometric factor
    float rho = 0.0f;   ///< apparent resistivity, V k
    float ip = 0.0f;    ///< apparent IP
};

/// The data of a configuration file.
struct ConfigData {
    std::vector<ConfigDatum> data; ///< one per configuration
    int formed = 0;                ///< configurations with a datum
};

/// Forms the datum of every configuration of `file` from the potential tables of `model`.
/// Electrodes are numbered by position (surface: round(x) + 1 within 1 .. nelec; buried:
/// find_borehole_electrode over every borehole when `all_boreholes`, else find_model_electrode).
/// C1 and P1 must match; P2 is kept when it matches, C2 when it and P2 match, so that the
/// electrodes written and the sums agree. Then V and V_ip over the pairs, the inverse geometric
/// sum (2/r on the surface, 1/r + 1/r' with the water depth added otherwise), k = 4 pi / G (the
/// line-electrode factor for line electrodes), rho = V k and the apparent IP. A datum whose V,
/// G (or V_ip with IP values) is 0, or whose values are not finite, is not formed.
ConfigData form_configuration_data(const ModelSettings& model, const ProgLim& limits,
                                   const ConfigurationFile& file, bool all_boreholes);
/// Whether the potentials serve the data formed in `data`: its widest configuration (from the
/// first to the last x of the electrodes it writes, in unit spacings) is no wider than the data
/// the potentials' mesh was padded for (ModelSettings::potentials_span), or its mesh would have
/// no more padding columns a side, nor rows, than the potentials' mesh has (a cylinder model's
/// potentials serve all its electrodes). Otherwise false after
/// the box (caption "Message") that names both spans and asks for a calculation with wider data: a
/// mesh that does not reach a configuration's electrodes far enough gives its apparent resistivity
/// wrong (115.6 for 100 ohm-m at Wenner a = 33 on a line of 101 electrodes calculated for a = 1 and
/// 2).
bool configurations_in_reach(const ModelSettings& model, const ConfigurationFile& file,
                             const ConfigData& data);

/// Puts the formed data into the datum list (electrode numbers, count, factor, apparent values,
/// positions in metres; ndata the number formed) and min_potential / max_potential to the
/// smallest and largest |V|.
void store_configuration_data(ModelSettings& model, const ConfigurationFile& file,
                              const ConfigData& data);

/// Result of the data-file writers.
enum class ConfigSave { written, refused_water, failed, nothing, cancelled };

/// Multiplication factor of the sections whose largest integrated value is `largest`:
/// with auto_scale 1, 10^(3 - floor(log10 largest)) below 1000 (the maximum then lies in
/// 1000 .. 10000) and 1 otherwise (also for a section without any value); else `fixed`.
float sensitivity_factor(float largest, int auto_scale, float fixed);

/// The sensitivity sections of every configuration on the file's grid, scaled, with the progress
/// of each configuration's rows: 0; 1 after a message (coincident electrodes or electrodes too
/// far apart, memory); 2, without a message and `sections` empty, when the user stopped it.
int compute_configuration_sections(const ConfigurationFile& file, int auto_scale,
                                   float fixed_factor, SensitivitySections& sections);

/// One line of the list beside a drawn section.
struct PotentialLine {
    std::string text;
    bool below_minimum = false; ///< drawn in red: the potential is below the file's minimum
};
/// "Array %d Potential=%.3f mV" for each configuration (its potential in mV), then
/// "Resistivity %.3f Ohm.m", "Maximum current %.3f Amp" and "Minimum potential %.3f mV".
std::vector<PotentialLine> configuration_potential_lines(const ConfigurationFile& file,
                                                         const SensitivitySections& sections);

/// Draws the chosen section of `sections` (computed or read back) in the window and on the
/// canvas, after "Too many points to calculate sensitivity values..." (a grid wider than 250
/// unit spacings draws nothing) and Sens2DSelDiaBox (up to 16 configurations; a changed factor
/// rescales the values) or the box that only the integrated section is shown. Sets narrays,
/// array_index and section_scale.
void show_configuration_sections(ModelSettings& model, ProgDisplay& display,
                                 const ConfigurationFile& file, SensitivitySections& sections);

} // namespace forward

/// Writes the data of the configurations to ModelSettings::general_array_file in the
/// general-array layout of user configurations (two boreholes at most), with the noise the
/// record holds. The water rule (water with the exact geometric factor) refuses first and
/// changes nothing. Voltage noise asks VoltNoiseDiaBox with the configurations' potentials
/// (the model keeps its own min_potential and max_potential), changes the apparent values and
/// sets noise_level to 0; Cancel there writes nothing (ConfigSave::cancelled). "Save Apparent
/// Resistivity?" chooses apparent resistivities (Yes) or
/// resistances V / a (No); either carries the same noise and error. The file is saved whole or
/// not at all ("There has been an error in creating\nthe file %s." ...); then "Apparent
/// resistivity values saved in file\n%s." with the number of configurations left out.
forward::ConfigSave save_general_array_data(ModelSettings& model,
                                            const forward::ConfigurationFile& file,
                                            forward::ConfigData& data);
/// The same listing every borehole of the model, water layers without the IP column.
forward::ConfigSave save_general_array_data_nbor(ModelSettings& model,
                                                 const forward::ConfigurationFile& file,
                                                 forward::ConfigData& data);

/// "Calculate apparent resistivity for non-standard arrays" (1140): the save dialog ("*.dat",
/// "Output ORBANTEL general array file name") into general_array_file, NoiseDiaBox, then the
/// configuration file in data mode, whose data go to that file. Cancel in any of its dialogs
/// ends the command; the model, its array type and its datum list stay as they were on every
/// path. Returns 1140.
int save_general_array_file(ProgDisplay& display, ModelSettings& model);
/// "Display sensitivity values for non-standard arrays" (5271): the configuration file in data
/// mode without its data file; when the configurations' data replaced the datum list, the block
/// sensitivities of its data (sensitivity_command_no_array_dialog with `hooks`), then calappmod
/// rebuilds the list of the array type in force. A Cancel or a refusal ends the command there
/// (the standard array's sensitivities are not the configurations'). Returns 5271.
int sensitivity_nonstd_command(ProgDisplay& display, ModelSettings& model,
                               const SensitivityHooks& hooks);

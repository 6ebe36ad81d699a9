// Writers of the results of a forward calculation: the data file for the inversion program
// (index and general-array layouts, with noise) and the model file with a results section.
#pragma once

#include "model/records_fwd.h"

#include <functional>
#include <string>

/// The records a writer reads (none is owned).
struct WriterRecords {
    ModelSettings& settings;
    const ProgLim& limits;
    const Potentials& potentials;
    const SystemSettings& system;
    const ProgDisplay& display;
};

/// Results of save_inv_datafile.
enum SaveResult : int {
    save_written = 0,       ///< the whole file was written
    save_refused_water = 1, ///< the underwater geometric-factor rule refused the data
    save_file_error = 2,    ///< the file could not be created or written
    save_not_available = 3, ///< a model kind this writer cannot write
    save_cancelled = 4,     ///< the user cancelled the voltage noise dialog: nothing written
    save_not_finite = 5,    ///< an apparent value to write is NaN or infinite: nothing written
};

/// Writes the results of the current model to `path`.
///
/// mode 0: the model file with its results section (save_model_with_results). Mode 99, for the
/// standard arrays 1 to 8 and 10: the older index-only data file (forward::older_data_file_text;
/// no command asks for it). Any other mode, and mode 99 for the other arrays:
/// the data file for the inversion program in the index layout (standard arrays) or the
/// general-array layout (gradient 9 and multiple gradient 15), with the noise chosen in
/// ModelSettings (noise_level as a fraction, noise_model, save_noise; voltage-dependent noise
/// asks for its amplitude in VoltNoiseDiaBox; Cancel there ends the save with save_cancelled and
/// writes nothing). The data are the first ndata data of the datum
/// list with their apparent values; data that calappres_arrays could not form are left out and
/// the count line says how many are written. Positions are x0 + a p (x0 first_electrode_x, a
/// unit_spacing). Every data line, fractional-n row and line of the general-array copy holds the
/// values the header announces, whatever the noise: the resistivity, the IP value with IP, or
/// the first frequency's amplitude and the pair of every frequency with spectral IP (the voltage
/// noise adds the amplitude times the datum's geometric factor to each in-phase and quadrature
/// value), each value followed by its error estimate when the header says they are present.
/// Every file ends with an empty line and the version text.
///
/// A cylinder model is written in its own layout (forward::cylinder_data_file_text).
///
/// The refusals come before anything is created: apparent values of the data (resistivity, IP,
/// spectral pairs) that are NaN or infinite show model::ResultValues' message ("Some of the
/// apparent resistivity and IP values are not finite numbers ...") and return save_not_finite;
/// the underwater rule (water, gradient or
/// multiple gradient, exact geometric factor) shows "For this array, you need to use the
/// surface geometric ..." and returns save_refused_water. The file is saved whole or not at
/// all (sys::AtomicFile): one that cannot be created or written shows "There has been an error
/// in creating\nthe file %s.\n" (or "... in writing ...") with the cause, returns
/// save_file_error, and leaves an existing file as it was.
///
/// Changes in the record: noise_model becomes 0 for a model with IP values and no noise level;
/// the voltage model sets min_potential, max_potential and noise_amplitude. For every datum
/// written: datum_nelec = the electrode count of its line (4, 3 or 2); the positions of its
/// general-array line in electrode steps from the first electrode (0 for an electrode it lacks)
/// in c1_x, c2_x, p1_x, p2_x, except for the multiple gradient, whose positions stay in metres;
/// and, in the index layout, its electrode numbers in datum_c1 .. datum_p2 as calappres_arrays
/// placed them (0 where the array has none). The writer reads none of them back (datum_nelec
/// only as the mark of a formed datum, which stays), so a second save of the same results
/// writes the same file.
int save_inv_datafile(const WriterRecords& records, const char* path, int mode);

/// save_inv_datafile with the program's own records (Proglim, Potentialtables) and those given,
/// as the save command passes them. Returns the writer's result.
int save_inv_datafile_from_record(ModelSettings& settings, const SystemSettings& system,
                                  const ProgDisplay& display, int mode, const char* path);

/// Writes the model in memory, read with 2 nodes per electrode spacing, to `path` as a model
/// file with 4 nodes per spacing (forward::model_file_text with ModelMesh::four_nodes: the same
/// model, its blocks in place on the finer mesh, no potentials), then shows "New model saved in
/// file\n%s\n" (caption "Message"). Refuses, with no file, a model with another node count
/// ("The model already has %d nodes between adjacent electrodes!\n", caption "Error Message")
/// and a cylinder model (its rings have no node columns to split). Returns save_written,
/// save_not_available for a refusal or save_file_error (the message of save_text_file).
int save_model_4nodes(const WriterRecords& records, const char* path);

namespace forward {

/// Saves the text that `make` gives as the whole file at `path` (sys::AtomicFile: a failure
/// leaves an existing file as it was and no partial file). A file that cannot be created shows
/// "There has been an error in creating\nthe file %s.\n%s." with the cause (caption "Error
/// Message"), one that cannot be written "There has been an error in writing\nthe file
/// %s.\n%s." (both through model::report_error); `make` runs only once the file is created.
/// When `cancelled` is given and `make` sets it, nothing is written and no message shown. True
/// when the file was written.
bool save_text_file(const char* path, const std::function<std::string()>& make,
                    const bool* cancelled = nullptr);
bool save_text_file(const char* path, const std::string& text);

/// The layer lines of a model's water: one layer "%8.3f,%8.3f,%8.3f,0.0\n" (resistivity, x range
/// times `a`); more, "Number of water layers\n%d\n" and "Layer %d parameters\n" lines with the
/// depth of the layer above times `a`; `ip_column` puts ",0.0" after each resistivity.
void append_water_layers(std::string& out, const ModelSettings& s, float a, bool ip_column);

/// How model_file_text writes the mesh.
enum class ModelMesh {
    as_read,   ///< the model as it is, with its results
    four_nodes ///< 4 nodes per spacing: every block column twice, the first-block offset doubled,
               ///< and no potentials (they belong to the coarser mesh)
};

/// The cell columns (from 1) whose block codes a model file's rows hold; the reader gives the
/// cells left and right of them the codes of the first and last.
struct BlockColumns {
    int first = 0;
    int last = 0;
    /// false when no columns the reader takes (at most (nelec - 1) x nodes per spacing a row)
    /// hold every cell of the model: the cells beyond them are written as their edge codes.
    bool complete = true;
};
/// The columns model_file_text writes for a block model: the model's own block columns while
/// every cell beyond them repeats its row's edge code in every code table written (as the
/// reader leaves them), else whole rows from the first electrode to the last, else whole rows
/// moved to take in every edited cell.
BlockColumns written_block_columns(const ModelSettings& s, ModelMesh mesh = ModelMesh::as_read);
/// When written_block_columns cannot hold every cell of a block model: says that the edited
/// blocks beyond the first and last electrode are saved with the codes at the row's ends.
void warn_unsaved_blocks(const ModelSettings& s, ModelMesh mesh = ModelMesh::as_read);

/// The model file with results: the model (title, electrodes, levels, water, unit spacing,
/// remote electrodes, grid, resistivities, depths, block rows, IP and spectral-IP values,
/// array type), then the potential tables of the current results when they are calculated
/// (and readable: every in-line potential above 0), and the data block when the datum list
/// belongs to the current array type, then the topography. The text; the caller writes it.
/// A block model of 2 nodes per spacing (not a cylinder) can be written as ModelMesh::
/// four_nodes.
std::string model_file_text(const WriterRecords& records, ModelMesh mesh = ModelMesh::as_read);

/// The data file's text (data-file mode); the voltage model asks its dialog on the way. When the
/// user cancels that dialog the text is "" and `cancelled` (when given) is set.
std::string data_file_text(const WriterRecords& records, bool* cancelled = nullptr);

/// The location columns of a datum of internal array code `code` in the index layout, with
/// xf the position of its first electrode, sa its spacing and n its n factor: (xf + 1.5 sa, sa)
/// for codes 1-3, (xf + 0.5 sa, sa) for 4 and 8, then with n: xf + 0.5 sa (n + 2) for 5,
/// xf + 0.5 sa (|n| + 1) for 6 and 10, xf + 0.5 sa (2n + 1) for the others.
void index_location_columns(std::string& out, int code, float xf, float sa, float n);

/// The older index-only data file: the header ("Far electrodes included" and the far electrodes
/// for pole-dipole and pole-pole with remote electrodes), the count of the data of levels 1 ..
/// nlev (level_datum_count from the positions of level 1), the IP block "1\nChargability\n
/// msecm0.10,1.00\n"; one line per level and position: location "%10.2f " in metres from the
/// first electrode, the spacing (codes 1-4 and 8: level x a) or a and the level as n, the
/// apparent resistivity (times 1 + L G with a noise level L) and IP; for pole-dipole the reverse
/// array of every level and position; for codes 5, 6 and 7 the fractional-n rows; the
/// elevation points in unit spacings, the water layers; then every datum again by its
/// electrodes ("Mixed array format"). A block model's level values come from its potentials as
/// calappres_arrays forms them (0 where a datum cannot be formed); a cylinder model's from the
/// level grids app_res_grid and app_ip_grid of its calculation.
std::string older_data_file_text(const WriterRecords& records);

/// The data file's text of a cylinder model: its data by position (spacing 1.00, positions in
/// electrode numbers, transfer values or, normalised, apparent resistivities), again by
/// electrode numbers (mixed-array copy), the fractional-n rows of codes 5 and 7, and the
/// geometric factors of a normalised run. The noise level multiplies every value by 1 + L G,
/// each value with its own deviate.
std::string cylinder_data_file_text(const WriterRecords& records);

} // namespace forward

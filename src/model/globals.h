// The global instances of the records, their construction and destruction in a fixed order,
// and the allocation of the large arrays that ModelSettings and Potentials own.
#pragma once

#include "model/model_settings.h"
#include "model/records.h"

#include <cstddef>
#include <string>
#include <vector>

// The one instance of each record. They are valid between init_globals() and exit_globals().
extern StatusWind& Statuswind;
extern NextWind& Nextwind;
extern ProgLim& Proglim;
extern PrintTrace& Printtrace;
extern ModelSettings& Modelsettings;
extern ProgDisplay& Progdisplay;
extern Potentials& Potentialtables;
extern Array3DSens& Array3dsens;
extern SystemSettings& Systemsettings;
extern ModelResolution& Modelresolution;

/// 1 when the last dialog that sets it ended with OK, 2 when it ended with Cancel.
extern std::int32_t dialog_result;

/// Builds every record with its defaults in this order: StatusWind, NextWind, ProgLim,
/// PrintTrace, ModelSettings, ProgDisplay, Potentials, Array3DSens, SystemSettings,
/// ModelResolution. Call once at program start, after the ui backend is installed. Returns 0;
/// when a constructor could not get its memory it shows "Insufficient memory to start the
/// program!." and returns 1 (the records still exist and model::exit_globals() must run).
int init_globals();

namespace model {

/// Destroys the records in the reverse order: ModelResolution and ModelSettings delete their
/// work files, every record frees its arrays. Does nothing when the records do not exist.
void exit_globals();
/// True between init_globals() and exit_globals().
bool globals_alive();

/// Array capacities in elements, from the program limits (see ModelSettings).
struct ModelCapacities {
    std::size_t N = 0; ///< max_electrodes
    std::size_t D = 0; ///< max_data_points
    std::size_t X = 0; ///< max_node_columns
    std::size_t Z = 0; ///< max_node_rows
    std::size_t C = 0; ///< (X - 1) x (Z - 1) cells
    std::size_t R = 0; ///< max_resistivity_values
    std::size_t B = 0; ///< max_boreholes
    std::size_t E = 0; ///< max_borehole_electrodes
    std::size_t F = 0; ///< max_frequencies
    std::size_t S = 0; ///< max_spacing_ratio
    std::size_t L = 0; ///< max_plot_levels
    std::size_t V = 0; ///< max_levels
    std::size_t W = 0; ///< max_electrodes_c (rows of the per-electrode water table)
};
ModelCapacities model_capacities(const ProgLim& limits);

/// Allocates, zero-filled from the page allocator, every array of `potentials` and every array
/// of `settings` that the constructor does not allocate, with the capacities of `limits`; points
/// ip_codes, cexp_codes and tau_codes into resistivity_codes and sets the first D entries of
/// datum_gfactor to 1.0. Called once at window creation, on records whose arrays are null.
/// Returns 0. When an allocation fails it frees what it had allocated (every such pointer is
/// null again), shows "Insufficient memory for the model arrays!." and returns 1.
int allocate_model_arrays(ModelSettings& settings, Potentials& potentials, const ProgLim& limits);
/// Frees every array allocate_model_arrays allocates and nulls its pointer (the destructors do
/// the same).
void release_model_arrays(ModelSettings& settings, Potentials& potentials);

/// Name and size of one array that allocate_model_arrays allocates.
struct OwnedArraySize {
    std::string name; ///< "ModelSettings::node_z", "Potentials::ip_table_a", ...
    std::size_t elements = 0;
    std::size_t bytes = 0;
};
/// Every array allocate_model_arrays allocates for these limits, in allocation order.
std::vector<OwnedArraySize> owned_array_sizes(const ProgLim& limits);

/// Builds the work-file paths in `folder` (which ends with a separator): nodes_file becomes
/// folder + "nodesfile.xxx", nodesadj_file folder + "nodesadj.bin", each long path of
/// ModelSettings folder + its file name, and each ModelResolution work file folder + its name.
/// The listing dump_file, which the user reads, goes into `listing_folder` (empty: `folder`).
/// Paths that would not fit their buffers are cut (the file then cannot be opened).
void set_work_file_paths(ModelSettings& settings, ModelResolution& resolution,
                         const std::string& folder, const std::string& listing_folder = {});

/// Empties (creates or truncates) and then deletes the file at `path`; a file that cannot be
/// opened is still deleted by name, and a missing file is ignored. Empty paths are skipped.
void empty_and_delete_file(const char* path);

} // namespace model

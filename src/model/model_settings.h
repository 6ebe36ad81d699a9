// The central record of the program: the model read from the model file, the survey, the mesh,
// the method switches of the dialogs, the work-file paths and the arrays it owns.
#pragma once

#include "platform/sys/no_copy.h"

#include <cstdint>

/// One electrode record of ModelSettings::electrode_table: eleven 32-bit words. The model
/// reader fills x and z (unit spacings); the finite-element solvers fill the node mapping.
/// Plain data: zero-filled memory is a valid record.
struct ElectrodeNode {
    float x;
    float z;
    std::int32_t count; ///< mesh nodes that carry the electrode: 1, 2 or 4
    std::int32_t node[4];
    float weight[4];
};
static_assert(sizeof(ElectrodeNode) == 11 * 4, "electrode record is eleven 32-bit words");

/// The model, survey and method record; one global instance, Modelsettings.
///
/// Owned arrays: the comment of each pointer gives its capacity in elements with the symbols of
/// the program limits (ProgLim): N = max_electrodes, D = max_data_points, X = max_node_columns,
/// Z = max_node_rows, C = (X - 1) x (Z - 1) cells, R = max_resistivity_values,
/// B = max_boreholes, E = max_borehole_electrodes, F = max_frequencies, S = max_spacing_ratio,
/// L = max_plot_levels, V = max_levels. The constructor allocates only title_text, ip_unit_text,
/// the three water-layer tables and the two small finite-element tables; every other array is
/// allocated once by allocate_model_arrays (zero-filled, from the page allocator) and never
/// reallocated: counts read from model files are held within the limits. ip_codes, cexp_codes and
/// tau_codes are not allocated: they point into resistivity_codes at elements C, 2C and 3C.
/// A function that takes the record as `const ModelSettings&` writes neither a field nor an
/// element of an owned array: the arrays are plain pointers, which const does not guard, so
/// a function that fills one takes `ModelSettings&` even when it changes no other field.
/// Two-dimensional cell and node tables are stored column after column (index2d). Block codes
/// index model_resistivities (and model_chargeabilities) from 0.
///
/// The destructor frees the constructor's arrays, empties and deletes the nine binary work files
/// (grfinite_file ... invmatrix_file; dump_file, nodes_file, nodesadj_file and model_file stay)
/// and frees every other owned array.
class ModelSettings : sys::NoCopy {
  public:
    ModelSettings();
    ~ModelSettings();

    /// True when every allocation of the constructor succeeded.
    bool allocated() const;

    // ---- Scratch text and model-reader cursors --------------------------------------------------
    // Written and read by the model reader (model/reader/readmodel*.cpp), which formats its
    // messages and trace lines into message_text. Not used in this build: parse_position, _2 and
    // _3.
    /// Scratch text: every message box text, trace line of the model reader and work-file path is
    /// formatted here before use.
    char message_text[8192] = "";
    /// Saved cursor of the model reader (a buffer offset), kept while a line is read ahead and put
    /// back.
    std::int32_t parse_position = 0;
    std::int32_t parse_position_2 = 0; ///< Second saved cursor of the model reader.
    /// Third saved cursor of the model reader (used when the IP and results sections are looked
    /// ahead at).
    std::int32_t parse_position_3 = 0;

    // ---- Work-file paths (the destructor deletes the nine binary work files) --------------------
    // Written by window creation (model/globals.cpp puts the run's work folder in the program
    // folder before each name, the program folder itself before dump_file;
    // shell/main_window.cpp, shell/paint.cpp and forward/read_command.cpp keep model_file with the
    // settings file). Read by the finite-element solvers (fesolve: nodes_file, the Jacobian work
    // files), the sensitivity commands (sensitivity/block_sensitivity.cpp, electrode_jacobian.cpp)
    // and the destructor.
    /// Path of the sparse-structure work file; window creation replaces the default by the work
    /// folder followed by "nodesfile.xxx". As long as the other work-file paths, so that the work
    /// folder inside a deep program folder still fits.
    char nodes_file[512] = "nodes.bin";
    /// Path of the adjacency work file; window creation prefixes the work folder.
    char nodesadj_file[512] = "nodesadj.bin";
    /// File pattern of the model-file open dialog: "*" followed by the extension of the last model
    /// file read (the read-model command sets it); the settings file keeps it under the key
    /// extension (default "*.mod"), read at the first paint and written at exit.
    char model_file[768] = "model.mod";
    char grfinite_file[512] = "";             ///< Full path of "grfinite_r.bin".
    char fourier_values_file[512] = "";       ///< Full path of "fourier_values.bin".
    char jacob_file[512] = "";                ///< Full path of "jacob.bin".
    char jacob_elec_positions_file[512] = ""; ///< Full path of "jacob_elec_positions.bin".
    char grfile_file[512] = "";               ///< Full path of "grfile.bin".
    char grfile_elec_file[512] = "";          ///< Full path of "grfile_elec.bin".
    char hessmatrix_file[512] = "";           ///< Full path of "hessmatrix.bin".
    char hessmatrix_row_file[512] = "";       ///< Full path of "hessmatrix_row.bin".
    char invmatrix_file[512] = "";            ///< Full path of "invmatrix.bin".
    /// Full path of "dump_file.txt"; the destructor leaves this file alone.
    char dump_file[512] = "";

    // ---- Method switches and solver parameters --------------------------------------------------
    // Written by the model reader (fem, extend_depth), the option dialogs
    // (shell/option_dialogs.cpp: fem, complex_ip_model), the sensitivity commands (fem, sparsefem),
    // the calculation (forward/calculate.cpp forces fem and sparsefem), the finite-difference
    // drivers (fdsolve/drivers.cpp: fd_option and the source weights) and the finite-element
    // solvers (fesolve/solver_common.cpp: fe_remote_a/_b, fe_small_table_a/_b). Read by the solver
    // chain (forward/calculate.cpp, forward/solver_chain.h), the solvers through their Inputs
    // (model/solver_io.cpp, fd::make_inputs, fe::make_inputs), the apparent-value routines and
    // the data-file writers (forward). Not used in this build: ip_option, fe_option_1 to _4.
    /// Method switch: 0 finite differences, non-zero finite elements; line electrodes set it to 1.
    std::int32_t fem = 0;
    /// The method the user chose last (FemDiaBox; a non-linear IP model chooses finite
    /// elements): each model read starts from it, so that a method one model forces holds for
    /// that model alone.
    std::int32_t fem_chosen = 0;
    /// Non-zero selects the quadrilateral finite-element solver (tested before sparsefem).
    std::int32_t fem_variant = 0;
    std::int32_t sparsefem = 0; ///< Non-zero selects the sparse finite-element solver.
    /// Finite-difference formulation: 0 "Dey & Morrison original", 1 "Modified 5-point", 2
    /// "Modified 9-point".
    std::int32_t fd_type = 1;
    std::int32_t fd_option = 1; ///< Switch read by the "Modified 9-point" solver.
    /// Current source (UseHermDiaBox): 0 "Use single point source", 1 "Use distributed source".
    std::int32_t distributed_source = 0;
    /// Weight of the current node of the distributed source (UseHermDiaBox control 5323).
    float current_node_weight = 0.93f;
    float side_node_weight = 0.035f; ///< (1 - current_node_weight) x 0.5.
    std::int32_t nky = 12;           ///< Number of Fourier wavenumbers of the 2.5-D transform.
    /// Smallest wavenumber (the solvers scale it by 0.4 when there are more than 45 electrodes).
    float ky_min = 0.002f;
    float ky_max = 8.0f; ///< Largest wavenumber.
    /// 1: the model depth is extended automatically (ExtendDepthDiaBox buttons 551 No, 552 Yes); a
    /// tank model sets it to 1.
    std::int32_t extend_depth = 1;
    /// Ratio of the depth of the deepest mesh level to the maximum array length (ExtendDepthDiaBox
    /// control 553).
    float extend_depth_factor = 2.5f;
    /// Electrode handling of ShiftNodeDiaBox for inclined boreholes: 0 "Distribute effect of
    /// electrode among nodes", 1 "Maintain singular electrode"; read by the sparse finite-element
    /// solver.
    std::int32_t shift_nodes = 1;
    /// Switch of the cylinder solver (also set by the model reader).
    std::int32_t cylinder_option = 1;
    /// Type of IP model (ComplexIPDiaBox): 0 "Linear", 1 "Non-Linear"; 1 with nip > 0 selects the
    /// complex-resistivity solver.
    std::int32_t complex_ip_model = 0;
    std::int32_t ip_option = 0; ///< Switch of the apparent-IP routine and the data-file writer.
    /// Geometric factor for underwater surveys (GeomDiaBox): 0 "Surface", 1 "Exact".
    std::int32_t geometric_factor_type = 0;
    std::int32_t normalise = 0;   ///< 1: the driver reruns with all cells at 1.0 for normalisation.
    std::int32_t fe_remote_a = 0; ///< Remote-electrode node of the finite-element solver.
    std::int32_t fe_remote_b = 0; ///< Second remote-electrode node of the finite-element solver.
    /// [24 bytes] Small table of the finite-element solver (allocated by the constructor).
    void* fe_small_table_a = nullptr;
    /// [16 bytes] Small table of the finite-element solver (allocated by the constructor).
    void* fe_small_table_b = nullptr;
    /// Four switches reserved for the finite-element solver; nothing sets or reads them, and no
    /// file keeps them.
    std::int32_t fe_option_1 = 0;
    std::int32_t fe_option_2 = 0;
    std::int32_t fe_option_3 = 0;
    std::int32_t fe_option_4 = 0;

    // ---- Tank, cylinder and convex-section models -----------------------------------------------
    // Written by the model reader (model/reader/readmodel.cpp, readmodel_survey.cpp,
    // readmodel_grid.cpp, readmodel_end.cpp) and the mesh routines (model/mesh_nodes.cpp; the band
    // solver moves the tank columns onto its mesh). Read by the mesh and cell routines (model), the
    // cylinder path (forward/cylinder_path.cpp, cylinder/), the model-file writer
    // (forward/modelfile.cpp) and the display.
    std::int32_t tank_model = 0; ///< 1 for a tank model.
    float tank_x_left = -90.0f;  ///< Left tank wall x, relative to the first electrode.
    float tank_x_right = 90.0f;  ///< Right tank wall x.
    float tank_y_min = -80.0f;   ///< First tank Y boundary.
    float tank_y_max = 80.0f;    ///< Second tank Y boundary.
    float tank_bottom_z = 50.0f; ///< Depth of the tank floor.
    /// Factor by which the largest model resistivity is multiplied to give tank_wall_resistivity
    /// (model reader).
    float tank_wall_factor = 100.0f;
    /// Resistivity (ohm-m) given to every cell outside the tank walls.
    float tank_wall_resistivity = 100000.0f;
    /// Node column snapped to the left tank wall: cells in columns up to it lie outside the tank.
    std::int32_t tank_left_column = 0;
    /// Node column snapped to the right tank wall, plus 1: cells in columns from it on lie outside
    /// the tank.
    std::int32_t tank_right_column = 0;
    std::int32_t tank_bottom_row = 0; ///< Cells in rows from this one down lie outside the tank.
    std::int32_t cylinder_model = 0;  ///< Non-zero for a cylinder or convex-section model.
    float cylinder_radius = 1.0f;     ///< Cylinder radius.
    /// 1 for a convex-section model (then cylinder_model is 1 too).
    std::int32_t convex_section = 0;
    std::int32_t le = 0; ///< Element count in the first direction of a cylinder mesh.
    std::int32_t ne = 0; ///< Element count in the second direction of a cylinder mesh.

    // ---- Model file -----------------------------------------------------------------------------
    // Written by the model reader (model/reader/readmodel_grid.cpp) and the read-model command
    // (forward/read_command.cpp: model_read, title_text, namefile). Read by the commands that need
    // a model (forward/calculate.cpp, forward/save_command.cpp, app/batch.cpp), the writers
    // (forward/datafile*.cpp, forward/modelfile.cpp) and the display. Not used in this build:
    // data_dir, read_status_1.
    char* model_title = nullptr; ///< [256 bytes] Model name line of the model file.
    char* namefile = nullptr;    ///< [256 bytes] Name of the model file read.
    char* data_dir = nullptr;    ///< [256 bytes] Folder of the data file.
    char* title_text = nullptr;  ///< [256 bytes] Text of the read-model command.
    /// Number of block rows written to the model file (copy of ngrid_rows as read).
    std::int32_t nmodel_file = 0;
    std::int32_t model_read = 0;    ///< 1 after a model file was read and set up.
    std::int32_t read_status_1 = 0; ///< State word of the read-model command.

    // ---- Electrodes -----------------------------------------------------------------------------
    // Written by the model reader (model/reader/readmodel_survey.cpp, readmodel_array.cpp,
    // readmodel_boreholes.cpp, readmodel_sort.cpp, readmodel_end.cpp), the read-model command
    // (forward/read_command.cpp: electrode_offset_ratio) and the array-type commands (display).
    // Read by the solvers through their Inputs (model/solver_io.cpp), the finite-element solvers
    // (fesolve: electrode_table, whose node mapping they write), the apparent-value routines and
    // the writers (forward), the sensitivity commands, the optimisation (optimise) and the display.
    // Not used in this build: electrode_node.
    std::int32_t nelec = 0;              ///< Number of electrodes.
    std::int32_t nelectrode_records = 0; ///< Number of entries in electrode_table.
    /// Number of electrode pairs, nelec x (nelec - 1) / 2 (integer halving), set by the model
    /// reader.
    std::int32_t nelec_pairs = 0;
    std::int32_t electrode_type = 0; ///< Electrode type: 0 point, 1 line, 2 finite.
    float unit_spacing = 1.0f;       ///< Unit electrode spacing in metres.
    float electrode_offset = 0.0f;   ///< Electrode offset.
    /// electrode_offset / unit_spacing, set by the read-model command.
    float electrode_offset_ratio = 0.0f;
    float first_electrode_x = 0.0f; ///< Location of the first electrode.
    /// Greater than 0 when remote C2 and P2 electrodes are present.
    std::int32_t remote_electrodes = 0;
    float c2_remote_x = 0.0f; ///< X of the remote C2 electrode.
    float c2_remote_y = 0.0f; ///< Y of the remote C2 electrode.
    float p2_remote_x = 0.0f; ///< X of the remote P2 electrode.
    float p2_remote_y = 0.0f; ///< Y of the remote P2 electrode.
    /// [N+2 records of 11 32-bit fields] Electrode records: x and z (floats, in unit spacings) in
    /// the first two fields; the model reader appends the surface, borehole and remote
    /// electrodes. The calculation takes N surface and borehole electrodes; the two remote ones
    /// stand beside them.
    ElectrodeNode* electrode_table = nullptr;
    /// [N+2] Electrode node numbers of the calculation driver.
    std::int32_t* electrode_node = nullptr;
    /// [W+1, W = ProgLim::max_electrodes_c] Per-electrode flag of the water-layer section.
    std::int32_t* electrode_water = nullptr;

    // ---- Boreholes ------------------------------------------------------------------------------
    // Written by the model reader (model/reader/readmodel.cpp, readmodel_boreholes.cpp) and the
    // read-model command (forward/read_command.cpp: borehole_first, borehole_column,
    // borehole_first_row). Read by the finite-element and complex solvers through fe::make_inputs
    // (fesolve/solver_common.cpp), the calculation (forward/calculate.cpp, normalise.cpp), the
    // model-file writer (forward/modelfile.cpp) and the model section (display/model_section.cpp).
    // Not used in this build: borehole_mode, borehole_mode_2, plot_boreholes, borehole_table_2,
    // borehole_table_3.
    std::int32_t nboreholes = 0; ///< Number of boreholes.
    /// Borehole switch read by the IP solvers, the calculation driver and the sensitivity commands.
    std::int32_t borehole_mode = 0;
    /// Second borehole switch read by the IP solvers and the calculation driver.
    std::int32_t borehole_mode_2 = 0;
    /// Number of borehole electrode nodes; greater than 0 forces the finite-element method.
    std::int32_t nborehole_nodes = 0;
    /// Borehole kind (vertical or inclined), read by the reader, the writers and the display.
    std::int32_t borehole_type = 0;
    std::int32_t* issbor = nullptr; ///< [B+1] Number of electrodes in each borehole.
    /// [B+1] The last surface electrode (0-based) at the borehole's x, which is that x in unit
    /// spacings from the first electrode (read-model command).
    std::int32_t* borehole_first = nullptr;
    /// [B+1] Node column of each borehole (read-model command; the finite-element solvers).
    std::int32_t* borehole_column = nullptr;
    /// [B+1] 0-based node row of each borehole's first electrode: the row at the depth of that
    /// electrode, else nodes_per_spacing (read-model command; the complex solvers).
    std::int32_t* borehole_first_row = nullptr;
    /// [B+1] Per-borehole table read by the IP solvers and the calculation driver. Unused and
    /// not allocated: the node column of each borehole is borehole_column.
    std::int32_t* borehole_table_2 = nullptr;
    /// [B+1] Per-borehole table read by the IP solvers and the calculation driver. Unused and
    /// not allocated: the node row of each borehole's first electrode is borehole_first_row.
    std::int32_t* borehole_table_3 = nullptr;
    float* borehole_x = nullptr; ///< [E x B+1] X of every borehole electrode.
    float* borehole_z = nullptr; ///< [E x B+1] Depth of every borehole electrode.
    /// [N+1] Borehole electrode table of the model reader and the IP solvers.
    float* borehole_elec_a = nullptr;
    float* borehole_elec_b = nullptr; ///< [N+1] Second borehole electrode table.
    /// Borehole model plot of BorePlotDiaBox: 0 "Entire Model", 1 "Only borehole section".
    std::int32_t plot_boreholes = 0;

    // ---- Mesh and grid --------------------------------------------------------------------------
    // Written by the model reader (model/reader/readmodel_grid.cpp, readmodel_end.cpp,
    // readmodel_boreholes.cpp, readmodel_tail.cpp), the finite-element solvers (node_x, node_z;
    // the band solver's electrode-position Jacobian shifts them and puts them back), the cylinder
    // solver (node_x) and the standard-array sensitivity sections
    // (sensitivity/standard_arrays.cpp). Read by the solvers through their Inputs, the calculation
    // (forward), the sensitivity commands and the model section (display). Not used in this build:
    // depth_lines_saved.
    std::int32_t nodes_per_spacing = 4; ///< Mesh nodes per unit electrode spacing.
    std::int32_t nx_nodes = 200;        ///< Number of mesh node columns.
    std::int32_t nz_nodes = 20;         ///< Number of mesh node rows.
    std::int32_t margin_columns = 20;   ///< m: the first electrode stands in node column m-1.
    std::int32_t nx_cells = 199;        ///< nx_nodes - 1.
    std::int32_t nz_cells = 19;         ///< nz_nodes - 1.
    std::int32_t ndepths = 0;           ///< Number of grid-line depths given in the model file.
    /// Number of depth grid lines after the extension below the model.
    std::int32_t ngrid_lines = 0;
    std::int32_t ngrid_rows = 0;    ///< Number of model block rows.
    std::int32_t ndepth_values = 0; ///< Depth-value count of the model reader.
    std::int32_t depths_given = 0;  ///< 2 when the model file gives the depths of the grid lines.
    std::int32_t first_block_offset = 0; ///< Offset of the first block of a model row.
    std::int32_t blocks_per_row = 0;     ///< Number of blocks in a model row.
    /// First cell column of the model blocks; cells left of it take the code of this column.
    std::int32_t model_col_start = 0;
    /// Last cell column of the model blocks; cells right of it take the code of this column.
    std::int32_t model_col_end = 0;
    float* node_col_x = nullptr;  ///< [X+1] X of every node column.
    float* node_col_dx = nullptr; ///< [X+1] Horizontal distance from each node column to the next.
    float* node_row_dz = nullptr; ///< [Z+1] Vertical distance from each node row to the next.
    float* node_z = nullptr;      ///< [C] Depth of every node, column by column.
    float* node_x = nullptr;      ///< [C] X of every node, same layout as node_z.
    float* depth_lines = nullptr; ///< [Z+1] Depths of the model grid lines.
    /// [Z+1] Layer depths edited in ModDepthDiaBox ("Modify depth of layers": new depth per layer).
    float* depth_lines_saved = nullptr;

    // ---- Resistivities, block codes and cell conductivities -------------------------------------
    // Written by the model reader (model/reader/readmodel_grid.cpp, readmodel_end.cpp; the code
    // views are set by model/globals.cpp), the block editor (display/block_editing.cpp:
    // resistivity_codes) and the calculation (forward/calculate.cpp: set_code2res fills
    // cell_conductivity and cell_conductivity_ip, the normalisation run cell_work). Read by the
    // solver chain, the complex solvers (ipsolve/runs.cpp), the cylinder path, the model-file
    // writer and the display.
    std::int32_t nresis = 0; ///< Number of model resistivity values.
    /// Largest model resistivity value of the model file (model reader).
    float max_model_resistivity = 100.0f;
    float* model_resistivities = nullptr; ///< [R+11] Model resistivity values (ohm-m).
    /// [4C+4] Block code of every model cell (index into model_resistivities, counted from 0); the
    /// same block holds ip_codes at element C, cexp_codes at 2C and tau_codes at 3C.
    std::int32_t* resistivity_codes = nullptr;
    /// [view into resistivity_codes, not owned] IP code of every cell (index into
    /// model_chargeabilities, counted from 0).
    std::int32_t* ip_codes = nullptr;
    /// [view into resistivity_codes, not owned] Cole-Cole exponent code of every cell.
    std::int32_t* cexp_codes = nullptr;
    /// [view into resistivity_codes, not owned] Time-constant code of every cell.
    std::int32_t* tau_codes = nullptr;
    float* cell_conductivity = nullptr; ///< [C] Conductivity 1/rho of every cell (set_code2res).
    /// [C] IP conductivity (1 - m) / rho of every cell (set_code2res).
    float* cell_conductivity_ip = nullptr;
    /// [C] Cell conductivities of the normalisation run of the calculation driver (a homogeneous
    /// model, filled when normalise is 1).
    float* cell_work = nullptr;

    // ---- IP and spectral IP ---------------------------------------------------------------------
    // Written by the model reader (model/reader/readmodel.cpp, readmodel_ip.cpp), the calculation
    // (forward/calculate.cpp clears nfreq for a non-linear IP run), the cylinder apparent values
    // (cylinder/apparent.cpp) and the frequency choice of the display (freq_index). Read by the
    // solver chain, the complex solvers, the apparent-value routines and writers (forward) and the
    // display.
    /// Number of IP (chargeability) values; greater than 0 makes every solver run a second time on
    /// the IP conductivities.
    std::int32_t nip = 0;
    std::int32_t ntau = 0;                  ///< Number of Cole-Cole time-constant values.
    std::int32_t ncip = 0;                  ///< Number of Cole-Cole exponent values.
    std::int32_t nfreq = 0;                 ///< Number of frequency values of a spectral-IP model.
    float* model_chargeabilities = nullptr; ///< [R+1] Model chargeability values.
    float* model_taus = nullptr;            ///< [R+1] Cole-Cole time constants.
    float* model_cexps = nullptr;           ///< [R+1] Cole-Cole exponents.
    float* frequencies = nullptr;           ///< [F+1] Frequency values of a spectral-IP model.
    /// Number of the frequency whose pseudosections are displayed (FreqSelectDiaBox control 862).
    std::int32_t freq_index = 1;
    char* ip_unit_text = nullptr; ///< [256 bytes, "mV/V"] Unit text of IP values on the display.

    // ---- Water layers ---------------------------------------------------------------------------
    // Written by the model reader (model/reader/readmodel.cpp, readmodel_survey.cpp,
    // readmodel_end.cpp). Read by the mesh set-up (model/reader/readmodel_grid.cpp,
    // readmodel_end.cpp), the calculation and the writers (forward) and the model section
    // (display). Not used in this build: water_columns.
    std::int32_t water_present = 0;    ///< 1 when the model has one or more water layers.
    float water_x1 = 0.0f;             ///< Start x of the water layer.
    float water_x2 = 0.0f;             ///< End x of the water layer.
    std::int32_t nwater = 0;           ///< Number of water rows at the top of the model grid.
    std::int32_t nwater_layers = 0;    ///< Number of water layers.
    std::int32_t max_water_layers = 3; ///< Largest number of water layers allowed.
    std::int32_t water_columns = 1;    ///< Second dimension of the water-layer tables.
    float zwatermax = 0.0f;            ///< Total water thickness.
    /// [max_water_layers x water_columns + 1] Thickness of each water layer (allocated by the
    /// constructor).
    float* water_thickness = nullptr;
    /// [max_water_layers x water_columns + 1] Resistivity of each water layer (allocated by the
    /// constructor).
    float* water_resistivity = nullptr;

    // ---- Topography -----------------------------------------------------------------------------
    // Written by the model reader (model/reader/readmodel_topography.cpp, readmodel_end.cpp) and
    // the 3-D sensitivity command (sensitivity/sensitivity_3d.cpp: elec_x). Read by the mesh
    // routines (model/mesh_nodes.cpp), the band solver (tflag), the calculation and the writers
    // (forward) and the display.
    /// 1 when the topography section carries the list of one value per electrode.
    std::int32_t topo_present = 0;
    /// Topography flag: 0 none, 1 elevation points at true horizontal distances, 2 at distances
    /// along the surface.
    std::int32_t tflag = 0;
    std::int32_t ntopo = 0; ///< Number of elevation points.
    /// Value kept by the topography section of the model reader.
    std::int32_t topo_distance_type = 0;
    /// [4N+4] The one value per electrode of the topography section.
    float* topo_distance = nullptr;
    float* elec_x = nullptr; ///< [4N+4] Electrode x positions in unit spacings.
    float* elec_z = nullptr; ///< [4N+4] Electrode elevations in unit spacings.
    /// Extra depth of the bottom node row written by the topography grid routine.
    float topo_bottom_shift = 0.0f;

    // ---- Array type and data levels -------------------------------------------------------------
    // Written by the model reader (model/reader/readmodel_survey.cpp, readmodel_array.cpp,
    // readmodel_sort.cpp), the array-type dialogs (model/array_type.cpp), the datum-point routine
    // (model/datum_points.cpp), the read-model and change-array-type commands
    // (forward/read_command.cpp, forward/calappmod.cpp, display/display_commands.cpp,
    // display/section_display.cpp) and the cylinder path. Read by the datum-point and
    // plot-point routines (model), the solvers (array_type, through model::SurveyInputs), the
    // apparent-value routines (forward, cylinder) and the pseudosections (display). Not used in
    // this build: level_n_factor, depth_factors.
    std::int32_t array_type = 1; ///< Internal array-type code of the survey.
    /// Copy of array_type taken when the read-model command sets up the data levels; the
    /// calculation driver and the pseudodepth routine read the copy.
    std::int32_t array_type_copy = 0;
    /// Array code kept by the read-model and change-array-type commands; the constructor copies
    /// array_type into it.
    std::int32_t array_type_model = 1;
    std::int32_t nlev = 5; ///< Number of data levels.
    /// Second result of the reader's level-limit computation for the array (the largest level span
    /// the electrodes allow).
    std::int32_t level_span_limit = 0;
    /// Number of levels of pole-dipole data with negative n (reverse direction).
    std::int32_t nreverse = 0;
    std::int32_t nlev_forward = 0; ///< Number of levels of data with n >= 0.
    std::int32_t nlev_read = 0;    ///< nlev as read from the model file.
    float nlev_plus2 = 0.0f;       ///< nlev_read + 2, as a float.
    /// Number of 'a' spacings of the arrays with 'a' and 'n' (ArrayTypeDiaBox2).
    std::int32_t n_a_spacings = 1;
    std::int32_t n_n_values = 5; ///< Number of 'n' values (ArrayTypeDiaBox2).
    /// Number of 'a' spacings of the arrays with 'a' only (ArrayTypeDiaBox2).
    std::int32_t n_a_spacings_wenner = 5;
    /// Pole-dipole direction: 0 forward, 1 reverse (ArrayTypeDiaBox2).
    std::int32_t pole_dipole_reverse = 0;
    /// Answer to "Use maximum geometric factor?" of ArrayTypeDiaBox2: 1 yes, 0 no.
    std::int32_t use_max_geometric_factor = 0;
    /// "Maximum geometric factor" of ArrayTypeDiaBox2; rescaled by the model reader with the unit
    /// spacing.
    float max_geometric_factor = 1055.5776f;
    /// Answer to "Limit maximum depth of investigation?" of ArrayTypeDiaBox2: 1 yes, 0 no.
    std::int32_t limit_depth = 0;
    /// 1: only odd n values for dipole-dipole, pole-dipole and Wenner-Schlumberger
    /// (ArrayTypeDiaBox2).
    std::int32_t odd_n_only = 0;
    /// Largest depth of investigation as a ratio of the line length (ArrayTypeDiaBox2).
    float max_depth_ratio = 10.0f;
    /// Pseudodepth estimate chosen in PseudoDepthDiaBox ("Use median or mean?"): 0 "Median", 1
    /// "Mean".
    std::int32_t pseudodepth_type = 0;
    std::int32_t* level_counts = nullptr;   ///< [S+1] Number of data of each level.
    std::int32_t* level_n_factor = nullptr; ///< [S+1] Second per-level table of the data levels.
    /// [60] Depth-factor table filled by the depth-factor routines and read by the datum-point
    /// routine.
    float* depth_factors = nullptr;

    // ---- Data points ----------------------------------------------------------------------------
    // Written by the model reader (model/reader/readmodel_results.cpp, readmodel_sort.cpp,
    // readmodel_tail.cpp, readmodel_topography.cpp), the datum-point routine
    // (model/datum_points.cpp), the apparent-value routines (forward/apparent.cpp, the cylinder
    // path), the data-file writer (forward/datafile.cpp: the electrode positions of general
    // arrays), the read-model command and the block sensitivities
    // (sensitivity/block_sensitivity.cpp: the z of the electrodes). Read by the writers (forward),
    // the plot-point routine (model/plot_points.cpp), the sensitivity commands and the display.
    // Not used in this build: datum_weight, electrode_spacing_table.
    std::int32_t ndata = 0;            ///< Number of data points.
    std::int32_t ip_data_present = 0;  ///< 1 when the data carry apparent IP values.
    std::int32_t datum_array_type = 0; ///< Array type for which the datum points were computed.
    /// 1 when the results section of the model file holds the calculated apparent values.
    std::int32_t calc_values_present = 0;
    /// 1 when the results section holds the potential tables; the read-model command then computes
    /// the datum points and apparent values from them.
    std::int32_t pot_values_present = 0;
    /// Widest datum span (unit spacings) the solver mesh of the potentials reached for; 0 when
    /// it had no padding for any.
    float potentials_span = 0.0f;
    /// Internal array type the potentials were calculated for (the offset table holds the
    /// potential at the strike offset for the offset pole-dipole array, 10, and the
    /// section-plane potential less it for the others); 0 when unknown.
    std::int32_t potentials_array_type = 0;
    /// 1 when index-layout data give the x of the array midpoint.
    std::int32_t data_x_midpoint = 0;
    /// [D+1] Number of electrodes (2 to 4) of each datum of the general-array layout.
    std::int32_t* datum_nelec = nullptr;
    /// [D+1] 1-based number of the first (leftmost) electrode of each datum.
    std::int32_t* datum_first_electrode = nullptr;
    /// [D+1] Electrode spacing a (in unit spacings) of each datum.
    std::int32_t* datum_a = nullptr;
    /// [D+1] Per-datum value read by the apparent-value, display and pseudodepth routines.
    float* datum_n = nullptr;
    float* datum_weight = nullptr; ///< [D+1] Per-datum value written by the datum-point routine.
    /// [2D floats, the size of D doubles] Median depth of investigation of each datum (datum-point
    /// routine).
    float* datum_median_depth = nullptr;
    float* datum_work = nullptr;      ///< [D] Per-datum work values of the display and the driver.
    float* measured_values = nullptr; ///< [D] Measured apparent resistivity of the results section.
    float* measured_values_2 = nullptr; ///< [D] Second measured value of the results section.
    float* app_resistivity = nullptr;   ///< [D+1] Apparent resistivity of every datum.
    float* app_ip = nullptr;            ///< [D] Apparent IP of every datum.
    float* c1_x = nullptr;              ///< [D+1] X of the C1 electrode of every datum.
    float* c1_z = nullptr;              ///< [D+1] Z of the C1 electrode of every datum.
    float* c2_x = nullptr;              ///< [D+1] X of the C2 electrode of every datum.
    float* c2_z = nullptr;              ///< [D+1] Z of the C2 electrode of every datum.
    float* p1_x = nullptr;              ///< [D+1] X of the P1 electrode of every datum.
    float* p1_z = nullptr;              ///< [D+1] Z of the P1 electrode of every datum.
    float* p2_x = nullptr;              ///< [D+1] X of the P2 electrode of every datum.
    float* p2_z = nullptr;              ///< [D+1] Z of the P2 electrode of every datum.
    /// [N x S] Table by electrode and spacing used by the apparent-value routines.
    float* electrode_spacing_table = nullptr;

    // ---- Electrode-pair potential tables --------------------------------------------------------
    // Written by the solvers through the tables of their Inputs (forward/calculate.cpp,
    // forward/normalise.cpp, ipsolve/runs.cpp, the cylinder path) and by the model reader from a
    // results section (model/reader/readmodel_results.cpp); min_potential and max_potential by the
    // data-file writer (forward/datafile.cpp). Read by the apparent-value routines, the
    // normalisation and the writers (forward) and the cylinder apparent values.
    /// [N x N] First electrode-pair potential table of the resistivity run (output of the finite-
    /// difference solvers, computed from cell_conductivity).
    double* potential_table_a = nullptr;
    /// [N x N] The same table of the IP run (from cell_conductivity_ip).
    double* potential_table_a_ip = nullptr;
    double* potential_table_b_ip = nullptr; ///< [N x N] Second electrode-pair table of the IP run.
    /// [N x N] Second electrode-pair table of the resistivity run.
    double* potential_table_b = nullptr;
    float min_potential = 0.0f; ///< Minimum potential in mV.
    float max_potential = 1.0f; ///< Maximum potential in mV.

    // ---- Noise ----------------------------------------------------------------------------------
    // Written by the noise dialog (forward/noise.cpp) and the data-file writer
    // (forward/datafile.cpp: the voltage noise it drew). Read by the data-file writers
    // (forward/datafile.cpp, datafile_cylinder.cpp).
    /// Random noise level as a percentage (NoiseDiaBox control 500), written by the data-file
    /// writers.
    float noise_level = 0.0f;
    /// Type of noise of NoiseDiaBox: 0 "Apparent resistivity", 1 "Voltage dependent".
    std::int32_t noise_model = 0;
    /// Answer to "Do you want to add noise to the data?" of NoiseDiaBox (buttons 503 No, 504 Yes).
    std::int32_t add_noise = 0;
    /// Answer to "Save noise values in output file?" of NoiseDiaBox (buttons 505 "No, do not save",
    /// 506 "Yes, save noise values"); read by the data-file writers.
    std::int32_t save_noise = 0;
    float noise_amplitude = 0.0f; ///< Voltage noise amplitude in mV.

    // ---- Calculation driver and general-array tables --------------------------------------------
    // Written by the read-model command (forward/read_command.cpp: driver_elec_2 and _3, the x
    // and depth of every electrode in unit spacings), the solver chain (forward/calculate.cpp:
    // driver_cells_2x, the two element values of every cell) and the cylinder path's spectral
    // pass (forward/cylinder_path.cpp: driver_cells_2x and _b, the real and imaginary
    // conductivity of every cell). Read by the finite-element solvers (driver_cells_2x, through
    // fe::Inputs::cells), the cylinder solvers and the complex solvers (driver_elec_2, as
    // ip::Inputs::electrode_x). Not used in this build, allocated for the record's capacity only:
    // calc_state, driver_state, write_option, cell_sigma_dbl_1 to _4, driver_table_1 to _3,
    // driver_elec_1, driver_datum_1, driver_cell_1 and _2, gen_array_1 to _9.
    std::int32_t calc_state = 0;   ///< State word of the calculation driver.
    std::int32_t driver_state = 0; ///< State word of the read-model command and the driver.
    std::int32_t write_option = 0; ///< Switch of the result writers.
    /// [C] Per-cell double-precision work table of the calculation driver.
    double* cell_sigma_dbl_1 = nullptr;
    double* cell_sigma_dbl_2 = nullptr; ///< [C] Same as the field above.
    double* cell_sigma_dbl_3 = nullptr; ///< [C] Same as the field above.
    double* cell_sigma_dbl_4 = nullptr; ///< [C] Same as the field above.
    float* driver_table_1 = nullptr;    ///< [N x S] Table of the calculation driver.
    float* driver_table_2 = nullptr;    ///< [N x S] Same as the field above.
    float* driver_table_3 = nullptr;    ///< [N x S] Same as the field above.
    float* driver_elec_1 = nullptr;  ///< [4N+4] Per-electrode table of the driver and the display.
    float* driver_datum_1 = nullptr; ///< [D] Per-datum table of the driver and the display.
    /// [2C] Two element values of every cell, cells row by row (the solver chain; the
    /// finite-element solvers read it as fe::Inputs::cells).
    float* driver_cells_2x = nullptr;
    float* driver_cells_2x_b = nullptr; ///< [2C] Imaginary conductivities (cylinder path).
    /// [4N+4] X of every electrode, surface then borehole, in unit spacings from the first
    /// (read-model command; the complex solvers).
    float* driver_elec_2 = nullptr;
    /// [4N+4] Depth of every electrode in unit spacings (0 on the surface; read-model command).
    float* driver_elec_3 = nullptr;
    float* driver_cell_1 = nullptr; ///< [C] Per-cell table of the driver.
    float* driver_cell_2 = nullptr; ///< [C] Same as the field above.
    /// [D] Table of the change-array-type command and the general-array writer.
    std::int32_t* gen_array_1 = nullptr;
    std::int32_t* gen_array_2 = nullptr; ///< [D] Same as the field above.
    std::int32_t* gen_array_3 = nullptr; ///< [12D] Same as the field above.
    std::int32_t* gen_array_4 = nullptr; ///< [12D] Same as the field above.
    float* gen_array_5 = nullptr;        ///< [D+1] Same as the field above.
    float* gen_array_6 = nullptr;        ///< [D+1] Same as the field above.
    float* gen_array_7 = nullptr;        ///< [D+1] Same as the field above.
    float* gen_array_8 = nullptr;        ///< [D+1] Same as the field above.
    float* gen_array_9 = nullptr;        ///< [N x S] Same as the field above.

    // ---- Display and model editor ---------------------------------------------------------------
    // Written by the read-model command (forward/read_command.cpp: display_poly_a/_b cleared,
    // colour_marks), the display commands (display/display_commands.cpp) and the plot-point
    // routine (model/plot_points.cpp: the level grid). Read by the block editor
    // (display/block_editing.cpp: colour_marks) and the plot-point routine. Not used in this
    // build, allocated for the record's capacity only: plot_option_1 and _2, datum_x_mode,
    // display_grid_a to _d, mark_list_a and _b, display_cells, display_state_1 to _7.
    std::int32_t plot_option_1 = 0;      ///< Display switch of the model plot.
    std::int32_t plot_option_2 = 0;      ///< Display switch of the model plot.
    std::int32_t datum_x_mode = 0;       ///< Switch of the datum-point and plot-point routines.
    float* display_grid_a = nullptr;     ///< [32 x X x Z + 1] Display table of the model display.
    float* display_grid_b = nullptr;     ///< [32 x X x Z + 1] Display table of the model display.
    float* display_grid_c = nullptr;     ///< [32 x X x Z + 1] Display table.
    float* display_grid_d = nullptr;     ///< [32 x X x Z + 1] Display table.
    std::int32_t* mark_list_a = nullptr; ///< [4R] Block-marking list of the model editor.
    std::int32_t* mark_list_b = nullptr; ///< [4R] Second block-marking list of the model editor.
    float* display_cells = nullptr;      ///< [X x Z] Display table of the model display.
    std::int32_t* display_poly_a = nullptr; ///< [16 x X x Z] Display table of the model display.
    std::int32_t* display_poly_b = nullptr; ///< [16 x X x Z] Display table of the model editor.
    std::int32_t* colour_marks = nullptr;   ///< [R+1] Marks of the model editor.
    std::int32_t* plot_levels = nullptr;    ///< [N x L + 1] Display table of the plotting routines.
    std::int32_t* plot_level_count = nullptr; ///< [L+1] Display table of the plotting routines.
    std::int32_t nplot_levels = 0;            ///< Number of levels of the pseudosection level grid.
    float* plot_level_z = nullptr; ///< [L+2] Depth of each level of the pseudosection level grid.
    float* plot_grid_x = nullptr;  ///< [D] X of each level-grid point.
    float* plot_grid_z = nullptr;  ///< [D] Z of each level-grid point.
    std::int32_t display_state_1 = 0; ///< State word of the model display.
    std::int32_t display_state_2 = 0; ///< State word of the model display.
    std::int32_t display_state_4 = 0; ///< State word of the read-model command and the display.
    std::int32_t display_state_5 = 0; ///< State word of the model display.
    std::int32_t display_state_6 = 0; ///< State word of the model display.
    /// State word of the display, the driver and the mouse handlers.
    std::int32_t display_state_7 = 0;

    // ---- Sensitivities, Jacobians and model resolution ------------------------------------------
    // Written by the sensitivity commands and their dialogs (sensitivity/sensitivity_commands.cpp,
    // block_sensitivity.cpp, electrode_jacobian.cpp), the band solver's Jacobian work files
    // (fesolve/band_solver.cpp: jacob_electrode, jacob_elec_a/_b, coefs_cols_used), the model
    // reader (clears jacob_cal_flag, res_option_3, sens_potentials_ready, sens_values_ready) and
    // the cylinder path (clears jacob). Read by the sensitivity commands and tables
    // (sensitivity), the band solver (jacob, n_elec_positions), the calculation
    // (forward/calculate.cpp: jacob forces finite elements) and the array optimisation (optimise:
    // resolution). Not used in this build: sens_datum_1 to _5, sens_option, res_option_1,
    // sens_option_2, grad_param_b, grad_elec, sens_count_a to _c, sens_cell_1 to _5, res_cell_1 to
    // _7, res_option_4.
    /// Answer to "Do you want to calculate the potential at all the" ... "nodes required for the
    /// sensitivity calculations?" of JacobCalDiaBox (buttons 5281 No, 5282 Yes): 1 yes; greater
    /// than 0 forces the finite-element method.
    std::int32_t jacob = 0;
    std::int32_t sens_nrows = 0;   ///< Rows of sensitivity blocks.
    std::int32_t sens_ncols = 0;   ///< Sensitivity blocks per row (nelec - 1).
    std::int32_t sens_nblocks = 0; ///< sens_nrows x sens_ncols.
    /// Counts of the sensitivity and Jacobian routines. Unused: the block counts are sens_nrows,
    /// sens_ncols and sens_nblocks.
    std::int32_t sens_count_a = 0;
    std::int32_t sens_count_b = 0; ///< Unused, as sens_count_a.
    std::int32_t sens_count_c = 0; ///< Unused, as sens_count_a.
    /// Jacobian calculation flag, cleared by the model reader; read by nothing (the band solver
    /// writes the electrode-position terms whenever jacob is 1).
    std::int32_t jacob_cal_flag = 0;
    /// [D+1] Per-datum table of the sensitivity and Jacobian routines.
    float* sens_datum_1 = nullptr;
    float* sens_datum_2 = nullptr; ///< [D+1] Same as the field above.
    float* sens_datum_3 = nullptr; ///< [D+1] Same as the field above.
    float* sens_datum_4 = nullptr; ///< [D+1] Same as the field above.
    float* sens_datum_5 = nullptr; ///< [D+1] Same as the field above.
    /// [C] Per sensitivity block (blocks row by row from the top left): 1-based node rows and
    /// columns bounding it; its cells are the rows top .. bottom - 1, columns left .. right - 1.
    std::int32_t* sens_row_top = nullptr;
    std::int32_t* sens_col_left = nullptr;   ///< [C]
    std::int32_t* sens_row_bottom = nullptr; ///< [C]
    std::int32_t* sens_col_right = nullptr;  ///< [C]
    /// [C] Geometric mean resistivity of the block's cells.
    float* sens_block_resistivity = nullptr;
    /// [N+1] Where the node-potential table of electrode e starts in a wavenumber block of the
    /// band solver's potentials file, jacob_electrode[e - 1] = (e - 1) x the nodes of a table: a
    /// count past 2^24 on long lines, which a float would round to a neighbouring node.
    std::int64_t* jacob_electrode = nullptr;
    std::int32_t sens_option = 0; ///< Switch of the Jacobian and resolution routines.
    /// Type of sensitivity values to plot (SensTypeDiaBox, buttons 5291 to 5294): "Integrated
    /// sensitivity value", "Sensitivity per unit area", "Block model resolution", "Normalized model
    /// resolution".
    std::int32_t sens_type = 1;
    /// [N+1] First and last cell column (1-based) whose terms move with electrode-position p of
    /// the electrode-position Jacobian.
    std::int32_t* jacob_elec_a = nullptr;
    std::int32_t* jacob_elec_b = nullptr; ///< [N+1] Same as the field above.
    /// Number of coefficient columns used by the electrode-position Jacobian.
    std::int32_t coefs_cols_used = 0;
    float* sens_block_x = nullptr;    ///< [C] Block centre x, unit spacings from electrode 1.
    float* sens_block_z = nullptr;    ///< [C] Block centre depth, unit spacings.
    float* sens_block_area = nullptr; ///< [C] Block area, unit spacings squared.
    /// [C] Integrated sensitivity: sum over the data of the absolute Jacobian entries.
    float* sens_total = nullptr;
    float* sens_unit_area = nullptr;        ///< [C] sens_total / sens_block_area.
    float* resolution = nullptr;            ///< [C] Diagonal of the damped resolution matrix.
    float* resolution_normalized = nullptr; ///< [C] resolution x smallest area / block area.
    /// [C] Per-cell sensitivity tables (sens_cell_1 to _5) and tables of the resolution routines
    /// (res_cell_1 to _7). Unused and not allocated: the per-block tables above (sens_row_top to
    /// resolution_normalized) hold what the sensitivity and resolution commands compute.
    float* sens_cell_1 = nullptr;
    float* sens_cell_2 = nullptr;  ///< [C] Unused, as sens_cell_1.
    float* sens_cell_3 = nullptr;  ///< [C] Unused, as sens_cell_1.
    float* sens_cell_4 = nullptr;  ///< [C] Unused, as sens_cell_1.
    float* sens_cell_5 = nullptr;  ///< [C] Unused, as sens_cell_1.
    float* res_cell_1 = nullptr;   ///< [C] Unused, as sens_cell_1.
    float* res_cell_2 = nullptr;   ///< [C] Unused, as sens_cell_1.
    float* res_cell_3 = nullptr;   ///< [C] Unused, as sens_cell_1.
    float* res_cell_4 = nullptr;   ///< [C] Unused, as sens_cell_1.
    float* res_cell_5 = nullptr;   ///< [C] Unused, as sens_cell_1.
    float* res_cell_6 = nullptr;   ///< [C] Unused, as sens_cell_1.
    float* res_cell_7 = nullptr;   ///< [C] Unused, as sens_cell_1.
    std::int32_t res_option_1 = 0; ///< Switch of the resolution routines.
    /// Answer to "Do you want to calculate the model resolution" ... "values? For large models, it
    /// could take a while." of JacobCalDiaBox (buttons 5283 No, 5284 Yes).
    std::int32_t calc_resolution = 0;
    /// Switch of the resolution routines (also set by the model reader).
    std::int32_t res_option_3 = 0;
    /// Damping factor used to calculate the model resolution (JacobCalDiaBox control 5285, shown
    /// with "%.5f").
    float res_damping = 0.001f;
    /// 1: the data-mode run of an array configuration file writes its data file (command 5271
    /// clears it for its own run).
    std::int32_t sens_option_2 = 1;
    /// Radio pair 5286/5287 of JacobCalDiaBox (not in the dialog template): 1 widens the first and
    /// last sensitivity block of every row.
    std::int32_t extend_side_blocks = 0;
    /// Radio pair 5286/5287 of JacobCalDiaBox, read by the resolution routine. Unused: the choice
    /// is extend_side_blocks.
    std::int32_t res_option_4 = 0;
    /// Number of electrode positions of the electrode-position Jacobian.
    std::int32_t n_elec_positions = 2;
    std::int32_t grad_param_a = 9;  ///< Parameter of the electrode-position gradient routines.
    std::int32_t grad_param_b = 10; ///< Parameter of the electrode-position gradient routines.
    std::int32_t grad_elec = 0;     ///< Electrode of the gradient trace ("gradelec").

    // ---- 2-D sensitivity sections ---------------------------------------------------------------
    // Written by the 2-D sensitivity dialogs and command (sensitivity/dialogs.cpp,
    // section_command.cpp) and the array optimisation (optimise/driver.cpp: narrays). Read by the
    // standard-array sections (sensitivity/standard_arrays.cpp) and the section command. Not used
    // in this build: array_index, sens_param_21, section_scale, water_layer_work.
    /// Array of the 2-D sensitivity section: radio buttons 1201 to 1209 of Array2DSensDiaBox
    /// ("Wenner Alpha" ... "General array").
    std::int32_t sens_array_type = 1;
    /// "Do not use variable spacings" (0) or "Use variable spacings" (1) in the 2-D sensitivity
    /// dialogs.
    std::int32_t sens_variable_spacing = 0;
    /// "Use constant scaling factor" (0) or "Use automatic scaling factor" (1) in the 2-D
    /// sensitivity dialogs.
    std::int32_t sens_auto_scale = 1;
    /// Type of sensitivity calculation in Sens2DDiaBox: 0 "User input surface array", 1 "User input
    /// borehole array", 2 "Read array parameters from file".
    std::int32_t sens_calc_type = 0;
    /// Number of array configurations of a user-defined array file, also the number of sensitivity
    /// sections shown by Sens2DSelDiaBox ("Data set has %d sections").
    std::int32_t narrays = 1;
    /// Number of the sensitivity section to display (Sens2DSelDiaBox control 969); the last section
    /// is the integrated one.
    std::int32_t array_index = 1;
    float sens_n_value = 1.0f; ///< "'n' value" of the array of the 2-D sensitivity section.
    float sens_c1_x = 0.0f; ///< C1 x of the general or borehole array of the sensitivity dialogs.
    float sens_c2_x = 1.0f; ///< C2 x.
    float sens_p1_x = 1.0f / 3.0f;    ///< P1 x.
    float sens_p2_x = 2.0f / 3.0f;    ///< P2 x.
    float sens_c1_z = 0.0f;           ///< C1 z of the borehole array (Array2DBorSensDiaBox).
    float sens_c2_z = 0.0f;           ///< C2 z.
    float sens_p1_z = 0.0f;           ///< P1 z.
    float sens_p2_z = 0.0f;           ///< P2 z.
    float sens_x_min = -1.0f;         ///< "X minimum" of the sensitivity range.
    float sens_x_max = 2.0f;          ///< "X maximum".
    float sens_z_min = 0.01f;         ///< "Z minimum".
    float sens_z_max = 1.0f;          ///< "Z maximum".
    float sens_x_step = 0.02f;        ///< "X spacing".
    float sens_z_step = 0.02f;        ///< "Z spacing".
    float sens_scale_factor = 100.0f; ///< "Constant scaling factor value".
    float sens_resistivity = 1.0f;    ///< "Material resistivity (Ohm.m)" of Sens2DDiaBox.
    float sens_max_current = 1.0f;    ///< "Maximum current (Amp)" of Sens2DDiaBox.
    float sens_min_potential = 0.1f;  ///< Minimum potential in mV of Sens2DDiaBox.
    float sens_unit_spacing = 1.0f;   ///< Unit electrode spacing in m of Sens2DDiaBox.
    std::int32_t sens_param_21 = 0;   ///< Switch of the sensitivity commands.
    /// Scaling factor used to display the chosen sensitivity section (Sens2DSelDiaBox control 1253;
    /// trace "Sensitivity x %.1f").
    float section_scale = 0.0f;

    /// [max_water_layers x water_columns + 1] third water-layer table
    float* water_layer_work = nullptr;

    // ---- Fields of the read-model command, the driver and the writers ---------------------------
    // Written by the read-model command (forward/read_command.cpp), the apparent-value routines
    // (forward/apparent.cpp: the datum electrodes, geometric factors, spectra and fits), the
    // data-file writers (forward/datafile.cpp), the save command (export_array_type), the
    // calculation (data_ready) and the model reader (results_code). Read by the finite-element and
    // complex solvers (nelec_total, borehole_nodes_per_spacing, through fe::make_inputs and
    // ip::make_inputs), the cylinder apparent values (cylinder/apparent.cpp), the writers, the
    // sensitivity commands, the batch and the display; cell_tau and cell_cexp are the Cole-Cole
    // values of the cylinder cells (forward/cylinder_path.cpp writes and reads them). Not used in
    // this build: general_array_file.
    std::int32_t nelec_total = 0; ///< surface electrodes plus every borehole electrode
    std::int32_t borehole_nodes_per_spacing = 0;  ///< node rows between borehole electrodes
    std::int32_t electrode_node_first = 0;        ///< node column of the first electrode
    std::int32_t electrode_node_last = 0;         ///< node column of the last electrode
    std::int32_t* electrode_node_range = nullptr; ///< [64] (256 bytes) electrode node ranges
    std::int32_t ndata_read = 0; ///< number of data points of the model file's own data
    std::int32_t data_ready = 0; ///< 1 when the apparent values are ready
    /// 1 when a block edit changed the model after its results were calculated or read: they
    /// belong to the model before the edit (model_edited sets it; a read and a calculation clear
    /// it), and the data-file save refuses them.
    std::int32_t results_stale = 0;
    /// 1 when a block edit changed the model since it was read or saved as a model file
    /// (model_edited sets it; a read and the model-file save clear it): closing asks to save.
    std::int32_t model_unsaved = 0;
    std::int32_t export_array_type = 0; ///< array code of the export commands
    char general_array_file[256] = "";  ///< array configuration file of the general array
    std::int32_t results_code = 0;      ///< the integer that follows the results-section header
    float* cell_tau = nullptr;          ///< [C] Cole-Cole time constant of every cell
    float* cell_cexp = nullptr;         ///< [C] Cole-Cole exponent of every cell
    std::int32_t* datum_c1 = nullptr;   ///< [D+1] C1 electrode of every datum, 0 = none
    std::int32_t* datum_c2 = nullptr;   ///< [D+1] C2 electrode of every datum, 0 = none
    std::int32_t* datum_p1 = nullptr;   ///< [D+1] P1 electrode of every datum, 0 = none
    std::int32_t* datum_p2 = nullptr;   ///< [D+1] P2 electrode of every datum, 0 = none
    /// [D+1] geometric factor of every datum (1.0 after allocation)
    float* datum_gfactor = nullptr;
    float* datum_tau = nullptr;  ///< [D] fitted Cole-Cole time constant of every datum
    float* datum_cexp = nullptr; ///< [D] fitted Cole-Cole exponent of every datum
    /// [F x D] in-phase apparent values, one block of D per frequency
    float* sip_inphase = nullptr;
    /// [F x D] quadrature apparent values, one block per frequency
    float* sip_quadrature = nullptr;
    float* app_res_grid = nullptr; ///< [V x N] apparent resistivity by level and position
    float* app_ip_grid = nullptr;  ///< [V x N] apparent IP by level and position
    float* cyl_elec_c1 = nullptr;  ///< [D+1] cylinder-model electrode of every datum
    float* cyl_elec_c2 = nullptr;  ///< [D+1]
    float* cyl_elec_p1 = nullptr;  ///< [D+1]
    float* cyl_elec_p2 = nullptr;  ///< [D+1]
    /// [N+1] mesh node of every electrode, cylinder mesh
    std::int32_t* cyl_electrode_nodes = nullptr;
    std::int32_t cyl_double_variant = 0; ///< switch of the cylinder solvers
    float* layout_fractions = nullptr;   ///< [60] layout table of the section drawings

    // ---- Fields of the display and the sensitivity commands -------------------------------------
    // Written by the model section (display/model_section.cpp), the band solver
    // (fesolve/band_solver.cpp: npot_electrodes, sens_potentials_ready) and the block
    // sensitivities (sensitivity/block_sensitivity.cpp). Read by the sensitivity commands, the
    // band solver and the display.
    std::int32_t borehole_display_off = 0; ///< 1: boreholes are not drawn on the model section
    std::int32_t deep_borehole_view = 0;
    std::int32_t first_shown_row = 0;
    float first_shown_depth = 0.0f;
    std::int32_t npot_electrodes = 0;
    std::int32_t sens_potentials_ready = 0;
    std::int32_t sens_values_ready = 0;
    std::int32_t sens_thick_top_rows = 0;
    std::int32_t jacobian_by_datum = 0;

  private:
    bool constructed_ok_ = true;
};

// The global records besides ModelSettings: program limits, display state, potential tables,
// system settings, model-resolution work, trace log, child-window state and 3-D sensitivity.
#pragma once

#include "platform/gfx/canvas.h"
#include "platform/sys/no_copy.h"
#include "platform/sys/sys.h"

#include <cstdint>
#include <cstdio>
#include <vector>

/// State of the status child window (drawn by the shell from these fields).
class StatusWind {
  public:
    std::int32_t bar_width = 0;  ///< full width of the status window and its bar, pixels
    std::int32_t bar_height = 0; ///< height of the status window, pixels
    std::int32_t bar_length = 0; ///< current progress-bar length in pixels, 0 = no bar
    std::int32_t abort_word = 0; ///< 1 when an update_status saw an abort request not reported yet
    char text[512] = "";         ///< current status text: 511 characters and a zero
    char window_name[260] = "Status Window";
};

/// State of the "Next" child window.
class NextWind {
  public:
    char window_name[260] = "Next Window";
    std::int32_t button_width = 0; ///< size of the "Next" button face, pixels
    std::int32_t button_height = 0;
    std::int32_t next_flag = 0; ///< toggled by a left click in the window
};

/// Program limits. The constructor sets only max_plot_levels and max_electrodes_c; window
/// creation sets the rest from the screen width and the physical memory. The owned arrays of
/// ModelSettings and Potentials are sized from these values once (allocate_model_arrays).
///
/// Written by window creation alone (shell/limits.cpp; shell/main_window.cpp the processor
/// fields). Read, as a const ProgLim& parameter, by the model reader and the datum-point and
/// plot-point routines (model), the solvers' builders (model::fill_survey_inputs, lead = N),
/// the apparent-value routines and writers (forward), the display and the optimisation.
class ProgLim {
  public:
    std::int32_t max_electrodes = 0;  ///< N: largest number of electrodes
    std::int32_t max_n = 0;           ///< largest 'n' factor of an array
    std::int32_t max_data_points = 0; ///< D: largest number of data points
    char cpu_vendor[13] = "";         ///< processor vendor text
    std::int32_t simd_level = 0;      ///< 0 no SSE, 1 SSE, 2 SSE2, 3 SSE2 with leaf-1 EDX bit 0
    std::int32_t l2_cache_kb = 0;     ///< level-2 cache size in KB
    std::int32_t cpu_param = 0;       ///< read by the band finite-element solver
    std::int32_t max_levels = 0;      ///< largest number of data levels (160)
    std::int32_t max_resistivity_values = 0; ///< R: largest number of resistivity values (33)
    std::int32_t max_node_rows = 0;          ///< Z: largest number of mesh node rows (170)
    std::int32_t max_node_columns = 0;   ///< X: largest number of node columns, max(4N + 43, 227)
    std::int32_t max_topo_points = 0;    ///< largest number of topography points (N)
    std::int32_t max_spacing_ratio = 0;  ///< S: largest electrode spacing / unit spacing (160)
    std::int32_t max_electrodes_b = 0;   ///< copy of N (positions per level)
    std::int32_t max_plot_levels = 40;   ///< L: bound of the display's level tables
    std::int32_t max_electrodes_c = 301; ///< copy of N after window creation; sizes electrode_water
    std::int32_t max_electrodes_d = 0;   ///< copy of N (argument of calc_plot_points)
    std::int32_t max_node_columns_b = 0; ///< copy of X (block editor plane columns)
    std::int32_t max_node_rows_b = 0;    ///< 425 above 900 MiB of memory, else 0 (block editor)
    std::int32_t limit_4 = 0;            ///< small bound of the shell (4)
    std::int32_t max_borehole_electrodes = 0; ///< E: electrodes in one borehole (32)
    std::int32_t max_boreholes = 0;           ///< B: largest number of boreholes (30)
    std::int32_t max_frequencies = 0;         ///< F: largest number of frequencies (12)
    std::int32_t limit_20 = 0;                ///< bound of the shell (20)
};

/// The trace log: every trace line is formatted into `line` and appended to `file_name`,
/// which is opened and closed again for each line (see trace()).
class PrintTrace {
  public:
    std::int32_t pending = 0; ///< 1 after a line was formatted into `line`
    char file_name[256] =
        "c:\\zultracex64.txt"; ///< window creation: program folder + "kwoptrace.txt"
    std::FILE* file = nullptr; ///< open only while one line is appended
    char line[8192] = "";      ///< the line buffer of every trace point
    std::int32_t active = 0;   ///< the trace switch, 1 = tracing on
};

/// The 32 colours of the colour table at start-up (0x00BBGGRR): entries 0..15 the colour scale,
/// the rest the fixed colours of the drawing routines (entry 13 pure red, 18 white).
extern const std::uint32_t default_colours[32];

/// Display state shared by drawing, data and shell code. Colours are 0x00BBGGRR.
class ProgDisplay {
  public:
    ProgDisplay();

    // ---- Window, canvas and colour table -----------------------------------------------------
    // Written by window creation and painting (shell/main_window.cpp, shell/paint.cpp,
    // shell/child_windows.cpp) and the colour commands (display/colours.cpp: the tables and the
    // palettes). Read by every drawing command (display, sensitivity sections), the calculation
    // and the read-model command (forward: they clear the canvas) and the services
    // (model/services.cpp: the status line).
    std::uint32_t colour_table[36] = {};       ///< colour scale 0..16 and fixed colours
    std::uint32_t saved_colour_table[36] = {}; ///< copy of the first 32 entries at start-up
    std::int32_t canvas_width = 0;             ///< off-screen canvas size, pixels
    std::int32_t canvas_height = 0;
    std::int32_t scroll_x = 0; ///< scroll offsets of the main window, pixels
    std::int32_t scroll_y = 0;
    gfx::Canvas* canvas_dc = nullptr;     ///< the off-screen canvas all drawing goes to (not owned)
    gfx::Canvas* canvas_bitmap = nullptr; ///< the same picture as a bitmap (not owned)
    std::uint32_t palette[32] = {};       ///< logical palette: colour-table entries 0..31
    std::int32_t screen_width = 0;        ///< screen width in pixels
    std::int32_t client_height = 0;       ///< height of the main window's client area
    std::int32_t status_height = 0;       ///< height of the status window

    // ---- Words of the display and the model editor -------------------------------------------
    // Written by the display commands (display/display_commands.cpp, scales.cpp,
    // section_display.cpp: layout and scale), painting (shell/paint.cpp: cursor, font sizes) and
    // the commands that change what the next paint shows (editmode, model_displayed: forward,
    // shell/dispatch.cpp, shell/option_dialogs.cpp). Read by the drawing routines (display) and
    // painting (shell/paint.cpp).
    std::int32_t display_width = 0; ///< screen resolution read at window creation
    std::int32_t display_height = 0;
    std::uint32_t palette256[257] = {}; ///< fixed 256-colour table (entries 0..255 used)
    std::int32_t editmode = 0;          ///< 1 while the model edit mode is on
    std::int32_t edit_changed = 0;      ///< 1 when the last mouse or key action changed a block
    std::int32_t cursor_x = 0;          ///< last mouse position in canvas pixels
    std::int32_t cursor_y = 0;
    std::int32_t grid_flag = 0;       ///< 0 after "Edit model", 1 after "Display model"
    std::int32_t model_displayed = 0; ///< 1: the next paint redraws the model
    std::int32_t left_margin = 0;     ///< left edge of the section drawing, pixels
    std::int32_t layout_margin_left = 0;
    std::int32_t layout_margin_right = 0;
    std::int32_t xplt = 0; ///< origin of the section drawing, pixels
    std::int32_t yplt = 0;
    float xscale = 0.0f;                   ///< pixels per unit electrode spacing
    float vh_factor = 1.0f;                ///< vertical / horizontal display scaling factor
    std::int32_t char_w = 0;               ///< average character width of the display font
    std::int32_t char_h = 0;               ///< text height of the display font
    std::int32_t lengthvx = 0;             ///< plot width, pixels
    std::int32_t layout_client_height = 0; ///< plot height, pixels
    std::int32_t drawn_width = 0;          ///< size of the last picture drawn
    std::int32_t drawn_height = 0;
    std::int32_t ip_display_mode = 0; ///< 1 shows amplitude and phase of spectral IP

    // ---- Section drawing: layout, lines, fills, drawing tools and contour levels ------------
    // Written by the colour commands (display/colours.cpp: brushes, pens), the section drawings
    // (display/pseudosection.cpp, sensitivity/section_display.cpp: line mode, fills), the display
    // commands (level_scheme, ncontours, contour_quantity) and the contour dialogs
    // (display/contour_levels.cpp: the contour_* words, data_min, data_max). Read by the drawing
    // routines (display/lines.cpp, polygon_fill.cpp, contour_fill.cpp, block_section.cpp,
    // model_section.cpp) and the sensitivity sections.
    gfx::Font small_font{"Arial", 12, false}; ///< display font when the client is below 550 px
    std::int32_t plot_width = 0;              ///< electrode-line length of the layout, pixels
    gfx::Brush brushes[32]; ///< solid brushes of palette entries 0..31 (by band, then tools)
    gfx::Pen pens[32];      ///< solid pens of width 1 of the same colours
    std::uint32_t background_colour = 0xFFFFFF;     ///< canvas background; set bits of patterns
    std::uint32_t fill_background = 0xFFFFFF;       ///< colour the fills take as unpainted
    std::uint32_t line_colour = 0;                  ///< outlines; the flood fills stop at it
    std::uint32_t alt_background_colour = 0xF0F0F0; ///< unpainted colour of schemes 2 and 3
    std::int32_t line_mode = 0;              ///< 2: draw_line sets pixels itself, else uses the pen
    std::uint32_t pixel_line_colour = 0;     ///< colour of the pixels of line mode 2
    std::uint16_t line_patterns[33][8] = {}; ///< 8 x 8 pattern per contour level number 0..32
    std::int32_t fill_style = 2;             ///< 2 or more: direct polygons; below 2: outlines
    std::int32_t level_scheme = 1;           ///< 2: 10 levels (black and white), 3: 11, else 16
    std::int32_t ncontours = 0;              ///< number of contour levels in use, 0 or less: none
    float res_levels[32] = {};               ///< contour levels of resistivity sections, ascending
    float ip_levels[32] = {};                ///< contour levels of IP sections
    float extra_levels[32] = {};             ///< third level list passed along with the two
    float user_contour_values[32] = {};      ///< values typed into the user-values dialog
    std::int32_t contour_choice = 1;         ///< 1 linear, 2 log, 3 user linear, 4 user log,
                                             ///< 5 user values, 6 values file
    std::int32_t contour_quantity = 0;       ///< 0 resistivity, 1 IP, 2 sensitivity, 3 uncertainty,
                                             ///< 4 time constant, 5 Cole exponent, 6 phase
    std::int32_t log_factor_choice = 0;      ///< factor 1.19, 1.26, 1.41, 2.00, or 4: typed
    std::int32_t contour_dialog_result = 0;  ///< result of the last contour choice dialog
    float first_contour_value = 0.0f;        ///< lowest level typed in the contour dialogs
    float contour_step = 0.0f;               ///< spacing (linear) or factor (logarithmic)
    float data_min = 0.0f;                   ///< range of the data whose levels are chosen
    float data_max = 0.0f;
};

/// Twelve double-precision tables of a forward calculation, all sized once from
/// N = ProgLim::max_electrodes by allocate_model_arrays and freed by the destructor.
///
/// Written by the solvers through the tables the calculation hands them (forward/calculate.cpp:
/// fe_vector_a/_b, the ip_* tables and the spectral tables; forward/normalise.cpp:
/// potential_table_1/_2; ipsolve/runs.cpp). Read by the apparent-value routines
/// (forward/apparent.cpp, cylinder/apparent.cpp) and the data-file writer. Not used in this
/// build: cylinder_table.
class Potentials : sys::NoCopy {
  public:
    Potentials() = default;
    ~Potentials();

    double* ip_vector_a = nullptr;       ///< [2N+1] remote-electrode results, complex IP runs
    double* ip_vector_b = nullptr;       ///< [2N+1]
    double* ip_vector_c = nullptr;       ///< [2N+1]
    double* fe_vector_a = nullptr;       ///< [2N+1] remote potentials of the resistivity run
    double* fe_vector_b = nullptr;       ///< [2N+1] remote potentials of the IP run
    double* spectral_table_a = nullptr;  ///< [12 x N x N] one N x N block per frequency
    double* spectral_table_b = nullptr;  ///< [12 x N x N]
    double* ip_table_a = nullptr;        ///< [N x N] complex and spectral IP runs
    double* ip_table_b = nullptr;        ///< [N x N]
    double* potential_table_1 = nullptr; ///< [N x N] normalisation run, first pair table
    double* potential_table_2 = nullptr; ///< [N x N] normalisation run, second pair table
    double* cylinder_table = nullptr;    ///< [N x N] cylinder solver
    /// [F x 2(2N+1)] remote-electrode values of every frequency of the spectral IP run: real
    /// parts (as table 1), then imaginary parts (as table 3)
    double* spectral_remote = nullptr;
};

/// Values of the 3-D sensitivity dialog.
class Array3DSens {
  public:
    char work_path[256] = ""; ///< work area of the dialog
    char array_name[256] = "";
    char text_file[256] = "";
    char data_file[256] = "";
    char output_path[256] = "";
    std::int32_t array_type = 1;
    std::int32_t output_format = 0;
    std::int32_t data_type = 0;
    std::int32_t accepted = 0;                                ///< 1 when the dialog ended with OK
    float elec_x[4] = {0.0f, 1.0f, 1.0f / 3.0f, 2.0f / 3.0f}; ///< x of C1, C2, P1, P2
    float elec_y[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float n_factor = 1.0f; ///< the array's n value in the 3-D dialog (0.05 to 30)
    float elec_z[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float x_start = -1.5f;
    float x_end = 2.5f;
    float y_start = -1.5f;
    float y_end = 1.5f;
    float z_start = 0.05f;
    float z_end = 1.0f;
    float x_step = 0.05f;
    float y_step = 0.05f;
    float z_step = 0.05f;
};

/// The file-dialog request shared by every command that asks for a file (file_dialog_init,
/// open_file_dialog, save_file_dialog).
struct FileDialogRecord {
    const char* filter = "All Files (*.*)\0*.*\0"; ///< the only filter offered
    char* file = nullptr; ///< in: default pattern or name; out: the full path
    std::int32_t max_file = std::int32_t(sys::path_max); ///< capacity of `file` in bytes
    char* file_title = nullptr;        ///< in: the caption; out: the file name without its folder
    std::int32_t max_file_title = 264; ///< capacity of `file_title` in bytes
    const char* initial_dir = nullptr;
    const char* title = nullptr; ///< caption: the same buffer as file_title
    std::uint32_t flags = 0;     ///< create prompt (open) or overwrite prompt (save)
};
constexpr std::uint32_t ofn_overwrite_prompt = 0x2;
constexpr std::uint32_t ofn_create_prompt = 0x2000;

/// Names, folders and texts of the program, and the shared file-dialog record.
class SystemSettings {
  public:
    char version_text[320] = "VELDARIN ver. 3.03.01"; ///< also the main window title
    char window_class[264] = "2D Resistivity and IP Forward Modelling";
    char menu_name[264] = "Alteration";
    char icon_name[264] = "DiaIcon";
    char status_class[528] = "Status Windows";
    char next_class[264] = "Next Window";
    char windows_dir[264] = "";           ///< system folder, then the editor program's path
    char program_dir[sys::path_max] = ""; ///< the program folder with its trailing separator
    char file_name[sys::path_max] = "";   ///< file buffer of the file dialogs
    char file_title[264] = "";            ///< title buffer of the file dialogs
    char work_dir[sys::path_max] = "";    ///< folder in which the work-file paths are built
    char initial_dir[sys::path_max] = ""; ///< initial folder of every file dialog
    char bmp_path[256] = "";
    char pcx_path[256] = "";
    char paint_program[256] = "";
    char message_text[256] = "";
    char windows_version_text[256] = "";
    char model_path[sys::path_max] = "";
    char output_dir[sys::path_max] = "";
    char current_dir[sys::path_max] = "";
    std::int32_t windows_version = 0;
    FileDialogRecord file_dialog;
};

/// Parameters and work files of the model-resolution and array-optimisation computations.
/// The constructor allocates eight zero-filled work arrays; the destructor empties and deletes
/// the eight work files and frees the arrays.
class ModelResolution : sys::NoCopy {
  public:
    ModelResolution();
    ~ModelResolution();

    std::int32_t opt_nelec = 22;          ///< "Number of electrodes"
    std::int32_t opt_max_iterations = 40; ///< "Maximum number of iterations (20 to 50)"
    float opt_bgs_ratio = 0.8f;           ///< "Ratio of BGS iterations for BGS-CR method"
    float opt_extra_ratio = 0.09f;        ///< "Ratio of extra arrays per iteration"
    std::int32_t opt_max_arrays = 5000;   ///< "Maximum number of arrays"
    float opt_depth_ratio = 0.2f;         ///< "Ratio of maximum model depth to line length"
    float opt_first_thickness = 0.5f;     ///< "Thickness of first model layer"
    float opt_thickness_factor = 1.1f;    ///< "Factor to increase thickness of model layers"
    std::int32_t opt_max_n = 5;           ///< "Maximum 'n' factor for dipole-dipole array"
    float opt_damping = 0.01f;            ///< "Inversion equation damping factor"
    float opt_unit_spacing = 1.0f;        ///< "Unit electrode spacing"
    std::int32_t opt_param_64 = 64;       ///< largest number of electrodes of the optimisation
    std::int32_t opt_param_41 = 41;       ///< largest number of model layers
    std::int32_t opt_param_100 = 100;     ///< iteration limit
    std::int32_t opt_param_2 = 2;         ///< method
    float opt_param_005 = 0.05f;
    float opt_param_097 = 0.97f;
    float opt_param_098 = 0.98f;
    float opt_param_095 = 0.95f;
    std::int32_t eth_type = 1; ///< radio switches of the options dialog
    std::int32_t cable_layout = 0;
    std::int32_t keep_symmetry = 0;
    std::int32_t array_kinds = 0;
    std::int32_t use_sse2 = 0;
    /// The Compare R variant: its report is named "model_res_cpr_trc" (no dialog sets it).
    std::int32_t compare_r_variant = 0;

    std::int32_t* opt_work_1 = nullptr; ///< [64]
    std::int32_t* opt_work_2 = nullptr; ///< [opt_param_41 + 1]
    std::int32_t* opt_work_3 = nullptr; ///< [4 x 41 x 64]
    std::int32_t* opt_work_4 = nullptr; ///< [4 x 41 x 64]
    std::int32_t* opt_work_5 = nullptr; ///< [opt_param_100 + 1]
    std::int32_t* opt_work_6 = nullptr; ///< [opt_param_100 + 1]
    std::int32_t* opt_work_7 = nullptr; ///< [opt_param_100 + 1]
    std::int32_t* opt_work_8 = nullptr; ///< [opt_param_100 + 1]

    /// Work files; window creation prefixes the run's work folder (as long as the other work-file
    /// paths, so that it fits inside a deep program folder).
    char work_files[8][512] = {
        "elecs_opt.bin",           "elecs_file.bin", "grad2d_pp.bin",      "gradmatrix.bin",
        "gradmatrix_complete.bin", "hessmatrix.bin", "hessmatrix_row.bin", "invmatrix.bin"};
    std::FILE* work_stream = nullptr;

    // ---- Array optimisation --------------------------------------------------------------------
    std::int32_t narrays = 0;   ///< number of arrays of the optimised set
    char output_name[256] = ""; ///< path of the optimisation report
    char stem[256] = "";        ///< file-name stem of the protocol files
    /// [4 x narrays] C1, C2, P1, P2 of the optimised set of the last run
    std::vector<std::int32_t> arrays;

    /// True when every constructor allocation succeeded.
    bool allocated() const;
};

// The state of one model-file read shared by the sections of the reader (text and cursor,
// summary lines, the common way out of a failed check) and the sections in file order.
#pragma once

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/utilities.h"

#include <cstdint>
#include <string>
#include <vector>

namespace gfx {
class Canvas;
}

namespace model {

/// Thrown by ModelReader::fail and ModelReader::stop to end the read; caught only by
/// readmodel_2D, which turns it into its common exit. `error` is the check's error number.
struct ReadStop {
    int error;
};

/// One read of a model file: the text, its cursor, the summary position and the result.
/// The sections below advance the cursor and store into `model`; a failed check shows its
/// message and throws ReadStop, so a section never goes on after a refusal.
class ModelReader {
  public:
    ModelReader(const ProgLim& limits, ModelSettings& model, gfx::Canvas* dc, const char* text,
                std::int32_t length);

    const ProgLim& limits;
    ModelSettings& model;
    const ModelCapacities capacity; ///< element counts of the owned arrays of `model`
    const char* const text;
    const std::int32_t length;
    std::int32_t cursor = 0;
    /// 1 until the level-limit step of the array-type section, then 0; 1 again when any later
    /// check refuses the file.
    int result = 1;

    // ---- Reads (the text readers, with the cursor of this read) ----
    /// While true, a number read must come before the end of the text, after nothing but blanks,
    /// line ends, commas and semicolons: the end refuses the file ("... ends in line %d ...") and
    /// so does text ("Line %d holds \"%s\" where a number belongs."). The sections every model
    /// file has read this way; the optional ones after the block rows look ahead themselves.
    bool numbers_required = false;
    /// While true (ExpectedValues: the values of a list whose count the file gave, the rest of
    /// a section whose header it gave), the end of the text before a number refuses the file as
    /// numbers_required does; text before the number is passed over.
    bool values_expected = false;
    /// Text offset of the last number token read (for messages that name its line).
    std::int32_t last_number_at = 0;
    /// Text offset of the depth of the water's floor (the last water layer's fourth value).
    std::int32_t water_depth_at = 0;
    /// x of the gradient array's first current electrode (metres), as its array line gives it.
    float gradient_c1_x = 0.0f;
    /// A whole number (25, 25.0 and 2.5e1 alike); a token that is no number, or one with a
    /// fraction, refuses the file naming its line. Values beyond 32 bits are held at the limit.
    std::int32_t read_int();
    /// A real number (the exponent letter may be e, E, d or D); one too large for a float, or a
    /// token that is no number, refuses the file ("Error in model data file!").
    float read_real();
    /// The same in double precision (the potential tables).
    double read_double();
    /// The next line (blank lines and leading blanks skipped), at most width - 1 characters.
    std::string read_line(int width = 1024);
    /// The next line without moving the cursor.
    std::string peek_line(int width = 1024);
    bool at_end() const { return cursor >= length; }
    /// Refuses the file with the end-of-file message when no number is left after the cursor.
    void expect_number();

    // ---- Summary lines (x 8 unless given; each line moves down 16 pixels) ----
    void print(const std::string& line, int x = 8);
    void printf(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void printf_at(int x, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

    // ---- Refusals: format into model.message_text, show it, end the read ----
    /// Beep, message box with `caption`, then ReadStop{error}.
    [[noreturn]] void fail(int error, const char* caption, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 4, 5)))
#endif
        ;
    /// The same without the beep.
    [[noreturn]] void fail_quiet(int error, const char* caption, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 4, 5)))
#endif
        ;
    /// Refuses the file ("Error in model data file!", the number in the cursor's line is too
    /// large) when `value`, a number read or one derived from it, is not finite.
    void refuse_unless_finite(double value);
    /// Ends the read after a routine that showed its own message.
    [[noreturn]] void stop(int error) {
        throw ReadStop{error};
    }
    /// Beep and message box; the read goes on.
    void warn(const char* caption, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

    /// 1-based number of the line the cursor stands in (for messages).
    int line_number() const;
    /// 1-based number of the line of the byte at `offset`.
    int line_number(std::int32_t offset) const;
    /// The canvas the summary lines are drawn on (nullptr: none).
    gfx::Canvas* canvas() const {
        return dc_;
    }

  private:
    gfx::Canvas* dc_;
    int print_y_ = 10;
    void require_number();
    NumberToken read_token();
};

/// For its life the numbers a ModelReader reads are expected (ModelReader::values_expected):
/// a file that ends before one of them gets the reader's end-of-file message.
class ExpectedValues {
  public:
    explicit ExpectedValues(ModelReader& r) : r_(r), saved_(r.values_expected) {
        r.values_expected = true;
    }
    ~ExpectedValues() { r_.values_expected = saved_; }
    ExpectedValues(const ExpectedValues&) = delete;
    ExpectedValues& operator=(const ExpectedValues&) = delete;

  private:
    ModelReader& r_;
    const bool saved_;
};

/// A summary line of values (" %6.2f" each), written whenever it reaches `width` characters
/// and once more at the end.
class ValuesLine {
  public:
    ValuesLine(ModelReader& reader, int width) : reader_(reader), width_(width) {}
    void add(const char* format, double value);
    /// Writes what is left (an empty line when the last value filled it).
    void flush();

  private:
    ModelReader& reader_;
    int width_;
    std::string text_;
};

/// readmodel_2D with the error number of the check that ended the read (0 when none did).
int read_model_file(const ProgLim& limits, ModelSettings& model, char* name_buffer,
                    const char* path, gfx::Canvas* dc, int& error_number);
/// The part of read_model_file after the file is loaded: parses text[0..length) (the fields of
/// the start of the read must have been cleared). Sets error_number only when a check fails.
int read_model_text(const ProgLim& limits, ModelSettings& model, char* name_buffer,
                    const char* text, std::int32_t length, gfx::Canvas* dc, int& error_number);
/// Clears the fields every read starts from (the first step of readmodel_2D).
void clear_read_fields(ModelSettings& model);

// ---- Sections in file order (each throws ReadStop through the reader on a refusal) ----------

/// Model name into `name_buffer` (256 bytes); model kind (cylinder, convex section, tank with
/// its walls and floor, or a block model).
void read_model_header(ModelReader& r, char* name_buffer);
/// Electrode type, electrodes, data levels, water layers, unit spacing, remote electrodes.
void read_survey_section(ModelReader& r);
/// Grid-depths flag, block line, resistivities, nodes per spacing, grid rows, the horizontal
/// mesh and the depths (radii) with the automatic deepening.
void read_grid_section(ModelReader& r);
/// The optional borehole section, then the floor lines of a tank whose depths were given.
void read_borehole_section(ModelReader& r);
/// The rows of resistivity block codes, and the copy of the last row into rows added below.
void read_block_rows_section(ModelReader& r);
/// Everything the model file holds after the block rows. Runs after read_block_rows_section;
/// when it returns, the end-of-read steps (finish_model_read) run. It sets r.result to 0 at the
/// level-limit step of the array-type section; a refusal after it still fails the read.
void read_model_after_blocks(ModelReader& r);
/// End of a successful read: the final mesh (build_final_mesh) and the closing summary line.
void finish_model_read(ModelReader& r);
/// Water rows at the top of the grid, the tank floor row and the mesh nodes under the surface.
/// Runs at every end of a read after the level-limit step, also when a later check refused the
/// measured data, so that the model never keeps the mesh of an earlier one.
void build_final_mesh(ModelReader& r);

// ---- Sections after the block rows (read_model_after_blocks runs them in this order) ---------

/// IP values (chargeabilities) with their block codes, and for a spectral-IP model the time
/// constants, exponents and frequencies with theirs. Without an IP header nip, ntau, ncip and
/// nfreq are 0 and nothing is read.
void read_ip_section(ModelReader& r);
/// The array type (file code 1 to 10, or 11 with the multiple-gradient line that gives its
/// number of current-electrode segments to n_n_values) with the electrode offset of arrays 8 and
/// 10 or the line of arrays 9, and the default depths when the file gives none.
void read_array_type_section(ModelReader& r);
/// Largest number of data levels `nelec` electrodes allow for internal array type `array_type`,
/// at most `max_levels`; writes the largest level span into `span_limit`.
int max_levels_for_array(int nelec, int array_type, int& span_limit, int max_levels = 160);
/// The level limit (from here on the read's result is 0) and the end-of-text test: returns 1,
/// with calc_values_present and pot_values_present 0, when only blanks and line ends follow;
/// 0 when a results section follows.
int check_levels_and_end(ModelReader& r);

/// Positions and spacings of index-layout data as the file gives them (metres, reals), kept
/// until the spacing checks turn them into electrode numbers and whole unit spacings.
struct MeasuredPositions {
    std::vector<float> x;         ///< x of the first electrode of each datum
    std::vector<float> a;         ///< electrode spacing of each datum
    std::vector<std::int32_t> at; ///< text offset of each datum (general layout)
};
/// The results section: calculated values (skipped), potential tables and measured data, the
/// model's own datum list (datum_array_type = array_type): by first electrode, spacing and n
/// factor (index layout), or, for the multiple gradient array only, by the positions of the
/// four electrodes (general array format), placed on the model's electrodes. The unit spacing
/// and the electrodes stay the model's. Refusals end the read with error number 1.
void read_results_section(ModelReader& r, MeasuredPositions& data);
/// Topography and the electrode values, then the spacing and location checks that turn the
/// index-layout data into whole unit spacings and electrode numbers.
void read_topography_section(ModelReader& r, const MeasuredPositions& data);
/// Refuses the file, naming the line, when a number other than 0 follows the topography
/// section: the program's own files close with zeros and their version line, while a number
/// out of place before it shifts every value read after it (an extra 0 before the topography
/// flag reads that flag as 0 and its points as the values per electrode). Text from the first
/// line that begins with no number on is not read.
void refuse_numbers_after_topography(ModelReader& r);
/// Groups index-layout data into levels and offers to merge repeated points, refusing data
/// that need electrodes the model does not have (beyond its line, between its electrodes by
/// their n factor, or on the current electrodes of the gradient array) and data on more levels
/// than the program holds.
void sort_measured_data(ModelReader& r);

/// The per-datum columns moved together by the sorts of the measured data (ip may be null).
struct DataColumns {
    std::int32_t* x; ///< first electrode
    std::int32_t* a; ///< spacing
    float* n;        ///< n factor
    float* res;      ///< measured apparent resistivity
    float* calc;     ///< calculated apparent resistivity
    float* ip;       ///< measured apparent IP, or nullptr
};
/// Sorts `ndata` data by `keys` (ascending when `ascending` is 1, else descending) and within
/// equal keys by x the same way, carrying `keys` and every column of `data` (the IP column only
/// when ip_flag is 1); data of equal key and x keep their order. Runs of exactly equal keys
/// form the levels: level_counts[l] is the size of level l. Returns the number of levels. When
/// the data have more than `max_levels` levels, shows "Too many datum levels!..." ("Datum
/// levels error"), keeps the first max_levels levels and lowers ndata to the data they hold
/// (the reader then refuses the file: the data it lists are not all calculated).
/// `keys` must be finite.
int sort_data_into_levels(int ascending, int ip_flag, int max_levels, std::int32_t* level_counts,
                          float* keys, int& ndata, const DataColumns& data);

// ---- Looking ahead in the text ------------------------------------------------------------------

/// True when only blanks, control bytes and line ends (bytes 0 to 32 and 255) follow the cursor.
bool only_blank_left(const ModelReader& r);
/// True when the token the next number read takes holds a digit: a number follows.
bool number_ahead(const ModelReader& r);

// ---- Steps shared by the sections -------------------------------------------------------------

/// Mesh rows the water layers take at the top of the grid (0 without water), with the depths
/// of their lines measured upward from the water floor in `depths` (up to 14 entries).
int water_line_depths(float total_thickness, float* depths);
int water_row_count(const ModelSettings& model);
/// Refuses water too deep for the mesh under it (its line named): the depth lines are measured
/// from the water surface in single precision, and at the bottom of the mesh they must still
/// tell apart the lines of its thinnest row. Runs once the depth lines are final.
void check_water_depth(ModelReader& r);
/// Largest number of depth grid lines the mesh tables hold for this model, keeping room for
/// the water rows and, for a tank, the three floor lines.
int max_grid_lines(const ModelReader& r);
/// Deepens the depth grid from line ngrid_lines while it is shallower than `target`, each new
/// row 1.25 times the one above, up to max_grid_lines; fails (error 4) when the grid of a model
/// other than a tank then reaches less than half of `target`.
void extend_depth_grid(ModelReader& r, float target);
/// Fails with "Too many electrodes!", naming the line of the text offset `at`, unless the
/// surface and `borehole_electrodes` borehole electrodes together are at most the N electrodes
/// the calculation takes (the remote electrodes have records of their own beside them).
void check_electrode_table_room(ModelReader& r, int borehole_electrodes, std::int32_t at);
/// Adds three lines below a grid that does not reach one unit spacing below the tank floor.
void add_tank_floor_lines(ModelReader& r);
/// Default depths of the grid lines for a model file that gives none (depths_given not 2),
/// with the thickness factor of model.array_type when depths_given is 1, deepened like given
/// depths when extend_depth is 1 and, for a tank, the floor lines below them, with the code
/// rows and node rows extended to match.
void set_default_depth_lines(ModelReader& r);
/// Copies row j - 1 of a code table into row j for j = first_new_row .. last_row (all columns).
void copy_code_rows_down(std::int32_t* codes, int ncolumns, int first_new_row, int last_row);
/// Rows ngrid_rows + 1 .. ngrid_lines of every code table in use repeat the row above them.
void extend_code_rows(ModelSettings& model);
/// When the depth grid holds more lines than rows were read: "Depth grid lines extended to %d
/// lines.", and ngrid_rows, nz_nodes and nz_cells follow ngrid_lines.
void apply_grid_extension(ModelReader& r);

} // namespace model

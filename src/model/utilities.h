// Shared small routines: text-buffer readers, index sorts, permutations and gathers, rounding,
// 1-based 2-D addressing, the level-count formula, block codes to cell conductivities and the
// logarithmic misfit of apparent resistivities.
#pragma once

#include <cstddef>
#include <cstdint>

class ModelSettings;

// ---- Text-buffer readers ---------------------------------------------------------------------
// The buffer is the whole file; `cursor` is a byte offset owned by the caller and advanced in
// place. No reader allocates, none reads at or past `length`, and none fails: at the end of the
// buffer a line read gives an empty string and the number readers give 0.

/// Skips bytes 0..32 and 255 (blank lines, CR and LF of an earlier line, blanks), then copies the
/// line up to CR, LF or the end of the buffer into `destination`, storing at most
/// destination_size - 1 bytes and a terminating zero (the rest of a longer line is passed over).
/// Leaves the cursor on the CR or LF that ended the line, or at `length`. Returns the number of
/// bytes stored. CRLF and LF line ends are both accepted.
int read_buffer_line(const char* buffer, char* destination, std::int32_t& cursor,
                     std::int32_t length, std::int32_t destination_size);
/// One number token of a text buffer, as read_buffer_number takes it.
struct NumberToken {
    std::int32_t start = 0; ///< offset of its first byte (the length when no number followed)
    std::int32_t size = 0;  ///< bytes taken; 0 when the text held no further number
    /// The whole token is one number: an optional sign, digits with at most one point, and an
    /// optional exponent whose letter may be e, E, d or D (the exponent letters of Fortran
    /// output, "1d2" = 100). "1e", "1.2.3", "--5" and "-" are not numbers.
    bool whole = false;
    /// Its value when whole; otherwise the value of its longest leading number ("1e" gives 1).
    double value = 0.0;
};
/// Passes over every byte that cannot start a number (letters, commas, blanks, line ends), then
/// takes a token of '-', '+', digits, 'e', 'E', 'd', 'D' and '.' (of any length: a long token is
/// one number). The cursor ends on the first byte not taken.
NumberToken read_buffer_number(const char* buffer, std::int32_t& cursor, std::int32_t length);
/// The value of the next number token (read_buffer_number): "1d2" gives 100, "1.5D3" 1500; a
/// token that is not a number gives its longest leading number.
double read_buffer_real(const char* buffer, std::int32_t& cursor, std::int32_t length);
/// The next number token truncated toward zero and held to 32 bits: "12.7" gives 12 with the
/// cursor after the 7, "2.5e1" 25; a token that is not a number gives its leading integer.
std::int32_t read_buffer_int(const char* buffer, std::int32_t& cursor, std::int32_t length);

// ---- Sorts, permutations and gathers (positions are 1-based: position p is element p - 1) ----

/// Shell sort of values[0..n-1], ascending when `ascending` is non-zero, else descending; on
/// return index[p-1] is the original position of the value now at position p. Equal values are
/// exchanged too (the order of equal values is not kept).
void shell_sort_real_index(int ascending, float* values, std::int32_t* index, int n);
void shell_sort_int_index(int ascending, std::int32_t* values, std::int32_t* index, int n);
/// Moves element p of v to position perm[p] (work: n doubles).
void permute_vector(double* work, double* v, const std::int32_t* perm, int n);
void permute_vector(float* work, float* v, const std::int32_t* perm, int n);
/// Position p of a receives the element that index[p] names (work: n values). With the index
/// of a sort it puts a companion array into the sorted order.
void gather_int_by_index(std::int32_t* a, std::int32_t* work, const std::int32_t* index, int n);
void gather_real_by_index(float* a, float* work, const std::int32_t* index, int n);

// ---- Numbers ---------------------------------------------------------------------------------

/// The bound of round_to_int and truncate_to_int: 2^29, so that the sum or difference of two
/// results (a pixel coordinate plus an offset, the width between two) still fits an int.
constexpr std::int32_t int_clamp = 1 << 29;
/// Nearest integer, halves away from zero: 2.5 -> 3, -2.5 -> -3; clamped to +-int_clamp
/// (NaN gives 0). Every other float-to-integer conversion of the program truncates toward zero.
std::int32_t round_to_int(float x);
/// Truncation toward zero, clamped as round_to_int is: for coordinates that truncate.
std::int32_t truncate_to_int(float x);
/// round_to_int(1000 x) x 0.001.
double round_to_thousandths(float x);
/// Offset of entry (i, j), 1-based, of a table stored column after column with n entries per
/// column: (i - 1) + (j - 1) n.
constexpr std::int32_t index2d(std::int32_t i, std::int32_t j, std::int32_t n) {
    return (i - 1) + (j - 1) * n;
}
/// Reverses a[0..n-1] in place.
void reverse_real_array(int n, float* a);
/// Number of data of level k with m electrodes for internal array code c: m - 3(k - 1) for the
/// Wenner arrays (1..3), m - 2(k - 1) for Wenner-Schlumberger (7), m - k + 1 for the rest.
std::int32_t level_datum_count(int array_code, int m, int k);

/// Cell conductivities from block codes on a grid of l - 1 cell columns and n - 1 cell rows
/// (cell (i, j) at index2d(i, j, l - 1)): columns left of col_start take the codes of col_start,
/// columns right of col_end those of col_end; conductivity = 1 / resistivities[code] and, when
/// nip > 0, ip_conductivity = (1 - chargeabilities[ip code]) x conductivity. For a tank model
/// (settings.tank_model = 1) every cell outside the walls gets 1 / tank_wall_resistivity (and
/// the same IP conductivity). Codes must lie within the value lists.
void set_code2res(const ModelSettings& settings, int nip, const float* chargeabilities,
                  const std::int32_t* ip_codes, float* ip_conductivity, int l, int n, int col_start,
                  int col_end, const std::int32_t* codes, float* conductivity,
                  const float* resistivities);

/// Fills `shown` by mode (0: measured; 2: 100 ln(measured / calculated), or the calculated
/// values after the message "There is absolutely no difference ..." when every ratio is 0;
/// other modes: calculated), then log_ratio[p] = ln(measured / calculated) and rms = the root
/// mean square of log_ratio, over n data. Returns the mode.
int rms_log_misfit(int mode, int n, float* shown, const float* measured, const float* calculated,
                   float* rms, float* log_ratio);

namespace model {
/// The model changed (a block edit, new layer depths): every result of the earlier calculation
/// belongs to the model before the change. The sensitivity state goes (sens_potentials_ready and
/// sens_values_ready 0: the work files hold the old model's node potentials); when there were any
/// results, results_stale becomes 1, pot_values_present and data_ready 0 and the calculated
/// apparent values (app_resistivity, app_ip of the ndata data) 0, so that no display, save or
/// sensitivity command takes them for the changed model's; model_unsaved becomes 1.
void model_edited(ModelSettings& settings);
/// Copies `source` into `destination` of `capacity` bytes, cut at capacity - 1 bytes and always
/// terminated (nothing is written when capacity is 0). A null source copies "".
void copy_text(char* destination, std::size_t capacity, const char* source);
/// The name a save dialog proposes for the results of the model file at `model_path`: its name
/// with `extension` (".dat") in place of its own ("/data/wenner.mod" gives "wenner.dat"), into
/// `destination` of `capacity` bytes; "*" + extension when no model file is named.
void proposed_file_name(char* destination, std::size_t capacity, const char* model_path,
                        const char* extension);
} // namespace model

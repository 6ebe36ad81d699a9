// The standard data set of an electrode array on a line of equally spaced surface electrodes:
// one datum per position for every accepted level, grouped into datum levels by depth.
#pragma once

#include "model/model_settings.h"
#include "model/records.h"
#include "platform/sys/no_copy.h"

#include <memory>

/// The depth order of a datum list that calc_datum_points left to come. work_out() sorts a copy
/// of the list and reads nothing else, so that it may run on any thread while the settings are
/// used elsewhere (nothing may write the list meanwhile); place() writes the ordered list into
/// the settings, working it out first if it has not been.
class DatumOrder : sys::NoCopy {
  public:
    DatumOrder();
    ~DatumOrder();
    /// Whether a list waits for its order.
    bool pending() const;
    void work_out();
    void place(ModelSettings& settings);

  private:
    friend int calc_datum_points(ModelSettings&, const ProgLim&, DatumOrder*);
    struct List;
    std::unique_ptr<List> list_;
};

/// Builds the standard data set of the internal array type settings.array_type on
/// settings.nelec surface electrodes and returns the number of data (callers store it in
/// settings.ndata).
///
/// Levels: a = 1 .. settings.nlev for the arrays with 'a' only (Wenner 1-3, pole-pole 4,
/// equatorial 8, gradient 9); a = 1 .. n_a_spacings and n = 1 .. n_n_values for dipole-dipole 5,
/// pole-dipole 6 and 10 (n negative when pole_dipole_reverse is set) and Wenner-Schlumberger 7.
/// A level is kept when it has data on the line and, for types 1-7 and 10, passes the odd-n,
/// depth (limit_depth, max_depth_ratio) and geometric-factor (use_max_geometric_factor,
/// max_geometric_factor) tests; the pole arrays are judged by the depth of the electrodes in
/// use. Data stop before limits.max_data_points - nelec, levels at limits.max_levels and
/// limits.max_spacing_ratio. The multiple-gradient set (15) lowers n_n_values to nelec / 8 when
/// larger, writes c1_x .. p2_x in metres and stops at limits.max_data_points data.
///
/// Writes datum_first_electrode, datum_a, datum_n, datum_median_depth (0 except for types 5, 6,
/// 7 and 10) and level_counts, and stores the number of accepted levels in settings.nlev. Types
/// 5, 6, 7 and 10 are then sorted by depth and grouped into datum levels (group_datum_levels);
/// settings.nlev stays the number of accepted (a, n) levels. Codes 11 to 14 and above 15 give
/// no data. Arrays must hold limits.max_data_points + 1 entries, level_counts
/// limits.max_spacing_ratio + 1.
///
/// With `later`, the depth order of types 5, 6, 7 and 10 may be left to it: the settings then
/// hold the data in the order they were generated, their depths not yet set, until
/// later->place(settings). The number of data and of levels is the same either way.
int calc_datum_points(ModelSettings& settings, const ProgLim& limits, DatumOrder* later = nullptr);

/// Sorts `ndata` data by `depths` (ascending when `ascending` is 1, else descending) carrying
/// first_electrode, a and n with them, and groups runs of exactly equal depth into datum levels:
/// level_counts[l] receives the size of level l, and within a level the data are ordered by first
/// electrode. Returns the number of levels. When there are more than `max_levels` depths, it
/// shows "Too many datum levels!..." ("Datum levels warning"), keeps the first `max_levels`
/// levels and lowers `ndata` to the data they hold.
int group_datum_levels(int ascending, int max_levels, int* level_counts, float* depths, int& ndata,
                       int* first_electrode, int* a, float* n);

/// Plotting geometry of one four-electrode datum at the positions c1, c2, p1, p2 (unit
/// spacings). Writes the asymmetry (dC - dP) / (2 dP) with its sign flipped when the potential
/// midpoint lies right of the current midpoint, the offset ratio (mC - mP) / dP (both rounded
/// to four decimals) and the x-location (c1 + c2 + 4.5 p1 + 4.5 p2) / 11. Returns the median
/// depth of investigation rounded to thousandths; with `mode` 0 the potential dipole is
/// centred on the current midpoint for that depth.
float calc_datum_geometry(int mode, float c1, float c2, float p1, float p2, float* asymmetry,
                          float* offset_ratio, float* x_location);

// Array configuration files: user-defined four-electrode configurations with an optional grid of
// sensitivity values and an optional results section, their reader, and the sensitivity report
// (the same format with its results) that can be read back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace forward {

/// Electrodes of a configuration, in the order of every coordinate list.
enum ConfigElectrode : int { c1 = 0, c2 = 1, p1 = 2, p2 = 3 };

/// One configuration. Positions are in unit electrode spacings, x along the line (the file's
/// horizontal offset included) and z depth, positive downwards.
struct ArrayConfiguration {
    /// 4: C1, C2, P1, P2; 3: C1, P1, P2; 2: C1 and P1. In the old format the count comes from
    /// the coordinates (3 when C2's x is negative, 2 when P2's x is negative) and the absent
    /// electrodes stand where the file puts them; in the new format it is the count read.
    int count = 4;
    float x[4] = {}, z[4] = {};
    std::string label; ///< at most 119 characters; empty in the new format
    /// True when electrode e is one the count names (C1 and P1 always, P2 for 3 and 4, C2 for 4).
    bool named(int e) const { return e == c1 || e == p1 || (e == p2 && count >= 3) || count == 4; }
};

/// The grid of sensitivity values of a file, in unit spacings, and its physical constants.
struct SensitivityGrid {
    float x1 = 0, x2 = 0, dx = 0, z1 = 0, z2 = 0, dz = 0;
    float resistivity = 0;   ///< material resistivity, ohm.m
    float current = 0;       ///< maximum current, A
    float min_potential = 0; ///< minimum potential, mV
    /// Points of the grid: round(|x2 - x1| / dx) + 1 and round(|z2 - z1| / dz) + 1.
    int nx() const;
    int nz() const;
};

/// Sensitivity sections of the configurations on a grid: computed, or read back from a report.
struct SensitivitySections {
    int nx = 0, nz = 0;
    float factor = 1.0f;            ///< multiplication factor of every value
    std::vector<float> x, z;        ///< grid positions, unit spacings; z positive downwards
    bool per_configuration = false; ///< a block for each configuration before the integrated one
    /// Blocks of nx x nz values, x fastest: one per configuration when per_configuration, then
    /// the integrated block (mean |S| of the configurations).
    std::vector<float> values;
    std::vector<float> potentials; ///< potential of each configuration, V
    std::size_t points() const { return std::size_t(nx) * std::size_t(nz); }
    const float* integrated() const { return values.data() + values.size() - points(); }
};

/// What a configuration file holds.
struct ConfigurationFile {
    std::string title;
    float spacing = 1.0f; ///< unit spacing of the run: the model's when the file's differs
    float offset = 0.0f;  ///< horizontal offset (old format: unit spacings; new: file units)
    bool new_format = false;
    std::vector<ArrayConfiguration> arrays;
    bool has_grid = false;
    SensitivityGrid grid;
    bool has_results = false;
    SensitivitySections results;
    /// True when electrode e of configuration k takes part in sums and checks: every electrode
    /// of the old format (absent ones where the file puts them), the named ones of the new.
    bool takes_part(int k, int e) const { return !new_format || arrays[std::size_t(k)].named(e); }
};

/// Receives each line the reader shows (the window echo); may be empty.
using ReadEcho = std::function<void(const std::string&)>;

/// Parses the whole text of a configuration file (text[0..length)) into `file`.
///
/// Grammar: title line; label and the number of configurations; label and the unit spacing;
/// an optional line starting with 'H' or 'h' followed by the horizontal offset; a line that
/// starting with 'N' or 'n' selects the new format (per configuration a count n, then x and z
/// of C1, C2 when n = 4, P1, and P2 when n > 2; x = (value + offset) / a) and otherwise is the
/// header of the old one (per configuration a label line and the eight coordinates of C1, C2,
/// P1, P2; x = value / a + offset); then optionally a line starting with 'S' or 's' and the
/// grid (x1, x2, dx; label, z1, z2, dz; labelled resistivity, current and minimum potential,
/// all but the last three divided by a), and after it optionally the results section of a
/// report (its line's first or second character 's' or 'S'). `model_spacing` is used as a
/// where the file's spacing differs.
///
/// Every refusal beeps, shows its box (caption "Error Message") and returns false: an empty
/// file, a count outside 1 .. max_configurations, a spacing not above 0, bad x or z spacings,
/// a new-format electrode count outside 2 .. 4, a file that ends inside its configurations,
/// grid or results, sensitivity mode (mode 0) without a grid, results without the line of
/// integrated values for more than 16 configurations, and results whose nx or nz disagree
/// with the grid.
bool parse_configuration_file(const char* text, std::int32_t length, float model_spacing, int mode,
                              int max_configurations, ConfigurationFile& file,
                              const ReadEcho& echo);

/// Label of configuration k (0-based): the file's, or "Array %d" (k + 1) where it is empty.
std::string configuration_label(const ConfigurationFile& file, int k);

/// The sensitivity report of `file` with `sections` (the configuration file with its results):
/// positions in metres, labels ("Array %d" for an empty one), the grid and constants, the grid
/// positions, the blocks sixteen values a line ("%12.4e"), the potentials ("%14.6e") and the
/// version text. With more than 16 configurations only the integrated block is written, after
/// "Integrated sensitivity values\n16\n". Numbers the reader takes back keep their value.
std::string configuration_report_text(const ConfigurationFile& file,
                                      const SensitivitySections& sections,
                                      const char* version_text);

} // namespace forward

// The model file with results: the model in the grammar of the model-file reader, followed by
// the potential tables, the data of the current array and the topography.
#include "forward/apparent.h"
#include "forward/datafile.h"
#include "model/text_format.h"

#include "model/array_type.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace forward {

namespace {

// One character per block code: digits, then letters (the reader takes either case).
char code_char(int code) {
    if (code < 0) code = 0;
    if (code < 10) return char('0' + code);
    if (code < 36) return char('a' + code - 10);
    return 'z';
}

const char* depth_format(float v) {
    if (v < 10.0f) return "%8.4f";
    if (v < 99.9f) return "%8.3f";
    if (v < 999.9f) return "%8.2f";
    return "%8.1f";
}

// Values on one line: "%10.3f," each, the last in `last_format` and a line end.
void value_line(std::string& out, const float* values, int count, const char* last_format) {
    for (int i = 0; i < count; ++i) {
        const bool last = i == count - 1;
        out += model::exact_value(last ? last_format : "%10.3f", values[i]);
        out += last ? "\n" : ",";
    }
    if (count <= 0) out += "\n";
}

bool has_water(const ModelSettings& s) {
    return s.water_present == 1 && s.nwater_layers > 0;
}

// The code tables a model file holds rows of.
std::vector<const std::int32_t*> written_code_tables(const ModelSettings& s) {
    std::vector<const std::int32_t*> tables{s.resistivity_codes};
    if (s.nip > 0 || s.ntau > 0) tables.push_back(s.ip_codes);
    if (s.ntau > 0) tables.insert(tables.end(), {s.tau_codes, s.cexp_codes});
    return tables;
}

// Over the written rows of every table: the smallest last column of a row's leading run of
// equal codes, and the largest first column of its trailing run. Columns first..last hold a
// row when first is at most the one and last at least the other.
std::pair<int, int> edge_runs(const ModelSettings& s) {
    const int nx = s.nx_cells;
    int lead = nx, trail = 1;
    for (const std::int32_t* codes : written_code_tables(s))
        for (int r = (has_water(s) ? s.nwater : 0) + 1; r <= s.nz_nodes - 1; ++r) {
            const std::int32_t* row = codes + index2d(1, r, nx);
            int c = 1;
            while (c < nx && row[c] == row[0])
                ++c;
            lead = std::min(lead, c);
            c = nx;
            while (c > 1 && row[c - 2] == row[nx - 1])
                --c;
            trail = std::max(trail, c);
        }
    return {lead, trail};
}

// The level count the file gave (the reader keeps it as nlev_plus2 - 2): the depth grid
// below was deepened for it, and a larger count, such as that of measured data with more
// levels, would deepen it again at the next read.
int written_level_count(const ModelSettings& s) {
    const int given = int(s.nlev_plus2) - 2;
    if (given >= 1) return given;
    return s.nlev_read > 0 ? s.nlev_read : s.nlev;
}

} // namespace

BlockColumns written_block_columns(const ModelSettings& s, ModelMesh mesh) {
    // Plain names, not a structured binding: a lambda may not capture one before C++20.
    const std::pair<int, int> runs = edge_runs(s);
    const int lead = runs.first, trail = runs.second;
    const int m = s.margin_columns;
    const int width = std::max(1, (s.nelec - 1) * s.nodes_per_spacing);
    // The mesh of 4 nodes per spacing has the same margin and two columns for each one here.
    const int lowest = mesh == ModelMesh::four_nodes ? (m + 2) / 2 : 1;
    auto holds = [&](int first, int last) {
        return first >= lowest && first <= lead && last >= trail && last <= s.nx_cells;
    };
    if (holds(s.model_col_start, s.model_col_end)) return {s.model_col_start, s.model_col_end};
    if (holds(m, m + width - 1)) return {m, m + width - 1};
    const int first = std::max({lowest, trail - width + 1, std::min(m, lead)});
    if (holds(first, first + width - 1)) return {first, first + width - 1};
    return {m, m + width - 1, false};
}

void warn_unsaved_blocks(const ModelSettings& s, ModelMesh mesh) {
    if (s.cylinder_model == 1 || written_block_columns(s, mesh).complete) return;
    char text[320];
    std::snprintf(text, sizeof text,
                  "Some edited blocks cannot be saved!\nA row of a model file holds %d blocks, "
                  "from the first\nto the last electrode. The edited blocks further\nout are "
                  "saved with the codes of the blocks at\nthe ends of their row.",
                  (s.nelec - 1) * s.nodes_per_spacing);
    model::show_message(text, "Message");
}

namespace {

class ModelFileText {
  public:
    ModelFileText(const WriterRecords& r, ModelMesh mesh)
        : r_(r), s_(r.settings), a_(s_.unit_spacing), water_(has_water(s_)),
          water_rows_(water_ ? s_.nwater : 0), split_(mesh == ModelMesh::four_nodes ? 2 : 1),
          columns_(s_.cylinder_model == 1 ? BlockColumns{} : written_block_columns(s_, mesh)) {}
    std::string build();

  private:
    const WriterRecords& r_;
    const ModelSettings& s_;
    const float a_;
    const bool water_;
    const int water_rows_;       ///< grid rows the water takes at the top
    const int split_;            ///< mesh columns a block column becomes (2: from 2 to 4 nodes)
    const BlockColumns columns_; ///< cell columns of the block rows (block models)
    std::string out_;

    void survey();
    void tank();
    void grid();
    void boreholes();
    void code_rows(const std::int32_t* codes);
    void ip_values();
    void array_line();
    bool potentials_readable() const;
    void potential_table(const double* table);
    void potentials();
    void data_block();
    void datum_location(int d);
    void datum_positions(int d);
    void topography();
};

std::string ModelFileText::build() {
    model::appendf(out_, "%s\n", s_.model_title ? s_.model_title : "");
    if (s_.cylinder_model == 1)
        out_ += s_.convex_section ? "Convex section model\n" : "Cylinder Model\n";
    if (s_.tank_model == 1) tank();
    if (s_.electrode_type == 1) model::appendf(out_, "Electrode Type (0=point,1=line)\n%d\n", 1);
    model::appendf(out_, "%d,%d\n", s_.nelec, written_level_count(s_));
    survey();
    grid();
    ip_values();
    array_line();
    out_ += "0\n";
    potentials();
    if (s_.array_type == s_.datum_array_type)
        data_block();
    else
        out_ += "0\n";
    topography();
    out_ += "0\n0\n";
    model::appendf(out_, "\n%s\n", r_.system.version_text);
    return out_;
}

void ModelFileText::survey() {
    if (!water_) {
        out_ += "0\n";
    } else {
        out_ += "1\n";
        const float xl = a_ * s_.water_x1, xr = a_ * s_.water_x2;
        auto layer = [&](int k) {
            model::appendf(
                out_, "%s,%s,%s,%s\n", model::exact_value("%8.3f", s_.water_resistivity[k]).c_str(),
                model::exact_value("%8.3f", xl).c_str(), model::exact_value("%8.3f", xr).c_str(),
                model::exact_value("%8.3f", a_ * s_.water_thickness[k]).c_str());
        };
        if (s_.nwater_layers == 1) {
            layer(0);
        } else {
            model::appendf(out_, "Number of water layers\n%d\n", s_.nwater_layers);
            for (int k = 0; k < s_.nwater_layers; ++k) {
                model::appendf(out_, "Layer %d parameters\n", k + 1);
                layer(k);
            }
        }
    }
    out_ += model::exact_value("%6.2f", s_.cylinder_model == 1 ? s_.cylinder_radius : a_) + "\n";
    if (s_.remote_electrodes > 0) {
        model::appendf(
            out_, "Far electrodes\nC2 electrode location\n%s %s\nP2 electrode location\n%s %s\n",
            model::exact_value("%.3f", a_ * s_.c2_remote_x).c_str(),
            model::exact_value("%.3f", a_ * s_.c2_remote_y).c_str(),
            model::exact_value("%.3f", a_ * s_.p2_remote_x).c_str(),
            model::exact_value("%.3f", a_ * s_.p2_remote_y).c_str());
    }
}

// The tank walls and floor in metres from the first electrode (the reader divides them by the
// unit spacing).
void ModelFileText::tank() {
    auto metres = [this](float v) { return model::exact_value("%.3f", a_ * v); };
    model::appendf(
        out_,
        "Tank\nX boundaries of the tank\n(left and right, in metres from the first "
        "electrode)\n%s %s\nY boundaries of the tank\n%s %s\nZ boundary (depth of the tank "
        "floor)\n%s\n",
        metres(s_.tank_x_left).c_str(), metres(s_.tank_x_right).c_str(),
        metres(s_.tank_y_min).c_str(), metres(s_.tank_y_max).c_str(),
        metres(s_.tank_bottom_z).c_str());
}

void ModelFileText::grid() {
    out_ += "2\n";
    // The reader appends the water resistivities to the list again.
    const int model_values = s_.nresis - (water_ ? s_.nwater_layers : 0);
    const int offset =
        s_.cylinder_model == 1 ? s_.first_block_offset : columns_.first - s_.margin_columns;
    const int blocks =
        s_.cylinder_model == 1 ? s_.blocks_per_row : columns_.last - columns_.first + 1;
    model::appendf(out_, "%d,%d,%d\n", split_ * offset, split_ * blocks, model_values);
    model::appendf(out_, "%d\n", split_ * s_.nodes_per_spacing);
    value_line(out_, s_.model_resistivities, model_values, "%10.3f");
    if (s_.cylinder_model == 1) {
        model::appendf(out_, "%d\n", s_.ne);
        for (int j = 1; j <= s_.ne; ++j) {
            const float v = s_.depth_lines[j - 1] * s_.cylinder_radius;
            out_ += model::exact_value(depth_format(v), v);
            out_ += (j == s_.ne || (j - 1) % 16 == 0) ? "\n" : ",";
        }
    } else {
        const int nz = s_.nz_nodes;
        model::appendf(out_, "%d\n", nz - 1 - water_rows_);
        const float top = std::fabs(s_.zwatermax);
        for (int k = water_rows_ + 2; k <= nz; ++k) {
            const float v = (s_.depth_lines[k - 1] - top) * a_;
            out_ += model::exact_value(depth_format(v), v);
            out_ += (k == nz || (k - 1) % 16 == 0) ? "\n" : ",";
        }
        boreholes();
    }
    code_rows(s_.resistivity_codes);
}

// The boreholes with their electrodes (metres), which the reader takes between the depths and
// the block rows; without them the model would lose its borehole electrodes.
void ModelFileText::boreholes() {
    if (s_.nboreholes <= 0) return;
    out_ += s_.borehole_type == 1 ? "Inclined boreholes\n" : "Boreholes\n";
    model::appendf(out_, "Number of boreholes\n%d\n", s_.nboreholes);
    int n = 0;
    for (int b = 0; b < s_.nboreholes; ++b) {
        model::appendf(out_, "Borehole %d\n%d\n", b + 1, s_.issbor[b]);
        for (int e = 0; e < s_.issbor[b]; ++e, ++n)
            model::appendf(out_, "%s %s\n",
                           model::exact_value("%.3f", a_ * s_.borehole_x[n]).c_str(),
                           model::exact_value("%.3f", a_ * s_.borehole_z[n]).c_str());
    }
}

void ModelFileText::code_rows(const std::int32_t* codes) {
    if (s_.cylinder_model == 1) {
        for (int r = 1; r <= s_.ne; ++r) {
            std::string row;
            for (int k = 1; k <= s_.le; ++k)
                row += code_char(codes[(r - 1) * s_.le + k - 1]);
            out_ += row + "\n";
        }
        return;
    }
    for (int r = water_rows_ + 1; r <= s_.nz_nodes - 1; ++r) {
        std::string row;
        for (int c = columns_.first; c <= columns_.last; ++c)
            row.append(std::size_t(split_), code_char(codes[index2d(c, r, s_.nx_cells)]));
        out_ += row + "\n";
    }
}

void ModelFileText::ip_values() {
    if (s_.ntau >= 1)
        out_ += "SIP present\n";
    else if (s_.nip > 0)
        out_ += "IP present\n";
    if (s_.nip <= 0 && s_.ntau <= 0) return;
    // The reader appends the water chargeability again.
    const int nip = s_.nip - (water_ ? 1 : 0);
    model::appendf(out_, "%d\n", nip);
    value_line(out_, s_.model_chargeabilities, nip, "%10.2f");
    code_rows(s_.ip_codes);
    if (s_.ntau <= 0) return;
    model::appendf(out_, "Time constant - Tau\n%d\n", s_.ntau);
    value_line(out_, s_.model_taus, s_.ntau, "%10.2f");
    code_rows(s_.tau_codes);
    model::appendf(out_, "Exponent - C\n%d\n", s_.ncip);
    value_line(out_, s_.model_cexps, s_.ncip, "%10.2f");
    code_rows(s_.cexp_codes);
    // Without the frequencies the reader cannot take the spectral values back.
    model::appendf(out_, "Number of frequencies\n%d\nFrequency values\n", s_.nfreq);
    for (int j = 0; j < s_.nfreq; ++j)
        out_ += model::exact_value("%.4f", s_.frequencies[j]) + (j + 1 < s_.nfreq ? " " : "\n");
}

void ModelFileText::array_line() {
    const int code = s_.array_type;
    model::appendf(out_, "%d\n", model::array_code_to_file(code));
    if (code == 8 || code == 10) model::append_values(out_, "%8.3f\n", {s_.electrode_offset});
    // The current electrodes of the gradient array at the first and the last electrode, where
    // the data block places them too.
    if (code == 9) {
        const float x0 = s_.first_electrode_x;
        model::append_values(out_,
                             "Gradient array C1 and C2 current electrodes locations\n%.2f,0.0,0.0\n"
                             "%.2f,0.0,0.0\n",
                             {x0, x0 + float(s_.nelec - 1) * a_});
    }
    // The segments of the multiple gradient, from which the reader makes its standard datum
    // list again when the file lists no data of its own.
    if (code == 15)
        model::appendf(out_, "Multiple gradient array, number of current electrode segments\n%d\n",
                       s_.n_n_values);
}

// The reader refuses an in-line potential of 0 or less: such tables are left out, and the
// data block keeps the values.
bool ModelFileText::potentials_readable() const {
    const int n = r_.limits.max_electrodes;
    const double* tables[4] = {s_.potential_table_a, s_.potential_table_b, s_.potential_table_a_ip,
                               s_.potential_table_b_ip};
    const int used = s_.nip > 0 ? 4 : 2;
    for (int i = 1; i < s_.nelec; ++i)
        for (int j = i + 1; j <= s_.nelec; ++j) {
            if (!(s_.potential_table_a[index2d(i, j, n)] > 0.0)) return false;
            for (int t = 0; t < used; ++t)
                if (!std::isfinite(tables[t][index2d(i, j, n)])) return false;
        }
    return true;
}

// Sixteen significant digits: apparent IP values are small differences of these potentials, and
// eight digits changed them in the third decimal when the file was read back.
void ModelFileText::potential_table(const double* table) {
    const int n = r_.limits.max_electrodes;
    model::append_items(out_, s_.nelec - 1, 8, [&](std::string& out, int row) {
        const int i = row + 1;
        for (int j = i + 1; j <= s_.nelec; ++j)
            model::appendf(out, "%.15e %s", table[index2d(i, j, n)], j == s_.nelec ? "\n" : ",");
    });
}

void ModelFileText::potentials() {
    if (s_.pot_values_present != 1 || s_.ntau != 0 || s_.cylinder_model || split_ != 1 ||
        !potentials_readable()) {
        out_ += "0\n";
        return;
    }
    out_ += "1\n";
    potential_table(s_.potential_table_a);
    potential_table(s_.potential_table_b);
    if (s_.nip <= 0) return;
    potential_table(s_.potential_table_a_ip);
    potential_table(s_.potential_table_b_ip);
}

// The data of the current array: the measured value (the calculated one for data that have
// none, as for a synthetic model), the calculated one, and with IP values the same pair of IP
// values. Each datum at the middle of its array (x-midpoint flag 1), or, for the multiple
// gradient array, by the positions of its four electrodes (the general array format).
void ModelFileText::data_block() {
    std::vector<int> kept;
    for (int d = 0; d < s_.ndata; ++d)
        if (s_.measured_values[d] > 0.0f || s_.app_resistivity[d] > 0.0f) kept.push_back(d);
    if (kept.size() < 4) {
        out_ += "0\n";
        return;
    }
    const bool calculated = s_.app_resistivity[0] != 0.0f;
    const bool positions = s_.array_type == 15;
    model::appendf(out_, "%d\n%s%d\n", calculated ? 1 : 2, positions ? "General array data\n" : "",
                   int(kept.size()));
    model::appendf(out_, "1\n%d\n", s_.results_code);
    for (int d : kept) {
        if (positions)
            datum_positions(d);
        else
            datum_location(d);
        const bool measured = s_.measured_values[d] > 0.0f;
        const float value = measured ? s_.measured_values[d] : s_.app_resistivity[d];
        out_ += model::exact_value("%9.2f", value);
        // Only defined values are written: the reader takes as many columns as the flag says.
        if (calculated) out_ += ",  " + model::exact_value("%9.2f", s_.app_resistivity[d]);
        if (s_.nip > 0) {
            const float ip = measured ? s_.measured_values_2[d] : s_.app_ip[d];
            out_ += ",  " + model::exact_value("%9.4f", ip);
            if (calculated) out_ += ",  " + model::exact_value("%9.4f", s_.app_ip[d]);
        }
        out_ += "\n";
    }
}

// The middle of datum d's array, its spacing in metres and (arrays with one) its n factor.
void ModelFileText::datum_location(int d) {
    const int code = s_.array_type;
    const float xf = s_.first_electrode_x + float(s_.datum_first_electrode[d] - 1) * a_;
    const float sa = float(s_.datum_a[d]) * a_;
    const float n = s_.datum_n[d];
    float x = xf + 0.5f * sa;
    if (code >= 1 && code <= 3)
        x = xf + 1.5f * sa;
    else if (code == 5)
        x = xf + 0.5f * sa * (n + 2.0f);
    else if (code == 6 || code == 10)
        x = xf + 0.5f * sa * (n + 1.0f);
    else if (code == 7)
        x = xf + 0.5f * sa * (2.0f * n + 1.0f);
    model::append_values(out_, "%11.5f, %11.5f, ", {x, sa});
    if (code == 5 || code == 6 || code == 7 || code == 10)
        model::append_values(out_, "%.3f, ", {n});
}

// The four electrodes of a multiple-gradient datum, x in metres and depth 0 each; the list
// holds them in metres from the first electrode.
void ModelFileText::datum_positions(int d) {
    const float x0 = s_.first_electrode_x;
    model::append_values(out_, "4, %.5f,0, %.5f,0, %.5f,0, %.5f,0, ",
                         {x0 + s_.c1_x[d], x0 + s_.c2_x[d], x0 + s_.p1_x[d], x0 + s_.p2_x[d]});
}

// Topography points in metres (the reader divides by the unit spacing), the number the reader
// reads after them, and the one value per electrode.
void ModelFileText::topography() {
    model::appendf(out_, "%d\n", s_.tflag);
    if (s_.tflag >= 1) {
        model::appendf(out_, "%d\n", s_.ntopo);
        for (int i = 0; i < s_.ntopo; ++i)
            model::appendf(out_, "%s,%s\n", model::exact_value("%9.3f", a_ * s_.elec_x[i]).c_str(),
                           model::exact_value("%9.3f", a_ * s_.elec_z[i]).c_str());
        model::appendf(out_, "%d\n", s_.topo_distance_type);
    }
    if (s_.topo_present == 1) {
        out_ += "1\n";
        for (int e = 0; e < s_.nelec; ++e)
            out_ += model::exact_value("%9.4f", s_.topo_distance[e]) + "\n";
    } else {
        out_ += "0\n";
    }
}

} // namespace

std::string model_file_text(const WriterRecords& records, ModelMesh mesh) {
    return ModelFileText(records, mesh).build();
}

} // namespace forward

// Model-file sections of the survey line: electrode type, electrodes, data levels, water layers,
// unit electrode spacing and the remote electrodes.
#include "model/reader/readmodel_sections.h"

#include "model/mesh_nodes.h"

#include <algorithm>
#include <cmath>

namespace model {

namespace {

bool is_letter(char c, char upper) {
    return c == upper || c == upper + ('a' - 'A');
}

void read_electrode_type(ModelReader& r) {
    const std::int32_t saved = r.cursor;
    const std::string line = r.read_line();
    if (line.empty() || !is_letter(line[0], 'E')) {
        r.cursor = saved;
        return;
    }
    if (r.read_int() == 1) {
        r.model.electrode_type = 1;
        r.print("Line electrodes used");
        r.model.fem = 1;
    } else {
        r.model.electrode_type = 0;
    }
}

void read_electrodes(ModelReader& r) {
    ModelSettings& m = r.model;
    m.nelec = r.read_int();
    r.printf("Number of electrodes is %d.", m.nelec);
    if (m.nelec > r.limits.max_electrodes)
        r.fail(1, "Error Message", "Too many electrodes!\nMaximum number of electrodes is %d.",
               r.limits.max_electrodes);
    if (m.nelec < 10)
        r.fail(2, "Error Message", "Too few electrodes!\n,You must have at least 10 electrodes.");
    // The per-electrode water table is sized by its own limit, normally the same N.
    if (std::size_t(m.nelec) > r.capacity.W + 1)
        r.fail(1, "Error Message", "Too many electrodes!\nMaximum number of electrodes is %d.",
               int(r.capacity.W + 1));
    for (int i = 0; i < m.nelec; ++i) {
        m.electrode_table[i].x = float(i);
        m.electrode_table[i].z = 0.0f;
    }
    m.nelectrode_records = m.nelec;
}

void read_levels(ModelReader& r) {
    ModelSettings& m = r.model;
    m.nlev = r.read_int();
    m.nlev_read = m.nlev;
    r.printf("Number of apparent resistivity levels is %d.", m.nlev);
    if (m.nlev > r.limits.max_levels) {
        // The message promises a reduction; the read goes on with the maximum.
        r.warn("Error Message",
               "Too many data levels!\nYou have %d data levels.\nMaximum number of levels is "
               "%d.\nThe number of levels will now be reduced.",
               m.nlev, r.limits.max_levels);
        m.nlev = m.nlev_read = r.limits.max_levels;
    }
    if (m.nlev < 1)
        r.fail(1, "Error Message",
               "Too few data levels!\nYou have %d data levels.\nYou must have at least 1 data "
               "level.",
               m.nlev);
    m.nlev_plus2 = float(m.nlev + 2);
}

// One water layer: resistivity, start x, end x and the depth of its floor (the last layer's
// is the total thickness of the water).
void read_water_layer_values(ModelReader& r, int k) {
    ModelSettings& m = r.model;
    m.water_resistivity[k] = r.read_real();
    m.water_x1 = r.read_real();
    m.water_x2 = r.read_real();
    m.water_thickness[k] = r.read_real();
    m.zwatermax = m.water_thickness[k];
    r.water_depth_at = r.last_number_at;
    // The fourth value is the depth of the layer's floor below the water surface: each layer
    // must reach below the one above it. A negative depth is no water at all (its data were
    // those of the same depth taken as positive), and a layer ending above the one before it
    // would take no mesh row.
    const float above = k > 0 ? m.water_thickness[k - 1] : 0.0f;
    if (!(m.water_thickness[k] > above))
        r.fail(1, "Error Message",
               "Error in line %d!\nWater layer %d has its floor at a depth of %g m,\ngiving it a "
               "thickness of %g m.\nThe water layers must have a thickness greater than 0!",
               r.line_number(r.water_depth_at), k + 1, m.water_thickness[k],
               m.water_thickness[k] - above);
}

void read_water_layers(ModelReader& r) {
    ModelSettings& m = r.model;
    m.water_present = r.read_int();
    for (int i = 0; i < m.nelec; ++i)
        m.electrode_water[i] = 0;
    // The writers append nwater_layers water values: none unless this model has water.
    m.nwater_layers = 0;
    if (m.water_present == 0) {
        r.print("No water layer");
        m.water_resistivity[0] = 50.0f;
        m.water_thickness[0] = 0.0f;
        return;
    }
    if (m.water_present != 1) return;
    // The water rows are laid over a block grid; the rings of a cylinder have no top.
    if (m.cylinder_model)
        r.fail(1, "Error Message", "You cannot have water layers for a cylinder model!");
    const std::string next = r.peek_line();
    if (!next.empty() && is_letter(next[0], 'N')) {
        r.read_line();
        m.nwater_layers = r.read_int();
        if (m.nwater_layers < 1)
            r.fail_quiet(1, "Error Message",
                         "Number of water layers is %d.\nYou must have at least 1 water layer!",
                         m.nwater_layers);
        if (m.nwater_layers > m.max_water_layers)
            r.fail_quiet(2, "Error Message",
                         "Number of water layers is %d.\nMaximum number of water layers allowed "
                         "is %d!",
                         m.nwater_layers, m.max_water_layers);
        r.printf("Number of water layers is %d", m.nwater_layers);
        for (int k = 0; k < m.nwater_layers; ++k) {
            r.read_line();
            read_water_layer_values(r, k);
            r.printf("Water layer %d with resistivity %.1f ohm-m and thickness %.1f m.", k + 1,
                     m.water_resistivity[k], m.water_thickness[k]);
        }
    } else {
        read_water_layer_values(r, 0);
        m.nwater_layers = 1;
        r.printf("Water layer with resistivity %.1f ohm-m and thickness %.1f m present.",
                 m.water_resistivity[0], m.water_thickness[0]);
    }
}

void read_unit_spacing(ModelReader& r) {
    ModelSettings& m = r.model;
    const float spacing = r.read_real();
    r.printf("Electrode spacing is %6.1f.", spacing);
    // Checked before it is kept, so that a refused spacing cannot spoil the scaling of the
    // geometric factor at the next read.
    if (spacing <= 0.0f)
        r.fail(1, "Error Message",
               "Error in electrode spacing\nThe electrode spacing must be greater than 0!");
    const float previous = m.unit_spacing > 0.0f ? m.unit_spacing : spacing;
    m.unit_spacing = spacing;
    m.max_geometric_factor = m.max_geometric_factor * spacing / previous;
    if (m.tank_model == 1) {
        m.tank_x_left /= spacing;
        m.tank_x_right /= spacing;
        m.tank_y_min /= spacing;
        m.tank_y_max /= spacing;
        m.tank_bottom_z /= spacing;
    }
    if (m.water_present == 1)
        for (int k = 0; k < m.nwater_layers; ++k)
            m.water_thickness[k] /= spacing;
    m.water_x1 /= spacing;
    m.water_x2 /= spacing;
    m.zwatermax /= spacing;
}

// The calculation takes at most N surface and borehole electrodes together (its pair tables
// are N x N); the remote electrodes stand beside them in records of their own. Fails, naming
// the line `at` of the count that passes the limit, when the model has more.
void check_electrode_count(ModelReader& r, int surface, int borehole, std::int32_t at) {
    const long long total = (long long)surface + borehole;
    if (total > (long long)r.capacity.N)
        r.fail(1, "Error Message",
               "Too many electrodes!\nError in line %d: the model has %d surface and %d "
               "borehole\nelectrodes, %lld in all, but at most %d electrodes can be used.",
               r.line_number(at), surface, borehole, total, int(r.capacity.N));
}

// Refuses a remote electrode farther from the line (beyond its nearer end and along strike,
// `x` and `y` in unit spacings from the first electrode) than the solvers' mesh can hold.
void check_remote_distance(ModelReader& r, const char* name, float x, float y) {
    const ModelSettings& m = r.model;
    const float last = float(m.nelec - 1);
    const double beyond = x < 0.0f ? -x : x > last ? x - last : 0.0f;
    const double distance = std::hypot(beyond, double(y));
    if (!(distance <= max_remote_distance))
        r.fail(1, "Error Message",
               "The remote electrode %s stands %.1f m off the electrode line.\nA remote "
               "electrode can stand at most %.0f electrode spacings\n(%.1f m) off the line.",
               name, distance * m.unit_spacing, double(max_remote_distance),
               double(max_remote_distance) * m.unit_spacing);
}

void read_remote_electrodes(ModelReader& r) {
    ModelSettings& m = r.model;
    const std::int32_t saved = r.cursor;
    const std::string line = r.read_line();
    bool announced = false;
    for (std::size_t i = 0; i < line.size() && i < 4; ++i)
        if (is_letter(line[i], 'F')) announced = true;
    if (!announced) {
        r.printf_at(10, "No remote electrodes.");
        r.cursor = saved;
        m.remote_electrodes = 0;
        m.c2_remote_x = m.c2_remote_y = -1000000.0f;
        m.p2_remote_x = m.p2_remote_y = 1000000.0f;
        return;
    }
    if (m.cylinder_model)
        r.fail(1, "Error Message", "You cannot have remote electrodes for a cylinder model!");
    m.remote_electrodes = 1;
    r.read_line();
    m.c2_remote_x = r.read_real() / m.unit_spacing;
    m.c2_remote_y = r.read_real() / m.unit_spacing;
    r.read_line();
    m.p2_remote_x = r.read_real() / m.unit_spacing;
    m.p2_remote_y = r.read_real() / m.unit_spacing;
    check_remote_distance(r, "C2", m.c2_remote_x, m.c2_remote_y);
    check_remote_distance(r, "P2", m.p2_remote_x, m.p2_remote_y);
    m.electrode_table[m.nelectrode_records] = ElectrodeNode{};
    m.electrode_table[m.nelectrode_records].x = m.c2_remote_x;
    m.electrode_table[m.nelectrode_records].z = m.c2_remote_y;
    m.electrode_table[m.nelectrode_records + 1] = ElectrodeNode{};
    m.electrode_table[m.nelectrode_records + 1].x = m.p2_remote_x;
    m.electrode_table[m.nelectrode_records + 1].z = m.p2_remote_y;
    m.nelectrode_records += 2;
    r.printf_at(10, "Far electrodes specified.");
}

} // namespace

void check_electrode_table_room(ModelReader& r, int borehole_electrodes, std::int32_t at) {
    check_electrode_count(r, r.model.nelec, borehole_electrodes, at);
}

void read_survey_section(ModelReader& r) {
    read_electrode_type(r);
    read_electrodes(r);
    read_levels(r);
    read_water_layers(r);
    read_unit_spacing(r);
    read_remote_electrodes(r);
    r.model.nelec_pairs = r.model.nelec * (r.model.nelec - 1) / 2;
}

} // namespace model

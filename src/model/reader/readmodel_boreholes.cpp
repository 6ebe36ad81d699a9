// Model-file section of the boreholes: vertical or inclined boreholes with their electrodes,
// the checks that vertical ones lie on mesh lines, the deepening of the grid below them, and
// the grid lines below a tank floor.
#include "model/reader/readmodel_sections.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace model {

namespace {

bool is_letter(char c, char upper) {
    return c == upper || c == upper + ('a' - 'A');
}

// Tests of borehole electrode n (running index from 0) against the one before it.
void check_borehole_electrode(ModelReader& r, int n, bool first_of_borehole) {
    const ModelSettings& m = r.model;
    const float x = m.borehole_x[n], z = m.borehole_z[n];
    if (first_of_borehole) {
        if (z <= 0.0f)
            r.fail(9, "Data Error",
                   "The depth to the borehole electrode\ncannot be zero or negative!");
        return;
    }
    if (m.borehole_type == 0) {
        const float px = m.borehole_x[n - 1], pz = m.borehole_z[n - 1];
        if (x != px)
            r.fail(5, "Data Error",
                   "The x-locations of electrodes %d and\n%d in borehole 1 are not the same!\n"
                   "Sorry, this program presently only\nsupports vertical boreholes.",
                   n, n + 1);
        if (z < pz)
            r.fail(6, "Data Error",
                   "The z-location of borehole 1 electrode\nnumber %d is less than that of the\n"
                   "previous electrode. The borehole electrodes\nin the data file must be "
                   "arranged\nin ascending order for the z-locations.",
                   n);
        if (z == pz)
            r.fail(7, "Data Error",
                   "The z-location of borehole 1 electrode\nnumber %d is the same as that of the\n"
                   "previous electrode! The borehole electrodes\ncannot have the same "
                   "z-locations.",
                   n);
    }
    if (z <= 0.0f)
        r.fail(8, "Data Error",
               "Depth of first borehole electrode %d is %.2f.\nThe depth to a borehole electrode "
               "cannot\nbe zero or negative!",
               n + 1, z);
}

// Vertical borehole electrodes must stand on a node column of the electrode line and on one
// of the depth lines given.
void check_vertical_mesh_lines(ModelReader& r, int count) {
    const ModelSettings& m = r.model;
    const int p = m.nodes_per_spacing;
    for (int n = 0; n < count; ++n) {
        const float x = m.borehole_x[n], z = m.borehole_z[n];
        // From |x|: a position left of the first electrode is on no line of the electrode
        // line either.
        float nearest = std::fabs(x);
        for (int j = 0; j < m.nelec; ++j)
            for (int k = 0; k < p; ++k)
                nearest = std::min(nearest, std::fabs(x - (float(j) + float(k) / float(p))));
        if (nearest > 0.001f)
            r.fail(10, "Error Message",
                   "The x-location for electrode number %d\nin borehole 1 does not fall on a "
                   "mesh line.",
                   n + 1);
        nearest = z;
        for (int i = 0; i < m.nz_nodes; ++i)
            nearest = std::min(nearest, std::fabs(z - m.depth_lines[i]));
        if (nearest > 0.001f)
            r.fail(11, "Error Message",
                   "The z-location for electrode number %d\nin borehole 1 does not fall on a "
                   "mesh line.",
                   n + 1);
    }
}

// Every borehole electrode must lie inside the mesh the solvers build.
void check_inside_mesh(ModelReader& r, int count) {
    const ModelSettings& m = r.model;
    const float first = m.node_col_x[m.margin_columns - 1];
    const float left = -first, right = m.node_col_x[m.nx_nodes - 1] - first;
    const float bottom = m.depth_lines[m.ngrid_lines];
    for (int n = 0; n < count; ++n) {
        const float x = m.borehole_x[n], z = m.borehole_z[n];
        if (!(x >= left && x <= right && z <= bottom))
            r.fail(12, "Data Error",
                   "Borehole electrode %d at x = %.2f and depth %.2f\nlies outside the model "
                   "mesh.",
                   n + 1, x * m.unit_spacing, z * m.unit_spacing);
    }
}

void append_electrode_record(ModelSettings& m, float x, float z) {
    m.electrode_table[m.nelectrode_records] = ElectrodeNode{};
    m.electrode_table[m.nelectrode_records].x = x;
    m.electrode_table[m.nelectrode_records].z = z;
    ++m.nelectrode_records;
}

// Reads every borehole with its electrodes; returns the number of borehole electrodes.
int read_boreholes(ModelReader& r) {
    ModelSettings& m = r.model;
    r.read_line();
    m.nboreholes = r.read_int();
    if (m.nboreholes < 0)
        r.fail(3, "Data Error", "The number of boreholes is %d!\nIt cannot be negative!\n",
               m.nboreholes);
    if (m.nboreholes > r.limits.max_boreholes || std::size_t(m.nboreholes) > r.capacity.B)
        r.fail(3, "Data Error", "The number of boreholes is %d!\nMaximum number allowed is %d!\n",
               m.nboreholes, r.limits.max_boreholes);
    m.nborehole_nodes = 0;
    int n = 0;
    for (int b = 1; b <= m.nboreholes; ++b) {
        r.read_line();
        const int count = r.read_int();
        const std::int32_t count_at = r.last_number_at;
        m.issbor[b - 1] = count;
        r.printf("Number of electrodes in borehole %d is %d.", b, count);
        if (count < 0)
            r.fail(4, "Data Error",
                   "Number of electrodes in borehole %d is %d.\nIt cannot be negative!", b, count);
        if (count > r.limits.max_borehole_electrodes || std::size_t(count) > r.capacity.E)
            r.fail(4, "Data Error", "Maximum number of electrodes\nin a borehole is %d.",
                   r.limits.max_borehole_electrodes);
        check_electrode_table_room(r, n + count, count_at);
        for (int e = 0; e < count; ++e, ++n) {
            m.borehole_x[n] = r.read_real() / m.unit_spacing;
            m.borehole_z[n] = r.read_real() / m.unit_spacing;
            append_electrode_record(m, m.borehole_x[n], m.borehole_z[n]);
            check_borehole_electrode(r, n, e == 0);
        }
        m.nborehole_nodes += count;
    }
    return n;
}

} // namespace

void add_tank_floor_lines(ModelReader& r) {
    ModelSettings& m = r.model;
    const float deepest = m.depth_lines[m.ngrid_lines];
    const float floor = m.tank_bottom_z;
    if (!(deepest < floor + 1.0f)) return;
    const float d = std::max(floor - deepest, 1.0f);
    const float steps[3] = {d, 1.25f * d, 1.875f * d};
    for (float step : steps) {
        m.node_row_dz[m.ngrid_lines] = step;
        m.depth_lines[m.ngrid_lines + 1] = m.depth_lines[m.ngrid_lines] + step;
        ++m.ngrid_lines;
    }
}

void read_borehole_section(ModelReader& r) {
    ModelSettings& m = r.model;
    const std::int32_t saved = r.cursor;
    const std::string line = r.read_line();
    const char first = line.empty() ? '\0' : line[0];
    const char second = line.size() > 1 ? line[1] : '\0';
    const bool vertical = is_letter(first, 'B') && is_letter(second, 'O');
    const bool inclined = is_letter(first, 'I') && is_letter(second, 'N');
    if (vertical || inclined) {
        if (m.cylinder_model)
            r.fail(1, "Data Error", "You cannot have boreholes in a cylinder model.");
        if (m.depths_given != 2)
            r.fail(2, "Data Error",
                   "To include boreholes in your model,\nyou must specify the depth of the grid "
                   "lines.");
        m.borehole_type = inclined ? 1 : 0;
        r.print(inclined ? "Inclined boreholes." : "Vertical boreholes.");

        // The table holds the surface electrodes, then the borehole electrodes, then the two
        // remote electrodes: take the remote records off and put them back behind.
        ElectrodeNode remote[2] = {};
        if (m.remote_electrodes) {
            m.nelectrode_records -= 2;
            remote[0] = m.electrode_table[m.nelectrode_records];
            remote[1] = m.electrode_table[m.nelectrode_records + 1];
        }
        const int count = read_boreholes(r);
        if (m.remote_electrodes) {
            m.electrode_table[m.nelectrode_records++] = remote[0];
            m.electrode_table[m.nelectrode_records++] = remote[1];
        }

        for (int i = 0; i < m.nelec; ++i) {
            m.borehole_elec_a[i] = float(i);
            m.borehole_elec_b[i] = 0.0f;
        }
        if (m.borehole_type == 0) check_vertical_mesh_lines(r, count);
        if (m.extend_depth == 1) {
            // Deep enough for the array and below the deepest borehole electrode.
            float deepest = 0.0f;
            for (int n = 0; n < count; ++n)
                deepest = std::max(deepest, m.borehole_z[n]);
            m.ngrid_lines = m.ngrid_rows;
            extend_depth_grid(r, m.extend_depth_factor * std::max(m.nlev_plus2, 1.5f * deepest));
        }
        check_inside_mesh(r, count);
    } else {
        r.cursor = saved;
    }
    // Without depths in the file the floor lines wait for the default depths.
    if (m.tank_model == 1 && m.depths_given == 2) add_tank_floor_lines(r);
}

} // namespace model

// The end of a model-file read: the water layers become mesh rows at the top of the grid (with
// every code table in use moved down), the tank floor gets its grid line, and the mesh nodes are
// placed under the surface.
#include "model/reader/readmodel_sections.h"

#include "model/mesh_nodes.h"
#include "model/services.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace model {

int water_line_depths(float total, float* d) {
    if (total <= 1.0f) {
        for (int i = 0; i < 4; ++i)
            d[i] = 0.25f * float(i + 1) * total;
        return 4;
    }
    const float start[5] = {0.16f, 0.32f, 0.48f, 0.65f, 0.85f};
    std::copy(start, start + 5, d);
    int n = 5;
    float step = 0.25f;
    while (n < 14 && d[n - 1] < total) {
        step *= 1.4f;
        d[n] = d[n - 1] + step;
        ++n;
    }
    d[n - 1] = total;
    d[n - 2] = 0.5f * (d[n - 1] + d[n - 3]);
    return n;
}

int water_row_count(const ModelSettings& m) {
    if (m.water_present != 1) return 0;
    float d[14];
    return water_line_depths(std::fabs(m.zwatermax), d);
}

void check_water_depth(ModelReader& r) {
    const ModelSettings& m = r.model;
    if (m.water_present != 1 || m.cylinder_model) return;
    const float total = m.zwatermax;
    float d[14];
    const int n = water_line_depths(total, d);
    float thinnest = d[0];
    for (int i = 1; i < n; ++i)
        thinnest = std::min(thinnest, d[i] - d[i - 1]);
    for (int i = 0; i + 1 < m.nz_nodes; ++i)
        thinnest = std::min(thinnest, m.depth_lines[i + 1] - m.depth_lines[i]);
    const float bottom = m.depth_lines[std::max(m.nz_nodes - 1, 0)];
    // Under the water every depth line is the water's depth plus its own, in single precision.
    // Here the lines stand at least 8 steps of a float apart, so a row keeps its height within
    // a sixteenth. Measured with 2 m of spacing and 20 ohm-m over 100 ohm-m (rows of 0.16
    // spacings): three times deeper the data moved by 0.03 %, nine times deeper by 0.7 %, and
    // thirty times deeper rows vanished and the solver failed after half a minute.
    const float most = thinnest / (8.0f * std::numeric_limits<float>::epsilon()) - bottom;
    if (total <= most) return;
    const float u = m.unit_spacing;
    r.fail(1, "Error Message",
           "Error in line %d!\nThe water is %g m deep. The mesh rows below it,\nas thin as %g m, "
           "cannot be told apart under\nso much water: it can be at most %g m deep.",
           r.line_number(r.water_depth_at), total * u, thinnest * u, std::max(most, 0.0f) * u);
}

namespace {

// Codes of water row r (1-based) whose middle lies at depth `mid` below the water surface.
void set_water_row_codes(ModelSettings& m, int row, float mid) {
    const int layers = m.nwater_layers;
    int code = (m.nresis - 1) - (layers - 1);
    if (layers == 1) trace("Resistivity water layer code %d\n", code);
    for (int k = 1; k < layers; ++k) {
        trace("fvalue %6.2f layer %d depth %6.2f\n", std::fabs(m.water_thickness[k]), k, mid);
        if (std::fabs(m.water_thickness[k]) > mid && std::fabs(m.water_thickness[k - 1]) < mid)
            code = (m.nresis - 1) - (layers - k - 1);
    }
    trace("code set %d %d\n", row, code);
    for (int c = 1; c <= m.nx_cells; ++c) {
        m.resistivity_codes[index2d(c, row, m.nx_cells)] = code;
        // The water has one chargeability, appended last to the list. Its time constant and
        // exponent act on a chargeability of 0; the first values keep them defined.
        if (m.nip > 0) m.ip_codes[index2d(c, row, m.nx_cells)] = m.nip - 1;
        if (m.ntau > 0) {
            m.tau_codes[index2d(c, row, m.nx_cells)] = 0;
            m.cexp_codes[index2d(c, row, m.nx_cells)] = 0;
        }
    }
}

void adjust_water_nodes(ModelSettings& m) {
    trace("Adjust_Water_Nodes tflag %d\n", m.tflag);
    if (m.water_present != 1 || m.cylinder_model) {
        for (int i = 0; i < m.nelec; ++i)
            m.electrode_water[i] = 0;
        return;
    }
    const float total = std::fabs(m.zwatermax);
    float d[14];
    const int n = water_line_depths(total, d);
    trace("Setting water layers number %d total thickness %8.2f\n", n, total);
    reverse_real_array(n, d);
    for (int i = 0; i < n; ++i)
        d[i] = total - d[i];

    for (int i = m.nz_nodes - 1; i >= 0; --i)
        m.depth_lines[i + n] = m.depth_lines[i] + total;
    for (int i = 0; i < n; ++i)
        m.depth_lines[i] = d[i];
    for (int i = 0; i <= m.nz_nodes + n - 2; ++i)
        m.node_row_dz[i] = m.depth_lines[i + 1] - m.depth_lines[i];

    for (int row = m.ngrid_rows; row >= 1; --row) {
        for (int c = 1; c <= m.nx_cells; ++c) {
            const int from = index2d(c, row, m.nx_cells), to = index2d(c, row + n, m.nx_cells);
            m.resistivity_codes[to] = m.resistivity_codes[from];
            if (m.nip > 0) m.ip_codes[to] = m.ip_codes[from];
            if (m.ntau > 0) {
                m.tau_codes[to] = m.tau_codes[from];
                m.cexp_codes[to] = m.cexp_codes[from];
            }
        }
    }
    trace("Setting water layers resistivity nresis %d num layers\n", m.nresis);
    for (int row = 1; row <= n; ++row) {
        const float mid = 0.5f * (m.depth_lines[row - 1] + m.depth_lines[row]);
        // With the depths of the first water layer's floor and of the water's floor.
        trace("Mesh layer %d depths %6.2f %6.2f mid  %6.2f layers %6.2f %6.2f\n", row,
              m.depth_lines[row - 1], m.depth_lines[row], mid, std::fabs(m.water_thickness[0]),
              std::fabs(m.water_thickness[std::max(m.nwater_layers, 1) - 1]));
        set_water_row_codes(m, row, mid);
    }
    m.nwater = n;
    m.nz_nodes += n;
    m.nz_cells = m.nz_nodes - 1;
    for (int i = 0; i < m.nelec; ++i)
        m.electrode_water[i] = n;
}

// The node row nearest to the tank floor is moved onto it; cells from the row below it down
// lie outside the tank.
void set_tank_floor_row(ModelSettings& m) {
    m.depth_lines[0] = 0.0f;
    for (int i = 1; i < m.nz_nodes; ++i)
        m.depth_lines[i] = m.depth_lines[i - 1] + m.node_row_dz[i - 1];
    int nearest = 0;
    for (int i = 1; i < m.nz_nodes; ++i)
        if (std::fabs(m.depth_lines[i] - m.tank_bottom_z) <
            std::fabs(m.depth_lines[nearest] - m.tank_bottom_z))
            nearest = i;
    m.depth_lines[nearest] = m.tank_bottom_z;
    m.tank_bottom_row = nearest + 1;
    for (int i = 0; i <= m.nz_nodes - 2; ++i)
        m.node_row_dz[i] = m.depth_lines[i + 1] - m.depth_lines[i];
}

void adjust_fem_nodes(ModelSettings& m) {
    trace("Adjust_Fem_Nodes tflag %d\n", m.tflag);
    if (m.cylinder_model) return;
    // The floor row is set before the nodes are placed, so that the nodes follow it.
    if (m.tank_model == 1) set_tank_floor_row(m);
    if (m.tflag == 0) {
        for (int i = 0; i < m.nelec; ++i) {
            m.elec_x[i] = float(i);
            m.elec_z[i] = 0.0f;
        }
    }
    place_mesh_nodes(m);
}

} // namespace

void build_final_mesh(ModelReader& r) {
    adjust_water_nodes(r.model);
    adjust_fem_nodes(r.model);
}

void finish_model_read(ModelReader& r) {
    build_final_mesh(r);
    trace("end readmodel_2D tflag %d\n", r.model.tflag);
    r.print("Reading of data file is complete.");
}

} // namespace model

// Model-file sections of the grid: depths flag, block line, resistivity values, nodes per
// spacing, grid rows, the horizontal mesh, the depths or radii of the grid lines, the automatic
// deepening of the grid and the default depths of a file that gives none.
#include "model/reader/readmodel_sections.h"

#include "model/mesh_nodes.h"

#include <algorithm>
#include <cmath>

namespace model {

namespace {

constexpr float min_resistivity = 1e-30f;

void check_resistivity(ModelReader& r, float value) {
    if (value <= 0.0f)
        r.fail(1, "Error Message",
               "You cannot have a zero or negative resistivity value!\nPlease check you input "
               "model file format.");
    if (value > 2000000.0f)
        r.fail(2, "Error Message",
               "Resistivity value cannot be more than 2000000!\nPlease check you input model "
               "file format.");
    // Below this the conductivity 1 / value leaves the range of a float (1e-40 is a denormal
    // whose reciprocal is infinite, and the solvers fail on it).
    if (value < min_resistivity)
        r.fail(2, "Error Message",
               "Resistivity value cannot be less than 1e-30!\nPlease check you input model "
               "file format.");
}

void read_resistivities(ModelReader& r) {
    ModelSettings& m = r.model;
    ValuesLine line(r, 75);
    for (int i = 0; i < m.nresis; ++i) {
        const float value = r.read_real();
        m.model_resistivities[i] = value;
        line.add(" %6.2f", value);
        check_resistivity(r, value);
        if (i == 0 || value > m.max_model_resistivity) m.max_model_resistivity = value;
    }
    m.tank_wall_resistivity = m.max_model_resistivity * m.tank_wall_factor;
    line.flush();
    if (m.water_present == 1) {
        // The water layers take the codes after the model values; they become cell
        // resistivities like them and are held to the same range.
        for (int k = 0; k < m.nwater_layers; ++k) {
            check_resistivity(r, m.water_resistivity[k]);
            m.model_resistivities[m.nresis + k] = m.water_resistivity[k];
        }
        m.nresis += m.nwater_layers;
    }
}

void read_grid_rows(ModelReader& r) {
    ModelSettings& m = r.model;
    const int M = r.limits.max_node_rows;
    m.ngrid_rows = r.read_int();
    m.nmodel_file = m.ngrid_rows;
    r.printf("Number of grid rows in model is %d.", m.ngrid_rows);
    const char* too_many =
        "Too many model grid rows!\nYou cannot have more than %d vertical rows of blocks.";
    if (!m.cylinder_model) {
        if (m.ngrid_rows < 9)
            r.fail(1, "Error Message",
                   "Too few model grid rows!\nYou must have at least 9 vertical rows of blocks.");
        // M - 5 rows would need M - 4 node rows, one more than the grid may have.
        if (m.ngrid_rows > M - 6) r.fail(2, "Error Message", too_many, M - 6);
    } else {
        if (m.ngrid_rows < 4)
            r.fail(3, "Error Message",
                   "Too few model grid rows for cylinder model!\nYou must have at least 4 "
                   "vertical rows of blocks.");
        if (m.ngrid_rows > M - 5) r.fail(4, "Error Message", too_many, M - 5);
    }
}

// Columns outside each end of the electrode line: more for line electrodes, for remote
// electrodes far off the line and for many nodes per spacing.
int margin_columns_for(const ModelSettings& m) {
    int columns = m.electrode_type == 1 ? 24 : 20;
    if (m.remote_electrodes) {
        auto beyond = [&](float x) {
            if (x < 1.0f) return std::fabs(x);
            if (x > float(m.nelec)) return std::fabs(x - float(m.nelec - 1));
            return 1.0f;
        };
        const float reach = std::max(beyond(m.c2_remote_x), beyond(m.p2_remote_x));
        if (reach > 2.5f) {
            float total = 1.0f, step = 0.25f;
            int count = 8;
            while (total < reach && count <= 25) {
                step *= 1.5f;
                total += step;
                ++count;
            }
            columns = std::max(columns, count);
        }
        columns += 4;
    }
    if (m.nodes_per_spacing > 4) columns += m.nodes_per_spacing - 4;
    return columns;
}

void check_tank_walls(ModelReader& r, const float* flat_x) {
    ModelSettings& m = r.model;
    const int n = m.nx_nodes;
    const float first_electrode = flat_x[m.margin_columns - 1];
    const float left = first_electrode + m.tank_x_left;
    const float right = first_electrode + m.tank_x_right;
    const bool inside = flat_x[0] <= left && left < right && right <= flat_x[n - 1];
    const int right_column = m.tank_right_column - 1;
    if (!inside || right_column <= m.tank_left_column)
        r.fail(1, "Error Message",
               "Error in the tank boundaries!\nThe X boundaries are at %.2f and %.2f.\nThey "
               "must lie inside the model mesh, the left one first,\nwith at least one mesh "
               "column between them.",
               m.tank_x_left * m.unit_spacing, m.tank_x_right * m.unit_spacing);
}

void check_block_line(ModelReader& r) {
    ModelSettings& m = r.model;
    if (m.blocks_per_row < 1)
        r.fail(1, "Error Message",
               "Wrong number of blocks in a model row: %d!\nA model row must have at least 1 "
               "block.",
               m.blocks_per_row);
    const long long start = (long long)m.margin_columns + m.first_block_offset;
    const long long end = start + m.blocks_per_row - 1;
    if (start < 1 || end > m.nx_cells)
        r.fail(1, "Error Message",
               "The first block offset of %d with %d blocks a row\nputs the model blocks outside "
               "the mesh! The blocks\ntake the cell columns %lld to %lld, but the mesh\nhas the "
               "cell columns 1 to %d.",
               m.first_block_offset, m.blocks_per_row, start, end, m.nx_cells);
    m.model_col_start = int(start);
    m.model_col_end = int(end);
}

// The node columns of a block or tank model and the cell counts that follow from them.
void build_horizontal_mesh(ModelReader& r) {
    ModelSettings& m = r.model;
    const int p = m.nodes_per_spacing;
    const int columns = margin_columns_for(m);
    const long long nx = 2LL * columns + (long long)(m.nelec - 1) * p - 1;
    const long long max_columns =
        std::min<long long>(r.limits.max_node_columns, (long long)r.capacity.X);
    if (nx > max_columns)
        r.fail(1, "Error Message",
               "Too many mesh node columns!\nThis model needs %lld node columns, but the "
               "maximum\nnumber of node columns is %lld. Please use fewer\nnodes per electrode "
               "spacing or fewer electrodes.",
               nx, max_columns);
    m.margin_columns = columns;
    m.nx_nodes = int(nx);
    flat_column_layout(columns, m.node_col_dx, p, m.nx_nodes, m.node_col_x);
    if (m.tank_model == 1) {
        const std::vector<float> flat_x(m.node_col_x, m.node_col_x + m.nx_nodes);
        snap_tank_walls(m, columns, m.node_col_dx, m.nx_nodes, m.node_col_x);
        check_tank_walls(r, flat_x.data());
    }
    m.nz_nodes = m.ngrid_rows + 1;
    m.nx_cells = m.nx_nodes - 1;
    m.nz_cells = m.nz_nodes - 1;
    // The rows asked for, with the water rows and the tank floor added later, must fit the
    // node and cell tables.
    const int rows = max_grid_lines(r);
    if (m.ngrid_rows > rows)
        r.fail(2, "Error Message",
               "Too many model grid rows!\nWith its water layers, tank floor and %d node "
               "columns\nthis model can have at most %d vertical rows of blocks.",
               m.nx_nodes, std::max(rows, 0));
    check_block_line(r);
}

void read_block_depths(ModelReader& r) {
    ModelSettings& m = r.model;
    ValuesLine line(r, 75);
    m.depth_lines[0] = 0.0f;
    for (int i = 0; i < m.ngrid_rows; ++i) {
        const float value = r.read_real();
        line.add(" %6.2f", value);
        m.depth_lines[i + 1] = value / m.unit_spacing;
        m.node_row_dz[i] = m.depth_lines[i + 1] - m.depth_lines[i];
        if (m.node_row_dz[i] <= 0.0f) {
            line.flush();
            r.fail(1, "Error Message",
                   "Error in depth of grid lines!\nDepth of grid lines must be given in "
                   "increasing depth!");
        }
        if (i > 0 && m.node_row_dz[i] > 10.0f * m.node_row_dz[i - 1]) {
            line.flush();
            r.fail(2, "Error Message",
                   "Error in depth of grid lines!\nDepth value number %d seems to be too large.",
                   i + 1);
        }
    }
    line.flush();
    // The surface electrodes stand on the first grid line below them (under water the water
    // rows lie between); lower than the electrodes are apart, the mesh cannot follow the
    // potential between neighbours (a first row of 4 spacings gives a half-space a third low).
    if (m.water_present != 1 && m.depth_lines[1] > 1.0f)
        r.fail(3, "Error Message",
               "Error in depth of grid lines!\nThe first grid line is %g below the surface,\n"
               "deeper than the unit electrode spacing of %g.\nThe mesh could not follow the "
               "potential between\nneighbouring electrodes.",
               m.depth_lines[1] * m.unit_spacing, m.unit_spacing);
    if (m.extend_depth == 1) extend_depth_grid(r, m.extend_depth_factor * m.nlev_plus2);
}

void read_cylinder_radii(ModelReader& r) {
    ModelSettings& m = r.model;
    ValuesLine line(r, 75);
    for (int i = 0; i < m.ngrid_rows; ++i) {
        const float value = r.read_real();
        line.add(" %6.2f", value);
        m.depth_lines[i] = value;
        // A ring of no or negative radius has no mesh; the outer radius also scales the rest.
        if (i == 0 ? value <= 0.0f : value < 0.0f)
            r.fail(3, "Error Message",
                   "Error in radius of grid lines!\nRadius of grid lines must be greater than 0!");
        if (i == 0) {
            m.cylinder_radius = value;
            if (m.cylinder_option) m.depth_lines[0] = 1.0f;
            continue;
        }
        if (m.cylinder_option) m.depth_lines[i] /= m.cylinder_radius;
        m.node_row_dz[i - 1] = m.depth_lines[i - 1] - m.depth_lines[i];
        if (m.node_row_dz[i - 1] <= 0.0f)
            r.fail(3, "Error Message",
                   "Error in radius of grid lines!\nRadius of grid lines must be given in "
                   "decreasing values!");
        if (i > 1 && m.node_row_dz[i - 1] > 10.0f * m.node_row_dz[i - 2])
            r.fail(4, "Error Message",
                   "Error in depth of grid lines!\nDepth value number %d seems to be too large.",
                   i + 1);
    }
    line.flush();
}

} // namespace

int max_grid_lines(const ModelReader& r) {
    const ModelSettings& m = r.model;
    const long long M = std::min<long long>(r.limits.max_node_rows, (long long)r.capacity.Z);
    const long long added = water_row_count(m) + (m.tank_model == 1 ? 3 : 0);
    long long lines = std::min(M - 5, M - 1 - added);
    // node_x and node_z hold nx_nodes x nz_nodes entries in the C of the cell tables.
    if (m.nx_nodes > 0)
        lines = std::min(lines, (long long)(r.capacity.C / std::size_t(m.nx_nodes)) - 1 - added);
    return int(std::max(lines, 0LL));
}

void extend_depth_grid(ModelReader& r, float target) {
    ModelSettings& m = r.model;
    const int limit = max_grid_lines(r);
    while (m.ngrid_lines >= 1 && m.depth_lines[m.ngrid_lines] < target && m.ngrid_lines < limit) {
        const float step = m.node_row_dz[m.ngrid_lines - 1] * 1.25f;
        m.node_row_dz[m.ngrid_lines] = step;
        m.depth_lines[m.ngrid_lines + 1] = m.depth_lines[m.ngrid_lines] + step;
        ++m.ngrid_lines;
    }
    // Rows too thin to be deepened within the node rows leave a mesh whose bottom boundary
    // stands in the middle of the currents: half the target already costs some 6 %, a tenth
    // doubles a half-space. A tank ends at its floor, whose lines come later.
    const float deepest = m.ngrid_lines >= 1 ? m.depth_lines[m.ngrid_lines] : 0.0f;
    if (m.tank_model != 1 && deepest < 0.5f * target)
        r.fail(4, "Error Message",
               "Error in depth of grid lines!\nDeepened as far as %d grid lines allow, the mesh\n"
               "reaches %.3g below the surface, less than half\nof the %.3g that the data levels "
               "need.\nPlease use fewer or thicker rows of blocks.",
               m.ngrid_lines, deepest * m.unit_spacing, target * m.unit_spacing);
}

void set_default_depth_lines(ModelReader& r) {
    ModelSettings& m = r.model;
    r.printf("Default model type %d is used.", m.depths_given);
    const int rows = m.nz_nodes - 1;
    float factor = 1.0f;
    if (m.depths_given == 1) {
        if (m.array_type == 4)
            factor = 1.8f;
        else if (m.array_type == 5)
            factor = 0.6f;
        else if (m.array_type == 8)
            factor = 0.8f;
    }
    model::default_row_spacings(factor, rows, m.node_row_dz);
    m.depth_lines[0] = 0.0f;
    for (int i = 1; i <= rows; ++i)
        m.depth_lines[i] = m.depth_lines[i - 1] + m.node_row_dz[i - 1];
    r.print("Depth values for model row grid lines are :-");
    ValuesLine line(r, 75);
    for (int i = 1; i <= rows; ++i)
        line.add(" %7.3f", m.depth_lines[i] * m.unit_spacing);
    line.flush();

    // Default depths are deepened as given ones are: a grid of few rows would otherwise end
    // above the deepest data level (nine rows reach 3.1 unit spacings), and the same model
    // saved with its depths written out would read back to another, deeper mesh.
    if (m.extend_depth == 1) extend_depth_grid(r, m.extend_depth_factor * m.nlev_plus2);
    // The tank floor needs the depths, so its lines come after them here.
    if (m.tank_model == 1) add_tank_floor_lines(r);
    extend_code_rows(m);
    apply_grid_extension(r);
}

void apply_grid_extension(ModelReader& r) {
    ModelSettings& m = r.model;
    if (m.ngrid_lines <= m.ngrid_rows) return;
    r.printf("Depth grid lines extended to %d lines.", m.ngrid_lines);
    m.ngrid_rows = m.ngrid_lines;
    m.nz_nodes = m.ngrid_lines;
    m.nz_cells = m.ngrid_lines - 1;
}

void read_grid_section(ModelReader& r) {
    ModelSettings& m = r.model;
    m.depths_given = r.read_int();
    if (m.cylinder_model && m.depths_given != 2)
        r.fail(1, "Error Message", "You must specify the depths for a cylinder model!");
    r.printf_at(10, m.depths_given == 2 ? "Model grid depths specified in model file."
                                        : "Model grid depths not specified in model file.");
    m.first_block_offset = r.read_int();
    m.blocks_per_row = r.read_int();

    m.nresis = r.read_int();
    r.printf("Number of model resistivity values is %d.", m.nresis);
    if (m.nresis > r.limits.max_resistivity_values)
        r.fail(1, "Error Message",
               "Too many model resistivity values!\nMaximum number of resistivity values is %d.",
               r.limits.max_resistivity_values);
    // Block codes index the list from 0: an empty list leaves every code pointing nowhere.
    if (m.nresis < 1)
        r.fail(1, "Error Message",
               "Too few model resistivity values!\nYou must have at least 1 resistivity value.");

    m.nodes_per_spacing = r.read_int();
    const int p = m.nodes_per_spacing;
    r.printf("The number of nodes per electrode spacing is %d.", p);
    if (p != 2 && p != 4 && p != 6 && p != 8 && p != 12 && p != 16)
        r.fail(1, "Error Message",
               "Wrong number of nodes per electrode spacing set at %d!\nYou can only use 2 or 4 "
               "nodes per electrode spacing!",
               p);

    if (m.cylinder_model) {
        if (m.first_block_offset != 0)
            r.fail(1, "Error Message", "The first block offset must be 0 for a cylinder model!");
        if (m.blocks_per_row != m.nelec * p)
            r.fail(2, "Error Message",
                   "You must specify the resistivity of\nall the blocks for a cylinder model!\n"
                   "For this model you must have %d blocks.\n",
                   m.nelec * p);
    }
    // A row may hold more blocks than the line has cells between its electrodes: the blocks
    // beyond stand in the margins, where the file puts them (cut down to the line, the blocks at
    // its right end were dropped without a word). The block line must lie inside the mesh.

    read_resistivities(r);
    read_grid_rows(r);
    if (!m.cylinder_model) {
        build_horizontal_mesh(r);
    } else {
        m.ne = m.ngrid_rows;
        m.le = m.nelec * p;
        const long long cells = (long long)m.le * m.ne;
        if (cells > (long long)r.capacity.C)
            r.fail(2, "Error Message",
                   "Too many model blocks for a cylinder model!\nThis model needs %lld blocks, "
                   "but the maximum\nnumber of blocks is %lld.",
                   cells, (long long)r.capacity.C);
    }
    m.ndepth_values = m.ngrid_lines = m.ngrid_rows;
    if (m.depths_given == 2) {
        r.print("Depth values for model row grid lines are :-");
        if (m.cylinder_model)
            read_cylinder_radii(r);
        else
            read_block_depths(r);
    }
    m.ndepth_values = std::min(m.ndepth_values, r.limits.max_node_rows - 1);
}

} // namespace model

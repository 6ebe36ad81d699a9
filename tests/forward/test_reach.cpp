// The solver mesh reaches the widest datum of the set being calculated: homogeneous lines with
// shallow grids give the half-space value for every datum of the standard sets, padding cells
// take the nearest model cell's values, and the model keeps its own lines.
#include "fixture.h"

#include "forward/commands.h"
#include "forward/mesh_reach.h"
#include "model/utilities.h"

#include <cmath>
#include <sstream>

using namespace forward_test;

namespace {

// Depth lines of a line model: the default ones (21 spacings deep), the array's own default
// ones, or explicit ones from 0.25 down to 12 spacings.
enum class Depths { generic = 0, array_own = 1, explicit_12 = 2 };

// A line of `nelec` electrodes at 4 nodes a spacing with 16 grid rows at `depths`. `blocks`
// holds the block line, the resistivities and the nodes a spacing, and `rows` the 16 rows of
// block codes; by default a 100 ohm-m half-space of one block a row. The offset arrays stand
// one unit spacing off the line.
std::string
line_model(int nelec, int file_code, Depths depths, const std::string& blocks = "0 1\n1\n4\n100\n",
           const std::string& rows = "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n") {
    std::ostringstream f;
    f << "Line model\n" << nelec << "\n8\n0\n1.0\n" << int(depths) << "\n" << blocks << "16\n";
    if (depths == Depths::explicit_12)
        f << "0.25 0.5 0.75 1.0 1.3 1.65 2.05 2.5 3.05 3.7 4.5 5.5 6.8 8.3 10.0 12.0\n";
    f << rows << file_code << "\n";
    if (file_code == 8 || file_code == 10) f << "1.0\n";
    return f.str();
}

} // namespace

// On a 96-electrode line the standard sets reach 32 spacings deep and beyond the line's ends;
// the model's own grid stops at 12 or 21 spacings and 44 beyond the ends. Without the padding
// the dipole-dipole data read up to 35 % off, the Wenner and pole-pole data 20 %. The
// equatorial dipole-dipole data read up to 2.8 % off and the offset pole-dipole ones
// 2.0 % before their strike transform followed the ratio of the samples to a half-space's.
TEST(MeshReach, EveryDatumOfTheStandardSetsOnShallowGrids) {
    CommandFixture f(96, 16000);
    ModelSettings& m = f.r.m;
    struct Case {
        const char* name;
        int file_code;
        Depths depths;
        int fem;
        double tolerance;
    };
    const Case cases[] = {
        {"dipole-dipole, default depths, finite differences", 3, Depths::generic, 0, 0.02},
        {"dipole-dipole, default depths, finite elements", 3, Depths::generic, 1, 0.02},
        {"dipole-dipole, 12 spacings deep, finite elements", 3, Depths::explicit_12, 1, 0.02},
        {"Wenner, 12 spacings deep, finite differences", 1, Depths::explicit_12, 0, 0.02},
        {"pole-pole, default depths, finite elements", 2, Depths::generic, 1, 0.03},
        {"Wenner-Schlumberger, default depths, finite differences", 7, Depths::generic, 0, 0.02},
        {"equatorial dipole-dipole, own depths, finite differences", 8, Depths::array_own, 0, 0.02},
        {"equatorial dipole-dipole, 12 spacings deep, finite elements", 8, Depths::explicit_12, 1,
         0.02},
        {"offset pole-dipole, default depths, finite differences", 10, Depths::generic, 0, 0.02},
        {"offset pole-dipole, default depths, finite elements", 10, Depths::generic, 1, 0.02},
        // Rows of 0.45 spacings: 4.3 and 5.2 % before the solvers split them; 0.7 % after.
        {"pole-pole, own depths, finite differences", 2, Depths::array_own, 0, 0.01},
        {"pole-pole, own depths, finite elements", 2, Depths::array_own, 1, 0.01},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.read(f.home.write("line.mod", line_model(96, c.file_code, c.depths)));
        ASSERT_EQ(m.model_read, 1) << f.h.output();
        const int nx = m.nx_nodes, nz = m.nz_nodes;
        m.fem = c.fem;
        f.calculate();
        ASSERT_EQ(m.data_ready, 1) << f.h.output();
        EXPECT_GT(m.ndata, 1000);
        EXPECT_LT(f.worst(100.0), c.tolerance);
        // The padding is the solvers' alone.
        EXPECT_EQ(m.nx_nodes, nx);
        EXPECT_EQ(m.nz_nodes, nz);
    }
}

// A model of three resistivities (left block, right block, bottom row) padded on both sides and
// below: padding spacings grow by 1.5 from the model's outermost ones, the model's nodes move
// right by the left padding, and every padding cell takes the nearest model cell's value.
TEST(MeshReach, PaddingCellsTakeTheNearestModelCell) {
    CommandFixture f(96, 16000);
    ModelSettings& m = f.r.m;
    std::string rows;
    for (int row = 1; row <= 16; ++row)
        rows += row == 16 ? "22\n" : "01\n";
    const std::string text =
        line_model(20, 3, Depths::explicit_12, "0 2\n3\n4\n10 100 1000\n", rows);
    f.read(f.home.write("blocks.mod", text));
    ASSERT_EQ(m.model_read, 1) << f.h.output();

    const forward::SolverMesh mesh(m, {200.0f, 150.0f});
    ASSERT_GT(mesh.left, 0);
    ASSERT_GT(mesh.below, 0);
    EXPECT_EQ(mesh.right, mesh.left);
    EXPECT_EQ(mesh.nx, m.nx_nodes + mesh.left + mesh.right);
    EXPECT_EQ(mesh.nz, m.nz_nodes + mesh.below);
    EXPECT_FLOAT_EQ(mesh.col_dx[std::size_t(mesh.left - 1)], m.node_col_dx[0] * 1.5f);
    EXPECT_FLOAT_EQ(mesh.row_dz[std::size_t(m.nz_nodes - 1)], m.node_row_dz[m.nz_nodes - 2] * 1.5f);
    float side = 0.0f, depth = 0.0f;
    for (int i = 0; i < mesh.left + m.margin_columns - 1; ++i)
        side += mesh.col_dx[std::size_t(i)];
    for (float dz : mesh.row_dz)
        depth += dz;
    EXPECT_GE(side, 150.0f);
    EXPECT_LT(side - mesh.col_dx[0], 150.0f); // no column more than needed
    EXPECT_GE(depth, 200.0f);
    const float shift = mesh.col_x[std::size_t(mesh.left)];
    EXPECT_FLOAT_EQ(mesh.node_x[std::size_t(mesh.left + 3) * mesh.nz], m.node_col_x[3] + shift);
    const std::size_t bottom = std::size_t(mesh.nz - 1);
    EXPECT_FLOAT_EQ(mesh.node_z[bottom], depth);

    std::vector<float> model_cells(std::size_t(m.nx_cells) * m.nz_cells);
    for (int j = 1; j <= m.nz_cells; ++j)
        for (int i = 1; i <= m.nx_cells; ++i)
            model_cells[index2d(i, j, m.nx_cells)] = float(i + 1000 * j);
    const std::vector<float> cells = mesh.cells(model_cells.data(), 1);
    auto cell = [&](int i, int j) { return cells[std::size_t(index2d(i, j, mesh.nx - 1))]; };
    const int last = mesh.nx - 1, deepest = mesh.nz - 1;
    EXPECT_EQ(cell(1, 1), model_cells[0]); // left of column 1
    EXPECT_EQ(cell(mesh.left + 5, 3), model_cells[index2d(5, 3, m.nx_cells)]);
    EXPECT_EQ(cell(last, 2), model_cells[index2d(m.nx_cells, 2, m.nx_cells)]);
    EXPECT_EQ(cell(mesh.left + 7, deepest), model_cells[index2d(7, m.nz_cells, m.nx_cells)]);
    EXPECT_EQ(cell(last, deepest), model_cells.back());

    // The record's own conductivities in the solver's mesh: the corner cells far outside take
    // the corner values of the model.
    set_code2res(m, 0, m.model_chargeabilities, m.ip_codes, m.cell_conductivity_ip, m.nx_nodes,
                 m.nz_nodes, m.model_col_start, m.model_col_end, m.resistivity_codes,
                 m.cell_conductivity, m.model_resistivities);
    const std::vector<float> sigma = mesh.cells(m.cell_conductivity, 1);
    EXPECT_FLOAT_EQ(sigma[0], 0.1f);
    EXPECT_FLOAT_EQ(sigma.back(), 0.001f);
    EXPECT_FLOAT_EQ(sigma[std::size_t(last - 1)], 0.01f);
}

// The rows of the pole-pole array's own depths (0.45 spacings) within a spacing of the surface
// are split in two for the solvers: each part takes the model row's cells and its nodes lie
// halfway between the model's. Models whose electrodes stand on given rows keep theirs, as
// does the mesh kept node for node.
TEST(MeshReach, ThickRowsAtTheElectrodesAreSplit) {
    CommandFixture f(96, 16000);
    ModelSettings& m = f.r.m;
    std::string rows;
    for (int row = 1; row <= 16; ++row)
        rows += row % 2 ? "01\n" : "10\n";
    f.read(f.home.write("thick.mod",
                        line_model(20, 2, Depths::array_own, "0 2\n2\n4\n10 100\n", rows)));
    ASSERT_EQ(m.model_read, 1) << f.h.output();
    ASSERT_FLOAT_EQ(m.node_row_dz[0], 0.45f);

    const forward::SolverMesh mesh(m, {0.0f, 0.0f});
    EXPECT_FALSE(mesh.padded());
    ASSERT_EQ(mesh.split, 3); // the rows from 0, 0.45 and 0.9 down
    ASSERT_EQ(mesh.nz, m.nz_nodes + 3);
    for (int r = 0; r < 6; ++r)
        EXPECT_FLOAT_EQ(mesh.row_dz[std::size_t(r)], 0.225f) << r;
    for (int r = 6; r < mesh.nz - 1; ++r)
        EXPECT_FLOAT_EQ(mesh.row_dz[std::size_t(r)], m.node_row_dz[r - 3]) << r;
    const int column = 30;
    auto model_z = [&](int r) { return m.node_z[std::size_t(column) * m.nz_nodes + r]; };
    auto solver_z = [&](int r) { return mesh.node_z[std::size_t(column) * mesh.nz + r]; };
    EXPECT_FLOAT_EQ(solver_z(1), 0.5f * (model_z(0) + model_z(1)));
    EXPECT_FLOAT_EQ(solver_z(2), model_z(1));
    EXPECT_FLOAT_EQ(solver_z(7), model_z(4));
    EXPECT_FLOAT_EQ(solver_z(mesh.nz - 1), model_z(m.nz_nodes - 1));

    std::vector<float> model_cells(std::size_t(m.nx_cells) * m.nz_cells);
    for (int j = 1; j <= m.nz_cells; ++j)
        for (int i = 1; i <= m.nx_cells; ++i)
            model_cells[index2d(i, j, m.nx_cells)] = float(i + 1000 * j);
    const std::vector<float> cells = mesh.cells(model_cells.data(), 1);
    const int rows_of[] = {1, 1, 2, 2, 3, 3, 4, 5};
    for (int j = 1; j <= 8; ++j)
        EXPECT_EQ(cells[std::size_t(index2d(7, j, mesh.nx - 1))],
                  model_cells[index2d(7, rows_of[j - 1], m.nx_cells)])
            << j;

    EXPECT_EQ(forward::SolverMesh(m, {0.0f, 0.0f}, 0).split, 0);
    m.water_present = 1;
    EXPECT_EQ(forward::SolverMesh(m, {0.0f, 0.0f}).split, 0);
}

namespace {

// Reads `text` and calculates it.
void read_and_calculate(CommandFixture& f, const std::string& text) {
    f.read(f.home.write("line.mod", text));
    ASSERT_EQ(f.r.m.model_read, 1) << f.h.output();
    f.calculate();
    ASSERT_EQ(f.r.m.data_ready, 1) << f.h.output();
}

// After an array-type change that the potentials do not serve: no values and the advice to
// recalculate; the new calculation gives the half-space within 2 %.
void expect_a_new_calculation(CommandFixture& f) {
    EXPECT_EQ(f.r.m.data_ready, 0);
    EXPECT_NE(f.h.output().find("recalculate the potential"), std::string::npos);
    f.calculate();
    ASSERT_EQ(f.r.m.data_ready, 1) << f.h.output();
    EXPECT_LT(f.worst(100.0), 0.02);
}

} // namespace

// The potentials of one array type serve another only as far as their mesh reached: a wider
// set after the array-type change waits for a new calculation (the advice, no values), a
// narrower one takes its values from them.
TEST(MeshReach, WiderArrayAfterTheCalculationAsksForANewOne) {
    CommandFixture f(96, 16000);
    ModelSettings& m = f.r.m;
    ASSERT_NO_FATAL_FAILURE(read_and_calculate(f, line_model(96, 1, Depths::explicit_12)));
    const float wenner = forward::widest_datum_span(m);
    m.array_type = 5; // dipole-dipole, to 95 spacings
    calappmod(m, f.r.limits, f.r.p, 1, nullptr);
    ASSERT_GT(forward::widest_datum_span(m), wenner);
    ASSERT_NO_FATAL_FAILURE(expect_a_new_calculation(f));
    m.array_type = 1;
    calappmod(m, f.r.limits, f.r.p, 0, nullptr);
    EXPECT_EQ(m.data_ready, 1);
    EXPECT_LT(f.worst(100.0), 0.02);
}

// The offset table holds the potential at the strike offset for the offset pole-dipole array
// and the section-plane potential less it for every other: a change to the offset pole-dipole
// array after the calculation of another asks for a new one instead of forming values from the
// other quantity (they read 100 % off), though the mesh reaches the new set.
TEST(MeshReach, OffsetArrayAfterTheCalculationOfAnotherAsksForANewOne) {
    CommandFixture f(96, 16000);
    ModelSettings& m = f.r.m;
    ASSERT_NO_FATAL_FAILURE(read_and_calculate(f, line_model(30, 3, Depths::generic)));
    m.array_type = 10;
    calappmod(m, f.r.limits, f.r.p, 1, nullptr);
    ASSERT_TRUE(forward::potentials_reach(m, m.potentials_span));
    expect_a_new_calculation(f);
}

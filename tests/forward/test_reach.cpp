// The solver mesh reaches the widest datum of the set being calculated: homogeneous lines with
// shallow grids give the half-space value for every datum of the standard sets, padding cells
// take the nearest model cell's values, and the model keeps its own lines.
#include "fixture.h"

#include "forward/apparent.h"
#include "forward/commands.h"
#include "forward/configurations/config_file.h"
#include "forward/configurations/configurations.h"
#include "forward/mesh_reach.h"
#include "model/datum_points.h"
#include "model/solver_io.h"
#include "model/utilities.h"
#include "support/layered_earth.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace forward_test;
using test_support::read_file;

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
// set after the array-type change waits for a new calculation (the advice, no values) unless
// the mesh solved for reaches it too, a narrower one takes its values from them.
TEST(MeshReach, WiderArrayAfterTheCalculationAsksForANewOne) {
    CommandFixture f(96, 16000);
    ModelSettings& m = f.r.m;
    f.read(f.home.write("line.mod", line_model(96, 1, Depths::explicit_12)));
    ASSERT_EQ(m.model_read, 1) << f.h.output();
    m.nlev = 8; // Wenner to 24 spacings
    m.ndata = calc_datum_points(m, f.r.limits);
    f.calculate();
    ASSERT_EQ(m.data_ready, 1) << f.h.output();
    const float wenner = forward::widest_datum_span(m);
    m.array_type = 5; // dipole-dipole, to 95 spacings
    calappmod(m, f.r.limits, f.r.p, 1, nullptr);
    ASSERT_GT(forward::widest_datum_span(m), wenner);
    ASSERT_NO_FATAL_FAILURE(expect_a_new_calculation(f));
    for (int code : {1, 5}) { // narrower and as wide, on the mesh solved for 95 spacings
        m.array_type = code;
        calappmod(m, f.r.limits, f.r.p, 0, nullptr);
        EXPECT_EQ(m.data_ready, 1) << code;
        EXPECT_LT(f.worst(100.0), 0.02) << code;
    }
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

namespace {

// A borehole's electrodes: x and depth in unit spacings (metres at the example's spacing).
using Hole = std::vector<std::pair<float, float>>;

Hole vertical_hole(float x) {
    Hole h;
    for (int z = 1; z <= 8; ++z)
        h.push_back({x, float(z)});
    return h;
}

// The example's depths, and the same with rows of 2 m below the deepest electrode (8 m).
const char* const example_depths =
    "0.25 0.5 0.75 1 1.5 2 2.5 3 3.5 4 4.5 5 5.5 6 6.5 7 7.5 8 8.5 9 10";
const char* const coarse_depths =
    "0.25 0.5 0.75 1 1.5 2 2.5 3 3.5 4 4.5 5 5.5 6 6.5 7 7.5 8 10 12 14";

// boreholes.mod on homogeneous ground (its block removed) with `nodes` nodes a spacing, the 21
// grid depths `depths` and the boreholes `holes`, inclined ones when `inclined`.
std::string borehole_model(int nodes, const char* depths, bool inclined,
                           const std::vector<Hole>& holes) {
    std::string t = read_file(example("boreholes.mod"));
    const auto replace = [&t](const std::string& from, const std::string& to) {
        const std::size_t at = t.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        t.replace(at, from.size(), to);
    };
    replace("\n4\n100 10\n", "\n" + std::to_string(nodes) + "\n100 100\n");
    replace("0.25 0.5 0.75 1 1.5 2 2.5 3 3.5 4 4.5 5 5.5 6 6.5 7 7.5 8 8.5 9 10", depths);
    // A block a cell along the 20 spacings of the line (the example's rows of 80 blocks, all of
    // 100 ohm-m now): as many blocks a row as cells.
    const std::string cells(std::size_t(20 * nodes), '0');
    replace("\n0 80\n", "\n0 " + std::to_string(cells.size()) + "\n");
    std::istringstream lines(t);
    std::string out;
    for (std::string line; std::getline(lines, line);)
        out += (line.size() == 80 && line.find_first_not_of("01") == std::string::npos ? cells
                                                                                       : line) +
               "\n";
    t = out;
    std::ostringstream b;
    b << (inclined ? "Inclined boreholes" : "Boreholes") << "\nNumber of boreholes\n"
      << holes.size() << "\n";
    for (std::size_t h = 0; h < holes.size(); ++h) {
        b << "Borehole " << h + 1 << "\n" << holes[h].size() << "\n";
        for (const auto& [x, z] : holes[h])
            b << x << " " << z << "\n";
    }
    const std::size_t from = t.find("Boreholes\n"), to = t.find("\n0000") + 1;
    t.replace(from, to - from, b.str());
    return t;
}

std::string at(const std::pair<float, float>& e) {
    std::ostringstream o;
    o << e.first << "," << e.second;
    return o.str();
}

// Configuration lines of the sets of a survey with `holes`.
using Lines = std::vector<std::string>;
// Every pair of electrodes of a hole, and its four-electrode arrays of one spacing (C1, C2
// three electrodes apart, the potential electrodes between them).
Lines in_hole(const std::vector<Hole>& holes) {
    Lines l;
    for (const Hole& h : holes)
        for (std::size_t a = 0; a < h.size(); ++a) {
            for (std::size_t b = 0; b < h.size(); ++b)
                if (a != b) l.push_back("2 " + at(h[a]) + " " + at(h[b]));
            if (a + 3 < h.size())
                l.push_back("4 " + at(h[a]) + " " + at(h[a + 3]) + " " + at(h[a + 1]) + " " +
                            at(h[a + 2]));
        }
    return l;
}
// Every pair of electrodes in two holes.
Lines cross_hole(const std::vector<Hole>& holes) {
    Lines l;
    for (const Hole& p : holes)
        for (const Hole& q : holes)
            if (&p != &q)
                for (const auto& a : p)
                    for (const auto& b : q)
                        l.push_back("2 " + at(a) + " " + at(b));
    return l;
}
// Every second surface electrode with every hole electrode both ways, and as the current
// electrode of a potential dipole of neighbouring hole electrodes.
Lines surface_to_hole(const std::vector<Hole>& holes) {
    Lines l;
    for (int s = 0; s <= 20; s += 2)
        for (const Hole& h : holes)
            for (std::size_t b = 0; b < h.size(); ++b) {
                const std::string surface = std::to_string(s) + ",0";
                l.push_back("2 " + surface + " " + at(h[b]));
                l.push_back("2 " + at(h[b]) + " " + surface);
                if (b + 1 < h.size())
                    l.push_back("3 " + surface + " " + at(h[b]) + " " + at(h[b + 1]));
            }
    return l;
}
// Every hole electrode as the current electrode of a potential dipole of one spacing on the
// surface.
Lines hole_to_surface_dipole(const std::vector<Hole>& holes) {
    Lines l;
    for (int s = 0; s < 20; ++s)
        for (const Hole& h : holes)
            for (const auto& b : h)
                l.push_back("3 " + at(b) + " " + std::to_string(s) + ",0 " + std::to_string(s + 1) +
                            ",0");
    return l;
}

std::string configuration_file(const Lines& lines) {
    std::ostringstream o;
    o << "Arrays\nNumber of arrays\n"
      << lines.size() << "\nUnit electrode spacing\n1.0\nNew format\n";
    for (const std::string& l : lines)
        o << l << "\n";
    return o.str();
}

// The largest deviation of the configurations' apparent resistivities from `rho`; each must
// be formed.
double worst_configuration(const CommandFixture& f, const std::string& text, double rho) {
    forward::ConfigurationFile c;
    EXPECT_TRUE(forward::parse_configuration_file(text.data(), std::int32_t(text.size()), 1.0f, 1,
                                                  4000, c, {}));
    const forward::ConfigData data = forward::form_configuration_data(f.r.m, f.r.limits, c, true);
    EXPECT_EQ(data.formed, int(c.arrays.size()));
    double worst = 0.0;
    for (std::size_t k = 0; k < data.data.size(); ++k) {
        const forward::ConfigDatum& d = data.data[k];
        worst = std::max(worst, std::fabs(d.rho / rho - 1.0));
    }
    return worst;
}

// A point the mesh is graded around: where it stands on one axis and the spacing at it.
struct GradedPoint {
    float at, h;
};

// The line interval [lo, hi] is no wider than the spacing at the nearest of `points` grown by
// 0.3 times its distance from it (the last gap of a grading 2 % more, and a thousandth for
// rounding).
void expect_graded_interval(float lo, float hi, const std::vector<GradedPoint>& points,
                            const char* what, std::size_t index) {
    float allowed = INFINITY;
    for (const GradedPoint& p : points) {
        const float away = p.at < lo ? lo - p.at : p.at > hi ? p.at - hi : 0.0f;
        allowed = std::min(allowed, p.h + 0.3f * away);
    }
    EXPECT_LE(hi - lo, 1.021f * allowed) << what << " " << index;
}

// The solver mesh of a flat model is graded around every borehole electrode: within the
// model's lines its rows (and its columns outside the surface electrodes' span) are the spacing
// at the electrode (the node spacing, or an eighth of the distance to the nearest other
// electrode where that is wider), a line through it, and grow by 1.3 at most a line away from
// it; the rows within a unit spacing of the surface also from the surface at the node spacing.
void expect_graded(const ModelSettings& m) {
    const forward::SolverMesh mesh(m, forward::reach_for_model(m, forward::widest_datum_span(m)));
    const float h = 1.0f / float(m.nodes_per_spacing);
    const int first = mesh.column(m.margin_columns) - 1;
    const int last = mesh.column(m.margin_columns + (m.nelec - 1) * m.nodes_per_spacing) - 1;
    const float x0 = mesh.col_x[std::size_t(first)];
    std::vector<GradedPoint> depths, xs;
    for (int k = 0; k < m.nborehole_nodes; ++k) {
        const float x = m.borehole_x[k], z = m.borehole_z[k];
        float nearest = INFINITY;
        for (int e = 0; e < m.nelec; ++e)
            nearest = std::min(nearest, std::hypot(x - float(e), z));
        for (int o = 0; o < m.nborehole_nodes; ++o)
            if (o != k)
                nearest = std::min(nearest, std::hypot(x - m.borehole_x[o], z - m.borehole_z[o]));
        const float spacing = std::max(h, nearest / 8.0f);
        depths.push_back({z, spacing});
        xs.push_back({x0 + x, spacing});
    }
    std::vector<GradedPoint> near_surface = depths;
    near_surface.push_back({0.0f, h});
    std::vector<float> lines{0.0f};
    for (float dz : mesh.row_dz)
        lines.push_back(lines.back() + dz);
    // The padding beyond the model's lines grows on its own.
    for (std::size_t j = 0; j + 1 + std::size_t(mesh.below) < lines.size(); ++j)
        expect_graded_interval(lines[j], lines[j + 1], lines[j] < 1.0f ? near_surface : depths,
                               "row", j);
    for (const GradedPoint& p : depths) {
        float nearest = INFINITY;
        for (float line : lines)
            nearest = std::min(nearest, std::fabs(line - p.at));
        EXPECT_LE(nearest, 0.1f * h) << "no row line through " << p.at;
    }
    for (std::size_t i = std::size_t(mesh.left); i + 1 + mesh.right < mesh.col_x.size(); ++i)
        if (int(i) < first || int(i) >= last)
            expect_graded_interval(mesh.col_x[i], mesh.col_x[i + 1], xs, "column", i);
}

} // namespace

// Borehole electrodes on homogeneous ground read the buried point source with its image:
// every configuration of the bundled example and in-hole, cross-hole and surface-to-hole sets,
// on the example's depths, with rows of 2 m below the deepest electrode and with an inclined
// borehole from the line's end out into the side columns. On the model's own lines they read
// 3.6 % off (in-hole arrays of 1 m through rows of 0.5 m), 10.8 % (an in-hole pair 1 m apart
// above the rows of 2 m) and 5.7 % (the inclined borehole in columns of 0.3 to 0.6 m); the
// solvers' mesh is graded around each electrode, the model keeps its lines.
TEST(MeshReach, BuriedElectrodesReadThePointSourceWithItsImage) {
    CommandFixture f(61, 4000);
    ModelSettings& m = f.r.m;
    const std::vector<Hole> example_holes = {vertical_hole(5), vertical_hole(15)};
    Hole slant; // from the last electrode's mesh line out beyond the line's end
    for (int z = 1; z <= 8; ++z)
        slant.push_back({20.5f + 0.25f * float(z), float(z)});
    const std::vector<Hole> edge_holes = {vertical_hole(5), slant};
    const Lines none;
    struct Case {
        const char* name;
        int nodes;
        const char* depths;
        bool inclined;
        const std::vector<Hole>& holes;
        bool example_file;
        const Lines sets;
        double tolerance;
    };
    const auto usual = [](const std::vector<Hole>& h) {
        Lines l = in_hole(h), c = cross_hole(h), s = surface_to_hole(h);
        l.insert(l.end(), c.begin(), c.end());
        l.insert(l.end(), s.begin(), s.end());
        return l;
    };
    // Measured 1.6 % (the in-hole arrays of 1 m) in the first three. A potential dipole of one
    // spacing on the surface by the top of a hole reads 4.4 % off at 4 nodes a spacing (as on
    // the model's own mesh of rows as fine as the columns): 1.1 % at 8 nodes a spacing.
    const Case cases[] = {
        {"the example's depths", 4, example_depths, false, example_holes, true,
         usual(example_holes), 0.02},
        {"rows of 2 m below the deepest electrode", 4, coarse_depths, false, example_holes, true,
         usual(example_holes), 0.02},
        {"an inclined borehole beyond the line's end", 4, coarse_depths, true, edge_holes, false,
         usual(edge_holes), 0.02},
        {"surface dipoles at 8 nodes a spacing", 8, example_depths, false, example_holes, false,
         hole_to_surface_dipole(example_holes), 0.02},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text;
        ASSERT_NO_FATAL_FAILURE(text = borehole_model(c.nodes, c.depths, c.inclined, c.holes));
        f.read(f.home.write("boreholes.mod", text));
        ASSERT_EQ(m.model_read, 1) << f.h.output();
        ASSERT_EQ(m.nodes_per_spacing, c.nodes) << f.h.output();
        const std::vector<float> rows(m.node_row_dz, m.node_row_dz + m.nz_nodes - 1);
        f.calculate();
        ASSERT_EQ(m.data_ready, 1) << f.h.output();
        expect_graded(m);
        EXPECT_EQ(std::vector<float>(m.node_row_dz, m.node_row_dz + m.nz_nodes - 1), rows);
        if (c.example_file) {
            EXPECT_LT(worst_configuration(f, read_file(example("boreholes_arrays.txt")), 100.0),
                      c.tolerance);
        }
        EXPECT_LT(worst_configuration(f, configuration_file(c.sets), 100.0), c.tolerance);
    }
}

// The quadrilateral solver on the same sets, its borehole electrodes on the rows at their
// depths in the graded mesh. Measured 1.5 % (in-hole pairs 1 m apart), 2.8 % (in-hole arrays
// of four, 1.6 % for the band solver), 7.4 % at 2 nodes a spacing, whose rows of 0.5 m the
// grading keeps (10 % for the band solver), 1.45 % for the surface dipoles at 8 nodes a spacing.
// On every second row from the first and the model's lines the in-hole pairs read 7 times
// their value: its bilinear cells' potentials hardly fell with k beyond 3 there, and the
// transform's exponential end carried them on (98 % at 2 nodes a spacing before those samples
// were left out). A Jacobian run keeps the model's lines: there the in-hole pairs read 8.4 %
// off, and 3.5 times their value with those samples, whose fall stays flat over several
// intervals (not only the last one).
TEST(MeshReach, QuadrilateralSolverReadsBuriedElectrodes) {
    CommandFixture f(61, 4000);
    ModelSettings& m = f.r.m;
    const std::vector<Hole> holes = {vertical_hole(5), vertical_hole(15)};
    Lines pairs, fours;
    for (const std::string& l : in_hole(holes))
        (l[0] == '4' ? fours : pairs).push_back(l);
    Lines usual = pairs, every = in_hole(holes);
    for (const Lines& l : {cross_hole(holes), surface_to_hole(holes)}) {
        usual.insert(usual.end(), l.begin(), l.end());
        every.insert(every.end(), l.begin(), l.end());
    }
    struct Case {
        const char* name;
        int nodes;
        const char* depths;
        bool example_file;
        const Lines& sets;
        double tolerance;
        bool model_lines = false;
    };
    const Case cases[] = {
        {"pairs and the example's arrays", 4, example_depths, true, usual, 0.015},
        {"rows of 2 m below the deepest electrode", 4, coarse_depths, true, usual, 0.015},
        {"the model's own lines", 4, coarse_depths, true, usual, 0.09, true},
        {"in-hole arrays of four electrodes", 4, example_depths, false, fours, 0.03},
        {"2 nodes a spacing", 2, example_depths, true, every, 0.08},
        {"surface dipoles at 8 nodes a spacing", 8, example_depths, false,
         hole_to_surface_dipole(holes), 0.015},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text;
        ASSERT_NO_FATAL_FAILURE(text = borehole_model(c.nodes, c.depths, false, holes));
        f.read(f.home.write("boreholes.mod", text));
        ASSERT_EQ(m.model_read, 1) << f.h.output();
        ASSERT_EQ(m.nodes_per_spacing, c.nodes) << f.h.output();
        m.fem_variant = 1;
        m.jacob = c.model_lines ? 1 : 0;
        f.calculate();
        m.jacob = 0;
        ASSERT_EQ(m.data_ready, 1) << f.h.output();
        if (c.example_file) {
            EXPECT_LT(worst_configuration(f, read_file(example("boreholes_arrays.txt")), 100.0),
                      c.tolerance);
        }
        EXPECT_LT(worst_configuration(f, configuration_file(c.sets), 100.0), c.tolerance);
    }
}

namespace {

// A pole-pole line of 41 electrodes 2.5 m apart over a layer of rho1 and h metres on rho2,
// 12 levels (to 32.5 m), 16 grid rows to 30 m with lines at 2.5, 5 and 10 m.
std::string two_layer_line(double rho1, double rho2, double h) {
    const double depths[] = {0.625, 1.25, 1.875, 2.5, 3.25, 4.0, 5.0, 6.0,
                             7.5,   10.0, 12.5,  15,  18,   22,  26,  30};
    std::ostringstream f;
    f << "Two layers\n41\n12\n0\n2.5\n2\n0 1\n2\n4\n" << rho1 << " " << rho2 << "\n16\n";
    for (double d : depths)
        f << d << " ";
    f << "\n";
    double top = 0.0;
    for (double d : depths) {
        f << (top < h ? "0\n" : "1\n");
        top = d;
    }
    f << "2\n";
    return f.str();
}

// Largest deviation of the pole-pole apparent resistivities from the two-layer earth's, 2 pi r
// times its image-series potential at r.
double worst_two_layer(const ModelSettings& m, double rho1, double rho2, double h) {
    double worst = 0.0;
    for (int d = 0; d < m.ndata; ++d) {
        const forward::DatumElectrodes e = forward::datum_electrodes(m, m.array_type, d);
        const double r = std::abs(e.p1 - e.c1) * m.unit_spacing;
        const double expected =
            2.0 * M_PI * r * test_support::two_layer_potential(rho1, rho2, h, r);
        worst = std::max(worst, std::fabs(m.app_resistivity[d] / expected - 1.0));
    }
    return worst;
}

} // namespace

// The boundary condition takes the ground beyond the mesh as homogeneous; the mesh reaches as
// far as the layering carries the current. On the model's own margin of 44 spacings and a
// bottom two spans down, pole-pole data of 2.5 to 32.5 m read up to 3.7 % low over 10 ohm-m on
// 200 ohm-m at 5 m, 9.9 % low on 500 ohm-m and 4.9 % over 20 on 1000 ohm-m at 2.5 m (the
// reverse contrasts 1.3 to 1.6 % high), by finite differences and elements alike. Measured
// now 1.3 % at most, either contrast.
TEST(MeshReach, PolePoleOnTwoLayersOfEitherContrast) {
    CommandFixture f(61, 4000);
    ModelSettings& m = f.r.m;
    struct Case {
        double rho1, rho2, h;
    };
    const Case cases[] = {{10, 200, 5},  {200, 10, 5},  {10, 500, 5},   {500, 10, 5},
                          {10, 100, 10}, {100, 10, 10}, {20, 1000, 2.5}};
    for (const Case& c : cases)
        for (int fem : {0, 1}) {
            SCOPED_TRACE(std::to_string(c.rho1) + " over " + std::to_string(c.rho2) + " at " +
                         std::to_string(c.h) + (fem ? " m, finite elements" : " m, differences"));
            f.read(f.home.write("layers.mod", two_layer_line(c.rho1, c.rho2, c.h)));
            ASSERT_EQ(m.model_read, 1) << f.h.output();
            m.fem = fem;
            f.calculate();
            ASSERT_EQ(m.data_ready, 1) << f.h.output();
            ASSERT_GT(m.ndata, 300);
            EXPECT_LT(worst_two_layer(m, c.rho1, c.rho2, c.h), 0.015);
        }
}

// A buried electrode in thick rows: a 10-electrode line whose rows double down to 512 spacings,
// one electrode of an inclined borehole 556 m deep. The rows within two spacings of it were cut
// to the node spacing, the row of 512 spacings holding it into 2048 rows (8.5 s and 554 MB
// against 0.01 s without it); graded from the electrode outwards at the node spacing, and from
// the surface all the way down to it, 67 rows more; from an eighth of its distance to the line
// (70 spacings), the surface's grading within a spacing of it, 11. Its potentials from the
// surface electrodes and theirs at it read the buried point source with its image (measured
// 0.8 %, now 0.4 %).
TEST(MeshReach, BuriedElectrodeInThickRowsTakesAFewRows) {
    CommandFixture f(61, 4000);
    ModelSettings& m = f.r.m;
    std::ostringstream text;
    text << "Deep electrode\n10\n6\n0\n1.0\n2\n0 1\n1\n4\n100\n12\n"
         << "0.5 1 2 4 8 16 32 64 128 256 512 1024\nInclined boreholes\nNumber of boreholes\n1\n"
         << "Borehole 1\n1\n4.5 556\n";
    for (int row = 0; row < 12; ++row)
        text << "0\n";
    text << "1\n";
    f.read(f.home.write("deep.mod", text.str()));
    ASSERT_EQ(m.model_read, 1) << f.h.output();
    ASSERT_EQ(m.nborehole_nodes, 1);
    const forward::SolverMesh mesh(m, forward::reach_for_model(m, forward::widest_datum_span(m)));
    ASSERT_LE(mesh.split, 12);
    f.calculate();
    ASSERT_EQ(m.data_ready, 1) << f.h.output();
    expect_graded(m);
    Lines pairs;
    for (int s = 0; s < 10; ++s) {
        pairs.push_back("2 " + std::to_string(s) + ",0 4.5,556");
        pairs.push_back("2 4.5,556 " + std::to_string(s) + ",0");
    }
    EXPECT_LT(worst_configuration(f, configuration_file(pairs), 100.0), 0.02);
}

// A hole of eight electrodes 50 spacings apart, from 60 to 410 spacings below a line of ten, in
// rows of 50 (fixtures/deep_hole.mod). The mesh reached two spans of the line's widest datum
// beyond its ends (18 spacings) and kept the wavenumbers of the line: the in-hole pairs read
// 159 % off, the in-hole arrays of four 42 %, by the quadrilateral solver 141 %; with the mesh
// reaching the hole but the wavenumbers as they were 5.1 % (the quadrilateral solver, whose own
// wavenumbers start at 0.01, 27 %). Every row within two spacings of an electrode was cut to the
// node spacing: 255 rows. Measured now 0.6 % (sparse solver) and 1.4 % (quadrilateral solver)
// in 83 rows, the spacing at an electrode an eighth of its distance to its neighbours, the
// wavenumbers reaching below the deepest electrode's distance from its neighbour's image (two
// more), those of the bundled borehole example as they were.
TEST(MeshReach, DeepHoleReadsThePointSourceWithItsImage) {
    CommandFixture f(61, 4000);
    ModelSettings& m = f.r.m;
    Hole hole;
    for (int k = 0; k < 8; ++k)
        hole.push_back({4.5f, 60.0f + 50.0f * float(k)});
    const Lines in = in_hole({hole});
    Lines surface = in;
    for (int s = 0; s < 10; ++s)
        for (const auto& e : hole) {
            surface.push_back("2 " + std::to_string(s) + ",0 " + at(e));
            surface.push_back("2 " + at(e) + " " + std::to_string(s) + ",0");
        }
    struct Case {
        const char* name;
        int fem_variant;
        const Lines& sets;
        double tolerance;
    } const cases[] = {{"sparse solver, in-hole and surface-to-hole", 0, surface, 0.01},
                       {"quadrilateral solver, in-hole", 1, in, 0.015}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.read(std::string(VELDARIN_TEST_DATA) + "/fixtures/deep_hole.mod");
        ASSERT_EQ(m.model_read, 1) << f.h.output();
        m.fem_variant = c.fem_variant;
        const forward::SolverMesh mesh(m,
                                       forward::reach_for_model(m, forward::widest_datum_span(m)));
        EXPECT_LT(mesh.nz, 90);
        f.calculate();
        ASSERT_EQ(m.data_ready, 1) << f.h.output();
        expect_graded(m);
        EXPECT_LT(worst_configuration(f, configuration_file(c.sets), 100.0), c.tolerance);
    }
    model::SurveyInputs waves;
    waves.nky = m.nky;
    waves.ky_min = m.ky_min;
    waves.ky_max = m.ky_max;
    forward::reach_wavenumbers(m, waves.ky_min, waves);
    EXPECT_EQ(waves.nky, m.nky + 2);
    f.read(example("boreholes.mod"));
    ASSERT_EQ(m.model_read, 1) << f.h.output();
    waves.nky = m.nky;
    waves.ky_min = m.ky_min;
    forward::reach_wavenumbers(m, waves.ky_min, waves);
    EXPECT_EQ(waves.nky, m.nky);
}

// Model files that read correctly: every model kind and optional section, with the values,
// mesh and codes they must give.
#include "reader_fixture.h"

#include <algorithm>

#include "model/utilities.h"

#include <cmath>

using namespace reader_test;

namespace {

ModelSettings& m() {
    return shared_model();
}

int code(int column, int row) {
    return m().resistivity_codes[index2d(column, row, m().nx_cells)];
}

float node_z(int column, int row) {
    return m().node_z[column * m().nz_nodes + row];
}

ReadOutcome read_ok(const std::string& name) {
    ReadOutcome out = read_model(fixture(name));
    EXPECT_EQ(out.result, 0) << name;
    EXPECT_EQ(out.error, 0) << name;
    EXPECT_TRUE(out.boxes.empty()) << name << ": " << (out.boxes.empty() ? "" : out.boxes[0].text);
    EXPECT_TRUE(out.has_line("Reading of data file is complete.")) << name;
    // A line end or other control character would be drawn as a box glyph.
    for (const std::string& line : out.summary)
        EXPECT_TRUE(std::none_of(line.begin(), line.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 32; }))
            << name << ": \"" << line << "\"";
    return out;
}

} // namespace

// Every fixture reads without a message, and reading it twice gives the same mesh.
TEST(ReaderFiles, EveryFixtureReadsAndRereadsTheSame) {
    for (const char* name : {"block_point.mod", "block_line_electrodes.mod", "default_depths.mod",
                             "tank.mod", "tank_default_depths.mod", "cylinder.mod", "convex.mod",
                             "water_one_layer.mod", "water_multi_layer.mod", "remote.mod",
                             "borehole_vertical.mod", "borehole_inclined.mod"}) {
        SCOPED_TRACE(name);
        read_ok(name);
        const std::vector<float> x(m().node_x, m().node_x + m().nx_nodes * m().nz_nodes);
        const std::vector<float> z(m().node_z, m().node_z + m().nx_nodes * m().nz_nodes);
        const int nx = m().nx_nodes, nz = m().nz_nodes, records = m().nelectrode_records;
        read_ok(name);
        EXPECT_EQ(m().nx_nodes, nx);
        EXPECT_EQ(m().nz_nodes, nz);
        EXPECT_EQ(m().nelectrode_records, records);
        if (!m().cylinder_model) {
            EXPECT_EQ(std::vector<float>(m().node_x, m().node_x + nx * nz), x);
            EXPECT_EQ(std::vector<float>(m().node_z, m().node_z + nx * nz), z);
        }
    }
}

// 41 point electrodes at 4 nodes per spacing: 199 node columns, the first electrode in column
// 19 (0-based; margin_columns 20 is its 1-based number), margins growing by 1.25.
// A row of more blocks than the 160 cells between the electrodes: its blocks in the margins
// stand where the file puts them. The row was cut to 160 blocks, and the block at its right end
// was dropped without a word.
TEST(ReaderFiles, RowsWiderThanTheLineKeepTheirMarginBlocks) {
    std::string text = replace_once(fixture_text("block_point.mod"), "\n1 8\n", "\n-19 196\n");
    const std::string depths = "0.5 1.0 1.5 2.0 2.75 3.5 4.5 5.5 7.0\n";
    const std::size_t rows = text.find(depths) + depths.size();
    std::string wide;
    for (int r = 0; r < 9; ++r)
        wide += "3" + std::string(194, '0') + "5\n";
    text.replace(rows, text.find("\n1\n", rows) + 1 - rows, wide);
    const ReadOutcome out = read_text(text);
    ASSERT_EQ(out.result, 0) << (out.boxes.empty() ? "" : out.boxes[0].text);
    EXPECT_EQ(m().model_col_start, 1);
    EXPECT_EQ(m().model_col_end, 196);
    for (int row : {1, 9}) {
        EXPECT_EQ(code(1, row), 3);
        EXPECT_EQ(code(100, row), 0);
        EXPECT_EQ(code(196, row), 5);
        EXPECT_EQ(code(198, row), 5);
    }
}

TEST(ReaderFiles, BlockModelMeshAndCodes) {
    m().resistivity_codes[index2d(198, 1, 198)] = 99; // a code an earlier model left
    const ReadOutcome out = read_ok("block_point.mod");
    EXPECT_TRUE(out.has_line("Model name  -  Block model, point electrodes."));
    EXPECT_TRUE(out.has_line("Number of electrodes is 41."));
    EXPECT_TRUE(out.has_line("No remote electrodes."));
    EXPECT_EQ(std::string(m().model_title), "Block model, point electrodes");
    EXPECT_EQ(m().nelec, 41);
    EXPECT_EQ(m().nelec_pairs, 820);
    EXPECT_EQ(m().nelectrode_records, 41);
    EXPECT_FLOAT_EQ(m().electrode_table[40].x, 40.0f);
    EXPECT_EQ(m().electrode_type, 0);
    EXPECT_EQ(m().margin_columns, 20);
    EXPECT_EQ(m().nx_nodes, 199);
    EXPECT_EQ(m().nx_cells, 198);
    for (int k = 0; k < 41; ++k)
        EXPECT_FLOAT_EQ(m().node_col_x[19 + 4 * k] - m().node_col_x[19], float(k)) << k;
    for (int i : {16, 17, 18, 179, 180, 181})
        EXPECT_FLOAT_EQ(m().node_col_dx[i], 0.25f) << i;
    EXPECT_NEAR(m().node_col_dx[0], 0.25 * std::pow(1.25, 16), 1e-4);
    EXPECT_FLOAT_EQ(m().node_col_dx[197], m().node_col_dx[0]);

    // Row "0A123456" at cell column 21: codes 0 and 10, the last code out to column 198.
    EXPECT_EQ(m().model_col_start, 21);
    EXPECT_EQ(m().model_col_end, 28);
    EXPECT_EQ(code(1, 1), 0);
    EXPECT_EQ(code(21, 1), 0);
    EXPECT_EQ(code(22, 1), 10);
    EXPECT_EQ(code(28, 1), 6);
    EXPECT_EQ(code(197, 1), 6);
    EXPECT_EQ(code(198, 1), 6);
    EXPECT_EQ(code(23, 9), 10); // "89abcdef": lower-case letters as upper-case

    // Depths given, 8 levels: deepened by steps of 1.25 to 2.5 x (8 + 2) = 25 spacings; the
    // added rows repeat the last row read.
    EXPECT_EQ(m().ndepths, 9);
    EXPECT_EQ(m().nmodel_file, 9);
    const int lines = m().ngrid_lines;
    EXPECT_GT(lines, 9);
    EXPECT_GE(m().depth_lines[lines], 25.0f);
    EXPECT_LT(m().depth_lines[lines - 1], 25.0f);
    EXPECT_FLOAT_EQ(m().node_row_dz[9], 1.5f * 1.25f);
    EXPECT_EQ(m().ngrid_rows, lines);
    EXPECT_EQ(m().nz_nodes, lines);
    EXPECT_EQ(m().nz_cells, lines - 1);
    const std::string extended =
        "Depth grid lines extended to " + std::to_string(lines) + " lines.";
    EXPECT_EQ(std::count(out.summary.begin(), out.summary.end(), extended), 1); // said once
    for (int row = 10; row <= lines; ++row) {
        EXPECT_EQ(code(22, row), 9) << row;
        EXPECT_EQ(code(198, row), 10) << row; // 'f' held to the last of the 11 values
    }
    // Flat surface: every node column at the row depths, x of its column.
    EXPECT_FLOAT_EQ(m().elec_x[40], 40.0f);
    EXPECT_FLOAT_EQ(m().topo_bottom_shift, 0.0f);
    for (int c : {0, 19, 100, 198})
        for (int r : {0, 3, lines - 1}) {
            EXPECT_FLOAT_EQ(node_z(c, r), m().depth_lines[r]);
            EXPECT_FLOAT_EQ(m().node_x[c * m().nz_nodes + r], m().node_col_x[c]);
        }
}

TEST(ReaderFiles, LineElectrodesWidenTheMargins) {
    m().fem = 0;
    const ReadOutcome out = read_ok("block_line_electrodes.mod");
    EXPECT_TRUE(out.has_line("Line electrodes used"));
    EXPECT_EQ(m().electrode_type, 1);
    EXPECT_EQ(m().fem, 1);
    EXPECT_EQ(m().margin_columns, 24);
    EXPECT_EQ(m().nx_nodes, 2 * 24 + 20 * 4 - 1);
    EXPECT_EQ(m().model_col_start, 24);

    // A line of the most electrodes the limits allow fits at 4 nodes a spacing.
    const int most = shared_limits().max_electrodes;
    const ReadOutcome longest =
        read_text(replace_once(fixture_text("block_line_electrodes.mod"), "\n21\n6\n",
                               "\n" + std::to_string(most) + "\n6\n"));
    EXPECT_EQ(longest.result, 0) << (longest.boxes.empty() ? "" : longest.boxes[0].text);
    EXPECT_EQ(m().nx_nodes, 2 * 24 + (most - 1) * 4 - 1);
}

// Unit spacing 2, no depths in the file: default rows 0.25 x 4, 0.35, then x 1.1, printed in
// metres as 0.5, 1.0, 1.5, 2.0, 2.7, 3.47. The 11 rows end 4.3 spacings down; like given depths
// they are deepened by steps of 1.25 to 2.5 x (4 + 2) = 15 spacings, unless that is turned off.
TEST(ReaderFiles, DefaultDepths) {
    m().fem = 0;
    ReadOutcome out = read_ok("default_depths.mod");
    EXPECT_EQ(m().electrode_type, 0); // type 2 is stored as 0
    EXPECT_EQ(m().fem, 0);
    EXPECT_TRUE(out.has_line("Model grid depths not specified in model file."));
    EXPECT_TRUE(out.has_line("Default model type 0 is used."));
    const float metres[6] = {0.5f, 1.0f, 1.5f, 2.0f, 2.7f, 3.47f};
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(m().depth_lines[i + 1] * 2.0f, metres[i], 1e-5) << i;
    const double row_11 = 0.35 * std::pow(1.1, 5) * 1.5;
    EXPECT_NEAR(m().depth_lines[11] - m().depth_lines[10], row_11, 1e-5);
    bool printed = false;
    for (const std::string& s : out.summary)
        if (s.rfind("   0.500   1.000   1.500   2.000   2.700   3.470", 0) == 0) printed = true;
    EXPECT_TRUE(printed);

    const int lines = m().ngrid_lines;
    EXPECT_GE(m().depth_lines[lines], 15.0f);
    EXPECT_LT(m().depth_lines[lines - 1], 15.0f);
    EXPECT_NEAR(m().node_row_dz[11], 1.25 * row_11, 1e-5);
    EXPECT_EQ(m().nz_nodes, lines);
    EXPECT_TRUE(out.has_line("Depth grid lines extended to " + std::to_string(lines) + " lines."));
    for (int row = 12; row <= lines; ++row)
        EXPECT_EQ(code(22, row), code(22, 11)) << row;

    m().extend_depth = 0;
    out = read_ok("default_depths.mod");
    m().extend_depth = 1;
    EXPECT_EQ(m().nz_nodes, 12);
    EXPECT_FALSE(out.has_line("Depth grid lines extended to " + std::to_string(lines) + " lines."));
}

TEST(ReaderFiles, TankWallsAndFloor) {
    const ReadOutcome out = read_ok("tank.mod");
    EXPECT_TRUE(out.has_line("Tank model"));
    EXPECT_TRUE(out.has_line("X boundaries are at -6.00 and 28.00"));
    EXPECT_TRUE(out.has_line("Z boundary is at 40.00"));
    EXPECT_EQ(m().tank_model, 1);
    EXPECT_FLOAT_EQ(m().tank_x_left, -3.0f);
    EXPECT_FLOAT_EQ(m().tank_x_right, 14.0f);
    EXPECT_FLOAT_EQ(m().tank_bottom_z, 20.0f);
    EXPECT_FLOAT_EQ(m().tank_wall_resistivity, 100.0f * 100.0f);
    const float first = m().node_col_x[19];
    EXPECT_NEAR(m().node_col_x[m().tank_left_column] - first, -3.0f, 1e-4);
    EXPECT_NEAR(m().node_col_x[m().tank_right_column - 1] - first, 14.0f, 1e-4);
    // The grid is deepened for the levels, then three lines go below the floor; the node row
    // nearest to the floor lies on it.
    const int row = m().tank_bottom_row - 1;
    EXPECT_FLOAT_EQ(m().depth_lines[row], 20.0f);
    EXPECT_FLOAT_EQ(node_z(0, row), 20.0f);
    EXPECT_FLOAT_EQ(m().node_row_dz[row], 1.25f * m().node_row_dz[row - 1]);
}

// Without depths in the file the default depths are deepened for the levels (to 15 spacings),
// then the floor lines follow them.
TEST(ReaderFiles, TankWithDefaultDepths) {
    read_ok("tank_default_depths.mod");
    const int lines = m().ngrid_lines;
    EXPECT_EQ(m().nz_nodes, lines);
    EXPECT_GE(m().depth_lines[lines - 3], 15.0f);
    EXPECT_LT(m().depth_lines[lines - 4], 15.0f);
    const int row = m().tank_bottom_row - 1;
    EXPECT_EQ(row, lines - 2);
    EXPECT_FLOAT_EQ(m().depth_lines[row], 20.0f);
    EXPECT_FLOAT_EQ(node_z(0, row), 20.0f);
    for (int r = 10; r <= lines; ++r)
        EXPECT_EQ(code(20, r), code(20, 9)) << r;
}

TEST(ReaderFiles, CylinderAndConvexSection) {
    ReadOutcome out = read_ok("cylinder.mod");
    EXPECT_TRUE(out.has_line("Cylinder model"));
    EXPECT_EQ(m().cylinder_model, 1);
    EXPECT_EQ(m().convex_section, 0);
    EXPECT_EQ(m().le, 40);
    EXPECT_EQ(m().ne, 4);
    EXPECT_FLOAT_EQ(m().cylinder_radius, 10.0f);
    const float radii[4] = {1.0f, 0.8f, 0.6f, 0.4f};
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(m().depth_lines[i], radii[i]);
    EXPECT_EQ(m().resistivity_codes[10], 1);
    EXPECT_EQ(m().resistivity_codes[3 * 40 + 39], 1);
    EXPECT_EQ(m().resistivity_codes[3 * 40], 0);

    out = read_ok("convex.mod");
    EXPECT_TRUE(out.has_line("Convex section model"));
    EXPECT_EQ(m().cylinder_model, 1);
    EXPECT_EQ(m().convex_section, 1);
}

// Water of 1.5 m at unit spacing 1: seven water rows over the grid, their code the appended
// water resistivity.
TEST(ReaderFiles, WaterOneLayer) {
    const ReadOutcome out = read_ok("water_one_layer.mod");
    EXPECT_TRUE(
        out.has_line("Water layer with resistivity 20.0 ohm-m and thickness 1.5 m present."));
    EXPECT_EQ(m().nwater_layers, 1);
    EXPECT_EQ(m().nresis, 3);
    EXPECT_FLOAT_EQ(m().model_resistivities[2], 20.0f);
    EXPECT_EQ(m().nwater, 7);
    const float lines[8] = {0.0f, 0.325f, 0.65f, 0.85f, 1.02f, 1.18f, 1.34f, 1.5f};
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(m().depth_lines[i], lines[i], 1e-5) << i;
    EXPECT_FLOAT_EQ(m().depth_lines[8], 2.0f);
    for (int row = 1; row <= 7; ++row)
        EXPECT_EQ(code(30, row), 2) << row;
    EXPECT_EQ(code(30, 8), 1); // the first model row, moved down
    EXPECT_EQ(m().electrode_water[0], 7);
    EXPECT_EQ(m().electrode_water[20], 7);
    EXPECT_FLOAT_EQ(node_z(0, 7), 1.5f);
}

// Two layers with floors at 0.5 and 0.8: four water rows, the deepest in the second layer.
TEST(ReaderFiles, WaterMultiLayer) {
    const ReadOutcome out = read_ok("water_multi_layer.mod");
    EXPECT_TRUE(out.has_line("Number of water layers is 2"));
    EXPECT_TRUE(out.has_line("Water layer 2 with resistivity 50.0 ohm-m and thickness 0.8 m."));
    EXPECT_EQ(m().nresis, 4);
    EXPECT_EQ(m().nwater, 4);
    EXPECT_FLOAT_EQ(m().zwatermax, 0.8f);
    const int codes[4] = {2, 2, 2, 3};
    for (int row = 1; row <= 4; ++row)
        EXPECT_EQ(code(5, row), codes[row - 1]) << row;
    EXPECT_NEAR(m().depth_lines[3], 0.6, 1e-6);
    EXPECT_NEAR(m().depth_lines[4], 0.8, 1e-6);
}

// Remote electrodes 1000 spacings off the line widen the margins to 30 columns and stand in the
// electrode table after the surface electrodes.
TEST(ReaderFiles, RemoteElectrodes) {
    const ReadOutcome out = read_ok("remote.mod");
    EXPECT_TRUE(out.has_line("Far electrodes specified."));
    EXPECT_EQ(m().remote_electrodes, 1);
    EXPECT_FLOAT_EQ(m().c2_remote_x, -1000.0f);
    EXPECT_FLOAT_EQ(m().p2_remote_x, 1020.0f);
    EXPECT_EQ(m().margin_columns, 30);
    EXPECT_EQ(m().nx_nodes, 2 * 30 + 20 * 4 - 1);
    EXPECT_EQ(m().nelectrode_records, 23);
    EXPECT_FLOAT_EQ(m().electrode_table[21].x, -1000.0f);
    EXPECT_FLOAT_EQ(m().electrode_table[22].x, 1020.0f);
}

// Vertical boreholes on mesh lines; the grid goes below the deepest electrode (9 spacings in the
// first borehole, deeper than the last one read): 2.5 x 1.5 x 9 = 33.75.
TEST(ReaderFiles, VerticalBoreholes) {
    const ReadOutcome out = read_ok("borehole_vertical.mod");
    EXPECT_TRUE(out.has_line("Vertical boreholes."));
    EXPECT_TRUE(out.has_line("Number of electrodes in borehole 2 is 2."));
    EXPECT_EQ(m().borehole_type, 0);
    EXPECT_EQ(m().nboreholes, 2);
    EXPECT_EQ(m().issbor[0], 3);
    EXPECT_EQ(m().issbor[1], 2);
    EXPECT_EQ(m().nborehole_nodes, 5);
    EXPECT_FLOAT_EQ(m().borehole_x[4], 12.5f);
    EXPECT_FLOAT_EQ(m().borehole_z[2], 9.0f);
    EXPECT_EQ(m().nelectrode_records, 26);
    EXPECT_FLOAT_EQ(m().electrode_table[21].z, 4.0f);
    EXPECT_FLOAT_EQ(m().electrode_table[25].x, 12.5f);
    EXPECT_FLOAT_EQ(m().borehole_elec_a[20], 20.0f);
    EXPECT_GE(m().depth_lines[m().ngrid_lines], 33.75f);
    EXPECT_LT(m().depth_lines[m().ngrid_lines - 1], 33.75f);
}

// Inclined boreholes with remote electrodes: surface, borehole, then remote records, none lost.
TEST(ReaderFiles, InclinedBoreholesKeepTheRemoteElectrodes) {
    const ReadOutcome out = read_ok("borehole_inclined.mod");
    EXPECT_TRUE(out.has_line("Inclined boreholes."));
    EXPECT_EQ(m().borehole_type, 1);
    EXPECT_EQ(m().nelectrode_records, 26);
    const float x[5] = {5.0f, 5.5f, 6.1f, -100.0f, 120.0f};
    const float z[5] = {1.0f, 2.0f, 3.0f, 0.0f, 0.0f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(m().electrode_table[21 + i].x, x[i]) << i;
        EXPECT_FLOAT_EQ(m().electrode_table[21 + i].z, z[i]) << i;
    }
}

// The previous model's state must not leak into the next one.
TEST(ReaderFiles, NothingOfTheEarlierModelStays) {
    read_ok("borehole_vertical.mod");
    read_ok("block_point.mod");
    EXPECT_EQ(m().nboreholes, 0);
    EXPECT_EQ(m().nborehole_nodes, 0);
    read_ok("water_multi_layer.mod");
    read_ok("block_point.mod");
    EXPECT_EQ(m().nwater, 0);
    EXPECT_EQ(m().nwater_layers, 0);
    EXPECT_EQ(m().electrode_water[0], 0);
}

// More levels than the maximum: the message says they will be reduced, and they are.
TEST(ReaderFiles, TooManyLevelsAreReduced) {
    const std::string text =
        replace_once(fixture_text("block_point.mod"), "\n41\n8\n", "\n41\n200\n");
    const ReadOutcome out = read_text(text);
    EXPECT_EQ(out.result, 0);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text, "Too many data levels!\nYou have 200 data levels.\nMaximum "
                                 "number of levels is 160.\nThe number of levels will now be "
                                 "reduced.");
    EXPECT_EQ(out.boxes[0].caption, "Error Message");
    EXPECT_FLOAT_EQ(m().nlev_plus2, 162.0f);
    // The Wenner array on 41 electrodes then allows (41 - 1) / 3 levels.
    EXPECT_TRUE(out.has_line("Number of levels changed from 160 to 13."));
    EXPECT_EQ(m().nlev, 13);
}

// A tank model with as many grid rows as the node tables allow beside 14 water rows and the
// three floor lines reads, and fills the tables exactly.
TEST(ReaderFiles, GridRowsUpToTheRoomLeftForWaterAndFloor) {
    const int rows = 170 - 1 - 14 - 3;
    const std::string text = tank_text_with_rows(rows, "160\n1\n40 0 10 60", "4000.0");
    const ReadOutcome out = read_text(text);
    EXPECT_EQ(out.result, 0) << (out.boxes.empty() ? "" : out.boxes[0].text);
    EXPECT_EQ(m().nwater, 14);
    EXPECT_EQ(m().ngrid_lines, rows + 3);
    EXPECT_EQ(m().nz_nodes, 170 - 1);
    EXPECT_EQ(code(40, rows + 3 + 14), code(40, 15));
}

// A number is one token however many digits it has: 100000 leading zeros before the electrode
// count and a resistivity of 100000 digits read as the numbers they write. The electrode count
// used to be read as 0 ("Too few electrodes!").
TEST(ReaderFiles, NumbersOfAnyLengthReadAsTheyAre) {
    std::string text = replace_once(fixture_text("block_point.mod"), "\n41\n8\n",
                                    "\n" + std::string(100000, '0') + "41\n8\n");
    text = replace_once(text, "10 20 30", "10 20." + std::string(100000, '0') + " 30");
    const ReadOutcome out = read_text(text);
    EXPECT_EQ(out.result, 0);
    EXPECT_TRUE(out.boxes.empty()) << (out.boxes.empty() ? "" : out.boxes[0].text);
    EXPECT_EQ(m().nelec, 41);
    EXPECT_EQ(m().model_resistivities[1], 20.0f);
    EXPECT_EQ(m().model_resistivities[2], 30.0f);
}

// A number is read whole: the exponent letters of Fortran output (d, D) give the number they
// write, and a count written with a point or an exponent is the whole number it writes. "1d2"
// used to be read as 1 (the data of a two-layer model came out 1.10 ohm-m for 96.3) and
// "2.5e1" electrodes as 2.
TEST(ReaderFiles, NumbersWithExponentLettersReadWhole) {
    std::string text = replace_once(fixture_text("block_point.mod"), "\n41\n8\n", "\n4.1e1\n8.0\n");
    text = replace_once(text, "10 20 30 40", "1d1 2D1 0.3d2 4.0E+1");
    const ReadOutcome out = read_text(text);
    EXPECT_EQ(out.result, 0);
    EXPECT_TRUE(out.boxes.empty()) << (out.boxes.empty() ? "" : out.boxes[0].text);
    EXPECT_EQ(m().nelec, 41);
    EXPECT_EQ(m().nlev_read, 8);
    const float expected[4] = {10, 20, 30, 40};
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(m().model_resistivities[i], expected[i]) << i;
}

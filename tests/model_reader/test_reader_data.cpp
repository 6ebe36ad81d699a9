// Model files past the block rows that read correctly: IP and spectral IP, every array code,
// the level limit, the end of the text, the results section with potentials and measured data in
// both layouts, topography, repeated points and the grouping of the data into levels.
#include "reader_fixture.h"

#include "model/utilities.h"

#include <cmath>
#include <cstdio>
#include <numeric>

using namespace reader_test;

namespace {

ModelSettings& m() {
    return shared_model();
}

int code_at(const std::int32_t* codes, int column, int row) {
    return codes[index2d(column, row, m().nx_cells)];
}

float node_z(int column, int row) {
    return m().node_z[column * m().nz_nodes + row];
}

std::string box_texts(const ReadOutcome& out) {
    std::string texts;
    for (const Box& b : out.boxes)
        texts += "[" + b.caption + "] " + b.text + "\n";
    return texts;
}

ReadOutcome read_ok(const std::string& text, const std::vector<int>& answers = {}) {
    ReadOutcome out = read_text(text, answers);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.error, 0);
    EXPECT_TRUE(out.boxes.empty()) << box_texts(out);
    EXPECT_TRUE(out.has_line("Reading of data file is complete."));
    return out;
}

// The fixture without its last line (the array type).
std::string without_array_line(const char* name) {
    std::string text = fixture_text(name);
    text.pop_back();
    return text.substr(0, text.rfind('\n') + 1);
}

double pair(const double* table, int i, int j) {
    return table[index2d(i, j, shared_limits().max_electrodes)];
}

} // namespace

// Two water layers over an IP model: one chargeability is appended for the water, and every
// water row takes it, whichever layer the row lies in.
TEST(ReaderData, IpValuesUnderWaterLayers) {
    const ReadOutcome out = read_ok(fixture_text("ip_water_layers.mod"));
    EXPECT_TRUE(out.has_line("Number of IP values is 3"));
    EXPECT_TRUE(out.has_line("   0.01   0.02   0.05"));
    EXPECT_EQ(m().nip, 4);
    const float values[4] = {0.01f, 0.02f, 0.05f, 0.0f};
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(m().model_chargeabilities[i], values[i]) << i;
    EXPECT_EQ(m().nwater, 4);
    const int first = m().model_col_start;
    for (int row = 1; row <= 4; ++row)
        for (int column : {1, first, first + 15, m().nx_cells})
            EXPECT_EQ(code_at(m().ip_codes, column, row), 3) << row << " " << column;
    // The IP rows moved below the water with the resistivity rows; rows added below the depths
    // read repeat the last one.
    const int last = m().nz_cells;
    for (int row : {5, 13, last}) {
        EXPECT_EQ(code_at(m().ip_codes, first, row), 2) << row;
        EXPECT_EQ(code_at(m().ip_codes, first + 10, row), 0) << row;
        EXPECT_EQ(code_at(m().ip_codes, first + 20, row), 1) << row;
        EXPECT_EQ(code_at(m().resistivity_codes, first + 10, row), 1) << row;
    }
    EXPECT_GT(last, 13);
}

// A spectral-IP model under water, its depth grid deepened for 8 levels: every code table is
// read, extended downward and moved below the water rows.
TEST(ReaderData, SpectralIpUnderWater) {
    const ReadOutcome out = read_ok(fixture_text("spectral_ip.mod"));
    for (const char* line :
         {"Spectral IP model", "Number of IP values is 2", "Number of Tau values is 2",
          "Reading model tau values", "Number of C values is 2", "  0.250  0.500",
          "Number of frequency values is 4.", "Frequency values :- 0.500 2.0 8.0 32.0 "})
        EXPECT_TRUE(out.has_line(line)) << line;
    EXPECT_EQ(m().nip, 3);
    EXPECT_EQ(m().ntau, 2);
    EXPECT_EQ(m().ncip, 2);
    EXPECT_EQ(m().nfreq, 4);
    EXPECT_FLOAT_EQ(m().model_taus[1], 1.0f);
    EXPECT_FLOAT_EQ(m().model_cexps[0], 0.25f);
    EXPECT_FLOAT_EQ(m().frequencies[0], 0.5f);
    EXPECT_FLOAT_EQ(m().frequencies[3], 32.0f);
    EXPECT_EQ(m().ndepths, 9);
    EXPECT_GT(m().ngrid_rows, 9);
    EXPECT_EQ(m().nwater, 7);
    const int first = m().model_col_start;
    for (int row = 1; row <= 7; ++row) {
        EXPECT_EQ(code_at(m().ip_codes, first, row), 2) << row;
        EXPECT_EQ(code_at(m().tau_codes, first, row), 0) << row;
        EXPECT_EQ(code_at(m().cexp_codes, first, row), 0) << row;
    }
    for (int row : {8, 16, m().nz_cells}) {
        EXPECT_EQ(code_at(m().ip_codes, first, row), 0) << row;
        EXPECT_EQ(code_at(m().ip_codes, first + 20, row), 1) << row;
        EXPECT_EQ(code_at(m().tau_codes, first, row), 1) << row;
        EXPECT_EQ(code_at(m().tau_codes, first + 20, row), 0) << row;
        EXPECT_EQ(code_at(m().cexp_codes, first + 20, row), 1) << row;
        EXPECT_EQ(code_at(m().resistivity_codes, first + 10, row), 1) << row;
    }
}

TEST(ReaderData, CylinderIpCodes) {
    std::string ip = "IP\n1\n0.1\n";
    for (int r = 0; r < 4; ++r)
        ip += "0000000000000000000000000000000000000000\n";
    read_ok(without_array_line("cylinder.mod") + ip + "3\n");
    EXPECT_EQ(m().nip, 1);
    EXPECT_EQ(m().ip_codes[3 * 40 + 39], 0);
    EXPECT_EQ(m().array_type, 5);
}

// Every file code with its internal code, the name printed and the electrode offset; codes 8
// and 10 are followed by the offset, code 9 by the line of its current electrodes.
TEST(ReaderData, EveryArrayCode) {
    const std::string base = without_array_line("block_point.mod");
    struct Case {
        std::string lines;
        int type;
        const char* name;
        float offset;
    };
    // The gradient line places the first electrode at its C1 (the data file began at 0).
    const std::string gradient =
        "9\nGradient array C1 and C2 current electrodes locations\n5.0,0.0,0.0\n45.00,0.0,0.0\n";
    const Case cases[] = {
        {"1\n", 1, "Wenner Alpha array", 1.0f},
        {"2\n", 4, "Pole-Pole array", 1.0f},
        {"3\n", 5, "Dipole-Dipole array", 1.0f},
        {"4\n", 2, "Wenner Beta array", 1.0f},
        {"5\n", 3, "Wenner Gamma array", 1.0f},
        {"6\n", 6, "Pole-Dipole array", 1.0f},
        {"7\n", 7, "Schlumberger array", 1.0f},
        {"8\n0.5\n", 8, "Equa. Dipole array", 0.5f},
        {gradient, 9, "Gradient array", 1.0f},
        {gradient + "0\n0\n0\n0\n", 9, "Gradient array", 1.0f},
        {"10\n2.0\n", 10, "Offset Pole-Dipole array", 2.0f},
        {"10\n3.0", 10, "Offset Pole-Dipole array", 3.0f},
        {"11\nMultiple gradient array, number of current electrode segments\n3\n", 15,
         "Multiple Gradient array", 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        m().calc_values_present = m().pot_values_present = 1;
        const ReadOutcome out = read_ok(base + c.lines);
        EXPECT_EQ(m().array_type, c.type);
        EXPECT_TRUE(out.has_line(c.name));
        EXPECT_FLOAT_EQ(m().electrode_offset, c.offset);
        if (c.type == 8 || c.type == 10) {
            char line[64];
            std::snprintf(line, sizeof line, "Electrode offset is %.2f", c.offset);
            EXPECT_TRUE(out.has_line(line));
        }
        if (c.type == 15) {
            EXPECT_EQ(m().n_n_values, 3);
            EXPECT_TRUE(out.has_line("Number of current electrode segments is 3."));
        }
        EXPECT_FLOAT_EQ(m().first_electrode_x, c.type == 9 ? 5.0f : 0.0f);
        EXPECT_EQ(m().calc_values_present, 0);
        EXPECT_EQ(m().pot_values_present, 0);
        EXPECT_EQ(m().ndata, 0);
    }
}

// An offset outside 0.25 to 10 unit spacings is reset to the unit spacing; the read goes on.
TEST(ReaderData, OffsetOutOfRangeIsReset) {
    const ReadOutcome out = read_text(without_array_line("block_point.mod") + "10\n0.2\n");
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.error, 0);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text,
              "Error in spacing of current and potential\nelectrodes pairs! Spacing between "
              "current\nelectrodes cannot be less than 0.25 times,\nor greater than 10 times, the "
              "unit electrode\nspacing! It has been reset to be the same as\nthe unit electrode "
              "spacing.");
    EXPECT_EQ(out.boxes[0].caption, "Error Message");
    EXPECT_TRUE(out.boxes[0].beeped);
    EXPECT_TRUE(out.has_line("Electrode offset is 1.00"));
    EXPECT_TRUE(out.has_line("Reading of data file is complete."));
}

// A cylinder is measured with in-line dipoles: the pole and equatorial arrays are changed.
TEST(ReaderData, CylinderArraysBecomeDipoleDipole) {
    const std::string base = without_array_line("cylinder.mod");
    for (const char* code : {"2", "6", "8"}) {
        SCOPED_TRACE(code);
        const ReadOutcome out = read_ok(base + code + "\n");
        EXPECT_EQ(m().array_type, 5);
        EXPECT_TRUE(out.has_line("Dipole-Dipole array"));
        EXPECT_TRUE(out.has_line(code[0] == '8'
                                     ? "It has been changed to inline dipole-dipole array."
                                     : "It has been changed to dipole-dipole array."));
    }
    const ReadOutcome out = read_ok(base + "8\n");
    EXPECT_TRUE(out.has_line("Equatorial diole-dipole array not possible with cylinder model."));
    EXPECT_EQ(out.beeps, 1);
}

TEST(ReaderData, LevelLimitOfEachArray) {
    struct Case {
        int nelec, type, levels, span;
    };
    const Case cases[] = {{30, 1, 9, 27},  {30, 2, 9, 27},  {30, 4, 29, 29},   {30, 8, 29, 29},
                          {30, 6, 28, 28}, {30, 10, 9, 27}, {30, 5, 27, 27},   {30, 7, 13, 27},
                          {30, 9, 9, 27},  {30, 15, 9, 27}, {200, 4, 160, 199}};
    for (const Case& c : cases) {
        int span = -1;
        EXPECT_EQ(model::max_levels_for_array(c.nelec, c.type, span), c.levels) << c.type;
        EXPECT_EQ(span, c.span) << c.type;
    }
    // 30 electrodes and 12 levels: a Wenner array keeps 9, a dipole-dipole array all 12.
    const std::string text =
        replace_once(fixture_text("block_point.mod"), "\n41\n8\n", "\n30\n12\n");
    ReadOutcome out = read_ok(text);
    EXPECT_TRUE(out.has_line("Number of levels changed from 12 to 9."));
    EXPECT_EQ(m().nlev, 9);
    EXPECT_EQ(m().level_span_limit, 27);
    out = read_ok(text.substr(0, text.size() - 2) + "3\n");
    EXPECT_EQ(m().nlev, 12);
    for (const std::string& line : out.summary)
        EXPECT_EQ(line.find("Number of levels changed"), std::string::npos) << line;
    // Pole-pole levels are first held to the largest n, without a line of their own.
    const std::string pole_pole =
        replace_once(replace_once(text, "\n30\n12\n", "\n100\n150\n"), "\n11\n4\n", "\n11\n2\n");
    out = read_ok(pole_pole.substr(0, pole_pole.size() - 2) + "2\n");
    EXPECT_EQ(m().nlev, 70);
    for (const std::string& line : out.summary)
        EXPECT_EQ(line.find("Number of levels changed"), std::string::npos) << line;
}

// A last line without a line end, CRLF line ends and blank lines after the array type all end
// the file there, and every such end builds the mesh of this model.
TEST(ReaderData, EndOfTextForms) {
    const std::string text = fixture_text("water_one_layer.mod");
    read_ok(text);
    const int nz = m().nz_nodes;
    const std::vector<float> z(m().node_z, m().node_z + m().nx_nodes * nz);
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string body = text.substr(0, text.size() - 1);
    for (const std::string& variant :
         {body, body + "\r\n", body + "\n\n\n", body + "\r\n\r\n \t\r\n", crlf, crlf + "\r\n\r\n",
          body + "\n\x1a"}) {
        SCOPED_TRACE(variant.substr(variant.size() - 4));
        read_ok(fixture_text("block_point.mod"));
        m().calc_values_present = 1;
        read_ok(variant);
        EXPECT_EQ(m().array_type, 5);
        EXPECT_EQ(m().calc_values_present, 0);
        EXPECT_EQ(m().nwater, 7);
        ASSERT_EQ(m().nz_nodes, nz);
        EXPECT_EQ(std::vector<float>(m().node_z, m().node_z + m().nx_nodes * nz), z);
    }
}

// What the model-file writer gives for dipole-dipole data at 2.5 m: the x of each array's middle
// and its spacing in metres. The data come back on their own electrodes, in levels of equal
// pseudodepth, each datum with its own values.
TEST(ReaderData, ResultsInTheIndexLayout) {
    const ReadOutcome out = read_ok(fixture_text("results_index.mod"));
    for (const char* line :
         {"Calculated apparent resistivity values present.", "Potential values present.",
          "Measured and calculated apparent resistivity values present.",
          "Minimum electrode location is    0.0.", "Minimum electrode spacing is    2.5.",
          "Total number of measured data levels is 4.", "First electrode is located at     0.0.",
          "Last electrode is located at    27.5."})
        EXPECT_TRUE(out.has_line(line)) << line;
    EXPECT_EQ(m().calc_values_present, 1);
    EXPECT_EQ(m().pot_values_present, 1);
    for (int i = 1; i <= 12; ++i)
        for (int j = i + 1; j <= 12; ++j) {
            EXPECT_NEAR(pair(m().potential_table_a, i, j), 100.0 / (j - i) + 0.01 * i, 1e-5);
            EXPECT_EQ(pair(m().potential_table_a, j, i), pair(m().potential_table_a, i, j));
            EXPECT_NEAR(pair(m().potential_table_b, j, i), 50.0 / (j - i) + 0.01 * i, 1e-5);
        }
    EXPECT_EQ(m().datum_array_type, 5);
    EXPECT_EQ(m().data_x_midpoint, 1);
    EXPECT_FLOAT_EQ(m().unit_spacing, 2.5f);
    EXPECT_EQ(m().nelec, 12);
    EXPECT_EQ(m().ndata, 30);
    EXPECT_EQ(m().nlev, 4);
    EXPECT_EQ(m().nlev_read, 4);
    EXPECT_EQ(m().nlev_forward, 4);
    struct Level {
        int count, a, n;
        float depth;
    };
    const Level levels[4] = {
        {9, 1, 1, 0.416f}, {8, 1, 2, 0.697f}, {6, 2, 1, 0.832f}, {7, 1, 3, 0.962f}};
    int d = 0;
    for (int l = 0; l < 4; ++l) {
        EXPECT_EQ(m().level_counts[l], levels[l].count) << l;
        for (int f = 1; f <= levels[l].count; ++f, ++d) {
            EXPECT_EQ(m().datum_first_electrode[d], f) << d;
            EXPECT_EQ(m().datum_a[d], levels[l].a) << d;
            EXPECT_FLOAT_EQ(m().datum_n[d], float(levels[l].n)) << d;
            EXPECT_FLOAT_EQ(m().datum_median_depth[d], levels[l].depth) << d;
            const float value = 1000.0f * levels[l].a + 100.0f * levels[l].n + f;
            EXPECT_FLOAT_EQ(m().measured_values[d], value) << d;
            EXPECT_FLOAT_EQ(m().app_resistivity[d], value + 0.5f) << d;
        }
    }
}

// Calculated values of the older format: one message, then the same data. A last data line
// without a line end and no topography lines after it reads too.
TEST(ReaderData, ResultsOfOlderFilesAndShortEnds) {
    const std::string text = fixture_text("results_index.mod");
    ReadOutcome out = read_text(replace_once(text, "\n1\n1.0, 2.0", "\n1\n2.5, 2.0"));
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.error, 0);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text,
              "Version 2.x output file!\nPlease note that has been a change in the\nfile format "
              "for version 3.x. The program\nwill read in the following calculated "
              "apparent\nresistivity values but the output format will\nbe different.");
    EXPECT_EQ(out.boxes[0].caption, "Message");
    EXPECT_FALSE(out.boxes[0].beeped);
    EXPECT_EQ(m().ndata, 30);

    read_ok(text.substr(0, text.find("\n0\n0\n0\n0\n")));
    EXPECT_EQ(m().ndata, 30);
    EXPECT_EQ(m().tflag, 0);
    read_ok(text.substr(0, text.find("\n0\n0\n0\n0\n")) + "\r\n\r\n");
    EXPECT_EQ(m().ndata, 30);
}

// Multiple-gradient data of an IP model in the general array format: the IP potential tables,
// then the data as the model's own datum list, in file order, each electrode in metres from the
// first electrode, which stands at the leftmost electrode of the data (not at x = 0).
TEST(ReaderData, ResultsInTheGeneralLayout) {
    const ReadOutcome out = read_ok(fixture_text("results_general.mod"));
    for (const char* line :
         {"IP potential values present.", "Measured apparent resistivity values present.",
          "Minimum electrode location is   -2.0.", "Minimum electrode spacing is    2.0."})
        EXPECT_TRUE(out.has_line(line)) << line;
    for (const std::string& line : out.summary)
        EXPECT_EQ(line.find("Total number of measured"), std::string::npos);
    EXPECT_NEAR(pair(m().potential_table_a_ip, 3, 7), 99.0 / 4 + 0.03, 1e-5);
    EXPECT_NEAR(pair(m().potential_table_b_ip, 7, 3), 49.0 / 4 + 0.03, 1e-5);
    EXPECT_EQ(m().pot_values_present, 1);
    EXPECT_EQ(m().array_type, 15);
    EXPECT_EQ(m().datum_array_type, 15);
    EXPECT_EQ(m().ip_data_present, 1);
    EXPECT_EQ(m().ndata, 5);
    EXPECT_EQ(m().nelec, 12);
    EXPECT_FLOAT_EQ(m().unit_spacing, 2.0f);
    EXPECT_FLOAT_EQ(m().first_electrode_x, -2.0f);
    const float c1[5] = {0, 0, 2, 10, 12}, c2[5] = {22, 22, 12, 20, 22};
    const float p1[5] = {2, 4, 6, 14, 16}, p2[5] = {4, 6, 8, 16, 18};
    const float measured[5] = {120.5f, 80.0f, 60.0f, 90.0f, 70.0f};
    const float ip[5] = {12.1f, 8.0f, 6.0f, 9.0f, 7.0f};
    for (int d = 0; d < 5; ++d) {
        EXPECT_EQ(m().datum_nelec[d], 4) << d;
        EXPECT_FLOAT_EQ(m().c1_x[d], c1[d]) << d;
        EXPECT_FLOAT_EQ(m().c2_x[d], c2[d]) << d;
        EXPECT_FLOAT_EQ(m().p1_x[d], p1[d]) << d;
        EXPECT_FLOAT_EQ(m().p2_x[d], p2[d]) << d;
        EXPECT_EQ(m().datum_first_electrode[d], int(c1[d] / 2) + 1) << d;
        EXPECT_EQ(m().datum_a[d], 1) << d;
        EXPECT_FLOAT_EQ(m().measured_values[d], measured[d]) << d;
        EXPECT_FLOAT_EQ(m().measured_values_2[d], ip[d]) << d;
        EXPECT_FLOAT_EQ(m().app_resistivity[d], 0.0f) << d;
    }
}

// Elevation points at surface distances from x = 10 m, shifted to a mean of 0, with a value per
// electrode; Wenner data from the same x become electrode numbers from 1.
TEST(ReaderData, TopographyAndElectrodeNumbers) {
    const ReadOutcome out = read_ok(fixture_text("topography.mod"));
    EXPECT_TRUE(out.has_line("Topography present. Surface distance between electrodes"));
    EXPECT_TRUE(out.has_line("Number of elevation data points is 5."));
    EXPECT_TRUE(out.has_line("Last electrode is located at    29.0."));
    EXPECT_EQ(m().tflag, 2);
    EXPECT_EQ(m().ntopo, 5);
    const float x[5] = {10, 15, 20, 25, 29};
    const float z[5] = {-1.6f, -0.6f, 1.4f, 0.4f, 0.4f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(m().elec_x[i], x[i]);
        EXPECT_NEAR(m().elec_z[i], z[i], 1e-5);
    }
    EXPECT_EQ(m().topo_present, 1);
    EXPECT_FLOAT_EQ(m().topo_distance[19], 2.0f);
    EXPECT_FLOAT_EQ(m().first_electrode_x, 10.0f);
    EXPECT_EQ(m().nlev, 3);
    const int counts[3] = {17, 14, 11};
    for (int l = 0, d = 0; l < 3; ++l)
        for (int f = 1; f <= counts[l]; ++f, ++d) {
            ASSERT_EQ(m().level_counts[l], counts[l]);
            EXPECT_EQ(m().datum_first_electrode[d], f);
            EXPECT_EQ(m().datum_a[d], l + 1);
            EXPECT_FLOAT_EQ(m().measured_values[d], 100.0f + 10.0f * (l + 1) + f);
        }
    EXPECT_EQ(m().nelec, 20);
    // The surface of the mesh follows the elevations: 1.6 above the first electrode's row 0.
    EXPECT_NEAR(node_z(m().margin_columns - 1, 0), 1.6f, 1e-5);
}

namespace {

// The reader's message for the first datum off the electrodes.
std::string location_message(const std::string& spacing, int datum, const std::string& x) {
    return "The unit electrode spacing is " + spacing +
           ".\nThe distance of the electrode for "
           "datum point " +
           std::to_string(datum) + "\nfrom the first electrode is " + x +
           ". This distance\nmust be an integer multiple of the unit electrode\nspacing!. Please "
           "check your input data file. The\nprogram will now round up the electrode "
           "distances\nwithout checking for consistency in the values.";
}

} // namespace

// Positions off the electrodes give one message for the first such datum and are rounded.
TEST(ReaderData, PositionsOffTheElectrodesAreRounded) {
    std::string text = replace_once(fixture_text("topography.mod"), "\n10.0, 1.0, 111.00\n",
                                    "\n10.3, 1.0, 111.00\n");
    text = replace_once(text, "\n12.0, 1.0, 113.00\n", "\n12.4, 1.0, 113.00\n");
    const ReadOutcome out = read_text(text);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.error, 0);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text, location_message("1.0", 14, "0.3"));
    EXPECT_EQ(out.boxes[0].caption, "Electrode location error");
    EXPECT_TRUE(out.boxes[0].beeped);
    // 10.3 lands on electrode 1 and 12.4 on electrode 3, where they were meant to be.
    EXPECT_EQ(m().level_counts[0], 17);
    EXPECT_EQ(m().datum_first_electrode[0], 1);
    EXPECT_FLOAT_EQ(m().measured_values[0], 111.0f);
    EXPECT_EQ(m().datum_first_electrode[2], 3);
    EXPECT_FLOAT_EQ(m().measured_values[2], 113.0f);

    // On a line of 1 cm spacings a datum half a spacing off is said too: a fixed 2 cm let data
    // move by 1.5 spacings without a word.
    text = replace_once(without_array_line("block_point.mod"), "\n1.0\n2\n", "\n0.01\n2\n");
    text = replace_once(text, "0.5 1.0 1.5 2.0 2.75 3.5 4.5 5.5 7.0",
                        "0.005 0.01 0.015 0.02 0.0275 0.035 0.045 0.055 0.07");
    text += "1\n0\n0\n2\n4\n1\n0\n0.015, 0.01, 100\n0.025, 0.01, 101\n0.040, 0.01, 102\n"
            "0.055, 0.01, 103\n0\n0\n";
    const ReadOutcome lab = read_text(text);
    EXPECT_EQ(lab.result, 0);
    ASSERT_EQ(lab.boxes.size(), 1u);
    EXPECT_EQ(lab.boxes[0].text, location_message("0.01", 3, "0.025"));
}

// One repeated pair at a = 1 and three data at one point at a = 2: one question. Yes keeps all
// data; No keeps the first of each and gives it the values of the last in the file.
TEST(ReaderData, RepeatedPointsAnsweredYesAndNo) {
    const std::string text = fixture_text("repeated_points.mod");
    ReadOutcome out = read_text(text, {ui::id_yes});
    EXPECT_EQ(out.result, 0);
    ASSERT_EQ(out.boxes.size(), 1u);
    const std::string expected =
        "Data points 4 and 5 with an electrode\nspacing of 1.0 have the same\nhorizontal "
        "location!\nIt is recommended that you leave the data\nas it and save the sorted data in "
        "a disc\nfile. Later, edit this file with a text\neditor to remove the repeated "
        "points.\nHowever, if you wish to display or invert\nthe data set now, you can choose "
        "the\noption to remove the repeated data\npoints automatically. In this case,\nthe "
        "program will just use the apparent\nresistivity value of the last repeated\ndata "
        "point.\nTo leave the data as it is, click Yes.\n To remove repeated points "
        "automatically, click No.";
    EXPECT_EQ(out.boxes[0].text, expected);
    EXPECT_EQ(out.boxes[0].caption, "Repeated data points");
    EXPECT_EQ(out.boxes[0].flags, unsigned(ui::mb_yesno | ui::mb_iconquestion));
    EXPECT_EQ(out.beeps, 3);
    EXPECT_EQ(m().ndata, 18);
    EXPECT_EQ(m().level_counts[0], 10);
    EXPECT_FLOAT_EQ(m().measured_values[3], 103.0f);
    EXPECT_FLOAT_EQ(m().measured_values[4], 200.0f);

    out = read_text(text, {ui::id_no});
    EXPECT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(m().ndata, 15);
    EXPECT_EQ(m().nlev, 2);
    EXPECT_EQ(m().level_counts[0], 9);
    EXPECT_EQ(m().level_counts[1], 6);
    for (int d = 0; d < 15; ++d)
        EXPECT_EQ(m().datum_first_electrode[d], d < 9 ? d + 1 : d - 8) << d;
    EXPECT_FLOAT_EQ(m().measured_values[3], 200.0f);
    EXPECT_FLOAT_EQ(m().measured_values[4], 104.0f);
    EXPECT_FLOAT_EQ(m().measured_values[9 + 2], 500.0f);
    EXPECT_FLOAT_EQ(m().measured_values[9 + 3], 303.0f);
    EXPECT_TRUE(out.has_line("Reading of data file is complete."));
}

// Pole-dipole data with reverse (negative n) data: forward levels first, then reverse ones,
// each datum's pseudodepth put back; the electrodes reach from the data.
TEST(ReaderData, ReversePoleDipoleDataSortAfterForwardData) {
    std::string text = without_array_line("block_point.mod") + "6\n0\n0\n2\n8\n0\n0\n";
    const char* data[8] = {"5, 1, -2, 10", "1, 1, 1, 11", "3, 1, -1, 12", "2, 1, 2, 13",
                           "1, 1, -1, 14", "4, 1, 1, 15", "1, 1, 2, 16",  "2, 2, -1, 17"};
    for (const char* line : data)
        text += std::string(line) + "\n";
    const ReadOutcome out = read_ok(text + "0\n0\n");
    EXPECT_EQ(m().nreverse, 4);
    EXPECT_EQ(m().nlev, 5);
    EXPECT_EQ(m().nlev_forward, 2);
    const int counts[5] = {2, 2, 2, 1, 1};
    for (int l = 0; l < 5; ++l)
        EXPECT_EQ(m().level_counts[l], counts[l]) << l;
    // Lifted by the deepest forward depth 1.038 (a = 2, n = -1): 1.557, 1.963, 2.076.
    const float values[8] = {11, 15, 16, 13, 14, 12, 10, 17};
    const float depths[8] = {0.519f, 0.519f, 0.925f, 0.925f, 0.519f, 0.519f, 0.925f, 1.038f};
    for (int d = 0; d < 8; ++d) {
        EXPECT_FLOAT_EQ(m().measured_values[d], values[d]) << d;
        EXPECT_NEAR(m().datum_median_depth[d], depths[d], 1e-6) << d;
    }
    // The model's electrodes, not the last one of the data.
    EXPECT_EQ(m().nelec, 41);
}

// More levels than the level tables hold: the message, and the file is refused. The first 160
// levels used to be kept and the rest of the data dropped, while the read went on.
TEST(ReaderData, LevelOverflowRefusesTheData) {
    // Dipole-dipole data of a = 1, n = 1 to 150 and a = 2, n = 1 to 40 on 161 electrodes: 190
    // data at more than 160 depths.
    std::string text = replace_once(without_array_line("block_point.mod"), "\n41\n", "\n161\n");
    std::string data = "3\n0\n0\n2\n190\n0\n0\n";
    for (int a = 1; a <= 2; ++a)
        for (int n = 1; n <= (a == 1 ? 150 : 40); ++n)
            data += "0, " + std::to_string(a) + ", " + std::to_string(n) + ", 100\n";
    const ReadOutcome out = read_text(text + data + "0\n0\n");
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(out.error, 1);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text,
              "Too many datum levels!\nMaximum number of datum levels is 160.\nThe measured data "
              "of the file lie on more\nlevels (spacings, or depths of their arrays).");
    EXPECT_EQ(out.boxes[0].caption, "Datum levels error");
    EXPECT_TRUE(out.boxes[0].beeped);
    EXPECT_EQ(m().ndata, 0);
    EXPECT_FALSE(out.has_line("Reading of data file is complete."));
}

// Data giving the middle of each array, at the positions the model-file writer gives them,
// come back on electrodes 1 to 4 for every array code; those of the gradient array on 2 to 5,
// its line putting C1, the first electrode, one spacing left of them. The offset pole-dipole
// data have n factors, as the pole-dipole ones.
TEST(ReaderData, MidpointsOfEveryArrayComeBackOnTheirElectrodes) {
    const std::string base = without_array_line("block_point.mod");
    struct Case {
        const char* lines;
        bool has_n;
        float half_lengths; // midpoint - first electrode, in spacings, for n = 1
        int first = 1;      // electrode of the leftmost datum
    };
    const Case cases[] = {
        {"1\n", false, 1.5f},
        {"2\n", false, 0.5f},
        {"3\n", true, 1.5f},
        {"4\n", false, 1.5f},
        {"5\n", false, 1.5f},
        {"6\n", true, 1.0f},
        {"7\n", true, 1.5f},
        {"8\n1.0\n", false, 0.5f},
        {"9\nGradient\n-1 0 0\n39 0 0\n", false, 0.5f, 2},
        // Without the line of its current electrodes C1 is the first electrode at x = 0; the
        // first six numbers of the results section were taken for the electrodes.
        {"9\n", false, 1.5f, 2},
        {"10\n1.0\n", true, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        std::string text = base + c.lines + "0\n0\n2\n4\n1\n0\n";
        for (int f = 4; f >= 1; --f) {
            char line[64];
            std::snprintf(line, sizeof line, "%.2f, 1.0, %s%d\n", f - 1 + c.half_lengths,
                          c.has_n ? "1.0, " : "", 100 + f);
            text += line;
        }
        read_ok(text + "0\n0\n");
        ASSERT_EQ(m().ndata, 4);
        for (int d = 0; d < 4; ++d) {
            EXPECT_EQ(m().datum_first_electrode[d], d + c.first);
            EXPECT_FLOAT_EQ(m().measured_values[d], 101.0f + d);
        }
    }
}

// Array configuration files: the reader (old and new layout, offsets, spacings, grids, stored
// results) with every refusal and its exact message, and the report that reads back.
#include "fixture.h"

#include "forward/configurations/config_file.h"
#include "forward/configurations/configurations.h"
#include "platform/sys/sys.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using namespace forward;
using namespace forward_test;

namespace {

// A file in the old layout: a Wenner configuration with a = 1 m, a pole-pole one whose absent
// P2 (negative x) stands at -1, and the grid with its constants.
const std::string old_layout = "Two arrays\n"
                               "Number of arrays\n2\n"
                               "Unit electrode spacing\n1.0\n"
                               "Coordinates of electrodes (xc1,zc1,xc2,zc2,xp1,zp1,xp2,zp2)\n"
                               "Wenner\n0.0,0.0\n3.0,0.0\n1.0,0.0\n2.0,0.0\n"
                               "Pole-pole\n0.0,0.0\n5.0,0.0\n1.0,0.0\n-1.0,0.0\n";
const std::string grid = "Starting and ending x-location to calculate sensitivity values, "
                         "spacing\n-1.0,4.0,0.5\n"
                         "Starting and ending z-location to calculate sensitivity values, "
                         "spacing\n0.1,2.0,0.5\n"
                         "Material resistivity (ohm.m)\n1.0\n"
                         "Maximum current (Amp)\n1.0\n"
                         "Minimum potential (mV)\n200.0\n";

// The same two configurations and a pole-dipole one in the new layout, the file's spacing 0.5.
const std::string new_layout = "New layout\n"
                               "Number of arrays\n3\n"
                               "Unit electrode spacing\n0.5\n"
                               "New format\n"
                               "4 0.0,0.0 1.5,0.0 0.5,0.0 1.0,0.0\n"
                               "2 0.0,0.0 0.5,0.0\n"
                               "3 1.0,0.5 2.0,0.0 2.5,0.0\n";

struct Read {
    bool ok = false;
    ConfigurationFile file;
    std::string boxes;              ///< the BOX lines shown
    std::vector<std::string> lines; ///< the lines echoed in the window
};

Read parse(const std::string& text, int mode = 0, float model_spacing = 1.0f,
           int max_configurations = 100) {
    test_support::Headless h;
    test_support::GlobalRecords records;
    Read r;
    r.ok = parse_configuration_file(text.data(), std::int32_t(text.size()), model_spacing, mode,
                                    max_configurations, r.file,
                                    [&r](const std::string& line) { r.lines.push_back(line); });
    r.boxes = h.output();
    return r;
}

bool echoed(const Read& r, const std::string& line) {
    for (const std::string& l : r.lines)
        if (l == line) return true;
    return false;
}

} // namespace

TEST(ConfigurationReader, RefusesWithItsMessage) {
    const std::string head = "T\nNumber of arrays\n1\nUnit electrode spacing\n1.0\nCoordinates\n"
                             "A\n0,0\n3,0\n1,0\n2,0\n";
    const std::string g17 = [] {
        std::string t = "T\nNumber of arrays\n17\nUnit electrode spacing\n1.0\nNew format\n";
        for (int k = 0; k < 17; ++k)
            t += "2 0,0 " + std::to_string(k + 1) + ",0\n";
        return t;
    }();
    const std::string results_2x2 = "Sensitivity output results\nNumber of x points\n2\n"
                                    "Number of z points\n2\nMultiplication factor\n1.0\n"
                                    "x coordinates\n0\n1\nz coordinates\n1\n2\n"
                                    "Sensitivity values\n";
    const std::string grid_2x2 = "Starting x\n0,1.4,1\nStarting z\n1,2.4,1\nR\n1\nI\n1\nV\n1\n";
    const struct {
        const char* name;
        std::string text;
        int mode;
        const char* box; // the whole BOX line
    } cases[] = {
        {"empty", "", 1,
         "BOX [Error Message] Electrode configuration file error!\\nThis file appears to be "
         "empty."},
        {"count 0", "T\nNumber of arrays\n0\n", 1,
         "BOX [Error Message] Number of array configurations is 0!\\nIt must be between 1 and "
         "100."},
        {"count over the maximum", "T\nNumber of arrays\n101\n", 1,
         "BOX [Error Message] Number of array configurations is 101!\\nIt must be between 1 "
         "and 100."},
        {"spacing 0", "T\nNumber of arrays\n1\nUnit electrode spacing\n0.0\n", 1,
         "BOX [Error Message] Unit electrode spacing is 0.00!\\nIt must be a positive value."},
        {"dx 0", head + "S\n0,5,0\nz\n1,2,0.5\n", 0,
         "BOX [Error Message] Error in x-spacing of 0.00!"},
        {"x range within dx", head + "S\n0,1,1\nz\n1,2,0.5\n", 0,
         "BOX [Error Message] Error in x-spacing of 1.00!"},
        {"dz negative", head + "S\n0,5,1\nz\n1,2,-0.5\n", 0,
         "BOX [Error Message] Error in z-spacing of -0.50!"},
        {"negative resistivity", head + "S\n0,5,1\nz\n1,2,0.5\nR\n-100\nI\n1\nV\n1\n", 0,
         "BOX [Error Message] Material resistivity is -100.000!\\nIt must be a positive value."},
        {"no current", head + "S\n0,5,1\nz\n1,2,0.5\nR\n100\nI\n0\nV\n1\n", 0,
         "BOX [Error Message] Maximum current is 0.000!\\nIt must be a positive value."},
        {"new count 5",
         "T\nNumber of arrays\n1\nUnit electrode spacing\n1.0\nNew\n5 0,0 1,0 2,0 3,0\n", 1,
         "BOX [Error Message] Number of electrodes is 5 in array configuration 1!\\nIt must be "
         "2, 3 or 4."},
        {"new count 1", "T\nNumber of arrays\n1\nUnit electrode spacing\n1.0\nNew\n1 0,0\n", 1,
         "BOX [Error Message] Number of electrodes is 1 in array configuration 1!\\nIt must be "
         "2, 3 or 4."},
        {"ends inside the configurations", head.substr(0, head.size() - 4), 1,
         "BOX [Error Message] Electrode configuration file error!\\nThe file ends inside its "
         "array configurations."},
        {"ends before the count", "T\nNumber of arrays\n", 1,
         "BOX [Error Message] Electrode configuration file error!\\nThe file ends inside its "
         "array configurations."},
        {"ends inside the grid", head + "S\n0,5,1\nz\n1,2,0.5\nR\n1\nI\n", 0,
         "BOX [Error Message] Electrode configuration file error!\\nThe file ends inside its "
         "grid."},
        {"ends inside the results", head + grid_2x2 + results_2x2 + "1 2 3 4 5 6 7\n", 0,
         "BOX [Error Message] Electrode configuration file error!\\nThe file ends inside its "
         "sensitivity results."},
        {"no grid in sensitivity mode", head, 0,
         "BOX [Error Message] This file has no grid for the sensitivity values.\\nIt must "
         "follow the array configurations."},
        {"results of 17 without the integrated line", g17 + grid_2x2 + results_2x2, 0,
         "BOX [Error Message] The sensitivity results of 17 array configurations\\nmust hold "
         "only the integrated sensitivity values."},
        {"results on another grid",
         head + grid_2x2 +
             "Sensitivity output results\nNumber of x points\n3\nNumber of z "
             "points\n2\n",
         0,
         "BOX [Error Message] The sensitivity results have 3 x 2 points,\\nbut the grid has 2 x "
         "2 points."},
    };
    for (const auto& c : cases) {
        const Read r = parse(c.text, c.mode);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.boxes, "BEEP\n" + std::string(c.box) + "\n") << c.name;
        EXPECT_TRUE(r.file.arrays.empty()) << c.name << ": a refused file keeps nothing";
    }
}

TEST(ConfigurationReader, OldLayoutWithAndWithoutOffset) {
    const Read plain = parse(old_layout + grid);
    ASSERT_TRUE(plain.ok) << plain.boxes;
    const ConfigurationFile& f = plain.file;
    EXPECT_EQ(f.title, "Two arrays");
    EXPECT_FALSE(f.new_format);
    ASSERT_EQ(f.arrays.size(), 2u);
    EXPECT_EQ(f.arrays[0].label, "Wenner");
    EXPECT_EQ(f.arrays[0].count, 4);
    // P2 behind the line makes a pole-pole although C2 stands at x = 5.
    EXPECT_EQ(f.arrays[1].count, 2);
    EXPECT_EQ(f.arrays[1].x[c2], 5.0f);
    EXPECT_EQ(f.arrays[1].x[p2], -1.0f);
    EXPECT_TRUE(f.takes_part(1, p2))
        << "old-format absent electrodes stay where the file puts them";
    EXPECT_EQ(f.offset, 0.0f);
    ASSERT_TRUE(f.has_grid);
    EXPECT_EQ(f.grid.x1, -1.0f);
    EXPECT_EQ(f.grid.dz, 0.5f);
    EXPECT_EQ(f.grid.min_potential, 200.0f);
    EXPECT_EQ(f.grid.nx(), 11);
    EXPECT_EQ(f.grid.nz(), 5);
    EXPECT_FALSE(f.has_results);
    for (const char* line :
         {"Two arrays", "Number of array configurations is 2", "Electrode spacing is 1.00.",
          "x1 -1.00 x2 4.00 dx 0.50.", "z1 0.10 z2 2.00 dz 0.50.", "Resistivity 1.000",
          "Maximum current 1.000", "Minimum potential 200.000"})
        EXPECT_TRUE(echoed(plain, line)) << line;

    // The offset, in unit spacings, is added after the division; a C2 behind the line makes
    // a pole-dipole.
    std::string shifted = old_layout;
    shifted.replace(shifted.find("Coordinates"), 0, "Horizontal offset\n2.0\n");
    shifted.replace(shifted.find("3.0,0.0"), 3, "-5.0");
    const Read h = parse(shifted + grid, 0, 0.5f);
    ASSERT_TRUE(h.ok) << h.boxes;
    EXPECT_TRUE(echoed(h, "Horizontal offset of 2.00 used."));
    EXPECT_TRUE(echoed(h, "Model electrode spacing is 0.50."));
    EXPECT_EQ(h.file.spacing, 0.5f);
    EXPECT_EQ(h.file.arrays[0].x[p1], 1.0f / 0.5f + 2.0f);
    EXPECT_EQ(h.file.arrays[0].x[c2], -5.0f / 0.5f + 2.0f);
    EXPECT_EQ(h.file.arrays[0].count, 3);
    EXPECT_EQ(h.file.grid.x2, 8.0f) << "the grid takes the model's spacing too";
    EXPECT_EQ(h.file.grid.dz, 1.0f);
}

TEST(ConfigurationReader, NewLayoutReadsTheNamedElectrodes) {
    const Read r = parse(new_layout, 1, 0.5f);
    ASSERT_TRUE(r.ok) << r.boxes;
    const ConfigurationFile& f = r.file;
    EXPECT_TRUE(f.new_format);
    EXPECT_TRUE(echoed(r, "New array format"));
    EXPECT_TRUE(echoed(r, "New array format, first electrode location 0.00"));
    EXPECT_FALSE(f.has_grid) << "a data-mode file may end after its configurations";
    const struct {
        int count;
        float x[4], z[4];
    } expected[3] = {{4, {0, 3, 1, 2}, {0, 0, 0, 0}},
                     {2, {0, 0, 1, 0}, {0, 0, 0, 0}},
                     {3, {2, 0, 4, 5}, {1, 0, 0, 0}}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.arrays[k].count, expected[k].count) << k;
        EXPECT_EQ(f.arrays[k].label, "");
        for (int e = 0; e < 4; ++e) {
            EXPECT_EQ(f.arrays[k].x[e], expected[k].x[e]) << k << " " << e;
            EXPECT_EQ(f.arrays[k].z[e], expected[k].z[e]) << k << " " << e;
        }
    }
    // Absent electrodes of the new layout take part in nothing.
    EXPECT_FALSE(f.takes_part(1, c2));
    EXPECT_FALSE(f.takes_part(1, p2));
    EXPECT_FALSE(f.takes_part(2, c2));
    EXPECT_TRUE(f.takes_part(2, p2));

    // The offset of the new layout is in the file's units, added before the division.
    std::string shifted = new_layout;
    shifted.replace(shifted.find("New format"), 0, "h\n-1.0\n");
    const Read h = parse(shifted, 1, 0.5f);
    ASSERT_TRUE(h.ok) << h.boxes;
    EXPECT_EQ(h.file.arrays[0].x[c2], (1.5f - 1.0f) / 0.5f);
    EXPECT_TRUE(echoed(h, "New array format, first electrode location -1.00"));
}

// A line of 2 MB reads as what it holds: a coordinate written with two million digits is one
// number, and a label of that length is one label. The 2 MB number used to be read as 25000
// numbers of 80 digits, and every later value shifted.
TEST(ConfigurationReader, LinesOfMegabytesReadAsTheyAre) {
    std::string digits = new_layout;
    digits.replace(digits.find("1.5,0.0"), 3, "1.5" + std::string(2 << 20, '0'));
    const Read number = parse(digits, 1, 0.5f);
    ASSERT_TRUE(number.ok) << number.boxes;
    EXPECT_EQ(number.file.arrays[0].x[c2], 3.0f);
    EXPECT_EQ(number.file.arrays[2].x[p2], 5.0f);

    std::string label = old_layout;
    label.replace(label.find("Wenner"), 6, std::string(2 << 20, 'W'));
    const Read labelled = parse(label + grid);
    ASSERT_TRUE(labelled.ok) << labelled.boxes;
    EXPECT_EQ(labelled.file.arrays[0].x[c2], 3.0f);
    EXPECT_EQ(labelled.file.arrays[1].count, 2);
    EXPECT_EQ(labelled.file.grid.min_potential, 200.0f);
}

TEST(ConfigurationReader, AllowsTheSameSpacingAndSensitivityModeNeedsTheGrid) {
    const Read same = parse(old_layout + grid, 0, 1.0f);
    ASSERT_TRUE(same.ok);
    EXPECT_FALSE(echoed(same, "Model electrode spacing is 1.00."));
    const Read data_mode = parse(old_layout, 1);
    EXPECT_TRUE(data_mode.ok) << data_mode.boxes;
    EXPECT_FALSE(parse(old_layout, 0).ok);
}

// The optimiser writes its chosen set as a configuration file; this reader must take it back
// with the same electrodes and grid.
TEST(ConfigurationReader, ReadsTheOptimisedSet) {
    const std::string text = test_support::read_file(std::string(VELDARIN_SOURCE_DIR) +
                                                     "/tests/optimise/golden/three_arrays_mod.txt");
    ASSERT_FALSE(text.empty());
    const Read r = parse(text, 0, 2.5f);
    ASSERT_TRUE(r.ok) << r.boxes;
    const ConfigurationFile& f = r.file;
    EXPECT_EQ(f.title, "Optimized arrays configurations");
    EXPECT_FALSE(f.new_format);
    EXPECT_EQ(f.spacing, 2.5f);
    // C1, C2, P1, P2 in unit spacings.
    const float expected[3][4] = {{1, 0, 2, 3}, {0, 3, 1, 2}, {5, 4, 8, 9}};
    ASSERT_EQ(f.arrays.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.arrays[k].label, "Configuration " + std::to_string(k + 1));
        EXPECT_EQ(f.arrays[k].count, 4) << k;
        for (int e = 0; e < 4; ++e) {
            EXPECT_FLOAT_EQ(f.arrays[k].x[e], expected[k][e]) << k << " " << e;
            EXPECT_EQ(f.arrays[k].z[e], 0.0f) << k << " " << e;
        }
    }
    ASSERT_TRUE(f.has_grid);
    EXPECT_FLOAT_EQ(f.grid.x1, -1.0f);
    EXPECT_FLOAT_EQ(f.grid.x2, 10.0f);
    EXPECT_FLOAT_EQ(f.grid.dx, 0.5f);
    EXPECT_FLOAT_EQ(f.grid.z1, 0.1f);
    EXPECT_FLOAT_EQ(f.grid.z2, 1.8f);
    EXPECT_FLOAT_EQ(f.grid.dz, 0.248f);
    EXPECT_EQ(f.grid.nx(), 23);
    EXPECT_EQ(f.grid.resistivity, 10.0f);
    EXPECT_EQ(f.grid.current, 1.0f);
    EXPECT_EQ(f.grid.min_potential, 0.1f);
    EXPECT_FALSE(f.has_results);
}

// The listing of surface and cross-borehole arrays: dipole-dipoles of n = 1 .. 4 on the line,
// every pair of neighbouring electrodes of hole 1 with every pair of hole 2, and the currents
// in one hole with the potentials in the other wherever the geometric factor of the point
// sources with their images is at most 5000 m (1 m spacing).
TEST(ConfigurationTestFiles, BoreholeArrayListing) {
    test_support::Headless h;
    test_support::TempDir home;
    EXPECT_FALSE(write_borehole_array_listing(home.path.c_str(), 6, 7, 1.0f));
    EXPECT_FALSE(write_borehole_array_listing(home.path.c_str(), 7, 6, 1.0f));
    EXPECT_FALSE(sys::file_exists(home.file("borehole.txt")));
    ASSERT_TRUE(write_borehole_array_listing(home.path.c_str(), 7, 7, 1.0f));
    const std::string text = test_support::read_file(home.file("borehole.txt"));
    EXPECT_EQ(text.rfind("Surface Array 1\n   1.0,   0.0\n   0.0,   0.0\n   2.0,   0.0\n"
                         "   3.0,   0.0\nSurface Array 2\n   2.0,   0.0\n",
                         0),
              0u);
    // 4 + 3 + 2 + 1 dipole-dipoles; 6 x 6 cross-borehole pairs.
    EXPECT_NE(text.find("Surface Array 10\n   1.0,   0.0\n   0.0,   0.0\n   5.0,   0.0\n"),
              std::string::npos);
    EXPECT_EQ(text.find("Surface Array 11\n"), std::string::npos);
    EXPECT_NE(text.find("C1P1-C2P2 Array 1\n   0.0,   1.0\n   6.0,   1.0\n   0.0,   2.0\n"
                        "   6.0,   2.0\n"),
              std::string::npos);
    EXPECT_NE(text.find("C1P1-C2P2 Array 36\n   0.0,   6.0\n   6.0,   6.0\n   0.0,   7.0\n"),
              std::string::npos);
    EXPECT_EQ(text.find("C1P1-C2P2 Array 37\n"), std::string::npos);
    // Each across-hole array listed, and only those, within the factor.
    auto factor = [](double zc1, double zc2, double zp1, double zp2) {
        auto t = [](double dz, double sz) {
            return 1.0 / std::hypot(6.0, dz) + 1.0 / std::hypot(6.0, sz);
        };
        const double g = t(zc1 - zp1, zc1 + zp1) - t(zc1 - zp2, zc1 + zp2) -
                         t(zc2 - zp1, zc2 + zp1) + t(zc2 - zp2, zc2 + zp2);
        return 4.0 * M_PI / std::fabs(g);
    };
    std::string listed;
    for (int i = 1; i < 7; ++i)
        for (int j = 1; j < 7; ++j)
            if (factor(i, i + 1, j, j + 1) <= 5000.0) {
                char lines[128];
                std::snprintf(lines, sizeof lines,
                              "   0.0,%6.1f\n   0.0,%6.1f\n   6.0,%6.1f\n   6.0,%6.1f\n", double(i),
                              double(i + 1), double(j), double(j + 1));
                listed += lines;
            }
    const std::size_t across = text.find("C1C2-P1P2 Array 1\n");
    ASSERT_NE(across, std::string::npos);
    std::string written;
    std::istringstream in(text.substr(across));
    for (std::string line; std::getline(in, line);)
        if (line.find("Array") == std::string::npos) written += line + "\n";
    EXPECT_EQ(written, listed);
    EXPECT_GT(listed.size(), 0u);
    EXPECT_LT(listed.size(), 36u * 4u * 12u);
}

// A list of Wenner arrays becomes a configuration file that the reader takes, with every x
// moved by 5 m; a file it cannot take shows its message and writes nothing.
TEST(ConfigurationTestFiles, WennerTestFile) {
    std::string text;
    {
        test_support::Headless h;
        test_support::GlobalRecords records;
        test_support::TempDir home;
        home.write("wen.txt", "2\n0 1 2 3\n-1.5,-0.5,0.5,1.5\n");
        ASSERT_TRUE(write_wenner_test_file(home.path.c_str())) << h.output();
        text = test_support::read_file(home.file("wen2ds.txt"));
        EXPECT_EQ(text, "Wenner array file\nNumber of arrays\n2\nUnit electrode spacing\n0.25\n"
                        "Coordinates of electrodes (xc1,zc1,xc2,zc2,xp1,zp1,xp2,zp2)\n"
                        "Array 1\n  5.00,0.0\n  6.00,0.0\n  7.00,0.0\n  8.00,0.0\n"
                        "Array 2\n  3.50,0.0\n  4.50,0.0\n  5.50,0.0\n  6.50,0.0\n"
                        "Starting and ending x-location to calculate sensitivity values, spacing\n"
                        "-5.0,5.0,0.025\n"
                        "Starting and ending z-location to calculate sensitivity values, spacing\n"
                        "0.02,8.0,0.025\nMaterial resistivity (ohm.m)\n1.0\nMaximum current (Amp)\n"
                        "1.0\nMinimum potential (mV)\n0.1\n");

        const struct {
            const char* input;
            const char* message;
        } refused[] = {
            {"", "Model data file error!\\nThis file appears to be empty."},
            {" \n\n", "Model data file error!\\nThis file appears to be empty."},
            {"0\n", "Number of arrays 0 in"},
            {"10000\n", "Number of arrays 10000 in"},
            {"2\n0 1 2 3\n4 5\n", "ends before the electrodes of array 2."},
            {nullptr, "There has been an error in opening"},
        };
        for (const auto& c : refused) {
            SCOPED_TRACE(c.message);
            std::remove(home.file("wen2ds.txt").c_str());
            std::remove(home.file("wen.txt").c_str());
            if (c.input) home.write("wen.txt", c.input);
            h.take_output();
            EXPECT_FALSE(write_wenner_test_file(home.path.c_str()));
            EXPECT_NE(h.output().find(c.message), std::string::npos) << h.output();
            EXPECT_FALSE(sys::file_exists(home.file("wen2ds.txt")));
        }
    }
    // The reader takes the file written (in a session of its own).
    const Read r = parse(text, 0, 0.25f);
    ASSERT_TRUE(r.ok) << r.boxes;
    ASSERT_EQ(r.file.arrays.size(), 2u);
    EXPECT_EQ(r.file.arrays[1].x[3], 6.5f / 0.25f);
}

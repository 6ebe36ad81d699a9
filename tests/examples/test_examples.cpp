// The bundled example models as a user runs them, through `veldarin-script --batch`, each data
// file checked against the physics of its model; and the README's annotated model file is the
// example file itself.
#include "support/files.h"
#include "support/layered_earth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using test_support::read_file;

const std::string program = VELDARIN_BINARY_DIR "/app/veldarin-script";
const std::string examples = VELDARIN_SOURCE_DIR "/examples/";
constexpr double pi = 3.14159265358979323846;

/// One data line of a data file: x of the array's middle, spacing a and n (1 for arrays
/// without one) in metres and unit spacings as written, apparent resistivity and IP (mV/V).
struct Datum {
    double x = 0, a = 0, n = 1, rho = 0, ip = 0;
};

/// The data lines of a data file written by the batch (empty when it cannot be read).
std::vector<Datum> parse_data_file(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    if (lines.size() < 6) return {};
    const int code = std::atoi(lines[2].c_str());
    // The electrode offset of the equatorial and offset pole-dipole arrays comes first.
    std::size_t at = (code == 8 || code == 10) ? 4 : 3;
    const int count = std::atoi(lines[at].c_str());
    const bool ip = std::atoi(lines[at + 2].c_str()) == 1;
    at += ip ? 6 : 3;
    std::vector<Datum> data;
    for (int i = 0; i < count && at + std::size_t(i) < lines.size(); ++i) {
        std::istringstream row(lines[at + std::size_t(i)]);
        std::vector<double> v;
        for (double value; row >> value;)
            v.push_back(value);
        const std::size_t values = ip ? 2 : 1;
        if (v.size() < 2 + values) return {};
        Datum d;
        d.x = v[0];
        d.a = v[1];
        if (v.size() > 2 + values) d.n = v[2];
        d.rho = v[v.size() - values];
        if (ip) d.ip = v.back();
        data.push_back(d);
    }
    return data;
}

/// A datum of a configuration data file: electrode x and z (C1, C2, P1, P2 as present; C2
/// empty with three electrodes, C2 and P2 with two) and apparent resistivity.
struct Configuration {
    std::vector<double> electrodes;
    double rho = 0;
};

/// The data of a configuration data file with boreholes (empty when there are none).
std::vector<Configuration> parse_configuration_data(const std::string& text) {
    std::vector<Configuration> data;
    const std::size_t start = text.find("\nMeasured Data\n");
    if (start == std::string::npos) return data;
    std::istringstream in(text.substr(start + 15));
    for (std::string line; std::getline(in, line);) {
        for (char& c : line)
            if (c == ',') c = ' ';
        std::istringstream row(line);
        int count = 0;
        if (!(row >> count) || count < 2 || count > 4) break;
        Configuration c;
        c.electrodes.resize(std::size_t(2 * count));
        for (double& v : c.electrodes)
            row >> v;
        if (!(row >> c.rho)) break;
        data.push_back(c);
    }
    return data;
}

/// The name of a model file without its folder and its extension.
std::string stem(const std::string& model) {
    const std::string name = model.substr(model.find_last_of('/') + 1);
    return name.substr(0, name.find_last_of('.'));
}

/// Wenner apparent resistivity at spacing a from the potential `v`(r) of a unit current.
template <class Potential> double wenner(Potential v, double a) {
    return 2 * pi * a * 2 * (v(a) - v(2 * a));
}

/// The largest |rho / expected(d) - 1| over the data.
template <class Expected>
double largest_deviation(const std::vector<Datum>& data, Expected expected) {
    double worst = 0;
    for (const Datum& d : data)
        worst = std::max(worst, std::fabs(d.rho / expected(d) - 1));
    return worst;
}

/// True when every electrode of a datum whose electrodes reach `half` either side of its x lies
/// at least `gap` outside [from, to].
bool clear_of(const Datum& d, double half, double from, double to, double gap) {
    return d.x + half <= from - gap || d.x - half >= to + gap;
}

/// The end of a model file that has no results: a flat topography list from x 0 to `length`
/// (metres), which makes the program calculate by finite elements.
std::string flat_topography(double length) {
    return "0\n0\n0\n1\n2\n0,0\n" + std::to_string(length) + ",0\n0\n0\n";
}

class Examples : public ::testing::Test {
  protected:
    /// A model file `name` in the test's folder, holding `text`.
    std::string variant(const std::string& name, const std::string& text) {
        return dir_.write(name, text);
    }
    /// The data lines `veldarin-script --batch MODEL` writes; the test fails when the run fails.
    std::vector<Datum> run(const std::string& model) {
        run_batch(model);
        const std::string out = dir_.folder() + "/out", log = dir_.file("batch.log");
        const std::vector<Datum> data =
            parse_data_file(read_file(out + "/" + stem(model) + ".dat"));
        EXPECT_FALSE(data.empty()) << model << ": no data lines\n" << read_file(log);
        return data;
    }
    /// The configuration data of `arrays` on `model`, through the menu command that calculates
    /// them, as a user runs it (saved as apparent resistivities without noise).
    std::vector<Configuration> run_configurations(const std::string& model,
                                                  const std::string& arrays) {
        const std::string out = dir_.file(stem(model) + "_configurations.dat");
        const std::string log = dir_.file("script.log");
        const std::string script =
            dir_.write("configurations.txt",
                       "start\nfile " + model + "\nmenu 101\nexpect box \"[File read]*\"\n" +
                           "menu 130\nexpect box \"Calculations completed*\"\nfile " + out +
                           "\ndialog NoiseDiaBox ok\nfile " + arrays + "\nbox yes\n" +
                           "menu \"Model computation/Calculate apparent resistivity for "
                           "non-standard arrays\"\nexpect box \"[ORBANTEL format]*\"\nclose\n");
        const std::string cmd = "'" + program + "' --script '" + script + "' --home '" +
                                dir_.folder() + "' >'" + log + "' 2>&1";
        const int status = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read_file(log);
        return parse_configuration_data(read_file(out));
    }
    /// `veldarin-script --batch MODEL` into the test's folder; the test fails when it fails.
    void run_batch(const std::string& model) {
        const std::string out = dir_.folder() + "/out", log = dir_.file("batch.log");
        const std::string cmd = "'" + program + "' --batch '" + model + "' --out '" + out +
                                "' --home '" + dir_.folder() + "' >'" + log + "' 2>&1";
        const int status = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read_file(log);
    }
    /// The bitmap the last run wrote for `model`.
    std::string bitmap_of(const std::string& model) {
        return dir_.folder() + "/out/" + stem(model) + ".bmp";
    }
    test_support::TempDir dir_{"vd_examples"};
};

// The batch's bitmap holds the whole display, at least the window's client area (1007 x 726):
// the picture ends inside it (white beside its right and lower edges) and every pseudosection
// page is in it, each with its colour bar (the first box, at x = 24 .. 54, in the first
// colour of the scale).
TEST_F(Examples, BatchBitmapsHoldTheWholeDisplay) {
    const struct {
        const char* model;
        int pages;
    } cases[] = {{"blocks_ip", 2},       {"chargeable_wenner", 2},  {"spectral_wenner", 4},
                 {"cylinder_wenner", 2}, {"homogeneous_wenner", 1}, {"boreholes", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        const std::string model = examples + c.model + ".mod";
        run_batch(model);
        const test_support::Bitmap bmp = test_support::read_bitmap(bitmap_of(model));
        ASSERT_GE(bmp.width, 1007);
        ASSERT_GE(bmp.height, 726);
        int edge = 0;
        for (int k = 1; k <= 4; ++k) {
            for (int y = 0; y < bmp.height; ++y)
                edge += bmp.at(bmp.width - k, y) != 0xFFFFFF;
            for (int x = 0; x < bmp.width; ++x)
                edge += bmp.at(x, bmp.height - k) != 0xFFFFFF;
        }
        EXPECT_EQ(edge, 0) << "the picture runs to the bitmap's edge";
        int bars = 0;
        for (int y = 1; y < bmp.height; ++y)
            bars += bmp.at(39, y) == 0x000080 && bmp.at(39, y - 1) != 0x000080;
        EXPECT_EQ(bars, c.pages);
    }
}

TEST_F(Examples, TwoLayersReadTheLayeredEarth) {
    const std::vector<Datum> data = run(examples + "two_layers.mod");
    ASSERT_EQ(data.size(), 92u);
    auto two_layer = [](double r) { return test_support::two_layer_potential(100, 20, 4.0, r); };
    // Measured 1.02 %, at the smallest spacing (the mesh's first rows).
    EXPECT_LT(largest_deviation(data, [&](const Datum& d) { return wenner(two_layer, d.a); }),
              0.012);
}

// The electrodes lie on the water floor: seen from them the water is a layer above, under a
// surface that takes no current, and the ground a half-space below. The data file gives the
// apparent resistivity with the geometric factor of a surface survey.
TEST_F(Examples, WaterLayerReadsTheLayerOverTheElectrodes) {
    const std::vector<Datum> data = run(examples + "water_layer.mod");
    ASSERT_EQ(data.size(), 92u);
    auto floor = [](double r) { return test_support::layer_floor_potential(20, 100, 2.0, r); };
    // Measured 1.38 %, at the smallest spacing; 0.3 % from the next one on.
    EXPECT_LT(largest_deviation(data, [&](const Datum& d) { return wenner(floor, d.a); }), 0.016);
}

// A conductive chargeable block at x 16 to 24 m and a resistive block at 36 to 44 m, both 2 to
// 5.5 m deep, in 100 ohm-m without chargeability; dipole-dipole data.
TEST_F(Examples, BlocksShowTheirAnomaliesWhereTheyLie) {
    const std::string model = examples + "blocks_ip.mod";
    const std::vector<Datum> fd = run(model);
    ASSERT_EQ(fd.size(), 567u);
    auto half = [](const Datum& d) { return d.a * (d.n + 2) / 2; };
    double over_conductor = 1e9, over_resistor = 0, ip_over_conductor = -1e9;
    double far_rho = 0, far_ip = 0;
    int far_from_both = 0, far_from_conductor = 0;
    for (const Datum& d : fd) {
        if (d.x >= 16 && d.x <= 24) {
            over_conductor = std::min(over_conductor, d.rho);
            ip_over_conductor = std::max(ip_over_conductor, d.ip);
        }
        if (d.x >= 36 && d.x <= 44) over_resistor = std::max(over_resistor, d.rho);
        if (clear_of(d, half(d), 16, 24, 6) && clear_of(d, half(d), 36, 44, 6)) {
            far_rho = std::max(far_rho, std::fabs(d.rho / 100 - 1));
            ++far_from_both;
        }
        if (clear_of(d, half(d), 16, 24, 8)) {
            far_ip = std::max(far_ip, std::fabs(d.ip));
            ++far_from_conductor;
        }
    }
    // Measured: 32.1 and 234 ohm-m over the blocks, 56 mV/V over the chargeable one (whose
    // own chargeability is 100 mV/V); 2.2 % off 100 ohm-m and 1.6 mV/V at most away from them.
    EXPECT_LT(over_conductor, 50);
    EXPECT_GT(over_resistor, 150);
    EXPECT_GT(ip_over_conductor, 40);
    EXPECT_GT(far_from_both, 10);
    EXPECT_LT(far_rho, 0.025);
    EXPECT_GT(far_from_conductor, 100);
    EXPECT_LT(far_ip, 2.0);

    // Finite elements on the same model agree (measured 0.34 % and 0.25 mV/V).
    const std::vector<Datum> fe =
        run(variant("blocks_ip_fe.mod", read_file(model) + flat_topography(60)));
    ASSERT_EQ(fe.size(), fd.size());
    double rho_gap = 0, ip_gap = 0;
    for (std::size_t i = 0; i < fd.size(); ++i) {
        ASSERT_EQ(fe[i].x, fd[i].x);
        rho_gap = std::max(rho_gap, std::fabs(fe[i].rho / fd[i].rho - 1));
        ip_gap = std::max(ip_gap, std::fabs(fe[i].ip - fd[i].ip));
    }
    EXPECT_LT(rho_gap, 0.005);
    EXPECT_LT(ip_gap, 0.35);
}

// A hill 3 m high between x 22 and 38 m in 100 ohm-m, symmetric about x 30 m.
TEST_F(Examples, HillLowersTheValuesOverItAndLeavesTheFlatGroundAlone) {
    const std::vector<Datum> data = run(examples + "hill.mod");
    ASSERT_EQ(data.size(), 145u);
    double far = 0, crest = 1e9, asymmetry = 0;
    int far_count = 0;
    for (const Datum& d : data) {
        if (clear_of(d, 1.5 * d.a, 22, 38, 2)) {
            far = std::max(far, std::fabs(d.rho / 100 - 1));
            ++far_count;
        }
        if (std::fabs(d.x - 30) <= 1) crest = std::min(crest, d.rho);
        for (const Datum& mirror : data)
            if (mirror.a == d.a && mirror.x == 60 - d.x)
                asymmetry = std::max(asymmetry, std::fabs(mirror.rho / d.rho - 1));
    }
    // Measured: 1.37 % off the half-space on the flat ground, 63 ohm-m over the crest, the two
    // sides equal to 1e-6.
    EXPECT_GT(far_count, 20);
    EXPECT_LT(far, 0.016);
    EXPECT_LT(crest, 75);
    EXPECT_LT(asymmetry, 1e-4);
}

// Two boreholes at x 5 and 15 m with electrodes 1 to 8 m deep, a 10 ohm-m block between them
// (x 8 to 12 m, 3 to 6 m deep) in 100 ohm-m. The surface data come from the batch, the
// cross-hole data from the configurations of examples/boreholes_arrays.txt; their apparent
// resistivities use the geometric factor of buried electrodes with their images.
TEST_F(Examples, BoreholesReadTheHalfSpaceAndSeeTheBlockBetweenThem) {
    const std::string model = examples + "boreholes.mod",
                      arrays = examples + "boreholes_arrays.txt";
    const std::string text = read_file(model);
    const std::size_t values = text.find("\n100 10\n");
    ASSERT_NE(values, std::string::npos);
    const std::string homogeneous =
        variant("homogeneous.mod", std::string(text).replace(values, 8, "\n100 100\n"));

    // Without the block: the surface data and every cross-hole datum give the half-space
    // (measured 1.45 %, the Wenner data of one spacing, and 1.23 %, the bipoles nearest the
    // surface).
    const std::vector<Datum> surface = run(homogeneous);
    ASSERT_EQ(surface.size(), 63u);
    EXPECT_LT(largest_deviation(surface, [](const Datum&) { return 100.0; }), 0.015);
    const std::vector<Configuration> half_space = run_configurations(homogeneous, arrays);
    ASSERT_EQ(half_space.size(), 34u);
    double worst = 0;
    for (const Configuration& c : half_space)
        worst = std::max(worst, std::fabs(c.rho / 100 - 1));
    EXPECT_LT(worst, 0.02);

    // With the block: a datum and its reciprocal (current and potential electrodes swapped)
    // agree; the bipoles across the block read it, those above and below it much less
    // (measured 49.1 and 51.0 ohm-m across it, 85.4 and 109 ohm-m at the ends).
    const std::vector<Configuration> block = run_configurations(model, arrays);
    ASSERT_EQ(block.size(), 34u);
    for (const Configuration& c : block) {
        std::vector<double> swapped = c.electrodes;
        const std::size_t half = swapped.size() / 2;
        std::rotate(swapped.begin(), swapped.begin() + long(half), swapped.end());
        bool found = false;
        for (const Configuration& r : block)
            if (r.electrodes == swapped) {
                found = true;
                EXPECT_NEAR(r.rho / c.rho, 1.0, 1e-4);
            }
        EXPECT_TRUE(found);
        if (c.electrodes.size() != 8) continue;
        const double top = std::min(c.electrodes[1], c.electrodes[3]);
        if (top == 3 || top == 4) {
            EXPECT_LT(c.rho, 55) << top;
        } else if (top == 1 || top == 7) {
            EXPECT_GT(c.rho, 85) << top;
        }
    }
    // Over the block the surface data read it too (measured 86.5 ohm-m at the widest spacing).
    double over_block = 1e9;
    for (const Datum& d : run(model))
        if (d.x == 10) over_block = std::min(over_block, d.rho);
    EXPECT_LT(over_block, 90);
}

TEST(ExamplesReadme, TheAnnotatedModelFileIsTheTwoLayerExample) {
    const std::string readme = read_file(VELDARIN_SOURCE_DIR "/README.md");
    const std::size_t section = readme.find("\n## The model file\n");
    ASSERT_NE(section, std::string::npos);
    const std::size_t open = readme.find("\n```\n", section);
    ASSERT_NE(open, std::string::npos);
    const std::size_t begin = open + 5, end = readme.find("```\n", begin);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(readme.substr(begin, end - begin), read_file(examples + "two_layers.mod"));
}

} // namespace

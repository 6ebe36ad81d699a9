// Synthetic data of user-defined configurations: the apparent values against the standard
// arrays' routine, the electrode lookups, borehole models calculated end to end, the data
// files (reviewed copies), noise, and the refusals that change and create nothing.
#include "fixture.h"

#include "forward/apparent.h"
#include "forward/configurations/config_file.h"
#include "forward/configurations/configurations.h"
#include "forward/noise.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace forward;
using namespace forward_test;
using test_support::read_file;
using test_support::TempDir;

namespace {

ConfigurationFile parsed(const std::string& text, float model_spacing = 1.0f) {
    ConfigurationFile f;
    EXPECT_TRUE(parse_configuration_file(text.data(), std::int32_t(text.size()), model_spacing, 1,
                                         4000, f, {}));
    return f;
}

std::string new_layout(const std::string& configurations, int count, float spacing = 1.0f) {
    std::ostringstream t;
    t << "Configurations\nNumber of arrays\n"
      << count << "\nUnit electrode spacing\n"
      << spacing << "\nNew format\n"
      << configurations;
    return t.str();
}

// Positions (unit spacings) of the model electrodes 1 .. nelec_total: the surface electrodes
// at 0, 1, 2 .. and the borehole electrodes from their tables.
void electrode_position(const ModelSettings& m, int i, double& x, double& z) {
    if (i <= m.nelec) {
        x = i - 1, z = 0.0;
        return;
    }
    x = m.borehole_x[i - m.nelec - 1], z = m.borehole_z[i - m.nelec - 1];
}

// Potential tables of a half-space of `rho` with unit current (rho / 4 pi (1/r + 1/r'), r' to
// the image), IP tables as those divided by 1 - chargeability.
void half_space_tables(ModelSettings& m, const ProgLim& limits, double rho, double chargeability) {
    const int total = m.nelec + m.nborehole_nodes;
    for (int i = 1; i <= total; ++i)
        for (int j = 1; j <= total; ++j) {
            if (i == j) continue;
            double xi, zi, xj, zj;
            electrode_position(m, i, xi, zi);
            electrode_position(m, j, xj, zj);
            const double r = std::hypot(xi - xj, zi - zj), ri = std::hypot(xi - xj, zi + zj);
            const double p = rho / (4.0 * M_PI) * (1.0 / r + 1.0 / ri);
            m.potential_table_a[index2d(i, j, limits.max_electrodes)] = p;
            m.potential_table_a_ip[index2d(i, j, limits.max_electrodes)] =
                p / (1.0 - chargeability);
        }
    m.pot_values_present = 1;
    m.potentials_span = float(m.nelec - 1); // exact tables serve every datum of the line
}

// The model of the data-file tests: 21 surface electrodes at 2 m over 100 ohm-m, optionally
// with three vertical boreholes of 2, 3 and 1 electrodes.
void test_model(Records& r, bool ip, bool boreholes = false) {
    ModelSettings& m = r.m;
    std::strcpy(m.model_title, "Golden test model");
    m.nelec = 21;
    m.unit_spacing = 2.0f;
    m.nip = ip ? 1 : 0;
    if (boreholes) {
        const float x[6] = {3, 3, 7, 7, 7, 12}, z[6] = {1, 2, 1, 2, 3, 2.5f};
        m.nboreholes = 3;
        m.issbor[0] = 2, m.issbor[1] = 3, m.issbor[2] = 1;
        m.nborehole_nodes = 6;
        for (int k = 0; k < 6; ++k)
            m.borehole_x[k] = x[k], m.borehole_z[k] = z[k];
    }
    m.nelec_total = m.nelec + m.nborehole_nodes;
    half_space_tables(m, r.limits, 100.0, ip ? 0.05 : 0.0);
}

// Water 0.5 unit spacings deep over the line: `layers` layers of 5 and 20 ohm-m (the first
// 0.5 thick), the geometric factor of type `factor_type`.
void add_water(ModelSettings& m, int layers, int factor_type) {
    m.zwatermax = -0.5f;
    m.water_present = 1;
    m.nwater_layers = layers;
    m.water_resistivity[0] = 5.0f, m.water_resistivity[1] = 20.0f;
    m.water_x1 = 0.0f, m.water_x2 = 20.0f;
    m.water_thickness[0] = 0.5f;
    m.geometric_factor_type = factor_type;
}

// Four surface configurations (metres): dipole-dipole, pole-dipole, pole-pole, Wenner.
const std::string surface_configurations = "4 0,0 2,0 4,0 6,0\n"
                                           "3 10,0 8,0 6,0\n"
                                           "2 20,0 24,0\n"
                                           "4 30,0 36,0 32,0 34,0\n";
// Cross-borehole and surface-to-borehole configurations of the three-borehole model.
const std::string borehole_configurations = "4 6,2 14,2 6,4 14,6\n"
                                            "3 0,0 24,5 14,4\n"
                                            "2 6,4 14,2\n"
                                            "4 10,0 14,6 12,0 6,2\n";

// The configurations of `text` formed and written with save_general_array_data (or the
// writer of any number of boreholes) to `path`, `answers` queued for its questions.
struct Written {
    ConfigSave result;
    std::string boxes;
};
Written write(Records& r, const std::string& text, const std::string& path,
              const std::string& answers, bool all_boreholes = false) {
    test_support::Headless h;
    const ConfigurationFile f = parsed(text, r.m.unit_spacing);
    ConfigData data = form_configuration_data(r.m, r.limits, f, all_boreholes);
    model::copy_text(r.m.general_array_file, sizeof r.m.general_array_file, path.c_str());
    h.answer(answers);
    const ConfigSave result = all_boreholes ? save_general_array_data_nbor(r.m, f, data)
                                            : save_general_array_data(r.m, f, data);
    EXPECT_TRUE(h.answered()) << answers << "\n" << h.output();
    return {result, h.output()};
}

std::string golden_path(const std::string& name) {
    return std::string(VELDARIN_TEST_DATA) + "/golden/" + name;
}

void check_golden(const std::string& text, const std::string& name) {
    if (std::getenv("VELDARIN_UPDATE_GOLDEN")) {
        std::ofstream(golden_path(name), std::ios::binary) << text;
        return;
    }
    EXPECT_EQ(text, read_file(golden_path(name))) << name;
}

// The numbers after the electrode positions of every data line ("%1d " then count pairs).
std::vector<std::vector<double>> value_columns(const std::string& text) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(text);
    std::string line;
    bool data = false;
    while (std::getline(in, line)) {
        if (line.size() > 2 && line[1] == ' ' && line[0] >= '2' && line[0] <= '4') {
            data = true;
            std::string t = line;
            for (char& c : t)
                if (c == ',') c = ' ';
            std::istringstream w(t);
            int count;
            w >> count;
            double v;
            for (int i = 0; i < 2 * count; ++i)
                w >> v;
            std::vector<double> values;
            while (w >> v)
                values.push_back(v);
            rows.push_back(values);
        } else if (data) {
            break;
        }
    }
    return rows;
}

} // namespace

TEST(ConfigurationData, StandardArraysGiveTheValuesOfTheStandardRoutine) {
    // A layered-looking potential (not a half-space), so that the factor and the sum of every
    // pair matter: the configuration values must be those of calappres_arrays.
    const PairPotential potential = [](double r) {
        return 100.0 / (2.0 * M_PI * r) + 3.0 / (r * r + 4.0);
    };
    for (const int code : {1, 5, 6})
        for (const float a : {1.0f, 2.5f}) {
            Records r(41, 4000);
            set_line(r.m, r.limits, 21, code, a);
            fill_tables(r.m, r.limits, potential, 0.0, 0.0);
            calappres_arrays(r.m, r.limits);
            std::ostringstream lines;
            int n = 0;
            for (int d = 0; d < r.m.ndata; ++d) {
                if (!datum_formed(r.m, d)) continue;
                const int e[4] = {r.m.datum_c1[d], r.m.datum_c2[d], r.m.datum_p1[d],
                                  r.m.datum_p2[d]};
                lines << (e[1] ? 4 : e[3] ? 3 : 2);
                for (const int k : e)
                    if (k) lines << " " << (k - 1) * a << ",0";
                lines << "\n";
                ++n;
            }
            ASSERT_GT(n, 10);
            const ConfigurationFile f = parsed(new_layout(lines.str(), n, a), a);
            const ConfigData data = form_configuration_data(r.m, r.limits, f, false);
            ASSERT_EQ(data.formed, n);
            int k = 0;
            for (int d = 0; d < r.m.ndata; ++d) {
                if (!datum_formed(r.m, d)) continue;
                const ConfigDatum& c = data.data[std::size_t(k++)];
                EXPECT_NEAR(c.rho, r.m.app_resistivity[d], 1e-5 * r.m.app_resistivity[d])
                    << "code " << code << " a " << a << " datum " << d;
                EXPECT_EQ(c.number[0], r.m.datum_c1[d]);
                EXPECT_EQ(c.number[3], r.m.datum_p2[d]);
            }
        }
}

TEST(ConfigurationData, UnmatchedElectrodesAndNullValuesDropOut) {
    Records r(41, 400);
    test_model(r, false);
    // 1: Wenner. 2: P1 and P2 symmetric about C1 (V = 0 and G = 0). 3: P2 past the last
    // electrode: a pole-pole of C1 and P1. 4: C1 buried where no borehole is: nothing. 5: C2
    // past the line: a pole-dipole.
    const ConfigurationFile f = parsed(new_layout("4 0,0 6,0 2,0 4,0\n"
                                                  "3 4,0 2,0 6,0\n"
                                                  "3 0,0 2,0 60,0\n"
                                                  "2 4,2 8,0\n"
                                                  "4 0,0 80,0 2,0 4,0\n",
                                                  5),
                                       2.0f);
    const ConfigData data = form_configuration_data(r.m, r.limits, f, false);
    EXPECT_EQ(data.formed, 3);
    const int counts[5] = {4, 0, 2, 0, 3};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(data.data[k].count, counts[k]) << k;
    EXPECT_NEAR(data.data[0].rho, 100.0, 1e-4);
    EXPECT_NEAR(data.data[2].rho, 100.0, 1e-4);
    EXPECT_NEAR(data.data[4].rho, 100.0, 1e-4);
    EXPECT_EQ(data.data[2].number[3], 0);
    EXPECT_EQ(data.data[4].number[1], 0);

    store_configuration_data(r.m, f, data);
    EXPECT_EQ(r.m.ndata, 3);
    EXPECT_EQ(r.m.datum_nelec[1], 2);
    EXPECT_EQ(r.m.datum_p1[2], 2);
    EXPECT_EQ(r.m.datum_p2[2], 3);
    EXPECT_FLOAT_EQ(r.m.p2_x[2], 4.0f) << "positions in metres";

    TempDir dir;
    const Written w = write(r, new_layout("4 0,0 6,0 2,0 4,0\n3 4,0 2,0 6,0\n", 2),
                            dir.file("two.dat"), "box yes");
    EXPECT_EQ(w.result, ConfigSave::written);
    EXPECT_NE(w.boxes.find("BOX [ORBANTEL format] Apparent resistivity values saved in file\\n" +
                           dir.file("two.dat") +
                           ".\\n1 of the 2 array configurations gave no value\\nand are left "
                           "out."),
              std::string::npos)
        << w.boxes;
    EXPECT_NE(read_file(dir.file("two.dat")).find("\n1\n1\n0\n4 "), std::string::npos)
        << "one data line counted";
}

TEST(ConfigurationData, BoreholeLookups) {
    Records r(41, 400);
    test_model(r, false, true);
    ModelSettings& m = r.m;
    // Vertical boreholes, first two only: x equal to a borehole's first x, depth within 0.01.
    const float* bx = m.borehole_x;
    const float* bz = m.borehole_z;
    EXPECT_EQ(find_model_electrode(3, 2, m, 21, 2, 3, bx, bz, bx + 2, bz + 2), 23);
    EXPECT_EQ(find_model_electrode(7, 3.005f, m, 21, 2, 3, bx, bz, bx + 2, bz + 2), 26);
    EXPECT_EQ(find_model_electrode(3, 2.02f, m, 21, 2, 3, bx, bz, bx + 2, bz + 2), 0);
    EXPECT_EQ(find_model_electrode(12, 2.5f, m, 21, 2, 3, bx, bz, bx + 2, bz + 2), 0)
        << "a third borehole is not searched";
    // Any number of boreholes: the squared distance below 0.001.
    EXPECT_EQ(find_borehole_electrode(12, 2.5f, m, 21), 27);
    EXPECT_EQ(find_borehole_electrode(7.02f, 1.02f, m, 21), 24);
    EXPECT_EQ(find_borehole_electrode(7.04f, 1.0f, m, 21), 0);
    // Inclined boreholes: the electrode records, within 0.001 in x and in depth.
    m.borehole_type = 1;
    for (int k = 0; k < 6; ++k)
        m.electrode_table[21 + k].x = m.borehole_x[k],
                               m.electrode_table[21 + k].z = m.borehole_z[k];
    EXPECT_EQ(find_borehole_electrode(7.02f, 1.02f, m, 21), 0);
    EXPECT_EQ(find_borehole_electrode(7.0005f, 1.0f, m, 21), 24);
    EXPECT_EQ(find_model_electrode(7.0005f, 2.0f, m, 21, 2, 3, bx, bz, bx + 2, bz + 2), 25);
    // The last match wins.
    m.borehole_type = 0;
    m.borehole_z[5] = 1.0f, m.borehole_x[5] = 7.0f;
    EXPECT_EQ(find_borehole_electrode(7, 1, m, 21), 27);
}

TEST(ConfigurationData, GoldenDataFiles) {
    TempDir dir;
    const struct {
        const char* name;
        bool ip, boreholes, water;
        int layers;
        const char* answer;
    } cases[] = {
        {"configs_surface.dat", false, false, false, 0, "box yes"},
        {"configs_surface_ip.dat", true, false, false, 0, "box yes"},
        {"configs_resistance.dat", false, false, false, 0, "box no"},
        {"configs_water_one_layer.dat", false, false, true, 1, "box yes"},
        {"configs_water_layers_ip.dat", true, false, true, 2, "box yes"},
        {"configs_three_boreholes.dat", false, true, false, 0, "box yes"},
    };
    for (const auto& c : cases) {
        Records r(41, 400);
        test_model(r, c.ip, c.boreholes);
        ModelSettings& m = r.m;
        if (c.water) {
            add_water(m, c.layers, 0);
            // Water files carry no topography list.
            m.tflag = 1, m.ntopo = 2;
        }
        const std::string path = dir.file(c.name);
        const Written w =
            write(r, new_layout(c.boreholes ? borehole_configurations : surface_configurations, 4),
                  path, c.answer, c.boreholes);
        ASSERT_EQ(w.result, ConfigSave::written) << c.name << w.boxes;
        check_golden(read_file(path), c.name);
    }
}

TEST(ConfigurationData, NoiseReachesResistancesAndApparentResistivitiesAlike) {
    TempDir dir;
    const std::string text = new_layout(surface_configurations, 4);
    for (const int noise_model : {0, 1}) {
        std::vector<std::vector<double>> columns[2];
        for (const int yes : {1, 0}) {
            Records r(41, 400);
            test_model(r, false);
            r.m.noise_level = 0.05f;
            r.m.noise_model = noise_model;
            r.m.noise_amplitude = 0.0005f;
            r.m.save_noise = 1;
            set_noise_seed(77);
            const std::string path = dir.file("noise.dat");
            const Written w = write(r, text, path,
                                    std::string(noise_model ? "dialog VoltNoiseDiaBox ok\n" : "") +
                                        (yes ? "box yes" : "box no"));
            ASSERT_EQ(w.result, ConfigSave::written);
            columns[yes] = value_columns(read_file(path));
            if (noise_model == 1) {
                EXPECT_EQ(r.m.noise_level, 0.0f);
                EXPECT_NE(read_file(path).find(" mV\nAverage noise "
                                               "level added "),
                          std::string::npos);
            }
        }
        ASSERT_EQ(columns[0].size(), 4u);
        ASSERT_EQ(columns[1].size(), 4u);
        // Noise-free, the resistance is V / a and rho = V k: their ratio is k a, noise or not.
        Records r(41, 400);
        test_model(r, false);
        const ConfigData clean = form_configuration_data(r.m, r.limits, parsed(text, 2.0f), false);
        for (std::size_t k = 0; k < 4; ++k) {
            const ConfigDatum& d = clean.data[k];
            const double ratio = double(d.rho) / (d.v / 2.0);
            const std::vector<double>& rho = columns[1][k];
            const std::vector<double>& res = columns[0][k];
            EXPECT_NEAR(rho[0] / res[0], ratio, 1e-4 * std::fabs(ratio)) << noise_model << " " << k;
            EXPECT_NE(rho[0], d.rho) << "noise added";
            if (noise_model == 0) {
                // Error columns |e value|, not 0, and in the same proportion.
                ASSERT_EQ(rho.size(), 2u);
                ASSERT_EQ(res.size(), 2u);
                EXPECT_GT(rho[1], 0.0);
                EXPECT_NEAR(rho[1] / std::fabs(rho[0]),
                            std::fabs(rho[0] / d.rho - 1.0) / (rho[0] / d.rho), 1e-4);
                EXPECT_NEAR(rho[1] / std::fabs(rho[0]), res[1] / std::fabs(res[0]), 1e-4);
            } else {
                EXPECT_EQ(rho.size(), 1u) << "voltage noise writes no error column";
            }
        }
    }
    reset_noise_seed();
}

TEST(ConfigurationData, RefusalsChangeNothingAndCreateNothing) {
    TempDir dir;
    Records r(41, 400);
    test_model(r, false);
    ModelSettings& m = r.m;
    add_water(m, 1, 1);
    m.noise_level = 0.05f;
    m.noise_model = 1;
    const ConfigurationFile f = parsed(new_layout(surface_configurations, 4), 2.0f);
    ConfigData data = form_configuration_data(m, r.limits, f, false);
    const ConfigData before = data;
    test_support::Headless h;
    model::copy_text(m.general_array_file, sizeof m.general_array_file,
                     dir.file("water.dat").c_str());
    EXPECT_EQ(save_general_array_data(m, f, data), ConfigSave::refused_water);
    EXPECT_EQ(h.output(), "BEEP\nBOX [Error Message] For this array, you need to use the surface "
                          "geometric\\nfactor for models with underwater electrodes!\\nUse the "
                          "'Options' menu to change this setting.\n");
    EXPECT_TRUE(h.answered()) << "no noise dialog";
    EXPECT_EQ(m.noise_level, 0.05f);
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(data.data[k].rho, before.data[k].rho);
    EXPECT_FALSE(sys::file_exists(dir.file("water.dat")));

    // A file that cannot be created is named; nothing is written.
    m.zwatermax = 0.0f;
    m.noise_level = 0.0f;
    const std::string bad = dir.file("no/such/folder.dat");
    model::copy_text(m.general_array_file, sizeof m.general_array_file, bad.c_str());
    h.take_output();
    EXPECT_EQ(save_general_array_data(m, f, data), ConfigSave::failed);
    EXPECT_NE(h.output().find("There has been an error in creating\\nthe file " + bad + "."),
              std::string::npos)
        << h.output();
}

TEST(ConfigurationData, WaterRunsTakeTheSurfaceFactorAndPutTheTypeBack) {
    TempDir dir;
    Records r(41, 400);
    test_model(r, false);
    ModelSettings& m = r.m;
    add_water(m, 1, 1);
    const std::string input = dir.write("configs.txt", new_layout(surface_configurations, 4));
    const std::string empty = dir.write("empty.txt", "");
    const std::string out = dir.file("water.dat");
    model::copy_text(m.general_array_file, sizeof m.general_array_file, out.c_str());
    const struct {
        const char* name;
        int mode;
        std::string answers;
        const char* box;
    } paths[] = {
        {"cancelled", 1, "file cancel", ""},
        {"refused", 1, "file " + empty, "This file appears to be empty."},
        {"no grid", 0, "file " + input, "This file has no grid"},
        {"written", 1, "file " + input + "\nbox yes", "Apparent resistivity values saved"},
    };
    const int ndata = m.ndata;
    for (const auto& p : paths) {
        test_support::Headless h;
        h.answer(p.answers);
        sensitivity_array_file(m, p.mode);
        EXPECT_TRUE(h.answered()) << p.name << "\n" << h.output();
        EXPECT_NE(h.output().find(p.box), std::string::npos) << p.name << "\n" << h.output();
        EXPECT_EQ(m.geometric_factor_type, 1) << p.name;
    }
    // The run's data take the surface factor and say so in the file; the model's datum list
    // is not theirs.
    EXPECT_EQ(m.ndata, ndata);
    const std::string text = read_file(out);
    EXPECT_NE(text.find("0,0.0\n1\n0,0,0,0,0\n"), std::string::npos) << text;
}

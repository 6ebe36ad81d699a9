// The data file for the inversion program: golden files of every layout and section (each
// written twice, to show that a second save gives the same file), noise with a fixed seed, and
// the refusals that create nothing.
#include "fixture.h"

#include "forward/apparent.h"
#include "forward/datafile.h"
#include "forward/noise.h"
#include "ipsolve/colecole.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

using namespace forward_test;
using namespace test_support;

namespace {

struct Datum {
    int x, a;
    float n;
};

// A small survey over a 100 ohm-m half-space (chargeability 0.05 when `ip`): `nelec`
// electrodes at `spacing` metres, internal array type `code`, the data given, apparent values
// formed as the calculation leaves them.
void survey(Records& r, int code, int nelec, float spacing, const std::vector<Datum>& data,
            bool ip = false) {
    ModelSettings& m = r.m;
    std::strcpy(m.model_title, "Golden test model");
    m.nelec = nelec;
    m.unit_spacing = spacing;
    m.array_type = code;
    m.nip = ip ? 1 : 0;
    m.ndata = int(data.size());
    for (int d = 0; d < m.ndata; ++d) {
        m.datum_first_electrode[d] = data[d].x;
        m.datum_a[d] = data[d].a;
        m.datum_n[d] = data[d].n;
    }
    fill_tables(m, r.limits, half_space(100.0), m.electrode_offset_ratio, ip ? 0.05 : 0.0);
    calappres_arrays(m, r.limits);
}

// The spectral tables of a Cole-Cole half-space (rho0 100, m 0.1, tau 0.01 s, c 0.5) at 1, 10
// and 100 Hz for the electrodes of the record, and the spectra of its data formed from them.
void cole_cole_half_space(Records& r) {
    ModelSettings& m = r.m;
    m.ntau = m.ncip = 1;
    m.nfreq = 3;
    const int n = r.limits.max_electrodes;
    const std::size_t block = std::size_t(n) * n;
    const float f[] = {1.0f, 10.0f, 100.0f};
    for (int k = 0; k < 3; ++k) {
        m.frequencies[k] = f[k];
        float im, amplitude, phase;
        const float re =
            colecole_response(100.0f, 0.1f, 0.01f, 0.5f, f[k], &im, &amplitude, &phase);
        for (int i = 1; i <= m.nelec; ++i)
            for (int j = 1; j <= m.nelec; ++j) {
                if (i == j) continue;
                const double p = 100.0 / (2 * 3.14159265358979 * std::abs(i - j));
                r.p.spectral_table_a[k * block + index2d(i, j, n)] = p * re / 100.0;
                r.p.spectral_table_b[k * block + index2d(i, j, n)] = p * im / 100.0;
            }
    }
    calappres_ip(m, r.limits, r.p, nullptr);
}

WriterRecords records(Records& r) {
    return {r.m, r.limits, r.p, Systemsettings, Progdisplay};
}

std::string golden_path(const std::string& name) {
    return std::string(VELDARIN_TEST_DATA) + "/golden/" + name;
}

// Writes the data file twice through save_inv_datafile and compares both with the golden file
// (VELDARIN_UPDATE_GOLDEN=1 rewrites the golden file instead).
void check_golden(Records& r, const std::string& name, int mode = 1) {
    TempDir dir;
    const std::string first = dir.file("first"), second = dir.file("second");
    ASSERT_EQ(save_inv_datafile(records(r), first.c_str(), mode), save_written);
    ASSERT_EQ(save_inv_datafile(records(r), second.c_str(), mode), save_written);
    const std::string text = read_file(first);
    EXPECT_EQ(read_file(second), text) << name << ": a second save wrote another file";
    if (std::getenv("VELDARIN_UPDATE_GOLDEN")) {
        std::ofstream(golden_path(name), std::ios::binary) << text;
        return;
    }
    EXPECT_EQ(text, read_file(golden_path(name))) << name;
}

const std::vector<Datum> wenner_data = {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}, {4, 1, 1},
                                        {5, 1, 1}, {1, 2, 1}, {2, 2, 1}};

} // namespace

TEST(DataFileGolden, WennerWithoutAndWithIp) {
    Records r;
    Headless h;
    survey(r, 1, 8, 2.0f, wenner_data);
    check_golden(r, "wenner.dat");
    survey(r, 1, 8, 2.0f, wenner_data, true);
    check_golden(r, "wenner_ip.dat");
    EXPECT_EQ(h.output(), "");
}

// Hand-checked: a Cole-Cole half-space (rho0 100, m 0.1, tau 0.01 s, c 0.5) at 1, 10 and
// 100 Hz has the in-phase and quadrature values 98.3061 -1.2506, 95.6760 -2.0387 and 92.5604
// -1.6369 at every datum; and a chargeability of 0.05 in a complex resistivity 100 (1 + 0.05 i)
// gives 50 mV/V.
TEST(DataFileGolden, SpectralAndNonLinearIpWenner) {
    Records r;
    Headless h;
    ModelSettings& m = r.m;
    survey(r, 1, 8, 2.0f, wenner_data, true);
    fill_tables(m, r.limits, half_space(100.0), 0.0, 0.1);
    cole_cole_half_space(r);
    check_golden(r, "spectral_wenner.dat");

    m.ntau = m.ncip = m.nfreq = 0;
    m.complex_ip_model = 1;
    fill_tables(m, r.limits, half_space(100.0), 0.0, 0.0);
    const std::size_t block = std::size_t(r.limits.max_electrodes) * r.limits.max_electrodes;
    for (std::size_t k = 0; k < block; ++k)
        m.potential_table_a_ip[k] = 0.05 * m.potential_table_a[k];
    calappres_arrays(m, r.limits);
    check_golden(r, "nonlinear_ip_wenner.dat");
    EXPECT_EQ(h.output(), "");
}

TEST(DataFileGolden, WaterInOneAndSeveralLayers) {
    Records r;
    Headless h;
    ModelSettings& m = r.m;
    m.water_present = 1;
    m.nwater_layers = 1;
    m.zwatermax = 0.75f;
    m.water_resistivity[0] = 0.2f;
    m.water_thickness[0] = 0.75f;
    m.water_x1 = -5.0f;
    m.water_x2 = 12.0f;
    survey(r, 1, 8, 2.0f, wenner_data);
    check_golden(r, "water_one_layer.dat");

    m.nwater_layers = 2;
    m.water_resistivity[1] = 0.5f;
    m.water_thickness[0] = 0.25f;
    m.water_thickness[1] = 0.75f;
    m.geometric_factor_type = 1;
    survey(r, 1, 8, 2.0f, wenner_data, true);
    check_golden(r, "water_layers_ip.dat");
}

TEST(DataFileGolden, TopographyIsWrittenWithoutWater) {
    Records r;
    ModelSettings& m = r.m;
    m.tflag = 1;
    m.ntopo = 4;
    const float x[] = {0, 2, 5, 7}, z[] = {0.5f, -0.25f, 0.0f, -0.25f};
    for (int i = 0; i < 4; ++i)
        m.elec_x[i] = x[i], m.elec_z[i] = z[i];
    survey(r, 1, 8, 2.0f, wenner_data);
    check_golden(r, "topography.dat");
}

TEST(DataFileGolden, GradientAndMultipleGradientInTheGeneralLayout) {
    Records r;
    ModelSettings& m = r.m;
    m.first_electrode_x = 10.0f;
    survey(r, 9, 10, 1.0f, {{2, 1, 1}, {3, 1, 1}, {4, 2, 1}, {8, 1, 1}});
    check_golden(r, "gradient.dat");

    // Multiple gradient: positions in metres, spacing 2 m; written in electrode steps without
    // changing the stored positions, so that the second save (in check_golden) is the same.
    const float c1[] = {0, 0, 0, 4, 4}, c2[] = {14, 14, 14, 18, 18};
    const float p1[] = {2, 4, 8, 6, 10}, p2[] = {4, 6, 10, 8, 12};
    survey(r, 15, 10, 2.0f, {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}});
    for (int d = 0; d < 5; ++d)
        m.c1_x[d] = c1[d], m.c2_x[d] = c2[d], m.p1_x[d] = p1[d], m.p2_x[d] = p2[d];
    calappres_arrays(m, r.limits);
    m.noise_level = 0.05f; // never applied to multiple-gradient data
    check_golden(r, "multiple_gradient.dat");
    EXPECT_EQ(m.c1_x[3], 4.0f);
    EXPECT_EQ(m.p2_x[4], 12.0f);
}

TEST(DataFileGolden, PoleDipoleWithReverseDataAndAdditionalRows) {
    Records r;
    survey(r, 6, 8, 1.0f, {{1, 1, 1}, {2, 1, 1}, {1, 1, 2}, {1, 1, -1}, {2, 1, -2}, {1, 2, 1.5f}},
           true);
    check_golden(r, "pole_dipole.dat");
}

TEST(DataFileGolden, RemoteElectrodes) {
    Records r;
    ModelSettings& m = r.m;
    m.remote_electrodes = 1;
    m.c2_remote_x = -500.0f;
    m.c2_remote_y = 0.0f;
    m.p2_remote_x = 510.0f;
    m.p2_remote_y = 20.0f;
    for (int e = 0; e < 2 * 8 + 1; ++e)
        r.p.fe_vector_a[e] = 0.001 * (e + 1);
    survey(r, 4, 8, 1.0f, {{1, 1, 1}, {2, 1, 1}, {3, 2, 1}});
    check_golden(r, "remote_pole_pole.dat");
}

namespace {

// The numbers of the data lines of a data-file text (between the IP block and the first "0"
// line of the topography block), one vector per line.
std::vector<std::vector<double>> data_lines(const std::string& text, int header_lines) {
    std::vector<std::vector<double>> lines;
    std::istringstream in(text);
    std::string line;
    for (int i = 0; i < header_lines; ++i)
        std::getline(in, line);
    while (std::getline(in, line) && line != "0") {
        std::istringstream fields(line);
        std::vector<double> values;
        double v;
        while (fields >> v)
            values.push_back(v);
        lines.push_back(values);
    }
    return lines;
}

std::vector<Datum> many_wenner_data(int nelec) {
    std::vector<Datum> data;
    for (int a = 1; 3 * a < nelec; ++a)
        for (int x = 1; x + 3 * a <= nelec; ++x)
            data.push_back({x, a, 1});
    return data;
}

} // namespace

TEST(Noise, DeviatesHaveUnitRmsAndASeedRepeatsThem) {
    std::vector<float> g(1001, 7.0f);
    forward::set_noise_seed(1234);
    gaussian_noise_array(0, g.data());
    EXPECT_EQ(g[0], 7.0f);
    gaussian_noise_array(1, g.data());
    EXPECT_EQ(std::fabs(g[0]), 1.0f);
    for (int n : {2, 7, 1000}) {
        gaussian_noise_array(n, g.data());
        double sum = 0.0, mean = 0.0;
        for (int i = 0; i < n; ++i)
            sum += double(g[i]) * g[i], mean += g[i];
        EXPECT_NEAR(std::sqrt(sum / n), 1.0, 1e-6) << n;
        if (n == 1000) {
            EXPECT_NEAR(mean / n, 0.0, 0.1);
        }
    }
    EXPECT_EQ(g[1000], 7.0f);
    // The same seed gives the same deviates; further calls go on with new ones (they are not
    // reseeded from the clock at every call, which repeated the draws within one tick).
    std::vector<float> a(50), b(50), c(50);
    forward::set_noise_seed(99);
    gaussian_noise_array(50, a.data());
    gaussian_noise_array(50, c.data());
    forward::set_noise_seed(99);
    gaussian_noise_array(50, b.data());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    forward::reset_noise_seed();
}

// Percentage noise: every value of the file is the calculated one times 1 + L G with the
// deviates of the seed, and over all values the relative change has the root-mean-square L.
TEST(Noise, PercentageNoiseHasTheStatedLevel) {
    Records r;
    const std::vector<Datum> data = many_wenner_data(40);
    survey(r, 1, 40, 1.0f, data, true);
    const int count = int(data.size());
    r.m.noise_level = 0.05f;
    forward::set_noise_seed(7);
    const auto lines = data_lines(forward::data_file_text(records(r)), 9);
    ASSERT_EQ(int(lines.size()), count);
    std::vector<float> g(std::size_t(2 * count));
    forward::set_noise_seed(7);
    gaussian_noise_array(2 * count, g.data());
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(lines[i].size(), 4u);
        EXPECT_NEAR(lines[i][2], 100.0 * (1.0 + 0.05 * g[2 * i]), 1e-3) << i;
        EXPECT_NEAR(lines[i][3], 50.0 * (1.0 + 0.05 * g[2 * i + 1]), 1e-3) << i;
        const double dr = lines[i][2] / 100.0 - 1.0, dm = lines[i][3] / 50.0 - 1.0;
        sum += dr * dr + dm * dm;
    }
    EXPECT_NEAR(std::sqrt(sum / (2 * count)), 0.05, 1e-5);

    // With error estimates: the header line, and each error is |L rho' G| with the small
    // deviates raised to a fifth of their mean size.
    r.m.save_noise = 1;
    forward::set_noise_seed(7);
    const std::string text = forward::data_file_text(records(r));
    EXPECT_NE(text.find("Error estimate for data present\nType of error estimate (0=same unit "
                        "as data)\n0\n"),
              std::string::npos);
    const auto with_errors = data_lines(text, 12);
    ASSERT_EQ(int(with_errors.size()), count);
    double mean = 0.0;
    for (int i = 0; i < count; ++i)
        mean += std::fabs(g[i]);
    const double floor = 0.2 * mean / count;
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(with_errors[i].size(), 6u);
        const double rho = with_errors[i][2], error = with_errors[i][3];
        EXPECT_NEAR(error, std::fabs(rho / 100.0 - 1.0) * rho, 2e-4) << i;
        if (2 * i < count) {
            EXPECT_GE(std::fabs(rho / 100.0 - 1.0), 0.05 * floor - 1e-6) << i;
        }
    }
    forward::reset_noise_seed();
}

// Spectral IP: every in-phase and quadrature value gets noise of its own (the pairs beyond the
// first deviates used to be written without any).
// Small values keep their size: a 1e-6 m spacing and its positions, and the apparent values of
// a 1e-5 ohm-m half-space, used to be written as 0.00, 0.000 and 0.0000.
TEST(DataFile, SmallValuesKeepTheirDigits) {
    Records r;
    survey(r, 1, 10, 1e-6f, {{1, 1, 1}, {2, 1, 1}, {1, 2, 1}});
    for (int d = 0; d < 3; ++d)
        r.m.app_resistivity[d] = 1e-5f * float(d + 1);
    const std::string text = forward::data_file_text(records(r));
    std::istringstream in(text);
    std::string title, spacing;
    std::getline(in, title);
    std::getline(in, spacing);
    EXPECT_EQ(std::strtof(spacing.c_str(), nullptr), 1e-6f) << spacing;
    const auto lines = data_lines(text, 6);
    ASSERT_EQ(lines.size(), 3u);
    const double x[3] = {1.5e-6, 2.5e-6, 3e-6}, a[3] = {1e-6, 1e-6, 2e-6};
    for (int d = 0; d < 3; ++d) {
        ASSERT_EQ(lines[d].size(), 3u);
        EXPECT_NEAR(lines[d][0], x[d], 1e-12) << d;
        EXPECT_NEAR(lines[d][1], a[d], 1e-12) << d;
        EXPECT_NEAR(lines[d][2], 1e-5 * (d + 1), 1e-10) << d;
    }
    // The spectral columns of a 1e-15 ohm-m model, and its frequency of 1e-5 Hz.
    r.m.nip = 1;
    r.m.nfreq = 1;
    r.m.frequencies[0] = 1e-5f;
    for (int d = 0; d < 3; ++d) {
        r.m.sip_inphase[d] = 1e-15f;
        r.m.sip_quadrature[d] = -2e-17f;
    }
    const std::string spectral = forward::data_file_text(records(r));
    EXPECT_NE(spectral.find("Frequency values\n1e-05\n"), std::string::npos) << spectral;
    for (const auto& line : data_lines(spectral, 11)) {
        ASSERT_EQ(line.size(), 5u);
        EXPECT_NEAR(line[2] / std::hypot(1e-15, 2e-17), 1.0, 1e-5);
        EXPECT_NEAR(line[3] / 1e-15, 1.0, 1e-5);
        EXPECT_NEAR(line[4] / -2e-17, 1.0, 1e-5);
    }
}

// At 100 % noise about one deviate in six would make its value negative, and one of a high
// chargeability would pass 1000 mV/V: such deviates are drawn again, so every noisy apparent
// resistivity stays positive and every apparent IP within 0 to 1000 mV/V, and the values still
// spread as widely as the level says.
TEST(Noise, FullNoiseNeverChangesTheSignOfAValue) {
    Records r;
    const std::vector<Datum> data = many_wenner_data(40);
    survey(r, 1, 40, 1.0f, data, true);
    for (std::size_t d = 0; d < data.size(); ++d)
        r.m.app_ip[d] = 900.0f;
    r.m.noise_level = 1.0f;
    double lowest = 1e30, highest = 0.0;
    for (unsigned seed = 1; seed <= 5; ++seed) {
        forward::set_noise_seed(seed);
        const auto lines = data_lines(forward::data_file_text(records(r)), 9);
        ASSERT_EQ(lines.size(), data.size());
        for (const auto& line : lines) {
            EXPECT_GT(line[2], 0.0);
            EXPECT_GT(line[3], 0.0);
            EXPECT_LT(line[3], 1000.0);
            lowest = std::min(lowest, line[2]);
            highest = std::max(highest, line[2]);
        }
    }
    EXPECT_LT(lowest, 30.0);
    EXPECT_GT(highest, 200.0);
    forward::reset_noise_seed();
}

// The noise level must be a percentage: nan, inf, text and numbers outside 0 .. 100 are refused
// with a message and the dialog stays open (the script's cancel then ends it); the voltage
// amplitude must be a finite number.
TEST(Noise, DialogsRefuseWhatIsNotANumberInRange) {
    Records r;
    Headless h;
    ModelSettings& m = Modelsettings;
    // With noise switched on, no level (blanks, 0) is no level either.
    for (const char* typed :
         {"nan", "inf", "-inf", "abc", "5x", "-1", "250", "1e300", "\"\"", "0", "1e-44"}) {
        m.noise_level = 0.07f;
        h.take_output();
        h.answer(std::string("dialog NoiseDiaBox click 504 set 500 ") + typed + " ok cancel");
        EXPECT_EQ(ui::run_dialog(NoiseDiaBox, NoiseDiaBoxProc), 0) << typed;
        EXPECT_EQ(m.noise_level, 0.07f) << typed;
        EXPECT_EQ(h.take_output(), "BOX [Message] The noise level must be a number above 0 and at "
                                   "most 100 (per cent).\n")
            << typed;
    }
    const struct {
        const char* typed;
        float level;
    } accepted[] = {{"5", 0.05f}, {" 100 ", 1.0f}, {"0.001", 0.00001f}};
    for (const auto& c : accepted) {
        h.answer(std::string("dialog NoiseDiaBox click 504 set 500 ") + c.typed + " ok");
        EXPECT_EQ(ui::run_dialog(NoiseDiaBox, NoiseDiaBoxProc), 1) << c.typed;
        EXPECT_FLOAT_EQ(m.noise_level, c.level) << c.typed;
    }
    m.max_potential = 1.0f;
    m.min_potential = 0.1f;
    m.unit_spacing = 1.0f;
    m.noise_amplitude = 0.25f;
    // The noise cannot exceed the largest potential, 1000 mV.
    for (const char* typed : {"nan", "-2", "1000.5"}) {
        h.take_output();
        h.answer(std::string("dialog VoltNoiseDiaBox set 5303 ") + typed + " ok cancel");
        EXPECT_EQ(ui::run_dialog(VoltNoiseDiaBox, VoltNoiseDiaBoxProc), 0) << typed;
        EXPECT_EQ(m.noise_amplitude, 0.25f) << typed;
        EXPECT_EQ(h.take_output(), "BOX [Message] The noise amplitude must be a number from 0 to "
                                   "1000 of millivolts.\n")
            << typed;
    }
    // An amplitude below 0.2 % of the smallest potential is shown raised to it; Cancel keeps
    // the stored one.
    m.noise_amplitude = 0.0f;
    std::string shown;
    h.answer("dialog VoltNoiseDiaBox cancel");
    ui::run_dialog(VoltNoiseDiaBox, [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
        const bool handled = VoltNoiseDiaBoxProc(d, e, a);
        if (e == ui::DialogEvent::init) shown = d.text(5303);
        return handled;
    });
    EXPECT_EQ(shown, "0.20000001"); // the digits that give the float back
    EXPECT_EQ(m.noise_amplitude, 0.0f);
    EXPECT_TRUE(h.answered()) << h.err.str();
}

TEST(Noise, EverySpectralPairGetsNoise) {
    Records r;
    ModelSettings& m = r.m;
    const std::vector<Datum> data = many_wenner_data(16);
    survey(r, 1, 16, 1.0f, data, true);
    m.nfreq = 3;
    for (int j = 0; j < 3; ++j) {
        m.frequencies[j] = 0.5f * float(j + 1);
        for (std::size_t d = 0; d < data.size(); ++d) {
            m.sip_inphase[d + j * std::size_t(r.limits.max_data_points)] = 100.0f;
            m.sip_quadrature[d + j * std::size_t(r.limits.max_data_points)] = -2.0f;
        }
    }
    m.noise_level = 0.1f;
    forward::set_noise_seed(3);
    const auto lines = data_lines(forward::data_file_text(records(r)), 13);
    ASSERT_EQ(lines.size(), data.size());
    std::vector<double> seen;
    for (const auto& line : lines) {
        ASSERT_EQ(line.size(), 9u);
        for (int j = 0; j < 3; ++j) {
            EXPECT_NE(line[3 + 2 * j], 100.0);
            EXPECT_NE(line[4 + 2 * j], -2.0);
            seen.push_back(line[3 + 2 * j]);
        }
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end()) << "deviates repeat";
    forward::reset_noise_seed();
}

namespace {

std::vector<std::string> fields_of(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string f; in >> f;)
        fields.push_back(f);
    return fields;
}

// Checks every data line of a data-file text against what its header announces: the values of
// a datum (1, 2 with IP, 1 + 2 F for F frequencies), each with its error estimate when the
// header says error estimates are present; after `location` columns in the data lines, three
// (x, spacing, n) in the additional measurements, and the electrode count and positions in the
// general-array copy, which holds the values of the data lines. Returns the number of lines
// checked.
int check_columns(const std::string& text, int location) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::size_t at = 3; // title, spacing, array code
    while (at < lines.size() && fields_of(lines[at]).size() != 1)
        ++at;
    const int count = std::stoi(lines.at(at));
    at += 2; // the count and the "1"
    int values = 1;
    const std::string ip = lines.at(at++);
    if (ip == "1") {
        values = 2;
        at += 3;
    } else if (ip == "2") {
        const int frequencies = std::stoi(lines.at(at + 2));
        values = 1 + 2 * frequencies;
        at += 4 + std::size_t(frequencies);
    }
    if (lines.at(at) == "Error estimate for data present") {
        values *= 2;
        at += 3;
    }
    int checked = 0;
    const std::size_t first = at;
    for (int d = 0; d < count; ++d, ++at, ++checked)
        EXPECT_EQ(fields_of(lines.at(at)).size(), std::size_t(location + values)) << lines[at];
    for (std::size_t i = at; i < lines.size(); ++i) {
        if (lines[i] == "Additional measurements") {
            for (std::size_t j = i + 1; j < lines.size() && lines[j] != "0"; ++j) {
                if (lines[j].empty()) continue;
                EXPECT_EQ(fields_of(lines[j]).size(), std::size_t(3 + values)) << lines[j];
                ++checked;
            }
        }
        if (lines[i] == "General array format") {
            for (int d = 1; d <= count; ++d, ++checked) {
                const std::vector<std::string> f = fields_of(lines.at(i + std::size_t(d)));
                const std::size_t electrodes = std::size_t(std::stoi(f.at(0)));
                if (f.size() != 1 + electrodes + std::size_t(values)) {
                    ADD_FAILURE() << "copy of datum " << d << ": " << lines[i + d];
                    continue;
                }
                // The copy holds the values of the data line.
                const std::vector<std::string> main = fields_of(lines[first + std::size_t(d - 1)]);
                for (int v = 0; v < values; ++v) {
                    const double a = std::stod(main.at(std::size_t(location + v)));
                    const double b = std::stod(f.at(1 + electrodes + std::size_t(v)));
                    EXPECT_NEAR(b, a, 1e-4 * std::max(1.0, std::fabs(a))) << lines[i + d];
                }
            }
        }
    }
    return checked;
}

} // namespace

// Every noise choice writes the columns the header announces, for the arrays with additional
// measurements and a general-array copy, without IP, with IP and with spectral IP (in-phase and
// quadrature, or amplitude and phase): the voltage-dependent noise wrote a resistivity and one
// IP value under a header of three frequencies, and spectral data and the additional rows had
// no error estimates under "Error estimate for data present" (nor spectra under the spectral
// header); the general-array copy of voltage-noise spectra carried percentage noise.
TEST(Noise, EveryNoiseChoiceWritesTheColumnsTheHeaderAnnounces) {
    struct Array {
        int code, location;
        std::vector<Datum> data;
    };
    const Array arrays[] = {
        {1, 2, {{1, 1, 1}, {2, 1, 1}, {1, 2, 1}, {5, 2, 1}}},
        {5, 3, {{1, 1, 1}, {2, 1, 2}, {1, 2, 1}, {3, 1, 3}}},
        {6, 3, {{1, 1, 1}, {2, 1, 2}, {5, 1, -1}, {6, 1, -2}}},
    };
    struct Noise {
        const char* name;
        float level;
        int model, errors;
    };
    const Noise noises[] = {{"none", 0.0f, 0, 0},
                            {"percentage", 0.05f, 0, 0},
                            {"percentage with errors", 0.05f, 0, 1},
                            {"voltage", 0.05f, 1, 0},
                            {"voltage with errors", 0.05f, 1, 1}};
    Records r;
    Headless h;
    forward::set_noise_seed(5);
    for (const Array& a : arrays)
        for (int kind = 0; kind < 4; ++kind)
            for (const Noise& noise : noises) {
                SCOPED_TRACE(::testing::Message() << "array " << a.code << ", IP kind " << kind
                                                  << ", noise " << noise.name);
                r.m.ntau = r.m.ncip = r.m.nfreq = 0;
                survey(r, a.code, 12, 1.0f, a.data, kind > 0);
                if (kind >= 2) cole_cole_half_space(r);
                Progdisplay.ip_display_mode = kind == 3 ? 1 : 0;
                r.m.noise_level = noise.level;
                r.m.noise_model = noise.model;
                r.m.save_noise = noise.errors;
                if (noise.model == 1) h.answer("dialog VoltNoiseDiaBox ok");
                const std::string text = forward::data_file_text(records(r));
                EXPECT_GE(check_columns(text, a.location), 2 * int(a.data.size()));
            }
    Progdisplay.ip_display_mode = 0;
    forward::reset_noise_seed();
    EXPECT_TRUE(h.answered()) << h.err.str();
}

// A value as wide as its column stays apart from the column before it: spectral values of 1000
// ohm-m or of -100 ran into the general-array copy's ",0.0" ("0.01031.17529297"), and so would
// apparent resistivities of 1e7 ohm-m in its copy and 1e8 in the data lines.
TEST(DataFile, WideValuesStayApartFromTheirPositions) {
    Records r;
    survey(r, 1, 12, 1.0f, {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}, {1, 2, 1}});
    for (int d = 0; d < 4; ++d)
        r.m.app_resistivity[d] = d < 2 ? 2.5e7f : 3.5e8f;
    EXPECT_EQ(check_columns(forward::data_file_text(records(r)), 2), 8);
    r.m.nip = 1;
    cole_cole_half_space(r);
    const std::size_t block = std::size_t(r.limits.max_data_points);
    for (int d = 0; d < 4; ++d)
        for (int f = 0; f < 3; ++f) {
            r.m.sip_inphase[d + f * block] = d % 2 ? 1031.17529f : -103.5f;
            r.m.sip_quadrature[d + f * block] = -1031.16894f;
        }
    EXPECT_EQ(check_columns(forward::data_file_text(records(r)), 2), 8);
}

// Voltage-dependent noise: the potential range of the data, the amplitude from the dialog, the
// noise added to the potentials and the report after the terminator.
TEST(Noise, VoltageDependentNoiseAddsTheAmplitudeToThePotentials) {
    Records r;
    Headless h;
    const std::vector<Datum> data = many_wenner_data(20);
    survey(r, 1, 20, 1.0f, data);
    r.m.noise_level = 0.02f;
    r.m.noise_model = 1;
    h.answer("dialog VoltNoiseDiaBox set 5303 500 ok");
    forward::set_noise_seed(11);
    const std::string text = forward::data_file_text(records(r));
    // dV = 100 / (2 pi a): from a = 6 (the largest spacing) to a = 1.
    EXPECT_NEAR(r.m.min_potential, 100.0 / (2 * M_PI * 6), 1e-4);
    EXPECT_NEAR(r.m.max_potential, 100.0 / (2 * M_PI), 1e-4);
    EXPECT_NEAR(r.m.noise_amplitude, 0.5, 1e-6);
    std::vector<float> g(2 * data.size());
    forward::set_noise_seed(11);
    gaussian_noise_array(int(g.size()), g.data());
    const auto lines = data_lines(text, 6);
    ASSERT_EQ(lines.size(), data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        const double k = 2 * M_PI * data[i].a;
        EXPECT_NEAR(lines[i][2], (100.0 / k + 0.5 * g[i]) * k, 2e-3) << i;
    }
    EXPECT_NE(text.find("\nMinimum and maximum potential values are 2652.582 and 15915.494 mV\n"
                        "Noise amplitude added 500.000 mV\n\nAverage noise level added "),
              std::string::npos)
        << text;
    forward::reset_noise_seed();
}

// A save leaves the electrodes of every datum written in the record: the electrode numbers
// the apparent values were formed with (a fractional n rounds: P1 of a = 3, n = 0.333 is
// electrode 2, not C1's electrode 1), the electrode count of the data line (3 for the
// pole-dipole), and the positions of its general-array line in electrode steps.
TEST(DataFile, SaveLeavesTheElectrodesOfEveryDatum) {
    const struct {
        const char* what;
        int code;
        Datum datum;
        int c1, c2, p1, p2, count;
        float x[4]; // C1, C2, P1, P2
    } cases[] = {
        {"Wenner", 1, {2, 1, 1}, 2, 5, 3, 4, 4, {1, 4, 2, 3}},
        {"dipole-dipole", 5, {2, 1, 2}, 3, 2, 5, 6, 4, {2, 1, 4, 5}},
        {"pole-dipole", 6, {1, 1, 2}, 1, 0, 3, 4, 3, {0, 0, 2, 3}},
        {"reverse pole-dipole", 6, {3, 1, -2}, 6, 0, 4, 3, 3, {5, 0, 3, 2}},
        {"fractional n", 6, {1, 3, 0.333f}, 1, 0, 2, 5, 3, {0, 0, 0.999f, 3.999f}},
        {"gradient", 9, {2, 1, 1}, 1, 10, 2, 3, 4, {0, 9, 1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Records r;
        survey(r, c.code, 10, 2.0f, {c.datum});
        const ModelSettings& m = r.m;
        ASSERT_TRUE(datum_formed(m, 0));
        forward::data_file_text(records(r));
        EXPECT_EQ(m.datum_c1[0], c.c1);
        EXPECT_EQ(m.datum_c2[0], c.c2);
        EXPECT_EQ(m.datum_p1[0], c.p1);
        EXPECT_EQ(m.datum_p2[0], c.p2);
        EXPECT_EQ(m.datum_nelec[0], c.count);
        EXPECT_NEAR(m.c1_x[0], c.x[0], 1e-5);
        EXPECT_NEAR(m.c2_x[0], c.x[1], 1e-5);
        EXPECT_NEAR(m.p1_x[0], c.x[2], 1e-5);
        EXPECT_NEAR(m.p2_x[0], c.x[3], 1e-5);
    }
}

// The additional rows lie on the axis of the main rows, first electrode position included: a
// row of the same electrodes as a main datum has its x, spacing, n and value.
TEST(DataFile, AdditionalRowsShareTheAxisOfTheMainRows) {
    Records r;
    r.m.first_electrode_x = 10.0f;
    const std::vector<Datum> data = {{3, 2, 1}, {1, 2, 2}, {2, 3, 1}};
    survey(r, 5, 12, 2.0f, data);
    const std::string text = forward::data_file_text(records(r));
    const auto main_rows = data_lines(text, 6);
    ASSERT_EQ(main_rows.size(), data.size());
    std::vector<std::vector<double>> extra;
    std::istringstream in(text.substr(text.find("Additional measurements\n")));
    std::string line;
    while (std::getline(in, line) && line != "0") {
        std::istringstream fields(line);
        std::vector<double> v(4);
        if (fields >> v[0] >> v[1] >> v[2] >> v[3]) extra.push_back(v);
    }
    for (const auto& row : main_rows) {
        ASSERT_EQ(row.size(), 4u);
        const auto twin = std::find_if(extra.begin(), extra.end(), [&](const auto& e) {
            return std::fabs(e[0] - row[0]) < 1e-3 && e[1] == row[1] && e[2] == row[2];
        });
        ASSERT_NE(twin, extra.end()) << "no additional row at x " << row[0];
        EXPECT_NEAR((*twin)[3], row[3], 1e-3);
    }
}

TEST(DataFile, RefusalsCreateNoFile) {
    Records r;
    Headless h;
    TempDir dir;
    ModelSettings& m = r.m;
    survey(r, 9, 10, 1.0f, {{2, 1, 1}, {3, 1, 1}, {4, 1, 1}, {5, 1, 1}});
    m.zwatermax = 0.5f;
    m.geometric_factor_type = 1;
    const std::string path = dir.file("gradient.dat");
    EXPECT_EQ(save_inv_datafile(records(r), path.c_str(), 1), save_refused_water);
    EXPECT_FALSE(sys::file_exists(path));
    EXPECT_NE(h.output().find("For this array, you need to use the surface geometric"),
              std::string::npos);

    const std::string nowhere = dir.file("missing/folder/out.dat");
    EXPECT_EQ(save_inv_datafile(records(r), nowhere.c_str(), 0), save_file_error);
    EXPECT_NE(h.output().find("There has been an error in creating\\nthe file " + nowhere +
                              ".\\nNo such file or directory."),
              std::string::npos)
        << h.output();
}

// Apparent values that are NaN or infinite are refused before anything is created, in the
// data file and in the model file with results.
TEST(DataFile, ValuesThatAreNotNumbersAreRefused) {
    const struct {
        bool ip;
        int mode;
        float resistivity, chargeability;
    } cases[] = {{false, 1, NAN, 0.0f}, {true, 1, 100.0f, INFINITY}, {false, 0, -INFINITY, 0.0f}};
    for (const auto& c : cases) {
        Records r;
        Headless h;
        TempDir dir;
        survey(r, 1, 8, 2.0f, {{1, 1, 1}, {2, 1, 1}, {1, 2, 1}}, c.ip);
        r.m.app_resistivity[1] = c.resistivity;
        if (c.ip) r.m.app_ip[2] = c.chargeability;
        const std::string path = dir.file("out.dat");
        EXPECT_EQ(save_inv_datafile(records(r), path.c_str(), c.mode), save_not_finite);
        EXPECT_FALSE(sys::file_exists(path));
        EXPECT_EQ(h.output(), "BEEP\nBOX [Error Message] Some of the apparent resistivity and IP "
                              "values are not finite numbers (NaN or infinity)!\\nThey have not "
                              "been saved.\n");
    }
}

// A disk that fills up part-way through a save leaves the old file as it was (data file and
// model file), or no file at all, and the message names the file and the cause.
TEST(DataFile, FullDiskKeepsTheOldFileAndSaysWhy) {
    Records r;
    TempDir dir;
    survey(r, 1, 10, 1.0f, {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}});
    for (int mode : {1, 0}) {
        Headless h;
        const std::string old_path = dir.write("old.dat", "the user's old file\n");
        const std::string new_path = dir.file("new.dat");
        sys::set_save_failure(100);
        EXPECT_EQ(save_inv_datafile(records(r), old_path.c_str(), mode), save_file_error);
        EXPECT_EQ(save_inv_datafile(records(r), new_path.c_str(), mode), save_file_error);
        sys::set_save_failure(-1);
        EXPECT_EQ(read_file(old_path), "the user's old file\n") << mode;
        EXPECT_FALSE(sys::file_exists(new_path)) << mode;
        EXPECT_NE(h.output().find("There has been an error in writing\\nthe file " + old_path +
                                  ".\\nNo space left on device."),
                  std::string::npos)
            << h.output();
        ASSERT_EQ(save_inv_datafile(records(r), old_path.c_str(), mode), save_written);
        EXPECT_NE(read_file(old_path).find("Golden test model"), std::string::npos);
    }
}

// Every additional (fractional-n) row gets noise of its own deviate, the last row of each
// group too (it used to read a deviate beyond those drawn).
TEST(Noise, EveryAdditionalRowGetsNoise) {
    Records r;
    survey(r, 6, 10, 1.0f, {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}, {4, 1, 1}});
    r.m.noise_level = 0.05f;
    forward::set_noise_seed(5);
    const std::string text = forward::data_file_text(records(r));
    std::istringstream in(text.substr(text.find("Additional measurements\n")));
    std::string line;
    int rows = 0;
    while (std::getline(in, line) && line != "0") {
        std::istringstream fields(line);
        double x, spacing, n, rho;
        if (!(fields >> x >> spacing >> n >> rho)) continue;
        ++rows;
        EXPECT_NE(rho, 100.0) << line;
        EXPECT_NEAR(rho, 100.0, 100.0 * 0.05 * 6) << line;
    }
    EXPECT_EQ(rows, 2 * (28 + 21 + 15 + 10)); // b = 2..5, m up to 9 - b, both directions
    forward::reset_noise_seed();
}

namespace {

// The sections of an older index-only data file: its count line, and the value lines of the
// level data, the reverse pole-dipole block, the fractional-n rows and the mixed-array list,
// each line as its numbers.
struct OlderFile {
    int count = -1;
    std::vector<std::vector<double>> levels, reverse, fractional, mixed;
};

std::vector<double> numbers_of(const std::string& line) {
    std::istringstream in(line);
    std::vector<double> v;
    for (double x; in >> x;)
        v.push_back(x);
    return v;
}

OlderFile read_older(const std::string& text, bool pole_dipole) {
    OlderFile f;
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    // Title, spacing, array code, the far electrodes, the count, "1" and the IP block.
    std::size_t i = 3;
    if (lines.at(i) == "Far electrodes included") i += lines.at(2) == "2" ? 6 : 4;
    f.count = std::stoi(lines.at(i));
    i += lines.at(i + 2) == "0" ? 3 : 5;
    for (int k = 0; k < f.count; ++k)
        f.levels.push_back(numbers_of(lines.at(i++)));
    i += 5; // "0\n0\n0\n0\n\n"
    for (; pole_dipole && !lines.at(i).empty(); ++i)
        f.reverse.push_back(numbers_of(lines[i]));
    if (pole_dipole) ++i;
    for (; numbers_of(lines.at(i)).size() > 1; ++i)
        f.fractional.push_back(numbers_of(lines[i]));
    while (lines.at(i) != "Mixed array format")
        ++i;
    for (++i; !lines.at(i).empty(); ++i)
        f.mixed.push_back(numbers_of(lines[i]));
    return f;
}

} // namespace

// The older index-only file of the standard arrays over a 100 ohm-m half-space (chargeability
// 0.05): every level datum, reverse pole-dipole datum and fractional-n row at 100 ohm-m and 50
// mV/V, the data counted level by level, and the level data again by their electrodes.
TEST(DataFile, OlderIndexOnlyFileOfTheStandardArrays) {
    struct Case {
        int code;
        const char* written; ///< the array-code line
        int level1, count;   ///< data of level 1 and of levels 1 .. 3 on 12 electrodes
        int reversed;        ///< reverse pole-dipole data
        int rows;            ///< fractional-n rows
        int electrodes;
        std::vector<double> level2; ///< the first datum of level 2
    } const cases[] = {
        {1, "1", 9, 9 + 6 + 3, 0, 0, 4, {6.0, 4.0, 100.0, 50.0}},
        {4, "2", 11, 11 + 10 + 9, 0, 0, 2, {2.0, 4.0, 100.0, 50.0}},
        // b = 2: 7 + 6 + .. + 1 rows; b = 3: 5 + .. + 1.
        {5, "3", 9, 9 + 8 + 7, 0, 28 + 15, 4, {4.0, 2.0, 2.0, 100.0, 50.0}},
        // b = 2 .. 5: 45 + 36 + 28 + 21 rows, forward and reverse.
        {6, "6", 10, 10 + 9 + 8, 27, 2 * 130, 3, {3.0, 2.0, 2.0, 100.0, 50.0}},
        // b = 2: 8 + 6 + 4 + 2 rows; b = 3: 7 + 5 + 3 + 1.
        {7, "7", 9, 9 + 7 + 5, 0, 20 + 16, 4, {5.0, 2.0, 2.0, 100.0, 50.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        Records r;
        ModelSettings& m = r.m;
        survey(r, c.code, 12, 2.0f, {}, true);
        m.nlev = 3;
        TempDir dir;
        const std::string path = dir.file("older.dat");
        ASSERT_EQ(save_inv_datafile(records(r), path.c_str(), 99), save_written);
        const std::string text = read_file(path);
        EXPECT_EQ(text.rfind("Golden test model\n   2.00\n" + std::string(c.written) + "\n" +
                                 std::to_string(c.count) + "\n1\n1\nChargability\nmsecm0.10,1.00\n",
                             0),
                  0u)
            << text.substr(0, 80);
        const OlderFile f = read_older(text, c.code == 6);
        EXPECT_EQ(f.count, c.count);
        ASSERT_EQ(int(f.levels.size()), c.count);
        EXPECT_EQ(int(f.reverse.size()), c.reversed);
        EXPECT_EQ(int(f.fractional.size()), c.rows);
        ASSERT_EQ(int(f.mixed.size()), c.count);
        for (const auto* section : {&f.levels, &f.reverse, &f.fractional, &f.mixed})
            for (const std::vector<double>& line : *section) {
                ASSERT_GE(line.size(), 3u);
                EXPECT_NEAR(line[line.size() - 2], 100.0, 0.001);
                EXPECT_NEAR(line.back(), 50.0, 0.001);
            }
        EXPECT_EQ(f.levels[std::size_t(c.level1)], c.level2);
        // The first datum's electrodes: C1 at the first electrode, or at the second behind C2.
        EXPECT_EQ(int(f.mixed[0][0]), c.electrodes);
        EXPECT_EQ(f.mixed[0][1], c.code == 5 ? 2.0 : 0.0);
    }
}

TEST(DataFileGolden, OlderPoleDipoleWithFarElectrodes) {
    Records r;
    ModelSettings& m = r.m;
    m.remote_electrodes = 1;
    m.c2_remote_x = -500.0f;
    survey(r, 6, 10, 1.0f, {}, true);
    m.nlev = 2;
    check_golden(r, "older_pole_dipole.dat", 99);
}

// With tracing on, the data file's writer notes each datum's electrodes and its noise in the
// trace file, before the datum's number and value.
TEST(DataFile, TraceOfADataFileWithNoise) {
    Records r;
    survey(r, 1, 8, 1.0f, wenner_data);
    r.m.noise_level = 0.05f;
    TempDir dir;
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     dir.file("trace.txt").c_str());
    Printtrace.active = 1;
    forward::set_noise_seed(5);
    const std::string text = forward::data_file_text(records(r));
    Printtrace.active = 0;
    forward::reset_noise_seed();
    const std::string trace = read_file(dir.file("trace.txt"));
    EXPECT_EQ(trace.rfind("ORBANTEL format array 1  noise model 0  zwater 0.00\n", 0), 0u) << trace;
    const auto lines = data_lines(text, 6);
    ASSERT_EQ(lines.size(), wenner_data.size());
    char first[128], last[128];
    std::snprintf(first, sizeof first,
                  "narray 1 ic1 1 ic2 4 ip1 2 ip2 3 adding noise nft 0\n    1 %12.4f\n",
                  lines[0][2]);
    std::snprintf(last, sizeof last,
                  "narray 7 ic1 2 ic2 8 ip1 4 ip2 6 adding noise nft 0\n    7 %12.4f\n",
                  lines[6][2]);
    EXPECT_NE(trace.find(first), std::string::npos) << trace;
    EXPECT_NE(trace.find(last), std::string::npos) << trace;
}

// A long line's data file (its lines, fractional-n rows and general-array copy made in runs on
// the pool's threads) is the same on one thread and on eight.
TEST(DataFile, LongLineIsTheSameOnOneAndEightThreads) {
    Records r(96, 20000);
    set_line(r.m, r.limits, 96, 5);
    fill_tables(r.m, r.limits, half_space(100.0), r.m.electrode_offset_ratio, 0.05);
    r.m.nip = 1;
    calappres_arrays(r.m, r.limits);
    ASSERT_GT(r.m.ndata, 1000);
    sys::set_pool_threads(1);
    const std::string one = forward::data_file_text(records(r));
    sys::set_pool_threads(8);
    const std::string eight = forward::data_file_text(records(r));
    sys::set_pool_threads(0);
    EXPECT_GT(one.size(), 200000u);
    EXPECT_EQ(eight, one);
}

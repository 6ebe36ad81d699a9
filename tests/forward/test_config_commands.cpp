// The commands that run an array configuration file: 1140 on borehole models calculated end to
// end (every electrode matched, the apparent resistivity of the half-space), configurations wider
// than the potentials' mesh reaches refused (by 1140 and by 5271), the routine by the number of
// boreholes, the model left as it was on every path, and 5271, which ends with the array type it
// found.
#include "fixture.h"

#include "forward/commands.h"
#include "forward/configurations/configurations.h"
#include "model/array_type.h"
#include "platform/sys/sys.h"
#include "sensitivity/sensitivity_commands.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using namespace forward_test;
using test_support::read_file;

namespace {

// A homogeneous 100 ohm-m model of 21 surface electrodes at spacing a (metres) with
// `boreholes` vertical boreholes of four electrodes each, at x = 6a, 14a and 10a, depths a to 4a.
std::string borehole_model(int boreholes, float a) {
    std::ostringstream t;
    t << "Homogeneous model with " << boreholes << " boreholes\n21\n4\n0\n"
      << a << "\n2\n0 80\n1\n4\n100\n10\n";
    for (int k = 1; k <= 10; ++k)
        t << k * a << (k < 10 ? " " : "\n");
    t << "Boreholes\nNumber of boreholes\n" << boreholes << "\n";
    const int x[3] = {6, 14, 10};
    for (int b = 0; b < boreholes; ++b) {
        t << "Borehole " << b + 1 << "\n4\n";
        for (int k = 1; k <= 4; ++k)
            t << x[b] * a << " " << k * a << "\n";
    }
    for (int row = 0; row < 10; ++row)
        t << std::string(80, '0') << "\n";
    t << "3\n";
    return t.str();
}

// Configurations over the boreholes in metres (new layout): cross-hole, surface to hole and
// hole to surface, each electrode on a model electrode.
std::string borehole_configurations(int boreholes, float a) {
    std::ostringstream t;
    auto at = [&](int x, int z) {
        std::ostringstream p;
        p << x * a << "," << z * a;
        return p.str();
    };
    std::vector<std::string> lines = {
        "4 " + at(6, 1) + " " + at(14, 1) + " " + at(6, 3) + " " + at(14, 3),
        "3 " + at(2, 0) + " " + at(6, 2) + " " + at(14, 2),
        "2 " + at(6, 4) + " " + at(14, 4),
        "4 " + at(4, 0) + " " + at(14, 4) + " " + at(8, 0) + " " + at(12, 0),
    };
    if (boreholes == 3) {
        lines.push_back("4 " + at(10, 1) + " " + at(6, 1) + " " + at(10, 3) + " " + at(6, 3));
        lines.push_back("3 " + at(16, 0) + " " + at(10, 2) + " " + at(6, 2));
    }
    t << "Borehole configurations\nNumber of arrays\n"
      << lines.size() << "\nUnit electrode spacing\n"
      << a << "\nNew format\n";
    for (const std::string& l : lines)
        t << l << "\n";
    return t.str();
}

// The apparent resistivities of the data lines of a general-array file with electrode lists.
std::vector<double> apparent_resistivities(const std::string& text) {
    std::vector<double> values;
    std::istringstream in(text.substr(text.find("Measured Data\n") + 14));
    std::string line;
    while (std::getline(in, line) && line.size() > 2 && line[1] == ' ') {
        for (char& c : line)
            if (c == ',') c = ' ';
        std::istringstream w(line);
        int count;
        double v;
        w >> count;
        for (int i = 0; i <= 2 * count; ++i)
            w >> v;
        values.push_back(v);
    }
    return values;
}

} // namespace

TEST(ConfigurationCommands, BoreholeModelsMatchEveryElectrode) {
    for (const int boreholes : {2, 3})
        for (const float a : {1.0f, 2.5f}) {
            CommandFixture f;
            const std::string model = f.home.write("boreholes.mod", borehole_model(boreholes, a));
            f.read(model);
            ASSERT_EQ(f.calculate(), 130) << f.h.output();
            const std::string configurations =
                f.home.write("configs.txt", borehole_configurations(boreholes, a));
            const std::string out = f.home.file("boreholes.dat");
            f.h.take_output();
            const int array = f.r.m.array_type, ndata = f.r.m.ndata;
            f.h.answer("file " + out + "\ndialog NoiseDiaBox ok\nfile " + configurations +
                       "\nbox yes");
            EXPECT_EQ(save_general_array_file(Progdisplay, f.r.m), 1140);
            const std::string boxes = f.h.take_output();
            EXPECT_TRUE(f.h.answered()) << boxes;
            EXPECT_NE(boxes.find("BOX [ORBANTEL format] Apparent resistivity values saved in "
                                 "file\\n" +
                                 out + "."),
                      std::string::npos)
                << boxes;
            EXPECT_EQ(boxes.find("left out"), std::string::npos) << boxes;
            const std::string text = read_file(out);
            // Three boreholes take the routine that lists every borehole.
            EXPECT_EQ(text.find("Number of boreholes\n3\n") != std::string::npos, boreholes == 3)
                << text;
            const std::vector<double> rho = apparent_resistivities(text);
            ASSERT_EQ(rho.size(), boreholes == 3 ? 6u : 4u) << text;
            for (std::size_t k = 0; k < rho.size(); ++k)
                EXPECT_NEAR(rho[k], 100.0, 5.0)
                    << boreholes << " boreholes, a = " << a << ", " << k;
            // The model keeps its array and its data.
            EXPECT_EQ(f.r.m.array_type, array);
            EXPECT_EQ(f.r.m.ndata, ndata);
        }
}

// The apparent resistivities of configurations come from potentials whose mesh reaches their
// electrodes: on a line of 49 electrodes 1 m apart over 100 ohm-m calculated for Wenner a = 1
// and 2, Wenner a = 16 and a pole-pole across the line (102.7 and 96.5 ohm-m there) are refused
// with nothing written; calculated for a = 1 to 16 they are the half-space's (measured within
// 0.2 %).
TEST(ConfigurationCommands, ConfigurationsBeyondThePotentialsMeshAreRefused) {
    CommandFixture f;
    std::string line = "Homogeneous line\n49\n8\n0\n1.0\n2\n0 1\n1\n4\n100\n12\n0.25 0.5 "
                       "0.75 1.0 1.35 1.75 2.2 2.75 3.4 4.2 5.2 6.5\n";
    for (int row = 0; row < 12; ++row)
        line += "0\n";
    f.read(f.home.write("line.mod", line + "1\n"));
    const std::string configurations =
        f.home.write("wide.txt", "Wide\nNumber of arrays\n2\nUnit electrode spacing\n1\nNew "
                                 "format\n4 0,0 48,0 16,0 32,0\n2 0,0 48,0\n");
    const std::string out = f.home.file("wide.dat");
    for (const char* spacings : {"2", "16"}) {
        const int previous = f.r.m.array_type;
        f.h.answer(std::string("dialog ArrayTypeDiaBox2 set 212 ") + spacings + " ok");
        ASSERT_EQ(ui::run_dialog(ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc), 1);
        calappmod(f.r.m, f.r.limits, f.r.p, 0, &previous);
        ASSERT_EQ(f.calculate(), 130) << f.h.output();
        f.h.take_output();
        f.h.answer("file " + out + "\ndialog NoiseDiaBox click 503 ok\nfile " + configurations);
        if (spacings[0] == '1') f.h.answer("box yes");
        save_general_array_file(Progdisplay, f.r.m);
        EXPECT_TRUE(f.h.answered()) << spacings << ": " << f.h.output();
        const std::string boxes = f.h.take_output();
        if (spacings[0] == '2') {
            const std::string refused =
                "BEEP\nBOX [Message] The widest configuration spans 48.0 unit spacings, but "
                "the\\npotentials were calculated for data up to 6.0 unit spacings\\nwide: their "
                "mesh does not reach far enough for it.\\nChoose wider data with 'Change array "
                "type' and calculate\\nthe potentials again.\n";
            EXPECT_EQ(boxes, refused);
            EXPECT_FALSE(sys::file_exists(out));
            // The sensitivities of non-standard arrays are refused the same and end there: the
            // standard array's would pass for the configurations'.
            f.h.answer("file " + configurations);
            EXPECT_EQ(sensitivity_nonstd_command(Progdisplay, f.r.m, SensitivityHooks{}), 5271);
            EXPECT_EQ(f.h.take_output(), refused);
            continue;
        }
        // The data lines: the electrode count, the positions, the apparent resistivity last.
        std::istringstream text(read_file(out));
        int data = 0;
        for (std::string l; std::getline(text, l);)
            if (l.size() > 40 && (l[0] == '4' || l[0] == '2') && l[1] == ' ') {
                EXPECT_NEAR(std::stod(l.substr(l.find_last_of(' ') + 1)), 100.0, 0.5) << l;
                ++data;
            }
        EXPECT_EQ(data, 2) << read_file(out);
    }
}

// Whatever dialog is cancelled, and after the data are written, the model keeps its array type
// and its datum list with their values: the next data file holds the same data as before.
TEST(ConfigurationCommands, TheModelKeepsItsArrayAndDataOnEveryPath) {
    CommandFixture f;
    f.read(example("homogeneous_wenner.mod"));
    ModelSettings& m = f.r.m;
    m.array_type = 5; // dipole-dipole, its datum list made by the calculation
    ASSERT_EQ(f.calculate(), 130);
    ASSERT_EQ(m.array_type, 5);
    const int ndata = m.ndata;
    const std::vector<float> rho(m.app_resistivity, m.app_resistivity + ndata);
    const std::vector<int> first(m.datum_first_electrode, m.datum_first_electrode + ndata);
    const std::string configurations = f.home.write(
        "configs.txt", "Surface configurations\nNumber of arrays\n2\nUnit electrode spacing\n"
                       "1\nNew format\n4 0,0 3,0 1,0 2,0\n4 2,0 5,0 3,0 4,0\n");
    const std::string out = f.home.file("general.dat");
    const struct {
        const char* name;
        std::string answers;
        bool written;
    } paths[] = {
        {"file dialog", "file cancel", false},
        {"noise dialog", "file " + out + "\ndialog NoiseDiaBox cancel", false},
        {"configuration file", "file " + out + "\ndialog NoiseDiaBox ok\nfile cancel", false},
        {"voltage noise",
         "file " + out + "\ndialog NoiseDiaBox click 504 click 502 set 500 5 ok\nfile " +
             configurations + "\ndialog VoltNoiseDiaBox cancel",
         false},
        {"written",
         "file " + out + "\ndialog NoiseDiaBox click 503 ok\nfile " + configurations + "\nbox yes",
         true},
    };
    for (const auto& p : paths) {
        std::remove(out.c_str());
        f.h.take_output();
        f.h.answer(p.answers);
        EXPECT_EQ(save_general_array_file(Progdisplay, m), 1140) << p.name;
        EXPECT_TRUE(f.h.answered()) << p.name << ": " << f.h.err.str() << f.h.output();
        EXPECT_EQ(sys::file_exists(out), p.written) << p.name << ": " << f.h.output();
        EXPECT_EQ(m.array_type, 5) << p.name;
        ASSERT_EQ(m.ndata, ndata) << p.name;
        EXPECT_EQ(std::vector<float>(m.app_resistivity, m.app_resistivity + ndata), rho) << p.name;
        EXPECT_EQ(std::vector<int>(m.datum_first_electrode, m.datum_first_electrode + ndata), first)
            << p.name;
        EXPECT_EQ(m.data_ready, 1) << p.name;
    }
    // The data file of the model is that of its own array.
    f.h.answer("file " + f.home.file("model.dat") + "\ndialog NoiseDiaBox click 503 ok");
    save_results_command(Progdisplay, m, 1);
    const std::string text = read_file(f.home.file("model.dat"));
    EXPECT_EQ(text.substr(text.find('\n', text.find('\n') + 1) + 1, 2), "3\n") << text;
}

TEST(ConfigurationCommands, NonStandardSensitivityKeepsTheArrayTypeOfACylinderModel) {
    CommandFixture f;
    f.read(example("cylinder_wenner.mod"));
    const int type = f.r.m.array_type;
    f.h.take_output();
    EXPECT_EQ(sensitivity_nonstd_command(Progdisplay, f.r.m, SensitivityHooks{}), 5271);
    const std::string boxes = f.h.take_output();
    // Nothing replaced the datum list: nothing is calculated or rebuilt.
    EXPECT_EQ(boxes, "BEEP\nBOX [Error Message] You must first run the 'Calculate the\\napprent "
                     "resistivity values' option.\n");
    EXPECT_EQ(f.r.m.array_type, type);
    EXPECT_EQ(f.r.m.sens_option_2, 1);
}

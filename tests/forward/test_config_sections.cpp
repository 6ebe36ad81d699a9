// Sensitivity sections of user-defined configurations: the values against the strike integral,
// the grid, the scaling, the potentials, the report (reviewed copy, read back) and the runs of
// many configurations and wide grids.
#include "fixture.h"

#include "../sensitivity/quadrature.h"
#include "display/colours.h"
#include "forward/configurations/config_file.h"
#include "forward/configurations/configurations.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace forward;
using namespace forward_test;
using test_support::read_file;

namespace {

std::string fixture(const std::string& name) {
    return std::string(VELDARIN_TEST_DATA) + "/fixtures/" + name;
}

ConfigurationFile parsed(const std::string& text, float model_spacing = 1.0f) {
    ConfigurationFile f;
    EXPECT_TRUE(parse_configuration_file(text.data(), std::int32_t(text.size()), model_spacing, 0,
                                         100, f, {}));
    return f;
}

// A new-layout file of the given configuration lines on a grid.
std::string new_layout(const std::string& configurations, int count,
                       const std::string& grid_lines = "S\n-2,3,0.25\nz\n0.1,2,0.3\n") {
    return "T\nN\n" + std::to_string(count) + "\nSpacing\n1.0\nNew\n" + configurations +
           grid_lines + "R\n1.0\nI\n1.0\nV\n100.0\n";
}

// The records over the headless backend with a 1024 x 768 screen, the palette's brushes and
// pens, an off-screen canvas and the file dialogs starting in `dir`.
struct Screen : test_support::Headless {
    Records r{61, 4000};
    test_support::TempDir dir{"vd_configs"};
    gfx::Canvas canvas{1024, 1400};
    Screen() {
        backend.set_screen(1024, 768);
        rebuild_display_objects();
        Progdisplay.display_width = 1024;
        Progdisplay.canvas_dc = &canvas;
        Progdisplay.canvas_width = canvas.width();
        Progdisplay.canvas_height = canvas.height();
        model::copy_text(Systemsettings.initial_dir, sizeof Systemsettings.initial_dir,
                         dir.path.c_str());
        r.m.unit_spacing = 1.0f;
        r.m.sens_auto_scale = 1;
        r.m.sens_scale_factor = 10000.0f;
    }
    ~Screen() { Progdisplay.canvas_dc = nullptr; }

    /// Runs the file in sensitivity mode with the answers given; returns the boxes shown.
    std::string run(const std::string& answers) {
        answer(answers);
        sensitivity_array_file(r.m, 0);
        EXPECT_TRUE(answered()) << answers << "\n" << output() << err.str();
        return take_output();
    }
};

// The texts drawn from the section's title on (the lines read come before it).
std::string from(const std::string& texts, const std::string& title) {
    const std::size_t at = texts.find(title);
    return at == std::string::npos ? "" : texts.substr(at);
}

} // namespace

TEST(ConfigurationSections, PolePoleIsTheKernelAndTheIntegratedSectionTheMeanModulus) {
    // C1 at 0 and P1 at 1 with no C2 or P2: the section is F(x, z; 1) itself.
    const ConfigurationFile f =
        parsed(new_layout("2 0.0,0.0 1.0,0.0\n4 0.0,0.0 3.0,0.0 1.0,0.0 2.0,0.0\n", 2));
    SensitivitySections s;
    test_support::Headless h;
    ASSERT_EQ(compute_configuration_sections(f, 1, 10000.0f, s), 0) << h.output();
    ASSERT_TRUE(s.per_configuration);
    ASSERT_EQ(s.values.size(), 3 * s.points());
    ASSERT_GT(s.factor, 1.0f);
    double worst = 0.0;
    for (int j = 0; j < s.nz; ++j)
        for (int i = 0; i < s.nx; ++i) {
            const std::size_t p = std::size_t(j) * s.nx + i;
            const double x = s.x[i], z = s.z[j];
            const double F = sens_test::strike_integral(x, z, 0.0, 0.0, 1.0, 0.0);
            worst = std::max(worst,
                             std::fabs(s.values[p] / s.factor - F) / std::max(1.0, std::fabs(F)));
            const double mean = (std::fabs(s.values[p]) + std::fabs(s.values[s.points() + p])) / 2;
            EXPECT_NEAR(s.integrated()[p], mean, 1e-6 * mean) << x << " " << z;
        }
    EXPECT_LT(worst, 1e-6);
    // Grid positions: x shifted by 0.0004 off the electrodes.
    EXPECT_FLOAT_EQ(s.x[0], -2.0f + 0.0004f);
    EXPECT_EQ(s.nx, 21);
    EXPECT_EQ(s.nz, 7);
}

TEST(ConfigurationSections, RefusesCoincidentElectrodesThatTakePart) {
    test_support::Headless h;
    SensitivitySections s;
    // Old layout: the absent C2 and P2 of a pole-pole stand where the file puts them.
    const std::string old_pole_pole = "T\nN\n2\nS\n1.0\nCoordinates\nW\n0,0\n3,0\n1,0\n2,0\n"
                                      "PP\n0,0\n-1,0\n1,0\n-1,0\nS\n-2,3,0.25\nz\n0.1,2,0.3\n"
                                      "R\n1\nI\n1\nV\n1\n";
    EXPECT_EQ(compute_configuration_sections(parsed(old_pole_pole), 1, 1.0f, s), 1);
    EXPECT_EQ(h.output(), "BEEP\nBOX [Error Message] C2 and P2 electrodes are at the same "
                          "position\\nfor configuration number 2!\n");
    // New layout: absent electrodes take no part, so every pole-pole is not refused.
    EXPECT_EQ(
        compute_configuration_sections(parsed(new_layout("2 0,0 1,0\n2 0,0 2,0\n", 2)), 1, 1.0f, s),
        0);
    EXPECT_EQ(compute_configuration_sections(parsed(new_layout("3 0,0 1,0 1,0\n", 1)), 1, 1.0f, s),
              1);
    EXPECT_NE(h.output().find("P1 and P2 electrodes are at the same position\\nfor "
                              "configuration number 1!"),
              std::string::npos);
    // Electrodes whose distance is beyond the float range: the kernels would be NaN.
    EXPECT_EQ(compute_configuration_sections(parsed(new_layout("2 0,0 1,0\n2 -3e38,0 3e38,0\n", 2)),
                                             1, 1.0f, s),
              1);
    EXPECT_NE(h.output().find("C1 and P1 electrodes are too far apart\\nfor configuration "
                              "number 2!"),
              std::string::npos);
}

TEST(ConfigurationSections, GridDepthAtAnElectrodeMovesAThirdBelow) {
    // C1 at depth 1 m, grid from 0.5 m in steps of 0.5 m: the depth 1 moves to 1 + 0.5 / 3
    // and the surface electrodes' depth 0 is not on the grid.
    const ConfigurationFile f =
        parsed(new_layout("3 0.0,1.0 1.0,0.0 2.0,0.0\n", 1, "S\n-1,3,0.5\nz\n0.5,2,0.5\n"));
    SensitivitySections s;
    test_support::Headless h;
    ASSERT_EQ(compute_configuration_sections(f, 1, 1.0f, s), 0);
    ASSERT_EQ(s.z.size(), 4u);
    EXPECT_EQ(s.z[0], 0.5f);
    EXPECT_FLOAT_EQ(s.z[1], 1.0f + 0.5f * 0.3333f);
    EXPECT_EQ(s.z[2], 1.5f);
    EXPECT_EQ(s.z[3], 2.0f);
}

TEST(ConfigurationSections, FactorBringsTheIntegratedMaximumIntoRange) {
    const struct {
        float largest;
        int auto_scale;
        float factor;
    } cases[] = {{0.02f, 1, 100000.0f}, {2500.0f, 1, 1.0f},   {999.0f, 1, 10.0f},
                 {1000.0f, 1, 1.0f},    {0.0f, 1, 1.0f},      {0.02f, 0, 10000.0f},
                 {1.5f, 1, 1000.0f},    {0.00099f, 1, 1.0e7f}};
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(sensitivity_factor(c.largest, c.auto_scale, 10000.0f), c.factor)
            << c.largest << " " << c.auto_scale;
}

TEST(ConfigurationSections, PotentialOfAWennerConfigurationAndItsColour) {
    // Wenner with a = 1 m over 1 ohm-m at 1 A: 1 / (2 pi) V; the second configuration (a = 0.5 m)
    // has twice that, above the file's minimum of 200 mV.
    const ConfigurationFile f = parsed(new_layout("4 0,0 3,0 1,0 2,0\n4 0,0 1.5,0 0.5,0 1.0,0\n", 2,
                                                  "S\n-1,4,0.5\nz\n0.1,2,0.5\n"));
    SensitivitySections s;
    test_support::Headless h;
    ASSERT_EQ(compute_configuration_sections(f, 1, 1.0f, s), 0);
    ConfigurationFile shown = f;
    shown.grid.min_potential = 200.0f;
    const std::vector<PotentialLine> lines = configuration_potential_lines(shown, s);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, "Array 1 Potential=159.155 mV");
    EXPECT_TRUE(lines[0].below_minimum);
    EXPECT_EQ(lines[1].text, "Array 2 Potential=318.310 mV");
    EXPECT_FALSE(lines[1].below_minimum);
    EXPECT_EQ(lines[2].text, "Resistivity 1.000 Ohm.m");
    EXPECT_EQ(lines[3].text, "Maximum current 1.000 Amp");
    EXPECT_EQ(lines[4].text, "Minimum potential 200.000 mV");
}

TEST(ConfigurationSections, ReportMatchesTheReviewedCopyAndReadsBack) {
    Screen w;
    const std::string report = w.dir.file("two_out.txt");
    w.run("file " + fixture("two_configurations.txt") + "\nfile " + report +
          "\nbox yes\ndialog Sens2DSelDiaBox ok");
    const std::string text = read_file(report);
    const std::string golden =
        std::string(VELDARIN_TEST_DATA) + "/golden/two_configurations_out.txt";
    if (std::getenv("VELDARIN_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << text;
    EXPECT_EQ(text, read_file(golden));
    // The Surfer files of each configuration and of the integrated section.
    for (const char* name : {"two_out_1.dat", "two_out_1_post.dat", "two_out_2.dat",
                             "two_out_2_post.dat", "two_out_total.dat"})
        EXPECT_TRUE(sys::file_exists(w.dir.file(name))) << name;
    EXPECT_EQ(w.r.m.narrays, 2);
    EXPECT_EQ(w.r.m.array_index, 3) << "the integrated section is offered first";
    const std::string drawn = from(w.take_texts(), "Two arrays - integrated sensitivities");
    ASSERT_NE(drawn, "");
    EXPECT_NE(drawn.find("Array 1 Potential=159.155 mV"), std::string::npos) << drawn;
    const gfx::Canvas computed = w.canvas;

    // The report read back is shown as it stands: no save dialog, the same picture.
    const std::string boxes = w.run("file " + report + "\ndialog Sens2DSelDiaBox ok");
    EXPECT_EQ(boxes.find("NOANSWER"), std::string::npos) << boxes;
    EXPECT_EQ(from(w.take_texts(), "Two arrays - integrated sensitivities"), drawn);
    int differing = 0;
    for (int y = 0; y < computed.height(); ++y)
        for (int x = 0; x < computed.width(); ++x)
            differing += computed.get_pixel(x, y) != w.canvas.get_pixel(x, y);
    EXPECT_EQ(differing, 0);

    // A chosen configuration section shows its label in the window.
    w.run("file " + report + "\ndialog Sens2DSelDiaBox set 969 2 ok");
    EXPECT_NE(w.take_texts().find("Two arrays - Buried dipole"), std::string::npos);
}

// The Surfer data file and the electrode post file of a section give z the same way, as the
// elevation: a buried electrode is posted below the surface, at the data file's z of its depth.
TEST(ConfigurationSections, SurferFilesShareTheirDepthConvention) {
    Screen w;
    const std::string input = w.dir.write(
        "buried.txt", new_layout("4 0,1 0,3 2,1 2,3\n", 1, "S\n-1,3,0.5\nz\n0,4,0.5\n"));
    w.run("file " + input + "\nfile " + w.dir.file("buried_out.txt") +
          "\nbox yes\ndialog Sens2DSelDiaBox ok");
    std::ifstream post(w.dir.file("buried_out_1_post.dat"));
    std::string line;
    std::getline(post, line);
    std::vector<float> post_z;
    float x = 0, z = 0;
    while (std::getline(post, line) && std::sscanf(line.c_str(), "%f,%f", &x, &z) == 2)
        post_z.push_back(z);
    EXPECT_EQ(post_z, (std::vector<float>{-1.0f, -3.0f, -1.0f, -3.0f}));
    std::ifstream data(w.dir.file("buried_out_1.dat"));
    std::getline(data, line);
    float lowest = 0.0f, highest = -1.0f, v = 0;
    while (data >> x >> z >> v)
        lowest = std::min(lowest, z), highest = std::max(highest, z);
    EXPECT_FLOAT_EQ(lowest, -4.0f);
    EXPECT_FLOAT_EQ(highest, 0.0f);
}

// The Surfer files of a run that would replace a user's own are asked about once, listed; No
// writes none of them (the report is written). A break typed ahead stops the calculation
// before anything is saved or drawn.
TEST(ConfigurationSections, ExistingSurferFilesAreAskedForOnceAndABreakStops) {
    Screen w;
    w.dir.write("two_out_2.dat", "field data");
    w.dir.write("two_out_total.dat", "totals");
    const std::string boxes =
        w.run("file " + fixture("two_configurations.txt") + "\nfile " + w.dir.file("two_out.txt") +
              "\nbox yes\nbox no\ndialog Sens2DSelDiaBox ok");
    EXPECT_NE(boxes.find("BOX [Surfer format] These files already exist:\\ntwo_out_2.dat\\n"
                         "two_out_total.dat\\nDo you want to replace them?"),
              std::string::npos)
        << boxes;
    EXPECT_EQ(read_file(w.dir.file("two_out_2.dat")), "field data");
    EXPECT_FALSE(sys::file_exists(w.dir.file("two_out_1.dat")));
    EXPECT_TRUE(sys::file_exists(w.dir.file("two_out.txt")));

    w.key('q');
    const std::string stopped = w.run("file " + fixture("two_configurations.txt") + "\nfile " +
                                      w.dir.file("stopped_out.txt") + "\nbox yes");
    EXPECT_NE(stopped.find("Surfer format as well?\nBEEP\nBOX [Message] The sensitivity "
                           "calculation stopped by the user.\\nNothing was saved or drawn.\n"),
              std::string::npos)
        << stopped;
    EXPECT_FALSE(sys::file_exists(w.dir.file("stopped_out.txt")));
    EXPECT_FALSE(sys::file_exists(w.dir.file("stopped_out_1.dat")));
}

TEST(ConfigurationSections, ReportOfTheNewLayoutReadsBack) {
    Screen w;
    const std::string report = w.dir.file("new_out.txt");
    w.run("file " + fixture("two_configurations_new.txt") + "\nfile " + report +
          "\nbox no\ndialog Sens2DSelDiaBox set 969 1 ok");
    const std::string text = read_file(report);
    EXPECT_NE(text.find("Coordinates of electrodes (xc1,zc1,xc2,zc2,xp1,zp1,xp2,zp2)\nArray 1\n"
                        "0.000,0.000\n0.000,0.000\n1.000,0.000\n0.000,0.000\nArray 2\n"),
              std::string::npos)
        << text;
    EXPECT_FALSE(sys::file_exists(w.dir.file("new_out_1.dat")));
    const std::string first = from(w.take_texts(), "Two arrays, new layout - Array 1");
    ASSERT_NE(first, "");
    const std::string boxes = w.run("file " + report + "\ndialog Sens2DSelDiaBox set 969 1 ok");
    EXPECT_EQ(boxes.find("BOX"), std::string::npos) << boxes;
    EXPECT_EQ(from(w.take_texts(), "Two arrays, new layout - Array 1"), first);
}

TEST(ConfigurationSections, SeventeenConfigurationsKeepOnlyTheIntegratedSection) {
    Screen w;
    std::string lines;
    for (int k = 0; k < 17; ++k)
        lines += "2 " + std::to_string(k) + ",0 " + std::to_string(k + 1) + ",0\n";
    const std::string input =
        w.dir.write("many.txt", new_layout(lines, 17, "S\n-1,18,1\nz\n0.5,3,0.5\n"));
    const std::string boxes =
        w.run("file " + input + "\nfile " + w.dir.file("many_out.txt") + "\nbox yes");
    EXPECT_NE(boxes.find("BOX [Message] This file has 17 array configurations.\\nOnly the "
                         "integrated sensitivity values will be shown."),
              std::string::npos)
        << boxes;
    const std::string text = read_file(w.dir.file("many_out.txt"));
    EXPECT_NE(text.find("Sensitivity values\nIntegrated sensitivity values\n16\n"),
              std::string::npos);
    EXPECT_FALSE(sys::file_exists(w.dir.file("many_out_1.dat")));
    EXPECT_TRUE(sys::file_exists(w.dir.file("many_out_total.dat")));
    EXPECT_EQ(w.r.m.array_index, 1);
    EXPECT_NE(w.take_texts().find("T - integrated sensitivities"), std::string::npos);

    // Read back, the report shows its one section again.
    const std::string again = w.run("file " + w.dir.file("many_out.txt"));
    EXPECT_NE(again.find("This file has 17 array configurations."), std::string::npos) << again;
}

TEST(ConfigurationSections, WideGridDrawsNothingButWritesTheReport) {
    Screen w;
    const std::string input =
        w.dir.write("wide.txt", new_layout("4 0,0 3,0 1,0 2,0\n", 1, "S\n-150,150,10\nz\n1,5,1\n"));
    const std::string boxes =
        w.run("file " + input + "\nfile " + w.dir.file("wide_out.txt") + "\nbox no");
    EXPECT_NE(boxes.find("BOX [Error Message] Too many points to calculate sensitivity values\\n"
                         "Try reducing the starting and ending x-distances."),
              std::string::npos)
        << boxes;
    EXPECT_NE(read_file(w.dir.file("wide_out.txt")).find("Number of x points\n31\n"),
              std::string::npos);
    EXPECT_EQ(w.take_texts().find("sensitivities"), std::string::npos);
}

TEST(ConfigurationSections, SectionDialogKeepsTheChoiceInRange) {
    Screen w;
    ModelSettings& m = w.r.m;
    m.narrays = 3;
    // A section outside 1..4, text, or a factor not above 0, is refused and the dialog stays
    // open until Cancel.
    const struct {
        const char* actions;
        int section;
        float factor;
        const char* refused;
    } cases[] = {
        {"set 969 2 set 1253 50 ok", 2, 50.0f, nullptr},
        {"set 969 1 ok", 1, 1000.0f, nullptr},
        {"set 969 0 ok cancel", 4, 1000.0f,
         "The section number must be a whole number from 1 to 4."},
        {"set 969 9 ok cancel", 4, 1000.0f,
         "The section number must be a whole number from 1 to 4."},
        {"set 969 -3 ok cancel", 4, 1000.0f,
         "The section number must be a whole number from 1 to 4."},
        {"set 969 abc ok cancel", 4, 1000.0f,
         "The section number must be a whole number from 1 to 4."},
        {"set 969 2.5 ok cancel", 4, 1000.0f,
         "The section number must be a whole number from 1 to 4."},
        {"set 1253 -5 ok cancel", 4, 1000.0f, "The scaling factor must be a number above 0."},
        {"set 1253 abc ok cancel", 4, 1000.0f, "The scaling factor must be a number above 0."},
        {"set 969 2 set 1253 7 cancel", 4, 1000.0f, nullptr},
    };
    for (const auto& c : cases) {
        m.array_index = 4;
        m.section_scale = 1000.0f;
        w.take_output();
        w.answer(std::string("dialog Sens2DSelDiaBox ") + c.actions);
        ui::run_dialog(Sens2DSelDiaBox, Sens2DSelDiaBoxProc);
        EXPECT_TRUE(w.answered()) << c.actions << w.err.str();
        EXPECT_EQ(m.array_index, c.section) << c.actions;
        EXPECT_EQ(m.section_scale, c.factor) << c.actions;
        EXPECT_EQ(w.take_output(),
                  c.refused ? std::string("BOX [Message] ") + c.refused + "\n" : std::string())
            << c.actions;
    }
}

TEST(ConfigurationSections, WithPotentialsTheDataGoToTheChosenDataFile) {
    Screen w;
    ModelSettings& m = w.r.m;
    m.nelec = 21;
    fill_tables(m, w.r.limits, half_space(100.0), 0.0, 0.0);
    m.pot_values_present = 1;
    m.potentials_span = 20.0f; // exact tables serve every datum of the line
    const std::string input = fixture("two_configurations.txt");
    // No data file chosen yet: said, and the section is still shown.
    std::string boxes = w.run("file " + input + "\nfile " + w.dir.file("a_out.txt") +
                              "\nbox no\ndialog "
                              "Sens2DSelDiaBox ok");
    EXPECT_NE(boxes.find("BOX [Message] The apparent resistivity values of these "
                         "configurations are not saved:\\nno data file has been chosen yet."),
              std::string::npos)
        << boxes;
    // The file chosen by the data-mode command receives the datum of the surface Wenner
    // configuration (the buried one matches no electrode).
    const std::string data = w.dir.file("chosen.dat");
    model::copy_text(m.general_array_file, sizeof m.general_array_file, data.c_str());
    boxes = w.run("file " + input + "\nfile " + w.dir.file("b_out.txt") +
                  "\nbox no\nbox yes\ndialog Sens2DSelDiaBox ok");
    EXPECT_NE(boxes.find("Apparent resistivity values saved in file\\n" + data +
                         ".\\n1 of the 2 array configurations gave no value"),
              std::string::npos)
        << boxes;
    EXPECT_NE(read_file(data).find("   100.0000\n"), std::string::npos) << read_file(data);
}

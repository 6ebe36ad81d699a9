// The section of a standard, general or borehole array: electrodes, grid, scaling, depth of
// investigation, the Surfer files and the drawing, through calc_sensitivity_standard_arrays.
#include "fixture.h"

#include "sensitivity/section_display.h"
#include "sensitivity/standard_arrays.h"
#include "support/files.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using sens_test::Session;

// The electrodes C1, C2, P1, P2 the array buttons place for each code.
sens::Electrodes at(float c1, float c2, float p1, float p2) {
    sens::Electrodes e;
    const float x[4] = {c1, c2, p1, p2};
    std::copy(x, x + 4, e.x);
    return e;
}

std::vector<std::string> lines_of(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(SectionGrid, DefaultUniformAndVariableSpacing) {
    const sens::Electrodes wenner = at(0.0f, 1.0f, 1.0f / 3.0f, 2.0f / 3.0f);
    sens::GridPositions g;
    ASSERT_TRUE(
        sens::grid_positions(1, wenner, 1.0f / 3.0f, -1.0f, 2.0f, 0.02f, 0.01f, 1.0f, 0.02f, 0, g));
    ASSERT_EQ(g.x.size(), 151u);
    ASSERT_EQ(g.z.size(), 51u); // 49.5 spacings round up to 50
    EXPECT_FLOAT_EQ(g.x.front(), -0.9999f);
    EXPECT_NEAR(g.z.back(), 1.01f, 1e-6f);

    // Variable spacings end exactly at the maxima, coarser away from the electrodes.
    ASSERT_TRUE(
        sens::grid_positions(1, wenner, 1.0f / 3.0f, -1.0f, 2.0f, 0.02f, 0.01f, 1.0f, 0.02f, 1, g));
    EXPECT_EQ(g.x.back(), 2.0f);
    EXPECT_EQ(g.z.back(), 1.0f);
    EXPECT_EQ(g.x.front(), -1.0f);
    EXPECT_NEAR(g.x[1] - g.x[0], 0.06f, 1e-6f);
    EXPECT_LT(g.x.size(), 151u);
    EXPECT_LT(g.z.size(), 51u);

    sens::Electrodes borehole = at(0.0f, 0.0f, 1.0f, 1.0f);
    const float depths[4] = {0.5f, 2.0f, 0.5f, 2.0f};
    std::copy(depths, depths + 4, borehole.z);
    ASSERT_TRUE(
        sens::grid_positions(12, borehole, 1.0f, -1.0f, 2.0f, 0.05f, 0.0f, 3.0f, 0.05f, 1, g));
    EXPECT_EQ(g.x.back(), 2.0f);
    EXPECT_EQ(g.z.back(), 3.0f);
    // No depth within 0.01 of an electrode: such a depth moves 0.01 below it.
    for (const float z : g.z)
        for (const float ze : depths)
            EXPECT_GE(std::fabs(z - ze), 0.0099f) << z;
    // On the surface every depth within 0.01 of it becomes 0.01.
    ASSERT_TRUE(sens::grid_positions(1, wenner, 1.0f / 3.0f, -1.0f, 2.0f, 0.02f, 0.005f, 1.0f,
                                     0.02f, 0, g));
    EXPECT_FLOAT_EQ(g.z.front(), 0.01f);

    // Counts no memory can hold, and spacings that would never end, are refused.
    EXPECT_FALSE(
        sens::grid_positions(1, wenner, 0.3f, -1e30f, 1e30f, 0.02f, 0.01f, 1.0f, 0.02f, 0, g));
    EXPECT_FALSE(
        sens::grid_positions(1, wenner, 0.3f, -1.0f, 2.0f, 0.0f, 0.01f, 1.0f, 0.02f, 1, g));
    ASSERT_TRUE(sens::grid_positions(1, wenner, 0.3f, 1e9f, 1e9f + 500.0f, 0.02f, 0.01f, 1.0f,
                                     0.02f, 1, g));
    EXPECT_EQ(g.x.back(), 1e9f + 500.0f);
}

// The distance scale of a section has a tick every half unit while they are at most 4097;
// wider ranges double the step until they are. A range of 2e12 units (a valid grid of 2001
// points at a spacing of 1e9) asked for 2^30 ticks: 8 GB and minutes of drawing; a range
// beyond the float range for as many.
TEST(SectionGrid, DistanceScaleTicksOfWideRanges) {
    const struct {
        float x_min, x_max;
        std::size_t ticks;
        float step;
    } cases[] = {{-30.0f, 30.0f, 121, 0.5f},
                 {0.0f, 2048.0f, 4097, 0.5f},
                 {0.0f, 2049.0f, 2050, 1.0f},
                 {-1e12f, 1e12f, 3726, 536870912.0f},
                 {-3e38f, 3e38f, 1, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x_max);
        std::vector<float> x, z;
        surface_ticks(c.x_min, c.x_max, x, z);
        ASSERT_EQ(x.size(), c.ticks);
        EXPECT_EQ(z.size(), c.ticks);
        if (c.ticks > 2) {
            EXPECT_EQ(x[1] - x[0], c.step);
        }
        EXPECT_EQ(x.back(), c.x_max - c.x_min);
    }
}

TEST(SectionScaling, FactorBringsTheLargestValueAbove100) {
    const struct {
        float largest;
        int automatic;
        float factor;
    } cases[] = {{0.0387f, 1, 10000.0f}, {1500.0f, 1, 1.0f}, {1000.0f, 1, 1.0f}, {100.0f, 1, 10.0f},
                 {999.0f, 1, 1.0f},      {0.0f, 1, 1.0f},    {0.0387f, 0, 25.0f}};
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(sens::scale_factor(c.largest, c.automatic, 25.0f), c.factor)
            << c.largest << " " << c.automatic;
}

TEST(SectionDepth, MedianDepthOfInvestigationByArray) {
    const struct {
        int code;
        sens::Electrodes e;
        float depth;
    } cases[] = {{1, at(0.0f, 1.0f, 1.0f / 3.0f, 2.0f / 3.0f), 0.1730f},
                 {2, at(1.0f / 3.0f, 0.0f, 2.0f / 3.0f, 1.0f), 0.1386f},
                 {3, at(0.0f, 2.0f / 3.0f, 1.0f / 3.0f, 1.0f), 0.1984f},
                 {6, at(0.0f, 1000.0f, 0.5f, 1.0f), 0.2595f},
                 {4, at(0.0f, -1000.0f, 1.0f, 1000.0f), 0.8413f}};
    for (const auto& c : cases) {
        const sens::Electrodes e = sens::adjusted_electrodes(c.code, c.e);
        EXPECT_NEAR(sens::section_depth_of_investigation(c.code, e), c.depth, 5e-5f) << c.code;
    }
}

TEST(SectionElectrodes, AdjustedCopiesAndCoincidences) {
    sens::Electrodes e = at(0.2f, 0.9f, 0.4f, 0.6f);
    std::fill(e.z, e.z + 4, 0.5f);
    const sens::Electrodes pp = sens::adjusted_electrodes(4, e);
    EXPECT_EQ(pp.x[1], -1000.0f);
    EXPECT_EQ(pp.x[3], 1000.0f);
    EXPECT_EQ(pp.z[2], 0.0f);
    EXPECT_EQ(sens::adjusted_electrodes(6, e).x[1], -1000.0f);
    EXPECT_EQ(sens::adjusted_electrodes(12, e).z[0], 0.5f);

    const struct {
        int a, b;
        const char* message;
    } pairs[] = {{0, 1, "C1 and C2"}, {0, 2, "C1 and P1"}, {0, 3, "C1 and P2"},
                 {1, 2, "C2 and P1"}, {1, 3, "C2 and P2"}, {2, 3, "P1 and P2"}};
    for (const auto& p : pairs) {
        sens::Electrodes c = at(0.0f, 1.0f, 2.0f, 3.0f);
        c.x[p.b] = c.x[p.a];
        const char* m = sens::coincident_electrodes(c, nullptr);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(std::string(m), std::string(p.message) + " electrodes are at the same position!");
    }
    // Same x at another depth is no coincidence; dmin is the smallest distance.
    sens::Electrodes b = at(0.0f, 0.0f, 1.0f, 1.5f);
    b.z[1] = 2.0f;
    float dmin = 0.0f;
    EXPECT_EQ(sens::coincident_electrodes(b, &dmin), nullptr);
    EXPECT_FLOAT_EQ(dmin, 0.5f);
}

TEST(SectionFiles, PostFileNameBesideTheDataFile) {
    const struct {
        const char *data, *post;
    } cases[] = {{"/tmp/out/section.dat", "/tmp/out/section_post.dat"},
                 {"/tmp/out.d/section", "/tmp/out.d/section_post.dat"},
                 {"section", "section_post.dat"},
                 {"c:\\work.1\\sens.txt", "c:\\work.1\\sens_post.dat"},
                 {"a.b.dat", "a.b_post.dat"}};
    for (const auto& c : cases)
        EXPECT_EQ(sens::post_file_path(c.data), c.post);
}

// A section whose values are all too small for five decimals (a constant factor far below the
// automatic one) keeps each value's size, judged against the section's largest value; a
// section scaled as usual is written in five decimals, down to the values it shows as zero.
TEST(SectionFiles, ValuesTooSmallForFiveDecimalsKeepTheirSize) {
    const struct {
        float values[4];
        const char* lines;
    } cases[] = {
        {{1e-30f, -2.5e-31f, 3.3e-29f, 0.0f},
         " 0.000 -0.250     1e-30\n 0.500 -0.250  -2.5e-31\n"
         " 0.000 -0.750   3.3e-29\n 0.500 -0.750   0.00000\n"},
        {{0.0123456f, -0.00098765f, 4e-7f, 0.02f},
         " 0.000 -0.250 0.0123456\n 0.500 -0.250 -0.00098765\n"
         " 0.000 -0.750   0.00000\n 0.500 -0.750   0.02000\n"},
        {{250.0f, 0.0123456f, 1e-7f, -3.5f},
         " 0.000 -0.250 250.00000\n 0.500 -0.250   0.01235\n"
         " 0.000 -0.750   0.00000\n 0.500 -0.750  -3.50000\n"},
    };
    test_support::TempDir dir{"vd_section_files"};
    sens::GridPositions grid;
    grid.x = {0.0f, 0.5f};
    grid.z = {0.25f, 0.75f};
    for (const auto& c : cases) {
        const std::string path = dir.path + "s.dat";
        ASSERT_TRUE(sens::save_surfer_data(path, grid, c.values, 1.0f));
        EXPECT_EQ(test_support::read_file(path),
                  std::string("\"X-location\",\"Z-location\",\"Sensitivity x 1.0\"\n") + c.lines);
    }
}

// The whole routine with the record's sensitivity block on a window of 1024 x 708 pixels and
// an off-screen canvas.
struct SectionRun : sens_test::CanvasSession {
    void wenner_alpha() {
        ModelSettings& m = Modelsettings;
        m.sens_array_type = 1;
        m.sens_c1_x = 0.0f, m.sens_c2_x = 1.0f, m.sens_p1_x = 1.0f / 3.0f,
        m.sens_p2_x = 2.0f / 3.0f;
    }
    void run() {
        calc_sensitivity_standard_arrays(Modelsettings, Progdisplay, ui::window_canvas());
    }
    bool blank(const gfx::Canvas& c) const {
        return std::all_of(c.pixels().begin(), c.pixels().end(),
                           [](gfx::Colour p) { return p == gfx::white; });
    }
};

TEST(StandardArraySection, DefaultWennerAlphaFiles) {
    SectionRun r;
    r.wenner_alpha();
    r.answer("file " + r.dir.path + "wa.dat");
    r.run();
    EXPECT_TRUE(r.answered()) << r.err.str();
    EXPECT_EQ(r.output(), "");
    const auto data = lines_of(r.dir.path + "wa.dat");
    ASSERT_EQ(data.size(), 1u + 151u * 51u);
    EXPECT_EQ(data[0].rfind("\"X-location\",\"Z-location\",\"Sensitivity x ", 0), 0u);
    EXPECT_EQ(data[1].substr(0, 14), "-1.000 -0.010 ");
    EXPECT_EQ(data.back().substr(0, 14), " 2.000 -1.010 ");
    // The point (0.5001, 0.11): the Wenner alpha value there times the factor.
    float factor = 0.0f;
    std::sscanf(data[0].c_str(), "\"X-location\",\"Z-location\",\"Sensitivity x %f", &factor);
    std::istringstream line(data[1 + 5 * 151 + 75]);
    float x = 0, z = 0, v = 0;
    line >> x >> z >> v;
    EXPECT_FLOAT_EQ(x, 0.5f);
    EXPECT_FLOAT_EQ(z, -0.11f);
    const sens::Electrodes e;
    EXPECT_NEAR(v, factor * sens::array_kernel_sum(1, 1.0f, e, 0.5001f, 0.11f), 1e-5f * factor);

    const auto post = lines_of(r.dir.path + "wa_post.dat");
    const std::vector<std::string> expected = {
        "\"X-location\",\"Z-location\",\"Electrode\",\"Symbol set:index\"",
        "        0.000,        0.000,1,Default symbols:0",
        "        1.000,        0.000,2,Default symbols:0",
        "        0.333,        0.000,3,Default symbols:0",
        "        0.667,        0.000,4,Default symbols:0"};
    EXPECT_EQ(post, expected);

    // Drawn in the window and again on the canvas, with the depth of investigation.
    const std::string texts = r.take_texts();
    EXPECT_NE(texts.find("Wenner alpha array"), std::string::npos);
    EXPECT_NE(texts.find("Medium depth of investigation 0.1730"), std::string::npos);
    EXPECT_FALSE(r.blank(ui::window_canvas()));
    EXPECT_FALSE(r.blank(r.canvas));
    EXPECT_EQ(Progdisplay.res_levels[15], 256.0f);
}

TEST(StandardArraySection, PolePoleAndBoreholeFiles) {
    SectionRun r;
    ModelSettings& m = Modelsettings;
    m.sens_array_type = 4; // as its button places the electrodes
    m.sens_c1_x = 0.0f, m.sens_c2_x = -1000.0f, m.sens_p1_x = 1.0f, m.sens_p2_x = 1000.0f;
    r.answer("file " + r.dir.path + "pp.dat");
    r.run();
    const auto post = lines_of(r.dir.path + "pp_post.dat");
    ASSERT_EQ(post.size(), 5u);
    EXPECT_EQ(post[2], "    -1000.000,        0.000,2,Default symbols:0");
    EXPECT_EQ(post[4], "     1000.000,        0.000,4,Default symbols:0");
    EXPECT_NE(r.take_texts().find("Medium depth of investigation 0.8413"), std::string::npos);

    // The borehole array keeps its depths, writes them as the data file does (negative below
    // the surface), and shows no depth.
    m.sens_array_type = 12;
    m.sens_c1_x = 0.0f, m.sens_c2_x = 0.0f, m.sens_p1_x = 1.0f, m.sens_p2_x = 1.0f;
    m.sens_c1_z = 0.25f, m.sens_c2_z = 0.75f, m.sens_p1_z = 0.25f, m.sens_p2_z = 0.75f;
    m.sens_x_min = -0.5f, m.sens_x_max = 1.5f, m.sens_x_step = 0.05f, m.sens_z_step = 0.05f;
    r.answer("file " + r.dir.path + "bh.dat");
    r.run();
    const auto bh = lines_of(r.dir.path + "bh_post.dat");
    ASSERT_EQ(bh.size(), 5u);
    EXPECT_EQ(bh[2], "        0.000,       -0.750,2,Default symbols:0");
    EXPECT_EQ(bh[1], "        0.000,       -0.250,1,Default symbols:0");
    const std::string texts = r.take_texts();
    EXPECT_NE(texts.find("Borehole array"), std::string::npos);
    EXPECT_EQ(texts.find("Medium depth"), std::string::npos);
    EXPECT_TRUE(r.answered()) << r.err.str();
}

TEST(StandardArraySection, CoincidentElectrodesGiveOnlyTheirMessage) {
    SectionRun r;
    ModelSettings& m = Modelsettings;
    m.sens_array_type = 11;
    m.sens_c1_x = 0.0f, m.sens_c2_x = 1.0f, m.sens_p1_x = 0.5f, m.sens_p2_x = 0.5f;
    r.run(); // no file answer is queued: the dialog must not open
    EXPECT_EQ(r.output(), "BEEP\nBOX [Message] P1 and P2 electrodes are at the same position!\n");
    EXPECT_TRUE(r.blank(ui::window_canvas()));
    EXPECT_TRUE(r.blank(r.canvas));
}

// A section that would hold NaN or infinite values is refused: no file and no drawing. Electrodes
// at +-3e38 gave 7701 NaN values, a constant factor of 3e38 infinities.
TEST(StandardArraySection, ValuesBeyondTheFloatRangeAreRefused) {
    const struct {
        int code;
        float c1, c2, p1, p2;
        int auto_scale;
        float factor;
        const char* message;
    } cases[] = {
        {11, -3e38f, 3e38f, -1e38f, 1e38f, 1, 100.0f,
         "BOX [Message] C1 and C2 electrodes are too far apart!"},
        {11, 0.0f, 1.0f, 2e19f, 0.5f, 1, 100.0f,
         "BOX [Message] C1 and P1 electrodes are too far apart!"},
        {1, 0.0f, 1.0f, 1.0f / 3.0f, 2.0f / 3.0f, 0, 3e38f,
         "BOX [Error Message] Some of the sensitivity values are not finite numbers (NaN or "
         "infinity)!\\nThey have not been saved."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        SectionRun r;
        ModelSettings& m = Modelsettings;
        m.sens_array_type = c.code;
        m.sens_c1_x = c.c1, m.sens_c2_x = c.c2, m.sens_p1_x = c.p1, m.sens_p2_x = c.p2;
        m.sens_auto_scale = c.auto_scale;
        m.sens_scale_factor = c.factor;
        // Electrodes too far apart are refused before the file dialog; values beyond the float
        // range once computed, after it (the file is chosen before the grid is computed).
        const bool computed = c.code == 1;
        if (computed) r.answer("file " + r.dir.path + "infinite.dat");
        r.run();
        EXPECT_TRUE(r.answered()) << r.err.str();
        EXPECT_EQ(r.output(), std::string("BEEP\n") + c.message + "\n");
        EXPECT_TRUE(r.blank(r.canvas));
        EXPECT_TRUE(std::filesystem::is_empty(r.dir.folder()));
    }
}

TEST(StandardArraySection, UnwritableFileIsReportedAndTheSectionStillDrawn) {
    SectionRun r;
    r.wenner_alpha();
    // The post file's name is taken by a folder: the data file must not stay either.
    std::filesystem::create_directory(r.dir.path + "wa_post.dat");
    r.answer("file " + r.dir.path + "wa.dat");
    r.run();
    EXPECT_EQ(r.take_output(), "BEEP\nBOX [Error Message] There has been an error in creating\\n"
                               "the file " +
                                   r.dir.path + "wa_post.dat.\n");
    EXPECT_FALSE(sys::file_exists(r.dir.path + "wa.dat"));
    EXPECT_NE(r.take_texts().find("Medium depth of investigation 0.1730"), std::string::npos);

    // A full disk: the old data file keeps its contents and no post file appears.
    std::filesystem::remove(r.dir.path + "wa_post.dat");
    r.dir.write("wa.dat", "old");
    sys::set_save_failure(1000);
    r.answer("file " + r.dir.path + "wa.dat\nbox yes");
    r.run();
    sys::set_save_failure(-1);
    EXPECT_NE(r.take_output().find("the file " + r.dir.path + "wa.dat."), std::string::npos);
    EXPECT_EQ(test_support::read_file(r.dir.path + "wa.dat"), "old");
    EXPECT_FALSE(std::filesystem::exists(r.dir.path + "wa_post.dat"));

    r.answer("file " + r.dir.path + "missing/wa.dat");
    r.run();
    EXPECT_NE(r.take_output().find("the file " + r.dir.path + "missing/wa.dat."),
              std::string::npos);
    EXPECT_FALSE(r.blank(r.canvas));
}

// The data file and its post file are asked about once when either exists, listed; No asks
// for another name.
TEST(StandardArraySection, ExistingFilesAreAskedForOnce) {
    SectionRun r;
    r.wenner_alpha();
    r.dir.write("wa.dat", "field data");
    r.dir.write("wa_post.dat", "field posts");
    r.answer("file " + r.dir.path + "wa.dat");
    r.answer("box no");
    r.answer("file " + r.dir.path + "wb.dat");
    r.run();
    EXPECT_EQ(r.take_output(), "BOX [File to save sensitivity values in SURFER format] These files "
                               "already exist:\\nwa.dat\\nwa_post.dat\\nDo you want to replace "
                               "them?\n");
    EXPECT_EQ(test_support::read_file(r.dir.path + "wa.dat"), "field data");
    EXPECT_EQ(test_support::read_file(r.dir.path + "wa_post.dat"), "field posts");
    EXPECT_TRUE(sys::file_exists(r.dir.path + "wb_post.dat"));
    // The post file alone: the same question, for it.
    r.answer("file " + r.dir.path + "wa_new.dat");
    r.dir.write("wa_new_post.dat", "field posts");
    r.answer("box yes");
    r.run();
    EXPECT_EQ(r.take_output(), "BOX [File to save sensitivity values in SURFER format] "
                               "wa_new_post.dat already exists.\\nDo you want to replace it?\n");
    EXPECT_NE(test_support::read_file(r.dir.path + "wa_new_post.dat"), "field posts");
    EXPECT_TRUE(r.answered()) << r.err.str();
}

// A grid whose data file the free disk of its folder cannot hold is refused with the sizes,
// before it is computed; a break typed ahead stops the calculation with nothing saved or drawn.
TEST(StandardArraySection, GridsWithinTheDiskAndStoppable) {
    {
        SectionRun r;
        r.wenner_alpha();
        sys::set_free_disk_override(100000);
        r.answer("file " + r.dir.path + "wa.dat");
        r.run();
        sys::set_free_disk_override(-1);
        const std::string refused = r.take_output();
        EXPECT_EQ(refused.rfind("BEEP\nBOX [Message] The sensitivity grid of 7701 points is too "
                                "large:\\nits arrays need 0.2 MB of memory and its files 0.2 MB "
                                "of disk space in\\n" +
                                    r.dir.folder() + ",\\nand ",
                                0),
                  0u)
            << refused;
        EXPECT_NE(refused.find(" MB of memory and 0.1 MB of disk space are free.\\nA coarser "
                               "spacing or a smaller range needs less.\n"),
                  std::string::npos)
            << refused;
        EXPECT_TRUE(std::filesystem::is_empty(r.dir.folder()));
        EXPECT_TRUE(r.blank(r.canvas));
        EXPECT_TRUE(r.answered()) << r.err.str();
    }
    SectionRun r;
    r.wenner_alpha();
    r.key('q');
    r.answer("file " + r.dir.path + "wa.dat");
    r.run();
    EXPECT_EQ(r.take_output(), "BEEP\nBOX [Message] The sensitivity calculation stopped by the "
                               "user.\\nNothing was saved or drawn.\n");
    EXPECT_TRUE(std::filesystem::is_empty(r.dir.folder()));
    EXPECT_TRUE(r.blank(r.canvas));
    EXPECT_TRUE(r.answered()) << r.err.str();
}

TEST(StandardArraySection, WideRangeCancelAndRefusedMemory) {
    SectionRun r;
    r.wenner_alpha();
    ModelSettings& m = Modelsettings;
    // 60 units: a surface profile of 121 points (labels on every 16th).
    m.sens_x_min = -30.0f, m.sens_x_max = 30.0f, m.sens_x_step = 0.1f;
    r.answer("file cancel");
    r.run();
    EXPECT_EQ(r.output(), "");
    const std::string texts = r.take_texts();
    EXPECT_NE(texts.find("Medium depth of investigation 0.1730"), std::string::npos);
    EXPECT_NE(texts.find("\n-30.0\n"), std::string::npos);
    EXPECT_NE(texts.find("\n26\n"), std::string::npos); // point 113 of the profile
    EXPECT_TRUE(std::filesystem::is_empty(r.dir.folder()));

    // Memory the arrays do not fit in: the grid is refused with its size, before it is computed.
    m.sens_x_min = -1.0f, m.sens_x_max = 2.0f, m.sens_x_step = 0.02f;
    sys::set_page_budget(4096);
    r.answer("file cancel");
    r.run();
    sys::set_page_budget(-1);
    EXPECT_EQ(r.take_output(),
              "BEEP\nBOX [Message] The sensitivity grid of 7701 points is too large:\\nits arrays "
              "need 0.2 MB of memory, and 0.0 MB are free.\\nA coarser spacing or a smaller "
              "range needs less.\n");
    EXPECT_TRUE(r.answered()) << r.err.str();
}

} // namespace

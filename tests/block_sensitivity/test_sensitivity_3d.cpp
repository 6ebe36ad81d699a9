// 3-D sensitivity: the point kernel against values worked by hand and against the 2-D kernel
// once integrated along strike, the dialog's presets and bounds, and the two output formats.
#include "sensitivity/sensitivity_3d.h"

#include "model/globals.h"
#include "platform/sys/sys.h"
#include "support/files.h"
#include "support/recording_backend.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(Sensitivity3D, PointKernelValues) {
    struct Case {
        float x, y, z, expected;
    } cases[] = {{0.0f, 0.0f, 1.0f, 0.0089556f},
                 {1.5f, 0.5f, 0.5f, 0.0106895f},
                 {0.5f, 0.0f, 0.5f, 0.0f},
                 {0.0f, 0.0f, 0.0f, 0.0f},
                 {1.0f, 0.0f, 0.0f, 0.0f}};
    for (const Case& c : cases)
        EXPECT_NEAR(sens3d_pole_pole(c.x, c.y, c.z, 1.0f, 0.0f), c.expected, 1e-7)
            << c.x << " " << c.y << " " << c.z;
}

// Integrated along y the point kernel is the 2-D pole-pole kernel (-0.068790 at x 0.3, z 0.2;
// 0.027520 at x 1.5, z 0.5, for poles 1 apart).
TEST(Sensitivity3D, StrikeIntegralIsTheTwoDimensionalKernel) {
    struct Case {
        float x, z;
        double f2d;
    } cases[] = {{0.3f, 0.2f, -0.068790}, {1.5f, 0.5f, 0.027520}};
    for (const Case& c : cases) {
        // y = L tan(t) maps the line onto (-pi/2, pi/2); composite Simpson in t.
        const int n = 20000;
        const double lo = -M_PI / 2, h = M_PI / n;
        double sum = 0.0;
        for (int i = 1; i < n; ++i) {
            const double t = lo + i * h, y = std::tan(t), dy = 1.0 / (std::cos(t) * std::cos(t));
            sum += (i % 2 ? 4.0 : 2.0) * sens3d_pole_pole(c.x, float(y), c.z, 1.0f, 0.0f) * dy;
        }
        EXPECT_NEAR(sum * h / 3.0, c.f2d, 1e-5) << c.x;
    }
}

TEST(Sensitivity3D, StemKeepsDotsOfFolders) {
    char out[64];
    struct Case {
        const char *in, *expected;
    } cases[] = {{"a/b.c/file.txt", "a/b.c/file"},
                 {"a/b.c/file", "a/b.c/file"},
                 {"C:\\x.y\\name", "C:\\x.y\\name"},
                 {"f.1.txt", "f.1"}};
    for (const Case& c : cases) {
        strip_extension_append(out, sizeof out, c.in, "");
        EXPECT_STREQ(out, c.expected);
    }
}

class Output3D : public testing::Test {
  protected:
    void SetUp() override { ui::install_backend(&backend); }
    void TearDown() override { ui::install_backend(nullptr); }
    test_support::TempDir dir{"vd_sens3d"};
    test_support::GlobalRecords records;
    test_support::RecordingBackend backend;
};

TEST_F(Output3D, DefaultGridWritesTwentySurferLevelsAndTheLevelFile) {
    Array3DSens& r = Array3dsens;
    r.accepted = 1;
    std::snprintf(r.output_path, sizeof r.output_path, "%sstem.txt", dir.path.c_str());
    calc_3d_sensitivity(r);
    for (int k = 1; k <= 20; ++k) {
        const std::string text =
            test_support::read_file(dir.path + "stem" + std::to_string(k) + ".dat");
        int lines = 0;
        for (char ch : text)
            lines += ch == '\n';
        ASSERT_EQ(lines, 1 + 81 * 61) << k;
    }
    const std::string first = test_support::read_file(dir.path + "stem1.dat");
    EXPECT_EQ(first.substr(0, first.find('\n') + 1),
              "\"X-location\",\"Y-location\",\"Sensitivity (x 0.01) at Z=0.05\"\n");
    const std::string lvl = test_support::read_file(dir.path + "stem.lvl");
    int lines = 0;
    for (char ch : lvl)
        lines += ch == '\n';
    EXPECT_EQ(lines, 2 + 27);
    EXPECT_NE(lvl.find("-8192 0\"Black\" \"Solid\" 0 \"R0 G0 B70\" \"White\" \"Solid\" 2\n"),
              std::string::npos);
    EXPECT_NE(lvl.find(" 8192 0\"Black\" \"Solid\" 0 \"R96 G0 B76\" \"White\" \"Solid\" 2\n"),
              std::string::npos);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].text.substr(backend.boxes[0].text.rfind(' ') + 1),
              dir.path + "stem20.dat");
}

TEST_F(Output3D, SlicerVolumeHoldsEveryPointAndTheSignedRoot) {
    Array3DSens& r = Array3dsens;
    r.accepted = 1;
    r.output_format = 1;
    r.data_type = 1;
    r.x_end = 0.5f, r.y_end = -1.0f, r.z_end = 0.3f; // 41 x 11 x 6 points
    std::snprintf(r.output_path, sizeof r.output_path, "%svol.txt", dir.path.c_str());
    calc_3d_sensitivity(r);
    EXPECT_EQ(sys::file_size(dir.path + "vol.bin"), 4LL * 41 * 11 * 6);
    const std::string meta = test_support::read_file(dir.path + "vol.txt");
    EXPECT_EQ(meta.rfind(
                  "\"generic metadata\"\n\"" + dir.path + "vol.bin\"\n\"Sensitivity (Sqrt)\"\n", 0),
              0u);
    EXPECT_NE(meta.find("\"Z\" 6  0 0\n\"Y\" 11  0 0\n\"X\" 41  0 0\nArray Type Wenner Alpha\n"),
              std::string::npos);
    // The first value: the signed square root of the Wenner alpha kernel there.
    const std::string bin = test_support::read_file(dir.path + "vol.bin");
    float first = 0.0f;
    std::memcpy(&first, bin.data(), 4);
    const float v = sens3d_wenner_alpha(-1.5f, -1.5f, 0.05f, 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(first, v >= 0 ? std::sqrt(v) : -std::sqrt(-v));
}

TEST_F(Output3D, BadSpacingsAndUncreatableFilesAreRefused) {
    Array3DSens& r = Array3dsens;
    r.accepted = 1;
    r.y_step = 0.0f;
    std::snprintf(r.output_path, sizeof r.output_path, "%sx.txt", dir.path.c_str());
    calc_3d_sensitivity(r);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].line(), "Message: The grid spacings must be positive.");
    EXPECT_FALSE(sys::file_exists(dir.path + "x1.dat"));
    r.y_step = 0.5f;
    std::snprintf(r.output_path, sizeof r.output_path, "%sno/dir/x.txt", dir.path.c_str());
    calc_3d_sensitivity(r);
    ASSERT_EQ(backend.boxes.size(), 2u);
    EXPECT_EQ(backend.boxes[1].line(),
              "Error Message: Error in creating file\n" + dir.path + "no/dir/x1.dat");
}

// Grids whose point count overflows, or could not be held, are refused before anything is
// allocated or written: 4194304 points an axis make 2^66 points, 0 in 64 bits.
TEST_F(Output3D, GridsBeyondMemoryAreRefusedWithTheMemoryMessage) {
    const struct {
        float start, end, step;
    } cases[] = {{0.0f, 4194303.0f, 1.0f}, {0.0f, 3e38f, 1e-30f}, {-3e38f, 3e38f, 1.0f}};
    const std::string refused = "Message: The sensitivity grid has more than 1e15 points: no "
                                "memory holds it.\nA coarser spacing or a smaller range needs "
                                "less.";
    for (const auto& c : cases) {
        Array3DSens& r = Array3dsens;
        r.accepted = 1;
        r.x_start = r.y_start = r.z_start = c.start;
        r.x_end = r.y_end = r.z_end = c.end;
        r.x_step = r.y_step = r.z_step = c.step;
        std::snprintf(r.output_path, sizeof r.output_path, "%sbig.txt", dir.path.c_str());
        backend.boxes.clear();
        calc_3d_sensitivity(r);
        ASSERT_EQ(backend.boxes.size(), 1u) << c.end;
        EXPECT_EQ(backend.boxes[0].line(), refused);
        EXPECT_FALSE(sys::file_exists(dir.path + "big1.dat"));
    }
}

// Levels far below the array hold values too small for four decimals (1e-7 at 100 units, a few
// hundredths at 2): each level file keeps every value's size, and so does the range line of
// the volume's metadata.
TEST_F(Output3D, DeepLevelsKeepTheSizeOfTheirValues) {
    for (const float depth : {100.0f, 2.0f}) {
        SCOPED_TRACE(depth);
        Array3DSens& r = Array3dsens;
        r.accepted = 1;
        r.x_start = 0.0f, r.x_end = 1.0f, r.x_step = 0.5f;
        r.y_start = 0.0f, r.y_end = 0.5f, r.y_step = 0.5f;
        r.z_start = depth, r.z_end = depth + 0.05f, r.z_step = 0.05f;
        for (const int format : {0, 1}) {
            r.output_format = format;
            std::snprintf(r.output_path, sizeof r.output_path, "%sdeep.txt", dir.path.c_str());
            calc_3d_sensitivity(r);
        }
        std::vector<float> values;
        for (int k = 0; k < 2; ++k) {
            std::istringstream in(
                test_support::read_file(dir.path + "deep" + std::to_string(k + 1) + ".dat"));
            std::string header;
            std::getline(in, header);
            const float z = depth + float(k) * 0.05f;
            for (float x, y, v; in >> x >> y >> v;) {
                const double expected = 100.0 * sens3d_wenner_alpha(x, y, z, 1.0f / 3.0f);
                EXPECT_NEAR(v / expected, 1.0, 5e-5) << x << " " << y << " " << z;
                values.push_back(float(expected));
            }
        }
        ASSERT_EQ(values.size(), 12u);
        std::istringstream meta(test_support::read_file(dir.path + "deep.txt"));
        for (std::string line; std::getline(meta, line) && line != "\"float\"";) {
        }
        double lowest = 0.0, highest = 0.0;
        ASSERT_TRUE(meta >> lowest >> highest);
        const auto range = std::minmax_element(values.begin(), values.end());
        EXPECT_NEAR(lowest / *range.first, 1.0, 5e-5);
        EXPECT_NEAR(highest / (1.05 * *range.second), 1.0, 5e-5);
    }
}

} // namespace

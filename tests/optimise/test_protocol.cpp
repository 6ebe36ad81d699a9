// Protocol files of the cable layouts and the configuration file of an optimised set.
#include "fixture.h"

#include "optimise/protocol.h"
#include "platform/sys/sys.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstring>

#include <sys/stat.h>

namespace {

using test_support::read_file;

TEST(Protocol, LongCableNumbers) {
    const int cases[][2] = {{1, 1},  {10, 10}, {11, 11}, {12, 0}, {13, 12},
                            {50, 0}, {51, 31}, {52, 32}, {61, 41}};
    for (const auto& c : cases)
        EXPECT_EQ(opt::long_cable_number(c[0]), c[1]) << c[0];
}

TEST(Protocol, ReportStem) {
    EXPECT_EQ(opt::report_stem("model_res_bgs_22.txt"), "model_res_bgs_22");
    EXPECT_EQ(opt::report_stem("runs.v2/report"), "runs.v2/report");
    EXPECT_EQ(opt::report_stem("a.b.txt"), "a.b");
}

TEST(Protocol, TwoCableHalvesAndAnArrayAcrossTheMiddle) {
    opt_test::Workspace space;
    const std::int32_t arrays[] = {2, 1, 3, 4, 20, 19, 22, 23, 31, 30, 32, 33};
    const std::string stem = space.dir.file("set");
    EXPECT_EQ(opt::write_protocol_files(1, stem, arrays, 3), 0);
    EXPECT_EQ(read_file(stem + "_41.org"), "11\nSHORT32\n 2  1  3  4\n20 19 22 23\n31 30 32 33\n");
    EXPECT_EQ(read_file(stem + "_41.up"), "11\nSHORT32\n20 19 22 23\n31 30 32 33\n");
    EXPECT_EQ(read_file(stem + "_41.dwn"), "11\nSHORT32\n 2  1  3  4\n20 19 22 23\n");
    EXPECT_TRUE(space.backend.boxes.empty());
}

TEST(Protocol, FourCableShortAndLongFiles) {
    opt_test::Workspace space;
    // Short (all in 11..51), long (one at 10), short on the upper half, long on the far end.
    const std::int32_t arrays[] = {12, 11, 13, 14, 11, 10, 12, 13, 40, 39, 41, 42, 53, 51, 55, 57};
    const std::string stem = space.dir.file("set");
    EXPECT_EQ(opt::write_protocol_files(2, stem, arrays, 4), 0);
    EXPECT_EQ(read_file(stem + "_S.org"), "11\nSHORT32\n 2  1  3  4\n30 29 31 32\n");
    EXPECT_EQ(read_file(stem + "_S.up"), "11\nSHORT32\n30 29 31 32\n");
    EXPECT_EQ(read_file(stem + "_S.dwn"), "11\nSHORT32\n 2  1  3  4\n");
    EXPECT_EQ(read_file(stem + "_L.org"), "11\nLONG32\n11 10  0 12\n33 31 35 37\n");
    EXPECT_EQ(read_file(stem + "_L.up"), "11\nLONG32\n33 31 35 37\n");
    EXPECT_EQ(read_file(stem + "_L.dwn"), "11\nLONG32\n11 10  0 12\n");
}

TEST(Protocol, AFileThatCannotBeWrittenLeavesTheOthers) {
    opt_test::Workspace space;
    const std::int32_t arrays[] = {2, 1, 3, 4};
    const std::string stem = space.dir.file("set");
    ASSERT_EQ(mkdir((stem + "_41.up").c_str(), 0755), 0); // a folder in the file's place
    EXPECT_EQ(opt::write_protocol_files(1, stem, arrays, 1), 1);
    ASSERT_EQ(space.backend.boxes.size(), 1u);
    EXPECT_EQ(space.backend.boxes[0].line(),
              "Error Message: There has been an error in creating\nthe file " + stem + "_41.up.");
    EXPECT_TRUE(sys::file_exists(stem + "_41.org"));
    EXPECT_TRUE(sys::file_exists(stem + "_41.dwn"));
    EXPECT_EQ(opt::write_protocol_files(0, stem + "_plain", arrays, 1), 0);
    EXPECT_FALSE(sys::file_exists(stem + "_plain_41.org"));
}

// Three arrays of a 10-electrode line at 2.5 m in the configuration-file layout; the reviewed
// copy is what the configuration reader takes back.
TEST(ConfigFile, MatchesTheReviewedCopy) {
    opt_test::Workspace space;
    ModelResolution& s = *space.settings;
    s.opt_unit_spacing = 2.5f;
    std::snprintf(s.output_name, sizeof s.output_name, "model_res_bgs_10.txt");
    const std::int32_t arrays[] = {2, 1, 3, 4, 1, 4, 2, 3, 6, 5, 9, 10};
    ASSERT_TRUE(opt::write_optimised_config_file(s, arrays, 3));
    EXPECT_STREQ(s.stem, "model_res_bgs_10");
    EXPECT_EQ(read_file(space.dir.file("model_res_bgs_10_mod.txt")),
              read_file(std::string(VELDARIN_TEST_DATA) + "/golden/three_arrays_mod.txt"));
}

// Spacings of more decimals than the layout's two: the spacing and every electrode position read
// back as the numbers they are (0.125 was written 0.12, an electrode at 0.375 as 0.38); the
// lines of the sensitivity grid keep their two decimals.
TEST(ConfigFile, SpacingAndPositionsReadBackAsTheyAre) {
    const struct {
        float spacing;
        const char* text; // from the spacing to the last electrode of the one array
    } cases[] = {{0.125f, "0.125\nCoordinates of electrodes (xc1,zc1,xc2,zc2,xp1,zp1,xp2,zp2)\n"
                          "Configuration 1\n0.125,0\n0.00,0\n0.25,0\n0.375,0\n"
                          "Starting and ending x-location to calculate sensitivity values, "
                          "spacing\n-0.12,"},
                 {0.333f, "0.333000004\nCoordinates of electrodes (xc1,zc1,xc2,zc2,xp1,zp1,xp2,"
                          "zp2)\nConfiguration 1\n0.333000004,0\n0.00,0\n0.666000009,0\n"
                          "0.999000013,0\nStarting and ending x-location to calculate "
                          "sensitivity values, spacing\n-0.33,"}};
    for (const auto& c : cases) {
        opt_test::Workspace space;
        ModelResolution& s = *space.settings;
        s.opt_unit_spacing = c.spacing;
        std::snprintf(s.output_name, sizeof s.output_name, "fine.txt");
        const std::int32_t arrays[] = {2, 1, 3, 4};
        ASSERT_TRUE(opt::write_optimised_config_file(s, arrays, 1));
        const std::string text = read_file(space.dir.file("fine_mod.txt"));
        const std::size_t at = text.find("spacing\n");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(text.substr(at + 8, std::strlen(c.text)), c.text);
    }
}

} // namespace

// The analytic references: the dike potential against the half-space, the single contact, its
// own symmetry and continuity and reference values; the potential section of one electrode.
#include "fixture.h"

#include "forward/dike.h"
#include "forward/pot1elec.h"
#include "platform/sys/sys.h"

#include <cmath>
#include <sstream>

using namespace forward_test;

namespace {

constexpr float two_pi = 6.2831855f;

// Positions of both electrodes on every side of a dike from 0 to 2.
const float positions[][2] = {{-3, -1}, {-3, 1}, {-3, 5}, {1, 1.5f}, {0.5f, 4}, {3, 6}, {-1, 2.5f}};

TEST(DikePotential, WithoutContrastTheHalfSpaceAndSymmetric) {
    for (const auto& p : positions) {
        const float r = std::fabs(p[1] - p[0]);
        EXPECT_NEAR(dike_potential(p[0], p[1], 0, 2, 50, 50), 50 / (two_pi * r), 1e-6)
            << p[0] << " " << p[1];
        EXPECT_EQ(dike_potential(p[0], p[1], 0, 2, 100, 10),
                  dike_potential(p[1], p[0], 0, 2, 100, 10))
            << p[0] << " " << p[1];
    }
}

TEST(DikePotential, ReferenceValuesAndCoincidentElectrodes) {
    EXPECT_NEAR(dike_potential(-3, 1, 0, 2, 100, 10), 1.916192, 1e-5);
    EXPECT_NEAR(dike_potential(-3, 5, 0, 2, 100, 10), 1.284113, 1e-5);
    EXPECT_NEAR(dike_potential(3, 6, 0, 2, 100, 10), 3.660064, 1e-5);
    EXPECT_TRUE(std::isinf(dike_potential(1, 1, 0, 2, 100, 10)));
    EXPECT_TRUE(std::isinf(dike_test_cases(nullptr, -3, -3, 0, 2, 100, 10)));
}

// A potential electrode crossing either edge, from any side of the source, sees no jump. (The
// field jumps: inside a dike ten times as resistive it is ten times as strong, and the values
// 1e-6 either side of the edge then differ by some 3e-4.)
TEST(DikePotential, ContinuousAcrossBothEdges) {
    for (float edge : {0.0f, 2.0f})
        for (float source : {-4.0f, -3.0f, 1.0f, 4.0f, 5.0f}) {
            const float left = dike_potential(source, edge - 1e-6f, 0, 2, 100, 10);
            const float right = dike_potential(source, edge + 1e-6f, 0, 2, 100, 10);
            EXPECT_NEAR(left, right, 1e-5) << edge << " " << source;
        }
}

// A dike much wider than the array is a single contact: one image of strength k at the mirror
// position, d the source's distance to the contact.
TEST(DikePotential, WideDikeIsASingleContact) {
    const float k = (10.0f - 100.0f) / 110.0f;
    for (const auto& p : {std::pair<float, float>{-3, -1}, {-5, -0.5f}, {-1, -2}}) {
        const float source = std::min(p.first, p.second);
        const float r = std::fabs(p.second - p.first), d = -source;
        const double contact = 100.0 / (2 * M_PI) * (1.0 / r + k / (2 * d - r));
        EXPECT_NEAR(dike_potential(p.first, p.second, 0, 1e6f, 100, 10), contact, 1e-5);
    }
}

TEST(DikePotential, TestCasesWriteTheirCaseLine) {
    test_support::TempDir dir("vd_dike");
    const std::string path = dir.file("cases.txt");
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    const double left = dike_test_cases(file, -3, -1, 0, 2, 100, 10);
    const double right = dike_test_cases(file, 3, 6, 0, 2, 100, 10);
    std::fclose(file);
    // 99 terms of a series whose ratio is k^2 = 0.67 reach the full sum.
    EXPECT_NEAR(left, dike_potential(-3, -1, 0, 2, 100, 10), 1e-5);
    EXPECT_NEAR(right, 3.660064, 1e-5);
    const std::string text = test_support::read_file(path);
    EXPECT_EQ(text.rfind("Case 1 t 2.0 xa -3.0 xm -1.0 x 0.0 a 2.0 k12 -0.8 fac 15.9 v ", 0), 0u)
        << text;
    EXPECT_NE(text.find("\nCase 4 xf2 2.0 xa 3.0 xm 6.0 x 0.0 a 3.0 v 3.66006"), std::string::npos)
        << text;
}

TEST(PotentialSection, GridValuesAndFile) {
    const std::string text = forward::pot1elec_text();
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 821u);
    EXPECT_EQ(lines[0], "\"X-location\",\"Z-location\",\"Potential\"");
    EXPECT_EQ(lines[1], "-1.000 -0.050   0.15896");
    EXPECT_EQ(lines[21], " 0.000 -0.050   3.18310"); // the largest value, above the source
    EXPECT_EQ(lines[820], " 1.000 -1.000   0.11254");
    // Points mirrored about x = 0 carry the same value.
    for (int row = 0; row < 20; ++row)
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(lines[std::size_t(1 + 41 * row + i)].substr(13),
                      lines[std::size_t(1 + 41 * row + 40 - i)].substr(13));

    test_support::TempDir home("vd_pot1elec");
    ASSERT_TRUE(write_pot1elec(home.path.c_str()));
    EXPECT_EQ(test_support::read_file(home.file("pot1elec.dat")), text);
}

TEST(PotentialSection, FolderThatCannotTakeTheFileIsNamed) {
    test_support::Headless h;
    EXPECT_FALSE(write_pot1elec("/no/such/folder/"));
    EXPECT_TRUE(h.showed("BOX [Error Message] There has been an error in creating\\nthe file "
                         "/no/such/folder/pot1elec.dat."))
        << h.output();
    EXPECT_FALSE(sys::file_exists("/no/such/folder/pot1elec.dat"));
}

} // namespace

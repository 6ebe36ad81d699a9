// The model resolution of an array set through the work files: the Hessian against J^T J
// formed in memory, the failures of the row file and of the inversion, and the figures of the
// defaults.
#include "fixture.h"

#include "matrix/packed.h"
#include "model/records.h"
#include "optimise/resolution.h"
#include "platform/sys/sys.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

TEST(SetResolution, HessianThroughTheWorkFilesEqualsJtJInMemory) {
    opt_test::Workspace space;
    opt_test::PreparedRun prepared(*space.settings);
    const opt::Run& run = prepared.run;
    const int n = run.nblocks(), m = run.nchosen();
    std::vector<float> j(std::size_t(m) * n);
    for (int k = 0; k < m; ++k)
        opt::array_sensitivities(run.grid, run.table.get(), run.chosen.data() + 4 * k,
                                 &j[std::size_t(k) * n]);
    for (int p = 1; p <= n; ++p)
        for (int q = 1; q <= p; ++q) {
            double h = 0.0;
            for (int k = 0; k < m; ++k)
                h += double(j[std::size_t(k) * n + p - 1]) * j[std::size_t(k) * n + q - 1];
            const double from_files = run.hessian[mx::packed_position(p, q) - 1];
            ASSERT_NEAR(from_files, h, 1e-12 * std::max(1.0, std::fabs(h))) << p << ", " << q;
        }
}

TEST(SetResolution, FiguresOfTheDefaultsWithTenElectrodes) {
    opt_test::Workspace space;
    opt_test::PreparedRun prepared(*space.settings);
    EXPECT_EQ(prepared.run.comprehensive_count, 392);
    EXPECT_EQ(prepared.base_count, 25);
    EXPECT_NEAR(prepared.comprehensive_figure, 0.5721, 0.001);
    EXPECT_NEAR(prepared.base_figure, 0.4211, 0.001);
    for (int b = 0; b < prepared.run.nblocks(); ++b) {
        const float rc = prepared.run.comprehensive_resolution[b], r = prepared.run.resolution[b];
        EXPECT_TRUE(rc >= 0.0f && rc < 1.0f) << b;
        EXPECT_TRUE(r >= 0.0f && r < 1.0f) << b;
    }
    EXPECT_TRUE(space.backend.boxes.empty());
}

// A Hessian that cannot be built, or not reordered, ends the step: the row file of the step
// before must not stand in for it.
TEST(SetResolution, AFailedHessianStageEndsTheStep) {
    for (int stage : {5, 6}) { // hessmatrix.bin, hessmatrix_row.bin
        opt_test::Workspace space;
        opt_test::PreparedRun prepared(*space.settings);
        opt::Run& run = prepared.run;
        const std::vector<float> before(run.resolution.get(), run.resolution.get() + run.nblocks());
        const char* path = space.settings->work_files[stage];
        ASSERT_TRUE(sys::delete_file(path));
        ASSERT_EQ(mkdir(path, 0755), 0) << path;
        run.chosen.insert(run.chosen.end(), run.candidates.at(0), run.candidates.at(0) + 4);
        run.iteration = 1;
        EXPECT_EQ(opt::chosen_set_resolution(run), opt::resolution_write_error) << path;
        EXPECT_EQ(std::vector<float>(run.resolution.get(), run.resolution.get() + run.nblocks()),
                  before);
        EXPECT_TRUE(space.backend.boxes.empty());
        rmdir(path);
    }
}

struct RowFileCase : ::testing::Test {
    opt_test::Workspace space;
    const int n = 2;
    double h[3] = {7, 7, 7}, c[3] = {7, 7, 7};
    float r[2] = {0.5f, 0.25f};
    int resolve(const std::string& row_file) {
        return opt::resolution_from_row_file(row_file.c_str(), space.dir.file("inv.bin").c_str(), n,
                                             0.01f, h, c, r);
    }
    void expect_unchanged() {
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(h[i], 7.0);
            EXPECT_EQ(c[i], 7.0);
        }
        EXPECT_EQ(r[0], 0.5f);
        EXPECT_EQ(r[1], 0.25f);
    }
};

TEST_F(RowFileCase, MissingRowFileEndsTheStepWithoutABox) {
    EXPECT_EQ(resolve(space.dir.file("hessmatrix_row.bin")), 2);
    EXPECT_TRUE(space.backend.boxes.empty());
    EXPECT_EQ(space.backend.beeps, 1);
    expect_unchanged();
}

TEST_F(RowFileCase, MatrixNotPositiveDefiniteShowsTheInversionError) {
    const double indefinite[3] = {1.0, 2.0, 1.0}; // eigenvalues 3 and -1
    const std::string path = space.dir.write(
        "hessmatrix_row.bin", std::string(reinterpret_cast<const char*>(indefinite), 24));
    EXPECT_EQ(resolve(path), opt::resolution_not_positive);
    ASSERT_EQ(space.backend.boxes.size(), 1u);
    EXPECT_EQ(space.backend.boxes[0].line(), "Message: Inversion error 5.\nDamping factor 0.0100");
    expect_unchanged();
    EXPECT_FALSE(sys::file_exists(space.dir.file("inv.bin")));
}

TEST_F(RowFileCase, InverseOfAPositiveMatrixAndItsResolution) {
    const double spd[3] = {2.0, 1.0, 2.0};
    const std::string path =
        space.dir.write("hessmatrix_row.bin", std::string(reinterpret_cast<const char*>(spd), 24));
    ASSERT_EQ(resolve(path), 0);
    // C = (H + 0.01 I)^-1 with H = [2 1; 1 2] (the damping a float); R = diag(C H).
    const double a = 2.0 + double(0.01f), d = a * a - 1.0;
    EXPECT_NEAR(c[0], a / d, 1e-15);
    EXPECT_NEAR(c[1], -1.0 / d, 1e-15);
    EXPECT_NEAR(c[2], a / d, 1e-15);
    EXPECT_NEAR(r[0], (a * 2.0 - 1.0) / d, 1e-7);
    EXPECT_NEAR(r[1], (a * 2.0 - 1.0) / d, 1e-7);
    EXPECT_EQ(sys::file_size(space.dir.file("inv.bin")), 24);
}

} // namespace

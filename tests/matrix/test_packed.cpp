// Packed symmetric kernels against dense reference loops, and the Jacobian and Hessian files:
// the Hessian of a random Jacobian against J^T J in memory and in blocks, its reordering, and
// the failures of missing, short and unwritable files.
#include "matrix/dense.h"
#include "matrix/matrixfile.h"
#include "matrix/packed.h"

#include "model/globals.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "support/files.h"
#include "support/recording_backend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using Dense = std::vector<std::vector<double>>;

// A well-conditioned symmetric positive-definite matrix: B B^T / n + I.
Dense random_spd(int n, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Dense b(n, std::vector<double>(n)), a(n, std::vector<double>(n, 0.0));
    for (auto& row : b)
        for (double& v : row)
            v = u(rng);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < n; ++k)
                a[i][j] += b[i][k] * b[j][k] / n;
            if (i == j) a[i][j] += 1.0;
        }
    return a;
}

std::vector<double> pack(const Dense& a) {
    std::vector<double> p;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j <= i; ++j)
            p.push_back(a[i][j]);
    return p;
}

// Gauss-Jordan with partial pivoting on a dense copy.
Dense dense_inverse(Dense a) {
    const int n = int(a.size());
    Dense inv(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; ++i)
        inv[i][i] = 1.0;
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        std::swap(a[c], a[pivot]);
        std::swap(inv[c], inv[pivot]);
        const double d = a[c][c];
        for (int j = 0; j < n; ++j)
            a[c][j] /= d, inv[c][j] /= d;
        for (int r = 0; r < n; ++r) {
            if (r == c) continue;
            const double f = a[r][c];
            for (int j = 0; j < n; ++j)
                a[r][j] -= f * a[c][j], inv[r][j] -= f * inv[c][j];
        }
    }
    return inv;
}

double entry(const std::vector<double>& packed, int i, int j) { // 0-based i, j
    return packed[mx::packed_position(i + 1, j + 1) - 1];
}

TEST(PackedKernels, InverseMatchesDenseInverseUpToSixty) {
    std::mt19937 rng(7);
    for (int n = 1; n <= 60; ++n) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        const Dense a = random_spd(n, rng);
        std::vector<double> p = pack(a);
        ASSERT_EQ(invert_packed_symmetric(n, p.data()), 0);
        const Dense inv = dense_inverse(a);
        double worst = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j <= i; ++j)
                worst = std::max(worst, std::fabs(entry(p, i, j) - inv[i][j]));
        EXPECT_LT(worst, 1e-10);
    }
}

TEST(PackedKernels, OneByOneAndNonPositivePivots) {
    struct Case {
        double value;
        int result;
    } cases[] = {{4.0, 0}, {0.0, 1}, {-1.0, 1}};
    for (const Case& c : cases) {
        double a = c.value;
        EXPECT_EQ(invert_packed_symmetric(1, &a), c.result) << c.value;
        if (c.result == 0) {
            EXPECT_DOUBLE_EQ(a, 0.25);
        }
    }
    // Indefinite 2 x 2 (1 2; 2 1): the second elimination step meets a negative pivot.
    double b[3] = {1.0, 2.0, 1.0};
    EXPECT_EQ(invert_packed_symmetric(2, b), 1);
}

TEST(PackedKernels, DampingTouchesTheDiagonalOnly) {
    std::vector<double> a = {1, 2, 3, 4, 5, 6};
    add_damping_to_packed_diagonal(3, 0.01f, a.data());
    const double d = double(0.01f);
    EXPECT_EQ(a, (std::vector<double>{1 + d, 2, 3 + d, 4, 5, 6 + d}));
}

TEST(PackedKernels, ProductsAndUpdatesEqualNaiveLoops) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int n : {1, 2, 5, 13}) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        const Dense a = random_spd(n, rng), b = random_spd(n, rng);
        const std::vector<double> pa = pack(a), pb = pack(b);
        std::vector<float> d1(n), d2(n);
        packed_symmetric_product_diagonal(d1.data(), pa.data(), pb.data(), n);
        packed_product_diagonal_rowwise(d2.data(), pa.data(), pb.data(), n);
        for (int i = 0; i < n; ++i) {
            double ab = 0.0;
            for (int k = 0; k < n; ++k)
                ab += a[i][k] * b[k][i];
            EXPECT_NEAR(d1[i], ab, 1e-5 * std::fabs(ab) + 1e-6);
            EXPECT_NEAR(d2[i], ab, 1e-5 * std::fabs(ab) + 1e-6);
        }

        std::vector<float> u1(n), u2(n), u3(n), u4(n);
        for (int i = 0; i < n; ++i)
            u1[i] = u(rng), u2[i] = u(rng), u3[i] = u(rng), u4[i] = u(rng);
        std::vector<double> o1(pa.size()), o2(pa.size()), o3(pa.size()), o4(pa.size());
        packed_rank_one_updates4(n, pa.data(), o1.data(), o2.data(), o3.data(), o4.data(),
                                 u1.data(), u2.data(), u3.data(), u4.data());
        for (int i = 0; i < n; ++i)
            for (int j = 0; j <= i; ++j) {
                EXPECT_DOUBLE_EQ(entry(o1, i, j), a[i][j] + double(u1[i]) * u1[j]);
                EXPECT_DOUBLE_EQ(entry(o4, i, j), a[i][j] + double(u4[i]) * u4[j]);
                EXPECT_DOUBLE_EQ(entry(o2, i, j), a[i][j] + double(u2[i]) * u2[j]);
                EXPECT_DOUBLE_EQ(entry(o3, i, j), a[i][j] + double(u3[i]) * u3[j]);
            }

        // A is the inverse of M; the update is the inverse of M + x x^T.
        const Dense m = dense_inverse(a);
        Dense updated = m;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                updated[i][j] += double(u1[i]) * u1[j];
        const Dense expected = dense_inverse(updated);
        std::vector<double> out(pa.size());
        ASSERT_EQ(sherman_morrison_update_packed(n, pa.data(), out.data(), u1.data()), 0);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j <= i; ++j)
                EXPECT_NEAR(entry(out, i, j), expected[i][j], 1e-10);
    }
}

TEST(PackedKernels, MatrixTimesVectorEqualsNaiveLoopForEveryRemainder) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-2.0f, 2.0f);
    const int n = 7;
    for (int m = 0; m <= 9; ++m) {
        std::vector<float> matrix(std::size_t(m) * n), vector(n), out(m + 1, -99.0f);
        for (float& v : matrix)
            v = u(rng);
        for (float& v : vector)
            v = u(rng);
        matrix_times_vector_flt4(m, n, matrix.data(), vector.data(), out.data());
        for (int r = 0; r < m; ++r) {
            double s = 0.0;
            for (int j = 0; j < n; ++j)
                s += double(matrix[r * n + j]) * vector[j];
            EXPECT_FLOAT_EQ(out[r], float(s)) << "m " << m << " row " << r;
        }
        EXPECT_EQ(out[m], -99.0f) << "wrote past the rows";
    }
}

// ---- Matrix files -------------------------------------------------------------------------

class MatrixFiles : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(init_globals(), 0);
        Statuswind.bar_width = 200;
        ui::install_backend(&backend);
        in_use = sys::page_bytes_in_use();
    }
    void TearDown() override {
        sys::set_page_budget(-1);
        ui::install_backend(nullptr);
        EXPECT_EQ(sys::page_bytes_in_use(), in_use) << "page memory left behind";
        model::exit_globals();
    }
    // A random n-parameter Jacobian of m data, written parameter by parameter.
    std::vector<float> write_jacobian(const std::string& path, int n, int m) {
        std::mt19937 rng(n * 1000 + m);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        std::vector<float> j(std::size_t(n) * m);
        for (float& v : j)
            v = u(rng);
        write_raw(path, j.data(), j.size() * sizeof(float));
        return j;
    }
    static void write_raw(const std::string& path, const void* data, std::size_t bytes) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(data, 1, bytes, f), bytes);
        std::fclose(f);
    }
    static std::vector<double> read_doubles(const std::string& path) {
        std::vector<char> bytes;
        sys::read_whole_file(path, bytes);
        std::vector<double> v(bytes.size() / sizeof(double));
        if (!v.empty()) std::memcpy(v.data(), bytes.data(), v.size() * sizeof(double));
        return v;
    }
    // Checks the upper-by-rows file at path against J^T J.
    static void expect_hessian(const std::string& path, const std::vector<float>& j, int n, int m) {
        const std::vector<double> h = read_doubles(path);
        ASSERT_EQ(h.size(), mx::packed_size(n));
        std::size_t k = 0;
        double worst = 0.0;
        for (int p = 0; p < n; ++p)
            for (int q = p; q < n; ++q, ++k) {
                double s = 0.0;
                for (int d = 0; d < m; ++d)
                    s += double(j[p * m + d]) * j[q * m + d];
                worst = std::max(worst, std::fabs(h[k] - s));
            }
        EXPECT_LT(worst, 1e-12);
    }
    std::string status() const { return Statuswind.text; }
    // Hidden files of the folder: what an interrupted save would leave behind.
    int temporary_files() const {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.folder()))
            count += entry.path().filename().string()[0] == '.';
        return count;
    }

    test_support::TempDir dir{"vd_hessian"};
    test_support::RecordingBackend backend;
    long long in_use = 0;
};

TEST_F(MatrixFiles, HessianEqualsJacobianProductInMemoryInChunksAndInBlocks) {
    const int n = 22, m = 400;
    const std::string jac = dir.path + "grfile.bin", hess = dir.path + "hessmatrix.bin";
    const std::vector<float> j = write_jacobian(jac, n, m);

    ASSERT_EQ(create_hessian_from_jacobian(jac.c_str(), n, m, hess.c_str()), 0);
    EXPECT_EQ(status().rfind("Creating Matrics", 0), 0u) << status();
    expect_hessian(hess, j, n, m);
    const std::vector<double> whole = read_doubles(hess);

    // H and a chunk of 256 data fit, the whole Jacobian beside H does not: two chunks, the same
    // values bit for bit.
    sys::delete_file(hess);
    sys::set_page_budget(in_use + mx::GramMatrix::bytes(n) + 4 * n * 256 + 1000);
    ASSERT_EQ(create_hessian_from_jacobian(jac.c_str(), n, m, hess.c_str()), 0);
    sys::set_page_budget(-1);
    EXPECT_EQ(status(), "Creating Matrics 64.0%");
    EXPECT_EQ(read_doubles(hess), whole);

    // The whole Jacobian (35,200 bytes) is refused; blocks of n/4 = 5 parameters fit, leaving
    // 2 parameters over after four whole blocks.
    sys::delete_file(hess);
    sys::set_page_budget(in_use + 12000);
    ASSERT_EQ(create_hessian_from_jacobian(jac.c_str(), n, m, hess.c_str()), 0);
    sys::set_page_budget(-1);
    EXPECT_EQ(status(), "Creating matrices 100.0%");
    expect_hessian(hess, j, n, m);
    EXPECT_EQ(temporary_files(), 0);
    EXPECT_TRUE(backend.boxes.empty());
}

TEST_F(MatrixFiles, SingleParameterGivesTheSumOfSquares) {
    const std::string jac = dir.path + "one.bin", hess = dir.path + "one_h.bin";
    const float j[3] = {1.0f, -2.0f, 0.5f};
    write_raw(jac, j, sizeof j);
    ASSERT_EQ(create_hessian_from_jacobian(jac.c_str(), 1, 3, hess.c_str()), 0);
    EXPECT_EQ(read_doubles(hess), std::vector<double>{5.25});
}

TEST_F(MatrixFiles, ReorderingMovesUpperRowsToLowerRows) {
    const int n = 4;
    std::vector<double> upper;
    for (int i = 1; i <= n; ++i)
        for (int j = i; j <= n; ++j)
            upper.push_back(10 * i + j); // H(i, j) = 10i + j
    const std::string in = dir.path + "h.bin", out = dir.path + "h_row.bin";
    write_raw(in, upper.data(), upper.size() * sizeof(double));
    ASSERT_EQ(update_hessian_file(in.c_str(), out.c_str(), n), 0);
    // Lower by rows: (1,1); (1,2) (2,2); (1,3) (2,3) (3,3); ... with (i, j) named i <= j.
    EXPECT_EQ(read_doubles(out), (std::vector<double>{11, 12, 22, 13, 23, 33, 14, 24, 34, 44}));
}

TEST_F(MatrixFiles, MissingAndShortFilesReportInTheStatusLine) {
    const std::string missing = dir.path + "none.bin", hess = dir.path + "h.bin";
    std::vector<double> buffer(10);
    EXPECT_EQ(read_hessian_file(missing.c_str(), buffer.data(), 4), 2);
    EXPECT_EQ(status(), "Error in opening Hessian matrix file " + missing + ".");

    const double three[3] = {1, 2, 3};
    write_raw(hess, three, sizeof three);
    EXPECT_EQ(read_hessian_file(hess.c_str(), buffer.data(), 4), 1);
    EXPECT_EQ(status(), "Error in reading Hessian matrix file " + hess + ". 3/10");

    std::vector<float> fbuffer(12);
    EXPECT_EQ(read_jacobian_file(missing.c_str(), fbuffer.data(), 3, 4), 2);
    EXPECT_EQ(status(), "Error in opening Jacobian matrix file " + missing + ".");
    EXPECT_EQ(backend.beeps, 3);
    EXPECT_TRUE(backend.boxes.empty());

    // A failed read leaves no reordered file, also none left over from an earlier run.
    const std::string out = dir.path + "h_row.bin";
    write_raw(out, three, sizeof three);
    EXPECT_EQ(update_hessian_file(hess.c_str(), out.c_str(), 4), 1);
    EXPECT_FALSE(sys::file_exists(out));
}

TEST_F(MatrixFiles, HessianBuilderLeavesNoFileAfterAFailure) {
    const int n = 22, m = 400;
    const std::string jac = dir.path + "grfile.bin", hess = dir.path + "hessmatrix.bin";
    write_jacobian(jac, n, m);
    const double stale = 1.0;

    struct Case {
        const char* name;
        long long data; // data the caller claims
        const char* output;
        long long budget; // -1 none
        int result;
        bool whole_count; // the message counts the values of the whole file
    } cases[] = {
        {"short Jacobian in memory", m + 1, "hessmatrix.bin", -1, 1, true},
        {"short Jacobian in chunks", m + 1, "hessmatrix.bin",
         mx::GramMatrix::bytes(n) + 4 * n * 256 + 1000, 1, true},
        {"short Jacobian in blocks", m + 1, "hessmatrix.bin", 12000, 1, false},
        {"missing Jacobian", m, nullptr, -1, 2, false},
        {"no memory for any block", m, "hessmatrix.bin", 500, 3, false},
        {"output folder missing", m, "no/such/folder.bin", -1, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir.path + (c.output ? c.output : "hessmatrix.bin");
        if (out == hess) write_raw(out, &stale, sizeof stale);
        const std::string in = c.output ? jac : dir.path + "none.bin";
        if (c.budget >= 0) sys::set_page_budget(in_use + c.budget);
        EXPECT_EQ(create_hessian_from_jacobian(in.c_str(), n, c.data, out.c_str()), c.result);
        sys::set_page_budget(-1);
        if (c.whole_count) {
            EXPECT_EQ(status(), "Error in reading Jacobian matrix file " + jac + ". 8800/8822");
        }
        EXPECT_FALSE(sys::file_exists(out));
        EXPECT_EQ(temporary_files(), 0);
    }
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].line(), "Message: Insufficient memory");
}

} // namespace

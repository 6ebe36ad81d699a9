// Electrode-position Jacobian on synthetic work files: the dump sections, the saved transformed
// Jacobian, the depths it resets, and the failures of missing or short files.
#include "block_fixture.h"

#include "platform/sys/sys.h"
#include "sensitivity/electrode_jacobian.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace block_test {
namespace {

class PositionJacobian : public SyntheticRun {
  protected:
    // Two positions, one element column each (columns 2 and 3), and the coefficient file for
    // nk wavenumbers (of which `short_at`, from 1, is cut short).
    void prepare(int nk, int short_at = 0, float coefficient = 0.5f) {
        lay_out(3);
        std::vector<float> k;
        for (int i = 0; i < nk; ++i)
            k.push_back(float(1 << i));
        write_work_files(k);
        m.n_elec_positions = 2;
        m.jacob_elec_a[0] = m.jacob_elec_b[0] = 2;
        m.jacob_elec_a[1] = m.jacob_elec_b[1] = 3;
        const int per_component = 2 * (m.nz_nodes - 1) * 3 * 10;
        std::vector<float> c;
        for (int i = 0; i < nk; ++i) {
            if (i + 1 == short_at) {
                c.insert(c.end(), per_component / 2, coefficient);
                break;
            }
            c.insert(c.end(), 2 * per_component, coefficient);
        }
        std::FILE* f = std::fopen(m.jacob_elec_positions_file, "wb");
        std::fwrite(c.data(), 4, c.size(), f);
        std::fclose(f);
    }
    int view = 0;
};

TEST_F(PositionJacobian, TwoPositionsGiveTwoDumpSectionsAndTheTransformedFile) {
    prepare(3);
    Calculate_Jacobian_Elec_Position(view, m);
    EXPECT_EQ(view, 5270);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].text.rfind("Calculated Jacobian for 2 data points for change in 2 "
                                          "electrode position.\nTime taken ",
                                          0),
              0u);
    const std::string dump = test_support::read_file(m.dump_file);
    EXPECT_NE(dump.find("Electrode shifted position 2\n"), std::string::npos);
    EXPECT_NE(dump.find("Electrode shifted position 3\n"), std::string::npos);
    EXPECT_EQ(dump.find("Electrode shifted position 4\n"), std::string::npos);
    EXPECT_EQ(sys::file_size(m.grfile_elec_file), 4LL * 2 * 2 * 2);
    for (int d = 0; d < 2; ++d)
        EXPECT_EQ(m.c1_z[d], 0.0f);
}

// The derivative columns of the dump, line by line (the datum number and, in pole-pole mode,
// the two electrode positions left out).
std::vector<std::vector<double>> dump_values(const std::string& dump, int skip) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(dump);
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 5 || line[3] < '0' || line[3] > '9') continue;
        std::istringstream words(line);
        std::vector<double> row;
        for (double v; words >> v;)
            row.push_back(v);
        rows.emplace_back(row.begin() + skip, row.end());
    }
    return rows;
}

// Derivatives of a model of tiny resistivities keep their size: scaled coefficients scale every
// value, which five decimals showed as 0.00000 (1e-30) or with three digits (1e-6).
TEST_F(PositionJacobian, SmallDerivativesKeepTheirSize) {
    for (const int array_type : {4, 1}) {
        const int skip = array_type == 4 ? 3 : 1;
        prepare(3);
        m.array_type = array_type;
        Calculate_Jacobian_Elec_Position(view, m);
        const auto reference = dump_values(test_support::read_file(m.dump_file), skip);
        ASSERT_EQ(reference.size(), 4u);
        for (const float scale : {1e-30f, 1e-6f}) {
            SCOPED_TRACE(scale);
            prepare(3, 0, 0.5f * scale);
            m.array_type = array_type;
            Calculate_Jacobian_Elec_Position(view, m);
            const auto rows = dump_values(test_support::read_file(m.dump_file), skip);
            ASSERT_EQ(rows.size(), reference.size());
            for (std::size_t r = 0; r < rows.size(); ++r) {
                ASSERT_EQ(rows[r].size(), reference[r].size());
                for (std::size_t c = 0; c < rows[r].size(); ++c)
                    EXPECT_NEAR(rows[r][c] / (reference[r][c] * scale), 1.0, 5e-5) << r << "," << c;
            }
        }
    }
}

TEST_F(PositionJacobian, OtherArraysNumberThePositionsFromOne) {
    prepare(2);
    m.array_type = 1;
    Calculate_Jacobian_Elec_Position(view, m);
    const std::string dump = test_support::read_file(m.dump_file);
    EXPECT_NE(dump.find("Electrode position 1\n  i   gtemp-x  gtemp-z\n"), std::string::npos);
    EXPECT_NE(dump.find("Electrode position 2\n"), std::string::npos);
}

TEST_F(PositionJacobian, FailuresEndTheCommandWithTheirMessage) {
    prepare(3, 3);
    Calculate_Jacobian_Elec_Position(view, m);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(
        backend.boxes[0].line(),
        "Error Message: Error in reading coefficients file for wave 3\niread 180 expected 360\n"
        "number electrodes 2 l1 5 n1 6");
    EXPECT_FALSE(sys::file_exists(m.grfile_elec_file));

    backend.boxes.clear();
    sys::delete_file(m.jacob_elec_positions_file);
    Calculate_Jacobian_Elec_Position(view, m);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].line(),
              std::string("Error Message: Error in opening file\n") + m.jacob_elec_positions_file);

    backend.boxes.clear();
    m.sens_potentials_ready = 0;
    Calculate_Jacobian_Elec_Position(view, m);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].line(),
              "Message: You need to select the option to\ninclude calculation of the sensitivity\n"
              "values when calculating the potentials.");
}

} // namespace
} // namespace block_test
